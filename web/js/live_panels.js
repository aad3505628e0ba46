// Step 5, live identification on the PC with the person's own model (the
// recognised gesture itself shows on the live card, cue_panel.js), and the
// armband's own built-in gesture recognition beside it.
import { byId, el, setButton, setText, showOutcome } from './dom.js';
import { identifiedWords } from './identify_words.js';
import { practiceSlots } from './practice.js';
import { armbandGestureName, NO_GESTURE } from './protocol.js';

const modeWords = {
  calibrated: 'Mode: calibrated (rest and gestures learnt from your own recordings).',
  exact: 'Mode: exact. Start switches the server to the calibrated mode, which follows a wearer better.',
};

function renderList(list, entries) {
  list.replaceChildren(...entries.map((text) => el('li', { text })));
}

export function createIdentifyPanel({ session }) {
  const start = byId('start-identify');
  const stop = byId('stop-identify');
  start.addEventListener('click', () => session.startIdentify());
  stop.addEventListener('click', () => session.stopIdentify());
  const history = byId('identify-history');
  const practice = byId('practice');
  const outcome = byId('identify-outcome');
  const mode = byId('identify-mode');
  const summary = byId('identify-summary');
  let shown = null;

  return {
    render(state, actions) {
      const id = state.identify;
      setButton(start, actions.startIdentify, session.isBusy('identify'));
      start.classList.toggle('primary', actions.startIdentify);
      setButton(stop, actions.stopIdentify, session.isBusy('stopIdentify'));
      setText(mode, modeWords[state.identifyMode] ?? '');
      const running = id.phase !== 'idle' || state.mode === 'identifying';
      setText(summary, running ? `running · ${identifiedWords(id, (s) => session.nameOf(s))}` : '');
      const slots = practiceSlots(state);
      const key = JSON.stringify([id.history, id.recognised, id.target, slots, state.names, running]);
      if (key !== shown) {
        shown = key;
        const name = (slot) => (slot === NO_GESTURE ? 'Rest' : session.nameOf(slot));
        renderList(
          history,
          id.history.slice(1).map((h) => name(h.slot)),
        );
        // Each gesture ticks once it was recognised and held while it was the
        // one to make; a press makes another gesture the one to make.
        practice.replaceChildren(
          ...(running ? slots : []).map((slot) => {
            const done = id.recognised.includes(slot);
            const button = el(
              'button',
              {
                class: 'small',
                'aria-pressed': String(id.target === slot),
                onclick: () => session.practise(slot),
              },
              `${done ? '✓ ' : ''}${session.nameOf(slot)}${done ? ' recognised' : ''}`,
            );
            return el('li', { 'data-slot': slot, 'data-seen': String(done) }, button);
          }),
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
  let shown = null;

  return {
    render(state, actions) {
      const st = state.stream;
      setButton(start, actions.startStream, session.isBusy('stream'));
      setButton(stop, actions.stopStream, session.isBusy('stopStream'));
      const latest = st.history[0];
      setText(
        current,
        st.phase === 'idle' && !latest ? '–' : latest ? armbandGestureName(latest.gesture) : 'Waiting…',
      );
      const key = JSON.stringify(st.history);
      if (key !== shown) {
        shown = key;
        renderList(
          history,
          st.history.slice(1).map((h) => armbandGestureName(h.gesture)),
        );
      }
      showOutcome(outcome, st.phase === 'idle' ? st.outcome : null);
    },
  };
}
