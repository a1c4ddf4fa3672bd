// What the portrait takes, the desktop window's gestures and keys: a click or tap starts an orbit,
// a drag moves the window onto the plane, the wheel or a pinch zooms about the pointer; focused,
// the portrait takes the desktop's keys. Each becomes an operation of the engine (main.js's
// `edit`), a drag's and a pinch's steps joined into one change that undo takes back at once.

// Pointer moves shorter than this (CSS pixels) are still a tap.
const tapSlack = 6;

// The desktop's keys (explore's window): the keys as Help shows them, what they do in plain words,
// and which keys of the keyboard's events they are, as operations [engine method, its arguments].
export const keys = [
  { shown: ['←', '→', '↑', '↓'], words: 'move the window onto the plane a step',
    take: { ArrowLeft: ['stepWindow', -1, 0], ArrowRight: ['stepWindow', 1, 0],
            ArrowUp: ['stepWindow', 0, 1], ArrowDown: ['stepWindow', 0, -1] } },
  { shown: ['+', '-'], words: 'zoom in and out about the centre',
    take: { '+': ['zoomIn'], '=': ['zoomIn'], '-': ['zoomOut'] } },
  { shown: [']', '['], words: 'kick up or down by 0.01',
    take: { ']': ['stepKick', 1], '[': ['stepKick', -1] } },
  { shown: ['Page Up', 'Page Down'], words: 'kick up or down by 0.1',
    take: { PageUp: ['stepKick', 10], PageDown: ['stepKick', -10] } },
  { shown: ['g'], words: 'the next frieze group', take: { g: ['nextGroup'] } },
  { shown: ['1', '…', '7'], words: 'a frieze group by its number in the list',
    take: Object.fromEntries([1, 2, 3, 4, 5, 6, 7].map((n) => [String(n), ['setGroup', n - 1]])) },
  { shown: ['k'], words: 'keep the next part of the tile', take: { k: ['nextPart'] } },
  { shown: ['c'], words: 'new colours (the next palette seed)', take: { c: ['nextPalette'] } },
  { shown: ['o'], words: 'colour by start, by order and chaos, by density, in turn',
    take: { o: ['nextColouring'] } },
  { shown: ['Enter'], words: 'start an orbit at the centre', take: { Enter: ['plant', 0.5, 0.5] } },
  { shown: ['u', 'Ctrl+Z', 'Backspace'], words: 'undo the last change',
    take: { u: ['undo'], Backspace: ['undo'] } },
  { shown: ['U', 'Ctrl+Shift+Z', 'Ctrl+Y'], words: 'redo what was undone', take: { U: ['redo'] } },
  { shown: ['r'], words: 'reset to the scene the page opened with', take: { r: ['reset'] } },
];

// The gestures on the portrait, as Help shows them.
export const gestures = [
  ['Click or tap', 'start an orbit there, in a colour of its own'],
  ['Drag', 'move the window onto the plane'],
  ['Wheel or pinch', 'zoom about the pointer'],
  ['Pointer over it', 'θ and p of the point under it, beside the kick'],
];

const operations = Object.assign({}, ...keys.map((entry) => entry.take));

function keyOperation(event) {
  const key = event.key;
  if (event.ctrlKey || event.metaKey) {
    if (key === 'z' || key === 'Z') return event.shiftKey ? ['redo'] : ['undo'];
    if (key === 'y') return ['redo'];
    return null;
  }
  return Object.hasOwn(operations, key) ? operations[key] : null;
}

// Binds the portrait; `edit(method, ...args)` runs an engine operation, `usable()` says whether
// the controls take changes.
export function bindGestures(portrait, edit, usable) {
  // The pointers down on the portrait (fractions of it) and the gesture they make: a tap until it
  // moves, then a drag; or, with two fingers, a pinch.
  const pointers = new Map();
  let gesture = null;

  function fraction(event) {
    const box = portrait.getBoundingClientRect();
    return { x: (event.clientX - box.left) / box.width, y: (event.clientY - box.top) / box.height };
  }

  portrait.addEventListener('pointerdown', (event) => {
    if (!usable()) return;
    portrait.setPointerCapture(event.pointerId);
    pointers.set(event.pointerId, fraction(event));
    if (pointers.size === 1) {
      gesture = { kind: 'tap', start: fraction(event), moved: false };
    } else if (pointers.size === 2) {
      const [a, b] = [...pointers.values()];
      gesture = { kind: 'pinch', distance: Math.hypot(a.x - b.x, a.y - b.y), moved: false };
    }
  });
  portrait.addEventListener('pointermove', (event) => {
    if (!pointers.has(event.pointerId) || gesture === null) return;
    const at = fraction(event);
    pointers.set(event.pointerId, at);
    if (gesture.kind === 'pinch' && pointers.size === 2) {
      const [a, b] = [...pointers.values()];
      const distance = Math.hypot(a.x - b.x, a.y - b.y);
      if (distance > 0 && Math.abs(distance / gesture.distance - 1) > 0.05) {
        edit('zoom', gesture.distance / distance, (a.x + b.x) / 2, (a.y + b.y) / 2, gesture.moved);
        gesture.distance = distance;
        gesture.moved = true;
      }
      return;
    }
    const box = portrait.getBoundingClientRect();
    const moved = Math.hypot((at.x - gesture.start.x) * box.width,
                             (at.y - gesture.start.y) * box.height);
    if (gesture.kind === 'tap' && moved > tapSlack) gesture.kind = 'drag';
    if (gesture.kind === 'drag') {
      // From where the drag started: the engine moves the window from where it stood then.
      edit('pan', gesture.start.x - at.x, at.y - gesture.start.y, gesture.moved);
      gesture.moved = true;
    }
  });
  const release = (event) => {
    if (!pointers.has(event.pointerId)) return;
    pointers.delete(event.pointerId);
    if (gesture !== null && gesture.kind === 'tap' && event.type === 'pointerup') {
      const at = fraction(event);
      if (at.x >= 0 && at.x < 1 && at.y >= 0 && at.y < 1) edit('plant', at.x, at.y);
    }
    if (pointers.size === 0) gesture = null;
  };
  portrait.addEventListener('pointerup', release);
  portrait.addEventListener('pointercancel', release);
  portrait.addEventListener('wheel', (event) => {
    event.preventDefault();
    if (!usable()) return;
    const at = fraction(event);
    edit('zoom', Math.pow(2, Math.max(-1, Math.min(1, event.deltaY / 300))), at.x, at.y);
  }, { passive: false });
  portrait.addEventListener('keydown', (event) => {
    if (!usable() || event.altKey) return;
    const operation = keyOperation(event);
    if (operation === null) return;
    event.preventDefault();
    edit(...operation);
  });
}
