// What live identification says to the person, from the session's state: the
// gesture recognised now, and the practice hint that asks for a rest between
// gestures (going from one held gesture straight into another is what the
// classifier handles worst). Pure functions.
import { bitsOf, NO_GESTURE } from './protocol.js';

export function identifiedWords(identify, nameOf) {
  if (identify.phase === 'starting') return 'Starting…';
  if (identify.current === null) return identify.phase === 'idle' ? '–' : 'No gesture yet';
  // The classifier's first word is usually "no gesture": it means nothing yet,
  // until a gesture was recognised, and a rest after one.
  if (identify.current === NO_GESTURE) return identify.seen.length === 0 ? 'No gesture yet' : 'Rest';
  return nameOf(identify.current);
}

export function practiceHint(state, nameOf) {
  const id = state.identify;
  if (id.phase !== 'running') return '';
  const slots = bitsOf(state.config.server?.gestureMask ?? state.selection.gestureMask);
  if (id.current !== null && id.current !== NO_GESTURE)
    return `Recognised ${nameOf(id.current)}. Now relax fully for a moment before the next gesture.`;
  const next = slots.find((slot) => !id.seen.includes(slot));
  if (next === undefined) return 'Every gesture was recognised. Keep practising, resting between gestures.';
  return `Make ${nameOf(next)} and hold it.`;
}
