// How live explore is on the page, in headless Chromium: the time from asking for the
// page to the first strip on view and to the controls taking changes, and, from that moment,
// while the kick slider is dragged over the default scene (a step every frame, for a few
// seconds): the pictures put on view per second, the worker's time per drawing, and the longest
// task on the page's main thread (Long Tasks are those over 50 ms). Prints the median of the
// rounds after one warm-up round.
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

// Installed before the page's scripts: when each strip is put on view, and the long tasks.
function recordStudio() {
  const log = { puts: [], longTasks: [], drawMs: [], inputs: 0 };
  window.addEventListener('input', () => ++log.inputs, true);
  window.exploreTimingLog = log;
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
}

async function round(browser, origin) {
  const context = await browser.newContext({ viewport: { width: 1280, height: 800 } });
  await context.addInitScript(recordStudio);
  const page = await context.newPage();
  await page.goto(origin + '/?program=explore');
  await page.waitForFunction(() => window.exploreTimingLog.puts.length > 0);
  const first = await page.evaluate(() => window.exploreTimingLog.puts[0]);
  // The slider takes changes once the page's own engine has started, after the first picture.
  await page.waitForFunction(() => document.getElementById('kick')?.disabled === false);
  const usable = await page.evaluate(() => performance.now());
  // The slider dragged as a browser reports a drag: one input event a frame, the thumb a step
  // further each time (driving the mouse from here could not keep up with the frames).
  const before = await page.evaluate(() => ({
    puts: window.exploreTimingLog.puts.length, inputs: window.exploreTimingLog.inputs,
    t: performance.now(),
  }));
  await page.evaluate((ms) => new Promise((done) => {
    const kick = document.getElementById('kick');
    const start = performance.now();
    let step = 0;
    const frame = () => {
      if (performance.now() - start >= ms) {
        done();
        return;
      }
      kick.value = (0.9 + 0.01 * (++step % 100)).toFixed(2);
      kick.dispatchEvent(new Event('input', { bubbles: true }));
      requestAnimationFrame(frame);
    };
    requestAnimationFrame(frame);
  }), dragMs);
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
    perSecond: (after.puts - before.puts) * 1000 / (after.t - before.t),
    longest: longTasks.length === 0 ? 0 : Math.max(...longTasks),
    drawMs: after.drawMs,
    changesPerSecond: (after.inputs - before.inputs) * 1000 / (after.t - before.t),
  };
}

const median = (values) => values.slice().sort((a, b) => a - b)[Math.floor(values.length / 2)];

const server = await serve(webDir);
const browser = await launchChromium(modulesDir, chromiumPath);
try {
  const origin = `http://127.0.0.1:${server.address().port}`;
  await round(browser, origin);
  const results = [];
  for (let i = 0; i < rounds; ++i) results.push(await round(browser, origin));
  const firsts = results.map((r) => r.first), rates = results.map((r) => r.perSecond);
  console.log(`first strip on view: median ${median(firsts).toFixed(0)} ms after asking for the ` +
              `page (fastest ${Math.min(...firsts).toFixed(0)} ms)`);
  console.log(`the controls usable: median ${median(results.map((r) => r.usable)).toFixed(0)} ms`);
  console.log(`dragging the kick slider: median ${median(rates).toFixed(1)} pictures/s ` +
              `for ${median(results.map((r) => r.changesPerSecond)).toFixed(1)} changes/s ` +
              `(slowest ${Math.min(...rates).toFixed(1)}); longest main-thread task over 50 ms: ` +
              `${Math.max(...results.map((r) => r.longest)).toFixed(0)} ms (0: none)`);
  const draws = results.flatMap((r) => r.drawMs).filter((ms) => ms > 0);
  console.log(`the worker's drawing: median ${median(draws).toFixed(1)} ms, fastest ` +
              `${Math.min(...draws).toFixed(1)} ms (${draws.length} drawings)`);
} finally {
  await browser.close();
  server.close();
}
