// The simulated armband's wearer control, a WebSocket on port 8889 (or the
// page address's ?wearer=PORT) of the machine that serves the page, taking
// text commands ("perform 2", "hold 1", "rest", "drop", "absent", "present",
// "status") each answered by one text beginning "ok" or "error: ". A real
// armband has no such port: the panel that uses this link shows only while the
// port answers, and the link looks again every 15 s.
export const WEARER_PORT = 8889;
export const PROBE_INTERVAL_MS = 15000;

export function wearerUrl(location, port = WEARER_PORT) {
  return `ws://${location.hostname}:${port}/`;
}

export class WearerLink {
  constructor({ url, onAvailable, onAnswer, makeSocket = (u) => new WebSocket(u), timers = globalThis }) {
    Object.assign(this, { url, onAvailable, onAnswer, makeSocket, timers });
    this.socket = null;
    this.available = false;
    this.waiting = []; // commands sent and not yet answered, oldest first
  }

  start() {
    let socket;
    try {
      socket = this.makeSocket(this.url);
    } catch {
      this.retryLater();
      return;
    }
    this.socket = socket;
    socket.onopen = () => this.command('status');
    socket.onmessage = (event) => {
      if (typeof event.data !== 'string') return;
      const command = this.waiting.shift() ?? '';
      if (!this.available && event.data.startsWith('ok')) {
        this.available = true;
        this.onAvailable(true);
      }
      this.onAnswer(command, event.data);
    };
    socket.onclose = () => {
      if (this.socket !== socket) return;
      this.socket = null;
      this.waiting = [];
      if (this.available) {
        this.available = false;
        this.onAvailable(false);
      }
      this.retryLater();
    };
  }

  retryLater() {
    this.timers.setTimeout(() => this.start(), PROBE_INTERVAL_MS);
  }

  // False when the control port is not open.
  command(text) {
    if (!this.socket || this.socket.readyState !== 1) return false;
    this.waiting.push(text);
    this.socket.send(text);
    return true;
  }
}
