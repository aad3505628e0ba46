import assert from 'node:assert/strict';
import { describe, test } from 'node:test';
import {
  cleanName,
  defaultSettings,
  gestureName,
  loadSettings,
  saveSettings,
  STORAGE_KEY,
  MAX_NAME_LENGTH,
} from '../../js/settings.js';

function memoryStorage(initial = {}) {
  const items = new Map(Object.entries(initial));
  return { getItem: (k) => items.get(k) ?? null, setItem: (k, v) => items.set(k, String(v)), items };
}

describe('remembered choices', () => {
  test('the ticks survive a save and a load; names are not kept in the browser', () => {
    const storage = memoryStorage();
    assert.equal(saveSettings(storage, { channelMask: 0x0f, gestureMask: 0x05, names: ['Fist'] }), true);
    assert.deepEqual(loadSettings(storage), { channelMask: 0x0f, gestureMask: 0x05 });
    assert.doesNotMatch(storage.items.get(STORAGE_KEY), /Fist/);
  });

  test('nothing saved, unreadable text, values out of range or a storage that throws all give the defaults', () => {
    assert.deepEqual(loadSettings(memoryStorage()), defaultSettings());
    assert.deepEqual(loadSettings(memoryStorage({ [STORAGE_KEY]: '{not json' })), defaultSettings());
    const odd = loadSettings(
      memoryStorage({ [STORAGE_KEY]: JSON.stringify({ channelMask: 300, gestureMask: 0x81 }) }),
    );
    assert.deepEqual(odd, { channelMask: defaultSettings().channelMask, gestureMask: 0x81 });
    const denied = {
      getItem: () => {
        throw new Error('denied');
      },
      setItem: () => {
        throw new Error('quota');
      },
    };
    assert.deepEqual(loadSettings(denied), defaultSettings());
    assert.deepEqual(loadSettings(null), defaultSettings());
    assert.equal(saveSettings(denied, defaultSettings()), false);
  });

  test('names lose control characters, are capped in length, and a slot without one is called by its number', () => {
    assert.equal(cleanName('Fi\nst\u0000'), 'Fist');
    assert.equal(cleanName('x'.repeat(MAX_NAME_LENGTH + 10)).length, MAX_NAME_LENGTH);
    const names = ['', '   ', ' Pinch '];
    assert.equal(gestureName(names, 2), 'Gesture 2');
    assert.equal(gestureName(names, 3), 'Pinch');
  });
});
