// The WebSocket to the server that served this page, reopened whenever it
// closes: after 1 s, then 2 s, 4 s, and every 5 s while the server stays away.
// The socket factory and the timer functions are parameters so tests can stand
// in for the browser's.
export const RETRY_DELAYS_MS = [1000, 2000, 4000, 5000];

// A server reached over the network asks for the token of the address it
// printed (?token=...): the page passes it on from its own address.
export function serverUrl(location) {
  const scheme = location.protocol === 'https:' ? 'wss:' : 'ws:';
  const token = accessToken(location);
  return `${scheme}//${location.host}/${token ? `?token=${encodeURIComponent(token)}` : ''}`;
}

// The token in the page's own address, or null.
export function accessToken(location) {
  return new URLSearchParams(location?.search ?? '').get('token') || null;
}

export class ServerLink {
  constructor({
    url,
    onOpen,
    onClose,
    onMessage,
    onRetry = () => {},
    makeSocket = (u) => new WebSocket(u),
    timers = globalThis,
  }) {
    Object.assign(this, { url, onOpen, onClose, onMessage, onRetry, makeSocket, timers });
    this.socket = null;
    this.failures = 0; // closes since the last open
    this.retryTimer = null;
  }

  start() {
    const socket = this.makeSocket(this.url);
    this.socket = socket;
    socket.binaryType = 'arraybuffer';
    socket.onopen = () => {
      this.failures = 0;
      this.onOpen();
    };
    socket.onmessage = (event) => {
      if (event.data instanceof ArrayBuffer) this.onMessage(new Uint8Array(event.data));
    };
    socket.onclose = () => {
      if (this.socket !== socket) return;
      this.socket = null;
      this.onClose();
      this.scheduleRetry();
    };
  }

  scheduleRetry() {
    const delay = RETRY_DELAYS_MS[Math.min(this.failures, RETRY_DELAYS_MS.length - 1)];
    this.failures += 1;
    this.onRetry(delay, this.failures);
    this.retryTimer = this.timers.setTimeout(() => {
      this.retryTimer = null;
      this.start();
    }, delay);
  }

  // False when there is no open socket to send on.
  send(bytes) {
    if (!this.socket || this.socket.readyState !== 1) return false;
    this.socket.send(bytes);
    return true;
  }
}
