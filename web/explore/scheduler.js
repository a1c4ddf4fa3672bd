// The drawing workers of explore's page (worker.js), so that the page answers while a picture is
// made. Two workers draw: one starts the next picture while the other finishes its own and the
// page puts it on view, so the picture keeps following a dragged slider. Every change is sent on
// at once, to an idle worker (a running one first) or else to the one longest into its drawing.
// A worker draws only the newest line it was sent once it is done with a drawing, so it never
// waits on the page between pictures, and lines overtaken meanwhile are never drawn; a picture
// older than the one on view is dropped. A drawing that has taken four times longer than drawings
// have been taking (at least a quarter of a second) while a newer line waits is abandoned, its
// worker with it, and a fresh worker takes the newest line if the old one held it; a worker whose
// engine has not started yet is left to start.
//
// With options.split, a change that finds both workers idle (a click, a key, the end of a drag)
// is split between them: each draws half the orbits as marks, the second hands its marks to the
// first (through the page, transferred, not copied), and the first draws the picture from both,
// the same pixels as one worker's. While changes keep coming the workers take turns instead, one
// picture each.

const workerScript = 'explore/worker.js';

export class Scheduler {
  // The workers' entries (see #startWorker), the newest request sent and the newest answered
  // (ids count up from 1), the line of the newest request, and how long drawings have been
  // taking (ms).
  #workers = [];
  #posted = 0;
  #answered = 0;
  #newestLine = '';
  #usualMs = 50;
  // Whether pictures are split when both workers are idle (options.split), and the workers of
  // each split picture still to be merged, by id.
  #split;
  #splits = new Map();
  // What the scheduler tells: onPicture(answer) a picture to put on view; onError(id, text) a
  // line refused or too large; onFailed(text) a worker that cannot draw; onStarted() a worker's
  // engine runs; onAnswer(id) any answer.
  #on;
  // The engine's compiled code, from the first worker.
  #moduleArrived;
  module = new Promise((resolve) => { this.#moduleArrived = resolve; });

  // The room the pictures have on the page, in screen pixels (options.room()): larger ones are
  // drawn smaller, to it, by the workers.
  #room;

  constructor(on, options = {}) {
    this.#on = on;
    this.#split = options.split === true;
    this.#room = options.room || (() => null);
  }

  // The first worker fetches and compiles the engine's code itself and hands the module back; the
  // others, and the page's engine, get it from there.
  startFirst() { this.#startWorker(0, true, window.figuresEarly); }
  startSecond() { this.#startWorker(1, false); }

  // Whether both workers' engines run.
  get running() {
    return this.#workers.length === 2 && this.#workers.every((entry) => entry.started);
  }

  // Whether the picture on view is behind the newest line asked for.
  get behind() { return this.#answered < this.#posted; }

  // Asks for a line's picture; returns the request's id.
  request(line) {
    this.#newestLine = line;
    const idle = (entry) => entry.done >= entry.sent;
    if (this.#split && this.running && this.#workers.every(idle)) {
      const [merger, helper] = this.#workers;
      const id = ++this.#posted;
      this.#splits.set(id, merger);
      this.#send(merger, id, line, 0);
      this.#send(helper, id, line, 1);
      setTimeout(() => this.#abandonStale(), this.#patience() + 1);
      return id;
    }
    const target = this.#workers.find((entry) => entry.started && idle(entry)) ||
                   this.#workers.find(idle) ||
                   this.#workers.reduce((a, b) => (a.since <= b.since ? a : b));
    this.#send(target, ++this.#posted, line);
    setTimeout(() => this.#abandonStale(), this.#patience() + 1);
    return this.#posted;
  }

  #patience() {
    return Math.max(250, 4 * this.#usualMs);
  }

  // A worker's entry: whether its engine runs, whether it has drawn (its first drawing, in code
  // not yet optimised, does not count towards the usual time), the newest request sent to it and
  // answered by it, and the one it said it is drawing, since when. The first may have been
  // started by the page's head already (index.html: `early` holds it and its answers so far).
  #startWorker(slot, first, early = {}) {
    const started = early.worker || null;
    const worker = started || new Worker(workerScript);
    const entry = {
      worker, started: false, ready: false, sent: 0, done: 0, drawing: 0, since: performance.now(),
    };
    worker.onmessage = (event) => this.#fromWorker(entry, event.data);
    worker.onerror = (event) => this.#on.onFailed(event.message || 'its worker failed');
    this.#workers[slot] = entry;
    if (started !== null) {
      delete window.figuresEarly.worker;
      for (const answer of early.answers.splice(0)) this.#fromWorker(entry, answer);
    }
    if (first) {
      if (started === null) worker.postMessage({ compile: true });
    } else {
      this.module.then((module) => worker.postMessage({ module }));
    }
    return entry;
  }

  // A request to a worker: the whole picture, or (with `part`) its part of a split one.
  #send(entry, id, line, part) {
    if (entry.done >= entry.sent) entry.since = performance.now();
    entry.sent = id;
    const room = this.#room();
    entry.worker.postMessage(part === undefined ? { id, line, png: false, room }
      : { id, line, png: false, room, part, parts: 2 });
  }

  #abandonStale() {
    this.#workers.forEach((entry, slot) => {
      if (entry.started && entry.done < entry.sent && entry.drawing < this.#posted &&
          performance.now() - entry.since >= this.#patience()) {
        entry.worker.terminate();
        const fresh = this.#startWorker(slot, false);
        if (entry.sent === this.#posted) this.#send(fresh, this.#posted, this.#newestLine);
      }
    });
  }

  #fromWorker(entry, answer) {
    if (answer.module) {
      this.#moduleArrived(answer.module);
      return;
    }
    if (answer.failed) {
      this.#on.onFailed(answer.failed);
      return;
    }
    if (answer.started) {
      entry.started = true;
      this.#on.onStarted();
      return;
    }
    if (answer.drawing) {
      entry.drawing = answer.drawing;
      entry.since = performance.now();
      return;
    }
    entry.done = Math.max(entry.done, answer.id);
    if (answer.share) {
      // The second half of a split picture, for the first to merge, while that one still has it
      // to draw (a worker started afresh has not).
      const merger = this.#splits.get(answer.id);
      this.#splits.delete(answer.id);
      if (merger !== undefined && this.#workers.includes(merger) && merger.sent === answer.id) {
        merger.worker.postMessage({ id: answer.id, foreign: answer.share },
                                  [answer.share.last, answer.share.colours]);
      }
      return;
    }
    this.#splits.delete(answer.id);
    if (entry.ready) this.#usualMs = 0.8 * this.#usualMs + 0.2 * (answer.ms || this.#usualMs);
    entry.ready = true;
    this.#on.onAnswer(answer.id);
    if (answer.id <= this.#answered) return;
    this.#answered = answer.id;
    if (answer.error) {
      this.#on.onError(answer.id, answer.error);
    } else {
      this.#on.onPicture(answer, this.#answered === this.#posted);
    }
  }
}

// A line's strip, whole, as a PNG file, made by a worker of its own (a very large file may take
// all of a worker's memory: it ends the worker, not the page). Resolves to { png, line } or
// rejects with the reason.
export function makeFile(module, line) {
  return new Promise((resolve, reject) => {
    const maker = new Worker(workerScript);
    maker.postMessage({ module });
    maker.postMessage({ id: 1, line, png: true });
    maker.onmessage = (event) => {
      if (event.data.started) return;
      maker.terminate();
      if (event.data.error || event.data.failed) {
        reject(new Error(event.data.error || event.data.failed));
      } else {
        resolve({ png: event.data.png, line: event.data.line });
      }
    };
    maker.onerror = (event) => {
      event.preventDefault();
      maker.terminate();
      reject(new Error('the page could not make it (' + (event.message || 'its worker failed') +
                       '); a smaller size may do'));
    };
  });
}
