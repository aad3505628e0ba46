// Step 4: training the model on the server, and uploading it to the armband.
import { byId, setProgress, setText, showOutcome } from './dom.js';

export function createModelPanel(session) {
  const generate = byId('generate');
  const upload = byId('upload');
  generate.addEventListener('click', () => session.generate());
  upload.addEventListener('click', () => session.upload());
  const elapsed = byId('generate-elapsed');
  const generateOutcome = byId('generate-outcome');
  const percent = byId('upload-percent');
  const progress = byId('upload-progress');
  const uploadOutcome = byId('upload-outcome');

  return {
    render(state, actions) {
      const g = state.generate;
      generate.disabled = !actions.generate;
      generate.classList.toggle('primary', actions.generate && !g.outcome?.ok);
      if (g.phase === 'running') setText(elapsed, `Training… ${seconds(g.elapsedMs)}`);
      else setText(elapsed, g.elapsedMs !== null && g.outcome ? `took ${seconds(g.elapsedMs)}` : '');
      showOutcome(generateOutcome, g.outcome);

      const u = state.upload;
      upload.disabled = !actions.upload;
      upload.classList.toggle('primary', actions.upload && Boolean(g.outcome?.ok) && !u.outcome?.ok);
      setProgress(progress, u.percent / 100);
      const running = u.phase !== 'idle';
      setText(
        percent,
        running ? (u.phase === 'starting' ? 'Starting…' : `${u.percent} %`) : u.outcome?.ok ? '100 %' : '',
      );
      if (running && u.stalled) {
        showOutcome(uploadOutcome, {
          ok: false,
          words: 'No word from the armband for 10 seconds: is it still connected?',
        });
      } else {
        showOutcome(uploadOutcome, running ? null : u.outcome);
      }
    },
  };
}

// "12 ms" under a second (training a few gestures is that quick), "3.4 s" above.
function seconds(ms) {
  return ms < 1000 ? `${Math.round(ms)} ms` : `${(ms / 1000).toFixed(1)} s`;
}
