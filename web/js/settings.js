// The channels and gesture slots a person ticked, kept in the browser's local
// storage until the server holds a configuration of its own (the server's
// wins). Gesture names are the server's and are not kept here. `storage` is
// anything with getItem and setItem (localStorage, or a stand-in in tests); a
// storage that is missing, full or refuses access only means the choice is not
// remembered.
import { CHANNELS, GESTURE_SLOTS } from './protocol.js';

export const STORAGE_KEY = 'quillon.settings.v1';
export const MAX_NAME_LENGTH = 40;

export function defaultSettings() {
  return { channelMask: 0xff, gestureMask: 0x03 };
}

// The name shown for gesture slot n (1-based) from eight names.
export function gestureName(names, slot) {
  const typed = names?.[slot - 1]?.trim();
  return typed ? typed : `Gesture ${slot}`;
}

export function cleanName(text) {
  return String(text)
    .replace(/[\u0000-\u001f\u007f]/g, '')
    .slice(0, MAX_NAME_LENGTH);
}

function isMask(value) {
  return Number.isInteger(value) && value >= 0 && value <= 0xff;
}

export function loadSettings(storage) {
  const settings = defaultSettings();
  let saved = null;
  try {
    saved = JSON.parse(storage?.getItem(STORAGE_KEY) ?? 'null');
  } catch {
    return settings; // unreadable or unparseable: start afresh
  }
  if (!saved || typeof saved !== 'object') return settings;
  if (isMask(saved.channelMask)) settings.channelMask = saved.channelMask;
  if (isMask(saved.gestureMask)) settings.gestureMask = saved.gestureMask;
  return settings;
}

export function saveSettings(storage, settings) {
  try {
    storage?.setItem(
      STORAGE_KEY,
      JSON.stringify({ channelMask: settings.channelMask, gestureMask: settings.gestureMask }),
    );
    return true;
  } catch {
    return false;
  }
}

export { CHANNELS, GESTURE_SLOTS };

// The recording this page started, kept in the tab's session storage so that
// the page knows its own window again after a reload: {slot, at} (at: ms
// since 1970). A memory older than a window's length (plus room for a slow
// save) is forgotten.
export const RECORDING_KEY = 'quillon.recording.v1';
const REMEMBER_MS = 120000;

export function recordingMemory(storage, now = () => Date.now()) {
  return {
    load() {
      try {
        const saved = JSON.parse(storage?.getItem(RECORDING_KEY) ?? 'null');
        const fresh = Number.isFinite(saved?.at) && now() - saved.at < REMEMBER_MS;
        return fresh && Number.isInteger(saved.slot) ? { slot: saved.slot, at: saved.at } : null;
      } catch {
        return null;
      }
    },
    save(value) {
      try {
        storage?.setItem(RECORDING_KEY, JSON.stringify(value));
      } catch {
        // not remembered: after a reload the window shows as another page's
      }
    },
    clear() {
      try {
        storage?.removeItem(RECORDING_KEY);
      } catch {
        // nothing to forget
      }
    },
  };
}
