#pragma once

class QApplication;
class QString;
class ViewerMainWindow;

namespace lf {

// The program: decides between first and second instance and runs the first
// instance's event loop. Returns the process exit code.
int runLumenfolio(int argc, char** argv);

// Application name, version, organisation domain and name.
void setApplicationIdentity();

// Translation, the "Fusion" style and the application font, in that order.
void configureLookAndLanguage(QApplication* application);

// Registers ":/default/font/ng.ttf" and makes its family the default font
// (9 pt, lightest weight, antialiased). Returns the family, empty on failure.
QString installApplicationFont();

// The one library window, for widgets that talk to it (list rows, hand-over).
ViewerMainWindow* libraryWindow();
void setLibraryWindow(ViewerMainWindow* window);

} // namespace lf
