#pragma once

#include "epub/epubdata.h"

#include <QHash>
#include <QNetworkAccessManager>
#include <QSet>
#include <QString>

#include <optional>

// The only way out of a book's pages. Every page the reader creates uses one:
// it serves the open book's files from the book's own address
// (lfbook://<book>/<path>, see BookAddress) typed by the book's manifest, and
// the program's own resources, and answers everything else (local files,
// other books, remote addresses, any other scheme) with an error reply, so a
// book can neither read the user's files nor reach the network.
class BookNetworkAccessManager : public QNetworkAccessManager
{
    Q_OBJECT

public:
    // The font bytes one page may load; fonts beyond it are refused.
    static constexpr qint64 kPageFontBytes = qint64(64) << 20;

    explicit BookNetworkAccessManager(QObject* parent = nullptr);

    // The folder whose files pages may load; empty allows no file at all.
    void setBookFolder(const QString& folder);
    QString bookFolder() const { return book_folder; }
    // The host of the book's addresses.
    QString bookHost() const { return book_host; }

    // The book's manifest, which types what is served and names the fallback
    // of a file the engine cannot show, and the fonts it ships obfuscated.
    void setBook(const EpubData& book);
    // Fonts the book ships obfuscated; they are served as the font they
    // hide, while the files stay as the archive had them.
    void setObfuscatedFonts(const QList<ObfuscatedFont>& fonts);

    bool isAllowed(Operation operation, const QUrl& url) const;

public slots:
    // A page starts loading: its font allowance starts afresh.
    void startPage();

protected:
    QNetworkReply* createRequest(Operation operation, const QNetworkRequest& request, QIODevice* outgoingData) override;

private:
    // What a book address is answered with.
    struct Served
    {
        QString path; // book-relative
        QString file;
        QString mediaType;
    };
    std::optional<Served> served(const QUrl& url) const;
    // The manifest item at book-relative `path`, or none.
    const ManifestEntry* itemAt(const QString& path) const;
    // `item`, or the first item of its fallback chain that the engine can show
    // and whose file exists; `item` itself when there is none.
    const ManifestEntry* displayedItem(const ManifestEntry* item) const;
    QString pathOf(const ManifestEntry& item) const;
    bool isInsideBook(const QString& localFile) const;

    QNetworkReply* bookReply(const QNetworkRequest& request, const Served& served);
    // The bytes of a font file as the page gets them; empty when refused.
    QByteArray fontBytes(const Served& served);

    QString book_folder; // canonical, with a trailing "/"
    QString book_host;
    EpubManifest manifest;
    QString package_path;
    QHash<QString, int> item_by_path; // book-relative path -> index in manifest.items
    QHash<QString, ObfuscatedFont> obfuscated_fonts; // by canonical file path
    // Fonts the current page loaded, by book-relative path: a file named
    // again (with a query of its own, say) is counted once.
    QSet<QString> page_fonts;
    qint64 page_font_bytes = 0;
};
