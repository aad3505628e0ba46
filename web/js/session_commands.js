// What a person can ask for, as methods of the Session (session.js). Each
// returns false and sends nothing while its control is busy with an earlier
// press; otherwise it marks the control busy and sends the command.
import { apiFailureWords } from './api.js';
import { Answer, channelWords, frames, listWords, bitsOf, refusalWords, Status } from './protocol.js';
import { startPractice } from './practice.js';
import { cleanName } from './settings.js';

// Training blocks the server until it answers; this bounds the page's wait.
export const GENERATE_WAIT_MS = 300000;
// How long "Record again" may take to remove the older windows.
const REPLACE_WAIT_MS = 60000;
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
      settle: 'taken',
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

  // The server's 09 stops a scan under way (answered 02 FD) as it stops everything else.
  stopScan() {
    if (!this.begin('stopScan', () => (this.state.note = 'The server did not stop the scan.'))) return false;
    this.send(frames.stopIdentify(), 'Stop scanning', {
      code: Answer.IDENTIFY,
      control: 'stopScan',
      settle: 'taken',
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

  // Sends the ticked channels and gestures, or `again`, the last configuration
  // the server held, when the armband came back.
  applyConfig(again = null) {
    const c = this.state.config;
    const { channelMask, gestureMask } = again ?? this.state.selection;
    const onTimeout = () => {
      c.pending = null;
      c.outcome = { ok: false, words: 'No answer about the configuration: apply it again.' };
    };
    if (!this.begin('apply', onTimeout)) return false;
    c.pending = { channelMask, gestureMask, again: again !== null };
    c.outcome = null;
    const names = listWords(bitsOf(gestureMask).map((slot) => this.nameOf(slot)));
    this.send(
      frames.setEmgConfig(channelMask, gestureMask),
      `${again ? 'Configure again' : 'Configure'} ${channelWords(channelMask)}, gestures ${names}`,
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

  // Records gesture `slot` after a count-in of COUNT_IN_MS (the hand that
  // pressed may be the one wearing the band). With `replace`, the gesture's
  // older windows are removed once the new one is saved, never before.
  startRecord(slot, { replace = false } = {}) {
    if (!this.serverFree() || this.isBusy('record') || this.isBusy(`delete${slot}`)) return false;
    delete this.state.cardNotes[slot];
    Object.assign(this.state.recording, {
      phase: 'countIn',
      slot,
      mine: true,
      replace,
      startedAt: this.now(),
      previewRows: 0,
      outcome: null,
    });
    this.changed();
    return true;
  },

  // The count-in is over: the window opens.
  openWindow() {
    const r = this.state.recording;
    if (!this.begin('record', () => this.recordingTimedOut())) {
      r.phase = 'idle';
      return;
    }
    this.sendRecord(r.slot);
  },

  sendRecord(slot) {
    const r = this.state.recording;
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
      settle: 'taken',
      acceptedWords: `${this.nameOf(slot)}: the recording window is open.`,
      accepted: () => {
        if (r.phase === 'starting' && r.slot === slot) {
          r.phase = 'running';
          r.startedAt = this.now();
          this.emit({ type: 'window-start', slot });
        }
        this.state.mode = 'recording';
        this.memory?.save({ slot, at: Date.now() });
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
    const r = this.state.recording;
    if (r.phase === 'countIn') {
      Object.assign(r, {
        phase: 'idle',
        mine: false,
        replace: false,
        outcome: { ok: false, slot: r.slot, words: 'Cancelled during the count-in; nothing was recorded.' },
      });
      this.changed();
      return true;
    }
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
      this.recordingsChanged();
    }
    return { ok, words: ok ? null : `The recording was not deleted. ${apiFailureWords(answer)}` };
  },

  // Window `k` (1-based, in the window log's order) of gesture `slot`.
  async deleteWindow(slot, k) {
    const control = `delete${slot}`;
    if (!this.begin(control, null)) return false;
    this.changed();
    const answer = await this.api.del(`/api/recordings/${slot}/windows/${k}`);
    this.end(control);
    this.state.cardNotes[slot] = {
      ok: answer.ok,
      words: answer.ok ? `Window ${k} deleted.` : `Window ${k} was not deleted. ${apiFailureWords(answer)}`,
    };
    if (answer.ok) {
      this.log('note', `${this.nameOf(slot)}: window ${k} was deleted on the server.`);
      this.recordingsChanged();
    }
    this.changed();
    return answer.ok;
  },

  // After "Record again" saved its window: the windows before it go, newest first
  // so that the numbers of the ones still to go stay as they were. Whatever
  // cannot be removed is kept, and the card says so.
  async removeOlderWindows(slot) {
    const control = `delete${slot}`;
    if (!this.begin(control, null, REPLACE_WAIT_MS)) return;
    this.changed();
    const entry = await this.api.get(`/api/recordings/${slot}`);
    const count = Array.isArray(entry.body?.windowLog) ? entry.body.windowLog.length : null;
    let removed = 0;
    let failure = null;
    for (let k = (count ?? 1) - 1; k >= 1 && !failure; k -= 1) {
      const answer = await this.api.del(`/api/recordings/${slot}/windows/${k}`);
      if (answer.ok) removed += 1;
      else failure = answer;
    }
    this.end(control);
    const older = (n) => (n === 1 ? 'older window' : `${n} older windows`);
    let note;
    if (!entry.ok || count === null)
      note = {
        ok: false,
        words:
          'The new window is saved. The earlier recording was kept too: its windows are not known, so they cannot be removed one by one (Delete removes it all).',
      };
    else if (failure)
      note = {
        ok: false,
        words: `The new window is saved, but the ${older(count - 1 - removed)} could not be removed and stayed. ${apiFailureWords(failure)}`,
      };
    else note = { ok: true, words: removed ? `Recorded again: the ${older(removed)} removed.` : 'Recorded.' };
    this.state.cardNotes[slot] = note;
    this.recordingsChanged();
    this.changed();
  },

  // The recordings changed: what the server holds, and whether the model is current, are read again.
  recordingsChanged() {
    this.state.evaluation.stale = true;
    this.refresh('recordings');
    this.refresh('status');
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

  // Reads the evaluation of the recordings again. Pressed (or after training),
  // it is replayed in the mode this page identifies in: the server is switched
  // to it first when it is idle. Read when the page opens, it changes nothing.
  async evaluate({ inPageMode = true } = {}) {
    const e = this.state.evaluation;
    if (e.phase === 'loading') return;
    e.phase = 'loading';
    this.changed();
    if (inPageMode && this.api && this.state.identifyMode === 'exact' && this.state.mode === 'idle') {
      const answer = await this.api.put('/api/settings', { identifyMode: 'calibrated' });
      if (answer.ok) this.state.identifyMode = answer.body?.identifyMode ?? 'calibrated';
    }
    this.refresh('evaluation');
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
    Object.assign(id, { phase: 'starting', current: null, reports: 0, outcome: null });
    startPractice(this.state);
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
      settle: 'taken',
      acceptedWords: 'Identification started.',
      accepted: () => {
        if (id.phase === 'starting') id.phase = 'running';
        this.state.mode = 'identifying';
        // The signal, live beside what is recognised.
        if (this.state.preview.phase === 'off') this.startPreview();
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

  // The gesture to practise next (a press on its item in the checklist).
  practise(slot) {
    const id = this.state.identify;
    id.target = slot;
    id.heldSince = id.current === slot ? this.now() : null;
    this.changed();
  },

  // The signal check: the server streams the signal while idle or identifying.
  startPreview() {
    const p = this.state.preview;
    const onTimeout = () => {
      if (p.phase === 'starting') p.phase = 'off';
      p.outcome = { ok: false, words: 'The server did not answer the signal check.' };
    };
    if (p.phase !== 'off' || !this.begin('preview', onTimeout)) return false;
    Object.assign(p, { phase: 'starting', outcome: null });
    this.send(frames.startPreview(), 'Check the signal', {
      code: Answer.PREVIEW_STREAM,
      control: 'preview',
      settle: 'answer',
      refused: (status) =>
        Object.assign(p, {
          phase: 'off',
          outcome: { ok: false, words: refusalWords(Answer.PREVIEW_STREAM, status) },
        }),
    });
    this.changed();
    return true;
  },

  stopPreview() {
    if (!this.begin('stopPreview', null)) return false;
    this.state.preview.phase = 'stopping';
    this.send(frames.stopPreview(), 'Stop the signal check');
    this.changed();
    return true;
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
      settle: 'taken',
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
