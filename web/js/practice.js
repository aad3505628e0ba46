// Practising with live identification: the page names one gesture to make,
// the target, and it counts as recognised only once it is reported and held
// for PRACTICE_HOLD_MS of the armband's time while it is the target. A gesture
// reported for an instant (the flurry at an onset), or one the person was not
// asked for, ticks nothing. Pure functions of the session's state.
import { bitsOf } from './protocol.js';

export const PRACTICE_HOLD_MS = 500;

// The gestures to practise: the configured ones.
export function practiceSlots(state) {
  return bitsOf(state.config.server?.gestureMask ?? state.selection.gestureMask);
}

// A new run: nothing seen or recognised yet, the first gesture first.
export function startPractice(state) {
  Object.assign(state.identify, {
    seen: [],
    recognised: [],
    heldSince: null,
    target: practiceSlots(state)[0] ?? null,
  });
}

// A report of `gesture` at `now` (the page's clock), before it becomes the current one.
export function notePracticeReport(identify, gesture, now) {
  if (gesture !== identify.target) identify.heldSince = null;
  else if (identify.current !== gesture || identify.heldSince === null) identify.heldSince = now;
}

// Ticks the target once it has been held `heldMs` long enough and moves on
// to the next gesture not yet recognised; true when it did.
export function checkPractice(state, heldMs) {
  const id = state.identify;
  if (id.target === null || id.heldSince === null || id.current !== id.target) return false;
  if (heldMs < PRACTICE_HOLD_MS) return false;
  if (!id.recognised.includes(id.target)) id.recognised.push(id.target);
  const slots = practiceSlots(state);
  const next = slots.slice(slots.indexOf(id.target) + 1).concat(slots);
  id.target = next.find((slot) => !id.recognised.includes(slot)) ?? null;
  id.heldSince = null;
  return true;
}
