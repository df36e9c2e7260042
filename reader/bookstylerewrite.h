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
// as styleSheet() does, and, when it is UTF-8 text holding Arabic-script
// letters, its text marked as RightToLeftRuns::document() does; anything else
// is left byte for byte.
QByteArray document(const QByteArray& markup);

} // namespace lf::BookStyleRewrite
