#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

class TextFinder;

// The text a document's own markup holds, for a first search before the
// engine has given the document's text: tags, comments and the content of
// script and style elements removed, joined without spaces; character and
// entity references decoded. Whatever the engine shows of the document is in
// it, so a word missing from it is missing from the page. A document whose
// page may show what its markup's text does not hold has no answer: parser
// error pages (malformed XML, entities the parser does not know), form
// controls, frames and objects, raw text the page shows as written, an
// encoding that is not declared or not known.
namespace lf::MarkupText {

enum class Syntax { Html, Xml };

std::optional<QString> of(const QByteArray& markup, Syntax syntax);
// The syntax the engine parses a local file with, from its name; none for a
// name it may not read as a document.
std::optional<Syntax> syntaxOfFile(const QString& path);
// The syntax a book document is parsed with: its manifest media type decides,
// its name only when the manifest gives none; none for other types.
std::optional<Syntax> syntaxOfDocument(const QString& path, const QString& mediaType);

} // namespace lf::MarkupText

// Tells, from a document's markup, whether the engine's find can find a term
// in that document at all: only when each word of the term occurs in the
// markup's text, compared as the engine compares. Not copyable; GUI thread.
class MarkupScreen
{
public:
    explicit MarkupScreen(const QString& term);
    ~MarkupScreen();
    MarkupScreen(const MarkupScreen&) = delete;
    MarkupScreen& operator=(const MarkupScreen&) = delete;

    // False only when the engine cannot find the term in the document.
    // `mediaType` is the document's manifest type, empty when it has none.
    bool mayFindInFile(const QString& path, const QString& mediaType = QString());
    bool mayFindIn(const QByteArray& markup, lf::MarkupText::Syntax syntax);

private:
    bool m_never = false; // the engine finds an empty term nowhere
    std::vector<std::unique_ptr<TextFinder>> m_words;
};
