// Book documents in a real reader page, served from their book's own address:
// what a book's scripts see of their origin and the program, what they can
// reach, how the documents are typed and styled, and whether Arabic wraps and
// is drawn inside the page.
#include "panelbooks.h"
#include "reader/bookaddress.h"
#include "reader/booknetworkaccessmanager.h"
#include "reader/bookpagesettings.h"
#include "reader/pagemodel.h"
#include "reader/viewerwebpage.h"
#include "showntext.h"
#include "testsupport.h"

#include <QPainter>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QWebFrame>
#include <QWebSettings>

namespace {

const QString kArabic = QStringLiteral(
    "\u0641\u064a \u0627\u0644\u0628\u062f\u0621 \u0643\u0627\u0646\u062a \u0627\u0644\u0643\u0644\u0645\u0629 ");
// "The first chapter", and a sentence with a year, a Latin word in brackets,
// a quotation, Arabic-Indic digits and a comma.
const QString kHeading = QStringLiteral("\u0627\u0644\u0641\u0635\u0644 \u0627\u0644\u0623\u0648\u0644");
const QString kMixed = QStringLiteral("\u0641\u064a \u0639\u0627\u0645 1920 \u0642\u0627\u0644 \u00ab%1 (abc)\u00bb "
                                      "\u062b\u0645 \u0661\u0662\u0663\u060c \u0648\u0627\u0646\u062a\u0647\u0649. ")
                           .arg(kHeading);

} // namespace

class TestBookPages : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_root { lf::test::privateTempDir() + QStringLiteral("/pages-XXXXXX") };
    std::unique_ptr<EpubData> m_book;
    QString bookDir() const { return m_root.filePath(QStringLiteral("book")); }
    QString origin() const { return QStringLiteral("lfbook://") + lf::BookAddress::host(bookDir()); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_root.isValid());
        const QString early = QStringLiteral(
            "<script>var early = [typeof document.documentElement.replaceChildren, self.origin].join();</script>");
        const QString fontFace = QStringLiteral("<style>@font-face{font-family:Probe;src:url(/OPS/f.ttf?7)}"
                                                "#w{font-family:Probe,serif} #m{font-family:serif}</style>"
                                                "<link rel=\"stylesheet\" href=\"s.css\"/>");
        m_book = lf::test::writeBook(bookDir(),
            { { QStringLiteral("probe.xhtml"),
                  lf::test::xhtml(QStringLiteral("<p><span id=\"w\">iiiiiiii</span><br/><span id=\"m\">iiiiiiii</span>"
                                                 "</p><p id=\"c\">12</p>"),
                      early + fontFace) },
                { QStringLiteral("ch.htm.html"), lf::test::xhtml(QStringLiteral("<p><a id=\"a\"/>text</p>")) },
                { QStringLiteral("arabic.xhtml"),
                    lf::test::xhtml(QStringLiteral("<p dir=\"rtl\">%1</p>").arg(kArabic.repeated(60))) },
                { QStringLiteral("arabic-mixed.xhtml"),
                    lf::test::xhtml(
                        QStringLiteral("<h1 id=\"heading\">%1</h1><p id=\"sentences\">%2</p>"
                                       "<p id=\"mixed\">%3</p><p id=\"inline\">%4<b>%1</b> %4<i>%1</i>. %1</p>"
                                       "<h2 id=\"stop\">%1.</h2>")
                            .arg(kHeading, kArabic.trimmed().append(QStringLiteral(". ")).repeated(12),
                                kMixed.repeated(4), kArabic.repeated(3)),
                        QStringLiteral("<style>html{direction:rtl}body{margin:0 100px}</style>")) },
                { QStringLiteral("latin.xhtml"),
                    lf::test::xhtml(
                        QStringLiteral("<p>%1</p>").arg(QStringLiteral("In the beginning ").repeated(60))) },
                { QStringLiteral("s.css"), "#c{-epub-text-combine-horizontal:all;-epub-ruby-position:under}" },
                { QStringLiteral("data.txt"), "own" } });
        QVERIFY(m_book);
        m_book->manifest.addItem(
            { QStringLiteral("ch"), QStringLiteral("ch.htm.html"), QStringLiteral("application/xhtml+xml") });
        QVERIFY(QFile::copy(QStringLiteral("/usr/share/fonts/truetype/nanum/NanumGothic.ttf"),
            bookDir() + QStringLiteral("/OPS/f.ttf")));
    }

    // What an expression evaluated in the book's document gives.
    void pageSees_data()
    {
        QTest::addColumn<QString>("document");
        QTest::addColumn<QString>("expression");
        QTest::addColumn<QString>("expected"); // "ORIGIN" stands for the book's origin
        const auto fetch = [](const QString& url) {
            return QStringLiteral("(function(){try{var x=new XMLHttpRequest();x.open('GET','%1',false);x.send();"
                                  "return 'read:'+x.responseText;}catch(e){return 'refused';}})()")
                .arg(url);
        };
        const auto probe = [](const char* row, const QString& expression, const char* expected) {
            QTest::newRow(row) << QStringLiteral("probe.xhtml") << expression << QString::fromUtf8(expected);
        };
        probe("origin", QStringLiteral("location.origin"), "ORIGIN");
        probe("missing functions defined first", QStringLiteral("early"), "function,ORIGIN");
        probe("replaceChildren",
            QStringLiteral(
                "var d=document.createElement('div');d.appendChild(document.createElement('i'));"
                "d.replaceChildren('a',document.createElement('b'));d.childNodes.length+d.lastChild.localName"),
            "2b");
        probe("top-rooted address", QStringLiteral("new URL('/x/../../y', location).href"), "ORIGIN/y");
        probe("own file", fetch(QStringLiteral("/OPS/data.txt")), "read:own");
        probe("local file", fetch(QStringLiteral("file:///etc/hostname")), "refused");
        probe("another book", fetch(QStringLiteral("lfbook://b0123/OPS/data.txt")), "refused");
        probe("local storage", QStringLiteral("localStorage.setItem('k','v');localStorage.getItem('k')"), "v");
        probe("font named with a query",
            QStringLiteral(
                "String(document.getElementById('w').offsetWidth!=document.getElementById('m').offsetWidth)"),
            "true");
        probe("renamed property", QStringLiteral("getComputedStyle(document.getElementById('c')).webkitTextCombine"),
            "horizontal");
        QTest::newRow("typed by the manifest")
            << "ch.htm.html"
            << QStringLiteral("document.contentType+' '+document.getElementById('a').childNodes.length")
            << QStringLiteral("application/xhtml+xml 0");
        // Lines of right-to-left text that do not wrap run off the left edge.
        QTest::newRow("Arabic wraps") << "arabic.xhtml"
                                      << QStringLiteral(
                                             "var r=document.createRange();r.selectNodeContents(document.body);"
                                             "var b=r.getBoundingClientRect();String(b.left>=0&&b.right<=innerWidth)")
                                      << QStringLiteral("true");
        QTest::newRow("Latin stays on the fast path")
            << "latin.xhtml" << QStringLiteral("getComputedStyle(document.documentElement).textRendering")
            << QStringLiteral("auto");
    }

    void pageSees()
    {
        QFETCH(QString, document);
        QFETCH(QString, expression);
        QFETCH(QString, expected);
        ViewerWebPage page;
        QVERIFY(load(page, document));
        expected.replace(QStringLiteral("ORIGIN"), origin());
        QTRY_COMPARE(page.mainFrame()->evaluateJavaScript(expression).toString(), expected);
    }

    // Right-to-left lines are drawn inside their block, whatever ends or
    // starts them: the engine measures a run that begins or ends with
    // anything but a letter as that character alone.
    void drawsArabicInsideItsBlock_data()
    {
        QTest::addColumn<QString>("id");
        QTest::newRow("heading of two words") << "heading";
        QTest::newRow("sentences ending in full stops") << "sentences";
        QTest::newRow("numbers, brackets, quotation marks and Latin") << "mixed";
        QTest::newRow("words in inline elements") << "inline";
        QTest::newRow("heading ending in a full stop") << "stop";
    }

    void drawsArabicInsideItsBlock()
    {
        QFETCH(QString, id);
        ViewerWebPage page;
        QVERIFY(load(page, QStringLiteral("arabic-mixed.xhtml")));
        QWebFrame* frame = page.mainFrame();
        page.setViewportSize(QSize(600, frame->contentsSize().height()));
        QImage shown(page.viewportSize(), QImage::Format_RGB32);
        shown.fill(Qt::white);
        QPainter painter(&shown);
        frame->render(&painter);
        painter.end();
        const QRect block = frame->findFirstElement(QLatin1Char('#') + id).geometry();
        const auto [left, right] = lf::test::inkColumns(shown, block.top(), block.bottom());
        QVERIFY(left >= 0);
        QVERIFY2(left >= block.left() && right <= block.right(),
            qPrintable(QStringLiteral("drawn from %1 to %2 in a block from %3 to %4")
                           .arg(left)
                           .arg(right)
                           .arg(block.left())
                           .arg(block.right())));
    }

private:
    bool load(ViewerWebPage& page, const QString& document)
    {
        lf::confineBookPageSettings(page.settings());
        page.settings()->setAttribute(QWebSettings::JavascriptEnabled, true);
        page.settings()->setAttribute(QWebSettings::LocalStorageEnabled, true);
        page.setViewportSize(QSize(600, 400));
        page.bookAccess()->setBookFolder(bookDir());
        page.bookAccess()->setBook(*m_book);
        const PageModel pages(m_book.get(), bookDir());
        QSignalSpy loaded(&page, SIGNAL(loadFinished(bool)));
        page.allowNextNavigation();
        page.mainFrame()->load(pages.documentUrl(pages.pageOfDocument(QStringLiteral("OPS/") + document)));
        return loaded.wait(10000) && loaded.first().first().toBool();
    }
};

LF_TEST_MAIN(TestBookPages)
#include "tst_bookpages.moc"
