import assert from 'node:assert/strict';
import { describe, test } from 'node:test';
import { loadSharedNames, NAMES_PATH, saveSharedNames } from '../../js/shared_names.js';

function fakeServer(reply) {
  const calls = [];
  const fetchFn = async (path, init = {}) => {
    calls.push({ path, init });
    if (reply instanceof Error) throw reply;
    return { ok: reply.status === 200, json: async () => reply.body };
  };
  return { fetchFn, calls };
}

describe('names shared through the server', () => {
  test('the server names are taken, cleaned and padded to eight', async () => {
    const { fetchFn, calls } = fakeServer({ status: 200, body: { names: ['Fist', 'Open\u0007 hand'] } });
    assert.deepEqual(await loadSharedNames(fetchFn), ['Fist', 'Open hand', '', '', '', '', '', '']);
    assert.equal(calls[0].path, NAMES_PATH);
  });

  test('no names, a refusal, a malformed answer or no server leave the local names', async () => {
    for (const reply of [
      { status: 200, body: { names: ['', ''] } },
      { status: 403, body: { error: 'no' } },
      { status: 200, body: { names: 'Fist' } },
      new Error('unreachable'),
    ]) {
      assert.equal(await loadSharedNames(fakeServer(reply).fetchFn), null);
    }
  });

  test('a change is sent with the header that marks a request of our own', async () => {
    const { fetchFn, calls } = fakeServer({ status: 200, body: {} });
    assert.equal(await saveSharedNames(fetchFn, [' Fist ', '']), true);
    assert.equal(calls[0].init.method, 'PUT');
    assert.equal(calls[0].init.headers['X-Quillon-Request'], '1');
    assert.deepEqual(JSON.parse(calls[0].init.body), { names: ['Fist', ''] });
    assert.equal(await saveSharedNames(fakeServer({ status: 409, body: {} }).fetchFn, ['x']), false);
  });
});
