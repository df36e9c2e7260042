#pragma once

#include <QString>

// Paths inside an extracted book folder, as the book's own documents name
// them. A book is untrusted input: every path it supplies goes through here
// before anything is opened, and whatever would leave the book folder is
// refused.
namespace lf::BookHref {

// Resolves `href`, a URL reference as a book writes it (percent-encoded,
// possibly with a query or a fragment), against `baseDocument`, the
// book-relative path of the document it appears in. Returns the book-relative
// path of the file it names: fragment and query dropped, percent-decoded,
// "." and ".." resolved. A reference that is only a fragment names the base
// document itself. Empty when the reference leaves the book: an absolute path,
// a drive letter, a scheme ("http:", "file:"), or climbing above the top.
QString resolve(const QString& baseDocument, const QString& href);

// The folder part of a book-relative path, with a trailing "/", or empty.
QString folderOf(const QString& path);

// The file `bookPath` (a book-relative path as resolve() gives it, never a
// raw href) below the folder `bookDir`: the very string that is opened, or
// empty when that path would leave the folder. Nothing is cut or decoded
// here, so what was checked is what the file system sees.
QString filePath(const QString& bookDir, const QString& bookPath);

} // namespace lf::BookHref
