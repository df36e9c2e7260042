#pragma once

class QWebSettings;

namespace lf {

// What every page showing a book's documents shares, in the reader's views and
// off screen: no plug-ins (they would run outside the page's confinement), no
// file or remote access from the page's own content, and nothing a page stores
// reaches the disk: no offline databases and no application cache. Local
// storage, where a page turns it on, stays in memory: no page is ever given a
// storage path.
void confineBookPageSettings(QWebSettings* settings);

// The engine's set-up for every page of the process, made once at start-up
// before the first page exists: scripts that run too long are ended
// (limitScriptRunTime), plug-ins are off, scripts on unless a page turns
// them off, no page cache, and memory caches of at most 30 MiB.
void setUpWebEngine();

} // namespace lf
