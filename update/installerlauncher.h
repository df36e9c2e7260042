#pragma once

#include <QString>

// Starting a downloaded installer. On systems with an executable bit the file
// is first made executable by its owner; the process is detached so that it
// keeps running after the reader has ended.
namespace lf::update {

// Returns false when the program could not be started.
bool startInstaller(const QString& filePath);

// The pause between starting the installer and ending the application, so
// that the installer is up before the reader's window disappears.
void pauseBeforeExit();

} // namespace lf::update
