// The search in the stored page text against the engine's own find: every
// document of real and written books is taken by the page pass, then each term
// is put to both. Documents left to the engine (form controls, frames,
// objects) are not compared; terms the finder declines must be declined.
// The test runs again under locales whose search collation differs (LC_ALL).
#include "panelbooks.h"
#include "reader/pageharvest.h"
#include "reader/panels/viewerthumbnailitemform.h"
#include "reader/textfinder.h"
#include "testsupport.h"

#include <QApplication>
#include <QLocale>
#include <QTemporaryDir>

#include <memory>

namespace {
constexpr int kPassTimeoutMs = 120000;

// Each line a document of the written book.
const QStringList kWrittenDocuments {
    QStringLiteral("<p>がっこう へ いく。カタカナ と ひらがな。</p>"),
    QStringLiteral("<p>かつこう と はは と ぱぱ。</p>"),
    QStringLiteral("<p>Don’t say “hello” to the co\u00ADoperative résumé.</p>"),
    QStringLiteral("<p>Don't say \"hello\"; RESUME the STRASSE, Straße.</p>"),
    QStringLiteral("<p dir='rtl'>צה״ל ו־ג׳ירפה</p><p>a\u00A0b</p>"),
    QStringLiteral(
        "<p style='display:none'>hidden words</p><p>shown <span style='visibility:hidden'>veiled</span></p>"),
    QStringLiteral("<p>Form: <input value='in a field'/> quince</p>"),
    QStringLiteral("<p>İstanbul'da ılık bir gün. Kärlek på Ålandsgatan, aalborg. Chata.</p>"),
    QStringLiteral("<p>ISTANBUL, ILIK. Karlek pa alandsgatan. Haus und Hof.</p>"),
};
} // namespace

class TestTextFinder : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_folder.isValid());
        qInfo().noquote() << "system locale:" << QLocale::system().name();
        // A locale run that fell back to another locale would compare nothing new.
        const QString wanted = qEnvironmentVariable("LC_ALL").section(QLatin1Char('.'), 0, 0);
        if (!wanted.isEmpty() && wanted != QLatin1String("C"))
            QCOMPARE(QLocale::system().name(), wanted);
    }

    void agreesWithTheEngine_data()
    {
        QTest::addColumn<QString>("book");
        QTest::addColumn<QStringList>("terms");
        QTest::newRow("written: kana") << "written"
                                       << QStringList { "がっこう", "かつこう", "がつこう", "かっこう", "ガッコウ",
                                              "かたかな", "ハハ", "ばば", "ぱぱ", "ﾊﾟﾊﾟ" };
        QTest::newRow("written: quotes, soft hyphens, accents, case")
            << "written"
            << QStringList { "don't", "Don’t", "“hello”", "\"hello\"", "cooperative", "co\u00ADop", "resume", "résumé",
                   "RÉSUMÉ", "strasse", "straße", "STRAẞE" };
        QTest::newRow("written: hebrew, spaces, hidden text")
            << "written" << QStringList { "צה\"ל", "צה״ל", "ג'ירפה", "a b", "hidden", "veiled", "shown", "quince", "" };
        QTest::newRow("written: letters that locales tailor")
            << "written"
            << QStringList { "istanbul", "İSTANBUL", "ılık", "ILIK", "ilik", "kärlek", "KARLEK", "ålands", "aaland",
                   "aalborg", "ålborg", "chata", "hata", "haus" };
        QTest::newRow("accents") << "guide-des-vins-images.epub"
                                 << QStringList { "côte", "cote", "CÔTE", "Château", "chateau", "vin" };
        QTest::newRow("case and quotes") << "gutenberg-alice-epub2.epub"
                                         << QStringList { "QUEEN", "Alice’s", "Alice's", "rabbit-hole", "’" };
        QTest::newRow("html documents") << "gutenberg-pride-and-prejudice-epub2.epub"
                                        << QStringList { "Elizabeth", "MR. DARCY", "don't" };
        QTest::newRow("japanese") << "kusamakura-preview-japanese.epub"
                                  << QStringList { "考えた", "の", "ノ", "智に働けば", "ﾁ" };
        QTest::newRow("hebrew") << "israel-sailing-hebrew.epub" << QStringList { "ים", "שייט", "\"" };
        QTest::newRow("mixed layout") << "voyage-of-life-mixed-layout.epub" << QStringList { "life", "VOYAGE" };
    }

    void agreesWithTheEngine()
    {
        QFETCH(QString, book);
        QFETCH(QStringList, terms);
        lf::test::OpenedBook opened;
        if (book == QLatin1String("written")) {
            opened.bookDir = m_folder.path() + QStringLiteral("/written-") + QTest::currentDataTag();
            QList<lf::test::WrittenDocument> documents;
            for (int i = 0; i < kWrittenDocuments.size(); ++i)
                documents.append({ QStringLiteral("w%1.xhtml").arg(i), lf::test::xhtml(kWrittenDocuments.at(i)) });
            opened.book = lf::test::writeBook(opened.bookDir, documents);
        } else {
            opened = lf::test::extractCorpusBook(book, m_folder.path() + QLatin1Char('/') + QTest::currentDataTag());
        }
        QVERIFY(opened.book);

        PageHarvest harvest(nullptr, opened.book.get(), opened.bookDir, ViewerThumbnailItemForm::pictureSize());
        QSignalSpy complete(&harvest, SIGNAL(harvestComplete()));
        harvest.startBackground();
        QTRY_COMPARE_WITH_TIMEOUT(complete.count(), 1, kPassTimeoutMs);

        const QList<QList<int>> engineFinds = lf::test::engineSearch(*opened.book, opened.bookDir, terms);
        int found = 0;
        for (int t = 0; t < terms.size(); ++t) {
            const QString& term = terms.at(t);
            TextFinder finder(term);
            QCOMPARE(finder.usable(), term.trimmed() == term && !term.contains(QLatin1Char('\t')));
            QList<int> fromText;
            QList<int> leftToEngine;
            for (int page = 0; page < opened.book->spine.size(); ++page) {
                const PageTexts::Text* text = harvest.texts().textOf(page);
                QVERIFY(text);
                if (text->engineOnly)
                    leftToEngine.append(page);
                else if (finder.findsInUtf8(text->utf8))
                    fromText.append(page);
            }
            QList<int> fromEngine = engineFinds.at(t);
            for (const int page : leftToEngine)
                fromEngine.removeAll(page);
            QVERIFY2(fromText == fromEngine, qPrintable(QStringLiteral("\"%1\"").arg(term)));
            found += fromText.size();
        }
        QVERIFY(found > 0);
    }

private:
    QTemporaryDir m_folder;
};

LF_TEST_MAIN(TestTextFinder)
#include "tst_textfinder.moc"
