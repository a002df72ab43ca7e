// The page of the phone's Settings app: one generic renderer of the screens the Settings host
// sends (GET /events, Server-Sent Events of the whole screen state), drawn with Ionic in its iOS
// mode. Every tap goes back as one POST /action, one at a time and in order.
// Ionic's widgets come bundled (bundle/). The first screen's load at once (index.html loads
// them too) and states are drawn once they are defined, so that nothing is drawn twice. The others
// (the editor's, the time picker, the dialogs with their controllers) load when a screen needs
// them, and anyway a moment after the first screen is drawn, so that they do not hold it up.
const ionicReady = import('/page/dist/ionic.js');
const moreWidgets = () => import('/page/dist/ionic-more.js');
const needsMore = 'ion-range:not(:defined), ion-input:not(:defined), ion-datetime:not(:defined), ion-spinner:not(:defined)';

const screenHost = document.getElementById('screen');
const modalHost = document.getElementById('modal');
const panelHost = document.getElementById('panel');
let sending = Promise.resolve();
let shownOverlay = null;   // { key, element }
let drawnState = { host: null, seq: 0 };
let redrawing = false;      // while a screen's nodes are being replaced

// The host answers a tap with the screen as it has it after the tap (200), or, for a tap aimed
// at a screen that changed since it was drawn, with the screen as it is now (409). Either is
// drawn even when it is the state on show, so that a control the user moved goes back to what
// the host kept.
function send(action) {
  sending = sending.then(() => fetch('/action', {
    method: 'POST',
    headers: { 'Content-Type': 'application/json' },
    body: JSON.stringify(action),
  })).then(async (response) => {
    if (response.status !== 200 && response.status !== 409) return;
    const text = await response.text();
    await ionicReady;
    accept(text, true);
  }).catch(() => {});
  return sending;
}

// States are numbered by their host; one older than the state on show (it came by the slower
// road) is dropped. A host started anew numbers from the start again.
function accept(text, force = false) {
  const state = JSON.parse(text);
  const sameHost = state.host === drawnState.host;
  if (sameHost && (state.seq < drawnState.seq || (state.seq === drawnState.seq && !force))) return;
  drawnState = { host: state.host, seq: state.seq };
  if (pressing) holdUntilReleased(state);
  else draw(state);
}

// A tap is a press and a release on the same node, and a redraw replaces the screen's nodes: a
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

function el(tag, attributes = {}, ...children) {
  const node = document.createElement(tag);
  for (const [name, value] of Object.entries(attributes)) {
    if (value === undefined || value === null || value === false) continue;
    if (name.startsWith('on')) node.addEventListener(name.slice(2), value);
    else if (name in node && typeof value !== 'string') node[name] = value;
    else node.setAttribute(name, value === true ? '' : value);
  }
  for (const child of children.flat()) {
    if (child !== null && child !== undefined && child !== false)
      node.append(typeof child === 'string' ? document.createTextNode(child) : child);
  }
  return node;
}

// A colour of the host: plain CSS, or an image that tiles.
function paint(node, color, { text = false } = {}) {
  if (!color) return node;
  if (color.css) {
    if (text) node.style.color = color.css; else node.style.background = color.css;
  } else if (color.image) {
    node.style.backgroundImage = `url("${color.image}")`;
    if (text) node.classList.add('pattern-text');
    if (color.alpha !== undefined && color.alpha < 1 && !text) node.style.opacity = String(Math.max(color.alpha, 0.85));
  }
  return node;
}

function barButton(screen, side, button, index) {
  const label = button.title || { add: 'Add', save: 'Save', cancel: 'Cancel', done: 'Done', edit: 'Edit' }[button.system]
    || (button.image ? (button.image.includes('twitter') ? 'Share' : button.image.split('/').pop().replace('.png', '')) : 'Button');
  const content = button.system === 'add' ? el('span', { 'aria-hidden': 'true', style: 'font-size:28px;font-weight:300' }, '+')
    : button.image ? el('img', { src: button.image, alt: '' }) : label;
  return el('ion-button', {
    'aria-label': label, disabled: !button.enabled, strong: button.done,
    onclick: () => send({ type: 'bar', screen: screen.id, side, button: index }),
  }, content);
}

function toolbar(screen, bar) {
  const start = el('ion-buttons', { slot: 'start' });
  if (screen.back !== undefined) {
    start.append(el('ion-button', { class: 'back', 'aria-label': `Back to ${screen.back || 'previous screen'}`,
      onclick: () => send({ type: 'back', screen: screen.id }) },
    el('span', { 'aria-hidden': 'true', style: 'font-size:30px;margin-right:2px' }, '‹'),
    // A back button with an image shows the image alone.
    screen.backImage ? el('img', { src: screen.backImage, alt: '' }) : screen.back || 'Back'));
  }
  screen.left.forEach((button, index) => start.append(barButton(screen, 'left', button, index)));
  const end = el('ion-buttons', { slot: 'end' });
  // The first right button is the outermost.
  screen.right.slice().reverse().forEach((button, reversed) => end.append(barButton(screen, 'right', button, screen.right.length - 1 - reversed)));
  let title;
  if (screen.titleLabel) title = screen.titleLabel;
  else if (screen.titleImage) title = el('img', { class: 'title-image', src: screen.titleImage, alt: screen.title || 'Hushline',
    style: `animation-duration:${screen.titleFade || 0}s` });
  else title = screen.title;
  const node = el('ion-toolbar', { class: bar && bar.barTint ? 'tinted' : '' }, start, el('ion-title', {}, title), end);
  if (bar && bar.barTint) {
    node.style.setProperty('--background', bar.barTint.css || `url("${bar.barTint.image}")`);
    node.style.setProperty('--color', (bar.tint && bar.tint.css) || '#fff');
  }
  return el('ion-header', {}, node);
}

function rowNode(screen, row, choosing) {
  // A tap names the row by its place, its identifier and the version of the screen drawn.
  const act = (type, extra = {}) => send({ type, screen: screen.id, row: row.index, rowId: row.id, version: screen.version, ...extra });
  const key = `${screen.id}:${row.id}:${row.title}`;
  // A drawn image (a calendar's colour swatch) comes as data and keeps its own small size.
  const icon = row.icon ? el('img', { class: row.icon.startsWith('data:') ? 'swatch' : 'icon', slot: 'start', src: row.icon, alt: '' }) : null;
  const check = row.checked ? paint(el('span', { slot: 'end', class: 'checkmark', role: 'img', 'aria-label': 'selected' }, '✓'), row.tint, { text: true }) : null;
  switch (row.kind) {
  case 'switch': {
    const toggle = el('ion-toggle', { checked: !!row.value, 'aria-label': row.title, 'data-key': key,
      onionChange: (event) => act('change', { value: event.detail.checked }) }, row.title);
    if (row.onTint) toggle.style.setProperty('--track-background-checked', row.onTint.css || `url("${row.onTint.image}")`);
    return el('ion-item', {}, icon, toggle);
  }
  case 'slider': {
    const range = el('ion-range', { min: row.min, max: row.max, step: (row.max - row.min) / 100, value: Number(row.value) || 0,
      'aria-label': row.title, label: row.titleHidden ? undefined : row.title, 'label-placement': row.titleAbove ? 'stacked' : 'start',
      onionChange: (event) => act('change', { value: Number(event.detail.value) }) },
    row.minImage ? el('img', { slot: 'start', src: row.minImage, alt: '' }) : null,
    row.maxImage ? el('img', { slot: 'end', src: row.maxImage, alt: '' }) : null);
    return el('ion-item', { class: row.height >= 70 ? 'tall' : '' }, range);
  }
  case 'text': {
    const input = el('ion-input', { label: row.title, value: row.value ?? '', placeholder: row.placeholder, 'data-key': key,
      autocapitalize: row.autoCaps === 'words' ? 'words' : 'off', enterkeyhint: row.returnKey === 'done' ? 'done' : undefined,
      // Committed when the field is left (Enter leaves it too) holding other text than the host
      // has; a field taken away by a redraw is not left, its text goes on in the new one. Not on
      // Ionic's change event: that compares with the text at the focus, and a redrawn field is
      // focused holding the typed text already.
      onionBlur: (event) => {
        const typed = String(event.target.value ?? '');
        if (!redrawing && typed !== String(row.value ?? '')) act('change', { value: typed });
      },
      onkeydown: (event) => { if (event.key === 'Enter') event.target.closest('ion-input').getInputElement().then((field) => field.blur()); } });
    return el('ion-item', {}, input);
  }
  case 'link':
    if (row.labels) return rangeRow(row, () => act('select'));
  // falls through
  case 'button':
  case 'confirm': {
    const label = el('ion-label', { color: row.destructive ? 'danger' : undefined }, row.title);
    const detail = row.detail ? paint(el('ion-note', { slot: 'end', class: 'detail' }, row.detail), row.detailColor, { text: true }) : null;
    // A link row shows the chevron unless its cell shows a checkmark or nothing instead.
    const chevron = row.kind === 'link' && row.accessory === 'disclosure';
    const item = el('ion-item', { button: true, detail: chevron ? 'true' : 'false', onclick: () => act('select') }, icon, label, detail, check);
    return row.deletable ? swipeToDelete(item, row, () => act('delete')) : item;
  }
  default:
    // In a list to choose from (one row has a checkmark) every row is a choice.
    return el('ion-item', { button: choosing || undefined, detail: 'false', onclick: () => act('select') }, icon,
      paint(el('ion-label', { class: row.wrap ? 'ion-text-wrap' : undefined }, row.title), row.titleColor, { text: true }),
      row.detail ? el('ion-note', { slot: 'end' }, row.detail) : null, check);
  }
}

// A row deleted as on the phone: swiped left it shows a red Delete. The button stays in the tab
// order and the accessibility tree while the row is closed; focusing it slides the row open, so
// that a keyboard user sees what Enter will do.
function swipeToDelete(item, row, remove) {
  // Its accessible name says which row it deletes: "Delete <title>".
  const option = el('ion-item-option', { color: 'danger', onclick: remove },
    el('span', { 'aria-hidden': 'true' }, 'Delete'), el('span', { class: 'visually-hidden' }, `Delete ${row.title}`));
  const options = el('ion-item-options', { side: 'end', onfocusin: () => sliding.open('end'),
    onfocusout: (event) => { if (!options.contains(event.relatedTarget)) sliding.close(); } }, option);
  // A drag of the row is no tap on it, and a tap on the open row only closes it, as on the phone.
  let pressed = null;
  const sliding = el('ion-item-sliding', { onpointerdown: (event) => {
    pressed = { x: event.clientX, open: sliding.classList.contains('item-sliding-active-options-end') };
  } }, item, options);
  sliding.addEventListener('click', (event) => {
    const press = pressed;
    pressed = null;
    if (!press || option.contains(event.target)) return;
    const dragged = Math.abs(event.clientX - press.x) > 10;
    if (!dragged && !press.open) return;
    event.stopPropagation();
    if (!dragged) sliding.close();
  }, true);
  return sliding;
}

// A tap anywhere else closes an open row.
document.addEventListener('pointerdown', (event) => {
  for (const open of document.querySelectorAll('ion-item-sliding.item-sliding-active-options-end'))
    if (!open.contains(event.target)) open.close();
});

// A cell of label pairs on lines of their own (the active hours: "From 8:00 AM", "To 5:00 PM").
function rangeRow(row, select) {
  const lines = [];
  for (let i = 0; i + 1 < row.labels.length; i += 2) {
    const [word, value] = [row.labels[i], row.labels[i + 1]];
    lines.push(el('div', { class: 'range-line' }, paint(el('span', {}, word.text), word.color, { text: true }),
      paint(el('span', { class: 'range-value' }, value.text), value.color, { text: true })));
  }
  const name = row.labels.map((label) => label.text).join(' ');
  return el('ion-item', { button: true, detail: 'true', class: 'range', 'aria-label': name, onclick: select },
    el('div', { class: 'range-lines' }, lines));
}

function localDate() {
  const now = new Date();
  const two = (n) => String(n).padStart(2, '0');
  return `${now.getFullYear()}-${two(now.getMonth() + 1)}-${two(now.getDate())}`;
}

// A pane's table rows; the selected row is marked.
function paneRows(screen, table) {
  return el('ion-list', { inset: true, class: 'pane-table' },
    table.rows.map((row) => el('ion-item', { button: true, detail: 'false', class: row.index === table.selected ? 'selected' : '',
      'aria-selected': String(row.index === table.selected), onclick: () => send({ type: 'select', screen: screen.id, row: row.index }) },
    paint(el('ion-label', { class: `align-${row.align}` }, row.text), row.color, { text: true }))));
}

// A wheel time picker on a 12-hour clock; a turn of the wheels sends the new time.
function panePicker(screen, picker) {
  const datetime = el('ion-datetime', { presentation: 'time', 'hour-cycle': 'h12', locale: 'en-US', 'prefer-wheel': true,
    'aria-label': 'Time', 'data-key': `${screen.id}:picker`, value: `${localDate()}T${picker.time}:00`,
    onionChange: (event) => {
      const match = /T?(\d{2}):(\d{2})/.exec(String(event.detail.value || ''));
      if (match && `${match[1]}:${match[2]}` !== datetime.dataset.time) {
        datetime.dataset.time = `${match[1]}:${match[2]}`;
        send({ type: 'pick', screen: screen.id, hour: Number(match[1]), minute: Number(match[2]) });
      }
    } });
  datetime.dataset.time = picker.time;
  datetime.dataset.tag = String(picker.tag);
  return el('div', { class: 'pane-picker', style: `height:${picker.height}px` }, datetime);
}

// The table fills the room above the picker, its rows in the middle of it.
function paneContent(screen) {
  const { table, picker } = screen.pane;
  const area = el('div', { class: 'pane-area' },
    table ? el('div', { class: 'pane-rows', style: `margin-top:${table.top}px` }, paneRows(screen, table)) : null,
    picker ? panePicker(screen, picker) : null);
  return el('ion-content', { color: 'light', class: 'pane', 'scroll-y': table && !table.scrolls ? 'false' : undefined }, area);
}

// The pane of the screen already on show takes the new rows; its picker is kept (so that a
// wheel the user is turning is not rebuilt) and moved only when the host moved it.
function updatePane(host, screen) {
  const body = host.querySelector('ion-content.pane');
  const datetime = body && body.querySelector('ion-datetime');
  if (!body || !datetime || !screen.pane.table || !screen.pane.picker) return false;
  body.querySelector('.pane-table').replaceWith(paneRows(screen, screen.pane.table));
  const { time, tag } = screen.pane.picker;
  if (datetime.dataset.time !== time || datetime.dataset.tag !== String(tag)) {
    datetime.dataset.time = time;
    datetime.dataset.tag = String(tag);
    datetime.value = `${localDate()}T${time}:00`;
  }
  return true;
}

function content(screen) {
  if (screen.pane) return paneContent(screen);
  const body = el('ion-content', { color: 'light' });
  const choosing = (screen.groups || []).some((group) => group.rows.some((row) => row.checked));
  for (const group of screen.groups || []) {
    if (group.header) {
      body.append(paint(el('div', { class: 'package-header', role: 'banner' },
        el('h1', {}, group.header.title), el('p', {}, group.header.subTitle)), group.header.background));
    }
    // As on the phone, a group's title stands above its card and its footer below it.
    if (group.rows.length || group.footer) {
      body.append(el('div', { class: 'group' },
        group.rows.length && group.title ? el('ion-list-header', {}, el('ion-label', {}, group.title)) : null,
        group.rows.length ? el('ion-list', { inset: true }, group.rows.map((row) => rowNode(screen, row, choosing))) : null,
        group.footer ? el('div', { class: 'group-footer' }, group.footer) : null));
    }
  }
  return body;
}

function drawNavigation(host, navigation) {
  const screen = navigation.screens[navigation.screens.length - 1];
  // A pane's wheel is not rebuilt while the user may be turning it.
  const drawn = JSON.stringify(navigation);
  const samePane = screen.pane && host.dataset.screen === screen.id;
  if (samePane && host.dataset.drawnNavigation === drawn) return;
  host.dataset.drawnNavigation = drawn;
  if (samePane && updatePane(host, screen)) return;
  const focused = document.activeElement && document.activeElement.closest && document.activeElement.closest('[data-key]');
  // Text being typed is the user's until it is committed: a redraw for anything else keeps it.
  const carried = focused && host.contains(focused) && isTextField(focused) ? typingIn(focused) : null;
  // The browser tells the focused field it lost the focus while it is being taken away.
  redrawing = true;
  try {
    host.replaceChildren(toolbar(screen, navigation.bar), content(screen));
  } finally {
    redrawing = false;
  }
  host.dataset.screen = screen.id;
  const field = (key) => key && host.querySelector(`[data-key="${CSS.escape(key)}"]`);
  if (carried && field(carried.key)?.tagName === 'ION-INPUT') keepTyping(host, field(carried.key), carried);
  else if (focused && field(focused.getAttribute('data-key'))?.setFocus) field(focused.getAttribute('data-key')).setFocus();
}

function isTextField(node) {
  return node.tagName === 'ION-INPUT' || node.classList.contains('stand-in');
}

function typingIn(field) {
  const input = document.activeElement;
  return { key: field.getAttribute('data-key'), text: input.value, caret: [input.selectionStart, input.selectionEnd] };
}

// A new field's own input exists only once it has rendered. Until then a plain input in its layer
// holds the focus, the text and the caret, so that keys typed meanwhile are not lost; then the
// text and the caret move into the field, and the focus too unless the user went elsewhere. An
// Enter pressed meanwhile leaves the field once it is there, which commits the text.
function keepTyping(host, field, carried) {
  field.value = carried.text;
  let entered = false;
  const standIn = el('input', { class: 'stand-in', 'data-key': carried.key, 'aria-hidden': 'true', tabindex: '-1',
    onkeydown: (event) => { if (event.key === 'Enter') entered = true; } });
  standIn.value = carried.text;
  // In the layer itself: a widget's children are not shown, and so cannot take the focus, before it has rendered.
  host.append(standIn);
  standIn.focus();
  if (carried.caret[0] !== null) standIn.setSelectionRange(carried.caret[0], carried.caret[1]);
  field.getInputElement().then((input) => {
      const focusedStill = document.activeElement === standIn;
    const caret = [standIn.selectionStart, standIn.selectionEnd];
    const text = standIn.value;
    if (input.isConnected) {
      field.value = text;
      input.value = text;
      if (focusedStill || entered) {
        input.focus();
        input.setSelectionRange(caret[0], caret[1]);
      }
      if (entered) input.blur();
    }
    standIn.remove();
  });
}

function composerPage(overlay) {
  const mail = overlay.kind === 'mail';
  const text = el('textarea', { 'aria-label': 'Text' });
  text.value = overlay.text || '';
  const buttons = (...items) => el('ion-buttons', { slot: items[0] }, items[1]);
  const cancel = el('ion-button', { onclick: () => send({ type: overlay.kind, screen: overlay.id, result: 'cancel' }) }, 'Cancel');
  const done = el('ion-button', { strong: true, onclick: () => send({ type: overlay.kind, screen: overlay.id,
    result: mail ? 'send' : 'post', ...(mail ? {} : { text: text.value }) }) }, mail ? 'Send' : 'Post');
  const title = mail ? 'New Message' : (overlay.service.includes('sinaweibo') ? 'Sina Weibo' : 'Twitter');
  const details = mail ? el('dl', {}, el('dt', {}, 'To'), el('dd', {}, overlay.to.join(', ')), el('dt', {}, 'Subject'),
    el('dd', {}, overlay.subject), el('dt', {}, 'Message'), el('dd', { class: 'mail-body' }, overlay.body),
    el('dt', {}, 'Attachments'), el('dd', {}, overlay.attachments.map((file) => `${file.fileName} (${file.bytes} bytes)`).join(', ') || 'none'))
    : text;
  return [el('ion-header', {}, el('ion-toolbar', {}, buttons('start', cancel), el('ion-title', {}, title), buttons('end', done))),
    el('ion-content', {}, el('div', { class: 'composer' }, details))];
}

async function showDialog(overlay) {
  const { alertController, actionSheetController } = await moreWidgets();
  const buttons = overlay.actions.map((action, index) => ({
    text: action.title,
    role: action.style === 'cancel' ? 'cancel' : action.style === 'destructive' ? 'destructive' : undefined,
    // The host decides when the dialog goes: the next state no longer has it.
    handler: () => { send({ type: 'alert', screen: overlay.id, action: index }); return false; },
  }));
  const options = { header: overlay.title ?? undefined, message: overlay.message ?? undefined, buttons, backdropDismiss: false };
  if (overlay.kind === 'sheet') {
    // An action sheet has no message line of its own: the message stands as its sub-header.
    return actionSheetController.create({ header: options.header ?? options.message, subHeader: options.header ? options.message : undefined,
      buttons, backdropDismiss: false });
  }
  return alertController.create(options);
}

async function drawDialog(overlay) {
  const key = overlay ? JSON.stringify(overlay) : '';
  if (shownOverlay && shownOverlay.key === key) return;
  const previous = shownOverlay;
  shownOverlay = overlay ? { key, element: null } : null;
  if (previous && previous.element) previous.element.dismiss(undefined, 'host');
  if (!overlay) return;
  const element = await showDialog(overlay);
  if (!shownOverlay || shownOverlay.key !== key) return;
  shownOverlay.element = element;
  element.dataset.overlay = overlay.id;
  await element.present();
}

function drawPanel(alertView) {
  panelHost.hidden = !alertView;
  if (!alertView) { panelHost.replaceChildren(); return; }
  panelHost.replaceChildren(el('div', { class: 'panel', role: 'alertdialog', 'aria-label': alertView.title },
    el('h2', {}, alertView.title), el('p', {}, alertView.message),
    alertView.progress ? el('ion-spinner', { name: 'lines', 'aria-label': 'In progress' }) : null,
    el('div', { class: 'buttons' }, alertView.buttons.map((title, index) =>
      el('ion-button', { expand: 'block', fill: 'clear', onclick: () => send({ type: 'alertView', button: index }) }, title)))));
}

function draw(state) {
  if (state.navigation) drawNavigation(screenHost, state.navigation);
  const overlays = state.overlays || [];
  const pages = overlays.filter((overlay) => overlay.kind === 'modal' || overlay.kind === 'mail' || overlay.kind === 'share');
  const page = pages[pages.length - 1];
  modalHost.hidden = !page;
  if (!page) { modalHost.replaceChildren(); delete modalHost.dataset.drawnNavigation; delete modalHost.dataset.screen; }
  else if (page.kind === 'modal') drawNavigation(modalHost, page.navigation);
  else { modalHost.replaceChildren(...composerPage(page)); delete modalHost.dataset.drawnNavigation; }
  const dialog = overlays.filter((overlay) => overlay.kind === 'alert' || overlay.kind === 'sheet').pop();
  drawDialog(dialog || null);
  drawPanel(state.alertView);
  document.body.dataset.drawn = String(Number(document.body.dataset.drawn || 0) + 1);
}

function listen() {
  const events = new EventSource('/events');
  // The stream reconnects by itself when the host goes away, and the host it reaches first
  // sends the screen as it is.
  events.onmessage = (message) => ionicReady.then(() => accept(message.data));
}

// The state is fetched while Ionic loads.
listen();
let moreSoon = null;
new MutationObserver(() => {
  if (document.querySelector(needsMore)) moreWidgets();
  moreSoon ??= setTimeout(moreWidgets, 1000);
}).observe(document.body, { attributeFilter: ['data-drawn'] });
