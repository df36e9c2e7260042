// The reader window as a desktop sizes it: run under a window manager, which
// maximises, restores and resizes windows some time after the program asks.
// The continue question waits for the window's real size and covers the whole
// window while it moves; the page area and its ribbon follow every size.
#include "reader/viewerviewwindow.h"
#include "readerbooks.h"
#include "testsupport.h"
#include "widgets/viewerdefaultdialog.h"

#include <QApplication>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include <memory>

namespace {

const QString kBook = QStringLiteral("moby-dick.epub");

enum class Change { Maximise, Restore, FullScreen, ResizeInactive };

} // namespace

Q_DECLARE_METATYPE(Change)

namespace {

// The window's own picture at `point` (window coordinates), dimmed by the
// question's backdrop: darker, but the window still shows through.
bool dimsWindowAt(const QImage& window, const QImage& question, QPoint point)
{
    const QColor original = window.pixelColor(point);
    const QColor dimmed = question.pixelColor(point);
    return original.lightness() > 100 && dimmed.lightness() < original.lightness()
        && dimmed.lightness() > original.lightness() / 2;
}

} // namespace

class TestReaderWindowSize : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<ViewerViewWindow> m_reader;

    template <typename T> T* child(const char* name) { return m_reader->findChild<T*>(QString::fromLatin1(name)); }

    QScreen* screen() { return m_reader->windowHandle()->screen(); }

    // What the window shows of its page area, in window coordinates.
    QRect placed(const char* name)
    {
        QWidget* widget = child<QWidget>(name);
        return QRect(widget->mapTo(m_reader.get(), QPoint(0, 0)), widget->size());
    }

    // The page area fills the frame's height, centred, nearly as wide as the
    // frame, and the ribbon hangs from its top edge inside it.
    bool pageAreaFits()
    {
        const QRect frame = placed("viewer_frame");
        const QRect area = placed("viewer_webview_scrollarea");
        const QRect ribbon = placed("left_bookmark_button");
        const int margins = frame.height() - area.height();
        return frame.contains(area) && margins >= 0 && margins < frame.height() / 20
            && qAbs((area.left() - frame.left()) - (frame.right() - area.right())) <= 1
            && area.width() > frame.width() * 8 / 10 && ribbon.left() > area.left() && ribbon.right() < area.right()
            && ribbon.top() < area.top() && ribbon.bottom() > area.top();
    }

private slots:
    void cleanup() { m_reader.reset(); }

    void asksOverTheWholeWindow_data()
    {
        QTest::addColumn<QRect>("moveTo"); // where the window goes while the question waits
        QTest::newRow("stays maximised") << QRect();
        QTest::newRow("restored, moved and resized") << QRect(120, 90, 900, 620);
    }

    void asksOverTheWholeWindow()
    {
        QFETCH(QRect, moveTo);
        const QString name = lf::test::installCorpusBook(kBook);
        QVERIFY(lf::test::writeProgress(name, 6));

        // What the window and the question look like when it comes up and
        // after the window moved, taken from inside the question's own loop.
        QRect windowAsked, questionAsked, windowMoved, questionMoved;
        bool dimmedAsked = false, dimmedMoved = false, areaFits = false;
        QTimer poll;
        poll.setInterval(5);
        connect(&poll, &QTimer::timeout, this, [&] {
            auto* question = qobject_cast<ViewerDefaultDialog*>(QApplication::activeModalWidget());
            if (!question || !question->isVisible())
                return;
            poll.stop();
            const auto dimmed = [&] {
                // The backdrop follows the window on the next turn of the loop.
                QTest::qWait(50);
                const QImage window = m_reader->grab().toImage();
                const QImage shown = question->grab().toImage();
                const QRect area = placed("viewer_webview_scrollarea");
                return dimsWindowAt(window, shown, area.topLeft() + QPoint(40, 40))
                    && dimsWindowAt(window, shown, area.bottomRight() - QPoint(40, 40));
            };
            windowAsked = m_reader->geometry();
            questionAsked = question->geometry();
            areaFits = pageAreaFits();
            dimmedAsked = dimmed();
            if (moveTo.isValid()) {
                m_reader->showNormal();
                static_cast<void>(
                    QTest::qWaitFor([&] { return m_reader->size() != screen()->availableGeometry().size(); }, 3000));
                m_reader->setGeometry(moveTo);
                // Checked below, outside the question's loop.
                static_cast<void>(QTest::qWaitFor(
                    [&] { return m_reader->geometry() == moveTo && question->geometry() == moveTo; }, 3000));
                windowMoved = m_reader->geometry();
                questionMoved = question->geometry();
                dimmedMoved = dimmed();
            }
            QTest::mousePress(question->findChild<QPushButton*>(QStringLiteral("yes_button")), Qt::LeftButton);
        });
        poll.start();

        m_reader = std::make_unique<ViewerViewWindow>();
        m_reader->openBook(name);
        m_reader->showMaximized();
        m_reader->loadQuestion();
        QTRY_VERIFY_WITH_TIMEOUT(!poll.isActive() && m_reader->isPageReady(), 15000);
        QCOMPARE(m_reader->currentIndex(), 5);

        QCOMPARE(windowAsked, screen()->availableGeometry());
        QCOMPARE(questionAsked, windowAsked);
        QVERIFY(areaFits);
        QVERIFY(dimmedAsked);
        if (moveTo.isValid()) {
            QCOMPARE(windowMoved, moveTo);
            QCOMPARE(questionMoved, moveTo);
            QVERIFY(dimmedMoved);
        }
    }

    void pageAreaFollowsTheWindow_data()
    {
        QTest::addColumn<Change>("change");
        QTest::addColumn<bool>("pageShown"); // or the window is new and its first page not asked for
        QTest::newRow("maximised, before the first page") << Change::Maximise << false;
        QTest::newRow("maximised") << Change::Maximise << true;
        QTest::newRow("restored") << Change::Restore << true;
        QTest::newRow("full screen") << Change::FullScreen << true;
        QTest::newRow("resized while another window is active") << Change::ResizeInactive << true;
    }

    void pageAreaFollowsTheWindow()
    {
        QFETCH(Change, change);
        QFETCH(bool, pageShown);
        const QString name = lf::test::installCorpusBook(kBook);
        QVERIFY(lf::test::writeProgress(name, 1));
        m_reader = std::make_unique<ViewerViewWindow>();
        m_reader->openBook(name);
        m_reader->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_reader.get()));
        if (pageShown) {
            m_reader->loadQuestion();
            QTRY_VERIFY_WITH_TIMEOUT(m_reader->isPageReady(), 15000);
        }

        QWidget other;
        QSize target;
        switch (change) {
        case Change::Maximise:
            m_reader->showMaximized();
            target = screen()->availableGeometry().size();
            break;
        case Change::Restore:
            m_reader->showMaximized();
            QTRY_COMPARE(m_reader->size(), screen()->availableGeometry().size());
            m_reader->showNormal();
            QTRY_VERIFY(m_reader->size() != screen()->availableGeometry().size());
            target = QSize(900, 600);
            m_reader->resize(target);
            break;
        case Change::FullScreen:
            m_reader->showFullScreen();
            target = screen()->geometry().size();
            break;
        case Change::ResizeInactive:
            other.resize(200, 100);
            other.show();
            other.activateWindow();
            QTRY_VERIFY(other.isActiveWindow());
            target = QSize(1000, 700);
            m_reader->showNormal();
            m_reader->resize(target);
            break;
        }
        QTRY_COMPARE(m_reader->size(), target);
        QCOMPARE(child<QWidget>("centralwidget")->geometry(), m_reader->rect().adjusted(1, 1, -1, -1));
        QTRY_VERIFY(pageAreaFits());
        QCOMPARE(m_reader->isPageReady(), pageShown);
    }
};

LF_TEST_MAIN(TestReaderWindowSize)
#include "tst_readerwindowsize.moc"
