// Step 3: a card per selected gesture with what the server holds for it
// (windows, seconds, active windows, and a word when the activity detector
// found no activity or no rest), the window under way, and the actions: Record,
// Record again (delete, then record), Delete and Review. Deleting asks first.
import { availableActions } from './availability.js';
import { byId, el, setButton, setProgress, setText, showOutcome } from './dom.js';
import { bitsOf, GESTURE_SLOTS, RECORD_WINDOW_MS } from './protocol.js';
import { activityWarning, recordingSummary } from './server_truth.js';

export function createRecordPanel({ session, onReview, now = () => Date.now() }) {
  const host = byId('record-cards');
  const cards = new Map();
  let asking = null; // {slot, kind: 'delete' | 'again'} while a confirmation is open

  function ask(slot, kind) {
    asking = { slot, kind };
    session.changed();
    requestAnimationFrame(() => cards.get(slot).yes.focus());
  }

  function answer(yes) {
    const { slot, kind } = asking;
    asking = null;
    if (yes && kind === 'delete') session.deleteRecording(slot);
    if (yes && kind === 'again') session.recordAgain(slot);
    session.changed();
    requestAnimationFrame(() => cards.get(slot).record.focus());
  }

  for (let slot = 1; slot <= GESTURE_SLOTS; slot += 1) {
    const name = el('span', { class: 'name' });
    const flag = el('span', { class: 'flag' });
    const count = el('div', { class: 'count' });
    const record = el('button', {
      class: 'record',
      'data-slot': slot,
      onclick: () => {
        if (session.state.recordings?.[slot]) ask(slot, 'again');
        else session.startRecord(slot);
      },
    });
    const stop = el('button', { class: 'quiet stop', onclick: () => session.stopRecord() }, 'Stop');
    const review = el('button', { class: 'quiet review', onclick: () => onReview(slot) }, 'Review');
    const remove = el('button', { class: 'quiet delete', onclick: () => ask(slot, 'delete') }, 'Delete');
    const question = el('span', { class: 'question' });
    const yes = el('button', { class: 'danger confirm-yes', onclick: () => answer(true) });
    const no = el('button', { class: 'quiet confirm-no', onclick: () => answer(false) }, 'Cancel');
    const confirm = el('div', { class: 'confirm', role: 'group', hidden: true }, question, yes, no);
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
    const note = el('p', { class: 'card-note', role: 'status' });
    const card = el(
      'div',
      { class: 'record-card', id: `record-card-${slot}`, 'data-slot': slot },
      el('div', { class: 'card-head' }, name, flag),
      count,
      el('div', { class: 'actions' }, record, stop, review, remove),
      confirm,
      countdown,
      progress,
      note,
    );
    cards.set(slot, {
      card,
      name,
      flag,
      count,
      record,
      stop,
      review,
      remove,
      confirm,
      question,
      yes,
      countdown,
      progress,
      note,
    });
    host.append(card);
  }
  const outcome = byId('record-outcome');
  const summary = byId('record-summary');

  return {
    render(state, actions = availableActions(state)) {
      const r = state.recording;
      const active = r.phase !== 'idle';
      const selected = bitsOf(state.selection.gestureMask);
      for (const [slot, parts] of cards) {
        parts.card.hidden = !selected.includes(slot);
        if (parts.card.hidden) continue;
        const gesture = session.nameOf(slot);
        const entry = state.recordings?.[slot] ?? null;
        const mine = active && r.slot === slot;
        parts.card.dataset.active = String(mine);
        parts.card.dataset.recorded = String(Boolean(entry));
        setText(parts.name, gesture);
        const warning = activityWarning(entry);
        setText(parts.flag, warning ?? '');
        parts.flag.hidden = !warning;
        setText(parts.count, state.recordings ? recordingSummary(entry) : 'Reading the recordings…');
        setText(parts.record, entry ? 'Record again' : 'Record');
        parts.record.setAttribute('aria-label', `${entry ? 'Record again' : 'Record'} ${gesture}`);
        const canRecord = entry ? actions.recordAgain(slot) : actions.record(slot);
        setButton(parts.record, canRecord, mine && session.isBusy('record'));
        parts.record.classList.toggle('primary', canRecord && !entry);
        parts.stop.hidden = !mine;
        parts.stop.setAttribute('aria-label', `Stop recording ${gesture}`);
        setButton(parts.stop, actions.stopRecord, session.isBusy('stopRecord'));
        parts.review.hidden = !entry?.lastWindow;
        parts.review.setAttribute('aria-label', `Review the last window of ${gesture}`);
        parts.review.disabled = active;
        parts.remove.hidden = !entry;
        parts.remove.setAttribute('aria-label', `Delete the recordings of ${gesture}`);
        setButton(parts.remove, actions.deleteRecording(slot), session.isBusy(`delete${slot}`));
        const askingHere = asking?.slot === slot;
        parts.confirm.hidden = !askingHere;
        if (askingHere) {
          const what = entry?.windows
            ? `${entry.windows} window${entry.windows === 1 ? '' : 's'}`
            : 'recording';
          setText(
            parts.question,
            asking.kind === 'delete'
              ? `Delete ${gesture}'s ${what}?`
              : `Replace ${gesture}'s ${what} with a new recording?`,
          );
          setText(parts.yes, asking.kind === 'delete' ? 'Delete' : 'Record again');
          parts.confirm.setAttribute('aria-label', `Confirm for ${gesture}`);
        }
        const elapsed = mine ? Math.min(RECORD_WINDOW_MS, session.armbandMsSince(r.startedAt, now())) : 0;
        parts.progress.setAttribute('aria-label', `Recording window of ${gesture}`);
        setProgress(parts.progress, mine && r.phase !== 'starting' ? elapsed / RECORD_WINDOW_MS : 0);
        setText(parts.countdown, mine ? countdownText(r, elapsed) : '');
        const note = state.cardNotes[slot];
        setText(parts.note, note?.words ?? '');
        parts.note.dataset.ok = note ? String(note.ok) : '';
      }
      const missing = selected.filter((slot) => !state.recordings?.[slot]).length;
      setText(summary, missing === 0 ? 'all recorded' : `${missing} of ${selected.length} to record`);
      if (active && r.slot === null) {
        showOutcome(outcome, { words: 'Another client is recording.' });
      } else if (active && !r.mine) {
        showOutcome(outcome, { words: `${session.nameOf(r.slot)} is being recorded by another page.` });
      } else {
        const o = r.outcome;
        showOutcome(
          outcome,
          o && { ok: o.ok, words: o.slot ? `${session.nameOf(o.slot)}: ${o.words}` : o.words },
        );
      }
    },
  };
}

function countdownText(r, elapsed) {
  if (r.phase === 'starting') return r.outcome?.words ?? 'Starting…';
  if (r.phase === 'stopping') return 'Stopping…';
  if (r.phase === 'saving') return 'Saving…';
  return `${Math.ceil((RECORD_WINDOW_MS - elapsed) / 1000)} s left`;
}
