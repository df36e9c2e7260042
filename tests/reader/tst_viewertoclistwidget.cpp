// The contents and thumbnail panel with real books, a real off-screen page and real files.
#include "app/appconstants.h"
#include "panelbooks.h"
#include "reader/viewerthumbnailitemform.h"
#include "reader/viewertoclistwidget.h"
#include "testsupport.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QTemporaryDir>
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

    void thumbnailsAreMadeOnceAndReused()
    {
        QFETCH(QString, book);
        const lf::test::OpenedBook opened = lf::test::extractCorpusBook(book, testFolder());
        QVERIFY(opened.book);
        const int pages = opened.book->spine.size();

        for (const bool secondOpening : { false, true }) {
            ViewerTocListWidget panel(nullptr, opened.book.get(), opened.bookDir);
            // The first step ran in the constructor; later ones come from the event loop.
            QSignalSpy placed(&panel, SIGNAL(renderFinish()));
            QSignalSpy loads(panel.findChild<QWebPage*>(QStringLiteral("thumbnail_page")), SIGNAL(loadFinished(bool)));
            QTRY_COMPARE_WITH_TIMEOUT(placed.count() + (secondOpening ? 1 : 0), pages, kProductionTimeoutMs);
            if (secondOpening)
                QCOMPARE(loads.count(), 0);

            QCOMPARE(list(&panel, "thumbnail_list_widget")->count(), pages);
            for (int row = 0; row < pages; ++row) {
                // No page-list entry is written like a spine idref in these books.
                QCOMPARE(tile(&panel, row)->findChild<QLabel*>(QStringLiteral("index_label"))->text(),
                    QString::number(row + 1));
                QVERIFY2(tile(&panel, row)->hasPixmap(), qPrintable(QString::number(row)));
                const QImage stored(thumbnailFolder(opened.bookDir, *opened.book) + QLatin1Char('/')
                    + lf::kThumbnailFilePattern.arg(row));
                QCOMPARE(stored.size(), tile(&panel, row)->imageSize());
            }
        }
    }

    void closingMidProductionLeavesValidFiles()
    {
        const lf::test::OpenedBook opened = lf::test::extractCorpusBook("guide-des-vins-images.epub", testFolder());
        QVERIFY(opened.book);
        const int pages = opened.book->spine.size();
        const QString folder = thumbnailFolder(opened.bookDir, *opened.book);
        {
            ViewerTocListWidget panel(nullptr, opened.book.get(), opened.bookDir);
            QSignalSpy placed(&panel, SIGNAL(renderFinish()));
            QTRY_VERIFY_WITH_TIMEOUT(placed.count() >= 3, kProductionTimeoutMs);
            panel.setLoadFinish();
            QTest::qWait(200);
        }
        const QStringList written = QDir(folder).entryList(QDir::Files | QDir::Hidden);
        QVERIFY(written.size() >= 3);
        QVERIFY(written.size() < pages);
        for (const QString& name : written)
            QVERIFY2(!QImage(folder + QLatin1Char('/') + name).isNull(), qPrintable(name));

        ViewerTocListWidget reopened(nullptr, opened.book.get(), opened.bookDir);
        QSignalSpy placed(&reopened, SIGNAL(renderFinish()));
        QSignalSpy loads(reopened.findChild<QWebPage*>(QStringLiteral("thumbnail_page")), SIGNAL(loadFinished(bool)));
        QTRY_COMPARE_WITH_TIMEOUT(placed.count() + 1, pages, kProductionTimeoutMs);
        QCOMPARE(loads.count(), pages - written.size());
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
        QSignalSpy loads(panel.findChild<QWebPage*>(QStringLiteral("thumbnail_page")), SIGNAL(loadFinished(bool)));
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
