#pragma once

#include "base/datadirectory.h"

#include <QString>

// A private folder in the data directory that one import extracts into. The
// book's own folder is replaced only once the new content is complete and
// parses: swapInto() moves the old folder aside, moves the new content in and
// then removes the old one. A staging folder that is neither swapped in nor
// kept is removed with this object. GUI thread; owned by the BookImporter.
class BookStaging
{
public:
    BookStaging() = default;
    ~BookStaging();
    BookStaging(const BookStaging&) = delete;
    BookStaging& operator=(const BookStaging&) = delete;

    // Creates the folder; false when the data directory cannot take it.
    bool create();
    // Where the archive is extracted, with a trailing "/".
    QString contentDir() const;
    // Makes the extracted content the folder of `bookName`, replacing any
    // folder of that name. On failure the old folder stays as it was.
    bool swapInto(const QString& bookName);
    // Removes the staging folder with everything in it.
    void discard();

    // Staging folders left by a program that was killed mid-import are
    // removed; a book folder that a swap had already moved aside is put back.
    // `dataDirectory` (with a trailing "/") is the data directory or, before
    // an old library is moved over, the old one.
    static void cleanUpLeftovers(const QString& dataDirectory = lf::dataDirectory());

private:
    QString m_path; // with a trailing "/"; empty once discarded
};
