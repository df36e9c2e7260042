#include "reader/offscreenbookpage.h"

#include "reader/booknetworkaccessmanager.h"
#include "reader/bookpagesettings.h"

#include <QWebPage>
#include <QWebSettings>

void lf::confineOffscreenPage(QWebPage* page, const QString& bookDir, const QList<ObfuscatedFont>& fonts)
{
    auto* access = new BookNetworkAccessManager(page);
    access->setBookFolder(bookDir);
    access->setObfuscatedFonts(fonts);
    page->setNetworkAccessManager(access);
    lf::confineBookPageSettings(page->settings());
    page->settings()->setAttribute(QWebSettings::JavascriptEnabled, false);
}
