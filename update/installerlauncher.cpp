#include "update/installerlauncher.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>

namespace {
constexpr unsigned long kPauseBeforeExitMs = 1000;
}

bool lf::update::startInstaller(const QString& filePath)
{
    const QString program = QFileInfo(filePath).canonicalFilePath();
    if (program.isEmpty())
        return false;
#ifndef Q_OS_WIN
    QFile::setPermissions(program, QFile::permissions(program) | QFileDevice::ExeOwner);
#endif
    return QProcess::startDetached(program, {});
}

void lf::update::pauseBeforeExit()
{
    QThread::msleep(kPauseBeforeExitMs);
}
