#include "reader/bookstylerewrite.h"

#include "reader/righttoleftruns.h"

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

// Letters of the Arabic blocks in UTF-8: U+0600-06FF (lead bytes D8-DB),
// U+0750-077F (DD 90-BF), U+0870-08FF (E0 A1 B0-E0 A3 BF) and the
// presentation forms U+FB50-FDFF, FE70-FEFF (EF AD 90-EF BB BF).
bool holdsArabicScript(const QByteArray& utf8)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(utf8.constData());
    const int size = utf8.size();
    for (int i = 0; i + 1 < size; ++i) {
        const unsigned char lead = bytes[i];
        if (lead < 0xD8)
            continue;
        const unsigned char next = bytes[i + 1];
        if ((lead <= 0xDB && (next & 0xC0) == 0x80) || (lead == 0xDD && next >= 0x90 && next <= 0xBF))
            return true;
        if (i + 2 < size && lead == 0xE0 && next >= 0xA1 && next <= 0xA3)
            return true;
        if (i + 2 < size && lead == 0xEF && next >= 0xAD && next <= 0xBB)
            return true;
    }
    return false;
}

QByteArray rewrittenStyles(const QByteArray& markup)
{
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
    if (holdsArabicScript(markup))
        return RightToLeftRuns::document(rewrittenStyles(markup));
    return rewrittenStyles(markup);
}

} // namespace lf::BookStyleRewrite
