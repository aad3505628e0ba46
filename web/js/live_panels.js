// Step 5, live identification on the PC with the person's own model, and the
// armband's own built-in gesture recognition beside it.
import { byId, el, setText, showOutcome } from './dom.js';
import { armbandGestureName, NO_GESTURE } from './protocol.js';
import { gestureName } from './settings.js';

function identifiedName(settings, slot) {
  if (slot === null) return '–';
  if (slot === NO_GESTURE) return 'Rest';
  return gestureName(settings, slot);
}

function renderHistory(list, entries) {
  list.replaceChildren(...entries.map((text) => el('li', { text })));
}

export function createIdentifyPanel({ session, settings }) {
  const start = byId('start-identify');
  const stop = byId('stop-identify');
  start.addEventListener('click', () => session.startIdentify());
  stop.addEventListener('click', () => session.stopIdentify());
  const current = byId('identified-gesture');
  const history = byId('identify-history');
  const outcome = byId('identify-outcome');
  let shownHistory = null;

  return {
    render(state, actions) {
      const id = state.identify;
      start.disabled = !actions.startIdentify;
      start.classList.toggle('primary', actions.startIdentify);
      stop.disabled = !actions.stopIdentify;
      const name = id.phase === 'starting' ? 'Listening…' : identifiedName(settings, id.current);
      setText(current, name);
      current.dataset.slot = id.current === null ? '' : String(id.current);
      const key = JSON.stringify(id.history) + settings.names.join('\n');
      if (key !== shownHistory) {
        shownHistory = key;
        renderHistory(
          history,
          id.history.slice(1).map((h) => identifiedName(settings, h.slot)),
        );
      }
      showOutcome(outcome, id.phase === 'idle' ? id.outcome : null);
    },
  };
}

export function createArmbandGesturesPanel(session) {
  const start = byId('start-stream');
  const stop = byId('stop-stream');
  start.addEventListener('click', () => session.startGestureStream());
  stop.addEventListener('click', () => session.stopGestureStream());
  const current = byId('armband-gesture');
  const history = byId('armband-history');
  const outcome = byId('stream-outcome');
  let shownHistory = null;

  return {
    render(state, actions) {
      const st = state.stream;
      start.disabled = !actions.startStream;
      stop.disabled = !actions.stopStream;
      const latest = st.history[0];
      setText(
        current,
        st.phase === 'idle' && !latest ? '–' : latest ? armbandGestureName(latest.gesture) : 'Waiting…',
      );
      const key = JSON.stringify(st.history);
      if (key !== shownHistory) {
        shownHistory = key;
        renderHistory(
          history,
          st.history.slice(1).map((h) => armbandGestureName(h.gesture)),
        );
      }
      showOutcome(outcome, st.phase === 'idle' ? st.outcome : null);
    },
  };
}
