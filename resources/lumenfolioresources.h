#pragma once

namespace lf {

// Registers the compiled-in resources (icons, animations, page scripts and the
// application font). They live in a static library, so the program and every
// test binary call this once before using a ":/" path.
void initResources();

} // namespace lf
