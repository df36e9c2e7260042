// The reader window shows pages as their book declares them: the page size
// of a fixed page's viewport, fixed pages that declare nothing, spreads by
// rendition:spread, turning in the reading direction and covers fitted to the
// page. Real books written on the spot (and corpus books) in real web views.
#include "app/datadirectory.h"
#include "import/unzipthread.h"
#include "reader/pagelayout.h"
#include "reader/viewerviewwindow.h"
#include "reader/viewerwebview.h"
#include "testsupport.h"
#include "writtenbook.h"

#include <QLayout>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QWebElement>
#include <QWebFrame>

#include <memory>

using lf::test::WrittenPage;
using lf::test::xhtmlPage;

namespace {

// A fixed page of `width` x `height` pixels with a viewport of its own.
QByteArray fixedPage(const QString& body, const QString& viewport = QStringLiteral("width=600, height=800"))
{
    return xhtmlPage(body, QStringLiteral("<meta name=\"viewport\" content=\"%1\"/>").arg(viewport));
}

// Writes a book into the data directory and returns its name.
QString installBook(const QString& name, const QList<WrittenPage>& pages, const QString& metadata = {},
    const QString& spineAttributes = {}, const QMap<QString, QByteArray>& files = {})
{
    lf::ensureDataDirectory();
    return lf::test::writeEpub3Book(lf::dataDirectory() + name, pages, metadata, spineAttributes, files) ? name
                                                                                                         : QString();
}

QString installCorpusBook(const QString& file)
{
    const QString name = QFileInfo(file).completeBaseName();
    lf::ensureDataDirectory();
    const QString dir = lf::dataDirectory() + name;
    if (!QFileInfo::exists(dir))
        UnzipThread::extractArchive(lf::test::corpusDir() + QLatin1Char('/') + file, dir);
    return name;
}

QString fixedLayout(const QString& spread = {})
{
    QString meta = QStringLiteral("<meta property=\"rendition:layout\">pre-paginated</meta>");
    if (!spread.isEmpty())
        meta += QStringLiteral("<meta property=\"rendition:spread\">%1</meta>").arg(spread);
    return meta;
}

QByteArray png(QSize size, const QColor& colour)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

QVariant evaluate(QWebView* view, const QString& script)
{
    return view->page()->mainFrame()->evaluateJavaScript(script);
}

QString fileOf(QWebView* view)
{
    return view->url().fileName();
}

} // namespace

class TestReaderPageLayout : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<ViewerViewWindow> m_reader;

    // Opens a book as the library window does, in a window of `size` (the
    // screen's when empty), and waits for its first page.
    ViewerViewWindow* open(const QString& name, QSize size = {})
    {
        QFile::remove(lf::dataDirectory() + name + QStringLiteral("/cp"));
        m_reader = std::make_unique<ViewerViewWindow>();
        m_reader->openBook(name);
        if (size.isValid()) {
            m_reader->resize(size);
            m_reader->show();
        } else {
            m_reader->showMaximized();
        }
        m_reader->activateWindow();
        m_reader->loadQuestion();
        return waitReady() ? m_reader.get() : nullptr;
    }

    bool waitReady()
    {
        return QTest::qWaitFor([this] { return m_reader->isPageReady(); }, 10000);
    }

    template <typename T> T* child(const char* name) { return m_reader->findChild<T*>(QString::fromLatin1(name)); }

    // The page area, as the layout measures it from the form.
    QSize pageArea()
    {
        const QWidget* frame = child<QWidget>("viewer_frame");
        const int spacer = frame->layout()->itemAt(0)->sizeHint().width();
        const int margin = frame->layout()->contentsMargins().top();
        const lf::PageLayout::Area area = lf::PageLayout::availableArea(
            frame->size(), 1, spacer, child<QWidget>("prev_page_button")->minimumWidth(), margin, 0, false);
        return QSize(area.availW, area.availH);
    }

private slots:
    void cleanup() { m_reader.reset(); }

    // The page size a fixed page's viewport declares is the size its
    // document is laid out at.
    void honoursViewportDeclarations_data()
    {
        QTest::addColumn<QString>("viewport");
        QTest::addColumn<QSize>("laidOut"); // empty: the page area's size
        QTest::newRow("first width and height count")
            << "width=600, height=800, width=1500, height=200" << QSize(600, 800);
        QTest::newRow("other units passed over") << "width=30em, height=90%, width=500, height=700" << QSize(500, 700);
        QTest::newRow("device size") << "width=device-width, height=device-height" << QSize();
    }

    void honoursViewportDeclarations()
    {
        QFETCH(QString, viewport);
        QFETCH(QSize, laidOut);
        const QString name = installBook(
            QStringLiteral("viewport"), { { fixedPage(QStringLiteral("<p>A page</p>"), viewport) } }, fixedLayout());
        ViewerViewWindow* reader = open(name);
        QVERIFY(reader);
        if (!laidOut.isValid())
            laidOut = reader->leftView()->size();
        const QSize inner(evaluate(reader->leftView(), QStringLiteral("window.innerWidth")).toInt(),
            evaluate(reader->leftView(), QStringLiteral("window.innerHeight")).toInt());
        // Whole pixels of the fitted page, read back at its scale.
        QVERIFY2(qAbs(inner.width() - laidOut.width()) <= 1 && qAbs(inner.height() - laidOut.height()) <= 1,
            qPrintable(QStringLiteral("%1x%2").arg(inner.width()).arg(inner.height())));
        // The whole page fits the area.
        QVERIFY(reader->leftView()->height() <= pageArea().height());
    }

    // A fixed page that declares no size and measures nothing takes the page
    // area, in either view of a spread.
    void showsUndeclaredPagesWhole_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<int>("page");
        QTest::newRow("empty page") << "" << 0;
        QTest::newRow("empty page on the right") << "" << 1;
        QTest::newRow("only placed content") << "<div style=\"position:absolute;left:0;top:0\">a</div>" << 0;
        QTest::newRow("tall content, no width") << "<div style=\"height:900px\"></div>" << 1;
    }

    void showsUndeclaredPagesWhole()
    {
        QFETCH(QString, body);
        QFETCH(int, page);
        const QString name = installBook(QStringLiteral("undeclared"),
            { { xhtmlPage(body), QStringLiteral("page-spread-left") }, { xhtmlPage(body) } }, fixedLayout(), QString());
        ViewerViewWindow* reader = open(name);
        QVERIFY(reader);
        QTest::mouseClick(child<QPushButton>("toolbar_both_view_button"), Qt::LeftButton);
        QVERIFY(waitReady());
        QVERIFY(reader->isTwoPageView());
        QWebView* view = page == 0 ? reader->leftView() : reader->rightView();
        const QSize shown = view->size();
        const QSize half((pageArea().width() - 10) / 2, pageArea().height());
        QVERIFY2(shown.width() >= half.width() - 12 && shown.height() >= half.height() - 2,
            qPrintable(QStringLiteral("%1x%2").arg(shown.width()).arg(shown.height())));
        QVERIFY(shown.height() <= pageArea().height());
    }

    // rendition:spread decides the view the book opens in, by the window's
    // shape; the user's click on Both View holds for the open book.
    void opensSpreadsAsDeclared_data()
    {
        QTest::addColumn<QString>("bookSpread");
        QTest::addColumn<QString>("itemSpread"); // on the first page
        QTest::addColumn<QSize>("window");
        QTest::addColumn<bool>("twoPage");
        const QSize wide(1000, 700);
        const QSize tall(700, 1000);
        QTest::newRow("both, tall window") << "both"
                                           << "" << tall << true;
        QTest::newRow("landscape, wide window") << "landscape"
                                                << "" << wide << true;
        QTest::newRow("landscape, tall window") << "landscape"
                                                << "" << tall << false;
        QTest::newRow("auto, wide window") << "auto"
                                           << "" << wide << true;
        QTest::newRow("auto, tall window") << "auto"
                                           << "" << tall << false;
        QTest::newRow("portrait, tall window") << "portrait"
                                               << "" << tall << true;
        QTest::newRow("portrait, wide window") << "portrait"
                                               << "" << wide << false;
        QTest::newRow("none") << "none"
                              << "" << wide << false;
        QTest::newRow("nothing declared") << ""
                                          << "" << wide << false;
        QTest::newRow("the page's own spread wins") << "none"
                                                    << "rendition:spread-both" << tall << true;
    }

    void opensSpreadsAsDeclared()
    {
        QFETCH(QString, bookSpread);
        QFETCH(QString, itemSpread);
        QFETCH(QSize, window);
        QFETCH(bool, twoPage);
        const QByteArray page = fixedPage(QStringLiteral("<p>page</p>"));
        const QString name = installBook(QStringLiteral("spreads"),
            { { page, itemSpread }, { page, itemSpread }, { page }, { page } }, fixedLayout(bookSpread));
        ViewerViewWindow* reader = open(name, window);
        QVERIFY(reader);
        auto* both = child<QPushButton>("toolbar_both_view_button");
        QCOMPARE(reader->isTwoPageView(), twoPage);
        QCOMPARE(both->isChecked(), twoPage);
        QCOMPARE(reader->rightView()->isVisible(), twoPage);

        // Turning the window over follows the declaration until the user
        // chooses; from then on the choice holds.
        reader->resize(window.transposed());
        QVERIFY(waitReady());
        QCOMPARE(
            reader->isTwoPageView(), twoPage != bookSpread.contains(QRegularExpression("landscape|auto|portrait")));
        const bool chosen = !reader->isTwoPageView();
        QTest::mouseClick(both, Qt::LeftButton);
        QVERIFY(waitReady());
        reader->resize(window);
        QVERIFY(waitReady());
        QCOMPARE(reader->isTwoPageView(), chosen);
        QCOMPARE(both->isChecked(), chosen);
    }

    // In Both View a reflowable page with a declared side takes its half of
    // the spread beside its partner.
    void pairsReflowablePagesWithSides()
    {
        QString text;
        for (int i = 0; i < 60; ++i)
            text += QStringLiteral("<p>Line %1 of a reflowable page.</p>").arg(i);
        const QByteArray fixed = fixedPage(QStringLiteral("<p>fixed</p>"));
        const QString name = installBook(QStringLiteral("mixed"),
            { { fixed }, { fixed }, { xhtmlPage(text), QStringLiteral("rendition:layout-reflowable page-spread-left") },
                { fixed, QStringLiteral("page-spread-right") } },
            fixedLayout(QStringLiteral("both")));
        ViewerViewWindow* reader = open(name, QSize(1000, 700));
        QVERIFY(reader);
        reader->moveToNextPage();
        QVERIFY(waitReady());
        QCOMPARE(fileOf(reader->leftView()), QStringLiteral("p2.xhtml"));
        QCOMPARE(fileOf(reader->rightView()), QStringLiteral("p3.xhtml"));
        QVERIFY(reader->rightView()->isVisible());
        // Laid out at its half's size, its text at the user's zoom, it
        // scrolls inside its half.
        const QSize half = reader->leftView()->size();
        QCOMPARE(half.height(), pageArea().height());
        QVERIFY(qAbs(half.width() - (pageArea().width() - 10) / 2) <= 1);
        QCOMPARE(evaluate(reader->leftView(), QStringLiteral("window.innerWidth")).toInt(), half.width());
        QCOMPARE(reader->leftView()->zoomFactor(), 1.0);
        QVERIFY(reader->leftView()->page()->mainFrame()->scrollBarMaximum(Qt::Vertical) > 0);
    }

    // In a right-to-left book the controls on the left turn forward and those
    // on the right turn back; a left-to-right book turns as ever.
    void turnsInTheReadingDirection_data()
    {
        QTest::addColumn<QString>("book"); // empty: a written book
        QTest::addColumn<QString>("direction");
        QTest::addColumn<QString>("control");
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::newRow("rtl side arrow on the left") << ""
                                                    << "rtl"
                                                    << "prev_page_button" << 0 << 1;
        QTest::newRow("rtl toolbar left arrow") << ""
                                                << "rtl"
                                                << "toolbar_prev_button" << 0 << 1;
        QTest::newRow("rtl side arrow on the right") << ""
                                                     << "rtl"
                                                     << "next_page_button" << 2 << 1;
        QTest::newRow("rtl toolbar right arrow") << ""
                                                 << "rtl"
                                                 << "toolbar_next_button" << 2 << 1;
        QTest::newRow("rtl right arrow on the first page") << ""
                                                           << "rtl"
                                                           << "next_page_button" << 0 << 0;
        QTest::newRow("ltr left arrow") << ""
                                        << "ltr"
                                        << "prev_page_button" << 2 << 1;
        QTest::newRow("ltr right arrow") << ""
                                         << "ltr"
                                         << "toolbar_next_button" << 0 << 1;
        QTest::newRow("Hebrew corpus book") << "israel-sailing-hebrew.epub"
                                            << ""
                                            << "prev_page_button" << 0 << 1;
    }

    void turnsInTheReadingDirection()
    {
        QFETCH(QString, book);
        QFETCH(QString, direction);
        QFETCH(QString, control);
        QFETCH(int, from);
        const QByteArray page = xhtmlPage(QStringLiteral("<p>page</p>"));
        const QString name = book.isEmpty() ? installBook(QStringLiteral("turning"), { { page }, { page }, { page } },
                                 QString(), QStringLiteral("page-progression-direction=\"%1\"").arg(direction))
                                            : installCorpusBook(book);
        ViewerViewWindow* reader = open(name);
        QVERIFY(reader);
        reader->moveToPageNum(from);
        QVERIFY(waitReady());
        QTest::mouseClick(child<QPushButton>(qPrintable(control)), Qt::LeftButton);
        QVERIFY(waitReady());
        QTEST(reader->currentIndex(), "to");
    }

    // A page holding nothing but one picture shows it whole in the page area,
    // without scrolling; a picture among text stays in the text's column.
    void fitsCoverPages_data()
    {
        QTest::addColumn<QString>("book"); // empty: a written book
        QTest::addColumn<QString>("body");
        QTest::addColumn<bool>("fitted");
        QTest::newRow("picture") << ""
                                 << "<img src=\"c.png\" alt=\"cover\"/>" << true;
        QTest::newRow("picture wrapped, full width")
            << ""
            << "<div style=\"margin:3em;text-align:center\"><p><img src=\"c.png\" style=\"width:100%\"/></p></div>"
            << true;
        QTest::newRow("drawing with a picture")
            << ""
            << "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" "
               "width=\"100%\" height=\"100%\" viewBox=\"0 0 600 1800\"><image width=\"600\" height=\"1800\" "
               "xlink:href=\"c.png\"/></svg>"
            << true;
        QTest::newRow("drawing without a box")
            << ""
            << "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\">"
               "<image width=\"600\" height=\"1800\" xlink:href=\"c.png\"/></svg>"
            << true;
        QTest::newRow("picture among text") << ""
                                            << "<p>Before</p><img src=\"c.png\"/><p>After</p>" << false;
        QTest::newRow("corpus cover") << "moby-dick.epub"
                                      << "" << true;
    }

    void fitsCoverPages()
    {
        QFETCH(QString, book);
        QFETCH(QString, body);
        QFETCH(bool, fitted);
        const QString name = book.isEmpty() ? installBook(QStringLiteral("cover"), { { xhtmlPage(body) } }, QString(),
                                 QString(), { { QStringLiteral("EPUB/c.png"), png(QSize(600, 1800), Qt::red) } })
                                            : installCorpusBook(book);
        ViewerViewWindow* reader = open(name);
        QVERIFY(reader);
        QWebView* view = reader->leftView();
        QTRY_VERIFY(
            evaluate(view, QStringLiteral("document.images.length ? document.images[0].complete : true")).toBool());
        const QStringList box = evaluate(view,
            QStringLiteral("var r=document.querySelector('img, svg').getBoundingClientRect();"
                           "[r.left,r.top,r.right,r.bottom].join(' ')"))
                                    .toString()
                                    .split(QLatin1Char(' '));
        QCOMPARE(box.size(), 4);
        const QRectF picture(
            QPointF(box[0].toDouble(), box[1].toDouble()), QPointF(box[2].toDouble(), box[3].toDouble()));
        const QRectF page(0, 0, view->width() / view->zoomFactor(), pageArea().height() / view->zoomFactor());
        QCOMPARE(page.contains(picture), fitted);
        QCOMPARE(reader->findChild<QScrollArea*>()->verticalScrollBar()->maximum() == 0, fitted);
        if (!fitted)
            return;
        // The picture keeps its proportions: the page shows it, with the page's
        // white beside it.
        const QImage shown = view->grab().toImage();
        const QColor middle = shown.pixelColor(shown.width() / 2, shown.height() / 2);
        const QColor side = shown.pixelColor(2, shown.height() / 2);
        QVERIFY2(middle != side, qPrintable(middle.name() + QLatin1Char(' ') + side.name()));
    }
};

LF_TEST_MAIN(TestReaderPageLayout)
#include "tst_readerpagelayout.moc"
