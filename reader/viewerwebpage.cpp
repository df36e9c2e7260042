#include "reader/viewerwebpage.h"

#include "base/displaytext.h"
#include "reader/booknetworkaccessmanager.h"
#include "reader/complextextpath.h"
#include "reader/pagescript.h"

#include <QDebug>
#include <QNetworkRequest>
#include <QWebFrame>

ViewerWebPage::ViewerWebPage(QObject* parent)
    : QWebPage(parent)
    , book_access(new BookNetworkAccessManager(this))
{
    setNetworkAccessManager(book_access);
    // Ahead of every other listener to the page's loads.
    new ComplexTextPath(this);
    connect(this, SIGNAL(loadStarted()), book_access, SLOT(startPage()));
    watchFrame(mainFrame());
    connect(this, SIGNAL(frameCreated(QWebFrame*)), this, SLOT(watchFrame(QWebFrame*)));
    connect(this, SIGNAL(loadFinished(bool)), this, SLOT(endReaderNavigation()));
}

// A permission the reader gave and the engine did not use (a load of the
// document already shown) is not left for a book's script.
void ViewerWebPage::endReaderNavigation()
{
    reader_navigation = false;
}

void ViewerWebPage::watchFrame(QWebFrame* frame)
{
    connect(frame, SIGNAL(javaScriptWindowObjectCleared()), this, SLOT(lockDownFrame()));
}

// Gone before any script of the document runs: sockets, the one way out of a
// page that bypasses the access manager, and Web SQL, whose openDatabase()
// writes the engine's database list into the working directory even with
// offline databases turned off.
void ViewerWebPage::lockDownFrame()
{
    auto* frame = qobject_cast<QWebFrame*>(sender());
    if (!frame)
        return;
    frame->evaluateJavaScript(QStringLiteral(
        "['WebSocket', 'openDatabase'].forEach(function (name) {"
        "  Object.defineProperty(window, name, {value: undefined, writable: false, configurable: false});"
        "});"));
    frame->evaluateJavaScript(lf::PageScript::readingSystem());
    frame->evaluateJavaScript(lf::PageScript::domAdditions());
}

// The hit test reaches into inline frames: a link inside one is found too.
bool ViewerWebPage::isUserClickOn(const QUrl& url) const
{
    return user_click && mainFrame()->hitTestContent(*user_click).linkUrl() == url;
}

QWebElement ViewerWebPage::userClickLink() const
{
    return user_click ? mainFrame()->hitTestContent(*user_click).linkElement() : QWebElement();
}

bool ViewerWebPage::acceptNavigationRequest(QWebFrame* frame, const QNetworkRequest& request, NavigationType type)
{
    // Links the user clicked are handed to the view (all links are
    // delegated); a script's click would hand any address to the desktop.
    if (type == NavigationTypeLinkClicked) {
        if (isUserClickOn(request.url()))
            return QWebPage::acceptNavigationRequest(frame, request, type);
        qDebug().noquote() << "link not followed without the user's click:" << request.url().toString();
        return false;
    }
    // Sub-frames stay inside the page.
    if (frame != mainFrame() || request.url().toString() == QLatin1String("about:blank"))
        return QWebPage::acceptNavigationRequest(frame, request, type);
    if (reader_navigation) {
        reader_navigation = false;
        return QWebPage::acceptNavigationRequest(frame, request, type);
    }
    // A script, a refresh or a form would put another document under the
    // reader's page number: refused, and offered to the reader as a page turn.
    qDebug().noquote() << "navigation refused:" << request.url().toString();
    emit navigationRefused(request.url());
    return false;
}

bool ViewerWebPage::supportsExtension(Extension extension) const
{
    return extension == ErrorPageExtension || QWebPage::supportsExtension(extension);
}

QString ViewerWebPage::errorPageHtml(const ErrorPageExtensionOption& error)
{
    QString domain;
    switch (error.domain) {
    case QtNetwork:
        domain = QStringLiteral("QT network layer, code is: ");
        break;
    case Http:
        domain = QStringLiteral("HTTP layer, HTTP error code is: ");
        break;
    case WebKit:
        domain = QStringLiteral("WebKit internals, error code is: ");
        break;
    default:
        domain = QStringLiteral("Unknown domain, error code is: ");
        break;
    }
    // The address and the error text come from the book: escape them.
    return QStringLiteral("<html><body><h1>") + QStringLiteral("Page loading error, URL: ")
        + error.url.toString().toHtmlEscaped() + QStringLiteral("</h1><h3>Error occurred in the ") + domain
        + QString::number(error.error) + QStringLiteral("</h3><h4><br>Error text: ") + error.errorString.toHtmlEscaped()
        + QStringLiteral("</h4></body></html>");
}

bool ViewerWebPage::extension(Extension extension, const ExtensionOption* option, ExtensionReturn* output)
{
    if (extension != ErrorPageExtension || !option || !output)
        return false;
    const auto* error = static_cast<const ErrorPageExtensionOption*>(option);
    auto* page = static_cast<ErrorPageExtensionReturn*>(output);
    page->baseUrl = error->url;
    page->content = errorPageHtml(*error).toUtf8();
    return true;
}

void ViewerWebPage::javaScriptAlert(QWebFrame* frame, const QString& msg)
{
    qDebug().noquote() << tr("javaScriptAlert : %1").arg(lf::withControlsEscaped(msg));
    QWebPage::javaScriptAlert(frame, msg);
}

bool ViewerWebPage::javaScriptConfirm(QWebFrame* frame, const QString& msg)
{
    qDebug().noquote() << tr("javaScriptConfirm : %1").arg(lf::withControlsEscaped(msg));
    return QWebPage::javaScriptConfirm(frame, msg);
}

void ViewerWebPage::javaScriptConsoleMessage(const QString& message, int lineNumber, const QString& sourceID)
{
    qDebug().noquote() << tr("javascript console source ID : %1,  line : %2 , message :%3")
                              .arg(lf::withControlsEscaped(sourceID), QString::number(lineNumber),
                                  lf::withControlsEscaped(message));
}
