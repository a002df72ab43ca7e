// Small helpers to build the page's nodes.

// A node with its attributes (on... names add listeners; non-text values are set as
// properties) and its children (text or nodes; empty ones are skipped).
export function el(tag, attributes = {}, ...children) {
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
export function paint(node, color, { text = false } = {}) {
  if (!color) return node;
  if (color.css) {
    if (text) node.style.color = color.css; else node.style.background = color.css;
  } else if (color.image && text) {
    // Text in a colour made from an image takes the app's readable tint (style.css): the
    // pattern itself behind the text would hide it.
    node.classList.add('pattern-text');
  } else if (color.image) {
    node.style.backgroundImage = `url("${color.image}")`;
    // The app's tint stands behind its pattern while the pattern loads.
    node.style.backgroundColor = 'var(--app-tint)';
    if (color.alpha !== undefined && color.alpha < 1) node.style.opacity = String(Math.max(color.alpha, 0.85));
  }
  return node;
}

// Makes `parent`'s element children exactly `nodes`, in order, without moving a node that
// stays: a moved node would lose the focus, and the rows around it their place on screen.
export function placeChildren(parent, nodes) {
  const wanted = new Set(nodes);
  for (const child of [...parent.children]) if (!wanted.has(child)) child.remove();
  let next = parent.firstElementChild;
  for (const node of nodes) {
    if (node === next) { next = next.nextElementSibling; continue; }
    parent.insertBefore(node, next);
  }
}

// The iOS chevron of a back button and a link row.
export function chevron() {
  const svg = document.createElementNS('http://www.w3.org/2000/svg', 'svg');
  svg.setAttribute('viewBox', '0 0 12 21');
  svg.setAttribute('aria-hidden', 'true');
  svg.classList.add('chevron');
  const path = document.createElementNS('http://www.w3.org/2000/svg', 'path');
  path.setAttribute('d', 'M10.5 1.5 1.5 10.5l9 9');
  svg.append(path);
  return svg;
}

// Whether animations are wanted at all.
export const motion = () => !window.matchMedia('(prefers-reduced-motion: reduce)').matches;

// Sets a property of a widget, once the widget is defined: a property set before would shadow
// the widget's own once it is (the widgets of other screens load later).
export function setProp(node, name, value) {
  if (customElements.get(node.localName)) {
    node[name] = value;
    return;
  }
  const first = !node.pendingProps;
  node.pendingProps = { ...node.pendingProps, [name]: value };
  if (first) {
    customElements.whenDefined(node.localName).then(() => {
      const props = node.pendingProps;
      delete node.pendingProps;
      Object.assign(node, props);
    });
  }
}
