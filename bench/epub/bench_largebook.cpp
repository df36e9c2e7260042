// Books with very many spine, manifest and contents items: for each size, a
// generated EPUB 3 archive is imported through the library window and, when
// it was added, opened in the reader. Prints the time of each step and the
// peak resident memory of the process; every size runs in a fresh process.
// Two hostile books of small size run the same way: "loop", 9,990 spine items
// pointing into a fallback chain that loops, and "encryption", a book whose
// META-INF/encryption.xml lists 570,000 fonts.
//
//   QT_QPA_PLATFORM=offscreen build/bench/bin/bench_largebook [items|loop|encryption...]
//
// Without arguments it runs 1,000, 10,000, 20,000 and 100,000 items.
#include "base/datadirectory.h"
#include "library/bookcasefile.h"
#include "library/booklistcontrol.h"
#include "library/viewermainwindow.h"
#include "reader/viewerviewwindow.h"
#include "resources/lumenfolioresources.h"
#include "widgets/viewerdefaultdialog.h"
#include "ziparchivewriter.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>
#include <QUrl>

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

constexpr int kLoopItems = 9990;
constexpr int kEncryptionEntries = 570000;

// The hostile books beside the plain ones: a fallback chain through every
// item, the last one pointing back to the first, or a huge encryption.xml.
enum class Hostility { None, FallbackLoop, Encryption };

// `items` chapters, each in the manifest, the spine and the contents; all
// chapter files share one small document so that the archive stays small.
QByteArray generatedArchive(int items, Hostility hostility)
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
    if (hostility == Hostility::FallbackLoop) {
        for (int i = 0; i < kLoopItems; ++i) {
            const QByteArray id = "f" + QByteArray::number(i);
            manifest += "<item id=\"" + id + "\" href=\"data/" + id + ".bin\" media-type=\"application/x-unknown\" "
                + "fallback=\"f" + QByteArray::number((i + 1) % kLoopItems) + "\"/>";
            spine += "<itemref idref=\"" + id + "\"/>";
        }
    }
    ZipArchiveWriter writer;
    if (hostility == Hostility::Encryption) {
        QByteArray encryption("<encryption xmlns=\"urn:oasis:names:tc:opendocument:xmlns:container\" "
                              "xmlns:enc=\"http://www.w3.org/2001/04/xmlenc#\">");
        encryption.reserve(kEncryptionEntries * 160);
        for (int i = 0; i < kEncryptionEntries; ++i)
            encryption += "<enc:EncryptedData><enc:EncryptionMethod Algorithm=\"http://www.idpf.org/2008/embedding\"/>"
                          "<enc:CipherData><enc:CipherReference URI=\"OPS/fonts/f"
                + QByteArray::number(i) + ".otf\"/></enc:CipherData></enc:EncryptedData>\n";
        encryption += "</encryption>";
        writer.addFile("META-INF/encryption.xml", encryption);
    }
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
        // No event loop runs here, so a window closed with WA_DeleteOnClose
        // is only deleted when asked for.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return true;
}

int runOne(const QString& kind, QTextStream& out)
{
    const Hostility hostility = kind == QLatin1String("loop") ? Hostility::FallbackLoop
        : kind == QLatin1String("encryption")                 ? Hostility::Encryption
                                                              : Hostility::None;
    const int items = hostility == Hostility::None ? kind.toInt() : 1;
    QTemporaryDir scratch;
    const QString epub = scratch.filePath(QStringLiteral("many.epub"));
    {
        QFile file(epub);
        if (!file.open(QIODevice::WriteOnly) || file.write(generatedArchive(items, hostility)) < 0)
            return 1;
    }
    // The archive was made in this process; its making is not the import's peak.
    QFile resetPeak(QStringLiteral("/proc/self/clear_refs"));
    if (resetPeak.open(QIODevice::WriteOnly))
        resetPeak.write("5");
    resetPeak.close();
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
    out << QStringLiteral("%1 (%2 bytes): import %3 ms, %4, peak %5 MB (baseline %6 MB)")
               .arg(hostility == Hostility::None ? QStringLiteral("%1 items").arg(items) : kind)
               .arg(QFileInfo(epub).size())
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
        // A click on a link looks its document up over every page.
        timer.restart();
        if (shown)
            reader->moveToPageUrl(QUrl::fromLocalFile(
                BookcaseFile::bookFolder(QStringLiteral("many")) + QStringLiteral("/OPS/elsewhere.xhtml")));
        out << QStringLiteral("; link looked up in %1 ms").arg(timer.nsecsElapsed() / 1e6, 0, 'f', 0);
        // The reader's state is saved as it closes, through the same page model.
        QPointer<ViewerViewWindow> closing(reader);
        timer.restart();
        if (reader)
            reader->close();
        const bool closed = waitUntil([&closing] { return closing.isNull(); }, 600000);
        out << QStringLiteral("; %1 after %2 ms")
                   .arg(closed ? QStringLiteral("closed") : QStringLiteral("still open"))
                   .arg(timer.nsecsElapsed() / 1e6, 0, 'f', 0);
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
        return runOne(sizes.first(), out);
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
