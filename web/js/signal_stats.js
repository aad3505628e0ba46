// How each channel's signal looks to a person judging the electrodes: its
// level of activity, and whether it is flat (an electrode that lost contact
// reads one value) or saturated (the signal hits the ends of the 0-255 range).
// Pure functions over the most recent samples of one channel.

// A channel whose samples span at most this many counts over a second is flat.
export const FLAT_SPAN = 1;
// A channel with this share of its samples at 0 or 255 is saturated.
export const SATURATED_SHARE = 0.02;
// The mean absolute deviation that fills a level bar.
export const FULL_LEVEL = 40;

// {level: mean absolute deviation from the mean, span: max - min, clipped:
// share of samples at 0 or 255} of `samples`; null when there are none.
export function channelStats(samples) {
  const n = samples.length;
  if (n === 0) return null;
  let sum = 0;
  let low = Infinity;
  let high = -Infinity;
  let clipped = 0;
  for (let i = 0; i < n; i += 1) {
    const v = samples[i];
    sum += v;
    if (v < low) low = v;
    if (v > high) high = v;
    if (v <= 0 || v >= 255) clipped += 1;
  }
  const mean = sum / n;
  let deviation = 0;
  for (let i = 0; i < n; i += 1) deviation += Math.abs(samples[i] - mean);
  return { mean, level: deviation / n, span: high - low, clipped: clipped / n, low, high };
}

// 'saturated', 'flat' or null for a channel's stats over its last second.
export function channelFlag(stats) {
  if (!stats) return null;
  if (stats.clipped >= SATURATED_SHARE) return 'saturated';
  if (stats.span <= FLAT_SPAN) return 'flat';
  return null;
}

// The fraction of a level bar that `level` fills.
export function levelFraction(level) {
  return Math.max(0, Math.min(1, level / FULL_LEVEL));
}

// The vertical range a strip shows for `stats`: centred on the mean, wide
// enough for every sample and never narrower than ±4 counts, so rest noise
// is visible without looking like activity.
export function stripRange(stats) {
  if (!stats) return [0, 255];
  const half = Math.max(4, stats.high - stats.mean, stats.mean - stats.low);
  return [stats.mean - half, stats.mean + half];
}
