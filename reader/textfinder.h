#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

struct UCollationElements;
struct UCollator;
struct UStringSearch;

// A quick screen before the string search: a text can hold a match of the
// term only if, for each of the term's primary collation weights, it holds a
// character whose collation elements carry that weight. Most texts of a rare
// term fail it in a scan of their characters, without the string search
// walking their collation elements. Characters the collation reads together
// with their neighbours (contractions, prefixes) and those outside the basic
// plane pass for any weight.
class PrimaryWeightScreen
{
public:
    PrimaryWeightScreen() = default;
    PrimaryWeightScreen(const PrimaryWeightScreen&) = delete;
    PrimaryWeightScreen& operator=(const PrimaryWeightScreen&) = delete;
    ~PrimaryWeightScreen();

    // Takes the weights of `term` under `collator`, which must outlive the screen.
    void setUp(UCollator* collator, const QString& term);
    bool mayHold(const QString& text);
    bool mayHoldUtf8(const QByteArray& text);

private:
    std::uint8_t maskOf(char32_t c);
    std::uint8_t computeMask(char16_t c);
    std::uint8_t maskOfString(const char16_t* text, int length);

    UCollator* m_collator = nullptr;
    UCollationElements* m_elements = nullptr;
    std::vector<std::uint32_t> m_weights; // primary weights of the term, at most 8
    std::uint8_t m_all = 0; // one bit a weight
    // A bit per weight for each character of the basic plane; bit 0x100 once known.
    std::vector<std::uint16_t> m_masks;
    std::uint8_t m_asciiMasks[0x80] = {};
};

// Answers, from a document's plain text as the web engine gives it, whether
// the engine's find (no options: case-insensitive, first occurrence) finds a
// term in that document. The engine's find is an ICU string search; this one
// is set up the same way: the system locale's search collation at secondary
// strength with the pattern's base weights as wildcards, curly quotes and
// Hebrew geresh and gershayim read as ASCII quotes, soft hyphens ignored, and
// a match refused when its kana differ from the term's in small or voiced form.
// Not copyable; GUI thread.
class TextFinder
{
public:
    explicit TextFinder(const QString& term);
    ~TextFinder();
    TextFinder(const TextFinder&) = delete;
    TextFinder& operator=(const TextFinder&) = delete;

    // False when only the engine can answer: the term has white space at its
    // ends or white space other than a plain space, or the collator could not
    // be opened.
    bool usable() const { return m_search != nullptr || m_emptyTerm; }
    // Whether the engine finds the term in a document whose plain text is `text`.
    bool findsIn(const QString& text);
    bool findsInUtf8(const QByteArray& text);
    // Whether the term, or a match the engine would refuse for its kana, is
    // anywhere in `text`: a wider answer than findsIn(), for text that holds
    // more than the engine shows.
    bool occursIn(const QString& text);

    // What the engine's find does to quote marks and soft hyphens of term and text alike.
    static QString foldQuotesAndSoftHyphens(const QString& text);

private:
    bool search(const QString& folded, bool refuseKana);
    bool isRefusedKanaMatch(const QString& text, int start, int length) const;

    QString m_term; // folded
    bool m_emptyTerm = false;
    bool m_termHasKana = false;
    UCollator* m_collator = nullptr;
    UStringSearch* m_search = nullptr;
    PrimaryWeightScreen m_screen;
};
