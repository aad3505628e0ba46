// The real server binary, started in a fresh temporary directory with its log
// in server.log there, for the browser test. The caller holds the machine-wide
// port lock (the test runs under flock /tmp/quillon-test-ports.lock).
import { spawn } from 'node:child_process';
import { mkdtempSync, openSync, readFileSync, rmSync, closeSync } from 'node:fs';
import { connect } from 'node:net';
import { tmpdir } from 'node:os';
import { join } from 'node:path';

export const SERVER_PORT = 8888;

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

export class ServerProcess {
  constructor(binary) {
    this.binary = binary;
    this.dir = mkdtempSync(join(tmpdir(), 'quillon-browser-'));
    this.child = null;
  }

  async start() {
    const logFd = openSync(join(this.dir, 'server.log'), 'a');
    this.child = spawn(this.binary, [], { cwd: this.dir, stdio: ['ignore', logFd, logFd] });
    closeSync(logFd);
    const child = this.child;
    this.exited = new Promise((resolve) => child.once('exit', (code, signal) => resolve(code ?? 128)));
    await waitUntil(
      async () =>
        child.exitCode !== null ||
        (this.log().includes('uWS server started') && (await portAccepts(SERVER_PORT))),
      30000,
      'the server to listen',
    );
    if (child.exitCode !== null) throw new Error(`the server ended at once with code ${child.exitCode}`);
  }

  log() {
    try {
      return readFileSync(join(this.dir, 'server.log'), 'utf8');
    } catch {
      return '';
    }
  }

  // Stops the server (SIGTERM, then SIGKILL after 10 s) and waits for the port to close.
  async stop() {
    const child = this.child;
    if (!child || child.exitCode !== null || child.signalCode !== null) return;
    child.kill('SIGTERM');
    const timer = setTimeout(() => child.kill('SIGKILL'), 10000);
    await this.exited;
    clearTimeout(timer);
    await waitUntil(async () => !(await portAccepts(SERVER_PORT)), 10000, 'the port to close');
  }

  remove() {
    rmSync(this.dir, { recursive: true, force: true });
  }
}
