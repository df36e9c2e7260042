#include "epubdata.h"

#include <QSet>

namespace {

QString hrefForId(const QList<ManifestEntry>& entries, const QString& id)
{
    for (const ManifestEntry& entry : entries) {
        if (entry.id == id)
            return entry.href;
    }
    return {};
}

} // namespace

QString EpubManifest::applicationHref(const QString& id) const
{
    return hrefForId(application, id);
}

QString EpubManifest::imageHref(const QString& id) const
{
    return hrefForId(image, id);
}

QString EpubManifest::applicationIdForHref(const QString& href) const
{
    for (const ManifestEntry& entry : application) {
        if (entry.href.contains(href))
            return entry.id;
    }
    return {};
}

QString EpubData::pageLabelForHref(const QString& key) const
{
    for (const NavEntry& entry : pageList) {
        if (entry.href == key)
            return entry.label;
    }
    return {};
}

void EpubManifest::addItem(const ManifestEntry& entry)
{
    if (!itemById.contains(entry.id))
        itemById.insert(entry.id, items.size());
    items.append(entry);
}

const ManifestEntry* EpubManifest::item(const QString& id) const
{
    const auto found = itemById.constFind(id);
    return found == itemById.cend() ? nullptr : &items.at(*found);
}

bool EpubManifest::isShowable(const QString& mediaType)
{
    // An item that names no media type is shown as it always was.
    static const QStringList documents { QString(), QStringLiteral("application/xhtml+xml"),
        QStringLiteral("text/html"), QStringLiteral("image/svg+xml"), QStringLiteral("text/x-oeb1-document") };
    return documents.contains(mediaType, Qt::CaseInsensitive)
        || mediaType.startsWith(QLatin1String("image/"), Qt::CaseInsensitive);
}

const ManifestEntry* EpubManifest::showableItem(const QString& id) const
{
    QSet<QString> visited;
    for (const ManifestEntry* entry = item(id); entry; entry = item(entry->fallback)) {
        if (isShowable(entry->mediaType))
            return entry;
        // A chain that comes back to an item it has passed would never end.
        if (visited.contains(entry->id))
            return nullptr;
        visited.insert(entry->id);
    }
    return nullptr;
}

bool EpubData::isPrePaginated(int position) const
{
    const QString& own = spineItem(position).layout;
    if (!own.isEmpty())
        return own == QLatin1String("pre-paginated");
    return version.startsWith(QLatin1Char('3')) && rendition && rendition->layout == QLatin1String("pre-paginated");
}

bool EpubData::hasPrePaginatedItems() const
{
    for (int position = 0; position < spine.size(); ++position) {
        if (isPrePaginated(position))
            return true;
    }
    return false;
}

const ObfuscatedFont* EpubData::obfuscatedFont(const QString& path) const
{
    for (const ObfuscatedFont& font : obfuscatedFonts) {
        if (font.path == path)
            return &font;
    }
    return nullptr;
}
