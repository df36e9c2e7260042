// The search panel with real books, a real off-screen page and real files.
#include "panelbooks.h"
#include "reader/pageharvest.h"
#include "reader/panels/viewerannotationitemform.h"
#include "reader/panels/viewersearchform.h"
#include "reader/panels/viewerthumbnailitemform.h"
#include "testsupport.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTemporaryDir>
#include <QWebPage>

#include <memory>

Q_DECLARE_METATYPE(QString*)

namespace {
constexpr int kSearchTimeoutMs = 30000;

QListWidget* rowsList(QWidget* panel)
{
    return panel->findChild<QListWidget*>(QStringLiteral("listWidget"));
}

QList<int> rowPages(QWidget* panel)
{
    QList<int> pages;
    QListWidget* rows = rowsList(panel);
    for (int row = 0; row < rows->count(); ++row)
        pages.append(rows->item(row)->data(Qt::UserRole).toInt());
    return pages;
}

// The page shown by the row form of `row`; -1 while the row has none.
int rowFormPage(QWidget* panel, int row)
{
    QListWidget* rows = rowsList(panel);
    auto* form = qobject_cast<ViewerAnnotationItemForm*>(rows->itemWidget(rows->item(row)));
    return form ? form->getPage_index() : -1;
}

bool searchRunning(QWidget* panel)
{
    return !panel->findChild<QLabel*>(QStringLiteral("loading_label"))->isHidden();
}

QLineEdit* lineEdit(QWidget* panel)
{
    return panel->findChild<QLineEdit*>(QStringLiteral("search_line_edit"));
}

QWebPage* searchPage(QWidget* panel)
{
    return panel->findChild<QWebPage*>(QStringLiteral("harvest_page"));
}
// Page 5 holds a form control, which only the engine searches.
QList<lf::test::WrittenDocument> fruitDocuments()
{
    return { { "a.xhtml", lf::test::xhtml("<p>Apple pie, apple tart, APPLE juice.</p>") },
        { "b.xhtml", lf::test::xhtml("<p>Pears only.</p><script>var apple = 1;</script>") },
        { "c.xhtml", lf::test::xhtml("<p>An ap<b>ple</b> split by markup.</p>") },
        { "d.png", QByteArray("not really a picture"), true }, { "e.xhtml", lf::test::xhtml("<p>Last apple.</p>") },
        { "f.xhtml", lf::test::xhtml("<p>Quince</p><textarea>apple in a field</textarea>") } };
}
} // namespace

class TestViewerSearchForm : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_folder.isValid());
        qRegisterMetaType<QString*>();
        m_bookDir = m_folder.path() + QStringLiteral("/written");
        m_book = lf::test::writeBook(m_bookDir, fruitDocuments());
        QVERIFY(m_book);
    }

    // Every row the engine alone would give, and no other, on real books.
    void rowsMatchTheEngine_data()
    {
        QTest::addColumn<QString>("book");
        QTest::addColumn<QStringList>("terms");
        QTest::newRow("common word, letter case, curly apostrophe")
            << "gutenberg-alice-epub2.epub" << QStringList { "rabbit", "QUEEN", "Alice’s" };
        QTest::newRow("phrase") << "childrens-literature.epub" << QStringList { "the little" };
        QTest::newRow("accent typed, accent left out")
            << "guide-des-vins-images.epub" << QStringList { "côte", "cote" };
        QTest::newRow("hebrew") << "israel-sailing-hebrew.epub" << QStringList { "ים" };
        QTest::newRow("japanese word, japanese particle")
            << "kusamakura-preview-japanese.epub" << QStringList { "考えた", "の" };
        QTest::newRow("long book: a name, in most documents, absent")
            << "moby-dick.epub" << QStringList { "Queequeg", "WHALE", "xylophone" };
        QTest::newRow("html documents") << "gutenberg-pride-and-prejudice-epub2.epub" << QStringList { "Elizabeth" };
        QTest::newRow("across elements") << "written" << QStringList { "apple" };
    }

    void rowsMatchTheEngine()
    {
        QFETCH(QString, book);
        QFETCH(QStringList, terms);
        lf::test::OpenedBook opened;
        if (book == QLatin1String("written")) {
            opened.bookDir = m_bookDir;
        } else {
            opened = lf::test::extractCorpusBook(book, m_folder.path());
            QVERIFY(opened.book);
        }
        EpubData* model = opened.book ? opened.book.get() : m_book.get();
        const QList<QList<int>> engineFinds = lf::test::engineSearch(*model, opened.bookDir, terms);
        QDir cache(opened.bookDir + QLatin1Char('/') + model->contentDir + QStringLiteral("searchtext"));
        for (int t = 0; t < terms.size(); ++t) {
            const QString& term = terms.at(t);
            const QList<int>& expected = engineFinds.at(t);
            QCOMPARE(expected.isEmpty(), term == QLatin1String("xylophone"));

            // Each term's first run starts without stored text, as on a fresh book.
            cache.removeRecursively();
            ViewerSearchForm panel(nullptr, model, opened.bookDir);
            for (int run = 0; run < 2; ++run) { // the second run reads the stored search text
                lineEdit(&panel)->setText(term);
                QTest::keyClick(lineEdit(&panel), Qt::Key_Return);
                QTRY_VERIFY_WITH_TIMEOUT(!searchRunning(&panel), kSearchTimeoutMs);
                QVERIFY2(rowPages(&panel) == expected, qPrintable(QStringLiteral("\"%1\", run %2").arg(term).arg(run)));
            }
            // The documents loaded to find the term keep their text.
            QCOMPARE(cache.entryList(QDir::Files).isEmpty(), expected.isEmpty());
        }
    }

    // The first search loads the documents whose markup holds every word of
    // the term, the picture page and the one with a form field, and keeps their
    // text; a second one loads only what its stored text cannot answer.
    void searchRuns_data()
    {
        QTest::addColumn<QString>("term");
        QTest::addColumn<int>("firstLoads");
        QTest::addColumn<int>("secondLoads");
        QTest::newRow("several times in one page, any case") << "aPPle" << 5 << 1;
        QTest::newRow("only in a script") << "var apple" << 2 << 1;
        QTest::newRow("nowhere") << "banana" << 2 << 1;
        QTest::newRow("leading white space") << " apple" << 5 << 5;
        QTest::newRow("a tab") << "apple\tpie" << 3 << 3;
        QTest::newRow("empty") << "" << 0 << 0;
    }

    void searchRuns()
    {
        QFETCH(QString, term);
        QFETCH(int, firstLoads);
        QFETCH(int, secondLoads);
        const QString bookDir = m_folder.path() + QStringLiteral("/runs-") + QString::number(m_storedBooks++);
        const std::unique_ptr<EpubData> book = lf::test::writeBook(bookDir, fruitDocuments());
        QVERIFY(book);
        const QList<int> expected = lf::test::engineSearch(*book, bookDir, term);
        ViewerSearchForm panel(nullptr, book.get(), bookDir);
        // As the reader gives it; the panel's first search would make one otherwise.
        panel.setPageHarvest(new PageHarvest(&panel, book.get(), bookDir, ViewerThumbnailItemForm::pictureSize()));
        QSignalSpy loads(searchPage(&panel), SIGNAL(loadFinished(bool)));
        for (int run = 0; run < 2; ++run) {
            loads.clear();
            lineEdit(&panel)->setText(term);
            // The second Return is ignored while the first search runs.
            QTest::keyClick(lineEdit(&panel), Qt::Key_Return);
            QTest::keyClick(lineEdit(&panel), Qt::Key_Return);
            QTRY_VERIFY_WITH_TIMEOUT(!searchRunning(&panel), kSearchTimeoutMs);
            QCOMPARE(rowPages(&panel), expected);
            QCOMPARE(loads.count(), run == 0 ? firstLoads : secondLoads);
        }
    }

    void newSearchClearsRowsFirst()
    {
        ViewerSearchForm panel(nullptr, m_book.get(), m_bookDir);
        panel.searchEvent(QStringLiteral("apple"));
        QTRY_VERIFY_WITH_TIMEOUT(!searchRunning(&panel), kSearchTimeoutMs);
        QVERIFY(!rowPages(&panel).isEmpty());
        lineEdit(&panel)->setText(QStringLiteral("pears"));
        QTest::keyClick(lineEdit(&panel), Qt::Key_Return);
        QVERIFY(rowPages(&panel).isEmpty());
        QVERIFY(searchRunning(&panel));
        QTRY_VERIFY_WITH_TIMEOUT(!searchRunning(&panel), kSearchTimeoutMs);
        QCOMPARE(rowPages(&panel), QList<int> { 1 });
    }

    // A new term, from the page or typed, replaces the running search: the
    // rows, and where a double-click lands, belong to the term in the field.
    void newTermReplacesTheRunningSearch_data()
    {
        QTest::addColumn<bool>("fromPage");
        QTest::addColumn<QString>("second");
        QTest::newRow("from the page") << true << "Quince";
        QTest::newRow("typed") << false << "Pears";
        QTest::newRow("same term from the page") << true << "apple";
    }

    void newTermReplacesTheRunningSearch()
    {
        QFETCH(bool, fromPage);
        QFETCH(QString, second);
        const QString bookDir = m_folder.path() + QStringLiteral("/replaced-") + QString::number(m_storedBooks++);
        const std::unique_ptr<EpubData> book = lf::test::writeBook(bookDir, fruitDocuments());
        QVERIFY(book);
        const QList<int> expected = lf::test::engineSearch(*book, bookDir, second);
        QVERIFY(!expected.isEmpty());
        ViewerSearchForm panel(nullptr, book.get(), bookDir);
        panel.setPageHarvest(new PageHarvest(&panel, book.get(), bookDir, ViewerThumbnailItemForm::pictureSize()));
        // Midway, as the second of six documents has loaded.
        int loads = 0;
        bool replaced = false;
        connect(searchPage(&panel), &QWebPage::loadFinished, &panel, [&] {
            if (++loads != 2)
                return;
            replaced = searchRunning(&panel);
            if (fromPage) {
                panel.searchEvent(second);
            } else {
                lineEdit(&panel)->setText(second);
                QTest::keyClick(lineEdit(&panel), Qt::Key_Return);
            }
        });
        panel.searchEvent(QStringLiteral("apple"));
        QTRY_VERIFY_WITH_TIMEOUT(replaced, kSearchTimeoutMs);
        QTRY_VERIFY_WITH_TIMEOUT(!searchRunning(&panel), kSearchTimeoutMs);
        QCOMPARE(lineEdit(&panel)->text(), second);
        QCOMPARE(rowPages(&panel), expected);
        QSignalSpy moved(&panel, SIGNAL(moveToPageEvent(int, QString*)));
        emit rowsList(&panel)->itemDoubleClicked(rowsList(&panel)->item(0));
        QCOMPARE(*moved.at(0).at(1).value<QString*>(), second);
    }

    void requestFromPageViewShowsAndStarts()
    {
        ViewerSearchForm panel(nullptr, m_book.get(), m_bookDir);
        QSignalSpy showed(&panel, SIGNAL(showed(QString)));
        panel.searchEvent(QStringLiteral("Last"));
        QVERIFY(panel.isVisible());
        QCOMPARE(showed.count(), 1);
        QCOMPARE(lineEdit(&panel)->text(), QStringLiteral("Last"));
        QTRY_VERIFY_WITH_TIMEOUT(!searchRunning(&panel), kSearchTimeoutMs);
        QCOMPARE(rowPages(&panel), QList<int> { 4 });

        // A double-click on a row asks for that page with the term to mark.
        QSignalSpy moved(&panel, SIGNAL(moveToPageEvent(int, QString*)));
        emit rowsList(&panel)->itemDoubleClicked(rowsList(&panel)->item(0));
        QCOMPARE(moved.count(), 1);
        QCOMPARE(moved.at(0).at(0).toInt(), 4);
        QCOMPARE(*moved.at(0).at(1).value<QString*>(), QStringLiteral("Last"));
    }

    // The book's script would replace the word; the search sees the document as written.
    void bookScriptsDoNotRun()
    {
        const QString bookDir = m_folder.path() + QStringLiteral("/scripted");
        const std::unique_ptr<EpubData> book = lf::test::writeBook(bookDir,
            { { "s.xhtml",
                lf::test::xhtml("<p id='p'>original</p>"
                                "<script>document.getElementById('p').textContent = 'replaced';</script>") } });
        QVERIFY(book);
        ViewerSearchForm panel(nullptr, book.get(), bookDir);
        panel.searchEvent(QStringLiteral("original"));
        QTRY_VERIFY_WITH_TIMEOUT(!searchRunning(&panel), kSearchTimeoutMs);
        QCOMPARE(rowPages(&panel), QList<int> { 0 });
    }

    // Rows get their forms as they come into view: a search that finds every
    // page of a long book makes a screenful of widgets, not one per page.
    void rowFormsFollowTheView()
    {
        const QString bookDir = m_folder.path() + QStringLiteral("/long");
        QList<lf::test::WrittenDocument> documents;
        for (int i = 0; i < 300; ++i)
            documents.append({ QStringLiteral("c%1.xhtml").arg(i), lf::test::xhtml(QStringLiteral("<p>river</p>")) });
        const std::unique_ptr<EpubData> book = lf::test::writeBook(bookDir, documents);
        QVERIFY(book);
        ViewerSearchForm panel(nullptr, book.get(), bookDir);
        panel.resize(300, 600);
        panel.searchEvent(QStringLiteral("river"));
        QTRY_VERIFY_WITH_TIMEOUT(!searchRunning(&panel), kSearchTimeoutMs);
        QCOMPARE(rowPages(&panel).size(), 300);
        QCOMPARE(rowFormPage(&panel, 0), 0);
        QCOMPARE(rowFormPage(&panel, 299), -1);
        QVERIFY(!rowsList(&panel)
                     ->itemWidget(rowsList(&panel)->item(0))
                     ->findChild<QWidget*>(QStringLiteral("delete_button"))
                     ->isVisible());

        rowsList(&panel)->scrollToBottom();
        QCOMPARE(rowFormPage(&panel, 299), 299);
        QVERIFY(panel.findChildren<ViewerAnnotationItemForm*>().size() < 100);
    }

    // A later opening answers from the stored search text; a stored file that
    // is damaged or made by other rules is made again from the book.
    void storedSearchText_data()
    {
        // Replaces the stored file; %1 and %2 stand for the document's size
        // and modification time. It says the document holds "pears".
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QList<int>>("pages");
        QTest::newRow("stored text believed") << QByteArray("lf-page-text 1\n0 t 5 %1 %2\npears") << QList<int> {};
        QTest::newRow("left to the engine") << QByteArray("lf-page-text 1\n0 e 5 %1 %2\npears") << QList<int> { 0 };
        QTest::newRow("document changed since")
            << QByteArray("lf-page-text 1\n0 t 5 1%1 %2\npears") << QList<int> { 0 };
        QTest::newRow("shipped by the book") << QByteArray("lf-page-text 1\n0 t 5 %1 0\npears") << QList<int> { 0 };
        QTest::newRow("other format") << QByteArray("lf-search-text 6\n0 c 5 0 %1 %2\npears") << QList<int> { 0 };
        QTest::newRow("length past the end")
            << QByteArray("lf-page-text 1\n0 t 99999 %1 %2\npears") << QList<int> { 0 };
        QTest::newRow("length beyond any file")
            << QByteArray("lf-page-text 1\n0 t 9223372036854775807 %1 %2\npears") << QList<int> { 0 };
        QTest::newRow("page outside the book") << QByteArray("lf-page-text 1\n7 t 5 %1 %2\npears") << QList<int> { 0 };
    }

    void storedSearchText()
    {
        QFETCH(QByteArray, stored);
        QFETCH(QList<int>, pages);
        const QString bookDir = m_folder.path() + QStringLiteral("/stored-") + QString::number(m_storedBooks++);
        const std::unique_ptr<EpubData> book
            = lf::test::writeBook(bookDir, { { "a.xhtml", lf::test::xhtml(QStringLiteral("<p>apple</p>")) } });
        QVERIFY(book);
        const QString storedFile = bookDir + QStringLiteral("/OPS/searchtext/texts.txt");
        {
            ViewerSearchForm panel(nullptr, book.get(), bookDir);
            panel.searchEvent(QStringLiteral("apple"));
            QTRY_VERIFY_WITH_TIMEOUT(!searchRunning(&panel), kSearchTimeoutMs);
            QTRY_VERIFY(QFile::exists(storedFile));
        }
        const QFileInfo document(bookDir + QStringLiteral("/OPS/a.xhtml"));
        stored.replace("%1", QByteArray::number(document.size()));
        stored.replace("%2", QByteArray::number(document.lastModified().toMSecsSinceEpoch()));
        QFile file(storedFile);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(stored) == stored.size());
        file.close();

        ViewerSearchForm panel(nullptr, book.get(), bookDir);
        panel.searchEvent(QStringLiteral("apple"));
        QTRY_VERIFY_WITH_TIMEOUT(!searchRunning(&panel), kSearchTimeoutMs);
        QCOMPARE(rowPages(&panel), pages);
    }

    void nothingLoadsAfterLoadFinish()
    {
        ViewerSearchForm panel(nullptr, m_book.get(), m_bookDir);
        panel.searchEvent(QStringLiteral("apple"));
        QTRY_VERIFY_WITH_TIMEOUT(!searchRunning(&panel), kSearchTimeoutMs);
        QSignalSpy loads(searchPage(&panel), SIGNAL(loadStarted()));
        panel.setLoadFinish();
        panel.searchEvent(QStringLiteral("apple"));
        QVERIFY(!searchRunning(&panel));
        QVERIFY(rowPages(&panel).isEmpty());
        QTest::qWait(100);
        QCOMPARE(loads.count(), 0);
    }

private:
    QTemporaryDir m_folder;
    QString m_bookDir;
    std::unique_ptr<EpubData> m_book;
    int m_storedBooks = 0;
};

LF_TEST_MAIN(TestViewerSearchForm)
#include "tst_viewersearchform.moc"
