#include "reader/offscreenbookpage.h"

#include "reader/booknetworkaccessmanager.h"

#include <QWebPage>
#include <QWebSettings>

void lf::confineOffscreenPage(QWebPage* page, const QString& bookDir)
{
    auto* access = new BookNetworkAccessManager(page);
    access->setBookFolder(bookDir);
    page->setNetworkAccessManager(access);
    QWebSettings* settings = page->settings();
    settings->setAttribute(QWebSettings::JavascriptEnabled, false);
    settings->setAttribute(QWebSettings::PluginsEnabled, false);
    settings->setAttribute(QWebSettings::LocalContentCanAccessFileUrls, false);
    settings->setAttribute(QWebSettings::LocalContentCanAccessRemoteUrls, false);
}
