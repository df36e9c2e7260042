#include "reader/viewerwebpage.h"

#include "reader/booknetworkaccessmanager.h"

#include <QDebug>

ViewerWebPage::ViewerWebPage(QObject* parent)
    : QWebPage(parent)
    , book_access(new BookNetworkAccessManager(this))
{
    setNetworkAccessManager(book_access);
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
    qDebug().noquote() << tr("javaScriptAlert : %1").arg(msg);
    QWebPage::javaScriptAlert(frame, msg);
}

bool ViewerWebPage::javaScriptConfirm(QWebFrame* frame, const QString& msg)
{
    qDebug().noquote() << tr("javaScriptConfirm : %1").arg(msg);
    return QWebPage::javaScriptConfirm(frame, msg);
}

void ViewerWebPage::javaScriptConsoleMessage(const QString& message, int lineNumber, const QString& sourceID)
{
    qDebug().noquote() << tr("javascript console source ID : %1,  line : %2 , message :%3")
                              .arg(sourceID, QString::number(lineNumber), message);
}
