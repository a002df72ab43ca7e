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

describe('the root list', () => {
  let phone;
  let page;
  before(async () => {
    phone = await Phone.boot({
      before: (p) => p.phonectl('calendar', 'add', 'Work', '--title', 'Standup', '--start', '2026-12-08T09:00:00', '--end', '2026-12-08T10:00:00'),
    });
    await phone.startSettings();
    page = await phone.openPage();
  });
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

  test('a profile is deleted through the action sheet', async () => {
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
  let phone;
  let page;
  before(async () => {
    phone = await Phone.boot();
    await phone.startSettings();
    page = await phone.openPage();
  });
  after(() => phone.shutdown());

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
    assert.equal((await postAction(phone, { type: 'change', screen: 's1', row: 99, value: true })).status, 400);
    assert.equal((await postAction(phone, { type: 'launch' })).status, 400);
    assert.equal((await postAction(phone, { type: 'change', screen: 's1', row: 1, value: false }, { 'Content-Type': 'text/plain' })).status, 400);
    assert.equal((await fetch(`${phone.address}page/..%2f..%2fpackage.json`)).status, 404);
  });
});
