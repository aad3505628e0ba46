import assert from 'node:assert/strict';
import { describe, test } from 'node:test';
import { availableActions, currentStep, nextStep } from '../../js/availability.js';
import {
  makeConfiguredSession,
  makeSession,
  recordingDoc,
  settle,
  statusDoc,
  trainedModel,
} from './session_fixture.js';

describe('which buttons can be pressed', () => {
  test('nothing works while the server is away', async () => {
    const f = await makeConfiguredSession(0xff, 0x03, { recorded: [1, 2], model: trainedModel(0x03) });
    f.session.linkClosed();
    for (const [name, value] of Object.entries(availableActions(f.state()))) {
      assert.equal(typeof value === 'function' ? value(1) : value, false, name);
    }
  });

  test('connect needs a found armband; scan is not offered while connected', async () => {
    const f = await makeSession();
    assert.equal(availableActions(f.state()).connect, false);
    assert.equal(availableActions(f.state()).scan, true);
    f.receive(0x02, 0x00);
    assert.equal(availableActions(f.state()).connect, true);
    f.receive(0x03, 0x00);
    assert.equal(availableActions(f.state()).scan, false);
    assert.equal(availableActions(f.state()).disconnect, true);
  });

  test('recording needs the ticked configuration on the server, and only selected gestures', async () => {
    const f = await makeConfiguredSession(0xff, 0x03);
    assert.equal(availableActions(f.state()).record(1), true);
    assert.equal(availableActions(f.state()).record(3), false);
    f.session.select(0xff, 0x07);
    assert.equal(availableActions(f.state()).record(1), false);
  });

  test('one activity at a time: no recording while identifying, no identification while uploading or training', async () => {
    const f = await makeConfiguredSession(0xff, 0x03, { recorded: [1, 2], model: trainedModel(0x03) });
    f.record(1);
    f.answer();
    let actions = availableActions(f.state());
    assert.equal(actions.recordAgain(2), false);
    assert.equal(actions.stopRecord, true);
    assert.equal(actions.applyConfig, false);
    assert.equal(actions.deleteRecording(2), false);
    f.receive(0x06, 0xfd);
    f.receive(0x08, 0x01);
    actions = availableActions(f.state());
    assert.equal(actions.recordAgain(2), false);
    assert.equal(actions.stopIdentify, true);
    f.receive(0x08, 0xfd);
    f.session.generate();
    actions = availableActions(f.state());
    assert.equal(actions.startIdentify, false);
    assert.equal(actions.upload, false);
    f.receive(0x0a, 0x00);
    assert.equal(availableActions(f.state()).startIdentify, true);
  });

  test('generation needs two selected gestures, each recorded on the server', async () => {
    const one = await makeConfiguredSession(0xff, 0x01, { recorded: [1] });
    assert.equal(availableActions(one.state()).generate, false);
    const half = await makeConfiguredSession(0xff, 0x03, { recorded: [1] });
    assert.equal(availableActions(half.state()).generate, false);
    const both = await makeConfiguredSession(0xff, 0x03, { recorded: [1, 2] });
    assert.equal(availableActions(both.state()).generate, true);
  });

  test('identification and upload need a model trained on the configured gestures', async () => {
    const other = await makeConfiguredSession(0xff, 0x03, { recorded: [1, 2], model: trainedModel(0x07) });
    assert.equal(availableActions(other.state()).startIdentify, false);
    assert.equal(availableActions(other.state()).upload, false);
    assert.match(nextStep(other.state()), /Generate model/);
  });
});

describe('the next step and the current step', () => {
  test('lead from scanning to live identification, with the recordings and the model as the server has them', async () => {
    const f = await makeSession();
    const seen = [[nextStep(f.state()), currentStep(f.state())]];
    const look = () => seen.push([nextStep(f.state()), currentStep(f.state())]);
    f.receive(0x02, 0x00);
    look();
    f.api.server.status = statusDoc({ link: 'connected' });
    f.receive(0x03, 0x00);
    await settle();
    look();
    f.session.applyConfig();
    f.api.server.status = statusDoc({ link: 'connected', channelMask: 0xff, gestureMask: 0x03 });
    f.answer();
    f.answerLater(0x05, 0x05, 0x00);
    await settle();
    look();
    f.api.server.recordings = { recordings: [recordingDoc(1), recordingDoc(2)] };
    f.session.refresh('recordings');
    await settle();
    look();
    f.session.generate();
    f.api.server.status = statusDoc({
      link: 'connected',
      channelMask: 0xff,
      gestureMask: 0x03,
      model: trainedModel(0x03),
    });
    f.answer();
    f.answerLater(0x0a, 0x0a, 0x00);
    await settle();
    look();
    f.session.upload();
    f.answer();
    f.receive(0x0d, 100);
    f.answerLater(0x0c, 0x0c, 0x00);
    look();
    f.receive(0x08, 0x01);
    look();
    f.receive(0x08, 0xfd);
    f.api.server.status.model = {
      ...trainedModel(0x03),
      current: false,
      staleBecause: ['1 window of Fist was added.'],
    };
    f.session.refresh('status');
    await settle();
    look();
    const expected = [
      [/Scan/, 1],
      [/press Connect/, 1],
      [/Apply/, 2],
      [/2 of 2 still to record/, 3],
      [/press Generate model/, 4],
      [/upload it to the armband, or press Start identification/, 4],
      [/Start identification/, 5],
      [/relax fully before the next one/, 5],
      [/changed since the model was trained: press Train again/, 4],
    ];
    assert.equal(seen.length, expected.length);
    seen.forEach(([words, step], i) => {
      assert.match(words, expected[i][0]);
      assert.equal(step, expected[i][1], words);
    });
  });

  test('asks for a second gesture before a model can be trained', async () => {
    const f = await makeSession({ server: { status: statusDoc({ link: 'connected' }) } });
    f.session.select(0xff, 0x01);
    assert.match(nextStep(f.state()), /at least two gestures/);
  });
});
