// Which actions make sense now, and what the person should do next, from the
// session's state and their settings. The page disables every button whose
// action cannot apply, so a newcomer can only press what leads somewhere.
import { bitsOf } from './protocol.js';

export function configMatches(state, settings) {
  const applied = state.config.applied;
  return (
    Boolean(applied) &&
    applied.channelMask === settings.channelMask &&
    applied.gestureMask === settings.gestureMask
  );
}

export function availableActions(state, settings) {
  const open = state.server === 'open';
  const connected = open && state.link === 'connected';
  const generating = state.generate.phase === 'running';
  const recordingIdle = state.recording.phase === 'idle';
  const quiet = connected && state.mode === 'idle' && recordingIdle && !generating;
  const matches = configMatches(state, settings);
  const slots = bitsOf(settings.gestureMask);
  return {
    scan: open && ['unknown', 'disconnected', 'found'].includes(state.link) && !generating,
    connect: open && ['unknown', 'found'].includes(state.link) && !generating,
    disconnect: connected && !generating,
    applyConfig:
      connected &&
      recordingIdle &&
      !generating &&
      state.config.pending === null &&
      bitsOf(settings.channelMask).length > 0 &&
      slots.length > 0,
    record: (slot) =>
      quiet &&
      matches &&
      slots.includes(slot) &&
      state.identify.phase === 'idle' &&
      state.stream.phase === 'idle',
    stopRecord: open && ['starting', 'running', 'saving'].includes(state.recording.phase),
    generate: open && matches && recordingIdle && !generating && slots.length >= 2,
    upload: connected && matches && !generating && (state.upload.phase === 'idle' || state.upload.stalled),
    startIdentify: quiet && matches && state.identify.phase === 'idle' && state.stream.phase === 'idle',
    stopIdentify:
      open && (['starting', 'running'].includes(state.identify.phase) || state.mode === 'identifying'),
    startStream: quiet && state.stream.phase === 'idle' && state.identify.phase === 'idle',
    stopStream: open && (['starting', 'running'].includes(state.stream.phase) || state.mode === 'streaming'),
  };
}

// One sentence: the next step on the way to a trained model.
export function nextStep(state, settings) {
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
  const slots = bitsOf(settings.gestureMask);
  if (state.config.pending) return 'Sending the configuration to the armband…';
  if (!configMatches(state, settings)) {
    return slots.length < 2
      ? 'Tick at least two gestures (and give them names), then press Apply.'
      : 'Choose channels and gestures, then press Apply.';
  }
  if (state.recording.phase !== 'idle') return 'Keep making the gesture until the window closes.';
  const missing = slots.filter((slot) => state.recording.counts[slot] === 0);
  if (missing.length > 0) return `Record each gesture: ${missing.length} of ${slots.length} still to record.`;
  if (state.generate.phase === 'running') return 'Training the model…';
  if (!state.generate.outcome?.ok) return 'Every gesture is recorded: press Generate model.';
  if (state.upload.phase !== 'idle') return 'Uploading the model to the armband…';
  if (!state.upload.outcome?.ok) return 'The model is trained: press Upload to armband.';
  if (state.identify.phase === 'idle') return 'All set: press Start identification and make your gestures.';
  return 'Make your gestures: their names appear as they are recognised.';
}
