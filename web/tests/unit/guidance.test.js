import assert from 'node:assert/strict';
import { describe, test } from 'node:test';
import { cueAt, cuePhases, cueWords } from '../../js/cue_schedule.js';
import { practiceHint } from '../../js/identify_words.js';
import { makeConfiguredSession } from './session_fixture.js';

describe('the cues of a recording window', () => {
  test('hold and relax alternate three times in 5-second phases that fill the 30-second window', () => {
    const phases = cuePhases();
    assert.deepEqual(
      phases.map((p) => `${p.kind}${p.round}:${p.from / 1000}-${p.to / 1000}`),
      ['hold1:0-5', 'relax1:5-10', 'hold2:10-15', 'relax2:15-20', 'hold3:20-25', 'relax3:25-30'],
    );
    assert.deepEqual(cueAt(0), { kind: 'hold', round: 1, index: 0, secondsLeft: 5 });
    assert.deepEqual(cueAt(4001), { kind: 'hold', round: 1, index: 0, secondsLeft: 1 });
    assert.equal(cueAt(5000).kind, 'relax');
    assert.equal(cueAt(29999).index, 5);
    assert.equal(cueAt(30000).kind, 'done');
    assert.equal(cueWords(cueAt(12000), 'Fist').word, 'Make Fist');
    assert.match(cueWords(cueAt(17000), 'Fist').detail, /round 2 of 3/);
  });

  test("the cues follow the armband's clock: at ten times the speed the window's phases pass in 0.5 s each", async () => {
    const f = await makeConfiguredSession(0xff, 0x03, { speed: 10 });
    f.record(1);
    f.answer();
    const seen = [];
    for (let ms = 0; ms < 3000; ms += 100) {
      seen.push(cueAt(f.session.armbandMsSince(f.state().recording.startedAt)).index);
      f.advance(100);
    }
    assert.deepEqual([...new Set(seen)], [0, 1, 2, 3, 4, 5]);
    assert.equal(seen.filter((i) => i === 2).length, 5);
  });
});

describe('practising identification', () => {
  test('a gesture ticks only when reported and held while it is the one to make; then a rest, then the next', async () => {
    const f = await makeConfiguredSession(0xff, 0x03);
    const hint = () => practiceHint(f.state(), (slot) => ['', 'Fist', 'Open hand'][slot]);
    const recognised = () => f.state().identify.recognised;
    f.receive(0x08, 0xff);
    assert.equal(hint(), 'Make Fist and hold it.');
    f.receive(0x08, 0x02); // held, but not the gesture asked for
    f.advance(2000);
    f.receive(0x08, 0x01); // the flurry of an onset
    f.advance(100);
    f.receive(0x08, 0x02);
    f.advance(1000);
    assert.deepEqual(recognised(), []);
    f.receive(0x08, 0x01);
    assert.equal(hint(), 'Fist: keep holding it…');
    f.advance(500);
    assert.deepEqual(recognised(), [1]);
    assert.match(hint(), /Recognised Fist\. Now relax fully/);
    f.receive(0x08, 0xff);
    assert.equal(hint(), 'Make Open hand and hold it.');
    f.receive(0x08, 0x02);
    f.advance(500);
    f.receive(0x08, 0xff);
    assert.match(hint(), /Every gesture was recognised/);
  });
});
