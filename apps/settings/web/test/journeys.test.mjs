// Journeys across screens and processes: the page shows only what is stored, whatever else
// happens meanwhile (notices from the home screen, a reset, another process, a second tab, a
// Settings host that restarts).
import assert from 'node:assert/strict';
import { after, before, describe, test } from 'node:test';
import { Phone } from './phone.mjs';

const profilesFile = 'var/mobile/Library/Preferences/com.velloq.hushline.profiles.plist';
const settingsFile = 'var/mobile/Library/Preferences/com.velloq.hushline.plist';

function update(phone, identifier, changes) {
  return phone.phonectl('send', 'com.velloq.HushlineProfileUpdateMessageKey', '--user-info',
    JSON.stringify({ ProfileIdentifier: identifier, ChangedData: changes }));
}

// Resolves once the page has drawn a state after `action` ran.
async function afterRedraw(page, action) {
  const drawn = await page.evaluate(() => Number(document.body.dataset.drawn || 0));
  await action();
  await page.waitForFunction((before) => Number(document.body.dataset.drawn || 0) > before, drawn);
}

// The stored profiles, read from the file: each entry's plain fields (flags, numbers, texts).
async function storedProfiles(phone) {
  const file = await phone.file(profilesFile) ?? '';
  return [...file.matchAll(/<dict>([\s\S]*?)<\/dict>/g)].map(([, body]) => {
    const entry = {};
    for (const [, key, tag, text] of body.matchAll(/<key>([^<]+)<\/key>\s*<(true|false|real|integer|string)\s*\/?>(?:([^<]*)<\/\2>)?/g))
      entry[key] = tag === 'true' ? true : tag === 'false' ? false : tag === 'string' ? text : Number(text);
    return entry;
  });
}

// Waits (in real time, bounded) until the stored profiles satisfy the condition.
async function waitForStored(phone, condition, what) {
  const deadline = Date.now() + 15000;
  for (;;) {
    const profiles = await storedProfiles(phone);
    if (condition(profiles)) return profiles;
    if (Date.now() > deadline) throw new Error(`the profiles file never showed ${what}: ${JSON.stringify(profiles)}`);
    await new Promise((resolve) => setTimeout(resolve, 100));
  }
}

async function postAction(phone, body) {
  return fetch(`${phone.address}action`, { method: 'POST', headers: { 'Content-Type': 'application/json' }, body: JSON.stringify(body) });
}

async function addProfile(page, title) {
  const modal = page.locator('#modal');
  await page.getByRole('button', { name: 'Add', exact: true }).click();
  await modal.getByRole('textbox', { name: 'Title' }).fill(title);
  await modal.getByRole('textbox', { name: 'Title' }).press('Enter');
  await modal.getByRole('button', { name: 'Save' }).click();
  await modal.waitFor({ state: 'hidden' });
}

describe('a profile being added', () => {
  let phone, page;
  // The clock stands still: a profile added now is made in the default profile's second.
  before(async () => ({ phone, page } = await Phone.withPage()));
  after(() => phone.shutdown());

  test('stays new through notices from the home screen, and Cancel stores nothing', async () => {
    const [stored] = (await phone.state()).profiles;
    const modal = page.locator('#modal');
    const screen = page.locator('#screen');
    await page.getByRole('button', { name: 'Add', exact: true }).click();
    await modal.getByRole('switch', { name: 'Enable' }).waitFor();
    // The home screen changes the stored profile (made in the same second) and announces it.
    await update(phone, stored.identifier, { title: 'Morning' });
    await screen.getByText('Morning', { exact: true }).waitFor();
    await modal.getByRole('switch', { name: 'Enable' }).click();
    await modal.getByText('Schedule', { exact: true }).waitFor({ state: 'detached' });
    await update(phone, stored.identifier, { title: 'Evening' });
    await screen.getByText('Evening', { exact: true }).waitFor();
    await page.waitForFunction(() => document.querySelector('#modal ion-toggle[aria-label="Enable"]')?.checked === false);
    assert.equal(await modal.getByText('Schedule', { exact: true }).count(), 0);
    await modal.getByRole('button', { name: 'Cancel' }).click();
    await modal.waitFor({ state: 'hidden' });

    const profiles = await storedProfiles(phone);
    assert.equal(profiles.length, 1);
    assert.equal(profiles[0].identifier, stored.identifier);
    assert.equal(profiles[0].enabled, true);
    await update(phone, stored.identifier, { title: 'Profile' });
    await screen.getByText('Profile', { exact: true }).waitFor();
  });

  test('is saved beside the stored one, which keeps its own values', async () => {
    const modal = page.locator('#modal');
    await page.getByRole('button', { name: 'Add', exact: true }).click();
    await modal.getByRole('textbox', { name: 'Title' }).fill('Gym');
    await modal.getByRole('textbox', { name: 'Title' }).press('Enter');
    await update(phone, (await phone.state()).profiles[0].identifier, { ringerVolume: 0.25 });
    await waitForStored(phone, (profiles) => profiles[0].ringerVolume === 0.25, 'the ringer changed');
    await modal.getByRole('switch', { name: 'Vibrate', exact: true }).click();
    await modal.getByRole('button', { name: 'Save' }).click();
    await modal.waitFor({ state: 'hidden' });
    const profiles = await storedProfiles(phone);
    assert.deepEqual(profiles.map((p) => [p.title, p.vibrate, p.ringerVolume]), [['Profile', true, 0.25], ['Gym', false, 0.0625]]);
    assert.notEqual(profiles[0].identifier, profiles[1].identifier);
    await page.getByText('Gym', { exact: true }).waitFor();
  });
});

describe('Reset Profiles and a second tab', () => {
  let phone, page, second;
  before(async () => {
    ({ phone, page } = await Phone.withPage());
    await addProfile(page, 'Gym');
    second = await phone.newTab();
    await second.goto(phone.address);
    await second.getByText('Gym', { exact: true }).waitFor();
  });
  after(() => phone.shutdown());

  test('both tabs show the reset at once, and a later edit never brings the old profiles back', async () => {
    const old = (await phone.state()).profiles;
    await page.getByText('Miscellaneous', { exact: true }).click();
    await page.getByText('Reset Profiles', { exact: true }).last().click();
    await page.locator('ion-action-sheet').getByRole('button', { name: 'OK' }).click();
    await page.getByRole('alertdialog', { name: 'Resetting' }).waitFor();
    await phone.phonectl('clock', 'advance', '2');
    const reset = await phone.waitForState((state) => state.profiles.length === 1 && !old.some((p) => p.identifier === state.profiles[0].identifier),
      'a new default profile', 30);
    // Each tab has its own screens, and both show the reset on their root lists without a
    // reload.
    await page.getByRole('button', { name: /^Back/ }).click();
    for (const tab of [page, second]) {
      await tab.getByText('Profile', { exact: true }).waitFor({ timeout: 15000 });
      assert.equal(await tab.getByText('Gym', { exact: true }).count(), 0);
    }
    await page.getByText('Profile', { exact: true }).click();
    await page.getByRole('switch', { name: 'Vibrate', exact: true }).click();
    const profiles = await waitForStored(phone, (list) => list.length === 1 && list[0].vibrate === false, 'the new default profile edited');
    assert.equal(profiles[0].identifier, reset.profiles[0].identifier);
    assert.doesNotMatch(await phone.file(profilesFile), /Gym/);
  });

  test('a change in one tab shows in the other, which keeps its own screen', async () => {
    // The second tab stayed on the root list while the first opened the editor.
    await second.getByRole('switch', { name: 'Enabled' }).waitFor();
    await second.getByText('Profile', { exact: true }).click();
    await second.waitForFunction(() => document.querySelector('ion-toggle[aria-label="Vibrate"]')?.checked === false);
    await page.getByRole('switch', { name: 'Vibrate', exact: true }).click();
    await second.waitForFunction(() => document.querySelector('ion-toggle[aria-label="Vibrate"]')?.checked === true);
  });

  test('Back in one tab leaves the other tab\'s editor open, with the title being typed', async () => {
    await second.getByRole('textbox', { name: 'Title' }).click();
    await second.keyboard.press('End');
    await second.keyboard.type(' at home');
    await page.getByRole('button', { name: /^Back/ }).click();
    await page.getByRole('switch', { name: 'Enabled' }).waitFor();
    // A change from elsewhere redraws the second tab after the Back: it still shows the editor.
    await afterRedraw(second, async () => update(phone, (await phone.state()).profiles[0].identifier, { ringerVolume: 0.5 }));
    assert.equal((await phone.screensOf(second)).navigation.screens.length, 2);
    assert.equal(await second.locator('ion-alert').count(), 0);
    await second.waitForFunction(() => document.activeElement?.closest('ion-input')?.value === 'Profile at home');
    await second.keyboard.press('Enter');
    await waitForStored(phone, (profiles) => profiles[0].title === 'Profile at home' && profiles[0].ringerVolume === 0.5, 'the typed title stored');
  });

  test('a page whose Settings host restarted reconnects by itself', async () => {
    const address = phone.address;
    const ended = new Promise((resolve) => phone.settings.once('exit', resolve));
    phone.settings.kill('SIGTERM');
    await ended;
    assert.equal(await phone.startSettings(), address);
    // The new host starts on its root list; both tabs show it without a reload.
    for (const tab of [page, second])
      await tab.getByRole('switch', { name: 'Enabled' }).waitFor({ timeout: 15000 });
    await update(phone, (await phone.state()).profiles[0].identifier, { title: 'After restart' });
    await second.getByText('After restart', { exact: true }).waitFor({ timeout: 10000 });
  });
});

describe('the page shows only what the host keeps', () => {
  let phone, page;
  before(async () => ({ phone, page } = await Phone.withPage()));
  after(() => phone.shutdown());

  test('a stale tap is refused with 409 and never lands on the row that took its place', async () => {
    const [profile] = (await phone.state()).profiles;
    await page.getByText('Profile', { exact: true }).click();
    await page.getByRole('switch', { name: 'Vibrate', exact: true }).waitFor();
    const state = await phone.screensOf(page);
    const tab = await page.evaluate(() => sessionStorage.getItem('hushline.tab'));
    const editor = state.navigation.screens.at(-1);
    const rows = editor.groups.flatMap((group) => group.rows);
    const vibrate = rows.find((row) => row.id === 'vibrate');
    // Another process turns All Day off: "Active Hours" is inserted above the tapped row.
    await update(phone, profile.identifier, { allDay: false });
    await page.getByText('From', { exact: true }).first().waitFor({ timeout: 10000 });
    const stale = await postAction(phone, { tab, type: 'change', screen: editor.id, row: vibrate.index, rowId: 'vibrate', version: editor.version, value: false });
    assert.equal(stale.status, 409);
    const now = await stale.json();
    assert.notEqual(now.navigation.screens.at(-1).version, editor.version);
    const [after] = await storedProfiles(phone);
    assert.equal(after.vibrate, true);
    assert.equal(after.allDay, false);
    // A switch set to the value it has keeps its rows once.
    const fresh = now.navigation.screens.at(-1);
    const enabled = fresh.groups.flatMap((group) => group.rows).find((row) => row.id === 'enabled');
    const again = await postAction(phone, { tab, type: 'change', screen: fresh.id, row: enabled.index, rowId: 'enabled', version: fresh.version, value: true });
    assert.equal(again.status, 200);
    const shown = (await again.json()).navigation.screens.at(-1).groups.flatMap((group) => group.rows).map((row) => row.id);
    assert.equal(shown.filter((id) => id === 'vibrate').length, 1);
    // Another tab cannot tap a screen of this one.
    const elsewhere = await postAction(phone, { tab: 'other', type: 'change', screen: fresh.id, row: enabled.index, value: false });
    assert.equal(elsewhere.status, 409);
    assert.equal((await elsewhere.json()).navigation.screens.length, 1);
  });

  test('an update elsewhere keeps the title being typed', async () => {
    const [profile] = (await phone.state()).profiles;
    const title = page.getByRole('textbox', { name: 'Title' });
    await title.click();
    await page.keyboard.press('End');
    await page.keyboard.type(' at');
    // The next key comes right after the redraw, while the new field is still rendering.
    await page.evaluate(() => new MutationObserver((_, observer) => {
      observer.disconnect();
      document.execCommand('insertText', false, ' w');
    }).observe(document.body, { attributes: true, attributeFilter: ['data-drawn'] }));
    await afterRedraw(page, () => update(phone, profile.identifier, { ringerVolume: 0.5 }));
    // None is lost, typing goes on where it stopped, and nothing is stored before Enter.
    await page.waitForFunction(() => document.activeElement?.closest('ion-input')?.value === 'Profile at w', null, { timeout: 5000 });
    await page.keyboard.type('ork');
    await page.waitForFunction(() => document.activeElement?.closest('ion-input')?.value === 'Profile at work', null, { timeout: 5000 });
    assert.equal(await title.inputValue(), 'Profile at work');
    assert.equal((await storedProfiles(phone))[0].title, 'Profile');
    await page.keyboard.press('Enter');
    const [stored] = await waitForStored(phone, (profiles) => profiles[0].title === 'Profile at work', 'the typed title stored');
    assert.equal(stored.ringerVolume, 0.5);
  });

  test('a refused rename shows why, and the title the profile keeps', async () => {
    const title = page.getByRole('textbox', { name: 'Title' });
    await title.fill('   ');
    await title.press('Enter');
    const alert = page.locator('ion-alert');
    await alert.getByText('Profile name is required.', { exact: false }).waitFor();
    await alert.getByRole('button', { name: 'Close' }).click();
    await page.waitForFunction(() => document.querySelector('ion-input')?.value === 'Profile at work');
    assert.equal((await phone.state()).profiles[0].title, 'Profile at work');
  });

  test('with an unreadable settings file a flipped master switch goes back to what is stored', async () => {
    await page.getByRole('button', { name: /^Back/ }).click();
    await page.getByRole('switch', { name: 'Enabled' }).waitFor();
    const ended = new Promise((resolve) => phone.settings.once('exit', resolve));
    phone.settings.kill('SIGTERM');
    await ended;
    await import('node:fs/promises').then((fs) => fs.writeFile(`${phone.root}/${settingsFile}`, 'not a property list'));
    await phone.startSettings();
    await page.reload();
    const toggle = page.getByRole('switch', { name: 'Enabled' });
    await toggle.waitFor();
    await page.waitForFunction(() => document.querySelector('ion-toggle[aria-label="Enabled"]')?.checked === false);
    await afterRedraw(page, () => toggle.click());
    await page.waitForFunction(() => document.querySelector('ion-toggle[aria-label="Enabled"]')?.checked === false);
    assert.equal(await phone.file(settingsFile), 'not a property list');
    assert.equal(await page.getByText('Active Profiles', { exact: true }).count(), 0);
  });
});
