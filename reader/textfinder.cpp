#include "reader/textfinder.h"

#include <QLocale>

#include <algorithm>
#include <iterator>
#include <unicode/ucol.h>
#include <unicode/ucoleitr.h>
#include <unicode/usearch.h>
#include <unicode/uset.h>

namespace {

bool isKanaLetter(char16_t c)
{
    return (c >= 0x3041 && c <= 0x3096) || (c >= 0x30A1 && c <= 0x30FA) || (c >= 0x31F0 && c <= 0x31FF)
        || (c >= 0xFF66 && c <= 0xFF9D && c != 0xFF70);
}

// Small kana besides the blocks U+31F0..U+31FF and U+FF67..U+FF6F.
constexpr char16_t kSmallKana[] = { 0x3041, 0x3043, 0x3045, 0x3047, 0x3049, 0x3063, 0x3083, 0x3085, 0x3087, 0x308E,
    0x3095, 0x3096, 0x30A1, 0x30A3, 0x30A5, 0x30A7, 0x30A9, 0x30C3, 0x30E3, 0x30E5, 0x30E7, 0x30EE, 0x30F5, 0x30F6 };
// Kana with a voiced sound mark composed in.
constexpr char16_t kVoicedKana[] = { 0x304C, 0x304E, 0x3050, 0x3052, 0x3054, 0x3056, 0x3058, 0x305A, 0x305C, 0x305E,
    0x3060, 0x3062, 0x3065, 0x3067, 0x3069, 0x3070, 0x3073, 0x3076, 0x3079, 0x307C, 0x3094, 0x30AC, 0x30AE, 0x30B0,
    0x30B2, 0x30B4, 0x30B6, 0x30B8, 0x30BA, 0x30BC, 0x30BE, 0x30C0, 0x30C2, 0x30C5, 0x30C7, 0x30C9, 0x30D0, 0x30D3,
    0x30D6, 0x30D9, 0x30DC, 0x30F4, 0x30F7, 0x30F8, 0x30F9, 0x30FA };
// Kana with a semi-voiced sound mark composed in.
constexpr char16_t kSemiVoicedKana[]
    = { 0x3071, 0x3074, 0x3077, 0x307A, 0x307D, 0x30D1, 0x30D4, 0x30D7, 0x30DA, 0x30DD };

template <std::size_t N> bool listed(const char16_t (&table)[N], char16_t c)
{
    return std::find(std::begin(table), std::end(table), c) != std::end(table);
}

bool isSmallKanaLetter(char16_t c)
{
    return listed(kSmallKana, c) || (c >= 0x31F0 && c <= 0x31FF) || (c >= 0xFF67 && c <= 0xFF6F);
}

// 0 none, 1 voiced, 2 semi-voiced.
int composedVoicedMark(char16_t c)
{
    return listed(kVoicedKana, c) ? 1 : listed(kSemiVoicedKana, c) ? 2 : 0;
}

bool isCombiningVoicedMark(char16_t c)
{
    return c == 0x3099 || c == 0x309A;
}

bool containsKana(const QString& text)
{
    for (const QChar c : text) {
        if (isKanaLetter(c.unicode()))
            return true;
    }
    return false;
}

// Only the engine can tell how it matches white space at a term's ends, or
// white space other than a plain space.
bool hasAwkwardWhiteSpace(const QString& term)
{
    if (term.isEmpty())
        return false;
    if (term.front().isSpace() || term.back().isSpace())
        return true;
    for (const QChar c : term) {
        if (c.isSpace() && c != QLatin1Char(' '))
            return true;
    }
    return false;
}

const UChar* utf16(const QString& text)
{
    return reinterpret_cast<const UChar*>(text.utf16());
}

bool isFoldedMark(char16_t c)
{
    return c == 0x00AD || c == 0x05F3 || c == 0x05F4 || (c >= 0x2018 && c <= 0x2019) || (c >= 0x201C && c <= 0x201D);
}

// The character a folded mark reads as; 0 for one that is dropped.
char16_t foldedMark(char16_t c)
{
    switch (c) {
    case 0x00AD:
        return 0;
    case 0x05F3:
    case 0x2018:
    case 0x2019:
        return u'\'';
    case 0x05F4:
    case 0x201C:
    case 0x201D:
        return u'"';
    default:
        return c;
    }
}

constexpr std::size_t kMaxScreenWeights = 8;
constexpr std::uint16_t kMaskKnown = 0x100;
constexpr std::uint16_t kAnyWeight = 0xFF | kMaskKnown;

// The primary weight of each collation element of `elements`, as the search
// compares them; continuation halves of long weights count as weights too.
template <typename Visit> void forEachPrimary(UCollationElements* elements, Visit visit)
{
    UErrorCode status = U_ZERO_ERROR;
    for (int32_t ce = ucol_next(elements, &status); ce != UCOL_NULLORDER && U_SUCCESS(status);
         ce = ucol_next(elements, &status)) {
        const std::uint32_t primary = ucol_primaryOrder(ce);
        if (primary != 0)
            visit(primary);
    }
}

} // namespace

PrimaryWeightScreen::~PrimaryWeightScreen()
{
    if (m_elements)
        ucol_closeElements(m_elements);
}

void PrimaryWeightScreen::setUp(UCollator* collator, const QString& term)
{
    UErrorCode status = U_ZERO_ERROR;
    // Shifted punctuation is ignored at this strength: its weights are no evidence.
    if (ucol_getAttribute(collator, UCOL_ALTERNATE_HANDLING, &status) != UCOL_NON_IGNORABLE || U_FAILURE(status))
        return;
    m_elements = ucol_openElements(collator, utf16(term), term.size(), &status);
    if (U_FAILURE(status)) {
        m_elements = nullptr;
        return;
    }
    forEachPrimary(m_elements, [this](std::uint32_t primary) {
        if (m_weights.size() < kMaxScreenWeights
            && std::find(m_weights.begin(), m_weights.end(), primary) == m_weights.end())
            m_weights.push_back(primary);
    });
    if (m_weights.empty())
        return;
    m_collator = collator;
    m_all = std::uint8_t((1u << m_weights.size()) - 1);
    m_masks.assign(0x10000, 0);
    // Surrogates: characters outside the basic plane are not looked at.
    std::fill(m_masks.begin() + 0xD800, m_masks.begin() + 0xE000, kAnyWeight);
    // A character read together with others gets, beside its own weights, those of every
    // sequence it is part of.
    USet* contractions = uset_openEmpty();
    ucol_getContractionsAndExpansions(collator, contractions, nullptr, true, &status);
    UChar item[64];
    for (int32_t i = 0, n = uset_getItemCount(contractions); i < n && U_SUCCESS(status); ++i) {
        UChar32 start = 0;
        UChar32 end = 0;
        UErrorCode itemStatus = U_ZERO_ERROR;
        const int32_t length = uset_getItem(contractions, i, &start, &end, item, 64, &itemStatus);
        const std::uint8_t mask = U_SUCCESS(itemStatus) && length > 0 ? maskOfString(item, length) : m_all;
        for (int32_t k = 0; k < length && U_SUCCESS(itemStatus); ++k)
            m_masks[item[k]] = std::uint16_t(maskOf(item[k]) | mask | kMaskKnown);
        for (UChar32 c = start; length == 0 && c <= end && c < 0x10000; ++c)
            m_masks[c] = kAnyWeight;
    }
    uset_close(contractions);
    for (char16_t c = 0; c < 0x80; ++c)
        m_asciiMasks[c] = maskOf(c);
    if (U_FAILURE(status))
        m_collator = nullptr;
}

std::uint8_t PrimaryWeightScreen::maskOfString(const char16_t* text, int length)
{
    UErrorCode status = U_ZERO_ERROR;
    ucol_setText(m_elements, text, length, &status);
    if (U_FAILURE(status))
        return m_all;
    std::uint8_t mask = 0;
    forEachPrimary(m_elements, [this, &mask](std::uint32_t primary) {
        const auto at = std::find(m_weights.begin(), m_weights.end(), primary);
        if (at != m_weights.end())
            mask |= std::uint8_t(1u << (at - m_weights.begin()));
    });
    return mask;
}

std::uint8_t PrimaryWeightScreen::computeMask(char16_t c)
{
    const char16_t read = foldedMark(c);
    const std::uint8_t mask = read != 0 ? maskOfString(&read, 1) : 0;
    m_masks[c] = mask | kMaskKnown;
    return mask;
}

std::uint8_t PrimaryWeightScreen::maskOf(char32_t c)
{
    if (c >= 0x10000)
        return m_all;
    const std::uint16_t known = m_masks[c];
    return known ? std::uint8_t(known) : computeMask(char16_t(c));
}

bool PrimaryWeightScreen::mayHold(const QString& text)
{
    if (!m_collator)
        return true;
    std::uint8_t seen = 0;
    for (const QChar c : text) {
        seen |= c.unicode() < 0x80 ? m_asciiMasks[c.unicode()] : maskOf(c.unicode());
        if ((seen & m_all) == m_all)
            return true;
    }
    return false;
}

bool PrimaryWeightScreen::mayHoldUtf8(const QByteArray& text)
{
    if (!m_collator)
        return true;
    std::uint8_t seen = 0;
    const auto* p = reinterpret_cast<const unsigned char*>(text.constData());
    const auto* end = p + text.size();
    while (p < end) {
        // Runs of ASCII, the bulk of most texts, are looked up in a table of their own.
        for (const auto* runEnd = std::min(end, p + 64); p < runEnd && *p < 0x80; ++p)
            seen |= m_asciiMasks[*p];
        if ((seen & m_all) == m_all)
            return true;
        if (p == end || *p < 0x80)
            continue;
        const unsigned char lead = *p++;
        char32_t c = 0x10000; // outside the basic plane, or not UTF-8: any weight
        int more = 0;
        if (lead >= 0xE0 && lead < 0xF0)
            c = lead & 0x0F, more = 2;
        else if (lead >= 0xC0 && lead < 0xE0)
            c = lead & 0x1F, more = 1;
        for (; more > 0 && p < end && (*p & 0xC0) == 0x80; --more, ++p)
            c = (c << 6) | (*p & 0x3F);
        while (p < end && (*p & 0xC0) == 0x80) // the rest of a longer sequence
            ++p;
        seen |= more > 0 ? m_all : maskOf(c);
    }
    return (seen & m_all) == m_all;
}

QString TextFinder::foldQuotesAndSoftHyphens(const QString& text)
{
    // Most documents hold none of these marks: they are searched as they are.
    if (std::none_of(text.begin(), text.end(), [](QChar c) { return isFoldedMark(c.unicode()); }))
        return text;
    QString folded;
    folded.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case 0x05F4: // Hebrew gershayim
        case 0x201C:
        case 0x201D:
            folded += QLatin1Char('"');
            break;
        case 0x05F3: // Hebrew geresh
        case 0x2018:
        case 0x2019:
            folded += QLatin1Char('\'');
            break;
        case 0x00AD: // soft hyphen: present or not, the text reads the same
            break;
        default:
            folded += c;
        }
    }
    return folded;
}

TextFinder::TextFinder(const QString& term)
    : m_term(foldQuotesAndSoftHyphens(term))
{
    if (hasAwkwardWhiteSpace(term))
        return;
    if (m_term.isEmpty()) {
        m_emptyTerm = true; // the engine finds an empty term nowhere
        return;
    }
    m_termHasKana = containsKana(m_term);
    UErrorCode status = U_ZERO_ERROR;
    const QByteArray locale = QLocale::system().name().toLatin1() + "@collation=search";
    m_collator = ucol_open(locale.constData(), &status);
    if (U_FAILURE(status)) {
        m_collator = nullptr;
        return;
    }
    ucol_setStrength(m_collator, UCOL_SECONDARY);
    m_screen.setUp(m_collator, m_term);
    // Any non-empty text will do until a document's text is set.
    static const UChar kPlaceholder = u'\n';
    m_search = usearch_openFromCollator(utf16(m_term), m_term.size(), &kPlaceholder, 1, m_collator, nullptr, &status);
    if (U_FAILURE(status))
        m_search = nullptr;
}

TextFinder::~TextFinder()
{
    if (m_search)
        usearch_close(m_search);
    if (m_collator)
        ucol_close(m_collator);
}

bool TextFinder::findsIn(const QString& text)
{
    if (!m_search || !m_screen.mayHold(text))
        return false;
    return search(foldQuotesAndSoftHyphens(text), true);
}

bool TextFinder::findsInUtf8(const QByteArray& text)
{
    if (!m_search || !m_screen.mayHoldUtf8(text))
        return false;
    return search(foldQuotesAndSoftHyphens(QString::fromUtf8(text)), true);
}

bool TextFinder::occursIn(const QString& text)
{
    if (!m_search || !m_screen.mayHold(text))
        return false;
    return search(foldQuotesAndSoftHyphens(text), false);
}

bool TextFinder::search(const QString& folded, bool refuseKana)
{
    if (folded.isEmpty())
        return false;
    UErrorCode status = U_ZERO_ERROR;
    usearch_setText(m_search, utf16(folded), folded.size(), &status);
    // A reset clears the attributes, so the comparison is set after it.
    usearch_reset(m_search);
    usearch_setAttribute(m_search, USEARCH_ELEMENT_COMPARISON, USEARCH_PATTERN_BASE_WEIGHT_IS_WILDCARD, &status);
    if (U_FAILURE(status))
        return false;
    for (int start = usearch_first(m_search, &status); start != USEARCH_DONE && U_SUCCESS(status);
         start = usearch_next(m_search, &status)) {
        if (!refuseKana || !isRefusedKanaMatch(folded, start, usearch_getMatchedLength(m_search)))
            return true;
    }
    return false;
}

// The collation takes small and full-size kana, and kana with and without
// voicing marks, for equal; the engine's find does not.
bool TextFinder::isRefusedKanaMatch(const QString& text, int start, int length) const
{
    if (!m_termHasKana)
        return false;
    const QString a = m_term.normalized(QString::NormalizationForm_C);
    const QString b = text.mid(start, length).normalized(QString::NormalizationForm_C);
    int i = 0;
    int j = 0;
    while (true) {
        while (i < a.size() && !isKanaLetter(a.at(i).unicode()))
            ++i;
        while (j < b.size() && !isKanaLetter(b.at(j).unicode()))
            ++j;
        // Kana counts that differ are the collation's business, not a refusal.
        if (i == a.size() || j == b.size())
            return false;
        const char16_t x = a.at(i++).unicode();
        const char16_t y = b.at(j++).unicode();
        if (isSmallKanaLetter(x) != isSmallKanaLetter(y) || composedVoicedMark(x) != composedVoicedMark(y))
            return true;
        while (true) {
            const bool markA = i < a.size() && isCombiningVoicedMark(a.at(i).unicode());
            const bool markB = j < b.size() && isCombiningVoicedMark(b.at(j).unicode());
            if (!markA && !markB)
                break;
            if (markA != markB || a.at(i) != b.at(j))
                return true;
            ++i;
            ++j;
        }
    }
}
