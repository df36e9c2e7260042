#pragma once

#include <QByteArray>
#include <QString>

// The plain-text side of the book search. The web engine decides whether a
// document contains a term, but asking it means loading the document; these
// helpers give a cheap answer that may say "maybe" too often and never says
// "no" where the engine would say "yes". Both the document text and the term
// are folded the same way, dropping everything the engine's case-, accent- and
// width-blind matching may overlook, so any match the engine finds is also a
// match of the folded strings.
namespace lf::SearchText {

// Compatibility-decomposed, accents and other marks dropped, case folded,
// katakana as hiragana, a few letters spelt out (ß as ss, æ as ae), and only
// letters and digits kept: no spaces, punctuation or symbols.
QString fold(const QString& text);

struct DocumentText
{
    QString folded; // fold() of the document's text, script and style left out
    // False when the text may miss something the engine shows: the document is
    // not well-formed, uses an entity or encoding not understood here, hides
    // content by its own style, or is of a type the engine decides itself.
    bool complete = false;
};

// The text of one book document, parsed as XML when `fileName` ends in an XML
// suffix (as the engine does) and as tag soup when it ends in .html or .htm.
DocumentText extract(const QByteArray& bytes, const QString& fileName);

} // namespace lf::SearchText
