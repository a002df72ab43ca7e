// Figures of the settings page (not a test): the time from opening the page to the root list
// drawn (the first screen the host writes into a new tab's page, and the live list) and the bytes
// moved until then, as the median of 10 fresh loads (each with an empty cache), a switch's round
// trip (tap, POST, the host's change, SSE, drawn) as the median of 50,
// a volume slider's round trip on an applied profile (let go on the page to the phone's new
// ringer volume, as `phonectl watch` reports it) as the median of 20, and the Settings host's
// memory. Run by bench/settings_page.sh against an optimised build.
import { spawn } from 'node:child_process';
import { readFile } from 'node:fs/promises';
import { Phone } from '../test/phone.mjs';

const median = (values) => values.slice().sort((a, b) => a - b)[Math.floor(values.length / 2)];

// The bytes the page moved until the first screen: the document and every response finished by
// then, headers included, as received (compressed or not). The event stream is still open and
// its few bytes are left out.
const transferred = (page) => page.evaluate(() =>
  performance.getEntriesByType('navigation').concat(performance.getEntriesByType('resource'))
    .reduce((sum, entry) => sum + entry.transferSize, 0));

// Marks, inside the page, the first frame that shows the root list ("Enabled" and the
// "Miscellaneous" group visible), be it the first screen the host wrote into the page or the one
// Ionic draws (Ionic hides a widget until it is drawn), and the first frame that shows the live
// list alone: Ionic's switch drawn, the host's first screen gone. Each mark is taken after its
// frame is painted (a task posted from its animation frame runs after the paint), so that
// neither the test driver's polling nor its round trips count.
const markFirstScreen = () => {
  const visible = (node) => node && node.checkVisibility({ visibilityProperty: true }) && node.getBoundingClientRect().height > 0;
  const leaf = (root, text) => [...root.querySelectorAll('*')].find((node) => !node.childElementCount && node.textContent.trim() === text);
  const wordShown = (root, text) => root && visible(leaf(root, text));
  const live = () => !document.getElementById('first-frame')
    && visible(document.querySelector('ion-toggle[aria-label="Enabled"].hydrated')) && wordShown(document.getElementById('screen'), 'Miscellaneous');
  const check = () => {
    if (!window.firstScreenMarked && ((wordShown(document.getElementById('first-frame'), 'Enabled') && wordShown(document.getElementById('first-frame'), 'Miscellaneous')) || live())) {
      window.firstScreenMarked = true;
      setTimeout(() => { window.firstScreenShown = performance.now(); });
    }
    if (live()) setTimeout(() => { window.firstScreenLive = performance.now(); });
    else requestAnimationFrame(check);
  };
  requestAnimationFrame(check);
};

// Loads in fresh browser contexts (an empty cache), timed from the navigation's start, in turns:
// a new tab, which the host gives its first screen, and a tab that names a tab of its own, as a
// reload does, which gets none and draws the live list alone (the page as it was before the host
// wrote first screens).
async function firstScreens(phone, address, times) {
  const fresh = { shown: [], live: [], bytes: [] };
  const reloaded = { shown: [], live: [], bytes: [] };
  for (let i = 0; i < 2 * times; ++i) {
    const figures = i % 2 ? reloaded : fresh;
    const context = await phone.browser.newContext({ viewport: { width: 390, height: 844 } });
    const page = await context.newPage();
    await page.addInitScript(markFirstScreen);
    if (figures === reloaded) await page.addInitScript((tab) => sessionStorage.setItem('hushline.tab', tab), `bench-${i}`);
    await page.goto(address);
    figures.live.push(await (await page.waitForFunction(() => window.firstScreenLive)).jsonValue());
    figures.shown.push(await page.evaluate(() => window.firstScreenShown));
    figures.bytes.push(await transferred(page));
    await context.close();
  }
  return { fresh, reloaded };
}

// Measured inside the page: from the tap to the frame after the host's new state was drawn.
async function roundTrips(page, times) {
  return page.evaluate(async (count) => {
    const toggle = () => document.querySelector('ion-toggle[aria-label="Enabled"]');
    const results = [];
    for (let i = 0; i < count; ++i) {
      const drawn = Number(document.body.dataset.drawn);
      const start = performance.now();
      toggle().shadowRoot ? toggle().click() : toggle().dispatchEvent(new MouseEvent('click'));
      while (Number(document.body.dataset.drawn) === drawn)
        await new Promise((resolve) => setTimeout(resolve, 0));
      await new Promise((resolve) => requestAnimationFrame(resolve));
      results.push(performance.now() - start);
      await new Promise((resolve) => setTimeout(resolve, 20));
    }
    return results;
  }, times);
}

// The default profile is applied (a meeting runs now); its editor's ringer slider is dragged to
// alternating volumes and let go, and the phone's change of the ringer is awaited.
async function sliderRoundTrips(phone, page, times) {
  const watch = spawn(process.env.HUSHLINE_PHONECTL, ['--root', phone.root, 'watch'], { stdio: ['ignore', 'pipe', 'ignore'] });
  let waiting = null;
  let buffered = '';
  watch.stdout.on('data', (chunk) => {
    buffered += chunk;
    const lines = buffered.split('\n');
    buffered = lines.pop();
    if (waiting && lines.some((line) => /ringer/i.test(line))) waiting();
  });
  await page.getByText('Profile', { exact: true }).first().click();
  const range = page.locator('ion-range[label="Ringer Volume"]');
  await range.waitFor();
  const results = [];
  try {
    for (let i = 0; i < times; ++i) {
      await range.locator('.range-bar-container').waitFor();
      const bar = await range.locator('.range-bar-container').boundingBox();
      const knob = await range.getByRole('slider').boundingBox();
      if (!bar || !knob) { --i; await page.waitForTimeout(50); continue; }
      const y = knob.y + knob.height / 2;
      await page.mouse.move(knob.x + knob.width / 2, y);
      await page.mouse.down();
      await page.mouse.move(bar.x + bar.width * (i % 2 ? 0.3 : 0.7), y, { steps: 4 });
      const changed = new Promise((resolve) => { waiting = resolve; });
      const start = performance.now();
      await page.mouse.up();
      await changed;
      results.push(performance.now() - start);
      waiting = null;
      await page.waitForTimeout(100);
    }
  } finally {
    watch.kill();
  }
  return results;
}

async function residentKilobytes(pid) {
  const status = await readFile(`/proc/${pid}/status`, 'utf8');
  return Number(/VmRSS:\s+(\d+)/.exec(status)[1]);
}

const local = (date) => new Date(date.getTime() - date.getTimezoneOffset() * 60000).toISOString().slice(0, 19);
const phone = await Phone.boot({
  clock: 'now',
  before: (p) => p.phonectl('calendar', 'add', 'Work', '--title', 'Figures', '--start', local(new Date(Date.now() - 60000)),
    '--end', local(new Date(Date.now() + 3600000))),
});
try {
  await phone.startSettings();
  const page = await phone.openPage();
  const trips = await roundTrips(page, 50);
  await phone.waitForState((state) => state.profiles[0].applied, 'the default profile applied', 30);
  const sliders = await sliderRoundTrips(phone, page, 20);
  const rss = await residentKilobytes(phone.settings.pid);
  // Last: every load leaves a tab behind for its grace, and the host draws every tab at a change.
  const { fresh, reloaded } = await firstScreens(phone, phone.address, 10);
  const figure = (values) => `median ${median(values).toFixed(0)} ms of ${values.length} (min ${Math.min(...values).toFixed(0)}, max ${Math.max(...values).toFixed(0)})`;
  const kilobytes = (values) => `median ${(median(values) / 1024).toFixed(1)} KB of ${values.length} (min ${(Math.min(...values) / 1024).toFixed(1)}, max ${(Math.max(...values) / 1024).toFixed(1)})`;
  console.log(`first screen of a new tab (navigation to the frame showing the root list, painted): ${figure(fresh.shown)}`);
  console.log(`first live screen of a new tab (navigation to the frame showing Ionic's root list alone, painted): ${figure(fresh.live)}`);
  console.log(`transfer until the first live screen of a new tab: ${kilobytes(fresh.bytes)}`);
  console.log(`first screen of a reloaded tab, drawn by Ionic alone, in turns with the new tabs: ${figure(reloaded.live)}`);
  console.log(`transfer until it: ${kilobytes(reloaded.bytes)}`);
  console.log(`switch round trip (tap, POST, SSE, drawn): median ${median(trips).toFixed(1)} ms of ${trips.length} (min ${Math.min(...trips).toFixed(1)}, max ${Math.max(...trips).toFixed(1)})`);
  console.log(`ringer slider round trip on an applied profile (let go, POST, stored, home screen, phone's ringer): median ${median(sliders).toFixed(1)} ms of ${sliders.length} (min ${Math.min(...sliders).toFixed(1)}, max ${Math.max(...sliders).toFixed(1)})`);
  console.log(`Settings host resident memory: ${(rss / 1024).toFixed(1)} MB`);
} finally {
  await phone.shutdown();
}
