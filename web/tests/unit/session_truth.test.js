import assert from 'node:assert/strict';
import { describe, test } from 'node:test';
import { availableActions, configMatches } from '../../js/availability.js';
import { activityWarning, recordingSummary } from '../../js/server_truth.js';
import { NAMES_DELAY_MS } from '../../js/session_commands.js';
import {
  makeConfiguredSession,
  makeSession,
  recordingDoc,
  settle,
  statusDoc,
  trainedModel,
} from './session_fixture.js';

describe('what the server holds', () => {
  test('a page that opens shows the armband, configuration, names, model and recordings of the server', async () => {
    const f = await makeSession({
      server: {
        status: statusDoc({
          link: 'connected',
          channelMask: 0x0f,
          gestureMask: 0x05,
          names: ['Fist', '', 'Open hand'],
          model: trainedModel(0x05),
          identifyMode: 'calibrated',
        }),
        recordings: { recordings: [recordingDoc(1, 2), recordingDoc(3, 1, { activity: 'noRest' })] },
      },
    });
    const s = f.state();
    assert.equal(s.link, 'connected');
    assert.equal(s.versions.firmware, '001.004.027');
    assert.deepEqual(s.selection, { channelMask: 0x0f, gestureMask: 0x05 }); // the ticks follow the server
    assert.equal(configMatches(s), true);
    assert.equal(f.session.nameOf(3), 'Open hand');
    assert.equal(f.session.nameOf(2), 'Gesture 2');
    assert.equal(s.identifyMode, 'calibrated');
    assert.equal(recordingSummary(s.recordings[1]), '2 windows · 60 s · 12 s of activity');
    assert.match(activityWarning(s.recordings[3]), /No rest/);
    const actions = availableActions(s);
    assert.equal(actions.record(1), false, 'a recorded gesture is recorded again, not recorded');
    assert.equal(actions.recordAgain(1), true);
    assert.equal(actions.generate, true, 'both gestures have recordings on the server');
    assert.equal(actions.startIdentify, true);
  });

  test('after a reconnection the server is read again, and what changed meanwhile shows', async () => {
    const f = await makeConfiguredSession(0xff, 0x03, { recorded: [1] });
    f.session.linkClosed();
    f.api.server.recordings = { recordings: [recordingDoc(1, 3), recordingDoc(2)] };
    f.api.server.status = statusDoc({
      link: 'connected',
      channelMask: 0xff,
      gestureMask: 0x03,
      names: ['Fist'],
    });
    f.session.linkOpened();
    await settle();
    assert.equal(f.state().recordings[1].windows, 3);
    assert.notEqual(f.state().recordings[2], null);
    assert.equal(f.session.nameOf(1), 'Fist');
    assert.deepEqual(f.api.calls.map((c) => c[1]).sort(), ['/api/recordings', '/api/status']);
  });

  test('an older read answered late never overwrites a newer one, and a read that crossed news is repeated', async () => {
    const f = await makeConfiguredSession();
    f.api.held = true;
    f.api.server.status = statusDoc({
      link: 'connected',
      channelMask: 0xff,
      gestureMask: 0x03,
      names: ['Old'],
    });
    f.session.refresh('status');
    f.api.server.status = statusDoc({
      link: 'connected',
      channelMask: 0xff,
      gestureMask: 0x03,
      names: ['New'],
    });
    f.session.refresh('status');
    f.api.release([1, 0]); // the newer answer first
    await settle();
    assert.equal(f.session.nameOf(1), 'New');

    f.session.refresh('status');
    f.receive(0x02, 0x00); // news from the socket while the read was under way
    const reads = f.api.calls.filter((c) => c[1] === '/api/status').length;
    f.api.held = false;
    f.api.release();
    await settle();
    assert.equal(f.api.calls.filter((c) => c[1] === '/api/status').length, reads + 1);
  });

  test("a recording that another page runs shows with its gesture and its window's clock", async () => {
    const f = await makeConfiguredSession(0xff, 0x03, { speed: 10 });
    f.api.server.status = statusDoc({
      link: 'connected',
      channelMask: 0xff,
      gestureMask: 0x03,
      mode: 'recording',
      recording: { gesture: 2, seconds: 12 },
    });
    f.receive(0x07, ...Array(32).fill(128));
    await settle();
    const r = f.state().recording;
    assert.equal(r.phase, 'running');
    assert.equal(r.slot, 2);
    assert.equal(r.mine, false);
    assert.equal(f.session.armbandMsSince(r.startedAt), 12000);
    assert.equal(availableActions(f.state()).record(1), false);
    // This page's own window, from before a reload, is its own again.
    const g = await makeConfiguredSession(0xff, 0x03, {
      memory: { load: () => ({ slot: 2, at: 0 }), save() {}, clear() {} },
    });
    g.api.server.status = f.api.server.status;
    g.session.refresh('status');
    await settle();
    assert.equal(g.state().recording.mine, true);
  });

  test("the ticks follow the server's configuration only while the person has not changed them", async () => {
    const f = await makeSession({
      server: { status: statusDoc({ link: 'connected', channelMask: 0x0f, gestureMask: 0x05 }) },
    });
    assert.deepEqual(f.state().selection, { channelMask: 0x0f, gestureMask: 0x05 });
    f.api.server.status = statusDoc({ link: 'connected', channelMask: 0xff, gestureMask: 0x03 });
    f.session.refresh('status'); // another client applied a configuration
    await settle();
    assert.deepEqual(f.state().selection, { channelMask: 0xff, gestureMask: 0x03 });
    f.session.select(0xff, 0x07);
    f.api.server.status = statusDoc({ link: 'connected', channelMask: 0x0f, gestureMask: 0x03 });
    f.session.refresh('status');
    await settle();
    assert.deepEqual(f.state().selection, { channelMask: 0xff, gestureMask: 0x07 });
  });

  test('typed names go to the server once the typing stops, survive reads meanwhile, and wait while it is busy', async () => {
    let busy = true;
    const f = await makeConfiguredSession();
    f.api.server.put = (path, body) =>
      busy ? { ok: false, status: 409, body: { error: 'recording' } } : { ok: true, status: 200, body };
    f.session.renameGesture(1, 'Fi');
    f.session.renameGesture(1, 'Fist\u0007');
    f.session.refresh('status'); // the server still has no name
    await settle();
    assert.equal(f.session.nameOf(1), 'Fist');
    f.advance(NAMES_DELAY_MS);
    await settle();
    assert.equal(f.state().namesDirty, true, 'refused while busy');
    busy = false;
    f.advance(5000);
    await settle();
    const puts = f.api.calls.filter((c) => c[0] === 'PUT');
    assert.equal(puts.length, 2);
    assert.deepEqual(puts[1], ['PUT', '/api/gestures', { names: ['Fist', '', '', '', '', '', '', ''] }]);
    assert.equal(f.state().namesDirty, false);
  });
});
