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
import {
  Answer,
  NO_GESTURE,
  RECORD_WINDOW_MS,
  Status,
  configWords,
  describeIncoming,
  frames,
  generateWords,
  hexDump,
  parsePreview,
  parseVersions,
  refusalWords,
  uploadWords,
} from './protocol.js';

export const HISTORY_LENGTH = 8;
// A 06 FF this late in a window is the server failing to save it.
const SAVE_FAILURE_AFTER_MS = RECORD_WINDOW_MS - 5000;
export const UPLOAD_STALL_MS = 10000;

function freshState() {
  return {
    server: 'connecting', // 'connecting' | 'open' | 'closed'
    link: 'unknown', // 'unknown' | 'disconnected' | 'scanning' | 'found' | 'connecting' | 'connected' | 'disconnecting'
    versions: null, // {server, firmware, hardware}; null entries are unknown
    mode: 'idle', // the server's data mode as far as the page knows: 'idle' | 'recording' | 'identifying' | 'streaming'
    config: { pending: null, applied: null, outcome: null },
    recording: { phase: 'idle', slot: null, startedAt: 0, previewRows: 0, counts: Array(9).fill(0), outcome: null },
    generate: { phase: 'idle', startedAt: 0, elapsedMs: null, outcome: null },
    upload: { phase: 'idle', percent: 0, lastProgressAt: 0, stalled: false, outcome: null },
    identify: { phase: 'idle', current: null, history: [], outcome: null },
    stream: { phase: 'idle', history: [], outcome: null },
    note: null, // the last refusal or notice that belongs to no panel
  };
}

export class Session {
  constructor({ transmit, now = () => Date.now() }) {
    this.transmit = transmit;
    this.now = now;
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
      s.recording = { ...s.recording, phase: 'idle', outcome: { ok: false, words: 'The server went away during the recording; it was not saved.' } };
    }
    s.generate.phase = 'idle';
    if (s.upload.phase !== 'idle') s.upload = { ...s.upload, phase: 'idle', outcome: { ok: false, words: 'The server went away during the upload.' } };
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
    this.send(frames.setEmgConfig(channelMask, gestureMask), `Configure channels ${hexDump([channelMask])}, gestures ${hexDump([gestureMask])}`);
    this.changed();
  }

  startRecord(slot) {
    const r = this.state.recording;
    Object.assign(r, { phase: 'starting', slot, startedAt: this.now(), previewRows: 0, outcome: null });
    this.send(frames.startRecord(slot), `Record gesture ${slot}`, {
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
    Object.assign(this.state.generate, { phase: 'running', startedAt: this.now(), elapsedMs: 0, outcome: null });
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
      refused: (status) => Object.assign(u, { phase: 'idle', outcome: { ok: false, words: uploadWords(status) } }),
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
      refused: () => Object.assign(id, { phase: 'idle', outcome: { ok: false, words: refusalWords(Answer.IDENTIFY) } }),
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
      refused: () => Object.assign(st, { phase: 'idle', outcome: { ok: false, words: refusalWords(Answer.GESTURE_STREAM) } }),
    });
    this.changed();
  }

  stopGestureStream() {
    this.state.stream.phase = 'stopping';
    this.send(frames.stopGestureStream(), "Stop the armband's gesture stream");
    this.changed();
  }

  // Time passing: the recording window's end and a silent upload.
  tick() {
    const now = this.now();
    const r = this.state.recording;
    let change = false;
    if (r.phase === 'running' && now - r.startedAt >= RECORD_WINDOW_MS) {
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
      this.onPreview(bytes);
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
        return this.onLink(code, status);
      case Answer.EMG_CONFIG:
        return this.onConfig(status);
      case Answer.RECORD:
        return this.onRecord(status);
      case Answer.IDENTIFY:
        return this.onIdentify(status);
      case Answer.GENERATE:
        return this.onGenerate(Array.from(bytes.slice(1)));
      case Answer.UPLOAD:
      case Answer.UPLOAD_PROGRESS:
        return this.onUpload(code, status);
      case Answer.GESTURE_STREAM:
        return this.onGestureStream(status);
      case Answer.VERSION:
        return this.onVersions(bytes);
      default:
        return null;
    }
  }

  onLink(code, status) {
    const s = this.state;
    if (status !== Status.OK) return describeIncoming([code, status]);
    if (code === Answer.DEVICE_FOUND) {
      if (s.link !== 'connected') s.link = 'found';
      return 'Armband found: it can be connected now.';
    }
    if (code === Answer.CONNECTED) {
      s.link = 'connected';
      s.config.applied = null; // a fresh link needs the configuration again
      this.requestVersions();
      return 'Armband connected.';
    }
    s.link = 'disconnected';
    s.mode = 'idle';
    s.versions = s.versions && { ...s.versions, firmware: null, hardware: null };
    s.config.applied = null; // the server forgets channels and gestures
    if (s.recording.phase !== 'idle') {
      Object.assign(s.recording, { phase: 'idle', outcome: { ok: false, words: 'The armband disconnected during the recording; it was not saved.' } });
    }
    s.identify.phase = 'idle';
    s.stream.phase = 'idle';
    return 'Armband disconnected.';
  }

  onConfig(status) {
    const c = this.state.config;
    c.applied = status === Status.OK ? (c.pending ?? { channelMask: null, gestureMask: null }) : null;
    c.pending = null;
    c.outcome = { ok: status === Status.OK, words: configWords(status) };
    return `Configuration: ${configWords(status)}`;
  }

  onRecord(status) {
    const s = this.state;
    const r = s.recording;
    if (status === Status.OK || status === Status.STOPPED) {
      if (status === Status.OK && r.slot !== null && r.phase !== 'idle') r.counts[r.slot] += 1;
      const words = status === Status.OK ? 'Recording saved.' : 'Recording stopped; nothing was saved.';
      Object.assign(r, { phase: 'idle', outcome: { ok: status === Status.OK, words, slot: r.slot } });
      s.mode = 'idle';
      return words;
    }
    if (status !== Status.FAILED) return null;
    if (r.phase === 'stopping') {
      Object.assign(r, { phase: 'idle', outcome: { ok: false, words: 'There was no recording to stop.' } });
      return 'Stop refused: the server was not recording.';
    }
    if ((r.phase === 'running' || r.phase === 'saving') && this.now() - r.startedAt >= SAVE_FAILURE_AFTER_MS) {
      Object.assign(r, { phase: 'idle', outcome: { ok: false, words: 'The server could not save the recording: it could not open its raw file.' } });
      s.mode = 'idle';
      return 'The recording could not be saved.';
    }
    return "Another client's recording request was refused.";
  }

  onPreview(bytes) {
    const preview = parsePreview(bytes);
    if (!preview) {
      this.log('in', 'A preview frame that cannot be split into four rows.', bytes, 'error');
      return;
    }
    const r = this.state.recording;
    if (r.phase === 'idle') {
      Object.assign(r, { phase: 'running', slot: null, startedAt: this.now(), previewRows: 0, outcome: null });
      this.state.mode = 'recording';
      this.log('note', 'Another client started a recording.');
      this.changed();
    } else if (r.phase === 'starting') {
      r.phase = 'running';
      this.changed();
    }
    r.previewRows += preview.rows.length;
    this.emit({ type: 'preview', ...preview });
  }

  onIdentify(status) {
    const s = this.state;
    const id = s.identify;
    if (status === Status.STOPPED) {
      Object.assign(id, { phase: 'idle', current: null, outcome: { ok: true, words: 'Identification stopped.' } });
      s.mode = 'idle'; // stopping identification idles the server whatever it was doing
      if (s.stream.phase !== 'idle') s.stream.phase = 'idle';
      return 'Identification stopped.';
    }
    id.phase = 'running';
    s.mode = 'identifying';
    id.current = status;
    id.history.unshift({ slot: status, at: this.now() });
    id.history.length = Math.min(id.history.length, HISTORY_LENGTH);
    return status === NO_GESTURE ? 'Identified: no gesture.' : `Identified gesture ${status}.`;
  }

  onGenerate(statuses) {
    const g = this.state.generate;
    if (statuses.length === 1 && statuses[0] === Status.STOPPED) return generateWords(statuses);
    const ok = statuses.length === 1 && statuses[0] === Status.OK;
    const elapsedMs = g.phase === 'running' ? this.now() - g.startedAt : null;
    Object.assign(g, { phase: 'idle', elapsedMs, outcome: { ok, words: generateWords(statuses) } });
    return `Generation: ${generateWords(statuses)}`;
  }

  onUpload(code, status) {
    const u = this.state.upload;
    if (code === Answer.UPLOAD_PROGRESS) {
      Object.assign(u, { phase: 'running', percent: Math.min(status, 100), lastProgressAt: this.now(), stalled: false });
      return `Upload progress: ${status} %.`;
    }
    if (status === Status.STOPPED) return uploadWords(status);
    if (status === Status.OK || status === Status.DEVICE_ERROR) {
      const ok = status === Status.OK;
      Object.assign(u, { phase: 'idle', percent: ok ? 100 : u.percent, stalled: false, outcome: { ok, words: uploadWords(status) } });
      return `Upload: ${uploadWords(status)}`;
    }
    return `Another client's upload was refused: ${uploadWords(status)}`;
  }

  onGestureStream(status) {
    const s = this.state;
    const st = s.stream;
    if (status === Status.STOPPED) {
      Object.assign(st, { phase: 'idle', outcome: { ok: true, words: 'The armband gesture stream stopped.' } });
      s.mode = 'idle';
      return 'Armband gesture stream stopped.';
    }
    if (status === Status.WRONG_MODE) {
      if (st.phase === 'stopping') Object.assign(st, { phase: 'idle', outcome: { ok: false, words: 'The armband gesture stream was not running.' } });
      return 'A gesture stream command came in the wrong mode.';
    }
    st.phase = 'running';
    s.mode = 'streaming';
    st.history.unshift({ gesture: status, at: this.now() });
    st.history.length = Math.min(st.history.length, HISTORY_LENGTH);
    return null;
  }

  onVersions(bytes) {
    const versions = parseVersions(bytes);
    if (!versions) return 'A version answer that cannot be read.';
    const s = this.state;
    s.versions = versions;
    const armbandKnown = versions.firmware !== null || versions.hardware !== null;
    if (armbandKnown && (s.link === 'unknown' || s.link === 'disconnected' || s.link === 'found')) s.link = 'connected';
    if (!armbandKnown && s.link === 'unknown') s.link = 'disconnected';
    return `Versions: server ${versions.server ?? 'unknown'}, firmware ${versions.firmware ?? 'unknown'}, hardware ${versions.hardware ?? 'unknown'}.`;
  }
}

// Whether `status` is how the command answered by `code` says no at once.
function isRefusal(code, status) {
  if (code === Answer.UPLOAD) return status === Status.FAILED || status === Status.FILE_ERROR || status === Status.BAD_LENGTH;
  if (code === Answer.GESTURE_STREAM) return status === Status.WRONG_MODE;
  return status === Status.FAILED;
}
