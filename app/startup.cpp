#include "app/startup.h"

#include "app/appconstants.h"
#include "app/datadirectory.h"
#include "app/handoff.h"
#include "app/instancelock.h"
#include "app/translation.h"
#include "library/viewermainwindow.h"
#include "resources/lumenfolioresources.h"
#include "update/updatemessageform.h"

#include <QApplication>
#include <QDebug>
#include <QFileInfo>
#include <QFont>
#include <QFontDatabase>
#include <QUdpSocket>

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

int handOverToFirstInstance(const QString& path)
{
    if (path.isEmpty()) {
        qDebug() << "non argument";
        return 0;
    }
    const quint16 port = lf::readPortFile();
    qDebug() << port;
    lf::sendHandoff(path, port);
    return 0;
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
    lf::dataDirectory(); // fixed before the application object exists
    QApplication app(argc, argv);
    setApplicationIdentity();
    const QString bookPath = bookPathArgument(QCoreApplication::arguments());
    qDebug() << dataDirectory();
    lf::initResources();

    static InstanceLock lock;
    if (!lock.tryAcquire())
        return handOverToFirstInstance(bookPath);

    QUdpSocket* socket = bindHandoffSocket();
    setHandoffSocket(socket);
    configureLookAndLanguage(&app);

    auto* window = new ViewerMainWindow();
    g_libraryWindow = window;
    window->show();
    auto* updateForm = new UpdateMessageForm(window->centralWidget());
    updateForm->setGeometry(window->centralWidget()->geometry());
    qDebug() << "first instance started";

    if (!bookPath.isEmpty())
        window->fileUnzipAndEncyption(bookPath, true);

    const int result = app.exec();
    g_libraryWindow = nullptr;
    delete window;
    return result;
}
