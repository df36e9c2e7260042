#include "reader/bookreply.h"

#include <QTimer>

BookReply::BookReply(
    const QNetworkRequest& request, std::unique_ptr<QIODevice> body, const QString& mediaType, QObject* parent)
    : QNetworkReply(parent)
    , m_body(std::move(body))
{
    start(request);
    setHeader(QNetworkRequest::ContentTypeHeader, mediaType);
    setHeader(QNetworkRequest::ContentLengthHeader, m_body->size());
    setAttribute(QNetworkRequest::HttpStatusCodeAttribute, 200);
    QTimer::singleShot(0, this, [this] {
        emit metaDataChanged();
        emit readyRead();
        emit finished();
    });
}

BookReply::BookReply(const QNetworkRequest& request, NetworkError error, const QString& text, QObject* parent)
    : QNetworkReply(parent)
{
    start(request);
    setError(error, text);
    QTimer::singleShot(0, this, [this, error] {
        emit errorOccurred(error);
        emit finished();
    });
}

void BookReply::start(const QNetworkRequest& request)
{
    setRequest(request);
    setUrl(request.url());
    setOperation(QNetworkAccessManager::GetOperation);
    open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    setFinished(true);
}

qint64 BookReply::bytesAvailable() const
{
    return (m_body ? m_body->bytesAvailable() : 0) + QNetworkReply::bytesAvailable();
}

qint64 BookReply::readData(char* data, qint64 maxSize)
{
    if (!m_body || m_body->atEnd())
        return -1;
    return m_body->read(data, maxSize);
}
