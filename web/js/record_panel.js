// Step 3: a card per selected gesture with what the server holds for it
// (windows, seconds, the time the muscles were found at work, and a word when
// the activity detector found no activity or no rest), each window with its
// own Delete when there are several, the window under way with its count-in,
// and the actions: Record, Record again (replace the windows once the new one
// is saved, or keep them and add one), Delete and Review. Deleting asks first.
import { availableActions } from './availability.js';
import { byId, clockTime, el, setButton, setProgress, setText, showOutcome } from './dom.js';
import { bitsOf, FRAMES_PER_SECOND, GESTURE_SLOTS, RECORD_WINDOW_MS } from './protocol.js';
import { COUNT_IN_MS } from './answer_handlers.js';
import { windowFrames } from './review_window.js';
import { activityWarning, recordingSummary } from './server_truth.js';

const plural = (n, word) => `${n} ${word}${n === 1 ? '' : 's'}`;

export function createRecordPanel({ session, onReview, now = () => Date.now() }) {
  const host = byId('record-cards');
  const cards = new Map();
  let asking = null; // {slot, kind: 'delete' | 'again' | 'window', k} while a confirmation is open

  function ask(slot, kind, k = null) {
    asking = { slot, kind, k };
    session.changed();
    requestAnimationFrame(() => cards.get(slot).yes.focus());
  }

  function answer(choice) {
    const { slot, kind, k } = asking;
    asking = null;
    if (choice === 'yes' && kind === 'delete') session.deleteRecording(slot);
    if (choice === 'yes' && kind === 'window') session.deleteWindow(slot, k);
    if (kind === 'again' && choice !== 'no') session.startRecord(slot, { replace: choice === 'yes' });
    session.changed();
    requestAnimationFrame(() => cards.get(slot).record.focus());
  }

  for (let slot = 1; slot <= GESTURE_SLOTS; slot += 1) {
    const name = el('span', { class: 'name' });
    const flag = el('span', { class: 'flag' });
    const count = el('div', { class: 'count' });
    const windows = el('ol', { class: 'windows' });
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
    const yes = el('button', { class: 'danger confirm-yes', onclick: () => answer('yes') });
    const add = el('button', { class: 'confirm-add', onclick: () => answer('add') }, 'Keep it and add one');
    const no = el('button', { class: 'quiet confirm-no', onclick: () => answer('no') }, 'Cancel');
    const confirm = el('div', { class: 'confirm', role: 'group', hidden: true }, question, yes, add, no);
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
      windows,
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
      windows,
      record,
      stop,
      review,
      remove,
      confirm,
      question,
      yes,
      add,
      countdown,
      progress,
      note,
      shownWindows: '',
    });
    host.append(card);
  }
  const outcome = byId('record-outcome');
  const summary = byId('record-summary');

  // Each window of a gesture with several, with its own Delete.
  function renderWindows(parts, slot, entry, canDelete) {
    const log = entry?.windowLog ?? [];
    const key = JSON.stringify([log, canDelete, session.nameOf(slot)]);
    if (key === parts.shownWindows) return;
    parts.shownWindows = key;
    parts.windows.replaceChildren(
      ...(log.length > 1 ? log : []).map((w, i) =>
        el(
          'li',
          {},
          el('span', { text: windowWords(w, i + 1) }),
          el(
            'button',
            {
              class: 'quiet small delete-window',
              disabled: !canDelete,
              'aria-label': `Delete window ${i + 1} of ${session.nameOf(slot)}`,
              onclick: () => ask(slot, 'window', i + 1),
            },
            'Delete',
          ),
        ),
      ),
    );
  }

  function question(kind, gesture, entry, k) {
    const what = entry?.windows ? plural(entry.windows, 'window') : 'recording';
    if (kind === 'delete') return `Delete ${gesture}'s ${what}?`;
    if (kind === 'window') return `Delete window ${k} of ${gesture}?`;
    return `Record ${gesture} again? Its ${what} ${entry?.windows === 1 ? 'stays' : 'stay'} until the new window is saved.`;
  }

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
        renderWindows(parts, slot, entry, actions.deleteRecording(slot));
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
          setText(parts.question, question(asking.kind, gesture, entry, asking.k));
          setText(parts.yes, { delete: 'Delete', window: 'Delete', again: 'Replace it' }[asking.kind]);
          parts.add.hidden = asking.kind !== 'again';
          setText(parts.add, entry?.windows > 1 ? 'Keep them and add one' : 'Keep it and add one');
          setText(
            parts.yes,
            asking.kind === 'again' && entry?.windows > 1 ? 'Replace them' : parts.yes.textContent,
          );
          parts.confirm.setAttribute('aria-label', `Confirm for ${gesture}`);
        }
        const elapsed = mine ? Math.min(RECORD_WINDOW_MS, session.armbandMsSince(r.startedAt, now())) : 0;
        parts.progress.setAttribute('aria-label', `Recording window of ${gesture}`);
        const counting = r.phase === 'countIn' || r.phase === 'starting';
        setProgress(parts.progress, mine && !counting ? elapsed / RECORD_WINDOW_MS : 0);
        setText(parts.countdown, mine ? countdownText(r, elapsed, now()) : '');
        const note = session.isBusy(`delete${slot}`) ? { words: 'Deleting…' } : state.cardNotes[slot];
        setText(parts.note, note?.words ?? '');
        parts.note.dataset.ok = note?.ok === undefined ? '' : String(note.ok);
      }
      const missing = selected.filter((slot) => !state.recordings?.[slot]).length;
      setText(summary, missing === 0 ? 'all recorded' : `${missing} of ${selected.length} to record`);
      if (active && r.slot === null) {
        showOutcome(outcome, { words: 'Another client is recording.' });
      } else if (active && !r.mine) {
        showOutcome(outcome, {
          words: `${session.nameOf(r.slot)} is being recorded by another page or program.`,
        });
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

// "Window 2 · 30 s · 14:03" (when it ended).
function windowWords(window, k) {
  const seconds = Math.round(windowFrames(window) / FRAMES_PER_SECOND);
  const ended = Number.isFinite(window.ended) ? ` · ${clockTime(window.ended * 1000).slice(0, 5)}` : '';
  return `Window ${k} · ${seconds} s${ended}`;
}

function countdownText(r, elapsed, now) {
  if (r.phase === 'countIn')
    return `Get ready… ${Math.max(1, Math.ceil((COUNT_IN_MS - (now - r.startedAt)) / 1000))}`;
  if (r.phase === 'starting') return 'Starting…';
  if (r.phase === 'stopping') return 'Stopping…';
  if (r.phase === 'saving') return 'Saving…';
  return `${Math.ceil((RECORD_WINDOW_MS - elapsed) / 1000)} s left`;
}
