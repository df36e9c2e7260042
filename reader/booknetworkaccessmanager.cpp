#include "reader/booknetworkaccessmanager.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QNetworkRequest>

BookNetworkAccessManager::BookNetworkAccessManager(QObject* parent)
    : QNetworkAccessManager(parent)
{ }

void BookNetworkAccessManager::setBookFolder(const QString& folder)
{
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    book_folder = canonical.isEmpty() ? QString() : canonical + QLatin1Char('/');
}

bool BookNetworkAccessManager::isInsideBook(const QString& localFile) const
{
    if (book_folder.isEmpty())
        return false;
    const QFileInfo info(localFile);
    // An existing file is judged by where it really is, links followed; a
    // missing one by its cleaned path, so that it fails as "not found".
    const QString path = info.exists() ? info.canonicalFilePath() : QDir::cleanPath(info.absoluteFilePath());
    return path.startsWith(book_folder);
}

bool BookNetworkAccessManager::isAllowed(Operation operation, const QUrl& url) const
{
    if (operation != GetOperation && operation != HeadOperation)
        return false;
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("qrc") || scheme == QLatin1String("data"))
        return true;
    return url.isLocalFile() && url.host().isEmpty() && isInsideBook(url.toLocalFile());
}

QNetworkReply* BookNetworkAccessManager::createRequest(
    Operation operation, const QNetworkRequest& request, QIODevice* outgoingData)
{
    if (isAllowed(operation, request.url()))
        return QNetworkAccessManager::createRequest(operation, request, outgoingData);
    qDebug().noquote() << "request refused:" << request.url().toString();
    // A request for no address ends at once as an error reply ("protocol
    // unknown"), so the page never waits for it.
    return QNetworkAccessManager::createRequest(GetOperation, QNetworkRequest(QUrl()), nullptr);
}
