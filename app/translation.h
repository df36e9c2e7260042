#pragma once

class QCoreApplication;
class QTranslator;

namespace lf {

// Loads "Resources/lang_ko.qm" relative to the working directory and installs
// the translator whether or not the file was found (English texts remain then).
QTranslator* installTranslator(QCoreApplication* application);

} // namespace lf
