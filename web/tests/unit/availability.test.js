import assert from 'node:assert/strict';
import { describe, test } from 'node:test';
import { availableActions, nextStep } from '../../js/availability.js';
import { defaultSettings } from '../../js/settings.js';
import { makeConfiguredSession, makeSession } from './session_fixture.js';

function settingsFor(channelMask, gestureMask) {
  return { ...defaultSettings(), channelMask, gestureMask };
}

describe('which buttons can be pressed', () => {
  test('nothing works while the server is away', () => {
    const f = makeConfiguredSession();
    f.session.linkClosed();
    const actions = availableActions(f.state(), settingsFor(0xff, 0x03));
    for (const [name, value] of Object.entries(actions)) {
      assert.equal(typeof value === 'function' ? value(1) : value, false, name);
    }
  });

  test('connect needs a found armband; scan is not offered while connected', () => {
    const f = makeSession();
    f.receive(...Array.from('0000.005.002/---.---.---/---.---.---', (c) => c.charCodeAt(0)));
    const settings = settingsFor(0xff, 0x03);
    assert.equal(availableActions(f.state(), settings).connect, false);
    assert.equal(availableActions(f.state(), settings).scan, true);
    f.receive(0x02, 0x00);
    assert.equal(availableActions(f.state(), settings).connect, true);
    f.receive(0x03, 0x00);
    assert.equal(availableActions(f.state(), settings).scan, false);
    assert.equal(availableActions(f.state(), settings).disconnect, true);
  });

  test('recording needs the ticked configuration applied, and only selected gestures', () => {
    const f = makeConfiguredSession(0xff, 0x03);
    const applied = settingsFor(0xff, 0x03);
    assert.equal(availableActions(f.state(), applied).record(1), true);
    assert.equal(availableActions(f.state(), applied).record(3), false);
    const changed = settingsFor(0xff, 0x07);
    assert.equal(availableActions(f.state(), changed).record(1), false);
  });

  test('one recording at a time, and none while identifying', () => {
    const f = makeConfiguredSession(0xff, 0x03);
    const settings = settingsFor(0xff, 0x03);
    f.session.startRecord(1);
    assert.equal(availableActions(f.state(), settings).record(2), false);
    assert.equal(availableActions(f.state(), settings).stopRecord, true);
    assert.equal(availableActions(f.state(), settings).applyConfig, false);
    f.receive(0x06, 0xfd);
    f.receive(0x08, 0x01);
    assert.equal(availableActions(f.state(), settings).record(2), false);
    assert.equal(availableActions(f.state(), settings).stopIdentify, true);
  });

  test('generation needs two gestures and waits for the answer before it is offered again', () => {
    const one = makeConfiguredSession(0xff, 0x01);
    assert.equal(availableActions(one.state(), settingsFor(0xff, 0x01)).generate, false);
    const f = makeConfiguredSession(0xff, 0x03);
    const settings = settingsFor(0xff, 0x03);
    assert.equal(availableActions(f.state(), settings).generate, true);
    f.session.generate();
    assert.equal(availableActions(f.state(), settings).generate, false);
    assert.equal(availableActions(f.state(), settings).upload, false);
    f.receive(0x0a, 0x00);
    assert.equal(availableActions(f.state(), settings).upload, true);
  });
});

describe('the next step', () => {
  test('leads from scanning to live identification', () => {
    const settings = settingsFor(0xff, 0x03);
    const f = makeSession();
    f.receive(...Array.from('0000.005.002/---.---.---/---.---.---', (c) => c.charCodeAt(0)));
    const steps = [nextStep(f.state(), settings)];
    f.receive(0x02, 0x00);
    steps.push(nextStep(f.state(), settings));
    f.receive(0x03, 0x00);
    steps.push(nextStep(f.state(), settings));
    f.session.applyConfig(0xff, 0x03);
    f.receive(0x05, 0x00);
    steps.push(nextStep(f.state(), settings));
    for (const slot of [1, 2]) {
      f.session.startRecord(slot);
      f.receive(0x01, 0x00);
      f.receive(0x06, 0x00);
    }
    steps.push(nextStep(f.state(), settings));
    f.session.generate();
    f.receive(0x0a, 0x00);
    steps.push(nextStep(f.state(), settings));
    f.session.upload();
    f.receive(0x01, 0x00);
    f.receive(0x0d, 100);
    f.receive(0x0c, 0x00);
    steps.push(nextStep(f.state(), settings));
    const expected = [
      /Scan/,
      /Connect/,
      /Apply/,
      /2 of 2 still to record/,
      /Generate model/,
      /Upload/,
      /Start identification/,
    ];
    assert.equal(steps.length, expected.length);
    steps.forEach((step, i) => assert.match(step, expected[i]));
  });

  test('asks for a second gesture before a model can be trained', () => {
    const f = makeSession();
    f.receive(0x03, 0x00);
    assert.match(nextStep(f.state(), settingsFor(0xff, 0x01)), /at least two gestures/);
  });
});
