#pragma once

namespace lf {

// Whether a top-level window's transparent pixels show the desktop beneath.
// On X11 that takes a running compositing manager; without one they are
// black. Off-screen and frame-buffer platforms have nothing beneath at all.
bool windowTranslucencyAvailable();

} // namespace lf
