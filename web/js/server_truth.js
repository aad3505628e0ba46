// What the server holds, read over its HTTP API, folded into the session's
// state: the data mode, the armband, the configuration, the model, the
// identification mode and the gesture names (/api/status), and the recordings
// of every gesture (/api/recordings). Pure functions of the state and the
// parsed JSON; a document that does not have the expected shape changes
// nothing it cannot read.
import { GESTURE_SLOTS, RECORD_WINDOW_MS } from './protocol.js';
import { cleanName } from './settings.js';

const modes = {
  idle: 'idle',
  recording: 'recording',
  identifying: 'identifying',
  gestureStream: 'streaming',
};
const UNKNOWN_VERSION = '---.---.---';

const isMask = (v) => Number.isInteger(v) && v >= 0 && v <= 0xff;

// Eight names from the server's list; '' where it has none.
export function namesFrom(list) {
  return Array.from({ length: GESTURE_SLOTS }, (_, i) =>
    typeof list?.[i] === 'string' ? cleanName(list[i]).trim() : '',
  );
}

function linkFrom(armband) {
  if (!armband || typeof armband !== 'object') return null;
  if (!armband.known) return 'disconnected';
  switch (armband.connection) {
    case 'connected':
      return 'connected';
    case 'connecting':
      return 'connecting';
    case 'disconnecting':
      return 'disconnecting';
    default:
      return 'found'; // found by a scan, not connected
  }
}

// Applies GET /api/status. `now` is the page's clock and `speed` the armband's
// pace, to place a recording under way on the page's clock.
// `remembered`: the recording this page started before it was reloaded, {slot, at}, or null.
export function applyStatus(state, status, now, speed = 1, remembered = null) {
  if (!status || typeof status !== 'object') return;
  const mode = modes[status.dataMode];
  if (mode) state.mode = mode;
  const link = linkFrom(status.armband);
  if (link) {
    state.link = link;
    const known = (v) => (typeof v === 'string' && v !== UNKNOWN_VERSION ? v : null);
    state.versions = {
      server: known(status.server?.version) ?? state.versions?.server ?? null,
      firmware: link === 'connected' ? known(status.armband.firmware) : null,
      hardware: link === 'connected' ? known(status.armband.hardware) : null,
    };
  }
  const c = status.configuration;
  if (c && isMask(c.channelMask) && isMask(c.gestureMask)) {
    state.config.server =
      c.channelMask !== 0 && c.gestureMask !== 0
        ? { channelMask: c.channelMask, gestureMask: c.gestureMask }
        : null;
    if (state.config.server) state.config.last = state.config.server;
  }
  if (status.model && typeof status.model === 'object') {
    const m = status.model;
    state.model = {
      present: Boolean(m.present),
      usable: Boolean(m.usable),
      trainedGestureMask: isMask(m.trainedGestureMask) ? m.trainedGestureMask : null,
      channels: Number.isInteger(m.channels) ? m.channels : null,
      // null from a server that does not say whether the model is current
      current: typeof m.current === 'boolean' ? m.current : null,
      staleBecause: Array.isArray(m.staleBecause) ? m.staleBecause.filter((r) => typeof r === 'string') : [],
    };
  }
  if (typeof status.preview === 'boolean') {
    const p = state.preview;
    if (status.preview && p.phase === 'off') p.phase = 'on';
    if (!status.preview && p.phase === 'on') p.phase = 'off';
  }
  if (status.identifyMode === 'exact' || status.identifyMode === 'calibrated')
    state.identifyMode = status.identifyMode;
  if (Array.isArray(status.gestureNames)) state.names = namesFrom(status.gestureNames);
  placeRecording(state, mode, status.recording, now, speed, remembered);
}

// A recording this page did not start (another page's, or this page's own
// from before a reload) takes its gesture and its window's clock from the status.
function placeRecording(state, mode, recording, now, speed, remembered) {
  const r = state.recording;
  if (mode === 'recording' && recording && Number.isInteger(recording.gesture)) {
    if (r.phase !== 'idle' && r.slot !== null && r.mine) return;
    const seconds = Number(recording.seconds);
    const elapsed = Number.isFinite(seconds) ? Math.min(seconds * 1000, RECORD_WINDOW_MS) : 0;
    const slot = recording.gesture >= 1 && recording.gesture <= GESTURE_SLOTS ? recording.gesture : null;
    Object.assign(r, {
      phase: r.phase === 'idle' || r.phase === 'starting' ? 'running' : r.phase,
      slot,
      mine: slot !== null && remembered?.slot === slot,
      startedAt: now - elapsed / speed,
      outcome: null,
    });
  } else if (mode && mode !== 'recording' && r.phase !== 'idle' && !r.mine) {
    r.phase = 'idle'; // the recording the page only heard of has ended
  }
}

// Applies GET /api/recordings: state.recordings[slot] for slots 1 to 8, null
// where the server holds nothing.
export function applyRecordings(state, document) {
  if (!document || !Array.isArray(document.recordings)) return;
  const table = Array(GESTURE_SLOTS + 1).fill(null);
  for (const entry of document.recordings) {
    const slot = entry?.gesture;
    if (!Number.isInteger(slot) || slot < 1 || slot > GESTURE_SLOTS) continue;
    const windowLog = Array.isArray(entry.windowLog) ? entry.windowLog : null;
    table[slot] = {
      windows: Number.isInteger(entry.windows) ? entry.windows : null,
      seconds: Number.isFinite(entry.seconds) ? entry.seconds : 0,
      activeWindows: Number.isInteger(entry.activeWindows) ? entry.activeWindows : null,
      activity: typeof entry.activity === 'string' ? entry.activity : null,
      channelMask: isMask(entry.channelMask) ? entry.channelMask : 0,
      windowLog: windowLog ?? null,
      lastWindow: windowLog?.length ? windowLog[windowLog.length - 1] : null,
      notes: Array.isArray(entry.notes) ? entry.notes.filter((n) => typeof n === 'string') : [],
    };
  }
  state.recordings = table;
}

// Whether gesture `slot` has a recording on the server.
export function isRecorded(state, slot) {
  return Boolean(state.recordings?.[slot]);
}

// The EMG one analysis window holds: 130 frames at 650 a second.
const ANALYSIS_WINDOW_S = 0.2;

// How much recording a gesture has, in words: "2 windows · 60 s · 28 s of activity"
// (the time the activity detector found the muscles at work).
export function recordingSummary(entry) {
  if (!entry) return 'Not recorded yet';
  const parts = [];
  if (entry.windows !== null) parts.push(`${entry.windows} window${entry.windows === 1 ? '' : 's'}`);
  parts.push(`${Math.round(entry.seconds)} s`);
  if (entry.activeWindows !== null)
    parts.push(`${Math.round(entry.activeWindows * ANALYSIS_WINDOW_S)} s of activity`);
  return parts.join(' · ');
}

// What a person should know about a recording's activity, or null when it is fine.
export function activityWarning(entry) {
  switch (entry?.activity) {
    case 'noActivity':
      return 'No activity found: hold the gesture more firmly.';
    case 'noRest':
      return 'No rest found: relax fully between holds.';
    case 'tooShort':
      return 'Too short to judge.';
    default:
      return null;
  }
}
