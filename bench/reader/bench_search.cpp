// The search panel before and after the book's page pass, beside grep.
//
// For each book a rare and a common term: the first search starts without any
// stored text (every document is loaded, and taken on the way); the second
// runs in a new panel that reads the stored text. `grep -F -i -l -r` over the
// extracted book is printed beside.
//
// Books: the one named on the command line (with its two terms), or else the
// corpus book with the most documents; then generated books of 2,000 and
// 10,000 documents, every hundredth of which names a zebrafish.
//
//   QT_QPA_PLATFORM=offscreen build/bench/bin/bench_search [book.epub rare common]
//
// --finder: only the search in stored text, without the web engine, over the
// text of the 10,000-document book held in memory; small enough to run under
// callgrind for instruction counts.
#include "app/datadirectory.h"
#include "bench/benchapplication.h"
#include "bench/benchsupport.h"
#include "epub/epubparser.h"
#include "import/unzipthread.h"
#include "reader/panels/viewersearchform.h"
#include "reader/textfinder.h"
#include "resources/lumenfolioresources.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <QVector>

#include <memory>

namespace {

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

void search(const QString& name, const QStringList& terms, QTextStream& out)
{
    const QString bookDir = lf::dataDirectory() + name;
    std::unique_ptr<EpubData> book = EpubParser::parseBook(bookDir);
    QWidget window;
    window.resize(800, 600);
    window.show();
    for (const QString& folder : { QStringLiteral("searchtext"), QStringLiteral("thumbnail") })
        QDir(bookDir + QLatin1Char('/') + book->contentDir + folder).removeRecursively();
    for (const char* pass : { "before the page pass", "after it" }) {
        ViewerSearchForm panel(&window, book.get(), bookDir);
        for (const QString& term : terms) {
            auto* spinner = panel.findChild<QLabel*>(QStringLiteral("loading_label"));
            QElapsedTimer timer;
            timer.start();
            panel.searchEvent(term);
            while (!spinner->isHidden())
                QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            const qint64 ms = timer.elapsed();
            out << QStringLiteral("search: %1 documents in %2 ms, grep %3 ms (%4, \"%5\", %6, %7 rows)\n")
                       .arg(book->spine.size())
                       .arg(ms)
                       .arg(grepMs(bookDir, term))
                       .arg(name, term, QLatin1String(pass))
                       .arg(panel.findChild<QListWidget*>(QStringLiteral("listWidget"))->count());
            out.flush();
        }
    }
}

// The stored-text search of the panel alone: each document's UTF-8 text put to one finder.
void searchStoredText(QTextStream& out)
{
    QByteArray paragraph;
    for (int word = 0; word < 40; ++word)
        paragraph += "the river ran ";
    QVector<QByteArray> texts;
    for (int i = 0; i < 10000; ++i) {
        QByteArray text = "Chapter " + QByteArray::number(i) + '\n';
        for (int p = 0; p < 9; ++p)
            text += paragraph + "\n\n";
        if (i % 100 == 7)
            text += "A Zebrafish swam by.\n";
        texts.append(text);
    }
    for (const QString& term : { QStringLiteral("zebrafish"), QStringLiteral("river") }) {
        QElapsedTimer timer;
        timer.start();
        TextFinder finder(term);
        int rows = 0;
        for (const QByteArray& text : texts)
            rows += finder.findsInUtf8(text) ? 1 : 0;
        out << QStringLiteral("stored text: %1 documents in %2 ms (\"%3\", %4 rows)\n")
                   .arg(texts.size())
                   .arg(timer.elapsed())
                   .arg(term)
                   .arg(rows);
        out.flush();
    }
}

} // namespace

int main(int argc, char** argv)
{
    lf::bench::BenchApplication app(argc, argv);
    QTextStream out(stdout);

    if (argc == 2 && QByteArray(argv[1]) == "--finder") {
        searchStoredText(out);
        return 0;
    }
    if (argc >= 4) {
        const QString name = QFileInfo(QString::fromLocal8Bit(argv[1])).completeBaseName();
        UnzipThread::extractArchive(QString::fromLocal8Bit(argv[1]), lf::dataDirectory() + name);
        search(name, { QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]) }, out);
    } else {
        search(lf::bench::installCorpusBook(QStringLiteral("moby-dick.epub")),
            { QStringLiteral("Queequeg"), QStringLiteral("whale") }, out);
    }
    for (const int documents : { 2000, 10000 })
        search(generateChapters(documents), { QStringLiteral("zebrafish"), QStringLiteral("river") }, out);
    return 0;
}
