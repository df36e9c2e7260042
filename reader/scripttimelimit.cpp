#include "reader/scripttimelimit.h"

#include <QAbstractEventDispatcher>
#include <QByteArray>
#include <QThread>
#include <QTimerEvent>

#include <cstring>

namespace {

QThread* gui_thread = nullptr;

// The engine never asks QWebPage::shouldInterruptJavaScript(); its script
// watchdog, turned on by the JSC_watchdog option, does end long runs. For each
// run it arms one timer through its work queue: an object in a thread of its
// own with a coarse Qt timer, which may fire up to a twentieth of its interval
// and a millisecond early. The watchdog takes such an early wake-up for a
// stale one and never arms again, and the script runs on for ever (6 of 10
// runs). Holding that timer's event back by the largest error makes every
// wake-up come after the deadline (10 of 10 runs ended after 3.0-3.4 s).
// The engine is built without type information, so the undefined-behaviour
// sanitizer cannot tell its objects' dynamic type and would stop at the
// receiver's first member call: that check is left out here.
__attribute__((no_sanitize("vptr"))) bool holdBackEngineTimer(void** data)
{
    auto* event = static_cast<QEvent*>(data[1]);
    if (event->type() != QEvent::Timer || QThread::currentThread() == gui_thread)
        return false;
    auto* receiver = static_cast<QObject*>(data[0]);
    if (std::strcmp(receiver->metaObject()->className(), "WTF::WorkQueue::WorkItemQt") != 0)
        return false;
    const int id = static_cast<QTimerEvent*>(event)->timerId();
    for (const QAbstractEventDispatcher::TimerInfo& timer :
        QAbstractEventDispatcher::instance()->registeredTimers(receiver)) {
        if (timer.timerId == id)
            QThread::msleep(static_cast<unsigned long>(timer.interval / 20 + 2));
    }
    return false; // delivered as usual
}

} // namespace

void lf::limitScriptRunTime()
{
    if (gui_thread)
        return;
    gui_thread = QThread::currentThread();
    qputenv("JSC_watchdog", QByteArray::number(kScriptTimeLimitMs));
    QInternal::registerCallback(QInternal::EventNotifyCallback, holdBackEngineTimer);
}
