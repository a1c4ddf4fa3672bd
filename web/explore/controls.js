// explore's controls under the pictures, built from the engine's rulebook: which keys the page
// offers and with what kind of control is the page's choice; their limits, defaults, the groups'
// names and the sentence on each are the rulebook's. The fields follow the scene's record.

// The keys the page offers, in order: the control's words and its kind.
const offered = [
  { key: 'kick', label: 'Kick', control: 'slider' },
  { key: 'group', label: 'Group', control: 'groups' },
  { key: 'keep', label: 'Kept part', control: 'parts' },
  { key: 'palette', label: 'Palette seed', control: 'number' },
  { key: 'length', label: 'Orbit length', control: 'number' },
  { key: 'step', label: 'Seed-line step', control: 'number' },
  { key: 'colour', label: 'Colour by', control: 'choice' },
];

// The buttons, by id: what each does is the page's (main.js).
const buttons = [
  ['zoom-in', 'Zoom in'], ['zoom-out', 'Zoom out'], ['whole', 'Whole torus'],
  ['undo', 'Undo'], ['redo', 'Redo'], ['reset', 'Reset'],
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

export class Controls {
  // The form, the fields by key (kick also has its number field: kick-number), the groups'
  // names, and the page's handlers: change(key, value, continues) and press(button id).
  #form;
  #fields = {};
  #groups;
  #on;
  // Whether the kick slider is being dragged, and whether that drag has changed the scene yet.
  #dragging = false;
  #dragged = false;

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
        const slider = element('input', {
          id, type: 'range', min: rule.low, max: rule.high, step: 0.01, title: rule.about,
        });
        const number = element('input', {
          id: id + '-number', type: 'number', min: rule.low, max: rule.high, step: 0.01,
        });
        number.setAttribute('aria-label', label + ', as a number');
        slider.addEventListener('pointerdown', () => {
          this.#dragging = true;
          this.#dragged = false;
        });
        const stop = () => { this.#dragging = false; };
        slider.addEventListener('pointerup', stop);
        slider.addEventListener('pointercancel', stop);
        slider.addEventListener('change', stop);
        slider.addEventListener('input', () => {
          this.#on.change(key, slider.value, slider, this.#dragging && this.#dragged);
          if (this.#dragging) this.#dragged = true;
        });
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

  // Every control of the form, for enabling them all at once.
  get all() { return [...this.#form.elements]; }

  // The fields as the record has them (a field being typed in keeps what is typed).
  fill(record) {
    const values = record.values;
    const typing = (field) => document.activeElement === field;
    setValue(this.#fields.kick, values.kick);
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
