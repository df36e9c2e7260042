// The search panel before and after the book's page pass, beside grep.
//
// For each book a rare and a common term: the first search starts without any
// stored text (the documents whose markup may hold the term are loaded, and
// taken on the way); the second runs, once the page pass has taken every
// document, in a new panel that reads the stored text. `grep -F -i -l -r` over the
// extracted book is printed beside.
//
// Books: the one named on the command line (with its two terms), or else the
// corpus book with the most documents; then generated books of 2,000 and
// 10,000 documents, every hundredth of which names a zebrafish.
//
//   QT_QPA_PLATFORM=offscreen build/bench/bin/bench_search [book.epub rare common]
//
// --agreement: the first search's screen against the engine on every corpus
// book and both generated books: for terms taken from the books' own text and
// a few awkward ones, every document the screen passes over is loaded and
// asked; a document in which the engine finds the term is a row lost.
//
// --after-pass: only the searches after the page pass on the generated books.
//
// --finder: only the search in stored text, without the web engine, over the
// text of the 10,000-document book held in memory; small enough to run under
// callgrind for instruction counts.
#include "base/datadirectory.h"
#include "bench/benchapplication.h"
#include "bench/benchsupport.h"
#include "epub/epubparser.h"
#include "import/unzipthread.h"
#include "reader/markuptext.h"
#include "reader/offscreenbookpage.h"
#include "reader/pageharvest.h"
#include "reader/pagemodel.h"
#include "reader/panels/viewersearchform.h"
#include "reader/panels/viewerthumbnailitemform.h"
#include "reader/textfinder.h"
#include "resources/lumenfolioresources.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextStream>
#include <QVector>
#include <QWebFrame>
#include <QWebPage>
#include <QWebSettings>

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

void search(const QString& name, const QStringList& terms, QTextStream& out, bool firstSearch = true)
{
    const QString bookDir = lf::dataDirectory() + name;
    std::unique_ptr<EpubData> book = EpubParser::parseBook(bookDir);
    QWidget window;
    window.resize(800, 600);
    window.show();
    for (const QString& folder : { QStringLiteral("searchtext"), QStringLiteral("thumbnail") })
        QDir(bookDir + QLatin1Char('/') + book->contentDir + folder).removeRecursively();
    for (const char* pass : { "before the page pass", "after it" }) {
        if (!firstSearch && QByteArray(pass) != "after it")
            continue;
        if (QByteArray(pass) == "after it") {
            // The first search takes only the documents it loads: the rest are taken now.
            PageHarvest harvest(nullptr, book.get(), bookDir, ViewerThumbnailItemForm::pictureSize());
            bool complete = false;
            QObject::connect(&harvest, &PageHarvest::harvestComplete, [&complete] { complete = true; });
            harvest.startBackground();
            while (!complete)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        }
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

// Loads documents one at a time into an off-screen page set up as the search's.
class EnginePage
{
public:
    explicit EnginePage(const QString& bookDir)
    {
        lf::confineOffscreenPage(&m_page, bookDir);
        m_page.settings()->setAttribute(QWebSettings::AutoLoadImages, false);
        QObject::connect(&m_page, &QWebPage::loadFinished, [this] { m_loaded = true; });
    }
    QWebPage* load(const QUrl& address)
    {
        m_loaded = false;
        m_page.mainFrame()->load(address);
        while (!m_loaded)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        return &m_page;
    }

private:
    QWebPage m_page;
    bool m_loaded = false;
};

// Terms from the engine's text of the book: a word and a pair of words near
// the middle of every few documents, beside fixed awkward ones.
QStringList termsOf(const PageModel& pages, EnginePage& engine, const QStringList& fixed)
{
    QStringList terms = fixed;
    const int step = std::max(1, pages.pageCount() / 12);
    for (int page = 0; page < pages.pageCount(); page += step) {
        if (pages.documentUrl(page).isEmpty())
            continue;
        static const QRegularExpression space(QStringLiteral("\\s+"));
        const QStringList words
            = engine.load(pages.documentUrl(page))->mainFrame()->toPlainText().split(space, Qt::SkipEmptyParts);
        if (words.size() < 2)
            continue;
        const int middle = words.size() / 2;
        terms << words.at(middle) << words.at(middle - 1) + QLatin1Char(' ') + words.at(middle);
    }
    terms.removeAll(QString());
    terms.removeDuplicates();
    return terms;
}

void measureAgreement(const QString& name, const QStringList& fixedTerms, QTextStream& out)
{
    const QString bookDir = lf::dataDirectory() + name;
    std::unique_ptr<EpubData> book = EpubParser::parseBook(bookDir);
    if (!book) {
        out << QStringLiteral("agreement: %1 could not be read\n").arg(name);
        return;
    }
    const PageModel pages(book.get(), bookDir);
    EnginePage engine(bookDir);
    const QStringList terms = termsOf(pages, engine, fixedTerms);
    int passedOver = 0;
    int lost = 0;
    int asked = 0;
    QElapsedTimer screening;
    qint64 screenMs = 0;
    for (const QString& term : terms) {
        MarkupScreen screen(term);
        for (int page = 0; page < pages.pageCount(); ++page) {
            const QString file = pages.documentFile(page);
            if (file.isEmpty())
                continue;
            ++asked;
            screening.start();
            const bool mayFind = screen.mayFindInFile(file, pages.documentMediaType(page));
            screenMs += screening.elapsed();
            if (mayFind)
                continue;
            ++passedOver;
            if (engine.load(pages.documentUrl(page))->findText(term)) {
                ++lost;
                out << QStringLiteral("agreement: row lost: %1, page %2, \"%3\"\n").arg(name).arg(page).arg(term);
            }
        }
    }
    out << QStringLiteral("agreement: %1: %2 terms, %3 documents asked, %4 passed over by the markup (%5 ms), "
                          "%6 rows lost\n")
               .arg(name)
               .arg(terms.size())
               .arg(asked)
               .arg(passedOver)
               .arg(screenMs)
               .arg(lost);
    out.flush();
}

void measureAgreementEverywhere(QTextStream& out)
{
    const QStringList awkward { QStringLiteral("the"), QStringLiteral("don't"), QStringLiteral("’s"),
        QStringLiteral("café"), QStringLiteral("resume"), QStringLiteral("zebrafish"), QStringLiteral("river"),
        QStringLiteral("1"), QStringLiteral("&"), QStringLiteral("—"), QStringLiteral("\""), QStringLiteral("."),
        QStringLiteral("の"), QStringLiteral("ים") };
    const QStringList books = QDir(QStringLiteral(LF_CORPUS_DIR)).entryList({ QStringLiteral("*.epub") });
    for (const QString& file : books)
        measureAgreement(lf::bench::installCorpusBook(file), awkward, out);
    for (const int documents : { 2000, 10000 })
        measureAgreement(generateChapters(documents), { QStringLiteral("zebrafish"), QStringLiteral("river") }, out);
}

} // namespace

int main(int argc, char** argv)
{
    lf::bench::BenchApplication app(argc, argv);
    QTextStream out(stdout);

    if (argc == 2 && QByteArray(argv[1]) == "--agreement") {
        measureAgreementEverywhere(out);
        return 0;
    }
    if (argc == 2 && QByteArray(argv[1]) == "--after-pass") {
        for (const int documents : { 2000, 10000 })
            search(generateChapters(documents), { QStringLiteral("zebrafish"), QStringLiteral("river") }, out, false);
        return 0;
    }
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
