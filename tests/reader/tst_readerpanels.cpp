// The reader's side panels as a group: one place on the right edge, one panel
// open at a time, and the mark lists filled once, when first shown.
#include "epub/epubdata.h"
#include "panelbooks.h"
#include "reader/annotationstore.h"
#include "reader/pagemodel.h"
#include "reader/panels/viewerbookmarklistform.h"
#include "reader/panels/viewersearchform.h"
#include "reader/panels/viewertoclistwidget.h"
#include "reader/readerpanels.h"
#include "testsupport.h"

#include <QApplication>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>

#include <memory>

namespace {

const QStringList kPanels { "contents", "search", "bookmarks", "highlights", "memos" };

// Stands in for the reader window's two slots that keep one panel open.
class PanelWatcher : public QObject
{
    Q_OBJECT

public:
    explicit PanelWatcher(ReaderPanels* panels)
        : panels(panels)
    { }

public slots:
    void showed(QString title) { panels->showOnly(title); }
    void hided() { panels->uncheckHidden(); }

private:
    ReaderPanels* panels;
};

} // namespace

class TestReaderPanels : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_folder { lf::test::privateTempDir() + QStringLiteral("/panels-XXXXXX") };
    std::unique_ptr<EpubData> m_book;
    QString m_bookDir;
    PageModel m_pages; // the window's, which the panels share
    std::unique_ptr<AnnotationStore> m_store;
    std::unique_ptr<QWidget> m_window;
    QWidget* m_below = nullptr;
    QList<QPushButton*> m_buttons;
    ReaderPanels* m_panels = nullptr;
    std::unique_ptr<PanelWatcher> m_watcher;

    // A window as the reader's: panels on its central area, below a toolbar 75 pixels high.
    void build(const QSize& size)
    {
        m_window = std::make_unique<QWidget>();
        m_window->resize(size);
        auto* area = new QWidget(m_window.get());
        area->setGeometry(1, 1, size.width() - 2, size.height() - 2);
        m_below = new QWidget(area);
        m_below->move(0, 75);
        m_buttons.clear();
        for (int i = 0; i < kPanels.size(); ++i) {
            m_buttons.append(new QPushButton(area));
            m_buttons.last()->setCheckable(true);
        }
        m_panels = new ReaderPanels(
            m_window.get(), area, m_below, { m_buttons[0], m_buttons[1], m_buttons[2], m_buttons[3], m_buttons[4] });
        m_pages = PageModel(m_book.get(), m_bookDir);
        m_panels->create(m_book.get(), m_bookDir, m_pages, m_store.get());
        m_watcher = std::make_unique<PanelWatcher>(m_panels);
        for (QWidget* panel : m_panels->all()) {
            connect(panel, SIGNAL(showed(QString)), m_watcher.get(), SLOT(showed(QString)));
            connect(panel, SIGNAL(hided()), m_watcher.get(), SLOT(hided()));
        }
        m_panels->place();
        m_window->show();
    }

    QStringList openPanels() const
    {
        QStringList open;
        for (int i = 0; i < kPanels.size(); ++i) {
            if (m_panels->all().at(i)->isVisible())
                open.append(kPanels.at(i));
        }
        return open;
    }

    QStringList pressedButtons() const
    {
        QStringList pressed;
        for (int i = 0; i < kPanels.size(); ++i) {
            if (m_buttons.at(i)->isChecked())
                pressed.append(kPanels.at(i));
        }
        return pressed;
    }

    void click(const QString& panel) { QTest::mouseClick(m_buttons.at(kPanels.indexOf(panel)), Qt::LeftButton); }

private slots:
    void init()
    {
        m_bookDir = m_folder.path() + QStringLiteral("/book");
        m_book = lf::test::writeBook(m_bookDir,
            { { "one.xhtml", lf::test::xhtml("<p>one</p>") }, { "two.xhtml", lf::test::xhtml("<p>two</p>") },
                { "three.xhtml", lf::test::xhtml("<p>three</p>") } });
        QVERIFY(m_book);
        m_store = std::make_unique<AnnotationStore>();
        m_store->setBook(m_bookDir, m_book->contentDir, m_book->spine.size());
    }

    void cleanup()
    {
        m_watcher.reset();
        if (m_panels)
            m_panels->stopBackgroundWork();
        m_window.reset();
        m_panels = nullptr;
        m_store.reset();
        m_book.reset();
        QDir(m_bookDir).removeRecursively();
    }

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
        build(QSize(900, 700));
        m_window->resize(size);
        m_panels->place();
        const QRect place = m_panels->contents()->geometry();
        for (QWidget* panel : m_panels->all())
            QCOMPARE(panel->geometry(), place);
        // Inside the window's frame, from the toolbar's foot to the bottom.
        QCOMPARE(place.right(), size.width() - 3);
        QCOMPARE(place.top(), m_below->y());
        QCOMPARE(place.bottom(), size.height() - 3);
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
    }

    void oneOpenAtATime()
    {
        QFETCH(QStringList, clicks);
        QFETCH(QStringList, open);
        build(QSize(900, 700));
        for (const QString& panel : clicks)
            click(panel);
        QCOMPARE(openPanels(), open);
        QCOMPARE(pressedButtons(), open);
        QCOMPARE(m_panels->anyOpen(), !open.isEmpty());
        for (int i = 0; i < kPanels.size(); ++i)
            QCOMPARE(m_panels->openedBy(m_buttons.at(i)), open.contains(kPanels.at(i)));
    }

    // A panel shown by other means than its button (a search from the page) presses it.
    void showingAPanelPressesItsButton()
    {
        build(QSize(900, 700));
        click("bookmarks");
        m_panels->search()->show();
        QCOMPARE(openPanels(), QStringList { "search" });
        QCOMPARE(pressedButtons(), QStringList { "search" });
        QVERIFY(!m_panels->showOnly(QStringLiteral("no such panel")));
        QCOMPARE(openPanels(), QStringList { "search" });
    }

    // The mark lists are filled from the store the first time they show, and
    // follow it from then on; a mark made before that is listed once.
    void markListsFilledWhenFirstShown_data()
    {
        QTest::addColumn<QString>("panel");
        QTest::newRow("highlights") << QStringLiteral("highlights");
        QTest::newRow("memos") << QStringLiteral("memos");
    }

    void markListsFilledWhenFirstShown()
    {
        QFETCH(QString, panel);
        const bool memos = panel == QLatin1String("memos");
        auto mark = [&](int page, const QString& name) {
            if (memos) {
                m_store->addMemo(page, name, QStringLiteral("text"));
                m_panels->memoAdded(page, name, QStringLiteral("text"));
            } else {
                m_store->addHighlight(page, name, QStringLiteral("Blue"), QStringLiteral("text"));
                m_panels->highlightAdded(page, name, QStringLiteral("Blue"), QStringLiteral("text"));
            }
        };
        auto unmark = [&](int page, const QString& name) {
            if (memos) {
                QVERIFY(m_store->removeMemos(page, { name }));
                m_panels->memosRemoved(page, { name });
            } else {
                QVERIFY(m_store->removeHighlights(page, { name }));
                m_panels->highlightsRemoved(page, { name });
            }
        };
        const QString kind = memos ? QStringLiteral("memo") : QStringLiteral("highlighted");
        build(QSize(900, 700));
        mark(0, kind + QStringLiteral("100"));
        mark(2, kind + QStringLiteral("200"));
        QWidget* list = m_panels->all().at(kPanels.indexOf(panel));
        auto* rows = list->findChild<QListWidget*>(QStringLiteral("listWidget"));
        QVERIFY(rows);
        QCOMPARE(rows->count(), 0);

        click(panel);
        QCOMPARE(rows->count(), 2);
        mark(1, kind + QStringLiteral("300"));
        QCOMPARE(rows->count(), 3);
        unmark(0, kind + QStringLiteral("100"));
        QCOMPARE(rows->count(), 2);
        click(panel);
        click(panel);
        QCOMPARE(rows->count(), 2);
    }

    void bookmarkListFollowsTheStore()
    {
        build(QSize(900, 700));
        auto* rows = m_panels->bookmarks()->findChild<QListWidget*>(QStringLiteral("listWidget"));
        QVERIFY(rows);
        QCOMPARE(rows->count(), 0);
        m_store->setBookmark(1, true);
        m_store->setBookmark(2, true);
        m_panels->bookmarksChanged();
        QCOMPARE(rows->count(), 2);
    }
};

LF_TEST_MAIN(TestReaderPanels)
#include "tst_readerpanels.moc"
