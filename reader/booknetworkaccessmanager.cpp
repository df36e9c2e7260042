#include "reader/booknetworkaccessmanager.h"

#include "epub/fontobfuscation.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

#include <algorithm>
#include <cstring>

namespace {

// Fonts beyond this are not read into memory to be served.
constexpr qint64 kMaxFontBytes = qint64(64) << 20;

// A reply with bytes the program made itself: a font it gave back its header.
class MadeReply : public QNetworkReply
{
public:
    MadeReply(const QNetworkRequest& request, QByteArray bytes, QObject* parent)
        : QNetworkReply(parent)
        , m_bytes(std::move(bytes))
    {
        setRequest(request);
        setUrl(request.url());
        setOperation(QNetworkAccessManager::GetOperation);
        setHeader(QNetworkRequest::ContentLengthHeader, m_bytes.size());
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
        setFinished(true);
        // Announced after the caller has connected, as a file reply is.
        QTimer::singleShot(0, this, [this] {
            emit metaDataChanged();
            emit readyRead();
            emit finished();
        });
    }

    void abort() override { }
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return m_bytes.size() - m_read + QNetworkReply::bytesAvailable(); }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        if (m_read >= m_bytes.size())
            return -1;
        const qint64 count = std::min(maxSize, qint64(m_bytes.size()) - m_read);
        std::memcpy(data, m_bytes.constData() + m_read, size_t(count));
        m_read += count;
        return count;
    }

private:
    QByteArray m_bytes;
    qint64 m_read = 0;
};

// An absolute path with "." and ".." resolved, ".." stopping at the top
// folder as it does in an address.
QString clampedPath(const QString& absolute)
{
    QStringList kept;
    for (const QString& segment : absolute.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (segment == QLatin1String("..")) {
            if (!kept.isEmpty())
                kept.removeLast();
        } else if (segment != QLatin1String(".")) {
            kept.append(segment);
        }
    }
    return QLatin1Char('/') + kept.join(QLatin1Char('/'));
}

} // namespace

BookNetworkAccessManager::BookNetworkAccessManager(QObject* parent)
    : QNetworkAccessManager(parent)
{ }

void BookNetworkAccessManager::setBookFolder(const QString& folder)
{
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    book_folder = canonical.isEmpty() ? QString() : canonical + QLatin1Char('/');
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

QString BookNetworkAccessManager::containerFile(const QString& localFile) const
{
    if (book_folder.isEmpty())
        return {};
    const QString path = clampedPath(QFileInfo(localFile).absoluteFilePath());
    // The deepest folder above the book that the path still lies in is where
    // it climbed out; what follows names a file from the book's top folder.
    QString above = QDir::cleanPath(book_folder);
    while (!above.isEmpty()) {
        above = QFileInfo(above).path();
        const QString prefix = above.endsWith(QLatin1Char('/')) ? above : above + QLatin1Char('/');
        if (path.startsWith(prefix)) {
            const QString candidate = book_folder + path.mid(prefix.size());
            return QFileInfo(candidate).isFile() && isInsideBook(candidate) ? candidate : QString();
        }
        if (above == QLatin1String("/"))
            break;
    }
    return {};
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

QNetworkReply* BookNetworkAccessManager::fontReply(
    const QNetworkRequest& request, const QString& file, const ObfuscatedFont& font)
{
    QFile source(file);
    if (source.size() > kMaxFontBytes || !source.open(QIODevice::ReadOnly)) {
        qDebug().noquote() << "font not served:" << file;
        return QNetworkAccessManager::createRequest(GetOperation, QNetworkRequest(QUrl()), nullptr);
    }
    QByteArray bytes = source.readAll();
    lf::FontObfuscation::apply(font, bytes);
    return new MadeReply(request, std::move(bytes), this);
}

QNetworkReply* BookNetworkAccessManager::createRequest(
    Operation operation, const QNetworkRequest& request, QIODevice* outgoingData)
{
    QNetworkRequest served = request;
    if (!isAllowed(operation, request.url()) && (operation == GetOperation || operation == HeadOperation)
        && request.url().isLocalFile() && request.url().host().isEmpty()) {
        const QString meant = containerFile(request.url().toLocalFile());
        if (!meant.isEmpty())
            served.setUrl(QUrl::fromLocalFile(meant));
    }
    if (isAllowed(operation, served.url())) {
        const QString file
            = served.url().isLocalFile() ? QFileInfo(served.url().toLocalFile()).canonicalFilePath() : QString();
        const auto font = obfuscated_fonts.constFind(file);
        if (operation == GetOperation && !file.isEmpty() && font != obfuscated_fonts.cend())
            return fontReply(request, file, *font);
        return QNetworkAccessManager::createRequest(operation, served, outgoingData);
    }
    qDebug().noquote() << "request refused:" << request.url().toString();
    // A request for no address ends at once as an error reply ("protocol
    // unknown"), so the page never waits for it.
    return QNetworkAccessManager::createRequest(GetOperation, QNetworkRequest(QUrl()), nullptr);
}
