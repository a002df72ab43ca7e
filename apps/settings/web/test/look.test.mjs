// Every screen as the user sees it, in light and dark mode (screenshots for a person to look
// at), and the look that can be measured: the column centred on a wide window, a long title
// cut short on a narrow one, the slide of a pushed screen, the swipe back, the Add sheet, the
// names and states a screen reader is given.
import assert from 'node:assert/strict';
import path from 'node:path';
import { after, before, describe, test } from 'node:test';
import { Phone, screenshots } from './phone.mjs';

const longTitle = 'Weekly planning with the whole design team';

function update(phone, identifier, changes) {
  return phone.phonectl('send', 'com.velloq.HushlineProfileUpdateMessageKey', '--user-info',
    JSON.stringify({ ProfileIdentifier: identifier, ChangedData: changes }));
}

// Waits until every widget on the page has rendered and the logo has faded in.
async function settled(page) {
  // A change of mode starts the widgets' transitions at the next frame.
  await page.evaluate(() => new Promise((resolve) => requestAnimationFrame(() => requestAnimationFrame(resolve))));
  await page.waitForFunction(() => !document.querySelector(':not(:defined)')
    && [...document.querySelectorAll('ion-toggle, ion-range, ion-datetime, ion-input')].every((node) => node.classList.contains('hydrated'))
    && document.getAnimations().every((animation) => animation.playState !== 'running'));
  // Every card has taken the colour of the mode.
  await page.waitForFunction(() => {
    const probe = document.body.appendChild(Object.assign(document.createElement('div'), { style: 'background: var(--grouped-card)' }));
    const card = getComputedStyle(probe).backgroundColor;
    probe.remove();
    return [...document.querySelectorAll('ion-list ion-item')].every((item) => getComputedStyle(item.shadowRoot.querySelector('.item-native')).backgroundColor === card
      || item.matches('.ion-focused, .item-hover, .pane-table .selected'));
  });
}

async function shoot(page, name) {
  for (const colorScheme of ['light', 'dark']) {
    await page.emulateMedia({ colorScheme });
    await settled(page);
    await page.screenshot({ path: path.join(screenshots, `look-${name}-${colorScheme}.png`) });
  }
  await page.emulateMedia({ colorScheme: 'light' });
}

const back = (page) => page.getByRole('button', { name: /^Back/ }).click();

describe('every screen in light and dark mode', () => {
  let phone, page;
  before(async () => {
    ({ phone, page } = await Phone.withPage({
      boot: { before: (p) => p.phonectl('calendar', 'add', 'Work', '--title', 'Standup', '--start', '2026-12-08T09:00:00', '--end', '2026-12-08T10:00:00') },
    }));
    const [profile] = (await phone.state()).profiles;
    await update(phone, profile.identifier, { allDay: false });
    await page.getByText('8:00 AM - 5:00 PM', { exact: true }).waitFor();
  });
  after(() => phone.shutdown());

  test('the root list, a swiped row and the delete sheet', async () => {
    await shoot(page, 'root-list');
    const row = page.locator('ion-item-sliding', { hasText: 'Profile' });
    const box = await row.boundingBox();
    await page.mouse.move(box.x + box.width - 20, box.y + box.height / 2);
    await page.mouse.down();
    await page.mouse.move(box.x + box.width - 140, box.y + box.height / 2, { steps: 6 });
    await page.mouse.up();
    await shoot(page, 'root-list-delete');
    for (const [colorScheme, red] of [['light', 'rgb(255, 59, 48)'], ['dark', 'rgb(255, 69, 58)']]) {
      await page.emulateMedia({ colorScheme });
      const colours = await page.locator('ion-item-option').evaluate((node) => [getComputedStyle(node.querySelector('span')).color, getComputedStyle(node).backgroundColor]);
      assert.deepEqual(colours, ['rgb(255, 255, 255)', red], `Delete in ${colorScheme} mode`);
    }
    await page.emulateMedia({ colorScheme: 'light' });
    await page.getByRole('button', { name: 'Delete Profile' }).click();
    await page.locator('ion-action-sheet').waitFor();
    await shoot(page, 'delete-sheet');
    await page.locator('ion-action-sheet').getByRole('button', { name: 'Cancel' }).click();
    await page.locator('ion-action-sheet').waitFor({ state: 'detached' });
    // A tap elsewhere closes the row.
    await page.getByText('Inactive Profiles', { exact: true }).click();
    await page.locator('ion-item-sliding.item-sliding-active-slide').waitFor({ state: 'detached' });
  });

  test('the editor, its active hours, an alert and its pickers', async () => {
    await page.getByText('Profile', { exact: true }).click();
    await page.getByRole('switch', { name: 'Do not Disturb' }).waitFor();
    await shoot(page, 'editor');
    await page.evaluate(() => document.querySelector('#screen ion-content').scrollToBottom(0));
    await shoot(page, 'editor-bottom');
    await page.evaluate(() => document.querySelector('#screen ion-content').scrollToTop(0));
    await page.getByRole('button', { name: 'From 8:00 AM To 5:00 PM' }).click();
    await page.locator('ion-datetime').waitFor();
    await shoot(page, 'active-hours');
    await page.getByRole('radio', { name: 'To 5:00 PM' }).click();
    await page.getByRole('radio', { name: 'To 5:00 PM', checked: true }).waitFor();
    await page.locator('ion-datetime ion-picker-column').nth(2).locator('ion-picker-column-option', { hasText: /^\s*AM\s*$/ }).click();
    await page.locator('ion-alert').waitFor();
    await shoot(page, 'active-hours-refused');
    await page.locator('ion-alert').getByRole('button', { name: 'Close' }).click();
    await page.locator('ion-alert').waitFor({ state: 'detached' });
    await back(page);
    for (const [row, name, ready] of [['Calendar', 'calendars', 'Ignore All Day Events'], ['Alert Tone', 'tones', 'Opening']]) {
      await page.getByText(row, { exact: true }).click();
      await page.getByText(ready, { exact: true }).waitFor();
      await shoot(page, name);
      await back(page);
      await page.getByRole('switch', { name: 'Do not Disturb' }).waitFor();
    }
    await page.getByText('WiFi Networks', { exact: true }).last().click();
    await page.getByText('No known Wi-Fi networks.', { exact: false }).waitFor();
    await shoot(page, 'wifi-none');
    await back(page);
    await page.getByRole('switch', { name: 'Do not Disturb' }).waitFor();
    await back(page);
    await page.getByRole('switch', { name: 'Enabled' }).waitFor();
  });

  test('Miscellaneous, Today and the Add sheet', async () => {
    for (const [row, name, ready] of [['Miscellaneous', 'miscellaneous', 'Report Problem'], ['Today', 'today', 'Timeline']]) {
      await page.getByText(row, { exact: true }).click();
      await page.getByText(ready, { exact: true }).first().waitFor({ timeout: 15000 });
      await shoot(page, name);
      await back(page);
      await page.getByRole('switch', { name: 'Enabled' }).waitFor();
    }
    await page.getByRole('button', { name: 'Add', exact: true }).click();
    await page.locator('#modal').getByRole('textbox', { name: 'Title' }).waitFor();
    await shoot(page, 'add-sheet');
    await page.locator('#modal').getByRole('button', { name: 'Cancel' }).click();
    await page.locator('#modal').waitFor({ state: 'hidden' });
  });
});

describe('the look that can be measured', () => {
  let phone, page;
  before(async () => {
    ({ phone, page } = await Phone.withPage());
    const [profile] = (await phone.state()).profiles;
    await update(phone, profile.identifier, { title: longTitle });
    await page.getByText(longTitle, { exact: true }).waitFor();
  });
  after(() => phone.shutdown());

  test('a row\'s detail in the app\'s colour is readable text on the card, not a block of its pattern', async () => {
    const detail = page.locator('ion-item', { hasText: longTitle }).locator('ion-note');
    await detail.getByText('All Day').waitFor();
    const look = await detail.evaluate((node) => {
      const style = getComputedStyle(node);
      return { image: style.backgroundImage, transparent: style.color === 'rgba(0, 0, 0, 0)' || style.color === 'transparent' };
    });
    assert.deepEqual(look, { image: 'none', transparent: false });
  });

  test('on a wide window the phone column stands in the middle', async () => {
    await page.setViewportSize({ width: 1280, height: 800 });
    const box = await page.locator('ion-app').boundingBox();
    assert.ok(Math.abs(box.x + box.width / 2 - 640) <= 1, `column at ${box.x}, ${box.width} wide`);
    await shoot(page, 'wide');
  });

  test('on a narrow window a long title is cut with an ellipsis, and the editor\'s bar keeps its back button', async () => {
    await page.setViewportSize({ width: 320, height: 640 });
    const label = page.locator('ion-item', { hasText: longTitle }).locator('ion-label');
    const cut = await label.evaluate((node) => ({ overflow: getComputedStyle(node).textOverflow, cut: node.scrollWidth > node.clientWidth }));
    assert.deepEqual(cut, { overflow: 'ellipsis', cut: true });
    await shoot(page, 'narrow-root');
    await page.getByText(longTitle, { exact: true }).click();
    const backButton = await page.getByRole('button', { name: /^Back/ }).boundingBox();
    const text = await page.locator('ion-title').evaluate((node) => {
      const inner = node.shadowRoot.querySelector('.toolbar-title');
      return { x: inner.getBoundingClientRect().x, cut: inner.scrollWidth > inner.clientWidth, overflow: getComputedStyle(inner).textOverflow };
    });
    assert.ok(text.x >= backButton.x + backButton.width, `the title (at ${text.x}) starts after the back button (${backButton.x + backButton.width})`);
    delete text.x;
    assert.deepEqual(text, { cut: true, overflow: 'ellipsis' });
    await shoot(page, 'narrow-editor');
    await page.setViewportSize({ width: 390, height: 844 });
  });

  test('a pushed screen slides in from the right, and a swipe from the left edge goes back', async () => {
    await page.emulateMedia({ reducedMotion: 'no-preference' });
    try {
      await page.getByText('Alert Tone', { exact: true }).click();
      // Halfway through the slide the new screen is still partly off to the right.
      const offset = await page.waitForFunction(() => {
        const view = [...document.querySelectorAll('#screen > .view')].at(-1);
        const x = view.getBoundingClientRect().x;
        return x > 5 ? x : null;
      });
      assert.ok(await offset.jsonValue() > 5);
      await page.getByText('Opening', { exact: true }).waitFor();
      await settled(page);
      const box = await page.locator('#screen').boundingBox();
      await page.mouse.move(box.x + 5, box.y + 300);
      await page.mouse.down();
      await page.mouse.move(box.x + box.width * 0.7, box.y + 300, { steps: 10 });
      await page.mouse.up();
      await page.getByRole('switch', { name: 'Do not Disturb' }).waitFor();
      await page.getByText('Opening', { exact: true }).waitFor({ state: 'detached' });
      // The back button names the screen it leads to.
      await page.getByRole('button', { name: 'Back to Hushline' }).or(page.getByRole('button', { name: /^Back to / })).first().waitFor();
    } finally {
      await page.emulateMedia({ reducedMotion: 'reduce' });
    }
  });

  test('group titles are headings, footers are paragraphs of their own, choices have their state', async () => {
    await page.getByRole('heading', { name: 'Alerts' }).waitFor();
    const footer = page.getByText(/^Turn on to get notified before and after/);
    assert.equal(await footer.evaluate((node) => node.tagName), 'P');
    assert.ok(await page.getByRole('switch', { name: 'Ring Alert', checked: true }).isVisible());
  });
});
