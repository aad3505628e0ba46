import assert from 'node:assert/strict';
import { describe, test } from 'node:test';
import { createApi } from '../../js/api.js';
import { RETRY_DELAYS_MS, ServerLink, accessToken, serverUrl } from '../../js/server_link.js';
import { PROBE_INTERVAL_MS, WearerLink, wearerUrl } from '../../js/wearer_link.js';

class FakeSocket {
  constructor(url) {
    this.url = url;
    this.readyState = 0;
    this.sent = [];
  }
  send(data) {
    this.sent.push(data);
  }
  open() {
    this.readyState = 1;
    this.onopen?.();
  }
  close() {
    this.readyState = 3;
    this.onclose?.();
  }
  message(data) {
    this.onmessage?.({ data });
  }
}

function fakeTimers() {
  const timers = { pending: [], setTimeout: (fn, ms) => timers.pending.push({ fn, ms }) };
  timers.runNext = () => timers.pending.shift().fn();
  return timers;
}

describe('the link to the server', () => {
  function makeLink() {
    const sockets = [];
    const seen = { opens: 0, closes: 0, messages: [], retries: [] };
    const timers = fakeTimers();
    const link = new ServerLink({
      url: 'ws://h:8888/',
      onOpen: () => (seen.opens += 1),
      onClose: () => (seen.closes += 1),
      onMessage: (bytes) => seen.messages.push(Array.from(bytes)),
      onRetry: (delay) => seen.retries.push(delay),
      makeSocket: (url) => sockets.push(new FakeSocket(url)) && sockets.at(-1),
      timers,
    });
    link.start();
    return { link, sockets, seen, timers };
  }

  test('reconnects after 1, 2 and 4 s, then every 5 s, and starts over after an open', () => {
    const { sockets, seen, timers } = makeLink();
    for (let i = 0; i < 5; i += 1) {
      sockets.at(-1).close();
      timers.runNext();
    }
    assert.deepEqual(seen.retries, [1000, 2000, 4000, 5000, 5000]);
    assert.deepEqual(RETRY_DELAYS_MS, [1000, 2000, 4000, 5000]);
    sockets.at(-1).open();
    sockets.at(-1).close();
    assert.equal(seen.retries.at(-1), 1000);
    assert.equal(seen.closes, 6);
    assert.equal(seen.opens, 1);
  });

  test('passes on binary messages only, and sends only while open', () => {
    const { link, sockets, seen } = makeLink();
    assert.equal(link.send(Uint8Array.of(1)), false);
    sockets[0].open();
    assert.equal(sockets[0].binaryType, 'arraybuffer');
    assert.equal(link.send(Uint8Array.of(1)), true);
    sockets[0].message(Uint8Array.of(1, 0).buffer);
    sockets[0].message('text');
    assert.deepEqual(seen.messages, [[1, 0]]);
  });

  test('the server is the host and port that served the page', () => {
    assert.equal(serverUrl({ protocol: 'http:', host: '192.0.2.7:8888' }), 'ws://192.0.2.7:8888/');
    assert.equal(serverUrl({ protocol: 'https:', host: 'localhost:8888' }), 'wss://localhost:8888/');
    assert.equal(
      serverUrl({ protocol: 'http:', host: '192.0.2.2:8888', search: '?speed=2&token=a1+b' }),
      'ws://192.0.2.2:8888/?token=a1%20b',
    );
    assert.equal(wearerUrl({ hostname: '[::1]' }), 'ws://[::1]:8889/');
    assert.equal(wearerUrl({ hostname: 'localhost' }, 40123), 'ws://localhost:40123/');
  });
});

test('API calls carry the token of the page address, and only then', async () => {
  const seen = [];
  const fetchFn = async (path, init) => {
    seen.push(init.headers);
    return { ok: true, status: 200, json: async () => ({}) };
  };
  await createApi(fetchFn, 1000, accessToken({ search: '?token=abc' })).del('/api/recordings/1');
  await createApi(fetchFn, 1000, accessToken({ search: '' })).get('/api/status');
  assert.deepEqual(seen, [{ 'X-Quillon-Request': '1', 'X-Quillon-Token': 'abc' }, {}]);
});

describe('the link to the virtual wearer', () => {
  function makeWearer() {
    const sockets = [];
    const seen = { available: [], answers: [] };
    const timers = fakeTimers();
    const link = new WearerLink({
      url: 'ws://localhost:8889/',
      onAvailable: (a) => seen.available.push(a),
      onAnswer: (sent, text) => seen.answers.push([sent, text]),
      makeSocket: (url) => sockets.push(new FakeSocket(url)) && sockets.at(-1),
      timers,
    });
    link.start();
    return { link, sockets, seen, timers };
  }

  test('is available only once the port answers its status request with ok', () => {
    const { sockets, seen } = makeWearer();
    sockets[0].open();
    assert.deepEqual(sockets[0].sent, ['status']);
    assert.deepEqual(seen.available, []);
    sockets[0].message('ok {"present":true}');
    assert.deepEqual(seen.available, [true]);
  });

  test('matches each answer to its command in order', () => {
    const { link, sockets, seen } = makeWearer();
    sockets[0].open();
    sockets[0].message('ok {}');
    link.command('perform 1');
    link.command('hold 99');
    sockets[0].message('ok');
    sockets[0].message('error: no gesture 99');
    assert.deepEqual(seen.answers.slice(1), [
      ['perform 1', 'ok'],
      ['hold 99', 'error: no gesture 99'],
    ]);
  });

  test('a closed port hides the panel and is tried again later', () => {
    const { link, sockets, seen, timers } = makeWearer();
    sockets[0].open();
    sockets[0].message('ok {}');
    sockets[0].close();
    assert.deepEqual(seen.available, [true, false]);
    assert.equal(link.command('rest'), false);
    assert.equal(timers.pending[0].ms, PROBE_INTERVAL_MS);
    timers.runNext();
    assert.equal(sockets.length, 2);
  });
});
