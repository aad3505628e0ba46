// What live identification says to the person, from the session's state: the
// gesture recognised now, and the practice hint that names the gesture to make
// and asks for a rest between gestures (going from one held gesture straight
// into another is what the classifier handles worst). Pure functions.
import { NO_GESTURE } from './protocol.js';

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
  const reported = id.current !== null && id.current !== NO_GESTURE;
  if (reported && id.current !== id.target && id.recognised.includes(id.current))
    return `Recognised ${nameOf(id.current)}. Now relax fully for a moment before the next gesture.`;
  if (id.target === null) return 'Every gesture was recognised. Keep practising, resting between gestures.';
  if (reported && id.current === id.target) return `${nameOf(id.target)}: keep holding it…`;
  return `Make ${nameOf(id.target)} and hold it.`;
}
