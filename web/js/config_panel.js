// Step 2: the channels and the gesture slots, with the names a person gives
// them. The ticks follow the server's configuration until the person changes
// them; Apply sends them, and the 05 notification says how the armband took
// them. Names go to the server, so every page shows the same ones.
import { configMatches } from './availability.js';
import { byId, el, setButton, setText, showOutcome } from './dom.js';
import { bitsOf, channelWords, CHANNELS, GESTURE_SLOTS, listWords, maskOf } from './protocol.js';
import { MAX_NAME_LENGTH } from './settings.js';

export function createConfigPanel({ session, onSelection }) {
  const channelBoxes = [];
  const channelHost = byId('channel-boxes');
  for (let channel = 1; channel <= CHANNELS; channel += 1) {
    const box = el('input', { type: 'checkbox', id: `channel-${channel}`, onchange: readSelection });
    channelBoxes.push(box);
    channelHost.append(el('label', { for: box.id, class: 'tick' }, box, `Ch ${channel}`));
  }
  const slotBoxes = [];
  const nameInputs = [];
  const slotHost = byId('gesture-slots');
  for (let slot = 1; slot <= GESTURE_SLOTS; slot += 1) {
    const box = el('input', {
      type: 'checkbox',
      id: `gesture-${slot}`,
      'aria-label': `Train gesture ${slot}`,
      onchange: readSelection,
    });
    const name = el('input', {
      type: 'text',
      id: `gesture-name-${slot}`,
      maxlength: MAX_NAME_LENGTH,
      placeholder: `Gesture ${slot}`,
      'aria-label': `Name of gesture ${slot}`,
      autocomplete: 'off',
      oninput: () => session.renameGesture(slot, name.value),
    });
    slotBoxes.push(box);
    nameInputs.push(name);
    slotHost.append(
      el('div', { class: 'gesture-slot' }, el('label', { for: box.id, class: 'tick' }, box), name),
    );
  }

  function readSelection() {
    session.select(
      maskOf(channelBoxes.flatMap((box, i) => (box.checked ? [i + 1] : []))),
      maskOf(slotBoxes.flatMap((box, i) => (box.checked ? [i + 1] : []))),
    );
    onSelection();
  }

  const apply = byId('apply-config');
  apply.addEventListener('click', () => session.applyConfig());
  const dirty = byId('config-dirty');
  const outcome = byId('config-outcome');
  const summary = byId('config-summary');
  const namesNote = byId('names-note');

  return {
    render(state, actions) {
      const { channelMask, gestureMask } = state.selection;
      channelBoxes.forEach((box, i) => (box.checked = Boolean(channelMask & (1 << i))));
      slotBoxes.forEach((box, i) => (box.checked = Boolean(gestureMask & (1 << i))));
      nameInputs.forEach((input, i) => {
        if (document.activeElement !== input && input.value !== state.names[i]) input.value = state.names[i];
      });
      setButton(apply, actions.applyConfig, session.isBusy('apply'));
      const matches = configMatches(state);
      apply.classList.toggle('primary', actions.applyConfig && !matches);
      dirty.hidden = matches || state.link !== 'connected' || session.isBusy('apply');
      if (!dirty.hidden) {
        const n = bitsOf(gestureMask).length;
        setText(dirty, n < 2 ? 'Tick at least two gestures to train a model.' : 'Changes not applied yet.');
      }
      const gestures = listWords(bitsOf(gestureMask).map((slot) => session.nameOf(slot)));
      setText(summary, matches ? `${channelWords(channelMask)} · ${gestures}` : 'not applied');
      const saving = state.namesDirty ? 'Names not saved yet…' : '';
      setText(
        namesNote,
        state.namesNote ?? [sameNames(state.names, gestureMask), saving].filter(Boolean).join(' '),
      );
      // An acceptance no longer stands beside ticks that were changed since.
      const said = state.config.outcome;
      showOutcome(
        outcome,
        session.isBusy('apply') ? { words: 'Waiting for the armband…' } : said?.ok && !matches ? null : said,
      );
    },
  };
}

// A word when two ticked gestures have the same name, or ''.
function sameNames(names, gestureMask) {
  const seen = new Map();
  for (const slot of bitsOf(gestureMask)) {
    const name = names[slot - 1]?.trim().toLowerCase();
    if (!name) continue;
    if (seen.has(name))
      return `Gestures ${seen.get(name)} and ${slot} are both named ${names[slot - 1].trim()}: give each its own name.`;
    seen.set(name, slot);
  }
  return '';
}
