#include "update/installerlauncher.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>

namespace {
constexpr unsigned long kPauseBeforeExitMs = 1000;
}

bool lf::update::startInstaller(const QString& filePath, QString* errorText)
{
    const QString program = QFileInfo(filePath).canonicalFilePath();
    if (program.isEmpty()) {
        *errorText = QStringLiteral("%1: No such file").arg(filePath);
        return false;
    }
#ifndef Q_OS_WIN
    QFile::setPermissions(program, QFile::permissions(program) | QFileDevice::ExeOwner);
#endif
    QProcess process;
    process.setProgram(program);
    if (process.startDetached())
        return true;
    *errorText = process.errorString();
    return false;
}

void lf::update::pauseBeforeExit()
{
    QThread::msleep(kPauseBeforeExitMs);
}
