// The kick swept live in explore's page: Play draws the scene at kick after kick over a range the
// user sets (from, to, by a step), at a steady number of pictures a second, each picture the exact
// picture of its kick as the strip on view shows it; Pause leaves the scene at the kick on view,
// as one change that undo takes back; Record plays the sweep from its start and saves the strip
// as a WebM video, encoded by the browser itself (WebCodecs, or else MediaRecorder on a canvas's
// stream).
//
// One worker draws a picture of the default scene in about 50 ms here, too slow for 20 a second
// on its own; so the player has workers of its own (worker.js, the drawing workers' code), two
// or one a core but one, which draw the pictures in turn, picture n in one while n + 1 is drawn
// in the next, up to a few pictures ahead of the one on view. The scene's own workers
// (scheduler.js) would drop pictures overtaken by newer ones; the player needs every one, in
// order.
//
// While it plays the scene is left alone: neither the undo history nor the address follows the
// pictures. Any other change (a control, a button, the portrait) pauses it first, so that the
// change applies to the kick on view.

import { webmFile } from './webm.js';

const workerScript = 'explore/worker.js';
// The player's workers: one a core but one, for the page and the browser, and at least two.
const workerCount = Math.max(2, Math.min(6, (globalThis.navigator?.hardwareConcurrency || 2) - 1));
// At most this many pictures asked for ahead of the one on view, and how many are waited for
// before the first is shown, so that a worker's first, slower drawings do not stall the sweep.
const ahead = 8;
const startWith = 3;
const longestWait = 1500;
// The most pictures a sweep may have.
const mostFrames = 20000;
// The video: its bit rate (the strip is hard edges of one pixel), a key frame every two seconds
// (for seeking), at most this many frames waiting for the encoder before the play waits for it;
// where the browser has no encoder of its own for scripts, the stream recorder's encodings by
// preference.
const videoBits = 8_000_000;
const keySeconds = 2;
const encoderQueue = 4;
const videoTypes = ['video/webm;codecs=vp8', 'video/webm;codecs=vp9', 'video/webm'];
// A frame's time may come this much early (ms): the browser's frames seldom fall on it exactly.
const early = 4;

// The places after the point that a number needs (at most six).
function placesOf(value) {
  for (let places = 0; places < 6; ++places) {
    const scaled = value * 10 ** places;
    if (Math.abs(scaled - Math.round(scaled)) < 1e-7 * Math.max(1, Math.abs(scaled))) return places;
  }
  return 6;
}

// A whole number of units of 10^-places as a decimal, without trailing zeros: 37, 2 gives "0.37".
function decimalText(units, places) {
  const digits = String(Math.abs(units)).padStart(places + 1, '0');
  const whole = digits.slice(0, digits.length - places);
  const fraction = digits.slice(digits.length - places).replace(/0+$/, '');
  return (units < 0 ? '-' : '') + whole + (fraction === '' ? '' : '.' + fraction);
}

// The kicks of a sweep as texts, from `from` to `to` (down if `to` is lower) by `step`, `to` the
// last even where the steps do not fall on it; or { refusal }. Counted in whole units of the
// finest decimal given, so that 0.1 + 0.2 is 0.3 here.
export function sweepKicks(fromText, toText, stepText, low, high) {
  const [from, to, step] = [fromText, toText, stepText].map(Number);
  const range = 'from ' + low + ' to ' + high;
  if (fromText === '' || !Number.isFinite(from) || from < low || from > high) {
    return { refusal: 'the sweep starts at a kick ' + range, field: 'from' };
  }
  if (toText === '' || !Number.isFinite(to) || to < low || to > high) {
    return { refusal: 'the sweep ends at a kick ' + range, field: 'to' };
  }
  const places = Math.max(placesOf(from), placesOf(to), placesOf(step));
  const scale = 10 ** places;
  const first = Math.round(from * scale), last = Math.round(to * scale);
  const size = Math.round(step * scale);
  if (stepText === '' || !Number.isFinite(step) || size <= 0) {
    return { refusal: 'the step is a kick above 0, of at most six places', field: 'step' };
  }
  const steps = Math.floor(Math.abs(last - first) / size);
  if (steps + 2 > mostFrames) {
    return { refusal: 'a sweep has at most ' + mostFrames + ' pictures: give a larger step',
             field: 'step' };
  }
  const direction = last >= first ? 1 : -1;
  const kicks = [];
  for (let n = 0; n <= steps; ++n) kicks.push(decimalText(first + direction * n * size, places));
  if (first + direction * steps * size !== last) kicks.push(decimalText(last, places));
  return { kicks };
}

// A scene line with another kick.
function withKick(line, kick) {
  const pair = /(^| )kick=[^ ]*/;
  return pair.test(line) ? line.replace(pair, (found, space) => space + 'kick=' + kick)
    : line + ' kick=' + kick;
}

function closePicture(picture) {
  picture.portrait?.close();
  picture.strip?.close();
}

// A file handed to the browser as a download.
function saveFile(blob, fileName) {
  const link = document.createElement('a');
  link.href = URL.createObjectURL(blob);
  link.download = fileName;
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(link.href), 60_000);
}

// The stream recorder's encoding here, or null.
function recorderType() {
  if (typeof MediaRecorder === 'undefined' || !HTMLCanvasElement.prototype.captureStream) {
    return null;
  }
  return videoTypes.find((type) => MediaRecorder.isTypeSupported(type)) ?? null;
}

function canRecord() {
  return typeof VideoEncoder !== 'undefined' || recorderType() !== null;
}

// A video made with the browser's encoder (WebCodecs): each picture a frame at its own time,
// n / rate seconds, however long it took to draw, so that the video runs at its rate evenly;
// the file written by webm.js once the last frame is encoded.
class EncodedVideo {
  #encoder;
  #config;
  #frames = [];
  #count = 0;
  #frameUs;
  #error = null;

  static async start(width, height, rate) {
    if (typeof VideoEncoder === 'undefined') return null;
    const config = {
      codec: 'vp8', width, height, bitrate: videoBits, framerate: rate, latencyMode: 'realtime',
    };
    try {
      if (!(await VideoEncoder.isConfigSupported(config)).supported) return null;
    } catch {
      return null;
    }
    return new EncodedVideo(config, rate);
  }

  constructor(config, rate) {
    this.#config = config;
    this.#frameUs = 1e6 / rate;
    this.#encoder = new VideoEncoder({
      output: (chunk) => {
        const data = new Uint8Array(chunk.byteLength);
        chunk.copyTo(data);
        this.#frames.push({ data, key: chunk.type === 'key', time: chunk.timestamp / 1000 });
      },
      error: (error) => { this.#error = error; },
    });
    this.#encoder.configure(config);
  }

  get size() { return [this.#config.width, this.#config.height]; }
  get frames() { return this.#count; }
  // Whether the encoder is behind: the play waits for it.
  get behind() { return this.#encoder.encodeQueueSize > encoderQueue; }

  // A picture before it goes on view (its strip is the canvas's then).
  before(picture) {
    const frame = new VideoFrame(picture.strip, {
      timestamp: Math.round(this.#count * this.#frameUs), duration: Math.round(this.#frameUs),
    });
    const keyEvery = Math.max(1, Math.round(keySeconds * 1e6 / this.#frameUs));
    this.#encoder.encode(frame, { keyFrame: this.#count % keyEvery === 0 });
    frame.close();
    ++this.#count;
  }

  after() {}

  async finish() {
    await this.#encoder.flush();
    this.#encoder.close();
    if (this.#error !== null) throw this.#error;
    const [width, height] = this.size;
    return webmFile({
      codec: 'V_VP8', type: 'video/webm;codecs=vp8', width, height, frames: this.#frames,
      duration: this.#count * this.#frameUs / 1000,
    });
  }
}

// A video recorded from a canvas's stream (MediaRecorder), where there is no encoder for
// scripts: a frame as each picture goes on view, so the video runs as the play did.
class RecordedVideo {
  #canvas;
  #context;
  #track;
  #recorder;
  #chunks = [];
  #count = 0;
  #interval;

  static start(width, height, rate) {
    const type = recorderType();
    return type === null ? null : new RecordedVideo(type, width, height, rate);
  }

  constructor(type, width, height, rate) {
    this.#interval = 1000 / rate;
    this.#canvas = Object.assign(document.createElement('canvas'), { width, height });
    this.#context = this.#canvas.getContext('2d', { alpha: false });
    const stream = this.#canvas.captureStream(0);
    this.#track = stream.getVideoTracks()[0];
    this.#recorder = new MediaRecorder(stream, { mimeType: type, videoBitsPerSecond: videoBits });
    this.#recorder.ondataavailable = (event) => {
      if (event.data.size > 0) this.#chunks.push(event.data);
    };
    this.#recorder.start();
  }

  get size() { return [this.#canvas.width, this.#canvas.height]; }
  get frames() { return this.#count; }
  get behind() { return false; }

  before() {}

  // The strip on view into the video.
  after(strip) {
    this.#context.drawImage(strip, 0, 0);
    this.#track.requestFrame();
    ++this.#count;
  }

  // The file, once the last frame has stood its time.
  finish() {
    return new Promise((resolve) => {
      this.#recorder.onstop = () => {
        resolve(new Blob(this.#chunks, { type: this.#recorder.mimeType }));
      };
      setTimeout(() => {
        this.#track.requestFrame();
        this.#recorder.stop();
      }, this.#interval);
    });
  }
}

export class Player {
  // The page's side (see the constructor) and the player's controls.
  #studio;
  #view;
  // The player's workers, each { worker, started, busy: whether it is drawing }, made at the
  // first Play; the requests sent to them by id (ids count up from 1): { play, frame }.
  #workers = [];
  #requests = new Map();
  #ids = 0;
  // The play under way, or null: see play().
  #play = null;
  #plays = 0;
  // The recording of the play under way, or null: { video (an EncodedVideo or a RecordedVideo),
  // the first and last kicks in it, the scene's group and size }.
  #recording = null;
  // Where the last play was paused: the sweep's kicks and the scene's line but for its kick, and
  // the frame on view, for Play to go on from the next.
  #paused = null;

  // studio: { section, strip, module (a promise of the engine's compiled code), kickRule ({ low,
  // high }), line() the scene's line, group() and size() its values, show(picture) puts a
  // worker's picture on view, settle(kick) sets the scene's kick as one change, say(state, text)
  // the status }.
  constructor(studio) {
    this.#studio = studio;
    const $ = (id) => document.getElementById(id);
    this.#view = {
      box: $('player'), play: $('play'), record: $('record'), from: $('play-from'),
      to: $('play-to'), step: $('play-step'), rate: $('play-rate'), kick: $('play-kick'),
      note: $('play-note'),
    };
    for (const field of [this.#view.from, this.#view.to]) {
      field.min = studio.kickRule.low;
      field.max = studio.kickRule.high;
    }
    this.#view.play.addEventListener('click', () => {
      if (this.playing) this.pause();
      else this.play();
    });
    this.#view.record.addEventListener('click', () => this.#record());
    this.#pauseBeforeChanges(studio.section, studio.portrait);
    this.#settings(true);
    if (!canRecord()) this.#view.record.title = 'This browser cannot make a video';
  }

  get playing() { return this.#play !== null; }

  // Whether a picture of the scene's own workers comes while playing: it is dropped then.
  swallows(picture) {
    if (!this.playing) return false;
    closePicture(picture);
    return true;
  }

  // Records the sweep from its start, at the size of the strip on view, which the sweep keeps.
  async #record() {
    if (this.playing) return;
    const { width, height } = this.#studio.strip;
    const rate = Number(this.#view.rate.value);
    if (!(rate >= 1 && rate <= 60)) {
      this.play(null);
      return;
    }
    // Whether the encoder takes the size is answered later: the buttons wait for it.
    this.#view.record.disabled = this.#view.play.disabled = true;
    const video = await EncodedVideo.start(width, height, rate) ??
                  RecordedVideo.start(width, height, rate);
    this.#view.record.disabled = this.#view.play.disabled = false;
    if (video === null) {
      this.#view.note.textContent = 'No video: this browser cannot make one of a ' + width + '×' +
                                    height + ' picture.';
    } else {
      this.play(video);
    }
  }

  // Plays the sweep (from where it was paused, if nothing has changed since), or with a video
  // (see #record) records it from its start.
  play(video = null) {
    const record = video !== null;
    if (this.playing) return;
    const view = this.#view;
    const sweep = sweepKicks(view.from.value, view.to.value, view.step.value,
                             this.#studio.kickRule.low, this.#studio.kickRule.high);
    for (const name of ['from', 'to', 'step']) {
      view[name].setAttribute('aria-invalid', String(sweep.field === name));
    }
    const rate = Number(view.rate.value);
    const rateRefused = !(rate >= 1 && rate <= 60);
    view.rate.setAttribute('aria-invalid', String(rateRefused));
    if (sweep.refusal || rateRefused) {
      video?.finish().catch(() => {});
      view.note.textContent = 'No play: ' +
        (sweep.refusal ?? 'give from 1 to 60 pictures a second') + '.';
      return;
    }
    const line = this.#studio.line();
    const settings = JSON.stringify([sweep.kicks, withKick(line, '')]);
    const paused = this.#paused;
    const from = !record && paused !== null && paused.settings === settings ? paused.frame + 1 : 0;
    this.#paused = null;
    this.#play = {
      id: ++this.#plays, kicks: sweep.kicks, line, settings, interval: 1000 / rate,
      // The next frame to ask for and the next to show, the pictures drawn ahead by frame,
      // whether the first pictures are still awaited, and when the next is due.
      asked: from, next: from, ready: new Map(), holding: true, began: performance.now(), due: 0,
      // What has been shown: how many, the first's and last's times, the frame on view.
      shown: 0, firstAt: 0, lastAt: 0, onView: null,
      // The workers' time for each picture (ms).
      drawMs: [],
    };
    this.#recording = record ? {
      video, first: null, last: null, group: this.#studio.group(), size: this.#studio.size(), rate,
    } : null;
    this.#settings(false);
    view.play.textContent = 'Pause';
    view.play.setAttribute('aria-pressed', 'true');
    view.note.textContent = '';
    this.#studio.say('playing', (record ? 'Recording' : 'Playing') + ' the kick from ' +
                     sweep.kicks[from] + ' to ' + sweep.kicks.at(-1) + '…');
    this.#startWorkers();
    this.#ask();
    requestAnimationFrame((now) => this.#tick(now));
  }

  // Stops the play with the scene at the kick on view (one change, that undo takes back), and
  // saves what was recorded.
  pause() {
    const play = this.#play;
    if (play === null) return;
    this.#play = null;
    for (const picture of play.ready.values()) closePicture(picture);
    play.ready.clear();
    const view = this.#view;
    view.play.textContent = 'Play';
    view.play.setAttribute('aria-pressed', 'false');
    this.#settings(true);
    const onView = play.onView;
    const rate = play.shown > 1 ? (play.shown - 1) * 1000 / (play.lastAt - play.firstAt) : 0;
    view.kick.dataset.shown = String(play.shown);
    view.kick.dataset.rate = rate.toFixed(1);
    view.kick.dataset.startMs = play.shown === 0 ? '' : (play.firstAt - play.began).toFixed(0);
    const times = play.drawMs.sort((a, b) => a - b);
    view.kick.dataset.drawMs = times.length === 0 ? '' : times[times.length >> 1].toFixed(1);
    if (onView === null) {
      this.#studio.say('shown', 'Paused before the first picture: the scene is as it was.');
    } else {
      this.#studio.settle(onView.kick);
      const ended = onView.frame === play.kicks.length - 1;
      // Play goes on from here while the sweep and the scene (its kick aside) stay as they are.
      if (!ended) this.#paused = { settings: play.settings, frame: onView.frame };
      view.note.textContent = (ended ? 'Played ' : 'Paused at kick ' + onView.kick + ' after ') +
        play.shown + (play.shown === 1 ? ' picture' : ' pictures') +
        (play.shown > 1 ? ', ' + rate.toFixed(1) + ' a second' : '') + '.';
    }
    if (this.#recording !== null) this.#finishRecording();
  }

  // The sweep's fields, enabled or not (they wait while it plays).
  #settings(enabled) {
    const view = this.#view;
    for (const field of [view.from, view.to, view.step, view.rate]) field.disabled = !enabled;
    view.play.disabled = false;
    view.record.disabled = !enabled || !canRecord();
  }

  // Any change of the scene while playing pauses first: the fields, buttons and portrait of the
  // section but the player's own, caught before their own handlers run.
  #pauseBeforeChanges(section, portrait) {
    const first = (event) => {
      if (!this.playing || this.#view.box.contains(event.target)) return;
      const target = event.target;
      const changes = event.type === 'click' ? target.closest('button') !== null
        : event.type === 'keydown' ? target === portrait && !['Tab', 'Shift', 'Control', 'Alt',
                                                               'Meta'].includes(event.key)
        : event.type === 'input' || event.type === 'change' || target === portrait;
      if (!changes) return;
      // Pausing fills the fields from the scene at the kick on view: the field changed keeps
      // what was given, for its own handler to take.
      const given = target.value;
      this.pause();
      if (given !== undefined && target.value !== given) target.value = given;
    };
    for (const type of ['click', 'input', 'change', 'pointerdown', 'wheel', 'keydown']) {
      section.addEventListener(type, first, { capture: true, passive: true });
    }
  }

  #startWorkers() {
    if (this.#workers.length > 0) return;
    for (let slot = 0; slot < workerCount; ++slot) {
      const entry = { worker: new Worker(workerScript), started: false, busy: false };
      entry.worker.onmessage = (event) => this.#fromWorker(entry, event.data);
      entry.worker.onerror = (event) => this.#fail(event.message || 'its worker failed');
      this.#studio.module.then((module) => entry.worker.postMessage({ module }));
      this.#workers.push(entry);
    }
  }

  // The next frames asked for of idle workers, in order, while the play is not too far ahead.
  #ask() {
    const play = this.#play;
    if (play === null) return;
    for (const entry of this.#workers) {
      if (!entry.started || entry.busy) continue;
      if (play.asked >= play.kicks.length || play.asked - play.next >= ahead) return;
      const frame = play.asked++;
      const id = ++this.#ids;
      this.#requests.set(id, { play: play.id, frame });
      entry.busy = true;
      entry.worker.postMessage({ id, line: withKick(play.line, play.kicks[frame]), png: false });
    }
  }

  #fromWorker(entry, answer) {
    if (answer.started) {
      entry.started = true;
      this.#ask();
      return;
    }
    if (answer.failed) {
      this.#fail(answer.failed);
      return;
    }
    if (answer.drawing || answer.id === undefined) return;
    entry.busy = false;
    const request = this.#requests.get(answer.id);
    this.#requests.delete(answer.id);
    const play = this.#play;
    if (request === undefined || play === null || request.play !== play.id) {
      closePicture(answer);
    } else if (answer.error) {
      this.#fail(answer.error);
      return;
    } else {
      play.ready.set(request.frame, answer);
      play.drawMs.push(answer.ms);
    }
    this.#ask();
  }

  // A worker that cannot draw ends the play; the next one starts with fresh workers.
  #fail(why) {
    this.pause();
    for (const entry of this.#workers) entry.worker.terminate();
    this.#workers = [];
    this.#requests.clear();
    this.#view.note.textContent = 'The play stopped: ' + why + '.';
  }

  // Each frame of the browser's: the next picture on view once it is drawn and due.
  #tick(now) {
    const play = this.#play;
    if (play === null) return;
    const picture = play.ready.get(play.next);
    if (picture !== undefined && play.holding) {
      const wanted = Math.min(startWith, play.kicks.length - play.next);
      if (play.ready.size >= wanted || now - play.began > longestWait) {
        play.holding = false;
        play.due = now;
      }
    }
    const encoding = this.#recording !== null && this.#recording.video.behind;
    if (picture !== undefined && !play.holding && !encoding && now >= play.due - early) {
      this.#show(play, picture, now);
      if (this.#play !== play) return;
    }
    requestAnimationFrame((later) => this.#tick(later));
  }

  #show(play, picture, now) {
    const frame = play.next++;
    play.ready.delete(frame);
    const kick = play.kicks[frame];
    const view = this.#view;
    // The kick first, then the picture: who watches the strip sees both change together.
    view.kick.textContent = 'kick ' + kick;
    view.kick.dataset.kick = kick;
    view.kick.dataset.line = picture.line;
    view.kick.dataset.frame = String(frame);
    for (const id of ['kick', 'kick-number']) {
      const field = document.getElementById(id);
      if (field !== null) field.value = kick;
    }
    const recording = this.#recording;
    if (recording !== null) {
      recording.video.before(picture);
      recording.first ??= kick;
      recording.last = kick;
    }
    this.#studio.show(picture);
    if (recording !== null) recording.video.after(this.#studio.strip);
    play.onView = { frame, kick };
    if (play.shown++ === 0) play.firstAt = now;
    play.lastAt = now;
    // The next is due an interval on, or at once if this one came late.
    play.due += play.interval;
    if (play.due < now) play.due = now;
    this.#ask();
    if (frame === play.kicks.length - 1) this.pause();
  }

  // The video of the pictures recorded, saved once it is made.
  #finishRecording() {
    const { video, first, last, group, size, rate } = this.#recording;
    this.#recording = null;
    const view = this.#view;
    view.record.disabled = true;
    const [width, height] = video.size;
    const frames = video.frames;
    video.finish().then((blob) => {
      if (frames === 0) return;
      const fileName = 'explore-' + group + '-kick-' + first + '-to-' + last + '.webm';
      saveFile(blob, fileName);
      const whole = size === width + 'x' + height ? ''
        : ' (the strip as on view: the rest repeats it)';
      const seconds = (frames / rate).toFixed(frames % rate === 0 ? 0 : 1);
      view.note.textContent = 'Saved ' + fileName + ': ' + frames + ' pictures, ' + width + '×' +
                              height + whole + ', ' + seconds + ' s at ' + rate + ' a second.';
    }, (error) => {
      view.note.textContent = 'No video: ' + error.message + '.';
    }).finally(() => { view.record.disabled = this.playing || !canRecord(); });
  }
}
