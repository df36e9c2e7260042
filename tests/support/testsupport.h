#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QtTest>

// Shared helpers for the test binaries: a private temporary-files location and
// user data location per test process (so the data directory never touches
// the user's), a trap that fails the run on any QObject::connect warning, and
// paths to test material.
namespace lf::test {

// Points TMPDIR and XDG_DATA_HOME at two fresh private folders side by side;
// called before the application exists.
void preparePrivateTempDir();
// Runs the test object with the connect-warning trap installed over QTest's
// own message handler, and, in a test with widgets, the web engine set up as
// the program sets it. Returns non-zero when a test failed or a trap fired.
// A check failing while a modal dialog or popup menu is open ends the process
// at once with exit code 1 (the dialog would otherwise wait forever).
int runTests(QObject* testObject, int argc, char** argv);

QString privateTempDir();
QString privateDataHome(); // holds the data directory
QString programPath(); // the built lumenfolio executable
QString buildDir(); // the top of the build tree (holds Resources/)
QString corpusDir(); // the corpus of real books (tests/data/corpus)
QString testDataDir(); // tests/data

// Copies a corpus book into `directory` and returns the copy's path.
QString copyCorpusBook(const QString& fileName, const QString& directory);
// Writes `content` to `path`, making the folders above it; false on any failure.
bool writeFile(const QString& path, const QByteArray& content);
// All corpus books, file names only.
QStringList corpusBooks();
// Removes the data directory with everything in it.
void clearDataDirectory();
// The import staging folders in the data directory.
QStringList stagingFolders();

// The real program as a child process, with this test's TMPDIR and
// XDG_DATA_HOME and an offscreen display. Standard output and error are merged.
class ProgramProcess : public QProcess
{
public:
    explicit ProgramProcess(QObject* parent = nullptr);
    ~ProgramProcess() override;
    void start(const QStringList& arguments);
    // Waits until the merged output contains `text`.
    bool waitForOutput(const QString& text, int timeoutMs = 15000);
    QString output();

private:
    QByteArray m_output;
};

} // namespace lf::test

#define LF_TEST_MAIN_WITH(ApplicationClass, TestObject)                                                                \
    int main(int argc, char** argv)                                                                                    \
    {                                                                                                                  \
        lf::test::preparePrivateTempDir();                                                                             \
        ApplicationClass app(argc, argv);                                                                              \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                                       \
        TestObject tc;                                                                                                 \
        QTEST_SET_MAIN_SOURCE_PATH                                                                                     \
        return lf::test::runTests(&tc, argc, argv);                                                                    \
    }

// For tests with widgets or web pages (run with QT_QPA_PLATFORM=offscreen).
#define LF_TEST_MAIN(TestObject) LF_TEST_MAIN_WITH(QApplication, TestObject)
// For tests without a GUI.
#define LF_TEST_CORE_MAIN(TestObject) LF_TEST_MAIN_WITH(QCoreApplication, TestObject)
