// The whole training journey through the browser client, as a newcomer would
// click it, against the real server binary and its simulated armband, in
// Debian's Chromium driven headless by playwright-core (no browser download).
//
//   node journey.mjs --server build/quillon-server --artifacts build/test-artifacts
//
// The server runs in a temporary directory of its own, on free ports, with
// its simulated armband 10 times faster than real time (a 30 s recording
// window takes 3 s); the page learns the wearer control port and the speed
// from its address. Screenshots go to the artifacts directory: web-recording.png
// (the live plot during the first recording), web-identification.png, and
// web-failure.png with the server's log when a step fails.
import assert from 'node:assert/strict';
import { copyFileSync, existsSync, mkdirSync, mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join, resolve } from 'node:path';
import { parseArgs } from 'node:util';
import { chromium } from 'playwright-core';
import { ServerProcess, waitUntil } from './server_process.js';

const { values: options } = parseArgs({
  options: {
    server: { type: 'string' },
    artifacts: { type: 'string', default: 'test-artifacts' },
    chromium: { type: 'string', default: '/usr/bin/chromium' },
  },
});
assert(options.server, 'give the server binary with --server');
const artifacts = resolve(options.artifacts);
mkdirSync(artifacts, { recursive: true });
for (const stale of ['web-failure.png', 'web-failure-server.log'])
  rmSync(join(artifacts, stale), { force: true });
if (!existsSync(options.chromium)) {
  console.error(`${options.chromium} is missing: run scripts/setup (it installs Debian's chromium).`);
  process.exit(1);
}

const SPEED = 10;
const RECORDING_MS = 30000; // the 30-second window (3 s at this speed), with room for a loaded machine
const CHROMIUM_FLAGS = [
  '--no-sandbox',
  '--disable-gpu',
  '--disable-quic',
  '--no-first-run',
  '--disable-background-networking',
  '--disable-component-update',
  '--disable-sync',
];

const server = new ServerProcess(resolve(options.server), SPEED);
const pageAt = (host) => `http://${host}:${server.port}/?wearer=${server.wearerPort}&speed=${SPEED}`;
const profile = mkdtempSync(join(tmpdir(), 'quillon-chromium-'));
let context = null;
let page = null;
let watcher = null;
const problems = []; // console errors, page errors and requests that left this machine
let serverStopped = false;

function watchErrors(target) {
  target.on('console', (message) => {
    if (message.type() !== 'error') return;
    if (serverStopped && /WebSocket connection to .* failed/.test(message.text())) return;
    problems.push(`console: ${message.text()}`);
  });
  target.on('pageerror', (error) => problems.push(`page error: ${error.message}`));
}

async function step(name, body) {
  const started = Date.now();
  process.stdout.write(`- ${name} … `);
  await body();
  console.log(`ok (${((Date.now() - started) / 1000).toFixed(1)} s)`);
}

const text = (selector) => page.locator(selector).innerText();

async function waitForText(selector, pattern, timeout = 20000) {
  await waitUntil(async () => pattern.test(await text(selector)), timeout, `${selector} to read ${pattern}`);
}

async function wearer(command, slot) {
  await page.locator(`#wearer-gesture-${slot} .${command}`).click();
  await waitForText('#wearer-answer', new RegExp(`${command} ${slot}`));
}

async function startRecordingThroughThePage(slot) {
  await page.locator(`#record-card-${slot} .record`).click();
  await waitForText(`#record-card-${slot} .countdown`, /s left/);
}

async function recordingSaved(slot, name) {
  await waitForText('#record-outcome', new RegExp(`${name}: Recording saved`), RECORDING_MS);
  await waitForText(`#record-card-${slot} .count`, /Recorded 1 time$/);
}

async function recordThroughThePage(slot, name) {
  await startRecordingThroughThePage(slot);
  await recordingSaved(slot, name);
}

async function plotFigures() {
  return page.evaluate(() => {
    const host = document.getElementById('signal-plot');
    const canvas = host.querySelector('canvas');
    let inked = 0;
    if (canvas) {
      const pixels = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
      for (let i = 3; i < pixels.length; i += 4) inked += pixels[i] > 0 ? 1 : 0;
    }
    return { samples: Number(host.dataset.samples), points: Number(host.dataset.points), inked };
  });
}

async function journey() {
  await step('the server starts in a fresh directory', () => server.start());

  await step('Chromium opens the page', async () => {
    context = await chromium.launchPersistentContext(profile, {
      executablePath: options.chromium,
      headless: true,
      args: CHROMIUM_FLAGS,
      viewport: { width: 1280, height: 1100 },
    });
    // The page must load everything from the server that served it.
    await context.route('**/*', (route) => {
      const url = new URL(route.request().url());
      if (['localhost', '127.0.0.1'].includes(url.hostname)) return route.continue();
      problems.push(`request to ${url.href}`);
      return route.abort();
    });
    page = context.pages()[0] ?? (await context.newPage());
    watchErrors(page);
    const response = await page.goto(pageAt('localhost'));
    assert.equal(response.status(), 200);
    assert.match(await page.title(), /Quillon/);
    await waitUntil(
      async () => (await page.locator('#server-status').getAttribute('data-state')) === 'open',
      20000,
      'the server link',
    );
    await waitForText('#device-state', /^not connected$/);
    await waitForText('#version-server', /^000\.005\.002$/);
  });

  await step('scan and connect the armband', async () => {
    assert.equal(await page.locator('#connect').isDisabled(), true, 'connect before any scan');
    await page.locator('#scan').click();
    await waitForText('#device-state', /^found, not connected$/, 30000);
    await page.locator('#connect').click();
    await waitForText('#device-state', /^connected$/, 30000);
    await waitForText('#version-firmware', /^\d{3}\.\d{3}\.\d{3}$/);
  });

  await step('choose eight channels and two named gestures, and apply them', async () => {
    for (let channel = 1; channel <= 8; channel += 1) await page.locator(`#channel-${channel}`).check();
    for (let slot = 1; slot <= 8; slot += 1) await page.locator(`#gesture-${slot}`).setChecked(slot <= 2);
    await page.locator('#gesture-name-1').fill('Fist');
    await page.locator('#gesture-name-2').fill('Open hand');
    assert.equal(
      await page.locator('#record-card-1 .record').isDisabled(),
      true,
      'record before the configuration',
    );
    await page.locator('#apply-config').click();
    await waitForText('#config-outcome', /accepted the configuration/);
    await waitForText('#record-card-1 .name', /^Fist$/);
    assert.equal(await page.locator('#record-card-3').isVisible(), false);
  });

  await step('the gesture names are remembered across a reload', async () => {
    await page.reload();
    await waitForText('#device-state', /^connected$/);
    assert.equal(await page.locator('#gesture-name-2').inputValue(), 'Open hand');
    assert.equal(await page.locator('#gesture-3').isChecked(), false);
    // The server keeps the masks, but the reloaded page cannot know them: apply again.
    await page.locator('#apply-config').click();
    await waitForText('#config-outcome', /accepted the configuration/);
  });

  await step('record "Fist" for its 30-second window while the virtual wearer performs it', async () => {
    await page.locator('#wearer-panel').waitFor({ state: 'visible', timeout: 20000 });
    await wearer('perform', 1);
    const recording = recordThroughThePage(1, 'Fist');
    await waitForText('#record-card-1 .countdown', /^(1\d|[1-9]) s left$/, RECORDING_MS);
    const during = await plotFigures();
    assert(
      during.samples > 500,
      `the plot received ${during.samples} samples after 10 s of the armband's time`,
    );
    assert(
      during.points > 0 && during.inked > 1000,
      `the plot drew ${during.points} points, ${during.inked} pixels`,
    );
    assert.equal(
      await page.locator('#record-card-2 .record').isDisabled(),
      true,
      'a second recording at once',
    );
    await page.screenshot({ path: join(artifacts, 'web-recording.png'), fullPage: true });
    await recording;
    const after = await plotFigures();
    // 650 frames a second, every fourth in the preview: about 4875 rows in 30 s.
    assert(after.samples > 3000, `the plot received ${after.samples} samples in the window`);
  });

  await step('record "Open hand" the same way, watched from a second page opened by address', async () => {
    // Answers go to every client: a page at 127.0.0.1 sees the other page's recording.
    watcher = await context.newPage();
    watchErrors(watcher);
    await watcher.goto(pageAt('127.0.0.1'));
    await waitUntil(
      async () => (await watcher.locator('#server-status').getAttribute('data-state')) === 'open',
      20000,
      'the second page',
    );
    // Only the page in front draws at full rate (one behind draws about once a
    // second), as with a person switching between two windows.
    await page.bringToFront();
    await wearer('perform', 2);
    await startRecordingThroughThePage(2);
    await watcher.bringToFront();
    await waitUntil(
      async () => /Another client is recording/.test(await watcher.locator('#record-outcome').innerText()),
      20000,
      'the second page to see the recording',
    );
    await waitUntil(
      async () => Number(await watcher.locator('#signal-plot').getAttribute('data-samples')) > 100,
      20000,
      'the second page to plot',
    );
    await page.bringToFront();
    await recordingSaved(2, 'Open hand');
    await page.locator('#wearer-rest').click();
  });

  await step('generate the model from the two gestures', async () => {
    await page.locator('#generate').click();
    await waitForText('#generate-outcome', /^The model is trained\.$/, 300000);
    await waitForText('#generate-elapsed', /^took (\d+ ms|\d+\.\d s)$/);
  });

  await step('upload the model to the armband, to 100 %', async () => {
    await page.locator('#upload').click();
    await waitForText('#upload-outcome', /^The model is on the armband\.$/, 60000);
    assert.equal(await page.locator('#upload-progress').getAttribute('aria-valuenow'), '100');
    assert.match(await text('#log'), /Upload progress: 100 %/);
  });

  await step('identify live: the gesture the wearer holds is named', async () => {
    await wearer('hold', 1);
    await page.locator('#start-identify').click();
    await waitForText('#identified-gesture', /^Fist$/, 60000);
    // The second page has no names for the gestures: it shows the slot's number.
    await waitUntil(
      async () => /^Gesture 1$/.test(await watcher.locator('#identified-gesture').innerText()),
      20000,
      'the second page to see the gesture',
    );
    await wearer('hold', 2);
    await waitForText('#identified-gesture', /^Open hand$/, 60000);
    await page.screenshot({ path: join(artifacts, 'web-identification.png'), fullPage: true });
    await page.locator('#wearer-rest').click();
    await page.locator('#stop-identify').click();
    await waitForText('#identify-outcome', /^Identification stopped\.$/);
  });

  await step("the armband's own gestures stream with their names", async () => {
    await page.locator('#start-stream').click();
    await wearer('hold', 1);
    await waitForText('#armband-gesture', /^Fist$/, 30000);
    await page.locator('#wearer-rest').click();
    await waitForText('#armband-gesture', /^Relax$/, 30000);
    await page.locator('#stop-stream').click();
    await waitForText('#stream-outcome', /stream stopped/);
  });

  await step('the page says when the server goes away and reconnects when it is back', async () => {
    serverStopped = true;
    await server.stop();
    await page.locator('#server-banner').waitFor({ state: 'visible', timeout: 20000 });
    assert.match(await text('#server-banner'), /gone away/);
    assert.equal(await page.locator('#scan').isDisabled(), true);
    await server.start();
    await waitUntil(
      async () => (await page.locator('#server-status').getAttribute('data-state')) === 'open',
      30000,
      'the reconnection',
    );
    assert.equal(await page.locator('#server-banner').isVisible(), false);
  });

  assert.deepEqual(problems, [], 'the page stayed free of errors and outside requests');
}

// A time-out of the test runner must not leave a server running.
for (const signal of ['SIGTERM', 'SIGINT', 'SIGHUP']) {
  process.once(signal, () => {
    console.error(`stopped by ${signal}`);
    server.child?.kill('SIGKILL');
    server.remove();
    rmSync(profile, { recursive: true, force: true });
    process.exit(1);
  });
}

let failed = false;
try {
  await journey();
  console.log(`browser journey passed; screenshots in ${artifacts}`);
} catch (error) {
  failed = true;
  console.log('FAILED');
  console.error(error);
  if (problems.length) console.error('page problems:', problems);
  if (page)
    await page.screenshot({ path: join(artifacts, 'web-failure.png'), fullPage: true }).catch(() => {});
  console.error('--- server log (tail) ---');
  console.error(server.log().split('\n').slice(-60).join('\n'));
  try {
    copyFileSync(join(server.dir, 'server.log'), join(artifacts, 'web-failure-server.log'));
  } catch {}
} finally {
  await context?.close().catch(() => {});
  await server.stop().catch(() => {});
  server.remove();
  rmSync(profile, { recursive: true, force: true });
}
process.exit(failed ? 1 : 0);
