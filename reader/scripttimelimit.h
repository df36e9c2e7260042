#pragma once

namespace lf {

// The longest one run of a page's script may take (processor time of the GUI
// thread) before the web engine ends it.
constexpr int kScriptTimeLimitMs = 3000;

// Has the web engine end, without asking, every script that runs longer than
// kScriptTimeLimitMs, so that a book's endless loop cannot freeze the program.
// The engine reads the limit once, when the first web page of the process is
// made: call this before any page exists.
void limitScriptRunTime();

} // namespace lf
