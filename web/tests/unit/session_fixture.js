// A Session wired to a recorded transmit, a stand-in for the server's HTTP API
// and a clock the test moves by hand; `options` go to the Session as they are
// (for instance {speed}).
import { COUNT_IN_MS } from '../../js/answer_handlers.js';
import { Session } from '../../js/session.js';

// The server's answer to GET /api/status, from a few facts.
export function statusDoc({
  link = 'none',
  channelMask = 0,
  gestureMask = 0,
  mode = 'idle',
  names = [],
  model = null,
  identifyMode = 'exact',
  recording = null,
} = {}) {
  return {
    server: { version: '000.005.002' },
    dataMode: mode,
    recording,
    identifyMode,
    configuration: { channelMask, gestureMask },
    armband: {
      known: link !== 'none',
      connection: link === 'none' ? 'none' : link,
      firmware: link === 'connected' ? '001.004.027' : '---.---.---',
      hardware: link === 'connected' ? '003.000.000' : '---.---.---',
    },
    model: model ?? { present: false, usable: false, trainedGestureMask: null },
    gestureNames: Array.from({ length: 8 }, (_, i) => names[i] ?? ''),
  };
}

// One entry of GET /api/recordings.
export function recordingDoc(gesture, windows = 1, { activity = 'clear', activeWindows = 60 } = {}) {
  return {
    gesture,
    windows,
    seconds: 30 * windows,
    activeWindows,
    activity,
    channelMask: 0xff,
    windowLog: Array.from({ length: windows }, (_, i) => ({
      firstByte: i * 156000,
      bytes: 156000,
      channelMask: 0xff,
    })),
    notes: [],
  };
}

// A stand-in for api.js: answers from `server` ({status, recordings,
// evaluation, put(path, body), del(path)}), and records every call. With
// `held`, GET answers wait until the test calls release().
export function fakeApi(server) {
  const calls = [];
  const waiting = [];
  const api = {
    calls,
    server,
    held: false,
    get: (path) => {
      calls.push(['GET', path]);
      // The server answers with what it holds when asked; the answer may arrive later.
      const one = /^\/api\/recordings\/(\d)$/.exec(path);
      const body = one
        ? server.recordings?.recordings?.find((r) => r.gesture === Number(one[1]))
        : {
            '/api/status': server.status,
            '/api/recordings': server.recordings,
            '/api/evaluation': server.evaluation,
          }[path];
      const answer = body
        ? { ok: true, status: 200, body: structuredClone(body) }
        : { ok: false, status: 404, body: null };
      if (!api.held) return Promise.resolve(answer);
      return new Promise((resolve) => waiting.push(() => resolve(answer)));
    },
    put: async (path, body) => {
      calls.push(['PUT', path, body]);
      return server.put?.(path, body) ?? { ok: true, status: 200, body };
    },
    del: async (path) => {
      calls.push(['DELETE', path]);
      return server.del?.(path) ?? { ok: true, status: 200, body: {} };
    },
    // Answers the held reads, oldest first, or in the order given.
    release: (order = null) => {
      const list = order ? order.map((i) => waiting[i]) : [...waiting];
      waiting.length = 0;
      list.forEach((resolve) => resolve());
    },
  };
  return api;
}

// Lets the promises of the API's answers run.
export const settle = () => new Promise((resolve) => setImmediate(resolve));

// The server's own answers to the page: `commands` are the page's commands
// since it asked for them, numbered from 1 as the server numbers them.
function ownAnswers(session, commands) {
  const frame = (seq, bytes) => session.receive(Uint8Array.of(0x31, seq & 0xff, seq >> 8, ...bytes));
  return {
    // The own frame of the oldest command not answered yet: its immediate
    // answer, or nothing (taken; it answers later or never).
    answer: (...bytes) => {
      const command = commands.find((c) => !c.answered);
      command.answered = true;
      frame(command.seq, bytes);
    },
    // A later answer of the page's latest command with code `code`.
    answerLater: (code, ...bytes) => frame(commands.findLast((c) => c.bytes[0] === code).seq, bytes),
  };
}

export async function makeSession({ server = {}, ...options } = {}) {
  const sent = [];
  const commands = [];
  const clock = { t: 1_000_000 };
  const api = fakeApi({ status: statusDoc(), recordings: { recordings: [] }, ...server });
  const session = new Session({
    transmit: (bytes) => {
      sent.push(Array.from(bytes));
      if (bytes[0] === 0x31 && bytes.length === 1) commands.length = 0;
      else commands.push({ seq: commands.length + 1, bytes: Array.from(bytes), answered: false });
    },
    api,
    now: () => clock.t,
    ...options,
  });
  const events = [];
  session.subscribe((event) => events.push(event));
  session.linkOpened();
  session.receive(Uint8Array.of(0x31, 0x00));
  await settle();
  sent.length = 0;
  return {
    ...ownAnswers(session, commands),
    session,
    api,
    sent,
    events,
    state: () => session.state,
    advance: (ms) => {
      clock.t += ms;
      session.tick();
    },
    receive: (...bytes) => session.receive(Uint8Array.from(bytes)),
    // Record gesture `slot` (options as startRecord's): the press, then its count-in.
    record: (slot, options) => {
      const started = session.startRecord(slot, options);
      clock.t += COUNT_IN_MS;
      session.tick();
      return started;
    },
    // The words of the log, oldest first.
    logWords: () => events.filter((e) => e.type === 'log').map((e) => e.words),
  };
}

// A session whose armband is connected and configured on the server with
// `channelMask` and `gestureMask`, with the recordings of `recorded` gestures.
export async function makeConfiguredSession(
  channelMask = 0xff,
  gestureMask = 0x03,
  { recorded = [], model = null, ...options } = {},
) {
  const f = await makeSession({
    server: {
      status: statusDoc({ link: 'connected', channelMask, gestureMask, model }),
      recordings: { recordings: recorded.map((g) => recordingDoc(g)) },
    },
    ...options,
  });
  f.api.calls.length = 0;
  return f;
}

// The model the server holds after training gestures `mask`.
export const trainedModel = (mask) => ({ present: true, usable: true, trainedGestureMask: mask });
