// The signal, one strip per streamed channel, each on its own scale (shown
// beside it) over a time axis, with a level bar and a flag for a flat,
// saturated or noisy channel: live during a recording or a signal check (the
// server streams the signal on request while idle or identifying; the last
// five seconds), or the last window of a recording read back from the server
// for review, with the cue's hold phases shaded.
//
// The strips' element carries what it shows, for people and tests alike:
// data-mode ('live' or 'review'), data-source ('recording' or 'check'),
// data-samples (rows received since the window or the check began) and
// data-flags ("3:flat 5:saturated").
import { cuePhases } from './cue_schedule.js';
import { byId, el, setButton, setText } from './dom.js';
import { bitsOf, FRAMES_PER_SECOND, RECORD_WINDOW_MS } from './protocol.js';
import { lastFramesOfCsv, windowFrames } from './review_window.js';
import { PREVIEW_ROWS_PER_SECOND, SignalBuffer } from './signal_buffer.js';
import { channelFlag, channelStats, levelFraction, stripRange, typicalLevel } from './signal_stats.js';

const LIVE_SECONDS = 5;
const STRIP_HEIGHT = 24;
const INK = '#1d4f7c';
const HOLD_SHADE = 'rgba(47, 93, 138, 0.13)';
const flagWords = {
  flat: (n) => `Ch ${n} is flat: check that its electrode touches the skin.`,
  saturated: (n) => `Ch ${n} is saturated: the signal hits its limits; loosen or move the armband.`,
  noisy: (n) =>
    `Ch ${n} is noisy: it moves far more than the others while the hand rests; check its electrode.`,
};

export function createSignalPanel({ session, fetchText }) {
  const host = byId('signal-plot');
  const count = byId('plot-count');
  const summary = byId('signal-summary');
  const title = byId('signal-title');
  const close = byId('review-close');
  const check = byId('signal-check');
  const axis = byId('signal-axis');
  const ticks = [...axis.querySelectorAll('.ticks span')];
  const buffer = new SignalBuffer(Math.ceil(LIVE_SECONDS * PREVIEW_ROWS_PER_SECOND));
  let rows = []; // per shown channel: {number, canvas, scale, level, fill, flag}
  let review = null; // {slot, channels, columns} while reviewing
  let source = 'recording'; // where the live rows come from: 'recording' or 'check'
  let checkEnded = true; // the next check starts the strips afresh
  let pending = false;
  let shownFlags = '';

  check.addEventListener('click', () =>
    session.state.preview.phase === 'off' ? session.startPreview() : session.stopPreview(),
  );

  function build(channelNumbers) {
    rows = channelNumbers.map((number) => {
      const canvas = el('canvas', { height: STRIP_HEIGHT, 'aria-hidden': 'true' });
      const fill = el('div', { class: 'fill' });
      const level = el(
        'div',
        {
          class: 'level',
          role: 'meter',
          'aria-label': `Channel ${number} level`,
          'aria-valuemin': 0,
          'aria-valuemax': 100,
          'aria-valuenow': 0,
        },
        fill,
      );
      const scale = el('span', { class: 'scale' });
      const flag = el('span', { class: 'flag' });
      host.append(
        el(
          'div',
          { class: 'strip', 'data-channel': number },
          el('span', { class: 'ch', text: `Ch ${number}` }),
          canvas,
          scale,
          level,
          flag,
        ),
      );
      return { number, canvas, scale, level, fill, flag };
    });
  }

  function layout(channelNumbers) {
    if (rows.length === channelNumbers.length && rows.every((r, i) => r.number === channelNumbers[i])) return;
    host.replaceChildren();
    build(channelNumbers);
  }

  // The time axis under the strips: its three labels, left to right.
  function showAxis(labels) {
    axis.hidden = labels === null;
    if (labels) labels.forEach((text, i) => setText(ticks[i], text));
  }

  // Draws `samples` in `canvas` on its own scale, as a min-max band per pixel column.
  function drawStrip(row, samples, stats, shade) {
    const { canvas } = row;
    const width = Math.max(1, Math.round(canvas.clientWidth * devicePixelRatio));
    const height = Math.round(STRIP_HEIGHT * devicePixelRatio);
    if (canvas.width !== width || canvas.height !== height) Object.assign(canvas, { width, height });
    const g = canvas.getContext('2d');
    g.clearRect(0, 0, width, height);
    if (shade) {
      g.fillStyle = HOLD_SHADE;
      for (const [from, to] of shade) g.fillRect(from * width, 0, (to - from) * width, height);
    }
    const [low, high] = stripRange(stats);
    setText(row.scale, stats ? `±${Math.round((high - low) / 2)}` : '');
    row.scale.title = stats ? `The strip spans ${Math.round(low)} to ${Math.round(high)} of 0–255` : '';
    if (samples.length === 0) return;
    const y = (v) => height - 1 - ((v - low) / (high - low)) * (height - 2);
    g.strokeStyle = INK;
    g.lineWidth = Math.max(1, devicePixelRatio);
    g.beginPath();
    const perColumn = samples.length / width;
    for (let x = 0; x < width; x += 1) {
      const from = Math.floor(x * perColumn);
      const to = Math.max(from + 1, Math.floor((x + 1) * perColumn));
      if (from >= samples.length) break;
      let lo = Infinity;
      let hi = -Infinity;
      for (let i = from; i < Math.min(to, samples.length); i += 1) {
        lo = Math.min(lo, samples[i]);
        hi = Math.max(hi, samples[i]);
      }
      g.moveTo(x + 0.5, y(hi) - 0.5);
      g.lineTo(x + 0.5, y(lo) + 0.5);
    }
    g.stroke();
  }

  function showLevel(row, stats, flag) {
    const percent = Math.round(levelFraction(stats?.level ?? 0) * 100);
    row.level.setAttribute('aria-valuenow', String(percent));
    row.fill.style.width = `${percent}%`;
    setText(row.flag, flag ?? '');
    row.flag.dataset.flag = flag ?? '';
  }

  function showFlags(flags, resting) {
    const text = flags.map(([n, f]) => `${n}:${f}`).join(' ');
    host.dataset.flags = text;
    const key = `${text}|${resting}|${rows.length}`;
    if (key === shownFlags) return;
    shownFlags = key;
    if (flags.length > 0) setText(summary, flags.map(([n, f]) => flagWords[f](n)).join(' '));
    else if (resting)
      setText(summary, 'Relax your hand: every channel should show a small, steady signal. None is flagged.');
    else setText(summary, rows.length ? 'Every channel shows a signal.' : '');
  }

  // What the strips show, in words: live or not, and how long a signal.
  function countWords() {
    if (!buffer.total)
      return session.state.preview.phase === 'on' ? 'waiting for the signal…' : 'no signal yet';
    const seconds = `${(buffer.total / PREVIEW_ROWS_PER_SECOND).toFixed(1)} s`;
    const live =
      source === 'check' ? session.state.preview.phase === 'on' : session.state.recording.phase !== 'idle';
    if (source === 'check') return live ? `live check · ${seconds}` : `end of the last check · ${seconds}`;
    return live ? `live · ${seconds} of the window` : `end of the last recording · ${seconds}`;
  }

  function drawLive() {
    pending = false;
    if (review || buffer.channels === 0) return;
    // Noise is judged only where the hand is meant to rest: a check while idle.
    const resting =
      source === 'check' && session.state.mode === 'idle' && session.state.preview.phase === 'on';
    const second = Math.round(PREVIEW_ROWS_PER_SECOND);
    const lastSecond = rows.map((row, c) =>
      c < buffer.channels ? channelStats(buffer.recent(c, second)) : null,
    );
    const restLevel = resting ? typicalLevel(lastSecond) : null;
    const flags = [];
    rows.forEach((row, c) => {
      if (c >= buffer.channels) return;
      const visible = buffer.recent(c, buffer.capacity);
      const flag = buffer.size >= second / 2 ? channelFlag(lastSecond[c], restLevel) : null;
      if (flag) flags.push([row.number, flag]);
      drawStrip(row, visible, channelStats(visible));
      showLevel(row, channelStats(buffer.recent(c, Math.round(second / 2))), flag);
    });
    showFlags(flags, resting);
    showAxis([`−${LIVE_SECONDS} s`, `−${LIVE_SECONDS / 2} s`, 'now']);
    host.dataset.samples = String(buffer.total);
    setText(count, countWords());
  }

  function drawReview() {
    const { channels, columns, slot } = review;
    layout(channels);
    const seconds = columns[0]?.length / FRAMES_PER_SECOND || 0;
    const shade = cuePhases()
      .filter((p) => p.kind === 'hold')
      .map((p) => [p.from / (seconds * 1000), Math.min(1, p.to / (seconds * 1000))]);
    const flags = [];
    rows.forEach((row, c) => {
      const stats = channelStats(columns[c]);
      const flag = channelFlag(stats);
      if (flag) flags.push([row.number, flag]);
      drawStrip(row, columns[c], stats, seconds * 1000 >= RECORD_WINDOW_MS / 2 ? shade : null);
      showLevel(row, stats, flag);
    });
    showFlags(flags, false);
    showAxis(['0 s', `${(seconds / 2).toFixed(0)} s`, `${seconds.toFixed(0)} s`]);
    setText(count, `${seconds.toFixed(1)} s; shaded: the cue said hold`);
    setText(title, `Review: ${session.nameOf(slot)}, last window`);
  }

  function schedule() {
    if (pending) return;
    pending = true;
    requestAnimationFrame(drawLive);
  }

  function endReview() {
    review = null;
    host.dataset.mode = 'live';
    close.hidden = true;
    setText(title, 'Signal');
    setText(count, countWords());
    schedule();
  }
  close.addEventListener('click', endReview);

  // Live rows from a new source (a window opens, a check begins) start the strips afresh.
  function begin(newSource) {
    if (review) endReview();
    source = newSource;
    host.dataset.source = newSource;
    buffer.reset(0);
    host.dataset.samples = '0';
    const mask = session.state.config.server?.channelMask ?? session.state.selection.channelMask;
    layout(bitsOf(mask));
  }

  session.subscribe((event) => {
    if (event.type === 'window-start') {
      begin('recording');
    } else if (event.type === 'preview') {
      const from = event.check ? 'check' : 'recording';
      if (from !== source || (from === 'check' && session.state.preview.phase === 'on' && checkEnded)) {
        begin(from);
        checkEnded = false;
      }
      if (buffer.channels !== event.channels && rows.length !== event.channels)
        layout(Array.from({ length: event.channels }, (_, i) => i + 1));
      for (const row of event.rows) buffer.push(row);
      schedule();
    }
  });
  new ResizeObserver(() => (review ? drawReview() : schedule())).observe(host);

  return {
    // Shows the last window of gesture `slot`, read from the server.
    async review(slot) {
      const entry = session.state.recordings?.[slot];
      if (!entry?.lastWindow) return;
      host.dataset.mode = 'loading';
      setText(count, 'reading the recording…');
      const text = await fetchText(`/api/recordings/${slot}.csv`);
      const window = lastFramesOfCsv(text ?? '', windowFrames(entry.lastWindow));
      if (!window || window.columns[0]?.length === 0) {
        host.dataset.mode = 'live';
        setText(
          count,
          'The recording could not be read for review (recordings over 4 MiB are not exported).',
        );
        return;
      }
      review = { slot, ...window };
      host.dataset.mode = 'review';
      close.hidden = false;
      drawReview();
      host.scrollIntoView({ block: 'nearest' });
    },
    render(state, actions) {
      if (rows.length === 0 && state.config.server) layout(bitsOf(state.config.server.channelMask));
      const p = state.preview;
      if (p.phase === 'off') checkEnded = true;
      const on = p.phase === 'on' || p.phase === 'starting';
      check.hidden = !on && !actions.startPreview;
      setText(check, on ? 'Stop the check' : 'Check the signal');
      setButton(
        check,
        on ? actions.stopPreview : actions.startPreview,
        session.isBusy('preview') || session.isBusy('stopPreview'),
      );
      if (p.outcome && !on) setText(summary, p.outcome.words);
      if (!review && host.dataset.mode === 'live') setText(count, countWords());
    },
  };
}
