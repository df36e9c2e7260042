// The reader's side panels as the user meets them: one place on the right
// edge, one panel open at a time, and mark lists that follow the marks.
#include "epub/epubdata.h"
#include "panelbooks.h"
#include "reader/annotationstore.h"
#include "reader/pagemodel.h"
#include "reader/readerpanels.h"
#include "reader/scripttimelimit.h"
#include "reader/viewerviewwindow.h"
#include "reader/viewerwebview.h"
#include "testsupport.h"

#include <QApplication>
#include <QGraphicsEffect>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>

#include <memory>

namespace {

const QStringList kPanels { "contents", "search", "bookmarks", "highlights", "memos" };
const QStringList kPanelNames { "ViewerTocListWidget", "ViewerSearchForm", "ViewerBookmarkListForm",
    "ViewerHighlightListForm", "ViewerMemoListForm" };
const QStringList kButtonNames { "toolbar_toc_list_button", "toolbar_search_button", "toolbar_bookmark_button",
    "toolbar_highlight_button", "toolbar_memo_button" };

QList<lf::test::WrittenDocument> threePages()
{
    return { { "one.xhtml", lf::test::xhtml("<p>one</p>") }, { "two.xhtml", lf::test::xhtml("<p>two</p>") },
        { "three.xhtml", lf::test::xhtml("<p>three</p>") } };
}

QListWidget* rowsOf(QWidget* panel)
{
    return panel->findChild<QListWidget*>(QStringLiteral("listWidget"));
}

} // namespace

class TestReaderPanels : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<ViewerViewWindow> m_reader;

    // A reader window on a book of three pages, its first page shown and its panels made.
    ViewerViewWindow* openReader(const QSize& size)
    {
        const QString name = lf::test::installBook(QStringLiteral("panels"), threePages());
        if (name.isEmpty())
            return nullptr;
        m_reader = std::make_unique<ViewerViewWindow>();
        m_reader->openBook(name);
        m_reader->resize(size);
        m_reader->show();
        m_reader->loadQuestion();
        if (!QTest::qWaitFor([this] { return m_reader->isPageReady() && panel("contents"); }, 10000))
            return nullptr;
        return m_reader.get();
    }

    QWidget* panel(const QString& which) const
    {
        return m_reader->findChild<QWidget*>(kPanelNames.at(kPanels.indexOf(which)));
    }

    QPushButton* button(const QString& which) const
    {
        return m_reader->findChild<QPushButton*>(kButtonNames.at(kPanels.indexOf(which)));
    }

    QStringList openPanels() const
    {
        QStringList open;
        for (const QString& which : kPanels) {
            if (panel(which)->isVisible())
                open.append(which);
        }
        return open;
    }

    QStringList pressedButtons() const
    {
        QStringList pressed;
        for (const QString& which : kPanels) {
            if (button(which)->isChecked())
                pressed.append(which);
        }
        return pressed;
    }

private slots:
    void initTestCase() { lf::limitScriptRunTime(); }
    void cleanup() { m_reader.reset(); }

    // Whatever size the window takes, the panels lie together inside it, on
    // its right edge, from the toolbar's foot down to its bottom.
    void sharePlaceOnTheRightEdge_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::newRow("first size") << QSize(802, 642);
        QTest::newRow("large") << QSize(1600, 1000);
        QTest::newRow("smallest") << QSize(400, 400);
    }

    void sharePlaceOnTheRightEdge()
    {
        QFETCH(QSize, size);
        QVERIFY(openReader(QSize(900, 700)));
        m_reader->resize(size);
        QTRY_COMPARE(m_reader->size(), size);
        const QRect place = panel("contents")->geometry();
        for (const QString& which : kPanels)
            QCOMPARE(panel(which)->geometry(), place);
        const QRect inWindow(panel("contents")->parentWidget()->mapTo(m_reader.get(), place.topLeft()), place.size());
        QVERIFY(m_reader->rect().contains(inWindow));
        const int rightMargin = size.width() - inWindow.right();
        QCOMPARE(size.height() - inWindow.bottom(), rightMargin);
        QVERIFY(rightMargin < inWindow.left());
        const QWidget* pages = m_reader->findChild<QWidget*>(QStringLiteral("viewer_frame"));
        QCOMPARE(inWindow.top(), pages->mapTo(m_reader.get(), QPoint()).y());
    }

    void oneOpenAtATime_data()
    {
        QTest::addColumn<QStringList>("clicks");
        QTest::addColumn<QStringList>("open");
        QTest::newRow("none") << QStringList {} << QStringList {};
        QTest::newRow("contents") << QStringList { "contents" } << QStringList { "contents" };
        QTest::newRow("contents, then memos") << QStringList { "contents", "memos" } << QStringList { "memos" };
        QTest::newRow("bookmarks, search") << QStringList { "bookmarks", "search" } << QStringList { "search" };
        QTest::newRow("highlights, bookmarks, highlights")
            << QStringList { "highlights", "bookmarks", "highlights" } << QStringList { "highlights" };
        QTest::newRow("search opened and closed") << QStringList { "search", "search" } << QStringList {};
        QTest::newRow("memos, contents, contents") << QStringList { "memos", "contents", "contents" } << QStringList {};
        // A panel shown by other means than its button (a search from the page) presses it.
        QTest::newRow("bookmarks, then search from the page")
            << QStringList { "bookmarks", "search from the page" } << QStringList { "search" };
    }

    void oneOpenAtATime()
    {
        QFETCH(QStringList, clicks);
        QFETCH(QStringList, open);
        QVERIFY(openReader(QSize(900, 700)));
        for (const QString& which : clicks) {
            if (which == QLatin1String("search from the page"))
                emit m_reader->leftView()->searchRequest(QStringLiteral("one"));
            else
                QTest::mouseClick(button(which), Qt::LeftButton);
        }
        QCOMPARE(openPanels(), open);
        QCOMPARE(pressedButtons(), open);
        // The page area's shadow would be drawn across an open panel.
        const QGraphicsEffect* shadow
            = m_reader->findChild<QWidget*>(QStringLiteral("viewer_webview_scrollarea"))->graphicsEffect();
        QVERIFY(shadow);
        QCOMPARE(shadow->isEnabled(), open.isEmpty());
    }

    // The mark lists show what the store holds once opened, and follow it
    // from then on: a mark made before the opening is listed once, one
    // deleted from the bookmark list is not listed again.
    void listsFollowTheMarks_data()
    {
        QTest::addColumn<QString>("which");
        QTest::addColumn<QStringList>("changes"); // "+page" / "-page", ">" opens or closes the panel
        QTest::addColumn<QList<int>>("rows"); // the list's length after each change
        QTest::newRow("highlights") << "highlights" << QStringList { "+0", "+2", ">", "+1", "-0", ">", ">" }
                                    << QList<int> { 0, 0, 2, 3, 2, 2, 2 };
        QTest::newRow("memos") << "memos" << QStringList { "+0", "+2", ">", "+1", "-0", "-9", ">", ">" }
                               << QList<int> { 0, 0, 2, 3, 2, 2, 2, 2 };
        QTest::newRow("bookmarks, listed at once")
            << "bookmarks" << QStringList { "+1", "+2", ">", "-1", "+0" } << QList<int> { 1, 2, 2, 1, 2 };
    }

    void listsFollowTheMarks()
    {
        QFETCH(QString, which);
        QFETCH(QStringList, changes);
        QFETCH(QList<int>, rows);
        QTemporaryDir folder(lf::test::privateTempDir() + QStringLiteral("/panels-XXXXXX"));
        const QString bookDir = folder.path() + QStringLiteral("/book");
        std::unique_ptr<EpubData> book = lf::test::writeBook(bookDir, threePages());
        QVERIFY(book);
        AnnotationStore store;
        store.setBook(bookDir, book->contentDir, book->spine.size());
        // The panels on their own, as the window makes them.
        QWidget window;
        window.resize(900, 700);
        QWidget below(&window);
        QList<QPushButton*> buttons;
        for (int i = 0; i < kPanels.size(); ++i) {
            buttons.append(new QPushButton(&window));
            buttons.last()->setCheckable(true);
        }
        auto* panels = new ReaderPanels(
            &window, &window, &below, { buttons[0], buttons[1], buttons[2], buttons[3], buttons[4] });
        const PageModel pages(book.get(), bookDir);
        panels->create(book.get(), bookDir, pages, &store);
        window.show();
        QWidget* list = panels->all().at(kPanels.indexOf(which));
        QListWidget* listRows = rowsOf(list);
        QVERIFY(listRows);

        QList<int> counts;
        for (const QString& change : changes) {
            const int page = change.mid(1).toInt();
            const QString name = QStringLiteral("mark%1").arg(page);
            if (change == QLatin1String(">"))
                QTest::mouseClick(buttons.at(kPanels.indexOf(which)), Qt::LeftButton);
            else if (which == QLatin1String("bookmarks"))
                store.setBookmark(page, change.startsWith(QLatin1Char('+')));
            else if (which == QLatin1String("memos") && change.startsWith(QLatin1Char('+')))
                store.addMemo(page, name, QStringLiteral("text"));
            else if (which == QLatin1String("memos"))
                store.removeMemos(page, { name });
            else if (change.startsWith(QLatin1Char('+')))
                store.addHighlight(page, name, QStringLiteral("Blue"), QStringLiteral("text"));
            else
                store.removeHighlights(page, { name });
            counts.append(listRows->count());
        }
        QCOMPARE(counts, rows);
        panels->stopBackgroundWork();
    }

    // A bookmark set with the page's ribbon and deleted from the bookmark
    // list is gone from the list, the ribbon and the store.
    void bookmarkDeletedFromTheList()
    {
        QVERIFY(openReader(QSize(900, 700)));
        auto* ribbon = m_reader->findChild<QPushButton*>(QStringLiteral("left_bookmark_button"));
        QTest::mouseClick(ribbon, Qt::LeftButton);
        QVERIFY(ribbon->isChecked());
        QTest::mouseClick(button("bookmarks"), Qt::LeftButton);
        QListWidget* rows = rowsOf(panel("bookmarks"));
        QCOMPARE(rows->count(), 1);
        QWidget* row = nullptr;
        QVERIFY(QTest::qWaitFor([&] { return (row = rows->itemWidget(rows->item(0))) != nullptr; }));
        QTest::mouseClick(row->findChild<QPushButton*>(QStringLiteral("delete_button")), Qt::LeftButton);
        QCOMPARE(rows->count(), 0);
        QVERIFY(!ribbon->isChecked());
        QVERIFY(m_reader->annotationStore().bookmarks()->isEmpty());
    }
};

LF_TEST_MAIN(TestReaderPanels)
#include "tst_readerpanels.moc"
