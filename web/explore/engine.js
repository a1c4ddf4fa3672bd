// The engine's door on the page's thread: one instance of explore's engine (explore.js and
// explore.wasm, compiled from the desktop's sources), holding the scene being edited. Every edit
// is an operation of the engine's, answered with the scene's record (engine/record.hpp): its
// line, its values, what the page lays out by, whether undo and redo have something to do, and
// the refusal of a change that was refused. The rulebook (every key with its limits, the groups)
// is read once, as the engine starts.

import { callEngine } from './calls.js';

// The engine's glue, a classic script that defines createExplore.
function loadGlue() {
  return new Promise((resolve, reject) => {
    const script = document.createElement('script');
    script.src = 'explore.js';
    script.onload = resolve;
    script.onerror = () => reject(new Error('explore is not part of this build'));
    document.body.append(script);
  });
}

export class Engine {
  // The engine's instance and its rulebook.
  #instance;
  rules;

  constructor(instance) {
    this.#instance = instance;
    this.rules = this.#call('explore_rules');
  }

  #call(name, ...args) {
    return callEngine(this.#instance, name, ...args);
  }

  // Starts editing from a line; a refused line gives the default scene, with the refusal.
  start(line) { return this.#call('explore_start', line); }
  record() { return this.#call('explore_record'); }
  set(key, value, continues = false) {
    return this.#call('explore_set', key, String(value), continues ? 1 : 0);
  }
  stepKick(hundredths) { return this.#call('explore_step_kick', hundredths); }
  nextGroup() { return this.#call('explore_next_group'); }
  nextPart() { return this.#call('explore_next_part'); }
  nextPalette() { return this.#call('explore_next_palette'); }
  nextColouring() { return this.#call('explore_next_colouring'); }
  pan(right, up, continues = false) {
    return this.#call('explore_pan', right, up, continues ? 1 : 0);
  }
  zoom(factor, across, down, continues = false) {
    return this.#call('explore_zoom', factor, across, down, continues ? 1 : 0);
  }
  stepWindow(right, up) { return this.#call('explore_step_window', right, up); }
  zoomIn() { return this.#call('explore_zoom_in'); }
  zoomOut() { return this.#call('explore_zoom_out'); }
  wholeTorus() { return this.#call('explore_whole_torus'); }
  plant(across, down) { return this.#call('explore_plant', across, down); }
  undo() { return this.#call('explore_undo'); }
  redo() { return this.#call('explore_redo'); }
  reset() { return this.#call('explore_reset'); }
  // The point at fractions of the portrait as the readouts show it: { theta, p }.
  point(across, down) { return this.#call('explore_point', across, down); }
  // The sizes the scene can be saved at, each with its line.
  sizes() { return this.#call('explore_sizes'); }
  // The table of every orbit the scene draws, as the desktop's --orbits writes it:
  // { rows, table } (CSV text).
  orbitTable() { return this.#call('explore_orbit_table'); }
}

// An engine on this thread from the compiled module.
export async function loadEngine(module) {
  await loadGlue();
  const instance = await window.createExplore({
    instantiateWasm(imports, receive) {
      WebAssembly.instantiate(module, imports).then((made) => receive(made, module));
      return {};
    },
  });
  return new Engine(instance);
}
