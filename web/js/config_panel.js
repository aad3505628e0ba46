// Step 2: the channels and the gesture slots, with the names a person gives
// them. Every change is remembered in local storage at once; Apply sends the
// selection to the server, whose 05 notification says how the armband took it.
import { byId, el, setText, showOutcome } from './dom.js';
import { bitsOf, CHANNELS, GESTURE_SLOTS, maskOf } from './protocol.js';
import { cleanName, MAX_NAME_LENGTH } from './settings.js';
import { configMatches } from './availability.js';

export function createConfigPanel({ session, settings, onSettingsChanged }) {
  const channelBoxes = [];
  const channelHost = byId('channel-boxes');
  for (let channel = 1; channel <= CHANNELS; channel += 1) {
    const box = el('input', { type: 'checkbox', id: `channel-${channel}`, onchange: readSelection });
    channelBoxes.push(box);
    channelHost.append(el('label', { for: box.id }, box, `Ch ${channel}`));
  }
  const slotBoxes = [];
  const nameInputs = [];
  const slotHost = byId('gesture-slots');
  for (let slot = 1; slot <= GESTURE_SLOTS; slot += 1) {
    const box = el('input', {
      type: 'checkbox',
      id: `gesture-${slot}`,
      'aria-label': `Use gesture slot ${slot}`,
      onchange: readSelection,
    });
    const name = el('input', {
      type: 'text',
      id: `gesture-name-${slot}`,
      maxlength: MAX_NAME_LENGTH,
      placeholder: `Gesture ${slot}`,
      'aria-label': `Name of gesture ${slot}`,
      autocomplete: 'off',
      oninput: readNames,
    });
    slotBoxes.push(box);
    nameInputs.push(name);
    slotHost.append(el('div', { class: 'gesture-slot' }, box, name));
  }
  channelBoxes.forEach((box, i) => (box.checked = Boolean(settings.channelMask & (1 << i))));
  slotBoxes.forEach((box, i) => (box.checked = Boolean(settings.gestureMask & (1 << i))));
  nameInputs.forEach((input, i) => (input.value = settings.names[i]));

  function readSelection() {
    settings.channelMask = maskOf(channelBoxes.flatMap((box, i) => (box.checked ? [i + 1] : [])));
    settings.gestureMask = maskOf(slotBoxes.flatMap((box, i) => (box.checked ? [i + 1] : [])));
    onSettingsChanged();
  }

  function readNames() {
    nameInputs.forEach((input, i) => (settings.names[i] = cleanName(input.value)));
    onSettingsChanged();
  }

  const apply = byId('apply-config');
  apply.addEventListener('click', () => session.applyConfig(settings.channelMask, settings.gestureMask));
  const dirty = byId('config-dirty');
  const outcome = byId('config-outcome');

  return {
    render(state, actions) {
      apply.disabled = !actions.applyConfig;
      const matches = configMatches(state, settings);
      apply.classList.toggle('primary', actions.applyConfig && !matches);
      dirty.hidden = matches || state.link !== 'connected';
      if (!dirty.hidden) {
        const n = bitsOf(settings.gestureMask).length;
        setText(dirty, n < 2 ? 'Tick at least two gestures to train a model.' : 'Changes not applied yet.');
      }
      showOutcome(
        outcome,
        state.config.pending ? { words: 'Waiting for the armband…' } : state.config.outcome,
      );
    },
  };
}
