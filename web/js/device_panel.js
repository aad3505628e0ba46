// Step 1: finding the armband (a scan may be stopped), connecting and
// disconnecting it, and its versions.
import { byId, setButton, setText, showOutcome } from './dom.js';

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
  const stopScan = byId('stop-scan');
  scan.addEventListener('click', () => session.scan());
  stopScan.addEventListener('click', () => session.stopScan());
  connect.addEventListener('click', () => session.connect());
  disconnect.addEventListener('click', () => session.disconnect());
  const stateText = byId('device-state');
  const summary = byId('device-summary');
  const note = byId('device-note');
  const versionNodes = {
    server: byId('version-server'),
    firmware: byId('version-firmware'),
    hardware: byId('version-hardware'),
  };

  return {
    render(state, actions) {
      stateText.parentElement.dataset.link = state.link;
      const words = state.server === 'open' ? linkWords[state.link] : 'unknown (no server)';
      setText(stateText, words);
      const firmware = state.versions?.firmware;
      setText(summary, state.link === 'connected' && firmware ? `${words} · firmware ${firmware}` : words);
      setButton(scan, actions.scan, session.isBusy('scan'));
      stopScan.hidden = state.link !== 'scanning';
      setButton(stopScan, actions.stopScan, session.isBusy('stopScan'));
      setButton(connect, actions.connect, session.isBusy('connect'));
      setButton(disconnect, actions.disconnect, session.isBusy('disconnect'));
      scan.classList.toggle('primary', actions.scan && state.link !== 'found');
      connect.classList.toggle('primary', actions.connect && state.link === 'found');
      for (const [key, node] of Object.entries(versionNodes)) setText(node, state.versions?.[key] ?? '–');
      showOutcome(note, state.note ? { ok: false, words: state.note } : null);
    },
  };
}
