#include "epubdata.h"

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
    m_showableIndex.clear();
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
    const auto found = itemById.constFind(id);
    if (found == itemById.cend())
        return nullptr;
    if (m_showableIndex.size() != items.size())
        resolveFallbacks();
    const int shown = m_showableIndex.at(*found);
    return shown < 0 ? nullptr : &items.at(shown);
}

// Walks each chain only up to the first item already resolved, so every item
// is passed once however the chains share their tails. A walk that meets an
// item of its own has looped: no item on it has anything to show.
void EpubManifest::resolveFallbacks() const
{
    constexpr int kNone = -1;
    constexpr int kUnresolved = -2;
    constexpr int kOnWalk = -3;
    m_showableIndex.fill(kUnresolved, items.size());
    QVector<int> walk;
    for (int start = 0; start < items.size(); ++start) {
        walk.clear();
        int result = kNone;
        for (int at = start;;) {
            const int known = m_showableIndex.at(at);
            if (known != kUnresolved) {
                result = known == kOnWalk ? kNone : known;
                break;
            }
            if (isShowable(items.at(at).mediaType)) {
                m_showableIndex[at] = at;
                result = at;
                break;
            }
            m_showableIndex[at] = kOnWalk;
            walk.append(at);
            // An item without a fallback ends its chain.
            const QString& fallback = items.at(at).fallback;
            const auto next = fallback.isEmpty() ? itemById.cend() : itemById.constFind(fallback);
            if (next == itemById.cend())
                break;
            at = *next;
        }
        for (const int passed : qAsConst(walk))
            m_showableIndex[passed] = result;
    }
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
