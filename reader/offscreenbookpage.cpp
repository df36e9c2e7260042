#include "reader/offscreenbookpage.h"

#include "reader/booknetworkaccessmanager.h"
#include "reader/bookpagesettings.h"
#include "reader/complextextpath.h"

#include <QWebPage>
#include <QWebSettings>

void lf::confineOffscreenPage(QWebPage* page, const QString& bookDir, const EpubData* book)
{
    auto* access = new BookNetworkAccessManager(page);
    access->setBookFolder(bookDir);
    if (book)
        access->setBook(*book);
    page->setNetworkAccessManager(access);
    QObject::connect(page, SIGNAL(loadStarted()), access, SLOT(startPage()));
    new ComplexTextPath(page);
    lf::confineBookPageSettings(page->settings());
    page->settings()->setAttribute(QWebSettings::JavascriptEnabled, false);
}
