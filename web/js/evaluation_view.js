// The evaluation of the recordings (GET /api/evaluation) in the shape the page
// shows it: a confusion matrix as a heat map with each row's share, the
// accuracy, each gesture's recall, the live figures in words, and the
// warnings with what to do about them.
// Pure functions.
import { bestInk } from './contrast.js';

// `space`: a no-break space in a table cell, so a narrow one never splits "100 %".
const percent = (share, space = ' ') =>
  share === null || share === undefined ? '–' : `${Math.round(share * 100)}${space}%`;

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
// {ok: true, accuracy, gestures: [{slot, name, recall}], rows: [[{count, share, colours}]],
// online: [sentences], warnings, mode}. With the server's `classes` (rest,
// class 0, among them) the matrix has a row and a column for each class and
// each row's recall is read from it; without, one per gesture as before.
export function evaluationView(evaluation, nameOf) {
  if (!evaluation || typeof evaluation !== 'object') return { ok: false, problem: 'no evaluation' };
  if (!evaluation.evaluated) return { ok: false, problem: String(evaluation.problem ?? 'not evaluated') };
  const confusion = Array.isArray(evaluation.confusion) ? evaluation.confusion : [];
  const classes = Array.isArray(evaluation.classes) && evaluation.classes.length === confusion.length;
  const rowRecall = (r) => {
    const total = (confusion[r] ?? []).reduce((a, b) => a + b, 0);
    return total > 0 ? confusion[r][r] / total : null;
  };
  const gestures = classes
    ? evaluation.classes.map((c, r) => ({
        slot: c.gesture,
        name: c.gesture === 0 ? 'Rest' : nameOf(c.gesture),
        recall: rowRecall(r),
      }))
    : (evaluation.gestures ?? []).map((g) => ({
        slot: g.gesture,
        name: nameOf(g.gesture),
        recall: g.recall ?? null,
      }));
  for (const g of gestures) g.recallText = percent(g.recall, '\u00a0');
  const rows = confusion.map((row, r) => {
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
    rows,
    online: onlineWords(evaluation, nameOf),
    warnings: warningsView(evaluation.warnings, nameOf),
  };
}

// The replay through live identification, in sentences a person can act on.
export function onlineWords(evaluation, nameOf) {
  const o = evaluation.online ?? {};
  const out = [];
  const mode = evaluation.identifyMode ? ` (${evaluation.identifyMode} mode)` : '';
  if (Number.isFinite(o.activeErrorRate) && o.holdDecisions > 0) {
    const missed = o.missed > 0 ? `; ${o.missed} of them said no gesture at all` : '';
    out.push(
      `Played back as live identification${mode}: while a gesture was held, ${percent(o.activeErrorRate)} of the answers were not that gesture (${o.errors} of ${o.holdDecisions}${missed}).`,
    );
  }
  if (Number.isFinite(o.instability))
    out.push(
      o.instability > 0
        ? `While a gesture was held, the answer changed about once every ${Math.max(1, Math.round(1 / o.instability))} s.`
        : 'While a gesture was held, the answer stayed the same.',
    );
  const pair = evaluation.mostConfused;
  if (Array.isArray(pair?.gestures) && pair.gestures.length === 2)
    out.push(
      `Mixed up most often: ${nameOf(pair.gestures[0])} and ${nameOf(pair.gestures[1])} (${pair.windows} window${pair.windows === 1 ? '' : 's'}).`,
    );
  return out;
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
