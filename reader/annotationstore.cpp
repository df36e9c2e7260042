#include "reader/annotationstore.h"

#include "base/appconstants.h"

#include <QDebug>
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

const QString kHighlightIndexName = lf::kHighlightFilePattern.arg(kTotalSuffix);
const QString kMemoIndexName = lf::kMemoFilePattern.arg(kTotalSuffix);

std::optional<QJsonDocument> readJson(const BookCacheFolder& folder, const QString& name)
{
    const std::optional<QByteArray> bytes = folder.read(name, kMaxFileSize);
    if (!bytes)
        return std::nullopt;
    QJsonParseError error {};
    const QJsonDocument document = QJsonDocument::fromJson(*bytes, &error);
    if (error.error != QJsonParseError::NoError) {
        qDebug().noquote() << "annotation file damaged, read as empty:" << folder.filePath(name) << error.errorString();
        return std::nullopt;
    }
    return document;
}

QByteArray compact(const QJsonDocument& document)
{
    return document.toJson(QJsonDocument::Compact);
}
} // namespace

AnnotationStore::AnnotationStore(QObject* parent)
    : QObject(parent)
{ }

void AnnotationStore::setBook(const QString& bookDir, const QString& contentDir, int pageCount)
{
    m_bookFolder = BookCacheFolder(bookDir, QString());
    m_contentFolder = BookCacheFolder(bookDir, contentDir);
    if (!m_contentFolder.usable())
        qDebug().noquote() << "content folder leaves the book folder, no annotations kept:" << contentDir;
    m_highlightFolder = BookCacheFolder(bookDir, contentDir, lf::kHighlightFolder);
    m_memoFolder = BookCacheFolder(bookDir, contentDir, lf::kMemoFolder);
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

QString AnnotationStore::bookmarkFilePath() const
{
    return m_contentFolder.filePath(lf::kBookmarkFileName);
}

QString AnnotationStore::highlightIndexFilePath() const
{
    return m_highlightFolder.filePath(kHighlightIndexName);
}

QString AnnotationStore::memoIndexFilePath() const
{
    return m_memoFolder.filePath(kMemoIndexName);
}

QString AnnotationStore::marksFilePath(int page) const
{
    if (!isPage(page))
        return {};
    return m_highlightFolder.filePath(lf::kHighlightFilePattern.arg(page));
}

QString AnnotationStore::progressFilePath() const
{
    return m_bookFolder.filePath(lf::kReadingPositionFileName);
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
    const std::optional<QJsonDocument> document = readJson(m_contentFolder, lf::kBookmarkFileName);
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

void AnnotationStore::loadIndex(QJsonObject& index, const BookCacheFolder& folder, const QString& name)
{
    const std::optional<QJsonDocument> document = readJson(folder, name);
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
    loadIndex(m_highlightStore, m_highlightFolder, kHighlightIndexName);
}

void AnnotationStore::loadMemos()
{
    loadIndex(m_memoStore, m_memoFolder, kMemoIndexName);
}

void AnnotationStore::loadProgress()
{
    const std::optional<QJsonDocument> document = readJson(m_bookFolder, lf::kReadingPositionFileName);
    if (document)
        setProgressPage(document->object().value(kCurrentPageKey).toInt());
}

bool AnnotationStore::saveBookmarks() const
{
    QJsonArray pages;
    for (int page : m_bookmarks)
        pages.append(page);
    return m_contentFolder.write(lf::kBookmarkFileName, compact(QJsonDocument(pages)));
}

bool AnnotationStore::saveHighlights() const
{
    return m_highlightFolder.write(kHighlightIndexName, compact(QJsonDocument(m_highlightStore)));
}

bool AnnotationStore::saveMemos() const
{
    return m_memoFolder.write(kMemoIndexName, compact(QJsonDocument(m_memoStore)));
}

bool AnnotationStore::saveProgress() const
{
    QJsonObject progress;
    progress.insert(kCurrentPageKey, m_progressPage);
    progress.insert(kTotalPageKey, m_pageCount);
    return m_bookFolder.write(lf::kReadingPositionFileName, compact(QJsonDocument(progress)));
}

void AnnotationStore::setBookmark(int page, bool marked)
{
    const QList<int> before = m_bookmarks;
    if (!marked)
        m_bookmarks.removeOne(page);
    else if (isPage(page) && !m_bookmarks.contains(page))
        m_bookmarks.append(page);
    std::sort(m_bookmarks.begin(), m_bookmarks.end());
    saveBookmarks();
    if (m_bookmarks != before)
        emit bookmarksChanged();
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
    emit highlightAdded(page, className, color, text);
}

std::optional<QStringList> AnnotationStore::removeFromIndex(QJsonObject& index, int page, const QStringList& classNames)
{
    const QString key = pageKey(page);
    const auto found = index.find(key);
    if (found == index.end())
        return std::nullopt;
    QJsonObject marks = found.value().toObject();
    QStringList removed;
    for (const QString& name : classNames) {
        if (marks.contains(name) && !removed.contains(name))
            removed.append(name);
        marks.remove(name);
    }
    if (marks.isEmpty())
        index.erase(found);
    else
        found.value() = marks;
    return removed;
}

bool AnnotationStore::removeHighlights(int page, const QStringList& classNames)
{
    const std::optional<QStringList> removed = removeFromIndex(m_highlightStore, page, classNames);
    if (!removed)
        return false;
    saveHighlights();
    for (const QString& name : *removed)
        emit highlightRemoved(page, name);
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
    emit memoAdded(page, className, text);
}

bool AnnotationStore::removeMemos(int page, const QStringList& classNames)
{
    const std::optional<QStringList> removed = removeFromIndex(m_memoStore, page, classNames);
    if (!removed)
        return false;
    saveMemos();
    for (const QString& name : *removed)
        emit memoRemoved(page, name);
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
    emit memoChanged(page, className, memoText);
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
    if (!isPage(page))
        return false;
    return m_highlightFolder.write(lf::kHighlightFilePattern.arg(page), serialised.toUtf8());
}

std::optional<QString> AnnotationStore::readMarks(int page) const
{
    if (!isPage(page))
        return std::nullopt;
    const std::optional<QByteArray> bytes = m_highlightFolder.read(lf::kHighlightFilePattern.arg(page), kMaxFileSize);
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
