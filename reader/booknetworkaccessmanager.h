#pragma once

#include <QNetworkAccessManager>
#include <QString>

// The only way out of a book's pages. Every page the reader creates uses one:
// it serves local files inside the open book's folder and the program's own
// resources, and answers everything else (other files, remote addresses, any
// other scheme) with an error reply, so a book can neither read the user's
// files nor reach the network.
class BookNetworkAccessManager : public QNetworkAccessManager
{
    Q_OBJECT

public:
    explicit BookNetworkAccessManager(QObject* parent = nullptr);

    // The folder whose files pages may load; empty allows no file at all.
    void setBookFolder(const QString& folder);
    QString bookFolder() const { return book_folder; }

    bool isAllowed(Operation operation, const QUrl& url) const;

protected:
    QNetworkReply* createRequest(Operation operation, const QNetworkRequest& request, QIODevice* outgoingData) override;

private:
    bool isInsideBook(const QString& localFile) const;

    QString book_folder; // canonical, with a trailing "/"
};
