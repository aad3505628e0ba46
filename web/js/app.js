// The page's entry point: one Session fed by the server link, the panels that
// draw it, and a tick that moves countdowns and timers along.
import { availableActions, nextStep } from './availability.js';
import { createConfigPanel } from './config_panel.js';
import { createDevicePanel } from './device_panel.js';
import { byId, setText } from './dom.js';
import { createArmbandGesturesPanel, createIdentifyPanel } from './live_panels.js';
import { createLogPanel } from './log_panel.js';
import { createModelPanel } from './model_panel.js';
import { pageOptions } from './page_options.js';
import { createRecordPanel } from './record_panel.js';
import { ServerLink, serverUrl } from './server_link.js';
import { Session } from './session.js';
import { gestureName, loadSettings, saveSettings } from './settings.js';
import { createWearerPanel } from './wearer_panel.js';

const TICK_MS = 200;

function storage() {
  try {
    return window.localStorage;
  } catch {
    return null; // storage switched off: choices are simply not remembered
  }
}

const settings = loadSettings(storage());
const options = pageOptions(window.location);
let link = null;
const session = new Session({
  transmit: (bytes) => link?.send(bytes),
  nameOf: (slot) => gestureName(settings, slot),
  speed: options.speed,
});
const log = createLogPanel(session);

let renderQueued = false;
function requestRender() {
  if (renderQueued) return;
  renderQueued = true;
  requestAnimationFrame(render);
}

function onSettingsChanged() {
  saveSettings(storage(), settings);
  requestRender();
}

const panels = [
  createDevicePanel(session),
  createConfigPanel({ session, settings, onSettingsChanged }),
  createRecordPanel({ session, settings }),
  createModelPanel(session),
  createIdentifyPanel({ session, settings }),
  createArmbandGesturesPanel(session),
  createWearerPanel({
    settings,
    location: window.location,
    port: options.wearerPort,
    onLog: (words) => log.note(words),
  }),
];

const serverStatus = byId('server-status');
const banner = byId('server-banner');
const next = byId('next-step');
let retryText = '';

function render() {
  renderQueued = false;
  const state = session.state;
  const actions = availableActions(state, settings);
  for (const panel of panels) panel.render(state, actions);
  serverStatus.dataset.state = state.server;
  setText(
    serverStatus,
    { connecting: 'Connecting to the server…', open: 'Server connected', closed: 'Server unreachable' }[
      state.server
    ],
  );
  banner.hidden = state.server !== 'closed';
  setText(banner, `The Quillon server has gone away (stopped, or the network dropped). ${retryText}`);
  setText(next, nextStep(state, settings));
}

session.subscribe((event) => {
  if (event.type === 'change') requestRender();
});

link = new ServerLink({
  url: serverUrl(window.location),
  onOpen: () => session.linkOpened(),
  onClose: () => session.linkClosed(),
  onMessage: (bytes) => session.receive(bytes),
  onRetry: (delay, attempt) => {
    retryText = `Trying again in ${Math.round(delay / 1000)} s (attempt ${attempt})…`;
    requestRender();
  },
});
link.start();
setInterval(() => {
  session.tick();
  if (session.state.recording.phase !== 'idle') requestRender();
}, TICK_MS);
render();
