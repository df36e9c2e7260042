// The search panel and the thumbnail producer on large books.
//
// Search: a generated 2,000-document book (about 10 MB of XHTML) and the corpus
// book with the most documents, each for a rare and a common term, next to
// `grep -F -i -l` over the same extracted documents. The first search of each
// term also extracts and writes the book's search text; the second one reads it.
// Thumbnails: all thumbnails of the largest corpus book, first opening (every
// page loaded) and second opening (from the stored files).
//
//   QT_QPA_PLATFORM=offscreen build/bench/bin/bench_search
#include "app/datadirectory.h"
#include "bench/benchsupport.h"
#include "epub/epubparser.h"
#include "import/unzipthread.h"
#include "reader/viewersearchform.h"
#include "reader/viewertoclistwidget.h"
#include "resources/lumenfolioresources.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QListWidget>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include <memory>

namespace {

using lf::bench::installCorpusBook;

// Chapters of about 5 KB; every hundredth one names a zebrafish.
QString generateChapters(int documents)
{
    QByteArray paragraph;
    for (int word = 0; word < 40; ++word)
        paragraph += "the river ran ";
    return lf::bench::generateBook(documents, [&paragraph](int i) {
        QByteArray body;
        for (int p = 0; p < 9; ++p)
            body += "<p>" + paragraph + "</p>";
        if (i % 100 == 7)
            body += "<p>A <i>Zebra</i>fish swam by.</p>";
        return body;
    });
}

qint64 grepMs(const QString& folder, const QString& term)
{
    QElapsedTimer timer;
    timer.start();
    QProcess grep;
    grep.start(QStringLiteral("grep"),
        { QStringLiteral("-F"), QStringLiteral("-i"), QStringLiteral("-l"), QStringLiteral("-r"), term, folder });
    grep.waitForFinished(60000);
    return timer.elapsed();
}

void search(const QString& name, const QString& term, QTextStream& out)
{
    const QString bookDir = lf::dataDirectory() + name;
    std::unique_ptr<EpubData> book = EpubParser::parseBook(bookDir);
    QWidget window;
    window.resize(800, 600);
    window.show();
    // Each term's first search starts without the book's search text.
    QDir(bookDir + QLatin1Char('/') + book->contentDir + QStringLiteral("searchtext")).removeRecursively();
    for (const char* pass : { "first", "second" }) {
        ViewerSearchForm panel(&window, book.get(), bookDir);
        auto* spinner = panel.findChild<QLabel*>(QStringLiteral("loading_label"));
        QElapsedTimer timer;
        timer.start();
        panel.searchEvent(term);
        while (!spinner->isHidden())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        const qint64 ms = timer.elapsed();
        out << QStringLiteral("search: %1 documents in %2 ms, grep %3 ms (%4, \"%5\", %6 search, %7 rows)\n")
                   .arg(book->spine.size())
                   .arg(ms)
                   .arg(grepMs(bookDir, term))
                   .arg(name, term, QLatin1String(pass))
                   .arg(panel.findChild<QListWidget*>(QStringLiteral("listWidget"))->count());
        out.flush();
    }
}

void thumbnails(const QString& name, QTextStream& out)
{
    const QString bookDir = lf::dataDirectory() + name;
    std::unique_ptr<EpubData> book = EpubParser::parseBook(bookDir);
    QWidget window;
    window.resize(800, 600);
    window.show();
    for (const char* pass : { "first", "second" }) {
        QElapsedTimer timer;
        timer.start();
        ViewerTocListWidget panel(&window, book.get(), bookDir);
        // The first step may run inside the constructor, before anything can
        // count it: the last tile is then the one that never reports.
        int done = 0;
        QElapsedTimer quiet;
        quiet.start();
        QObject::connect(&panel, &ViewerTocListWidget::renderFinish, [&done, &quiet] {
            ++done;
            quiet.restart();
        });
        const int tiles = book->spine.size();
        while (done < tiles && !(done == tiles - 1 && quiet.elapsed() > 300) && timer.elapsed() < 120000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        out << QStringLiteral("thumbnails: %1 documents in %2 ms (%3, %4 opening)\n")
                   .arg(book->spine.size())
                   .arg(timer.elapsed())
                   .arg(name, QLatin1String(pass));
        out.flush();
    }
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

    const QString generated = generateChapters(2000);
    search(generated, QStringLiteral("zebrafish"), out);
    search(generated, QStringLiteral("river"), out);
    const QString moby = installCorpusBook(QStringLiteral("moby-dick.epub"));
    search(moby, QStringLiteral("Queequeg"), out);
    search(moby, QStringLiteral("whale"), out);
    thumbnails(moby, out);
    return 0;
}
