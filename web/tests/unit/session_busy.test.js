import assert from 'node:assert/strict';
import { describe, test } from 'node:test';
import { availableActions } from '../../js/availability.js';
import { ANSWER_WAIT_MS } from '../../js/session.js';
import { makeConfiguredSession, recordingDoc, settle, statusDoc, trainedModel } from './session_fixture.js';

const commandsSent = (f, code) => f.sent.filter((bytes) => bytes[0] === code).length;

describe('one command in flight per control', () => {
  test('a second press of Record, Apply, Upload or Start identification sends nothing until the first is answered', async () => {
    const f = await makeConfiguredSession(0xff, 0x03, { recorded: [1, 2], model: trainedModel(0x03) });
    f.record(1);
    f.record(1);
    f.record(2);
    assert.equal(commandsSent(f, 0x06), 1);
    f.answer(); // taken: the window runs
    assert.equal(f.record(2), false, 'the server records: the page does not ask again');
    f.answerLater(0x06, 0x06, 0xfd);

    f.session.applyConfig();
    f.session.applyConfig();
    assert.equal(commandsSent(f, 0x05), 1);
    f.answer();
    assert.equal(f.session.applyConfig(), false, 'still waiting for the armband');
    f.answerLater(0x05, 0x05, 0x00);
    assert.equal(availableActions(f.state()).applyConfig, true);

    f.session.upload();
    f.session.upload();
    assert.equal(commandsSent(f, 0x0c), 1);
    f.answer();
    f.receive(0x0d, 50);
    assert.equal(f.session.upload(), false, 'the upload runs until its outcome');
    assert.equal(availableActions(f.state()).startIdentify, false, 'no identification during an upload');
    f.receive(0x0d, 100);
    f.answerLater(0x0c, 0x0c, 0x00);

    f.api.server.status = statusDoc({
      link: 'connected',
      channelMask: 0xff,
      gestureMask: 0x03,
      identifyMode: 'calibrated',
    });
    f.state().identifyMode = 'calibrated';
    await Promise.all([f.session.startIdentify(), f.session.startIdentify()]);
    assert.equal(commandsSent(f, 0x08), 1);
  });

  test('a control that hears nothing is released after a bounded wait, and the page says so', async () => {
    const f = await makeConfiguredSession();
    f.session.applyConfig();
    f.advance(ANSWER_WAIT_MS - 1);
    assert.equal(f.session.isBusy('apply'), true);
    f.advance(1);
    assert.equal(f.session.isBusy('apply'), false);
    assert.match(f.state().config.outcome.words, /No answer/);
    assert.equal(f.state().config.pending, null);
    // Its own frame that comes after all changes nothing.
    f.answer();
    assert.equal(f.state().config.pending, null);
    f.record(1);
    f.answer();
    assert.equal(f.state().recording.phase, 'running');
  });

  test("another client's refusal does not end the window this page is recording", async () => {
    const f = await makeConfiguredSession();
    f.record(1);
    f.answer();
    f.receive(0x06, 0xff); // a second Record from elsewhere, refused
    f.receive(0x07, ...Array(32).fill(100));
    const r = f.state().recording;
    assert.equal(r.phase, 'running');
    assert.equal(r.slot, 1);
    assert.equal(r.mine, true);
    assert.equal(f.logWords().includes('Another client started a recording.'), false);
  });

  test('Start identification switches the server to the calibrated mode first, and stops when that is refused', async () => {
    const f = await makeConfiguredSession(0xff, 0x03, { model: trainedModel(0x03) });
    await f.session.startIdentify();
    assert.deepEqual(f.api.calls.at(-1), ['PUT', '/api/settings', { identifyMode: 'calibrated' }]);
    assert.deepEqual(f.sent, [[0x08]]);
    assert.equal(f.state().identifyMode, 'calibrated');

    const g = await makeConfiguredSession(0xff, 0x03, { model: trainedModel(0x03) });
    g.api.server.put = () => ({
      ok: false,
      status: 409,
      body: { error: 'the server is recording; stop that first' },
    });
    await g.session.startIdentify();
    assert.deepEqual(g.sent, []);
    assert.equal(g.state().identify.phase, 'idle');
    assert.match(g.state().identify.outcome.words, /busy/);
    assert.equal(g.session.isBusy('identify'), false);
  });

  test('Record again records first, removes the older windows only once the new one is saved, and keeps them otherwise', async () => {
    const f = await makeConfiguredSession(0xff, 0x03, { recorded: [1] });
    const deletes = () => f.api.calls.filter(([method]) => method === 'DELETE');
    f.record(1, { replace: true });
    assert.deepEqual(f.sent, [[0x06, 0x01]]);
    f.answer();
    f.answerLater(0x06, 0x06, 0xfd);
    await settle();
    assert.deepEqual(deletes(), []);
    assert.match(f.state().recording.outcome.words, /nothing was saved\. The earlier recording is kept/);

    f.api.server.recordings = { recordings: [recordingDoc(1, 2)] }; // the old window and the new
    f.record(1, { replace: true });
    f.answer();
    f.answerLater(0x06, 0x06, 0x00);
    await settle();
    assert.deepEqual(deletes(), [['DELETE', '/api/recordings/1/windows/1']]);
    assert.match(f.state().cardNotes[1].words, /older window removed/);

    // A server that cannot remove a window: both stay, and the card says so.
    f.api.server.del = () => ({ ok: false, status: 404, body: { error: 'no such resource' } });
    f.record(1, { replace: true });
    f.answer();
    f.answerLater(0x06, 0x06, 0x00);
    await settle();
    assert.match(
      f.state().cardNotes[1].words,
      /new window is saved, but the older window could not be removed/,
    );
    assert.equal(availableActions(f.state()).recordAgain(1), true);
  });

  test('Delete removes the recording or one window, reads the inventory and the model again and marks the evaluation as out of date', async () => {
    const f = await makeConfiguredSession(0xff, 0x03, { recorded: [1, 2] });
    f.state().evaluation = { phase: 'ready', data: {}, words: null, stale: false };
    f.api.server.recordings = { recordings: [] };
    const deleting = f.session.deleteRecording(2);
    assert.equal(availableActions(f.state()).deleteRecording(2), false);
    assert.equal(await deleting, true);
    await settle();
    assert.equal(f.state().recordings[2], null);
    assert.equal(f.state().evaluation.stale, true);
    assert.deepEqual(
      f.api.calls.map((c) => c.slice(0, 2)),
      [
        ['DELETE', '/api/recordings/2'],
        ['GET', '/api/recordings'],
        ['GET', '/api/status'],
      ],
    );
    assert.equal(await f.session.deleteWindow(1, 2), true);
    assert.deepEqual(f.api.calls.at(-3), ['DELETE', '/api/recordings/1/windows/2']);
    assert.equal(f.state().cardNotes[1].words, 'Window 2 deleted.');
  });
});
