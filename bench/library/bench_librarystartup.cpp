// Start-up of the library window with a large bookcase.
//
// Generates N book folders (default 2000) with real JPEG covers and a bookcase
// file in a private data directory (the covers are drawn once, for a pool of
// kCoverPool books, and hard-linked into the rest, so 100,000 books take
// seconds and little disk), then times the library window from construction to
// the list drawn and shown, in grid mode and after switching to list mode, and
// prints the resident memory after drawing. With more than 2,000 books it also
// runs itself with 2,000 books in a fresh process and prints how many times
// longer each mode took (5.0 for 10,000 books is linear). Below those lines it
// prints where the grid's time goes (bookcase load, window and tiles built,
// first show and paint), a grid redraw timed like the list switch, a sort by
// title and three searches.
//
// A second argument names a folder that keeps the generated books between
// runs: the first run fills it, later runs with the same count reuse it, so
// repeated measurements skip the generation and the removal of the books.
//
//   QT_QPA_PLATFORM=offscreen build/bench/bin/bench_librarystartup [books [kept folder]]
#include "base/appconstants.h"
#include "base/datadirectory.h"
#include "bench/benchsupport.h"
#include "library/bookcasefile.h"
#include "library/bookdirections.h"
#include "library/booklistcontrol.h"
#include "library/booklistwidget.h"
#include "library/viewermainwindow.h"
#include "resources/lumenfolioresources.h"

#include <QApplication>
#include <QBuffer>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextStream>

#include <cstdio>
#include <sys/resource.h>
#include <unistd.h>

namespace {

using lf::bench::residentKilobytes;

// A cover the size publishers ship (600 x 900), different for every book.
QByteArray coverJpeg(int index)
{
    QImage image(600, 900, QImage::Format_RGB32);
    image.fill(QColor::fromHsv((index * 37) % 360, 120, 200));
    QPainter painter(&image);
    painter.setPen(Qt::white);
    painter.setFont(QFont(QStringLiteral("Sans"), 48));
    painter.drawText(image.rect(), Qt::AlignCenter, QStringLiteral("Book %1").arg(index));
    for (int i = 0; i < 40; ++i)
        painter.drawLine(0, i * 23, 600, i * 23 + index % 50);
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 85);
    return bytes;
}

// Distinct covers drawn; further books share one of them through a hard link.
constexpr int kCoverPool = 500;

void makeBookcase(int books)
{
    const QString data = lf::dataDirectory();
    QDir().mkpath(data);
    QJsonArray records;
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    QStringList pool;
    for (int i = 0; i < books; ++i) {
        const QString name = QStringLiteral("book-%1").arg(i, 5, 10, QLatin1Char('0'));
        QDir().mkpath(data + name + QStringLiteral("/OEBPS"));
        const QString coverPath = data + name + QStringLiteral("/OEBPS/cover.jpg");
        if (i < kCoverPool) {
            QFile cover(coverPath);
            cover.open(QIODevice::WriteOnly);
            cover.write(coverJpeg(i));
            pool << coverPath;
        } else if (::link(
                       QFile::encodeName(pool.at(i % kCoverPool)).constData(), QFile::encodeName(coverPath).constData())
            != 0) {
            QFile::copy(pool.at(i % kCoverPool), coverPath);
        }
        // The package document the tiles read the title's direction from.
        lf::bench::writeFile(data + name + QStringLiteral("/META-INF/container.xml"),
            "<container><rootfiles><rootfile full-path=\"OEBPS/content.opf\" "
            "media-type=\"application/oebps-package+xml\"/></rootfiles></container>");
        lf::bench::writeFile(data + name + QStringLiteral("/OEBPS/content.opf"),
            "<package version=\"3.0\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\"><metadata>"
            "<dc:title dir=\"rtl\">A Title Number "
                + QByteArray::number(i) + "</dc:title><dc:creator>Author " + QByteArray::number(i % 97)
                + "</dc:creator></metadata><manifest><item id=\"c\" href=\"cover.jpg\" media-type=\"image/jpeg\"/>"
                  "</manifest><spine/></package>");
        QJsonObject record;
        record.insert(QStringLiteral("add_time"), double(now - i * 60000));
        record.insert(QStringLiteral("author"), QStringLiteral("Author %1").arg(i % 97));
        record.insert(QStringLiteral("book_name"), QStringLiteral("A Title Number %1").arg(i));
        record.insert(QStringLiteral("book_size"), double(1000000 + i));
        record.insert(QStringLiteral("cover_url"), QStringLiteral("OEBPS/cover.jpg"));
        record.insert(QStringLiteral("file_name"), name);
        records.append(record);
    }
    QFile file(data + lf::kBookcaseFileName);
    file.open(QIODevice::WriteOnly);
    file.write(QJsonDocument(QJsonObject { { QStringLiteral("bookInfos"), records } }).toJson(QJsonDocument::Compact));
}

// User and system time of this process so far.
qint64 processorMs()
{
    rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    return (qint64(usage.ru_utime.tv_sec) + usage.ru_stime.tv_sec) * 1000
        + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000;
}

constexpr int kReferenceBooks = 2000;

// The drawing time of one mode ("grid mode: N books drawn in T ms ...") in a run's output.
double drawnMs(const QString& output, const QString& mode)
{
    const QRegularExpression line(
        QStringLiteral("^%1: \\d+ books drawn in (\\d+) ms").arg(mode), QRegularExpression::MultilineOption);
    const QRegularExpressionMatch match = line.match(output);
    return match.hasMatch() ? match.captured(1).toDouble() : -1;
}

void printRatio(const QString& output, int books)
{
    QProcess reference;
    reference.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    reference.start(QCoreApplication::applicationFilePath(), { QString::number(kReferenceBooks) });
    if (!reference.waitForFinished(600000)) {
        std::printf("ratio: the %d-book reference run did not finish\n", kReferenceBooks);
        return;
    }
    const QString referenceOutput = QString::fromUtf8(reference.readAllStandardOutput());
    std::printf("reference run: %s", qPrintable(referenceOutput));
    const double grid
        = drawnMs(output, QStringLiteral("grid mode")) / drawnMs(referenceOutput, QStringLiteral("grid mode"));
    const double list
        = drawnMs(output, QStringLiteral("list mode")) / drawnMs(referenceOutput, QStringLiteral("list mode"));
    std::printf("ratio %d / %d books: grid mode %.1f, list mode %.1f (%.1f is linear)\n", books, kReferenceBooks, grid,
        list, double(books) / kReferenceBooks);
}

} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir scratch;
    const int books = argc > 1 ? QByteArray(argv[1]).toInt() : 2000;
    // The kept folder is named by the book count, so two counts never mix.
    const QString kept = argc > 2 ? QFile::decodeName(argv[2]) + QStringLiteral("/books-%1").arg(books) : QString();
    lf::bench::usePrivateLocations(kept.isEmpty() ? scratch.path() : kept);
    QApplication app(argc, argv);
    lf::initResources();

    QElapsedTimer timer;
    timer.start();
    if (!kept.isEmpty() && QFileInfo::exists(lf::dataDirectory() + lf::kBookcaseFileName)) {
        std::printf("reused %d books with JPEG covers in %s\n", books, qPrintable(kept));
    } else {
        makeBookcase(books);
        std::printf("generated %d books with JPEG covers in %.1f s\n", books, timer.elapsed() / 1000.0);
    }
    const long baseline = residentKilobytes();

    timer.restart();
    const qint64 cpuBefore = processorMs();
    ViewerMainWindow window;
    const qint64 constructedMs = timer.elapsed();
    window.show();
    QCoreApplication::processEvents();
    const qint64 gridMs = timer.elapsed();
    const qint64 gridCpuMs = processorMs() - cpuBefore;
    auto* list = window.findChild<BookListWidget*>(QStringLiteral("book_list_widget"));
    QString output
        = QString::asprintf("grid mode: %d books drawn in %lld ms, resident memory %ld MB (%ld MB before the window)\n",
            list->count(), static_cast<long long>(gridMs), residentKilobytes() / 1024, baseline / 1024);
    std::printf("%s", qPrintable(output));
    std::fflush(stdout);

    timer.restart();
    window.findChild<QPushButton*>(QStringLiteral("book_list_vertical_button"))->click();
    const qint64 builtMs = timer.elapsed();
    QCoreApplication::processEvents();
    const QString listLine = QString::asprintf(
        "list mode: %d books drawn in %lld ms (rows built in %lld ms), resident memory %ld MB\n", list->count(),
        static_cast<long long>(timer.elapsed()), static_cast<long long>(builtMs), residentKilobytes() / 1024);
    std::printf("%s", qPrintable(listLine));
    std::fflush(stdout);
    output += listLine;
    if (books > kReferenceBooks)
        printRatio(output, books);

    // The parts of the grid's figure. The load is timed again on a store of its
    // own; the window's construction is that load plus building the list.
    BookListControl loaded;
    timer.restart();
    BookcaseFile::load(loaded);
    const qint64 loadMs = timer.elapsed();
    std::printf(
        "grid mode parts: bookcase load %lld ms, window and tiles built %lld ms, first show and paint %lld ms\n",
        static_cast<long long>(loadMs), static_cast<long long>(qMax<qint64>(0, constructedMs - loadMs)),
        static_cast<long long>(gridMs - constructedMs));
    timer.restart();
    window.findChild<QPushButton*>(QStringLiteral("book_list_gridview_button"))->click();
    const qint64 tilesMs = timer.elapsed();
    QCoreApplication::processEvents();
    std::printf("grid mode again: %d books drawn in %lld ms (tiles built in %lld ms)\n", list->count(),
        static_cast<long long>(timer.elapsed()), static_cast<long long>(tilesMs));

    // Sorting and the search filter redraw or filter the whole list.
    timer.restart();
    window.findChild<QComboBox*>(QStringLiteral("book_list_sort_combobox"))->setCurrentIndex(1);
    QCoreApplication::processEvents();
    std::printf("sorted by title: %d books drawn in %lld ms\n", list->count(), static_cast<long long>(timer.elapsed()));
    auto* search = window.findChild<QLineEdit*>(QStringLiteral("book_search_line_edit"));
    for (const QString& text : { QStringLiteral("Number 12"), QStringLiteral("Number 1234"), QString() }) {
        timer.restart();
        search->setText(text);
        QCoreApplication::processEvents();
        const qint64 searchMs = timer.elapsed();
        int shown = 0;
        for (int row = 0; row < list->count(); ++row)
            shown += !list->isRowHidden(row);
        std::printf(
            "search \"%s\": %d books shown in %lld ms\n", qPrintable(text), shown, static_cast<long long>(searchMs));
    }

    // Title and author directions come from each book's package document the
    // first time its tile or row is made, then from memory.
    const QList<BookInfo> all = BookListControl::instance()->allBooks();
    for (const bool cached : { false, true }) {
        timer.restart();
        for (const BookInfo& book : all)
            BookDirections::of(book);
        std::printf("directions of %d books %s: %.1f ms, %.1f us per book\n", int(all.size()),
            cached ? "from memory" : "read", timer.nsecsElapsed() / 1e6, timer.nsecsElapsed() / 1e3 / all.size());
    }
    // On a machine shared with other work the wall-clock figures above grow
    // with the load; the processor time of this process hardly does.
    std::printf("grid mode processor time: %lld ms for the %lld ms drawing\n", static_cast<long long>(gridCpuMs),
        static_cast<long long>(gridMs));
    return 0;
}
