import assert from 'node:assert/strict';
import { describe, test } from 'node:test';
import { makeConfiguredSession } from './session_fixture.js';
import { UPLOAD_STALL_MS } from '../../js/session.js';
import { availableActions } from '../../js/availability.js';
import { defaultSettings } from '../../js/settings.js';

describe('generating the model', () => {
  test('the elapsed time runs from the request to the answer', () => {
    const f = makeConfiguredSession();
    f.session.generate();
    assert.deepEqual(f.sent, [[0x0a]]);
    f.advance(1500);
    assert.equal(f.state().generate.elapsedMs, 1500);
    f.advance(1000);
    f.receive(0x0a, 0x00);
    assert.equal(f.state().generate.phase, 'idle');
    assert.equal(f.state().generate.elapsedMs, 2500);
    assert.deepEqual(f.state().generate.outcome, { ok: true, words: 'The model is trained.' });
  });

  test('a missing recording answered as several status bytes fails in words about recording', () => {
    const f = makeConfiguredSession();
    f.session.generate();
    f.receive(0x0a, 0xff, 0xee);
    assert.equal(f.state().generate.outcome.ok, false);
    assert.match(f.state().generate.outcome.words, /never been recorded.*no model was made/);
  });

  test('the acknowledgement of a stop is not taken for the end of generation', () => {
    const f = makeConfiguredSession();
    f.session.generate();
    f.receive(0x0a, 0xfd);
    assert.equal(f.state().generate.phase, 'running');
  });
});

describe('uploading the model', () => {
  test('progress moves the bar and 0C 00 completes it', () => {
    const f = makeConfiguredSession();
    f.session.upload();
    assert.deepEqual(f.sent, [[0x0c], [0x01]]);
    f.receive(0x01, 0x00);
    assert.equal(f.state().upload.phase, 'running');
    f.receive(0x0d, 37);
    assert.equal(f.state().upload.percent, 37);
    f.receive(0x0d, 100);
    f.receive(0x0c, 0x00);
    assert.equal(f.state().upload.phase, 'idle');
    assert.equal(f.state().upload.percent, 100);
    assert.equal(f.state().upload.outcome.ok, true);
  });

  for (const [status, pattern] of [
    [0xff, /does not match/],
    [0xee, /could not read/],
    [0xef, /refused/],
  ]) {
    test(`0C ${status.toString(16).toUpperCase()} before the ping refuses the upload with its reason`, () => {
      const f = makeConfiguredSession();
      f.session.upload();
      f.receive(0x0c, status);
      f.receive(0x01, 0x00);
      assert.equal(f.state().upload.phase, 'idle');
      assert.equal(f.state().upload.outcome.ok, false);
      assert.match(f.state().upload.outcome.words, pattern);
    });
  }

  test('an armband failure during the upload ends it as failed where it stood', () => {
    const f = makeConfiguredSession();
    f.session.upload();
    f.receive(0x01, 0x00);
    f.receive(0x0d, 40);
    f.receive(0x0c, 0xf0);
    assert.equal(f.state().upload.phase, 'idle');
    assert.equal(f.state().upload.percent, 40);
    assert.match(f.state().upload.outcome.words, /failure/);
  });

  test('an accepted upload that hears nothing from the armband is marked stalled, and progress clears it', () => {
    const f = makeConfiguredSession();
    f.session.upload();
    f.receive(0x01, 0x00);
    f.advance(UPLOAD_STALL_MS - 1);
    assert.equal(f.state().upload.stalled, false);
    f.advance(1);
    assert.equal(f.state().upload.stalled, true);
    f.receive(0x0d, 10);
    assert.equal(f.state().upload.stalled, false);
  });

  test('a stalled upload can be asked for again', () => {
    const f = makeConfiguredSession();
    const settings = { ...defaultSettings(), channelMask: 0xff, gestureMask: 0x03 };
    f.session.upload();
    f.receive(0x01, 0x00);
    assert.equal(availableActions(f.state(), settings).upload, false);
    f.advance(UPLOAD_STALL_MS);
    assert.equal(availableActions(f.state(), settings).upload, true);
    f.session.upload();
    assert.equal(f.state().upload.phase, 'starting');
    assert.equal(f.state().upload.stalled, false);
  });
});
