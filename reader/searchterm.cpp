#include "reader/searchtext.h"

#include <QLocale>
#include <QPair>
#include <QRegularExpression>
#include <QSet>
#include <QVector>

#include <algorithm>

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
    case 0x00F0:
        return QStringLiteral("d"); // ð
    case 0x05DA: // Hebrew final letters as their usual forms
    case 0x05DD:
    case 0x05DF:
    case 0x05E3:
    case 0x05E5:
        return QString(QChar(static_cast<char16_t>(letter + 1)));
    case 0xA733:
        return QStringLiteral("aa"); // ꜳ
    case 0xA735:
        return QStringLiteral("ao"); // ꜵ
    case 0xA74F:
        return QStringLiteral("oo"); // ꝏ
    case 0x0238:
        return QStringLiteral("db"); // ȸ
    case 0x02A3:
        return QStringLiteral("dz"); // ʣ
    case 0x02A6:
    case 0x01BE:
        return QStringLiteral("ts"); // ʦ, ƾ
    case 0x3007:
        return QStringLiteral("0"); // ideographic zero
    case 0x0491:
        return QStringLiteral("\u0433"); // Ukrainian ґ as г
    case 0x0629:
        return QStringLiteral("\u0647"); // teh marbuta as heh
    case 0x03D7:
        return QStringLiteral("\u03ba\u03b1\u03b9"); // ϗ
    case 0x05F0:
        return QStringLiteral("\u05d5\u05d5"); // Yiddish double vav
    case 0x05F1:
        return QStringLiteral("\u05d5\u05d9");
    case 0x05F2:
        return QStringLiteral("\u05d9\u05d9");
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

// Signs within the checked scripts that the engine takes for letters.
bool isInexactSign(uint code)
{
    static const QSet<uint> signs { 0x0674, 0x06E5, 0x06E6, 0x06FD, 0x06FE, 0x0D4E };
    return signs.contains(code);
}

// Letters and numbers whose folding is known to agree with the engine's
// case- and accent-blind comparison: the scripts of most books, checked
// against the engine. Elsewhere the engine takes for equal letters that
// folding keeps apart (historic and insular letters, number signs).
bool foldIsExact(uint code)
{
    static const QVector<QPair<uint, uint>> exactRanges { { 0x0000, 0x02AF }, // Latin, IPA
        { 0x0370, 0x03FF }, // Greek
        { 0x0400, 0x04FF }, // Cyrillic
        { 0x0590, 0x05FF }, // Hebrew
        { 0x0600, 0x06FF }, // Arabic
        { 0x0900, 0x0DFF }, // Indic scripts
        { 0x0E00, 0x0E7F }, // Thai
        { 0x1100, 0x11FF }, // Hangul letters
        { 0x1E00, 0x1FFF }, // Latin and Greek with accents
        { 0x3040, 0x30FF }, // kana
        { 0x3130, 0x318F }, // Hangul compatibility letters
        { 0x31F0, 0x31FF }, // small katakana
        { 0x3400, 0x4DBF }, // CJK
        { 0x4E00, 0x9FFF }, // CJK
        { 0xAC00, 0xD7A3 }, // Hangul syllables
        { 0xF900, 0xFAFF }, // CJK compatibility
        { 0xFB00, 0xFDFF }, // presentation forms
        { 0xFE70, 0xFEFF }, // Arabic presentation forms
        { 0xFF00, 0xFFEF } }; // full and half width
    const QChar::Category category = QChar::category(code);
    if (category == QChar::Number_Letter || category == QChar::Number_Other)
        return false; // unless a digit, which is folded to its value
    return std::any_of(exactRanges.begin(), exactRanges.end(),
        [code](const QPair<uint, uint>& range) { return code >= range.first && code <= range.second; });
}

void appendFolded(QString& out, uint code, bool& exact)
{
    // Symbols and signs the engine may take for letters or digits (circled,
    // squared, letter-like, radicals), which folding would drop; so may
    // characters newer than this program's character tables.
    if ((code >= 0x2100 && code <= 0x214F) || (code >= 0x2460 && code <= 0x24FF) || (code >= 0x2776 && code <= 0x2793)
        || (code >= 0x2E80 && code <= 0x2EFF) || (code >= 0x1F100 && code <= 0x1F1FF)
        || QChar::category(code) == QChar::Other_NotAssigned || isInexactSign(code))
        exact = false;
    if (!isKept(code))
        return;
    // Digits of every script and style compare as the digits they stand for.
    if (QChar::digitValue(code) >= 0) {
        out += QChar(u'0' + QChar::digitValue(code));
        return;
    }
    if (!foldIsExact(code))
        exact = false;
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

// Characters a match must not start or end next to: marks and joiners, and
// letters that a collation reads together with their neighbours (Thai and Lao
// vowels written first, conjoining Hangul letters, the Japanese length and
// iteration marks).
bool joinsNeighbours(uint code)
{
    switch (QChar::category(code)) {
    case QChar::Mark_NonSpacing:
    case QChar::Mark_SpacingCombining:
    case QChar::Mark_Enclosing:
    case QChar::Other_Format:
    case QChar::Symbol_Modifier:
    case QChar::Other_NotAssigned: // newer than our tables: may be a mark to the engine
        return true;
    default:
        break;
    }
    // Letters and signs written before the letter they join (prepended
    // concatenation), and the half-width sound marks that join the kana before.
    if (code == 0x0D4E || code == 0x111C2 || code == 0x111C3 || code == 0x1193F || code == 0x11941 || code == 0x11A3A
        || (code >= 0x11A84 && code <= 0x11A89) || code == 0x11D46 || code == 0xFF9E || code == 0xFF9F)
        return true;
    // Regional indicators pair into flags.
    if (code >= 0x1F1E6 && code <= 0x1F1FF)
        return true;
    return (code >= 0x0E00 && code <= 0x0EFF) || (code >= 0x1100 && code <= 0x11FF)
        || (code >= 0xA960 && code <= 0xA97F) || (code >= 0xD7B0 && code <= 0xD7FF)
        || (code >= 0xAA80 && code <= 0xAADF) || (code >= 0x19B0 && code <= 0x19DF) || code == 0x30FC || code == 0xFF70
        || code == 0x309D || code == 0x309E || code == 0x30FD || code == 0x30FE;
}

uint codePointAt(const QString& text, int at)
{
    if (QChar::isHighSurrogate(text.at(at).unicode()) && at + 1 < text.size() && text.at(at + 1).isLowSurrogate())
        return QChar::surrogateToUcs4(text.at(at), text.at(at + 1));
    return text.at(at).unicode();
}

uint codePointBefore(const QString& text, int at)
{
    if (at >= 2 && text.at(at - 1).isLowSurrogate() && text.at(at - 2).isHighSurrogate())
        return QChar::surrogateToUcs4(text.at(at - 2), text.at(at - 1));
    return text.at(at - 1).unicode();
}

} // namespace

QString lf::SearchText::fold(const QString& text, bool* exact)
{
    // The Greek iota subscript written apart is an iota to the engine; decomposed it would be a mark.
    const QString decomposed
        = QString(text).replace(QChar(0x037A), QChar(0x03B9)).normalized(QString::NormalizationForm_KD);
    bool allExact = true;
    QString folded;
    folded.reserve(decomposed.size());
    const int size = decomposed.size();
    for (int i = 0; i < size; ++i) {
        uint code = decomposed.at(i).unicode();
        if (QChar::isHighSurrogate(code) && i + 1 < size && decomposed.at(i + 1).isLowSurrogate()) {
            code = QChar::surrogateToUcs4(decomposed.at(i), decomposed.at(i + 1));
            ++i;
        }
        appendFolded(folded, code, allExact);
    }
    if (exact)
        *exact = allExact;
    return folded;
}

QString lf::SearchText::foldCase(const QString& text)
{
    QString folded;
    folded.reserve(text.size());
    for (int i = 0; i < text.size(); ++i) {
        // A combining mark stays as it is (the iota subscript would fold to a letter).
        const uint original = codePointAt(text, i);
        const QChar::Category category = QChar::category(original);
        const bool mark = category == QChar::Mark_NonSpacing || category == QChar::Mark_SpacingCombining
            || category == QChar::Mark_Enclosing;
        const uint code = mark ? original : QChar::toCaseFolded(original);
        if (QChar::requiresSurrogates(code)) {
            folded += QChar(QChar::highSurrogate(code));
            folded += QChar(QChar::lowSurrogate(code));
            ++i;
        } else {
            folded += QChar(static_cast<char16_t>(code));
        }
    }
    return folded;
}

namespace {

// Languages whose collation reads some letter pairs as one letter.
bool joinsLetterPairs(QLocale::Language language)
{
    switch (language) {
    case QLocale::Albanian:
    case QLocale::Bosnian:
    case QLocale::Breton:
    case QLocale::Croatian:
    case QLocale::Czech:
    case QLocale::Hausa:
    case QLocale::Igbo:
    case QLocale::Lingala:
    case QLocale::Maltese:
    case QLocale::Serbian:
    case QLocale::Slovak:
    case QLocale::Spanish:
    case QLocale::Vietnamese:
    case QLocale::Welsh:
    case QLocale::Yoruba:
        return true;
    default:
        return false;
    }
}

// Languages whose collation also takes for equal letters that the folded text
// keeps apart (Danish "aa" and "å", Finnish "v" and "w", Hungarian "ccs" and "cscs").
bool mergesLetters(QLocale::Language language)
{
    switch (language) {
    case QLocale::Danish:
    case QLocale::Estonian:
    case QLocale::Faroese:
    case QLocale::Finnish:
    case QLocale::Greenlandic:
    case QLocale::Hungarian:
    case QLocale::Icelandic:
    case QLocale::Latvian:
    case QLocale::Lithuanian:
    case QLocale::NorthernSami:
    case QLocale::NorwegianBokmal:
    case QLocale::NorwegianNynorsk:
    case QLocale::Swedish:
        return true;
    default:
        return false;
    }
}

} // namespace

lf::SearchText::Term::Term(const QString& typed)
{
    bool exact = true;
    folded = fold(typed, &exact);
    foldedRulesOut = exact;
    bool turkic = false; // "I" is the capital of "ı", not of "i"
    for (const QLocale& locale : { QLocale(), QLocale::system() }) {
        foldedRulesOut = foldedRulesOut && !mergesLetters(locale.language());
        wholeWordsOnly = wholeWordsOnly || joinsLetterPairs(locale.language()) || mergesLetters(locale.language());
        turkic = turkic || locale.language() == QLocale::Turkish || locale.language() == QLocale::Azerbaijani;
    }
    if (turkic && typed.contains(QRegularExpression(QStringLiteral("[iIı\u0130]"))))
        return;
    // Only a term that starts and ends with a whole character, holds a letter
    // or digit, and has no white space but single spaces between words can be
    // matched in the shown text as the engine would.
    if (typed.isEmpty() || typed.front().isSpace() || typed.back().isSpace() || folded.isEmpty()
        || typed.contains(QLatin1String("  ")))
        return;
    for (int i = 0; i < typed.size(); ++i) {
        const uint code = codePointAt(typed, i);
        if (QChar::requiresSurrogates(code))
            ++i;
        const QChar::Category category = QChar::category(code);
        if (code == '\t' || code == '\n' || code == '\r' || category == QChar::Other_Format
            || category == QChar::Other_Control || category == QChar::Other_Surrogate)
            return;
    }
    if (joinsNeighbours(codePointAt(typed, 0)) || joinsNeighbours(codePointBefore(typed, typed.size())))
        return;
    shown = foldCase(typed);
}

bool lf::SearchText::certainlyShows(const QString& shown, const Term& term)
{
    if (term.shown.isEmpty())
        return false;
    auto separates = [&term](uint neighbour) {
        return !joinsNeighbours(neighbour) && !(term.wholeWordsOnly && QChar::isLetterOrNumber(neighbour));
    };
    for (int at = shown.indexOf(term.shown); at >= 0; at = shown.indexOf(term.shown, at + 1)) {
        const int end = at + term.shown.size();
        if ((at == 0 || separates(codePointBefore(shown, at)))
            && (end == shown.size() || separates(codePointAt(shown, end))))
            return true;
    }
    return false;
}
