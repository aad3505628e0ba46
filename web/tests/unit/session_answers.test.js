import assert from 'node:assert/strict';
import { describe, test } from 'node:test';
import { makeConfiguredSession, makeSession, settle, statusDoc, trainedModel } from './session_fixture.js';
import { identifiedWords } from '../../js/identify_words.js';

const calibrated = { model: trainedModel(0x03) };

async function identifying() {
  const f = await makeConfiguredSession(0xff, 0x03, calibrated);
  f.state().identifyMode = 'calibrated';
  await f.session.startIdentify();
  return f;
}

describe('telling a refusal from news that looks the same', () => {
  test('08 FF as its own answer refuses identification; plain, it reports no gesture', async () => {
    const f = await identifying();
    assert.deepEqual(f.sent, [[0x08]]);
    f.answer(0x08, 0xff);
    assert.equal(f.state().identify.phase, 'idle');
    assert.equal(f.state().identify.current, null);
    assert.match(f.state().identify.outcome.words, /cannot start/);
    assert.equal(f.state().mode, 'idle');

    const g = await identifying();
    g.answer();
    assert.equal(
      identifiedWords(g.state().identify, (s) => `G${s}`),
      'No gesture yet',
    );
    g.receive(0x08, 0xff);
    assert.equal(g.state().identify.phase, 'running');
    const words = () => identifiedWords(g.state().identify, (s) => `G${s}`);
    assert.equal(words(), 'No gesture yet');
    g.receive(0x08, 0x01);
    assert.equal(words(), 'G1');
    g.receive(0x08, 0xff);
    assert.equal(words(), 'Rest');
    assert.equal(g.state().identify.outcome, null);
  });

  test('a refusal of identification says why, from what the server holds', async () => {
    const noModel = await makeConfiguredSession(0xff, 0x03, {
      model: { present: false, usable: false, trainedGestureMask: null },
    });
    noModel.state().identifyMode = 'calibrated';
    noModel.state().model.usable = true; // the page thought otherwise; the server knows better
    await noModel.session.startIdentify();
    noModel.state().model.usable = false;
    noModel.answer(0x08, 0xff);
    assert.match(noModel.state().identify.outcome.words, /no usable model/);

    const other = await identifying();
    other.state().model.trainedGestureMask = 0x07;
    other.answer(0x08, 0xff);
    assert.match(other.state().identify.outcome.words, /other gestures/);

    for (const [status, pattern] of [
      [0xf2, /No armband/],
      [0xf0, /refused to stream/],
    ]) {
      const f = await identifying();
      f.answer(0x08, status);
      assert.match(f.state().identify.outcome.words, pattern);
    }
    // Taken, then the armband refuses the stream: the start's own later answer.
    const late = await identifying();
    late.answer();
    assert.equal(late.state().mode, 'identifying');
    late.answerLater(0x08, 0x08, 0xf0);
    assert.equal(late.state().identify.phase, 'idle');
    assert.equal(late.state().mode, 'idle');
    assert.match(late.state().identify.outcome.words, /refused to stream/);
  });

  test("another client's ping or refusal is not this page's answer; each own frame settles its own command", async () => {
    const f = await makeConfiguredSession();
    f.record(1);
    f.receive(0x01, 0x00); // another client's ping
    f.receive(0x06, 0xff); // another client's recording, refused
    assert.equal(f.state().recording.phase, 'starting');
    assert.equal(f.session.isBusy('record'), true);
    f.answer();
    assert.equal(f.state().recording.phase, 'running');
    // A stop of the page's own window answers the window and the stop: one outcome.
    f.session.stopRecord();
    f.answerLater(0x06, 0x06, 0xfd);
    f.answer(0x06, 0xfd);
    assert.equal(f.logWords().filter((w) => /Recording stopped/.test(w)).length, 1);
    assert.deepEqual(f.state().busy, {});

    f.session.scan();
    f.session.connect();
    f.answer(); // the scan started
    f.receive(0x03, 0x00); // news: another client connected the armband meanwhile
    f.answer(0x03, 0xff); // so this page's connect was refused
    assert.equal(f.state().link, 'connected');
    assert.match(f.state().note, /scan first/);
  });

  test('refusals of the new kinds are named in words', async () => {
    const cases = [
      [(s, f) => f.record(1), [0x06, 0xf2], (st) => st.recording.outcome.words, /No armband/],
      [(s, f) => f.record(1), [0x06, 0xf0], (st) => st.recording.outcome.words, /refused to stream/],
      [(s) => s.applyConfig(), [0x05, 0xfc], (st) => st.config.outcome.words, /records or identifies/],
      [(s) => s.upload(), [0x0c, 0xf2], (st) => st.upload.outcome.words, /No armband/],
      [(s) => s.upload(), [0x0c, 0xf1], (st) => st.upload.outcome.words, /settings/],
      [(s) => s.startGestureStream(), [0x10, 0xf2], (st) => st.stream.outcome.words, /No armband/],
    ];
    for (const [command, answer, words, pattern] of cases) {
      const f = await makeConfiguredSession(0xff, 0x03, calibrated);
      command(f.session, f);
      f.answer(...answer);
      assert.match(words(f.state()), pattern, answer.join(' '));
      assert.deepEqual(f.state().busy, {}, answer.join(' '));
    }
  });

  test('the log speaks in words: no own frames, names as the person gave them, bytes kept apart', async () => {
    const f = await makeConfiguredSession();
    f.state().names[1] = 'Open hand';
    f.session.applyConfig();
    f.answer();
    f.answerLater(0x05, 0x05, 0x00);
    f.record(2);
    f.answer();
    f.answerLater(0x06, 0x06, 0x00);
    f.receive(0x08, 0x02);
    assert.deepEqual(f.logWords(), [
      'Connected to the Quillon server.',
      'Configure channels 1–8, gestures Gesture 1 and Open hand',
      'Configuration: The armband accepted the configuration.',
      'Record Open hand',
      'Open hand: the recording window is open.',
      'Open hand: Recording saved.',
      'Identified: Open hand.',
    ]);
    assert.equal(
      f.logWords().some((w) => /[0-9A-F]{2} [0-9A-F]{2}/.test(w)),
      false,
    );
  });

  test('gesture reports show identification runs, with a history and the gestures seen', async () => {
    const f = await makeConfiguredSession();
    f.receive(0x08, 0x02);
    for (let i = 0; i < 12; i += 1) f.receive(0x08, (i % 2) + 1);
    assert.equal(f.state().identify.phase, 'running');
    assert.equal(f.state().mode, 'identifying');
    assert.equal(f.state().identify.history.length, 8);
    assert.deepEqual(f.state().identify.seen.sort(), [1, 2]);
    f.receive(0x08, 0xfd);
    assert.equal(f.state().mode, 'idle');
    assert.equal(f.state().identify.phase, 'idle');
  });

  test('10 FC as its own answer refuses the gesture stream; gestures after it are named', async () => {
    const f = await makeConfiguredSession();
    f.session.startGestureStream();
    f.answer(0x10, 0xfc);
    assert.equal(f.state().stream.phase, 'idle');
    assert.equal(f.state().stream.outcome.ok, false);
    f.session.startGestureStream();
    f.answer();
    f.receive(0x10, 0x03);
    assert.equal(f.state().stream.phase, 'running');
    assert.match(f.logWords().at(-1), /WaveIn/);
  });
});

describe('the armband link and configuration', () => {
  test('versions with firmware and hardware show that an armband is connected', async () => {
    const f = await makeSession();
    f.receive(...Array.from('0000.005.002/001.002.003/004.005.006', (c) => c.charCodeAt(0)));
    assert.equal(f.state().link, 'connected');
    assert.equal(f.state().versions.hardware, '004.005.006');
  });

  test('05 00 applies the configuration; a failure leaves it unapplied and says why', async () => {
    const f = await makeConfiguredSession(0x0f, 0x05);
    f.session.select(0xff, 0x03);
    f.session.applyConfig();
    assert.deepEqual(f.sent.at(-1), [0x05, 0xff, 0x03]);
    f.answer();
    f.receive(0x05, 0x00); // another client's configuration, accepted
    assert.deepEqual(f.state().config.server, { channelMask: 0x0f, gestureMask: 0x05 });
    assert.equal(f.session.isBusy('apply'), true);
    f.answerLater(0x05, 0x05, 0x00);
    assert.deepEqual(f.state().config.server, { channelMask: 0xff, gestureMask: 0x03 });
    assert.equal(f.state().config.pending, null);
    for (const [status, pattern] of [
      [0xf2, /No armband/],
      [0xf1, /settings/],
      [0xf0, /5 s/],
    ]) {
      f.session.applyConfig();
      f.answer();
      f.answerLater(0x05, 0x05, status);
      assert.equal(f.state().config.armbandOk, false);
      assert.match(f.state().config.outcome.words, pattern);
    }
  });

  test('connecting fails in words when the armband has gone; disconnecting forgets the configuration', async () => {
    const f = await makeSession();
    f.receive(0x02, 0x00);
    f.session.connect();
    f.answer();
    assert.equal(f.state().link, 'connecting');
    f.answerLater(0x03, 0x03, 0xf0);
    assert.equal(f.state().link, 'found');
    assert.match(f.state().note, /could not be connected/);
    assert.equal(f.session.isBusy('connect'), false);
    const g = await makeConfiguredSession();
    g.record(1);
    g.answer();
    g.receive(0x04, 0x00);
    assert.equal(g.state().config.server, null);
    assert.equal(g.state().recording.phase, 'idle');
    assert.match(g.state().recording.outcome.words, /disconnected/);
    // Connected again by this page: the server forgot the configuration, the page applies it again.
    g.api.server.status = statusDoc({ link: 'connected' });
    g.session.connect();
    g.sent.length = 0;
    g.answer();
    g.answerLater(0x03, 0x03, 0x00);
    await settle();
    assert.deepEqual(g.sent[0], [0x05, 0xff, 0x03]);
    g.answer();
    g.answerLater(0x05, 0x05, 0x00);
    assert.match(
      g.state().config.outcome.words,
      /came back: channels 1–8 and Gesture 1 and Gesture 2 were applied again/,
    );
  });

  test('a scan can be stopped, and one that finds nothing in 30 s ends in words', async () => {
    const f = await makeSession();
    f.session.scan();
    f.answer();
    assert.equal(f.state().link, 'scanning');
    assert.equal(f.session.stopScan(), true);
    assert.deepEqual(f.sent.at(-1), [0x09]);
    f.answerLater(0x02, 0x02, 0xfd);
    f.answer(0x08, 0xfd);
    assert.equal(f.state().link, 'disconnected');
    assert.equal(f.state().note, 'Scanning stopped.');
    f.session.scan();
    f.answer();
    f.answerLater(0x02, 0x02, 0xf0);
    assert.match(f.state().note, /No armband was found in 30 s/);
  });
});

describe('losing and finding the server', () => {
  test('a closed link ends what was under way; an own frame after reopening completes nothing sent before', async () => {
    const f = await makeConfiguredSession(0xff, 0x03, calibrated);
    f.session.generate();
    f.state().identifyMode = 'calibrated';
    f.session.linkClosed();
    assert.equal(f.state().server, 'closed');
    assert.equal(f.state().generate.phase, 'idle');
    assert.deepEqual(f.state().busy, {});
    // A server that will not give the page its own answers is named.
    f.session.linkOpened();
    f.receive(0x31, 0xff);
    assert.match(f.state().note, /refused to tell this page its own answers \(31 FF\)/);
    f.session.linkOpened();
    assert.deepEqual(f.sent.at(-1), [0x31]);
    f.receive(0x31, 0x00);
    f.receive(0x31, 0x01, 0x00); // the number the training had
    assert.equal(f.state().identify.phase, 'idle');
    assert.equal(f.state().generate.phase, 'idle');
    assert.deepEqual(f.state().busy, {});
    // A server that will not give the page its own answers is named.
    f.session.linkOpened();
    f.receive(0x31, 0xff);
    assert.match(f.state().note, /refused to tell this page its own answers \(31 FF\)/);
    assert.equal(f.state().server, 'open');
  });
});
