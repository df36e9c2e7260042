// The reader window on real and generated books, each opened through the
// library window as a double-click does: first page after open, page-turn
// median, the thumbnail tab (tiles in view, first opening and second opening,
// from the stored files), the background pass over the whole book (with the
// bytes its rewrites of the text file write), and resident memory with the
// thumbnails shown.
//
// Books: those named on the command line, or else the corpus book with the
// most documents; then generated books of 2,000 documents (Latin and
// Devanagari text) and 10,000 documents (the import's limit).
//
//   QT_QPA_PLATFORM=offscreen build/bench/bin/bench_reader [--named-only] [book.epub ...]
//
// --named-only leaves the generated books out.
#include "base/datadirectory.h"
#include "bench/benchapplication.h"
#include "bench/benchsupport.h"
#include "import/unzipthread.h"
#include "library/viewermainwindow.h"
#include "reader/pageharvest.h"
#include "reader/panels/viewerthumbnailitemform.h"
#include "reader/panels/viewertoclistwidget.h"
#include "reader/viewerviewwindow.h"
#include "reader/viewerwebview.h"
#include "resources/lumenfolioresources.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <functional>
#include <sys/stat.h>

namespace {

using lf::bench::residentKilobytes;

bool waitFor(const std::function<bool()>& done, qint64 limitMs = 60000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > limitMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

bool waitForPage(ViewerViewWindow* reader)
{
    return waitFor([reader] { return reader->isPageReady(); }, 30000);
}

// Chapters of about 5 KB.
QString generateChapters(int documents)
{
    QByteArray paragraph;
    for (int word = 0; word < 40; ++word)
        paragraph += "the river ran ";
    return lf::bench::generateBook(documents, [&paragraph](int i) {
        QByteArray body = "<h1>c" + QByteArray::number(i) + "</h1>";
        for (int p = 0; p < 9; ++p)
            body += "<p>" + paragraph + "</p>";
        return body;
    });
}

// Chapters of about 15 KB in Devanagari: conjuncts, vowel signs and nasal
// marks, so every word goes through the complex text path.
QString generateDevanagariChapters(int documents)
{
    const QByteArray words
        = QStringLiteral("\u0928\u0926\u0940 \u0915\u0947 \u0915\u093f\u0928\u093e\u0930\u0947 "
                         "\u0938\u094d\u0935\u0924\u0902\u0924\u094d\u0930\u0924\u093e "
                         "\u0915\u094d\u0937\u0947\u0924\u094d\u0930 \u092e\u0947\u0902 "
                         "\u092a\u094d\u0930\u0924\u093f\u0928\u093f\u0927\u093f "
                         "\u0936\u094d\u0930\u0940\u092e\u093e\u0928 \u0926\u094d\u0935\u093e\u0930\u093e "
                         "\u0935\u093f\u0926\u094d\u092f\u093e\u0932\u092f \u0939\u0948\u0902\u0964 ")
              .toUtf8();
    QByteArray paragraph;
    for (int repeat = 0; repeat < 8; ++repeat)
        paragraph += words;
    return lf::bench::generateBook(
        documents,
        [&paragraph](int i) {
            QByteArray body = "<h1>" + QStringLiteral("\u0905\u0927\u094d\u092f\u093e\u092f ").toUtf8()
                + QByteArray::number(i) + "</h1>";
            for (int p = 0; p < 9; ++p)
                body += "<p>" + paragraph + "</p>";
            return body;
        },
        QStringLiteral("devanagari"));
}

// Counts the whole rewrites of one file (each replaces it under a new inode)
// and the bytes they wrote, by looking at it whenever asked.
class FileRewrites
{
public:
    explicit FileRewrites(QString path)
        : m_path(std::move(path))
    { }

    void look()
    {
        struct stat info;
        if (::stat(QFile::encodeName(m_path).constData(), &info) != 0 || info.st_ino == m_inode)
            return;
        m_inode = info.st_ino;
        m_bytes += info.st_size;
        m_last = info.st_size;
        ++m_count;
    }
    QString summary() const
    {
        return QStringLiteral("%1 rewrites, %2 MB written for a %3 MB file")
            .arg(m_count)
            .arg(m_bytes / 1e6, 0, 'f', 1)
            .arg(m_last / 1e6, 0, 'f', 1);
    }

private:
    QString m_path;
    ino_t m_inode = 0;
    qint64 m_bytes = 0;
    qint64 m_last = 0;
    int m_count = 0;
};

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0.0 : values.at(values.size() / 2);
}

double percentile95(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0.0 : values.at(std::min<int>(values.size() - 1, values.size() * 95 / 100));
}

// Times the paint events of the widgets it filters: it paints them itself.
class PaintClock : public QObject
{
public:
    using QObject::QObject;
    qint64 nanoseconds = 0;
    int paints = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::Paint)
            return false;
        QElapsedTimer timer;
        timer.start();
        watched->event(event);
        nanoseconds += timer.nsecsElapsed();
        ++paints;
        return true;
    }
};

// Where the turns' time went, each part's median over the turns: the load is
// the turn less the steps after it and the paints the engine made during it.
struct TurnParts
{
    QList<double> load, script, marks, layout, painting;

    void add(double turnMs, const ViewerViewWindow::PostLoadTimes& after, double paintInTurnMs, double paintMs)
    {
        const double scriptMs = after.scriptNs / 1e6;
        const double marksMs = after.marksNs / 1e6;
        const double layoutMs = after.layoutNs / 1e6;
        script.append(scriptMs);
        marks.append(marksMs);
        layout.append(layoutMs);
        painting.append(paintMs);
        load.append(std::max(0.0, turnMs - scriptMs - marksMs - layoutMs - paintInTurnMs));
    }
    QString summary(const QList<double>& turns) const
    {
        return QStringLiteral("  turn parts (medians): load %1 ms, page script %2 ms, restoring marks %3 ms, "
                              "layout %4 ms, painting the page %5 ms; turn p95 %6 ms\n")
            .arg(median(load), 0, 'f', 1)
            .arg(median(script), 0, 'f', 1)
            .arg(median(marks), 0, 'f', 1)
            .arg(median(layout), 0, 'f', 1)
            .arg(median(painting), 0, 'f', 1)
            .arg(percentile95(turns), 0, 'f', 1);
    }
};

// Opens the book, no continue prompt waiting for an answer; ms to the first page, or -1.
double openBook(ViewerMainWindow& library, const QString& name)
{
    QFile::remove(lf::dataDirectory() + name + QStringLiteral("/cp"));
    QElapsedTimer timer;
    timer.start();
    library.openEpubViewer(name);
    ViewerViewWindow* reader = library.epubViewer();
    if (!reader || !waitForPage(reader))
        return -1;
    return timer.nsecsElapsed() / 1e6;
}

// Shows the thumbnail tab; ms until every tile in view has its picture.
double showThumbnails(ViewerViewWindow* reader)
{
    QElapsedTimer timer;
    timer.start();
    reader->findChild<QPushButton*>(QStringLiteral("toolbar_toc_list_button"))->click();
    auto* panel = reader->findChild<ViewerTocListWidget*>();
    panel->findChild<QTabWidget*>(QStringLiteral("tabWidget"))->setCurrentIndex(1);
    auto* list = panel->findChild<QListWidget*>(QStringLiteral("thumbnail_list_widget"));
    const bool done = waitFor([list] {
        int shown = 0;
        for (auto* tile : list->findChildren<ViewerThumbnailItemForm*>()) {
            if (!tile->isVisible())
                continue;
            if (!tile->hasPixmap())
                return false;
            ++shown;
        }
        return shown > 0;
    });
    return done ? timer.nsecsElapsed() / 1e6 : -1;
}

void measure(ViewerMainWindow& library, const QString& name, QTextStream& out)
{
    const double openMs = openBook(library, name);
    ViewerViewWindow* reader = library.epubViewer();
    if (openMs < 0) {
        out << name << ": did not open\n";
        return;
    }
    QList<double> turns;
    TurnParts parts;
    PaintClock paintClock;
    reader->leftView()->installEventFilter(&paintClock);
    reader->rightView()->installEventFilter(&paintClock);
    QElapsedTimer timer;
    for (int i = 0; i < 40; ++i) {
        const int next = (reader->currentIndex() + 1) % reader->pageCount();
        paintClock.nanoseconds = 0;
        timer.restart();
        reader->moveToPageNum(next);
        if (!waitForPage(reader))
            break;
        const double turnMs = timer.nsecsElapsed() / 1e6;
        turns.append(turnMs);
        // The turn ends for the reader once the page is shown on screen.
        const double paintInTurnMs = paintClock.nanoseconds / 1e6;
        // One paint of the page as shown, whenever the engine's own comes.
        paintClock.nanoseconds = 0;
        reader->leftView()->repaint();
        if (reader->rightView()->isVisible())
            reader->rightView()->repaint();
        parts.add(turnMs, reader->lastPostLoadTimes(), paintInTurnMs, paintClock.nanoseconds / 1e6);
    }
    reader->leftView()->removeEventFilter(&paintClock);
    reader->rightView()->removeEventFilter(&paintClock);
    const int documents = reader->pageCount();
    out << QStringLiteral("%1 (%2 documents): first page %3 ms after open, turn median %4 ms\n")
               .arg(name)
               .arg(documents)
               .arg(openMs, 0, 'f', 1)
               .arg(median(turns), 0, 'f', 1);
    out << parts.summary(turns);
    out.flush();

    const double firstThumbs = showThumbnails(reader);
    const long rssKb = residentKilobytes();
    // The background pass goes on while the reader is open: its pace per document.
    auto* harvest = reader->findChild<PageHarvest*>();
    QElapsedTimer pass;
    pass.start();
    int taken = 0;
    QObject::connect(harvest, &PageHarvest::thumbnailMade, [&taken] { ++taken; });
    FileRewrites textFile(lf::dataDirectory() + name + QLatin1Char('/') + reader->epubData()->contentDir
        + QStringLiteral("searchtext/texts.txt"));
    const bool whole = waitFor(
        [harvest, documents, &textFile] {
            textFile.look();
            for (int page = documents - 1; page >= 0; page -= std::max(1, documents / 50)) {
                if (!harvest->isHarvested(page))
                    return false;
            }
            return harvest->isHarvested(0);
        },
        900000);
    const double passMs = pass.nsecsElapsed() / 1e6;
    reader->close();
    QCoreApplication::processEvents();
    textFile.look();

    openBook(library, name);
    const double secondThumbs = showThumbnails(library.epubViewer());
    out << QStringLiteral(
        "  thumbnails in view: %1 ms first opening, %2 ms second opening; resident memory with "
        "thumbnails shown %3 MB\n  background pass: %4 documents in %5 s (%6 ms a document)%7; text file: %8\n")
               .arg(firstThumbs, 0, 'f', 1)
               .arg(secondThumbs, 0, 'f', 1)
               .arg(rssKb / 1024)
               .arg(taken)
               .arg(passMs / 1000, 0, 'f', 1)
               .arg(taken ? passMs / taken : 0.0, 0, 'f', 1)
               .arg(whole ? QString() : QStringLiteral(" (stopped before the end)"), textFile.summary());
    out.flush();
    library.epubViewer()->close();
    QCoreApplication::processEvents();
}

} // namespace

int main(int argc, char** argv)
{
    lf::bench::BenchApplication app(argc, argv);
    QTextStream out(stdout);

    QStringList names;
    bool namedOnly = false;
    for (int i = 1; i < argc; ++i) {
        if (QByteArray(argv[i]) == "--named-only") {
            namedOnly = true;
            continue;
        }
        const QString name = QFileInfo(QString::fromLocal8Bit(argv[i])).completeBaseName();
        UnzipThread::extractArchive(QString::fromLocal8Bit(argv[i]), lf::dataDirectory() + name);
        names << name;
    }
    if (names.isEmpty())
        names << lf::bench::installCorpusBook(QStringLiteral("moby-dick.epub"));
    if (!namedOnly)
        names << generateChapters(2000) << generateDevanagariChapters(2000) << generateChapters(10000);

    ViewerMainWindow library;
    for (const QString& name : names)
        measure(library, name, out);
    return 0;
}
