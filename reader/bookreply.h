#pragma once

#include <QNetworkReply>

#include <memory>

// The answer to one request for a book's file: its bytes (read from the
// file, or made by the program), typed by the media type given, or an error.
// Everything is announced from the event loop, after the caller connected.
class BookReply : public QNetworkReply
{
    Q_OBJECT

public:
    // Serves `body`, which must be open for reading; the reply owns it.
    BookReply(const QNetworkRequest& request, std::unique_ptr<QIODevice> body, const QString& mediaType,
        QObject* parent = nullptr);
    // Fails with `error`.
    BookReply(const QNetworkRequest& request, NetworkError error, const QString& text, QObject* parent = nullptr);

    void abort() override { }
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override;

protected:
    qint64 readData(char* data, qint64 maxSize) override;

private:
    void start(const QNetworkRequest& request);

    std::unique_ptr<QIODevice> m_body;
};
