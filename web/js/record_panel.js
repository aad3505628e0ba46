// Step 3: a card per selected gesture with its recordings, the 30-second
// countdown of the window under way (in the armband's seconds), the live
// signal and the outcome.
import { byId, el, setProgress, setText, showOutcome } from './dom.js';
import { bitsOf, GESTURE_SLOTS, RECORD_WINDOW_MS } from './protocol.js';
import { gestureName } from './settings.js';
import { createSignalPlot } from './signal_plot.js';

export function createRecordPanel({ session, settings, now = () => Date.now() }) {
  const host = byId('record-cards');
  const cards = new Map();
  for (let slot = 1; slot <= GESTURE_SLOTS; slot += 1) {
    const name = el('div', { class: 'name' });
    const count = el('div', { class: 'count' });
    const button = el(
      'button',
      { class: 'record', 'data-slot': slot, onclick: () => session.startRecord(slot) },
      'Record',
    );
    const stop = el('button', { class: 'quiet stop', onclick: () => session.stopRecord() }, 'Stop');
    const countdown = el('div', { class: 'countdown' });
    const progress = el(
      'div',
      {
        class: 'progress',
        role: 'progressbar',
        'aria-valuemin': 0,
        'aria-valuemax': 100,
        'aria-valuenow': 0,
      },
      el('div', { class: 'bar' }),
    );
    const card = el(
      'div',
      { class: 'record-card', id: `record-card-${slot}`, 'data-slot': slot },
      name,
      count,
      el('div', { class: 'actions' }, button, stop),
      countdown,
      progress,
    );
    cards.set(slot, { card, name, count, button, stop, countdown, progress });
    host.append(card);
  }
  const plot = createSignalPlot(byId('signal-plot'), byId('plot-count'));
  const outcome = byId('record-outcome');
  let shownStart = null;

  session.subscribe((event) => {
    if (event.type === 'preview') plot.add(event.rows);
  });

  return {
    render(state, actions) {
      const r = state.recording;
      const active = r.phase !== 'idle';
      if (active && shownStart !== r.startedAt) {
        shownStart = r.startedAt;
        const applied = state.config.applied?.channelMask;
        plot.restart(bitsOf(applied ?? settings.channelMask));
      }
      const selected = bitsOf(settings.gestureMask);
      for (const [slot, parts] of cards) {
        parts.card.hidden = !selected.includes(slot);
        const mine = active && r.slot === slot;
        parts.card.dataset.active = String(mine);
        setText(parts.name, gestureName(settings, slot));
        const n = r.counts[slot];
        setText(parts.count, n === 0 ? 'Not recorded yet' : `Recorded ${n} time${n === 1 ? '' : 's'}`);
        parts.button.disabled = !actions.record(slot);
        parts.button.classList.toggle('primary', actions.record(slot) && n === 0);
        parts.stop.hidden = !mine;
        parts.stop.disabled = !actions.stopRecord;
        const elapsed = mine ? Math.min(RECORD_WINDOW_MS, session.armbandMsSince(r.startedAt, now())) : 0;
        setProgress(parts.progress, mine ? elapsed / RECORD_WINDOW_MS : 0);
        setText(parts.countdown, mine ? countdownText(r.phase, elapsed) : '');
      }
      if (active && r.slot === null) {
        showOutcome(outcome, { words: 'Another client is recording.' });
      } else {
        const o = r.outcome;
        showOutcome(
          outcome,
          o && { ok: o.ok, words: o.slot ? `${gestureName(settings, o.slot)}: ${o.words}` : o.words },
        );
      }
    },
  };
}

function countdownText(phase, elapsed) {
  if (phase === 'starting') return 'Starting…';
  if (phase === 'stopping') return 'Stopping…';
  if (phase === 'saving') return 'Saving…';
  return `${Math.ceil((RECORD_WINDOW_MS - elapsed) / 1000)} s left`;
}
