// The browser client on a phone (390 x 844, touch), against the real server
// binary and its simulated armband, in Debian's Chromium:
//
//   node phone.mjs --server build/quillon-server --artifacts build/test-artifacts
//
// One column with the current step first and the live cards right after it
// while recording or identifying; with five gestures the cue stays on screen
// while recording the last of them and the confusion matrix stays within its
// card; nothing wider than the screen; the audit's 24 px touch targets; what
// the first load costs (bytes and first paint, printed for the record);
// screenshots of each step as phone-*.png.
import assert from 'node:assert/strict';
import {
  Journey,
  journeyOptions,
  serverOpen,
  waitForCue,
  waitForText,
  watchCues,
} from './browser_session.js';

const SPEED = 5;
const WINDOW_MS = 30000;
const WIDTH = 390;
const HEIGHT = 844;
// The first load stays light: everything the page is made of, uncompressed.
const PAGE_BYTES_LIMIT = 250 * 1024;
const NAMES = ['Fist', 'Open hand', 'Pinch', 'Point', 'Thumb up'];

const journey = new Journey({
  name: 'phone',
  options: journeyOptions(),
  speed: SPEED,
  viewport: { width: WIDTH, height: HEIGHT },
  device: { isMobile: true, hasTouch: true },
});
let page = null;
const until = (selector, pattern, timeout) => waitForText(page, selector, pattern, timeout);

// The cards in the order a person scrolling down meets them.
async function cardOrder() {
  return page.evaluate(() =>
    [...document.querySelectorAll('.card')]
      .filter((card) => !card.hidden && card.getBoundingClientRect().height > 0)
      .map((card) => ({
        id: card.id || `step-${card.dataset.step}`,
        current: card.dataset.current === 'true',
        top: card.getBoundingClientRect().top,
        left: card.getBoundingClientRect().left,
      }))
      .sort((a, b) => a.top - b.top),
  );
}

async function oneColumnWithCurrentFirst(liveNext) {
  const cards = await cardOrder();
  assert(new Set(cards.map((c) => Math.round(c.left))).size === 1, `one column: ${JSON.stringify(cards)}`);
  assert.equal(cards[0].current, true, `the current step first: ${cards.map((c) => c.id).join(', ')}`);
  if (liveNext)
    assert.equal(cards[1].id, 'live-panel', `the live card next: ${cards.map((c) => c.id).join(', ')}`);
  const width = await page.evaluate(() => document.documentElement.scrollWidth);
  assert(width <= WIDTH, `the page is ${width} px wide`);
}

async function tap(selector) {
  await page.locator(selector).tap();
}

async function noProblems(what) {
  assert.deepEqual(await journey.audit(page, 8), [], `accessibility ${what}`);
}

// Records gesture `slot`; returns where the cue word was when it first said to make it.
async function record(slot, name) {
  await watchCues(page);
  await tap(`#record-card-${slot} .record`);
  const cue = await waitForCue(page, new RegExp(`^Make ${name}$`), WINDOW_MS);
  await until('#record-outcome', new RegExp(`${name}: Recording saved`), WINDOW_MS);
  await until(`#record-card-${slot} .count`, /^1 window · \d+ s · \d+ s of activity$/);
  return cue.box;
}

function onScreen(box) {
  return box.width > 0 && box.top >= 0 && box.bottom <= HEIGHT;
}

async function run() {
  await journey.step('the page opens light, in one column with the armband step first', async () => {
    await journey.server.start();
    page = await journey.open();
    await page.goto(journey.pageAt());
    await serverOpen(page);
    await until('#device-state', /^not connected$/);
    const figures = await journey.figures();
    console.log(`\n  first load: ${JSON.stringify(figures)}`);
    assert(
      figures.pageBytes > 0 && figures.pageBytes < PAGE_BYTES_LIMIT,
      `the page weighs ${figures.pageBytes} bytes`,
    );
    await oneColumnWithCurrentFirst(false);
    await journey.screenshot('1-start');
    await noProblems('of the first page');
  });

  await journey.step('connect and configure by touch; recording comes first', async () => {
    await tap('#scan');
    await until('#device-state', /^found, not connected$/, 30000);
    await tap('#connect');
    await until('#device-state', /^connected$/, 30000);
    for (let slot = 1; slot <= 8; slot += 1)
      await page.locator(`#gesture-${slot}`).setChecked(slot <= NAMES.length);
    for (const [i, name] of NAMES.entries()) await page.locator(`#gesture-name-${i + 1}`).fill(name);
    await tap('#apply-config');
    await until('#config-outcome', /accepted the configuration/);
    await until('#record-card-5 .name', /^Thumb up$/);
    await until('#names-note', /^$/);
    await oneColumnWithCurrentFirst(true);
    await journey.screenshot('2-configured');
    await noProblems('of the recording step');
  });

  await journey.step('while recording each of five gestures, the cue word is on screen', async () => {
    for (const [i, name] of NAMES.entries()) {
      const slot = i + 1;
      if (slot === NAMES.length) {
        // The last card is far below the cue's place: the cue comes along.
        await watchCues(page);
        await tap(`#record-card-${slot} .record`);
        const cue = (await waitForCue(page, new RegExp(`^Make ${name}$`), WINDOW_MS)).box;
        assert(onScreen(cue), `the cue word at ${JSON.stringify(cue)}`);
        await journey.screenshot('3-recording');
        await until('#record-outcome', new RegExp(`${name}: Recording saved`), WINDOW_MS);
      } else {
        const cue = await record(slot, name);
        assert(onScreen(cue), `the cue word for ${name} at ${JSON.stringify(cue)}`);
      }
    }
  });

  await journey.step('the confusion matrix of five gestures stays within its card', async () => {
    await tap('#generate');
    await until('#generate-outcome', /^The model is trained\.$/, 300000);
    await until('#evaluation-accuracy', /^Accuracy \d+ %/, 120000);
    await page.locator('#confusion').scrollIntoViewIfNeeded();
    const wrap = await page.locator('.matrix-wrap').boundingBox();
    const card = await page.locator('#model-panel').boundingBox();
    assert(
      wrap.x >= card.x && wrap.x + wrap.width <= card.x + card.width,
      `the matrix at ${JSON.stringify(wrap)} in its card at ${JSON.stringify(card)}`,
    );
    const recall = await page.locator('#confusion thead th').last().innerText();
    assert.equal(recall, 'Recall');
    const width = await page.evaluate(() => document.documentElement.scrollWidth);
    assert(width <= WIDTH, `the page is ${width} px wide`);
    await journey.screenshot('4-model');
  });

  await journey.step(
    'identification: no gesture yet, then the gesture, with the live card right after the step',
    async () => {
      await tap('#start-identify');
      await until('#identify-mode', /^Mode: calibrated/);
      await until('#identified-gesture', /^No gesture yet$/);
      await oneColumnWithCurrentFirst(true);
      await page.locator('#wearer-gesture-1 .hold').tap();
      await until('#identified-gesture', /^Fist$/, 60000);
      await page.evaluate(() => window.scrollTo(0, 0));
      await journey.screenshot('5-identification');
      await noProblems('while identifying');
      await tap('#wearer-rest');
      await tap('#stop-identify');
      await until('#identify-outcome', /^Identification stopped\.$/);
    },
  );
}

await journey.run(run);
