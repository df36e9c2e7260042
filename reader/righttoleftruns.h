#pragma once

#include <QByteArray>
#include <QString>

// The engine measures a right-to-left run as if it were left-to-right text,
// which is right only while the run starts and ends with a right-to-left
// letter: a run that begins or ends with a space, a punctuation mark or a
// number is measured as that character's width alone. Lines are then broken
// too long and drawn past the page's edge. Wrapped in zero-width marks, every
// such character becomes a run of its own, and each piece is measured whole.
// The marks change neither what is drawn nor what search finds.
namespace lf::RightToLeftRuns {

// True when `text` holds a character of the Arabic script.
bool holdsArabicScript(const QString& text);

// `text` (one text node) with its spaces, marks and left-to-right pieces
// wrapped; unchanged when it holds no Arabic-script letter, more
// left-to-right letters than right-to-left ones, or direction controls of
// its own.
QString text(const QString& text);

// A UTF-8 document's bytes with the text of its body treated as text() does;
// tags, comments, scripts, style elements and character references are left
// byte for byte, and so is a document that is not valid UTF-8.
QByteArray document(const QByteArray& markup);

} // namespace lf::RightToLeftRuns
