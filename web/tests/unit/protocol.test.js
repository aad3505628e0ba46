import assert from 'node:assert/strict';
import { describe, test } from 'node:test';
import {
  armbandGestureName,
  bitsOf,
  describeIncoming,
  frames,
  generateWords,
  maskOf,
  parsePreview,
  parseVersions,
  Status,
  statusName,
  uploadWords,
  configWords,
} from '../../js/protocol.js';

describe('command frames', () => {
  test('each command is its code followed by exactly its arguments', () => {
    assert.deepEqual(Array.from(frames.scan()), [0x02, 0x00]);
    assert.deepEqual(Array.from(frames.setEmgConfig(0xff, 0x15)), [0x05, 0xff, 0x15]);
    assert.deepEqual(Array.from(frames.startRecord(3)), [0x06, 0x03]);
    for (const [make, code] of [
      [frames.ping, 0x01],
      [frames.connect, 0x03],
      [frames.disconnect, 0x04],
      [frames.stopRecord, 0x07],
      [frames.startIdentify, 0x08],
      [frames.stopIdentify, 0x09],
      [frames.generateModel, 0x0a],
      [frames.uploadModel, 0x0c],
      [frames.startGestureStream, 0x10],
      [frames.stopGestureStream, 0x11],
      [frames.getVersion, 0x30],
    ]) {
      assert.deepEqual(Array.from(make()), [code]);
    }
  });

  test('masks and the slot numbers they select convert both ways', () => {
    assert.deepEqual(bitsOf(0x15), [1, 3, 5]);
    assert.deepEqual(bitsOf(0x80), [8]);
    assert.equal(maskOf([1, 3, 5]), 0x15);
    assert.equal(maskOf([0, 9, 2.5, 8]), 0x80);
  });
});

describe('reading what the server sends', () => {
  test('the version answer splits into server, firmware and hardware, unknown ones as null', () => {
    const bytes = Uint8Array.from('0000.005.002/---.---.---/001.000.007', (c) => c.charCodeAt(0));
    assert.deepEqual(parseVersions(bytes), {
      server: '000.005.002',
      firmware: null,
      hardware: '001.000.007',
    });
    assert.equal(parseVersions(Uint8Array.of(0x30, 0x41)), null);
  });

  test('a preview frame is four rows of one sample per channel in channel order', () => {
    const frame = Uint8Array.of(0x07, ...Array.from({ length: 32 }, (_, i) => i));
    const preview = parsePreview(frame);
    assert.equal(preview.channels, 8);
    assert.deepEqual(Array.from(preview.rows[3]), [24, 25, 26, 27, 28, 29, 30, 31]);
    assert.equal(parsePreview(Uint8Array.of(0x07, 1, 2, 3, 4, 5)), null);
    assert.equal(parsePreview(Uint8Array.of(0x07)), null);
  });

  test('armband gestures carry their names, unnamed bytes their number', () => {
    assert.equal(armbandGestureName(0), 'Relax');
    assert.equal(armbandGestureName(6), 'Shoot');
    assert.equal(armbandGestureName(7), 'UserDefine1');
    assert.equal(armbandGestureName(15), 'UserDefine9');
    assert.equal(armbandGestureName(200), 'unnamed gesture 200');
  });
});

describe('status bytes in words', () => {
  test('every status byte has a name of its own', () => {
    const names = Object.values(Status).map(statusName);
    assert.equal(new Set(names).size, names.length);
    for (const name of names) assert.doesNotMatch(name, /^status 0x/);
    assert.equal(statusName(0x42), 'status 0x42');
  });

  test('each outcome of configuration, generation and upload reads differently', () => {
    const config = [0x00, 0xf0, 0xf1, 0xf2, 0xff].map(configWords);
    assert.equal(new Set(config).size, config.length);
    const generation = [[0x00], [0xee], [0xff], [0xff, 0xee], [0xff, 0xff], [0xff, 0x00]].map(generateWords);
    assert.equal(new Set(generation).size, generation.length);
    const upload = [0x00, 0xf0, 0xff, 0xee, 0xef, 0xfd].map(uploadWords);
    assert.equal(new Set(upload).size, upload.length);
  });

  test('a message the page does not know is described by its code', () => {
    assert.match(describeIncoming([0x42, 0x00]), /0x42/);
    assert.match(describeIncoming([0x06]), /too short/);
  });
});
