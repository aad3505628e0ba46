// What the page knows of the server and the armband, kept up to date from the
// messages the server sends.
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
// Pure logic: the socket is a `transmit(bytes)` function and time a `now()`
// function, so tests drive it directly. Listeners get {type: 'change'},
// {type: 'log', ...} and {type: 'preview', rows, channels}.
import * as handlers from './answer_handlers.js';
import {
  Answer,
  RECORD_WINDOW_MS,
  Status,
  describeIncoming,
  frames,
  hexDump,
  refusalWords,
  uploadWords,
} from './protocol.js';

export { HISTORY_LENGTH } from './answer_handlers.js';

export const UPLOAD_STALL_MS = 10000;

function freshState() {
  return {
    server: 'connecting', // 'connecting' | 'open' | 'closed'
    link: 'unknown', // 'unknown' | 'disconnected' | 'scanning' | 'found' | 'connecting' | 'connected' | 'disconnecting'
    versions: null, // {server, firmware, hardware}; null entries are unknown
    mode: 'idle', // the server's data mode as far as the page knows: 'idle' | 'recording' | 'identifying' | 'streaming'
    config: { pending: null, applied: null, outcome: null },
    recording: {
      phase: 'idle',
      slot: null,
      startedAt: 0,
      previewRows: 0,
      counts: Array(9).fill(0),
      outcome: null,
    },
    generate: { phase: 'idle', startedAt: 0, elapsedMs: null, outcome: null },
    upload: { phase: 'idle', percent: 0, lastProgressAt: 0, stalled: false, outcome: null },
    identify: { phase: 'idle', current: null, history: [], outcome: null },
    stream: { phase: 'idle', history: [], outcome: null },
    note: null, // the last refusal or notice that belongs to no panel
  };
}

export class Session {
  // `nameOf(slot)` names a gesture slot in the log's words. `speed` is how many
  // times faster than real time the armband runs (a simulated one may).
  constructor({ transmit, now = () => Date.now(), nameOf = (slot) => `gesture ${slot}`, speed = 1 }) {
    this.transmit = transmit;
    this.now = now;
    this.nameOf = nameOf;
    this.speed = speed;
    this.state = freshState();
    this.fences = []; // commands awaiting their ping: {code, accepted(), refused(status)}
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

  send(bytes, words, fence = null) {
    this.log('out', words, bytes);
    this.transmit(bytes);
    if (fence) {
      this.transmit(frames.ping());
      this.fences.push(fence);
    }
  }

  // The server link.

  linkOpened() {
    const counts = this.state.recording.counts;
    this.state = freshState();
    this.state.recording.counts = counts;
    this.state.server = 'open';
    this.fences = [];
    this.log('note', 'Connected to the Quillon server.');
    this.requestVersions();
    this.changed();
  }

  linkClosed() {
    if (this.state.server === 'closed') return;
    const s = this.state;
    s.server = 'closed';
    this.fences = [];
    if (s.recording.phase !== 'idle') {
      s.recording = {
        ...s.recording,
        phase: 'idle',
        outcome: { ok: false, words: 'The server went away during the recording; it was not saved.' },
      };
    }
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

  // What a person can ask for.

  requestVersions() {
    this.send(frames.getVersion(), 'Ask for the versions');
  }

  scan() {
    this.send(frames.scan(), 'Scan for the armband', {
      code: Answer.DEVICE_FOUND,
      accepted: () => {
        if (this.state.link !== 'found' && this.state.link !== 'connected') this.state.link = 'scanning';
      },
    });
  }

  connect() {
    this.send(frames.connect(), 'Connect the armband', {
      code: Answer.CONNECTED,
      accepted: () => {
        if (this.state.link !== 'connected') this.state.link = 'connecting';
      },
    });
  }

  disconnect() {
    this.send(frames.disconnect(), 'Disconnect the armband', {
      code: Answer.DISCONNECTED,
      accepted: () => {
        if (this.state.link === 'connected') this.state.link = 'disconnecting';
      },
    });
  }

  applyConfig(channelMask, gestureMask) {
    this.state.config.pending = { channelMask, gestureMask };
    this.state.config.outcome = null;
    this.send(
      frames.setEmgConfig(channelMask, gestureMask),
      `Configure channels ${hexDump([channelMask])}, gestures ${hexDump([gestureMask])}`,
    );
    this.changed();
  }

  startRecord(slot) {
    const r = this.state.recording;
    Object.assign(r, { phase: 'starting', slot, startedAt: this.now(), previewRows: 0, outcome: null });
    this.send(frames.startRecord(slot), `Record ${this.nameOf(slot)}`, {
      code: Answer.RECORD,
      accepted: () => {
        if (r.phase === 'starting') r.phase = 'running';
        this.state.mode = 'recording';
      },
      refused: () => {
        Object.assign(r, { phase: 'idle', outcome: { ok: false, words: refusalWords(Answer.RECORD) } });
      },
    });
    this.changed();
  }

  stopRecord() {
    this.state.recording.phase = 'stopping';
    this.send(frames.stopRecord(), 'Stop the recording');
    this.changed();
  }

  generate() {
    Object.assign(this.state.generate, {
      phase: 'running',
      startedAt: this.now(),
      elapsedMs: 0,
      outcome: null,
    });
    this.send(frames.generateModel(), 'Generate the model');
    this.changed();
  }

  upload() {
    const u = this.state.upload;
    Object.assign(u, { phase: 'starting', percent: 0, stalled: false, outcome: null });
    this.send(frames.uploadModel(), 'Upload the model to the armband', {
      code: Answer.UPLOAD,
      accepted: () => {
        if (u.phase === 'starting') Object.assign(u, { phase: 'running', lastProgressAt: this.now() });
      },
      refused: (status) =>
        Object.assign(u, { phase: 'idle', outcome: { ok: false, words: uploadWords(status) } }),
    });
    this.changed();
  }

  startIdentify() {
    const id = this.state.identify;
    Object.assign(id, { phase: 'starting', outcome: null });
    this.send(frames.startIdentify(), 'Start identification', {
      code: Answer.IDENTIFY,
      accepted: () => {
        if (id.phase === 'starting') id.phase = 'running';
        this.state.mode = 'identifying';
      },
      refused: () =>
        Object.assign(id, { phase: 'idle', outcome: { ok: false, words: refusalWords(Answer.IDENTIFY) } }),
    });
    this.changed();
  }

  stopIdentify() {
    this.state.identify.phase = 'stopping';
    this.send(frames.stopIdentify(), 'Stop identification');
    this.changed();
  }

  startGestureStream() {
    const st = this.state.stream;
    Object.assign(st, { phase: 'starting', outcome: null });
    this.send(frames.startGestureStream(), "Stream the armband's own gestures", {
      code: Answer.GESTURE_STREAM,
      accepted: () => {
        if (st.phase === 'starting') st.phase = 'running';
        this.state.mode = 'streaming';
      },
      refused: () =>
        Object.assign(st, {
          phase: 'idle',
          outcome: { ok: false, words: refusalWords(Answer.GESTURE_STREAM) },
        }),
    });
    this.changed();
  }

  stopGestureStream() {
    this.state.stream.phase = 'stopping';
    this.send(frames.stopGestureStream(), "Stop the armband's gesture stream");
    this.changed();
  }

  // The armband's time, in ms, since `then` on the page's clock.
  armbandMsSince(then, now = this.now()) {
    return (now - then) * this.speed;
  }

  // Time passing: the recording window's end and a silent upload.
  tick() {
    const now = this.now();
    const r = this.state.recording;
    let change = false;
    if (r.phase === 'running' && this.armbandMsSince(r.startedAt, now) >= RECORD_WINDOW_MS) {
      r.phase = 'saving';
      change = true;
    }
    const u = this.state.upload;
    if (u.phase === 'running' && !u.stalled && now - u.lastProgressAt >= UPLOAD_STALL_MS) {
      u.stalled = true;
      change = true;
    }
    if (this.state.generate.phase === 'running') {
      this.state.generate.elapsedMs = now - this.state.generate.startedAt;
      change = true;
    }
    if (change) this.changed();
  }

  // A message from the server.
  receive(bytes) {
    if (bytes.length === 0) return;
    if (bytes[0] === Answer.PREVIEW) {
      handlers.onPreview(this, bytes);
      return;
    }
    const words = this.dispatch(bytes);
    this.log('in', words ?? describeIncoming(bytes), bytes);
    this.changed();
  }

  // Handles one message; returns the words for the log, or null for the usual description.
  dispatch(bytes) {
    const [code, status = 0] = bytes;
    if (code === Answer.PING && status === Status.OK) {
      const fence = this.fences.shift();
      fence?.accepted();
      return fence ? 'Ping answered: the command before it was accepted.' : null;
    }
    const fenceIndex = this.fences.findIndex((f) => f.code === code);
    if (fenceIndex >= 0 && bytes.length === 2 && isRefusal(code, status)) {
      const fence = this.fences[fenceIndex];
      this.fences[fenceIndex] = { code: -1, accepted: () => {} }; // its ping is still to come
      if (fence.refused) fence.refused(status);
      else this.state.note = refusalWords(code);
      return `Refused: ${refusalWords(code)}`;
    }
    switch (code) {
      case Answer.DEVICE_FOUND:
      case Answer.CONNECTED:
      case Answer.DISCONNECTED:
        return handlers.onLink(this, code, status);
      case Answer.EMG_CONFIG:
        return handlers.onConfig(this, status);
      case Answer.RECORD:
        return handlers.onRecord(this, status);
      case Answer.IDENTIFY:
        return handlers.onIdentify(this, status);
      case Answer.GENERATE:
        return handlers.onGenerate(this, Array.from(bytes.slice(1)));
      case Answer.UPLOAD:
      case Answer.UPLOAD_PROGRESS:
        return handlers.onUpload(this, code, status);
      case Answer.GESTURE_STREAM:
        return handlers.onGestureStream(this, status);
      case Answer.VERSION:
        return handlers.onVersions(this, bytes);
      default:
        return null;
    }
  }
}

// Whether `status` is how the command answered by `code` says no at once.
function isRefusal(code, status) {
  if (code === Answer.UPLOAD)
    return status === Status.FAILED || status === Status.FILE_ERROR || status === Status.BAD_LENGTH;
  if (code === Answer.GESTURE_STREAM) return status === Status.WRONG_MODE;
  return status === Status.FAILED;
}
