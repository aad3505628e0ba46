import assert from 'node:assert/strict';
import { describe, test } from 'node:test';
import { PREVIEW_ROWS_PER_SECOND, SignalBuffer } from '../../js/signal_buffer.js';

describe('the live signal buffer', () => {
  test('hands out rows oldest first with one column per channel', () => {
    const buffer = new SignalBuffer(4);
    buffer.push([1, 10]);
    buffer.push([2, 20]);
    const [times, a, b] = buffer.series();
    assert.deepEqual(a, [1, 2]);
    assert.deepEqual(b, [10, 20]);
    assert.deepEqual(times, [0, 1 / PREVIEW_ROWS_PER_SECOND]);
  });

  test('keeps only the newest rows once full, and time keeps counting', () => {
    const buffer = new SignalBuffer(3);
    for (let i = 1; i <= 7; i += 1) buffer.push([i]);
    const [times, a] = buffer.series();
    assert.deepEqual(a, [5, 6, 7]);
    assert.deepEqual(
      times,
      [4, 5, 6].map((i) => i / PREVIEW_ROWS_PER_SECOND),
    );
    assert.equal(buffer.total, 7);
  });

  test('a row of another width starts afresh', () => {
    const buffer = new SignalBuffer(3);
    buffer.push([1, 2]);
    buffer.push([3]);
    assert.equal(buffer.channels, 1);
    assert.equal(buffer.total, 1);
    assert.deepEqual(buffer.series()[1], [3]);
  });
});
