// Book documents in a real reader page, served from their book's own address:
// what a book's scripts see of their origin and the program, what they can
// reach, how the documents are typed and styled, and whether Arabic wraps.
#include "panelbooks.h"
#include "reader/bookaddress.h"
#include "reader/booknetworkaccessmanager.h"
#include "reader/bookpagesettings.h"
#include "reader/pagemodel.h"
#include "reader/viewerwebpage.h"
#include "testsupport.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QWebFrame>
#include <QWebSettings>

namespace {

const QString kArabic = QStringLiteral(
    "\u0641\u064a \u0627\u0644\u0628\u062f\u0621 \u0643\u0627\u0646\u062a \u0627\u0644\u0643\u0644\u0645\u0629 ");

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
        QVERIFY(loaded.wait(10000));
        QVERIFY(loaded.first().first().toBool());
        expected.replace(QStringLiteral("ORIGIN"), origin());
        QTRY_COMPARE(page.mainFrame()->evaluateJavaScript(expression).toString(), expected);
    }
};

LF_TEST_MAIN(TestBookPages)
#include "tst_bookpages.moc"
