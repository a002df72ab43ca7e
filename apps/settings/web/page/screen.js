// One screen of a navigation stack as a page of its own: its bar and its content. A screen
// already on show is brought up to date in place: the bar is rebuilt only when it changed, and
// of the list only the groups and rows that changed are replaced, so that the list keeps its
// scroll position and the focus stays where it was.
import { chevron, el, paint, placeChildren } from './dom.js';
import { buildPane, updatePane } from './pane.js';
import { buildRow, rowKey, rowLook, updateRow } from './rows.js';

// The words of a screen that has nothing to show, by its title.
const emptyWords = { 'WiFi Networks': 'No known Wi-Fi networks. The networks this phone has joined are listed here.' };

// The logo in the bar fades in once, when the page first shows it.
let logoShown = false;

export function buildScreen(screen, context) {
  const view = el('div', { class: 'ion-page view', 'data-screen': screen.id });
  view.screenState = { groups: new Map(), rows: new Map(), barLook: null, pane: null };
  updateScreen(view, screen, context);
  return view;
}

// `context`: { bar (the stack's bar colours), send(ref, action), sendScreen(action) }.
export function updateScreen(view, screen, context) {
  const state = view.screenState;
  view.screen = screen;
  const barLook = JSON.stringify([screen.title, screen.titleLabel, screen.titleImage, screen.back, screen.backImage, screen.left, screen.right, context.bar]);
  if (barLook !== state.barLook) {
    state.barLook = barLook;
    const header = toolbar(screen, context);
    if (view.firstElementChild?.tagName === 'ION-HEADER') view.firstElementChild.replaceWith(header);
    else view.prepend(header);
  }
  let body = view.querySelector(':scope > ion-content');
  if (screen.pane) {
    if (!body || !body.classList.contains('pane') || !updatePane(body, screen, context)) {
      const pane = buildPane(screen, context);
      if (body) body.replaceWith(pane); else view.append(pane);
    }
    return;
  }
  if (!body || body.classList.contains('pane')) {
    const list = el('ion-content', { color: 'light', class: 'list-screen' }, el('div', { class: 'groups' }));
    if (body) body.replaceWith(list); else view.append(list);
    body = list;
  }
  updateGroups(body.firstElementChild, screen, context, state);
}

function toolbar(screen, context) {
  const { bar } = context;
  const start = el('ion-buttons', { slot: 'start' });
  if (screen.back !== undefined) {
    // The chevron and the previous screen's title (or its logo when it has no title of its own).
    const back = screen.backImage ? el('img', { src: screen.backImage, alt: '' }) : el('span', { class: 'back-title' }, screen.back || 'Back');
    start.append(el('ion-button', { class: 'back', 'aria-label': `Back to ${screen.back || 'previous screen'}`,
      onclick: () => context.sendScreen({ type: 'back', screen: screen.id }) }, chevron(), back));
  }
  screen.left.forEach((button, index) => start.append(barButton(screen, context, 'left', button, index)));
  const end = el('ion-buttons', { slot: 'end' });
  // The first right button is the outermost.
  screen.right.slice().reverse().forEach((button, reversed) => end.append(barButton(screen, context, 'right', button, screen.right.length - 1 - reversed)));
  let title;
  if (screen.titleLabel) title = screen.titleLabel;
  else if (screen.titleImage) {
    title = el('img', { class: 'title-image', src: screen.titleImage, alt: screen.title || 'Hushline' });
    if (!logoShown && screen.titleFade) {
      title.style.animationDuration = `${screen.titleFade}s`;
      // The first screen the host wrote into the page began the fade: the live logo goes on
      // from where that one is.
      const begun = document.querySelector('#first-frame .title-image')?.getAnimations()[0]?.currentTime;
      if (begun) title.style.animationDelay = `-${begun}ms`;
    } else title.classList.add('shown');
    logoShown = true;
  } else title = screen.title;
  const node = el('ion-toolbar', { class: bar && bar.barTint ? 'tinted' : '' }, start, el('ion-title', {}, title), end);
  if (bar && bar.barTint) {
    // The tint stands behind its pattern, so that the bar's white text stays readable while the
    // pattern loads.
    node.style.setProperty('--background', bar.barTint.css || `url("${bar.barTint.image}") var(--app-tint)`);
    node.style.setProperty('--color', (bar.tint && bar.tint.css) || '#fff');
  }
  return el('ion-header', {}, node);
}

function barButton(screen, context, side, button, index) {
  const label = button.title || { add: 'Add', save: 'Save', cancel: 'Cancel', done: 'Done', edit: 'Edit' }[button.system]
    || (button.image ? (button.image.includes('twitter') ? 'Share' : button.image.split('/').pop().replace('.png', '')) : 'Button');
  const content = button.system === 'add' ? el('span', { 'aria-hidden': 'true', class: 'add-glyph' }, '+')
    : button.image ? el('img', { src: button.image, alt: '' }) : label;
  return el('ion-button', {
    'aria-label': label, disabled: !button.enabled, strong: button.done,
    onclick: () => context.sendScreen({ type: 'bar', screen: screen.id, side, button: index }),
  }, content);
}

// Groups and rows are matched to the ones on show by what they are; the n-th of several alike
// matches the n-th.
function keyed(items, keyOf) {
  const seen = new Map();
  return items.map((item) => {
    const base = keyOf(item);
    const n = seen.get(base) ?? 0;
    seen.set(base, n + 1);
    return [`${base}\u0001${n}`, item];
  });
}

function updateGroups(container, screen, context, state) {
  const choosing = (screen.groups || []).some((group) => group.rows.some((row) => row.checked));
  const groupNodes = [];
  const liveGroups = new Map();
  const liveRows = new Map();
  const groups = (screen.groups || []).filter((group) => group.header || group.rows.length || group.footer);
  for (const [groupKey, group] of keyed(groups, (g) => JSON.stringify([g.title, !!g.header]))) {
    let entry = state.groups.get(groupKey);
    if (!entry) entry = { node: el('section', { class: 'group' }), look: null };
    liveGroups.set(groupKey, entry);
    const look = JSON.stringify([group.title, group.footer, group.header, group.rows.length > 0]);
    if (look !== entry.look) {
      entry.look = look;
      entry.list = drawGroupFrame(entry.node, group, entry.list);
    }
    if (entry.list) {
      entry.list.setAttribute('role', choosing && group.rows.some((row) => row.kind === 'static') ? 'radiogroup' : 'list');
      const rowNodes = [];
      for (const [rowKeyed, row] of keyed(group.rows, rowKey)) {
        const key = `${groupKey}\u0002${rowKeyed}`;
        let ref = state.rows.get(key);
        const rowLookNow = rowLook(row, choosing);
        if (!ref || ref.look !== rowLookNow) {
          // A row drawn anew counts the taps of the row it replaces, still under way.
          const fresh = { screen, row, choosing, look: rowLookNow, taps: ref?.taps ?? { pending: 0 } };
          fresh.node = buildRow(fresh, context.send);
          fresh.setValue?.(row.value);
          if (ref) keepFocus(ref.node, fresh.node);
          ref = fresh;
        } else {
          ref.screen = screen;
          updateRow(ref, row);
        }
        liveRows.set(key, ref);
        rowNodes.push(ref.node);
      }
      placeChildren(entry.list, rowNodes);
    }
    groupNodes.push(entry.node);
  }
  state.groups = liveGroups;
  state.rows = liveRows;
  const nodes = groupNodes.length ? groupNodes : [el('p', { class: 'empty-screen' }, emptyWords[screen.title] || 'Nothing to show.')];
  placeChildren(container, nodes);
}

// A group: the product header, or a title above the card (a heading), the card, and a footer
// below it, read apart from what follows.
function drawGroupFrame(node, group, list) {
  const parts = [];
  if (group.header) {
    parts.push(paint(el('div', { class: 'package-header', role: 'banner' },
      el('h1', {}, group.header.title), el('p', {}, group.header.subTitle)), group.header.background));
  }
  if (group.rows.length && group.title) parts.push(el('ion-list-header', { role: 'heading', 'aria-level': '2' }, el('ion-label', {}, group.title)));
  const card = group.rows.length ? (list ?? el('ion-list', { inset: true })) : null;
  if (card) card.setAttribute('aria-label', group.title || '');
  if (!group.title) card?.removeAttribute('aria-label');
  if (card) parts.push(card);
  if (group.footer) parts.push(el('p', { class: 'group-footer' }, group.footer));
  placeChildren(node, parts);
  node.classList.toggle('with-header', !!group.header);
  return card;
}

// A row redrawn while it had the focus gives the focus to its new node.
function keepFocus(old, fresh) {
  if (!old.contains(document.activeElement)) return;
  requestAnimationFrame(async () => {
    const target = fresh.matches('[tabindex]') ? fresh : fresh.querySelector('ion-toggle, ion-range, ion-input, ion-item') ?? fresh;
    if (target.setFocus) await target.setFocus();
    else if (target.tagName === 'ION-ITEM') target.shadowRoot?.querySelector('button, a')?.focus();
    else target.focus();
  });
}
