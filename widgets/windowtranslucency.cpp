#include "widgets/windowtranslucency.h"

#include <QGuiApplication>

#ifdef LF_HAVE_X11EXTRAS
#include <QX11Info>
#endif

bool lf::windowTranslucencyAvailable()
{
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("xcb")) {
#ifdef LF_HAVE_X11EXTRAS
        return QX11Info::isCompositingManagerRunning();
#else
        return false; // cannot ask the X server: the safe answer
#endif
    }
    // These desktops always compose their windows.
    return platform == QLatin1String("windows") || platform == QLatin1String("cocoa")
        || platform.startsWith(QLatin1String("wayland"));
}
