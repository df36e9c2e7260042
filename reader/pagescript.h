#pragma once

#include <QString>

namespace lf {

inline const QString kHighlighterScriptResource = QStringLiteral(":/jquery/javascript/TextHighlighter.js");
inline const QString kDomAdditionsScriptResource = QStringLiteral(":/jquery/javascript/domadditions.js");
inline const QString kPageStyleSheetUrl = QStringLiteral("qrc:/jquery/javascript/webview.css");

// Texts of the scripts that the reader runs in its pages, read from the
// resources. Call after the resources are registered.
class PageScript
{
public:
    // The highlighter script, read once per process; empty when the resource is missing.
    static const QString& highlighter();
    // Defines navigator.epubReadingSystem, what a book's scripts may ask of
    // the program reading them: its name and version, how it lays pages out
    // and which features it has. A frozen plain object, with no way further in.
    static const QString& readingSystem();
    // Defines the DOM functions book scripts use that the engine lacks.
    static const QString& domAdditions();
    // The UTF-8 text of a resource file, or an empty string.
    static QString load(const QString& resourcePath);
};

} // namespace lf
