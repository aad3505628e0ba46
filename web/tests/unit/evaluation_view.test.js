import assert from 'node:assert/strict';
import { describe, test } from 'node:test';
import { accuracyLine, evaluationView, heatColours } from '../../js/evaluation_view.js';
import { contrastRatio, parseColour } from '../../js/contrast.js';

const names = (slot) => ({ 1: 'Fist', 4: 'Pinch' })[slot] ?? `Gesture ${slot}`;

describe("the model's quality", () => {
  test('the matrix shows each row as shares, with the accuracy, the recall and the names', () => {
    const view = evaluationView(
      {
        evaluated: true,
        accuracy: 0.875,
        windowsTested: 80,
        gestures: [
          { gesture: 1, recall: 0.75 },
          { gesture: 4, recall: 1 },
        ],
        confusion: [
          [30, 10],
          [0, 40],
        ],
        warnings: [
          {
            kind: 'tooFewActiveWindows',
            gestures: [1],
            text: 'Fist has only 20 active windows. Record it again.',
          },
          { kind: 'confused', gestures: [1, 4], text: 'Fist and Pinch are confused.' },
        ],
      },
      names,
    );
    assert.deepEqual(
      view.gestures.map((g) => `${g.name} ${g.recallText}`),
      ['Fist 75 %', 'Pinch 100 %'],
    );
    assert.deepEqual(
      view.rows[0].map((c) => c.share),
      [0.75, 0.25],
    );
    assert.equal(view.rows[1][0].share, 0);
    assert.equal(accuracyLine(view), 'Accuracy 88 % over 80 held-out windows (5-fold cross-validation).');
    // One "Record Fist again" however many warnings name Fist.
    assert.deepEqual(
      view.warnings.map((w) => w.actions.map((a) => a.label)),
      [['Record Fist again'], ['Record Pinch again']],
    );
  });

  test('rest is the first row and column when the server lists the classes', () => {
    const view = evaluationView(
      {
        evaluated: true,
        accuracy: 0.9,
        windowsTested: 30,
        gestures: [{ gesture: 4, recall: 0.8 }],
        classes: [
          { gesture: 0, name: 'Rest', recall: 1 },
          { gesture: 4, name: '', recall: 0.8 },
        ],
        confusion: [
          [10, 0],
          [4, 16],
        ],
      },
      names,
    );
    assert.deepEqual(
      view.classes.map((c) => `${c.name} ${c.recallText}`),
      ['Rest 100 %', 'Pinch 80 %'],
    );
    assert.deepEqual(
      view.rows[1].map((c) => c.share),
      [0.2, 0.8],
    );
  });

  test('an evaluation the server could not make says why', () => {
    const view = evaluationView({ evaluated: false, problem: 'a model needs two to eight gestures' }, names);
    assert.equal(view.ok, false);
    assert.match(accuracyLine(view), /could not be evaluated: a model needs two/);
  });

  test('every heat-map cell keeps its number readable', () => {
    for (let share = 0; share <= 1; share += 0.05) {
      for (const diagonal of [true, false]) {
        const { background, ink } = heatColours(share, diagonal);
        assert(contrastRatio(parseColour(background), parseColour(ink)) >= 4.5, `${share} ${diagonal}`);
      }
    }
  });
});
