// The address is the scene: ?program=explore&scene=LINE, the line the desktop's explore prints and
// reads (--scene), kept up to date by replacing the history entry rather than adding one.

// The scene line in the address, or null.
export function addressLine() {
  return new URLSearchParams(location.search).get('scene');
}

// The address of a line. The line stays readable in it: only what a query value needs is
// escaped, and spaces become '+'.
export function addressOf(line) {
  const value = encodeURIComponent(line).replace(/%20/g, '+').replace(/%3D/g, '=')
    .replace(/%3A/g, ':').replace(/%2C/g, ',');
  return '?program=explore&scene=' + value;
}

// Keeps the address (and whatever else `write` brings up to date with it) following the scene
// once it has rested a quarter of a second, and at least once a second while it keeps changing:
// browsers refuse (and warn about) a page that replaces its address on every step of a dragged
// slider, and each replacement takes the page's thread from the slider.
export class AddressKeeper {
  // The pending write's timer, and since when a change has been waiting for it.
  #timer = 0;
  #waitingSince = 0;
  #write;

  // write(): the line to put in the address, after it has been written there too.
  constructor(write) {
    this.#write = write;
  }

  changed() {
    clearTimeout(this.#timer);
    const now = performance.now();
    if (this.#waitingSince === 0) this.#waitingSince = now;
    const wait = Math.max(0, Math.min(250, this.#waitingSince + 1000 - now));
    this.#timer = setTimeout(() => this.#now(), wait);
  }

  #now() {
    this.#waitingSince = 0;
    const line = this.#write();
    history.replaceState(history.state, '', addressOf(line));
  }
}
