#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

// The plain-text side of the book search. The web engine decides whether a
// document contains a term, but asking it means loading the document; these
// helpers answer cheaply "certainly not", "certainly" or "ask the engine".
//
// "Certainly not" comes from the folded text: the document's text and the term
// folded the same way, dropping everything the engine's case-, accent- and
// width-blind matching may overlook, so any match the engine finds is also a
// match of the folded strings.
//
// "Certainly" comes from the shown text: the text of the document's body that
// the engine certainly shows, letter case folded, broken at every element
// boundary and wherever the engine may show something else. A match of the
// term as typed, whole characters at both ends, is a match the engine finds.
namespace lf::SearchText {

// Compatibility-decomposed, accents and other marks dropped, case folded,
// katakana as hiragana, a few letters spelt out (ß as ss, æ as ae), and only
// letters and digits kept: no spaces, punctuation or symbols.
// `exact`, when given, tells whether every letter and number kept is one whose
// folding is known to agree with the engine; elsewhere the engine may take for
// equal what the folded text keeps apart.
QString fold(const QString& text, bool* exact = nullptr);

// Simple case folding of each character, nothing else.
QString foldCase(const QString& text);

// Marks a break in the shown text; never part of a usable term.
constexpr char16_t kBreak = u'\n';

struct DocumentText
{
    QString folded; // fold() of the document's text, script and style left out
    // False when the text may miss something the engine shows: the document is
    // not well-formed, uses an entity or encoding not understood here, may hide
    // content by its style, embeds other documents, or is of a type the engine
    // decides itself.
    bool complete = false;
    // The body's text the engine certainly shows, as foldCase() gives it, with
    // kBreak at every element boundary, for content that may be hidden or
    // shown otherwise, and for any white space but a single space. Empty when
    // the document's text cannot be judged (not XHTML, not well-formed, style
    // sheets that cannot be read).
    QString shown;
};

// Reads a file of the book by its book-relative path; none when it cannot be read.
using BookFileReader = std::function<std::optional<QByteArray>(const QString& path)>;

// The text of one book document at book-relative `path`, parsed as XML when
// the name ends in an XML suffix (as the engine does) and as tag soup when it
// ends in .html or .htm. Style sheets the document links or imports are read
// through `readFile`; without one, a document that links any has no shown text.
DocumentText extract(const QByteArray& bytes, const QString& path, const BookFileReader& readFile = {});

// A search term prepared once for every document.
struct Term
{
    explicit Term(const QString& typed);

    QString folded; // fold() of the term
    QString shown; // foldCase() of the term; empty when it cannot be trusted in shown text
    // The engine compares by the collation of the system's language. Some
    // read letter pairs as one letter ("aa" in Danish, "ch" in Czech): a match
    // in the shown text is then trusted only as whole words. Some also take
    // for equal what the folded text keeps apart ("aa" and "å"): then the
    // folded text cannot rule a document out.
    bool wholeWordsOnly = false;
    bool foldedRulesOut = true;
};

// True when the engine certainly finds `term` in a document with this shown text.
bool certainlyShows(const QString& shown, const Term& term);

} // namespace lf::SearchText
