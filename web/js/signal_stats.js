// How each channel's signal looks to a person judging the electrodes: its
// level of activity, and whether it is flat (an electrode that lost contact
// reads one value), saturated (the signal hits the ends of the 0-255 range)
// or noisy (it moves far more than the others while the hand rests).
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

// At rest, a channel this active (and NOISY_RATIO times the typical channel) is noisy.
export const NOISY_LEVEL = 8;
export const NOISY_RATIO = 3;

// 'saturated', 'flat', 'noisy' or null for a channel's stats over its last
// second. `restLevel`, the typical level of all channels while the hand
// rests, is given only when the hand is meant to rest (the signal check).
export function channelFlag(stats, restLevel = null) {
  if (!stats) return null;
  if (stats.clipped >= SATURATED_SHARE) return 'saturated';
  if (stats.span <= FLAT_SPAN) return 'flat';
  if (restLevel !== null && stats.level >= NOISY_LEVEL && stats.level >= NOISY_RATIO * restLevel)
    return 'noisy';
  return null;
}

// The median of the channels' levels.
export function typicalLevel(statsList) {
  const levels = statsList
    .filter(Boolean)
    .map((s) => s.level)
    .sort((a, b) => a - b);
  if (levels.length === 0) return 0;
  const mid = levels.length >> 1;
  return levels.length % 2 ? levels[mid] : (levels[mid - 1] + levels[mid]) / 2;
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
