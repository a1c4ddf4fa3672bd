// What the page around the browser's canvas is told as a show goes on. The browser build
// defines these; on the desktop the window itself shows everything, and they do nothing.
#pragma once

namespace kit {

#ifdef __EMSCRIPTEN__
// The show of `name` starts: `slide_count` slides will follow.
void page_show_started(const char* name, int slide_count);
// Slide number `slide` (1, 2, ...) stands on the canvas and the show waits for the viewer.
void page_slide_shown(int slide);
#else
inline void page_show_started(const char*, int) {}
inline void page_slide_shown(int) {}
#endif

} // namespace kit
