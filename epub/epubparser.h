#pragma once

#include "epubdata.h"

#include <QString>

#include <memory>

class QXmlStreamAttributes;
class QXmlStreamReader;

// Reads an extracted book folder into an EpubData: the mimetype file, the
// container, the package document and one navigation document (the NCX for
// EPUB 2, the XHTML navigation document for EPUB 3). Local files only,
// synchronous, on the caller's thread. Failures leave fields empty.
class EpubParser
{
public:
    // Items a book may have. A book with more spine or manifest items is
    // refused: the reader keeps a tile and state for every spine document.
    // Contents and page lists are cut at theirs. Real books stay far below.
    static constexpr int kMaxSpineItems = 10000;
    static constexpr int kMaxManifestItems = 30000;
    static constexpr int kMaxNavEntries = 30000;
    // A font obfuscation list takes a few hundred bytes per font; books that
    // obfuscate their fonts list a handful to a few dozen. A larger list is
    // not read at all.
    static constexpr int kMaxEncryptionBytes = 1 << 20;

    // Why parseBook() gave no model.
    enum class Refusal { None, NotEpub, PackageOutside, TooManyItems };

    // None when the mimetype test fails, the package path leaves the folder
    // or the package holds more items than a book may have; `refusal` then
    // tells which.
    static std::unique_ptr<EpubData> parseBook(const QString& bookDir, Refusal* refusal = nullptr);
    static bool checkMimetype(const QString& bookDir);
    // full-path of the first package rootfile in the container; empty when none.
    static QString readPackagePath(const QString& bookDir);
    // The package document's metadata alone, read no further than its end:
    // what the library needs of a book it shows. Empty when there is none.
    static EpubMetadata readMetadata(const QString& bookDir);
    // False when the package document cannot be opened.
    static bool parsePackage(const QString& bookDir, EpubData& book);
    static void parseNcx(const QString& bookDir, EpubData& book);
    // False when the navigation document cannot be opened.
    static bool parseNavDocument(const QString& bookDir, EpubData& book);

private:
    static void parseMetadata(QXmlStreamReader& reader, EpubData& book);
    static void parseIdentifier(QXmlStreamReader& reader, EpubData& book);
    static void parseRenditionMeta(QXmlStreamReader& reader, EpubData& book);
    static void parseManifest(QXmlStreamReader& reader, EpubData& book);
    static void parseSpine(QXmlStreamReader& reader, EpubData& book);
    static SpineItemProperties spineItemProperties(const QXmlStreamAttributes& attributes);
    static void parseNavPoint(QXmlStreamReader& reader, EpubData& book);
    static NavEntry navAnchor(QXmlStreamReader& reader);
    static void parseNavAnchors(QXmlStreamReader& reader, QList<NavEntry>& entries);
    static void parseEncryption(const QString& bookDir, EpubData& book);
    static bool hasTooManyItems(const EpubData& book);
    static void parseGuide(QXmlStreamReader& reader, EpubData& book);
    static void locateCover(const QString& bookDir, EpubData& book);
    static void locateNavDocument(EpubData& book);
};
