#include "testsupport.h"

#include "base/bookname.h"
#include "base/datadirectory.h"
#include "reader/bookpagesettings.h"
#include "resources/lumenfolioresources.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <cstdlib>

namespace {
QtMessageHandler g_testlibHandler = nullptr;
bool g_connectWarningSeen = false;
QString g_privateRoot; // holds the two below
QString g_privateTempDir;
QString g_privateDataHome;

bool isConnectWarning(const QString& message)
{
    return message.startsWith(QLatin1String("QObject::connect"))
        || message.startsWith(QLatin1String("QObject::disconnect"));
}

void trapConnectWarnings(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (g_testlibHandler)
        g_testlibHandler(type, context, message);
    if (isConnectWarning(message)) {
        g_connectWarningSeen = true;
        std::fprintf(stderr, "FAIL! a connection failed: %s\n", qPrintable(message));
        QTest::qFail("QObject::connect warning", __FILE__, __LINE__);
    }
}

void removePrivateTempDir()
{
    if (!g_privateRoot.isEmpty())
        QDir(g_privateRoot).removeRecursively();
}

// The modal dialog or popup menu whose own event loop is running, if any.
QWidget* openModalWidget()
{
    if (QWidget* popup = QApplication::activePopupWidget())
        return popup;
    return QApplication::activeModalWidget();
}

// A check that fails inside a modal dialog's or a popup menu's event loop
// returns only from the callback it ran in: the dialog stays open and the test
// would wait for it until ctest's time-out. Such a failure ends the run at once.
void endRunWhenCheckFailedInsideModalLoop()
{
    if (!QTest::currentTestFailed())
        return;
    QWidget* modal = openModalWidget();
    if (!modal)
        return;
    const char* dataTag = QTest::currentDataTag();
    std::fprintf(stderr, "FAIL! %s(%s) failed while %s \"%s\" was open: the run ends here\n",
        QTest::currentTestFunction(), dataTag ? dataTag : "", modal->metaObject()->className(),
        qPrintable(modal->objectName()));
    std::fflush(stdout);
    std::fflush(stderr);
    removePrivateTempDir();
    // No clean shutdown: the dialog's event loop is still on the stack.
    std::_Exit(1);
}

void watchForFailuresInsideModalLoops()
{
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return;
    auto* watch = new QTimer(QCoreApplication::instance());
    watch->setInterval(50);
    QObject::connect(watch, &QTimer::timeout, &endRunWhenCheckFailedInsideModalLoop);
    watch->start();
}
} // namespace

void lf::test::preparePrivateTempDir()
{
    QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/lf-test-XXXXXX"));
    dir.setAutoRemove(false);
    g_privateRoot = dir.path();
    g_privateTempDir = g_privateRoot + QStringLiteral("/tmp");
    g_privateDataHome = g_privateRoot + QStringLiteral("/data");
    QDir().mkpath(g_privateTempDir);
    QDir().mkpath(g_privateDataHome);
    qputenv("TMPDIR", QFile::encodeName(g_privateTempDir));
    qputenv("XDG_DATA_HOME", QFile::encodeName(g_privateDataHome));
    std::atexit(removePrivateTempDir);
}

int lf::test::runTests(QObject* testObject, int argc, char** argv)
{
    lf::initResources();
    // Pages in tests run with the engine set up as the program sets it.
    if (qobject_cast<QApplication*>(QCoreApplication::instance()))
        lf::setUpWebEngine();
    QTest::qInit(testObject, argc, argv);
    g_testlibHandler = qInstallMessageHandler(trapConnectWarnings);
    watchForFailuresInsideModalLoops();
    int failures = QTest::qRun();
    qInstallMessageHandler(g_testlibHandler);
    QTest::qCleanup();
    if (g_connectWarningSeen && failures == 0)
        failures = 1;
    return failures;
}

QString lf::test::privateTempDir()
{
    return g_privateTempDir;
}

QString lf::test::privateDataHome()
{
    return g_privateDataHome;
}

QString lf::test::programPath()
{
    return QStringLiteral(LF_PROGRAM_PATH);
}

QString lf::test::buildDir()
{
    return QStringLiteral(LF_BUILD_DIR);
}

QString lf::test::corpusDir()
{
    return QStringLiteral(LF_CORPUS_DIR);
}

QString lf::test::testDataDir()
{
    return QStringLiteral(LF_TEST_DATA_DIR);
}

QStringList lf::test::corpusBooks()
{
    return QDir(corpusDir()).entryList({ QStringLiteral("*.epub") }, QDir::Files, QDir::Name);
}

QString lf::test::copyCorpusBook(const QString& fileName, const QString& directory)
{
    QDir().mkpath(directory);
    const QString target = directory + QLatin1Char('/') + fileName;
    QFile::remove(target);
    if (!QFile::copy(corpusDir() + QLatin1Char('/') + fileName, target))
        return {};
    QFile::setPermissions(target, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return target;
}

bool lf::test::writeFile(const QString& path, const QByteArray& content)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) == content.size();
}

void lf::test::clearDataDirectory()
{
    QDir(lf::dataDirectory()).removeRecursively();
}

QStringList lf::test::stagingFolders()
{
    return QDir(lf::dataDirectory())
        .entryList({ lf::kStagingFolderPrefix + QLatin1Char('*') }, QDir::AllEntries | QDir::Hidden);
}

lf::test::ProgramProcess::ProgramProcess(QObject* parent)
    : QProcess(parent)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TMPDIR"), privateTempDir());
    env.insert(QStringLiteral("XDG_DATA_HOME"), privateDataHome());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    setProcessEnvironment(env);
    setProcessChannelMode(QProcess::MergedChannels);
    setWorkingDirectory(buildDir());
}

lf::test::ProgramProcess::~ProgramProcess()
{
    if (state() != QProcess::NotRunning) {
        kill();
        waitForFinished(5000);
    }
}

void lf::test::ProgramProcess::start(const QStringList& arguments)
{
    QProcess::start(programPath(), arguments);
}

bool lf::test::ProgramProcess::waitForOutput(const QString& text, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!output().contains(text)) {
        if (deadline.hasExpired())
            return false;
        if (state() == QProcess::NotRunning)
            return output().contains(text);
        waitForReadyRead(50);
    }
    return true;
}

QString lf::test::ProgramProcess::output()
{
    m_output += readAll();
    return QString::fromUtf8(m_output);
}
