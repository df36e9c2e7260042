#pragma once

#include "base/datadirectory.h"
#include "bench/benchsupport.h"
#include "reader/bookpagesettings.h"
#include "resources/lumenfolioresources.h"

#include <QApplication>
#include <QTemporaryDir>

namespace lf::bench {

// A benchmark's application: its temporary-files and data locations private
// to this run (set before the application object exists), the program's
// resources registered, the engine set up as the program sets it and the
// data directory made.
class BenchApplication
{
public:
    BenchApplication(int& argc, char** argv)
        : m_locations(m_scratch.path())
        , m_app(argc, argv)
    {
        lf::initResources();
        lf::setUpWebEngine();
        lf::ensureDataDirectory();
    }

private:
    struct PrivateLocations
    {
        explicit PrivateLocations(const QString& scratch) { usePrivateLocations(scratch); }
    };

    QTemporaryDir m_scratch;
    PrivateLocations m_locations;
    QApplication m_app;
};

} // namespace lf::bench
