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
      ['Fist 75\u00a0%', 'Pinch 100\u00a0%'],
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

  test('with classes the matrix has a rest row, and the live figures are told in words', () => {
    const view = evaluationView(
      {
        evaluated: true,
        identifyMode: 'calibrated',
        classes: [
          { gesture: 0, name: 'Rest' },
          { gesture: 1, name: 'Fist' },
        ],
        confusion: [
          [9, 1],
          [2, 8],
        ],
        online: { activeErrorRate: 0.087, instability: 0.21, holdDecisions: 414, errors: 36, missed: 36 },
        mostConfused: { gestures: [1, 4], windows: 12 },
      },
      names,
    );
    assert.deepEqual(
      view.gestures.map((g) => `${g.name} ${g.recallText}`),
      ['Rest 90\u00a0%', 'Fist 80\u00a0%'],
    );
    assert.deepEqual(view.online, [
      'Played back as live identification (calibrated mode): while a gesture was held, 9 % of the answers were not that gesture (36 of 414; 36 of them said no gesture at all).',
      'While a gesture was held, the answer changed about once every 5 s.',
      'Mixed up most often: Fist and Pinch (12 windows).',
    ]);
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
