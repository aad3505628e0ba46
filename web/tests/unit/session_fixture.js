// A Session wired to a recorded transmit and a clock the test moves by hand;
// `options` go to the Session as they are (for instance {speed}).
import { Session } from '../../js/session.js';

export function makeSession(options = {}) {
  const sent = [];
  const clock = { t: 1_000_000 };
  const session = new Session({
    transmit: (bytes) => sent.push(Array.from(bytes)),
    now: () => clock.t,
    ...options,
  });
  const events = [];
  session.subscribe((event) => events.push(event));
  session.linkOpened();
  sent.length = 0;
  return {
    session,
    sent,
    events,
    state: () => session.state,
    advance: (ms) => {
      clock.t += ms;
      session.tick();
    },
    receive: (...bytes) => session.receive(Uint8Array.from(bytes)),
  };
}

// A session whose armband is connected and configured with `channelMask` and `gestureMask`.
export function makeConfiguredSession(channelMask = 0xff, gestureMask = 0x03, options = {}) {
  const f = makeSession(options);
  f.receive(0x03, 0x00);
  f.session.applyConfig(channelMask, gestureMask);
  f.receive(0x05, 0x00);
  f.sent.length = 0;
  return f;
}
