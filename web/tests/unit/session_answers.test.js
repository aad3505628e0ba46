import assert from 'node:assert/strict';
import { describe, test } from 'node:test';
import { makeConfiguredSession, makeSession } from './session_fixture.js';
import { Session } from '../../js/session.js';

describe('telling a refusal from news that looks the same', () => {
  test('08 FF before the ping answer refuses identification', () => {
    const f = makeConfiguredSession();
    f.session.startIdentify();
    assert.deepEqual(f.sent, [[0x08], [0x01]]);
    f.receive(0x08, 0xff);
    f.receive(0x01, 0x00);
    assert.equal(f.state().identify.phase, 'idle');
    assert.equal(f.state().identify.current, null);
    assert.match(f.state().identify.outcome.words, /cannot start/);
    assert.equal(f.state().mode, 'idle');
  });

  test('08 FF after the ping answer reports that no gesture is being made', () => {
    const f = makeConfiguredSession();
    f.session.startIdentify();
    f.receive(0x01, 0x00);
    f.receive(0x08, 0xff);
    assert.equal(f.state().identify.phase, 'running');
    assert.equal(f.state().identify.current, 0xff);
    assert.equal(f.state().identify.outcome, null);
  });

  test('a refused command still owns its ping, so the next command is not taken as accepted early', () => {
    const f = makeConfiguredSession();
    f.session.startIdentify();
    f.session.startRecord(1);
    f.receive(0x08, 0xff); // identification refused
    f.receive(0x01, 0x00); // its ping
    assert.equal(f.state().recording.phase, 'starting');
    f.receive(0x06, 0xff); // recording refused as well
    f.receive(0x01, 0x00);
    assert.equal(f.state().identify.phase, 'idle');
    assert.equal(f.state().recording.phase, 'idle');
    assert.match(f.state().recording.outcome.words, /busy/);
  });

  test('pings are matched to commands in the order they were sent', () => {
    const f = makeSession();
    f.session.scan();
    f.session.connect();
    f.receive(0x01, 0x00); // the scan started
    f.receive(0x03, 0xff); // the connect was refused
    f.receive(0x01, 0x00); // the connect's own ping
    assert.equal(f.state().link, 'scanning');
    assert.match(f.state().note, /scan first/);
    f.receive(0x02, 0x00);
    assert.equal(f.state().link, 'found');
    // Nothing is left over to mistake a later report for a refusal.
    f.session.startIdentify();
    f.receive(0x01, 0x00);
    f.receive(0x08, 0xff);
    assert.equal(f.state().identify.phase, 'running');
  });

  test('a gesture report proves identification runs even when this page did not start it', () => {
    const f = makeConfiguredSession();
    f.receive(0x08, 0x02);
    f.receive(0x08, 0x01);
    assert.equal(f.state().identify.phase, 'running');
    assert.equal(f.state().mode, 'identifying');
    assert.equal(f.state().identify.current, 1);
    assert.deepEqual(
      f.state().identify.history.map((h) => h.slot),
      [1, 2],
    );
  });

  test('the identification history keeps the eight latest reports', () => {
    const f = makeConfiguredSession();
    for (let i = 0; i < 12; i += 1) f.receive(0x08, (i % 2) + 1);
    assert.equal(f.state().identify.history.length, 8);
  });

  test('stopping identification idles the server, whatever it was doing', () => {
    const f = makeConfiguredSession();
    f.session.startGestureStream();
    f.receive(0x01, 0x00);
    f.receive(0x08, 0xfd);
    assert.equal(f.state().mode, 'idle');
    assert.equal(f.state().stream.phase, 'idle');
    assert.equal(f.state().identify.phase, 'idle');
  });

  test('10 FC before the ping refuses the gesture stream; gestures after it are named', () => {
    const f = makeConfiguredSession();
    f.session.startGestureStream();
    f.receive(0x10, 0xfc);
    f.receive(0x01, 0x00);
    assert.equal(f.state().stream.phase, 'idle');
    assert.equal(f.state().stream.outcome.ok, false);
    f.session.startGestureStream();
    f.receive(0x01, 0x00);
    f.receive(0x10, 0x03);
    assert.equal(f.state().stream.phase, 'running');
    assert.deepEqual(
      f.state().stream.history.map((h) => h.gesture),
      [3],
    );
    const words = f.events.filter((e) => e.type === 'log' && e.direction === 'in').at(-1).words;
    assert.match(words, /WaveIn/);
  });
});

describe('the armband link and configuration', () => {
  test('versions with firmware and hardware show that an armband is already connected', () => {
    const f = makeSession();
    const text = '0000.005.002/001.002.003/004.005.006';
    f.receive(...Array.from(text, (c) => c.charCodeAt(0)));
    assert.equal(f.state().link, 'connected');
    assert.deepEqual(f.state().versions, {
      server: '000.005.002',
      firmware: '001.002.003',
      hardware: '004.005.006',
    });
  });

  test('versions without an armband show it is not connected', () => {
    const f = makeSession();
    const text = '0000.005.002/---.---.---/---.---.---';
    f.receive(...Array.from(text, (c) => c.charCodeAt(0)));
    assert.equal(f.state().link, 'disconnected');
    assert.equal(f.state().versions.firmware, null);
  });

  test('connecting asks for the versions and wants the configuration applied again', () => {
    const f = makeConfiguredSession();
    f.receive(0x03, 0x00);
    assert.deepEqual(f.sent, [[0x30]]);
    assert.equal(f.state().config.applied, null);
  });

  test('05 00 applies the configuration that was sent', () => {
    const f = makeSession();
    f.receive(0x03, 0x00);
    f.session.applyConfig(0x0f, 0x05);
    assert.deepEqual(f.sent.at(-1), [0x05, 0x0f, 0x05]);
    assert.notEqual(f.state().config.pending, null);
    f.receive(0x05, 0x00);
    assert.deepEqual(f.state().config.applied, { channelMask: 0x0f, gestureMask: 0x05 });
    assert.equal(f.state().config.pending, null);
  });

  for (const [status, pattern] of [
    [0xf2, /No armband/],
    [0xf1, /settings/],
    [0xf0, /refused/],
  ]) {
    test(`05 ${status.toString(16).toUpperCase()} leaves the configuration unapplied and says why`, () => {
      const f = makeSession();
      f.receive(0x03, 0x00);
      f.session.applyConfig(0xff, 0x03);
      f.receive(0x05, status);
      assert.equal(f.state().config.applied, null);
      assert.equal(f.state().config.outcome.ok, false);
      assert.match(f.state().config.outcome.words, pattern);
    });
  }
});

describe('losing and finding the server', () => {
  test('a closed link ends what was under way and reopening starts afresh but keeps the counts', () => {
    const f = makeConfiguredSession();
    f.session.startRecord(1);
    f.receive(0x01, 0x00);
    f.advance(30_000);
    f.receive(0x06, 0x00);
    f.session.generate();
    f.session.linkClosed();
    assert.equal(f.state().server, 'closed');
    assert.equal(f.state().generate.phase, 'idle');
    f.session.linkOpened();
    assert.equal(f.state().server, 'open');
    assert.equal(f.state().link, 'unknown');
    assert.equal(f.state().recording.counts[1], 1);
    assert.deepEqual(f.sent.at(-1), [0x30]);
  });

  test('a ping answer after the link reopened does not complete a command sent before it closed', () => {
    const f = makeConfiguredSession();
    f.session.startIdentify();
    f.session.linkClosed();
    f.session.linkOpened();
    f.receive(0x01, 0x00);
    assert.equal(f.state().identify.phase, 'idle');
  });
});

describe('the log', () => {
  test('names gestures the way the person named them', () => {
    const session = new Session({ transmit: () => {}, nameOf: (slot) => ['', 'Fist', 'Open hand'][slot] });
    const words = [];
    session.subscribe((e) => e.type === 'log' && words.push(e.words));
    session.linkOpened();
    session.startRecord(2);
    session.receive(Uint8Array.of(0x01, 0x00));
    session.receive(Uint8Array.of(0x06, 0x00));
    session.receive(Uint8Array.of(0x08, 0x01));
    assert.deepEqual(words.slice(-4), [
      'Record Open hand',
      'Ping answered: the command before it was accepted.',
      'Open hand: Recording saved.',
      'Identified: Fist.',
    ]);
  });
});

describe('refusals of the armband commands', () => {
  test('stay shown until the link has news', () => {
    const f = makeSession();
    f.session.connect();
    f.receive(0x03, 0xff);
    f.receive(0x01, 0x00);
    assert.match(f.state().note, /scan first/);
    f.receive(0x02, 0x00);
    assert.equal(f.state().note, null);
  });
});
