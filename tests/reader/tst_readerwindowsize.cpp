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

// The window's picture at `point` is dimmed in the question's: darker, but showing through.
bool dimsWindowAt(const QImage& window, const QImage& question, QPoint point)
{
    const int original = window.pixelColor(point).lightness();
    const int dimmed = question.pixelColor(point).lightness();
    return original > 100 && dimmed < original && dimmed > original / 2;
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

    // The question's backdrop is the whole window's picture, dimmed.
    bool backdropShowsTheWindow(QWidget* question)
    {
        QTest::qWait(50); // the picture follows the window on the next turn of the loop
        const QImage window = m_reader->grab().toImage();
        const QImage shown = question->grab().toImage();
        const QRect area = placed("viewer_webview_scrollarea");
        return dimsWindowAt(window, shown, area.topLeft() + QPoint(40, 40))
            && dimsWindowAt(window, shown, area.bottomRight() - QPoint(40, 40));
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
        bool dimmedAsked = false, dimmedMoved = false;
        QTimer poll;
        poll.setInterval(5);
        connect(&poll, &QTimer::timeout, this, [&] {
            auto* question = qobject_cast<ViewerDefaultDialog*>(QApplication::activeModalWidget());
            if (!question || !question->isVisible())
                return;
            poll.stop();
            windowAsked = m_reader->geometry();
            questionAsked = question->geometry();
            dimmedAsked = backdropShowsTheWindow(question);
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
                dimmedMoved = backdropShowsTheWindow(question);
            }
            QTest::mousePress(question->findChild<QPushButton*>(QStringLiteral("yes_button")), Qt::LeftButton);
        });
        poll.start();

        m_reader = std::make_unique<ViewerViewWindow>();
        m_reader->openBook(name);
        m_reader->showMaximized();
        m_reader->loadQuestion();
        QTRY_VERIFY_WITH_TIMEOUT(!poll.isActive() && m_reader->isPageReady(), 15000);

        QCOMPARE(windowAsked, screen()->availableGeometry());
        QCOMPARE(questionAsked, windowAsked);
        QVERIFY(dimmedAsked);
        if (moveTo.isValid()) {
            QCOMPARE(windowMoved, moveTo);
            QCOMPARE(questionMoved, moveTo);
            QVERIFY(dimmedMoved);
        }
    }

    void pageAreaFollowsTheWindow_data()
    {
        QTest::addColumn<int>("state"); // Qt::WindowState
        QTest::addColumn<QSize>("size"); // of a normal window
        QTest::addColumn<bool>("inactive"); // another window is active meanwhile
        QTest::addColumn<bool>("pageShown"); // or the window is new and its first page not asked for
        QTest::newRow("maximised, before the first page") << int(Qt::WindowMaximized) << QSize() << false << false;
        QTest::newRow("maximised") << int(Qt::WindowMaximized) << QSize() << false << true;
        QTest::newRow("full screen") << int(Qt::WindowFullScreen) << QSize() << false << true;
        QTest::newRow("resized") << int(Qt::WindowNoState) << QSize(900, 600) << false << true;
        QTest::newRow("resized while another window is active")
            << int(Qt::WindowNoState) << QSize(1000, 700) << true << true;
    }

    void pageAreaFollowsTheWindow()
    {
        QFETCH(int, state);
        QFETCH(QSize, size);
        QFETCH(bool, inactive);
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
        if (inactive) {
            other.show();
            other.activateWindow();
            QTRY_VERIFY(other.isActiveWindow());
        }
        m_reader->setWindowState(Qt::WindowState(state));
        if (size.isValid())
            m_reader->resize(size);
        else
            size = (state == Qt::WindowFullScreen ? screen()->geometry() : screen()->availableGeometry()).size();
        QTRY_COMPARE(m_reader->size(), size);
        QCOMPARE(child<QWidget>("centralwidget")->geometry(), m_reader->rect().adjusted(1, 1, -1, -1));
        QTRY_VERIFY(pageAreaFits());
        QCOMPARE(m_reader->isPageReady(), pageShown);
    }
};

LF_TEST_MAIN(TestReaderWindowSize)
#include "tst_readerwindowsize.moc"
