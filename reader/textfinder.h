#pragma once

#include <QString>

struct UCollator;
struct UStringSearch;

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
    bool findsIn(const QString& text) const;

    // What the engine's find does to quote marks and soft hyphens of term and text alike.
    static QString foldQuotesAndSoftHyphens(const QString& text);

private:
    bool isRefusedKanaMatch(const QString& text, int start, int length) const;

    QString m_term; // folded
    bool m_emptyTerm = false;
    bool m_termHasKana = false;
    UCollator* m_collator = nullptr;
    UStringSearch* m_search = nullptr;
};
