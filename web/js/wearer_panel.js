// The virtual wearer: with the simulated armband, the page can tell its wearer
// to perform (repeat) or hold each selected gesture, rest, drop the radio
// link or take the armband out of range (a scan then finds nothing), and let
// it follow the recording cues (hold while the cue says so, rest otherwise). Slot n is the wearer's gesture n. Hidden while the control port
// does not answer.
import { byId, el, setText } from './dom.js';
import { bitsOf, GESTURE_SLOTS } from './protocol.js';
import { WearerLink, wearerUrl } from './wearer_link.js';

const LOOPBACK_HOSTS = ['localhost', '127.0.0.1'];

export function createWearerPanel({ session, location, port, onLog }) {
  const panel = byId('wearer-panel');
  const answer = byId('wearer-answer');
  const rows = new Map();
  let link = null;

  function command(text) {
    if (!link?.command(text)) setText(answer, 'The virtual wearer is not reachable.');
  }

  const host = byId('wearer-gestures');
  for (let slot = 1; slot <= GESTURE_SLOTS; slot += 1) {
    const name = el('span', { class: 'name' });
    const perform = el(
      'button',
      { class: 'perform', 'data-slot': slot, onclick: () => command(`perform ${slot}`) },
      'Perform',
    );
    const hold = el(
      'button',
      { class: 'hold', 'data-slot': slot, onclick: () => command(`hold ${slot}`) },
      'Hold',
    );
    const row = el('div', { class: 'wearer-gesture', id: `wearer-gesture-${slot}` }, name, perform, hold);
    rows.set(slot, { row, name, perform, hold });
    host.append(row);
  }
  byId('wearer-rest').addEventListener('click', () => command('rest'));
  const follow = byId('wearer-follow');
  byId('wearer-drop').addEventListener('click', () => command('drop'));
  const present = byId('wearer-present');
  present.addEventListener('change', () => command(present.checked ? 'present' : 'absent'));

  // The simulated armband listens on 127.0.0.1 only; the page's security policy names these two hosts.
  if (LOOPBACK_HOSTS.includes(location.hostname)) {
    link = new WearerLink({
      url: wearerUrl(location, port),
      onAvailable: (available) => {
        panel.hidden = !available;
        onLog(available ? 'The virtual wearer is available.' : 'The virtual wearer went away.');
      },
      onAnswer: (sent, text) => {
        if (sent === 'status') {
          const known = /"present":(true|false)/.exec(text);
          if (known) present.checked = known[1] === 'true';
          return;
        }
        setText(
          answer,
          text.startsWith('ok')
            ? `The wearer: ${sent}.`
            : `The wearer refused "${sent}": ${text.replace(/^error: /, '')}`,
        );
        onLog(`Virtual wearer: ${sent} → ${text}`);
      },
    });
    link.start();
  }

  return {
    // A cue of the recording window (cue_panel.js): the wearer follows it when asked to.
    followCue(slot, cue) {
      if (!follow.checked || !link?.available) return;
      link.command(cue.kind === 'hold' && slot !== null ? `hold ${slot}` : 'rest');
    },
    render(state) {
      const selected = bitsOf(state.selection.gestureMask);
      for (const [slot, parts] of rows) {
        parts.row.hidden = !selected.includes(slot);
        const name = session.nameOf(slot);
        setText(parts.name, name);
        parts.perform.setAttribute('aria-label', `Perform ${name}`);
        parts.hold.setAttribute('aria-label', `Hold ${name}`);
      }
    },
  };
}
