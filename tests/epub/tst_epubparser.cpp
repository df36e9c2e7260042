// The container, package and navigation parsers over small hand-written books
// (tests/data/books) and over every book of the corpus (tests/data/corpus), extracted by the
// real extraction routine.
#include "base/foldercopy.h"
#include "epub/epubparser.h"
#include "epub/fontobfuscation.h"
#include "import/unzipthread.h"
#include "reader/pagemodel.h"
#include "testsupport.h"

#include <QTemporaryDir>

#include <functional>
#include <memory>

namespace {

const QString kNoRendition = QStringLiteral("<none>");

QString bookPath(const QString& name)
{
    return lf::test::testDataDir() + QStringLiteral("/books/") + name;
}

QStringList entries(const QList<NavEntry>& list)
{
    QStringList out;
    for (const NavEntry& entry : list)
        out << entry.label + QLatin1Char('|') + entry.href;
    return out;
}

QString layoutOf(const EpubData& book)
{
    return book.rendition ? book.rendition->layout : kNoRendition;
}

} // namespace

class TestEpubParser : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_corpusDir { lf::test::privateTempDir() + QStringLiteral("/corpus-XXXXXX") };

private slots:
    void parsesHandWrittenBook_data()
    {
        QTest::addColumn<QString>("book");
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("packagePath");
        QTest::addColumn<QString>("contentDir");
        QTest::addColumn<QString>("navDocumentPath");
        QTest::addColumn<QString>("coverPath");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("creator");
        QTest::addColumn<QString>("identifier");
        QTest::addColumn<QStringList>("spine");
        QTest::addColumn<QString>("navTitle");
        QTest::addColumn<QStringList>("toc");
        QTest::addColumn<QStringList>("pageList");
        QTest::addColumn<QString>("layout");

        // Second rootfile chosen, first creator kept, nested navPoints flattened,
        // a label after its content, a point without content, NCX page list unread.
        QTest::newRow("epub2-basic") << "epub2-basic"
                                     << "2.0"
                                     << "OEBPS/content.opf"
                                     << "OEBPS/"
                                     << "OEBPS/toc.ncx"
                                     << "OEBPS/images/cover.jpg"
                                     << "Second-Hand Tales"
                                     << "First Author"
                                     << "urn:uuid:0b7e2f4c-2" << QStringList { "ch1", "ch2" }
                                     << "Second-Hand Tales (NCX)"
                                     << QStringList { "First|text/ch1.xhtml", "Second|text/ch2.xhtml",
                                            "Second, part A|text/ch2.xhtml#a", "Second, part B|text/ch2.xhtml#b",
                                            "Third & last|text/ch2.xhtml#c", "No target|", "After|text/ch2.xhtml#d" }
                                     << QStringList() << kNoRendition;
        // Package at the top; the id "toc" and <meta name="cover"> win over the
        // nav and cover-image markers; the nav with id "toc" wins over a typed one.
        QTest::newRow("epub3-basic") << "epub3-basic"
                                     << "3.0"
                                     << "package.opf"
                                     << ""
                                     << "nav/toc.xhtml"
                                     << "images/a.jpg"
                                     << "Basic Three"
                                     << "Only Author"
                                     << "urn:uuid:3b8c" << QStringList { "p1", "p2", "p3" } << "Contents of Basic Three"
                                     << QStringList { "One|p1.xhtml", "One & a half|p2.xhtml#s1", " Three |p3.xhtml" }
                                     << QStringList { "i|p1", "ii|p1.xhtml#ii", "1|p2", "2|p2.xhtml#pg2" }
                                     << "pre-paginated";
        // Navigation document by the word "nav" in properties, contents by the
        // first nav typed "toc", cover by "cover-image" when the meta dangles.
        QTest::newRow("epub3-fallbacks") << "epub3-fallbacks"
                                         << "3.0"
                                         << "OPS/package.opf"
                                         << "OPS/"
                                         << "OPS/nav.xhtml"
                                         << "OPS/img/front.png"
                                         << "Fallen Back"
                                         << "Real World"
                                         << "urn:uuid:fa11" << QStringList { "c1", "c2" } << "Navigation"
                                         << QStringList { "Chapter 1|c1.xhtml", "Chapter 2|c2.xhtml" }
                                         << QStringList { "1|c1.xhtml#p1", "2|c2.xhtml#p2" } << "";
        // Two folders deep; no unique-identifier and no id takes the identifier;
        // the NCX is the item the spine names, not the first NCX-typed one.
        QTest::newRow("epub2-spine-toc") << "epub2-spine-toc"
                                         << "2.0"
                                         << "A/B/content.opf"
                                         << "A/B/"
                                         << "A/B/nav/toc.ncx"
                                         << "A/B/"
                                         << "Deep Two"
                                         << ""
                                         << "urn:isbn:2" << QStringList { "text" } << "Deep Two"
                                         << QStringList { "Only|../text.xhtml" } << QStringList() << kNoRendition;
        // NCX found by its media type; the entry cut off by the end of the file
        // is kept without label or target.
        QTest::newRow("epub2-truncated-ncx")
            << "epub2-truncated-ncx"
            << "2.0"
            << "OEBPS/content.opf"
            << "OEBPS/"
            << "OEBPS/navigation.ncx"
            << "OEBPS/"
            << "Cut Short"
            << ""
            << "" << QStringList { "one" } << "Cut Short"
            << QStringList { "Alpha|one.xhtml#a", "Beta|one.xhtml#b", "|" } << QStringList() << kNoRendition;
        // A title styled with a child element keeps its text, and the package
        // document is read on.
        QTest::newRow("epub3-title-child")
            << "epub3-title-child"
            << "3.0"
            << "EPUB/package.opf"
            << "EPUB/"
            << "EPUB/nav.xhtml"
            << "EPUB/"
            << "Styled Title"
            << "Never Read"
            << "urn:uuid:7171" << QStringList { "c1" } << "" << QStringList() << QStringList() << "pre-paginated";
        // An anchor wrapping a span is labelled by the span's text; the
        // document is read on to the page list.
        QTest::newRow("epub3-anchor-span")
            << "epub3-anchor-span"
            << "3.0"
            << "EPUB/package.opf"
            << "EPUB/"
            << "EPUB/toc.xhtml"
            << "EPUB/"
            << "Spanned"
            << ""
            << "urn:uuid:5a5a" << QStringList { "a", "b" } << "Spanned contents"
            << QStringList { "Plain|a.xhtml", "Wrapped|b.xhtml", "Never reached|b.xhtml#end" } << QStringList { "1|a" }
            << "";
        // Malformed XML keeps what came before it and nothing after.
        QTest::newRow("epub3-malformed-package") << "epub3-malformed-package"
                                                 << "3.0"
                                                 << "EPUB/package.opf"
                                                 << "EPUB/"
                                                 << "EPUB/nav.xhtml"
                                                 << "EPUB/"
                                                 << "Half Read"
                                                 << ""
                                                 << "" << QStringList() << "" << QStringList() << QStringList() << "";
        QTest::newRow("mimetype-only") << "mimetype-only"
                                       << ""
                                       << ""
                                       << ""
                                       << ""
                                       << ""
                                       << ""
                                       << ""
                                       << "" << QStringList() << "" << QStringList() << QStringList() << kNoRendition;
        QTest::newRow("no-package-rootfile")
            << "no-package-rootfile"
            << ""
            << ""
            << ""
            << ""
            << ""
            << ""
            << ""
            << "" << QStringList() << "" << QStringList() << QStringList() << kNoRendition;
    }

    void parsesHandWrittenBook()
    {
        QFETCH(QString, book);
        // The library window passes its folder with a trailing "/", the reader without.
        for (const QString& dir : QStringList { bookPath(book), bookPath(book) + QLatin1Char('/') }) {
            const std::unique_ptr<EpubData> data = EpubParser::parseBook(dir);
            QVERIFY(data);
            QTEST(data->version, "version");
            QTEST(data->packagePath, "packagePath");
            QTEST(data->contentDir, "contentDir");
            QTEST(data->navDocumentPath, "navDocumentPath");
            QTEST(data->coverPath, "coverPath");
            QTEST(data->metadata.title, "title");
            QTEST(data->metadata.creator, "creator");
            QTEST(data->metadata.identifier, "identifier");
            QTEST(data->spine, "spine");
            QTEST(data->navTitle, "navTitle");
            QTEST(entries(data->toc), "toc");
            QTEST(entries(data->pageList), "pageList");
            QTEST(layoutOf(*data), "layout");
        }
    }

    void refusesFolderWithoutEpubMimetype_data()
    {
        QTest::addColumn<QString>("book");
        QTest::newRow("no mimetype file") << "no-mimetype";
        QTest::newRow("other media type") << "wrong-mimetype";
        QTest::newRow("no such folder") << "does-not-exist";
    }

    void refusesFolderWithoutEpubMimetype()
    {
        QFETCH(QString, book);
        EpubParser::Refusal refusal = EpubParser::Refusal::None;
        QVERIFY(!EpubParser::parseBook(bookPath(book), &refusal));
        QCOMPARE(refusal, EpubParser::Refusal::NotEpub);
    }

    void checksMimetype_data()
    {
        QTest::addColumn<QByteArray>("content"); // null: no mimetype file
        QTest::addColumn<bool>("accepted");
        QTest::newRow("exact") << QByteArray("application/epub+zip") << true;
        QTest::newRow("line end") << QByteArray("application/epub+zip\n") << true;
        QTest::newRow("crlf") << QByteArray("application/epub+zip\r\n") << true;
        QTest::newRow("text around") << QByteArray("type: application/epub+zip; v3") << true;
        QTest::newRow("second line") << QByteArray("hello\napplication/epub+zip\n") << true;
        QTest::newRow("upper case") << QByteArray("APPLICATION/EPUB+ZIP") << false;
        QTest::newRow("other type") << QByteArray("application/zip") << false;
        QTest::newRow("split over lines") << QByteArray("application/\nepub+zip") << false;
        QTest::newRow("empty") << QByteArray("") << false;
        QTest::newRow("missing") << QByteArray() << false;
        // Only a prefix of the file is read, however long its first line.
        QTest::newRow("media type after a long line") << QByteArray(64 * 1024, 'x') + "application/epub+zip" << false;
        QTest::newRow("long line after the media type") << "application/epub+zip" + QByteArray(8 << 20, 'x') << true;
    }

    void checksMimetype()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, accepted);
        QTemporaryDir dir;
        if (!content.isNull())
            QVERIFY(lf::test::writeFile(dir.filePath(QStringLiteral("mimetype")), content));
        QCOMPARE(EpubParser::checkMimetype(dir.path()), accepted);
        QCOMPARE(bool(EpubParser::parseBook(dir.path())), accepted);
    }

    // A package document is read only up to a bound (16 MiB): a title of tens
    // of megabytes is cut off with the document, which keeps what came before.
    void boundsThePackageDocument_data()
    {
        QTest::addColumn<int>("titleLength");
        QTest::addColumn<bool>("titleKept");
        QTest::newRow("long title within the bound") << 100000 << true;
        QTest::newRow("title beyond the bound") << (20 << 20) << false;
    }

    void boundsThePackageDocument()
    {
        QFETCH(int, titleLength);
        QFETCH(bool, titleKept);
        QTemporaryDir dir;
        const auto write = [&](const QString& name, const QByteArray& content) {
            QVERIFY(lf::test::writeFile(dir.filePath(name), content));
        };
        write("mimetype", "application/epub+zip");
        write("META-INF/container.xml",
            "<container><rootfiles><rootfile full-path=\"content.opf\" "
            "media-type=\"application/oebps-package+xml\"/></rootfiles></container>");
        write("content.opf",
            "<package version=\"2.0\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\"><metadata>"
            "<dc:creator>Ann</dc:creator><dc:title>"
                + QByteArray(titleLength, 't')
                + "</dc:title></metadata><spine><itemref idref=\"a\"/></spine></package>");

        const std::unique_ptr<EpubData> book = EpubParser::parseBook(dir.path());
        QVERIFY(book);
        QCOMPARE(book->metadata.creator, QStringLiteral("Ann"));
        QCOMPARE(book->metadata.title.size(), titleKept ? titleLength : 0);
        QCOMPARE(book->spine.size(), titleKept ? 1 : 0);
    }

    // A book with more spine or manifest items than a book may have is refused;
    // contents and page lists are cut at their limit, and what follows them is
    // still read.
    void boundsTheItemCounts_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<int>("spineItems");
        QTest::addColumn<int>("manifestItems");
        QTest::addColumn<int>("tocEntries");
        QTest::addColumn<int>("pageListEntries");
        QTest::addColumn<bool>("parses");
        QTest::addColumn<int>("tocKept");
        QTest::addColumn<int>("pageListKept");

        const int spine = EpubParser::kMaxSpineItems;
        const int manifest = EpubParser::kMaxManifestItems;
        const int nav = EpubParser::kMaxNavEntries;
        QTest::newRow("spine at the limit") << "3.0" << spine << 1 << 2 << 2 << true << 2 << 2;
        QTest::newRow("spine past the limit") << "3.0" << spine + 1 << 1 << 2 << 2 << false << 0 << 0;
        QTest::newRow("manifest at the limit") << "3.0" << 1 << manifest << 2 << 2 << true << 2 << 2;
        QTest::newRow("manifest past the limit") << "2.0" << 1 << manifest + 1 << 2 << 0 << false << 0 << 0;
        QTest::newRow("contents past the limit") << "3.0" << 1 << 1 << nav + 5 << 3 << true << nav << 3;
        QTest::newRow("page list past the limit") << "3.0" << 1 << 1 << 2 << nav + 5 << true << 2 << nav;
        QTest::newRow("NCX contents past the limit") << "2.0" << 1 << 1 << nav + 5 << 0 << true << nav << 0;
    }

    void boundsTheItemCounts()
    {
        QFETCH(QString, version);
        QFETCH(int, spineItems);
        QFETCH(int, manifestItems);
        QFETCH(int, tocEntries);
        QFETCH(int, pageListEntries);
        QTemporaryDir dir;
        const auto write = [&](const QString& name, const QByteArray& content) {
            QVERIFY(lf::test::writeFile(dir.filePath(name), content));
        };
        const auto anchors = [](int count) {
            QByteArray list;
            for (int i = 0; i < count; ++i)
                list += "<li><a href=\"i0.xhtml#" + QByteArray::number(i) + "\">" + QByteArray::number(i) + "</a></li>";
            return list;
        };
        QByteArray manifest = "<item id=\"toc\" href=\"nav.xhtml\" media-type=\"application/xhtml+xml\"/>"
                              "<item id=\"ncx\" href=\"toc.ncx\" media-type=\"application/x-dtbncx+xml\"/>";
        for (int i = 2; i < manifestItems; ++i)
            manifest += "<item id=\"i" + QByteArray::number(i) + "\" href=\"i0.xhtml\" media-type=\"image/png\"/>";
        QByteArray spine;
        for (int i = 0; i < spineItems; ++i)
            spine += "<itemref idref=\"toc\"/>";
        QByteArray navPoints;
        for (int i = 0; i < tocEntries; ++i)
            navPoints += "<navPoint><navLabel><text>" + QByteArray::number(i)
                + "</text></navLabel><content src=\"i0.xhtml#" + QByteArray::number(i) + "\"/></navPoint>";
        write("mimetype", "application/epub+zip");
        write("META-INF/container.xml",
            "<container><rootfiles><rootfile full-path=\"package.opf\" "
            "media-type=\"application/oebps-package+xml\"/></rootfiles></container>");
        write("package.opf",
            "<package version=\"" + version.toUtf8() + "\"><manifest>" + manifest + "</manifest><spine>" + spine
                + "</spine></package>");
        write("nav.xhtml",
            "<html xmlns:epub=\"http://www.idpf.org/2007/ops\"><body><nav id=\"toc\"><ol>" + anchors(tocEntries)
                + "</ol></nav><nav epub:type=\"page-list\"><ol>" + anchors(pageListEntries)
                + "</ol></nav></body></html>");
        write("toc.ncx", "<ncx><navMap>" + navPoints + "</navMap></ncx>");

        EpubParser::Refusal refusal = EpubParser::Refusal::NotEpub;
        const std::unique_ptr<EpubData> book = EpubParser::parseBook(dir.path(), &refusal);
        QFETCH(bool, parses);
        QCOMPARE(bool(book), parses);
        QCOMPARE(refusal, parses ? EpubParser::Refusal::None : EpubParser::Refusal::TooManyItems);
        if (!book)
            return;
        QCOMPARE(book->spine.size(), spineItems);
        QTEST(int(book->toc.size()), "tocKept");
        QTEST(int(book->pageList.size()), "pageListKept");
    }

    // Items "id media-type [fallback]"; each start id gives the id shown or
    // "-". Items after "|" are added once the chains were looked up.
    void resolvesFallbackChains_data()
    {
        QTest::addColumn<QStringList>("items");
        QTest::addColumn<QStringList>("shown"); // for a, b, c, then again after the added items
        QTest::newRow("showable itself") << QStringList { "a image/png b", "b text/html" }
                                         << QStringList { "a", "b", "-" };
        QTest::newRow("chain to a showable item")
            << QStringList { "a x/y b", "b x/y c", "c application/xhtml+xml" } << QStringList { "c", "c", "c" };
        QTest::newRow("loop, chain into it, self loop")
            << QStringList { "c x/y a", "a x/y b", "b x/y a", "d x/y d" } << QStringList { "-", "-", "-" };
        QTest::newRow("missing item, then added") << QStringList { "a x/y b", "b x/y c", "|", "c image/jpeg" }
                                                  << QStringList { "-", "-", "-", "c", "c", "c" };
        QTest::newRow("no fallback is no item without id") << QStringList { "a x/y", " image/png", "b x/y c", "c x/y",
            "c image/png" } << QStringList { "-", "-", "-" };
    }

    void resolvesFallbackChains()
    {
        QFETCH(QStringList, items);
        EpubManifest manifest;
        QStringList shown;
        for (const QString& line : items + QStringList { "|" }) {
            const QStringList parts = line.split(QLatin1Char(' '));
            if (line != QLatin1String("|")) {
                manifest.addItem({ parts.at(0), parts.at(0) + QStringLiteral(".file"), parts.at(1), parts.value(2) });
                continue;
            }
            for (const char* id : { "a", "b", "c" }) {
                const ManifestEntry* item = manifest.showableItem(QLatin1String(id));
                shown << (item ? item->id : QStringLiteral("-"));
            }
        }
        QTEST(shown, "shown");
    }

    // The font list is refused whole above its size bound, and read no
    // further than the manifest has items.
    void boundsTheEncryptionList_data()
    {
        QTest::addColumn<int>("entries");
        QTest::addColumn<int>("padding");
        QTest::addColumn<bool>("refused");
        const int bound = EpubParser::kMaxEncryptionBytes;
        QTest::newRow("fewer entries than items") << 3 << 0 << false;
        QTest::newRow("more entries than items") << 400 << 0 << false;
        QTest::newRow("near the size bound") << 2 << bound - 4096 << false;
        QTest::newRow("over the size bound") << 2 << bound << true;
    }

    void boundsTheEncryptionList()
    {
        QFETCH(int, entries);
        QFETCH(int, padding);
        QTemporaryDir dir;
        const QString bookDir = dir.filePath(QStringLiteral("book"));
        QVERIFY(lf::FolderCopy::copy(
            QFile::encodeName(bookPath(QStringLiteral("epub3-declared"))), QFile::encodeName(bookDir)));
        QByteArray list = "<encryption>" + QByteArray(padding, ' ');
        for (int i = 0; i < entries; ++i)
            list += "<EncryptedData><EncryptionMethod Algorithm=\"http://www.idpf.org/2008/embedding\"/><CipherData>"
                    "<CipherReference URI=\"f"
                + QByteArray::number(i) + ".otf\"/></CipherData></EncryptedData>";
        QVERIFY(lf::test::writeFile(
            bookDir + QLatin1Char('/') + lf::FontObfuscation::kEncryptionPath, list + "</encryption>"));

        const std::unique_ptr<EpubData> book = EpubParser::parseBook(bookDir);
        QVERIFY(book);
        QFETCH(bool, refused);
        QCOMPARE(book->obfuscatedFonts.size(), refused ? 0 : qMin(entries, book->manifest.items.size()));
    }

    // A book names files by paths it writes itself: any that leaves the book
    // folder is treated as missing, and a package outside it is no book. The
    // book folder holds folders named "x?" and "x#", so a path that kept a
    // query or fragment would climb out through them.
    // A book that declares no cover picture: the guide's cover reference, then
    // the first page, each taken only when it shows exactly one picture that
    // the book holds.
    void findsAnUndeclaredCover_data()
    {
        QTest::addColumn<QByteArray>("declaration"); // metadata and guide of the package
        QTest::addColumn<QByteArray>("firstPage");
        QTest::addColumn<QString>("coverPath");
        const QByteArray one = R"(<html><body><p><img src="../img/a.png"/></p></body></html>)";
        const QByteArray two = R"(<html><body><img src="../img/a.png"/><img src="../img/b.png"/></body></html>)";
        const QByteArray guide = R"(<guide><reference type="cover" href="text/cover.xhtml"/></guide>)";
        QTest::newRow("meta cover before the guide")
            << QByteArray(R"(<metadata><meta name="cover" content="b"/></metadata>)") + guide << one << "OPS/img/b.png";
        QTest::newRow("guide page's one picture") << guide << two << "OPS/img/b.png";
        QTest::newRow("guide names a picture")
            << QByteArray(R"(<guide><reference type="Cover" href="img/b.png"/></guide>)") << two << "OPS/img/b.png";
        QTest::newRow("guide page missing, first page's picture")
            << QByteArray(R"(<guide><reference type="cover" href="text/gone.xhtml"/></guide>)") << one
            << "OPS/img/a.png";
        QTest::newRow("first page, an SVG picture")
            << QByteArray()
            << QByteArray(R"(<html><body><svg xmlns="http://www.w3.org/2000/svg" )"
                          R"(xmlns:xlink="http://www.w3.org/1999/xlink"><image xlink:href="../img/a.png"/>)"
                          R"(</svg></body></html>)")
            << "OPS/img/a.png";
        QTest::newRow("first page with two pictures") << QByteArray() << two << "OPS/";
        QTest::newRow("first page's picture not in the book")
            << QByteArray() << QByteArray(R"(<html><body><img src="../img/gone.png"/></body></html>)") << "OPS/";
        QTest::newRow("first page's picture outside the book")
            << QByteArray() << QByteArray(R"(<html><body><img src="../../../outside.png"/></body></html>)") << "OPS/";
        QTest::newRow("first page cut short after one picture")
            << QByteArray() << QByteArray(R"(<html><body><img src="../img/a.png"/><p>)") << "OPS/";
    }

    void findsAnUndeclaredCover()
    {
        QFETCH(QByteArray, declaration);
        QFETCH(QByteArray, firstPage);
        QTemporaryDir root;
        const QString bookDir = root.filePath(QStringLiteral("book"));
        const auto write = [&](const QString& name, const QByteArray& content) {
            QVERIFY(lf::test::writeFile(root.filePath(name), content));
        };
        write("outside.png", "picture");
        write("book/mimetype", "application/epub+zip");
        write("book/META-INF/container.xml",
            R"(<container><rootfiles><rootfile full-path="OPS/package.opf" )"
            R"(media-type="application/oebps-package+xml"/></rootfiles></container>)");
        write("book/OPS/img/a.png", "picture");
        write("book/OPS/img/b.png", "picture");
        write("book/OPS/text/cover.xhtml", R"(<html><body><img src="../img/b.png"/></body></html>)");
        write("book/OPS/text/first.xhtml", firstPage);
        write("book/OPS/package.opf",
            R"(<package version="2.0"><manifest><item id="first" href="text/first.xhtml" )"
            R"(media-type="application/xhtml+xml"/><item id="a" href="img/a.png" media-type="image/png"/>)"
            R"(<item id="b" href="img/b.png" media-type="image/png"/></manifest>)"
            R"(<spine><itemref idref="first"/></spine>)"
                + declaration + "</package>");
        const std::unique_ptr<EpubData> book = EpubParser::parseBook(bookDir);
        QVERIFY(book);
        QTEST(book->coverPath, "coverPath");
    }

    void neverReadsOutsideTheBook_data()
    {
        QTest::addColumn<QString>("packagePath");
        QTest::addColumn<QString>("coverHref");
        QTest::addColumn<QString>("navHref");
        QTest::addColumn<bool>("parses");
        QTest::addColumn<QString>("coverPath");
        QTest::addColumn<QString>("navDocumentPath");
        const QString nav = QStringLiteral("nav.xhtml");
        QTest::newRow("inside") << "OEBPS/content.opf"
                                << "../images/c.jpg" << nav << true << "images/c.jpg"
                                << "OEBPS/nav.xhtml";
        QTest::newRow("encoded names") << "OEBPS/content.opf"
                                       << "c%3Fd%23e.jpg"
                                       << "n%20v.xhtml" << true << "OEBPS/c?d#e.jpg"
                                       << "OEBPS/n v.xhtml";
        QTest::newRow("cover climbs out") << "OEBPS/content.opf"
                                          << "../../outside.png" << nav << true << "OEBPS/"
                                          << "OEBPS/nav.xhtml";
        QTest::newRow("cover absolute") << "OEBPS/content.opf"
                                        << "/proc/self/fd/0" << nav << true << "OEBPS/"
                                        << "OEBPS/nav.xhtml";
        QTest::newRow("cover remote") << "OEBPS/content.opf"
                                      << "http://example.com/c.jpg" << nav << true << "OEBPS/"
                                      << "OEBPS/nav.xhtml";
        QTest::newRow("cover after a query") << "OEBPS/content.opf"
                                             << "x?/../../../outside.png" << nav << true << "OEBPS/x"
                                             << "OEBPS/nav.xhtml";
        QTest::newRow("cover after a fragment") << "OEBPS/content.opf"
                                                << "x#/../../../outside.png" << nav << true << "OEBPS/x"
                                                << "OEBPS/nav.xhtml";
        QTest::newRow("cover through an encoded query") << "OEBPS/content.opf"
                                                        << "x%3F/../../../outside.png" << nav << true << "OEBPS/"
                                                        << "OEBPS/nav.xhtml";
        QTest::newRow("cover through an encoded fragment") << "OEBPS/content.opf"
                                                           << "x%23/../../../outside.png" << nav << true << "OEBPS/"
                                                           << "OEBPS/nav.xhtml";
        QTest::newRow("navigation after a query") << "OEBPS/content.opf"
                                                  << "c.jpg"
                                                  << "x?/../../../outside.xhtml" << true << "OEBPS/c.jpg"
                                                  << "OEBPS/x";
        QTest::newRow("navigation through an encoded fragment")
            << "OEBPS/content.opf"
            << "c.jpg"
            << "x%23/../../../outside.xhtml" << true << "OEBPS/c.jpg"
            << "OEBPS/";
        QTest::newRow("package climbs out") << "../content.opf"
                                            << "c.jpg" << nav << false << ""
                                            << "";
        QTest::newRow("package absolute") << "/tmp/content.opf"
                                          << "c.jpg" << nav << false << ""
                                          << "";
        QTest::newRow("package climbs through a query-named folder") << "OEBPS/x?/../../../content.opf"
                                                                     << "c.jpg" << nav << false << ""
                                                                     << "";
        // "link" leads to a folder beside the book: the file system walks ".." from there.
        QTest::newRow("package through a link and back") << "link/../content.opf"
                                                         << "c.jpg" << nav << false << ""
                                                         << "";
    }

    void neverReadsOutsideTheBook()
    {
        QFETCH(QString, packagePath);
        QFETCH(QString, coverHref);
        QFETCH(QString, navHref);
        QTemporaryDir root;
        const QString bookDir = root.filePath(QStringLiteral("book"));
        const auto write = [&](const QString& name, const QByteArray& content) {
            QVERIFY(lf::test::writeFile(root.filePath(name), content));
        };
        const QByteArray navDocument = "<html><head><title>Outside</title></head><body><nav id=\"toc\"><ol><li>"
                                       "<a href=\"a.xhtml\">Outside</a></li></ol></nav></body></html>";
        write("outside.png", "not read");
        write("outside.xhtml", navDocument);
        write("content.opf", "<package version=\"3.0\"><metadata><title>Outside</title></metadata></package>");
        QVERIFY(QDir().mkpath(bookDir + QStringLiteral("/OEBPS/x?")));
        QVERIFY(QDir().mkpath(bookDir + QStringLiteral("/OEBPS/x#")));
        QVERIFY(QDir().mkpath(root.filePath(QStringLiteral("beside"))));
        QVERIFY(QFile::link(root.filePath(QStringLiteral("beside")), bookDir + QStringLiteral("/link")));
        write("book/mimetype", "application/epub+zip");
        write("book/META-INF/container.xml",
            "<container><rootfiles><rootfile full-path=\"" + packagePath.toUtf8()
                + "\" media-type=\"application/oebps-package+xml\"/></rootfiles></container>");
        const QByteArray package = "<package version=\"3.0\"><manifest>"
                                   "<item id=\"cover\" href=\""
            + coverHref.toUtf8()
            + "\" media-type=\"image/jpeg\" properties=\"cover-image\"/>"
              "<item id=\"nav\" href=\""
            + navHref.toUtf8()
            + "\" media-type=\"application/xhtml+xml\" properties=\"nav\"/>"
              "<item id=\"evil\" href=\"../../../x.xhtml\" media-type=\"application/xhtml+xml\" properties=\"nav\"/>"
              "</manifest><spine><itemref idref=\"nav\"/></spine></package>";
        write("book/OEBPS/content.opf", package);

        const std::unique_ptr<EpubData> book = EpubParser::parseBook(bookDir);
        QFETCH(bool, parses);
        QCOMPARE(bool(book), parses);
        if (!book)
            return;
        QTEST(book->coverPath, "coverPath");
        QTEST(book->navDocumentPath, "navDocumentPath");
        QCOMPARE(book->manifest.applicationHref(QStringLiteral("evil")), QString());
        QVERIFY(book->metadata.title.isEmpty() && book->toc.isEmpty() && book->navTitle.isEmpty());
        // As the file system resolves them, the paths lead into the book or nowhere.
        const QString inside = QFileInfo(bookDir).canonicalFilePath() + QLatin1Char('/');
        for (const QString& path : { book->coverPath, book->navDocumentPath }) {
            const QFileInfo file(bookDir + QLatin1Char('/') + path);
            QVERIFY2(!file.exists() || file.canonicalFilePath().startsWith(inside), qPrintable(path));
        }
    }

    void readsEveryMetadataField_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("expected");
        const std::unique_ptr<EpubData> book = EpubParser::parseBook(bookPath(QStringLiteral("epub2-basic")));
        QVERIFY(book);
        const EpubMetadata& m = book->metadata;
        const QList<std::pair<const char*, std::pair<QString, QString>>> fields {
            { "title", { m.title, "Second-Hand Tales" } },
            { "creator", { m.creator, "First Author" } },
            { "subject", { m.subject, "Fiction" } },
            { "description", { m.description, "Stories & sketches." } },
            { "publisher", { m.publisher, "Small Press" } },
            { "contributor", { m.contributor, "An Editor" } },
            { "date", { m.date, "2001-02-03" } },
            { "type", { m.type, "Text" } },
            { "format", { m.format, "application/epub+zip" } },
            { "identifier", { m.identifier, "urn:uuid:0b7e2f4c-2" } },
            { "source", { m.source, "Paper edition" } },
            { "language", { m.language, "en" } },
            { "relation", { m.relation, "Series one" } },
            { "coverage", { m.coverage, "Europe" } },
            { "rights", { m.rights, "Public domain" } },
            { "uniqueIdentifier", { book->uniqueIdentifier, "bookid" } },
            { "coverId", { book->coverId, "cover-img" } },
        };
        for (const auto& field : fields)
            QTest::newRow(field.first) << field.second.first << field.second.second;
    }

    void readsEveryMetadataField()
    {
        QFETCH(QString, value);
        QFETCH(QString, expected);
        QCOMPARE(value, expected);
    }

    void sortsManifestByMediaFamily_data()
    {
        QTest::addColumn<QString>("family");
        QTest::addColumn<QStringList>("items");
        // Video and font items belong to no family; duplicate ids are kept.
        QTest::newRow("application") << "application"
                                     << QStringList { "ncx=toc.ncx", "ch1=text/ch1.xhtml", "ch2=text/ch2.xhtml",
                                            "ch1=text/duplicate.xhtml" };
        QTest::newRow("image") << "image" << QStringList { "cover-img=images/cover.jpg" };
        QTest::newRow("audio") << "audio" << QStringList { "song=audio/song.mp3" };
        QTest::newRow("text") << "text" << QStringList { "style=style.css" };
    }

    void sortsManifestByMediaFamily()
    {
        QFETCH(QString, family);
        QFETCH(QStringList, items);
        const std::unique_ptr<EpubData> book = EpubParser::parseBook(bookPath(QStringLiteral("epub2-basic")));
        QVERIFY(book);
        const QMap<QString, QList<ManifestEntry>> families { { "application", book->manifest.application },
            { "image", book->manifest.image }, { "audio", book->manifest.audio }, { "text", book->manifest.text } };
        QStringList actual;
        for (const ManifestEntry& entry : families.value(family))
            actual << entry.id + QLatin1Char('=') + entry.href;
        QCOMPARE(actual, items);
    }

    void looksUp_data()
    {
        QTest::addColumn<QString>("book");
        QTest::addColumn<QString>("lookup");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");
        QTest::newRow("application href, first of duplicates") << "epub2-basic"
                                                               << "applicationHref"
                                                               << "ch1"
                                                               << "text/ch1.xhtml";
        QTest::newRow("application href, not an image") << "epub2-basic"
                                                        << "applicationHref"
                                                        << "cover-img"
                                                        << "";
        QTest::newRow("application href, case-sensitive") << "epub2-basic"
                                                          << "applicationHref"
                                                          << "CH1"
                                                          << "";
        QTest::newRow("image href") << "epub2-basic"
                                    << "imageHref"
                                    << "cover-img"
                                    << "images/cover.jpg";
        QTest::newRow("image href, not an image") << "epub2-basic"
                                                  << "imageHref"
                                                  << "ch1"
                                                  << "";
        QTest::newRow("id for href, substring") << "epub2-basic"
                                                << "applicationIdForHref"
                                                << "ch2.xhtml"
                                                << "ch2";
        QTest::newRow("id for href, first match") << "epub2-basic"
                                                  << "applicationIdForHref"
                                                  << "text/"
                                                  << "ch1";
        QTest::newRow("id for href, case-sensitive") << "epub2-basic"
                                                     << "applicationIdForHref"
                                                     << "CH2.xhtml"
                                                     << "";
        QTest::newRow("id for href, with fragment") << "epub2-basic"
                                                    << "applicationIdForHref"
                                                    << "text/ch2.xhtml#a"
                                                    << "";
        QTest::newRow("page label for idref") << "epub3-basic"
                                              << "pageLabelForHref"
                                              << "p1"
                                              << "i";
        QTest::newRow("page label, third anchor") << "epub3-basic"
                                                  << "pageLabelForHref"
                                                  << "p2"
                                                  << "1";
        QTest::newRow("page label with fragment") << "epub3-basic"
                                                  << "pageLabelForHref"
                                                  << "p1.xhtml#ii"
                                                  << "ii";
        QTest::newRow("page label, fragment missing") << "epub3-basic"
                                                      << "pageLabelForHref"
                                                      << "p2.xhtml"
                                                      << "";
        QTest::newRow("page label, no page list") << "epub2-basic"
                                                  << "pageLabelForHref"
                                                  << "ch1"
                                                  << "";
    }

    void looksUp()
    {
        QFETCH(QString, book);
        QFETCH(QString, lookup);
        QFETCH(QString, key);
        const std::unique_ptr<EpubData> data = EpubParser::parseBook(bookPath(book));
        QVERIFY(data);
        const QMap<QString, std::function<QString(const QString&)>> lookups {
            { "applicationHref", [&](const QString& k) { return data->manifest.applicationHref(k); } },
            { "imageHref", [&](const QString& k) { return data->manifest.imageHref(k); } },
            { "applicationIdForHref", [&](const QString& k) { return data->manifest.applicationIdForHref(k); } },
            { "pageLabelForHref", [&](const QString& k) { return data->pageLabelForHref(k); } },
        };
        QVERIFY(lookups.contains(lookup));
        QTEST(lookups.value(lookup)(key), "expected");
    }

    void readsRenditionProperties_data()
    {
        QTest::addColumn<QString>("book");
        QTest::addColumn<bool>("present");
        QTest::addColumn<QStringList>("properties"); // layout, spread, orientation
        QTest::newRow("all three, others ignored")
            << "epub3-basic" << true << QStringList { "pre-paginated", "landscape", "portrait" };
        QTest::newRow("epub 3 without any") << "epub3-fallbacks" << true << QStringList { "", "", "" };
        QTest::newRow("epub 2 never") << "epub2-basic" << false << QStringList();
    }

    void readsRenditionProperties()
    {
        QFETCH(QString, book);
        QFETCH(bool, present);
        QFETCH(QStringList, properties);
        const std::unique_ptr<EpubData> data = EpubParser::parseBook(bookPath(book));
        QVERIFY(data);
        QCOMPARE(data->rendition.has_value(), present);
        if (present)
            QCOMPARE((QStringList { data->rendition->layout, data->rendition->spread, data->rendition->orientation }),
                properties);
    }

    // What a book declares about each spine item, its fallbacks, its fonts
    // and its first title and author.
    void readsDeclaredBook()
    {
        const std::unique_ptr<EpubData> book = EpubParser::parseBook(bookPath(QStringLiteral("epub3-declared")));
        QVERIFY(book);
        QCOMPARE(book->metadata.title, QStringLiteral("The Declared Book"));
        QCOMPARE(book->metadata.creator, QStringLiteral("First Author"));
        QCOMPARE(book->metadata.identifier, QStringLiteral("urn:isbn:978 0 00"));
        QVERIFY(book->isRightToLeft());
        QCOMPARE(entries(book->toc),
            (QStringList {
                "Picture One|p1.xhtml", "Titled Two|p2.xhtml", "Shown text|shown.xhtml", "After|p1.xhtml#end" }));

        // linear, layout, spread, side, as each itemref declares them; of
        // words of one kind the first known one counts.
        QStringList declared;
        for (int i = 0; i < book->spine.size(); ++i) {
            const SpineItemProperties item = book->spineItem(i);
            declared << QStringLiteral("%1 %2 %3 %4 %5")
                            .arg(item.linear)
                            .arg(item.layout.isEmpty() ? QStringLiteral("-") : item.layout)
                            .arg(item.spread.isEmpty() ? QStringLiteral("-") : item.spread)
                            .arg(int(item.pageSpread))
                            .arg(book->isPrePaginated(i));
        }
        QCOMPARE(declared,
            (QStringList { "1 - - 2 1", "1 reflowable - 1 0", "1 - none 3 1", "0 - - 3 1", "1 pre-paginated - 0 1",
                "1 - - 0 1", "1 reflowable both 2 0", "1 - portrait 3 1" }));

        // The page shown for each spine item: its own, its first showable
        // fallback, or none when the chain loops or ends.
        const PageModel pages(book.get(), bookPath(QStringLiteral("epub3-declared")));
        QStringList shown;
        for (int page = 0; page < pages.pageCount(); ++page)
            shown << (pages.cannotShow(page) ? QStringLiteral("cannot") : pages.documentPath(page));
        QCOMPARE(shown,
            (QStringList { "EPUB/p1.xhtml", "EPUB/p2.xhtml", "EPUB/shown.xhtml", "cannot", "cannot", "EPUB/pic.jpg",
                "EPUB/p1.xhtml", "EPUB/p2.xhtml" }));

        // Obfuscated fonts, by the paths the container names; the encrypted
        // document and the path outside the book are not fonts to serve.
        QCOMPARE(book->obfuscatedFonts.size(), 2);
        const ObfuscatedFont* idpf = book->obfuscatedFont(QStringLiteral("EPUB/fonts/a font.otf"));
        QVERIFY(idpf);
        QCOMPARE(idpf->headerLength, 1040);
        QCOMPARE(idpf->key, QCryptographicHash::hash("urn:isbn:978000", QCryptographicHash::Sha1));
        const ObfuscatedFont* adobe = book->obfuscatedFont(QStringLiteral("EPUB/fonts/b.ttf"));
        QVERIFY(adobe);
        QCOMPARE(adobe->headerLength, 1024);
        QCOMPARE(adobe->key, QByteArray::fromHex("0a1b2c3d4e5f60718293a4b5c6d7e8f9"));
    }

    void undoesFontObfuscation_data()
    {
        QTest::addColumn<QString>("algorithm");
        QTest::addColumn<int>("fileSize");
        QTest::addColumn<int>("changed");
        QTest::newRow("idpf") << lf::FontObfuscation::kIdpfAlgorithm << 4000 << 1040;
        QTest::newRow("older") << lf::FontObfuscation::kAdobeAlgorithm << 4000 << 1024;
        QTest::newRow("file shorter than the header") << lf::FontObfuscation::kIdpfAlgorithm << 100 << 100;
    }

    void undoesFontObfuscation()
    {
        QFETCH(QString, algorithm);
        QFETCH(int, fileSize);
        QFETCH(int, changed);
        ObfuscatedFont font;
        QVERIFY(lf::FontObfuscation::describe(
            algorithm, QStringLiteral("urn:x"), QStringLiteral("urn:uuid:00112233-4455-6677-8899-aabbccddeeff"), font));
        QByteArray original(fileSize, '\0');
        for (int i = 0; i < fileSize; ++i)
            original[i] = char(i * 7);
        QByteArray bytes = original;
        lf::FontObfuscation::apply(font, bytes);
        for (int i = 0; i < fileSize; ++i)
            QCOMPARE(bytes.at(i) != original.at(i), i < changed && font.key.at(i % font.key.size()) != 0);
        lf::FontObfuscation::apply(font, bytes);
        QCOMPARE(bytes, original);
    }

    void reportsUnopenableDocuments()
    {
        EpubData book;
        QVERIFY(!EpubParser::parsePackage(bookPath(QStringLiteral("mimetype-only")), book));
        book.packagePath = QStringLiteral("EPUB/package.opf");
        QVERIFY(EpubParser::parsePackage(bookPath(QStringLiteral("epub3-anchor-span")), book));
        book.navDocumentPath = QStringLiteral("EPUB/missing.xhtml");
        QVERIFY(!EpubParser::parseNavDocument(bookPath(QStringLiteral("epub3-anchor-span")), book));
        QVERIFY(book.toc.isEmpty() && book.pageList.isEmpty() && book.navTitle.isEmpty());
    }

    void parsesCorpusBook_data()
    {
        QTest::addColumn<QString>("book");
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("creator");
        QTest::addColumn<int>("spine");
        QTest::addColumn<int>("toc");
        QTest::addColumn<int>("pageList");
        QTest::addColumn<QString>("layout");
        QTest::addColumn<QString>("coverPath");
        QTest::addColumn<QString>("navDocumentPath");

        const QString none = kNoRendition;
        auto row = [](const char* book) -> QTestData& {
            return QTest::newRow(book) << QString::fromLatin1(book) + QStringLiteral(".epub");
        };
        row("childrens-literature") << "3.0"
                                    << "Children's Literature"
                                    << "Charles Madison Curry" << 3 << 22 << 92 << ""
                                    << "EPUB/images/cover.png"
                                    << "EPUB/nav.xhtml";
        row("guide-des-vins-images") << "3.0"
                                     << "Guide Hachette des Vins 2011"
                                     << "Collectif" << 9 << 3 << 0 << ""
                                     << "EPUB/Image/cover.jpg"
                                     << "EPUB/Navigation/nav.xhtml";
        row("gutenberg-alice-epub2") << "2.0"
                                     << "Alice's Adventures in Wonderland"
                                     << "Lewis Carroll" << 15 << 16 << 0 << none
                                     << "OEBPS/5763489575526147435_cover.jpg"
                                     << "OEBPS/toc.ncx";
        row("gutenberg-pride-and-prejudice-epub2") << "2.0"
                                                   << "Pride and Prejudice"
                                                   << "Jane Austen" << 15 << 63 << 0 << none << "1342/"
                                                   << "1342/toc.ncx";
        row("haruko-manga-fxl") << "3.0" << QStringLiteral("ハルコさんの彼氏") << "" << 13 << 2 << 14 << "pre-paginated"
                                << "OPS/images/01.jpg"
                                << "OPS/xhtml/toc.xhtml";
        row("israel-sailing-hebrew") << "3.0" << QStringLiteral("מפליגים בישראל") << QStringLiteral("אורי עידן") << 12
                                     << 12 << 0 << ""
                                     << "OEBPS/israelsailing.jpg"
                                     << "OEBPS/toc.xhtml";
        row("kusamakura-preview-japanese")
            << "3.0" << QStringLiteral("草枕") << QStringLiteral("夏目 漱石") << 3 << 14 << 0 << ""
            << "EPUB/" << QStringLiteral("EPUB/xhtml/目次.xhtml");
        row("linear-algebra") << "3.0"
                              << "A First Course in Linear Algebra"
                              << "Robert A. Beezer" << 94 << 94 << 0 << ""
                              << "EPUB/"
                              << "EPUB/xhtml/nav.xhtml";
        row("minimal-epub2") << "2.0"
                             << "Your title here"
                             << "" << 1 << 1 << 0 << none << "OEBPS/"
                             << "OEBPS/toc.ncx";
        row("minimal-epub3") << "3.0"
                             << "Your title here"
                             << "" << 1 << 1 << 0 << ""
                             << "EPUB/"
                             << "EPUB/nav.xhtml";
        row("moby-dick") << "3.0"
                         << "Moby-Dick"
                         << "Herman Melville" << 144 << 141 << 0 << ""
                         << "OPS/images/9780316000000.jpg"
                         << "OPS/toc.xhtml";
        row("package-in-subfolders") << "3.0"
                                     << "ocf-package_arbitrary"
                                     << "Dave Cramer" << 1 << 1 << 0 << ""
                                     << "FOO/BAR/"
                                     << "FOO/BAR/nav.xhtml";
        row("page-blanche-fxl") << "3.0"
                                << "Page Blanche" << QStringLiteral("Boulet") << 10 << 2 << 8 << "pre-paginated"
                                << "EPUB/Image/cover.jpg"
                                << "EPUB/Navigation/nav.xhtml";
        row("voyage-of-life-mixed-layout") << "3.0"
                                           << "Thomas Cole - The Voyage of Life"
                                           << "Jesse Dylan" << 10 << 7 << 0 << ""
                                           << "EPUB/images/portrait.jpg"
                                           << "EPUB/xhtml/nav.xhtml";
        row("wasteland") << "3.0"
                         << "The Waste Land"
                         << "T.S. Eliot" << 1 << 6 << 0 << ""
                         << "EPUB/wasteland-cover.jpg"
                         << "EPUB/wasteland-nav.xhtml";
    }

    void parsesCorpusBook()
    {
        QFETCH(QString, book);
        QVERIFY(m_corpusDir.isValid());
        const QString copy = lf::test::copyCorpusBook(book, m_corpusDir.filePath(QStringLiteral("archives")));
        QVERIFY(!copy.isEmpty());
        const QString bookDir = m_corpusDir.filePath(book) + QLatin1Char('/');
        QVERIFY(UnzipThread::extractArchive(copy, bookDir));

        const std::unique_ptr<EpubData> data = EpubParser::parseBook(bookDir);
        QVERIFY(data);
        QTEST(data->version, "version");
        QTEST(data->metadata.title, "title");
        QTEST(data->metadata.creator, "creator");
        QTEST(int(data->spine.size()), "spine");
        QTEST(int(data->toc.size()), "toc");
        QTEST(int(data->pageList.size()), "pageList");
        QTEST(layoutOf(*data), "layout");
        QTEST(data->coverPath, "coverPath");
        QTEST(data->navDocumentPath, "navDocumentPath");
        QVERIFY(QFileInfo(bookDir + data->packagePath).isFile());
        // Every spine document resolves, and no corpus page list names a spine idref.
        for (const QString& idref : qAsConst(data->spine)) {
            QVERIFY2(!data->manifest.applicationHref(idref).isEmpty(), qPrintable(idref));
            QCOMPARE(data->pageLabelForHref(idref), QString());
        }
        // No corpus anchor wraps an element, so every label is read (some
        // anchors of the preview book have no href at all).
        for (const NavEntry& entry : qAsConst(data->toc))
            QVERIFY2(!entry.label.trimmed().isEmpty(), qPrintable(entry.href));
    }
};

LF_TEST_CORE_MAIN(TestEpubParser)
#include "tst_epubparser.moc"
