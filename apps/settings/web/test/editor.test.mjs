// The profile editor and the active-hours screen in headless Chromium, end to end with the
// home screen on a virtual clock: what the user sets on the page is what the phone does.
import assert from 'node:assert/strict';
import path from 'node:path';
import { after, before, describe, test } from 'node:test';
import { Phone, screenshots } from './phone.mjs';

const near = (a, b) => Math.abs(a - b) < 0.011;

// Drags a volume slider to a fraction of its track and lets go.
async function dragSlider(page, scope, name, fraction) {
  const range = scope.locator(`ion-range[label="${name}"]`);
  const bar = await range.locator('.range-bar-container').boundingBox();
  const knob = await range.getByRole('slider').boundingBox();
  await page.mouse.move(knob.x + knob.width / 2, knob.y + knob.height / 2);
  await page.mouse.down();
  await page.mouse.move(bar.x + bar.width * fraction, knob.y + knob.height / 2, { steps: 8 });
  await page.mouse.up();
}

// Turns a wheel of the time picker to the option with the text.
async function turnWheel(page, column, text) {
  const wheel = page.locator('ion-datetime ion-picker-column').nth(column);
  await wheel.locator('ion-picker-column-option', { hasText: new RegExp(`^\\s*${text}\\s*$`) }).first().click();
}

// Waits until the pane's wheel holds the time ("HH:MM") the host gave it.
async function wheelShows(page, time) {
  await page.waitForFunction((expected) => document.querySelector('ion-datetime')?.dataset.time === expected, time);
}

describe('the profile editor', () => {
  let phone;
  let page;
  before(async () => {
    phone = await Phone.boot({
      before: (p) => p.phonectl('calendar', 'add', 'Work', '--title', 'Meeting', '--start', '2026-12-08T09:05:00', '--end', '2026-12-08T09:35:00'),
    });
    // The default profile follows every calendar too; it is switched off so that only the
    // profile made here acts.
    const { profiles } = await phone.state();
    await phone.phonectl('send', 'com.velloq.HushlineProfileUpdateMessageKey', '--user-info',
      JSON.stringify({ ProfileIdentifier: profiles[0].identifier, ChangedData: { enabled: false } }));
    await phone.waitForState((state) => !state.profiles[0].enabled, 'the default profile off');
    await phone.startSettings();
    page = await phone.openPage();
  });
  after(() => phone.shutdown());

  test('a profile made in the modal editor silences the phone at the meeting with its ringer', async () => {
    const modal = page.locator('#modal');
    const title = modal.getByRole('textbox', { name: 'Title' });
    // Cancel drops the new profile.
    await page.getByRole('button', { name: 'Add', exact: true }).click();
    await title.fill('Dropped');
    await modal.getByRole('button', { name: 'Cancel' }).click();
    await modal.waitFor({ state: 'hidden' });
    assert.equal((await phone.state()).profiles.length, 1);

    await page.getByRole('button', { name: 'Add', exact: true }).click();
    await title.waitFor();
    assert.equal(await title.getAttribute('enterkeyhint'), 'done');
    await title.fill('Focus');
    await title.press('Enter');
    await modal.locator('ion-title', { hasText: 'Focus' }).waitFor();
    await dragSlider(page, modal, 'Ringer Volume', 0.25);
    await modal.getByText('Calendar Alert', { exact: true }).waitFor();
    await page.waitForTimeout(400);
    await page.screenshot({ path: path.join(screenshots, 'settings-profile-editor.png') });
    // Nothing is stored before Save.
    assert.equal((await phone.state()).profiles.length, 1);

    await modal.getByRole('button', { name: 'Save' }).click();
    await modal.waitFor({ state: 'hidden' });
    await page.getByText('Focus', { exact: true }).waitFor();
    const state = await phone.waitForState((s) => s.profiles.length === 2, 'the new profile');
    const focus = state.profiles.find((profile) => profile.title === 'Focus');
    assert.ok(focus.enabled);

    await phone.phonectl('clock', 'advance', '660');
    const quiet = await phone.waitForState((s) => s.profiles.find((p) => p.title === 'Focus').applied, 'Focus applied');
    assert.ok(near(quiet.ringerVolume, 0.25), `ringer ${quiet.ringerVolume}`);
  });

  test('moving the ringer slider of the applied profile moves the phone\'s ringer at once', async () => {
    await page.getByText('Focus', { exact: true }).click();
    const slider = page.locator('ion-range[label="Ringer Volume"]');
    await slider.waitFor();
    await dragSlider(page, page, 'Ringer Volume', 0.6);
    const state = await phone.waitForState((s) => near(s.ringerVolume, 0.6), 'the ringer at 0.6');
    assert.ok(state.profiles.find((p) => p.title === 'Focus').applied);
  });

  test('active hours that leave the meeting outside revert the profile', async () => {
    await page.getByRole('switch', { name: 'All Day' }).click();
    const hours = page.getByRole('button', { name: 'From 8:00 AM To 5:00 PM' });
    await hours.waitFor();
    await page.waitForTimeout(400);
    await page.screenshot({ path: path.join(screenshots, 'settings-profile-editor-hours.png') });
    await hours.click();
    await page.locator('ion-datetime').waitFor();
    await page.locator('ion-title', { hasText: 'Active Hours' }).waitFor();
    await page.waitForTimeout(600);
    await page.screenshot({ path: path.join(screenshots, 'settings-active-hours.png') });

    // "To" before "From" is refused; the stored hours stay. The wheel is turned only once it
    // shows the row tapped: the host answers the tap with the time to show.
    await page.getByText('To 5:00 PM', { exact: true }).click();
    await wheelShows(page, '17:00');
    await turnWheel(page, 2, 'AM');
    const alert = page.locator('ion-alert');
    await alert.getByText("Invalid configuration, 'To' time cannot be less than 'From' time.", { exact: true }).waitFor();
    await alert.getByText('Error', { exact: true }).waitFor();
    await page.screenshot({ path: path.join(screenshots, 'settings-active-hours-refused.png') });
    await alert.getByRole('button', { name: 'Close' }).click();
    await alert.waitFor({ state: 'detached' });
    await page.getByText('To 5:00 PM', { exact: true }).waitFor();

    // From 10:00 AM: the meeting, from 9:05 to 9:35, now lies before the hours.
    await page.getByText('From 8:00 AM', { exact: true }).click();
    await wheelShows(page, '08:00');
    await turnWheel(page, 0, '10');
    await page.getByText('From 10:00 AM', { exact: true }).waitFor();
    await phone.waitForState((s) => !s.profiles.find((p) => p.title === 'Focus').applied, 'Focus reverted');
    await page.getByRole('button', { name: /^Back/ }).click();
    await page.getByRole('button', { name: 'From 10:00 AM To 5:00 PM' }).waitFor();
    assert.deepEqual(phone.pageErrors, []);
  });

  test('the editor\'s rows open the calendar, Wi-Fi and tone pickers of the same profile', async () => {
    await page.getByText('Calendar', { exact: true }).click();
    await page.getByText('Ignore All Day Events', { exact: true }).waitFor();
    await page.getByText('Work', { exact: true }).waitFor();
    await page.getByRole('button', { name: /^Back/ }).click();

    // The group and its row share the name: the row comes second.
    await page.getByText('WiFi Networks', { exact: true }).last().click();
    await page.getByText('Vibrate Alert', { exact: true }).waitFor({ state: 'detached' });
    await page.getByRole('button', { name: /^Back/ }).click();
    await page.getByText('Vibrate Alert', { exact: true }).waitFor();

    await page.getByText('Alert Tone', { exact: true }).click();
    await page.getByText('None', { exact: true }).first().waitFor();
    await page.getByText('Calendar Alert', { exact: true }).first().waitFor();
    await page.getByRole('button', { name: /^Back/ }).click();
    await page.getByText('Vibrate Alert', { exact: true }).waitFor();
    assert.deepEqual(phone.pageErrors, []);
  });
});
