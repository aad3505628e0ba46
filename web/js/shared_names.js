// The gesture names the server keeps, so that every client shows the same
// ones: read at start-up, written back when a person changes them. `fetchFn`
// is the page's fetch (or a stand-in in tests). A server that cannot be
// reached or refuses (while it records, say) only means the names stay local.
import { cleanName, GESTURE_SLOTS } from './settings.js';

export const NAMES_PATH = '/api/gestures';
const WAIT_MS = 2000;

// The server's names, eight strings, or null when it has none to give.
export async function loadSharedNames(fetchFn) {
  try {
    const answer = await fetchFn(NAMES_PATH, { signal: AbortSignal.timeout(WAIT_MS) });
    if (!answer.ok) return null;
    const body = await answer.json();
    if (!Array.isArray(body?.names)) return null;
    const names = Array.from({ length: GESTURE_SLOTS }, (_, i) =>
      typeof body.names[i] === 'string' ? cleanName(body.names[i]) : '',
    );
    return names.some((name) => name !== '') ? names : null;
  } catch {
    return null;
  }
}

// True when the server took the names.
export async function saveSharedNames(fetchFn, names) {
  try {
    const answer = await fetchFn(NAMES_PATH, {
      method: 'PUT',
      headers: { 'Content-Type': 'application/json', 'X-Quillon-Request': '1' },
      body: JSON.stringify({ names: names.map((name) => name.trim()) }),
      signal: AbortSignal.timeout(WAIT_MS),
    });
    return answer.ok;
  } catch {
    return false;
  }
}
