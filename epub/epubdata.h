#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

#include <optional>

// The book model read from an extracted book folder by EpubParser. Plain data
// owned by whoever asked for the parse; paths are relative to the book folder.
// Hrefs (manifest items, navigation targets) are kept exactly as the documents
// write them; the paths of files the program opens itself (package, navigation
// document, cover) are the resolved, decoded paths that are opened.

// One entry of the table of contents or of the page list.
struct NavEntry
{
    QString label;
    QString href;
};

struct ManifestEntry
{
    QString id;
    QString href;
    QString mediaType = {};
    QString fallback = {}; // id of the item to show when this one cannot be shown
};

// Dublin Core metadata; each field holds the text of the first matching
// element, its runs of white space collapsed to one space.
struct EpubMetadata
{
    QString title;
    QString creator;
    QString subject;
    QString description;
    QString publisher;
    QString contributor;
    QString date;
    QString type;
    QString format;
    QString identifier;
    QString source;
    QString language;
    QString relation;
    QString coverage;
    QString rights;
    // The direction the title and the creator are written in: their element's
    // `dir`, else the package's, else their own first strong character (auto).
    Qt::LayoutDirection titleDirection = Qt::LayoutDirectionAuto;
    Qt::LayoutDirection creatorDirection = Qt::LayoutDirectionAuto;
};

// The rendition:* properties of an EPUB 3 package.
struct EpubRendition
{
    QString layout;
    QString spread;
    QString orientation;
};

// Which side of a two-page spread a spine item asks for.
enum class PageSpread {
    Auto,
    Left,
    Right,
    Center,
};

// What one spine itemref declares about its own layout.
struct SpineItemProperties
{
    bool linear = true;
    QString layout; // "pre-paginated", "reflowable", or empty for the book's
    // rendition:spread-* word: "none", "auto", "both", "landscape",
    // "portrait", or empty for the book's
    QString spread;
    PageSpread pageSpread = PageSpread::Auto;
};

// A font the book ships obfuscated (META-INF/encryption.xml): the first
// `headerLength` bytes of the file are XORed with `key`, repeated.
struct ObfuscatedFont
{
    QString path; // relative to the book folder
    int headerLength = 0;
    QByteArray key;
};

// Manifest items sorted by the family word their media type starts with.
struct EpubManifest
{
    // Every item that stays inside the book, in document order; filled
    // through addItem(), which keeps the lookup by id.
    QList<ManifestEntry> items;
    QHash<QString, int> itemById; // first item of each id

    QList<ManifestEntry> application;
    QList<ManifestEntry> image;
    QList<ManifestEntry> audio;
    QList<ManifestEntry> text;

    // Hrefs of items marked by their properties or media type, first match each;
    // they stand in where the fixed manifest ids name nothing.
    QString navPropertyHref; // properties contain "nav"
    QString coverImagePropertyHref; // image item whose properties contain "cover-image"
    QString ncxMediaTypeHref; // media type "application/x-dtbncx+xml"

    QString applicationHref(const QString& id) const;
    QString imageHref(const QString& id) const;
    // Id of the first application item whose href contains `href`.
    QString applicationIdForHref(const QString& href) const;

    void addItem(const ManifestEntry& entry);
    // The item with `id`, or none.
    const ManifestEntry* item(const QString& id) const;
    // The first item on the fallback chain starting at `id` (that item
    // included) whose media type the pages can show: XHTML, HTML, SVG or an
    // image. None when the chain ends, loops or names a missing item first.
    // The chains of all items are resolved together on the first call after
    // the items changed, in time linear in their number; later calls look up.
    const ManifestEntry* showableItem(const QString& id) const;
    static bool isShowable(const QString& mediaType);

private:
    void resolveFallbacks() const;

    // Per item, the index of its showable item or -1; empty until resolved.
    // Filled by a const call, so the model is read from one thread only.
    mutable QVector<int> m_showableIndex;
};

struct EpubData
{
    QString version;
    QString contentDir;
    QString packagePath;
    QString navDocumentPath;
    QString uniqueIdentifier;
    QString uuidIdentifier; // the first dc:identifier that is a "urn:uuid:"
    QString coverId;
    QString coverPath;
    QString guideCoverHref; // href of the guide's "cover" reference
    QStringList spine;
    QString navTitle;
    QList<NavEntry> toc;
    QList<NavEntry> pageList;
    EpubMetadata metadata;
    std::optional<EpubRendition> rendition;
    EpubManifest manifest;
    QString spineTocId; // the spine's toc attribute, naming the NCX item
    // What each itemref of `spine` declares, in the same order. May be shorter
    // than `spine` (models built by hand): missing items declare nothing.
    QList<SpineItemProperties> spineProperties;
    // The spine's page-progression-direction: "ltr", "rtl", "default" or empty.
    QString pageProgressionDirection;
    QList<ObfuscatedFont> obfuscatedFonts;

    SpineItemProperties spineItem(int position) const { return spineProperties.value(position); }
    bool isRightToLeft() const { return pageProgressionDirection == QLatin1String("rtl"); }
    // True when the spine item at `position` is laid out as fixed pages: its
    // own layout property, else the book's rendition:layout (EPUB 3 only).
    bool isPrePaginated(int position) const;
    // True when the book lays any spine item out as fixed pages.
    bool hasPrePaginatedItems() const;
    // The obfuscated font at book-relative `path`, or none.
    const ObfuscatedFont* obfuscatedFont(const QString& path) const;

    // Label of the first page-list entry whose href equals `key` exactly.
    QString pageLabelForHref(const QString& key) const;
};
