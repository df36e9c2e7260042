#include "base/displaytext.h"
#include "reader/viewerwebpage.h"
#include "showntext.h"
#include "testsupport.h"

#include <QApplication>
#include <QWebFrame>

namespace {
QStringList g_captured;
QtMessageHandler g_previous = nullptr;

void capture(QtMsgType, const QMessageLogContext&, const QString& message)
{
    g_captured.append(message);
}

// The messages logged while `work` runs; the handler installed before is put back.
template <typename Work> QStringList logged(Work work)
{
    g_captured.clear();
    g_previous = qInstallMessageHandler(capture);
    work();
    qInstallMessageHandler(g_previous);
    return g_captured;
}

} // namespace

class TestDisplayText : public QObject
{
    Q_OBJECT

private slots:
    void escapesControls_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        QTest::newRow("screen clear and colour") << QStringLiteral("\x1b[2J\x1b[31mred") << "\\x1b[2J\\x1b[31mred";
        QTest::newRow("clipboard write") << QStringLiteral("\x1b]52;c;aGk=\x07") << "\\x1b]52;c;aGk=\\x07";
        QTest::newRow("eight-bit introducer") << QString(QChar(0x9b)) + "2J"
                                              << "\\x9b2J";
        QTest::newRow("line forged") << QString::fromLatin1("a\r\nlibrary move: done\0x", 23)
                                     << "a\\x0d\\x0alibrary move: done\\x00x";
        QTest::newRow("delete and tab") << QStringLiteral("\x7f\t") << "\\x7f\\x09";
        QTest::newRow("printable kept") << QStringLiteral("\u05e9\u05dc\u05d5\u05dd \\x1b \U0001F600 \u00a0")
                                        << QStringLiteral("\u05e9\u05dc\u05d5\u05dd \\x1b \U0001F600 \u00a0");
    }

    // The same text whether a caller escapes it or the process-wide log does.
    void escapesControls()
    {
        QFETCH(QString, text);
        QFETCH(QString, shown);
        QCOMPARE(lf::withControlsEscaped(text), shown);
        const QStringList lines = logged([&] {
            lf::escapeControlsInLog();
            qDebug().noquote() << text;
        });
        QCOMPARE(lines, QStringList { shown });
    }

    // A page's console carries escape sequences; the log gets them as text.
    void pageConsoleIsEscaped()
    {
        ViewerWebPage page;
        QSignalSpy loaded(&page, SIGNAL(loadFinished(bool)));
        const QStringList lines = logged([&] {
            page.mainFrame()->setHtml(QStringLiteral("<html><head><title>\x1b]0;owned\x07</title></head><body><script>"
                                                     "console.log('\\x1b[2J\\x1b]52;c;aGk=\\x07' + "
                                                     "String.fromCharCode(0x9b) + '31m\\nforged');"
                                                     "</script></body></html>"));
            QVERIFY(!loaded.isEmpty() || loaded.wait(5000));
        });
        const QString console = lines.filter(QStringLiteral("forged")).value(0);
        QVERIFY2(
            console.contains(QStringLiteral("\\x1b[2J\\x1b]52;c;aGk=\\x07\\x9b31m\\x0aforged")), qPrintable(console));
        for (const QString& line : lines) // no control character left in any line
            QVERIFY2(lf::withControlsEscaped(line) == line, qPrintable(lf::withControlsEscaped(line)));
    }

    void isolatesNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("direction");
        QTest::addColumn<bool>("markAtRight");
        // "!" follows the name logically; where it is drawn tells the direction
        // the name runs in, "|" after the isolate shows the sentence is intact.
        const QString hebrew = QStringLiteral("\u05e9\u05dc\u05d5\u05dd!");
        QTest::newRow("override cannot leak")
            << QStringLiteral("\u202egpj.exe!") << int(Qt::LayoutDirectionAuto) << false;
        QTest::newRow("hebrew by its letters") << hebrew << int(Qt::LayoutDirectionAuto) << false;
        QTest::newRow("hebrew declared ltr") << hebrew << int(Qt::LeftToRight) << true;
        QTest::newRow("latin declared rtl") << QStringLiteral("abc!") << int(Qt::RightToLeft) << false;
        QTest::newRow("latin") << QStringLiteral("abc!") << int(Qt::LayoutDirectionAuto) << true;
    }

    void isolatesNames()
    {
        QFETCH(QString, name);
        QFETCH(int, direction);
        QFETCH(bool, markAtRight);
        const QString shown = lf::isolated(name, Qt::LayoutDirection(direction)) + QStringLiteral("| was not added");
        const QFont font = QApplication::font();
        const int mark = shown.indexOf(QLatin1Char('!'));
        const int bar = shown.indexOf(QLatin1Char('|'));
        // The sentence goes on after the whole name, left to right.
        QVERIFY(!lf::test::drawnRightToLeft(shown, mark, bar, font));
        QVERIFY(!lf::test::drawnRightToLeft(shown, bar, shown.indexOf(QLatin1Char('w')), font));
        // Within the name, "!" sits at its right end only when the name runs left to right.
        const int first = name.at(0).category() == QChar::Other_Format ? 2 : 1;
        QCOMPARE(!lf::test::drawnRightToLeft(shown, first, mark, font), markAtRight);
    }
};

LF_TEST_MAIN(TestDisplayText)
#include "tst_displaytext.moc"
