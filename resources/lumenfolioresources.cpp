#include "resources/lumenfolioresources.h"

#include <QtGlobal>

// Q_INIT_RESOURCE must be used outside any namespace.
static void initCompiledResources()
{
    Q_INIT_RESOURCE(icons);
    Q_INIT_RESOURCE(scripts);
    Q_INIT_RESOURCE(font);
}

void lf::initResources()
{
    static bool done = false;
    if (!done) {
        initCompiledResources();
        done = true;
    }
}
