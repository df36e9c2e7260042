#pragma once

#include <QByteArray>
#include <QNetworkAccessManager>
#include <QObject>
#include <QUrl>

class QNetworkReply;

// Fetches one URL with a GET and hands the whole body over in one signal.
// The reply's error state is not looked at: a failed request delivers an
// empty or partial body. Lives on the GUI thread.
class SimpleFileDownloader : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SimpleFileDownloader)

public:
    explicit SimpleFileDownloader(QUrl url, QObject* parent = nullptr);

    QByteArray downloadedData() const;

signals:
    void downloaded(QByteArray);

public slots:
    void downloadStart();

private slots:
    void fileDownloaded(QNetworkReply* pReply);

private:
    QNetworkAccessManager m_manager;
    QUrl m_url;
    QByteArray m_downloadedData;
};
