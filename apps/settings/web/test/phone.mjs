// A simulated phone for the page's tests: a fresh device root, booted with phonectl on a
// virtual clock, with the Settings host serving the page, and headless Chromium at 390x844.
import { execFile, spawn } from 'node:child_process';
import { openSync } from 'node:fs';
import { mkdtemp, readFile, rm } from 'node:fs/promises';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { promisify } from 'node:util';
import { chromium } from 'playwright-core';

const run = promisify(execFile);
const phonectlProgram = process.env.HUSHLINE_PHONECTL;
const settingsProgram = process.env.HUSHLINE_SETTINGS;
const pickerSettingsProgram = process.env.HUSHLINE_PICKER_SETTINGS;
export const screenshots = process.env.HUSHLINE_SCREENSHOTS || tmpdir();

export class Phone {
  static async boot({ clock = '2026-12-08T08:55:00', before = async () => {} } = {}) {
    const phone = new Phone(await mkdtemp(path.join(tmpdir(), 'hushline-page-')));
    await before(phone);
    await phone.phonectl('boot', '--clock', clock);
    return phone;
  }

  // A booted phone with the Settings page open on it: `boot` as Phone.boot takes it, `picker` as
  // startSettings does, `ready` as openPage does.
  static async withPage({ boot, picker, ready } = {}) {
    const phone = await Phone.boot(boot);
    await phone.startSettings(picker);
    const page = await phone.openPage(ready);
    return { phone, page };
  }

  constructor(root) {
    this.root = root;
    // The phone's calendar cache goes beside its root, not into the user's own cache.
    this.cache = `${root}.cache`;
    this.env = { ...process.env, XDG_CACHE_HOME: this.cache };
  }

  async phonectl(...args) {
    const { stdout } = await run(phonectlProgram, ['--root', this.root, ...args], { env: this.env });
    return stdout;
  }

  async state() {
    return JSON.parse(await this.phonectl('state'));
  }

  // The screens the host keeps for a tab of the page (each tab navigates on its own).
  async screensOf(page) {
    const tab = await page.evaluate(() => sessionStorage.getItem('hushline.tab'));
    return (await fetch(`${this.address}state?tab=${encodeURIComponent(tab)}`)).json();
  }

  async file(phonePath) {
    return readFile(path.join(this.root, phonePath), 'utf8').catch(() => null);
  }

  // Waits (in real time, bounded) until the condition over the phone's state holds. While the
  // home screen restarts the phone has no state to give; that counts as not yet.
  async waitForState(condition, what, seconds = 15) {
    const deadline = Date.now() + seconds * 1000;
    for (;;) {
      // While the home screen restarts, phonectl cannot read the phone: try again.
      const state = await this.state().catch(() => null);
      if (state && await condition(state)) return state;
      if (Date.now() > deadline) throw new Error(`the phone never showed ${what}: ${JSON.stringify(state?.profiles)}`);
      await new Promise((resolve) => setTimeout(resolve, 100));
    }
  }

  // Starts the Settings host; resolves with the page's address once it serves. With a picker's
  // class name, the host opens that picker for the first profile (as the profile editor would).
  async startSettings(picker) {
    // The host's own log goes where the phone keeps its logs.
    const log = openSync(path.join(this.root, 'var/log/settings.log'), 'a');
    const [program, args] = picker ? [pickerSettingsProgram, ['--root', this.root, '--open', picker]]
      : [settingsProgram, ['--root', this.root, '--port', '0']];
    // The Today screen runs phonectl to look at the day.
    this.settings = spawn(program, args, { stdio: ['ignore', 'pipe', log], env: { ...this.env, HUSHLINE_PHONECTL: phonectlProgram } });
    this.address = await new Promise((resolve, reject) => {
      let text = '';
      this.settings.stdout.on('data', (chunk) => {
        text += chunk;
        const line = text.split('\n').find((candidate) => candidate.startsWith('http://'));
        if (line) resolve(line.trim());
      });
      this.settings.on('exit', (code) => reject(new Error(`the Settings host ended with ${code}`)));
    });
    return this.address;
  }

  // Resolves once the page shows its first screen (`ready` waits for it; the root list by default).
  async openPage(ready = (page) => page.getByRole('switch', { name: 'Enabled' }).waitFor()) {
    this.browser = await chromium.launch({ executablePath: '/usr/bin/chromium' });
    this.page = await this.newTab();
    this.pageErrors = [];
    this.page.on('pageerror', (error) => this.pageErrors.push(error.message));
    await this.page.goto(this.address);
    await ready(this.page);
    return this.page;
  }

  // A tab at the phone's size. Screens change without their slide (the tests of the slides ask
  // for motion themselves), so that a screen that goes is gone at once.
  newTab() {
    return this.browser.newPage({ viewport: { width: 390, height: 844 }, reducedMotion: 'reduce' });
  }

  async shutdown() {
    await this.browser?.close();
    if (this.settings && this.settings.exitCode === null) {
      const ended = new Promise((resolve) => this.settings.once('exit', resolve));
      this.settings.kill('SIGTERM');
      await ended;
    }
    await this.phonectl('stop').catch(() => {});
    if (!process.env.HUSHLINE_KEEP_ROOTS) {
      await rm(this.root, { recursive: true, force: true });
      await rm(this.cache, { recursive: true, force: true });
    }
  }
}
