// The browser playground in the system's headless Chromium: served by
// `lobarc serve`, a visitor enters the target through the display's dialog,
// then lets the autopilot fly the default hop at 100x, which must arrive
// within the scenario's goal. Also: a refused entry keeps the dialog open,
// and a page without WebAssembly (or without lobarc.wasm) says so.
//
// Environment: LOBARC_EXE (the lobarc program), LOBARC_WEB_DIR (the built
// page), CHROMIUM (the browser), LOBARC_SCREENSHOT_DIR (where the pictures go).
import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import { mkdirSync } from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';

const here = path.dirname(fileURLToPath(import.meta.url));
const root = path.resolve(here, '../..');
const exe = process.env.LOBARC_EXE || path.join(root, 'build/app/lobarc');
const site = process.env.LOBARC_WEB_DIR || path.join(root, 'build-web/site');
const shots = process.env.LOBARC_SCREENSHOT_DIR || path.join(root, 'build-web/screenshots');
const TIME_LIMIT_MS = 240000;

const log = (text) => console.log(`[browser] ${text}`);
const failAfter = setTimeout(() => {
  console.error(`[browser] FAILED: still running after ${TIME_LIMIT_MS / 1000} s`);
  process.exit(1);
}, TIME_LIMIT_MS);

// Starts `lobarc serve` on a free port and resolves with its address.
function serve() {
  return new Promise((resolve, reject) => {
    const server = spawn(exe, ['serve', '--port', '0', '--dir', site], { stdio: 'pipe' });
    let out = '';
    server.stdout.on('data', (d) => {
      out += d;
      const m = out.match(/http:\/\/127\.0\.0\.1:\d+\//);
      if (m) resolve({ server, url: m[0] });
    });
    server.stderr.on('data', (d) => { out += d; });
    server.on('exit', (code) => reject(new Error(`lobarc serve exited (${code}): ${out}`)));
    server.on('error', reject);
  });
}

async function openPage(browser, url, prepare) {
  const page = await browser.newPage({ viewport: { width: 1280, height: 800 } });
  page.on('pageerror', (e) => log(`page error: ${e.message}`));
  if (prepare) await prepare(page);
  await page.goto(url);
  return page;
}

const texts = (page) => page.evaluate(() => window.lobarcPage.texts());
const status = (page) => page.evaluate(() => window.lobarcPage.status());
const numberAfter = (all, prefix) => {
  const t = all.find((s) => s.startsWith(prefix));
  return t === undefined ? NaN : parseFloat(t.slice(prefix.length));
};

async function enterTarget(page) {
  await page.selectOption('#scenario', 'moon-hop');
  await page.click('button[data-warp="0"]');  // paused while typing
  await page.click('button[data-button="0"]');
  assert.equal(await page.textContent('#dialog-title'), 'Select Target :');
  // A base the Moon does not have: refused, the dialog stays open.
  await page.fill('#dialog-text', 'Nowhere');
  await page.press('#dialog-text', 'Enter');
  assert.match(await page.textContent('#dialog-refused'), /refused/);
  assert.equal(await page.isVisible('#dialog'), true);
  await page.fill('#dialog-text', 'Apollo16');
  await page.press('#dialog-text', 'Enter');
  await page.waitForSelector('#dialog', { state: 'hidden' });

  const shown = await texts(page);
  assert.ok(shown.includes('Apollo16'), `the display names the target: ${shown}`);
  // The plan climbs at least to the security altitude of 40 km.
  assert.ok(numberAfter(shown, 'hMax : ') >= 40, `hMax: ${shown}`);
  assert.ok(numberAfter(shown, 'DeltaV : ') > 500, `DeltaV: ${shown}`);
  log(`plan: ${shown.filter((s) => /^(Heading|hMax|DeltaV)/.test(s)).join(', ')}`);
}

async function flyHop(page) {
  await page.click('button[data-warp="1"]');
  await page.waitForFunction(() => window.lobarcPage.texts().some((t) => t.startsWith('Pitch : ')));
  await page.screenshot({ path: path.join(shots, 'playground-pad.png'), fullPage: true });
  await page.check('#autopilot');
  await page.click('button[data-warp="100"]');
  const start = Date.now();
  let page2 = false;
  for (;;) {
    const s = await status(page);
    if (s.note) assert.fail(`the autopilot stopped: ${s.note}`);
    if (s.done) break;
    const shown = await texts(page);
    const time = (await page.evaluate(() => window.lobarcPage.instruments())).time_s;
    // Page 2/2 late in the coast, when the picture of the hop is nearly whole.
    if (!page2 && shown.includes('2/2') && time > 500) {
      await page.screenshot({ path: path.join(shots, 'playground-page2.png'), fullPage: true });
      page2 = true;
    }
    if (Date.now() - start > 150000) assert.fail(`no arrival after 150 s: ${JSON.stringify(s)}`);
    await page.waitForTimeout(200);
  }
  const s = await status(page);
  const simTime = (await page.evaluate(() => window.lobarcPage.instruments())).time_s;
  log(`${s.arrived ? 'arrived' : 'missed'}: closest approach ${s.closest_m.toFixed(0)} m ` +
    `(goal ${s.goal_m} m) at t = ${s.closest_t_s.toFixed(0)} s, ${s.corrections} corrections, ` +
    `${simTime.toFixed(0)} simulated s in ${((Date.now() - start) / 1000).toFixed(1)} s`);
  assert.ok(page2, 'the autopilot never showed page 2/2 late in the coast');
  assert.equal(s.arrived, true);
  assert.ok(s.closest_m <= s.goal_m);
}

async function oneClearMessage(browser, url) {
  const cases = [
    ['no WebAssembly', (p) => p.addInitScript(() => { delete window.WebAssembly; }),
      /does not offer/],
    ['lobarc.wasm missing', (p) => p.route('**/lobarc.wasm', (r) => r.fulfill({ status: 404 })),
      /could not be loaded/],
  ];
  for (const [name, prepare, expected] of cases) {
    const page = await openPage(browser, url, prepare);
    await page.waitForSelector('#fatal', { state: 'visible', timeout: 30000 });
    assert.match(await page.textContent('#fatal'), expected, name);
    assert.equal(await page.isVisible('#app'), false, name);
    await page.close();
  }
}

async function main() {
  mkdirSync(shots, { recursive: true });
  const { server, url } = await serve();
  log(`serving at ${url}`);
  const browser = await chromium.launch({
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  });
  try {
    const page = await openPage(browser, url);
    await page.waitForFunction(() => window.lobarcPage && window.lobarcPage.ready,
      null, { timeout: 60000 });
    await enterTarget(page);
    await flyHop(page);
    await page.close();
    await oneClearMessage(browser, url);
  } finally {
    await browser.close();
    server.kill();
  }
  log(`passed; screenshots in ${shots}`);
}

main().then(() => {
  clearTimeout(failAfter);
}, (e) => {
  console.error(`[browser] FAILED: ${e.stack || e}`);
  process.exit(1);
});
