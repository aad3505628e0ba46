import assert from 'node:assert/strict';
import { describe, test } from 'node:test';
import { makeConfiguredSession, settle } from './session_fixture.js';

const preview8 = [0x07, ...Array(32).fill(128)];

describe('recording a gesture', () => {
  test('an accepted window runs on its own clock, and its 06 00 has the server read the recordings again', async () => {
    const f = await makeConfiguredSession();
    f.record(2);
    assert.deepEqual(f.sent, [[0x06, 0x02]]);
    f.answer();
    assert.equal(f.state().recording.phase, 'running');
    assert.equal(f.state().mode, 'recording');
    assert.equal(f.events.filter((e) => e.type === 'window-start').length, 1);
    f.advance(30_000);
    assert.equal(f.state().recording.phase, 'saving');
    f.answerLater(0x06, 0x06, 0x00);
    assert.equal(f.state().recording.phase, 'idle');
    assert.deepEqual(f.state().recording.outcome, { ok: true, words: 'Recording saved.', slot: 2 });
    await settle();
    assert.deepEqual(
      f.api.calls
        .slice(-2)
        .map((c) => c[1])
        .sort(),
      ['/api/recordings', '/api/status'],
    );
  });

  test('the first preview frame opens the window even before its own answer', async () => {
    const f = await makeConfiguredSession(0xff, 0x03, { speed: 10 });
    f.record(1);
    f.advance(500);
    f.receive(...preview8);
    const r = f.state().recording;
    assert.equal(r.phase, 'running');
    f.answer();
    assert.equal(f.session.armbandMsSince(r.startedAt), 0, 'the window began with its first samples');
    f.advance(2_999);
    assert.equal(r.phase, 'running');
    f.advance(1);
    assert.equal(r.phase, 'saving', 'at 10 times the speed, 30 s of the armband pass in 3 s');
  });

  test("a plain 06 FF in this page's window is another client's refusal; its own 06 FF or F0 ends the window in words", async () => {
    const f = await makeConfiguredSession();
    f.record(1);
    f.answer();
    f.advance(10_000);
    f.receive(0x06, 0xff);
    assert.equal(f.state().recording.phase, 'running');
    f.advance(20_000);
    f.answerLater(0x06, 0x06, 0xff);
    assert.equal(f.state().recording.phase, 'idle');
    assert.match(f.state().recording.outcome.words, /could not save/);
    // Taken, then the armband did not stream the window.
    f.record(1);
    f.answer();
    f.answerLater(0x06, 0x06, 0xf0);
    assert.equal(f.state().recording.phase, 'idle');
    assert.equal(f.state().mode, 'idle');
    assert.match(f.state().recording.outcome.words, /Nothing was recorded.*refused to stream/);
  });

  test('stopping answers 06 FD and nothing is saved; a stop with nothing to stop is refused', async () => {
    const f = await makeConfiguredSession();
    f.record(1);
    f.answer();
    f.session.stopRecord();
    f.session.stopRecord();
    assert.deepEqual(f.sent.slice(1), [[0x07]]);
    f.answerLater(0x06, 0x06, 0xfd);
    f.answer(0x06, 0xfd);
    assert.equal(f.state().recording.phase, 'idle');
    assert.match(f.state().recording.outcome.words, /stopped/);
    f.session.stopRecord();
    f.answer(0x06, 0xff);
    assert.match(f.state().recording.outcome.words, /no recording to stop/);
  });

  test("preview frames of another client's recording show a recording and reach listeners as rows", async () => {
    const f = await makeConfiguredSession(0x05);
    f.receive(0x07, 10, 20, 11, 21, 12, 22, 13, 23);
    assert.equal(f.state().recording.phase, 'running');
    assert.equal(f.state().recording.slot, null);
    assert.equal(f.state().recording.mine, false);
    const previews = f.events.filter((e) => e.type === 'preview');
    assert.deepEqual(
      previews[0].rows.map((r) => Array.from(r)),
      [
        [10, 20],
        [11, 21],
        [12, 22],
        [13, 23],
      ],
    );
    f.receive(0x06, 0x00);
    assert.equal(f.state().mode, 'idle');
    assert.equal(f.state().recording.outcome.slot, null);
    // While the signal check runs, the same frames are the check, not a recording.
    f.session.startPreview();
    assert.deepEqual(f.sent.at(-1), [0x12]);
    f.answer();
    f.answerLater(0x12, 0x12, 0x00);
    f.receive(0x07, 10, 20, 11, 21, 12, 22, 13, 23);
    assert.equal(f.state().recording.phase, 'idle');
    assert.equal(f.events.filter((e) => e.type === 'preview').at(-1).check, true);
    f.answerLater(0x12, 0x12, 0xfd); // a recording began, or the check was stopped
    assert.equal(f.state().preview.phase, 'off');
  });

  test('a preview frame that does not split into four rows is logged and not drawn', async () => {
    const f = await makeConfiguredSession();
    f.receive(0x07, 1, 2, 3);
    assert.equal(f.events.filter((e) => e.type === 'preview').length, 0);
    assert.equal(f.events.filter((e) => e.type === 'log' && e.level === 'error').length, 1);
  });
});
