// explore's controls under the pictures, built from the engine's rulebook: which keys the page
// offers and with what kind of control is the page's choice; their limits, defaults, the groups'
// names and the sentence on each are the rulebook's. The fields follow the scene's record.

// The keys the page offers, in order: the control's words and its kind.
export const offered = [
  { key: 'kick', label: 'Kick', control: 'slider' },
  { key: 'group', label: 'Group', control: 'groups' },
  { key: 'keep', label: 'Kept part', control: 'parts' },
  { key: 'palette', label: 'Palette seed', control: 'number' },
  { key: 'length', label: 'Orbit length', control: 'number' },
  { key: 'step', label: 'Seed-line step', control: 'number' },
  { key: 'colour', label: 'Colour by', control: 'choice' },
];

// The buttons, by id, with what Help says of them: what each does is the page's (main.js).
export const buttons = [
  ['zoom-in', 'Zoom in', 'A closer look: a smaller window onto the plane, about its centre.'],
  ['zoom-out', 'Zoom out', 'A wider window about its centre, as far as the whole torus.'],
  ['whole', 'Whole torus', 'The window back onto the whole torus: θ and p each from 0 to 2π, ' +
   'where the map\'s picture repeats.'],
  ['undo', 'Undo', 'Takes back the last change, whatever it was (a reset too).'],
  ['redo', 'Redo', 'Makes again what Undo took back.'],
  ['reset', 'Reset', 'Back to the scene the page opened with; Undo brings this one back.'],
];

function element(tag, properties = {}, ...children) {
  const made = Object.assign(document.createElement(tag), properties);
  made.append(...children);
  return made;
}

// A field's value written only where it changes: every write makes the browser bring the page's
// style up to date, many times a frame while a slider is dragged.
function setValue(field, value) {
  if (field.value !== value) field.value = value;
}

// The kick slider's positions: -positions to positions, the middle one K = 0.
const positions = 1000;
// Its thumb's width in CSS pixels (the track is that much shorter than the slider).
const thumb = 16;
// The map changes character while |K| is at most about 2: the middle `fineShare` of the track
// gives that range evenly, finely enough that a pixel moves K by at most `finestStep` on a track
// of `finest` pixels or more; the rest of it reaches the rulebook's limits.
export const fineKick = 2;
const fineShare = 0.8;
const finestStep = 0.01;

export class KickScale {
  #low;
  #high;
  // The shortest track, in CSS pixels, on which a pixel is at most finestStep where |K| <= 2.
  finest = 2 * fineKick / (fineShare * finestStep);

  constructor(low, high) {
    this.#low = low;
    this.#high = high;
  }

  // K at a position from -1 to 1, on the grid of hundredths.
  kick(position) {
    const size = Math.abs(position);
    const limit = position < 0 ? -this.#low : this.#high;
    const away = size <= fineShare ? fineKick * size / fineShare
      : fineKick + (limit - fineKick) * (size - fineShare) / (1 - fineShare);
    return Math.round(Math.sign(position) * Math.min(away, limit) * 100) / 100 || 0;
  }

  // The position of K.
  at(kick) {
    const size = Math.abs(kick);
    const limit = kick < 0 ? -this.#low : this.#high;
    const place = size <= fineKick ? fineShare * size / fineKick
      : fineShare + (1 - fineShare) * (size - fineKick) / Math.max(limit - fineKick, 1e-9);
    return Math.sign(kick) * Math.min(place, 1);
  }
}

export class Controls {
  // The form, the fields by key (kick also has its number field: kick-number), the groups'
  // names, and the page's handlers: change(key, value, field, continues), press(button id) and
  // step(hundredths of the kick).
  #form;
  #fields = {};
  #groups;
  #on;
  // The kick's slider and its scale.
  #kick = null;

  constructor(form, rules, on) {
    this.#form = form;
    this.#groups = rules.groups;
    this.#on = on;
    const byName = new Map(rules.keys.map((rule) => [rule.name, rule]));
    for (const { key, label, control } of offered) {
      const rule = byName.get(key);
      const id = key;
      const box = element('div', { className: 'control ' + key });
      box.append(element('label', { htmlFor: id, title: rule.about }, label));
      if (control === 'slider') {
        const scale = new KickScale(rule.low, rule.high);
        const slider = element('input', {
          id, type: 'range', min: -positions, max: positions, step: 1, title: rule.about,
        });
        const number = element('input', {
          id: id + '-number', type: 'number', min: rule.low, max: rule.high, step: 0.01,
        });
        number.setAttribute('aria-label', label + ', as a number');
        this.#kick = { slider, scale };
        this.#bindSlider(slider, scale);
        number.addEventListener('input', () => {
          if (number.value !== '') this.#on.change(key, number.value, number, false);
        });
        box.append(slider, number);
        this.#fields[key] = slider;
        this.#fields[key + '-number'] = number;
      } else if (control === 'groups' || control === 'parts' || control === 'choice') {
        const select = element('select', { id, title: rule.about });
        if (control === 'choice') {
          for (const name of rule.names) select.append(new Option(name, name));
        }
        if (control === 'groups') {
          for (const group of rules.groups) {
            const words = group.long === group.short
              ? group.label : group.label.replace(' (', ' or ' + group.long + ' (');
            select.append(new Option(words, group.short));
          }
        }
        select.addEventListener('change', () => this.#on.change(key, select.value, select, false));
        box.append(' ', select);
        this.#fields[key] = select;
      } else {
        const whole = rule.kind === 'whole';
        const number = element('input', {
          id, type: 'number', min: rule.low, max: rule.high, step: whole ? 1 : 'any',
          title: rule.about,
        });
        number.addEventListener('input', () => {
          if (number.value !== '') this.#on.change(key, number.value, number, false);
        });
        box.append(number);
        this.#fields[key] = number;
      }
      form.append(box);
    }
    const row = element('div', { className: 'control buttons' });
    for (const [id, words] of buttons) {
      const button = element('button', { id, type: 'button' }, words);
      button.addEventListener('click', () => this.#on.press(id));
      row.append(button);
    }
    form.append(row);
  }

  // The kick's slider takes its drags itself, relative to where they start: its thumb follows the
  // pointer where the track is wide enough for the fine scale, and moves more slowly than the
  // pointer on a shorter track (a phone's), so that a pixel's drag is as fine everywhere. A press
  // away from the thumb first puts it there. Its keys step the kick on the engine's grid.
  #bindSlider(slider, scale) {
    let drag = null;
    const track = () => {
      const box = slider.getBoundingClientRect();
      return { left: box.left + thumb / 2, width: Math.max(1, box.width - thumb) };
    };
    const positionAt = (x) => {
      const { left, width } = track();
      return Math.min(1, Math.max(-1, 2 * (x - left) / width - 1));
    };
    const send = (position) => {
      const kick = scale.kick(position);
      this.#on.change('kick', String(kick), slider, drag !== null && drag.changed);
      if (drag !== null) drag.changed = true;
    };
    slider.addEventListener('pointerdown', (event) => {
      if (slider.disabled || event.button !== 0) return;
      event.preventDefault();
      slider.focus();
      slider.setPointerCapture(event.pointerId);
      const { left, width } = track();
      const now = Number(slider.value) / positions;
      const thumbX = left + (now + 1) / 2 * width;
      drag = { pointer: event.pointerId, x: event.clientX, from: now, changed: false };
      if (Math.abs(event.clientX - thumbX) > thumb) {
        drag.from = positionAt(event.clientX);
        send(drag.from);
      }
    });
    slider.addEventListener('pointermove', (event) => {
      if (drag === null || event.pointerId !== drag.pointer) return;
      // Positions run from -1 to 1 over at least `finest` pixels.
      const pixels = Math.max(track().width, scale.finest);
      const position = Math.min(1, Math.max(-1, drag.from + 2 * (event.clientX - drag.x) / pixels));
      send(position);
    });
    const stop = (event) => {
      if (drag !== null && event.pointerId === drag.pointer) drag = null;
    };
    slider.addEventListener('pointerup', stop);
    slider.addEventListener('pointercancel', stop);
    // A finger's drag is the slider's own too: the browser's would move the thumb to the finger.
    for (const type of ['touchstart', 'touchmove']) {
      slider.addEventListener(type, (event) => {
        if (!slider.disabled) event.preventDefault();
      }, { passive: false });
    }
    // What assistive technology sets.
    slider.addEventListener('input', () => {
      if (drag === null) send(Number(slider.value) / positions);
    });
    slider.addEventListener('keydown', (event) => {
      const steps = { ArrowRight: 1, ArrowUp: 1, ArrowLeft: -1, ArrowDown: -1, PageUp: 10,
                      PageDown: -10 };
      if (event.altKey || event.ctrlKey || event.metaKey) return;
      if (Object.hasOwn(steps, event.key)) {
        event.preventDefault();
        this.#on.step(steps[event.key]);
      } else if (event.key === 'Home' || event.key === 'End') {
        event.preventDefault();
        send(event.key === 'Home' ? -1 : 1);
      }
    });
  }

  // Every control of the form, for enabling them all at once.
  get all() { return [...this.#form.elements]; }

  // The fields as the record has them (a field being typed in keeps what is typed).
  fill(record) {
    const values = record.values;
    const typing = (field) => document.activeElement === field;
    setValue(this.#kick.slider, String(Math.round(this.#kick.scale.at(Number(values.kick)) * positions)));
    if (!typing(this.#fields['kick-number'])) setValue(this.#fields['kick-number'], values.kick);
    setValue(this.#fields.group, values.group);
    setValue(this.#fields.colour, values.colour);
    const keep = this.#fields.keep;
    if (keep.options.length !== record.parts) {
      keep.textContent = '';
      for (let part = 0; part < record.parts; ++part) {
        keep.append(new Option('part ' + (part + 1) + ' of ' + record.parts, String(part)));
      }
    }
    setValue(keep, String(Number(values.keep) % record.parts));
    for (const key of ['palette', 'length', 'step']) {
      if (!typing(this.#fields[key])) setValue(this.#fields[key], values[key]);
    }
    document.getElementById('undo').disabled = !record.undo;
    document.getElementById('redo').disabled = !record.redo;
  }

  // Marks a field whose value was refused, or takes the mark off.
  mark(field, refused) {
    if (field) field.setAttribute('aria-invalid', refused ? 'true' : 'false');
  }
}
