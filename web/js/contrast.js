// Colour contrast as the web's accessibility guidelines measure it: relative
// luminance of sRGB colours and the ratio between two of them (1 to 21).
// Normal text needs 4.5:1, large text and the parts of controls 3:1. Pure
// functions without imports, so a test can also run them inside a page.

// [r, g, b, alpha] (0-255, alpha 0-1) of "#rgb", "#rrggbb", "rgb(...)" or
// "rgba(...)"; null for anything else.
export function parseColour(text) {
  const t = String(text).trim().toLowerCase();
  let m = /^#([0-9a-f]{3})$/.exec(t);
  if (m) return [...m[1]].map((h) => parseInt(h + h, 16)).concat(1);
  m = /^#([0-9a-f]{6})$/.exec(t);
  if (m) return [0, 2, 4].map((i) => parseInt(m[1].slice(i, i + 2), 16)).concat(1);
  m = /^rgba?\(\s*([\d.]+)[,\s]+([\d.]+)[,\s]+([\d.]+)(?:\s*[,/]\s*([\d.]+%?))?\s*\)$/.exec(t);
  if (!m) return null;
  let alpha = 1;
  if (m[4] !== undefined) alpha = m[4].endsWith('%') ? parseFloat(m[4]) / 100 : parseFloat(m[4]);
  return [Number(m[1]), Number(m[2]), Number(m[3]), alpha];
}

// `top` ([r, g, b, alpha]) painted over the opaque `bottom`.
export function blendColour(top, bottom) {
  const a = top[3];
  return [0, 1, 2].map((i) => top[i] * a + bottom[i] * (1 - a)).concat(1);
}

export function relativeLuminance(colour) {
  const linear = colour.slice(0, 3).map((v) => {
    const c = v / 255;
    return c <= 0.04045 ? c / 12.92 : ((c + 0.055) / 1.055) ** 2.4;
  });
  return 0.2126 * linear[0] + 0.7152 * linear[1] + 0.0722 * linear[2];
}

export function contrastRatio(a, b) {
  const [high, low] = [relativeLuminance(a), relativeLuminance(b)].sort((x, y) => y - x);
  return (high + 0.05) / (low + 0.05);
}

// Of `inks`, the one with the highest contrast on `background`.
export function bestInk(background, inks) {
  let best = inks[0];
  for (const ink of inks) {
    if (contrastRatio(parseColour(ink), background) > contrastRatio(parseColour(best), background))
      best = ink;
  }
  return best;
}
