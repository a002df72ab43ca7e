// The Today screen in headless Chromium: on a booted phone with three profiles and a day of
// meetings, it shows what `phonectl today` says for the same phone, and follows the phone when a
// meeting is added or a profile changes.
import assert from 'node:assert/strict';
import { execFile } from 'node:child_process';
import { mkdir, writeFile } from 'node:fs/promises';
import path from 'node:path';
import { after, before, describe, test } from 'node:test';
import { promisify } from 'node:util';
import { Phone, screenshots } from './phone.mjs';

const DAY = '2026-12-08';

function plistValue(value) {
  if (typeof value === 'boolean') return value ? '<true/>' : '<false/>';
  if (typeof value === 'number') return Number.isInteger(value) ? `<integer>${value}</integer>` : `<real>${value}</real>`;
  if (Array.isArray(value)) return `<array>${value.map(plistValue).join('')}</array>`;
  if (typeof value === 'object') return `<dict>${Object.entries(value).map(([key, item]) => `<key>${key}</key>${plistValue(item)}`).join('')}</dict>`;
  return `<string>${value}</string>`;
}

const plist = (value) => `<?xml version="1.0" encoding="UTF-8"?>\n<plist version="1.0">${plistValue(value)}</plist>\n`;

// "Family" all day on the calendar Family, "Office" 9-5 on Work (accepted meetings only, all-day
// events ignored), "Evening" 6-11 PM at the Wi-Fi network Home.
const profiles = [
  { identifier: 1000, title: 'Family', enabled: true, allDay: true, ringerVolume: 0.125, playBackVolume: 0.125, playAlert: false,
    calendarIdentifiers: ['local/Family'] },
  { identifier: 1001, title: 'Office', enabled: true, allDay: false, startTime: '9:00 AM', endTime: '5:00 PM', ringerVolume: 0.0625,
    playBackVolume: 0.0625, playAlert: true, applyProfileEventStatus: 1, allDayEventsIgnored: true, calendarIdentifiers: ['local/Work'] },
  { identifier: 1002, title: 'Evening', enabled: true, allDay: false, startTime: '6:00 PM', endTime: '11:00 PM', ringerVolume: 0.25,
    playBackVolume: 0.25, playAlert: false, wifiNetworks: ['Home'], calendarIdentifiers: ['local/Family'] },
];

const meetings = [
  ['Work', 'Standup', '09:30', '10:00', 'confirmed'],
  ['Work', 'Maybe sync', '11:00', '12:00', 'tentative'],
  ['Work', 'Review', '13:00', '14:00', 'cancelled'],
  ['Work', 'Workshop', '16:00', '18:00', 'confirmed'],
  ['Work', 'Dinner talk', '19:00', '20:00', 'confirmed'],
  ['Family', 'School play', '15:00', '16:00', 'confirmed'],
];

async function layOutTheDay(phone) {
  const preferences = path.join(phone.root, 'var/mobile/Library/Preferences');
  await mkdir(preferences, { recursive: true });
  await writeFile(path.join(preferences, 'com.velloq.hushline.profiles.plist'), plist(profiles));
  await writeFile(path.join(preferences, 'com.velloq.hushline.plist'), plist({ 'com.velloq.hushline.enabled': true }));
  for (const [calendar, title, start, end, status] of meetings) {
    await phone.phonectl('calendar', 'add', calendar, '--title', title, '--start', `${DAY}T${start}:00`, '--end', `${DAY}T${end}:00`,
      '--status', status);
  }
  await phone.phonectl('calendar', 'add', 'Work', '--title', 'Offsite', '--start', `${DAY}T00:00:00`, '--end', `${DAY}T00:00:00`,
    '--all-day', '--status', 'confirmed');
}

// Times as the profile editor writes them ("9:30 AM"), kept whole on a line: no-break spaces,
// and a dash that no line break may follow.
const nbsp = '\u00a0';
const editorTime = (clock) => {
  const [hour, minute] = clock.split(':').map(Number);
  return `${hour % 12 || 12}:${String(minute).padStart(2, '0')}${nbsp}${hour < 12 ? 'AM' : 'PM'}`;
};
const range = (from, to) => `${from}${nbsp}–\u2060${nbsp}${to}`;
const reportSentence = (text) => text.replace(/(\d{2}:\d{2})(?:-(\d{2}:\d{2}))?/g,
  (_, from, to) => (to ? range(editorTime(from), editorTime(to)) : editorTime(from)));

// What the screen should show for a report: its groups and rows as "title | detail".
function expectedGroups(report) {
  const clock = (time) => editorTime(time.slice(11, 16));
  const groups = [{ title: 'Timeline', rows: report.moments.length
    ? report.moments.map((moment) => `${moment.profileTitle} ${reportSentence(moment.text)} | ${clock(moment.time)}`)
    : ['No profile is applied or reverted.'] }];
  if (report.appliedAtStart.length)
    groups.unshift({ title: 'On Now', rows: report.appliedAtStart.map((on) => `${on.profileTitle} is ${reportSentence(on.text)}`) });
  for (const profile of report.profiles) {
    if (!profile.notActedUpon.length) continue;
    groups.push({ title: `${profile.title} (${profile.hours})`, rows: profile.notActedUpon.map(({ event, text }) =>
      `"${event.title}" (${event.calendarTitle}) – ${reportSentence(text)} | ${event.allDay ? 'all day' : range(clock(event.start), clock(event.end))}`) });
  }
  return groups;
}

// The titled groups the page shows, with their rows as "title | detail".
function shownGroups(page) {
  return page.evaluate(() => [...document.querySelectorAll('#screen .group')]
    .filter((group) => group.querySelector('ion-list-header'))
    .map((group) => ({
      title: group.querySelector('ion-list-header').textContent,
      rows: [...group.querySelectorAll('ion-item')].map((item) => {
        const detail = item.querySelector('ion-note')?.textContent;
        return item.querySelector('ion-label').textContent + (detail ? ` | ${detail}` : '');
      }),
    })));
}

// Waits (in real time, bounded) until the page shows the report's groups; fails with the last
// difference.
async function waitForReport(page, report, seconds = 30) {
  const expected = expectedGroups(report);
  const deadline = Date.now() + seconds * 1000;
  for (;;) {
    const shown = await shownGroups(page);
    try {
      assert.deepEqual(shown, expected);
      return;
    } catch (error) {
      if (Date.now() > deadline) throw error;
    }
    await page.waitForTimeout(100);
  }
}

describe('the Today screen', () => {
  let phone;
  let page;
  const today = async () => JSON.parse(await phone.phonectl('today', '--json'));

  before(async () => {
    phone = await Phone.boot({ before: layOutTheDay });
    await phone.phonectl('wifi', 'join', 'Home');
    // Started as a user starts it: phonectl tells the Settings app where phonectl is, whatever
    // the environment says (the app stops with the phone).
    const { HUSHLINE_PHONECTL: phonectl, ...environment } = process.env;
    const { stdout } = await promisify(execFile)(phonectl, ['--root', phone.root, 'settings', '--port', '0'], { env: environment });
    phone.address = stdout.trim();
    page = await phone.openPage();
  });
  after(() => phone.shutdown());

  test('the root list leads to it and it shows the timeline phonectl today gives', async () => {
    await page.getByText('Today', { exact: true }).click();
    await page.locator('ion-title', { hasText: 'Today' }).waitFor();
    const report = await today();
    // The day this phone was given: every kind of moment and of reason is there to compare.
    assert.deepEqual(report.moments.map((moment) => `${moment.time.slice(11, 16)} ${moment.profileTitle} ${moment.action}`), [
      '09:30 Office applied', '10:00 Office reverted', '15:00 Family applied', '16:00 Office applied', '16:00 Family reverted',
      '17:00 Office revertedQuietly', '18:00 Evening applied', '23:00 Evening reverted']);
    await waitForReport(page, report);
    await page.getByText(`From 8:55${nbsp}AM to midnight`, { exact: true }).waitFor();
    await page.getByText(report.assumption, { exact: true }).waitFor();
    await page.getByText('"Review" (Work) – the event is cancelled', { exact: true }).waitFor();
    await page.getByText('"Maybe sync" (Work) – filtered by attendance: "Accepted" wanted, event "Tentative"', { exact: true }).waitFor();
    await page.getByText('"School play" (Family) – the profile follows the Wi-Fi network "Home", not its calendar', { exact: true }).waitFor();
    await page.waitForTimeout(400);
    await page.screenshot({ path: path.join(screenshots, 'settings-today.png') });
    await page.getByText('"Offsite" (Work) – all-day events are ignored by the profile', { exact: true }).scrollIntoViewIfNeeded();
    await page.screenshot({ path: path.join(screenshots, 'settings-today-passed-over.png') });
    assert.deepEqual(phone.pageErrors, []);
  });

  test('a meeting file written into the calendar and a changed profile show without a tap', async () => {
    const folder = path.join(phone.root, 'var/mobile/Calendars/local/Work');
    await writeFile(path.join(folder, 'planning.ics'), ['BEGIN:VCALENDAR', 'VERSION:2.0', 'PRODID:-//test//EN', 'BEGIN:VEVENT',
      'UID:planning@test', 'DTSTAMP:20261201T000000Z', 'DTSTART:20261208T140000', 'DTEND:20261208T143000', 'SUMMARY:Planning',
      'STATUS:CONFIRMED', 'END:VEVENT', 'END:VCALENDAR', ''].join('\r\n'));
    await page.getByText(`Office applied for "Planning" (Work, ${range(`2:00${nbsp}PM`, `2:30${nbsp}PM`)})`, { exact: true }).waitFor({ timeout: 30000 });
    await waitForReport(page, await today());

    await phone.phonectl('send', 'com.velloq.HushlineProfileUpdateMessageKey', '--user-info',
      JSON.stringify({ ProfileIdentifier: 1001, ChangedData: { enabled: false } }));
    await page.getByText('"Planning" (Work) – the profile is disabled', { exact: true }).waitFor({ timeout: 30000 });
    const report = await today();
    assert.ok(report.moments.every((moment) => moment.profileTitle !== 'Office'));
    await waitForReport(page, report);
    assert.deepEqual(phone.pageErrors, []);
  });
});
