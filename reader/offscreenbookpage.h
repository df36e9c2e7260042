#pragma once

#include <QString>

class QWebPage;

namespace lf {

// Sets up `page`, a page the reader loads book documents into off screen
// (thumbnails, search), for the book in `bookDir`: the book's confined
// access and settings, and no book script. The page owns the access manager.
void confineOffscreenPage(QWebPage* page, const QString& bookDir);

} // namespace lf
