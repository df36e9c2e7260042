#include "reader/markuptext.h"

#include "reader/textfinder.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QTextCodec>

#include <algorithm>
#include <cstring>
#include <iterator>

namespace {

// Larger documents are left to the engine, which loads them anyway.
constexpr qint64 kMaxMarkupSize = 64 * 1024 * 1024;

struct NamedCharacter
{
    const char* name;
    char16_t code;
};

// The named references of HTML 4, sorted by name: all that both parsers
// decode to one character. Other names make the document the engine's to answer.
constexpr NamedCharacter kNamedCharacters[] = { { "AElig", 0x00C6 }, { "Aacute", 0x00C1 }, { "Acirc", 0x00C2 },
    { "Agrave", 0x00C0 }, { "Alpha", 0x0391 }, { "Aring", 0x00C5 }, { "Atilde", 0x00C3 }, { "Auml", 0x00C4 },
    { "Beta", 0x0392 }, { "Ccedil", 0x00C7 }, { "Chi", 0x03A7 }, { "Dagger", 0x2021 }, { "Delta", 0x0394 },
    { "ETH", 0x00D0 }, { "Eacute", 0x00C9 }, { "Ecirc", 0x00CA }, { "Egrave", 0x00C8 }, { "Epsilon", 0x0395 },
    { "Eta", 0x0397 }, { "Euml", 0x00CB }, { "Gamma", 0x0393 }, { "Iacute", 0x00CD }, { "Icirc", 0x00CE },
    { "Igrave", 0x00CC }, { "Iota", 0x0399 }, { "Iuml", 0x00CF }, { "Kappa", 0x039A }, { "Lambda", 0x039B },
    { "Mu", 0x039C }, { "Ntilde", 0x00D1 }, { "Nu", 0x039D }, { "OElig", 0x0152 }, { "Oacute", 0x00D3 },
    { "Ocirc", 0x00D4 }, { "Ograve", 0x00D2 }, { "Omega", 0x03A9 }, { "Omicron", 0x039F }, { "Oslash", 0x00D8 },
    { "Otilde", 0x00D5 }, { "Ouml", 0x00D6 }, { "Phi", 0x03A6 }, { "Pi", 0x03A0 }, { "Prime", 0x2033 },
    { "Psi", 0x03A8 }, { "Rho", 0x03A1 }, { "Scaron", 0x0160 }, { "Sigma", 0x03A3 }, { "THORN", 0x00DE },
    { "Tau", 0x03A4 }, { "Theta", 0x0398 }, { "Uacute", 0x00DA }, { "Ucirc", 0x00DB }, { "Ugrave", 0x00D9 },
    { "Upsilon", 0x03A5 }, { "Uuml", 0x00DC }, { "Xi", 0x039E }, { "Yacute", 0x00DD }, { "Yuml", 0x0178 },
    { "Zeta", 0x0396 }, { "aacute", 0x00E1 }, { "acirc", 0x00E2 }, { "acute", 0x00B4 }, { "aelig", 0x00E6 },
    { "agrave", 0x00E0 }, { "alefsym", 0x2135 }, { "alpha", 0x03B1 }, { "amp", 0x0026 }, { "and", 0x2227 },
    { "ang", 0x2220 }, { "aring", 0x00E5 }, { "asymp", 0x2248 }, { "atilde", 0x00E3 }, { "auml", 0x00E4 },
    { "bdquo", 0x201E }, { "beta", 0x03B2 }, { "brvbar", 0x00A6 }, { "bull", 0x2022 }, { "cap", 0x2229 },
    { "ccedil", 0x00E7 }, { "cedil", 0x00B8 }, { "cent", 0x00A2 }, { "chi", 0x03C7 }, { "circ", 0x02C6 },
    { "clubs", 0x2663 }, { "cong", 0x2245 }, { "copy", 0x00A9 }, { "crarr", 0x21B5 }, { "cup", 0x222A },
    { "curren", 0x00A4 }, { "dArr", 0x21D3 }, { "dagger", 0x2020 }, { "darr", 0x2193 }, { "deg", 0x00B0 },
    { "delta", 0x03B4 }, { "diams", 0x2666 }, { "divide", 0x00F7 }, { "eacute", 0x00E9 }, { "ecirc", 0x00EA },
    { "egrave", 0x00E8 }, { "empty", 0x2205 }, { "emsp", 0x2003 }, { "ensp", 0x2002 }, { "epsilon", 0x03B5 },
    { "equiv", 0x2261 }, { "eta", 0x03B7 }, { "eth", 0x00F0 }, { "euml", 0x00EB }, { "euro", 0x20AC },
    { "exist", 0x2203 }, { "fnof", 0x0192 }, { "forall", 0x2200 }, { "frac12", 0x00BD }, { "frac14", 0x00BC },
    { "frac34", 0x00BE }, { "frasl", 0x2044 }, { "gamma", 0x03B3 }, { "ge", 0x2265 }, { "gt", 0x003E },
    { "hArr", 0x21D4 }, { "harr", 0x2194 }, { "hearts", 0x2665 }, { "hellip", 0x2026 }, { "iacute", 0x00ED },
    { "icirc", 0x00EE }, { "iexcl", 0x00A1 }, { "igrave", 0x00EC }, { "image", 0x2111 }, { "infin", 0x221E },
    { "int", 0x222B }, { "iota", 0x03B9 }, { "iquest", 0x00BF }, { "isin", 0x2208 }, { "iuml", 0x00EF },
    { "kappa", 0x03BA }, { "lArr", 0x21D0 }, { "lambda", 0x03BB }, { "lang", 0x2329 }, { "laquo", 0x00AB },
    { "larr", 0x2190 }, { "lceil", 0x2308 }, { "ldquo", 0x201C }, { "le", 0x2264 }, { "lfloor", 0x230A },
    { "lowast", 0x2217 }, { "loz", 0x25CA }, { "lrm", 0x200E }, { "lsaquo", 0x2039 }, { "lsquo", 0x2018 },
    { "lt", 0x003C }, { "macr", 0x00AF }, { "mdash", 0x2014 }, { "micro", 0x00B5 }, { "middot", 0x00B7 },
    { "minus", 0x2212 }, { "mu", 0x03BC }, { "nabla", 0x2207 }, { "nbsp", 0x00A0 }, { "ndash", 0x2013 },
    { "ne", 0x2260 }, { "ni", 0x220B }, { "not", 0x00AC }, { "notin", 0x2209 }, { "nsub", 0x2284 },
    { "ntilde", 0x00F1 }, { "nu", 0x03BD }, { "oacute", 0x00F3 }, { "ocirc", 0x00F4 }, { "oelig", 0x0153 },
    { "ograve", 0x00F2 }, { "oline", 0x203E }, { "omega", 0x03C9 }, { "omicron", 0x03BF }, { "oplus", 0x2295 },
    { "or", 0x2228 }, { "ordf", 0x00AA }, { "ordm", 0x00BA }, { "oslash", 0x00F8 }, { "otilde", 0x00F5 },
    { "otimes", 0x2297 }, { "ouml", 0x00F6 }, { "para", 0x00B6 }, { "part", 0x2202 }, { "permil", 0x2030 },
    { "perp", 0x22A5 }, { "phi", 0x03C6 }, { "pi", 0x03C0 }, { "piv", 0x03D6 }, { "plusmn", 0x00B1 },
    { "pound", 0x00A3 }, { "prime", 0x2032 }, { "prod", 0x220F }, { "prop", 0x221D }, { "psi", 0x03C8 },
    { "quot", 0x0022 }, { "rArr", 0x21D2 }, { "radic", 0x221A }, { "rang", 0x232A }, { "raquo", 0x00BB },
    { "rarr", 0x2192 }, { "rceil", 0x2309 }, { "rdquo", 0x201D }, { "real", 0x211C }, { "reg", 0x00AE },
    { "rfloor", 0x230B }, { "rho", 0x03C1 }, { "rlm", 0x200F }, { "rsaquo", 0x203A }, { "rsquo", 0x2019 },
    { "sbquo", 0x201A }, { "scaron", 0x0161 }, { "sdot", 0x22C5 }, { "sect", 0x00A7 }, { "shy", 0x00AD },
    { "sigma", 0x03C3 }, { "sigmaf", 0x03C2 }, { "sim", 0x223C }, { "spades", 0x2660 }, { "sub", 0x2282 },
    { "sube", 0x2286 }, { "sum", 0x2211 }, { "sup", 0x2283 }, { "sup1", 0x00B9 }, { "sup2", 0x00B2 },
    { "sup3", 0x00B3 }, { "supe", 0x2287 }, { "szlig", 0x00DF }, { "tau", 0x03C4 }, { "there4", 0x2234 },
    { "theta", 0x03B8 }, { "thetasym", 0x03D1 }, { "thinsp", 0x2009 }, { "thorn", 0x00FE }, { "tilde", 0x02DC },
    { "times", 0x00D7 }, { "trade", 0x2122 }, { "uArr", 0x21D1 }, { "uacute", 0x00FA }, { "uarr", 0x2191 },
    { "ucirc", 0x00FB }, { "ugrave", 0x00F9 }, { "uml", 0x00A8 }, { "upsih", 0x03D2 }, { "upsilon", 0x03C5 },
    { "uuml", 0x00FC }, { "weierp", 0x2118 }, { "xi", 0x03BE }, { "yacute", 0x00FD }, { "yen", 0x00A5 },
    { "yuml", 0x00FF }, { "zeta", 0x03B6 }, { "zwj", 0x200D }, { "zwnj", 0x200C } };

// A parser of the engine decodes HTML names in an XML document only under one of these.
const char* const kXhtmlPublicIds[] = { "-//W3C//DTD XHTML 1.0 Transitional//EN", "-//W3C//DTD XHTML 1.0 Strict//EN",
    "-//W3C//DTD XHTML 1.0 Frameset//EN", "-//W3C//DTD XHTML 1.1//EN", "-//W3C//DTD XHTML Basic 1.0//EN",
    "-//W3C//DTD XHTML 1.1 plus MathML 2.0//EN", "-//W3C//DTD XHTML 1.1 plus MathML 2.0 plus SVG 1.1//EN",
    "-//W3C//DTD MathML 2.0//EN" };

// Elements whose page shows, or may show, text their markup's text does not hold.
const QStringList kEngineOnlyElements { QStringLiteral("input"), QStringLiteral("textarea"), QStringLiteral("select"),
    QStringLiteral("button"), QStringLiteral("keygen"), QStringLiteral("isindex"), QStringLiteral("iframe"),
    QStringLiteral("frame"), QStringLiteral("frameset"), QStringLiteral("object"), QStringLiteral("embed"),
    QStringLiteral("applet"), QStringLiteral("xmp"), QStringLiteral("plaintext") };
// Elements whose content is never drawn.
const QStringList kUndrawnElements { QStringLiteral("script"), QStringLiteral("style") };
// HTML elements whose content is raw text up to their end tag, and never drawn.
const QStringList kUndrawnRawTextElements { QStringLiteral("script"), QStringLiteral("style"), QStringLiteral("title"),
    QStringLiteral("noembed"), QStringLiteral("noframes") };

std::optional<char16_t> namedCharacter(const QString& name)
{
    const QByteArray latin = name.toLatin1();
    const auto* end = std::end(kNamedCharacters);
    const auto* at = std::lower_bound(
        std::begin(kNamedCharacters), end, latin, [](const NamedCharacter& entry, const QByteArray& key) {
            return std::strcmp(entry.name, key.constData()) < 0;
        });
    if (at == end || latin != at->name)
        return std::nullopt;
    return at->code;
}

bool isAsciiLetter(QChar c)
{
    return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) || (c >= QLatin1Char('A') && c <= QLatin1Char('Z'));
}

bool isAsciiAlphanumeric(QChar c)
{
    return isAsciiLetter(c) || (c >= QLatin1Char('0') && c <= QLatin1Char('9'));
}

bool isMarkupSpace(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\n') || c == QLatin1Char('\t') || c == QLatin1Char('\r')
        || c == QLatin1Char('\f');
}

bool isXmlCharacter(char32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD)
        || (c >= 0x10000 && c <= 0x10FFFF);
}

// A reference HTML decodes to something else than the code point it names.
bool isAlteredHtmlCodePoint(char32_t c)
{
    return c == 0 || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF) || (c >= 0x80 && c <= 0x9F) || c == 0x0D
        || (c >= 0xFDD0 && c <= 0xFDEF) || (c & 0xFFFE) == 0xFFFE;
}

std::optional<QString> decodeStrictly(const QByteArray& bytes, QTextCodec* codec)
{
    if (!codec)
        return std::nullopt;
    QTextCodec::ConverterState state(QTextCodec::IgnoreHeader);
    const QString text = codec->toUnicode(bytes.constData(), bytes.size(), &state);
    if (state.invalidChars > 0 || state.remainingChars > 0)
        return std::nullopt;
    return text;
}

// The document's characters, in the encoding the engine reads it with.
std::optional<QString> decode(const QByteArray& markup, lf::MarkupText::Syntax syntax)
{
    if (markup.startsWith("\xEF\xBB\xBF"))
        return decodeStrictly(markup.mid(3), QTextCodec::codecForName("UTF-8"));
    if (markup.startsWith("\xFE\xFF") || markup.startsWith("\xFF\xFE"))
        return std::nullopt;
    const QByteArray head = markup.left(1024);
    // An XML declaration names the encoding for both parsers.
    static const QRegularExpression declaration(
        QStringLiteral("^<\\?xml[^>]*\\sencoding\\s*=\\s*[\"']([A-Za-z0-9._:-]+)[\"']"));
    static const QRegularExpression charset(QStringLiteral("<meta[^>]*charset\\s*=\\s*[\"']?\\s*([A-Za-z0-9._:-]+)"),
        QRegularExpression::CaseInsensitiveOption);
    const QString start = QString::fromLatin1(head);
    QByteArray encoding = declaration.match(start).captured(1).toLatin1();
    if (encoding.isEmpty() && syntax == lf::MarkupText::Syntax::Html)
        encoding = charset.match(start).captured(1).toLatin1();
    const QByteArray lower = encoding.toLower();
    if (lower.startsWith("utf-16") || lower.startsWith("utf-32") || lower.startsWith("ucs"))
        return std::nullopt; // read in other units than the name says, or guessed
    // Pages read Latin-1 as Windows-1252, whose 0x80..0x9F are letters and marks.
    static const QList<QByteArray> latin1Names { "iso-8859-1", "iso_8859-1", "latin1", "l1", "us-ascii", "ascii" };
    if (latin1Names.contains(lower)
        && std::any_of(markup.begin(), markup.end(), [](char c) { return uchar(c) >= 0x80 && uchar(c) <= 0x9F; }))
        return std::nullopt;
    if (encoding.isEmpty()) {
        if (syntax == lf::MarkupText::Syntax::Html
            && std::any_of(markup.begin(), markup.end(), [](char c) { return c & 0x80; }))
            return std::nullopt; // the engine would guess
        encoding = QByteArrayLiteral("UTF-8");
    }
    return decodeStrictly(markup, QTextCodec::codecForName(encoding));
}

// Walks the markup once, keeping the text the page may draw. Gives up
// (nullopt) at anything after which the page may draw other text.
class MarkupScanner
{
public:
    MarkupScanner(const QString& source, lf::MarkupText::Syntax syntax)
        : s(source)
        , n(source.size())
        , xml(syntax == lf::MarkupText::Syntax::Xml)
    {
        out.reserve(n / 2);
    }

    std::optional<QString> run()
    {
        while (i < n) {
            const QChar c = s.at(i);
            bool ok = true;
            if (c == QLatin1Char('<'))
                ok = markup();
            else if (c == QLatin1Char('&'))
                ok = reference();
            else
                ok = character();
            if (!ok)
                return std::nullopt;
        }
        if (xml && (!sawRoot || !open.isEmpty()))
            return std::nullopt;
        return out;
    }

private:
    // A run of text up to the next markup or reference.
    bool character()
    {
        const int start = i;
        const QChar* text = s.constData();
        bool onlySpace = true;
        for (; i < n; ++i) {
            const char16_t c = text[i].unicode();
            if (c == u'<' || c == u'&')
                break;
            if (!xml)
                continue;
            if ((c < 0x20 && c != 0x9 && c != 0xA && c != 0xD) || c >= 0xFFFE
                || (c == u']' && s.midRef(i, 3) == QLatin1String("]]>")))
                return false;
            onlySpace = onlySpace && isMarkupSpace(text[i]);
        }
        if (xml && open.isEmpty() && !onlySpace)
            return false; // text outside the root element
        if (undrawn == 0)
            out.append(text + start, i - start);
        return true;
    }

    void keep(QChar c)
    {
        if (undrawn == 0)
            out += c;
    }

    void keepCodePoint(char32_t c)
    {
        if (c >= 0x10000) {
            keep(QChar::highSurrogate(c));
            keep(QChar::lowSurrogate(c));
        } else {
            keep(QChar(char16_t(c)));
        }
    }

    bool startsWith(const char* what, Qt::CaseSensitivity cs = Qt::CaseSensitive) const
    {
        return s.midRef(i, int(std::strlen(what))).compare(QLatin1String(what), cs) == 0;
    }

    // Skips to just after `end`; to the end of the markup when it is missing.
    bool skipPast(const QString& end)
    {
        const int at = s.indexOf(end, i);
        i = at < 0 ? n : at + end.size();
        return at >= 0;
    }

    bool markup()
    {
        if (startsWith("<!--"))
            return comment();
        if (startsWith("<![CDATA["))
            return cdata();
        if (startsWith("<!DOCTYPE", xml ? Qt::CaseSensitive : Qt::CaseInsensitive))
            return doctype();
        if (startsWith("<!") || startsWith("<?")) {
            if (xml)
                return startsWith("<?") && !startsWith("<?xml-stylesheet") // a transform may draw anything
                    && skipPast(QStringLiteral("?>"));
            return skipPast(QStringLiteral(">")), true; // a bogus comment
        }
        if (startsWith("</"))
            return endTag();
        if (i + 1 < n && (isAsciiLetter(s.at(i + 1)) || (xml && isXmlNameStart(s.at(i + 1)))))
            return startTag();
        if (xml)
            return false;
        keep(QLatin1Char('<'));
        ++i;
        return true;
    }

    static bool isXmlNameStart(QChar c)
    {
        return isAsciiLetter(c) || c == QLatin1Char('_') || c == QLatin1Char(':') || c.unicode() >= 0x80;
    }

    bool comment()
    {
        if (xml) {
            const int end = s.indexOf(QLatin1String("--"), i + 4);
            if (end < 0 || s.midRef(end, 3) != QLatin1String("-->"))
                return false; // "--" inside a comment is an error
            i = end + 3;
            return true;
        }
        if (startsWith("<!-->") || startsWith("<!--->")) {
            i += startsWith("<!-->") ? 5 : 6;
            return true;
        }
        const int close = s.indexOf(QLatin1String("-->"), i + 4);
        const int bang = s.indexOf(QLatin1String("--!>"), i + 4);
        if (close < 0 && bang < 0)
            i = n;
        else if (bang < 0 || (close >= 0 && close < bang))
            i = close + 3;
        else
            i = bang + 4;
        return true;
    }

    bool cdata()
    {
        if (!xml)
            return false; // read otherwise inside and outside foreign content
        const int end = s.indexOf(QLatin1String("]]>"), i + 9);
        if (end < 0)
            return false;
        for (int k = i + 9; k < end; ++k)
            keep(s.at(k));
        i = end + 3;
        return true;
    }

    bool doctype()
    {
        const int end = s.indexOf(QLatin1Char('>'), i);
        if (end < 0)
            return !xml && (i = n, true);
        const QStringRef declaration = s.midRef(i, end - i);
        if (xml) {
            if (declaration.contains(QLatin1Char('[')))
                return false; // its own entities
            for (const char* id : kXhtmlPublicIds) {
                if (declaration.contains(QLatin1Char('"') + QLatin1String(id) + QLatin1Char('"'))
                    || declaration.contains(QLatin1Char('\'') + QLatin1String(id) + QLatin1Char('\'')))
                    htmlNames = true;
            }
        }
        i = end + 1;
        return true;
    }

    QString readName()
    {
        const int start = i;
        while (i < n && !isMarkupSpace(s.at(i)) && s.at(i) != QLatin1Char('>') && s.at(i) != QLatin1Char('/')
            && s.at(i) != QLatin1Char('='))
            ++i;
        return s.mid(start, i - start);
    }

    bool knownPrefix(const QString& name) const
    {
        const int colon = name.indexOf(QLatin1Char(':'));
        if (colon < 0)
            return true;
        const QString prefix = name.left(colon);
        return prefix == QLatin1String("xml") || prefix == QLatin1String("xmlns") || prefixes.contains(prefix);
    }

    // From just after the name to just after the closing ">"; false at the end of the markup.
    bool attributes(bool* selfClosing)
    {
        QStringList names;
        while (i < n) {
            const QChar c = s.at(i);
            if (c == QLatin1Char('>')) {
                ++i;
                return !xml
                    || std::all_of(names.begin(), names.end(), [this](const QString& a) { return knownPrefix(a); });
            }
            if (isMarkupSpace(c)) {
                ++i;
                continue;
            }
            if (c == QLatin1Char('/')) {
                *selfClosing = i + 1 < n && s.at(i + 1) == QLatin1Char('>');
                ++i;
                continue;
            }
            *selfClosing = false;
            const QString name = c == QLatin1Char('=') ? QString() : readName();
            if (xml && (name.isEmpty() || names.contains(name)))
                return false;
            names.append(name);
            if (name.startsWith(QLatin1String("xmlns:")))
                prefixes.insert(name.mid(6));
            while (i < n && isMarkupSpace(s.at(i)))
                ++i;
            if (i < n && s.at(i) == QLatin1Char('=')) {
                ++i;
                while (i < n && isMarkupSpace(s.at(i)))
                    ++i;
                if (!value())
                    return false;
            } else if (xml) {
                return false;
            }
        }
        return false;
    }

    // Whether every reference of an attribute value is one the parser knows.
    bool referencesParse(int from, int end)
    {
        ++undrawn; // checked, not kept
        bool ok = true;
        for (i = from; ok && i < end;) {
            if (s.at(i) == QLatin1Char('&'))
                ok = reference() && i <= end;
            else
                ++i;
        }
        --undrawn;
        return ok;
    }

    bool value()
    {
        if (i < n && (s.at(i) == QLatin1Char('"') || s.at(i) == QLatin1Char('\''))) {
            const int end = s.indexOf(s.at(i), i + 1);
            if (end < 0 || (xml && s.midRef(i, end - i).contains(QLatin1Char('<'))))
                return false;
            if (xml && !referencesParse(i + 1, end))
                return false;
            i = end + 1;
            return true;
        }
        if (xml)
            return false;
        while (i < n && !isMarkupSpace(s.at(i)) && s.at(i) != QLatin1Char('>'))
            ++i;
        return true;
    }

    bool startTag()
    {
        const int tagStart = i++;
        const QString name = readName();
        const QString element = xml ? name : name.toLower();
        if (kEngineOnlyElements.contains(element))
            return false;
        bool selfClosing = false;
        if (!attributes(&selfClosing))
            return xml ? false : (i = n, true); // HTML drops a tag cut off by the end
        if (!xml) {
            if (kUndrawnRawTextElements.contains(element)) {
                const int end = s.indexOf(QLatin1String("</") + element, i, Qt::CaseInsensitive);
                i = end < 0 ? n : end;
            }
            return true;
        }
        if (!knownPrefix(name) || (open.isEmpty() && sawRoot))
            return false;
        // Another root than XHTML's may be shown as its source.
        if (!sawRoot
            && (name != QLatin1String("html")
                || !(s.midRef(tagStart, i - tagStart).contains(QLatin1String("xmlns=\"http://www.w3.org/1999/xhtml\""))
                    || s.midRef(tagStart, i - tagStart)
                           .contains(QLatin1String("xmlns='http://www.w3.org/1999/xhtml'")))))
            return false;
        sawRoot = true;
        if (!selfClosing) {
            open.append(name);
            if (kUndrawnElements.contains(name))
                ++undrawn;
        }
        return true;
    }

    bool endTag()
    {
        i += 2;
        if (!xml && (i >= n || !isAsciiLetter(s.at(i)))) {
            if (i >= n) {
                keep(QLatin1Char('<'));
                keep(QLatin1Char('/'));
                return true;
            }
            skipPast(QStringLiteral(">")); // "</>" or a bogus comment
            return true;
        }
        const QString name = readName();
        bool selfClosing = false;
        if (!attributes(&selfClosing))
            return xml ? false : (i = n, true);
        if (!xml)
            return true;
        if (open.isEmpty() || open.last() != name)
            return false;
        open.removeLast();
        if (kUndrawnElements.contains(name))
            --undrawn;
        return true;
    }

    bool reference()
    {
        const int start = i + 1;
        if (start < n && s.at(start) == QLatin1Char('#'))
            return numericReference(start + 1);
        int end = start;
        while (end < n && isAsciiAlphanumeric(s.at(end)))
            ++end;
        const QString name = s.mid(start, end - start);
        const bool terminated = end < n && s.at(end) == QLatin1Char(';');
        if (xml) {
            if (!terminated || name.isEmpty())
                return false;
            static const QStringList predefined { QStringLiteral("amp"), QStringLiteral("lt"), QStringLiteral("gt"),
                QStringLiteral("quot"), QStringLiteral("apos") };
            static const QString predefinedCharacters = QStringLiteral("&<>\"'");
            const int k = predefined.indexOf(name);
            const std::optional<char16_t> named = namedCharacter(name);
            if (k < 0 && (!htmlNames || !named))
                return false;
            keep(k >= 0 ? predefinedCharacters.at(k) : QChar(*named));
            i = end + 1;
            return true;
        }
        if (name.isEmpty()) {
            keep(QLatin1Char('&'));
            ++i;
            return true;
        }
        if (terminated) {
            const std::optional<char16_t> named
                = name == QLatin1String("apos") ? std::optional<char16_t>(u'\'') : namedCharacter(name);
            if (!named)
                return false; // a name of the newer list, or one read by its beginning
            keep(QChar(*named));
            i = end + 1;
            return true;
        }
        // Without ";" HTML still reads some names at the start of the run.
        static const QStringList upperCaseNames { QStringLiteral("AMP"), QStringLiteral("LT"), QStringLiteral("GT"),
            QStringLiteral("QUOT"), QStringLiteral("COPY"), QStringLiteral("REG") };
        for (int length = 2; length <= name.size(); ++length) {
            const QString prefix = name.left(length);
            if (namedCharacter(prefix) || upperCaseNames.contains(prefix))
                return false;
        }
        keep(QLatin1Char('&'));
        ++i;
        return true;
    }

    bool numericReference(int at)
    {
        const bool hex = at < n && (s.at(at) == QLatin1Char('x') || s.at(at) == QLatin1Char('X'));
        const int digitsStart = hex ? at + 1 : at;
        int end = digitsStart;
        while (end < n && end - digitsStart < 8
            && (hex ? isAsciiAlphanumeric(s.at(end)) && s.at(end).toLower() <= QLatin1Char('f')
                    : s.at(end).isDigit() && s.at(end).unicode() < 0x80))
            ++end;
        if (end == digitsStart) {
            if (xml)
                return false;
            keep(QLatin1Char('&')); // "&#" with no digits is text
            ++i;
            return true;
        }
        if (end >= n || s.at(end) != QLatin1Char(';'))
            return false;
        bool ok = false;
        const char32_t c = s.midRef(digitsStart, end - digitsStart).toUInt(&ok, hex ? 16 : 10);
        if (!ok || (xml ? !isXmlCharacter(c) : isAlteredHtmlCodePoint(c)))
            return false;
        keepCodePoint(c);
        i = end + 1;
        return true;
    }

    const QString& s;
    const int n;
    const bool xml;
    int i = 0;
    QString out;
    int undrawn = 0; // depth of elements whose content is not drawn
    QStringList open; // XML elements not yet closed
    bool sawRoot = false;
    bool htmlNames = false; // the XML document's type lets the parser decode HTML names
    QSet<QString> prefixes; // namespace prefixes declared so far
};

} // namespace

std::optional<QString> lf::MarkupText::of(const QByteArray& markup, Syntax syntax)
{
    const std::optional<QString> source = decode(markup, syntax);
    if (!source)
        return std::nullopt;
    return MarkupScanner(*source, syntax).run();
}

std::optional<lf::MarkupText::Syntax> lf::MarkupText::syntaxOfFile(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("html") || suffix == QLatin1String("htm"))
        return Syntax::Html;
    if (suffix == QLatin1String("xhtml") || suffix == QLatin1String("xht"))
        return Syntax::Xml;
    return std::nullopt;
}

std::optional<lf::MarkupText::Syntax> lf::MarkupText::syntaxOfDocument(const QString& path, const QString& mediaType)
{
    if (mediaType.isEmpty())
        return syntaxOfFile(path);
    if (mediaType.compare(QLatin1String("application/xhtml+xml"), Qt::CaseInsensitive) == 0)
        return Syntax::Xml;
    if (mediaType.compare(QLatin1String("text/html"), Qt::CaseInsensitive) == 0)
        return Syntax::Html;
    return std::nullopt;
}

MarkupScreen::MarkupScreen(const QString& term)
{
    // The engine's text holds an object replacement character where a picture
    // is: the markup has a tag there, so the words either side are looked for
    // on their own.
    static const QRegularExpression space(QStringLiteral("[\\s\\x{FFFC}]+"));
    for (const QString& word : term.split(space, Qt::SkipEmptyParts))
        m_words.push_back(std::make_unique<TextFinder>(word));
    m_never = term.isEmpty();
}

MarkupScreen::~MarkupScreen() = default;

bool MarkupScreen::mayFindInFile(const QString& path, const QString& mediaType)
{
    if (m_never)
        return false;
    const std::optional<lf::MarkupText::Syntax> syntax = lf::MarkupText::syntaxOfDocument(path, mediaType);
    QFile file(path);
    if (!syntax || m_words.empty() || !file.open(QIODevice::ReadOnly) || file.size() > kMaxMarkupSize)
        return true;
    return mayFindIn(file.readAll(), *syntax);
}

bool MarkupScreen::mayFindIn(const QByteArray& markup, lf::MarkupText::Syntax syntax)
{
    if (m_never)
        return false;
    const std::optional<QString> text = lf::MarkupText::of(markup, syntax);
    if (!text)
        return true;
    for (const std::unique_ptr<TextFinder>& word : m_words) {
        if (word->usable() && !word->occursIn(*text))
            return false;
    }
    return true;
}
