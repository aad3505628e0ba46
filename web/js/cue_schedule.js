// What the wearer should do at each moment of a recording window: hold the
// gesture for 5 s, relax for 5 s, three times over, so every window holds
// activity and rest in equal parts. Times are the armband's milliseconds since
// the window opened (a sped-up simulated armband runs them faster than the
// page's clock; the caller converts).
import { RECORD_WINDOW_MS } from './protocol.js';

export const HOLD_MS = 5000;
export const RELAX_MS = 5000;
export const ROUNDS = 3;

// The phases of one window in order: {kind: 'hold' | 'relax', round, from, to}.
export function cuePhases(windowMs = RECORD_WINDOW_MS) {
  const phases = [];
  let at = 0;
  for (let round = 1; round <= ROUNDS && at < windowMs; round += 1) {
    for (const [kind, length] of [
      ['hold', HOLD_MS],
      ['relax', RELAX_MS],
    ]) {
      const to = Math.min(at + length, windowMs);
      if (to > at) phases.push({ kind, round, from: at, to });
      at = to;
    }
  }
  return phases;
}

const PHASES = cuePhases();

// The cue at `elapsedMs` into the window: {kind, round, index, secondsLeft}
// (secondsLeft counts down the current phase in whole seconds, 5 … 1), or
// {kind: 'done'} once the window's time is up.
export function cueAt(elapsedMs, phases = PHASES) {
  const at = Math.max(0, elapsedMs);
  const index = phases.findIndex((p) => at < p.to);
  if (index < 0) return { kind: 'done', round: ROUNDS, index: phases.length, secondsLeft: 0 };
  const phase = phases[index];
  return { kind: phase.kind, round: phase.round, index, secondsLeft: Math.ceil((phase.to - at) / 1000) };
}

// The words of a cue, for the large cue line and for screen readers.
export function cueWords(cue, gesture) {
  if (cue.kind === 'hold')
    return { word: `Make ${gesture}`, detail: `hold it firmly · round ${cue.round} of ${ROUNDS}` };
  if (cue.kind === 'relax')
    return { word: 'Relax', detail: `let the hand go loose · round ${cue.round} of ${ROUNDS}` };
  return { word: 'Done', detail: 'the window is closing' };
}
