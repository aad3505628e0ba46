// The last few seconds of the preview signal, in the shape the chart draws.
//
// Each preview frame brings every fourth raw frame of a 16-frame packet, so
// rows arrive at a quarter of the EMG rate (162.5 per second). The buffer
// keeps the newest `capacity` rows in a ring and hands them out oldest first,
// with a time axis in seconds since the recording began.
import { FRAMES_PER_SECOND } from './protocol.js';

export const PREVIEW_ROWS_PER_SECOND = FRAMES_PER_SECOND / 4;

export class SignalBuffer {
  constructor(capacity) {
    this.capacity = capacity;
    this.reset(0);
  }

  // Empties the buffer for rows of `channels` samples.
  reset(channels) {
    this.channels = channels;
    this.columns = Array.from({ length: channels }, () => new Float32Array(this.capacity));
    this.next = 0; // where the next row goes
    this.size = 0;
    this.total = 0; // rows received since the last reset
  }

  // Adds one row; a row of another width starts the buffer afresh.
  push(row) {
    if (row.length !== this.channels) this.reset(row.length);
    for (let c = 0; c < this.channels; c += 1) this.columns[c][this.next] = row[c];
    this.next = (this.next + 1) % this.capacity;
    this.size = Math.min(this.size + 1, this.capacity);
    this.total += 1;
  }

  // The newest `count` samples of channel `c` (fewer when the buffer holds fewer), oldest first.
  recent(c, count) {
    const n = Math.min(count, this.size);
    const out = new Float32Array(n);
    const column = this.columns[c];
    for (let i = 0; i < n; i += 1) out[i] = column[(this.next - n + i + this.capacity) % this.capacity];
    return out;
  }

  // [times, channel 1 samples, channel 2 samples, ...], oldest row first.
  series() {
    const first = (this.next - this.size + this.capacity) % this.capacity;
    const firstIndex = this.total - this.size;
    const times = new Array(this.size);
    const columns = this.columns.map(() => new Array(this.size));
    for (let i = 0; i < this.size; i += 1) {
      const at = (first + i) % this.capacity;
      times[i] = (firstIndex + i) / PREVIEW_ROWS_PER_SECOND;
      for (let c = 0; c < this.channels; c += 1) columns[c][i] = this.columns[c][at];
    }
    return [times, ...columns];
  }
}
