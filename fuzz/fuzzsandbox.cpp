#include "fuzzsandbox.h"

#include <QDir>
#include <QDirIterator>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

namespace {
const QStringList kChain { QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("box") };

void dropMessage(QtMsgType, const QMessageLogContext&, const QString&) { }
} // namespace

FuzzSandbox::FuzzSandbox()
{
    QTemporaryDir top(QDir::tempPath() + QStringLiteral("/lf-fuzz-XXXXXX"));
    top.setAutoRemove(false);
    m_top = top.path();
    m_path = m_top + QLatin1Char('/') + kChain.join(QLatin1Char('/'));
    QDir().mkpath(m_path);
}

FuzzSandbox::~FuzzSandbox()
{
    QDir(m_top).removeRecursively();
}

QString FuzzSandbox::path() const
{
    return m_path;
}

void FuzzSandbox::clear() const
{
    QDir box(m_path);
    const QFileInfoList entries
        = box.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    for (const QFileInfo& entry : entries) {
        if (entry.isDir() && !entry.isSymLink())
            QDir(entry.filePath()).removeRecursively();
        else
            QFile::remove(entry.filePath());
    }
}

QStringList FuzzSandbox::escapedFiles() const
{
    QStringList escaped;
    QString level = m_top;
    for (const QString& expected : kChain) {
        const QStringList names
            = QDir(level).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
        for (const QString& name : names) {
            if (name != expected)
                escaped << level + QLatin1Char('/') + name;
        }
        level += QLatin1Char('/') + expected;
    }
    return escaped;
}

void silenceQtMessages()
{
    qInstallMessageHandler(dropMessage);
}

void failInvariant(const char* what, const QString& detail)
{
    std::fprintf(stderr, "invariant broken: %s: %s\n", what, qPrintable(detail));
    std::abort();
}
