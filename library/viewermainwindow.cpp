#include "library/viewermainwindow.h"

#include "app/handoff.h"

#include <QDebug>
#include <QUdpSocket>

ViewerMainWindow::ViewerMainWindow(QWidget* parent)
    : QMainWindow(parent, Qt::FramelessWindowHint)
{
    setWindowTitle(tr("Lumenfolio Epub Viewer"));
    resize(802, 642);
    if (QUdpSocket* socket = lf::handoffSocket())
        connect(socket, SIGNAL(readyRead()), this, SLOT(udpReadyReadEvent()));
}

void ViewerMainWindow::openEpubViewer(QString file_path)
{
    qDebug().noquote() << "open requested:" << file_path;
}

void ViewerMainWindow::fileUnzipAndEncyption(QString file_path, bool must_open)
{
    qDebug().noquote() << "import requested:" << file_path << must_open;
}

void ViewerMainWindow::udpReadyReadEvent()
{
    QString path;
    if (!lf::receiveHandoff(lf::handoffSocket(), &path))
        return;
    qDebug().noquote() << "hand-over received:" << path;
    activateWindow();
    fileUnzipAndEncyption(path, true);
}
