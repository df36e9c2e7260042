#pragma once

#include <QByteArray>

// Book style sheets as the engine is given them. The engine knows several
// EPUB properties only under its own prefix, so "-epub-" declarations are
// renamed to what it takes; and a query on a book-internal url() names the
// same file, so it is dropped: the engine loads a font named by many rules,
// each with a query of its own, once.
namespace lf::BookStyleRewrite {

// A style sheet's bytes (any ASCII-compatible encoding).
QByteArray styleSheet(const QByteArray& css);

// A document's bytes with the contents of its <style> elements rewritten
// as styleSheet() does, and, when its text holds Arabic-script letters (in
// UTF-8), a style element of ours first in its head that puts it on the
// engine's complex text path, the one path that breaks Arabic lines; anything
// else is left byte for byte.
QByteArray document(const QByteArray& markup);

// The style that puts a document on the complex text path.
extern const char* const kComplexTextPathStyle;

} // namespace lf::BookStyleRewrite
