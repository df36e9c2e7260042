#include "reader/searchtext.h"

#include "epub/bookhref.h"
#include "reader/hidingstyles.h"

#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QStringView>
#include <QTextCodec>
#include <QXmlStreamReader>

#include <algorithm>
#include <optional>

namespace {
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
        { QStringLiteral("micro"), QStringLiteral("\u00B5") },
        { QStringLiteral("trade"), QStringLiteral("\u2122") },
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
    // Latin-1 letters: "eacute", "Ouml", "ccedil", "oslash" ... (not the
    // circle "xcirc" nor Planck's "hslash")
    static const QRegularExpression accented(
        QStringLiteral("^(?!xcirc$|hslash$)([A-Za-z])(acute|grave|circ|uml|tilde|ring|cedil|slash|caron)$"));
    const QRegularExpressionMatch match = accented.match(name);
    if (match.hasMatch())
        return match.captured(1);
    // Everything else without letters or digits (dashes, quotes, spaces) folds away.
    static const QRegularExpression punctuation(QStringLiteral(
        "^(mdash|ndash|hellip|lsquo|rsquo|sbquo|ldquo|rdquo|bdquo|laquo|raquo|lsaquo|rsaquo|shy|ensp|emsp|thinsp|"
        "zwnj|zwj|lrm|rlm|middot|bull|copy|reg|trade|sect|para|dagger|Dagger|deg|times|divide|minus|prime|Prime|"
        "iexcl|iquest|cent|pound|yen|euro|curren|brvbar|macr|acute|cedil|uml|not|plusmn)$"));
    if (punctuation.match(name).hasMatch())
        return QStringLiteral(" ");
    return std::nullopt;
}

// Content the document hides by its own style could join the words around it
// in the engine's text; such documents are left to the engine.
bool hidesContent(QStringView css)
{
    return HidingStyles::declarationsMayHide(css);
}

// Takes a name as the parser read it (see parsedName()): text left out of the
// search text must be left out by the engine too, so nothing is guessed here.
bool isSkippedElement(QStringView name)
{
    return name == QLatin1String("script") || name == QLatin1String("style");
}

QString asciiLower(QStringView name)
{
    QString lowered = name.toString();
    for (QChar& c : lowered) {
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            c = QChar(c.unicode() + ('a' - 'A'));
    }
    return lowered;
}

// An element or attribute name as the engine's parser reads it: the HTML
// parser lowers ASCII capitals only, XML names keep their case.
QString parsedName(QStringView name, bool asHtml)
{
    return asHtml ? asciiLower(name) : name.toString();
}

// The value of attribute `name` (lower case), found as the engine's parser
// finds it: in HTML whatever the case of its name, the first one written.
std::optional<QString> attributeValue(const QXmlStreamAttributes& attributes, QLatin1String name, bool asHtml)
{
    for (const QXmlStreamAttribute& attribute : attributes) {
        if (parsedName(attribute.qualifiedName(), asHtml) == name)
            return attribute.value().toString();
    }
    return std::nullopt;
}

// Elements that show another document, whose text the engine finds too.
bool embedsDocument(QStringView name)
{
    static const QStringList embedding { QStringLiteral("iframe"), QStringLiteral("frame"), QStringLiteral("object"),
        QStringLiteral("embed"), QStringLiteral("applet") };
    return embedding.contains(name.toString(), Qt::CaseInsensitive);
}

// Elements whose content the engine does not show as text of the page, or
// shows in a way not judged here (controls, media fallbacks, ruby annotations,
// closed disclosures, vector graphics and formulas).
bool isUnshownElement(QStringView name)
{
    static const QSet<QString> unshown { QStringLiteral("head"), QStringLiteral("title"), QStringLiteral("script"),
        QStringLiteral("style"), QStringLiteral("template"), QStringLiteral("noscript"), QStringLiteral("noframes"),
        QStringLiteral("noembed"), QStringLiteral("iframe"), QStringLiteral("frame"), QStringLiteral("frameset"),
        QStringLiteral("object"), QStringLiteral("embed"), QStringLiteral("applet"), QStringLiteral("video"),
        QStringLiteral("audio"), QStringLiteral("canvas"), QStringLiteral("svg"), QStringLiteral("math"),
        QStringLiteral("select"), QStringLiteral("option"), QStringLiteral("optgroup"), QStringLiteral("datalist"),
        QStringLiteral("textarea"), QStringLiteral("input"), QStringLiteral("button"), QStringLiteral("rp"),
        QStringLiteral("rt"), QStringLiteral("rtc"), QStringLiteral("details"), QStringLiteral("dialog"),
        QStringLiteral("meter"), QStringLiteral("progress"), QStringLiteral("map"), QStringLiteral("area"),
        QStringLiteral("param"), QStringLiteral("source"), QStringLiteral("track"), QStringLiteral("marquee"),
        QStringLiteral("img"), QStringLiteral("br"), QStringLiteral("col"), QStringLiteral("colgroup"),
        QStringLiteral("meta"), QStringLiteral("link"), QStringLiteral("base"), QStringLiteral("wbr"),
        QStringLiteral("keygen"), QStringLiteral("slot"), QStringLiteral("isindex") };
    return unshown.contains(name.toString().toLower());
}

// Elements the engine never shows unless a style rule displays them; text in
// them would also not part the words around them.
bool isHiddenByDefault(QStringView name)
{
    static const QSet<QString> hidden { QStringLiteral("head"), QStringLiteral("title"), QStringLiteral("script"),
        QStringLiteral("style"), QStringLiteral("template"), QStringLiteral("datalist"), QStringLiteral("meta"),
        QStringLiteral("link"), QStringLiteral("base"), QStringLiteral("param"), QStringLiteral("noembed"),
        QStringLiteral("noframes"), QStringLiteral("area"), QStringLiteral("desc") };
    return hidden.contains(name.toString().toLower());
}

// Controls whose values and prompts the engine's find reads, which the text
// of the document does not hold.
bool isTextControl(QStringView name)
{
    static const QSet<QString> controls { QStringLiteral("input"), QStringLiteral("textarea"), QStringLiteral("select"),
        QStringLiteral("isindex"), QStringLiteral("keygen") };
    return controls.contains(name.toString().toLower());
}

// True when the HTML parser moves content of `parent` (a table or a row
// group) in front of the table: text (an empty `child`) or an element that is
// no part of a table. The words around it then join in another order.
bool isFosterParented(const QString& parent, QStringView child)
{
    static const QSet<QString> tables { QStringLiteral("table"), QStringLiteral("tbody"), QStringLiteral("thead"),
        QStringLiteral("tfoot"), QStringLiteral("tr") };
    static const QSet<QString> tableParts { QStringLiteral("caption"), QStringLiteral("colgroup"),
        QStringLiteral("col"), QStringLiteral("thead"), QStringLiteral("tbody"), QStringLiteral("tfoot"),
        QStringLiteral("tr"), QStringLiteral("td"), QStringLiteral("th"), QStringLiteral("script"),
        QStringLiteral("style"), QStringLiteral("template") };
    return tables.contains(parent) && (child.isEmpty() || !tableParts.contains(child.toString().toLower()));
}

// Elements whose content the HTML parser shows as text, markup and all.
bool showsMarkupAsText(QStringView name)
{
    return name.compare(QLatin1String("xmp"), Qt::CaseInsensitive) == 0
        || name.compare(QLatin1String("plaintext"), Qt::CaseInsensitive) == 0;
}

// C1 control characters: never text of a book, and what the engine shows for
// them (Windows-1252 letters in HTML) is not judged here.
bool hasC1Controls(const QString& text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.unicode() >= 0x80 && c.unicode() <= 0x9F; });
}

// Takes a name as the parser read it (see parsedName()).
bool isVoidElement(QStringView name)
{
    static const QSet<QString> voids { QStringLiteral("area"), QStringLiteral("base"), QStringLiteral("br"),
        QStringLiteral("col"), QStringLiteral("embed"), QStringLiteral("hr"), QStringLiteral("img"),
        QStringLiteral("input"), QStringLiteral("link"), QStringLiteral("meta"), QStringLiteral("param"),
        QStringLiteral("source"), QStringLiteral("track"), QStringLiteral("wbr") };
    return voids.contains(name.toString());
}

bool isXmlSpace(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r');
}

bool hasToken(QStringView list, QLatin1String token)
{
    for (const QString& item : list.toString().split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts)) {
        if (item.compare(token, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

// The style rules that apply to one document: its style elements, the style
// sheets it links, and what those import. False when one of them cannot be
// read, or comes from a place other than a file of the book (the engine also
// reads "data:" addresses).
// The text of a linked style sheet as the engine decodes it, when that is
// sure: with a byte order mark, or ASCII, or valid UTF-8 that declares no
// other encoding and is linked from a Unicode document (a sheet without a
// declaration takes the document's encoding).
std::optional<QString> decodedStyleSheet(const QByteArray& css, bool documentIsUnicode)
{
    if (QTextCodec* codec = QTextCodec::codecForUtfText(css, nullptr))
        return codec->toUnicode(css);
    if (css.contains('\0'))
        return std::nullopt;
    const bool ascii = std::all_of(css.begin(), css.end(), [](char c) { return static_cast<uchar>(c) < 0x80; });
    if (ascii)
        return QString::fromLatin1(css);
    static const QRegularExpression otherCharset(
        QStringLiteral("^@charset\\s*[\"'](?!utf-?8[\"'])"), QRegularExpression::CaseInsensitiveOption);
    QTextCodec::ConverterState state;
    const QString text = QTextCodec::codecForName("UTF-8")->toUnicode(css.constData(), css.size(), &state);
    if (!documentIsUnicode || state.invalidChars > 0 || otherCharset.match(text).hasMatch())
        return std::nullopt;
    return text;
}

// `localeMentioned` is set when a sheet may set the language of a case
// transform (-webkit-locale).
bool collectStyles(HidingStyles& styles, const QStringList& styleElements, const QStringList& links,
    const QString& documentPath, const lf::SearchText::BookFileReader& readFile, bool documentIsUnicode,
    bool& localeMentioned)
{
    constexpr int kMaxStyleSheets = 32;
    static const QRegularExpression locale(QStringLiteral("locale"), QRegularExpression::CaseInsensitiveOption);
    QStringList pending; // book-relative paths still to read
    bool readable = true;
    auto queueImports = [&pending, &readable](const QStringList& imports, const QString& base) {
        for (const QString& written : imports) {
            // Addresses lose their tabs and line breaks, as URLs do.
            const QString target = QString(written).remove(QRegularExpression(QStringLiteral("[\t\n\r]")));
            if (target.trimmed().isEmpty())
                continue;
            const QString resolved = lf::BookHref::resolve(base, target.trimmed());
            if (resolved.isEmpty())
                readable = false;
            else
                pending.append(resolved);
        }
    };
    for (const QString& css : styleElements) {
        localeMentioned = localeMentioned || locale.match(css).hasMatch();
        queueImports(styles.addStyleSheet(css), documentPath);
    }
    queueImports(links, documentPath);
    QSet<QString> read;
    while (readable && !pending.isEmpty()) {
        const QString path = pending.takeFirst();
        if (read.contains(path))
            continue;
        if (!readFile || read.size() >= kMaxStyleSheets)
            return false;
        read.insert(path);
        const std::optional<QByteArray> css = readFile(path);
        const std::optional<QString> text = css ? decodedStyleSheet(*css, documentIsUnicode) : std::nullopt;
        if (!text)
            return false;
        localeMentioned = localeMentioned || locale.match(*text).hasMatch();
        queueImports(styles.addStyleSheet(*text), path);
    }
    return readable;
}

// Runs of white space become one space when they are one space as written,
// and a break otherwise: only a single space is a space in every white-space
// mode the engine may apply.
QString collapsedShownText(const QString& raw)
{
    QString shown;
    shown.reserve(raw.size());
    int at = 0;
    while (at < raw.size()) {
        if (!isXmlSpace(raw.at(at))) {
            shown += raw.at(at++);
            continue;
        }
        int end = at;
        while (end < raw.size() && isXmlSpace(raw.at(end)))
            ++end;
        shown += end - at == 1 && raw.at(at) == QLatin1Char(' ') ? QChar(u' ') : QChar(lf::SearchText::kBreak);
        at = end;
    }
    return lf::SearchText::foldCase(shown);
}

// One element: where its shown text lies and what rules may match it.
struct BodyElement
{
    int start = 0;
    int end = 0;
    QString tag;
    QString id;
    QString classes;
    bool hidden = false; // by an attribute of its own
    bool transformed = false; // its letter case, by its own style attribute
};

// True when a case transform of `c` may show something that a case-blind
// comparison does not take for `c` (ß set in capitals is "SS"; in Turkish,
// "i" in capitals is "İ").
bool caseTransformChanges(QChar c, bool turkic)
{
    if (turkic && (c == QLatin1Char('i') || c == QLatin1Char('I')))
        return true;
    if (c.unicode() < 0x80)
        return false;
    if (c.isSurrogate() || c.unicode() == 0x130 || c.unicode() == 0x131)
        return true;
    const QString one(c);
    const QString folded = lf::SearchText::foldCase(one);
    return lf::SearchText::foldCase(one.toUpper()) != folded || lf::SearchText::foldCase(one.toLower()) != folded;
}

// What the HTML parser accepts in the head (noscript aside, whose reading
// depends on scripting); anything else there opens the body early.
bool belongsInHead(QStringView name)
{
    static const QSet<QString> head { QStringLiteral("title"), QStringLiteral("meta"), QStringLiteral("link"),
        QStringLiteral("style"), QStringLiteral("script"), QStringLiteral("base"), QStringLiteral("template") };
    return head.contains(name.toString());
}

// What SVG draws inside a text element; any other child is left out and the
// words around it join.
bool isSvgTextContent(QStringView name)
{
    static const QSet<QString> content { QStringLiteral("tspan"), QStringLiteral("textPath"), QStringLiteral("a"),
        QStringLiteral("altGlyph") };
    return content.contains(name.toString());
}

// Elements whose text the engine neither shows nor parts from the words
// around it (option and optgroup outside a select, rp directly in ruby).
bool joinsAroundItsText(QStringView name)
{
    static const QSet<QString> joining { QStringLiteral("wbr"), QStringLiteral("col"), QStringLiteral("colgroup"),
        QStringLiteral("option"), QStringLiteral("optgroup"), QStringLiteral("marquee"), QStringLiteral("frameset"),
        QStringLiteral("rp") };
    return joining.contains(name.toString());
}

// True when text whose open elements are `openNames` (lower case, innermost
// last) lies in a drawing or a formula where the engine does not draw it: SVG
// outside a text element or a foreign object, MathML outside a token element.
// The words around such text join.
bool isUndrawnText(const QVector<QString>& openNames)
{
    static const QSet<QString> drawn { QStringLiteral("text"), QStringLiteral("foreignobject"), QStringLiteral("title"),
        QStringLiteral("desc"), QStringLiteral("mi"), QStringLiteral("mn"), QStringLiteral("mo"), QStringLiteral("ms"),
        QStringLiteral("mtext"), QStringLiteral("annotation") };
    for (auto name = openNames.crbegin(); name != openNames.crend(); ++name) {
        if (drawn.contains(*name))
            return false;
        if (*name == QLatin1String("svg") || *name == QLatin1String("math"))
            return true;
    }
    return false;
}

bool hasLoneSurrogate(const QString& text)
{
    for (int i = 0; i < text.size(); ++i) {
        if (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ++i;
        else if (text.at(i).isSurrogate())
            return true;
    }
    return false;
}

bool isUnicodeEncoding(const QString& name)
{
    static const QRegularExpression unicode(
        QStringLiteral("^\\s*utf-?(8|16|16le|16be)\\s*$"), QRegularExpression::CaseInsensitiveOption);
    return unicode.match(name).hasMatch();
}

// Counts the entities the reader could not resolve: in text it reports them,
// in attribute values it drops them.
class UndeclaredEntityCounter : public QXmlStreamEntityResolver
{
public:
    QString resolveUndeclaredEntity(const QString&) override
    {
        ++count;
        return {};
    }
    int count = 0;
};

// A well-formed document read as XML: the folded text of everything but
// script and style, and the shown text of the XHTML body. With `asHtml` the
// engine reads it with its HTML parser, which differs on what is judged here:
// a non-void element written empty (<div/>) takes in what follows it (which
// matters to no text but that of style rules), a CDATA section is a comment, a
// processing instruction ends at its first ">", content outside the body and
// a second body or root join the body, script and style end at the first end
// tag written in them, and entities of a DOCTYPE are not read. `unicode` tells
// whether the engine reads the document as UTF-8 or UTF-16.
class XmlReading
{
public:
    XmlReading(const QByteArray& bytes, bool asHtml, bool unicode)
        : m_reader(bytes)
        , m_asHtml(asHtml)
        , m_unicode(unicode)
    {
        m_reader.setEntityResolver(&m_undeclaredEntities);
        readAll();
    }

    // A document that is not well-formed shows an error text and only part of
    // itself; the HTML parser reads no DOCTYPE entities.
    bool wellFormed() const { return !m_reader.hasError() && !(m_asHtml && m_internalSubset); }

    lf::SearchText::DocumentText result(const QString& path, const lf::SearchText::BookFileReader& readFile);

private:
    void readAll();
    void startElement();
    void checkHtmlPlacement(const QString& name);
    void endElement();
    void characters();
    void entityReference();
    void notJudged()
    {
        m_complete = false;
        m_shownJudged = false;
    }
    void blankHiddenAndTransformed(const HidingStyles& styles);

    UndeclaredEntityCounter m_undeclaredEntities;
    QXmlStreamReader m_reader;
    const bool m_asHtml;
    const bool m_unicode;
    QString m_text;
    QString m_shown;
    bool m_complete = true;
    bool m_shownJudged = true; // judged only when the document's rules are known
    int m_skippedDepth = 0; // inside script or style
    int m_unshownDepth = 0; // inside body content left out of the shown text
    int m_bodyDepth = 0; // inside the XHTML body
    int m_hiddenByDefaultDepth = 0; // inside an element shown only when a rule displays it
    int m_joiningDepth = 0; // inside an element whose text joins the words around it
    bool m_inStyle = false;
    QString m_styleText;
    QStringList m_styleElements;
    QStringList m_links;
    QVector<BodyElement> m_elements; // of the body
    QVector<int> m_open; // indexes into m_elements
    QVector<BodyElement> m_outer; // open elements around the body
    QVector<BodyElement> m_bodyAncestors;
    // Elements whose display a rule may set, showing text the folded text
    // lacks or joining words around them: those hidden by default, closed
    // details.
    QVector<BodyElement> m_displayChecked;
    QVector<BodyElement> m_outsideBody; // every element outside the XHTML body (all of an SVG document)
    qint64 m_emptyElementEnd = -1; // where the last start tag ended, while nothing has followed it
    BodyElement m_lastStarted; // the element whose start tag came last
    bool m_lastStartedMayTakeIn = false; // see m_takenIn
    // Links and spans of the body written empty (<a id="x"/>), which the HTML
    // parser leaves open so that they take in what follows: the same text in
    // the same order, unless a style rule for them hides or changes it.
    QVector<BodyElement> m_takenIn;
    bool m_turkic = false; // some text is in a language whose "i" changes in capitals
    bool m_localeMentioned = false; // a style may set the language of case transforms
    QVector<QString> m_openNames; // names of all open elements, in lower case
    QString m_declaredEncoding;
    bool m_internalSubset = false; // the DOCTYPE declares entities of its own
    int m_entityReferences = 0;
    int m_bodyStarts = 0;
    int m_rootStarts = 0;
};

void XmlReading::readAll()
{
    while (!m_reader.atEnd()) {
        const QXmlStreamReader::TokenType token = m_reader.readNext();
        if (token != QXmlStreamReader::EndElement)
            m_emptyElementEnd = token == QXmlStreamReader::StartElement ? m_reader.characterOffset() : -1;
        switch (token) {
        case QXmlStreamReader::StartDocument:
            m_declaredEncoding = m_reader.documentEncoding().toString();
            break;
        case QXmlStreamReader::DTD:
            // The engine's XML parser refuses some entity declarations (parameter
            // entities, deep nesting) and its HTML parser reads none.
            if (m_reader.text().contains(QLatin1Char('['))) {
                m_internalSubset = true;
                notJudged();
            }
            break;
        case QXmlStreamReader::StartElement:
            startElement();
            break;
        case QXmlStreamReader::EndElement:
            endElement();
            break;
        case QXmlStreamReader::Characters:
            characters();
            break;
        case QXmlStreamReader::EntityReference:
            entityReference();
            break;
        case QXmlStreamReader::ProcessingInstruction:
            if (m_reader.processingInstructionTarget() == QLatin1String("xml-stylesheet")
                || (m_asHtml && m_reader.processingInstructionData().contains(QLatin1Char('>'))))
                notJudged();
            break;
        case QXmlStreamReader::Comment:
            if (m_bodyDepth > 0)
                m_shown += QChar(lf::SearchText::kBreak);
            if (m_asHtml && m_skippedDepth > 0)
                notJudged();
            break;
        default:
            break;
        }
    }
}

void XmlReading::startElement()
{
    static const QString xhtmlNamespace = QStringLiteral("http://www.w3.org/1999/xhtml");
    static const QString svgNamespace = QStringLiteral("http://www.w3.org/2000/svg");
    static const QString mathNamespace = QStringLiteral("http://www.w3.org/1998/Math/MathML");
    static const QRegularExpression turkicLanguage(
        QStringLiteral("^\\s*(tr|az)\\b"), QRegularExpression::CaseInsensitiveOption);
    // The HTML parser knows no prefixes: <x:script> is no script to it.
    const QString name = parsedName(m_asHtml ? m_reader.qualifiedName() : m_reader.name(), m_asHtml);
    const QStringView namespaceUri = m_reader.namespaceUri();
    const bool isXhtml = namespaceUri == xhtmlNamespace;
    // Script and style of a namespace the engine does not know are shown as
    // text. A formula's operators are drawn, not found; what the HTML parser
    // puts into a formula is not followed here.
    const bool skipped = isSkippedElement(name)
        && (m_asHtml || isXhtml || namespaceUri == svgNamespace || namespaceUri == mathNamespace);
    const bool isOperator = name == QLatin1String("mo") && (m_asHtml || namespaceUri == mathNamespace);
    if (isOperator && m_asHtml)
        m_complete = false;
    if (m_asHtml)
        checkHtmlPlacement(name);
    if (m_joiningDepth > 0 || joinsAroundItsText(name))
        ++m_joiningDepth;
    // SVG text draws only its own content elements, a foreign object only
    // XHTML, a formula's token only text.
    static const QSet<QString> tokens { QStringLiteral("mi"), QStringLiteral("mn"), QStringLiteral("mo"),
        QStringLiteral("ms"), QStringLiteral("mtext"), QStringLiteral("annotation") };
    const QString parent = m_openNames.isEmpty() ? QString() : m_openNames.last();
    if ((m_openNames.contains(QStringLiteral("text")) && !isSvgTextContent(name))
        || (!m_asHtml && parent == QLatin1String("foreignobject") && !isXhtml) || tokens.contains(parent))
        m_complete = false;
    // What a slot holds may drop the rest of its parent.
    if (m_openNames.contains(QStringLiteral("slot")))
        notJudged();
    // The HTML parser reads everything after a plaintext start tag as its text.
    if (m_asHtml && name == QLatin1String("plaintext"))
        notJudged();
    if (m_asHtml && isFosterParented(parent, name))
        m_complete = false;
    m_openNames.append(name.toLower());
    if (m_skippedDepth > 0 || skipped || (isOperator && !m_asHtml))
        ++m_skippedDepth;
    if (m_skippedDepth == 1 && name == QLatin1String("style")) {
        m_inStyle = true;
        m_styleText.clear();
    }

    const QXmlStreamAttributes attributes = m_reader.attributes();
    const auto attribute = [&](const char* name) { return attributeValue(attributes, QLatin1String(name), m_asHtml); };
    const QString styleAttribute = attribute("style").value_or(QString());
    const int inlineEffects = HidingStyles::effectsOf(styleAttribute);
    m_localeMentioned = m_localeMentioned || styleAttribute.contains(QLatin1String("locale"), Qt::CaseInsensitive);
    // SVG elements may be hidden by presentation attributes too, or drawn
    // only under conditions (the user's language among them).
    const bool conditional = std::any_of(attributes.begin(), attributes.end(), [](const QXmlStreamAttribute& a) {
        const QString name = asciiLower(a.name());
        return name == QLatin1String("systemlanguage") || name == QLatin1String("requiredextensions")
            || name == QLatin1String("requiredfeatures");
    });
    const bool hidden = attribute("hidden").has_value() || attribute("display").has_value()
        || attribute("visibility").has_value() || conditional || (inlineEffects & HidingStyles::Hides);
    if (hidden || embedsDocument(name) || isTextControl(name) || (m_asHtml && showsMarkupAsText(name)))
        m_complete = false;
    if (name == QLatin1String("base"))
        m_shownJudged = false; // style sheets would come from elsewhere
    if (name == QLatin1String("link") && hasToken(attribute("rel").value_or(QString()), QLatin1String("stylesheet"))) {
        m_links.append(attribute("href").value_or(QString()));
        const std::optional<QString> charset = attribute("charset");
        if (charset && !isUnicodeEncoding(*charset))
            notJudged();
    }
    // A language set for the whole document, or (any attribute that may name
    // one: xml:lang, LANG) for this element.
    if (name == QLatin1String("meta"))
        m_turkic = m_turkic || turkicLanguage.match(attribute("content").value_or(QString())).hasMatch();
    for (const QXmlStreamAttribute& languageAttribute : attributes) {
        if (asciiLower(languageAttribute.name()) == QLatin1String("lang")
            && turkicLanguage.match(languageAttribute.value()).hasMatch())
            m_turkic = true;
    }

    const BodyElement element { int(m_shown.size()) + 1, -1, name, attribute("id").value_or(QString()),
        attribute("class").value_or(QString()), hidden, bool(inlineEffects & HidingStyles::ChangesText) };
    m_lastStarted = element;
    m_lastStartedMayTakeIn = m_asHtml && m_bodyDepth > 0 && isXhtml
        && (name == QLatin1String("a") || name == QLatin1String("span")) && !hidden && inlineEffects == 0;
    const bool hiddenByDefault = m_hiddenByDefaultDepth > 0 || isHiddenByDefault(name);
    if (hiddenByDefault)
        ++m_hiddenByDefaultDepth;
    if (hiddenByDefault || name == QLatin1String("details")) {
        if (inlineEffects & HidingStyles::SetsDisplay)
            m_complete = false;
        m_displayChecked.append(element);
    }
    if (m_bodyDepth == 0 && !(isXhtml && name == QLatin1String("body"))) {
        m_outer.append(element);
        m_outsideBody.append(element);
        return;
    }
    if (m_bodyDepth == 0) {
        m_bodyAncestors = m_outer;
        // A body inside anything but the root element is not judged.
        if (m_outer.size() != 1)
            m_shownJudged = false;
    }
    ++m_bodyDepth;
    m_shown += QChar(lf::SearchText::kBreak);
    if (m_unshownDepth > 0 || !isXhtml || hidden || isUnshownElement(name))
        ++m_unshownDepth;
    m_elements.append(element);
    m_open.append(m_elements.size() - 1);
}

// What the HTML parser moves: content outside head and body opens the body
// early, a second body or root adds its attributes to the first, content of a
// void element follows it, and an element inside script or style is text that
// may end them.
void XmlReading::checkHtmlPlacement(const QString& name)
{
    const QString parent = m_outer.isEmpty() ? QString() : m_outer.last().tag;
    const bool misplaced = m_bodyDepth == 0
        && (parent.isEmpty()                      ? name != QLatin1String("html")
                : parent == QLatin1String("html") ? name != QLatin1String("head") && name != QLatin1String("body")
                                                  : parent == QLatin1String("head") && !belongsInHead(name));
    const bool repeated = (name == QLatin1String("body") && ++m_bodyStarts > 1)
        || (name == QLatin1String("html") && ++m_rootStarts > 1);
    // A void element holds nothing: what is written in it follows it.
    const bool inVoid = !m_openNames.isEmpty() && isVoidElement(m_openNames.last());
    if (misplaced || repeated || inVoid || m_skippedDepth > 0)
        notJudged();
}

void XmlReading::endElement()
{
    if (!m_openNames.isEmpty())
        m_openNames.removeLast();
    if (m_skippedDepth > 0 && --m_skippedDepth == 0 && m_inStyle) {
        m_inStyle = false;
        m_styleElements.append(m_styleText);
    }
    if (m_hiddenByDefaultDepth > 0)
        --m_hiddenByDefaultDepth;
    if (m_joiningDepth > 0)
        --m_joiningDepth;
    // Written as <name/>: its end tag is where its start tag ended.
    if (m_asHtml && m_emptyElementEnd == m_reader.characterOffset()
        && !isVoidElement(parsedName(m_reader.name(), m_asHtml))) {
        if (m_lastStartedMayTakeIn)
            m_takenIn.append(m_lastStarted);
        else
            notJudged();
    }
    m_emptyElementEnd = -1;
    if (m_bodyDepth == 0) {
        if (!m_outer.isEmpty())
            m_outer.removeLast();
        return;
    }
    --m_bodyDepth;
    if (m_unshownDepth > 0)
        --m_unshownDepth;
    if (!m_open.isEmpty())
        m_elements[m_open.takeLast()].end = m_shown.size();
    m_shown += QChar(lf::SearchText::kBreak);
}

void XmlReading::characters()
{
    const bool whitespace = m_reader.isWhitespace();
    if (m_asHtml && !whitespace) {
        if (!m_openNames.isEmpty() && isFosterParented(m_openNames.last(), {}))
            m_complete = false;
        // Text outside the body opens it early, and so does text in a void element.
        if ((m_bodyDepth == 0
                && (m_openNames.isEmpty() || m_openNames.last() == QLatin1String("html")
                    || m_openNames.last() == QLatin1String("head")))
            || (!m_openNames.isEmpty() && isVoidElement(m_openNames.last())))
            notJudged();
    }
    if (m_openNames.contains(QStringLiteral("slot")))
        notJudged();
    // Undrawn text joins the words around it: only what it adds to the folded text counts.
    if (!whitespace && m_skippedDepth == 0 && (m_joiningDepth > 0 || isUndrawnText(m_openNames))
        && !lf::SearchText::fold(m_reader.text().toString()).isEmpty())
        m_complete = false;
    // In HTML, a CDATA section is a comment up to its first ">" (in script and
    // style it is text: harmless unless it holds an end tag or a comment
    // opener, which end them early or late).
    if (m_asHtml && m_reader.isCDATA() && m_skippedDepth == 0)
        m_complete = false;
    if (m_asHtml && m_skippedDepth > 0
        && (m_reader.text().contains(QLatin1String("</")) || m_reader.text().contains(QLatin1String("<!--"))))
        notJudged();
    if (m_skippedDepth == 0) {
        m_text += m_reader.text();
        // Words around a title or a template in the body join in the engine's text.
        if (m_bodyDepth > 0 && m_hiddenByDefaultDepth > 0 && !whitespace)
            m_complete = false;
    } else if (m_inStyle) {
        m_styleText += m_reader.text();
    }
    if (m_bodyDepth > 0 && m_unshownDepth == 0 && m_skippedDepth == 0) {
        if (m_asHtml && m_reader.isCDATA())
            m_shown += QChar(lf::SearchText::kBreak);
        else
            m_shown += m_reader.text();
    }
}

void XmlReading::entityReference()
{
    ++m_entityReferences;
    if (m_inStyle)
        notJudged(); // a rule the engine reads with a character this reader left out
    if (m_skippedDepth > 0)
        return;
    const std::optional<QString> decoded = decodeEntity(m_reader.name().toString());
    if (decoded)
        m_text += *decoded;
    else
        notJudged();
    // Only the no-break space is known exactly; the others stand for something
    // the engine shows, not written out here.
    if (m_bodyDepth > 0 && m_unshownDepth == 0)
        m_shown += m_reader.name() == QLatin1String("nbsp") ? QChar(0x00A0) : QChar(lf::SearchText::kBreak);
}

lf::SearchText::DocumentText XmlReading::result(const QString& path, const lf::SearchText::BookFileReader& readFile)
{
    // An entity dropped from an attribute value leaves a class or an address
    // other than the engine's.
    if (m_reader.hasError() || hasC1Controls(m_text) || m_undeclaredEntities.count > m_entityReferences)
        notJudged();
    // Other encodings than UTF-8 and UTF-16 are not judged: the engine refuses
    // some names this reader knows, ends the document at a byte invalid in its
    // encoding, shows a backslash as a yen sign in the Japanese ones. Nor is
    // UTF-16 with a lone surrogate.
    if ((!m_declaredEncoding.isEmpty() && !isUnicodeEncoding(m_declaredEncoding)) || hasLoneSurrogate(m_text))
        notJudged();

    HidingStyles styles;
    const bool readAsUnicode
        = m_asHtml ? m_unicode : m_declaredEncoding.isEmpty() || isUnicodeEncoding(m_declaredEncoding);
    if (!collectStyles(styles, m_styleElements, m_links, path, readFile, readAsUnicode, m_localeMentioned))
        notJudged();
    m_turkic = m_turkic || m_localeMentioned;
    for (const BodyElement& element : m_takenIn) {
        if (styles.mayApply(HidingStyles::AllEffects, element.tag, element.id, element.classes))
            notJudged();
    }
    // A rule that displays a script, a style or a title shows text the folded
    // text lacks; one that sets a closed details inline joins words.
    for (const BodyElement& element : m_displayChecked) {
        if (styles.mayApply(HidingStyles::SetsDisplay, element.tag, element.id, element.classes))
            m_complete = false;
    }
    // Words around what a rule hides outside the body (in an SVG document) join too.
    for (const BodyElement& element : m_outsideBody) {
        if (styles.mayHide(element.tag, element.id, element.classes))
            m_complete = false;
    }
    // What a rule does to the root reaches the whole body.
    for (BodyElement element : qAsConst(m_bodyAncestors)) {
        element.hidden = element.hidden || styles.mayHide(element.tag, element.id, element.classes);
        element.transformed = element.transformed
            || styles.mayApply(HidingStyles::ChangesText, element.tag, element.id, element.classes);
        element.start = 0;
        element.end = m_shown.size();
        if (element.hidden || element.transformed)
            m_elements.append(element);
    }
    blankHiddenAndTransformed(styles);
    // Content hidden by an attribute or a rule is left out of the shown text,
    // which stays judged even though the folded text is not complete.
    bool foldExact = true;
    const QString folded = lf::SearchText::fold(m_text, &foldExact);
    return { folded, m_complete && foldExact, m_shownJudged ? collapsedShownText(m_shown) : QString() };
}

// Hidden or transformed ranges may nest deeply: counted in one sweep, not
// blanked one by one. Hidden ones also make the folded text incomplete; in
// transformed ones only the letters a case transform may change are left out.
void XmlReading::blankHiddenAndTransformed(const HidingStyles& styles)
{
    QVector<int> hiddenDelta(m_shown.size() + 1, 0);
    QVector<int> transformedDelta(m_shown.size() + 1, 0);
    for (const BodyElement& element : qAsConst(m_elements)) {
        if (element.end < element.start)
            continue;
        if (element.hidden || styles.mayHide(element.tag, element.id, element.classes)) {
            m_complete = false;
            ++hiddenDelta[element.start];
            --hiddenDelta[element.end];
        } else if (element.transformed
            || styles.mayApply(HidingStyles::ChangesText, element.tag, element.id, element.classes)) {
            ++transformedDelta[element.start];
            --transformedDelta[element.end];
        }
    }
    for (int at = 0, hiding = 0, transforming = 0; at < m_shown.size(); ++at) {
        hiding += hiddenDelta.at(at);
        transforming += transformedDelta.at(at);
        if (hiding > 0 || (transforming > 0 && caseTransformChanges(m_shown.at(at), m_turkic)))
            m_shown[at] = QChar(lf::SearchText::kBreak);
    }
}

// Tag soup as the HTML parser sees it, roughly: tags and comments dropped,
// script and style skipped to their end tags, entities decoded.
lf::SearchText::DocumentText extractHtml(const QString& html)
{
    QString text;
    bool complete = true;
    bool inBody = false;
    static const QRegularExpression hiddenAttribute(
        QStringLiteral("\\s(hidden|display|visibility)(\\s|=|/|$)"), QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression styleSheetLink(
        QStringLiteral("\\srel\\s*=\\s*[\"']?[^>]*stylesheet"), QRegularExpression::CaseInsensitiveOption);
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
        static const QRegularExpression tagNamePattern(QStringLiteral("^([A-Za-z][A-Za-z0-9]*)"));
        const QRegularExpressionMatch name = tagNamePattern.match(tag);
        if (!name.hasMatch())
            continue; // end tags, declarations, processing instructions
        const QString tagName = asciiLower(name.capturedView(1));
        if (tagName.compare(QLatin1String("body"), Qt::CaseInsensitive) == 0)
            inBody = true;
        // Text the engine's find reads elsewhere, or words joined around text it never shows.
        // SVG text leaves out what is not its own content; not followed here.
        if (hiddenAttribute.match(tag).hasMatch() || hidesContent(tag) || embedsDocument(tagName)
            || tagName == QLatin1String("text") || isTextControl(tagName) || showsMarkupAsText(tagName)
            || (inBody && isHiddenByDefault(tagName) && !isSkippedElement(tagName)))
            complete = false;
        // Rules of a linked style sheet are not read in tag soup.
        if (name.capturedView(1).compare(QLatin1String("link"), Qt::CaseInsensitive) == 0
            && styleSheetLink.match(tag).hasMatch())
            complete = false;
        if (isSkippedElement(tagName)) {
            const QString closing = QStringLiteral("</") + name.captured(1);
            const int close = html.indexOf(closing, at, Qt::CaseInsensitive);
            const QStringView skipped = QStringView(html).mid(at, close < 0 ? -1 : close - at);
            // A style element may hide content, or display a script or a title.
            if (tagName.compare(QLatin1String("style"), Qt::CaseInsensitive) == 0
                && HidingStyles::effectsOf(skipped) & (HidingStyles::Hides | HidingStyles::SetsDisplay))
                complete = false;
            at = close < 0 ? size : close;
        }
    }
    if (hasC1Controls(text))
        complete = false;
    bool foldExact = true;
    const QString folded = lf::SearchText::fold(text, &foldExact);
    return { folded, complete && foldExact, {} };
}

// True when a meta tag (its text after "<meta") names UTF-8 as the HTML
// parser's prescan reads it: a charset attribute, or an http-equiv one with a
// content holding "charset=".
bool metaDeclaresUtf8(QStringView tag)
{
    static const QRegularExpression attribute(
        QStringLiteral("([^\\s=/>]+)\\s*(?:=\\s*(\"[^\"]*\"|'[^']*'|[^\\s>]*))?"));
    static const QRegularExpression utf8(QStringLiteral("^\\s*utf-?8\\s*$"), QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression contentCharset(
        QStringLiteral("charset\\s*=\\s*[\"']?\\s*utf-?8(?=[\"'\\s;]|$)"), QRegularExpression::CaseInsensitiveOption);
    bool httpEquiv = false;
    QString content;
    QRegularExpressionMatchIterator attributes = attribute.globalMatch(tag.toString());
    while (attributes.hasNext()) {
        const QRegularExpressionMatch match = attributes.next();
        const QString name = match.captured(1).toLower();
        QString value = match.captured(2);
        if (value.startsWith(QLatin1Char('"')) || value.startsWith(QLatin1Char('\'')))
            value = value.mid(1, value.size() - 2);
        if (name == QLatin1String("charset"))
            return utf8.match(value).hasMatch();
        if (name == QLatin1String("http-equiv"))
            httpEquiv = true;
        if (name == QLatin1String("content"))
            content = value;
    }
    return httpEquiv && contentCharset.match(content).hasMatch();
}

// An HTML document the engine reads as Unicode: a byte order mark, UTF-8
// named by an XML declaration at the very start, or by a meta element its
// prescan reads (not one in a comment or a CDATA section): any in the first
// 1024 characters, later ones only while nothing but head elements came
// before them.
bool declaresUnicode(const QByteArray& bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF") || bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF"))
        return true;
    constexpr int kReadUnconditionally = 1024;
    static const QRegularExpression xmlDeclaration(
        QStringLiteral("^<\\?xml[^>]*encoding\\s*=\\s*[\"']utf-?8[\"']"), QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression unread(
        QStringLiteral("<!--.*?(-->|$)|<!\\[CDATA\\[.*?(\\]\\]>|$)"), QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression tag(QStringLiteral("<(/?)([A-Za-z][^\\s/>]*)"));
    static const QSet<QString> headTags { QStringLiteral("html"), QStringLiteral("head"), QStringLiteral("script"),
        QStringLiteral("noscript"), QStringLiteral("style"), QStringLiteral("link"), QStringLiteral("meta"),
        QStringLiteral("object"), QStringLiteral("title"), QStringLiteral("base") };
    static const QRegularExpression meta(QStringLiteral("<meta(\\s[^>]*)>"), QRegularExpression::CaseInsensitiveOption);
    QString head = QString::fromLatin1(bytes.left(4096));
    if (xmlDeclaration.match(head).hasMatch())
        return true;
    // Comments and CDATA sections blanked, not removed: positions count.
    for (QRegularExpressionMatchIterator it = unread.globalMatch(head); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        head.replace(match.capturedStart(), match.capturedLength(), QString(match.capturedLength(), QLatin1Char(' ')));
    }
    for (QRegularExpressionMatchIterator it = tag.globalMatch(head); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        const QString name = match.captured(2).toLower();
        const bool endsHead = match.captured(1).isEmpty() ? !headTags.contains(name) : name == QLatin1String("head");
        if (endsHead) {
            head.truncate(qMax(int(match.capturedStart()), kReadUnconditionally));
            break;
        }
    }
    QRegularExpressionMatchIterator metas = meta.globalMatch(head);
    while (metas.hasNext()) {
        if (metaDeclaresUtf8(metas.next().capturedView(1)))
            return true;
    }
    return false;
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

lf::SearchText::DocumentText lf::SearchText::extract(
    const QByteArray& bytes, const QString& path, const BookFileReader& readFile)
{
    if (hasSuffix(path, { ".xhtml", ".xht", ".xml", ".svg" }))
        return XmlReading(bytes, false, true).result(path, readFile);
    if (!hasSuffix(path, { ".html", ".htm" }))
        return {};
    // Many books write their HTML documents as well-formed XHTML: read as XML,
    // they give the same text and a judged shown text.
    static const QRegularExpression otherCharset(
        QStringLiteral("charset\\s*=\\s*[\"']?\\s*(?!utf-?8)[\\w-]"), QRegularExpression::CaseInsensitiveOption);
    const bool declaresOtherCharset = otherCharset.match(QString::fromLatin1(bytes.left(2048))).hasMatch();
    const bool unicode = declaresUnicode(bytes);
    const bool ascii = std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<uchar>(c) < 0x80; });
    // The HTML parser ends a comment at "<!-->" or "<!--->".
    const bool shortComment = bytes.contains("<!-->") || bytes.contains("<!--->");
    if (!declaresOtherCharset) {
        XmlReading reading(bytes, true, unicode);
        if (reading.wellFormed()) {
            DocumentText asXml = reading.result(path, readFile);
            // Without a declared encoding the engine reads HTML as Latin-1:
            // only ASCII letters are then sure to be what the XML reading gave.
            if (!unicode) {
                asXml.complete = asXml.complete && ascii;
                for (QChar& c : asXml.shown) {
                    if (c.unicode() >= 0x80)
                        c = QChar(kBreak);
                }
            }
            if (shortComment) {
                asXml.complete = false;
                asXml.shown.clear();
            }
            return asXml;
        }
    }
    QTextCodec* codec = QTextCodec::codecForUtfText(bytes, QTextCodec::codecForName("UTF-8"));
    QTextCodec::ConverterState state;
    const QString html = codec->toUnicode(bytes.constData(), bytes.size(), &state);
    DocumentText document = extractHtml(html);
    // Another encoding (declared in the document or guessed) is the engine's business.
    if (state.invalidChars > 0 || declaresOtherCharset || (!unicode && !ascii) || shortComment)
        document.complete = false;
    return document;
}
