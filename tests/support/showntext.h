#pragma once

#include <QPair>
#include <QString>

class QFont;
class QImage;
class QLabel;
class QWidget;

// What the widgets that show a book's texts put on the screen, as Qt decides
// it, for the tests that feed them markup.
namespace lf::test {

// Whether the label shows its text character for character, never as markup.
bool showsPlain(const QLabel* label);

// `text` without the invisible isolate marks that set a name's direction apart.
QString withoutIsolates(QString text);

// Whether `text`, laid out on one line of a left-to-right window in `font`,
// draws the character at `later` left of the one at `earlier`: whether that
// stretch runs right to left.
bool drawnRightToLeft(const QString& text, int earlier, int later, const QFont& font);

// The text a widget shows, its isolate marks left out: a label's text as written or, when Qt takes it for
// rich text, the text its markup renders to; a text editor's document; a
// list's first row, which the item view draws as written.
QString shownText(const QWidget* widget);

// The leftmost and rightmost columns of `image` with a dark pixel between rows
// `top` and `bottom`: where text was drawn; (-1, -1) when nothing was.
QPair<int, int> inkColumns(const QImage& image, int top, int bottom);

} // namespace lf::test
