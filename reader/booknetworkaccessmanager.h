#pragma once

#include "epub/epubdata.h"

#include <QHash>
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

    // Fonts the book ships obfuscated; they are served as the font they
    // hide, while the files stay as the archive had them.
    void setObfuscatedFonts(const QList<ObfuscatedFont>& fonts);

    bool isAllowed(Operation operation, const QUrl& url) const;
    // Inside a book, "/x" and a path that climbs above the book name the
    // book's own top folder, not the disk's. For a local file outside the
    // book: the file the book meant, when it exists inside the book; else empty.
    QString containerFile(const QString& localFile) const;

protected:
    QNetworkReply* createRequest(Operation operation, const QNetworkRequest& request, QIODevice* outgoingData) override;

private:
    bool isInsideBook(const QString& localFile) const;

    QNetworkReply* fontReply(const QNetworkRequest& request, const QString& file, const ObfuscatedFont& font);

    QString book_folder; // canonical, with a trailing "/"
    QHash<QString, ObfuscatedFont> obfuscated_fonts; // by canonical file path
};
