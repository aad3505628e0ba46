// The live card: the count-in before a recording window, then the large cue
// that guides the wearer (make the gesture, relax) with its countdown, on the
// window's own clock; during identification, the gesture recognised now and a hint to rest
// between gestures. Cue changes go to `onCue(slot, cue)` listeners (the
// virtual wearer can follow them).
import { COUNT_IN_MS } from './answer_handlers.js';
import { cueAt, cueWords } from './cue_schedule.js';
import { byId, setText } from './dom.js';
import { identifiedWords, practiceHint } from './identify_words.js';

export function createCuePanel({ session, now = () => Date.now() }) {
  const cueBox = byId('cue');
  const word = byId('cue-word');
  const count = byId('cue-count');
  const detail = byId('cue-detail');
  const identified = byId('identified');
  const gesture = byId('identified-gesture');
  const hint = byId('practice-hint');
  const idle = byId('live-idle');
  const listeners = new Set();
  let shownCue = null;
  let looping = false;

  // The count-in before the window: "Get ready", 3, 2, 1 on the page's clock.
  function drawCountIn(r) {
    const left = Math.max(1, Math.ceil((COUNT_IN_MS - (now() - r.startedAt)) / 1000));
    if (shownCue?.kind !== 'ready' || shownCue?.slot !== r.slot) {
      shownCue = { kind: 'ready', index: -1, slot: r.slot };
      cueBox.dataset.kind = 'ready';
      cueBox.dataset.index = '-1';
      setText(word, 'Get ready');
      setText(detail, `then make ${session.nameOf(r.slot)} when the cue says so`);
      for (const listener of listeners) listener(r.slot, { kind: 'ready' });
    }
    setText(count, r.phase === 'countIn' ? String(left) : '');
    return true;
  }

  function drawCue() {
    const r = session.state.recording;
    if ((r.phase === 'countIn' || r.phase === 'starting') && r.mine) {
      cueBox.hidden = false;
      return drawCountIn(r);
    }
    const windowOpen = (r.phase === 'running' || r.phase === 'saving') && r.slot !== null;
    cueBox.hidden = !windowOpen;
    if (!windowOpen) {
      if (shownCue !== null) {
        shownCue = null;
        cueBox.dataset.kind = 'none';
        for (const listener of listeners) listener(null, { kind: 'done' });
      }
      return false;
    }
    const elapsed = session.armbandMsSince(r.startedAt, now());
    const cue = cueAt(elapsed);
    const words = cueWords(cue, session.nameOf(r.slot));
    if (shownCue?.index !== cue.index || shownCue?.slot !== r.slot) {
      shownCue = { index: cue.index, slot: r.slot };
      cueBox.dataset.kind = cue.kind;
      cueBox.dataset.index = String(cue.index);
      setText(word, words.word);
      setText(detail, words.detail);
      for (const listener of listeners) listener(r.slot, cue);
    }
    setText(count, cue.kind === 'done' ? '' : String(cue.secondsLeft));
    return true;
  }

  // The cue moves with the window's clock, every animation frame while it is open.
  function loop() {
    looping = drawCue();
    if (looping) requestAnimationFrame(loop);
  }

  return {
    onCue(listener) {
      listeners.add(listener);
    },
    render(state) {
      if (!looping && drawCue()) {
        looping = true;
        requestAnimationFrame(loop);
      }
      const id = state.identify;
      const identifying = id.phase !== 'idle' || state.mode === 'identifying';
      identified.hidden = !identifying || !cueBox.hidden;
      const name = (slot) => session.nameOf(slot);
      setText(gesture, identifiedWords(id, name));
      gesture.dataset.slot = id.current === null ? '' : String(id.current);
      setText(hint, practiceHint(state, name));
      idle.hidden = !cueBox.hidden || !identified.hidden;
    },
  };
}
