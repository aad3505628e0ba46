// The server's binary protocol as the page speaks it: command frames, answer
// codes and status bytes, and the words that explain each of them to a person.
// Pure functions and constants only; nothing here touches the page or a socket.

export const Command = Object.freeze({
  PING: 0x01,
  SCAN_DEVICE: 0x02,
  CONNECT_DEVICE: 0x03,
  DISCONNECT_DEVICE: 0x04,
  SET_EMG_CONFIG: 0x05,
  START_RECORD: 0x06,
  STOP_RECORD: 0x07,
  START_IDENTIFY: 0x08,
  STOP_IDENTIFY: 0x09,
  GENERATE_MODEL: 0x0a,
  STOP_GENERATE_MODEL: 0x0b,
  MODEL_UPDATE: 0x0c,
  STOP_MODEL_UPDATE: 0x0d,
  START_GESTURE_STREAM: 0x10,
  STOP_GESTURE_STREAM: 0x11,
  START_PREVIEW: 0x12,
  STOP_PREVIEW: 0x13,
  GET_VERSION: 0x30,
  OWN_ANSWERS: 0x31,
  EXIT_SERVER: 0xff,
});

// Byte 0 of the messages the server sends (answers and notifications).
export const Answer = Object.freeze({
  PING: 0x01,
  DEVICE_FOUND: 0x02,
  CONNECTED: 0x03,
  DISCONNECTED: 0x04,
  EMG_CONFIG: 0x05,
  RECORD: 0x06,
  PREVIEW: 0x07,
  IDENTIFY: 0x08,
  GENERATE: 0x0a,
  UPLOAD: 0x0c,
  UPLOAD_PROGRESS: 0x0d,
  GESTURE_STREAM: 0x10,
  PREVIEW_STREAM: 0x12,
  VERSION: 0x30,
  OWN: 0x31,
});

export const Status = Object.freeze({
  OK: 0x00,
  FAILED: 0xff,
  STOPPED: 0xfd,
  WRONG_MODE: 0xfc,
  BAD_LENGTH: 0xef,
  FILE_ERROR: 0xee,
  DEVICE_ERROR: 0xf0,
  NO_SETTING: 0xf1,
  NO_DEVICE: 0xf2,
});

// In an identification report, the gesture number that means "no gesture".
export const NO_GESTURE = 0xff;
export const GESTURE_SLOTS = 8;
export const CHANNELS = 8;
export const RECORD_WINDOW_MS = 30000;
// The armband's EMG rate: frames a second, each one sample per streamed channel.
export const FRAMES_PER_SECOND = 650;
export const UNKNOWN_VERSION = '---.---.---';

const statusNames = new Map([
  [Status.OK, 'done'],
  [Status.FAILED, 'refused or failed'],
  [Status.STOPPED, 'stopped'],
  [Status.WRONG_MODE, 'wrong mode'],
  [Status.BAD_LENGTH, 'bad length'],
  [Status.FILE_ERROR, 'file error'],
  [Status.DEVICE_ERROR, 'armband error'],
  [Status.NO_SETTING, 'armband has no settings'],
  [Status.NO_DEVICE, 'no armband'],
]);

export function statusName(status) {
  return statusNames.get(status) ?? `status ${hexByte(status)}`;
}

export function hexByte(value) {
  return `0x${value.toString(16).toUpperCase().padStart(2, '0')}`;
}

export function hexDump(bytes, limit = 12) {
  const shown = Array.from(bytes.slice(0, limit), (b) => b.toString(16).toUpperCase().padStart(2, '0'));
  return shown.join(' ') + (bytes.length > limit ? ` … (${bytes.length} bytes)` : '');
}

// Command frames. Masks have one bit per channel or gesture slot (slot n is bit n - 1).
export const frames = Object.freeze({
  ping: () => Uint8Array.of(Command.PING),
  scan: () => Uint8Array.of(Command.SCAN_DEVICE, 0x00),
  connect: () => Uint8Array.of(Command.CONNECT_DEVICE),
  disconnect: () => Uint8Array.of(Command.DISCONNECT_DEVICE),
  setEmgConfig: (channelMask, gestureMask) =>
    Uint8Array.of(Command.SET_EMG_CONFIG, channelMask & 0xff, gestureMask & 0xff),
  startRecord: (slot) => Uint8Array.of(Command.START_RECORD, slot),
  stopRecord: () => Uint8Array.of(Command.STOP_RECORD),
  startIdentify: () => Uint8Array.of(Command.START_IDENTIFY),
  stopIdentify: () => Uint8Array.of(Command.STOP_IDENTIFY),
  generateModel: () => Uint8Array.of(Command.GENERATE_MODEL),
  uploadModel: () => Uint8Array.of(Command.MODEL_UPDATE),
  startGestureStream: () => Uint8Array.of(Command.START_GESTURE_STREAM),
  stopGestureStream: () => Uint8Array.of(Command.STOP_GESTURE_STREAM),
  startPreview: () => Uint8Array.of(Command.START_PREVIEW),
  stopPreview: () => Uint8Array.of(Command.STOP_PREVIEW),
  getVersion: () => Uint8Array.of(Command.GET_VERSION),
});

// The slots or channels (1-based) whose bits are set in `mask`, in increasing order.
export function bitsOf(mask) {
  const out = [];
  for (let bit = 0; bit < 8; bit += 1) {
    if (mask & (1 << bit)) out.push(bit + 1);
  }
  return out;
}

export function maskOf(numbers) {
  let mask = 0;
  for (const n of numbers) {
    if (Number.isInteger(n) && n >= 1 && n <= 8) mask |= 1 << (n - 1);
  }
  return mask;
}

// The armband's own gesture names, by the byte it reports.
const armbandGestureNames = ['Relax', 'Fist', 'Spread', 'WaveIn', 'WaveOut', 'Pinch', 'Shoot'];

export function armbandGestureName(byte) {
  if (byte < armbandGestureNames.length) return armbandGestureNames[byte];
  if (byte <= 15) return `UserDefine${byte - 6}`;
  return `unnamed gesture ${byte}`;
}

// The answer to GET_VERSION: "0" (its code) then "server/firmware/hardware".
// Versions the server could not learn are null.
export function parseVersions(bytes) {
  if (bytes.length < 2 || bytes[0] !== Answer.VERSION) return null;
  const text = String.fromCharCode(...bytes.slice(1));
  const parts = text.split('/');
  if (parts.length !== 3) return null;
  const known = (v) => (v === UNKNOWN_VERSION || v === '' ? null : v);
  return { server: known(parts[0]), firmware: known(parts[1]), hardware: known(parts[2]) };
}

// A preview frame: code 7, then four rows of one sample per streamed channel.
// Returns the rows, or null when the frame cannot be split into four rows.
export function parsePreview(bytes) {
  const payload = bytes.length - 1;
  if (bytes[0] !== Answer.PREVIEW || payload < 4 || payload % 4 !== 0) return null;
  const channels = payload / 4;
  const rows = [];
  for (let r = 0; r < 4; r += 1) {
    rows.push(bytes.slice(1 + r * channels, 1 + (r + 1) * channels));
  }
  return { channels, rows };
}

// Words for the outcome of SET_EMG_CONFIG (05): refusals at once, the armband's answer later.
export function configWords(status) {
  switch (status) {
    case Status.OK:
      return 'The armband accepted the configuration.';
    case Status.DEVICE_ERROR:
      return 'The armband refused the configuration or did not answer within 5 s. Apply again; if it keeps failing, reconnect the armband.';
    case Status.NO_SETTING:
      return 'The armband is connected but does not offer its settings yet. Wait a moment and apply again.';
    case Status.NO_DEVICE:
      return 'No armband is connected: scan and connect first, then apply the configuration.';
    case Status.WRONG_MODE:
      return 'The configuration cannot change while the server records or identifies: stop that first.';
    case Status.FAILED:
      return 'The server refused the configuration message.';
    default:
      return `Unexpected answer to the configuration (${statusName(status)}).`;
  }
}

// Words for the answer to GENERATE_MODEL: one or more status bytes.
export function generateWords(statuses) {
  const [first, ...rest] = statuses;
  if (statuses.length === 1) {
    switch (first) {
      case Status.OK:
        return 'The model is trained.';
      case Status.FILE_ERROR:
        return 'A selected gesture has no usable recording: record every selected gesture, then generate again.';
      case Status.FAILED:
        return 'Training failed: it needs at least two gestures, each recorded with the current channels, and no recording over 16 MiB.';
      case Status.STOPPED:
        return 'Stop acknowledged; training always finishes before the server reads it.';
      default:
        return `Unexpected answer to generation (${statusName(first)}).`;
    }
  }
  if (first === Status.FAILED) {
    const after = rest[rest.length - 1];
    const tail =
      after === Status.OK
        ? 'the model was trained from older data that was still there.'
        : after === Status.FILE_ERROR
          ? 'no model was made.'
          : 'training failed as well.';
    return `A selected gesture has never been recorded, so ${tail} Record every selected gesture, then generate again.`;
  }
  return `Unexpected answer to generation (${statuses.map(statusName).join(', ')}).`;
}

// Words for the answers to MODEL_UPDATE (0C): refusals at once, outcome later.
export function uploadWords(status) {
  switch (status) {
    case Status.OK:
      return 'The model is on the armband.';
    case Status.DEVICE_ERROR:
      return 'The armband reported a failure, or its progress stopped for 5 s. Check the connection and upload again.';
    case Status.NO_DEVICE:
      return 'No armband is connected: connect it, then upload.';
    case Status.NO_SETTING:
      return 'The armband does not offer its settings yet. Wait a moment and upload again.';
    case Status.FAILED:
      return 'No model to upload, or it does not match the current channels and gestures: generate the model again with this configuration.';
    case Status.FILE_ERROR:
      return 'The server could not read its model file or write model.bin.';
    case Status.BAD_LENGTH:
      return 'The server refused the upload message.';
    case Status.STOPPED:
      return 'Stop acknowledged; an upload under way runs to its end.';
    default:
      return `Unexpected answer to the upload (${statusName(status)}).`;
  }
}

// The armband-related refusals every streaming command shares.
function armbandRefusal(status, what) {
  if (status === Status.NO_DEVICE) return `No armband is connected: scan and connect it, then ${what} again.`;
  if (status === Status.DEVICE_ERROR)
    return `The armband refused to stream or did not answer in time: ${what} again, and reconnect it if it keeps refusing.`;
  if (status === Status.NO_SETTING)
    return `The armband does not offer its settings yet: wait a moment and ${what} again.`;
  return null;
}

// Words for answers that refuse a command outright, by the answer's code and status.
export function refusalWords(code, status = Status.FAILED) {
  switch (code) {
    case Answer.DEVICE_FOUND:
      return 'The scan could not start.';
    case Answer.CONNECTED:
      return 'Cannot connect: no armband has been found yet (scan first), or it is already connecting or connected.';
    case Answer.DISCONNECTED:
      return 'Cannot disconnect: the armband is not connected.';
    case Answer.EMG_CONFIG:
      return configWords(status);
    case Answer.RECORD:
      return (
        armbandRefusal(status, 'record') ??
        "The server is busy (recording, identifying or streaming the armband's gestures): stop that first."
      );
    case Answer.IDENTIFY:
      return (
        armbandRefusal(status, 'start identification') ??
        'Identification cannot start: the server is busy, or its model does not match the current channels and gestures. Stop other activity, or generate the model again.'
      );
    case Answer.UPLOAD:
      return uploadWords(status);
    case Answer.GESTURE_STREAM:
      return (
        armbandRefusal(status, 'start the stream') ??
        "The armband's gesture stream cannot start or stop now: the server is busy with something else."
      );
    case Answer.PREVIEW_STREAM:
      return (
        armbandRefusal(status, 'check the signal') ??
        "The signal check cannot start now: the server is recording or streaming the armband's gestures."
      );
    default:
      return `The server refused the command (${hexByte(code)}).`;
  }
}

// Whether `status` is how the command answered by `code` says no at once.
export function isRefusal(code, status) {
  switch (code) {
    case Answer.UPLOAD:
      return [
        Status.FAILED,
        Status.FILE_ERROR,
        Status.BAD_LENGTH,
        Status.NO_DEVICE,
        Status.NO_SETTING,
      ].includes(status);
    case Answer.GESTURE_STREAM:
    case Answer.PREVIEW_STREAM:
      return [Status.WRONG_MODE, Status.NO_DEVICE, Status.DEVICE_ERROR, Status.NO_SETTING].includes(status);
    case Answer.RECORD:
    case Answer.IDENTIFY:
      return [Status.FAILED, Status.NO_DEVICE, Status.DEVICE_ERROR, Status.NO_SETTING].includes(status);
    case Answer.EMG_CONFIG:
      return status === Status.FAILED || status === Status.WRONG_MODE;
    default:
      return status === Status.FAILED;
  }
}

// "channels 1–8", "channels 1, 3 and 4", "channel 2".
export function channelWords(mask) {
  const list = bitsOf(mask);
  if (list.length === 0) return 'no channels';
  if (list.length === 1) return `channel ${list[0]}`;
  const run = list.every((n, i) => i === 0 || n === list[i - 1] + 1);
  if (run && list.length > 2) return `channels ${list[0]}–${list.at(-1)}`;
  return `channels ${list.slice(0, -1).join(', ')} and ${list.at(-1)}`;
}

// "Fist, Open hand and Pinch".
export function listWords(items) {
  if (items.length <= 1) return items.join('');
  return `${items.slice(0, -1).join(', ')} and ${items.at(-1)}`;
}

// Plain words for a message the page has nothing more specific to say about.
export function describeIncoming(bytes) {
  const [code, status] = bytes;
  const known = new Map([
    [Answer.PING, 'Ping answered'],
    [Answer.DEVICE_FOUND, 'Scan'],
    [Answer.CONNECTED, 'Connect'],
    [Answer.DISCONNECTED, 'Disconnect'],
    [Answer.EMG_CONFIG, 'Configuration'],
    [Answer.RECORD, 'Recording'],
    [Answer.IDENTIFY, 'Identification'],
    [Answer.GENERATE, 'Generation'],
    [Answer.UPLOAD, 'Upload'],
    [Answer.GESTURE_STREAM, 'Armband gesture'],
    [Answer.PREVIEW_STREAM, 'Signal check'],
  ]);
  const what = known.get(code);
  if (!what) return `A message the page does not know (code ${hexByte(code)}).`;
  if (status === undefined) return `${what}: a message too short to read.`;
  if (code === Answer.GESTURE_STREAM && status < 0xf0) return `${what}: ${armbandGestureName(status)}.`;
  return `${what}: ${statusName(status)}.`;
}
