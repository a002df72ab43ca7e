// The page of the phone's Settings app: one generic renderer of the screens the Settings host
// sends (connection.js), drawn with Ionic in its iOS mode. A new state is drawn as a change of
// what is on show (navigation.js, screen.js): nothing is rebuilt that did not change.
// Ionic's widgets come bundled (bundle/). The first screen's load at once (index.html loads
// them too); the others (the editor's, the time picker, the dialogs with their controllers) load
// when a screen needs them, and anyway a moment after the first screen is drawn.
import { listen, onConnection, send as post } from './connection.js';
import { NavigationView } from './navigation.js';
import { composerPage, drawDialog, drawPanel, showSheet } from './overlays.js';

const ionicReady = import('/page/dist/ionic.js');
const moreWidgets = () => import('/page/dist/ionic-more.js');
const needsMore = 'ion-range:not(:defined), ion-input:not(:defined), ion-datetime:not(:defined), ion-spinner:not(:defined)';
// Nothing is drawn before the page's styles apply: no frame of unstyled widgets.
const stylesReady = Promise.all([...document.querySelectorAll('link[rel="stylesheet"]')].map((link) => (link.sheet ? null
  : new Promise((resolve) => { link.addEventListener('load', resolve); link.addEventListener('error', resolve); }))));
// The first screen and the state written into the page come last in it: they are read once the
// page is parsed.
const parsed = document.readyState === 'loading'
  ? new Promise((resolve) => document.addEventListener('DOMContentLoaded', resolve, { once: true })) : null;
const ready = Promise.all([ionicReady, stylesReady, parsed]);

const screenHost = document.getElementById('screen');
const modalHost = document.getElementById('modal');
const panelHost = document.getElementById('panel');
const banner = document.getElementById('connection');
let drawnState = { host: null, seq: 0 };
let lastState = null;

// A tap is answered with the screen as the host has it after the tap; a tap that did not reach
// the host (or that it refused as malformed) puts the page back to the last state it had.
function answered(text) {
  if (typeof text === 'string') ready.then(() => accept(text, true));
  else if (lastState) ready.then(() => draw(lastState));
}

// A tap on the bar, a dialog or a pane.
const sendScreen = (action) => post(action, answered);

// A tap on a row's control: while taps of it are under way the control keeps the value the
// user gave it (rows.js).
function sendFromRow(ref, action) {
  const { taps } = ref;
  taps.pending += 1;
  return post(action, (text) => {
    taps.pending -= 1;
    answered(text);
  });
}

const context = (bar) => ({ bar, send: sendFromRow, sendScreen });
const screens = new NavigationView(screenHost, context);
const modal = new NavigationView(modalHost, context);

// A screen closed from elsewhere (another tab, another process) while text typed on it was not
// yet stored: the user is told what was not kept, rather than the text vanishing.
async function droppedWithTyping(view) {
  const field = [...view.querySelectorAll('ion-input')].find((input) => String(input.value ?? '') !== (input.dataset.stored ?? ''));
  if (!field) return;
  const { alertController } = await moreWidgets();
  const alert = await alertController.create({ header: 'Not Saved',
    message: `"${view.screen?.title || 'The screen'}" was closed elsewhere before the text you typed was saved: "${field.value}".`,
    buttons: ['OK'] });
  await alert.present();
}
screens.onDropped = droppedWithTyping;
modal.onDropped = droppedWithTyping;

// States are numbered by their host; one older than the state on show (it came by the slower
// road) is dropped. A host started anew numbers from the start again. A tap's answer is drawn
// even when it is the state on show, so that a control the user moved goes back to what the
// host kept.
function accept(text, force = false) {
  const state = JSON.parse(text);
  const sameHost = state.host === drawnState.host;
  if (sameHost && (state.seq < drawnState.seq || (state.seq === drawnState.seq && !force))) return;
  drawnState = { host: state.host, seq: state.seq };
  lastState = state;
  if (pressing) holdUntilReleased(state);
  else draw(state);
}

// A tap is a press and a release on the same node, and a redraw may replace a row's node: a
// state that comes between the two is drawn once the tap is over, so that the tap is not lost.
// A press that never ends holds it back for a second at most.
let pressing = false;
let held = null;
let heldTimer = null;

function holdUntilReleased(state) {
  held = state;
  heldTimer ??= setTimeout(drawHeld, 1000);
}

function drawHeld() {
  clearTimeout(heldTimer);
  heldTimer = null;
  const state = held;
  held = null;
  if (state) draw(state);
}

document.addEventListener('pointerdown', () => { pressing = true; }, true);
for (const type of ['pointerup', 'pointercancel']) {
  // The tap's click comes right after the release, in the same task: the redraw waits for it.
  document.addEventListener(type, () => { pressing = false; if (held) setTimeout(drawHeld); }, true);
}

// The first screen the host wrote into the page stays over the live one until every widget of
// the live one has drawn itself (a widget is ready once the widgets it draws are), and goes
// before the next frame is painted.
async function drawn(root) {
  const widgets = [...root.querySelectorAll('*')].filter((node) => node.localName.startsWith('ion-'));
  await Promise.all(widgets.map(async (node) => {
    await customElements.whenDefined(node.localName);
    await node.componentOnReady?.();
  }));
}

async function retireFirstFrame() {
  const firstFrame = document.getElementById('first-frame');
  if (!firstFrame || firstFrame.retiring) return;
  firstFrame.retiring = true;
  await drawn(screenHost);
  firstFrame.remove();
}

function draw(state) {
  if (state.navigation) screens.show(state.navigation);
  retireFirstFrame();
  const overlays = state.overlays || [];
  const pages = overlays.filter((overlay) => overlay.kind === 'modal' || overlay.kind === 'mail' || overlay.kind === 'share');
  const page = pages[pages.length - 1];
  if (page?.kind === 'modal') {
    modalHost.querySelector(':scope > .composer-page')?.remove();
    modal.show(page.navigation);
  } else if (page) {
    modal.clear();
    modalHost.replaceChildren(composerPage(page, sendScreen));
  }
  showSheet(modalHost, !!page, () => {
    modal.clear();
    modalHost.replaceChildren();
  });
  const dialog = overlays.filter((overlay) => overlay.kind === 'alert' || overlay.kind === 'sheet').pop();
  drawDialog(dialog || null, sendScreen);
  drawPanel(panelHost, state.alertView, sendScreen);
  document.body.dataset.drawn = String(Number(document.body.dataset.drawn || 0) + 1);
}

// While the host is away the page says so, takes no taps and shows what the host last had.
onConnection((connected) => {
  banner.hidden = connected;
  document.body.classList.toggle('offline', !connected);
  for (const layer of [screenHost, modalHost, panelHost]) layer.inert = !connected;
  if (!connected && lastState) ready.then(() => draw(lastState));
});

// The state is fetched while Ionic loads. A new tab has it already: the host wrote it into the
// page with the tab's first screen.
ready.then(() => {
  const firstState = document.getElementById('first-state')?.textContent;
  if (firstState) accept(firstState);
});
listen((text) => ready.then(() => accept(text)));
let moreSoon = null;
new MutationObserver(() => {
  if (document.querySelector(needsMore)) moreWidgets();
  moreSoon ??= setTimeout(moreWidgets, 1000);
}).observe(document.body, { attributeFilter: ['data-drawn'] });
