#pragma once

#include <QString>

// Text from books and file names, made safe for where it is shown: the
// terminal that receives the log, and a sentence of the program's own.
namespace lf {

// `text` with every control character (C0, DEL and C1) written as "\xHH": a
// book's escape sequences, line breaks or terminal commands reach a log line
// as plain characters.
QString withControlsEscaped(const QString& text);

// Every message of this process goes to the log handler installed before with
// its control characters escaped; called once at start.
void escapeControlsInLog();

// `name` set apart from the text around it (first strong isolate ... pop
// directional isolate): an override or embedding inside the name cannot
// reorder the sentence it is shown in, and the name runs in the direction of
// its own first strong character.
QString isolated(const QString& name);

// `text` isolated in the direction its book declares: right to left, left to
// right, or by its own first strong character (Qt::LayoutDirectionAuto).
QString isolated(const QString& text, Qt::LayoutDirection direction);

} // namespace lf
