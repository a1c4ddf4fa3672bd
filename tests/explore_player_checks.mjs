// The kick swept in explore's page (web/explore/player.js), checked in headless Chromium by the
// explore browser test (explore_browser_test.mjs hands over its page and helpers):
// - Play shows the sweep's kicks in order, each picture the desktop's export of its kick's line,
//   and ends with the scene at the last kick;
// - Pause leaves the scene and the address at the kick on view, and one undo takes the play back;
//   while it plays the address is not rewritten nor the history added to; Play again goes on;
// - a change of the scene while playing pauses first and applies to the kick on view;
// - Record saves a WebM video of the sweep, named after the group and the range, that the
//   browser plays back at the strip's size and the sweep's pace.

// Installed before the page's scripts: the player's frames as they go on view (the kick, the
// line, and for the frame window.playerCapture names its strip's pixels as base64), the
// address's replacements, and the types of the files made for download.
function watchPlayer() {
  window.playerLog = { frames: [], captured: null, replaced: 0, files: [] };
  const transfer = ImageBitmapRenderingContext.prototype.transferFromImageBitmap;
  ImageBitmapRenderingContext.prototype.transferFromImageBitmap = function (bitmap) {
    const readout = document.getElementById('play-kick');
    const pressed = document.getElementById('play')?.getAttribute('aria-pressed') === 'true';
    if (this.canvas.id === 'strip' && pressed) {
      const frame = Number(readout.dataset.frame);
      window.playerLog.frames.push({ kick: readout.dataset.kick, line: readout.dataset.line });
      if (frame === window.playerCapture) {
        const copy = document.createElement('canvas');
        copy.width = bitmap.width;
        copy.height = bitmap.height;
        const context = copy.getContext('2d');
        context.drawImage(bitmap, 0, 0);
        const bytes = context.getImageData(0, 0, copy.width, copy.height).data;
        let binary = '';
        for (let at = 0; at < bytes.length; at += 0x8000) {
          binary += String.fromCharCode.apply(null, bytes.subarray(at, at + 0x8000));
        }
        window.playerLog.captured = {
          line: readout.dataset.line, width: copy.width, height: copy.height, data: btoa(binary),
        };
      }
    }
    return transfer.call(this, bitmap);
  };
  const replace = history.replaceState;
  history.replaceState = function (...args) {
    ++window.playerLog.replaced;
    return replace.apply(this, args);
  };
  const make = URL.createObjectURL;
  URL.createObjectURL = function (blob) {
    window.playerLog.files.push({ type: blob.type, size: blob.size });
    return make.call(this, blob);
  };
}

// The sweep's fields set, and Play (or Record) pressed once the player takes it.
async function sweep(page, from, to, step, rate, button = '#play') {
  await page.waitForFunction(() => document.getElementById('play').disabled === false);
  await page.fill('#play-from', from);
  await page.fill('#play-to', to);
  await page.fill('#play-step', step);
  await page.fill('#play-rate', rate);
  await page.click(button);
}

const playing = (page) => page.evaluate(
  () => document.getElementById('play').getAttribute('aria-pressed') === 'true');

export async function checkPlayer({ context, page, origin, check, desktop, open, settled, asPicture,
                                    samePixels, saveDownload }) {
  await context.addInitScript(watchPlayer);
  const kickOf = (line) => line.match(/ kick=([^ ]+)/)[1];

  const start = await open(page, origin, 'kick=0.3 group=p2 size=600x100 length=200');

  // The sweep's kicks: counted in decimals, down too, the end kept where the steps miss it; a
  // start outside the kick's limits and a step of 0 refused.
  const sweeps = await page.evaluate(async () => {
    const { sweepKicks } = await import('./explore/player.js');
    return [sweepKicks('2', '0', '0.3', -10, 10), sweepKicks('-0.05', '0.1', '0.05', -10, 10),
            sweepKicks('0', '2', '0.01', -10, 10).kicks.slice(-3),
            sweepKicks('10.5', '0', '1', -10, 10).field, sweepKicks('0', '1', '0', -10, 10).field];
  });
  check(JSON.stringify(sweeps) === JSON.stringify([
    { kicks: ['2', '1.7', '1.4', '1.1', '0.8', '0.5', '0.2', '0'] },
    { kicks: ['-0.05', '0', '0.05', '0.1'] }, ['1.98', '1.99', '2'], 'from', 'step']),
        `the sweep's kicks in decimals, up and down, and its refusals (${JSON.stringify(sweeps)})`);

  // A whole play: four kicks, each shown in turn, the third compared with the desktop's export.
  await page.evaluate(() => { window.playerCapture = 2; });
  await sweep(page, '0.5', '0.8', '0.1', '10');
  const ended = await settled(page);
  const log = await page.evaluate(() => window.playerLog);
  check(JSON.stringify(log.frames.map((frame) => frame.kick)) === '["0.5","0.6","0.7","0.8"]' &&
        log.frames.every((frame) => kickOf(frame.line) === frame.kick),
        `Play shows the kicks 0.5 to 0.8 by 0.1 in order (${log.frames.map((f) => f.kick)})`);
  check(log.captured !== null && kickOf(log.captured.line) === '0.7' &&
        samePixels(asPicture(log.captured), desktop(log.captured.line)),
        'a played picture (kick 0.7) is explore --export\'s of its line, pixel for pixel');
  check(kickOf(ended.line) === '0.8' &&
        ended.line === start.line.replace(' kick=0.3 ', ' kick=0.8 '),
        `at the end of the sweep the scene stands at its last kick (${ended.line})`);

  // Pause in the middle of a slow play: the scene and the address at the kick on view, one
  // undo back to the scene before Play; no address written while playing.
  const before = await open(page, origin, 'kick=0.3 group=p2 size=600x100 length=200');
  await page.waitForFunction((line) => new URLSearchParams(location.search).get('scene') === line,
                             before.line, { timeout: 5000 }).catch(() => {});
  const quiet = await page.evaluate(() => ({ replaced: window.playerLog.replaced,
                                             history: history.length }));
  await sweep(page, '0', '2', '0.01', '8');
  await page.waitForFunction(() => window.playerLog.frames.length >= 4, null, { timeout: 10_000 });
  const during = await page.evaluate(() => ({ replaced: window.playerLog.replaced,
                                              history: history.length }));
  await page.click('#play');
  const onView = await page.evaluate(() => document.getElementById('play-kick').dataset.kick);
  const paused = await settled(page);
  await page.waitForFunction((line) => new URLSearchParams(location.search).get('scene') === line,
                             paused.line, { timeout: 5000 }).catch(() => {});
  const address = await page.evaluate(() => new URLSearchParams(location.search).get('scene'));
  check(JSON.stringify(during) === JSON.stringify(quiet) && Number(onView) >= 0.03,
        `while playing, no address is written and no history entry added (${onView} on view)`);
  check(kickOf(paused.line) === onView && address === paused.line &&
        paused.line === before.line.replace(' kick=0.3 ', ' kick=' + onView + ' ') &&
        samePixels(asPicture(paused), desktop(paused.line)),
        `Pause leaves the scene and the address at the kick on view (${paused.line})`);
  await page.click('#undo');
  const undone = await settled(page);
  check(undone.line === before.line,
        `one undo after Pause gives the scene before Play (${undone.line})`);

  // Play again goes on after the kick it was paused at (the scene but for its kick unchanged).
  await page.evaluate(() => { window.playerLog.frames = []; });
  await page.click('#play');
  await page.waitForFunction(() => window.playerLog.frames.length >= 1, null, { timeout: 10_000 });
  await page.click('#play');
  await settled(page);
  const resumed = await page.evaluate(() => window.playerLog.frames[0].kick);
  check(Math.round(100 * Number(resumed)) === Math.round(100 * Number(onView)) + 1,
        `Play again goes on from the kick after the one it was paused at (${onView}, ${resumed})`);

  // A change while playing pauses first: the group changed at the kick on view.
  await page.evaluate(() => { window.playerLog.frames = []; });
  await sweep(page, '1', '1.5', '0.01', '8');
  await page.waitForFunction(
    () => window.playerLog.frames.length >= 2 && window.playerLog.frames.at(-1).kick !== '1', null,
    { timeout: 10_000 });
  await page.selectOption('#group', 'p1');
  const changed = await settled(page);
  const kickThen = await page.evaluate(() => document.getElementById('play-kick').dataset.kick);
  check(!(await playing(page)) && changed.line.includes(' group=p1 ') &&
        kickOf(changed.line) === kickThen && Number(kickThen) > 1,
        `a change while playing pauses at the kick on view and applies there (${changed.line})`);

  // Record: the sweep as a WebM video, saved under the group's name and the range, that the
  // browser plays back at the strip's size, a tenth of a second a picture; and where the
  // browser has no encoder for scripts, as the canvas's stream recorded.
  await open(page, origin, 'kick=0.3 group=p2 size=600x100 length=200');
  for (const encoder of [true, false]) {
    if (!encoder) await page.evaluate(() => { window.VideoEncoder = undefined; });
    const [download] = await Promise.all([
      page.waitForEvent('download', { timeout: 20_000 }),
      sweep(page, '0.5', '0.7', '0.1', '10', '#record'),
    ]);
    const bytes = await saveDownload(download);
    const files = await page.evaluate(() => window.playerLog.files);
    const webm = files.at(-1) ?? {};
    const played = await page.evaluate(watchVideo, bytes.toString('base64'));
    const how = encoder ? 'encoded' : 'recorded from the stream';
    check(download.suggestedFilename() === 'explore-p2-kick-0.5-to-0.7.webm' &&
          bytes.length > 1000 && bytes.readUInt32BE(0) === 0x1a45dfa3 &&
          webm.type.startsWith('video/webm') && webm.size === bytes.length,
          `Record saves the sweep as a WebM video, ${how} (${download.suggestedFilename()}, ` +
          `${bytes.length} bytes, ${webm.type})`);
    check(played.width === 600 && played.height === 100 &&
          (!encoder || Math.abs(played.duration - 0.3) < 1e-6),
          `the browser plays the ${how} video back (${JSON.stringify(played)})`);
  }
}

// A video's size and length as the browser plays it back (the length found by seeking to its
// end: a recorded stream does not say it).
async function watchVideo(base64) {
  const bytes = Uint8Array.from(atob(base64), (character) => character.charCodeAt(0));
  const video = document.createElement('video');
  video.muted = true;
  video.src = URL.createObjectURL(new Blob([bytes], { type: 'video/webm' }));
  await new Promise((loaded, failed) => {
    video.onloadedmetadata = loaded;
    video.onerror = () => failed(new Error('the video does not play: ' + video.error?.message));
  });
  if (!Number.isFinite(video.duration)) {
    video.currentTime = 1e6;
    await new Promise((seeked) => { video.onseeked = seeked; });
  }
  return { width: video.videoWidth, height: video.videoHeight, duration: video.duration };
}
