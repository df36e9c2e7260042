#include "reader/viewerpagebridge.h"

ViewerPageBridge::ViewerPageBridge(QObject* reader, QObject* parent)
    : QObject(parent)
    , m_reader(reader)
{ }

void ViewerPageBridge::webviewShowMemo(QString class_name)
{
    if (m_reader)
        QMetaObject::invokeMethod(m_reader, "webviewShowMemo", Q_ARG(QString, class_name));
}
