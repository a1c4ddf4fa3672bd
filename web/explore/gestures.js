// What the portrait takes, the desktop window's gestures and keys: a click or tap starts an orbit,
// a drag moves the window onto the plane, the wheel or a pinch zooms about the pointer; focused,
// the portrait takes the desktop's keys. Each becomes an operation of the engine (main.js's
// `edit`), a drag's and a pinch's steps joined into one change that undo takes back at once.

// Pointer moves shorter than this (CSS pixels) are still a tap.
const tapSlack = 6;

// The desktop's keys (explore's window), as operations: [engine method, its arguments].
function keyOperation(event) {
  const key = event.key;
  if (event.ctrlKey || event.metaKey) {
    if (key === 'z' || key === 'Z') return event.shiftKey ? ['redo'] : ['undo'];
    if (key === 'y') return ['redo'];
    return null;
  }
  const moves = { ArrowLeft: [-1, 0], ArrowRight: [1, 0], ArrowUp: [0, 1], ArrowDown: [0, -1] };
  if (moves[key]) return ['stepWindow', ...moves[key]];
  const simple = {
    ']': ['stepKick', 1], '[': ['stepKick', -1], PageUp: ['stepKick', 10],
    PageDown: ['stepKick', -10], g: ['nextGroup'], k: ['nextPart'], c: ['nextPalette'],
    u: ['undo'], U: ['redo'], Backspace: ['undo'], r: ['reset'], '+': ['zoomIn'], '=': ['zoomIn'],
    '-': ['zoomOut'], Enter: ['plant', 0.5, 0.5],
  };
  if (simple[key]) return simple[key];
  if (key >= '1' && key <= '7') return ['setGroup', Number(key) - 1];
  return null;
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
