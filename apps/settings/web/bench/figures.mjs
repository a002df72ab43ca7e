// Figures of the settings page (not a test): the time from opening the page to the root list
// drawn, a switch's round trip (tap, POST, the host's change, SSE, drawn) as the median of 50,
// and the Settings host's memory. Run by bench/settings_page.sh against an optimised build.
import { readFile } from 'node:fs/promises';
import { Phone } from '../test/phone.mjs';

const median = (values) => values.slice().sort((a, b) => a - b)[Math.floor(values.length / 2)];

async function firstScreen(phone, times) {
  const results = [];
  for (let i = 0; i < times; ++i) {
    const context = await phone.browser.newContext({ viewport: { width: 390, height: 844 } });
    const page = await context.newPage();
    const start = Date.now();
    await page.goto(phone.address);
    await page.getByRole('switch', { name: 'Enabled' }).waitFor();
    await page.getByText('Miscellaneous', { exact: true }).waitFor();
    results.push(Date.now() - start);
    await context.close();
  }
  return results;
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

async function residentKilobytes(pid) {
  const status = await readFile(`/proc/${pid}/status`, 'utf8');
  return Number(/VmRSS:\s+(\d+)/.exec(status)[1]);
}

const phone = await Phone.boot({ clock: 'now' });
try {
  await phone.startSettings();
  const page = await phone.openPage();
  const first = await firstScreen(phone, 10);
  const trips = await roundTrips(page, 50);
  const rss = await residentKilobytes(phone.settings.pid);
  console.log(`first screen (open to root list drawn): median ${median(first)} ms of ${first.length} (min ${Math.min(...first)}, max ${Math.max(...first)})`);
  console.log(`switch round trip (tap, POST, SSE, drawn): median ${median(trips).toFixed(1)} ms of ${trips.length} (min ${Math.min(...trips).toFixed(1)}, max ${Math.max(...trips).toFixed(1)})`);
  console.log(`Settings host resident memory: ${(rss / 1024).toFixed(1)} MB`);
} finally {
  await phone.shutdown();
}
