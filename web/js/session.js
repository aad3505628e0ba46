// What the page knows of the server and the armband: read from the server's
// HTTP API when the page loads and after every reconnection, and kept up to
// date from the messages the server sends.
//
// Every answer goes to every client, and an answer does not say which command
// it belongs to: this page may have sent it, or another client. So the state
// moves on answer codes, whoever caused them. Where the same bytes can mean two
// things (08 FF is both "identification refused" and "no gesture recognised";
// 06 FF is both "recording refused" and "recording could not be saved"), the
// page sends a PING right after its command: the server handles commands in
// order, so a refusal arrives before the ping's 01 00, and anything later with
// the same code is news that came after the command was accepted.
//
// One command in flight per control: a control is busy from the press until
// its answer, or until a bounded time-out that the page shows; a press on a
// busy control sends nothing.
//
// Pure logic: the socket is a `transmit(bytes)` function, the HTTP API an
// `api` object (see api.js) and time a `now()` function, so tests drive it
// directly. Listeners get {type: 'change'}, {type: 'log', ...},
// {type: 'preview', rows, channels, check} (check: the signal check's, not a
// recording's), {type: 'window-start'} and {type: 'window-end'}.
import * as handlers from './answer_handlers.js';
import { installCommands } from './session_commands.js';
import { Answer, Status, describeIncoming, isRefusal, refusalWords } from './protocol.js';
import { applyRecordings, applyStatus } from './server_truth.js';
import { EVALUATION_WAIT_MS } from './api.js';
import { gestureName } from './settings.js';

export { HISTORY_LENGTH } from './answer_handlers.js';

// How long a control waits for its answer before the page gives up on it.
export const ANSWER_WAIT_MS = 15000;
// A status read that crossed this many changes from the socket is read again.
const STATUS_RETRIES = 3;

function freshState(selection) {
  return {
    server: 'connecting', // 'connecting' | 'open' | 'closed'
    link: 'unknown', // 'unknown' | 'disconnected' | 'scanning' | 'found' | 'connecting' | 'connected' | 'disconnecting'
    versions: null, // {server, firmware, hardware}; null entries are unknown
    mode: 'idle', // the server's data mode: 'idle' | 'recording' | 'identifying' | 'streaming'
    selection: { ...selection }, // the ticked channels and gestures
    // server: what the server holds; last: the last configuration it held,
    // applied again when the armband comes back (the server forgets it)
    config: { server: null, last: null, pending: null, outcome: null, armbandOk: null },
    names: Array(8).fill(''),
    namesDirty: false,
    busy: {}, // control -> {since, deadline}
    // phase: 'idle' | 'countIn' | 'starting' | 'running' | 'saving' | 'stopping'; replace: the
    // older windows go once this one is saved
    recording: {
      phase: 'idle',
      slot: null,
      mine: false,
      replace: false,
      startedAt: 0,
      previewRows: 0,
      outcome: null,
    },
    recordings: null, // slot -> entry (server_truth.js) or null; null as a whole until read
    cardNotes: {}, // slot -> {ok, words} about a deletion
    model: null, // {present, usable, trainedGestureMask, channels, current, staleBecause}
    evaluation: { phase: 'idle', data: null, words: null, stale: false },
    identifyMode: null,
    generate: { phase: 'idle', startedAt: 0, elapsedMs: null, outcome: null },
    upload: { phase: 'idle', percent: 0, lastProgressAt: 0, outcome: null },
    // seen: every gesture reported; target: the gesture being practised, which
    // counts as recognised (recognised) once reported and held; heldSince: when
    // the target's report began
    identify: {
      phase: 'idle',
      current: null,
      reports: 0,
      seen: [],
      target: null,
      heldSince: null,
      recognised: [],
      history: [],
      outcome: null,
    },
    stream: { phase: 'idle', history: [], outcome: null },
    preview: { phase: 'off', outcome: null }, // the signal check: 'off' | 'starting' | 'on' | 'stopping'
    note: null, // the last refusal or notice about the armband link
  };
}

export class Session {
  // `speed` is how many times faster than real time the armband runs (a
  // simulated one may); `selection` the remembered channel and gesture masks.
  constructor({
    transmit,
    api = null,
    now = () => Date.now(),
    speed = 1,
    selection = { channelMask: 0xff, gestureMask: 0x03 },
    memory = null,
  }) {
    this.transmit = transmit;
    this.memory = memory; // keeps this page's recording over a reload (recordingMemory, settings.js)
    this.api = api;
    this.now = now;
    this.speed = speed;
    this.state = freshState(selection);
    this.fences = []; // commands awaiting their ping: {code, control, settle, accepted(), refused(status)}
    this.timeouts = {}; // control -> what to do when it waits too long
    this.reads = { status: 0, recordings: 0, evaluation: 0 }; // the latest read of each resource
    this.epoch = 0; // moves with every message that changes what the status reports
    this.reapplyDue = false; // the armband came back: the next status says whether to configure it again
    this.listeners = new Set();
  }

  subscribe(listener) {
    this.listeners.add(listener);
    return () => this.listeners.delete(listener);
  }

  emit(event) {
    for (const listener of this.listeners) listener(event);
  }

  changed() {
    this.emit({ type: 'change' });
  }

  log(direction, words, bytes = null, level = 'info') {
    this.emit({ type: 'log', direction, words, bytes, level, at: this.now() });
  }

  nameOf(slot) {
    return gestureName(this.state.names, slot);
  }

  // Controls in flight.

  isBusy(control) {
    return Boolean(this.state.busy[control]);
  }

  // Marks `control` busy; false (and nothing happens) when it already is.
  // `onTimeout` says what the page shows when no answer comes within `waitMs`.
  begin(control, onTimeout, waitMs = ANSWER_WAIT_MS) {
    if (this.state.busy[control]) return false;
    const since = this.now();
    this.state.busy[control] = { since, deadline: since + waitMs };
    this.timeouts[control] = onTimeout;
    return true;
  }

  end(control) {
    delete this.state.busy[control];
    delete this.timeouts[control];
  }

  // Sends a command. With a fence, a ping follows it (see above); the fence
  // ends its control on the ping's answer when `settle` is 'ping', and on a
  // refusal in any case.
  send(bytes, words, fence = null) {
    this.log('out', words, bytes);
    this.transmit(bytes);
    if (fence) {
      this.transmit(Uint8Array.of(0x01));
      this.fences.push(fence);
    }
  }

  // The server link.

  linkOpened() {
    const s = this.state;
    const kept = freshState(s.selection);
    // What the server holds is read again at once; until then the last known stays shown.
    for (const key of ['recordings', 'names', 'model', 'evaluation', 'identifyMode', 'versions'])
      kept[key] = s[key];
    kept.config.server = s.config.server;
    kept.config.last = s.config.last;
    kept.recording.outcome = s.recording.outcome;
    this.state = kept;
    this.state.server = 'open';
    this.fences = [];
    this.timeouts = {};
    this.log('note', 'Connected to the Quillon server.');
    this.refreshAll();
    this.changed();
  }

  linkClosed() {
    if (this.state.server === 'closed') return;
    const s = this.state;
    s.server = 'closed';
    this.fences = [];
    s.busy = {};
    this.timeouts = {};
    if (s.recording.phase === 'countIn') s.recording.phase = 'idle';
    if (s.recording.phase !== 'idle') {
      s.recording = {
        ...s.recording,
        phase: 'idle',
        outcome: { ok: false, words: 'The server went away during the recording; it was not saved.' },
      };
    }
    s.preview.phase = 'off';
    s.generate.phase = 'idle';
    if (s.upload.phase !== 'idle')
      s.upload = {
        ...s.upload,
        phase: 'idle',
        outcome: { ok: false, words: 'The server went away during the upload.' },
      };
    s.identify.phase = 'idle';
    s.stream.phase = 'idle';
    this.log('note', 'Lost the connection to the Quillon server.', null, 'error');
    this.changed();
  }

  // The armband's time, in ms, since `then` on the page's clock.
  armbandMsSince(then, now = this.now()) {
    return (now - then) * this.speed;
  }

  // Time passing: controls that waited too long, the window's end, a silent upload.
  tick() {
    const now = this.now();
    let change = false;
    for (const [control, entry] of Object.entries(this.state.busy)) {
      if (now < entry.deadline) continue;
      const onTimeout = this.timeouts[control];
      this.end(control);
      for (const fence of this.fences) if (fence.control === control) fence.expired = true;
      onTimeout?.();
      this.log('note', `No answer from the server in time (${control}).`, null, 'error');
      change = true;
    }
    change = handlers.onTick(this, now) || change;
    if (change) this.changed();
  }

  // Reading what the server holds.

  refreshAll() {
    this.refresh('status');
    this.refresh('recordings');
  }

  // Reads one resource; the answer to the latest read of it wins.
  async refresh(resource, attempt = 0) {
    if (!this.api) return;
    const mine = ++this.reads[resource];
    const epoch = this.epoch;
    if (resource === 'evaluation') this.state.evaluation = { ...this.state.evaluation, phase: 'loading' };
    const path = { status: '/api/status', recordings: '/api/recordings', evaluation: '/api/evaluation' }[
      resource
    ];
    const answer = await this.api.get(path, resource === 'evaluation' ? EVALUATION_WAIT_MS : undefined);
    if (mine !== this.reads[resource] || this.state.server !== 'open') return;
    if (resource === 'status' && this.epoch !== epoch && attempt < STATUS_RETRIES) {
      this.refresh(resource, attempt + 1); // the socket moved on meanwhile: read again
      return;
    }
    if (resource === 'status' && answer.ok) {
      const names = this.state.names;
      const before = this.state.config.server;
      applyStatus(this.state, answer.body, this.now(), this.speed, this.memory?.load() ?? null);
      if (this.state.namesDirty) this.state.names = names; // typing under way wins until saved
      this.followServerConfig(before);
      this.afterStatus();
    } else if (resource === 'recordings' && answer.ok) {
      applyRecordings(this.state, answer.body);
    } else if (resource === 'evaluation') {
      handlers.onEvaluation(this, answer);
    }
    this.changed();
  }

  // What a fresh status may call for: the configuration applied again after
  // the armband came back, and the model's quality read whenever a model exists.
  afterStatus() {
    const s = this.state;
    if (this.reapplyDue && s.link === 'connected' && s.mode === 'idle') {
      this.reapplyDue = false;
      if (!s.config.server && s.config.last && !this.isBusy('apply')) this.applyConfig(s.config.last);
    }
    if (s.model?.present && s.evaluation.phase === 'idle' && !s.evaluation.data)
      this.evaluate({ inPageMode: false });
  }

  // The ticks follow the server's configuration when it is new to the page
  // (the first read, or a change by another client) and the person has not
  // ticked something else meanwhile.
  followServerConfig(before) {
    const now = this.state.config.server;
    const chosen = this.state.selection;
    if (
      !now ||
      (before && now.channelMask === before.channelMask && now.gestureMask === before.gestureMask)
    ) {
      this.configRead = true;
      return;
    }
    const untouched = before
      ? chosen.channelMask === before.channelMask && chosen.gestureMask === before.gestureMask
      : !this.configRead;
    this.configRead = true;
    if (!untouched) return;
    this.state.selection = { ...now };
    this.emit({ type: 'selection' });
  }

  // A message from the server.
  receive(bytes) {
    if (bytes.length === 0) return;
    if (bytes[0] === Answer.PREVIEW) {
      handlers.onPreview(this, bytes);
      return;
    }
    this.epoch += 1;
    const words = this.dispatch(bytes);
    if (words !== false) this.log('in', words ?? describeIncoming(bytes), bytes);
    this.changed();
  }

  // Handles one message; returns the words for the log, null for the usual
  // description, or false for a message the log does not show (a fence's ping).
  dispatch(bytes) {
    const [code, status = 0] = bytes;
    if (code === Answer.PING && status === Status.OK && this.fences.length > 0) {
      const fence = this.fences.shift();
      if (fence.expired) return false;
      fence.accepted?.();
      if (fence.settle === 'ping') this.end(fence.control);
      if (fence.acceptedWords) this.log('note', fence.acceptedWords);
      return false;
    }
    const fenceIndex = this.fences.findIndex((f) => f.code === code);
    if (fenceIndex >= 0 && bytes.length === 2 && isRefusal(code, status)) {
      const fence = this.fences[fenceIndex];
      this.fences[fenceIndex] = { code: -1, expired: true }; // its ping is still to come
      if (!fence.expired) {
        this.end(fence.control);
        if (fence.refused) fence.refused(status);
        else this.state.note = refusalWords(code, status);
      }
      return `Refused: ${refusalWords(code, status)}`;
    }
    return handlers.dispatchAnswer(this, bytes);
  }
}

installCommands(Session);
