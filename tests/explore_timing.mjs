// How quick and live explore is on the page, in headless Chromium, each figure beside the one it
// is held to, measured in turns in one run:
// - first sight: from asking for the page to the default scene's strip on view (the build's
//   picture, or the engine's, whichever comes first), against a one-line page's first paint from
//   the same server; and a scene from the address, to its strip on view;
// - single changes at rest (the kick set once, then a pause): from the change to its strip on
//   view, a picture split between the two workers against one worker's;
// - the kick slider dragged over the default scene (a step every frame, for a few seconds): the
//   pictures put on view per second, split pictures allowed and not, the worker's time per
//   drawing, and the longest task on the page's main thread (Long Tasks are those over 50 ms);
// - the kick played from 0 to 2 by 0.01 over the default scene (Play, player.js), asked for at
//   25 pictures a second and at 60 (as fast as they are drawn): the pictures put on view per
//   second from the first to the last, the wait for the first, and the workers' time a picture.
// Prints medians over the rounds after one warm-up round, and the ratios of each round's pairs.
//
// usage: node tests/explore_timing.mjs WEB_DIR NODE_MODULES_DIR CHROMIUM [ROUNDS]
// e.g.   node tests/explore_timing.mjs build/web web/node_modules /usr/bin/chromium
import { launchChromium, serve } from './browser_support.mjs';

const [webDir, modulesDir, chromiumPath, roundsText = '5'] = process.argv.slice(2);
const rounds = Number(roundsText);
if (!chromiumPath || !Number.isInteger(rounds) || rounds < 1) {
  console.error('usage: node explore_timing.mjs WEB_DIR NODE_MODULES_DIR CHROMIUM [ROUNDS]');
  process.exit(2);
}
const dragMs = 3000;
const oneLine = '<!doctype html><meta charset="utf-8"><title>One line</title><p>One line of text.';
// A scene of the address, as heavy as the default one.
const addressScene = 'kick=1.3 group=p2mg palette=5';

// Installed before the page's scripts: when each strip is put on view, the strip's first paint
// (element timing: the build's picture too), and the long tasks. `split` has the page split
// pictures between its workers when both are idle.
function recordStudio(split) {
  window.exploreSplit = split;
  const log = { puts: [], longTasks: [], drawMs: [], inputs: 0, stripPainted: null };
  window.addEventListener('input', () => ++log.inputs, true);
  window.exploreTimingLog = log;
  // The kick slider's value for a kick, by the page's own scale (its limits the number field's).
  window.sliderPlaces = async () => {
    const { KickScale } = await import('./explore/controls.js');
    const kick = document.getElementById('kick'), number = document.getElementById('kick-number');
    const scale = new KickScale(Number(number.min), Number(number.max));
    return (value) => String(Math.round(scale.at(value) * Number(kick.max)));
  };
  const transfer = ImageBitmapRenderingContext.prototype.transferFromImageBitmap;
  ImageBitmapRenderingContext.prototype.transferFromImageBitmap = function (...args) {
    if (this.canvas.id === 'strip') {
      log.puts.push(performance.now());
      // The status names the drawing's time just after its strip is put on view.
      setTimeout(() => log.drawMs.push(Number(document.getElementById('explore-status').dataset.drawMs)));
    }
    return transfer.apply(this, args);
  };
  new PerformanceObserver((list) => {
    for (const entry of list.getEntries()) {
      log.longTasks.push({ start: entry.startTime, duration: entry.duration });
    }
  }).observe({ type: 'longtask', buffered: true });
  new PerformanceObserver((list) => {
    for (const entry of list.getEntries()) {
      if (entry.identifier === 'strip' && log.stripPainted === null) {
        log.stripPainted = entry.renderTime || entry.loadTime;
      }
    }
  }).observe({ type: 'element', buffered: true });
}

// The one-line page's first paint, ms after it was asked for.
async function oneLinePaint(browser, origin) {
  const context = await browser.newContext({ viewport: { width: 1280, height: 800 } });
  try {
    const page = await context.newPage();
    await page.goto(origin + '/one-line.html');
    return await page.evaluate(() => new Promise((done) => {
      new PerformanceObserver((list) => {
        const paint = list.getEntries().find((entry) => entry.name === 'first-contentful-paint');
        if (paint) done(paint.startTime);
      }).observe({ type: 'paint', buffered: true });
    }));
  } finally {
    await context.close();
  }
}

async function studio(browser, origin, split, query = '') {
  const context = await browser.newContext({ viewport: { width: 1280, height: 800 } });
  await context.addInitScript(recordStudio, split);
  const page = await context.newPage();
  await page.goto(origin + '/?program=explore' + query);
  await page.waitForFunction(() => window.exploreTimingLog.puts.length > 0);
  const { firstPut, stripPainted } = await page.evaluate(() => ({
    firstPut: window.exploreTimingLog.puts[0], stripPainted: window.exploreTimingLog.stripPainted,
  }));
  const first = Math.min(firstPut, stripPainted ?? Infinity);
  // The slider takes changes once the page's own engine has started, after the first picture.
  await page.waitForFunction(() => document.getElementById('kick')?.disabled === false);
  const usable = await page.evaluate(() => performance.now());
  // Single changes at rest: each after a pause, timed to its strip on view.
  const single = [];
  for (let i = 1; i <= 6; ++i) {
    await page.waitForTimeout(400);
    single.push(await page.evaluate(async (value) => {
      const kick = document.getElementById('kick');
      const at = await sliderPlaces();
      return new Promise((done) => {
      const before = window.exploreTimingLog.puts.length;
      const start = performance.now();
      kick.value = at(value);
      kick.dispatchEvent(new Event('input', { bubbles: true }));
      kick.dispatchEvent(new Event('change', { bubbles: true }));
      const wait = () => {
        if (window.exploreTimingLog.puts.length > before) done(window.exploreTimingLog.puts[before] - start);
        else setTimeout(wait, 1);
      };
      wait();
      });
    }, 0.9 + 0.01 * i));
  }
  // The slider dragged as a browser reports a drag: one input event a frame, the thumb a step
  // further each time (driving the mouse from here could not keep up with the frames).
  const before = await page.evaluate(() => ({
    puts: window.exploreTimingLog.puts.length, inputs: window.exploreTimingLog.inputs,
    t: performance.now(),
  }));
  await page.evaluate(async (ms) => {
    const kick = document.getElementById('kick');
    const at = await sliderPlaces();
    return new Promise((done) => {
    const start = performance.now();
    let step = 0;
    const frame = () => {
      if (performance.now() - start >= ms) {
        done();
        return;
      }
      kick.value = at(0.9 + 0.01 * (++step % 100));
      kick.dispatchEvent(new Event('input', { bubbles: true }));
      requestAnimationFrame(frame);
    };
    requestAnimationFrame(frame);
    });
  }, dragMs);
  const after = await page.evaluate(() => ({
    puts: window.exploreTimingLog.puts.length, longTasks: window.exploreTimingLog.longTasks.slice(),
    drawMs: window.exploreTimingLog.drawMs.slice(1), inputs: window.exploreTimingLog.inputs,
    t: performance.now(),
  }));
  await context.close();
  const longTasks = after.longTasks.filter((task) => task.start >= before.t)
    .map((task) => task.duration);
  return {
    first,
    usable,
    single: median(single),
    perSecond: (after.puts - before.puts) * 1000 / (after.t - before.t),
    longest: longTasks.length === 0 ? 0 : Math.max(...longTasks),
    drawMs: after.drawMs,
    changesPerSecond: (after.inputs - before.inputs) * 1000 / (after.t - before.t),
  };
}

// The first strip of a scene from the address.
async function addressFirst(browser, origin) {
  const context = await browser.newContext({ viewport: { width: 1280, height: 800 } });
  await context.addInitScript(recordStudio, true);
  const page = await context.newPage();
  await page.goto(origin + '/?program=explore&scene=' + encodeURIComponent(addressScene));
  await page.waitForFunction(() => window.exploreTimingLog.puts.length > 0);
  const first = await page.evaluate(() => window.exploreTimingLog.puts[0]);
  await context.close();
  return first;
}

// A play of the kick over the default scene at `rate` pictures a second: what the player tells
// of it once it has ended (player.js: data-rate, data-start-ms, data-draw-ms of #play-kick).
async function play(browser, origin, rate) {
  const context = await browser.newContext({ viewport: { width: 1280, height: 800 } });
  try {
    const page = await context.newPage();
    await page.goto(origin + '/?program=explore');
    await page.waitForFunction(() => document.getElementById('play')?.disabled === false);
    await page.waitForTimeout(400);
    await page.fill('#play-rate', String(rate));
    await page.click('#play');
    await page.waitForFunction(
      () => document.getElementById('play').getAttribute('aria-pressed') === 'false', null,
      { timeout: 120_000 });
    const told = await page.evaluate(() => ({ ...document.getElementById('play-kick').dataset }));
    return { perSecond: Number(told.rate), startMs: Number(told.startMs),
             drawMs: Number(told.drawMs), shown: Number(told.shown) };
  } finally {
    await context.close();
  }
}

function median(values) {
  return values.slice().sort((a, b) => a - b)[Math.floor(values.length / 2)];
}

const server = await serve(webDir, { '/one-line.html': oneLine });
const browser = await launchChromium(modulesDir, chromiumPath);
try {
  const origin = `http://127.0.0.1:${server.address().port}`;
  const results = [];
  for (let i = 0; i <= rounds; ++i) {
    const round = {
      oneLine: await oneLinePaint(browser, origin),
      split: await studio(browser, origin, true),
      oneWorker: await studio(browser, origin, false),
      address: await addressFirst(browser, origin),
      play: await play(browser, origin, 25),
      playFast: await play(browser, origin, 60),
    };
    if (i > 0) results.push(round);
  }
  const all = (get) => results.map(get);
  const summary = (values) => `median ${median(values).toFixed(0)} ms (fastest ` +
                              `${Math.min(...values).toFixed(0)})`;
  const ratio = (values) => `${median(values).toFixed(2)} (from ${Math.min(...values).toFixed(2)} ` +
                            `to ${Math.max(...values).toFixed(2)})`;
  const firsts = results.flatMap((r) => [r.split.first, r.oneWorker.first]);
  console.log(`explore's page, ${rounds} rounds after a warm-up, side by side in each round:`);
  console.log(`  a one-line page's first paint:           ${summary(all((r) => r.oneLine))}`);
  console.log(`  the default scene's strip on view:       ${summary(firsts)}`);
  console.log(`    ratio to the one-line page's paint:    ` +
              `${ratio(results.flatMap((r) => [r.split.first / r.oneLine, r.oneWorker.first / r.oneLine]))}` +
              ' (goal <= 2.5)');
  console.log(`  a scene from the address, its strip:     ${summary(all((r) => r.address))}; ratio ` +
              `${ratio(all((r) => r.address / r.oneLine))}`);
  console.log(`  the controls usable:                     ` +
              `${summary(results.flatMap((r) => [r.split.usable, r.oneWorker.usable]))}`);
  console.log(`  a single change to its strip, split:     ${summary(all((r) => r.split.single))}`);
  console.log(`                             one worker:   ${summary(all((r) => r.oneWorker.single))}`);
  console.log(`    ratio split / one worker:              ` +
              `${ratio(all((r) => r.split.single / r.oneWorker.single))}`);
  for (const [name, get] of [['split', (r) => r.split], ['one worker', (r) => r.oneWorker]]) {
    const rates = all((r) => get(r).perSecond);
    console.log(`  dragging the kick slider (${name}): median ${median(rates).toFixed(1)} ` +
                `pictures/s for ${median(all((r) => get(r).changesPerSecond)).toFixed(1)} changes/s ` +
                `(slowest ${Math.min(...rates).toFixed(1)}); longest main-thread task over 50 ms: ` +
                `${Math.max(...all((r) => get(r).longest)).toFixed(0)} ms (0: none)`);
  }
  for (const [name, get] of [['at 25 a second', (r) => r.play], ['as drawn', (r) => r.playFast]]) {
    const rates = all((r) => get(r).perSecond);
    console.log(`  the kick played 0 to 2 (${name}): median ${median(rates).toFixed(1)} pictures/s ` +
                `(slowest ${Math.min(...rates).toFixed(1)}, fastest ${Math.max(...rates).toFixed(1)}; ` +
                `${median(all((r) => get(r).shown))} pictures), the first after ` +
                `${median(all((r) => get(r).startMs)).toFixed(0)} ms, a worker's picture ` +
                `${median(all((r) => get(r).drawMs)).toFixed(1)} ms (median)`);
  }
  const draws = results.flatMap((r) => r.oneWorker.drawMs).filter((ms) => ms > 0);
  console.log(`  one worker's drawing: median ${median(draws).toFixed(1)} ms, fastest ` +
              `${Math.min(...draws).toFixed(1)} ms (${draws.length} drawings)`);
} finally {
  await browser.close();
  server.close();
}
