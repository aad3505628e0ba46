// The real server binary, started in a fresh temporary directory with its log
// in server.log there, for the browser test. The first start takes free ports
// and reads them from the log; a restart takes the same ports again, so that
// open pages find the server where it was. The simulated armband runs `speed`
// times faster than real time.
import { spawn } from 'node:child_process';
import { mkdtempSync, openSync, readFileSync, rmSync, closeSync } from 'node:fs';
import { connect } from 'node:net';
import { tmpdir } from 'node:os';
import { join } from 'node:path';

export async function waitUntil(condition, timeoutMs, what) {
  const deadline = Date.now() + timeoutMs;
  for (;;) {
    if (await condition()) return;
    if (Date.now() > deadline) throw new Error(`timed out after ${timeoutMs / 1000} s waiting for ${what}`);
    await new Promise((resolve) => setTimeout(resolve, 100));
  }
}

export function portAccepts(port) {
  return new Promise((resolve) => {
    const socket = connect({ host: '127.0.0.1', port });
    socket.once('connect', () => {
      socket.destroy();
      resolve(true);
    });
    socket.once('error', () => resolve(false));
  });
}

// The number after `prefix` in the first line of `log` that holds it; 0 when none.
export function portAfter(log, prefix) {
  const line = log.split('\n').find((l) => l.includes(prefix));
  const port = line ? Number(/^\d+/.exec(line.slice(line.indexOf(prefix) + prefix.length))?.[0]) : 0;
  return Number.isInteger(port) && port > 0 && port < 65536 ? port : 0;
}

export class ServerProcess {
  constructor(binary, speed) {
    this.binary = binary;
    this.speed = speed;
    this.dir = mkdtempSync(join(tmpdir(), 'quillon-browser-'));
    this.child = null;
    this.port = 0; // the WebSocket and page port; 0 until the first start
    this.wearerPort = 0; // the simulated armband's wearer control port
  }

  async start() {
    const logged = this.log().length; // a restart appends to the same log
    const logFd = openSync(join(this.dir, 'server.log'), 'a');
    const args = ['--port', this.port, '--sim-control-port', this.wearerPort, '--sim-speed', this.speed];
    this.child = spawn(this.binary, args.map(String), { cwd: this.dir, stdio: ['ignore', logFd, logFd] });
    closeSync(logFd);
    const child = this.child;
    this.exited = new Promise((resolve) => child.once('exit', (code, signal) => resolve(code ?? 128)));
    let port = 0;
    let wearerPort = 0;
    await waitUntil(
      async () => {
        if (child.exitCode !== null) return true;
        const log = this.log().slice(logged);
        port = portAfter(log, 'uWS server listening on port ');
        wearerPort = portAfter(log, 'simulated armband: wearer control on 127.0.0.1:');
        return port !== 0 && wearerPort !== 0 && (await portAccepts(port));
      },
      30000,
      'the server to log its ports and listen',
    );
    if (child.exitCode !== null) throw new Error(`the server ended at once with code ${child.exitCode}`);
    if (this.port !== 0 && (port !== this.port || wearerPort !== this.wearerPort))
      throw new Error(`the restarted server took ports ${port} and ${wearerPort}, not its own`);
    this.port = port;
    this.wearerPort = wearerPort;
  }

  log() {
    try {
      return readFileSync(join(this.dir, 'server.log'), 'utf8');
    } catch {
      return '';
    }
  }

  // Stops the server (SIGTERM, then SIGKILL after 10 s) and waits for its port to close.
  async stop() {
    const child = this.child;
    if (!child || child.exitCode !== null || child.signalCode !== null) return;
    child.kill('SIGTERM');
    const timer = setTimeout(() => child.kill('SIGKILL'), 10000);
    await this.exited;
    clearTimeout(timer);
    await waitUntil(async () => !(await portAccepts(this.port)), 10000, 'the port to close');
  }

  remove() {
    rmSync(this.dir, { recursive: true, force: true });
  }
}
