// The page behaves like the phone's Settings app: a change keeps the place and the focus, the
// time wheel shows what is stored, and a host that is away is said, not hidden.
import assert from 'node:assert/strict';
import path from 'node:path';
import { after, before, describe, test } from 'node:test';
import { Phone, screenshots } from './phone.mjs';

const profilesFile = 'var/mobile/Library/Preferences/com.velloq.hushline.profiles.plist';

// Waits (in real time, bounded) until the profiles file matches.
async function waitForFile(phone, pattern, what) {
  const deadline = Date.now() + 15000;
  for (;;) {
    const text = await phone.file(profilesFile) ?? '';
    if (pattern.test(text)) return text;
    if (Date.now() > deadline) throw new Error(`the profiles file never showed ${what}`);
    await new Promise((resolve) => setTimeout(resolve, 100));
  }
}

const stored = (key, tag) => new RegExp(`<key>${key}</key>\\s*${tag}`);
const scrollTop = (page) => page.evaluate(() => document.querySelector('#screen ion-content').shadowRoot.querySelector('.inner-scroll').scrollTop);
// Scrolls to the end once every widget has rendered (a widget that renders later makes the list longer).
async function scrollToBottom(page) {
  await page.waitForFunction(() => !document.querySelector('#screen :not(:defined)')
    && [...document.querySelectorAll('#screen ion-range, #screen ion-toggle')].every((node) => node.classList.contains('hydrated')));
  await page.evaluate(() => document.querySelector('#screen ion-content').scrollToBottom(0));
}
// What lies under a point of the screen: the text of the row there.
const rowTextAt = (page, x, y) => page.evaluate(([px, py]) => document.elementFromPoint(px, py)?.closest('ion-item')?.textContent.trim(), [x, y]);
const focusedIn = (page, selector) => page.evaluate((s) => !!document.activeElement?.closest(s), selector);
const back = (page) => page.getByRole('button', { name: /^Back/ }).click();

describe('a change keeps the place and the focus', () => {
  let phone, page;
  before(async () => {
    ({ phone, page } = await Phone.withPage());
    await page.getByText('Profile', { exact: true }).click();
    await page.getByRole('switch', { name: 'Do not Disturb' }).waitFor();
  });
  after(() => phone.shutdown());

  test('a switch tapped far down the editor stays under the finger, the editor where it was', async () => {
    await scrollToBottom(page);
    const top = await scrollTop(page);
    assert.ok(top > 100, `the editor scrolled down (${top})`);
    const toggle = page.getByRole('switch', { name: 'Do not Disturb' });
    const box = await toggle.boundingBox();
    await toggle.click();
    await waitForFile(phone, stored('dnDEnabled', '<true/>'), 'Do not Disturb on');
    await page.waitForFunction(() => document.querySelector('ion-toggle[aria-label="Do not Disturb"]').checked === true);
    assert.equal(await scrollTop(page), top);
    assert.deepEqual(await toggle.boundingBox(), box);
    assert.match(await rowTextAt(page, box.x + 10, box.y + box.height / 2), /Do not Disturb/);
  });

  test('in the tone list a tap keeps the list still, so a second tap on the same spot takes the same tone', async () => {
    await page.getByText('Alert Tone', { exact: true }).click();
    await page.getByText('Opening', { exact: true }).waitFor();
    await scrollToBottom(page);
    const top = await scrollTop(page);
    const row = page.locator('ion-item').last();
    const name = (await row.textContent()).trim();
    const box = await row.boundingBox();
    await page.mouse.click(box.x + 40, box.y + box.height / 2);
    await waitForFile(phone, new RegExp(`<string>[^<]*:${name}</string>`), `the tone ${name}`);
    await page.locator('[aria-checked="true"]', { hasText: name }).waitFor();
    assert.equal(await scrollTop(page), top);
    assert.equal(await rowTextAt(page, box.x + 40, box.y + box.height / 2), `${name}✓`);
    await back(page);
    await page.getByRole('switch', { name: 'Do not Disturb' }).waitFor();
  });

  test('Space on a switch keeps the focus on it: the next Space switches it back', async () => {
    const toggle = page.getByRole('switch', { name: 'Vibrate', exact: true });
    await toggle.focus();
    await page.keyboard.press('Space');
    await waitForFile(phone, stored('vibrate', '<false/>'), 'vibrate off');
    assert.ok(await focusedIn(page, 'ion-toggle[aria-label="Vibrate"]'));
    await page.keyboard.press('Space');
    await waitForFile(phone, stored('vibrate', '<true/>'), 'vibrate on again');
    assert.ok(await focusedIn(page, 'ion-toggle[aria-label="Vibrate"]'));
    // The focused switch shows where the keyboard is.
    const ring = await page.locator('ion-toggle[aria-label="Vibrate"]').evaluate((node) => getComputedStyle(node).outlineStyle);
    assert.equal(ring, 'solid');
  });

  test('five arrow presses on a slider move it five steps, said in percent, and leave the focus on it', async () => {
    const slider = page.getByRole('slider', { name: 'Ringer Volume' });
    await slider.focus();
    const before = Number(await slider.getAttribute('aria-valuenow'));
    for (let i = 0; i < 5; i++) await page.keyboard.press('ArrowRight');
    const expected = (before + 5) / 100;
    await waitForFile(phone, new RegExp(`<key>ringerVolume</key>\\s*<real>${String(expected).replace('.', '\\.')}`), `the ringer at ${expected}`);
    assert.ok(await focusedIn(page, 'ion-range[label="Ringer Volume"]'));
    await page.waitForFunction((want) => document.querySelector('ion-range[label="Ringer Volume"]')
      .shadowRoot.querySelector('[role="slider"]').getAttribute('aria-valuetext') === want, `${before + 5} %`);
    await page.keyboard.press('ArrowLeft');
    await waitForFile(phone, new RegExp(`<key>ringerVolume</key>\\s*<real>${String((before + 4) / 100).replace('.', '\\.')}`), 'one step back');
  });
});

describe('the time wheel', () => {
  let phone, page;
  before(async () => {
    ({ phone, page } = await Phone.withPage());
    await page.getByText('Profile', { exact: true }).click();
    await page.getByRole('switch', { name: 'All Day' }).click();
    await page.getByRole('button', { name: 'From 8:00 AM To 5:00 PM' }).click();
    await page.locator('ion-datetime').waitFor();
  });
  after(() => phone.shutdown());

  test('turns back to the stored time after a refused one', async () => {
    await page.getByRole('radio', { name: 'To 5:00 PM' }).click();
    await page.getByRole('radio', { name: 'To 5:00 PM', checked: true }).waitFor();
    const wheel = page.locator('ion-datetime ion-picker-column');
    await page.waitForFunction(() => document.querySelector('ion-datetime').value?.includes('T17:00'));
    await wheel.nth(2).locator('ion-picker-column-option', { hasText: /^\s*AM\s*$/ }).click();
    const alert = page.locator('ion-alert');
    await alert.getByText("Invalid configuration, 'To' time cannot be less than 'From' time.", { exact: true }).waitFor();
    await alert.getByRole('button', { name: 'Close' }).click();
    await alert.waitFor({ state: 'detached' });
    // The wheel shows 5:00 PM again, as the row does.
    await page.waitForFunction(() => document.querySelector('ion-datetime').value?.includes('T17:00'));
    await page.waitForFunction(() => [...document.querySelector('ion-datetime').shadowRoot.querySelectorAll('ion-picker-column')]
      .map((column) => column.value).join(' ') === '17 0 pm');
    await page.getByRole('radio', { name: 'To 5:00 PM', checked: true }).waitFor();
    assert.match(await phone.file(profilesFile), /<key>endTime<\/key>\s*<string>5:00 PM<\/string>/);
  });
});

describe('a host that is away', () => {
  let phone, page;
  before(async () => ({ phone, page } = await Phone.withPage()));
  after(() => phone.shutdown());

  test('is said on the page, a tap goes back, and edits wait until the host is back', async () => {
    const toggle = page.getByRole('switch', { name: 'Enabled' });
    const banner = page.getByRole('status');
    const ended = new Promise((resolve) => phone.settings.once('exit', resolve));
    phone.settings.kill('SIGTERM');
    await ended;
    // A tap made before the page noticed: the switch goes back to what the host had.
    await toggle.click({ timeout: 2000 }).catch(() => {});
    await banner.getByText(/Not connected.*Reconnecting/).waitFor();
    await page.waitForFunction(() => document.querySelector('ion-toggle[aria-label="Enabled"]').checked === true);
    await page.screenshot({ path: path.join(screenshots, 'settings-not-connected.png') });
    // Edits are refused while the host is away.
    await assert.rejects(toggle.click({ timeout: 500 }));
    assert.equal(await page.evaluate(() => document.querySelector('ion-toggle[aria-label="Enabled"]').checked), true);

    await phone.startSettings();
    await banner.waitFor({ state: 'hidden', timeout: 15000 });
    await toggle.click();
    await page.getByText('Active Profiles', { exact: true }).waitFor({ state: 'detached' });
    assert.match(await phone.file('var/mobile/Library/Preferences/com.velloq.hushline.plist'), /bplist/);
  });
});

describe('a host that restarts while a title is being typed', () => {
  let phone, page;
  before(async () => ({ phone, page } = await Phone.withPage()));
  after(() => phone.shutdown());

  test('the page says the text was not saved', async () => {
    await page.getByText('Profile', { exact: true }).click();
    await page.getByRole('textbox', { name: 'Title' }).click();
    await page.keyboard.press('End');
    await page.keyboard.type(' at home');
    const ended = new Promise((resolve) => phone.settings.once('exit', resolve));
    phone.settings.kill('SIGTERM');
    await ended;
    await phone.startSettings();
    // The new host starts on its root list: the editor is closed with the typed text unsaved.
    const alert = page.locator('ion-alert');
    await alert.getByText('"Profile at home"', { exact: false }).waitFor({ timeout: 15000 });
    await alert.getByText('Not Saved', { exact: true }).waitFor();
    await alert.getByRole('button', { name: 'OK' }).click();
    await page.getByRole('switch', { name: 'Enabled' }).waitFor();
    assert.match(await phone.file(profilesFile), /<key>title<\/key>\s*<string>Profile<\/string>/);
  });
});
