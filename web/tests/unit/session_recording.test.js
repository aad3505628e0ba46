import assert from 'node:assert/strict';
import { describe, test } from 'node:test';
import { makeConfiguredSession } from './session_fixture.js';

const preview8 = [0x07, ...Array(32).fill(128)];

describe('recording a gesture', () => {
  test('a record command is followed by a ping that marks where its immediate answer ends', () => {
    const f = makeConfiguredSession();
    f.session.startRecord(2);
    assert.deepEqual(f.sent, [[0x06, 0x02], [0x01]]);
  });

  test('06 FF before the ping is answered means the server refused to record', () => {
    const f = makeConfiguredSession();
    f.session.startRecord(1);
    f.receive(0x06, 0xff);
    f.receive(0x01, 0x00);
    assert.equal(f.state().recording.phase, 'idle');
    assert.equal(f.state().recording.outcome.ok, false);
    assert.match(f.state().recording.outcome.words, /busy/);
    assert.equal(f.state().mode, 'idle');
  });

  test('an accepted recording counts for its gesture once 06 00 arrives', () => {
    const f = makeConfiguredSession();
    f.session.startRecord(2);
    f.receive(0x01, 0x00);
    assert.equal(f.state().recording.phase, 'running');
    assert.equal(f.state().mode, 'recording');
    f.advance(30_000);
    assert.equal(f.state().recording.phase, 'saving');
    f.receive(0x06, 0x00);
    assert.equal(f.state().recording.phase, 'idle');
    assert.deepEqual(f.state().recording.counts.slice(1, 3), [0, 1]);
    assert.equal(f.state().recording.outcome.ok, true);
    assert.equal(f.state().recording.outcome.slot, 2);
  });

  test("06 FF in the middle of this page's window is another client's refusal, not the end of the window", () => {
    const f = makeConfiguredSession();
    f.session.startRecord(1);
    f.receive(0x01, 0x00);
    f.advance(10_000);
    f.receive(0x06, 0xff);
    assert.equal(f.state().recording.phase, 'running');
    f.advance(20_000);
    f.receive(0x06, 0x00);
    assert.equal(f.state().recording.counts[1], 1);
  });

  test('06 FF when the window closes means the recording could not be saved', () => {
    const f = makeConfiguredSession();
    f.session.startRecord(1);
    f.receive(0x01, 0x00);
    f.advance(30_000);
    f.receive(0x06, 0xff);
    assert.equal(f.state().recording.phase, 'idle');
    assert.equal(f.state().recording.counts[1], 0);
    assert.match(f.state().recording.outcome.words, /could not save/);
  });

  test('stopping answers 06 FD and nothing is counted', () => {
    const f = makeConfiguredSession();
    f.session.startRecord(1);
    f.receive(0x01, 0x00);
    f.session.stopRecord();
    assert.deepEqual(f.sent.at(-1), [0x07]);
    f.receive(0x06, 0xfd);
    assert.equal(f.state().recording.phase, 'idle');
    assert.equal(f.state().recording.counts[1], 0);
    assert.match(f.state().recording.outcome.words, /stopped/);
  });

  test('an armband running 15 times faster closes the window and fails a save 15 times sooner', () => {
    const f = makeConfiguredSession(0xff, 0x03, { speed: 15 });
    f.session.startRecord(1);
    f.receive(0x01, 0x00);
    f.advance(1_999);
    assert.equal(f.state().recording.phase, 'running');
    f.advance(1);
    assert.equal(f.state().recording.phase, 'saving');

    const g = makeConfiguredSession(0xff, 0x03, { speed: 15 });
    g.session.startRecord(1);
    g.receive(0x01, 0x00);
    g.advance(1_700); // 25.5 s of the armband's time
    g.receive(0x06, 0xff);
    assert.match(g.state().recording.outcome.words, /could not save/);
  });

  test("preview frames of another client's recording show a recording of an unknown gesture", () => {
    const f = makeConfiguredSession();
    f.receive(...preview8);
    assert.equal(f.state().recording.phase, 'running');
    assert.equal(f.state().recording.slot, null);
    assert.equal(f.state().mode, 'recording');
    f.receive(0x06, 0x00);
    assert.deepEqual(f.state().recording.counts, Array(9).fill(0));
    assert.equal(f.state().mode, 'idle');
  });

  test('preview frames reach listeners as four rows of the streamed channels', () => {
    const f = makeConfiguredSession(0x05);
    f.session.startRecord(1);
    f.receive(0x01, 0x00);
    f.receive(0x07, 10, 20, 11, 21, 12, 22, 13, 23);
    const previews = f.events.filter((e) => e.type === 'preview');
    assert.equal(previews.length, 1);
    assert.equal(previews[0].channels, 2);
    assert.deepEqual(
      previews[0].rows.map((r) => Array.from(r)),
      [
        [10, 20],
        [11, 21],
        [12, 22],
        [13, 23],
      ],
    );
    assert.equal(f.state().recording.previewRows, 4);
  });

  test('a preview frame that does not split into four rows is logged and not drawn', () => {
    const f = makeConfiguredSession();
    f.receive(0x07, 1, 2, 3);
    assert.equal(f.events.filter((e) => e.type === 'preview').length, 0);
    assert.equal(f.events.filter((e) => e.type === 'log' && e.level === 'error').length, 1);
  });

  test('the armband disconnecting loses the recording and the configuration', () => {
    const f = makeConfiguredSession();
    f.session.startRecord(1);
    f.receive(0x01, 0x00);
    f.receive(0x04, 0x00);
    const s = f.state();
    assert.equal(s.recording.phase, 'idle');
    assert.equal(s.recording.outcome.ok, false);
    assert.equal(s.config.applied, null);
    assert.equal(s.link, 'disconnected');
    assert.equal(s.mode, 'idle');
  });
});
