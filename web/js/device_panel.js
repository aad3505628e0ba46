// Step 1: finding, connecting and disconnecting the armband, and its versions.
import { byId, setText, showOutcome } from './dom.js';

const linkWords = {
  unknown: 'checking…',
  disconnected: 'not connected',
  scanning: 'scanning…',
  found: 'found, not connected',
  connecting: 'connecting…',
  connected: 'connected',
  disconnecting: 'disconnecting…',
};

export function createDevicePanel(session) {
  const scan = byId('scan');
  const connect = byId('connect');
  const disconnect = byId('disconnect');
  scan.addEventListener('click', () => session.scan());
  connect.addEventListener('click', () => session.connect());
  disconnect.addEventListener('click', () => session.disconnect());
  const stateText = byId('device-state');
  const note = byId('device-note');
  const versionNodes = {
    server: byId('version-server'),
    firmware: byId('version-firmware'),
    hardware: byId('version-hardware'),
  };

  return {
    render(state, actions) {
      stateText.parentElement.dataset.link = state.link;
      setText(stateText, state.server === 'open' ? linkWords[state.link] : 'unknown (no server)');
      scan.disabled = !actions.scan;
      connect.disabled = !actions.connect;
      disconnect.disabled = !actions.disconnect;
      scan.classList.toggle('primary', actions.scan && state.link !== 'found');
      connect.classList.toggle('primary', actions.connect && state.link === 'found');
      for (const [key, node] of Object.entries(versionNodes)) {
        setText(node, state.versions?.[key] ?? '–');
      }
      showOutcome(note, state.note ? { ok: false, words: state.note } : null);
    },
  };
}
