#include "reader/booklink.h"

#include "reader/bookaddress.h"

#include <QDir>

namespace lf::BookLink {

QUrl rootOf(const QString& bookFolder)
{
    if (bookFolder.isEmpty())
        return {};
    QUrl root;
    root.setScheme(lf::BookAddress::kScheme);
    root.setHost(lf::BookAddress::host(bookFolder));
    root.setPath(QStringLiteral("/"));
    return root;
}

bool isInside(const QUrl& link, const QUrl& root)
{
    if (!link.isValid() || !root.isValid() || root.scheme().isEmpty())
        return false;
    if (link.scheme().compare(root.scheme(), Qt::CaseInsensitive) != 0
        || link.host().compare(root.host(), Qt::CaseInsensitive) != 0 || link.port() != root.port()
        || link.userInfo() != root.userInfo())
        return false;
    QString top = root.path(QUrl::FullyDecoded);
    if (!top.endsWith(QLatin1Char('/')))
        top += QLatin1Char('/');
    // Decoded first, so an encoded "%2e%2e" climbs like "..".
    const QString path = QDir::cleanPath(link.path(QUrl::FullyDecoded));
    return QString(path + QLatin1Char('/')).startsWith(top);
}

} // namespace lf::BookLink
