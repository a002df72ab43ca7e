// What comes over the screens: the modal sheet (a presented navigation controller, the mail
// and share composers), the alert or action sheet, and the system's progress panel.
import { el, motion } from './dom.js';

const moreWidgets = () => import('/page/dist/ionic-more.js');

export function composerPage(overlay, sendScreen) {
  const mail = overlay.kind === 'mail';
  const text = el('textarea', { 'aria-label': 'Text' });
  text.value = overlay.text || '';
  const buttons = (...items) => el('ion-buttons', { slot: items[0] }, items[1]);
  const cancel = el('ion-button', { onclick: () => sendScreen({ type: overlay.kind, screen: overlay.id, result: 'cancel' }) }, 'Cancel');
  const done = el('ion-button', { strong: true, onclick: () => sendScreen({ type: overlay.kind, screen: overlay.id,
    result: mail ? 'send' : 'post', ...(mail ? {} : { text: text.value }) }) }, mail ? 'Send' : 'Post');
  const title = mail ? 'New Message' : (overlay.service.includes('sinaweibo') ? 'Sina Weibo' : 'Twitter');
  const details = mail ? el('dl', {}, el('dt', {}, 'To'), el('dd', {}, overlay.to.join(', ')), el('dt', {}, 'Subject'),
    el('dd', {}, overlay.subject), el('dt', {}, 'Message'), el('dd', { class: 'mail-body' }, overlay.body),
    el('dt', {}, 'Attachments'), el('dd', {}, overlay.attachments.map((file) => `${file.fileName} (${file.bytes} bytes)`).join(', ') || 'none'))
    : text;
  return el('div', { class: 'ion-page view composer-page' },
    el('ion-header', {}, el('ion-toolbar', {}, buttons('start', cancel), el('ion-title', {}, title), buttons('end', done))),
    el('ion-content', {}, el('div', { class: 'composer' }, details)));
}

// The sheet comes up from the bottom and goes down again, as a presented screen does on the
// phone; the screen below stays in sight above it, dimmed. `gone` runs once it is down.
export function showSheet(layer, shown, gone) {
  const wasShown = !layer.hidden && !layer.classList.contains('leaving');
  if (shown === wasShown) return;
  layer.getAnimations().forEach((animation) => animation.cancel());
  document.body.classList.toggle('sheet-shown', shown);
  const frames = [{ transform: 'translateY(100%)' }, { transform: 'translateY(0)' }];
  const options = { duration: motion() ? 400 : 0, easing: 'cubic-bezier(0.32, 0.72, 0, 1)' };
  if (shown) {
    layer.classList.remove('leaving');
    layer.hidden = false;
    layer.animate(frames, options);
    return;
  }
  layer.classList.add('leaving');
  layer.animate(frames, { ...options, direction: 'reverse' }).finished.catch(() => {}).then(() => {
    if (!layer.classList.contains('leaving')) return;
    layer.classList.remove('leaving');
    layer.hidden = true;
    gone();
  });
}

async function createDialog(overlay, sendScreen) {
  const { alertController, actionSheetController } = await moreWidgets();
  const buttons = overlay.actions.map((action, index) => ({
    text: action.title,
    role: action.style === 'cancel' ? 'cancel' : action.style === 'destructive' ? 'destructive' : undefined,
    // The host decides when the dialog goes: the next state no longer has it.
    handler: () => { sendScreen({ type: 'alert', screen: overlay.id, action: index }); return false; },
  }));
  const options = { header: overlay.title ?? undefined, message: overlay.message ?? undefined, buttons, backdropDismiss: false };
  if (overlay.kind === 'sheet') {
    // An action sheet has no message line of its own: the message stands as its sub-header.
    return actionSheetController.create({ header: options.header ?? options.message, subHeader: options.header ? options.message : undefined,
      buttons, backdropDismiss: false });
  }
  return alertController.create(options);
}

let shownDialog = null;   // { key, element }

// Whether the host's alert or action sheet is on show (or on its way).
export const isDialogShown = () => shownDialog !== null;

export async function drawDialog(overlay, sendScreen) {
  const key = overlay ? JSON.stringify(overlay) : '';
  if (shownDialog && shownDialog.key === key) return;
  const previous = shownDialog;
  shownDialog = overlay ? { key, element: null } : null;
  if (previous && previous.element) previous.element.dismiss(undefined, 'host');
  if (!overlay) return;
  const element = await createDialog(overlay, sendScreen);
  if (!shownDialog || shownDialog.key !== key) return;
  shownDialog.element = element;
  element.dataset.overlay = overlay.id;
  await element.present();
}

export function drawPanel(panelHost, alertView, sendAny) {
  panelHost.hidden = !alertView;
  if (!alertView) { panelHost.replaceChildren(); return; }
  panelHost.replaceChildren(el('div', { class: 'panel', role: 'alertdialog', 'aria-label': alertView.title },
    el('h2', {}, alertView.title), el('p', {}, alertView.message),
    alertView.progress ? el('ion-spinner', { name: 'lines', 'aria-label': 'In progress' }) : null,
    el('div', { class: 'buttons' }, alertView.buttons.map((title, index) =>
      el('ion-button', { expand: 'block', fill: 'clear', onclick: () => sendAny({ type: 'alertView', button: index }) }, title)))));
}
