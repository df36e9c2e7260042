// Links of a book page as the user clicks them in the reader window: an
// address that leaves the book is asked about first, a note reference opens
// the note in a pop-up over a page that stays put, other anchors scroll.
#include "panelbooks.h"
#include "reader/scripttimelimit.h"
#include "reader/viewernotepopup.h"
#include "reader/viewerviewwindow.h"
#include "reader/viewerwebview.h"
#include "testsupport.h"
#include "uidriver.h"

#include <QScrollArea>
#include <QScrollBar>
#include <QWebElement>
#include <QWebFrame>
#include <QWebView>

#include <memory>

namespace {

const QStringList kSchemes { QStringLiteral("http"), QStringLiteral("https"), QStringLiteral("mailto"),
    QStringLiteral("file") };

QString installLinkBook()
{
    using lf::test::xhtml;
    const QString style = QStringLiteral("<link rel=\"stylesheet\" href=\"book.css\"/>");
    const QString first = QStringLiteral(
        "<div xmlns:epub=\"http://www.idpf.org/2007/ops\"><p>"
        "<a id=\"web\" href=\"http://example.com/away\">web</a> "
        "<a id=\"secure\" href=\"https://example.com/a?b=1&amp;c=%3Cb%3E\">secure</a> "
        "<a id=\"mail\" href=\"mailto:reader@example.com\">mail</a> <a id=\"anchor\" href=\"#far\">far</a> "
        "<a id=\"beside\" href=\"../../link-book.txt\">beside</a> <a id=\"chapter\" href=\"notes.xhtml\">notes</a> "
        "<a id=\"same\" epub:type=\"noteref\" href=\"#fn1\">1</a> <a id=\"role\" role=\"doc-noteref\" "
        "href=\"#fn2\">2</a> "
        "<a id=\"other\" epub:type=\"noteref\" href=\"notes.xhtml#en1\">3</a> "
        "<a id=\"hidden\" epub:type=\"noteref\" href=\"#fn3\">4</a> "
        "<a id=\"nonote\" epub:type=\"noteref\" href=\"#far\">5</a></p>"
        "<aside id=\"fn1\" epub:type=\"footnote\"><p class=\"note\">Note one.</p></aside>"
        "<aside id=\"fn2\" role=\"doc-footnote\"><p class=\"note\">Note two.</p></aside>"
        "<aside id=\"fn3\" class=\"hide\" epub:type=\"footnote\"><p class=\"note\">Note three.</p></aside>"
        "<div style=\"height:4000px\">Running text.</div><p id=\"far\">Far below.</p></div>");
    // The notes' document runs a script of its own, which the pop-up must not.
    const QString notes
        = QStringLiteral("<ol xmlns:epub=\"http://www.idpf.org/2007/ops\"><li>Other text.</li>"
                         "<li id=\"en1\" epub:type=\"endnote\"><p class=\"note\">Note in the notes.</p></li></ol>");
    const QString script = QStringLiteral("<script>document.documentElement.setAttribute('data-ran', 'yes');</script>");
    return lf::test::installBook(QStringLiteral("link-book"),
        { { QStringLiteral("first.xhtml"), xhtml(first, style) },
            { QStringLiteral("notes.xhtml"), xhtml(notes, style + script) } },
        { { QStringLiteral("book.css"), ".note { color: rgb(0, 128, 0) } .hide { display: none }" } });
}

} // namespace

class TestViewerLinks : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<ViewerViewWindow> m_reader;
    QUrl m_shown;
    QScrollBar* m_column = nullptr;

    // Opens the link book at its first page and clicks the link with `id`
    // as the user would.
    ViewerWebView* openAndClick(const QString& id)
    {
        m_reader = std::make_unique<ViewerViewWindow>();
        m_reader->openBook(installLinkBook());
        m_reader->showMaximized();
        m_reader->activateWindow();
        m_reader->loadQuestion();
        if (!QTest::qWaitFor([this] { return m_reader->isPageReady(); }, 10000))
            return nullptr;
        ViewerWebView* view = m_reader->leftView();
        m_shown = view->url();
        m_column = m_reader->findChild<QScrollArea*>(QStringLiteral("viewer_webview_scrollarea"))->verticalScrollBar();
        const QWebElement link = view->page()->mainFrame()->findFirstElement(QLatin1Char('#') + id);
        if (link.isNull())
            return nullptr;
        QTest::mouseClick(view, Qt::LeftButton, {}, link.geometry().center());
        return view;
    }

private slots:
    void initTestCase() { lf::limitScriptRunTime(); }
    void cleanup() { m_reader.reset(); }

    // Nothing leaves the book without the user's yes; links inside it never ask.
    void asksBeforeLeavingTheBook_data()
    {
        QTest::addColumn<QString>("link");
        QTest::addColumn<QString>("address"); // asked about before it leaves the book
        QTest::addColumn<bool>("yes");
        QTest::addColumn<int>("page");
        QTest::addColumn<bool>("scrolls");
        const QStringList addresses { QStringLiteral("http://example.com/away"),
            QStringLiteral("https://example.com/a?b=1&c=%3Cb%3E"), QStringLiteral("mailto:reader@example.com") };
        for (const bool yes : { true, false }) {
            QTest::addRow("web address, %s", yes ? "yes" : "no") << "web" << addresses[0] << yes << 0 << false;
            QTest::addRow("secure address, %s", yes ? "yes" : "no") << "secure" << addresses[1] << yes << 0 << false;
            QTest::addRow("mail address, %s", yes ? "yes" : "no") << "mail" << addresses[2] << yes << 0 << false;
        }
        QTest::newRow("a file beside the book") << "beside" << QString() << false << 0 << false;
        QTest::newRow("anchor in the page") << "anchor" << QString() << false << 0 << true;
        QTest::newRow("another document of the book") << "chapter" << QString() << false << 1 << false;
    }

    void asksBeforeLeavingTheBook()
    {
        QFETCH(QString, link);
        QFETCH(QString, address);
        QFETCH(bool, yes);
        QFETCH(int, page);
        QFETCH(bool, scrolls);
        lf::test::DesktopUrlCatcher desktop(kSchemes);
        lf::test::DialogAnswerer answerer(yes ? "yes_button" : "no_button");
        ViewerWebView* view = openAndClick(link);
        QVERIFY(view);
        if (!address.isEmpty()) {
            QTRY_COMPARE(answerer.answered, 1);
            QVERIFY(answerer.message.contains(address));
        }
        if (scrolls)
            QTRY_VERIFY(m_column->value() > 0);
        QTRY_COMPARE(m_reader->currentIndex(), page);
        QTest::qWait(100);
        QCOMPARE(answerer.answered, address.isEmpty() ? 0 : 1);
        QCOMPARE(desktop.opened, yes ? QList<QUrl> { QUrl(address) } : QList<QUrl>());
        if (page == 0) {
            QCOMPARE(view->url(), m_shown);
            QCOMPARE(m_column->value() > 0, scrolls);
        }
    }

    // A note reference opens its note over a page that stays put; a
    // reference to anything else scrolls like any anchor.
    void showsNotesInAPopup_data()
    {
        QTest::addColumn<QString>("link");
        QTest::addColumn<QString>("note"); // the pop-up's whole text; none when empty
        QTest::addColumn<bool>("escape"); // closes the pop-up; else a click beside it
        QTest::newRow("footnote in the page") << "same" << QStringLiteral("Note one.") << true;
        QTest::newRow("note and reference by role") << "role" << QStringLiteral("Note two.") << false;
        QTest::newRow("endnote in another document") << "other" << QStringLiteral("Note in the notes.") << true;
        QTest::newRow("footnote the book's style hides") << "hidden" << QStringLiteral("Note three.") << false;
        QTest::newRow("reference to no note") << "nonote" << QString() << false;
    }

    void showsNotesInAPopup()
    {
        QFETCH(QString, link);
        QFETCH(QString, note);
        QFETCH(bool, escape);
        ViewerWebView* view = openAndClick(link);
        QVERIFY(view);
        if (note.isEmpty()) {
            QTRY_VERIFY(m_column->value() > 0);
            QVERIFY(!view->notePopup() || !view->notePopup()->isVisible());
            return;
        }
        QTRY_VERIFY(view->notePopup() && view->notePopup()->isVisible());
        QCOMPARE(view->url(), m_shown);
        QCOMPARE(m_column->value(), 0);

        // The note alone, in the book's style, and none of its document's scripts ran.
        ViewerNotePopup* popup = view->notePopup();
        QWebFrame* frame = popup->findChild<QWebView*>(QStringLiteral("note_webview"))->page()->mainFrame();
        QCOMPARE(frame->toPlainText().trimmed(), note);
        QCOMPARE(frame->findFirstElement(QStringLiteral(".note"))
                     .styleProperty(QStringLiteral("color"), QWebElement::ComputedStyle),
            QStringLiteral("rgb(0, 128, 0)"));
        QVERIFY(!frame->documentElement().hasAttribute(QStringLiteral("data-ran")));
        QVERIFY(m_reader->geometry().contains(popup->geometry()));

        if (escape) {
            QTest::keyClick(popup->windowHandle(), Qt::Key_Escape);
        } else {
            const QPoint beside
                = view->mapTo(m_reader.get(), QPoint(view->width() / 2, 0)) + QPoint(0, m_reader->height() * 3 / 4);
            QTest::mouseClick(m_reader->windowHandle(), Qt::LeftButton, {}, beside);
        }
        QTRY_VERIFY(!popup->isVisible());
        QCOMPARE(view->url(), m_shown);
        QCOMPARE(m_column->value(), 0);
    }
};

LF_TEST_MAIN(TestViewerLinks)
#include "tst_viewerlinks.moc"
