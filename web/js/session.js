// What the page knows of the server and the armband: read from the server's
// HTTP API when the page loads and after every reconnection, and kept up to
// date from the messages the server sends.
//
// Own answers: every answer goes to every client, so by its bytes alone the
// page cannot tell its own answer from another client's. Right after the
// socket opens the page asks for its own answers (31). From then on the server
// answers each command the page sends with one frame to this page alone,
// 31 seqLo seqHi and the command's immediate answer (nothing when it answers
// later or never), seq counting the page's commands from 1; the later final
// answer of what a command started comes the same way under its number. The
// page numbers its commands as it sends them, so it knows which command each
// own frame answers: a refusal (08 FF, 06 FF, ...) is its own only there.
// The state moves on answer codes, whoever caused them: plain answers are
// other clients' answers and news.
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
import { Answer, Command, Status, describeIncoming, hexDump, isRefusal, refusalWords } from './protocol.js';
import { applyRecordings, applyStatus } from './server_truth.js';
import { EVALUATION_WAIT_MS } from './api.js';
import { gestureName } from './settings.js';

export { HISTORY_LENGTH } from './answer_handlers.js';

// How long a control waits for its answer before the page gives up on it.
export const ANSWER_WAIT_MS = 15000;
// A status read that crossed this many changes from the socket is read again.
const STATUS_RETRIES = 3;

// The page's side of its own answers. waiting: the commands sent whose own
// frame has not come, oldest first ({seq, command, fence}); started: the last
// command of each code whose own frame came, whose later answers may follow.
function freshOwn(phase, now = 0) {
  return { phase, askedAt: now, lastSent: 0, waiting: [], started: new Map(), previous: null };
}

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
    this.own = freshOwn('closed'); // 'closed' | 'asking' | 'on' | 'refused'
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

  // Sends a command, numbered as the server numbers it. With a fence
  // ({code, control, settle, accepted(), refused(status), acceptedWords}), the
  // command's own frame settles it: a refusal with the fence's code ends its
  // control and calls refused; anything else calls accepted, and ends the
  // control when `settle` is 'taken' ('answer' waits for the answer's code,
  // 'none' for the command's outcome).
  send(bytes, words, fence = null) {
    this.log('out', words, bytes);
    this.transmit(bytes);
    const own = this.own;
    own.lastSent = (own.lastSent + 1) & 0xffff;
    own.waiting.push({ seq: own.lastSent, command: bytes[0], fence });
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
    this.timeouts = {};
    // Before any other command: the page's own answers.
    this.own = freshOwn('asking', this.now());
    this.transmit(Uint8Array.of(Command.OWN_ANSWERS));
    this.log('note', 'Connected to the Quillon server.');
    this.refreshAll();
    this.changed();
  }

  linkClosed() {
    if (this.state.server === 'closed') return;
    const s = this.state;
    s.server = 'closed';
    this.own = freshOwn('closed');
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
      for (const { fence } of this.own.waiting) if (fence?.control === control) fence.expired = true;
      onTimeout?.();
      this.log('note', `No answer from the server in time (${control}).`, null, 'error');
      change = true;
    }
    if (this.own.phase === 'asking' && now - this.own.askedAt >= ANSWER_WAIT_MS) {
      this.ownAnswersMissing("The server did not answer the request for this page's own answers.");
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
    if (bytes[0] === Answer.OWN) {
      this.receiveOwn(bytes);
    } else {
      this.own.previous = null;
      this.show(bytes, handlers.dispatchAnswer(this, bytes, null));
    }
    this.changed();
  }

  // Logs an answer with the words a handler gave: null for the usual
  // description, false for a message the log does not show.
  show(bytes, words) {
    if (words !== false) this.log('in', words ?? describeIncoming(bytes), bytes);
  }

  // 31 seqLo seqHi and an answer to one of the page's commands; 31 00 (or a
  // refusal) answers the page's 31 itself.
  receiveOwn(frame) {
    const own = this.own;
    if (frame.length < 3) {
      if (frame.length === 2 && frame[1] === Status.OK && own.phase === 'asking') own.phase = 'on';
      else
        this.ownAnswersMissing(`The server refused to tell this page its own answers (${hexDump(frame)}).`);
      return;
    }
    const seq = frame[1] | (frame[2] << 8);
    const answer = frame.subarray(3);
    const at = own.waiting.findIndex((c) => c.seq === seq);
    const immediate = at >= 0;
    const command = immediate
      ? own.waiting.splice(at, 1)[0]
      : ([...own.started.values()].find((c) => c.seq === seq) ?? null);
    // A stop that ends what another command of the page started answers both
    // with the same xx FD, one frame right after the other: the state hears it once.
    const last = own.previous;
    const repeated =
      last !== null &&
      last.seq !== seq &&
      last.immediate !== immediate &&
      answer.length === 2 &&
      answer[1] === Status.STOPPED &&
      last.answer.length === 2 &&
      last.answer[0] === answer[0] &&
      last.answer[1] === answer[1];
    own.previous = { seq, immediate, answer };
    if (immediate) {
      own.started.set(command.command, command);
      this.settle(command, answer, repeated);
    } else if (answer.length > 0 && !repeated) {
      this.show(answer, handlers.dispatchAnswer(this, answer, command));
    }
  }

  // The immediate answer of `command` (empty: taken, it answers later or never).
  settle(command, answer, repeated) {
    const { fence } = command;
    const [code, status] = answer;
    if (fence && answer.length === 2 && code === fence.code && isRefusal(code, status)) {
      if (!fence.expired) {
        this.end(fence.control);
        if (fence.refused) fence.refused(status);
        else this.state.note = refusalWords(code, status);
      }
      this.log('in', `Refused: ${refusalWords(code, status)}`, answer);
      return;
    }
    if (answer.length > 0 && !repeated) this.show(answer, handlers.dispatchAnswer(this, answer, command));
    if (!fence || fence.expired) return;
    fence.accepted?.();
    if (fence.settle === 'taken') this.end(fence.control);
    if (fence.acceptedWords) this.log('note', fence.acceptedWords);
  }

  // Without its own answers the page cannot tell which answers are its own.
  ownAnswersMissing(why) {
    this.own.phase = 'refused';
    const words = `${why} The page cannot follow its commands: reload it; if this goes on, the server is older than the page.`;
    this.state.note = words;
    this.log('note', words, null, 'error');
  }
}

installCommands(Session);
