// The first screen the host writes into the page: painted before any script has loaded, in the
// page's light and dark looks, taken away for the live screen with nothing moving, and never
// shown to a tab that reloads on a screen of its own.
import assert from 'node:assert/strict';
import path from 'node:path';
import { after, before, describe, test } from 'node:test';
import { Phone, screenshots } from './phone.mjs';

// Where every word of the root list stands, read through the widgets' shadow roots.
const wordsOf = (page, selector) => page.evaluate((selector) => {
  const places = {};
  const walk = (root) => {
    const walker = document.createTreeWalker(root, NodeFilter.SHOW_TEXT);
    for (let node = walker.nextNode(); node; node = walker.nextNode()) {
      const word = node.textContent.trim();
      const range = document.createRange();
      range.selectNodeContents(node);
      const box = range.getBoundingClientRect();
      if (word && box.width && box.right <= innerWidth && !(word in places)) places[word] = [box.x, box.y];
    }
    for (const element of root.querySelectorAll('*')) if (element.shadowRoot) walk(element.shadowRoot);
  };
  walk(document.querySelector(selector));
  return places;
}, selector);

describe('the first screen written into the page', () => {
  let phone, page;
  before(async () => {
    ({ phone, page } = await Phone.withPage());
  });
  after(() => phone.shutdown());

  test('shows the root list without any script, in both modes, and takes no taps', async () => {
    const words = {};
    for (const colorScheme of ['light', 'dark']) {
      const context = await phone.browser.newContext({ viewport: { width: 390, height: 844 }, colorScheme });
      const bare = await context.newPage();
      await bare.route('**/*.js', (route) => route.abort());
      await bare.goto(phone.address);
      const frame = bare.locator('#first-frame');
      for (const word of ['Enabled', 'Active Profiles', 'Profile', 'No Profiles', 'Miscellaneous', 'Today'])
        assert.ok(await frame.getByText(word, { exact: true }).isVisible(), word);
      assert.equal(await frame.locator('.ff-toggle.on').count(), 1, 'the master switch is drawn on');
      await bare.waitForFunction(() => document.getAnimations().every((animation) => animation.playState !== 'running')
        && [...document.images].every((image) => image.complete));
      await bare.screenshot({ path: path.join(screenshots, `look-first-screen-${colorScheme}.png`) });
      words[colorScheme] = await wordsOf(bare, '#first-frame');
      await frame.getByText('Enabled', { exact: true }).click({ force: true });
      await context.close();
    }
    assert.deepEqual(words.light, words.dark);
    assert.equal(await page.getByRole('switch', { name: 'Enabled' }).isChecked(), true, 'a tap on the first screen changes nothing');
  });

  // Loads a new tab with its scripts held back until the first screen's words are read, and
  // gives the words of both lists.
  async function bothLists(viewport) {
    const context = await phone.browser.newContext({ viewport });
    const fresh = await context.newPage();
    let release;
    const held = new Promise((resolve) => { release = resolve; });
    await fresh.route('**/page/dist/page.*.js', async (route) => { await held; await route.continue(); });
    await fresh.goto(phone.address, { waitUntil: 'commit' });
    await fresh.getByText('Miscellaneous', { exact: true }).waitFor();
    const firstWords = await wordsOf(fresh, '#first-frame');
    const tab = await fresh.locator('meta[name="hushline-tab"]').getAttribute('content');
    release();
    await fresh.waitForFunction(() => !document.getElementById('first-frame'));
    const liveWords = await wordsOf(fresh, 'ion-content');
    return { context, fresh, tab, firstWords, liveWords };
  }

  function assertSamePlaces(firstWords, liveWords, what) {
    for (const [word, [x, y]] of Object.entries(firstWords)) {
      if (!(word in liveWords)) continue;
      assert.ok(Math.abs(liveWords[word][0] - x) < 1 && Math.abs(liveWords[word][1] - y) < 1,
        `${what}: "${word}" at ${x},${y} first, at ${liveWords[word]} live`);
    }
    assert.ok(Object.keys(firstWords).filter((word) => word in liveWords).length >= 8, `${what}: the two lists show the same words`);
  }

  test('gives way to the live list with every word where it was, on the tab the host made', async () => {
    const { context, fresh, tab, firstWords, liveWords } = await bothLists({ width: 390, height: 844 });
    assertSamePlaces(firstWords, liveWords, 'at 390 px');
    assert.equal(await fresh.evaluate(() => sessionStorage.getItem('hushline.tab')), tab);
    assert.ok(tab.startsWith('tab-'));
    // The live list takes taps at once: switched off, the profiles' groups go.
    await fresh.getByRole('switch', { name: 'Enabled' }).click();
    await fresh.getByText('Active Profiles', { exact: true }).waitFor({ state: 'detached' });
    await fresh.getByRole('switch', { name: 'Enabled' }).click();
    await fresh.getByText('Active Profiles', { exact: true }).waitFor();
    await context.close();
  });

  test('matches the live list on a narrow phone and in the centred column of a wide window', async () => {
    const [profile] = (await phone.state()).profiles;
    await phone.phonectl('send', 'com.velloq.HushlineProfileUpdateMessageKey', '--user-info',
      JSON.stringify({ ProfileIdentifier: profile.identifier, ChangedData: { title: 'Weekly planning with the whole design team' } }));
    await page.getByText('Weekly planning with the whole design team', { exact: true }).waitFor();
    for (const viewport of [{ width: 320, height: 640 }, { width: 1280, height: 800 }]) {
      const { context, firstWords, liveWords } = await bothLists(viewport);
      assertSamePlaces(firstWords, liveWords, `at ${viewport.width} px`);
      await context.close();
    }
  });

  test('is not shown to a tab that reloads on a screen of its own', async () => {
    const back = page.getByRole('button', { name: /^Back to / });
    await page.getByText('Miscellaneous', { exact: true }).click();
    await back.waitFor();
    await page.route('**/*.js', (route) => route.abort());
    await page.reload();
    assert.equal(await page.locator('#first-frame').count(), 0);
    await page.unroute('**/*.js');
    await page.reload();
    await back.waitFor();
    assert.deepEqual(phone.pageErrors, []);
  });
});
