// A navigation stack of the host drawn as on the phone: each screen is a page of its own; a
// pushed screen slides in from the right over the one below, a popped one slides out, and a
// swipe from the left edge takes the top screen back. The screens below the top are kept out of
// the document (only the top one is there to be read and tapped) with their scroll position,
// so that going back finds them where the user left them. The host decides what is on the
// stack; the page animates the difference between what it shows and what it is given.
import { motion } from './dom.js';
import { buildScreen, updateScreen } from './screen.js';

const duration = 400;
const easing = 'cubic-bezier(0.32, 0.72, 0, 1)';

const scroller = (view) => view.querySelector(':scope > ion-content')?.shadowRoot?.querySelector('.inner-scroll');

export class NavigationView {
  // `context(bar)` gives the screens' context (screen.js) for a stack with that bar.
  constructor(host, context) {
    this.host = host;
    this.context = context;
    this.views = new Map();
    this.top = null;
    this.swipedAway = null;
    this.bar = null;
    host.addEventListener('pointerdown', (event) => this.edgeSwipe(event));
  }

  // The same bar on every screen of the stack: a screen that leaves the bar untinted (it puts
  // back the colours it found) keeps the colours of the screens before it.
  barOf(navigation) {
    if (navigation.bar && navigation.bar.barTint) this.bar = navigation.bar;
    return this.bar ?? navigation.bar;
  }

  show(navigation) {
    this.navigation = navigation;
    const context = this.context(this.barOf(navigation));
    const ids = navigation.screens.map((screen) => screen.id);
    const topScreen = navigation.screens[navigation.screens.length - 1];
    const previous = this.top;
    let view = this.views.get(topScreen.id);
    const wasBelow = !!view && view !== previous;
    if (view) {
      this.attach(view);
      updateScreen(view, topScreen, context);
    } else {
      view = buildScreen(topScreen, context);
      this.views.set(topScreen.id, view);
      this.host.append(view);
    }
    this.top = view;
    for (const [id] of this.views) if (!ids.includes(id)) this.views.delete(id);
    if (previous && previous !== view && !ids.includes(previous.dataset.screen)) this.onDropped?.(previous);
    if (previous && previous !== view) {
      const swiped = this.swipedAway === previous;
      this.swipedAway = null;
      if (swiped) previous.remove();
      else this.transition(previous, view, ids.includes(previous.dataset.screen) ? 'push' : wasBelow ? 'pop' : 'replace');
    } else if (this.swipedAway === view) {
      // The host kept the screen that was swiped away: it comes back.
      this.swipedAway = null;
      this.settle(view, null);
    }
  }

  attach(view, before = null) {
    if (view.isConnected) return;
    this.host.insertBefore(view, before);
    const top = view.savedScroll;
    if (top) requestAnimationFrame(() => { const element = scroller(view); if (element) element.scrollTop = top; });
  }

  detach(view) {
    view.savedScroll = scroller(view)?.scrollTop ?? 0;
    view.style.transform = '';
    view.remove();
  }

  transition(from, to, kind) {
    // A pushed-over screen stays in the stack, out of the document; a popped or replaced one goes.
    const finish = () => {
      from.style.zIndex = '';
      to.style.zIndex = '';
      if (kind === 'push') this.detach(from); else from.remove();
    };
    if (!motion() || kind === 'replace' || !this.host.isConnected) return finish();
    if (kind === 'pop') this.attach(from);
    const width = this.host.clientWidth;
    const [top, under] = kind === 'push' ? [to, from] : [from, to];
    top.style.zIndex = '2';
    under.style.zIndex = '1';
    const slide = [{ transform: `translateX(${width}px)` }, { transform: 'translateX(0)' }];
    const shade = [{ transform: 'translateX(0)', filter: 'none' }, { transform: `translateX(${-width / 3}px)`, filter: 'brightness(0.9)' }];
    const options = { duration, easing, direction: kind === 'push' ? 'normal' : 'reverse' };
    const animations = [top.animate(slide, options), under.animate(shade, options)];
    Promise.all(animations.map((animation) => animation.finished)).catch(() => {}).then(finish);
  }

  // A drag that starts at the left edge of a screen with a back button takes it back when let go
  // past a third of the width (or flicked); otherwise the screen springs back.
  edgeSwipe(event) {
    const view = this.top;
    const screen = view?.screen;
    const left = this.host.getBoundingClientRect().left;
    if (!screen || screen.back === undefined || event.clientX - left > 24 || event.button > 0) return;
    const under = this.views.get(this.navigation.screens.at(-2)?.id);
    if (!under || under === view) return;
    const start = { x: event.clientX, time: event.timeStamp };
    const width = this.host.clientWidth;
    let dx = 0;
    let moved = false;
    const move = (e) => {
      dx = Math.max(0, e.clientX - start.x);
      if (!moved && dx < 10) return;
      if (!moved) {
        moved = true;
        this.attach(under, view);
        view.style.zIndex = '2';
      }
      view.style.transform = `translateX(${dx}px)`;
      under.style.transform = `translateX(${(dx - width) / 3}px)`;
    };
    const up = (e) => {
      this.host.removeEventListener('pointermove', move);
      this.host.removeEventListener('pointerup', up);
      this.host.removeEventListener('pointercancel', up);
      if (!moved) return;
      const speed = dx / Math.max(1, e.timeStamp - start.time);
      const back = e.type === 'pointerup' && (dx > width / 3 || speed > 0.5);
      this.settle(view, under, back);
      if (back) {
        this.swipedAway = view;
        this.context(this.barOf(this.navigation)).sendScreen({ type: 'back', screen: screen.id });
      }
    };
    this.host.addEventListener('pointermove', move);
    this.host.addEventListener('pointerup', up);
    this.host.addEventListener('pointercancel', up);
  }

  // Ends a swipe: the screen goes (back) or comes back into place, over the one below.
  settle(view, under, back = false) {
    const width = this.host.clientWidth;
    const options = { duration: motion() ? 250 : 0, easing };
    const done = [view.animate([{ transform: view.style.transform || 'translateX(0)' }, { transform: `translateX(${back ? width : 0}px)` }], options)];
    if (under) done.push(under.animate([{ transform: under.style.transform || 'translateX(0)' }, { transform: back ? 'translateX(0)' : `translateX(${-width / 3}px)` }], options));
    view.style.transform = back ? `translateX(${width}px)` : '';
    if (under) under.style.transform = '';
    Promise.all(done.map((animation) => animation.finished)).catch(() => {}).then(() => {
      view.style.zIndex = '';
      if (!back && under && under !== this.top) this.detach(under);
    });
  }

  clear() {
    this.host.querySelectorAll(':scope > .view').forEach((view) => view.remove());
    this.views.clear();
    this.top = null;
  }
}
