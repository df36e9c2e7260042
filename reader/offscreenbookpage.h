#pragma once

#include <QList>
#include <QString>

class QWebPage;
struct ObfuscatedFont;

namespace lf {

// Sets up `page`, a page the reader loads book documents into off screen
// (thumbnails, search), for the book in `bookDir`: the book's confined
// access and settings, and no book script. The page owns the access manager.
// `fonts` are the fonts the book ships obfuscated: served as the fonts they
// hide, as in the reader's own view, so pictures of pages show the book's type.
void confineOffscreenPage(QWebPage* page, const QString& bookDir, const QList<ObfuscatedFont>& fonts = {});

} // namespace lf
