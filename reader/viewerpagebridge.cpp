#include "reader/viewerpagebridge.h"

#include <QEvent>

ViewerPageBridge::ViewerPageBridge(QObject* reader, QObject* parent)
    : QObject(parent)
    , m_reader(reader)
{ }

void ViewerPageBridge::webviewShowMemo(QString class_name)
{
    if (m_reader)
        QMetaObject::invokeMethod(m_reader, "webviewShowMemo", Q_ARG(QString, class_name));
}

bool ViewerPageBridge::event(QEvent* event)
{
    if (event->type() == QEvent::DeferredDelete)
        return true;
    return QObject::event(event);
}
