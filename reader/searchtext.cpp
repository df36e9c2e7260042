#include "reader/searchtext.h"

#include <QHash>
#include <QRegularExpression>
#include <QStringView>
#include <QTextCodec>
#include <QXmlStreamReader>

#include <optional>

namespace {

// Letters that a primary-strength comparison treats as spelt out or as a base
// letter but that have no compatibility decomposition.
QString spelledOut(uint letter)
{
    switch (letter) {
    case 0x00DF:
        return QStringLiteral("ss"); // ß
    case 0x00E6:
        return QStringLiteral("ae"); // æ
    case 0x0153:
        return QStringLiteral("oe"); // œ
    case 0x00F8:
        return QStringLiteral("o"); // ø
    case 0x0111:
        return QStringLiteral("d"); // đ
    case 0x0142:
        return QStringLiteral("l"); // ł
    case 0x0127:
        return QStringLiteral("h"); // ħ
    case 0x0131:
        return QStringLiteral("i"); // dotless i
    default:
        return {};
    }
}

bool isKept(uint code)
{
    switch (QChar::category(code)) {
    case QChar::Letter_Uppercase:
    case QChar::Letter_Lowercase:
    case QChar::Letter_Titlecase:
    case QChar::Letter_Other:
    case QChar::Number_DecimalDigit:
    case QChar::Number_Letter:
    case QChar::Number_Other:
        return true;
    default:
        return false; // marks, modifier letters, spaces, punctuation, symbols, format characters
    }
}

void appendFolded(QString& out, uint code)
{
    if (!isKept(code))
        return;
    code = QChar::toCaseFolded(code);
    const QString spelled = spelledOut(code);
    if (!spelled.isEmpty()) {
        out += spelled;
        return;
    }
    if ((code >= 0x30A1 && code <= 0x30F6) || code == 0x30FD || code == 0x30FE)
        code -= 0x60; // katakana as hiragana
    if (QChar::requiresSurrogates(code)) {
        out += QChar(QChar::highSurrogate(code));
        out += QChar(QChar::lowSurrogate(code));
    } else {
        out += QChar(static_cast<char16_t>(code));
    }
}

// Named entities a book may use; an accented letter needs only its base
// letter, since folding drops the accent anyway.
const QHash<QString, QString>& namedEntities()
{
    static const QHash<QString, QString> entities {
        { QStringLiteral("amp"), QStringLiteral("&") },
        { QStringLiteral("lt"), QStringLiteral("<") },
        { QStringLiteral("gt"), QStringLiteral(">") },
        { QStringLiteral("quot"), QStringLiteral("\"") },
        { QStringLiteral("apos"), QStringLiteral("'") },
        { QStringLiteral("nbsp"), QStringLiteral(" ") },
        { QStringLiteral("szlig"), QStringLiteral("ss") },
        { QStringLiteral("aelig"), QStringLiteral("ae") },
        { QStringLiteral("AElig"), QStringLiteral("ae") },
        { QStringLiteral("oelig"), QStringLiteral("oe") },
        { QStringLiteral("OElig"), QStringLiteral("oe") },
        { QStringLiteral("eth"), QStringLiteral("\u00F0") },
        { QStringLiteral("ETH"), QStringLiteral("\u00D0") },
        { QStringLiteral("thorn"), QStringLiteral("\u00FE") },
        { QStringLiteral("THORN"), QStringLiteral("\u00DE") },
    };
    return entities;
}

// Decoded text of an entity name; none when it is not understood here.
std::optional<QString> decodeEntity(const QString& name)
{
    if (name.startsWith(QLatin1Char('#'))) {
        bool ok = false;
        const uint code = name.size() > 1 && (name.at(1) == QLatin1Char('x') || name.at(1) == QLatin1Char('X'))
            ? name.mid(2).toUInt(&ok, 16)
            : name.mid(1).toUInt(&ok, 10);
        if (!ok || code > 0x10FFFF)
            return std::nullopt;
        return QString::fromUcs4(&code, 1);
    }
    const auto known = namedEntities().constFind(name);
    if (known != namedEntities().constEnd())
        return *known;
    // Latin-1 letters: "eacute", "Ouml", "ccedil", "oslash" ...
    static const QRegularExpression accented(
        QStringLiteral("^([A-Za-z])(acute|grave|circ|uml|tilde|ring|cedil|slash|caron)$"));
    const QRegularExpressionMatch match = accented.match(name);
    if (match.hasMatch())
        return match.captured(1);
    // Everything else without letters or digits (dashes, quotes, spaces) folds away.
    static const QRegularExpression punctuation(QStringLiteral(
        "^(mdash|ndash|hellip|lsquo|rsquo|sbquo|ldquo|rdquo|bdquo|laquo|raquo|lsaquo|rsaquo|shy|ensp|emsp|thinsp|"
        "zwnj|zwj|lrm|rlm|middot|bull|copy|reg|trade|sect|para|dagger|Dagger|deg|times|divide|minus|prime|Prime|"
        "iexcl|iquest|cent|pound|yen|euro|curren|brvbar|macr|acute|cedil|uml|not|plusmn|micro)$"));
    if (punctuation.match(name).hasMatch())
        return QStringLiteral(" ");
    return std::nullopt;
}

// Content the document hides by its own style could join the words around it
// in the engine's text; such documents are left to the engine.
bool hidesContent(QStringView css)
{
    static const QRegularExpression hiding(QStringLiteral("display\\s*:\\s*none|visibility\\s*:\\s*(hidden|collapse)"),
        QRegularExpression::CaseInsensitiveOption);
    return hiding.match(css).hasMatch();
}

bool isSkippedElement(QStringView name)
{
    return name.compare(QLatin1String("script"), Qt::CaseInsensitive) == 0
        || name.compare(QLatin1String("style"), Qt::CaseInsensitive) == 0;
}

lf::SearchText::DocumentText extractXml(const QByteArray& bytes)
{
    QString text;
    bool complete = true;
    int skippedDepth = 0; // inside script or style
    QXmlStreamReader reader(bytes);
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement:
            if (skippedDepth > 0 || isSkippedElement(reader.name()))
                ++skippedDepth;
            for (const QXmlStreamAttribute& attribute : reader.attributes()) {
                if (attribute.name() == QLatin1String("hidden")
                    || (attribute.name() == QLatin1String("style") && hidesContent(attribute.value())))
                    complete = false;
            }
            break;
        case QXmlStreamReader::EndElement:
            if (skippedDepth > 0)
                --skippedDepth;
            break;
        case QXmlStreamReader::Characters:
            if (skippedDepth == 0)
                text += reader.text();
            else if (hidesContent(reader.text()))
                complete = false;
            break;
        case QXmlStreamReader::EntityReference:
            if (skippedDepth == 0) {
                const std::optional<QString> decoded = decodeEntity(reader.name().toString());
                if (decoded)
                    text += *decoded;
                else
                    complete = false;
            }
            break;
        default:
            break;
        }
    }
    // A document that is not well-formed shows an error text and only part of itself.
    if (reader.hasError())
        complete = false;
    return { lf::SearchText::fold(text), complete };
}

// Tag soup as the HTML parser sees it, roughly: tags and comments dropped,
// script and style skipped to their end tags, entities decoded.
lf::SearchText::DocumentText extractHtml(const QString& html)
{
    QString text;
    bool complete = true;
    static const QRegularExpression hiddenAttribute(
        QStringLiteral("\\shidden(\\s|=|/|$)"), QRegularExpression::CaseInsensitiveOption);
    int at = 0;
    const int size = html.size();
    while (at < size) {
        const QChar c = html.at(at);
        if (c == QLatin1Char('&')) {
            const int end = html.indexOf(QLatin1Char(';'), at + 1);
            const std::optional<QString> decoded
                = end > at && end - at <= 32 ? decodeEntity(html.mid(at + 1, end - at - 1)) : std::nullopt;
            if (!decoded) {
                complete = false;
                text += c;
                ++at;
                continue;
            }
            text += *decoded;
            at = end + 1;
            continue;
        }
        if (c != QLatin1Char('<')) {
            text += c;
            ++at;
            continue;
        }
        if (QStringView(html).mid(at, 4) == QLatin1String("<!--")) {
            const int end = html.indexOf(QLatin1String("-->"), at + 4);
            at = end < 0 ? size : end + 3;
            continue;
        }
        const int end = html.indexOf(QLatin1Char('>'), at + 1);
        if (end < 0)
            break;
        const QStringView tag = QStringView(html).mid(at + 1, end - at - 1);
        at = end + 1;
        static const QRegularExpression tagName(QStringLiteral("^([A-Za-z][A-Za-z0-9]*)"));
        const QRegularExpressionMatch name = tagName.match(tag);
        if (!name.hasMatch())
            continue; // end tags, declarations, processing instructions
        if (hiddenAttribute.match(tag).hasMatch() || hidesContent(tag))
            complete = false;
        if (isSkippedElement(name.capturedView(1))) {
            const QString closing = QStringLiteral("</") + name.captured(1);
            const int close = html.indexOf(closing, at, Qt::CaseInsensitive);
            const QStringView skipped = QStringView(html).mid(at, close < 0 ? -1 : close - at);
            if (hidesContent(skipped))
                complete = false;
            at = close < 0 ? size : close;
        }
    }
    return { lf::SearchText::fold(text), complete };
}

bool hasSuffix(const QString& fileName, std::initializer_list<const char*> suffixes)
{
    for (const char* suffix : suffixes) {
        if (fileName.endsWith(QLatin1String(suffix), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

} // namespace

QString lf::SearchText::fold(const QString& text)
{
    const QString decomposed = text.normalized(QString::NormalizationForm_KD);
    QString folded;
    folded.reserve(decomposed.size());
    const int size = decomposed.size();
    for (int i = 0; i < size; ++i) {
        uint code = decomposed.at(i).unicode();
        if (QChar::isHighSurrogate(code) && i + 1 < size && decomposed.at(i + 1).isLowSurrogate()) {
            code = QChar::surrogateToUcs4(decomposed.at(i), decomposed.at(i + 1));
            ++i;
        }
        appendFolded(folded, code);
    }
    return folded;
}

lf::SearchText::DocumentText lf::SearchText::extract(const QByteArray& bytes, const QString& fileName)
{
    if (hasSuffix(fileName, { ".xhtml", ".xht", ".xml", ".svg" }))
        return extractXml(bytes);
    if (!hasSuffix(fileName, { ".html", ".htm" }))
        return {};
    QTextCodec* codec = QTextCodec::codecForUtfText(bytes, QTextCodec::codecForName("UTF-8"));
    QTextCodec::ConverterState state;
    const QString html = codec->toUnicode(bytes.constData(), bytes.size(), &state);
    DocumentText document = extractHtml(html);
    // Another encoding (declared in the document or guessed) is the engine's business.
    if (state.invalidChars > 0)
        document.complete = false;
    return document;
}
