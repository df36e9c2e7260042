#pragma once

#include <QString>

// Books for the reader window tests, in the data directory as the library
// keeps them.
namespace lf::test {

// Extracts the corpus book `file` into the data directory once; returns the
// book's name.
QString installCorpusBook(const QString& file);
// Stores `current` as the page the reader reached in book `name`.
bool writeProgress(const QString& name, int current);

} // namespace lf::test
