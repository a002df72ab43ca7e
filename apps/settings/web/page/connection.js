// The page's line to the Settings host: the screen state comes by Server-Sent Events (GET
// /events); every tap goes back as one POST /action, one at a time and in order, so that taps
// reach the host as they were made. While the host cannot be reached the page says so and
// takes no taps; the event stream reconnects by itself and the host it reaches first sends the
// screen as it is.
//
// Each tab navigates on its own: the page names its tab in every request, by an id kept in the
// tab's session storage, so that a reload finds the same screens.

// A new tab takes the tab the host made for the page it served (and drew the first screen of).
const tabKey = 'hushline.tab';
function makeTabId() {
  const id = sessionStorage.getItem(tabKey) || document.querySelector('meta[name="hushline-tab"]')?.content
    || (crypto.randomUUID ? crypto.randomUUID() : `${Date.now().toString(36)}-${Math.random().toString(36).slice(2)}`);
  sessionStorage.setItem(tabKey, id);
  return id;
}
export const tab = makeTabId();

let sending = Promise.resolve();
let connected = false;
const listeners = new Set();

export const isConnected = () => connected;
export function onConnection(listener) { listeners.add(listener); }

function setConnected(value) {
  if (connected === value) return;
  connected = value;
  for (const listener of listeners) listener(connected);
}

// `answered` gets the host's answer to the tap: the screen as the host has it after the tap
// (200), or, for a tap aimed at a screen that changed since it was drawn, as it is now (409).
// A tap that cannot reach the host is answered with null.
export function send(action, answered) {
  if (!connected) {
    answered(null);
    return sending;
  }
  sending = sending.then(() => fetch('/action', {
    method: 'POST',
    headers: { 'Content-Type': 'application/json' },
    body: JSON.stringify({ ...action, tab }),
  })).then(async (response) => {
    if (response.status !== 200 && response.status !== 409) return answered(undefined);
    return answered(await response.text());
  }, () => {
    setConnected(false);
    answered(null);
  });
  return sending;
}

export function listen(onState) {
  const events = new EventSource(`/events?tab=${encodeURIComponent(tab)}`);
  events.onopen = () => setConnected(true);
  events.onerror = () => setConnected(events.readyState === EventSource.OPEN);
  events.onmessage = (message) => {
    setConnected(true);
    onState(message.data);
  };
}
