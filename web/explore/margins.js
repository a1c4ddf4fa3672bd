// What stands around explore's pictures, never in them: the portrait's axes (theta across, p up,
// the engine's ticks from the scene's record), the readouts (the pointer's theta and p as the
// engine words them, the kick, the group by both its names), and the pictures' sizes on the
// page: a whole number of screen pixels per picture pixel wherever that fits.

// The portrait is no taller than this share of the window, so that the strip and the controls
// stay in sight.
const tallest = 0.5;
// A portrait that one screen pixel per picture pixel would leave smaller than this share of its
// room fills the room instead, blended: a phone's screen pixels are too small to tap on.
const smallest = 0.75;

function tickElements(axis, ticks, along) {
  const name = axis.querySelector('.axis-name');
  axis.replaceChildren(name);
  ticks.forEach((tick, index) => {
    const mark = document.createElement('span');
    mark.className = 'tick' + (tick.end ? ' end' : '') + (index === 0 ? ' first' : '') +
                     (index === ticks.length - 1 ? ' last' : '');
    mark.style[along] = (100 * tick.at) + '%';
    mark.textContent = tick.label;
    axis.append(mark);
  });
}

// The group's names as the readout gives them: "p2 or p211 (spinning-hop)".
export function groupWords(group) {
  return group.long === group.short ? group.label
    : group.label.replace(' (', ' or ' + group.long + ' (');
}

export class Margins {
  #view;
  #engine = null;
  #axesFor = '';
  // The pointer's place over the portrait (fractions of it), or null when it is elsewhere.
  #pointer = null;
  // The widths the portrait and the strip have room for (CSS pixels), measured only when the
  // page's size changes: measuring while pictures follow a dragged slider would make the browser
  // lay the page out again for each.
  #rooms = null;

  constructor(view) {
    this.#view = view;
    const portrait = view.portrait;
    const follow = (event) => {
      const box = portrait.getBoundingClientRect();
      this.#pointer = { x: (event.clientX - box.left) / box.width,
                        y: (event.clientY - box.top) / box.height };
      this.#sayPoint();
    };
    portrait.addEventListener('pointermove', follow);
    portrait.addEventListener('pointerdown', follow);
    portrait.addEventListener('pointerleave', () => {
      this.#pointer = null;
      this.#sayPoint();
    });
    const measure = () => {
      this.#rooms = null;
      this.fit();
    };
    window.addEventListener('resize', measure);
    new ResizeObserver(measure).observe(view.pictures);
  }

  // Called once this thread's engine runs (it words the pointer's place).
  set engine(engine) { this.#engine = engine; }

  #sayPoint() {
    const out = this.#view.readoutPoint;
    const inside = this.#pointer !== null && this.#pointer.x >= 0 && this.#pointer.x < 1 &&
                   this.#pointer.y >= 0 && this.#pointer.y < 1;
    let text = 'θ –, p –';
    if (inside && this.#engine !== null) {
      const words = this.#engine.point(this.#pointer.x, this.#pointer.y);
      text = 'θ ' + words.theta + ', p ' + words.p;
    }
    if (out.textContent !== text) out.textContent = text;
  }

  // The axes and readouts of a scene's record.
  show(record) {
    const axes = JSON.stringify(record.axes);
    if (axes !== this.#axesFor) {
      this.#axesFor = axes;
      tickElements(this.#view.thetaAxis, record.axes.theta, 'left');
      tickElements(this.#view.pAxis, record.axes.p, 'top');
      // theta's name sits in the middle of the widest gap between its ticks.
      const at = record.axes.theta.map((tick) => tick.at);
      let gap = 0;
      for (let i = 1; i < at.length; ++i) if (at[i] - at[i - 1] > at[gap + 1] - at[gap]) gap = i - 1;
      const middle = at.length > 1 ? (at[gap] + at[gap + 1]) / 2 : 0.5;
      this.#view.thetaAxis.querySelector('.axis-name').style.left = 100 * middle + '%';
    }
    const kick = 'kick K = ' + record.values.kick;
    const group = 'group ' + groupWords(record.group);
    if (this.#view.readoutKick.textContent !== kick) this.#view.readoutKick.textContent = kick;
    if (this.#view.readoutGroup.textContent !== group) this.#view.readoutGroup.textContent = group;
    this.#sayPoint();
  }

  // The largest sizes, in screen pixels, the pictures are shown at: larger ones are drawn
  // smaller by the workers, the page's thread never holding more than it shows.
  room() {
    const density = window.devicePixelRatio || 1;
    const { portraitRoom, stripRoom } = this.#measured();
    return {
      portrait: { width: Math.ceil(portraitRoom * density),
                  height: Math.ceil(window.innerHeight * tallest * density) },
      strip: { width: Math.ceil(stripRoom * density), height: Math.ceil(window.innerHeight * density) },
    };
  }

  #measured() {
    if (this.#rooms === null) {
      const pictures = this.#view.pictures.clientWidth;
      const axis = this.#view.pAxis.getBoundingClientRect().width;
      this.#rooms = { portraitRoom: Math.max(1, pictures - axis - 1),
                      stripRoom: Math.max(1, pictures) };
    }
    return this.#rooms;
  }

  // Each canvas at a whole number of screen pixels per picture pixel where that fits its room,
  // else as large as the room, blended.
  fit() {
    const density = window.devicePixelRatio || 1;
    const { portraitRoom, stripRoom } = this.#measured();
    const size = (canvas, room, most, box) => {
      const fit = Math.min(room / canvas.width, most / canvas.height);
      let whole = Math.floor(fit * density + 1e-6);
      if (whole === 1 && 1 / density < smallest * fit) whole = 0;
      const scale = whole >= 1 ? whole / density : fit;
      const scaling = whole >= 1 ? 'sharp' : 'smooth';
      if (canvas.dataset.scaling !== scaling) canvas.dataset.scaling = scaling;
      const width = canvas.width * scale + 'px', height = canvas.height * scale + 'px';
      if (box.style.width !== width) box.style.width = width;
      if (box.style.height !== height) box.style.height = height;
    };
    size(this.#view.portrait, portraitRoom, window.innerHeight * tallest, this.#view.portraitBox);
    size(this.#view.strip, stripRoom, Infinity, this.#view.strip);
    this.#view.portraitBox.parentElement.dataset.fitted = '';
  }
}
