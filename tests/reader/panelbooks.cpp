#include "panelbooks.h"

#include "base/datadirectory.h"
#include "epub/epubparser.h"
#include "import/unzipthread.h"
#include "reader/offscreenbookpage.h"
#include "reader/pagemodel.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QWebFrame>
#include <QWebPage>
#include <QWebSettings>

lf::test::OpenedBook lf::test::extractCorpusBook(const QString& fileName, const QString& folder)
{
    OpenedBook opened;
    const QString archive = copyCorpusBook(fileName, folder + QStringLiteral("/archives"));
    const QString bookDir = folder + QLatin1Char('/') + QFileInfo(fileName).completeBaseName();
    if (archive.isEmpty() || !UnzipThread::extractArchive(archive, bookDir))
        return opened;
    opened.bookDir = bookDir;
    opened.book = EpubParser::parseBook(bookDir);
    return opened;
}

std::unique_ptr<EpubData> lf::test::writeBook(
    const QString& bookDir, const QList<WrittenDocument>& documents, bool fixedLayout)
{
    auto book = std::make_unique<EpubData>();
    book->version = QStringLiteral("3.0");
    book->contentDir = QStringLiteral("OPS/");
    book->packagePath = QStringLiteral("OPS/package.opf");
    if (fixedLayout)
        book->rendition = EpubRendition { QStringLiteral("pre-paginated"), {}, {} };
    for (int i = 0; i < documents.size(); ++i) {
        const WrittenDocument& document = documents.at(i);
        if (!writeFile(bookDir + QStringLiteral("/OPS/") + document.fileName, document.bytes))
            return nullptr;
        const ManifestEntry entry { QStringLiteral("d%1").arg(i), document.fileName };
        (document.image ? book->manifest.image : book->manifest.application).append(entry);
        book->spine.append(entry.id);
    }
    return book;
}

QString lf::test::installBook(
    const QString& name, const QList<WrittenDocument>& documents, const QMap<QString, QByteArray>& files)
{
    lf::ensureDataDirectory();
    const QString dir = lf::dataDirectory() + name;
    QDir(dir).removeRecursively();
    QString manifest;
    QString spine;
    for (int i = 0; i < documents.size(); ++i) {
        manifest += QStringLiteral("<item id=\"d%1\" href=\"%2\" media-type=\"application/xhtml+xml\"/>")
                        .arg(i)
                        .arg(documents.at(i).fileName);
        spine += QStringLiteral("<itemref idref=\"d%1\"/>").arg(i);
    }
    QMap<QString, QByteArray> all;
    for (auto it = files.cbegin(); it != files.cend(); ++it)
        all.insert(QStringLiteral("OPS/") + it.key(), it.value());
    for (const WrittenDocument& document : documents)
        all.insert(QStringLiteral("OPS/") + document.fileName, document.bytes);
    all.insert(QStringLiteral("mimetype"), "application/epub+zip");
    all.insert(QStringLiteral("META-INF/container.xml"),
        R"(<container xmlns="urn:oasis:names:tc:opendocument:xmlns:container"><rootfiles>)"
        R"(<rootfile full-path="OPS/package.opf" media-type="application/oebps-package+xml"/></rootfiles></container>)");
    all.insert(QStringLiteral("OPS/package.opf"),
        QStringLiteral(
            R"(<package xmlns="http://www.idpf.org/2007/opf" version="3.0" unique-identifier="uid">)"
            R"(<metadata xmlns:dc="http://purl.org/dc/elements/1.1/"><dc:identifier id="uid">%1</dc:identifier>)"
            R"(<dc:title>%1</dc:title></metadata><manifest>%2</manifest><spine>%3</spine></package>)")
            .arg(name, manifest, spine)
            .toUtf8());
    for (auto it = all.cbegin(); it != all.cend(); ++it) {
        if (!writeFile(dir + QLatin1Char('/') + it.key(), it.value()))
            return {};
    }
    return name;
}

QByteArray lf::test::xhtml(const QString& body, const QString& head)
{
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                          "<html xmlns=\"http://www.w3.org/1999/xhtml\"><head><title>t</title>%2</head>"
                          "<body>%1</body></html>")
        .arg(body, head)
        .toUtf8();
}

QList<QList<int>> lf::test::engineSearch(const EpubData& book, const QString& bookDir, const QStringList& terms)
{
    const PageModel pages(&book, bookDir);
    QList<QList<int>> found;
    for (int i = 0; i < terms.size(); ++i)
        found.append(QList<int>());
    QWebPage webPage;
    // The engine alone, as it searches a document: no script, no picture.
    lf::confineOffscreenPage(&webPage, bookDir, &book);
    webPage.settings()->setAttribute(QWebSettings::AutoLoadImages, false);
    for (int page = 0; page < pages.pageCount(); ++page) {
        const QString idref = book.spine.at(page);
        if (book.manifest.applicationHref(idref).isEmpty())
            continue;
        QSignalSpy loaded(&webPage, SIGNAL(loadFinished(bool)));
        webPage.mainFrame()->load(pages.documentUrl(page));
        if (loaded.isEmpty() && !loaded.wait(10000))
            continue;
        for (int i = 0; i < terms.size(); ++i) {
            // A find goes on from the last match, in the frame that held it:
            // each term starts again at the top of the document.
            webPage.mainFrame()->setFocus();
            webPage.findText(QString());
            if (webPage.findText(terms.at(i)))
                found[i].append(page);
        }
    }
    return found;
}

QList<int> lf::test::engineSearch(const EpubData& book, const QString& bookDir, const QString& term)
{
    return engineSearch(book, bookDir, QStringList { term }).constFirst();
}
