// The contents and thumbnail panel with real books, a real off-screen page and real files.
#include "base/appconstants.h"
#include "obfuscatedfontbook.h"
#include "panelbooks.h"
#include "reader/bookaddress.h"
#include "reader/offscreenbookpage.h"
#include "reader/pageharvest.h"
#include "reader/panels/viewerthumbnailitemform.h"
#include "reader/panels/viewertoclistwidget.h"
#include "reader/storedthumbnail.h"
#include "testsupport.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QListWidget>
#include <QRandomGenerator>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QWebElement>
#include <QWebFrame>
#include <QWebPage>

#include <memory>

namespace {
constexpr int kProductionTimeoutMs = 30000;

QListWidget* list(QWidget* panel, const char* name)
{
    return panel->findChild<QListWidget*>(QLatin1String(name));
}

ViewerThumbnailItemForm* tile(QWidget* panel, int row)
{
    QListWidget* tiles = list(panel, "thumbnail_list_widget");
    return qobject_cast<ViewerThumbnailItemForm*>(tiles->itemWidget(tiles->item(row)));
}

QString thumbnailFolder(const QString& bookDir, const EpubData& book)
{
    return bookDir + QLatin1Char('/') + book.contentDir + lf::kThumbnailFolder;
}

QByteArray pngOf(const QImage& image)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

QImage picture(const QSize& size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    return image;
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Shows the panel on its thumbnail tab, tall enough for `rows` tiles.
void showThumbnails(QWidget* panel, int rows = 12)
{
    panel->resize(200, 60 + rows * 121);
    panel->findChild<QTabWidget*>(QStringLiteral("tabWidget"))->setCurrentIndex(1);
    panel->show();
}

QWebPage* harvestPage(QWidget* panel)
{
    return panel->findChild<QWebPage*>(QStringLiteral("harvest_page"));
}

// The rows that have a tile now.
QList<int> tiledRows(QWidget* panel)
{
    QList<int> rows;
    for (int row = 0; row < list(panel, "thumbnail_list_widget")->count(); ++row) {
        if (tile(panel, row))
            rows.append(row);
    }
    return rows;
}

} // namespace

class TestViewerTocListWidget : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(m_folder.isValid()); }

    void contentsEntryJumps_data()
    {
        QTest::addColumn<QString>("book");
        QTest::addColumn<QString>("target");
        QTest::addColumn<int>("page");
        QTest::newRow("fragment") << "childrens-literature.epub"
                                  << "s04.xhtml#pgepubid00492" << 2;
        QTest::newRow("fragment in an NCX") << "gutenberg-alice-epub2.epub"
                                            << "8860606395858576540_11-h-3.htm.html#" << 4;
        QTest::newRow("nav in a sibling folder") << "guide-des-vins-images.epub"
                                                 << "../Content/Alsace-Lorraine-1.xhtml" << 5;
        QTest::newRow("nav in a sibling folder, fixed layout") << "page-blanche-fxl.epub"
                                                               << "../Content/PageBlanche_Page_005.xhtml" << 6;
        QTest::newRow("bare name beside a nav in a subfolder") << "linear-algebra.epub"
                                                               << "copyright.xhtml" << 1;
    }

    void contentsEntryJumps()
    {
        QFETCH(QString, book);
        QFETCH(QString, target);
        QFETCH(int, page);
        const lf::test::OpenedBook opened = lf::test::extractCorpusBook(book, testFolder());
        QVERIFY(opened.book);
        ViewerTocListWidget panel(nullptr, opened.book.get(), opened.bookDir);
        panel.setLoadFinish();
        panel.show();
        int row = 0;
        while (row < opened.book->toc.size() && !opened.book->toc.at(row).href.startsWith(target))
            ++row;
        QVERIFY2(row < opened.book->toc.size(), "the book has no such contents entry");
        QListWidget* entries = list(&panel, "toc_list_widget");
        QCOMPARE(entries->count(), opened.book->toc.size());

        // An entry that names an anchor asks for the page and the anchor.
        QSignalSpy moved(&panel, SIGNAL(moveToPageEvent(int)));
        QSignalSpy anchored(&panel, SIGNAL(moveToAnchorEvent(int, QString)));
        emit entries->itemDoubleClicked(entries->item(row));
        const QString anchor = QUrl(opened.book->toc.at(row).href).fragment();
        QSignalSpy& asked = anchor.isEmpty() ? moved : anchored;
        QCOMPARE(moved.count() + anchored.count(), 1);
        QCOMPARE(asked.count(), 1);
        QCOMPARE(asked.at(0).at(0).toInt(), page);
        if (!anchor.isEmpty())
            QCOMPARE(asked.at(0).at(1).toString(), anchor);
    }

    void thumbnailsAreMadeOnceAndReused_data()
    {
        QTest::addColumn<QString>("book");
        QTest::newRow("reflowable") << "childrens-literature.epub";
        QTest::newRow("fixed layout") << "page-blanche-fxl.epub";
        QTest::newRow("nav in a subfolder, pictures") << "guide-des-vins-images.epub";
    }

    // Tiles are made for the rows in view only, each from one load of its
    // document; the next opening places them from the stored files.
    void thumbnailsAreMadeOnceAndReused()
    {
        QFETCH(QString, book);
        const lf::test::OpenedBook opened = lf::test::extractCorpusBook(book, testFolder());
        QVERIFY(opened.book);
        const int pages = opened.book->spine.size();

        for (const bool secondOpening : { false, true }) {
            ViewerTocListWidget panel(nullptr, opened.book.get(), opened.bookDir);
            QCOMPARE(list(&panel, "thumbnail_list_widget")->count(), 0); // nothing before it is shown
            showThumbnails(&panel, 4);
            QSignalSpy loads(harvestPage(&panel), SIGNAL(loadFinished(bool)));
            QTRY_VERIFY(!tiledRows(&panel).isEmpty());
            const QList<int> rows = tiledRows(&panel);
            QVERIFY(rows.size() < pages || pages <= 12);
            for (const int row : rows)
                QTRY_VERIFY_WITH_TIMEOUT(tile(&panel, row)->hasPixmap(), kProductionTimeoutMs);
            QCOMPARE(loads.count(), secondOpening ? 0 : rows.size());

            QCOMPARE(list(&panel, "thumbnail_list_widget")->count(), pages);
            for (const int row : rows) {
                // No page-list entry is written like a spine idref in these books.
                QCOMPARE(tile(&panel, row)->findChild<QLabel*>(QStringLiteral("index_label"))->text(),
                    QString::number(row + 1));
                const QImage stored(thumbnailFolder(opened.bookDir, *opened.book) + QLatin1Char('/')
                    + lf::kThumbnailFilePattern.arg(row));
                QCOMPARE(stored.size(), tile(&panel, row)->imageSize());
            }
        }
    }

    // The background pass stops with the reader and, on the next opening,
    // loads only the documents it had not taken.
    void harvestResumesWhereItStopped()
    {
        const lf::test::OpenedBook opened = lf::test::extractCorpusBook("guide-des-vins-images.epub", testFolder());
        QVERIFY(opened.book);
        const int pages = opened.book->spine.size();
        const QString folder = thumbnailFolder(opened.bookDir, *opened.book);
        int taken = 0;
        {
            PageHarvest harvest(nullptr, opened.book.get(), opened.bookDir, ViewerThumbnailItemForm::pictureSize());
            QSignalSpy made(&harvest, SIGNAL(thumbnailMade(int, QImage)));
            harvest.startBackground();
            QTRY_VERIFY_WITH_TIMEOUT(made.count() >= 3, kProductionTimeoutMs);
            harvest.stop();
            taken = made.count();
            QTest::qWait(200);
            QCOMPARE(made.count(), taken);
        }
        const QStringList written = QDir(folder).entryList(QDir::Files | QDir::Hidden);
        QCOMPARE(written.size(), taken);
        QVERIFY(taken < pages);
        for (const QString& name : written)
            QVERIFY2(!QImage(folder + QLatin1Char('/') + name).isNull(), qPrintable(name));

        PageHarvest harvest(nullptr, opened.book.get(), opened.bookDir, ViewerThumbnailItemForm::pictureSize());
        QSignalSpy loads(harvest.page(), SIGNAL(loadFinished(bool)));
        QSignalSpy complete(&harvest, SIGNAL(harvestComplete()));
        harvest.startBackground();
        QTRY_COMPARE_WITH_TIMEOUT(complete.count(), 1, kProductionTimeoutMs);
        QCOMPARE(loads.count(), pages - taken);
        for (int page = 0; page < pages; ++page)
            QVERIFY(harvest.isHarvested(page));
    }

    // A written book: no contents, a picture in the spine, a fixed-layout page
    // without a size, and a content folder that would leave the book.
    void writtenBook_data()
    {
        QTest::addColumn<QString>("contentDir");
        QTest::addColumn<bool>("filesKept");
        QTest::newRow("content folder inside") << "OPS/" << true;
        QTest::newRow("content folder outside") << "../outside/" << false;
    }

    void writtenBook()
    {
        QFETCH(QString, contentDir);
        QFETCH(bool, filesKept);
        const QString bookDir = m_folder.path() + QStringLiteral("/written/") + QTest::currentDataTag();
        QImage picture(300, 400, QImage::Format_RGB32);
        picture.fill(Qt::red);
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        picture.save(&buffer, "PNG");
        std::unique_ptr<EpubData> book = lf::test::writeBook(bookDir,
            { { "sized.xhtml", lf::test::xhtml("<div style='width:600px;height:800px'>page</div>") },
                { "picture.png", png, true }, { "empty.xhtml", lf::test::xhtml("") } },
            true);
        QVERIFY(book);
        book->contentDir = contentDir;

        ViewerTocListWidget panel(nullptr, book.get(), bookDir);
        QSignalSpy placed(&panel, SIGNAL(renderFinish()));
        showThumbnails(&panel);
        QSignalSpy loads(harvestPage(&panel), SIGNAL(loadFinished(bool)));
        QTRY_COMPARE_WITH_TIMEOUT(placed.count(), 3, kProductionTimeoutMs);
        QTest::qWait(100);
        QCOMPARE(placed.count(), 3);

        QCOMPARE(list(&panel, "toc_list_widget")->count(), 0);
        QCOMPARE(list(&panel, "thumbnail_list_widget")->count(), 3);
        QVERIFY(tile(&panel, 0)->hasPixmap());
        QVERIFY(tile(&panel, 1)->hasPixmap());
        // The page without a size is loaded twice, then left blank.
        QVERIFY(!tile(&panel, 2)->hasPixmap());
        QCOMPARE(loads.count(), 1 + 1 + 2);

        const QString folder = QDir::cleanPath(bookDir + QLatin1Char('/') + contentDir + lf::kThumbnailFolder);
        QCOMPARE(QFileInfo::exists(folder + QStringLiteral("/thum1.png")), filesKept);
        QVERIFY(!QFileInfo::exists(folder + QStringLiteral("/thum2.png")));
    }

    // A stored picture is decoded at the tile's size; one without the
    // program's binding, or declaring a size far beyond the tile, is not decoded.
    void storedPictureIsDecodedAtTheTileSize_data()
    {
        QTest::addColumn<QSize>("stored");
        QTest::addColumn<QString>("binding");
        QTest::addColumn<bool>("decoded");
        QTest::newRow("own, at the tile's size") << QSize(120, 90) << "own" << true;
        QTest::newRow("own, larger: decoded small") << QSize(480, 360) << "own" << true;
        QTest::newRow("own, 4096 x 4096") << QSize(4096, 4096) << "own" << false;
        QTest::newRow("without the binding") << QSize(120, 90) << "none" << false;
        QTest::newRow("bound to another document") << QSize(120, 90) << "other" << false;
        QTest::newRow("own, damaged after its header") << QSize(120, 90) << "damaged" << false;
    }

    void storedPictureIsDecodedAtTheTileSize()
    {
        QFETCH(QSize, stored);
        QFETCH(QString, binding);
        QFETCH(bool, decoded);
        const QSize tileSize(120, 90);
        const DocumentStamp stamp { 1234, 1600000000123 };
        QImage image = picture(stored);
        if (binding == QLatin1String("damaged")) {
            // Noise, so that the image data is most of the file.
            for (int y = 0; y < image.height(); ++y) {
                for (int x = 0; x < image.width(); ++x)
                    image.setPixel(x, y, QRandomGenerator::global()->generate());
            }
        }
        QByteArray png = binding == QLatin1String("none")
            ? pngOf(image)
            : lf::StoredThumbnail::encode(image,
                lf::StoredThumbnail::binding(0, binding == QLatin1String("other") ? DocumentStamp { 1234, 5 } : stamp));
        if (binding == QLatin1String("damaged"))
            png.chop(png.size() / 2);
        QVERIFY(png.size() < lf::StoredThumbnail::kMaxFileSize);

        QBuffer file(&png);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QImage placed = lf::StoredThumbnail::decode(&file, lf::StoredThumbnail::binding(0, stamp), tileSize);
        QCOMPARE(!placed.isNull(), decoded);
        if (decoded)
            QCOMPARE(placed.size(), tileSize);
    }

    // Files in the thumbnail folder that the program did not make for the
    // page's document now there are made again and replaced; a link there is
    // never followed.
    void shippedThumbnailsAreMadeAgain_data()
    {
        QTest::addColumn<QString>("shipped");
        QTest::newRow("the program's own") << "own";
        QTest::newRow("4096 x 4096 without the binding") << "large";
        QTest::newRow("bound, but 4096 x 4096") << "large bound";
        QTest::newRow("made from the document before it changed") << "stale";
        QTest::newRow("a link to the program's own elsewhere") << "link";
    }

    void shippedThumbnailsAreMadeAgain()
    {
        QFETCH(QString, shipped);
        const QString bookDir = testFolder() + QLatin1Char('/') + QTest::currentDataTag();
        std::unique_ptr<EpubData> book
            = lf::test::writeBook(bookDir, { { "page.xhtml", lf::test::xhtml("<p>a page</p>") } });
        QVERIFY(book);
        const QString stored = thumbnailFolder(bookDir, *book) + QStringLiteral("/thum0.png");
        const QString document = bookDir + QStringLiteral("/OPS/page.xhtml");
        {
            ViewerTocListWidget panel(nullptr, book.get(), bookDir);
            showThumbnails(&panel);
            QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(stored), kProductionTimeoutMs);
        }
        const QByteArray own = readAll(stored);
        const QString elsewhere = m_folder.path() + QStringLiteral("/elsewhere-") + QTest::currentDataTag();
        if (shipped == QLatin1String("large")) {
            QVERIFY(lf::test::writeFile(stored, pngOf(picture(QSize(4096, 4096)))));
        } else if (shipped == QLatin1String("large bound")) {
            QVERIFY(lf::test::writeFile(stored,
                lf::StoredThumbnail::encode(
                    picture(QSize(4096, 4096)), lf::StoredThumbnail::binding(0, DocumentStamp::of(document)))));
        } else if (shipped == QLatin1String("stale")) {
            QFile file(document);
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(-60), QFileDevice::FileModificationTime));
        } else if (shipped == QLatin1String("link")) {
            QVERIFY(QFile::rename(stored, elsewhere));
            QVERIFY(QFile::link(elsewhere, stored));
        }

        ViewerTocListWidget panel(nullptr, book.get(), bookDir);
        showThumbnails(&panel);
        QSignalSpy loads(harvestPage(&panel), SIGNAL(loadFinished(bool)));
        QTRY_VERIFY_WITH_TIMEOUT(tile(&panel, 0) && tile(&panel, 0)->hasPixmap(), kProductionTimeoutMs);
        QTRY_COMPARE(loads.count(), shipped == QLatin1String("own") ? 0 : 1);
        const QSize tileSize = tile(&panel, 0)->imageSize();
        QCOMPARE(tile(&panel, 0)->findChild<QLabel*>(QStringLiteral("image_label"))->pixmap(Qt::ReturnByValue).size(),
            tileSize);
        // What is stored now is the program's own for the document now there.
        QTRY_VERIFY(!QFileInfo(stored).isSymLink());
        QFile file(stored);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(
            !lf::StoredThumbnail::decode(&file, lf::StoredThumbnail::binding(0, DocumentStamp::of(document)), tileSize)
                 .isNull());
        QCOMPARE(QImageReader(stored).size(), tileSize);
        if (shipped == QLatin1String("link"))
            QCOMPARE(readAll(elsewhere), own);
    }

    // Pictures of pages are drawn in the book's own type, also where the book
    // ships its font obfuscated: at the picture, the hidden font measures as
    // the same font shipped plain, unlike the fallback.
    void thumbnailsUseObfuscatedFonts()
    {
        const lf::test::ObfuscatedFontBook fonts = lf::test::obfuscatedFontBook(QStringLiteral("OPS/"), QString());
        QVERIFY(!fonts.files.isEmpty());
        const QString bookDir = testFolder();
        std::unique_ptr<EpubData> book
            = lf::test::writeBook(bookDir, { { "page.xhtml", lf::test::xhtml(fonts.body, fonts.style) } });
        QVERIFY(book);
        for (auto file = fonts.files.cbegin(); file != fonts.files.cend(); ++file)
            QVERIFY(lf::test::writeFile(bookDir + QLatin1Char('/') + file.key(), file.value()));
        book->obfuscatedFonts = { fonts.obfuscation };

        PageHarvest harvest(nullptr, book.get(), bookDir, ViewerThumbnailItemForm::pictureSize());
        QSignalSpy made(&harvest, SIGNAL(thumbnailMade(int, QImage)));
        harvest.startBackground();
        QTRY_COMPARE_WITH_TIMEOUT(made.count(), 1, kProductionTimeoutMs);
        QWebFrame* frame = harvest.page()->mainFrame();
        QVERIFY(lf::test::elementWidth(frame, "plain") != lf::test::elementWidth(frame, "fallback"));
        QCOMPARE(lf::test::elementWidth(frame, "hidden"), lf::test::elementWidth(frame, "plain"));
    }

    // The pass takes a reflowable document's text as laid out for its
    // thumbnail: it must be the text the reader's page gives, in every script.
    void harvestTextIsTheShownText_data()
    {
        QTest::addColumn<QString>("body");
        QTest::newRow("latin, long words and a soft hyphen")
            << "<h1>One</h1><p>the river ran <i>down</i>stream past Nantucketanti\u00adcipation ever on</p>";
        QTest::newRow("devanagari") << "<p>\u0928\u0926\u0940 \u0915\u0947 "
                                       "\u0915\u093f\u0928\u093e\u0930\u0947 "
                                       "\u0938\u094d\u0935\u0924\u0902\u0924\u094d\u0930\u0924\u093e</p>";
        QTest::newRow("arabic") << "<p>\u0641\u064a \u0627\u0644\u0628\u062f\u0627\u064a\u0629 "
                                   "\u0643\u0627\u0646 \u0627\u0644\u0646\u0647\u0631</p>";
        QTest::newRow("preformatted and a table")
            << "<pre>a  b\n  c</pre><table><tr><td>left cell</td><td>right cell</td></tr></table>";
    }

    void harvestTextIsTheShownText()
    {
        QFETCH(QString, body);
        const QString bookDir = testFolder() + QLatin1Char('/') + QLatin1String(QTest::currentDataTag());
        std::unique_ptr<EpubData> book = lf::test::writeBook(bookDir, { { "page.xhtml", lf::test::xhtml(body) } });
        QVERIFY(book);
        PageHarvest harvest(nullptr, book.get(), bookDir, ViewerThumbnailItemForm::pictureSize());
        QSignalSpy made(&harvest, SIGNAL(thumbnailMade(int, QImage)));
        harvest.startBackground();
        QTRY_COMPARE_WITH_TIMEOUT(made.count(), 1, kProductionTimeoutMs);
        QVERIFY(harvest.texts().textOf(0));

        // Served as to the reader's page: Arabic text with its direction marks.
        QWebPage shown;
        lf::confineOffscreenPage(&shown, bookDir, book.get());
        shown.setViewportSize(QSize(800, 600));
        QSignalSpy loaded(&shown, SIGNAL(loadFinished(bool)));
        shown.mainFrame()->load(lf::BookAddress::url(bookDir, QStringLiteral("OPS/page.xhtml")));
        QTRY_COMPARE_WITH_TIMEOUT(loaded.count(), 1, kProductionTimeoutMs);
        QCOMPARE(QString::fromUtf8(harvest.texts().textOf(0)->utf8), shown.mainFrame()->toPlainText());
    }

private:
    // Each test extracts its books afresh, without thumbnails of an earlier test.
    QString testFolder() const
    {
        return m_folder.path() + QLatin1Char('/') + QLatin1String(QTest::currentTestFunction());
    }

    QTemporaryDir m_folder;
};

LF_TEST_MAIN(TestViewerTocListWidget)
#include "tst_viewertoclistwidget.moc"
