// How each kind of message from the server moves the session's state; used by
// Session.receive, which has already taken out the refusals of this page's own
// commands. `own` is the page's command ({seq, command}) that the answer came
// under, or null for a plain answer: another client's, or news. Each returns
// the words for the log, null for the plain description of the message, or
// false to leave it out.
import {
  Answer,
  Command,
  NO_GESTURE,
  RECORD_WINDOW_MS,
  Status,
  armbandGestureName,
  bitsOf,
  channelWords,
  configWords,
  listWords,
  describeIncoming,
  generateWords,
  parsePreview,
  parseVersions,
  isRefusal,
  refusalWords,
  uploadWords,
} from './protocol.js';
import { apiFailureWords } from './api.js';
import { checkPractice, notePracticeReport, startPractice } from './practice.js';

export const HISTORY_LENGTH = 8;
// A 06 FF this late in a window is the server failing to save it.
const SAVE_FAILURE_AFTER_MS = RECORD_WINDOW_MS - 5000;
// An upload with no progress for this long has stopped (the server gives up after 5 s).
export const UPLOAD_STALL_MS = 15000;
// A scan this long without an armband gets a word of advice.
export const SCAN_NOTICE_MS = 20000;
// The count-in before a recording window, on the page's clock: a person's time.
export const COUNT_IN_MS = 3000;

export function dispatchAnswer(session, bytes, own = null) {
  const [code, status = 0] = bytes;
  // What the page's own start of a recording, a stream, the signal check,
  // training or an upload hears after it was taken is its outcome.
  const ownStart = own?.command ?? null;
  switch (code) {
    case Answer.PING:
      return false;
    case Answer.DEVICE_FOUND:
    case Answer.CONNECTED:
    case Answer.DISCONNECTED:
      return onLink(session, code, status, ownStart === Command.CONNECT_DEVICE);
    case Answer.EMG_CONFIG:
      return onConfig(session, status, ownStart === Command.SET_EMG_CONFIG);
    case Answer.RECORD:
      return onRecord(session, status, ownStart === Command.START_RECORD);
    case Answer.IDENTIFY:
      return onIdentify(session, status, ownStart === Command.START_IDENTIFY);
    case Answer.GENERATE:
      return onGenerate(session, Array.from(bytes.slice(1)), ownStart === Command.GENERATE_MODEL);
    case Answer.UPLOAD:
    case Answer.UPLOAD_PROGRESS:
      return onUpload(session, code, status, ownStart === Command.MODEL_UPDATE);
    case Answer.GESTURE_STREAM:
      return onGestureStream(session, status, ownStart === Command.START_GESTURE_STREAM);
    case Answer.PREVIEW_STREAM:
      return onPreviewStream(session, status, ownStart === Command.START_PREVIEW);
    case Answer.VERSION:
      return onVersions(session, bytes);
    default:
      return null;
  }
}

// `connected`: the outcome of this page's own connect.
export function onLink(session, code, status, connected = false) {
  const s = session.state;
  if (code === Answer.DEVICE_FOUND) {
    if (status === Status.STOPPED || status === Status.DEVICE_ERROR) {
      session.end('scan');
      if (s.link === 'scanning') s.link = 'disconnected';
      s.note =
        status === Status.STOPPED
          ? 'Scanning stopped.'
          : 'No armband was found in 30 s: check that it is on, charged and near, then scan again.';
      return status === Status.STOPPED ? 'The scan was stopped.' : 'The scan ended: no armband found.';
    }
    if (status !== Status.OK) return null;
    session.end('scan');
    s.note = null; // news of the link makes an earlier refusal stale
    if (s.link !== 'connected') s.link = 'found';
    return 'Armband found: it can be connected now.';
  }
  if (code === Answer.CONNECTED) {
    session.end('connect');
    session.refresh('status');
    if (status === Status.DEVICE_ERROR) {
      s.link = 'found';
      s.note = 'The armband could not be connected: it has gone, or stayed silent for 5 s. Scan again.';
      return 'Connecting failed: the armband has gone or stayed silent.';
    }
    if (status !== Status.OK) return null;
    s.note = null;
    s.link = 'connected';
    // The page that connected it applies the last configuration again, once the
    // status read above says the server holds none.
    session.reapplyDue = connected;
    return 'Armband connected.';
  }
  if (status !== Status.OK) return null;
  session.end('disconnect');
  s.note = null;
  s.link = 'disconnected';
  s.mode = 'idle';
  s.versions = s.versions && { ...s.versions, firmware: null, hardware: null };
  s.config.server = null; // the server forgets channels and gestures
  if (s.recording.phase === 'countIn') s.recording.phase = 'idle';
  if (s.recording.phase !== 'idle') {
    Object.assign(s.recording, {
      phase: 'idle',
      outcome: { ok: false, words: 'The armband disconnected during the recording; it was not saved.' },
    });
  }
  s.identify.phase = 'idle';
  s.stream.phase = 'idle';
  s.preview.phase = 'off';
  session.refresh('status');
  return 'Armband disconnected.';
}

// `mine`: the outcome of this page's own configuration; another client's
// leaves this page's waiting for its own.
export function onConfig(session, status, mine = false) {
  const c = session.state.config;
  const ok = status === Status.OK;
  const sent = mine ? c.pending : null;
  if (mine) session.end('apply');
  if (sent && status !== Status.WRONG_MODE && status !== Status.FAILED) {
    c.server = { channelMask: sent.channelMask, gestureMask: sent.gestureMask };
    c.last = c.server;
  }
  c.armbandOk = ok;
  if (mine) c.pending = null;
  // Another page's acceptance does not replace what this page said of its own.
  if (sent || !ok || !c.outcome?.ok)
    c.outcome = {
      ok,
      words:
        ok && sent?.again
          ? `The armband came back: ${channelWords(sent.channelMask)} and ${listWords(
              bitsOf(sent.gestureMask).map((slot) => session.nameOf(slot)),
            )} were applied again.`
          : configWords(status),
    };
  session.state.evaluation.stale = true;
  session.refresh('status');
  session.refresh('recordings');
  return `Configuration: ${configWords(status)}`;
}

// `mine`: the end of this page's own window.
export function onRecord(session, status, mine = false) {
  const s = session.state;
  const r = s.recording;
  if (status === Status.OK || status === Status.STOPPED) {
    session.end('stopRecord');
    const running = r.phase !== 'idle' && r.phase !== 'countIn';
    const slot = running ? r.slot : null; // null: a window this page never saw
    const replacing = running && r.mine && r.replace;
    let words = status === Status.OK ? 'Recording saved.' : 'Recording stopped; nothing was saved.';
    if (replacing && status === Status.STOPPED) words += ' The earlier recording is kept.';
    if (running && r.mine) session.memory?.clear();
    if (r.phase !== 'countIn') {
      const outcome = { ok: status === Status.OK, words, slot };
      Object.assign(r, { phase: 'idle', mine: false, replace: false, outcome });
    }
    s.mode = 'idle';
    if (status === Status.OK && replacing) session.removeOlderWindows(slot);
    else if (status === Status.OK) session.recordingsChanged();
    session.emit({ type: 'window-end', slot, saved: status === Status.OK });
    return slot === null ? words : `${session.nameOf(slot)}: ${words}`;
  }
  if (status !== Status.FAILED && !mine) return null; // another client's refusal
  if (r.phase === 'stopping' && !mine) {
    session.end('stopRecord');
    Object.assign(r, { phase: 'idle', outcome: { ok: false, words: 'There was no recording to stop.' } });
    return 'Stop refused: the server was not recording.';
  }
  const running = r.phase === 'running' || r.phase === 'saving';
  if (mine || (running && session.armbandMsSince(r.startedAt) >= SAVE_FAILURE_AFTER_MS)) {
    // 06 FF at the window's end: the save failed; F0 or F2: the armband did
    // not stream the window, or went during it.
    const saveFailed = status === Status.FAILED;
    const words = saveFailed
      ? 'The server could not save the recording: it could not write its raw file.'
      : `Nothing was recorded. ${refusalWords(Answer.RECORD, status)}`;
    if (r.phase !== 'idle' && r.phase !== 'countIn')
      Object.assign(r, { phase: 'idle', mine: false, outcome: { ok: false, slot: r.slot, words } });
    if (mine) session.memory?.clear();
    s.mode = 'idle';
    return saveFailed ? 'The recording could not be saved.' : `The recording failed: ${words}`;
  }
  return "Another client's recording request was refused.";
}

// The first preview frame of a window marks its start on the page's clock.
function windowOpens(session, r) {
  r.phase = 'running';
  r.startedAt = session.now();
  r.previewRows = 0;
  session.state.mode = 'recording';
  session.emit({ type: 'window-start', slot: r.slot });
}

export function onPreview(session, bytes) {
  const preview = parsePreview(bytes);
  if (!preview) {
    session.log('in', 'A preview frame that cannot be split into four rows.', bytes, 'error');
    return;
  }
  const r = session.state.recording;
  const waiting = r.phase === 'idle' || r.phase === 'countIn';
  if (waiting && session.state.preview.phase !== 'off') {
    session.emit({ type: 'preview', check: true, ...preview }); // the signal check
    return;
  }
  if (waiting) {
    Object.assign(r, { slot: null, mine: false, outcome: null });
    windowOpens(session, r);
    session.log('note', 'Another client started a recording.');
    session.refresh('status'); // which gesture, and how far its window is
    session.changed();
  } else if (r.phase === 'starting') {
    windowOpens(session, r);
    session.changed();
  }
  r.previewRows += preview.rows.length;
  session.emit({ type: 'preview', ...preview });
}

// `mine`: an answer to this page's start, after it was taken (the armband
// refused the stream).
export function onIdentify(session, status, mine = false) {
  const s = session.state;
  const id = s.identify;
  if (mine && status !== Status.STOPPED) {
    const words = session.identifyRefusal(status);
    Object.assign(id, { phase: 'idle', current: null, heldSince: null, outcome: { ok: false, words } });
    if (s.mode === 'identifying') s.mode = 'idle';
    return `Refused: ${words}`;
  }
  if (status === Status.STOPPED) {
    const wasRunning = id.phase !== 'idle' || s.mode === 'identifying' || session.isBusy('stopIdentify');
    session.end('stopIdentify');
    Object.assign(id, { phase: 'idle', current: null, heldSince: null });
    if (wasRunning) id.outcome = { ok: true, words: 'Identification stopped.' };
    s.mode = 'idle'; // stopping identification idles the server whatever it was doing
    if (s.stream.phase !== 'idle') s.stream.phase = 'idle';
    return 'Identification stopped.';
  }
  if (status !== NO_GESTURE && (status < 1 || status > 8))
    return "Another client's identification request was refused.";
  if (id.phase === 'idle') {
    id.reports = 0;
    startPractice(s); // another client's run, or one from before a reload
  }
  if (id.phase !== 'stopping') id.phase = 'running';
  s.mode = 'identifying';
  notePracticeReport(id, status, session.now());
  id.current = status;
  checkPractice(s, 0);
  id.reports += 1;
  if (status !== NO_GESTURE && !id.seen.includes(status)) id.seen.push(status);
  id.history.unshift({ slot: status, at: session.now() });
  id.history.length = Math.min(id.history.length, HISTORY_LENGTH);
  return status === NO_GESTURE ? 'Identified: no gesture.' : `Identified: ${session.nameOf(status)}.`;
}

// `mine`: the outcome of this page's training (0A FD: another client stopped it).
export function onGenerate(session, statuses, mine = false) {
  const g = session.state.generate;
  const stopped = statuses.length === 1 && statuses[0] === Status.STOPPED;
  if (stopped && !mine) return generateWords(statuses);
  session.end('generate');
  const ok = statuses.length === 1 && statuses[0] === Status.OK;
  const elapsedMs = g.phase === 'running' ? session.now() - g.startedAt : null;
  const words = stopped
    ? 'Another client stopped the training; the model is as it was.'
    : generateWords(statuses);
  Object.assign(g, { phase: 'idle', elapsedMs, outcome: { ok, words } });
  session.refresh('status');
  if (ok) session.evaluate();
  return `Generation: ${words}`;
}

// `mine`: the outcome of this page's upload, whatever its status.
export function onUpload(session, code, status, mine = false) {
  const u = session.state.upload;
  if (code === Answer.UPLOAD_PROGRESS) {
    Object.assign(u, { phase: 'running', percent: Math.min(status, 100), lastProgressAt: session.now() });
    return `Upload progress: ${status} %.`;
  }
  if (status === Status.STOPPED) return uploadWords(status);
  if (status === Status.OK || status === Status.DEVICE_ERROR || mine) {
    const ok = status === Status.OK;
    session.end('upload');
    Object.assign(u, {
      phase: 'idle',
      percent: ok ? 100 : u.percent,
      outcome: { ok, words: uploadWords(status) },
    });
    return `Upload: ${uploadWords(status)}`;
  }
  return `Another client's upload was refused: ${uploadWords(status)}`;
}

// `mine`: an answer to this page's start, after it was taken (the armband
// refused the stream).
export function onGestureStream(session, status, mine = false) {
  const s = session.state;
  const st = s.stream;
  if (mine && status !== Status.STOPPED) {
    const words = refusalWords(Answer.GESTURE_STREAM, status);
    Object.assign(st, { phase: 'idle', outcome: { ok: false, words } });
    if (s.mode === 'streaming') s.mode = 'idle';
    return `Refused: ${words}`;
  }
  if (status === Status.STOPPED) {
    session.end('stopStream');
    Object.assign(st, {
      phase: 'idle',
      outcome: { ok: true, words: "The armband's gesture stream stopped." },
    });
    s.mode = 'idle';
    return "Armband's gesture stream stopped.";
  }
  if (status === Status.WRONG_MODE) {
    if (st.phase === 'stopping') {
      session.end('stopStream');
      Object.assign(st, {
        phase: 'idle',
        outcome: { ok: false, words: "The armband's gesture stream was not running." },
      });
    }
    return 'A gesture stream command came in the wrong mode.';
  }
  if (status >= 0xf0) return describeIncoming([Answer.GESTURE_STREAM, status]);
  st.phase = 'running';
  s.mode = 'streaming';
  st.history.unshift({ gesture: status, at: session.now() });
  st.history.length = Math.min(st.history.length, HISTORY_LENGTH);
  return `Armband's gesture: ${armbandGestureName(status)}.`;
}

// `mine`: an answer to this page's start of the signal check.
export function onPreviewStream(session, status, mine = false) {
  const p = session.state.preview;
  if (mine && isRefusal(Answer.PREVIEW_STREAM, status)) {
    session.end('preview');
    const words = refusalWords(Answer.PREVIEW_STREAM, status);
    Object.assign(p, { phase: 'off', outcome: { ok: false, words } });
    return `Refused: ${words}`;
  }
  if (status === Status.OK) {
    session.end('preview');
    Object.assign(p, { phase: 'on', outcome: null });
    return 'Signal check: the server streams the signal.';
  }
  if (status === Status.STOPPED) {
    session.end('stopPreview');
    p.phase = 'off';
    return 'The signal check ended.';
  }
  if (status === Status.WRONG_MODE && p.phase === 'stopping') {
    session.end('stopPreview');
    p.phase = 'off';
    return 'There was no signal check to stop.';
  }
  return null; // another client's refusal
}

export function onVersions(session, bytes) {
  const versions = parseVersions(bytes);
  if (!versions) return 'A version answer that cannot be read.';
  const s = session.state;
  s.versions = versions;
  const armbandKnown = versions.firmware !== null || versions.hardware !== null;
  if (armbandKnown && ['unknown', 'disconnected', 'found'].includes(s.link)) s.link = 'connected';
  if (!armbandKnown && s.link === 'unknown') s.link = 'disconnected';
  return `Versions: server ${versions.server ?? 'unknown'}, firmware ${versions.firmware ?? 'unknown'}, hardware ${versions.hardware ?? 'unknown'}.`;
}

export function onEvaluation(session, answer) {
  const e = session.state.evaluation;
  if (answer.ok) Object.assign(e, { phase: 'ready', data: answer.body, words: null, stale: false });
  else
    Object.assign(e, {
      phase: 'failed',
      words: `The recordings could not be evaluated. ${apiFailureWords(answer)}`,
    });
}

// Time passing; true when the state changed.
export function onTick(session, now) {
  const s = session.state;
  let change = false;
  const r = s.recording;
  if (r.phase === 'countIn' && now - r.startedAt >= COUNT_IN_MS) {
    session.openWindow();
    change = true;
  }
  if (r.phase === 'running' && session.armbandMsSince(r.startedAt, now) >= RECORD_WINDOW_MS) {
    r.phase = 'saving';
    change = true;
  }
  const id = s.identify;
  if (id.heldSince !== null && checkPractice(s, session.armbandMsSince(id.heldSince, now))) change = true;
  const u = s.upload;
  if (u.phase === 'running' && now - u.lastProgressAt >= UPLOAD_STALL_MS) {
    session.end('upload');
    Object.assign(u, {
      phase: 'idle',
      outcome: {
        ok: false,
        words:
          'No word from the armband for 15 seconds: check that it is still connected, then upload again.',
      },
    });
    change = true;
  }
  if (s.generate.phase === 'running') {
    s.generate.elapsedMs = now - s.generate.startedAt;
    change = true;
  }
  if (s.link === 'scanning' && !s.note && now - (session.scanStartedAt ?? now) >= SCAN_NOTICE_MS) {
    s.note = 'No armband found yet: check that it is on, charged and near. The scan goes on.';
    change = true;
  }
  if (
    s.namesDirty &&
    session.serverFree() && // the server refuses changes while it records or identifies
    !s.busy.names &&
    session.namesDueAt !== null &&
    now >= session.namesDueAt
  ) {
    session.saveNames();
    change = true;
  }
  return change;
}
