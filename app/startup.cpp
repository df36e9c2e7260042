#include "app/startup.h"

#include "app/handoff.h"
#include "app/instancelock.h"
#include "app/librarymigration.h"
#include "app/translation.h"
#include "base/appconstants.h"
#include "base/datadirectory.h"
#include "base/displaytext.h"
#include "library/viewermainwindow.h"
#include "reader/bookpagesettings.h"
#include "resources/lumenfolioresources.h"
#include "update/updatemessageform.h"
#include "widgets/viewerdefaultdialog.h"

#include <QApplication>
#include <QDebug>
#include <QFileInfo>
#include <QFont>
#include <QFontDatabase>
#include <QTimer>
#include <QUdpSocket>

#include <cstdio>

namespace {
ViewerMainWindow* g_libraryWindow = nullptr;

// The first instance runs with another working directory, so a relative
// path from the command line is made absolute before it travels.
QString bookPathArgument(const QStringList& arguments)
{
    if (arguments.size() < 2)
        return {};
    const QString path = arguments.at(1);
    const QFileInfo info(path);
    return info.isRelative() && info.exists() ? info.absoluteFilePath() : path;
}

// One line on standard error for whoever started the program: why this start
// ends, or why it cannot hand over.
void tellUser(const QString& line)
{
    std::fprintf(stderr, "lumenfolio: %s\n", qPrintable(lf::withControlsEscaped(line)));
    std::fflush(stderr);
}

// The program's own message dialog, for whoever started it from the desktop
// and never sees standard error. Logged once it is on the screen.
ViewerDefaultDialog* messageDialog(QWidget* window, const QString& title, const QString& message)
{
    auto* dialog = new ViewerDefaultDialog(window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    if (window) {
        dialog->setGeometry(window->geometry());
    } else {
        // Nothing to dim behind it: a plain box instead of a see-through backdrop.
        dialog->setAttribute(Qt::WA_TranslucentBackground, false);
    }
    dialog->showMessage(title, QString(), message);
    QTimer::singleShot(0, dialog, [dialog, title, message] {
        if (dialog->isVisible())
            qInfo().noquote() << "message shown:" << title << "/" << message;
    });
    return dialog;
}

// This start cannot go on because the data directory cannot be used: said on
// standard error and in a dialog, which the program waits for before it ends.
int failOnDataDirectory(QApplication* application, const QString& line)
{
    tellUser(line);
    lf::configureLookAndLanguage(application);
    const QString message = QCoreApplication::translate("Startup",
        "The library folder cannot be used:\n%1\n\nFree some space on the disk, or make the folder writable, "
        "then start the program again.")
                                .arg(line);
    messageDialog(nullptr, QCoreApplication::translate("Startup", "The program cannot start"), message)->exec();
    return 1;
}

// The first instance is running. Returns the exit code, or -1 when that
// instance ended meanwhile and this process has become the first instance.
int handOverToFirstInstance(const QString& path, InstanceLock& lock)
{
    // Without a book the running window is asked to come forward.
    if (path.isEmpty())
        qDebug() << "non argument";
    switch (lf::handOverWhenReady(path, lock)) {
    case lf::HandoffOutcome::Sent:
        tellUser(path.isEmpty() ? QStringLiteral("already running, no book given: its window is raised")
                                : QStringLiteral("already running, handed over %1").arg(path));
        return 0;
    case lf::HandoffOutcome::BecameFirst:
        return -1;
    case lf::HandoffOutcome::LockFailed:
        tellUser(lock.errorString());
        return 1;
    case lf::HandoffOutcome::TimedOut:
        break;
    }
    tellUser(QStringLiteral("already running, but it did not get ready to receive %1 within %2 seconds")
                 .arg(path)
                 .arg(lf::kHandoffWaitMs / 1000));
    return 1;
}
} // namespace

ViewerMainWindow* lf::libraryWindow()
{
    return g_libraryWindow;
}

void lf::setLibraryWindow(ViewerMainWindow* window)
{
    g_libraryWindow = window;
}

QString lf::installApplicationFont()
{
    const int id = QFontDatabase::addApplicationFont(QStringLiteral(":/default/font/ng.ttf"));
    const QStringList families = QFontDatabase::applicationFontFamilies(id);
    if (families.isEmpty())
        return {};
    QFont font(families.first(), 9, QFont::Thin, false);
    font.setStyleStrategy(QFont::PreferAntialias);
    QApplication::setFont(font);
    return families.first();
}

void lf::setApplicationIdentity()
{
    QCoreApplication::setApplicationName(kApplicationName);
    QCoreApplication::setApplicationVersion(kVersion);
    QCoreApplication::setOrganizationDomain(kOrganizationDomain);
    QCoreApplication::setOrganizationName(kOrganizationName);
}

void lf::configureLookAndLanguage(QApplication* application)
{
    installTranslator(application);
    QApplication::setStyle(QStringLiteral("Fusion"));
    installApplicationFont();
}

int lf::runLumenfolio(int argc, char** argv)
{
    // Book text (titles, file names, a page's console) reaches the log.
    escapeControlsInLog();
    lf::dataDirectory(); // fixed before the application object exists
    QApplication app(argc, argv);
    setApplicationIdentity();
    const QString bookPath = bookPathArgument(QCoreApplication::arguments());
    qDebug() << dataDirectory();
    lf::initResources();

    static InstanceLock lock;
    if (!lock.tryAcquire()) {
        if (lock.hasFailed())
            return failOnDataDirectory(&app, lock.errorString());
        const int handedOver = handOverToFirstInstance(bookPath, lock);
        if (handedOver >= 0)
            return handedOver;
        qDebug() << "the running instance ended; starting as the first instance";
    }

    // Published as soon as the port is bound: hand-overs wait in the socket
    // until the library window reads them, however long the bookcase takes.
    QUdpSocket* socket = openHandoffSocket();
    if (!socket) {
        tellUser(QStringLiteral("no hand-over port free in %1 to %2, later starts cannot hand over")
                     .arg(kFirstHandoffPort)
                     .arg(kLastHandoffPort));
    } else if (!publishHandoff(socket)) {
        delete socket;
        const QString problem = dataDirectoryWriteProblem();
        return failOnDataDirectory(&app,
            QStringLiteral("cannot write the port file %1: %2")
                .arg(portFilePath(), problem.isEmpty() ? QStringLiteral("reason unknown") : problem));
    }
    setHandoffSocket(socket);
    // Before the bookcase loads, and only by the instance that holds the lock.
    const QList<LibraryMove> moves = moveOldLibraries();
    configureLookAndLanguage(&app);
    // Before the first web page; a start that only hands over never starts the engine.
    lf::setUpWebEngine();

    auto* window = new ViewerMainWindow();
    g_libraryWindow = window;
    window->show();
    const QString leftBehind = leftBehindMessage(moves);
    if (!leftBehind.isEmpty())
        messageDialog(window, leftBehindTitle(), leftBehind)->open();
    if (kWithUpdateCheck) {
        auto* updateForm = new UpdateMessageForm(window->centralWidget());
        updateForm->setGeometry(window->centralWidget()->geometry());
    }
    qDebug().noquote() << "update check:" << (kWithUpdateCheck ? kUpdateVersionFileUrl : QStringLiteral("off"));
    qDebug() << "first instance started";

    if (!bookPath.isEmpty())
        window->fileUnzipAndEncyption(bookPath, true);

    const int result = app.exec();
    // Later starts stop handing over from here on and wait for the lock instead.
    setHandoffSocket(nullptr);
    delete socket;
    g_libraryWindow = nullptr;
    delete window;
    return result;
}
