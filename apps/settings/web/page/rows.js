// One row of a list screen: built once, then brought up to date in place while it stays on the
// screen, so that the control under the user's finger or keyboard keeps its node, its focus and
// its place. A row's handlers read the row and screen they belong to from `ref`, which every
// update refreshes: the row may have moved to another index, the screen to another version.
import { isConnected } from './connection.js';
import { chevron, el, paint, setProp } from './dom.js';

// Kinds whose value the user sets on the page: their value is updated in place.
const controls = new Set(['switch', 'slider', 'text']);

// What a row looks like apart from a control's value: while it stays the same the row's node
// is kept.
export function rowLook(row, choosing) {
  return JSON.stringify({ ...row, index: undefined, value: controls.has(row.kind) ? undefined : row.value, choosing });
}

// Rows are told apart across states by what they are, not by their index: a row inserted above
// another does not make it a new row.
export const rowKey = (row) => `${row.kind}\u0000${row.id}\u0000${row.title}`;

// `send(ref, action)` sends a tap made on the row.
export function buildRow(ref, send) {
  const { row, choosing } = ref;
  const act = (type, extra = {}) => send(ref, { type, screen: ref.screen.id, row: ref.row.index, rowId: ref.row.id,
    version: ref.screen.version, ...extra });
  const icon = row.icon ? el('img', { class: row.icon.startsWith('data:') ? 'swatch' : 'icon', slot: 'start', src: row.icon, alt: '' }) : null;
  switch (row.kind) {
  case 'switch': {
    const toggle = el('ion-toggle', { 'aria-label': row.title, onionChange: (event) => act('change', { value: event.detail.checked }) }, row.title);
    ref.setValue = (value) => setProp(toggle, 'checked', !!value);
    return el('ion-item', {}, icon, toggle);
  }
  case 'slider':
    return sliderRow(ref, act);
  case 'text':
    return textRow(ref, act);
  case 'link':
    if (row.labels) return rangeRow(row, () => act('select'));
    if (row.accessory !== 'disclosure' && (row.checked || choosing)) return choiceRow(ref, act, icon, 'checkbox');
  // falls through
  case 'button':
  case 'confirm': {
    const label = el('ion-label', { color: row.destructive ? 'danger' : undefined }, row.title);
    const detail = row.detail ? paint(el('ion-note', { slot: 'end', class: 'detail' }, row.detail), row.detailColor, { text: true }) : null;
    const item = el('ion-item', { button: true, detail: row.kind === 'link' && row.accessory === 'disclosure' ? 'true' : 'false',
      onclick: () => act('select') }, icon, label, detail, checkmark(row));
    return row.deletable ? swipeToDelete(item, row, () => act('delete')) : item;
  }
  default:
    if (choosing) return choiceRow(ref, act, icon, 'radio');
    return el('ion-item', { detail: 'false', onclick: () => act('select') }, icon,
      paint(el('ion-label', { class: row.wrap ? 'ion-text-wrap' : undefined }, row.title), row.titleColor, { text: true }),
      row.detail ? el('ion-note', { slot: 'end', class: 'detail' }, row.detail) : null);
  }
}

// Brings a kept row's control to the value the host has. A control the user is still moving
// (taps of it not yet answered) keeps its own value, even against the answer to one of its
// earlier taps: set back to that, the next key press would start from it and a press would be
// lost. The answer to the last of them sets it.
export function updateRow(ref, row) {
  ref.row = row;
  if (ref.setValue && !ref.taps.pending) ref.setValue(row.value);
}

// One tint for every checkmark: the app's, readable in both modes.
function checkmark(row, slot = 'end') {
  return row.checked ? el('span', { slot, class: 'checkmark', 'aria-hidden': 'true' }, '✓') : null;
}

// A row of a list to choose from: a radio (one choice) or a checkbox (several), taken with a
// tap, Space or Enter. The role is on the row's content: Ionic gives the row itself the role of
// a list item.
function choiceRow(ref, act, icon, role) {
  const { row } = ref;
  const choose = () => act('select');
  return el('ion-item', { class: 'choice', detail: 'false', onclick: choose },
    el('div', { class: 'choice-target', role, tabindex: '0', 'aria-checked': String(!!row.checked),
      onkeydown: (event) => {
        if (event.key !== ' ' && event.key !== 'Enter') return;
        event.preventDefault();
        choose();
      } },
    icon, paint(el('ion-label', {}, row.title), row.titleColor, { text: true }), checkmark(row)));
}

// A volume as on the phone: its title over a slider in the app's tint, between the speaker
// images. The page's slider runs from 0 to 100 (a screen reader says "6 %"); the host's value
// is a fraction between the row's min and max.
function sliderRow(ref, act) {
  const { row } = ref;
  const span = row.max - row.min || 1;
  const toPage = (value) => Math.round(((Number(value) || 0) - row.min) / span * 100);
  const say = () => {
    const knob = range.shadowRoot?.querySelector('[role="slider"]');
    if (knob) knob.setAttribute('aria-valuetext', `${Math.round(Number(range.value) || 0)} %`);
  };
  const range = el('ion-range', { min: 0, max: 100, step: 1, 'aria-label': row.title,
    label: row.titleHidden ? undefined : row.title, 'label-placement': row.titleAbove ? 'stacked' : 'start',
    onionInput: () => requestAnimationFrame(say),
    onionChange: (event) => act('change', { value: row.min + Number(event.detail.value) / 100 * span }) },
  row.minImage ? el('img', { slot: 'start', src: row.minImage, alt: '' }) : null,
  row.maxImage ? el('img', { slot: 'end', src: row.maxImage, alt: '' }) : null);
  ref.setValue = (value) => {
    setProp(range, 'value', toPage(value));
    requestAnimationFrame(say);
  };
  customElements.whenDefined('ion-range').then(() => range.componentOnReady?.()).then(() => requestAnimationFrame(say));
  return el('ion-item', { class: 'slider' }, range);
}

// The title field. Committed when it is left (Enter leaves it too) holding other text than the
// host has. While it has the focus, or holds typed text not yet sent (the host went away and the
// page took the focus from it), an update of the host keeps the text being typed.
function textRow(ref, act) {
  const { row } = ref;
  let unsent = false;
  const input = el('ion-input', { label: row.title, placeholder: row.placeholder,
    autocapitalize: row.autoCaps === 'words' ? 'words' : 'off', enterkeyhint: row.returnKey === 'done' ? 'done' : undefined,
    onionInput: () => { unsent = true; },
    onionBlur: (event) => {
      if (!isConnected()) return;
      unsent = false;
      const typed = String(event.target.value ?? '');
      if (typed !== String(ref.row.value ?? '')) act('change', { value: typed });
    },
    onkeydown: (event) => { if (event.key === 'Enter') input.getInputElement().then((field) => field.blur()); } });
  ref.setValue = (value) => {
    input.dataset.stored = value ?? '';
    if (!input.contains(document.activeElement) && !unsent) setProp(input, 'value', value ?? '');
  };
  return el('ion-item', {}, input);
}

// A row deleted as on the phone: swiped left it shows a red Delete. The button stays in the tab
// order and the accessibility tree while the row is closed; focusing it slides the row open, so
// that a keyboard user sees what Enter will do.
function swipeToDelete(item, row, remove) {
  // Its accessible name says which row it deletes: "Delete <title>".
  const option = el('ion-item-option', { class: 'delete', onclick: remove },
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
// The words take the text colour of the mode (the host's black would vanish on a dark card).
function rangeRow(row, select) {
  const lines = [];
  for (let i = 0; i + 1 < row.labels.length; i += 2) {
    const [word, value] = [row.labels[i], row.labels[i + 1]];
    lines.push(el('div', { class: 'range-line' }, el('span', { class: 'range-word' }, word.text),
      paint(el('span', { class: 'range-value' }, value.text), value.color, { text: true })));
  }
  const name = row.labels.map((label) => label.text).join(' ');
  return el('ion-item', { button: true, detail: 'true', class: 'range', 'aria-label': name, onclick: select },
    el('div', { class: 'range-lines' }, lines));
}

export { chevron };
