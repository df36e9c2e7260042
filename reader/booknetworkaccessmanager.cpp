#include "reader/booknetworkaccessmanager.h"

#include "epub/bookhref.h"
#include "epub/fontobfuscation.h"
#include "reader/bookaddress.h"
#include "reader/bookreply.h"
#include "reader/bookstylerewrite.h"

#include <QBuffer>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkRequest>

namespace {

// Types of files the manifest does not list, by their name's extension.
QString typeByExtension(const QString& path)
{
    static const QHash<QString, QString> types {
        { QStringLiteral("xhtml"), QStringLiteral("application/xhtml+xml") },
        { QStringLiteral("xht"), QStringLiteral("application/xhtml+xml") },
        { QStringLiteral("html"), QStringLiteral("text/html") },
        { QStringLiteral("htm"), QStringLiteral("text/html") },
        { QStringLiteral("xml"), QStringLiteral("application/xml") },
        { QStringLiteral("css"), QStringLiteral("text/css") },
        { QStringLiteral("js"), QStringLiteral("application/javascript") },
        { QStringLiteral("svg"), QStringLiteral("image/svg+xml") },
        { QStringLiteral("png"), QStringLiteral("image/png") },
        { QStringLiteral("jpg"), QStringLiteral("image/jpeg") },
        { QStringLiteral("jpeg"), QStringLiteral("image/jpeg") },
        { QStringLiteral("gif"), QStringLiteral("image/gif") },
        { QStringLiteral("webp"), QStringLiteral("image/webp") },
        { QStringLiteral("bmp"), QStringLiteral("image/bmp") },
        { QStringLiteral("ttf"), QStringLiteral("font/ttf") },
        { QStringLiteral("otf"), QStringLiteral("font/otf") },
        { QStringLiteral("woff"), QStringLiteral("font/woff") },
        { QStringLiteral("woff2"), QStringLiteral("font/woff2") },
        { QStringLiteral("mp3"), QStringLiteral("audio/mpeg") },
        { QStringLiteral("m4a"), QStringLiteral("audio/mp4") },
        { QStringLiteral("mp4"), QStringLiteral("video/mp4") },
        { QStringLiteral("txt"), QStringLiteral("text/plain") },
    };
    return types.value(QFileInfo(path).suffix().toLower(), QStringLiteral("application/octet-stream"));
}

bool isFontType(const QString& type)
{
    return type.startsWith(QLatin1String("font/")) || type.startsWith(QLatin1String("application/font"))
        || type.startsWith(QLatin1String("application/x-font")) || type == QLatin1String("application/vnd.ms-opentype");
}

bool isDocumentType(const QString& type)
{
    return type == QLatin1String("application/xhtml+xml") || type == QLatin1String("text/html")
        || type == QLatin1String("image/svg+xml");
}

// What the engine takes as it is; an item of another type with a fallback
// chain is served as the first one of these on its chain.
bool engineTakes(const QString& type)
{
    static const QStringList taken { QStringLiteral("application/xhtml+xml"), QStringLiteral("text/html"),
        QStringLiteral("image/svg+xml"), QStringLiteral("image/png"), QStringLiteral("image/jpeg"),
        QStringLiteral("image/gif"), QStringLiteral("image/webp"), QStringLiteral("image/bmp"),
        QStringLiteral("text/css"), QStringLiteral("text/javascript"), QStringLiteral("application/javascript"),
        QStringLiteral("application/ecmascript") };
    return taken.contains(type) || isFontType(type) || type.startsWith(QLatin1String("audio/"))
        || type.startsWith(QLatin1String("video/"));
}

// The manifest's media type as the engine understands it.
QString servedType(const QString& manifestType, const QString& path)
{
    const QString type = manifestType.trimmed().toLower();
    if (type.isEmpty())
        return typeByExtension(path);
    if (type == QLatin1String("text/x-oeb1-document"))
        return QStringLiteral("text/html");
    if (type == QLatin1String("text/x-oeb1-css"))
        return QStringLiteral("text/css");
    return type;
}

QNetworkReply* refusal(const QNetworkRequest& request, QObject* parent)
{
    return new BookReply(request, QNetworkReply::ContentAccessDenied, QStringLiteral("Refused"), parent);
}

} // namespace

BookNetworkAccessManager::BookNetworkAccessManager(QObject* parent)
    : QNetworkAccessManager(parent)
{ }

void BookNetworkAccessManager::setBookFolder(const QString& folder)
{
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    book_folder = canonical.isEmpty() ? QString() : canonical + QLatin1Char('/');
    book_host = folder.isEmpty() ? QString() : lf::BookAddress::host(folder);
}

void BookNetworkAccessManager::setBook(const EpubData& book)
{
    manifest = book.manifest;
    package_path = book.packagePath;
    item_by_path.clear();
    for (int index = 0; index < manifest.items.size(); ++index) {
        const QString path = pathOf(manifest.items.at(index));
        if (!path.isEmpty() && !item_by_path.contains(path))
            item_by_path.insert(path, index);
    }
    setObfuscatedFonts(book.obfuscatedFonts);
}

void BookNetworkAccessManager::setObfuscatedFonts(const QList<ObfuscatedFont>& fonts)
{
    obfuscated_fonts.clear();
    for (const ObfuscatedFont& font : fonts) {
        const QString file = QFileInfo(book_folder + font.path).canonicalFilePath();
        if (!file.isEmpty() && isInsideBook(file))
            obfuscated_fonts.insert(file, font);
    }
}

void BookNetworkAccessManager::startPage()
{
    page_fonts.clear();
    page_font_bytes = 0;
}

QString BookNetworkAccessManager::pathOf(const ManifestEntry& item) const
{
    return lf::BookHref::resolve(package_path, item.href);
}

const ManifestEntry* BookNetworkAccessManager::itemAt(const QString& path) const
{
    const auto found = item_by_path.constFind(path);
    return found == item_by_path.cend() ? nullptr : &manifest.items.at(*found);
}

const ManifestEntry* BookNetworkAccessManager::displayedItem(const ManifestEntry* item) const
{
    const auto usable = [this](const ManifestEntry& entry) {
        return engineTakes(servedType(entry.mediaType, entry.href))
            && QFileInfo(lf::BookHref::filePath(book_folder, pathOf(entry))).isFile();
    };
    if (usable(*item) || item->fallback.isEmpty())
        return item;
    // Each item is passed once, so a chain that loops ends.
    QSet<QString> passed { item->id };
    for (const ManifestEntry* next = manifest.item(item->fallback); next && !passed.contains(next->id);
         next = manifest.item(next->fallback)) {
        if (usable(*next))
            return next;
        passed.insert(next->id);
    }
    return item;
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

std::optional<BookNetworkAccessManager::Served> BookNetworkAccessManager::served(const QUrl& url) const
{
    if (book_folder.isEmpty())
        return std::nullopt;
    QString path = lf::BookAddress::bookPath(url, book_host);
    if (path.isEmpty())
        return std::nullopt;
    QString type;
    if (const ManifestEntry* item = itemAt(path)) {
        const ManifestEntry* shown = displayedItem(item);
        path = pathOf(*shown);
        type = servedType(shown->mediaType, path);
    } else {
        type = typeByExtension(path);
    }
    const QString file = lf::BookHref::filePath(book_folder, path);
    if (file.isEmpty() || !isInsideBook(file))
        return std::nullopt;
    return Served { path, file, type };
}

bool BookNetworkAccessManager::isAllowed(Operation operation, const QUrl& url) const
{
    if (operation != GetOperation && operation != HeadOperation)
        return false;
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("qrc") || scheme == QLatin1String("data"))
        return true;
    const std::optional<Served> answer = served(url);
    return answer && QFileInfo(answer->file).isFile();
}

QByteArray BookNetworkAccessManager::fontBytes(const Served& served)
{
    const bool counted = page_fonts.contains(served.path);
    QFile source(served.file);
    if ((!counted && page_font_bytes + source.size() > kPageFontBytes) || !source.open(QIODevice::ReadOnly)) {
        qDebug().noquote() << "font not served, the page's fonts would pass" << (kPageFontBytes >> 20)
                           << "MiB:" << served.path;
        return {};
    }
    QByteArray bytes = source.readAll();
    const auto font = obfuscated_fonts.constFind(QFileInfo(served.file).canonicalFilePath());
    if (font != obfuscated_fonts.cend())
        lf::FontObfuscation::apply(*font, bytes);
    if (!counted) {
        page_font_bytes += bytes.size();
        page_fonts.insert(served.path);
    }
    return bytes;
}

QNetworkReply* BookNetworkAccessManager::bookReply(const QNetworkRequest& request, const Served& served)
{
    if (!QFileInfo(served.file).isFile())
        return new BookReply(request, QNetworkReply::ContentNotFoundError, QStringLiteral("Not found"), this);
    const bool font
        = isFontType(served.mediaType) || obfuscated_fonts.contains(QFileInfo(served.file).canonicalFilePath());
    const bool style = served.mediaType == QLatin1String("text/css");
    std::unique_ptr<QIODevice> body;
    if (font || style || isDocumentType(served.mediaType)) {
        QByteArray bytes;
        if (font) {
            bytes = fontBytes(served);
            if (bytes.isEmpty())
                return refusal(request, this);
        } else {
            QFile source(served.file);
            if (!source.open(QIODevice::ReadOnly))
                return new BookReply(request, QNetworkReply::ContentAccessDenied, source.errorString(), this);
            bytes = style ? lf::BookStyleRewrite::styleSheet(source.readAll())
                          : lf::BookStyleRewrite::document(source.readAll());
        }
        auto buffer = std::make_unique<QBuffer>();
        buffer->setData(bytes);
        buffer->open(QIODevice::ReadOnly);
        body = std::move(buffer);
    } else {
        auto file = std::make_unique<QFile>(served.file);
        if (!file->open(QIODevice::ReadOnly))
            return new BookReply(request, QNetworkReply::ContentAccessDenied, file->errorString(), this);
        body = std::move(file);
    }
    return new BookReply(request, std::move(body), served.mediaType, this);
}

QNetworkReply* BookNetworkAccessManager::createRequest(
    Operation operation, const QNetworkRequest& request, QIODevice* outgoingData)
{
    const QUrl& url = request.url();
    const QString scheme = url.scheme().toLower();
    if (operation == GetOperation || operation == HeadOperation) {
        if (scheme == QLatin1String("qrc") || scheme == QLatin1String("data"))
            return QNetworkAccessManager::createRequest(operation, request, outgoingData);
        if (const std::optional<Served> answer = served(url))
            return bookReply(request, *answer);
    }
    qDebug().noquote() << "request refused:" << url.toString();
    // Refusals end as an error reply, so the page never waits for them.
    return refusal(request, this);
}
