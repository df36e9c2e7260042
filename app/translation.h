#pragma once

#include <QString>
#include <QStringList>

class QCoreApplication;
class QTranslator;

namespace lf {

// The program's translation file, as the program names it: a path relative to
// the folders of translationFolders().
inline const QString kTranslationFile = QStringLiteral("lang_ko.qm");

// Where the program's data files are looked for, first to last: "Resources"
// in the working directory (where the desktop entry starts the program), then
// "Resources" beside the program (a build tree), then the data folder the
// installation put beside the program's folder (bin/../share/lumenfolio, so an
// unpacked or moved installation finds its own), then the installed data
// folder. A folder may be named twice; the first hit wins.
QStringList translationFolders();

// The first of `folders` that holds `fileName`, joined with it; empty when
// none does.
QString findDataFile(const QString& fileName, const QStringList& folders);

// Loads the translation file from the first folder that holds it and installs
// the translator whether or not a file was found (English texts remain then).
// When it was found, Qt's own Korean texts are installed as well, so Qt's
// dialogs and menus speak the program's language. Returns the program's translator.
QTranslator* installTranslator(QCoreApplication* application);

} // namespace lf
