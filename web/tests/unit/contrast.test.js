import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { describe, test } from 'node:test';
import { blendColour, contrastRatio, parseColour } from '../../js/contrast.js';

const near = (a, b) => assert(Math.abs(a - b) < 0.01, `${a} is not ${b}`);

describe('colour contrast', () => {
  test('is measured as the guidelines measure it', () => {
    near(contrastRatio(parseColour('#000'), parseColour('#ffffff')), 21);
    near(contrastRatio(parseColour('#777777'), parseColour('#fff')), 4.48);
    near(contrastRatio(parseColour('rgb(47, 93, 138)'), [255, 255, 255, 1]), 6.88);
    assert.deepEqual(parseColour('rgba(0, 0, 0, 0.5)'), [0, 0, 0, 0.5]);
    assert.deepEqual(blendColour([0, 0, 0, 0.5], [255, 255, 255, 1]), [127.5, 127.5, 127.5, 1]);
    assert.equal(parseColour('transparent'), null);
  });

  test("the page's text colours meet AA on its card and background colours, and the focus ring 3:1", () => {
    const css = readFileSync(new URL('../../style.css', import.meta.url), 'utf8');
    const colour = (name) => parseColour(new RegExp(`--${name}:\\s*([^;]+);`).exec(css)[1]);
    for (const ink of ['ink', 'muted', 'accent', 'good', 'bad', 'warn']) {
      for (const ground of ['card', 'bg']) {
        assert(contrastRatio(colour(ink), colour(ground)) >= 4.5, `${ink} on ${ground}`);
      }
    }
    assert(contrastRatio(colour('good'), colour('good-bg')) >= 4.5);
    assert(contrastRatio(colour('bad'), colour('bad-bg')) >= 4.5);
    assert(contrastRatio(colour('accent-ink'), colour('accent')) >= 4.5);
    assert(
      contrastRatio(colour('focus'), colour('bg')) >= 3 &&
        contrastRatio(colour('focus'), colour('accent')) >= 1.5,
    );
  });
});
