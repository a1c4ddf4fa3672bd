// explore's Help: every key and gesture the portrait takes, and a sentence of plain words for each
// control (the rulebook's sentence on its key where it has one). The Help button or the ? key shows
// it over the page; ?, Esc or Close takes it away and leaves everything as it was.
import { buttons, fineKick, offered } from './controls.js';
import { gestures, keys } from './gestures.js';

function entry(list, term, words) {
  const dt = document.createElement('dt');
  dt.append(...term);
  const dd = document.createElement('dd');
  dd.textContent = words;
  list.append(dt, dd);
}

function kbd(text) {
  const made = document.createElement('kbd');
  made.textContent = text;
  return made;
}

// Typing in a field takes ? and Esc for itself.
function typing(target) {
  return target instanceof HTMLInputElement && target.type !== 'range' ||
         target instanceof HTMLTextAreaElement || target instanceof HTMLSelectElement;
}

export class Help {
  #box;
  #button;
  #controls;
  // What had the focus when Help opened, to have it back.
  #before = null;

  constructor(box, button) {
    this.#box = box;
    this.#button = button;
    this.#controls = box.querySelector('#help-controls');
    for (const [term, words] of gestures) entry(box.querySelector('#help-gestures'), [term], words);
    for (const { shown, words } of keys) {
      const term = [];
      shown.forEach((key, index) => term.push(...(index > 0 ? [' ', kbd(key)] : [kbd(key)])));
      entry(box.querySelector('#help-keys'), term, words);
    }
    entry(box.querySelector('#help-keys'), [kbd('?')], 'show or hide this help; Esc hides it');
    button.addEventListener('click', () => this.toggle());
    box.querySelector('#help-close').addEventListener('click', () => this.hide());
    document.addEventListener('keydown', (event) => {
      if (event.ctrlKey || event.metaKey || event.altKey) return;
      if (event.key === '?' && !typing(event.target)) {
        event.preventDefault();
        this.toggle();
      } else if (event.key === 'Escape' && this.shown) {
        event.preventDefault();
        this.hide();
      }
    });
  }

  get shown() { return !this.#box.hidden; }

  // The controls' sentences, once the rulebook is read.
  set rules(rules) {
    this.#controls.textContent = '';
    const byName = new Map(rules.keys.map((rule) => [rule.name, rule]));
    for (const { key, label } of offered) {
      let about = byName.get(key)?.about;
      if (!about) continue;
      if (key === 'kick') {
        about += ' The slider is finest while |K| is at most ' + fineKick + ', where the map ' +
                 'changes character most; the field beside it takes any value.';
      }
      entry(this.#controls, [label], about);
    }
    for (const [, label, words] of buttons) entry(this.#controls, [label], words);
    entry(this.#controls, ['Download PNG'], 'Saves the whole strip at the size chosen, with its ' +
          'scene line in the file: explore --scene-from reads the picture back.');
    entry(this.#controls, ['Scene line'], 'The whole scene in one line, as the address holds ' +
          'it: Copy puts it on the clipboard, explore --scene "…" draws it on the desktop.');
  }

  toggle() {
    if (this.shown) this.hide();
    else this.show();
  }

  show() {
    this.#before = document.activeElement;
    this.#box.hidden = false;
    this.#button.setAttribute('aria-expanded', 'true');
    this.#box.focus();
  }

  hide() {
    if (!this.shown) return;
    this.#box.hidden = true;
    this.#button.setAttribute('aria-expanded', 'false');
    if (this.#before && this.#before !== document.body) this.#before.focus();
  }
}
