#include "reader/bookstylerewrite.h"

#include <QHash>
#include <QRegularExpression>
#include <QString>

namespace lf::BookStyleRewrite {

namespace {

// An EPUB property the engine knows under another name, and the values it
// spells differently.
struct Renamed
{
    const char* name;
    QHash<QString, QString> values = {};
};

const QHash<QString, Renamed>& renamedProperties()
{
    static const QHash<QString, Renamed> table {
        { QStringLiteral("writing-mode"), { "-webkit-writing-mode" } },
        { QStringLiteral("text-orientation"), { "-webkit-text-orientation" } },
        { QStringLiteral("hyphens"), { "-webkit-hyphens" } },
        { QStringLiteral("line-break"), { "-webkit-line-break" } },
        { QStringLiteral("word-break"), { "word-break" } },
        { QStringLiteral("text-emphasis"), { "-webkit-text-emphasis" } },
        { QStringLiteral("text-emphasis-style"), { "-webkit-text-emphasis-style" } },
        { QStringLiteral("text-emphasis-color"), { "-webkit-text-emphasis-color" } },
        { QStringLiteral("text-emphasis-position"), { "-webkit-text-emphasis-position" } },
        { QStringLiteral("text-combine"), { "-webkit-text-combine" } },
        { QStringLiteral("text-combine-horizontal"),
            { "-webkit-text-combine", { { QStringLiteral("all"), QStringLiteral("horizontal") } } } },
        { QStringLiteral("text-combine-upright"),
            { "-webkit-text-combine", { { QStringLiteral("all"), QStringLiteral("horizontal") } } } },
        { QStringLiteral("text-underline-position"), { "-webkit-text-underline-position" } },
        { QStringLiteral("ruby-position"),
            { "-webkit-ruby-position",
                { { QStringLiteral("over"), QStringLiteral("before") },
                    { QStringLiteral("under"), QStringLiteral("after") } } } },
    };
    return table;
}

// Bytes are read as Latin-1, which maps each byte to one character and back,
// so text in any ASCII-compatible encoding comes through unchanged.
QString renameProperties(const QString& css)
{
    // A declaration starts a block, follows another, or opens a line.
    static const QRegularExpression declaration(QStringLiteral("(^|[\\s;{])-epub-([a-z-]+)(\\s*:\\s*)([^;}!]*)"));
    QString out;
    int from = 0;
    auto match = declaration.globalMatch(css);
    while (match.hasNext()) {
        const QRegularExpressionMatch found = match.next();
        const auto renamed = renamedProperties().constFind(found.captured(2));
        if (renamed == renamedProperties().cend())
            continue;
        QString value = found.captured(4);
        const QString trimmed = value.trimmed();
        out += css.midRef(from, found.capturedStart(0) - from);
        out += found.captured(1) + QLatin1String(renamed->name) + found.captured(3);
        out += renamed->values.contains(trimmed) ? value.replace(trimmed, renamed->values.value(trimmed)) : value;
        from = found.capturedEnd(0);
    }
    out += css.midRef(from);
    return out;
}

QString dropUrlQueries(const QString& css)
{
    // Relative references only: an address with a scheme is not the book's.
    static const QRegularExpression query(QStringLiteral("(url\\(\\s*[\"']?[^\"'()?#:]*)\\?[^\"'()#]*"));
    QString out = css;
    return out.replace(query, QStringLiteral("\\1"));
}

QString rewritten(const QString& css)
{
    return dropUrlQueries(renameProperties(css));
}

} // namespace

QByteArray styleSheet(const QByteArray& css)
{
    if (css.contains('\0')) // UTF-16 and the like: left as they are
        return css;
    return rewritten(QString::fromLatin1(css)).toLatin1();
}

QByteArray document(const QByteArray& markup)
{
    if (markup.contains('\0'))
        return markup;
    static const QRegularExpression styleElement(QStringLiteral("(<style\\b[^>]*>)(.*?)(</style\\s*>)"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    const QString text = QString::fromLatin1(markup);
    if (!text.contains(QLatin1String("<style"), Qt::CaseInsensitive))
        return markup;
    QString out;
    int from = 0;
    auto match = styleElement.globalMatch(text);
    while (match.hasNext()) {
        const QRegularExpressionMatch found = match.next();
        out += text.midRef(from, found.capturedStart(2) - from);
        out += rewritten(found.captured(2));
        from = found.capturedEnd(2);
    }
    out += text.midRef(from);
    return out.toLatin1();
}

} // namespace lf::BookStyleRewrite
