// Which actions make sense now, what the person should do next and which step
// that is, from the session's state. The page disables every button whose
// action cannot apply, so a newcomer can only press what leads somewhere.
import { bitsOf } from './protocol.js';
import { isRecorded } from './server_truth.js';

export function configMatches(state) {
  const server = state.config.server;
  const chosen = state.selection;
  return (
    Boolean(server) &&
    state.config.pending === null &&
    state.config.armbandOk !== false &&
    server.channelMask === chosen.channelMask &&
    server.gestureMask === chosen.gestureMask
  );
}

// The selected gestures that have no recording on the server.
export function missingRecordings(state) {
  if (!state.recordings) return bitsOf(state.selection.gestureMask);
  return bitsOf(state.selection.gestureMask).filter((slot) => !isRecorded(state, slot));
}

// Whether the server's model was trained on the configured gestures.
export function modelFits(state) {
  const m = state.model;
  if (!m?.usable) return false;
  return m.trainedGestureMask === null || m.trainedGestureMask === state.config.server?.gestureMask;
}

// Whether the server says the model was trained on other recordings or
// settings than there are now (a server that does not say counts as current).
export function modelStale(state) {
  return Boolean(state.model?.present) && state.model.current === false;
}

export function availableActions(state) {
  const busy = (control) => Boolean(state.busy[control]);
  const open = state.server === 'open';
  const connected = open && state.link === 'connected';
  const generating = state.generate.phase !== 'idle' || busy('generate');
  const uploading = state.upload.phase !== 'idle' || busy('upload');
  const previewing = state.preview.phase !== 'off';
  const quiet =
    connected &&
    state.mode === 'idle' &&
    state.recording.phase === 'idle' &&
    state.identify.phase === 'idle' &&
    state.stream.phase === 'idle' &&
    !generating &&
    !uploading &&
    !busy('record') &&
    !busy('identify') &&
    !busy('stream') &&
    !busy('preview');
  const matches = configMatches(state);
  const slots = bitsOf(state.selection.gestureMask);
  const recorded = (slot) => isRecorded(state, slot);
  const record = (slot) => quiet && matches && slots.includes(slot) && !busy(`delete${slot}`);
  return {
    scan:
      open &&
      ['unknown', 'disconnected', 'found'].concat(state.note ? ['scanning'] : []).includes(state.link) &&
      !busy('scan') &&
      !generating,
    stopScan: open && state.link === 'scanning' && !busy('stopScan'),
    connect: open && ['unknown', 'found'].includes(state.link) && !busy('connect') && !generating,
    disconnect: connected && !busy('disconnect') && !generating && !uploading,
    applyConfig:
      connected &&
      !busy('apply') &&
      state.mode !== 'recording' &&
      state.mode !== 'identifying' &&
      state.recording.phase === 'idle' &&
      !generating &&
      bitsOf(state.selection.channelMask).length > 0 &&
      slots.length > 0,
    record: (slot) => record(slot) && !recorded(slot),
    recordAgain: (slot) => record(slot) && recorded(slot),
    deleteRecording: (slot) => quiet && recorded(slot) && !busy(`delete${slot}`),
    stopRecord:
      open &&
      ['countIn', 'starting', 'running', 'saving'].includes(state.recording.phase) &&
      !busy('stopRecord'),
    generate:
      open &&
      matches &&
      slots.length >= 2 &&
      missingRecordings(state).length === 0 &&
      state.recording.phase === 'idle' &&
      !generating &&
      !uploading,
    evaluate:
      open &&
      !generating &&
      state.evaluation.phase !== 'loading' &&
      slots.length >= 2 &&
      missingRecordings(state).length === 0,
    upload: connected && matches && modelFits(state) && state.mode === 'idle' && !generating && !uploading,
    startIdentify: quiet && matches && modelFits(state),
    stopIdentify:
      open &&
      (['starting', 'running'].includes(state.identify.phase) || state.mode === 'identifying') &&
      !busy('stopIdentify'),
    startStream: quiet,
    startPreview:
      connected &&
      !previewing &&
      (state.mode === 'idle' || state.mode === 'identifying') &&
      state.recording.phase === 'idle' &&
      !busy('preview'),
    stopPreview: open && ['starting', 'on'].includes(state.preview.phase) && !busy('stopPreview'),
    stopStream:
      open &&
      (['starting', 'running'].includes(state.stream.phase) || state.mode === 'streaming') &&
      !busy('stopStream'),
  };
}

// The step (1 to 5) the person is on: the armband, the configuration, the
// recordings, the model, identification.
export function currentStep(state) {
  if (state.server !== 'open' || state.link !== 'connected') return 1;
  if (!configMatches(state)) return 2;
  if (state.recording.phase !== 'idle' || missingRecordings(state).length > 0) return 3;
  const identifying = state.identify.phase !== 'idle' || state.mode === 'identifying';
  if (identifying && modelFits(state)) return 5;
  if (!modelFits(state) || modelStale(state)) return 4;
  if (state.generate.phase !== 'idle' || state.upload.phase !== 'idle') return 4;
  if (!state.upload.outcome?.ok) return 4;
  return 5;
}

// One sentence: the next step on the way to a trained model.
export function nextStep(state) {
  if (state.server !== 'open') return 'Waiting for the Quillon server…';
  switch (state.link) {
    case 'unknown':
      return 'Checking the armband…';
    case 'disconnected':
      return 'Put the armband on and press Scan.';
    case 'scanning':
      return 'Scanning for the armband…';
    case 'found':
      return 'Armband found: press Connect.';
    case 'connecting':
      return 'Connecting…';
    case 'disconnecting':
      return 'Disconnecting…';
    default:
      break;
  }
  const slots = bitsOf(state.selection.gestureMask);
  if (state.config.pending) return 'Sending the configuration to the armband…';
  if (!configMatches(state)) {
    return slots.length < 2
      ? 'Tick at least two gestures (and name them), then press Apply.'
      : 'Choose channels and gestures, then press Apply.';
  }
  if (state.recording.phase === 'countIn') return 'Get ready: the window opens after the count-in.';
  if (state.recording.phase !== 'idle') return 'Follow the cues until the window closes.';
  const missing = missingRecordings(state);
  if (missing.length > 0) return `Record each gesture: ${missing.length} of ${slots.length} still to record.`;
  if (state.generate.phase !== 'idle') return 'Training the model…';
  if (!modelFits(state)) return 'Every gesture is recorded: press Generate model.';
  if (modelStale(state) && state.identify.phase === 'idle' && state.mode !== 'identifying')
    return 'The recordings or settings changed since the model was trained: press Train again.';
  if (state.upload.phase !== 'idle') return 'Uploading the model to the armband…';
  if (state.identify.phase === 'idle' && state.mode !== 'identifying') {
    return state.upload.outcome?.ok
      ? 'All set: press Start identification and make your gestures, resting between them.'
      : 'The model is trained: upload it to the armband, or press Start identification to try it.';
  }
  return 'Make each gesture, and relax fully before the next one.';
}
