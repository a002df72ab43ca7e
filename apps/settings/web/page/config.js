// Ionic draws every screen as the phone's Settings app does (iOS mode). The host decides what is
// on screen, so Ionic's own transitions are off: a state from the host is drawn at once.
window.Ionic = { config: { mode: 'ios', animated: false } };
