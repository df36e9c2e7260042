// Marking, lookup and removal of the highlighter page script, in real pages.
#include "highlighterpage.h"
#include "reader/highlighterstatements.h"
#include "reader/pagescript.h"
#include "testsupport.h"

#include <QImage>
#include <QPainter>
#include <QWebElement>
#include <QWebFrame>
#include <QWebSettings>
#include <QWebView>

namespace statements = lf::HighlighterStatements;

namespace {
const QString kParagraphs
    = QStringLiteral("<p>Hello world and more</p><p>Second para here</p><p>Plain <i>italic</i> tail</p>"
                     "<p>A memorial plaque</p>");
const QString kIgnored
    = QStringLiteral("<p>Alpha beta</p><script>var unused = 1;</script><style>p { margin: 0; }</style>"
                     "<p>Gamma <button>Press here</button> delta</p><p>One<b>   </b>Two</p>");
} // namespace

class TestTextHighlighter : public QObject
{
    Q_OBJECT

private:
    HighlighterPage* m_page = nullptr;

private slots:
    void init() { m_page = new HighlighterPage(this); }

    void cleanup()
    {
        delete m_page;
        m_page = nullptr;
    }

    void marking_data()
    {
        QTest::addColumn<QString>("fixture");
        QTest::addColumn<TestMarks>("marks");
        QTest::addColumn<QString>("expected");

        const QString p = QStringLiteral("paragraphs.xhtml");
        QTest::newRow("across two paragraphs")
            << p << TestMarks { highlight("highlighted1", colour::yellow, "world", "Sec") }
            << "<p>Hello [highlighted1:world and more]</p><p>[highlighted1:Sec]ond para here</p>"
               "<p>Plain <i>italic</i> tail</p><p>A memorial plaque</p>";
        QTest::newRow("across an inline element")
            << p << TestMarks { highlight("highlighted1", colour::green, "ain ital") }
            << "<p>Hello world and more</p><p>Second para here</p>"
               "<p>Pl[highlighted1:ain ]<i>[highlighted1:ital]ic</i> tail</p><p>A memorial plaque</p>";
        QTest::newRow("next to same colour, after")
            << p
            << TestMarks { highlight("highlighted1", colour::yellow, "Hello"),
                   highlight("highlighted2", colour::yellow, " world") }
            << "<p>[highlighted2:Hello world] and more</p>" + kParagraphs.mid(27);
        QTest::newRow("next to same colour, before")
            << p
            << TestMarks { highlight("highlighted1", colour::blue, "world"),
                   highlight("highlighted2", colour::blue, "Hello ") }
            << "<p>[highlighted2:Hello world] and more</p>" + kParagraphs.mid(27);
        QTest::newRow("between two of the same colour")
            << p
            << TestMarks { highlight("highlighted1", colour::blue, "Hello"),
                   highlight("highlighted2", colour::blue, "and"), highlight("highlighted3", colour::blue, " world ") }
            << "<p>[highlighted3:Hello world and] more</p>" + kParagraphs.mid(27);
        QTest::newRow("next to another colour")
            << p
            << TestMarks { highlight("highlighted1", colour::yellow, "Hello"),
                   highlight("highlighted2", colour::orange, " world") }
            << "<p>[highlighted1:Hello][highlighted2: world] and more</p>" + kParagraphs.mid(27);
        QTest::newRow("inside same colour") << p
                                            << TestMarks { highlight("highlighted1", colour::yellow, "Hello world"),
                                                   highlight("highlighted2", colour::yellow, "lo wo") }
                                            << "<p>[highlighted1:Hello world] and more</p>" + kParagraphs.mid(27);
        QTest::newRow("inside another colour")
            << p
            << TestMarks { highlight("highlighted1", colour::yellow, "Hello world"),
                   highlight("highlighted2", colour::orange, "lo wo") }
            << "<p>[highlighted1:Hel[highlighted2:lo wo]rld] and more</p>" + kParagraphs.mid(27);
        QTest::newRow("start edge of another colour")
            << p
            << TestMarks { highlight("highlighted1", colour::yellow, "Hello world"),
                   highlight("highlighted2", colour::orange, "Hello") }
            << "<p>[highlighted2:Hello][highlighted1: world] and more</p>" + kParagraphs.mid(27);
        QTest::newRow("end edge of another colour")
            << p
            << TestMarks { highlight("highlighted1", colour::yellow, "Hello world"),
                   highlight("highlighted2", colour::orange, "world") }
            << "<p>[highlighted1:Hello ][highlighted2:world] and more</p>" + kParagraphs.mid(27);
        QTest::newRow("exactly over another colour")
            << p
            << TestMarks { highlight("highlighted1", colour::yellow, "world"),
                   highlight("highlighted2", colour::orange, "world") }
            << "<p>Hello [highlighted2:world] and more</p>" + kParagraphs.mid(27);
        QTest::newRow("overlapping same colour") << p
                                                 << TestMarks { highlight("highlighted1", colour::green, "Hello wor"),
                                                        highlight("highlighted2", colour::green, "world and") }
                                                 << "<p>[highlighted1:Hello world and] more</p>" + kParagraphs.mid(27);
        QTest::newRow("two adjacent memos") << p << TestMarks { memo("memo1", "Hello"), memo("memo2", " world") }
                                            << "<p>[memo2:Hello world] and more</p>" + kParagraphs.mid(27);
        QTest::newRow("memo inside a highlight")
            << p << TestMarks { highlight("highlighted1", colour::yellow, "Hello world"), memo("memo2", "lo wo") }
            << "<p>[highlighted1:Hel[memo2:lo wo]rld] and more</p>" + kParagraphs.mid(27);
        QTest::newRow("memo next to a highlight")
            << p << TestMarks { highlight("highlighted1", colour::yellow, "Hello"), memo("memo2", " world") }
            << "<p>[highlighted1:Hello][memo2: world] and more</p>" + kParagraphs.mid(27);

        const QString i = QStringLiteral("ignored.xhtml");
        QTest::newRow("white space only")
            << i << TestMarks { highlight("highlighted1", colour::yellow, " ") } << kIgnored;
        QTest::newRow("inside script") << i << TestMarks { highlight("highlighted1", colour::yellow, "unused") }
                                       << kIgnored;
        QTest::newRow("inside style") << i << TestMarks { memo("memo1", "margin") } << kIgnored;
        QTest::newRow("inside button") << i << TestMarks { highlight("highlighted1", colour::yellow, "ss he") }
                                       << kIgnored;
        QTest::newRow("across a button")
            << i << TestMarks { highlight("highlighted1", colour::yellow, "mma", "del") }
            << "<p>Alpha beta</p><script>var unused = 1;</script><style>p { margin: 0; }</style>"
               "<p>Ga[highlighted1:mma ]<button>Press here</button>[highlighted1: del]ta</p><p>One<b>   </b>Two</p>";
        QTest::newRow("across blank text")
            << i << TestMarks { highlight("highlighted1", colour::yellow, "One", "Two") }
            << "<p>Alpha beta</p><script>var unused = 1;</script><style>p { margin: 0; }</style>"
               "<p>Gamma <button>Press here</button> delta</p><p>[highlighted1:One]<b>   </b>[highlighted1:Two]</p>";
        // A span inside SVG text would hide the text.
        QTest::newRow("across SVG text")
            << "foreign.xhtml" << TestMarks { highlight("highlighted1", colour::yellow, "fore", "aft") }
            << "<p>Be[highlighted1:fore ]<svg><text>Inside</text></svg>[highlighted1: aft]er</p>";
    }

    void marking()
    {
        QFETCH(QString, fixture);
        QFETCH(TestMarks, marks);
        QFETCH(QString, expected);

        QVERIFY(m_page->open(fixture));
        const QString text = m_page->bodyText();
        m_page->apply(marks);
        QCOMPARE(m_page->describe(), expected);
        QCOMPARE(m_page->bodyText(), text);
        QCOMPARE(m_page->evaluate(QStringLiteral("window.getSelection().toString();")).toString(), QString());
    }

    void wrapperMarkup_data()
    {
        QTest::addColumn<TestMark>("mark");
        QTest::addColumn<QString>("background");
        QTest::addColumn<QString>("border");
        QTest::addColumn<QString>("cursor");
        QTest::addColumn<QString>("onclick");

        const QString none;
        QTest::newRow("yellow") << highlight("highlighted1700000000123", colour::yellow, "world", "Sec")
                                << "rgba(237, 255, 0," << none << none << none;
        QTest::newRow("orange") << highlight("highlighted1700000000123", colour::orange, "world", "Sec")
                                << "rgba(255, 170, 0," << none << none << none;
        QTest::newRow("green") << highlight("highlighted1700000000123", colour::green, "world", "Sec")
                               << "rgba(0, 255, 36," << none << none << none;
        QTest::newRow("blue") << highlight("highlighted1700000000123", colour::blue, "world", "Sec")
                              << "rgba(0, 243, 255," << none << none << none;
        QTest::newRow("memo") << memo("memo1700000000123", "world", "Sec") << none << "2px dashed rgb(255, 121, 0)"
                              << "pointer"
                              << "javascript:viewer_pc.webviewShowMemo(\"memo1700000000123\");";
    }

    // Every wrapper of one mark carries the same class, time stamp and look.
    void wrapperMarkup()
    {
        QFETCH(TestMark, mark);
        QFETCH(QString, background);
        QFETCH(QString, border);
        QFETCH(QString, cursor);
        QFETCH(QString, onclick);

        QVERIFY(m_page->open(QStringLiteral("paragraphs.xhtml")));
        m_page->apply(mark);
        const QWebElementCollection wrappers = m_page->mainFrame()->findAllElements(QStringLiteral("span"));
        QCOMPARE(wrappers.count(), 2);
        for (QWebElement wrapper : wrappers) {
            QCOMPARE(wrapper.attributeNames().size(), onclick.isEmpty() ? 4 : 5);
            QCOMPARE(wrapper.attribute(QStringLiteral("class")), mark.className);
            QCOMPARE(wrapper.attribute(QStringLiteral("data-highlighted")), QStringLiteral("true"));
            QCOMPARE(wrapper.attribute(QStringLiteral("data-timestamp")), QStringLiteral("1700000000000"));
            QCOMPARE(wrapper.attribute(QStringLiteral("onclick")), onclick);
            const QString style = QStringLiteral("this.style.%1;");
            QVERIFY(wrapper.evaluateJavaScript(style.arg("backgroundColor")).toString().startsWith(background));
            QCOMPARE(wrapper.evaluateJavaScript(style.arg("borderBottom")).toString(), border);
            QCOMPARE(wrapper.evaluateJavaScript(style.arg("cursor")).toString(), cursor);
        }
    }

    void marksUnderSelection_data()
    {
        QTest::addColumn<TestMarks>("marks");
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QStringList>("expected");

        const TestMarks yellowWorld { highlight("highlighted1", colour::yellow, "Hello world") };
        const TestMarks highlightAndMemo { highlight("highlighted1", colour::yellow, "Hello"),
            memo("memo2", "and more") };
        const TestMarks nested { highlight("highlighted1", colour::yellow, "Hello world"),
            highlight("highlighted2", colour::orange, "lo wo") };
        QTest::newRow("no selection") << yellowWorld << ""
                                      << "" << QStringList();
        QTest::newRow("unmarked text") << yellowWorld << "Second"
                                       << "" << QStringList();
        QTest::newRow("between two marks") << highlightAndMemo << " world "
                                           << "" << QStringList();
        QTest::newRow("right after a highlight") << yellowWorld << " and"
                                                 << "" << QStringList();
        QTest::newRow("inside a highlight") << yellowWorld << "lo w"
                                            << "" << QStringList { "highlighted1" };
        QTest::newRow("into a highlight") << highlightAndMemo << "Hel"
                                          << "" << QStringList { "highlighted1" };
        QTest::newRow("out of a highlight") << yellowWorld << "world and"
                                            << "" << QStringList { "highlighted1" };
        QTest::newRow("from a highlight into the next paragraph") << yellowWorld << "world"
                                                                  << "Sec" << QStringList { "highlighted1" };
        QTest::newRow("over a whole highlight") << yellowWorld << "Hello world and"
                                                << "" << QStringList { "highlighted1" };
        QTest::newRow("memo only") << highlightAndMemo << "more"
                                   << "" << QStringList { "memo2" };
        QTest::newRow("highlight and memo") << highlightAndMemo << "lo world an"
                                            << "" << QStringList { "highlighted1", "memo2" };
        QTest::newRow("inside a nested highlight") << nested << "lo w"
                                                   << "" << QStringList { "highlighted2" };
        QTest::newRow("across a nested highlight") << nested << "el"
                                                   << "ld" << QStringList { "highlighted2" };
        QTest::newRow("outer part of a nested pair") << nested << "He"
                                                     << "" << QStringList { "highlighted1" };
        QTest::newRow("out of a nested pair") << nested << "o w"
                                              << "and" << QStringList { "highlighted1", "highlighted2" };
        QTest::newRow("book class containing memo") << TestMarks {} << "memorial"
                                                    << "" << QStringList { "memorial" };
        QTest::newRow("into a book class containing memo") << TestMarks {} << "tail"
                                                           << "A mem" << QStringList { "memorial" };
    }

    void marksUnderSelection()
    {
        QFETCH(TestMarks, marks);
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QStringList, expected);

        QVERIFY(m_page->open(QStringLiteral("paragraphs.xhtml")));
        m_page->apply(marks);
        const QString before = m_page->describe();
        m_page->select(from, to);
        QCOMPARE(m_page->marksUnderSelection(), expected);
        QCOMPARE(m_page->describe(), before);
    }

    void removingMarksUnderSelection_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("expected");

        const QString rest = kParagraphs.mid(27);
        QTest::newRow("inside the inner of nested") << "lo w"
                                                    << "<p>[highlighted1:Hello world] and more</p>" + rest;
        QTest::newRow("inside the outer of nested") << "He"
                                                    << "<p>Hel[highlighted2:lo wo]rld and more</p>" + rest;
    }

    // "Remove Highlight" removes every class reported for the selection.
    void removingMarksUnderSelection()
    {
        QFETCH(QString, from);
        QFETCH(QString, expected);

        QVERIFY(m_page->open(QStringLiteral("paragraphs.xhtml")));
        m_page->apply(TestMarks { highlight("highlighted1", colour::yellow, "Hello world"),
            highlight("highlighted2", colour::orange, "lo wo") });
        m_page->select(from);
        const QStringList reported = m_page->marksUnderSelection();
        QVERIFY(!reported.isEmpty());
        for (const QString& className : reported)
            m_page->evaluate(statements::removeHighlight(className));
        QCOMPARE(m_page->describe(), expected);
    }

    void removal_data()
    {
        QTest::addColumn<TestMarks>("marks");
        QTest::addColumn<QStringList>("removed");
        QTest::addColumn<QString>("expected");

        const QString rest = kParagraphs.mid(27);
        const TestMarks nested { highlight("highlighted1", colour::yellow, "Hello world"),
            highlight("highlighted2", colour::orange, "lo wo") };
        QTest::newRow("across two paragraphs")
            << TestMarks { highlight("highlighted1", colour::yellow, "world", "Sec") } << QStringList { "highlighted1" }
            << kParagraphs;
        QTest::newRow("across an inline element") << TestMarks { highlight("highlighted1", colour::yellow, "ain ital") }
                                                  << QStringList { "highlighted1" } << kParagraphs;
        QTest::newRow("one of two") << TestMarks { highlight("highlighted1", colour::yellow, "Hello"),
            memo("memo2", "more") } << QStringList { "memo2" }
                                    << "<p>[highlighted1:Hello] world and more</p>" + rest;
        QTest::newRow("outer of nested") << nested << QStringList { "highlighted1" }
                                         << "<p>Hel[highlighted2:lo wo]rld and more</p>" + rest;
        QTest::newRow("inner of nested") << nested << QStringList { "highlighted2" }
                                         << "<p>[highlighted1:Hello world] and more</p>" + rest;
        QTest::newRow("both of nested") << nested << QStringList { "highlighted2", "highlighted1" } << kParagraphs;
        QTest::newRow("unknown class") << nested << QStringList { "highlighted9" }
                                       << "<p>[highlighted1:Hel[highlighted2:lo wo]rld] and more</p>" + rest;
        QTest::newRow("class of a book element") << TestMarks {} << QStringList { "memorial" } << kParagraphs;
        QTest::newRow("prefix of a class") << nested << QStringList { "highlighted" }
                                           << "<p>[highlighted1:Hel[highlighted2:lo wo]rld] and more</p>" + rest;
    }

    void removal()
    {
        QFETCH(TestMarks, marks);
        QFETCH(QStringList, removed);
        QFETCH(QString, expected);

        QVERIFY(m_page->open(QStringLiteral("paragraphs.xhtml")));
        const QString text = m_page->bodyText();
        m_page->apply(marks);
        for (const QString& className : removed)
            m_page->evaluate(statements::removeHighlight(className));
        QCOMPARE(m_page->describe(), expected);
        QCOMPARE(m_page->bodyText(), text);
        QCOMPARE(m_page->evaluate(QStringLiteral("document.body.getAttribute('class');")).toString(),
            QStringLiteral("highlighter-context"));
    }

    void memoClickCallsReader_data()
    {
        QTest::addColumn<bool>("restored");
        QTest::newRow("marked") << false;
        QTest::newRow("restored after a reload") << true;
    }

    // A real mouse click on the memo's text reaches the page object's slot.
    void memoClickCallsReader()
    {
        QFETCH(bool, restored);

        QWebView view;
        view.setPage(m_page);
        view.resize(800, 600);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QVERIFY(m_page->open(QStringLiteral("paragraphs.xhtml")));
        m_page->apply(TestMarks {
            highlight("highlighted1700000000001", colour::yellow, "Second"), memo("memo1700000000002", "para here") });
        if (restored) {
            const QString marks = m_page->serialize();
            QVERIFY(m_page->reload());
            m_page->restore(marks);
        }
        for (const QString& selector :
            { QStringLiteral("span.highlighted1700000000001"), QStringLiteral("span.memo1700000000002") }) {
            const QWebElement wrapper = m_page->mainFrame()->findFirstElement(selector);
            QVERIFY(!wrapper.isNull());
            QTest::mouseClick(
                view.focusProxy() ? view.focusProxy() : &view, Qt::LeftButton, {}, wrapper.geometry().center());
        }
        QTRY_COMPARE(m_page->viewerObject.shownMemos, QStringList { "memo1700000000002" });
        view.setPage(nullptr);
    }

    // The reader evaluates the script after every load, sometimes twice in one document.
    void scriptEvaluatedTwice()
    {
        QVERIFY(m_page->open(QStringLiteral("paragraphs.xhtml")));
        m_page->apply(TestMarks { highlight("highlighted1", colour::yellow, "world", "Sec"), memo("memo2", "tail") });
        const QString marks = m_page->serialize();
        m_page->consoleMessages.clear();
        m_page->prepare();
        QCOMPARE(m_page->consoleMessages, QStringList());
        QCOMPARE(m_page->serialize(), marks);
        m_page->select(QStringLiteral("econ"));
        QCOMPARE(m_page->marksUnderSelection(), QStringList { "highlighted1" });
        m_page->evaluate(statements::removeHighlight(QStringLiteral("highlighted1")));
        m_page->apply(highlight("highlighted3", colour::blue, "Plain"));
        QCOMPARE(m_page->describe(),
            QStringLiteral("<p>Hello world and more</p><p>Second para here</p>"
                           "<p>[highlighted3:Plain] <i>italic</i> [memo2:tail]</p><p>A memorial plaque</p>"));
        QCOMPARE(m_page->evaluate(QStringLiteral("document.body.className;")).toString(),
            QStringLiteral("highlighter-context"));
    }

    void pageWithoutBodyGetsNoHighlighter()
    {
        m_page->mainFrame()->setContent(
            "<svg xmlns=\"http://www.w3.org/2000/svg\"><text>x</text></svg>", QStringLiteral("image/svg+xml"));
        m_page->consoleMessages.clear();
        m_page->evaluate(lf::PageScript::highlighter());
        QCOMPARE(m_page->evaluate(QStringLiteral("typeof text_highlighter;")).toString(), QStringLiteral("undefined"));
        QCOMPARE(m_page->evaluate(QStringLiteral("typeof TextHighlighter;")).toString(), QStringLiteral("function"));
    }

    // The page style sheet draws the book's text heavier, without moving a word.
    void pageStyleSheetThickensGlyphs()
    {
        QRect plainParagraph;
        const qint64 plainInk = shownInk(false, &plainParagraph);
        QRect styledParagraph;
        const qint64 styledInk = shownInk(true, &styledParagraph);
        QVERIFY(!plainParagraph.isEmpty());
        QCOMPARE(styledParagraph, plainParagraph);
        QVERIFY2(styledInk > plainInk * 1.2, qPrintable(QStringLiteral("%1 %2").arg(styledInk).arg(plainInk)));
    }

private:
    // The darkness of the first screen of the paragraphs fixture, and where its first paragraph lies.
    qint64 shownInk(bool withStyleSheet, QRect* paragraph)
    {
        m_page->settings()->setUserStyleSheetUrl(withStyleSheet ? QUrl(lf::kPageStyleSheetUrl) : QUrl());
        m_page->setViewportSize(QSize(600, 400));
        if (!m_page->open(QStringLiteral("paragraphs.xhtml")))
            return -1;
        *paragraph = m_page->mainFrame()->findFirstElement(QStringLiteral("p")).geometry();
        QImage image(m_page->viewportSize(), QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        m_page->mainFrame()->render(&painter);
        painter.end();
        qint64 ink = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x)
                ink += 255 - qGray(image.pixel(x, y));
        }
        return ink;
    }
};

LF_TEST_MAIN(TestTextHighlighter)
#include "tst_texthighlighter.moc"
