// The live chart of the preview signal: the last five seconds of every
// streamed channel, redrawn at most once per animation frame. Drawn with the
// uPlot library (the global `uPlot` from /vendor/uPlot.iife.min.js).
//
// The chart's element carries what it has drawn, for people and tests alike:
// data-samples, the rows received since the chart last started afresh, and
// data-points, the rows on screen.
import { PREVIEW_ROWS_PER_SECOND, SignalBuffer } from './signal_buffer.js';

const WINDOW_SECONDS = 5;
const COLOURS = ['#2f5d8a', '#c0392b', '#2e7d4f', '#8e44ad', '#d35400', '#16a085', '#7f8c8d', '#b7950b'];

export function createSignalPlot(host, countNode) {
  const buffer = new SignalBuffer(Math.ceil(WINDOW_SECONDS * PREVIEW_ROWS_PER_SECOND));
  let chart = null;
  let channelNumbers = [];
  let pending = false;

  function build(channels) {
    chart?.destroy();
    const series = [{ label: 'Time (s)' }];
    for (let c = 0; c < channels; c += 1) {
      const label = channelNumbers[c] ? `Ch ${channelNumbers[c]}` : `Ch ${c + 1}`;
      series.push({ label, stroke: COLOURS[c % COLOURS.length], width: 1, points: { show: false } });
    }
    const width = Math.max(280, host.clientWidth);
    chart = new globalThis.uPlot(
      {
        width,
        height: 240,
        series,
        scales: { x: { time: false }, y: { range: [0, 255] } },
        axes: [{ label: 'seconds', size: 40 }, { size: 40 }],
        legend: { live: false },
        cursor: { show: false },
      },
      [[], ...Array.from({ length: channels }, () => [])],
      host,
    );
  }

  function draw() {
    pending = false;
    if (buffer.channels === 0) return;
    if (!chart || chart.series.length !== buffer.channels + 1) build(buffer.channels);
    chart.setData(buffer.series());
    host.dataset.samples = String(buffer.total);
    host.dataset.points = String(chart.data[0].length);
    countNode.textContent = `${buffer.total} samples per channel`;
  }

  new ResizeObserver(() => {
    if (chart) chart.setSize({ width: Math.max(280, host.clientWidth), height: 240 });
  }).observe(host);

  return {
    // A new recording: the chart starts afresh, labelled with `channels` (1-based numbers).
    restart(channels) {
      channelNumbers = channels;
      buffer.reset(0);
      chart?.destroy();
      chart = null;
      host.dataset.samples = '0';
      host.dataset.points = '0';
    },
    add(rows) {
      for (const row of rows) buffer.push(row);
      if (!pending) {
        pending = true;
        requestAnimationFrame(draw);
      }
    },
  };
}
