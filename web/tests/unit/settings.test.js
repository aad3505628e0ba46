import assert from 'node:assert/strict';
import { describe, test } from 'node:test';
import {
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
  test('names and masks survive a save and a load', () => {
    const storage = memoryStorage();
    const settings = defaultSettings();
    settings.names[0] = 'Fist';
    settings.names[2] = 'Open hand';
    settings.channelMask = 0x0f;
    settings.gestureMask = 0x05;
    assert.equal(saveSettings(storage, settings), true);
    assert.deepEqual(loadSettings(storage), settings);
  });

  test('nothing saved, unreadable text or a storage that throws all give the defaults', () => {
    assert.deepEqual(loadSettings(memoryStorage()), defaultSettings());
    assert.deepEqual(loadSettings(memoryStorage({ [STORAGE_KEY]: '{not json' })), defaultSettings());
    assert.deepEqual(
      loadSettings({
        getItem: () => {
          throw new Error('denied');
        },
      }),
      defaultSettings(),
    );
    assert.deepEqual(loadSettings(null), defaultSettings());
  });

  test('saved values out of range are ignored one by one', () => {
    const storage = memoryStorage({
      [STORAGE_KEY]: JSON.stringify({ names: ['A', 7, 'C'], channelMask: 300, gestureMask: 0x81 }),
    });
    const loaded = loadSettings(storage);
    assert.deepEqual(loaded.names.slice(0, 3), ['A', '', 'C']);
    assert.equal(loaded.channelMask, defaultSettings().channelMask);
    assert.equal(loaded.gestureMask, 0x81);
  });

  test('names lose control characters and are capped in length', () => {
    const long = 'x'.repeat(MAX_NAME_LENGTH + 10);
    const storage = memoryStorage({ [STORAGE_KEY]: JSON.stringify({ names: ['Fi\nst\u0000', long] }) });
    const loaded = loadSettings(storage);
    assert.equal(loaded.names[0], 'Fist');
    assert.equal(loaded.names[1].length, MAX_NAME_LENGTH);
  });

  test('a full storage does not break saving', () => {
    const full = {
      getItem: () => null,
      setItem: () => {
        throw new Error('quota');
      },
    };
    assert.equal(saveSettings(full, defaultSettings()), false);
  });

  test('a slot without a typed name is called by its number', () => {
    const settings = defaultSettings();
    settings.names[1] = '   ';
    settings.names[2] = ' Pinch ';
    assert.equal(gestureName(settings, 2), 'Gesture 2');
    assert.equal(gestureName(settings, 3), 'Pinch');
  });
});
