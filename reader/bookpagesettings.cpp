#include "reader/bookpagesettings.h"

#include "reader/scripttimelimit.h"

#include <QWebSettings>

void lf::confineBookPageSettings(QWebSettings* settings)
{
    settings->setAttribute(QWebSettings::PluginsEnabled, false);
    settings->setAttribute(QWebSettings::LocalContentCanAccessFileUrls, false);
    settings->setAttribute(QWebSettings::LocalContentCanAccessRemoteUrls, false);
    settings->setAttribute(QWebSettings::OfflineStorageDatabaseEnabled, false);
    settings->setAttribute(QWebSettings::OfflineWebApplicationCacheEnabled, false);
}

void lf::setUpWebEngine()
{
    // The engine reads the limit when it starts, which asking for its settings does.
    limitScriptRunTime();
    QWebSettings* global = QWebSettings::globalSettings();
    // Plug-ins would run outside the page's confinement: they stay off.
    global->setAttribute(QWebSettings::PluginsEnabled, false);
    global->setAttribute(QWebSettings::JavascriptEnabled, true);
    QWebSettings::setMaximumPagesInCache(0);
    QWebSettings::setObjectCacheCapacities(10485760, 20971520, 31457280);
}
