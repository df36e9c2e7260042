// One large font named by many @font-face rules, each with a query of its own:
// a book page loads it in a reader page (served by the book's access manager)
// or, with --local, from its local file as pages were loaded before books had
// an address of their own. Prints the load time and the peak resident memory.
//
//   QT_QPA_PLATFORM=offscreen build/bench/bin/bench_fontqueries [--local] [rules] [font MB]
//
// Defaults: 40 rules, a 60 MB font (the program's font padded with zeros).
#include "bench/benchapplication.h"
#include "bench/benchsupport.h"
#include "reader/booknetworkaccessmanager.h"
#include "reader/bookpagesettings.h"
#include "reader/pagemodel.h"
#include "reader/viewerwebpage.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTextStream>
#include <QWebFrame>
#include <QWebSettings>

#include <sys/resource.h>

namespace {

long peakResidentKilobytes()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

int main(int argc, char** argv)
{
    lf::bench::BenchApplication app(argc, argv);
    QTextStream out(stdout);
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const bool local = arguments.removeAll(QStringLiteral("--local")) > 0;
    const int rules = arguments.value(0, QStringLiteral("40")).toInt();
    const int fontMegabytes = arguments.value(1, QStringLiteral("60")).toInt();

    const QString bookDir = lf::dataDirectory() + QStringLiteral("fonts");
    QFile source(QStringLiteral(":/default/font/ng.ttf"));
    if (!source.open(QIODevice::ReadOnly)) {
        out << "the program's font is missing\n";
        return 1;
    }
    QByteArray font = source.readAll();
    font.append(QByteArray(std::max(0, fontMegabytes * 1000000 - font.size()), '\0'));
    lf::bench::writeFile(bookDir + QStringLiteral("/OPS/big.ttf"), font);
    font.clear();
    QByteArray style;
    QByteArray body;
    for (int n = 0; n < rules; ++n) {
        const QByteArray number = QByteArray::number(n);
        style += "@font-face{font-family:f" + number + ";src:url(big.ttf?" + number + ")}\n";
        body += "<p style=\"font-family:f" + number + "\">Rule " + number + "</p>";
    }
    lf::bench::writeFile(bookDir + QStringLiteral("/OPS/page.xhtml"),
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<html xmlns=\"http://www.w3.org/1999/xhtml\"><head>"
        "<title>fonts</title><style>"
            + style + "</style></head><body>" + body + "</body></html>");

    EpubData book;
    book.packagePath = QStringLiteral("OPS/package.opf");
    book.manifest.application.append({ QStringLiteral("page"), QStringLiteral("page.xhtml") });
    book.spine << QStringLiteral("page");
    const PageModel pages(&book, bookDir);

    const long before = peakResidentKilobytes();
    ViewerWebPage page;
    lf::confineBookPageSettings(page.settings());
    page.setViewportSize(QSize(800, 600));
    page.bookAccess()->setBookFolder(bookDir);
    page.bookAccess()->setBook(book);
    QEventLoop loading;
    bool loaded = false;
    QObject::connect(&page, &QWebPage::loadFinished, &loading, [&] {
        loaded = true;
        loading.quit();
    });
    QElapsedTimer timer;
    timer.start();
    page.allowNextNavigation();
    if (local) {
        // Pages used to load from their files, each font query a file of its own.
        page.setNetworkAccessManager(new QNetworkAccessManager(&page));
        page.mainFrame()->load(QUrl::fromLocalFile(bookDir + QStringLiteral("/OPS/page.xhtml")));
    } else {
        page.mainFrame()->load(pages.documentUrl(0));
    }
    if (!loaded)
        loading.exec();
    if (!loaded) {
        out << "page not loaded\n";
        return 1;
    }
    const qint64 elapsed = timer.elapsed();
    out << (local ? "local file" : "book address") << ", " << rules << " rules naming one " << fontMegabytes
        << " MB font: loaded in " << elapsed << " ms, peak resident memory " << peakResidentKilobytes() / 1024
        << " MB (" << before / 1024 << " MB before the page)\n";
    return 0;
}
