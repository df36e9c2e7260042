#include "reader/annotationstore.h"

#include "base/appconstants.h"
#include "base/atomicfile.h"
#include "base/relativepath.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>

#include <algorithm>

namespace {
const QString kTotalSuffix = QStringLiteral("_total");
const QString kColorKey = QStringLiteral("color");
const QString kTextKey = QStringLiteral("text");
const QString kMemoKey = QStringLiteral("memo");
const QString kCurrentPageKey = QStringLiteral("current_page");
const QString kTotalPageKey = QStringLiteral("total_page");

// The files sit among the book's own entries, so a hostile book can ship them;
// anything this large did not come from the reader and is not read into memory.
constexpr qint64 kMaxFileSize = 64 * 1024 * 1024;

// Whatever the path says, the folder that really holds the file must be the
// book folder or lie below it. A link at the file's own name is never
// followed: it reads as no file, and a save replaces it.
bool staysInBookFolder(const QString& path, const QString& bookDir)
{
    const QFileInfo info(path);
    const QString book = QFileInfo(bookDir).canonicalFilePath();
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    return !book.isEmpty() && !folder.isEmpty() && (folder == book || folder.startsWith(book + QLatin1Char('/')));
}

std::optional<QByteArray> readFile(const QString& path, const QString& bookDir)
{
    if (path.isEmpty() || !staysInBookFolder(path, bookDir))
        return std::nullopt;
    return lf::readOwnFile(path, kMaxFileSize);
}

std::optional<QJsonDocument> readJson(const QString& path, const QString& bookDir)
{
    const std::optional<QByteArray> bytes = readFile(path, bookDir);
    if (!bytes)
        return std::nullopt;
    QJsonParseError error {};
    const QJsonDocument document = QJsonDocument::fromJson(*bytes, &error);
    if (error.error != QJsonParseError::NoError) {
        qDebug().noquote() << "annotation file damaged, read as empty:" << path << error.errorString();
        return std::nullopt;
    }
    return document;
}

bool writeFile(const QString& path, const QString& bookDir, const QByteArray& bytes)
{
    if (path.isEmpty())
        return false;
    if (!staysInBookFolder(path, bookDir)) {
        qDebug().noquote() << "annotation file outside the book folder, not written:" << path;
        return false;
    }
    return lf::writeFileAtomically(path, bytes);
}

QByteArray compact(const QJsonDocument& document)
{
    return document.toJson(QJsonDocument::Compact);
}
} // namespace

void AnnotationStore::setBook(const QString& bookDir, const QString& contentDir, int pageCount)
{
    m_bookDir = bookDir;
    while (m_bookDir.size() > 1 && m_bookDir.endsWith(QLatin1Char('/')))
        m_bookDir.chop(1);
    m_contentDir = contentDir;
    if (!m_contentDir.isEmpty() && !m_contentDir.endsWith(QLatin1Char('/')))
        m_contentDir += QLatin1Char('/');
    m_contentDirUsable
        = !m_bookDir.isEmpty() && (m_contentDir.isEmpty() || lf::RelativePath::staysInside(m_contentDir));
    if (!m_contentDirUsable)
        qDebug().noquote() << "content folder leaves the book folder, no annotations kept:" << contentDir;
    m_pageCount = std::max(pageCount, 0);
    m_bookmarks.clear();
    m_highlightStore = QJsonObject();
    m_memoStore = QJsonObject();
    m_progressPage = 0;
}

QString AnnotationStore::pageKey(int page)
{
    return QString::number(page);
}

QString AnnotationStore::contentPath(const QString& relativePath) const
{
    if (!m_contentDirUsable)
        return {};
    return m_bookDir + QLatin1Char('/') + m_contentDir + relativePath;
}

QString AnnotationStore::bookmarkFilePath() const
{
    return contentPath(lf::kBookmarkFileName);
}

QString AnnotationStore::highlightIndexFilePath() const
{
    return contentPath(lf::kHighlightFolder + QLatin1Char('/') + lf::kHighlightFilePattern.arg(kTotalSuffix));
}

QString AnnotationStore::memoIndexFilePath() const
{
    return contentPath(lf::kMemoFolder + QLatin1Char('/') + lf::kMemoFilePattern.arg(kTotalSuffix));
}

QString AnnotationStore::marksFilePath(int page) const
{
    if (!isPage(page))
        return {};
    return contentPath(lf::kHighlightFolder + QLatin1Char('/') + lf::kHighlightFilePattern.arg(page));
}

QString AnnotationStore::progressFilePath() const
{
    if (m_bookDir.isEmpty())
        return {};
    return m_bookDir + QLatin1Char('/') + lf::kReadingPositionFileName;
}

void AnnotationStore::load()
{
    loadBookmarks();
    loadHighlights();
    loadMemos();
    loadProgress();
}

void AnnotationStore::loadBookmarks()
{
    const std::optional<QJsonDocument> document = readJson(bookmarkFilePath(), m_bookDir);
    if (!document)
        return;
    // File order is kept; pages the book does not have and repeats are dropped.
    QSet<int> seen(m_bookmarks.cbegin(), m_bookmarks.cend());
    const QJsonArray pages = document->array();
    for (const QJsonValue& value : pages) {
        const int page = value.toInt();
        if (isPage(page) && !seen.contains(page)) {
            seen.insert(page);
            m_bookmarks.append(page);
        }
    }
}

void AnnotationStore::loadIndex(QJsonObject& index, const QString& path)
{
    const std::optional<QJsonDocument> document = readJson(path, m_bookDir);
    if (!document)
        return;
    // Only members under the key of a page of this book reach the panels.
    index = QJsonObject();
    const QJsonObject stored = document->object();
    for (auto member = stored.constBegin(); member != stored.constEnd(); ++member) {
        bool isNumber = false;
        const int page = member.key().toInt(&isNumber);
        if (isNumber && isPage(page) && member.key() == pageKey(page) && member.value().isObject())
            index.insert(member.key(), member.value());
    }
}

void AnnotationStore::loadHighlights()
{
    loadIndex(m_highlightStore, highlightIndexFilePath());
}

void AnnotationStore::loadMemos()
{
    loadIndex(m_memoStore, memoIndexFilePath());
}

void AnnotationStore::loadProgress()
{
    const std::optional<QJsonDocument> document = readJson(progressFilePath(), m_bookDir);
    if (document)
        setProgressPage(document->object().value(kCurrentPageKey).toInt());
}

bool AnnotationStore::saveBookmarks() const
{
    QJsonArray pages;
    for (int page : m_bookmarks)
        pages.append(page);
    return writeFile(bookmarkFilePath(), m_bookDir, compact(QJsonDocument(pages)));
}

bool AnnotationStore::makeFolder(const QString& folder) const
{
    // One level only: the content folder itself belongs to the book.
    if (folder.isEmpty() || !staysInBookFolder(folder, m_bookDir))
        return false;
    return QFileInfo(folder).isDir() || QDir().mkdir(folder);
}

bool AnnotationStore::saveIndex(const QJsonObject& index, const QString& folder, const QString& path) const
{
    if (!makeFolder(contentPath(folder))) {
        qDebug().noquote() << "annotation folder not made, not written:" << path;
        return false;
    }
    return writeFile(path, m_bookDir, compact(QJsonDocument(index)));
}

bool AnnotationStore::saveHighlights() const
{
    return saveIndex(m_highlightStore, lf::kHighlightFolder, highlightIndexFilePath());
}

bool AnnotationStore::saveMemos() const
{
    return saveIndex(m_memoStore, lf::kMemoFolder, memoIndexFilePath());
}

bool AnnotationStore::saveProgress() const
{
    QJsonObject progress;
    progress.insert(kCurrentPageKey, m_progressPage);
    progress.insert(kTotalPageKey, m_pageCount);
    return writeFile(progressFilePath(), m_bookDir, compact(QJsonDocument(progress)));
}

void AnnotationStore::setBookmark(int page, bool marked)
{
    if (!marked)
        m_bookmarks.removeOne(page);
    else if (isPage(page) && !m_bookmarks.contains(page))
        m_bookmarks.append(page);
    std::sort(m_bookmarks.begin(), m_bookmarks.end());
    saveBookmarks();
}

void AnnotationStore::addHighlight(int page, const QString& className, const QString& color, const QString& text)
{
    if (!isPage(page))
        return;
    const QString key = pageKey(page);
    QJsonObject marks = m_highlightStore.value(key).toObject();
    marks.insert(className, QJsonObject { { kColorKey, color }, { kTextKey, text } });
    m_highlightStore.insert(key, marks);
    saveHighlights();
}

bool AnnotationStore::removeFromIndex(QJsonObject& index, int page, const QStringList& classNames)
{
    const QString key = pageKey(page);
    const auto found = index.find(key);
    if (found == index.end())
        return false;
    QJsonObject marks = found.value().toObject();
    for (const QString& name : classNames)
        marks.remove(name);
    if (marks.isEmpty())
        index.erase(found);
    else
        found.value() = marks;
    return true;
}

bool AnnotationStore::removeHighlights(int page, const QStringList& classNames)
{
    if (!removeFromIndex(m_highlightStore, page, classNames))
        return false;
    saveHighlights();
    return true;
}

void AnnotationStore::addMemo(int page, const QString& className, const QString& text)
{
    if (!isPage(page))
        return;
    const QString key = pageKey(page);
    QJsonObject memos = m_memoStore.value(key).toObject();
    memos.insert(className, QJsonObject { { kTextKey, text } });
    m_memoStore.insert(key, memos);
    saveMemos();
}

bool AnnotationStore::removeMemos(int page, const QStringList& classNames)
{
    if (!removeFromIndex(m_memoStore, page, classNames))
        return false;
    saveMemos();
    return true;
}

bool AnnotationStore::changeMemo(int page, const QString& className, const QString& memoText)
{
    const QString key = pageKey(page);
    QJsonObject memos = m_memoStore.value(key).toObject();
    if (!memos.contains(className))
        return false;
    QJsonObject entry = memos.value(className).toObject();
    entry.insert(kMemoKey, memoText);
    memos.insert(className, entry);
    m_memoStore.insert(key, memos);
    saveMemos();
    return true;
}

std::optional<AnnotationStore::Memo> AnnotationStore::memo(int page, const QString& className) const
{
    const QJsonObject memos = m_memoStore.value(pageKey(page)).toObject();
    if (!memos.contains(className))
        return std::nullopt;
    const QJsonObject entry = memos.value(className).toObject();
    return Memo { entry.value(kTextKey).toString(), entry.value(kMemoKey).toString() };
}

bool AnnotationStore::writeMarks(int page, const QString& serialised) const
{
    const QString path = marksFilePath(page);
    if (path.isEmpty() || !makeFolder(contentPath(lf::kHighlightFolder)))
        return false;
    return writeFile(path, m_bookDir, serialised.toUtf8());
}

std::optional<QString> AnnotationStore::readMarks(int page) const
{
    const std::optional<QByteArray> bytes = readFile(marksFilePath(page), m_bookDir);
    if (!bytes)
        return std::nullopt;
    return QString::fromUtf8(*bytes);
}

void AnnotationStore::setProgressPage(int progress)
{
    m_progressPage = std::clamp(progress, 0, m_pageCount);
}

bool AnnotationStore::raiseProgress(int reached)
{
    const int capped = std::min(reached, m_pageCount);
    if (capped <= m_progressPage)
        return false;
    m_progressPage = capped;
    saveProgress();
    return true;
}
