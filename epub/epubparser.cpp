#include "epubparser.h"

#include "base/appconstants.h"
#include "base/relativepath.h"
#include "epub/bookhref.h"
#include "epub/fontobfuscation.h"

#include <QDebug>
#include <QFile>
#include <QRegularExpression>
#include <QXmlStreamReader>

#include <utility>

namespace {

const QString kPackageMediaType = QStringLiteral("application/oebps-package+xml");
const QString kNcxMediaType = QStringLiteral("application/x-dtbncx+xml");
// How much of the mimetype file and of the package document is read at most.
constexpr qint64 kMaxMimetypeBytes = 4096;
constexpr qint64 kMaxPackageDocumentBytes = qint64(16) << 20;
constexpr qint64 kMaxCoverPageBytes = qint64(1) << 20;

QString withSlash(const QString& bookDir)
{
    return bookDir.endsWith(QLatin1Char('/')) ? bookDir : bookDir + QLatin1Char('/');
}

// Opens a document of the book folder; a path naming a folder, or one that
// leaves the book folder, is refused.
bool openDocument(QFile& file, const QString& bookDir, const QString& relativePath)
{
    const QString path = lf::BookHref::filePath(bookDir, relativePath);
    if (path.isEmpty() || relativePath.endsWith(QLatin1Char('/')))
        return false;
    file.setFileName(path);
    return file.open(QIODevice::ReadOnly | QIODevice::Text);
}

// The book-relative path of the file a manifest href names, resolved and
// decoded as the reader resolves it: the path checked is the path opened, and
// a query or fragment is never left in it to be read as part of a folder
// name. The content folder alone when there is no href.
QString manifestItemPath(const EpubData& book, const QString& href)
{
    return href.isEmpty() ? book.contentDir : lf::BookHref::resolve(book.packagePath, href);
}

bool isVersion3(const EpubData& book)
{
    return book.version.startsWith(QLatin1Char('3'));
}

// Whitespace-separated word lists such as `properties` and `epub:type`.
bool hasWord(QStringView words, QLatin1String word)
{
    const auto parts = words.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (QStringView part : parts) {
        if (part.trimmed() == word)
            return true;
    }
    return false;
}

bool isEnd(const QXmlStreamReader& reader, QLatin1String name)
{
    return reader.isEndElement() && reader.name() == name;
}

bool isStart(const QXmlStreamReader& reader, QLatin1String name)
{
    return reader.isStartElement() && reader.name() == name;
}

// The text of an element, its child elements' text included (titles and
// labels are often styled with spans). An error gives an empty text and
// leaves the reader in its error state, which ends the parse of the document.
QString elementText(QXmlStreamReader& reader)
{
    const QString text = reader.readElementText(QXmlStreamReader::IncludeChildElements);
    return reader.hasError() ? QString() : text;
}

bool isXmlSpace(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r');
}

// Runs of XML white space become one space, and none is kept at either end;
// other spaces (no-break, ideographic) are the book's own.
QString collapseXmlSpace(const QString& text)
{
    QString out;
    out.reserve(text.size());
    bool pendingSpace = false;
    for (const QChar c : text) {
        if (isXmlSpace(c)) {
            pendingSpace = !out.isEmpty();
            continue;
        }
        if (pendingSpace)
            out += QLatin1Char(' ');
        pendingSpace = false;
        out += c;
    }
    return out;
}

// The metadata field a Dublin Core element fills, by the first family word its
// local name contains. Identifiers are read by parseIdentifier.
QString* metadataField(QStringView name, EpubData& book)
{
    EpubMetadata& m = book.metadata;
    const std::pair<QLatin1String, QString*> families[] = {
        { QLatin1String("title"), &m.title },
        { QLatin1String("creator"), &m.creator },
        { QLatin1String("subject"), &m.subject },
        { QLatin1String("description"), &m.description },
        { QLatin1String("date"), &m.date },
        { QLatin1String("publisher"), &m.publisher },
        { QLatin1String("contributor"), &m.contributor },
        { QLatin1String("type"), &m.type },
        { QLatin1String("format"), &m.format },
        { QLatin1String("source"), &m.source },
        { QLatin1String("language"), &m.language },
        { QLatin1String("relation"), &m.relation },
        { QLatin1String("coverage"), &m.coverage },
        { QLatin1String("rights"), &m.rights },
    };
    for (const auto& family : families) {
        if (name.contains(family.first))
            return family.second;
    }
    return nullptr;
}

// A `dir` attribute's direction; `inherited` when there is none or it says auto.
Qt::LayoutDirection declaredDirection(const QXmlStreamAttributes& attributes, Qt::LayoutDirection inherited)
{
    const QStringRef dir = attributes.value(QLatin1String("dir")).trimmed();
    if (dir.compare(QLatin1String("rtl"), Qt::CaseInsensitive) == 0)
        return Qt::RightToLeft;
    if (dir.compare(QLatin1String("ltr"), Qt::CaseInsensitive) == 0)
        return Qt::LeftToRight;
    return inherited;
}

// The package's direction holds for its metadata unless an element says otherwise.
void readPackageDirection(const QXmlStreamAttributes& attributes, EpubMetadata& metadata)
{
    metadata.titleDirection = metadata.creatorDirection = declaredDirection(attributes, Qt::LayoutDirectionAuto);
}

int manifestSize(const EpubManifest& manifest)
{
    return manifest.application.size() + manifest.image.size() + manifest.audio.size() + manifest.text.size();
}

bool isImagePath(const EpubData& book, const QString& path)
{
    for (const ManifestEntry& entry : book.manifest.image) {
        if (manifestItemPath(book, entry.href) == path)
            return true;
    }
    return false;
}

// Reads at most `limit` bytes. QIODevice::read(limit) sets the whole limit
// aside before reading, megabytes for every opening; a book's documents are
// files of known size, so only what the file holds is set aside.
QByteArray readAtMost(QFile& file, qint64 limit)
{
    const qint64 size = file.size();
    return file.read(size > 0 ? qMin(size, limit) : limit);
}

// The book-relative path of the one picture a page shows (an <img> or an SVG
// <image>), or the page itself when it is a picture; empty when the page
// shows none or several, or cannot be read.
QString pictureOfPage(const QString& bookDir, const EpubData& book, const QString& page)
{
    if (page.isEmpty())
        return {};
    if (isImagePath(book, page))
        return page;
    QFile file;
    if (!openDocument(file, bookDir, page))
        return {};
    // A cover page is small; a page past the bound is not taken as one.
    QXmlStreamReader reader(readAtMost(file, kMaxCoverPageBytes));
    QString picture;
    int pictures = 0;
    while (!reader.atEnd() && pictures < 2) {
        reader.readNext();
        if (isStart(reader, QLatin1String("img"))) {
            picture = reader.attributes().value(QLatin1String("src")).toString();
            ++pictures;
        } else if (isStart(reader, QLatin1String("image"))) {
            const QXmlStreamAttributes attributes = reader.attributes();
            picture = attributes.value(QLatin1String("http://www.w3.org/1999/xlink"), QLatin1String("href")).toString();
            if (picture.isEmpty())
                picture = attributes.value(QLatin1String("href")).toString();
            ++pictures;
        }
    }
    // A page the reader could not read whole may hold more pictures.
    if (pictures != 1 || picture.isEmpty() || reader.hasError())
        return {};
    const QString path = lf::BookHref::resolve(page, picture);
    return QFile::exists(lf::BookHref::filePath(bookDir, path)) ? path : QString();
}

} // namespace

std::unique_ptr<EpubData> EpubParser::parseBook(const QString& bookDir, Refusal* refusal)
{
    const auto refuse = [refusal](Refusal why) {
        if (refusal)
            *refusal = why;
        return nullptr;
    };
    if (!checkMimetype(bookDir))
        return refuse(Refusal::NotEpub);
    auto book = std::make_unique<EpubData>();
    book->packagePath = readPackagePath(bookDir);
    // Nothing is ever read on behalf of a book from outside its own folder.
    if (!book->packagePath.isEmpty() && !lf::RelativePath::staysInside(book->packagePath))
        return refuse(Refusal::PackageOutside);
    parsePackage(bookDir, *book);
    if (hasTooManyItems(*book))
        return refuse(Refusal::TooManyItems);
    if (refusal)
        *refusal = Refusal::None;
    book->contentDir = book->packagePath.left(book->packagePath.lastIndexOf(QLatin1Char('/')) + 1);
    locateCover(bookDir, *book);
    locateNavDocument(*book);
    parseEncryption(bookDir, *book);
    if (isVersion3(*book))
        parseNavDocument(bookDir, *book);
    else
        parseNcx(bookDir, *book);
    return book;
}

// The package parse stops one item past a limit, so that memory stays bounded.
bool EpubParser::hasTooManyItems(const EpubData& book)
{
    if (book.spine.size() <= kMaxSpineItems && manifestSize(book.manifest) <= kMaxManifestItems)
        return false;
    qDebug().noquote() << "book refused: more than" << kMaxSpineItems << "spine or" << kMaxManifestItems
                       << "manifest items:" << book.packagePath;
    return true;
}

// The declared cover first (the metadata's cover item, then the item marked
// "cover-image"); else the guide's cover reference, an image or a page with
// one image; else the one image of the first page. The content folder alone
// when none of them names a picture.
void EpubParser::locateCover(const QString& bookDir, EpubData& book)
{
    QString href = book.manifest.imageHref(book.coverId);
    if (href.isEmpty())
        href = book.manifest.coverImagePropertyHref;
    if (!href.isEmpty()) {
        book.coverPath = manifestItemPath(book, href);
        return;
    }
    QString path;
    if (!book.guideCoverHref.isEmpty())
        path = pictureOfPage(bookDir, book, lf::BookHref::resolve(book.packagePath, book.guideCoverHref));
    if (path.isEmpty() && !book.spine.isEmpty()) {
        if (const ManifestEntry* first = book.manifest.item(book.spine.first()))
            path = pictureOfPage(bookDir, book, manifestItemPath(book, first->href));
    }
    book.coverPath = path.isEmpty() ? book.contentDir : path;
}

void EpubParser::parseGuide(QXmlStreamReader& reader, EpubData& book)
{
    while (!reader.atEnd() && !isEnd(reader, QLatin1String("guide"))) {
        reader.readNext();
        if (!isStart(reader, QLatin1String("reference")) || !book.guideCoverHref.isEmpty())
            continue;
        if (reader.attributes()
                .value(QLatin1String("type"))
                .trimmed()
                .compare(QLatin1String("cover"), Qt::CaseInsensitive)
            == 0)
            book.guideCoverHref = reader.attributes().value(QLatin1String("href")).toString();
    }
}

void EpubParser::locateNavDocument(EpubData& book)
{
    const EpubManifest& manifest = book.manifest;
    QString href;
    if (isVersion3(book)) {
        href = manifest.applicationHref(QStringLiteral("toc"));
        if (href.isEmpty())
            href = manifest.navPropertyHref;
    } else {
        href = manifest.applicationHref(QStringLiteral("ncx"));
        if (href.isEmpty() && !book.spineTocId.isEmpty())
            href = manifest.applicationHref(book.spineTocId);
        if (href.isEmpty())
            href = manifest.ncxMediaTypeHref;
    }
    book.navDocumentPath = manifestItemPath(book, href);
}

// Reads the fonts the book obfuscates. The list is read on the window's
// thread at import and at every opening, so its work stays bounded: a file
// above kMaxEncryptionBytes is refused whole, and no more entries are taken
// than the manifest has items, since each names one of the book's files.
void EpubParser::parseEncryption(const QString& bookDir, EpubData& book)
{
    QFile file;
    if (!openDocument(file, bookDir, lf::FontObfuscation::kEncryptionPath))
        return;
    const QByteArray document = readAtMost(file, kMaxEncryptionBytes + 1);
    if (document.size() > kMaxEncryptionBytes) {
        qDebug().noquote() << "encryption list larger than" << kMaxEncryptionBytes
                           << "bytes ignored, no font is de-obfuscated:" << file.fileName();
        return;
    }
    file.close();
    // The older algorithm keys on a UUID: the unique identifier when it is one.
    const QString uuid = book.metadata.identifier.startsWith(QLatin1String("urn:uuid:"), Qt::CaseInsensitive)
        ? book.metadata.identifier
        : book.uuidIdentifier;
    QXmlStreamReader reader(document);
    QString algorithm;
    QString uri;
    int entries = 0;
    while (!reader.atEnd()) {
        reader.readNext();
        if (isStart(reader, QLatin1String("EncryptedData"))) {
            if (++entries > book.manifest.items.size()) {
                qDebug().noquote() << "encryption list cut at" << book.manifest.items.size()
                                   << "entries, as many as the manifest has items";
                return;
            }
            algorithm.clear();
            uri.clear();
        } else if (isStart(reader, QLatin1String("EncryptionMethod"))) {
            algorithm = reader.attributes().value(QLatin1String("Algorithm")).toString().trimmed();
        } else if (isStart(reader, QLatin1String("CipherReference"))) {
            uri = reader.attributes().value(QLatin1String("URI")).toString();
        } else if (isEnd(reader, QLatin1String("EncryptedData"))) {
            ObfuscatedFont font;
            // Paths in the container's files name files from the book's top
            // folder, where the mimetype file lies.
            font.path = lf::BookHref::resolve(lf::kMimetypeFileName, uri);
            if (!font.path.isEmpty() && lf::FontObfuscation::describe(algorithm, book.metadata.identifier, uuid, font))
                book.obfuscatedFonts.append(font);
            else
                qDebug().noquote() << "encrypted resource not readable:" << uri << algorithm;
        }
    }
}

bool EpubParser::checkMimetype(const QString& bookDir)
{
    QFile file(withSlash(bookDir) + lf::kMimetypeFileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    // Only a prefix is read: a mimetype file of a gigabyte on one line must not
    // be held in memory. The media type holds no line break, so finding it in
    // the text is finding it in one of its lines.
    return QString::fromUtf8(file.read(kMaxMimetypeBytes)).contains(lf::kEpubMediaType);
}

QString EpubParser::readPackagePath(const QString& bookDir)
{
    QFile file;
    if (!openDocument(file, bookDir, lf::kContainerPath))
        return {};
    QXmlStreamReader reader(&file);
    while (!reader.atEnd()) {
        reader.readNext();
        if (isStart(reader, QLatin1String("rootfile"))
            && reader.attributes().value(QLatin1String("media-type")) == kPackageMediaType)
            return reader.attributes().value(QLatin1String("full-path")).toString();
    }
    return {};
}

bool EpubParser::parsePackage(const QString& bookDir, EpubData& book)
{
    QFile file;
    if (!openDocument(file, bookDir, book.packagePath))
        return false;
    // A package document beyond the bound is read up to it, like a document cut
    // short: what came before stays in the model.
    const QByteArray document = readAtMost(file, kMaxPackageDocumentBytes);
    if (!file.atEnd())
        qDebug().noquote() << "package document read only up to" << kMaxPackageDocumentBytes
                           << "bytes:" << file.fileName();
    file.close();
    QXmlStreamReader reader(document);
    while (!reader.atEnd()) {
        reader.readNext();
        if (!reader.isStartElement())
            continue;
        const QStringRef name = reader.name();
        if (name == QLatin1String("package")) {
            book.uniqueIdentifier = reader.attributes().value(QLatin1String("unique-identifier")).toString();
            book.version = reader.attributes().value(QLatin1String("version")).toString();
            readPackageDirection(reader.attributes(), book.metadata);
            if (isVersion3(book))
                book.rendition = EpubRendition();
        } else if (name == QLatin1String("metadata")) {
            parseMetadata(reader, book);
        } else if (name == QLatin1String("manifest")) {
            parseManifest(reader, book);
        } else if (name == QLatin1String("spine")) {
            parseSpine(reader, book);
        } else if (name == QLatin1String("guide")) {
            parseGuide(reader, book);
        }
    }
    return true;
}

EpubMetadata EpubParser::readMetadata(const QString& bookDir)
{
    EpubData book;
    book.packagePath = readPackagePath(bookDir);
    QFile file;
    if (book.packagePath.isEmpty() || !lf::RelativePath::staysInside(book.packagePath)
        || !openDocument(file, bookDir, book.packagePath))
        return {};
    QXmlStreamReader reader(&file);
    while (!reader.atEnd() && file.pos() <= kMaxPackageDocumentBytes) {
        reader.readNext();
        if (isStart(reader, QLatin1String("package"))) {
            readPackageDirection(reader.attributes(), book.metadata);
        } else if (isStart(reader, QLatin1String("metadata"))) {
            parseMetadata(reader, book);
            break;
        }
    }
    return book.metadata;
}

void EpubParser::parseMetadata(QXmlStreamReader& reader, EpubData& book)
{
    while (!reader.atEnd() && !isEnd(reader, QLatin1String("metadata"))) {
        reader.readNext();
        if (!reader.isStartElement())
            continue;
        const QStringRef name = reader.name();
        if (name.contains(QLatin1String("identifier"))) {
            parseIdentifier(reader, book);
        } else if (QString* field = metadataField(name, book)) {
            // The first element of a kind is the book's own; later ones are
            // alternates (translated titles, further authors).
            const QXmlStreamAttributes attributes = reader.attributes();
            const QString text = collapseXmlSpace(elementText(reader));
            if (!field->isEmpty())
                continue;
            *field = text;
            EpubMetadata& m = book.metadata;
            if (field == &m.title)
                m.titleDirection = declaredDirection(attributes, m.titleDirection);
            else if (field == &m.creator)
                m.creatorDirection = declaredDirection(attributes, m.creatorDirection);
        } else if (name.contains(QLatin1String("meta"))) {
            if (reader.attributes().value(QLatin1String("name")) == QLatin1String("cover"))
                book.coverId = reader.attributes().value(QLatin1String("content")).toString();
            else if (isVersion3(book))
                parseRenditionMeta(reader, book);
        }
    }
}

// The package's unique identifier, and the first identifier that is a UUID:
// the keys of obfuscated fonts are made from them.
void EpubParser::parseIdentifier(QXmlStreamReader& reader, EpubData& book)
{
    const bool isUnique = reader.attributes().value(QLatin1String("id")) == book.uniqueIdentifier;
    const QString text = collapseXmlSpace(elementText(reader));
    if (isUnique && book.metadata.identifier.isEmpty())
        book.metadata.identifier = text;
    if (book.uuidIdentifier.isEmpty() && text.startsWith(QLatin1String("urn:uuid:"), Qt::CaseInsensitive))
        book.uuidIdentifier = text;
}

void EpubParser::parseRenditionMeta(QXmlStreamReader& reader, EpubData& book)
{
    if (!book.rendition)
        return;
    const QStringRef property = reader.attributes().value(QLatin1String("property"));
    if (property == QLatin1String("rendition:layout"))
        book.rendition->layout = elementText(reader);
    else if (property == QLatin1String("rendition:orientation"))
        book.rendition->orientation = elementText(reader);
    else if (property == QLatin1String("rendition:spread"))
        book.rendition->spread = elementText(reader);
}

void EpubParser::parseManifest(QXmlStreamReader& reader, EpubData& book)
{
    EpubManifest& manifest = book.manifest;
    while (!reader.atEnd() && !isEnd(reader, QLatin1String("manifest"))) {
        reader.readNext();
        if (!isStart(reader, QLatin1String("item")))
            continue;
        if (manifestSize(manifest) > kMaxManifestItems) {
            reader.raiseError(QStringLiteral("more manifest items than a book may have"));
            return;
        }
        const QXmlStreamAttributes attributes = reader.attributes();
        const QStringRef mediaType = attributes.value(QLatin1String("media-type"));
        const ManifestEntry entry { attributes.value(QLatin1String("id")).toString(),
            attributes.value(QLatin1String("href")).toString(), mediaType.toString().trimmed(),
            attributes.value(QLatin1String("fallback")).toString() };
        // An item outside the book folder (absolute, remote, or climbing out)
        // is as good as missing.
        if (lf::BookHref::resolve(book.packagePath, entry.href).isEmpty())
            continue;
        manifest.addItem(entry);
        const QStringRef properties = attributes.value(QLatin1String("properties"));
        if (manifest.navPropertyHref.isEmpty() && hasWord(properties, QLatin1String("nav")))
            manifest.navPropertyHref = entry.href;
        if (mediaType.startsWith(QLatin1String("application"))) {
            if (manifest.ncxMediaTypeHref.isEmpty() && mediaType == kNcxMediaType)
                manifest.ncxMediaTypeHref = entry.href;
            manifest.application.append(entry);
        } else if (mediaType.startsWith(QLatin1String("image"))) {
            if (manifest.coverImagePropertyHref.isEmpty() && hasWord(properties, QLatin1String("cover-image")))
                manifest.coverImagePropertyHref = entry.href;
            manifest.image.append(entry);
        } else if (mediaType.startsWith(QLatin1String("audio"))) {
            manifest.audio.append(entry);
        } else if (mediaType.startsWith(QLatin1String("text"))) {
            manifest.text.append(entry);
        }
    }
}

void EpubParser::parseSpine(QXmlStreamReader& reader, EpubData& book)
{
    book.spineTocId = reader.attributes().value(QLatin1String("toc")).toString();
    book.pageProgressionDirection
        = reader.attributes().value(QLatin1String("page-progression-direction")).toString().trimmed();
    while (!reader.atEnd() && !isEnd(reader, QLatin1String("spine"))) {
        reader.readNext();
        if (!isStart(reader, QLatin1String("itemref")))
            continue;
        if (book.spine.size() > kMaxSpineItems) {
            reader.raiseError(QStringLiteral("more spine items than a book may have"));
            return;
        }
        book.spine.append(reader.attributes().value(QLatin1String("idref")).toString());
        book.spineProperties.append(spineItemProperties(reader.attributes()));
    }
}

SpineItemProperties EpubParser::spineItemProperties(const QXmlStreamAttributes& attributes)
{
    SpineItemProperties item;
    item.linear = attributes.value(QLatin1String("linear")).trimmed() != QLatin1String("no");
    // A word of a kind already given (a second layout, side or spread) is
    // passed over: the first one counts.
    bool sideGiven = false;
    static const QRegularExpression space(QStringLiteral("\\s+"));
    const QStringList words = attributes.value(QLatin1String("properties")).toString().split(space, Qt::SkipEmptyParts);
    for (QString word : words) {
        // Sides are written with and without the rendition prefix.
        if (word.startsWith(QLatin1String("rendition:page-spread-")))
            word = word.mid(int(qstrlen("rendition:")));
        const QLatin1String layoutPrefix("rendition:layout-");
        const QLatin1String spreadPrefix("rendition:spread-");
        if (word.startsWith(layoutPrefix)) {
            const QString layout = word.mid(layoutPrefix.size());
            if (item.layout.isEmpty()
                && (layout == QLatin1String("pre-paginated") || layout == QLatin1String("reflowable")))
                item.layout = layout;
        } else if (word.startsWith(spreadPrefix)) {
            static const QStringList spreads { QStringLiteral("none"), QStringLiteral("auto"), QStringLiteral("both"),
                QStringLiteral("landscape"), QStringLiteral("portrait") };
            const QString spread = word.mid(spreadPrefix.size());
            if (item.spread.isEmpty() && spreads.contains(spread))
                item.spread = spread;
        } else if (!sideGiven && word.startsWith(QLatin1String("page-spread-"))) {
            const QString side = word.mid(int(qstrlen("page-spread-")));
            sideGiven = true;
            if (side == QLatin1String("left"))
                item.pageSpread = PageSpread::Left;
            else if (side == QLatin1String("right"))
                item.pageSpread = PageSpread::Right;
            else if (side == QLatin1String("center"))
                item.pageSpread = PageSpread::Center;
            else
                sideGiven = false; // no side word after all
        }
    }
    return item;
}

void EpubParser::parseNcx(const QString& bookDir, EpubData& book)
{
    QFile file;
    if (!openDocument(file, bookDir, book.navDocumentPath))
        return;
    QXmlStreamReader reader(&file);
    while (!reader.atEnd()) {
        reader.readNext();
        if (isStart(reader, QLatin1String("docTitle"))) {
            while (!reader.atEnd() && !isEnd(reader, QLatin1String("docTitle"))) {
                reader.readNext();
                if (isStart(reader, QLatin1String("text"))) {
                    book.navTitle = elementText(reader);
                    break;
                }
            }
        } else if (isStart(reader, QLatin1String("navMap"))) {
            while (!reader.atEnd() && !isEnd(reader, QLatin1String("navMap"))) {
                reader.readNext();
                if (!isStart(reader, QLatin1String("navPoint")))
                    continue;
                if (book.toc.size() >= kMaxNavEntries) {
                    qDebug().noquote() << "contents cut at" << kMaxNavEntries << "entries:" << book.navDocumentPath;
                    break;
                }
                parseNavPoint(reader, book);
            }
        }
    }
}

// Reads on from a navPoint start until it has both a label and a target, or
// until a navPoint ends; child points are then met by the caller's scan.
void EpubParser::parseNavPoint(QXmlStreamReader& reader, EpubData& book)
{
    NavEntry entry;
    bool hasLabel = false;
    bool hasTarget = false;
    while (!(hasLabel && hasTarget) && !isEnd(reader, QLatin1String("navPoint")) && !reader.atEnd()) {
        reader.readNext();
        if (isStart(reader, QLatin1String("text"))) {
            entry.label = elementText(reader);
            hasLabel = true;
        } else if (isStart(reader, QLatin1String("content"))) {
            entry.href = reader.attributes().value(QLatin1String("src")).toString();
            hasTarget = true;
        }
    }
    book.toc.append(entry);
}

bool EpubParser::parseNavDocument(const QString& bookDir, EpubData& book)
{
    QFile file;
    if (!openDocument(file, bookDir, book.navDocumentPath))
        return false;
    QXmlStreamReader reader(&file);
    // Used only when no nav has the id "toc": the first nav typed as a toc.
    QList<NavEntry> typedToc;
    bool tocByIdSeen = false;
    bool typedTocSeen = false;
    while (!reader.atEnd()) {
        reader.readNext();
        if (!reader.isStartElement())
            continue;
        if (reader.name() == QLatin1String("title")) {
            book.navTitle = elementText(reader);
        } else if (reader.name() == QLatin1String("nav")) {
            const QXmlStreamAttributes attributes = reader.attributes();
            const QStringRef type = attributes.value(QLatin1String("epub:type"));
            if (attributes.value(QLatin1String("id")) == QLatin1String("toc")) {
                tocByIdSeen = true;
                parseNavAnchors(reader, book.toc);
            } else if (type == QLatin1String("page-list")) {
                parseNavAnchors(reader, book.pageList);
            } else if (!typedTocSeen && hasWord(type, QLatin1String("toc"))) {
                typedTocSeen = true;
                parseNavAnchors(reader, typedToc);
            }
        }
    }
    if (!tocByIdSeen)
        book.toc = typedToc;
    return true;
}

// One contents entry: the anchor's text with its children's; an anchor that
// holds only an image takes the image's alt text, else the anchor's title.
NavEntry EpubParser::navAnchor(QXmlStreamReader& reader)
{
    NavEntry entry;
    entry.href = reader.attributes().value(QLatin1String("href")).toString();
    const QString title = reader.attributes().value(QLatin1String("title")).toString();
    QString imageAlt;
    int depth = 1;
    while (depth > 0 && !reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement()) {
            ++depth;
            if (imageAlt.isEmpty() && reader.name() == QLatin1String("img"))
                imageAlt = reader.attributes().value(QLatin1String("alt")).toString();
        } else if (reader.isEndElement()) {
            --depth;
        } else if (reader.isCharacters()) {
            entry.label += reader.text();
        }
    }
    if (reader.hasError())
        entry.label.clear();
    else if (entry.label.trimmed().isEmpty())
        entry.label = collapseXmlSpace(imageAlt.isEmpty() ? title : imageAlt);
    return entry;
}

void EpubParser::parseNavAnchors(QXmlStreamReader& reader, QList<NavEntry>& entries)
{
    while (!reader.atEnd() && !isEnd(reader, QLatin1String("nav"))) {
        reader.readNext();
        if (isStart(reader, QLatin1String("a"))) {
            if (entries.size() >= kMaxNavEntries) {
                qDebug().noquote() << "navigation list cut at" << kMaxNavEntries << "entries";
                return;
            }
            entries.append(navAnchor(reader));
        }
    }
}
