// What the browser journeys share: the real server on free ports in a fresh
// directory, Debian's Chromium driven headless by playwright-core (no browser
// download), and helpers that read the page as a person would: texts, the
// commands its socket sent, screenshots, and the accessibility audit.
import assert from 'node:assert/strict';
import { copyFileSync, existsSync, mkdirSync, mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join, resolve } from 'node:path';
import { parseArgs } from 'node:util';
import { chromium } from 'playwright-core';
import { auditSource, focusRingSource } from './page_audit.js';
import { ServerProcess, waitUntil } from './server_process.js';

export { waitUntil };

const CHROMIUM_FLAGS = [
  '--no-sandbox',
  '--disable-gpu',
  '--disable-quic',
  '--no-first-run',
  '--disable-background-networking',
  '--disable-component-update',
  '--disable-sync',
];

export function journeyOptions() {
  const { values } = parseArgs({
    options: {
      server: { type: 'string' },
      artifacts: { type: 'string', default: 'test-artifacts' },
      chromium: { type: 'string', default: '/usr/bin/chromium' },
    },
  });
  assert(values.server, 'give the server binary with --server');
  if (!existsSync(values.chromium)) {
    console.error(`${values.chromium} is missing: run scripts/setup (it installs Debian's chromium).`);
    process.exit(1);
  }
  values.artifacts = resolve(values.artifacts);
  mkdirSync(values.artifacts, { recursive: true });
  return values;
}

// One journey: a server, a browser with one page of `viewport`, and the
// problems seen on the way (console errors, page errors, outside requests).
export class Journey {
  constructor({ name, options, speed, viewport, device = {} }) {
    Object.assign(this, { name, options, speed, viewport, device });
    this.server = new ServerProcess(resolve(options.server), speed);
    this.profile = mkdtempSync(join(tmpdir(), 'quillon-chromium-'));
    this.problems = [];
    this.serverStopped = false;
    this.sent = []; // the first byte of every binary frame the pages sent
    this.refusalsExpected = []; // addresses whose failed requests are part of the journey
    for (const stale of [`${name}-failure.png`, `${name}-failure-server.log`])
      rmSync(join(options.artifacts, stale), { force: true });
  }

  pageAt(host = 'localhost') {
    return `http://${host}:${this.server.port}/?wearer=${this.server.wearerPort}&speed=${this.speed}`;
  }

  async open() {
    this.context = await chromium.launchPersistentContext(this.profile, {
      executablePath: this.options.chromium,
      headless: true,
      args: CHROMIUM_FLAGS,
      viewport: this.viewport,
      ...this.device,
    });
    // The page must load everything from the server that served it.
    await this.context.route('**/*', (route) => {
      const url = new URL(route.request().url());
      if (['localhost', '127.0.0.1'].includes(url.hostname)) return route.continue();
      this.problems.push(`request to ${url.href}`);
      return route.abort();
    });
    this.page = this.context.pages()[0] ?? (await this.context.newPage());
    this.watch(this.page);
    return this.page;
  }

  // Console errors, page errors and the commands a page sends.
  watch(page) {
    page.on('console', (message) => {
      if (message.type() !== 'error') return;
      if (
        this.serverStopped &&
        /WebSocket connection to .* failed|Failed to load resource/.test(message.text())
      )
        return;
      const url = message.location()?.url ?? '';
      if (/Failed to load resource/.test(message.text()) && this.refusalsExpected.some((p) => p.test(url)))
        return;
      this.problems.push(`console: ${message.text()}`);
    });
    page.on('pageerror', (error) => this.problems.push(`page error: ${error.message}`));
    page.on('websocket', (socket) =>
      socket.on('framesent', ({ payload }) => {
        if (typeof payload !== 'string' && payload.length > 0) this.sent.push(payload[0]);
      }),
    );
  }

  // How many commands with code `code` the pages sent since `from` (an index into sent).
  count(code, from = 0) {
    return this.sent.slice(from).filter((c) => c === code).length;
  }

  async newPage(host) {
    const page = await this.context.newPage();
    this.watch(page);
    await page.goto(this.pageAt(host));
    await serverOpen(page);
    return page;
  }

  async screenshot(step, page = this.page) {
    await page.screenshot({
      path: join(this.options.artifacts, `${this.name}-${step}.png`),
      fullPage: false,
    });
  }

  // The accessibility audit and the focus ring of the first `tabs` focusable elements.
  async audit(page = this.page, tabs = 12) {
    const problems = await page.evaluate(auditSource());
    await page.locator('body').focus();
    for (let i = 0; i < tabs; i += 1) {
      await page.keyboard.press('Tab');
      const ring = await page.evaluate(focusRingSource());
      if (!ring) continue;
      if (ring.style === 'none' || ring.width < 2 || ring.contrast < 3)
        problems.push(
          `the focus ring of ${ring.element} is ${ring.style} ${ring.width}px at ${ring.contrast.toFixed(2)}:1`,
        );
    }
    await page.evaluate(() => document.activeElement?.blur());
    return problems;
  }

  // What the first load of the page cost: the bytes transferred for the page
  // itself (document, scripts, style, icon) and for its API reads, and the
  // time to the first paint. Meaningful on a fresh profile, with nothing cached.
  async figures(page = this.page) {
    return page.evaluate(() => {
      const [navigation] = performance.getEntriesByType('navigation');
      const resources = performance.getEntriesByType('resource');
      const api = resources.filter((r) => new URL(r.name).pathname.startsWith('/api/'));
      const files = resources.filter((r) => !api.includes(r));
      const sum = (list) => list.reduce((total, r) => total + r.transferSize, 0);
      const paint = performance.getEntriesByType('paint').find((p) => p.name === 'first-paint');
      const contentful = performance
        .getEntriesByType('paint')
        .find((p) => p.name === 'first-contentful-paint');
      return {
        pageBytes: navigation.transferSize + sum(files),
        files: files.length + 1,
        apiBytes: sum(api),
        apiReads: api.length,
        firstPaintMs: Math.round(paint?.startTime ?? NaN),
        firstContentfulPaintMs: Math.round(contentful?.startTime ?? NaN),
        loadedMs: Math.round(navigation.loadEventEnd),
      };
    });
  }

  async step(name, body) {
    const started = Date.now();
    process.stdout.write(`- ${name} … `);
    await body();
    console.log(`ok (${((Date.now() - started) / 1000).toFixed(1)} s)`);
  }

  // Runs `journey` and cleans up; the process's exit code says whether it passed.
  async run(journey) {
    for (const signal of ['SIGTERM', 'SIGINT', 'SIGHUP']) {
      process.once(signal, () => {
        console.error(`stopped by ${signal}`);
        this.server.child?.kill('SIGKILL');
        this.server.remove();
        rmSync(this.profile, { recursive: true, force: true });
        process.exit(1);
      });
    }
    let failed = false;
    try {
      await journey();
      assert.deepEqual(this.problems, [], 'the page stayed free of errors and outside requests');
      console.log(`${this.name} passed; screenshots in ${this.options.artifacts}`);
    } catch (error) {
      failed = true;
      console.log('FAILED');
      console.error(error);
      if (this.problems.length) console.error('page problems:', this.problems);
      const shot = join(this.options.artifacts, `${this.name}-failure.png`);
      if (this.page) await this.page.screenshot({ path: shot, fullPage: true }).catch(() => {});
      console.error('--- server log (tail) ---');
      console.error(this.server.log().split('\n').slice(-60).join('\n'));
      try {
        copyFileSync(
          join(this.server.dir, 'server.log'),
          join(this.options.artifacts, `${this.name}-failure-server.log`),
        );
      } catch {}
    } finally {
      await this.context?.close().catch(() => {});
      await this.server.stop().catch(() => {});
      this.server.remove();
      rmSync(this.profile, { recursive: true, force: true });
    }
    process.exit(failed ? 1 : 0);
  }
}

export async function serverOpen(page) {
  await waitUntil(
    async () => (await page.locator('#server-status').getAttribute('data-state')) === 'open',
    20000,
    'the server link',
  );
}

export async function waitForText(page, selector, pattern, timeout = 20000) {
  await waitUntil(
    async () => pattern.test(await page.locator(selector).innerText()),
    timeout,
    `${selector} to read ${pattern}`,
  );
}

// Two presses in one go, before the page can draw in between: the hardest double press.
export async function pressTwice(page, selector) {
  await page.evaluate((s) => {
    const button = document.querySelector(s);
    button.click();
    button.click();
  }, selector);
}

// Records every cue the page shows, in the page itself, so that a loaded
// machine cannot miss one however briefly it stays: its index, kind and word,
// when it came (performance.now(), ms) and where the word was on the screen.
export async function watchCues(page) {
  await page.evaluate(() => {
    const cue = document.getElementById('cue');
    const word = document.getElementById('cue-word');
    window.cueLog = [];
    new MutationObserver(() => {
      const box = word.getBoundingClientRect();
      window.cueLog.push({
        index: Number(cue.dataset.index),
        kind: cue.dataset.kind,
        word: word.textContent,
        at: performance.now(),
        box: { top: box.top, bottom: box.bottom, width: box.width },
      });
    }).observe(cue, { attributes: true, attributeFilter: ['data-kind'] });
  });
}

// The first cue since watchCues whose word matches `pattern`.
export async function waitForCue(page, pattern, timeout = 20000) {
  let found;
  await waitUntil(
    async () => {
      found = (await page.evaluate(() => window.cueLog)).find((c) => pattern.test(c.word));
      return found !== undefined;
    },
    timeout,
    `a cue reading ${pattern}`,
  );
  return found;
}
