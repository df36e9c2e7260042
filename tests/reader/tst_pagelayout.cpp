// The reader's page model and layout arithmetic, without widgets: spreads,
// progress, the continue rule, document addresses, fit scales and sizes.
#include "epub/epubdata.h"
#include "reader/bookaddress.h"
#include "reader/pagelayout.h"
#include "reader/pagemodel.h"
#include "testsupport.h"

namespace PL = lf::PageLayout;

namespace {

EpubData bookOf(int documents)
{
    EpubData book;
    book.version = QStringLiteral("3.0");
    book.packagePath = QStringLiteral("OPS/package.opf");
    book.contentDir = QStringLiteral("OPS/");
    book.rendition = EpubRendition { QStringLiteral("pre-paginated"), QString(), QString() };
    for (int i = 0; i < documents; ++i) {
        const QString id = QStringLiteral("d%1").arg(i);
        book.spine.append(id);
        book.manifest.application.append({ id, QStringLiteral("text/%1.xhtml").arg(id) });
    }
    return book;
}

// A fixed-layout book whose pages declare, one letter each: "l"/"r"/"c" a
// side, "n" spread-none, "f" reflowable, "." nothing.
EpubData bookDeclaring(const QString& sides, const QString& direction, const QString& bookSpread)
{
    EpubData book = bookOf(sides.size());
    book.pageProgressionDirection = direction;
    book.rendition->spread = bookSpread;
    for (const QChar side : sides) {
        SpineItemProperties item;
        item.pageSpread = side == 'l' ? PageSpread::Left
            : side == 'r'             ? PageSpread::Right
            : side == 'c'             ? PageSpread::Center
                                      : PageSpread::Auto;
        if (side == 'n')
            item.spread = QStringLiteral("none");
        if (side == 'f')
            item.layout = QStringLiteral("reflowable");
        book.spineProperties.append(item);
    }
    return book;
}

// Each spread once, in reading order: "left|right", "-" for an empty side.
QString spreadsOf(const PageModel& pages)
{
    QStringList out;
    for (int page = 0; page < pages.pageCount(); page = pages.nextPage(page, true)) {
        const PageModel::Spread spread = pages.spreadAt(page, true);
        const auto side = [](int p) { return p < 0 ? QStringLiteral("-") : QString::number(p); };
        out << side(spread.left) + QLatin1Char('|') + side(spread.right);
    }
    return out.join(QLatin1Char(' '));
}

} // namespace

class TestPageLayout : public QObject
{
    Q_OBJECT

private slots:
    void fitsPages_data()
    {
        QTest::addColumn<QSize>("contents");
        QTest::addColumn<bool>("fitWidth");
        QTest::addColumn<double>("zoom");
        QTest::addColumn<double>("scale");
        QTest::addColumn<QSize>("size");
        // A 600 x 800 page in a 700 x 500 area.
        QTest::newRow("fit page") << QSize(600, 800) << false << 1.0 << 0.62 << QSize(372, 496);
        QTest::newRow("fit page at 150%") << QSize(600, 800) << false << 1.5 << 0.62 << QSize(558, 744);
        QTest::newRow("fit width") << QSize(600, 800) << true << 1.0 << 1.16 << QSize(696, 928);
        QTest::newRow("landscape") << QSize(1400, 500) << false << 1.0 << 0.5 << QSize(700, 250);
        QTest::newRow("exact quotient stays") << QSize(700, 100) << false << 0.25 << 1.0 << QSize(175, 25);
    }

    void fitsPages()
    {
        QFETCH(QSize, contents);
        QFETCH(bool, fitWidth);
        QFETCH(double, zoom);
        const double scale = PL::fitScale(contents, 700, 500, fitWidth);
        QTEST(scale, "scale");
        QTEST(PL::scaledPageSize(contents, scale, zoom), "size");
    }

    void knowsPagesNotLaidOut_data()
    {
        QTest::addColumn<QSize>("contents");
        QTest::newRow("measuring viewport only") << QSize(10, 10);
        QTest::newRow("one pixel") << QSize(1, 1);
        QTest::newRow("no width") << QSize(0, 800);
        QTest::newRow("no height") << QSize(600, 0);
        QTest::newRow("negative") << QSize(-1, -1);
    }

    void knowsPagesNotLaidOut()
    {
        QFETCH(QSize, contents);
        QVERIFY(!PL::isLaidOut(PL::fitScale(contents, 700, 500, false)));
        QVERIFY(!PL::isLaidOut(PL::fitScale(contents, 700, 500, true)));
    }

    void sizesTheArea_data()
    {
        QTest::addColumn<QSize>("content");
        QTest::addColumn<QSize>("area");
        QTest::addColumn<bool>("inner");
        // availW 738, availH 500, scroll bar 10.
        QTest::newRow("page fits") << QSize(372, 496) << QSize(374, 498) << true;
        QTest::newRow("taller page gets the bar") << QSize(696, 928) << QSize(708, 502) << false;
        QTest::newRow("wider than the area") << QSize(900, 400) << QSize(740, 402) << true;
    }

    void sizesTheArea()
    {
        QFETCH(QSize, content);
        const QSize area = PL::fixedScrollAreaSize(content, 10, 738, 500);
        QTEST(area, "area");
        QTEST(PL::innerScrolling(area.height(), content.height()), "inner");
    }

    void sizesReflowableDocuments()
    {
        // A tall document leaves room for the scroll bar beside it.
        QCOMPARE(PL::reflowScrollAreaSize(QSize(728, 3000), 10, 500), QSize(740, 502));
        QVERIFY(!PL::innerScrolling(502, 3000));
        QCOMPARE(PL::reflowScrollAreaSize(QSize(728, 300), 10, 500), QSize(730, 502));
        QVERIFY(PL::innerScrolling(502, 300));
    }

    void readsDeclaredPageSizes_data()
    {
        QTest::addColumn<QString>("viewport");
        QTest::addColumn<QStringList>("svg"); // width, height, viewBox
        QTest::addColumn<QSize>("size");
        // The display area is 700 x 500.
        QTest::newRow("viewport") << "width=600, height=800" << QStringList() << QSize(600, 800);
        QTest::newRow("viewport, spaces and px")
            << " height = 1200px ;width=900.4" << QStringList() << QSize(900, 1200);
        QTest::newRow("first width and height count")
            << "width=600, height=800, width=1200, height=90" << QStringList() << QSize(600, 800);
        QTest::newRow("device size") << "width=device-width, height=device-height, initial-scale=1" << QStringList()
                                     << QSize(700, 500);
        QTest::newRow("other units passed over")
            << "width=40em, height=50%, width=640, height=960px" << QStringList() << QSize(640, 960);
        QTest::newRow("height missing") << "width=600" << QStringList() << QSize();
        QTest::newRow("svg size") << "" << QStringList { "300", "400px", "0 0 30 40" } << QSize(300, 400);
        QTest::newRow("svg viewBox only") << "" << QStringList { "", "", "0 0 1240,1754" } << QSize(1240, 1754);
        QTest::newRow("svg percentages") << "" << QStringList { "100%", "100%", "0 0 600 900" } << QSize(600, 900);
        QTest::newRow("svg nothing") << "" << QStringList { "100%", "", "" } << QSize();
    }

    void readsDeclaredPageSizes()
    {
        QFETCH(QString, viewport);
        QFETCH(QStringList, svg);
        const QSize size = svg.isEmpty() ? PL::viewportMetaSize(viewport, QSize(700, 500))
                                         : PL::svgDeclaredSize(svg[0], svg[1], svg[2]);
        QTEST(size, "size");
    }

    void measuresTheArea()
    {
        const PL::Area one = PL::availableArea(QSize(800, 565), 1, 10, 20, 9, 10, false);
        QCOMPARE(one.availW, 738);
        QCOMPARE(one.availH, 545);
        QCOMPARE(one.pageW, 728);
        QCOMPARE(PL::availableArea(QSize(800, 565), 1, 10, 20, 9, 10, true).pageW, 364);
    }

    void placesRibbons()
    {
        const QRect frame(0, 75, 800, 565);
        const auto single = PL::ribbonPositions(frame, QSize(374, 498), 46, 372, 0, 1, 0, false);
        QCOMPARE(single.first, QPoint(213 + 372 - 46 - 5, 75 + 33 - 12));
        const auto spread = PL::ribbonPositions(frame, QSize(747, 498), 46, 372, 372, 1, 20, true);
        QCOMPARE(spread.first, QPoint(26 + 372 - 46 - 5 - 20, 96));
        QCOMPARE(spread.second, QPoint(spread.first.x() + 373, 96));
    }

    void zoomMenusSetAbsoluteFactors()
    {
        QStringList texts;
        for (const PL::ZoomEntry& entry : PL::enlargeEntries() + PL::reduceEntries())
            texts << QStringLiteral("%1=%2").arg(QLatin1String(entry.text)).arg(entry.factor);
        QCOMPARE(texts,
            QStringList({ "100%=1", "125%=1.25", "150%=1.5", "175%=1.75", "200%=2", "100%=1", "75%=0.75", "50%=0.5",
                "25%=0.25" }));
    }

    void turnsPages_data()
    {
        QTest::addColumn<int>("asked");
        QTest::addColumn<bool>("twoPage");
        QTest::addColumn<int>("shown");
        QTest::addColumn<int>("next");
        QTest::addColumn<int>("previous");
        QTest::newRow("single") << 5 << false << 5 << 6 << 4;
        QTest::newRow("spread of an odd position") << 5 << true << 4 << 6 << 2;
        QTest::newRow("spread of an even position") << 4 << true << 4 << 6 << 2;
        QTest::newRow("first spread") << 1 << true << 0 << 2 << -1;
    }

    void turnsPages()
    {
        QFETCH(int, asked);
        QFETCH(bool, twoPage);
        const EpubData book = bookOf(10);
        const PageModel pages(&book, QStringLiteral("/data/book"));
        const int shown = pages.spreadStart(asked, twoPage);
        QTEST(shown, "shown");
        QTEST(pages.nextPage(shown, twoPage), "next");
        QTEST(pages.previousPage(shown, twoPage), "previous");
    }

    void pairsPagesByDeclaredSide_data()
    {
        QTest::addColumn<QString>("sides");
        QTest::addColumn<QString>("direction");
        QTest::addColumn<QString>("bookSpread");
        QTest::addColumn<QString>("spreads");
        QTest::newRow("nothing declared") << "....."
                                          << ""
                                          << ""
                                          << "0|1 2|3 4|-";
        QTest::newRow("right-to-left, earlier page on the right") << "...."
                                                                  << "rtl"
                                                                  << ""
                                                                  << "1|0 3|2";
        QTest::newRow("cover alone on the right") << "rlrlr"
                                                  << "ltr"
                                                  << ""
                                                  << "-|0 1|2 3|4";
        QTest::newRow("a left page opens a spread") << "l.l.."
                                                    << ""
                                                    << ""
                                                    << "0|1 2|3 4|-";
        QTest::newRow("two right pages in a row") << "lrrl."
                                                  << ""
                                                  << ""
                                                  << "0|1 -|2 3|4";
        QTest::newRow("right-to-left cover alone") << "lrlr"
                                                   << "rtl"
                                                   << ""
                                                   << "0|- 2|1 -|3";
        QTest::newRow("centre and spread-none stand alone") << "..c.n.."
                                                            << ""
                                                            << ""
                                                            << "0|1 2|- 3|- 4|- 5|6";
        QTest::newRow("reflowable pages stand alone") << ".f..."
                                                      << ""
                                                      << ""
                                                      << "0|- 1|- 2|3 4|-";
        QTest::newRow("book refuses spreads") << "lr.."
                                              << ""
                                              << "none"
                                              << "0|- 1|- 2|- 3|-";
    }

    void pairsPagesByDeclaredSide()
    {
        QFETCH(QString, sides);
        QFETCH(QString, direction);
        QFETCH(QString, bookSpread);
        const EpubData book = bookDeclaring(sides, direction, bookSpread);
        const PageModel pages(&book, QStringLiteral("/data/book"));
        QTEST(spreadsOf(pages), "spreads");
        // Every page turns to the spread that shows it, and back again.
        for (int page = 0; page < pages.pageCount(); ++page) {
            const PageModel::Spread spread = pages.spreadAt(page, true);
            QVERIFY(spread.left == page || spread.right == page);
            if (spread.first() > 0)
                QCOMPARE(pages.spreadAt(pages.previousPage(page, true), true).last(), spread.first() - 1);
        }
    }

    void keepsProgress_data()
    {
        QTest::addColumn<int>("documents");
        QTest::addColumn<int>("progress");
        QTest::addColumn<int>("shown");
        QTest::addColumn<bool>("twoPage");
        QTest::addColumn<int>("expected");
        QTest::newRow("page 9 of 10") << 10 << 0 << 9 << false << 10;
        QTest::newRow("spread 8-9 of 10") << 10 << 0 << 8 << true << 10;
        QTest::newRow("last spread of 11, blank right") << 11 << 3 << 10 << true << 11;
        QTest::newRow("never falls") << 10 << 7 << 2 << false << 7;
        QTest::newRow("never falls in spreads") << 10 << 7 << 2 << true << 7;
        QTest::newRow("after a declined prompt") << 10 << 1 << 1 << false << 2;
    }

    void keepsProgress()
    {
        QFETCH(int, documents);
        QFETCH(int, progress);
        QFETCH(int, shown);
        QFETCH(bool, twoPage);
        const EpubData book = bookOf(documents);
        const PageModel pages(&book, QStringLiteral("/data/book"));
        QTEST(pages.progressAfterShowing(progress, shown, twoPage), "expected");
    }

    void asksToContinue_data()
    {
        QTest::addColumn<int>("progress");
        QTest::addColumn<bool>("asked");
        QTest::addColumn<bool>("ask");
        QTest::newRow("nothing read") << 0 << false << false;
        QTest::newRow("only the first page seen") << 1 << false << false;
        QTest::newRow("seven pages") << 7 << false << true;
        QTest::newRow("asked once already") << 7 << true << false;
    }

    void asksToContinue()
    {
        QFETCH(int, progress);
        QFETCH(bool, asked);
        QTEST(PageModel::shouldAskToContinue(0, progress, asked), "ask");
    }

    void findsDocuments_data()
    {
        QTest::addColumn<QString>("idref");
        QTest::addColumn<QString>("href");
        QTest::addColumn<bool>("image");
        QTest::addColumn<QString>("path");
        QTest::newRow("chapter") << "c1"
                                 << "text/c1.xhtml" << false << "OPS/text/c1.xhtml";
        QTest::newRow("encoded name") << "c2"
                                      << "text/first%20page.xhtml" << false << "OPS/text/first page.xhtml";
        QTest::newRow("image in the spine") << "p1"
                                            << "images/01.jpg" << true << "OPS/images/01.jpg";
        QTest::newRow("outside the book") << "c3"
                                          << "../../secret.xhtml" << false << "";
        QTest::newRow("no manifest item") << "c4"
                                          << "" << false << "";
        // The address names exactly the file checked: a query or fragment ends
        // the path, an encoded "?" or "#" is part of a name.
        QTest::newRow("query, then climbing") << "c5"
                                              << "x?/../../../secret.xhtml" << false << "OPS/x";
        QTest::newRow("encoded query in a name") << "c6"
                                                 << "text/a%3Fb.xhtml" << false << "OPS/text/a?b.xhtml";
        QTest::newRow("encoded fragment in a name") << "c7"
                                                    << "text/a%23b.xhtml" << false << "OPS/text/a#b.xhtml";
        QTest::newRow("encoded query folder, climbing") << "c8"
                                                        << "x%3F/../../../secret.xhtml" << false << "";
    }

    void findsDocuments()
    {
        QFETCH(QString, idref);
        QFETCH(QString, href);
        QFETCH(bool, image);
        QFETCH(QString, path);
        EpubData book = bookOf(0);
        book.spine = QStringList { QStringLiteral("x"), idref };
        if (!href.isEmpty())
            (image ? book.manifest.image : book.manifest.application).append({ idref, href });
        const PageModel pages(&book, QStringLiteral("/data dir/book"));
        QCOMPARE(pages.documentPath(1), path);
        const QUrl url = pages.documentUrl(1);
        QCOMPARE(url.isEmpty(), path.isEmpty());
        if (path.isEmpty())
            return;
        QCOMPARE(url.path(QUrl::FullyDecoded), QLatin1Char('/') + path);
        QVERIFY(!url.toString(QUrl::FullyDecoded).contains(QLatin1String("data dir")));
        QCOMPARE(pages.pageOfDocument(pages.bookPathOf(url)), 1);
        QCOMPARE(pages.pageOfIdref(idref), 1);
    }

    void refusesAddressesOutsideTheBook_data()
    {
        QTest::addColumn<QUrl>("url");
        QTest::newRow("sibling book") << lf::BookAddress::url(QStringLiteral("/data dir/book2"), "OPS/text/d0.xhtml");
        QTest::newRow("local file") << QUrl::fromLocalFile(QStringLiteral("/data dir/book/OPS/text/d0.xhtml"));
        QTest::newRow("remote") << QUrl(QStringLiteral("http://example.com/OPS/text/d0.xhtml"));
    }

    void refusesAddressesOutsideTheBook()
    {
        QFETCH(QUrl, url);
        const EpubData book = bookOf(3);
        const PageModel pages(&book, QStringLiteral("/data dir/book"));
        QCOMPARE(pages.bookPathOf(url), QString());
        QCOMPARE(pages.pageOfDocument(pages.bookPathOf(url)), -1);
    }

    void knowsFixedLayout_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("layout");
        QTest::addColumn<bool>("fixed");
        QTest::newRow("EPUB 3 pre-paginated") << "3.0"
                                              << "pre-paginated" << true;
        QTest::newRow("EPUB 3 reflowable") << "3.0"
                                           << "reflowable" << false;
        QTest::newRow("EPUB 2") << "2.0"
                                << "pre-paginated" << false;
    }

    void knowsFixedLayout()
    {
        QFETCH(QString, version);
        QFETCH(QString, layout);
        EpubData book;
        book.version = version;
        book.rendition = EpubRendition { layout, {}, {} };
        book.spine = QStringList { QStringLiteral("p") };
        QTEST(PageModel::isFixedLayout(book), "fixed");
    }
};

LF_TEST_CORE_MAIN(TestPageLayout)
#include "tst_pagelayout.moc"
