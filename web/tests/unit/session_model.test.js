import assert from 'node:assert/strict';
import { describe, test } from 'node:test';
import { makeConfiguredSession, settle, trainedModel } from './session_fixture.js';
import { UPLOAD_STALL_MS } from '../../js/answer_handlers.js';

describe('generating the model', () => {
  test('the elapsed time runs to the answer, and a trained model has the server evaluate the recordings', async () => {
    const f = await makeConfiguredSession(0xff, 0x03, { recorded: [1, 2] });
    f.api.server.evaluation = { evaluated: true, accuracy: 0.9 };
    f.session.generate();
    f.session.generate();
    assert.deepEqual(f.sent, [[0x0a]]);
    f.answer();
    f.advance(1500);
    assert.equal(f.state().generate.elapsedMs, 1500);
    f.receive(0x0a, 0xfd); // a stop's acknowledgement is not the end
    assert.equal(f.state().generate.phase, 'running');
    f.advance(1000);
    f.answerLater(0x0a, 0x0a, 0x00);
    assert.equal(f.state().generate.elapsedMs, 2500);
    assert.deepEqual(f.state().generate.outcome, { ok: true, words: 'The model is trained.' });
    assert.equal(f.state().evaluation.phase, 'loading');
    await settle();
    assert.equal(f.state().evaluation.phase, 'ready');
    assert.equal(f.state().evaluation.data.accuracy, 0.9);
    // Its own 0A FD: another client stopped this page's training.
    f.session.generate();
    f.answer();
    f.answerLater(0x0a, 0x0a, 0xfd);
    assert.equal(f.state().generate.phase, 'idle');
    assert.match(f.state().generate.outcome.words, /stopped the training/);
  });

  test('a missing recording answered as several status bytes fails in words about recording', async () => {
    const f = await makeConfiguredSession();
    f.session.generate();
    f.answer();
    f.answerLater(0x0a, 0x0a, 0xff, 0xee);
    assert.equal(f.state().generate.outcome.ok, false);
    assert.match(f.state().generate.outcome.words, /never been recorded.*no model was made/);
    assert.equal(f.state().evaluation.phase, 'idle');
  });
});

describe('uploading the model', () => {
  test('progress moves the bar and 0C 00 completes it', async () => {
    const f = await makeConfiguredSession(0xff, 0x03, { model: trainedModel(0x03) });
    f.session.upload();
    assert.deepEqual(f.sent, [[0x0c]]);
    f.answer();
    assert.equal(f.state().upload.phase, 'running');
    f.receive(0x0d, 37);
    assert.equal(f.state().upload.percent, 37);
    f.receive(0x0d, 100);
    f.answerLater(0x0c, 0x0c, 0x00);
    assert.equal(f.state().upload.phase, 'idle');
    assert.equal(f.state().upload.outcome.ok, true);
    assert.equal(f.session.isBusy('upload'), false);
  });

  for (const [status, pattern] of [
    [0xff, /does not match/],
    [0xee, /could not read/],
    [0xef, /refused/],
  ]) {
    test(`0C ${status.toString(16).toUpperCase()} as its own answer refuses the upload with its reason`, async () => {
      const f = await makeConfiguredSession();
      f.session.upload();
      f.answer(0x0c, status);
      assert.equal(f.state().upload.phase, 'idle');
      assert.match(f.state().upload.outcome.words, pattern);
    });
  }

  test('an armband failure ends the upload where it stood; silence ends it after a bounded wait', async () => {
    const f = await makeConfiguredSession();
    f.session.upload();
    f.answer();
    f.receive(0x0d, 40);
    f.answerLater(0x0c, 0x0c, 0xf0);
    assert.equal(f.state().upload.percent, 40);
    assert.match(f.state().upload.outcome.words, /failure/);

    const g = await makeConfiguredSession();
    g.session.upload();
    g.answer();
    g.advance(UPLOAD_STALL_MS - 1);
    assert.equal(g.state().upload.phase, 'running');
    g.advance(1);
    assert.equal(g.state().upload.phase, 'idle');
    assert.match(g.state().upload.outcome.words, /No word from the armband/);
    assert.equal(g.session.isBusy('upload'), false);
  });
});
