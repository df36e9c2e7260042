#pragma once

#include <QString>

class QWebPage;

namespace lf {

// Sets up `page`, a page the reader loads book documents into off screen
// (thumbnails, search), for the book in `bookDir`: the book's confined
// access, no book script, no plugins, no file or remote access from local
// content. The page owns the access manager.
void confineOffscreenPage(QWebPage* page, const QString& bookDir);

} // namespace lf
