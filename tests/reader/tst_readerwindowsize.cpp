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
        QVERIFY(dimmedAsked);
        if (moveTo.isValid()) {
            QCOMPARE(windowMoved, moveTo);
            QCOMPARE(questionMoved, moveTo);
            QVERIFY(dimmedMoved);
        }
    }
};

LF_TEST_MAIN(TestReaderWindowSize)
#include "tst_readerwindowsize.moc"
