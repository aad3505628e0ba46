// The last recording window of a gesture, read back from the server's CSV
// export (a header "time_s,ch1,...", then one line per frame) for review: the
// window is the last `frames` lines. Pure functions.

// The number of frames in a logged window ({bytes, channelMask}).
export function windowFrames(window) {
  let channels = 0;
  for (let bit = 0; bit < 8; bit += 1) if (window.channelMask & (1 << bit)) channels += 1;
  return channels === 0 ? 0 : Math.floor(window.bytes / channels);
}

// {channels: [numbers], columns: [Float32Array per channel]} of the last
// `frames` lines of `csv`; null when the text is not such an export.
export function lastFramesOfCsv(csv, frames) {
  const headerEnd = csv.indexOf('\n');
  if (headerEnd < 0) return null;
  const header = csv.slice(0, headerEnd).trim().split(',');
  if (header[0] !== 'time_s' || header.length < 2) return null;
  const channels = header.slice(1).map((name) => Number(/^ch(\d)$/.exec(name)?.[1]));
  if (channels.some((n) => !Number.isInteger(n))) return null;
  // Walk back from the end to the start of the first wanted line.
  let end = csv.length;
  while (end > headerEnd && (csv[end - 1] === '\n' || csv[end - 1] === '\r')) end -= 1;
  let start = end;
  let lines = 0;
  while (lines < frames && start > headerEnd + 1) {
    const previous = csv.lastIndexOf('\n', start - 2);
    start = previous < headerEnd ? headerEnd + 1 : previous + 1;
    lines += 1;
  }
  const rows = lines === 0 ? [] : csv.slice(start, end).split('\n');
  const columns = channels.map(() => new Float32Array(rows.length));
  rows.forEach((line, i) => {
    const values = line.split(',');
    for (let c = 0; c < channels.length; c += 1) columns[c][i] = Number(values[c + 1]);
  });
  return { channels, columns };
}
