#include "update/simplefiledownloader.h"

#include <QNetworkReply>
#include <QNetworkRequest>

SimpleFileDownloader::SimpleFileDownloader(QUrl url, QObject* parent)
    : QObject(parent)
    , m_url(std::move(url))
{ }

QByteArray SimpleFileDownloader::downloadedData() const
{
    return m_downloadedData;
}

void SimpleFileDownloader::downloadStart()
{
    // Unique, so that starting twice does not deliver every body twice.
    connect(
        &m_manager, SIGNAL(finished(QNetworkReply*)), this, SLOT(fileDownloaded(QNetworkReply*)), Qt::UniqueConnection);
    m_manager.get(QNetworkRequest(m_url));
}

void SimpleFileDownloader::fileDownloaded(QNetworkReply* pReply)
{
    m_downloadedData = pReply->readAll();
    pReply->deleteLater();
    emit downloaded(m_downloadedData);
}
