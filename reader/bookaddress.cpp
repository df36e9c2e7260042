#include "reader/bookaddress.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QStringList>

namespace lf::BookAddress {

QString host(const QString& bookDir)
{
    const QString folder = QDir::cleanPath(QFileInfo(bookDir).absoluteFilePath());
    const QByteArray digest = QCryptographicHash::hash(folder.toUtf8(), QCryptographicHash::Sha256).toHex();
    return QStringLiteral("b") + QString::fromLatin1(digest.left(24));
}

QUrl url(const QString& bookDir, const QString& bookPath)
{
    if (bookPath.isEmpty())
        return {};
    QUrl address;
    address.setScheme(kScheme);
    address.setHost(host(bookDir));
    address.setPath(QLatin1Char('/') + bookPath, QUrl::DecodedMode);
    return address;
}

QString bookPath(const QUrl& url, const QString& host)
{
    if (url.scheme().compare(kScheme, Qt::CaseInsensitive) != 0 || url.host().compare(host, Qt::CaseInsensitive) != 0
        || host.isEmpty())
        return {};
    // Dot segments are resolved while still encoded, so that an encoded
    // separator or dot never becomes one.
    QStringList kept;
    for (const QString& segment : url.path(QUrl::FullyEncoded).split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (segment == QLatin1String("..")) {
            if (!kept.isEmpty())
                kept.removeLast();
            continue;
        }
        if (segment == QLatin1String("."))
            continue;
        const QString name = QUrl::fromPercentEncoding(segment.toLatin1());
        if (name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')) || name.contains(QChar(0))
            || name == QLatin1String(".") || name == QLatin1String(".."))
            return {};
        kept.append(name);
    }
    return kept.join(QLatin1Char('/'));
}

} // namespace lf::BookAddress
