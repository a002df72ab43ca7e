// The pickers in headless Chromium: each opened by the Settings host for the phone's profile,
// the way the profile editor's rows open them, against a booted phone on a virtual clock.
import assert from 'node:assert/strict';
import { writeFile } from 'node:fs/promises';
import path from 'node:path';
import { after, before, describe, test } from 'node:test';
import { Phone, screenshots } from './phone.mjs';

const profilesPath = 'var/mobile/Library/Preferences/com.velloq.hushline.profiles.plist';
const title = (page, text) => page.getByText(text, { exact: true });

// The checkmark of the row with the title, as the page draws it, on a row a screen reader calls chosen.
const checkmarkOf = (page, text) => page.locator('[aria-checked="true"]', { has: title(page, text) }).locator('.checkmark');

describe('the calendar and event-status pickers', () => {
  let phone;
  let page;
  before(async () => {
    phone = await Phone.boot({
      before: async (p) => {
        await p.phonectl('calendar', 'add', 'Work', '--title', 'Standup', '--start', '2026-12-08T09:00:00', '--end', '2026-12-08T10:00:00');
        await p.phonectl('calendar', 'add', 'icloud/Personal', '--title', 'Dentist', '--start', '2026-12-08T09:30:00', '--end', '2026-12-08T09:45:00');
        await p.phonectl('calendar', 'add', 'icloud/Personal', '--title', 'Review', '--start', '2026-12-08T10:30:00', '--end', '2026-12-08T11:00:00',
          '--status', 'confirmed');
        await p.phonectl('calendar', 'add', 'icloud/Personal', '--title', 'Maybe lunch', '--start', '2026-12-08T11:30:00', '--end', '2026-12-08T12:00:00',
          '--status', 'tentative');
        await writeFile(path.join(p.root, 'var/mobile/Calendars/local/Work/color'), '#3366FF\n');
        await writeFile(path.join(p.root, 'var/mobile/Calendars/icloud/Personal/color'), '#FF2D55\n');
      },
    });
    await phone.startSettings('HushlineCalendarsController');
    page = await phone.openPage((p) => title(p, 'Ignore All Day Events').waitFor());
  });
  after(() => phone.shutdown());

  test('shows the calendars per account with colour squares and checkmarks', async () => {
    await title(page, 'Event Status').waitFor();
    await title(page, 'All').waitFor();
    const accounts = await page.locator('ion-list-header').allInnerTexts();
    assert.deepEqual(accounts.map((text) => text.trim().toLowerCase()), ['icloud', 'local']);
    await checkmarkOf(page, 'Work').waitFor();
    await checkmarkOf(page, 'Personal').waitFor();
    const swatch = page.locator('ion-item', { has: title(page, 'Work') }).locator('img.swatch');
    assert.match(decodeURIComponent(await swatch.getAttribute('src')), /fill='rgba\(51, 102, 255, 1\)'/);
    await page.screenshot({ path: path.join(screenshots, 'settings-calendar-picker.png') });
    assert.deepEqual(phone.pageErrors, []);
  });

  test('a calendar tapped off no longer silences the phone, the other one still does', async () => {
    await title(page, 'Work').click();
    await checkmarkOf(page, 'Work').waitFor({ state: 'detached' });
    await phone.waitForState(async () => /icloud\/Personal/.test(await phone.file(profilesPath) ?? '')
      && !/local\/Work/.test(await phone.file(profilesPath) ?? ''), 'only Personal stored');
    await phone.phonectl('clock', 'advance', '360');
    assert.equal((await phone.state()).profiles[0].applied, false);
    await phone.phonectl('clock', 'advance', '1800');
    await phone.waitForState((state) => state.profiles[0].applied, 'the profile applied at the Personal meeting');
  });

  test('the event-status picker moves its single checkmark and stores the choice', async () => {
    await title(page, 'Event Status').click();
    await title(page, 'Declined/Cancelled').waitFor();
    await checkmarkOf(page, 'All').waitFor();
    await title(page, 'Tentative').click();
    await checkmarkOf(page, 'Tentative').waitFor();
    assert.equal(await page.getByRole('radio', { checked: true }).count(), 1);
    assert.equal(await page.locator('.checkmark').count(), 1);
    await phone.waitForState(async () => /<key>applyProfileEventStatus<\/key>\s*<integer>2<\/integer>/.test(await phone.file(profilesPath) ?? ''),
      'the status 2 stored');
    await page.screenshot({ path: path.join(screenshots, 'settings-event-status-picker.png') });
    await page.getByRole('button', { name: /^Back/ }).click();
    await page.locator('ion-item', { has: title(page, 'Event Status') }).getByText('Tentative', { exact: true }).waitFor();
  });

  test('with "Tentative" a confirmed meeting leaves the phone alone and a tentative one silences it', async () => {
    await phone.phonectl('clock', 'set', '2026-12-08T10:35:00');
    await phone.waitForState((state) => !state.profiles[0].applied, 'the profile not applied during the confirmed Review');
    await phone.phonectl('clock', 'advance', '3600');
    await phone.waitForState((state) => state.profiles[0].applied, 'the profile applied during the tentative lunch');
  });
});

describe('the Wi-Fi picker', () => {
  let phone;
  let page;
  before(async () => {
    phone = await Phone.boot();
    await phone.phonectl('wifi', 'join', 'Home');
    await phone.phonectl('wifi', 'join', 'Office');
    await phone.phonectl('wifi', 'leave');
    await phone.startSettings('HushlineWifiController');
    page = await phone.openPage((p) => p.getByRole('switch', { name: 'Office' }).waitFor());
  });
  after(() => phone.shutdown());

  test('a switch per remembered network; the chosen network applies the profile when joined', async () => {
    const home = page.getByRole('switch', { name: 'Home' });
    assert.equal(await home.isChecked(), false);
    await home.click();
    await phone.waitForState(async () => /<key>wifiNetworks<\/key>\s*<array>\s*<string>Home<\/string>/.test(await phone.file(profilesPath) ?? ''),
      'Home stored');
    await page.screenshot({ path: path.join(screenshots, 'settings-wifi-picker.png') });
    await phone.phonectl('wifi', 'join', 'Home');
    await phone.waitForState((state) => state.profiles[0].applied, 'the profile applied on Home');
  });
});

describe('the alert-tone picker', () => {
  let phone, page;
  before(async () => ({ phone, page } = await Phone.withPage({
    boot: { before: (p) => p.phonectl('calendar', 'add', 'Work', '--title', 'Standup', '--start', '2026-12-08T09:00:00', '--end', '2026-12-08T09:30:00') },
    picker: 'HushlineAlertToneController',
    ready: (p) => title(p, 'Calendar Alert').waitFor(),
  })));
  after(() => phone.shutdown());

  test('lists the phone tones with no tone at the top and the profile tone checked', async () => {
    const names = await page.locator('ion-item').allInnerTexts();
    assert.equal(names[0].trim(), 'None');
    await checkmarkOf(page, 'Calendar Alert').waitFor();
    await title(page, 'Opening').waitFor();
    await page.screenshot({ path: path.join(screenshots, 'settings-tone-picker.png') });
    await title(page, 'Calendar Alert').scrollIntoViewIfNeeded();
    await page.screenshot({ path: path.join(screenshots, 'settings-tone-picker-selected.png') });
  });

  test('a chosen tone plays on the phone and becomes the profile tone', async () => {
    await title(page, 'Chord').click();
    await checkmarkOf(page, 'Chord').waitFor();
    await phone.waitForState(async () => /texttone:Chord/.test(await phone.file(profilesPath) ?? ''), 'the tone stored');
    // The preview sounds on the phone: the home screen's change log has it as any tone.
    await phone.waitForState((state) => state.tones.at(-1)?.identifier === 'texttone:Chord', 'the tone played');
    const changes = await phone.phonectl('log');
    assert.match(changes, /tone.*texttone:Chord/);
    assert.deepEqual(phone.pageErrors, []);
  });

  test('the next start of the profile plays the chosen tone', async () => {
    await phone.phonectl('clock', 'advance', '360');
    const state = await phone.waitForState((s) => s.profiles[0].applied, 'the profile applied at the Standup');
    await phone.waitForState((s) => s.tones.filter((tone) => tone.identifier === 'texttone:Chord').length === 2,
      `the start tone Chord after the preview (tones: ${JSON.stringify(state.tones)})`);
  });
});
