// How each kind of message from the server moves the session's state; used by
// Session.dispatch, which has already taken out the refusals of this page's
// own commands. Each returns the words for the log, or null for the plain
// description of the message.
import {
  Answer,
  NO_GESTURE,
  RECORD_WINDOW_MS,
  Status,
  configWords,
  describeIncoming,
  generateWords,
  parsePreview,
  parseVersions,
  uploadWords,
} from './protocol.js';

export const HISTORY_LENGTH = 8;
// A 06 FF this late in a window is the server failing to save it.
const SAVE_FAILURE_AFTER_MS = RECORD_WINDOW_MS - 5000;

export function onLink(session, code, status) {
  const s = session.state;
  if (status !== Status.OK) return describeIncoming([code, status]);
  s.note = null; // news of the link makes an earlier refusal stale
  if (code === Answer.DEVICE_FOUND) {
    if (s.link !== 'connected') s.link = 'found';
    return 'Armband found: it can be connected now.';
  }
  if (code === Answer.CONNECTED) {
    s.link = 'connected';
    s.config.applied = null; // a fresh link needs the configuration again
    session.requestVersions();
    return 'Armband connected.';
  }
  s.link = 'disconnected';
  s.mode = 'idle';
  s.versions = s.versions && { ...s.versions, firmware: null, hardware: null };
  s.config.applied = null; // the server forgets channels and gestures
  if (s.recording.phase !== 'idle') {
    Object.assign(s.recording, {
      phase: 'idle',
      outcome: { ok: false, words: 'The armband disconnected during the recording; it was not saved.' },
    });
  }
  s.identify.phase = 'idle';
  s.stream.phase = 'idle';
  return 'Armband disconnected.';
}

export function onConfig(session, status) {
  const c = session.state.config;
  c.applied = status === Status.OK ? (c.pending ?? { channelMask: null, gestureMask: null }) : null;
  c.pending = null;
  c.outcome = { ok: status === Status.OK, words: configWords(status) };
  return `Configuration: ${configWords(status)}`;
}

export function onRecord(session, status) {
  const s = session.state;
  const r = s.recording;
  if (status === Status.OK || status === Status.STOPPED) {
    const slot = r.phase === 'idle' ? null : r.slot; // null: another client's recording
    if (status === Status.OK && slot !== null) r.counts[slot] += 1;
    const words = status === Status.OK ? 'Recording saved.' : 'Recording stopped; nothing was saved.';
    Object.assign(r, { phase: 'idle', slot, outcome: { ok: status === Status.OK, words, slot } });
    s.mode = 'idle';
    return slot === null ? words : `${session.nameOf(slot)}: ${words}`;
  }
  if (status !== Status.FAILED) return null;
  if (r.phase === 'stopping') {
    Object.assign(r, { phase: 'idle', outcome: { ok: false, words: 'There was no recording to stop.' } });
    return 'Stop refused: the server was not recording.';
  }
  if (
    (r.phase === 'running' || r.phase === 'saving') &&
    session.armbandMsSince(r.startedAt) >= SAVE_FAILURE_AFTER_MS
  ) {
    Object.assign(r, {
      phase: 'idle',
      outcome: {
        ok: false,
        words: 'The server could not save the recording: it could not open its raw file.',
      },
    });
    s.mode = 'idle';
    return 'The recording could not be saved.';
  }
  return "Another client's recording request was refused.";
}

export function onPreview(session, bytes) {
  const preview = parsePreview(bytes);
  if (!preview) {
    session.log('in', 'A preview frame that cannot be split into four rows.', bytes, 'error');
    return;
  }
  const r = session.state.recording;
  if (r.phase === 'idle') {
    Object.assign(r, {
      phase: 'running',
      slot: null,
      startedAt: session.now(),
      previewRows: 0,
      outcome: null,
    });
    session.state.mode = 'recording';
    session.log('note', 'Another client started a recording.');
    session.changed();
  } else if (r.phase === 'starting') {
    r.phase = 'running';
    session.changed();
  }
  r.previewRows += preview.rows.length;
  session.emit({ type: 'preview', ...preview });
}

export function onIdentify(session, status) {
  const s = session.state;
  const id = s.identify;
  if (status === Status.STOPPED) {
    Object.assign(id, {
      phase: 'idle',
      current: null,
      outcome: { ok: true, words: 'Identification stopped.' },
    });
    s.mode = 'idle'; // stopping identification idles the server whatever it was doing
    if (s.stream.phase !== 'idle') s.stream.phase = 'idle';
    return 'Identification stopped.';
  }
  id.phase = 'running';
  s.mode = 'identifying';
  id.current = status;
  id.history.unshift({ slot: status, at: session.now() });
  id.history.length = Math.min(id.history.length, HISTORY_LENGTH);
  return status === NO_GESTURE ? 'Identified: no gesture.' : `Identified: ${session.nameOf(status)}.`;
}

export function onGenerate(session, statuses) {
  const g = session.state.generate;
  if (statuses.length === 1 && statuses[0] === Status.STOPPED) return generateWords(statuses);
  const ok = statuses.length === 1 && statuses[0] === Status.OK;
  const elapsedMs = g.phase === 'running' ? session.now() - g.startedAt : null;
  Object.assign(g, { phase: 'idle', elapsedMs, outcome: { ok, words: generateWords(statuses) } });
  return `Generation: ${generateWords(statuses)}`;
}

export function onUpload(session, code, status) {
  const u = session.state.upload;
  if (code === Answer.UPLOAD_PROGRESS) {
    Object.assign(u, {
      phase: 'running',
      percent: Math.min(status, 100),
      lastProgressAt: session.now(),
      stalled: false,
    });
    return `Upload progress: ${status} %.`;
  }
  if (status === Status.STOPPED) return uploadWords(status);
  if (status === Status.OK || status === Status.DEVICE_ERROR) {
    const ok = status === Status.OK;
    Object.assign(u, {
      phase: 'idle',
      percent: ok ? 100 : u.percent,
      stalled: false,
      outcome: { ok, words: uploadWords(status) },
    });
    return `Upload: ${uploadWords(status)}`;
  }
  return `Another client's upload was refused: ${uploadWords(status)}`;
}

export function onGestureStream(session, status) {
  const s = session.state;
  const st = s.stream;
  if (status === Status.STOPPED) {
    Object.assign(st, { phase: 'idle', outcome: { ok: true, words: 'The armband gesture stream stopped.' } });
    s.mode = 'idle';
    return 'Armband gesture stream stopped.';
  }
  if (status === Status.WRONG_MODE) {
    if (st.phase === 'stopping')
      Object.assign(st, {
        phase: 'idle',
        outcome: { ok: false, words: 'The armband gesture stream was not running.' },
      });
    return 'A gesture stream command came in the wrong mode.';
  }
  st.phase = 'running';
  s.mode = 'streaming';
  st.history.unshift({ gesture: status, at: session.now() });
  st.history.length = Math.min(st.history.length, HISTORY_LENGTH);
  return null;
}

export function onVersions(session, bytes) {
  const versions = parseVersions(bytes);
  if (!versions) return 'A version answer that cannot be read.';
  const s = session.state;
  s.versions = versions;
  const armbandKnown = versions.firmware !== null || versions.hardware !== null;
  if (armbandKnown && (s.link === 'unknown' || s.link === 'disconnected' || s.link === 'found'))
    s.link = 'connected';
  if (!armbandKnown && s.link === 'unknown') s.link = 'disconnected';
  return `Versions: server ${versions.server ?? 'unknown'}, firmware ${versions.firmware ?? 'unknown'}, hardware ${versions.hardware ?? 'unknown'}.`;
}
