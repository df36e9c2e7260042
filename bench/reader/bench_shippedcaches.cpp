// Cache files a book ships where the reader keeps its own.
//
// A generated 60-document book that ships a 4096 x 4096 PNG as the thumbnail
// of every page and a 500 MB search text file (sparse on disk). Prints the
// time and memory the thumbnail panel takes to place every tile, and the time
// of a search over the book, with the resident and peak memory of the process.
//
//   QT_QPA_PLATFORM=offscreen build/bench/bin/bench_shippedcaches
#include "base/datadirectory.h"
#include "bench/benchapplication.h"
#include "bench/benchsupport.h"
#include "epub/epubparser.h"
#include "reader/panels/viewersearchform.h"
#include "reader/panels/viewerthumbnailitemform.h"
#include "reader/panels/viewertoclistwidget.h"
#include "resources/lumenfolioresources.h"

#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <memory>

namespace {
constexpr int kDocuments = 60;
constexpr int kShippedSide = 4096;
constexpr qint64 kShippedSearchTextSize = 500LL * 1024 * 1024;

long peakKilobytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

// Starts the peak over, so it tells what came after the set-up.
void resetPeak()
{
    QFile clearRefs(QStringLiteral("/proc/self/clear_refs"));
    if (clearRefs.open(QIODevice::WriteOnly))
        clearRefs.write("5");
}

QString memory()
{
    return QStringLiteral("resident %1 MB, peak %2 MB")
        .arg(lf::bench::residentKilobytes() / 1024)
        .arg(peakKilobytes() / 1024);
}

void shipCaches(const QString& contentDir)
{
    QImage picture(kShippedSide, kShippedSide, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "PNG");
    for (int page = 0; page < kDocuments; ++page)
        lf::bench::writeFile(contentDir + QStringLiteral("thumbnail/thum%1.png").arg(page), png);

    QFile text(contentDir + QStringLiteral("searchtext/texts.txt"));
    QDir().mkpath(QFileInfo(text).path());
    if (text.open(QIODevice::WriteOnly)) {
        text.write("lf-page-text 1\n0 t 524287000 1 1\n");
        text.resize(kShippedSearchTextSize);
    }
}

void placeThumbnails(EpubData* book, const QString& bookDir, QTextStream& out)
{
    QWidget window;
    window.resize(800, 600);
    window.show();
    QElapsedTimer timer;
    timer.start();
    ViewerTocListWidget panel(&window, book, bookDir);
    panel.findChild<QTabWidget*>(QStringLiteral("tabWidget"))->setCurrentIndex(1);
    panel.show();
    // Tiles exist for the rows in view only; each shipped file is refused and made again.
    const auto placed = [&panel] {
        const QList<ViewerThumbnailItemForm*> tiles = panel.findChildren<ViewerThumbnailItemForm*>();
        return !tiles.isEmpty()
            && std::all_of(tiles.begin(), tiles.end(), [](ViewerThumbnailItemForm* tile) { return tile->hasPixmap(); });
    };
    while (!placed() && timer.elapsed() < 300000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    qint64 tilePixels = 0;
    for (QLabel* label : panel.findChildren<QLabel*>(QStringLiteral("image_label"))) {
        const QPixmap pixmap = label->pixmap(Qt::ReturnByValue);
        tilePixels += qint64(pixmap.width()) * pixmap.height();
    }
    out << QStringLiteral("thumbnails: the tiles in view of %1 shipped %2 x %2 placed in %3 ms, %4 pixels held by the "
                          "tiles; %5\n")
               .arg(kDocuments)
               .arg(kShippedSide)
               .arg(timer.elapsed())
               .arg(tilePixels)
               .arg(memory());
    out.flush();
}

void search(EpubData* book, const QString& bookDir, QTextStream& out)
{
    QWidget window;
    ViewerSearchForm panel(&window, book, bookDir);
    auto* spinner = panel.findChild<QLabel*>(QStringLiteral("loading_label"));
    QElapsedTimer timer;
    timer.start();
    panel.searchEvent(QStringLiteral("river"));
    while (!spinner->isHidden())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    out << QStringLiteral("search: %1 documents beside a shipped %2 MB search text in %3 ms; %4\n")
               .arg(kDocuments)
               .arg(kShippedSearchTextSize / (1024 * 1024))
               .arg(timer.elapsed())
               .arg(memory());
    out.flush();
}
} // namespace

int main(int argc, char** argv)
{
    lf::bench::BenchApplication app(argc, argv);
    QTextStream out(stdout);

    const QString name = lf::bench::generateBook(kDocuments, [](int) { return QByteArray("<p>the river ran</p>"); });
    const QString bookDir = lf::dataDirectory() + name;
    shipCaches(bookDir + QStringLiteral("/OPS/"));
    std::unique_ptr<EpubData> book = EpubParser::parseBook(bookDir);
    resetPeak();
    out << QStringLiteral("before: %1\n").arg(memory());
    placeThumbnails(book.get(), bookDir, out);
    resetPeak();
    search(book.get(), bookDir, out);
    return 0;
}
