// What a person can ask for, as methods of the Session (session.js). Each
// returns false and sends nothing while its control is busy with an earlier
// press; otherwise it marks the control busy and sends the command.
import { apiFailureWords } from './api.js';
import { Answer, channelWords, frames, listWords, bitsOf, refusalWords, Status } from './protocol.js';
import { cleanName } from './settings.js';

// Training blocks the server until it answers; this bounds the page's wait.
export const GENERATE_WAIT_MS = 300000;
// Names are sent this long after the typing stops.
export const NAMES_DELAY_MS = 800;
const NAMES_RETRY_MS = 2000;

const commands = {
  scan() {
    if (!this.begin('scan', () => (this.state.note = 'The server did not answer the scan request.')))
      return false;
    this.send(frames.scan(), 'Scan for the armband', {
      code: Answer.DEVICE_FOUND,
      control: 'scan',
      settle: 'ping',
      acceptedWords: 'Scanning for the armband…',
      accepted: () => {
        if (this.state.link !== 'found' && this.state.link !== 'connected') this.state.link = 'scanning';
        this.scanStartedAt = this.now();
        this.state.note = null;
      },
    });
    this.changed();
    return true;
  },

  connect() {
    if (
      !this.begin('connect', () => (this.state.note = 'The armband did not answer the connection request.'))
    )
      return false;
    this.send(frames.connect(), 'Connect the armband', {
      code: Answer.CONNECTED,
      control: 'connect',
      settle: 'answer',
      accepted: () => {
        if (this.state.link !== 'connected') this.state.link = 'connecting';
      },
    });
    this.changed();
    return true;
  },

  disconnect() {
    if (
      !this.begin(
        'disconnect',
        () => (this.state.note = 'The armband did not answer the disconnection request.'),
      )
    )
      return false;
    this.send(frames.disconnect(), 'Disconnect the armband', {
      code: Answer.DISCONNECTED,
      control: 'disconnect',
      settle: 'answer',
      accepted: () => {
        if (this.state.link === 'connected') this.state.link = 'disconnecting';
      },
    });
    this.changed();
    return true;
  },

  // The ticked channels and gestures (not sent until applyConfig).
  select(channelMask, gestureMask) {
    this.state.selection = { channelMask, gestureMask };
    this.changed();
  },

  applyConfig() {
    const c = this.state.config;
    const { channelMask, gestureMask } = this.state.selection;
    const onTimeout = () => {
      c.pending = null;
      c.outcome = { ok: false, words: 'No answer about the configuration: apply it again.' };
    };
    if (!this.begin('apply', onTimeout)) return false;
    c.pending = { channelMask, gestureMask };
    c.outcome = null;
    const names = listWords(bitsOf(gestureMask).map((slot) => this.nameOf(slot)));
    this.send(
      frames.setEmgConfig(channelMask, gestureMask),
      `Configure ${channelWords(channelMask)}, gestures ${names}`,
      {
        code: Answer.EMG_CONFIG,
        control: 'apply',
        settle: 'answer',
        refused: (status) => {
          c.pending = null;
          c.outcome = { ok: false, words: refusalWords(Answer.EMG_CONFIG, status) };
        },
      },
    );
    this.changed();
    return true;
  },

  // Whether the server is known to be free for a recording or an identification.
  serverFree() {
    const s = this.state;
    return (
      s.mode === 'idle' &&
      s.recording.phase === 'idle' &&
      s.identify.phase === 'idle' &&
      s.stream.phase === 'idle'
    );
  },

  startRecord(slot) {
    if (!this.serverFree() || !this.begin('record', () => this.recordingTimedOut())) return false;
    this.sendRecord(slot);
    return true;
  },

  // Deletes the gesture's recordings on the server, then records it afresh.
  async recordAgain(slot) {
    if (!this.serverFree() || !this.begin('record', () => this.recordingTimedOut())) return false;
    const r = this.state.recording;
    Object.assign(r, {
      phase: 'starting',
      slot,
      mine: true,
      outcome: { words: 'Deleting the earlier recording…' },
    });
    this.changed();
    const deleted = await this.removeRecording(slot);
    if (!deleted.ok) {
      this.end('record');
      Object.assign(r, { phase: 'idle', outcome: { ok: false, slot, words: deleted.words } });
      this.changed();
      return false;
    }
    if (!this.isBusy('record')) return false; // timed out or the link closed meanwhile
    this.sendRecord(slot);
    return true;
  },

  sendRecord(slot) {
    const r = this.state.recording;
    delete this.state.cardNotes[slot];
    Object.assign(r, {
      phase: 'starting',
      slot,
      mine: true,
      startedAt: this.now(),
      previewRows: 0,
      outcome: null,
    });
    this.send(frames.startRecord(slot), `Record ${this.nameOf(slot)}`, {
      code: Answer.RECORD,
      control: 'record',
      settle: 'ping',
      acceptedWords: `${this.nameOf(slot)}: the recording window is open.`,
      accepted: () => {
        if (r.phase === 'starting' && r.slot === slot) {
          r.phase = 'running';
          r.startedAt = this.now();
          this.emit({ type: 'window-start', slot });
        }
        this.state.mode = 'recording';
      },
      refused: (status) => {
        if (r.slot === slot && r.phase === 'starting')
          Object.assign(r, {
            phase: 'idle',
            mine: false,
            outcome: { ok: false, slot, words: refusalWords(Answer.RECORD, status) },
          });
      },
    });
    this.changed();
  },

  recordingTimedOut() {
    const r = this.state.recording;
    if (r.phase === 'starting')
      Object.assign(r, {
        phase: 'idle',
        mine: false,
        outcome: { ok: false, words: 'The server did not answer the recording request.' },
      });
  },

  stopRecord() {
    if (!this.begin('stopRecord', () => this.recordingTimedOut())) return false;
    this.state.recording.phase = 'stopping';
    this.send(frames.stopRecord(), 'Stop the recording');
    this.changed();
    return true;
  },

  async deleteRecording(slot) {
    const control = `delete${slot}`;
    if (!this.begin(control, null)) return false;
    this.changed();
    const deleted = await this.removeRecording(slot);
    this.end(control);
    this.state.cardNotes[slot] = { ok: deleted.ok, words: deleted.ok ? 'Deleted.' : deleted.words };
    this.changed();
    return deleted.ok;
  },

  // DELETE /api/recordings/N; a recording already gone counts as deleted.
  async removeRecording(slot) {
    const answer = await this.api.del(`/api/recordings/${slot}`);
    const ok = answer.ok || answer.status === 404;
    if (ok) {
      this.log('note', `${this.nameOf(slot)}: its recordings were deleted on the server.`);
      if (this.state.recordings) this.state.recordings[slot] = null;
      this.state.evaluation.stale = true;
      this.refresh('recordings');
    }
    return { ok, words: ok ? null : `The recording was not deleted. ${apiFailureWords(answer)}` };
  },

  generate() {
    const g = this.state.generate;
    const onTimeout = () =>
      Object.assign(g, {
        phase: 'idle',
        outcome: { ok: false, words: 'No answer from the server after 5 minutes of training.' },
      });
    if (!this.begin('generate', onTimeout, GENERATE_WAIT_MS)) return false;
    Object.assign(g, { phase: 'running', startedAt: this.now(), elapsedMs: 0, outcome: null });
    this.state.evaluation = { phase: 'idle', data: null, words: null, stale: false };
    this.send(frames.generateModel(), 'Generate the model');
    this.changed();
    return true;
  },

  // Reads the evaluation of the recordings again.
  evaluate() {
    this.refresh('evaluation');
    this.changed();
  },

  upload() {
    const u = this.state.upload;
    const onTimeout = () =>
      Object.assign(u, {
        phase: 'idle',
        outcome: { ok: false, words: 'The server did not answer the upload request.' },
      });
    if (u.phase !== 'idle' || !this.begin('upload', onTimeout)) return false;
    Object.assign(u, { phase: 'starting', percent: 0, outcome: null });
    this.send(frames.uploadModel(), 'Upload the model to the armband', {
      code: Answer.UPLOAD,
      control: 'upload',
      settle: 'none', // the upload stays busy until its outcome
      acceptedWords: 'The upload started.',
      accepted: () => {
        if (u.phase === 'starting') Object.assign(u, { phase: 'running', lastProgressAt: this.now() });
        this.state.busy.upload = { since: this.now(), deadline: Infinity }; // the stall watch takes over
      },
      refused: (status) =>
        Object.assign(u, {
          phase: 'idle',
          outcome: { ok: false, words: refusalWords(Answer.UPLOAD, status) },
        }),
    });
    this.changed();
    return true;
  },

  // Identification runs in the calibrated mode: the server is switched to it first when needed.
  async startIdentify() {
    const id = this.state.identify;
    const onTimeout = () => {
      if (id.phase === 'starting')
        Object.assign(id, { phase: 'idle', outcome: { ok: false, words: 'The server did not answer.' } });
    };
    if (!this.serverFree() || !this.begin('identify', onTimeout)) return false;
    Object.assign(id, { phase: 'starting', current: null, reports: 0, seen: [], outcome: null });
    this.changed();
    if (this.state.identifyMode !== 'calibrated' && this.api) {
      const answer = await this.api.put('/api/settings', { identifyMode: 'calibrated' });
      if (!this.isBusy('identify')) return false;
      if (!answer.ok) {
        this.end('identify');
        Object.assign(id, {
          phase: 'idle',
          outcome: {
            ok: false,
            words: `The identification mode could not be set. ${apiFailureWords(answer)}`,
          },
        });
        this.changed();
        return false;
      }
      this.state.identifyMode = answer.body?.identifyMode ?? 'calibrated';
      this.log('note', 'Identification mode: calibrated.');
    }
    this.send(frames.startIdentify(), 'Start identification', {
      code: Answer.IDENTIFY,
      control: 'identify',
      settle: 'ping',
      acceptedWords: 'Identification started.',
      accepted: () => {
        if (id.phase === 'starting') id.phase = 'running';
        this.state.mode = 'identifying';
      },
      refused: (status) =>
        Object.assign(id, { phase: 'idle', outcome: { ok: false, words: this.identifyRefusal(status) } }),
    });
    this.changed();
    return true;
  },

  // Why identification was refused, as precisely as what the page knows allows.
  identifyRefusal(status) {
    const s = this.state;
    if (status === Status.FAILED && s.mode === 'idle') {
      if (!s.model?.usable) return 'There is no usable model yet: generate it first.';
      const trained = s.model.trainedGestureMask;
      if (trained !== null && s.config.server && trained !== s.config.server.gestureMask)
        return 'The model was trained on other gestures than the ones configured: generate it again.';
    }
    return refusalWords(Answer.IDENTIFY, status);
  },

  stopIdentify() {
    if (!this.begin('stopIdentify', null)) return false;
    this.state.identify.phase = 'stopping';
    this.send(frames.stopIdentify(), 'Stop identification');
    this.changed();
    return true;
  },

  startGestureStream() {
    const st = this.state.stream;
    if (!this.serverFree() || !this.begin('stream', null)) return false;
    Object.assign(st, { phase: 'starting', outcome: null });
    this.send(frames.startGestureStream(), "Stream the armband's own gestures", {
      code: Answer.GESTURE_STREAM,
      control: 'stream',
      settle: 'ping',
      accepted: () => {
        if (st.phase === 'starting') st.phase = 'running';
        this.state.mode = 'streaming';
      },
      refused: (status) =>
        Object.assign(st, {
          phase: 'idle',
          outcome: { ok: false, words: refusalWords(Answer.GESTURE_STREAM, status) },
        }),
    });
    this.changed();
    return true;
  },

  stopGestureStream() {
    if (!this.begin('stopStream', null)) return false;
    this.state.stream.phase = 'stopping';
    this.send(frames.stopGestureStream(), "Stop the armband's gesture stream");
    this.changed();
    return true;
  },

  // A name typed for gesture `slot`; it goes to the server once the typing stops.
  renameGesture(slot, text) {
    this.state.names[slot - 1] = cleanName(text);
    this.state.namesDirty = true;
    this.namesVersion = (this.namesVersion ?? 0) + 1;
    this.namesDueAt = this.now() + NAMES_DELAY_MS;
    this.changed();
  },

  async saveNames() {
    if (!this.api || !this.begin('names', null)) return;
    const version = this.namesVersion;
    this.namesDueAt = null;
    const answer = await this.api.put('/api/gestures', { names: this.state.names.map((n) => n.trim()) });
    this.end('names');
    if (answer.ok && version === this.namesVersion) {
      this.state.namesDirty = false;
      this.state.namesNote = null;
    } else if (answer.ok || answer.status === 409 || answer.status === 0) {
      this.namesDueAt = this.now() + NAMES_RETRY_MS; // changed meanwhile, or the server was busy
    } else {
      this.state.namesDirty = false;
      this.state.namesNote = `The names were not saved. ${apiFailureWords(answer)}`;
      this.refresh('status');
    }
    this.changed();
  },
};

export function installCommands(Session) {
  Object.assign(Session.prototype, commands);
}
