#pragma once

#include <QList>
#include <QString>
#include <QStringList>

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
};

// Dublin Core metadata; each field holds the text of the last matching element.
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
};

// The rendition:* properties of an EPUB 3 package.
struct EpubRendition
{
    QString layout;
    QString spread;
    QString orientation;
};

// Manifest items sorted by the family word their media type starts with.
struct EpubManifest
{
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
};

struct EpubData
{
    QString version;
    QString contentDir;
    QString packagePath;
    QString navDocumentPath;
    QString uniqueIdentifier;
    QString coverId;
    QString coverPath;
    QStringList spine;
    QString navTitle;
    QList<NavEntry> toc;
    QList<NavEntry> pageList;
    EpubMetadata metadata;
    std::optional<EpubRendition> rendition;
    EpubManifest manifest;
    QString spineTocId; // the spine's toc attribute, naming the NCX item

    // Label of the first page-list entry whose href equals `key` exactly.
    QString pageLabelForHref(const QString& key) const;
};
