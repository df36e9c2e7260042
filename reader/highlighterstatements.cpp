#include "highlighterstatements.h"

namespace lf::HighlighterStatements {

QString isHighlight()
{
    return QStringLiteral("text_highlighter.isHighlightNS();");
}

QString doHighlight(qint64 timestamp, const QString& className, const QString& colour)
{
    return QStringLiteral("text_highlighter.doHighlightNS(%1, '%2', '%3');")
        .arg(QString::number(timestamp), singleQuoted(className), singleQuoted(colour));
}

QString doMemo(qint64 timestamp, const QString& className)
{
    return QStringLiteral("text_highlighter.doMemoNS(%1, '%2');")
        .arg(QString::number(timestamp), singleQuoted(className));
}

QString removeHighlight(const QString& className)
{
    return QStringLiteral("text_highlighter.removeHighlightNS('%1');").arg(singleQuoted(className));
}

QString serialize()
{
    return QStringLiteral("text_highlighter.serializeHighlights();");
}

QString deserialize(const QString& serialised)
{
    return QStringLiteral("text_highlighter.deserializeHighlights('%1');").arg(singleQuoted(serialised));
}

QString singleQuoted(const QString& text)
{
    QString literal = text;
    literal.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    literal.replace(QLatin1Char('\''), QLatin1String("\\'"));
    // Line terminators end a script string literal; stored marks are JSON and
    // carry none of CR and LF, but U+2028 and U+2029 pass the stringifier raw.
    literal.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    literal.replace(QLatin1Char('\r'), QLatin1String("\\r"));
    literal.replace(QChar(0x2028), QLatin1String("\\u2028"));
    literal.replace(QChar(0x2029), QLatin1String("\\u2029"));
    return literal;
}

} // namespace lf::HighlighterStatements
