// Books with very many spine, manifest and contents items: for each size, a
// generated EPUB 3 archive is imported through the library window and, when
// it was added, opened in the reader. Prints the time of each step and the
// peak resident memory of the process; every size runs in a fresh process.
//
//   QT_QPA_PLATFORM=offscreen build/bench/bin/bench_largebook [items...]
//
// Without arguments it runs 1,000, 10,000, 20,000 and 100,000 items.
#include "app/datadirectory.h"
#include "library/booklistcontrol.h"
#include "library/viewermainwindow.h"
#include "reader/viewerviewwindow.h"
#include "resources/lumenfolioresources.h"
#include "widgets/viewerdefaultdialog.h"
#include "ziparchivewriter.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

namespace {

// Peak resident memory of this process in megabytes.
long peakMegabytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLong() / 1024;
    }
    return -1;
}

// `items` chapters, each in the manifest, the spine and the contents; all
// chapter files share one small document so that the archive stays small.
QByteArray generatedArchive(int items)
{
    QByteArray manifest;
    QByteArray spine;
    QByteArray contents;
    for (int i = 0; i < items; ++i) {
        const QByteArray id = "c" + QByteArray::number(i);
        manifest += "<item id=\"" + id + "\" href=\"text/" + id + ".xhtml\" media-type=\"application/xhtml+xml\"/>";
        spine += "<itemref idref=\"" + id + "\"/>";
        contents += "<li><a href=\"text/" + id + ".xhtml\">Chapter " + QByteArray::number(i) + "</a></li>";
    }
    ZipArchiveWriter writer;
    writer.addFile("mimetype", "application/epub+zip", false);
    writer.addFile("META-INF/container.xml",
        "<container><rootfiles><rootfile full-path=\"OPS/package.opf\" "
        "media-type=\"application/oebps-package+xml\"/></rootfiles></container>");
    writer.addFile("OPS/package.opf",
        "<package xmlns=\"http://www.idpf.org/2007/opf\" version=\"3.0\"><metadata><dc:title "
        "xmlns:dc=\"http://purl.org/dc/elements/1.1/\">Many</dc:title></metadata><manifest>"
            + manifest
            + "<item id=\"toc\" href=\"nav.xhtml\" media-type=\"application/xhtml+xml\" properties=\"nav\"/>"
              "</manifest><spine>"
            + spine + "</spine></package>");
    writer.addFile("OPS/nav.xhtml",
        "<html xmlns=\"http://www.w3.org/1999/xhtml\"><head><title>Contents</title></head><body>"
        "<nav id=\"toc\"><ol>"
            + contents + "</ol></nav></body></html>");
    const QByteArray chapter("<?xml version=\"1.0\"?><html xmlns=\"http://www.w3.org/1999/xhtml\"><head><title>c"
                             "</title></head><body><p>A chapter.</p></body></html>");
    // The writer counts entries in 16 bits: chapters past that stay blank pages.
    for (int i = 0; i < qMin(items, 60000); ++i)
        writer.addFile("OPS/text/c" + QByteArray::number(i) + ".xhtml", chapter);
    return writer.archive();
}

bool waitUntil(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

int runOne(int items, QTextStream& out)
{
    QTemporaryDir scratch;
    const QString epub = scratch.filePath(QStringLiteral("many.epub"));
    {
        QFile file(epub);
        if (!file.open(QIODevice::WriteOnly) || file.write(generatedArchive(items)) < 0)
            return 1;
    }
    const long baseline = peakMegabytes();

    // A refusal is answered as a user would; its title is kept for the report.
    QString refusal;
    QTimer answerer;
    answerer.setInterval(20);
    QObject::connect(&answerer, &QTimer::timeout, [&refusal] {
        if (auto* dialog = qobject_cast<ViewerDefaultDialog*>(QApplication::activeModalWidget())) {
            refusal = QStringLiteral("refused");
            dialog->accept();
        }
    });
    answerer.start();

    ViewerMainWindow library;
    QElapsedTimer timer;
    timer.start();
    library.fileUnzipAndEncyption(epub, false);
    if (!waitUntil([&library] { return !library.isImporting(); }, 600000))
        return 1;
    const double importMs = timer.nsecsElapsed() / 1e6;
    const long importPeak = peakMegabytes();
    const bool added = BookListControl::instance()->bookInfo(QStringLiteral("many")) != nullptr;
    out << QStringLiteral("%1 items: import %2 ms, %3, peak %4 MB (baseline %5 MB)")
               .arg(items)
               .arg(importMs, 0, 'f', 0)
               .arg(added                  ? QStringLiteral("added")
                       : refusal.isEmpty() ? QStringLiteral("dropped")
                                           : refusal)
               .arg(importPeak)
               .arg(baseline);
    out.flush();
    if (added) {
        timer.restart();
        library.openEpubViewer(QStringLiteral("many"));
        ViewerViewWindow* reader = library.epubViewer();
        const bool shown = reader && waitUntil([reader] { return reader->isPageReady(); }, 600000);
        out << QStringLiteral("; reader %1 %2 ms, peak %3 MB")
                   .arg(shown ? QStringLiteral("first page laid out after") : QStringLiteral("gave up after"))
                   .arg(timer.nsecsElapsed() / 1e6, 0, 'f', 0)
                   .arg(peakMegabytes());
    }
    out << "\n";
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir home;
    qputenv("TMPDIR", QFile::encodeName(home.path()));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.path()));
    QApplication app(argc, argv);
    lf::initResources();
    lf::ensureDataDirectory();
    QTextStream out(stdout);

    QStringList sizes = app.arguments().mid(1);
    if (sizes.size() == 1)
        return runOne(sizes.first().toInt(), out);
    if (sizes.isEmpty())
        sizes = QStringList { QStringLiteral("1000"), QStringLiteral("10000"), QStringLiteral("20000"),
            QStringLiteral("100000") };
    // One process per size, so that each peak is its own.
    for (const QString& size : qAsConst(sizes)) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.start(app.applicationFilePath(), { size });
        child.waitForFinished(-1);
    }
    return 0;
}
