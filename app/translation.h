#pragma once

class QCoreApplication;
class QTranslator;

namespace lf {

// Loads "Resources/lang_ko.qm" relative to the working directory and installs
// the translator whether or not the file was found (English texts remain then).
// When it was found, Qt's own Korean texts are installed as well, so Qt's
// dialogs and menus speak the program's language. Returns the program's translator.
QTranslator* installTranslator(QCoreApplication* application);

} // namespace lf
