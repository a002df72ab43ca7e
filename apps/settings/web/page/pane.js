// The pane of a detail screen (the active hours): its table of rows above a wheel time picker.
// A pane on show keeps its wheel while the host updates it, so that a wheel the user is
// turning is not rebuilt; the wheel always shows the time the selected row has, which is the
// stored one: after a refused time it turns back.
import { el, paint } from './dom.js';
import { isDialogShown } from './overlays.js';

// How long a wheel the host turned back may still report the refused time as it settles.
const settleMs = 1500;

function localDate() {
  const now = new Date();
  const two = (n) => String(n).padStart(2, '0');
  return `${now.getFullYear()}-${two(now.getMonth() + 1)}-${two(now.getDate())}`;
}

// "From 8:00 AM" -> "08:00".
function rowTime(text) {
  const match = /(\d{1,2}):(\d{2})\s*([AP]M)?/i.exec(text || '');
  if (!match) return null;
  let hour = Number(match[1]) % (match[3] ? 12 : 24);
  if (match[3] && match[3].toUpperCase() === 'PM') hour += 12;
  return `${String(hour).padStart(2, '0')}:${match[2]}`;
}

// The time the wheel shows: the selected row's, else the host's picker's.
function shownTime(pane) {
  const { table, picker } = pane;
  const selected = table && table.rows.find((row) => row.index === table.selected);
  return (selected && rowTime(selected.text)) || picker.time;
}

// The pane's rows: one of them is chosen (its time is on the wheel).
function paneRows(screen, table, context) {
  return el('ion-list', { inset: true, class: 'pane-table', role: 'radiogroup', 'aria-label': 'Time to set' },
    table.rows.map((row) => {
      const choose = () => context.sendScreen({ type: 'select', screen: screen.id, row: row.index });
      const selected = row.index === table.selected;
      return el('ion-item', { detail: 'false', class: selected ? 'selected choice' : 'choice', onclick: choose },
        el('div', { class: 'choice-target', role: 'radio', tabindex: '0', 'aria-checked': String(selected), 'data-row': String(row.index),
          onkeydown: (event) => { if (event.key === ' ' || event.key === 'Enter') { event.preventDefault(); choose(); } } },
        paint(el('ion-label', { class: `align-${row.align}` }, row.text), row.color, { text: true })));
    }));
}

function setWheel(datetime, time) {
  datetime.dataset.time = time;
  datetime.value = `${localDate()}T${time}:00`;
}

// A turn the host refused is put back, but a wheel still gliding from the user's flick reports
// where it comes to rest a moment later: that report is not a new turn. Nor is any report while
// a dialog covers the wheel, which no finger can reach then.
function isUsersTurn(datetime, time) {
  const back = datetime.turnedBack;
  return !isDialogShown() && !(back && back.time === time && performance.now() - back.at < settleMs);
}

// A wheel time picker in the phone's 12-hour clock; a turn of the wheels sends the new time.
function panePicker(screen, pane, context) {
  const datetime = el('ion-datetime', { presentation: 'time', 'hour-cycle': 'h12', locale: 'en-US', 'prefer-wheel': true,
    'aria-label': 'Time',
    onionChange: (event) => {
      const match = /T?(\d{2}):(\d{2})/.exec(String(event.detail.value || ''));
      const time = match && `${match[1]}:${match[2]}`;
      if (!time || time === datetime.dataset.time) return;
      if (!isUsersTurn(datetime, time)) {
        setWheel(datetime, datetime.dataset.time);
        return;
      }
      datetime.dataset.time = time;
      context.sendScreen({ type: 'pick', screen: datetime.closest('.view')?.screen?.id ?? screen.id, hour: Number(match[1]), minute: Number(match[2]) });
    } });
  setWheel(datetime, shownTime(pane));
  datetime.dataset.row = String(pane.table?.selected ?? '');
  return el('div', { class: 'pane-picker', style: `height:${pane.picker.height}px` }, datetime);
}

// The table fills the room above the picker, its rows in the middle of it.
export function buildPane(screen, context) {
  const { table, picker } = screen.pane;
  const area = el('div', { class: 'pane-area' },
    table ? el('div', { class: 'pane-rows', style: `margin-top:${table.top}px` }, paneRows(screen, table, context)) : null,
    picker ? panePicker(screen, screen.pane, context) : null);
  return el('ion-content', { color: 'light', class: 'pane', 'scroll-y': table && !table.scrolls ? 'false' : undefined }, area);
}

// Takes the new rows into the pane on show, keeping the focus on the row that had it; false
// when the pane must be built anew.
export function updatePane(body, screen, context) {
  const datetime = body.querySelector('ion-datetime');
  const oldTable = body.querySelector('.pane-table');
  if (!datetime || !oldTable || !screen.pane.table || !screen.pane.picker) return false;
  const focusedRow = document.activeElement?.closest?.('.pane-table [data-row]')?.dataset.row;
  const table = paneRows(screen, screen.pane.table, context);
  oldTable.replaceWith(table);
  if (focusedRow !== undefined) table.querySelector(`[data-row="${focusedRow}"]`)?.focus();
  const time = shownTime(screen.pane);
  const row = String(screen.pane.table.selected ?? '');
  if (datetime.dataset.time !== time) {
    // The same row with another time than the wheel shows: the host kept its own, refusing the turn.
    if (datetime.dataset.row === row) datetime.turnedBack = { time: datetime.dataset.time, at: performance.now() };
    setWheel(datetime, time);
  }
  datetime.dataset.row = row;
  return true;
}
