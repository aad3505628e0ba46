// The server's HTTP API as the page uses it: JSON in and out, a bounded wait,
// the header that every request changing something must carry, and the
// server's token when the page's address holds one. Each call resolves to
// {ok, status, body} and never throws: a server that cannot be reached is
// {ok: false, status: 0}. `fetchFn` is the page's fetch, or a stand-in in tests.
import { accessToken } from './server_link.js';

export const API_WAIT_MS = 10000;
// Computing the evaluation trains a model per fold: it takes longer.
export const EVALUATION_WAIT_MS = 120000;

export function createApi(fetchFn, waitMs = API_WAIT_MS, token = accessToken(globalThis.location)) {
  async function call(method, path, body, wait = waitMs) {
    const init = { method, signal: AbortSignal.timeout(wait), headers: {} };
    if (method !== 'GET') init.headers['X-Quillon-Request'] = '1';
    if (token) init.headers['X-Quillon-Token'] = token;
    if (body !== undefined) {
      init.headers['Content-Type'] = 'application/json';
      init.body = JSON.stringify(body);
    }
    try {
      const answer = await fetchFn(path, init);
      let parsed = null;
      try {
        parsed = await answer.json();
      } catch {
        parsed = null;
      }
      return { ok: answer.ok, status: answer.status, body: parsed };
    } catch {
      return { ok: false, status: 0, body: null };
    }
  }
  return {
    get: (path, wait) => call('GET', path, undefined, wait),
    put: (path, body) => call('PUT', path, body),
    del: (path) => call('DELETE', path),
  };
}

// Words for a refused or failed request, from the server's {error} when it gave one.
export function apiFailureWords(answer) {
  if (answer.status === 0) return 'The server did not answer in time.';
  if (answer.status === 409) return 'The server is busy (recording or identifying): stop that first.';
  const said = typeof answer.body?.error === 'string' ? answer.body.error : `status ${answer.status}`;
  return `The server refused: ${said}.`;
}
