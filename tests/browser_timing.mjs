// How long a viewer waits in the browser: from asking for a program's page to its first slide on
// view, against the desktop program's whole --export of every slide, measured in turns in one
// run so that both see the same machine. The first slide is on view when the frame that shows
// it is painted: the build's picture of it where the page has one (element timing: the moment
// its pixels were painted), or else the program's own. Also when the program's own first slide
// stood, when the page first shows a picture of the program's (figure1's empty box) and how
// long its first drawing took. Prints the median and the fastest of the rounds after one
// warm-up round of each, and the median of each round's ratio of the page's first slide to the
// desktop's export.
//
// usage: node tests/browser_timing.mjs BIN_DIR WEB_DIR NODE_MODULES_DIR CHROMIUM [PROGRAM [ROUNDS]]
// e.g.   node tests/browser_timing.mjs build/bin build/web web/node_modules /usr/bin/chromium
import { spawnSync } from 'node:child_process';
import { mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';

import { launchChromium, recordPage, serve } from './browser_support.mjs';

const [binDir, webDir, modulesDir, chromiumPath, name = 'figure1', roundsText = '7'] =
  process.argv.slice(2);
const rounds = Number(roundsText);
if (!chromiumPath || !Number.isInteger(rounds) || rounds < 1) {
  console.error('usage: node browser_timing.mjs BIN_DIR WEB_DIR NODE_MODULES_DIR CHROMIUM ' +
                '[PROGRAM [ROUNDS]]');
  process.exit(2);
}

const work = mkdtempSync(join(tmpdir(), 'figures-timing-'));

function desktopExportMs() {
  const dir = join(work, 'export');
  rmSync(dir, { recursive: true, force: true });
  const start = process.hrtime.bigint();
  const run = spawnSync(join(binDir, name), ['--export', dir], { encoding: 'utf8' });
  const ms = Number(process.hrtime.bigint() - start) / 1e6;
  if (run.status !== 0) throw new Error(`${name} --export failed: ${run.stderr}`);
  return ms;
}

// Times from the page's log, in ms since the page was asked for.
async function pageTimes(browser, origin) {
  const context = await browser.newContext({ viewport: { width: 1280, height: 800 } });
  try {
    await context.addInitScript(recordPage);
    await context.addInitScript(() => {
      window.firstSlidePainted = null;
      new PerformanceObserver((list) => {
        for (const entry of list.getEntries()) {
          if (entry.identifier === 'first-slide') window.firstSlidePainted ??= entry.renderTime;
        }
      }).observe({ type: 'element', buffered: true });
    });
    const page = await context.newPage();
    await page.goto(`${origin}/index.html?program=${name}`);
    await page.waitForFunction(
      () => window.figuresTestLog.some((e) => e.what === 'frame' && e.state === 'showing'),
      null, { timeout: 60_000 });
    const { log, painted } = await page.evaluate(() => ({
      log: window.figuresTestLog, painted: window.firstSlidePainted,
    }));
    const frames = log.filter((e) => e.what === 'frame');
    const puts = log.filter((e) => e.what === 'put');
    const firstSlide = frames.find((e) => e.state === 'showing' && e.slide === 1);
    const firstPicture = frames.find((e) => e.puts >= 1);
    // A page that paints nothing while it draws has no frame that says "drawing".
    const started = frames.find((e) => e.state === 'drawing');
    // The first slide's drawing: from the frame that said "drawing" to the last picture put
    // before the slide stood.
    const lastPut = puts.filter((e) => e.t <= firstSlide.t).pop();
    return {
      'first slide on view': Math.min(firstSlide.t, painted ?? Infinity),
      "the program's slide 1": firstSlide.t,
      'first picture on view': firstPicture.t,
      'program started': started?.t,
      'first slide drawn in': started && lastPut.t - started.t,
    };
  } finally {
    await context.close();
  }
}

function summary(measured) {
  const values = measured.filter((value) => value !== undefined);
  if (values.length < measured.length) return `not seen in ${measured.length - values.length} rounds`;
  const sorted = [...values].sort((a, b) => a - b);
  const median = sorted[Math.floor(sorted.length / 2)];
  return `median ${median.toFixed(0).padStart(5)} ms, fastest ${sorted[0].toFixed(0).padStart(5)} ms`;
}

const server = await serve(webDir);
const browser = await launchChromium(modulesDir, chromiumPath);
try {
  const origin = `http://127.0.0.1:${server.address().port}`;
  const desktop = [];
  const page = {};
  for (let round = 0; round <= rounds; ++round) {
    const ms = desktopExportMs();
    const times = await pageTimes(browser, origin);
    if (round === 0) continue;
    desktop.push(ms);
    for (const [what, t] of Object.entries(times)) (page[what] ??= []).push(t);
  }
  console.log(`${name}, ${rounds} rounds, desktop and page in turns:`);
  console.log(`  desktop, whole --export:       ${summary(desktop)}`);
  for (const [what, values] of Object.entries(page)) {
    console.log(`  page, ${(what + ':').padEnd(24)} ${summary(values)}`);
  }
  // Each round's page against the export that ran just before it.
  const ratios = page['first slide on view'].map((t, i) => t / desktop[i]).sort((a, b) => a - b);
  console.log(`  the first slide on view / the desktop's whole export: median ` +
              `${ratios[Math.floor(ratios.length / 2)].toFixed(2)} (from ${ratios[0].toFixed(2)} ` +
              `to ${ratios[ratios.length - 1].toFixed(2)}; goal <= 2.0)`);
} finally {
  await browser.close();
  server.close();
  rmSync(work, { recursive: true, force: true });
}
