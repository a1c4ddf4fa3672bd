// Calling explore's engine (explore/wasm_interface.cpp) from JavaScript: string arguments copied
// into its memory for the call, numbers passed as they are, the JSON it answers read back. The
// page's engine (engine.js) and the drawing workers (worker.js) call it alike.
export function callEngine(instance, name, ...args) {
  const pointers = [];
  const values = args.map((arg) => {
    if (typeof arg !== 'string') return arg;
    const size = instance.lengthBytesUTF8(arg) + 1;
    const pointer = instance._malloc(size);
    instance.stringToUTF8(arg, pointer, size);
    pointers.push(pointer);
    return pointer;
  });
  try {
    return JSON.parse(instance.UTF8ToString(instance['_' + name](...values)));
  } finally {
    for (const pointer of pointers) instance._free(pointer);
  }
}
