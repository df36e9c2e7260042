#pragma once

#include <QString>

// The statements through which the reader drives the highlighter page script.
// Each function returns the exact text to evaluate in a page's main frame.
namespace lf::HighlighterStatements {

QString isHighlight();
QString doHighlight(qint64 timestamp, const QString& className, const QString& colour);
QString doMemo(qint64 timestamp, const QString& className);
QString removeHighlight(const QString& className);
QString serialize();
// `serialised` is a page's stored marks; the script receives it unchanged.
QString deserialize(const QString& serialised);

// The body of a single-quoted script string literal that evaluates to `text`.
QString singleQuoted(const QString& text);

} // namespace lf::HighlighterStatements
