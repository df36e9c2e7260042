#pragma once

#include <QList>
#include <QString>

class QWebPage;
struct EpubData;

namespace lf {

// Sets up `page`, a page the reader loads book documents into off screen
// (thumbnails, search), for the book in `bookDir`: the book's confined
// access (typed by `book`'s manifest when given) and settings, the text path its
// documents need, and no book script. The page owns what is made here.
void confineOffscreenPage(QWebPage* page, const QString& bookDir, const EpubData* book = nullptr);

} // namespace lf
