// Step 4: training the model on the server, whether it is still current (the
// server says what changed since it was trained), how well it tells the
// gestures apart (the server's cross-validation of the recordings, as a
// confusion-matrix heat map with the accuracy, each class's recall, the live
// figures in words and the warnings with what to do), shown whenever a model
// exists, and uploading it to the armband.
import { modelFits, modelStale } from './availability.js';
import { byId, el, setButton, setProgress, setText, showOutcome } from './dom.js';
import { accuracyLine, evaluationView } from './evaluation_view.js';

export function createModelPanel({ session, onRecordAgain }) {
  const generate = byId('generate');
  const upload = byId('upload');
  const evaluate = byId('evaluate');
  generate.addEventListener('click', () => session.generate());
  upload.addEventListener('click', () => session.upload());
  evaluate.addEventListener('click', () => session.evaluate());
  const elapsed = byId('generate-elapsed');
  const generateOutcome = byId('generate-outcome');
  const stale = byId('model-stale');
  const percent = byId('upload-percent');
  const progress = byId('upload-progress');
  const uploadOutcome = byId('upload-outcome');
  const summary = byId('model-summary');
  const evaluation = createEvaluationView({ session, onRecordAgain });

  return {
    render(state, actions) {
      const g = state.generate;
      const outdated = modelStale(state) && g.phase === 'idle';
      setButton(generate, actions.generate, session.isBusy('generate'));
      setText(generate, outdated ? 'Train again' : 'Generate model');
      generate.classList.toggle('primary', actions.generate && (!modelFits(state) || outdated));
      if (g.phase === 'running') setText(elapsed, `Training… ${seconds(g.elapsedMs)}`);
      else setText(elapsed, g.elapsedMs !== null && g.outcome ? `took ${seconds(g.elapsedMs)}` : '');
      showOutcome(generateOutcome, outdated ? null : g.outcome);
      showOutcome(
        stale,
        outdated && {
          ok: false,
          words: `Train the model again: ${state.model.staleBecause.join(' ') || 'it is out of date.'}`,
        },
      );
      evaluation.render(state, actions);
      evaluate.hidden = !state.model?.present && !state.evaluation.data;
      evaluate.disabled = !actions.evaluate;

      const u = state.upload;
      setButton(upload, actions.upload, session.isBusy('upload'));
      upload.classList.toggle('primary', actions.upload && !u.outcome?.ok && !outdated);
      setProgress(progress, u.percent / 100);
      const running = u.phase !== 'idle';
      setText(
        percent,
        running ? (u.phase === 'starting' ? 'Starting…' : `${u.percent} %`) : u.outcome?.ok ? '100 %' : '',
      );
      showOutcome(uploadOutcome, running ? null : u.outcome);
      const fits = modelFits(state);
      setText(
        summary,
        g.phase === 'running'
          ? 'training…'
          : outdated
            ? 'trained · out of date: train again'
            : fits
              ? u.outcome?.ok
                ? 'trained · on the armband'
                : 'trained'
              : state.model?.present
                ? 'to train again'
                : 'not trained',
      );
    },
  };
}

// The evaluation block: drawn again only when the evaluation or the names change.
function createEvaluationView({ session, onRecordAgain }) {
  const block = byId('evaluation');
  const accuracy = byId('evaluation-accuracy');
  const online = byId('evaluation-online');
  const table = byId('confusion');
  const warnings = byId('evaluation-warnings');
  let shown = null;

  function drawMatrix(view) {
    table.replaceChildren();
    const head = el('tr', {}, el('th', { scope: 'col', text: 'Made ↓ called →' }));
    for (const g of view.gestures) head.append(el('th', { scope: 'col', text: g.name }));
    head.append(el('th', { scope: 'col', text: 'Recall' }));
    table.append(el('thead', {}, head));
    const body = el('tbody');
    view.rows.forEach((row, r) => {
      const made = view.gestures[r].name;
      const tr = el('tr', { 'data-slot': view.gestures[r].slot }, el('th', { scope: 'row', text: made }));
      row.forEach((cell, c) => {
        const td = el('td', {
          text: String(cell.count),
          class: r === c ? 'hit' : 'miss',
          title: `${Math.round(cell.share * 100)} % of ${made}'s windows`,
        });
        td.style.background = cell.colours.background;
        td.style.color = cell.colours.ink;
        tr.append(td);
      });
      tr.append(el('td', { class: 'recall', text: view.gestures[r].recallText }));
      body.append(tr);
    });
    table.append(body);
  }

  function draw(data, stale) {
    const view = evaluationView(data, (slot) => session.nameOf(slot));
    const since = stale ? ' The recordings have changed since: press Evaluate again.' : '';
    setText(accuracy, accuracyLine(view) + since);
    block.dataset.accuracy = view.ok && view.accuracy !== null ? String(view.accuracy) : '';
    table.hidden = !view.ok;
    online.replaceChildren(...(view.ok ? view.online : []).map((text) => el('li', { text })));
    if (view.ok) drawMatrix(view);
    warnings.replaceChildren(
      ...(view.ok ? view.warnings : []).map((w) =>
        el(
          'li',
          { 'data-kind': w.kind },
          el('span', { text: w.text }),
          ...w.actions.map((a) =>
            el('button', { class: 'small', onclick: () => onRecordAgain(a.slot) }, a.label),
          ),
        ),
      ),
    );
  }

  return {
    render(state) {
      const e = state.evaluation;
      block.hidden = !state.model?.present && !e.data && e.phase === 'idle';
      if (!e.data && (e.phase === 'loading' || e.phase === 'failed')) {
        shown = null;
        setText(accuracy, e.phase === 'loading' ? 'Evaluating the recordings (cross-validation)…' : e.words);
        table.hidden = true;
        online.replaceChildren();
        return;
      }
      const key = JSON.stringify([e.data, state.names, e.stale]);
      if (key === shown) return;
      shown = key;
      draw(e.data, e.stale);
    },
  };
}

// "12 ms" under a second (training a few gestures is that quick), "3.4 s" above.
function seconds(ms) {
  return ms < 1000 ? `${Math.round(ms)} ms` : `${(ms / 1000).toFixed(1)} s`;
}
