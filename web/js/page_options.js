// What the page's address may add to the page's defaults:
//   ?wearer=PORT  the simulated armband's wearer control port (8889 otherwise)
//   ?speed=X      how many times faster than real time the simulated armband
//                 runs (1 otherwise), so that countdowns keep pace with it
// A value that is missing or malformed leaves its default.
import { WEARER_PORT } from './wearer_link.js';

const MAX_SPEED = 1000; // as the server's --sim-speed

function numberFrom(text, low, high, whole) {
  if (text === null || !/^\d+(\.\d+)?$/.test(text)) return null;
  const value = Number(text);
  if (whole && !Number.isInteger(value)) return null;
  return value >= low && value <= high ? value : null;
}

export function pageOptions(location) {
  const query = new URLSearchParams(location.search ?? '');
  return {
    wearerPort: numberFrom(query.get('wearer'), 1, 65535, true) ?? WEARER_PORT,
    speed: numberFrom(query.get('speed'), 1, MAX_SPEED, false) ?? 1,
  };
}
