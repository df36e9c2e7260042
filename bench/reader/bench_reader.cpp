// The reader window on real books: time from the library's "open" to the
// first page laid out, page-turn latency, and the web engine's memory over
// many turns.
//
// Opens the corpus book with the most documents, the largest corpus book and a
// generated 300-document book in a private data directory, each through the library
// window as a double-click does, then turns pages. Then gives the generated
// book 1,000 highlights and times its opening with the panels filled, and one
// more highlight (index, panel row and both files).
//
//   QT_QPA_PLATFORM=offscreen build/bench/bin/bench_reader
#include "app/datadirectory.h"
#include "bench/benchsupport.h"
#include "import/unzipthread.h"
#include "library/viewermainwindow.h"
#include "reader/annotationstore.h"
#include "reader/viewerviewwindow.h"
#include "resources/lumenfolioresources.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <cstdio>

namespace {

using lf::bench::installCorpusBook;
using lf::bench::residentKilobytes;

bool waitForPage(ViewerViewWindow* reader)
{
    QElapsedTimer timer;
    timer.start();
    while (!reader->isPageReady()) {
        if (timer.elapsed() > 30000)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

// A reflowable book of `documents` chapters of about 10,000 words each.
QString generateChapters(int documents)
{
    QByteArray paragraph;
    for (int word = 0; word < 120; ++word)
        paragraph += "lorem ipsum dolor ";
    return lf::bench::generateBook(documents, [&paragraph](int i) {
        QByteArray body = "<h1>c" + QByteArray::number(i) + "</h1>";
        for (int p = 0; p < 30; ++p)
            body += "<p>" + paragraph + "</p>";
        return body;
    });
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0.0 : values.at(values.size() / 2);
}

void measure(ViewerMainWindow& library, const QString& name, QTextStream& out)
{
    QElapsedTimer timer;
    timer.start();
    library.openEpubViewer(name);
    ViewerViewWindow* reader = library.epubViewer();
    if (!reader || !waitForPage(reader)) {
        out << name << ": did not open\n";
        return;
    }
    const double openMs = timer.nsecsElapsed() / 1e6;

    QList<double> turns;
    for (int i = 0; i < 100; ++i) {
        const int next = (reader->currentIndex() + 1) % reader->pageCount();
        timer.restart();
        reader->moveToPageNum(next);
        if (!waitForPage(reader))
            break;
        turns.append(timer.nsecsElapsed() / 1e6);
    }
    out << QStringLiteral("%1 (%2 documents): first page laid out %3 ms after open, turn median %4 ms, slowest %5 ms\n")
               .arg(name)
               .arg(reader->pageCount())
               .arg(openMs, 0, 'f', 1)
               .arg(median(turns), 0, 'f', 1)
               .arg(turns.isEmpty() ? 0.0 : *std::max_element(turns.begin(), turns.end()), 0, 'f', 1);
    out.flush();
}

} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir scratch;
    lf::bench::usePrivateLocations(scratch.path());
    QApplication app(argc, argv);
    lf::initResources();
    lf::ensureDataDirectory();
    QTextStream out(stdout);

    ViewerMainWindow library;
    measure(library, installCorpusBook(QStringLiteral("moby-dick.epub")), out);
    measure(library, installCorpusBook(QStringLiteral("page-blanche-fxl.epub")), out);
    const QString generated = generateChapters(300);
    measure(library, generated, out);

    // Memory over many turns: the caches are bounded, so the engine must not grow.
    ViewerViewWindow* reader = library.epubViewer();
    long after50 = 0;
    for (int turn = 1; turn <= 500 && reader; ++turn) {
        reader->moveToPageNum(turn % reader->pageCount());
        if (!waitForPage(reader))
            break;
        if (turn == 50)
            after50 = residentKilobytes();
    }
    const long after500 = residentKilobytes();
    out << QStringLiteral("resident memory: %1 MB after 50 turns, %2 MB after 500 turns (%3%)\n")
               .arg(after50 / 1024)
               .arg(after500 / 1024)
               .arg(after50 > 0 ? 100.0 * (after500 - after50) / after50 : 0.0, 0, 'f', 1);

    // 1,000 highlights over 300 pages.
    {
        AnnotationStore store;
        store.setBook(lf::dataDirectory() + generated, QStringLiteral("OPS/"), 300);
        for (int i = 0; i < 1000; ++i)
            store.addHighlight(i % 300, QStringLiteral("highlighted%1").arg(1700000000000LL + i),
                QStringLiteral("Yellow"), QStringLiteral("lorem ipsum dolor %1").arg(i));
    }
    // No progress kept, so no continue prompt waits for an answer.
    QFile::remove(lf::dataDirectory() + generated + QStringLiteral("/cp"));
    QElapsedTimer timer;
    timer.start();
    library.openEpubViewer(generated);
    reader = library.epubViewer();
    if (reader && waitForPage(reader)) {
        const double openMs = timer.nsecsElapsed() / 1e6;
        QList<double> adds;
        for (int i = 0; i < 21; ++i) {
            timer.restart();
            reader->leftWebviewAddHighlight(QStringLiteral("highlighted%1").arg(1800000000000LL + i),
                QStringLiteral("Green"), QStringLiteral("one more"));
            reader->leftWebviewSerializeHighlights(QStringLiteral("[]"));
            adds.append(timer.nsecsElapsed() / 1e6);
        }
        // The highlight list is filled when it is first shown.
        timer.restart();
        reader->findChild<QPushButton*>(QStringLiteral("toolbar_highlight_button"))->click();
        const double listMs = timer.nsecsElapsed() / 1e6;
        out << QStringLiteral("%1 with 1,000 highlights: first page %2 ms after open; one more highlight %3 ms "
                              "(median of 21); highlight panel first shown with its rows in %4 ms\n")
                   .arg(generated)
                   .arg(openMs, 0, 'f', 1)
                   .arg(median(adds), 0, 'f', 1)
                   .arg(listMs, 0, 'f', 1);
    }
    return 0;
}
