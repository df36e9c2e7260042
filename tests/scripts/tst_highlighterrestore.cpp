// Saving the marks of a page and restoring them into the freshly loaded page,
// through the statements the reader evaluates.
#include "highlighterpage.h"
#include "reader/highlighterstatements.h"
#include "reader/righttoleftruns.h"
#include "testsupport.h"

#include <QRandomGenerator>
#include <QTemporaryDir>

namespace statements = lf::HighlighterStatements;

namespace {
const QString kParagraphs
    = QStringLiteral("<p>Hello world and more</p><p>Second para here</p><p>Plain <i>italic</i> tail</p>"
                     "<p>A memorial plaque</p>");
const QString kDescriptorWarning = QStringLiteral("Can't deserialize highlight descriptor. Cause: ");

// A descriptor as a page of paragraphs.xhtml stores it.
QString descriptor(const QString& className, const QString& text, const QString& path, int offset, int length)
{
    return QStringLiteral("[\"<span xmlns=\\\"http://www.w3.org/1999/xhtml\\\" class=\\\"%1\\\" "
                          "style=\\\"background-color: rgba(0, 243, 255, 0.298039);\\\" "
                          "data-timestamp=\\\"1700000000000\\\" data-highlighted=\\\"true\\\"></span>\","
                          "\"%2\",\"%3\",%4,%5]")
        .arg(className, text, path, QString::number(offset), QString::number(length));
}

QString readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}
} // namespace

class TestHighlighterRestore : public QObject
{
    Q_OBJECT

private:
    HighlighterPage* m_page = nullptr;

    // Saves the marks, reloads the page, restores them and compares the pages.
    void verifyRoundTrip(const QString& context)
    {
        const QString marks = m_page->serialize();
        const QString markup = m_page->bodyMarkup();
        QVERIFY2(m_page->reload(), qPrintable(context));
        m_page->restore(marks);
        QVERIFY2(!m_page->consoleMessages.join(QLatin1Char('\n')).contains(kDescriptorWarning),
            qPrintable(context + QLatin1Char('\n') + marks));
        QCOMPARE(m_page->bodyMarkup(), markup);
        QCOMPARE(m_page->serialize(), marks);
    }

private slots:
    void init() { m_page = new HighlighterPage(this); }

    void cleanup()
    {
        delete m_page;
        m_page = nullptr;
    }

    void roundTrip_data()
    {
        QTest::addColumn<QString>("fixture");
        QTest::addColumn<TestMarks>("marks");
        QTest::addColumn<int>("descriptors");

        const QString a = QStringLiteral("awkward.xhtml");
        QTest::newRow("single quote") << a << TestMarks { highlight("highlighted1", colour::yellow, "it's") } << 1;
        QTest::newRow("double quote") << a << TestMarks { highlight("highlighted1", colour::yellow, "said \"it") } << 1;
        QTest::newRow("backslash") << a << TestMarks { memo("memo1", "a \\ b") } << 1;
        QTest::newRow("line break") << a << TestMarks { highlight("highlighted1", colour::green, "one\nline") } << 1;
        QTest::newRow("non-ASCII") << a << TestMarks { memo("memo1", "ïcødé 한국") } << 1;
        QTest::newRow("line separator") << a << TestMarks { highlight("highlighted1", colour::blue, "text \u2028 sep") }
                                        << 1;
        QTest::newRow("all of them") << a
                                     << TestMarks { highlight("highlighted1", colour::yellow, "\"it's a \\"),
                                            memo("memo2", "one\nline"),
                                            highlight("highlighted3", colour::orange, "한국어 text \u2028") }
                                     << 3;
        const QString p = QStringLiteral("paragraphs.xhtml");
        QTest::newRow("two paragraphs") << p << TestMarks { highlight("highlighted1", colour::yellow, "world", "Sec") }
                                        << 2;
        QTest::newRow("three in one paragraph")
            << p
            << TestMarks { highlight("highlighted1", colour::yellow, "Hello"), memo("memo2", "orld"),
                   highlight("highlighted3", colour::blue, "more") }
            << 3;
        QTest::newRow("nested") << p
                                << TestMarks { highlight("highlighted1", colour::yellow, "Hello world and"),
                                       memo("memo2", "lo wo"), highlight("highlighted3", colour::orange, "d a") }
                                << 3;
        QTest::newRow("after a blank selection") << p
                                                 << TestMarks { highlight("highlighted1", colour::yellow, " "),
                                                        highlight("highlighted2", colour::yellow, "more") }
                                                 << 1;
        QTest::newRow("after an ignored selection")
            << QStringLiteral("ignored.xhtml")
            << TestMarks { memo("memo1", "ss he"), highlight("highlighted2", colour::green, "elt") } << 1;
        QTest::newRow("after a removal") << p
                                         << TestMarks { highlight("highlighted1", colour::yellow, "lo wo"),
                                                removal("highlighted1"),
                                                highlight("highlighted2", colour::yellow, "more") }
                                         << 1;
        QTest::newRow("after a merge") << p
                                       << TestMarks { highlight("highlighted1", colour::yellow, "Hello w"),
                                              highlight("highlighted2", colour::yellow, "lo") }
                                       << 1;
        QTest::newRow("after moving out of a highlight")
            << p
            << TestMarks { highlight("highlighted1", colour::yellow, "Hello world"),
                   highlight("highlighted2", colour::orange, "world"), memo("memo3", "more") }
            << 3;
        QTest::newRow("indented book page")
            << QStringLiteral("golden.xhtml")
            << TestMarks { highlight("highlighted1", colour::yellow, "cold day", "smelt"),
                   memo("memo2", "boiled", "old rag"), highlight("highlighted3", colour::blue, "back\\slash") }
            << 5;
    }

    void roundTrip()
    {
        QFETCH(QString, fixture);
        QFETCH(TestMarks, marks);
        QFETCH(int, descriptors);

        QVERIFY(m_page->open(fixture));
        m_page->apply(marks);
        const QJsonDocument saved = QJsonDocument::fromJson(m_page->serialize().toUtf8());
        QCOMPARE(saved.array().size(), descriptors);
        for (const QJsonValue& entry : saved.array())
            QCOMPARE(entry.toArray().size(), 5);
        verifyRoundTrip(QString());
    }

    void restoreSkipsWhatDoesNotFit_data()
    {
        QTest::addColumn<QString>("marks");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("warnings");

        const QString world = descriptor("highlighted1", "world", "0:1", 6, 5);
        const QString rest = kParagraphs.mid(27);
        QTest::newRow("empty array") << "[]" << kParagraphs << 0;
        QTest::newRow("empty string") << "" << kParagraphs << 0;
        QTest::newRow("one descriptor") << "[" + world + "]"
                                        << "<p>Hello [highlighted1:world] and more</p>" + rest << 0;
        QTest::newRow("later descriptor counts the earlier")
            << "[" + world + "," + descriptor("highlighted2", "more", "0:3", 5, 4) + "]"
            << "<p>Hello [highlighted1:world] and [highlighted2:more]</p>" + rest << 0;
        QTest::newRow("path leaves the page") << "[" + descriptor("highlighted2", "x", "7:1", 0, 1) + "," + world + "]"
                                              << "<p>Hello [highlighted1:world] and more</p>" + rest << 1;
        QTest::newRow("path ends at an element") << "[" + descriptor("highlighted2", "x", "2", 0, 1) + "," + world + "]"
                                                 << "<p>Hello [highlighted1:world] and more</p>" + rest << 1;
        QTest::newRow("text too short") << "[" + descriptor("highlighted2", "x", "1:1", 14, 5) + "," + world + "]"
                                        << "<p>Hello [highlighted1:world] and more</p>" + rest << 1;
        QTest::newRow("bad path text") << "[" + descriptor("highlighted2", "x", "", 0, 1) + ","
                + descriptor("highlighted3", "x", "0:a", 0, 1) + "," + world + "]"
                                       << "<p>Hello [highlighted1:world] and more</p>" + rest << 2;
        QTest::newRow("not a descriptor") << "[5,[\"a\"]," + world + "]"
                                          << "<p>Hello [highlighted1:world] and more</p>" + rest << 2;
        QTest::newRow("markup is no wrapper")
            << "[[\"<img src='none.png' onerror='window.lfRan = 1'/>\",\"world\",\"0:1\",6,5]," + world + "]"
            << "<p>Hello [highlighted1:world] and more</p>" + rest << 1;
        QTest::newRow("not an array") << "{\"0\":" + world + "}" << kParagraphs << 0;
        QTest::newRow("not JSON") << "[" + world << kParagraphs << 0;
    }

    void restoreSkipsWhatDoesNotFit()
    {
        QFETCH(QString, marks);
        QFETCH(QString, expected);
        QFETCH(int, warnings);

        QVERIFY(m_page->open(QStringLiteral("paragraphs.xhtml")));
        m_page->restore(marks);
        QCOMPARE(m_page->describe(), expected);
        QCOMPARE(m_page->consoleMessages.value(0), marks);
        QCOMPARE(m_page->consoleMessages.filter(kDescriptorWarning).size(), warnings);
        QCOMPARE(m_page->evaluate(QStringLiteral("typeof window.lfRan;")).toString(), QStringLiteral("undefined"));
    }

    void unparsableMarksRaiseAnError()
    {
        QVERIFY(m_page->open(QStringLiteral("paragraphs.xhtml")));
        const QString error
            = m_page
                  ->evaluate(QStringLiteral(
                      "try { text_highlighter.deserializeHighlights('[[\"<span'); '' } catch (e) { e.message }"))
                  .toString();
        QVERIFY2(error.startsWith(QLatin1String("Can't parse JSON: ")), qPrintable(error));
        QVERIFY(error.size() > 18);
        QCOMPARE(m_page->describe(), kParagraphs);
    }

    void restoreStatementDeliversTextUnchanged_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("single quotes") << "'a' 'b'";
        QTest::newRow("backslashes") << "\\ \\\\ \\n \\u0041";
        QTest::newRow("escaped quote") << "\\' \\\\'";
        QTest::newRow("double quotes") << "\"x\" \\\"y\\\"";
        QTest::newRow("line breaks") << "one\ntwo\r\nthree";
        QTest::newRow("line separators") << "one\u2028two\u2029three";
        QTest::newRow("non-ASCII") << "한국어 Ünïcødé 😀";
        QTest::newRow("stored marks") << "[[\"<span class=\\\"memo1\\\" onclick=\\\"javascript:viewer_pc."
                                         "webviewShowMemo(&quot;memo1&quot;);\\\"></span>\",\"it's \\\\ \\\"\\n\","
                                         "\"0:1\",0,6]]";
    }

    void restoreStatementDeliversTextUnchanged()
    {
        QFETCH(QString, text);

        QVERIFY(m_page->open(QStringLiteral("paragraphs.xhtml")));
        m_page->restore(text);
        QCOMPARE(m_page->consoleMessages.value(0), text);
    }

    // Arabic text is served with direction marks around what is not a letter;
    // marks saved on the page without them restore onto the same characters of
    // the page with them, and the other way round.
    void directionMarksMoveNoMark_data()
    {
        QTest::addColumn<bool>("savedWithDirectionMarks");
        QTest::addColumn<TestMarks>("marks");
        QTest::addColumn<QStringList>("wrapped");

        const TestMarks marks { highlight("highlighted1", colour::yellow, "مرحبا", "عالم"),
            memo("memo1", "2024", "WebKit"), highlight("highlighted2", colour::green, "فقرة", "جدا"),
            highlight("highlighted3", colour::blue, "الثالثة", "كلمات") };
        const QStringList wrapped { "مرحبا، يا عالم", "2024 مع Qt WebKit", "فقرة ثانية، قصيرة جدا", "الثالثة (كلمات" };
        QTest::newRow("saved without, restored with") << false << marks << wrapped;
        QTest::newRow("saved with, restored without") << true << marks << wrapped;
    }

    void directionMarksMoveNoMark()
    {
        QFETCH(bool, savedWithDirectionMarks);
        QFETCH(TestMarks, marks);
        QFETCH(QStringList, wrapped);

        const QString plain = HighlighterPage::fixturePath(QStringLiteral("arabic.xhtml"));
        QTemporaryDir dir;
        const QString marked = dir.filePath(QStringLiteral("arabic.xhtml"));
        QFile served(marked);
        QVERIFY(served.open(QIODevice::WriteOnly));
        served.write(lf::RightToLeftRuns::document(readFile(plain).toUtf8()));
        served.close();
        QVERIFY(readFile(marked).contains(QChar(0x200F)));
        const QString wrappedTexts
            = QStringLiteral("Array.from(document.querySelectorAll('[data-highlighted]'), "
                             "function (e) { return e.textContent.replace(/[\\u200e\\u200f]/g, ''); });");

        QVERIFY(m_page->open(savedWithDirectionMarks ? marked : plain));
        m_page->apply(marks);
        QCOMPARE(m_page->evaluate(wrappedTexts).toStringList(), wrapped);
        const QString saved = m_page->serialize();
        QVERIFY(m_page->open(savedWithDirectionMarks ? plain : marked));
        m_page->restore(saved);
        QCOMPARE(m_page->consoleMessages.filter(kDescriptorWarning), QStringList());
        QCOMPARE(m_page->evaluate(wrappedTexts).toStringList(), wrapped);
        QCOMPARE(m_page->serialize(), saved);
    }

    // Marks stored by this script for golden.xhtml: they must keep restoring to
    // the same page, and saving that page must give the same string.
    void storedMarksStillRestore()
    {
        const QString marks = readFile(HighlighterPage::fixturePath(QStringLiteral("golden.marks")));
        QVERIFY(!marks.isEmpty());
        QVERIFY(m_page->open(QStringLiteral("golden.xhtml")));
        m_page->restore(marks);
        QCOMPARE(m_page->consoleMessages.filter(kDescriptorWarning), QStringList());
        const QString expected = readFile(HighlighterPage::fixturePath(QStringLiteral("golden.expected")));
        QCOMPARE(m_page->describe().trimmed(), expected.trimmed());
        QCOMPARE(m_page->serialize(), marks);
    }

    // Random marking and removal over a book page; after every step the saved
    // marks restore the same page.
    void randomEditsRestore()
    {
        QVERIFY(m_page->open(QStringLiteral("golden.xhtml")));
        const QStringList colours { colour::yellow, colour::orange, colour::green, colour::blue };
        QRandomGenerator random(20261207);
        const int textLength = m_page->evaluate(QStringLiteral("lfTextLength();")).toInt();
        QStringList classes;
        int maximumWrappers = 0;
        for (int step = 0; step < 40; ++step) {
            const int action = random.bounded(6);
            QString context = QStringLiteral("step %1: ").arg(step);
            if (action == 5 && !classes.isEmpty()) {
                const QString className = classes.takeAt(random.bounded(classes.size()));
                m_page->evaluate(statements::removeHighlight(className));
                context += QStringLiteral("remove ") + className;
            } else {
                const int start = random.bounded(textLength - 1);
                const int end = start + 1 + random.bounded(qMin(80, textLength - start - 1));
                m_page->evaluate(QStringLiteral("lfSelectIndices(%1, %2);").arg(start).arg(end));
                const QString className
                    = (action == 4 ? QStringLiteral("memo%1") : QStringLiteral("highlighted%1")).arg(step);
                if (action == 4)
                    m_page->evaluate(statements::doMemo(1700000000000 + step, className));
                else
                    m_page->evaluate(
                        statements::doHighlight(1700000000000 + step, className, colours.value(action % 4)));
                classes << className;
                context += QStringLiteral("%1 over %2..%3").arg(className).arg(start).arg(end);
            }
            maximumWrappers = qMax(maximumWrappers, m_page->wrapperCount());
            verifyRoundTrip(context);
            if (QTest::currentTestFailed())
                return;
        }
        QVERIFY(maximumWrappers >= 5);
    }
};

LF_TEST_MAIN(TestHighlighterRestore)
#include "tst_highlighterrestore.moc"
