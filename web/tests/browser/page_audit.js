// An accessibility check of the page as it stands, in the spirit of axe but
// small and our own: every control has a name and no two visible buttons share
// one, progress bars and meters are labelled, text keeps WCAG AA contrast on
// what lies behind it, outcomes are live regions, and touch targets are at
// least 24 px. auditPage runs inside the page (through page.evaluate, with the
// contrast functions of web/js/contrast.js beside it) and returns the problems
// found, as words.
import * as contrast from '../../js/contrast.js';

// The source to evaluate in the page: the contrast functions, then the audit.
export function auditSource() {
  const helpers = Object.values(contrast)
    .map((f) => f.toString())
    .join('\n');
  return `(() => {\n${helpers}\nreturn (${auditPage.toString()})();\n})()`;
}

// Runs in the page. Uses parseColour, blendColour and contrastRatio.
function auditPage() {
  const problems = [];
  const visible = (node) => {
    if (!(node instanceof Element)) return false;
    if (node.closest('[hidden], [aria-hidden="true"]')) return false;
    const box = node.getBoundingClientRect();
    const style = getComputedStyle(node);
    return box.width > 0 && box.height > 0 && style.visibility !== 'hidden' && style.display !== 'none';
  };
  const describe = (node) =>
    `${node.tagName.toLowerCase()}${node.id ? `#${node.id}` : ''}${node.className && typeof node.className === 'string' ? `.${node.className.split(' ')[0]}` : ''}`;
  const text = (node) => (node?.textContent ?? '').replace(/\s+/g, ' ').trim();

  function accessibleName(node) {
    const label = node.getAttribute('aria-label');
    if (label?.trim()) return label.trim();
    const by = node.getAttribute('aria-labelledby');
    if (by)
      return by
        .split(' ')
        .map((id) => text(document.getElementById(id)))
        .join(' ')
        .trim();
    if (node.id) {
      const forLabel = document.querySelector(`label[for="${node.id}"]`);
      if (forLabel && text(forLabel)) return text(forLabel);
    }
    const wrapping = node.closest('label');
    if (wrapping && text(wrapping)) return text(wrapping);
    if (['BUTTON', 'SUMMARY', 'A'].includes(node.tagName)) return text(node);
    return (node.getAttribute('title') ?? '').trim();
  }

  // Names.
  const controls = [
    ...document.querySelectorAll(
      'button, input, select, textarea, summary, a[href], [role="progressbar"], [role="meter"]',
    ),
  ].filter(visible);
  const buttonNames = new Map();
  for (const node of controls) {
    const name = accessibleName(node);
    if (!name) problems.push(`${describe(node)} has no accessible name`);
    if (node.tagName === 'BUTTON' && !node.disabled && name) {
      const key = name.toLowerCase();
      buttonNames.set(key, [...(buttonNames.get(key) ?? []), describe(node)]);
    }
    if (node.tagName === 'BUTTON' || (node.tagName === 'INPUT' && node.type === 'checkbox')) {
      const target = node.tagName === 'INPUT' ? (node.closest('label') ?? node) : node;
      const box = target.getBoundingClientRect();
      if (box.width < 24 || box.height < 24)
        problems.push(
          `${describe(node)} is a target of ${Math.round(box.width)}×${Math.round(box.height)} px`,
        );
    }
  }
  for (const [name, nodes] of buttonNames)
    if (nodes.length > 1) problems.push(`${nodes.length} buttons are all called "${name}"`);
  for (const image of document.querySelectorAll('img'))
    if (!image.hasAttribute('alt')) problems.push(`${describe(image)} has no alt text`);

  // Live regions: every outcome and the next step are announced.
  for (const node of document.querySelectorAll('.outcome, #next-step, #cue-word, #identified-gesture')) {
    const live =
      node.getAttribute('aria-live') ?? { status: 'polite', alert: 'assertive' }[node.getAttribute('role')];
    if (!live || live === 'off') problems.push(`${describe(node)} is not a live region`);
  }

  // Contrast of text against the colours behind it.
  function backgroundBehind(node) {
    const layers = [];
    for (let at = node; at; at = at.parentElement) {
      const colour = parseColour(getComputedStyle(at).backgroundColor);
      if (colour && colour[3] > 0) {
        layers.push(colour);
        if (colour[3] >= 1) break;
      }
    }
    let result = [255, 255, 255, 1];
    for (const layer of layers.reverse()) result = blendColour(layer, result);
    return result;
  }
  const walker = document.createTreeWalker(document.body, NodeFilter.SHOW_TEXT);
  const checked = new Set();
  for (let node = walker.nextNode(); node; node = walker.nextNode()) {
    const element = node.parentElement;
    if (!node.textContent.trim() || checked.has(element) || !visible(element)) continue;
    checked.add(element);
    if (element.closest('button:disabled, input:disabled, [aria-disabled="true"]')) continue; // exempt
    const style = getComputedStyle(element);
    const ink = parseColour(style.color);
    if (!ink) continue;
    const ground = backgroundBehind(element);
    const ratio = contrastRatio(blendColour(ink, ground), ground);
    const size = parseFloat(style.fontSize);
    const large = size >= 24 || (size >= 18.66 && Number(style.fontWeight) >= 700);
    const needed = large ? 3 : 4.5;
    if (ratio < needed)
      problems.push(
        `${describe(element)} "${text(element).slice(0, 30)}" has contrast ${ratio.toFixed(2)} (needs ${needed})`,
      );
  }
  return problems;
}

// The focus ring of the element focused now: its outline and its contrast on
// what lies behind it. Runs in the page with the contrast functions.
export function focusRingSource() {
  const helpers = Object.values(contrast)
    .map((f) => f.toString())
    .join('\n');
  return `(() => {\n${helpers}\nreturn (${focusRing.toString()})();\n})()`;
}

function focusRing() {
  const node = document.activeElement;
  if (!node || node === document.body) return null;
  const style = getComputedStyle(node);
  let ground = [255, 255, 255, 1];
  for (let at = node.parentElement; at; at = at.parentElement) {
    const colour = parseColour(getComputedStyle(at).backgroundColor);
    if (colour && colour[3] >= 1) {
      ground = colour;
      break;
    }
  }
  const ring = parseColour(style.outlineColor) ?? [0, 0, 0, 0];
  return {
    element: `${node.tagName.toLowerCase()}${node.id ? `#${node.id}` : ''}`,
    style: style.outlineStyle,
    width: parseFloat(style.outlineWidth),
    contrast: contrastRatio(blendColour(ring, ground), ground),
  };
}
