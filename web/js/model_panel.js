// Step 4: training the model on the server, how well it tells the gestures
// apart (the server's cross-validation of the recordings, as a confusion-matrix
// heat map with the accuracy, each gesture's recall and the warnings with what
// to do), and uploading it to the armband.
import { modelFits } from './availability.js';
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
  const percent = byId('upload-percent');
  const progress = byId('upload-progress');
  const uploadOutcome = byId('upload-outcome');
  const summary = byId('model-summary');
  const evaluation = createEvaluationView({ session, onRecordAgain });

  return {
    render(state, actions) {
      const g = state.generate;
      setButton(generate, actions.generate, session.isBusy('generate'));
      generate.classList.toggle('primary', actions.generate && !modelFits(state));
      if (g.phase === 'running') setText(elapsed, `Training… ${seconds(g.elapsedMs)}`);
      else setText(elapsed, g.elapsedMs !== null && g.outcome ? `took ${seconds(g.elapsedMs)}` : '');
      showOutcome(generateOutcome, g.outcome);
      evaluation.render(state, actions);

      const u = state.upload;
      setButton(upload, actions.upload, session.isBusy('upload'));
      upload.classList.toggle('primary', actions.upload && !u.outcome?.ok);
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
  const table = byId('confusion');
  const warnings = byId('evaluation-warnings');
  const evaluate = byId('evaluate');
  const caption = table.querySelector('caption');
  let shown = null;

  function draw(data) {
    const view = evaluationView(data, (slot) => session.nameOf(slot));
    setText(accuracy, accuracyLine(view));
    block.dataset.accuracy = view.ok && view.accuracy !== null ? String(view.accuracy) : '';
    table.replaceChildren(caption);
    table.hidden = !view.ok;
    if (view.ok) {
      const head = el('tr', {}, el('th', { scope: 'col', text: 'Made ↓ called →' }));
      for (const c of view.classes) head.append(el('th', { scope: 'col', text: c.name }));
      head.append(el('th', { scope: 'col', text: 'Recall' }));
      table.append(el('thead', {}, head));
      const body = el('tbody');
      view.rows.forEach((row, r) => {
        const tr = el('tr', {}, el('th', { scope: 'row', text: view.classes[r].name }));
        row.forEach((cell, c) => {
          const td = el('td', {
            text: String(cell.count),
            class: r === c ? 'hit' : 'miss',
            title: `${Math.round(cell.share * 100)} % of ${view.classes[r].name}'s windows`,
          });
          td.style.background = cell.colours.background;
          td.style.color = cell.colours.ink;
          tr.append(td);
        });
        tr.append(el('td', { class: 'recall', text: view.classes[r].recallText }));
        body.append(tr);
      });
      table.append(body);
    }
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
    render(state, actions) {
      const e = state.evaluation;
      block.hidden = e.phase === 'idle' && !e.data;
      evaluate.disabled = !actions.evaluate;
      if (e.phase === 'loading' && !e.data) {
        setText(accuracy, 'Evaluating the recordings (cross-validation)…');
        table.hidden = true;
        return;
      }
      if (e.phase === 'failed' && !e.data) {
        setText(accuracy, e.words);
        table.hidden = true;
        return;
      }
      const key = JSON.stringify([e.data, state.names, e.stale]);
      if (key === shown) return;
      shown = key;
      draw(e.data);
      if (e.stale)
        setText(
          accuracy,
          `${accuracy.textContent} The recordings have changed since: generate the model again.`,
        );
    },
  };
}

// "12 ms" under a second (training a few gestures is that quick), "3.4 s" above.
function seconds(ms) {
  return ms < 1000 ? `${Math.round(ms)} ms` : `${(ms / 1000).toFixed(1)} s`;
}
