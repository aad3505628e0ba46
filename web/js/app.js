// The page's entry point: one Session fed by the server link and the HTTP API,
// the panels that draw it, and a tick that moves time-outs and timers along.
import { createApi } from './api.js';
import { availableActions, currentStep, missingRecordings, nextStep } from './availability.js';
import { createConfigPanel } from './config_panel.js';
import { createCuePanel } from './cue_panel.js';
import { createDevicePanel } from './device_panel.js';
import { byId, setText } from './dom.js';
import { createArmbandGesturesPanel, createIdentifyPanel } from './live_panels.js';
import { createLogPanel } from './log_panel.js';
import { createModelPanel } from './model_panel.js';
import { pageOptions } from './page_options.js';
import { createRecordPanel } from './record_panel.js';
import { ServerLink, serverUrl } from './server_link.js';
import { Session } from './session.js';
import { loadSettings, recordingMemory, saveSettings } from './settings.js';
import { createSignalPanel } from './signal_panel.js';
import { createStepLayout } from './step_layout.js';
import { createWearerPanel } from './wearer_panel.js';

const TICK_MS = 200;

function storage(kind = 'localStorage') {
  try {
    return window[kind];
  } catch {
    return null; // storage switched off: choices are simply not remembered
  }
}

const options = pageOptions(window.location);
const fetchFn = window.fetch.bind(window);
let link = null;
const session = new Session({
  transmit: (bytes) => link?.send(bytes),
  api: createApi(fetchFn),
  speed: options.speed,
  selection: loadSettings(storage()),
  memory: recordingMemory(storage('sessionStorage')),
});
const log = createLogPanel(session);

let renderQueued = false;
function requestRender() {
  if (renderQueued) return;
  renderQueued = true;
  requestAnimationFrame(render);
}

async function fetchText(path) {
  try {
    const answer = await fetchFn(path, { signal: AbortSignal.timeout(30000) });
    return answer.ok ? await answer.text() : null;
  } catch {
    return null;
  }
}

const signal = createSignalPanel({ session, fetchText });
const record = createRecordPanel({ session, onReview: (slot) => signal.review(slot) });
const cue = createCuePanel({ session });
const wearer = createWearerPanel({
  session,
  location: window.location,
  port: options.wearerPort,
  onLog: (words) => log.note(words),
});
cue.onCue((slot, c) => wearer.followCue(slot, c));

// A warning's "Record X again" opens the card's own confirmation.
function recordAgainFromWarning(slot) {
  const button = document.querySelector(`#record-card-${slot} .record`);
  button?.scrollIntoView({ block: 'center' });
  button?.click();
}

const panels = [
  createDevicePanel(session),
  createConfigPanel({ session, onSelection: () => saveSettings(storage(), session.state.selection) }),
  record,
  createModelPanel({ session, onRecordAgain: recordAgainFromWarning }),
  createIdentifyPanel({ session }),
  createArmbandGesturesPanel(session),
  cue,
  signal,
  wearer,
];
const steps = createStepLayout();

const serverStatus = byId('server-status');
const banner = byId('server-banner');
const next = byId('next-step');
const layout = byId('layout');
let retryText = '';

function render() {
  renderQueued = false;
  const state = session.state;
  const actions = availableActions(state);
  steps.render(currentStep(state), actions.startIdentify ? [5] : []);
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
  setText(next, nextStep(state));
  layout.dataset.recording = String(state.recording.phase !== 'idle');
}

// On a phone the live card sticks under the top bar while a window is under way.
const topbar = document.querySelector('.topbar');
new ResizeObserver(() =>
  document.documentElement.style.setProperty('--topbar-height', `${topbar.offsetHeight}px`),
).observe(topbar);

session.subscribe((event) => {
  if (event.type === 'change') requestRender();
  if (event.type === 'selection') saveSettings(storage(), session.state.selection);
});

// The space bar starts the next gesture's recording (with its count-in), so
// the hand wearing the band need not reach for the pointer; not while typing
// or on a control, where the space bar is the control's own.
document.addEventListener('keydown', (event) => {
  if (event.key !== ' ' || event.repeat || event.ctrlKey || event.altKey || event.metaKey) return;
  if (event.target.closest?.('input, textarea, select, button, a, summary, [contenteditable]')) return;
  const state = session.state;
  const actions = availableActions(state);
  const slot = missingRecordings(state).find((s) => actions.record(s));
  if (currentStep(state) !== 3 || slot === undefined) return;
  event.preventDefault();
  session.startRecord(slot);
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
  const s = session.state;
  if (s.recording.phase !== 'idle' || Object.keys(s.busy).length > 0 || s.identify.heldSince !== null)
    requestRender();
}, TICK_MS);
render();
