// The evaluation of the recordings (GET /api/evaluation) in the shape the page
// shows it: a confusion matrix as a heat map with each row's share, the
// accuracy, each gesture's recall, and the warnings with what to do about them.
// Pure functions.
import { bestInk } from './contrast.js';

const percent = (share) => (share === null || share === undefined ? '–' : `${Math.round(share * 100)} %`);

// The colour of a heat-map cell for a row share 0..1: light tints of blue
// (right) or red (wrong) under one half, deep ones over it, so that dark or
// white ink always keeps its contrast (a mid tone would suit neither).
export function heatColours(share, onDiagonal) {
  const s = Math.max(0, Math.min(1, share));
  const [r, g, b] = onDiagonal ? [47, 93, 138] : [179, 38, 30];
  const strength = s < 0.5 ? 0.6 * s : 0.85 + 0.3 * (s - 0.5);
  const colour = [r, g, b].map((c) => Math.round(255 + (c - 255) * strength));
  return { background: `rgb(${colour.join(', ')})`, ink: bestInk(colour.concat(1), ['#1d2733', '#ffffff']) };
}

// {ok, problem} when the server could not evaluate; otherwise
// {ok: true, accuracy, gestures: [{slot, name, recall}], classes: [{slot, name, recallText}],
//  rows: [[{count, share, colours}]], warnings, mode}. The matrix's rows and columns are the
// classes: rest (slot 0) first, then the gestures.
export function evaluationView(evaluation, nameOf) {
  if (!evaluation || typeof evaluation !== 'object') return { ok: false, problem: 'no evaluation' };
  if (!evaluation.evaluated) return { ok: false, problem: String(evaluation.problem ?? 'not evaluated') };
  const gestures = (evaluation.gestures ?? []).map((g) => ({
    slot: g.gesture,
    name: nameOf(g.gesture),
    recall: g.recall ?? null,
    recallText: percent(g.recall),
    activeWindows: g.activeWindows,
  }));
  const classes = Array.isArray(evaluation.classes)
    ? evaluation.classes.map((c) => ({
        slot: c.gesture,
        name: c.gesture === 0 ? 'Rest' : nameOf(c.gesture),
        recallText: percent(c.recall),
      }))
    : gestures;
  const rows = (evaluation.confusion ?? []).map((row, r) => {
    const total = row.reduce((a, b) => a + b, 0);
    return row.map((count, c) => {
      const share = total > 0 ? count / total : 0;
      return { count, share, colours: heatColours(share, r === c) };
    });
  });
  return {
    ok: true,
    accuracy: evaluation.accuracy ?? null,
    accuracyText: percent(evaluation.accuracy),
    windows: evaluation.windowsTested ?? 0,
    mode: evaluation.identifyMode ?? null,
    gestures,
    classes,
    rows,
    warnings: warningsView(evaluation.warnings, nameOf),
  };
}

// Each warning's words and the actions that answer it: {text, actions: [{slot, label}]}.
// A gesture named by several warnings gets its action on the first only.
export function warningsView(warnings, nameOf) {
  if (!Array.isArray(warnings)) return [];
  const offered = new Set();
  return warnings.map((w) => {
    const named = Array.isArray(w.gestures) ? w.gestures.filter((g) => Number.isInteger(g)) : [];
    const slots = named.filter((slot) => !offered.has(slot));
    slots.forEach((slot) => offered.add(slot));
    return {
      kind: w.kind,
      text: String(w.text ?? ''),
      actions: slots.map((slot) => ({ slot, label: `Record ${nameOf(slot)} again` })),
    };
  });
}

// One line for the model's quality: "Accuracy 94 % over 420 held-out windows".
export function accuracyLine(view) {
  if (!view.ok) return `The recordings could not be evaluated: ${view.problem}.`;
  return `Accuracy ${view.accuracyText} over ${view.windows} held-out windows (5-fold cross-validation).`;
}
