// Every book in the bookcase gets a cover: its declared picture, a page's one
// picture, or its first page drawn off screen and kept in the book folder.
#include "epub/epubparser.h"
#include "import/unzipthread.h"
#include "library/bookcasefile.h"
#include "library/bookcover.h"
#include "library/bookinfo.h"
#include "library/booklistcontrol.h"
#include "library/coverrenderer.h"
#include "library/renderedcover.h"
#include "testsupport.h"

#include <QDateTime>
#include <QImage>
#include <QSet>
#include <QSignalSpy>

class TestCoverRenderer : public QObject
{
    Q_OBJECT

private slots:
    void init() { lf::test::clearDataDirectory(); }

    void everyBookHasACover_data()
    {
        QTest::addColumn<QString>("book");
        QTest::addColumn<QString>("cover"); // empty: drawn from the first page
        // "old record": the record names the content folder, as before covers
        // were drawn; "unresolved": the record holds the href joined to the
        // content folder, as before cover paths were resolved; "page gone":
        // the first page is missing, nothing is drawn.
        QTest::addColumn<QString>("situation");
        QTest::newRow("cover-image item")
            << "moby-dick.epub" << QStringLiteral("OPS/images/9780316000000.jpg") << QString();
        QTest::newRow("cover-image item, stored unresolved")
            << "moby-dick.epub" << QStringLiteral("OPS/images/9780316000000.jpg") << "unresolved";
        QTest::newRow("meta cover") << "gutenberg-alice-epub2.epub"
                                    << QStringLiteral("OEBPS/5763489575526147435_cover.jpg") << QString();
        QTest::newRow("first page's one picture")
            << "haruko-manga-fxl.epub" << QStringLiteral("OPS/images/01.jpg") << QString();
        for (const char* book : { "linear-algebra", "package-in-subfolders", "kusamakura-preview-japanese" })
            QTest::addRow("none: %s", book) << QString::fromLatin1(book) + ".epub" << QString() << QString();
        QTest::newRow("none: record made before drawn covers") << "minimal-epub3.epub" << QString() << "old record";
        QTest::newRow("none: first page gone") << "minimal-epub2.epub" << QString() << "page gone";
    }

    void everyBookHasACover()
    {
        QFETCH(QString, book);
        QFETCH(QString, cover);
        QFETCH(QString, situation);
        const QString name = QFileInfo(book).completeBaseName();
        const QString bookDir = BookcaseFile::bookFolder(name);
        const QString archive
            = lf::test::copyCorpusBook(book, lf::test::privateTempDir() + QStringLiteral("/archives"));
        QVERIFY(UnzipThread::extractArchive(archive, bookDir));
        const std::unique_ptr<EpubData> parsed = EpubParser::parseBook(bookDir + QLatin1Char('/'));
        QVERIFY(parsed);
        const QString recorded = lf::RenderedCover::recordPath(bookDir, *parsed);
        QCOMPARE(recorded, cover.isEmpty() ? lf::RenderedCover::kFileName : cover);

        QString stored = recorded;
        if (situation == QLatin1String("old record"))
            stored = parsed->contentDir;
        else if (situation == QLatin1String("unresolved"))
            stored = parsed->contentDir + QStringLiteral("../") + recorded;
        BookInfo record(name, parsed->metadata.title, {}, 0, stored, QDateTime::currentDateTime());
        const QSize tile(90, 123);
        CoverRenderer renderer(nullptr, tile);
        QSignalSpy rendered(&renderer, SIGNAL(coverRendered(QString)));
        renderer.request(&record);
        if (!cover.isEmpty()) {
            QVERIFY(renderer.isIdle());
            QCOMPARE(BookCover::filePath(record), bookDir + QLatin1Char('/') + cover);
            return;
        }
        if (situation == QLatin1String("page gone")) {
            const QString firstPage = parsed->manifest.item(parsed->spine.first())->href;
            QVERIFY(QFile::remove(bookDir + QLatin1Char('/') + parsed->contentDir + firstPage));
            QTRY_VERIFY(renderer.isIdle());
            QVERIFY(rendered.isEmpty());
            QVERIFY(!QFileInfo::exists(bookDir + QLatin1Char('/') + lf::RenderedCover::kFileName));
            return;
        }
        QVERIFY(rendered.wait(20000));
        QCOMPARE(rendered.first().first().toString(), name);
        const QImage drawn(bookDir + QLatin1Char('/') + lf::RenderedCover::kFileName);
        QCOMPARE(drawn.size(), tile);
        QCOMPARE(BookCover::filePath(record), bookDir + QLatin1Char('/') + lf::RenderedCover::kFileName);
        // The page's text shows: more than the white of an empty page.
        QSet<QRgb> colours;
        for (int y = 0; y < drawn.height(); ++y) {
            for (int x = 0; x < drawn.width(); ++x)
                colours.insert(drawn.pixel(x, y));
        }
        QVERIFY2(colours.size() > 8, qPrintable(QString::number(colours.size())));
        // Drawn once: a second request finds the picture there.
        renderer.request(&record);
        QVERIFY(renderer.isIdle());
    }

    // The bookcase is looked through a few books per turn of the event loop:
    // the book without a picture is drawn wherever its turn falls.
    void looksThroughTheBookcase_data()
    {
        QTest::addColumn<int>("before"); // books with a picture looked at first
        QTest::newRow("first") << 0;
        QTest::newRow("first of the next turn") << 200;
        QTest::newRow("a few turns on") << 450;
    }

    void looksThroughTheBookcase()
    {
        QFETCH(int, before);
        BookListControl& store = *BookListControl::instance();
        QStringList names;
        for (int i = 0; i < before; ++i) {
            names << QStringLiteral("p%1").arg(i);
            QVERIFY(lf::test::writeFile(BookcaseFile::bookFolder(names.last()) + QStringLiteral("/c.png"), "x"));
            store.addBook(BookInfo(names.last(), {}, {}, 0, QStringLiteral("c.png"), QDateTime::currentDateTime()));
        }
        names << QStringLiteral("drawn");
        QVERIFY(UnzipThread::extractArchive(lf::test::copyCorpusBook(QStringLiteral("minimal-epub3.epub"),
                                                lf::test::privateTempDir() + QStringLiteral("/archives")),
            BookcaseFile::bookFolder(names.last())));
        store.addBook(BookInfo(names.last(), {}, {}, 0, lf::RenderedCover::kFileName, QDateTime::currentDateTime()));
        CoverRenderer renderer(nullptr, QSize(90, 123));
        QSignalSpy rendered(&renderer, SIGNAL(coverRendered(QString)));
        renderer.requestEach(names);
        QVERIFY(!renderer.isIdle());
        QTRY_VERIFY_WITH_TIMEOUT(renderer.isIdle(), 20000);
        store.clear();
        QCOMPARE(rendered.count(), 1);
    }
};

LF_TEST_MAIN(TestCoverRenderer)
#include "tst_coverrenderer.moc"
