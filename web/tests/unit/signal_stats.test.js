import assert from 'node:assert/strict';
import { describe, test } from 'node:test';
import { channelFlag, channelStats, levelFraction, stripRange } from '../../js/signal_stats.js';
import { FRAMES_PER_SECOND } from '../../js/protocol.js';
import { lastFramesOfCsv, windowFrames } from '../../js/review_window.js';
import { SignalBuffer } from '../../js/signal_buffer.js';

const noise = (n, centre, spread) =>
  Array.from({ length: n }, (_, i) => centre + ((i * 5) % (2 * spread + 1)) - spread);

describe('judging a channel', () => {
  test('a lost electrode reads flat, a clipped one saturated, a resting one neither', () => {
    assert.equal(channelFlag(channelStats(Array(160).fill(131))), 'flat');
    assert.equal(channelFlag(channelStats(noise(160, 128, 3))), null);
    const clipped = noise(160, 128, 60);
    for (let i = 0; i < 160; i += 20) clipped[i] = 255;
    assert.equal(channelFlag(channelStats(clipped)), 'saturated');
    assert.equal(channelFlag(channelStats([])), null);
  });

  test('the level grows with activity, and each strip scales to its own signal but never below ±4 counts', () => {
    const rest = channelStats(noise(160, 128, 2));
    const active = channelStats(noise(160, 128, 40));
    assert(levelFraction(active.level) > 5 * levelFraction(rest.level));
    assert.equal(levelFraction(1000), 1);
    assert.deepEqual(stripRange(channelStats(Array(10).fill(100))), [96, 104]);
    const [low, high] = stripRange(active);
    assert(low <= 88 && high >= 168 && high - low < 100);
  });

  test('the live buffer hands out the newest samples of a channel, oldest first', () => {
    const buffer = new SignalBuffer(4);
    for (let i = 1; i <= 6; i += 1) buffer.push([i, 10 * i]);
    assert.deepEqual(Array.from(buffer.recent(1, 3)), [40, 50, 60]);
    assert.deepEqual(Array.from(buffer.recent(0, 9)), [3, 4, 5, 6]);
    assert.equal(buffer.total, 6);
  });
});

describe('reviewing the last window', () => {
  test("the window's frames are the last lines of the server's CSV export", () => {
    const lines = ['time_s,ch1,ch3'];
    for (let f = 0; f < 10; f += 1) lines.push(`${(f / FRAMES_PER_SECOND).toFixed(6)},${f},${100 + f}`);
    const csv = `${lines.join('\n')}\n`;
    assert.equal(windowFrames({ bytes: 8, channelMask: 0x05 }), 4);
    const last = lastFramesOfCsv(csv, 4);
    assert.deepEqual(last.channels, [1, 3]);
    assert.deepEqual(Array.from(last.columns[0]), [6, 7, 8, 9]);
    assert.deepEqual(Array.from(last.columns[1]), [106, 107, 108, 109]);
    assert.equal(lastFramesOfCsv(csv, 50).columns[0].length, 10);
    assert.equal(lastFramesOfCsv('{"error": "no"}', 4), null);
  });
});
