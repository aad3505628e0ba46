// Small helpers for building and updating the page. Text always goes in as
// text, never as markup, so names a person types cannot inject anything.
export function byId(id) {
  const found = document.getElementById(id);
  if (!found) throw new Error(`the page has no #${id}`);
  return found;
}

export function el(tag, attributes = {}, ...children) {
  const node = document.createElement(tag);
  for (const [name, value] of Object.entries(attributes)) {
    if (name === 'text') node.textContent = value;
    else if (name.startsWith('on')) node.addEventListener(name.slice(2), value);
    else if (value === true) node.setAttribute(name, '');
    else if (value !== false && value !== null && value !== undefined) node.setAttribute(name, String(value));
  }
  node.append(...children);
  return node;
}

export function setText(node, text) {
  if (node.textContent !== text) node.textContent = text;
}

// Shows `outcome` ({ok, words}) in `node`, or hides it when there is none.
export function showOutcome(node, outcome) {
  node.hidden = !outcome;
  if (!outcome) return;
  setText(node, outcome.words);
  node.dataset.ok = outcome.ok === undefined ? '' : String(outcome.ok);
}

// Back to empty at once; forward smoothly.
export function setProgress(node, fraction) {
  const percent = Math.max(0, Math.min(100, Math.round(fraction * 100)));
  node.setAttribute('aria-valuenow', String(percent));
  const bar = node.querySelector('.bar');
  bar.style.transition = percent === 0 ? 'none' : '';
  bar.style.width = `${percent}%`;
}

export function clockTime(ms) {
  const d = new Date(ms);
  return [d.getHours(), d.getMinutes(), d.getSeconds()].map((n) => String(n).padStart(2, '0')).join(':');
}

// A button that may be busy with a command in flight: disabled either way,
// and marked aria-busy while its answer is awaited.
export function setButton(button, enabled, busy = false) {
  button.disabled = !enabled || busy;
  if (busy) button.setAttribute('aria-busy', 'true');
  else button.removeAttribute('aria-busy');
}
