// The Settings page in headless Chromium, against a booted phone on a virtual clock.
import assert from 'node:assert/strict';
import path from 'node:path';
import { after, before, describe, test } from 'node:test';
import { Phone, screenshots } from './phone.mjs';

async function postAction(phone, body, headers = {}) {
  return fetch(`${phone.address}action`, {
    method: 'POST',
    headers: { 'Content-Type': 'application/json', ...headers },
    body: typeof body === 'string' ? body : JSON.stringify(body),
  });
}

// Drags the row leftwards from near its right edge, as a finger swipes it, and lets go.
async function swipeLeft(page, row, distance) {
  const box = await row.boundingBox();
  const y = box.y + box.height / 2;
  await page.mouse.move(box.x + box.width - 20, y);
  await page.mouse.down();
  await page.mouse.move(box.x + box.width - 20 - distance, y, { steps: 6 });
  await page.mouse.up();
}

// Waits until a tap at the middle of the element would land on it (or, with `wanted` false,
// would not): it is shown and nothing covers it.
async function waitTappable(page, locator, wanted = true) {
  await page.waitForFunction(([node, want]) => {
    const box = node.getBoundingClientRect();
    const hit = document.elementFromPoint(box.x + box.width / 2, box.y + box.height / 2);
    // A control drawn in a shadow root is hit through its host or the host's slotted content.
    const owner = node.getRootNode().host ?? node;
    return (hit !== null && (node.contains(hit) || owner.contains(hit))) === want;
  }, [await locator.elementHandle(), wanted]);
}

// The lines Ionic draws below a row, in pixels: its own and its content's.
const linesBelow = (item) => item.evaluate((node) => {
  const width = (part) => parseFloat(getComputedStyle(node.shadowRoot.querySelector(part)).borderBottomWidth);
  return width('.item-native') + width('.item-inner');
});

const rootShown = async (phone, page) => (await phone.screensOf(page)).navigation.screens.length === 1;

describe('the root list', () => {
  let phone, page;
  before(async () => ({ phone, page } = await Phone.withPage({
    boot: { before: (p) => p.phonectl('calendar', 'add', 'Work', '--title', 'Standup', '--start', '2026-12-08T09:00:00', '--end', '2026-12-08T10:00:00') },
  })));
  after(() => phone.shutdown());

  test('shows the header, the master switch, the profiles and Miscellaneous', async () => {
    await page.getByText('HushlineMe', { exact: true }).waitFor();
    await page.getByText('Silence your iDevice without noice!!', { exact: true }).waitFor();
    assert.equal(await page.getByRole('switch', { name: 'Enabled' }).isChecked(), true);
    await page.getByText('Active Profiles', { exact: true }).waitFor();
    await page.getByText('Inactive Profiles', { exact: true }).waitFor();
    await page.getByText('All Day', { exact: true }).waitFor();
    await page.getByText('No Profiles', { exact: true }).waitFor();
    await page.getByText('Miscellaneous', { exact: true }).waitFor();
    await page.waitForTimeout(1100);
    await page.screenshot({ path: path.join(screenshots, 'settings-root-list.png') });
    assert.deepEqual(phone.pageErrors, []);
  });

  test('a profile changed by a message from another process shows without a reload', async () => {
    const { profiles } = await phone.state();
    await phone.phonectl('send', 'com.velloq.HushlineProfileUpdateMessageKey', '--user-info',
      JSON.stringify({ ProfileIdentifier: profiles[0].identifier, ChangedData: { title: 'Focus time' } }));
    await page.getByText('Focus time', { exact: true }).waitFor({ timeout: 10000 });
  });

  test('switching Hushline off makes the home screen revert the applied profile', async () => {
    await phone.phonectl('clock', 'advance', '360');
    await phone.waitForState((state) => state.profiles[0].applied, 'the profile applied');
    const toggle = page.getByRole('switch', { name: 'Enabled' });
    await toggle.click();
    await phone.waitForState((state) => !state.profiles[0].applied, 'the profile reverted');
    await page.getByText('Active Profiles', { exact: true }).waitFor({ state: 'detached' });
    assert.equal(await toggle.isChecked(), false);
    assert.match(await phone.file('var/mobile/Library/Preferences/com.velloq.hushline.plist') ?? '', /bplist/);
    await toggle.click();
    await page.getByText('Active Profiles', { exact: true }).waitFor();
  });

  test('each group\'s title stands above its card, and the last row of a card draws no line below it', async () => {
    for (const [title, row] of [['Active Profiles', 'Focus time'], ['Inactive Profiles', 'No Profiles']]) {
      const header = await page.getByText(title, { exact: true }).boundingBox();
      const card = await page.locator('ion-list', { has: page.getByText(row, { exact: true }) }).boundingBox();
      assert.ok(header.y + header.height <= card.y, `${title} above its card`);
    }
    for (const card of await page.locator('#screen ion-list').all()) {
      const rows = await card.locator('ion-item').all();
      assert.equal(await linesBelow(rows.at(-1)), 0);
      for (const row of rows.slice(0, -1)) assert.ok(await linesBelow(row) > 0);
    }
    // A swiped row's options draw no line of their own either.
    const options = page.locator('ion-item-options');
    assert.equal(await options.evaluate((node) => getComputedStyle(node).borderBottomWidth), '0px');
  });

  test('in dark mode the cards are dark grey on black, their text white', async () => {
    await page.emulateMedia({ colorScheme: 'dark' });
    try {
      const card = page.locator('ion-list', { has: page.getByText('Focus time', { exact: true }) });
      const colours = () => card.evaluate((node) => ({
        card: getComputedStyle(node).backgroundColor,
        screen: getComputedStyle(node.closest('ion-content').shadowRoot.querySelector('#background-content')).backgroundColor,
        text: getComputedStyle(node.querySelector('ion-label')).color,
      }));
      // The rows fade to their new colour: every row shows the card's colour once done.
      await page.waitForFunction(() => [...document.querySelectorAll('#screen ion-item')]
        .every((item) => getComputedStyle(item.shadowRoot.querySelector('.item-native')).backgroundColor === 'rgb(28, 28, 30)'));
      assert.deepEqual(await colours(), { card: 'rgb(28, 28, 30)', screen: 'rgb(0, 0, 0)', text: 'rgb(255, 255, 255)' });
      await page.screenshot({ path: path.join(screenshots, 'settings-root-list-dark.png') });
    } finally {
      await page.emulateMedia({ colorScheme: 'light' });
    }
  });

  test('a profile row swiped left shows its red Delete; a tap on the open row or a short drag opens no editor', async () => {
    const row = page.locator('ion-item-sliding', { hasText: 'Focus time' });
    const remove = page.getByRole('button', { name: 'Delete Focus time', exact: true });
    await waitTappable(page, remove, false);
    // Too short a drag springs back and is no tap on the row.
    await swipeLeft(page, row, 25);
    await page.getByText('Focus time', { exact: true }).waitFor();
    await waitTappable(page, remove, false);
    assert.ok(await rootShown(phone, page));

    await swipeLeft(page, row, 120);
    await remove.click({ trial: true });
    await page.screenshot({ path: path.join(screenshots, 'settings-root-list-delete.png') });
    const box = await row.boundingBox();
    await page.mouse.click(box.x + box.width / 3, box.y + box.height / 2);
    await waitTappable(page, remove, false);
    await page.getByRole('switch', { name: 'Enabled' }).waitFor();
    assert.ok(await rootShown(phone, page));
    assert.equal((await phone.state()).profiles.length, 1);
  });

  test('the keyboard reaches Delete: tabbing to it slides the row open, Enter asks to confirm', async () => {
    const remove = page.getByRole('button', { name: 'Delete Focus time', exact: true });
    await page.getByRole('button', { name: /^Focus time/ }).focus();
    await page.keyboard.press('Tab');
    await waitTappable(page, remove);
    await page.keyboard.press('Enter');
    const sheet = page.locator('ion-action-sheet');
    await sheet.getByText("Are you sure you want to delete the profile 'Focus time'?", { exact: true }).waitFor();
    await sheet.getByRole('button', { name: 'Cancel' }).click();
    await sheet.waitFor({ state: 'detached' });
    await page.getByText('Focus time', { exact: true }).waitFor();
    assert.equal((await phone.state()).profiles.length, 1);
  });

  test('a profile is deleted through the action sheet', async () => {
    await swipeLeft(page, page.locator('ion-item-sliding', { hasText: 'Focus time' }), 120);
    await page.getByRole('button', { name: 'Delete Focus time', exact: true }).click();
    const sheet = page.locator('ion-action-sheet');
    await sheet.getByText("Are you sure you want to delete the profile 'Focus time'?", { exact: true }).waitFor();
    await sheet.getByRole('button', { name: 'Delete' }).click();
    await page.getByText('Focus time', { exact: true }).waitFor({ state: 'detached' });
    await phone.waitForState((state) => state.profiles.length === 0, 'no profiles');
    assert.equal(await page.getByText('No Profiles', { exact: true }).count(), 2);
  });
});

describe('the miscellaneous screen', () => {
  let phone, page;
  before(async () => ({ phone, page } = await Phone.withPage()));
  after(() => phone.shutdown());

  test('shows each group\'s title above its card and its footer below it', async () => {
    await page.getByText('Miscellaneous', { exact: true }).click();
    const parts = [page.getByText('Reset Profiles', { exact: true }).first(),
      page.locator('ion-list', { has: page.getByText('Reset Profiles', { exact: true }) }),
      page.getByText(/^If there is any problem with configured profiles/)];
    // A box is measured once shown: a widget not yet rendered has none.
    for (const part of parts) await part.waitFor();
    const [header, card, footer] = await Promise.all(parts.map((part) => part.boundingBox()));
    assert.ok(header.y + header.height <= card.y, 'the title above the card');
    assert.ok(footer.y >= card.y + card.height, 'the footer below the card');
    await page.getByRole('button', { name: /^Back/ }).click();
    await page.getByRole('switch', { name: 'Enabled' }).waitFor();
  });

  test('reset removes the profiles and restarts the home screen', async () => {
    await page.getByText('Miscellaneous', { exact: true }).click();
    await page.getByText('Report Problem', { exact: true }).waitFor();
    await page.waitForTimeout(1100);
    await page.screenshot({ path: path.join(screenshots, 'settings-miscellaneous.png') });
    const before = await phone.file('var/run/springboard.launched');
    const { profiles } = await phone.state();

    await page.getByText('Reset Profiles', { exact: true }).last().click();
    const sheet = page.locator('ion-action-sheet');
    await sheet.getByText('Are you sure you want to continue? Your device will repsring once done.', { exact: true }).waitFor();
    await sheet.getByRole('button', { name: 'OK' }).click();
    await page.getByRole('alertdialog', { name: 'Resetting' }).waitFor();
    await phone.phonectl('clock', 'advance', '2');
    await page.getByRole('alertdialog', { name: 'Resetting' }).waitFor({ state: 'detached' });
    const restarted = await phone.waitForState((state) => state.profiles.length === 1 && state.profiles[0].identifier !== profiles[0].identifier,
      'a new default profile', 30);
    assert.equal(restarted.profiles[0].title, 'Profile');
    assert.notEqual(await phone.file('var/run/springboard.launched'), before);
  });

  test('the back button leads to the root list', async () => {
    await page.getByRole('button', { name: /^Back/ }).click();
    await page.getByRole('switch', { name: 'Enabled' }).waitFor();
  });
});

describe('the host refuses what the page would not send', () => {
  let phone;
  before(async () => {
    phone = await Phone.boot();
    await phone.startSettings();
  });
  after(() => phone.shutdown());

  test('a foreign origin or host gets 403 and changes nothing', async () => {
    const state = await (await fetch(`${phone.address}state`)).json();
    const screen = state.navigation.screens[0].id;
    const toggle = { type: 'change', screen, row: 1, value: false };
    assert.equal((await postAction(phone, toggle, { Origin: 'http://evil.example' })).status, 403);
    assert.equal((await fetch(`${phone.address}state`, { headers: { Origin: 'http://127.0.0.1:1' } })).status, 403);
    const settings = await phone.file('var/mobile/Library/Preferences/com.velloq.hushline.plist');
    assert.match(settings, /<true\/>/);
  });

  test('malformed requests get 400 and change nothing', async () => {
    assert.equal((await postAction(phone, '{"type": ')).status, 400);
    const screen = (await (await fetch(`${phone.address}state`)).json()).navigation.screens[0].id;
    assert.equal((await postAction(phone, { type: 'change', screen, row: 99, value: true })).status, 400);
    assert.equal((await postAction(phone, { type: 'launch' })).status, 400);
    assert.equal((await postAction(phone, { type: 'change', screen, row: 1, value: false }, { 'Content-Type': 'text/plain' })).status, 400);
    assert.equal((await postAction(phone, { type: 'change', screen, row: 1, value: false, tab: 'no tab' })).status, 400);
    assert.equal((await fetch(`${phone.address}state?tab=${'x'.repeat(65)}`)).status, 400);
    assert.equal((await fetch(`${phone.address}page/..%2f..%2fpackage.json`)).status, 404);
  });
});
