#pragma once

#include <QString>

class QLabel;
class QWidget;

// What the widgets that show a book's texts put on the screen, as Qt decides
// it, for the tests that feed them markup.
namespace lf::test {

// Whether the label shows its text character for character, never as markup.
bool showsPlain(const QLabel* label);

// The text a widget shows: a label's text as written or, when Qt takes it for
// rich text, the text its markup renders to; a text editor's document; a
// list's first row, which the item view draws as written.
QString shownText(const QWidget* widget);

} // namespace lf::test
