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
