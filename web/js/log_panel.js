// The message log, folded away by default: what the page sent and what the
// server answered, each in words with its bytes; the newest on top, the last
// 200 kept.
import { byId, clockTime, el } from './dom.js';
import { hexDump } from './protocol.js';

const KEEP = 200;
const arrows = { out: '→', in: '←', note: '•' };

export function createLogPanel(session) {
  const list = byId('log');
  function add(event) {
    const words = el('span', { class: 'words', text: event.words });
    if (event.bytes) words.append(el('span', { class: 'bytes', text: hexDump(event.bytes) }));
    const item = el(
      'li',
      { 'data-direction': event.direction, 'data-level': event.level ?? 'info' },
      el('span', { class: 'time', text: clockTime(event.at ?? Date.now()) }),
      el('span', { class: 'arrow', text: arrows[event.direction] ?? '•', 'aria-hidden': 'true' }),
      words,
    );
    list.prepend(item);
    while (list.childElementCount > KEEP) list.lastElementChild.remove();
  }
  session.subscribe((event) => {
    if (event.type === 'log') add(event);
  });
  return { note: (words, level = 'info') => add({ direction: 'note', words, level }) };
}
