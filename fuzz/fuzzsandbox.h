#pragma once

#include <QString>

// A private folder for one fuzz process, made once and reused by every input.
// It sits a few levels below a folder of its own so that anything written
// outside it (a path climbing out with "..") shows up in escapedFiles().
class FuzzSandbox
{
public:
    FuzzSandbox();
    ~FuzzSandbox();
    FuzzSandbox(const FuzzSandbox&) = delete;
    FuzzSandbox& operator=(const FuzzSandbox&) = delete;

    // The folder the input may fill, with no trailing "/".
    QString path() const;
    // Empties the folder for the next input.
    void clear() const;
    // Entries between the top folder and the sandbox other than the chain of
    // folders leading down to it; empty while nothing escaped.
    QStringList escapedFiles() const;

private:
    QString m_top;
    QString m_path;
};

// Qt's debug output costs more than a parse; fuzz programs drop it.
void silenceQtMessages();
// Ends the process like a crash, so libFuzzer keeps the input that did it.
[[noreturn]] void failInvariant(const char* what, const QString& detail);
