// The annotation files of a well-used book: 1,000 highlights over 300 pages (and
// 100 memos, 50 bookmarks). Prints the median time to load the store when the
// book opens, to read one page's marks, and to add one highlight the way the
// reader does (index updated, index file and the page's marks file written).
#include "reader/annotationstore.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kPages = 300;
constexpr int kHighlights = 1000;
constexpr int kMemos = 100;
constexpr int kBookmarks = 50;
constexpr int kRuns = 21;
constexpr qint64 kFirstStamp = 1600000000000;
const QStringList kColours = { "Yellow", "Orange", "Green", "Blue" };

double median(QVector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

QString markedText(int i)
{
    return QStringLiteral("Marked passage %1, it's a sentence of ordinary length with \"quotes\" and 한국어.").arg(i);
}

// One descriptor of the page script's serialised marks.
QJsonArray descriptor(const QString& className, const QString& text, int i)
{
    const QString wrapper = QStringLiteral("<span class=\"%1\" style=\"background-color: rgba(237, 255, 0, 0.3);\" "
                                           "data-timestamp=\"%2\" data-highlighted=\"true\"></span>")
                                .arg(className)
                                .arg(kFirstStamp + i);
    return QJsonArray { wrapper, text, QStringLiteral("3:%1:0").arg(i % 40), i % 300, int(text.size()) };
}

QString serialised(const QVector<QJsonArray>& descriptors)
{
    QJsonArray all;
    for (const QJsonArray& d : descriptors)
        all.append(d);
    return QString::fromUtf8(QJsonDocument(all).toJson(QJsonDocument::Compact));
}

// Builds the files through the store itself, saving the indexes once at the end.
bool makeBook(const QString& bookDir, QVector<QVector<QJsonArray>>& pageMarks)
{
    if (!QDir().mkpath(bookDir + QStringLiteral("/OEBPS")))
        return false;
    AnnotationStore store;
    store.setBook(bookDir, QStringLiteral("OEBPS/"), kPages);
    pageMarks.resize(kPages);
    QJsonObject highlights;
    for (int i = 0; i < kHighlights; ++i) {
        const int page = i % kPages;
        const QString name = QStringLiteral("highlighted%1").arg(kFirstStamp + i);
        QJsonObject marks = highlights.value(AnnotationStore::pageKey(page)).toObject();
        marks.insert(name, QJsonObject { { "color", kColours.at(i % 4) }, { "text", markedText(i) } });
        highlights.insert(AnnotationStore::pageKey(page), marks);
        pageMarks[page].append(descriptor(name, markedText(i), i));
    }
    *store.highlightStore() = highlights;
    QJsonObject memos;
    for (int i = 0; i < kMemos; ++i) {
        const QString key = AnnotationStore::pageKey(i * 3);
        QJsonObject marks = memos.value(key).toObject();
        marks.insert(QStringLiteral("memo%1").arg(kFirstStamp + i),
            QJsonObject { { "text", markedText(i) }, { "memo", QStringLiteral("A memo note %1").arg(i) } });
        memos.insert(key, marks);
    }
    *store.memoStore() = memos;
    for (int i = 0; i < kBookmarks; ++i)
        store.bookmarks()->append(i * 6);
    store.setProgressPage(120);
    bool written = store.saveBookmarks() && store.saveHighlights() && store.saveMemos() && store.saveProgress();
    for (int page = 0; page < kPages; ++page)
        written = written && store.writeMarks(page, serialised(pageMarks.at(page)));
    return written;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir workDir;
    const QString bookDir = workDir.path() + QStringLiteral("/book");
    QVector<QVector<QJsonArray>> pageMarks;
    if (!makeBook(bookDir, pageMarks)) {
        std::fprintf(stderr, "could not write the book's annotation files\n");
        return 1;
    }

    QElapsedTimer timer;
    QVector<double> loadTimes;
    AnnotationStore store;
    for (int run = 0; run < kRuns; ++run) {
        timer.start();
        store.setBook(bookDir, QStringLiteral("OEBPS/"), kPages);
        store.load();
        loadTimes << timer.nsecsElapsed() / 1e6;
    }
    int loaded = 0;
    for (const QJsonValue& page : qAsConst(*store.highlightStore()))
        loaded += page.toObject().size();
    if (loaded != kHighlights || store.bookmarks()->size() != kBookmarks) {
        std::fprintf(stderr, "loaded %d highlights, expected %d\n", loaded, kHighlights);
        return 1;
    }

    QVector<double> readTimes;
    for (int run = 0; run < kRuns; ++run) {
        timer.start();
        const std::optional<QString> marks = store.readMarks(run % kPages);
        readTimes << timer.nsecsElapsed() / 1e6;
        if (!marks)
            return 1;
    }

    QVector<double> addTimes;
    for (int run = 0; run < kRuns; ++run) {
        const int page = (run * 37) % kPages;
        const int i = kHighlights + run;
        const QString name = QStringLiteral("highlighted%1").arg(kFirstStamp + i);
        pageMarks[page].append(descriptor(name, markedText(i), i));
        const QString marks = serialised(pageMarks.at(page)); // made by the page script, not timed
        timer.start();
        store.addHighlight(page, name, kColours.at(i % 4), markedText(i));
        const bool written = store.writeMarks(page, marks);
        addTimes << timer.nsecsElapsed() / 1e6;
        if (!written)
            return 1;
    }

    std::printf("annotations: %d highlights over %d pages, %d memos, %d bookmarks; highlight index %lld bytes\n",
        kHighlights, kPages, kMemos, kBookmarks,
        static_cast<long long>(QFileInfo(store.highlightIndexFilePath()).size()));
    std::printf("load the store at opening:          median %8.3f ms\n", median(loadTimes));
    std::printf("read one page's marks file:         median %8.3f ms\n", median(readTimes));
    std::printf("add one highlight (index + marks):  median %8.3f ms, slowest %.3f ms\n", median(addTimes),
        *std::max_element(addTimes.cbegin(), addTimes.cend()));
    std::printf("over %d runs each\n", kRuns);
    return 0;
}
