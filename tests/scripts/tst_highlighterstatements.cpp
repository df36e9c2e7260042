// The texts of the statements the reader evaluates in its pages, and the page
// script resources they run against.
#include "reader/highlighterstatements.h"
#include "reader/pagescript.h"
#include "testsupport.h"

namespace statements = lf::HighlighterStatements;

class TestHighlighterStatements : public QObject
{
    Q_OBJECT

private slots:
    void statementTexts_data()
    {
        QTest::addColumn<QString>("statement");
        QTest::addColumn<QString>("expected");

        QTest::newRow("marks under the selection") << statements::isHighlight() << "text_highlighter.isHighlightNS();";
        QTest::newRow("highlight") << statements::doHighlight(
            1700000000123, "highlighted1700000000124", "rgba(0, 255, 36, 0.3)")
                                   << "text_highlighter.doHighlightNS(1700000000123, 'highlighted1700000000124', "
                                      "'rgba(0, 255, 36, 0.3)');";
        QTest::newRow("memo") << statements::doMemo(1700000000123, "memo1700000000123")
                              << "text_highlighter.doMemoNS(1700000000123, 'memo1700000000123');";
        QTest::newRow("remove") << statements::removeHighlight("memo1700000000123")
                                << "text_highlighter.removeHighlightNS('memo1700000000123');";
        QTest::newRow("save") << statements::serialize() << "text_highlighter.serializeHighlights();";
        QTest::newRow("restore nothing") << statements::deserialize("[]")
                                         << "text_highlighter.deserializeHighlights('[]');";
        QTest::newRow("restore")
            << statements::deserialize("[[\"<span class=\\\"memo1\\\"></span>\",\"it's \\\\ x\",\"0:1\",0,8]]")
            << "text_highlighter.deserializeHighlights('[[\"<span class=\\\\\"memo1\\\\\"></span>\",\"it\\'s "
               "\\\\\\\\ x\",\"0:1\",0,8]]');";
    }

    void statementTexts()
    {
        QFETCH(QString, statement);
        QFETCH(QString, expected);
        QCOMPARE(statement, expected);
    }

    void resourcesHoldTheScripts_data()
    {
        QTest::addColumn<QString>("resource");
        QTest::addColumn<QString>("source");
        QTest::newRow("highlighter") << lf::kHighlighterScriptResource << "TextHighlighter.js";
        QTest::newRow("style sheet") << lf::kPageStyleSheetUrl.mid(3) << "webview.css";
    }

    void resourcesHoldTheScripts()
    {
        QFETCH(QString, resource);
        QFETCH(QString, source);
        QFile file(lf::test::testDataDir() + QStringLiteral("/../../scripts/") + source);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(lf::PageScript::load(resource), QString::fromUtf8(file.readAll()));
    }

    void highlighterScriptIsReadOnce()
    {
        QVERIFY(lf::PageScript::highlighter().contains(QLatin1String("window.text_highlighter")));
        QCOMPARE(&lf::PageScript::highlighter(), &lf::PageScript::highlighter());
        QCOMPARE(lf::PageScript::load(QStringLiteral(":/jquery/javascript/missing.js")), QString());
    }
};

LF_TEST_CORE_MAIN(TestHighlighterStatements)
#include "tst_highlighterstatements.moc"
