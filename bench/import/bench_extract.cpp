// Extraction speed: a large EPUB built at run time from a corpus book (its
// documents and images copied many times over) is extracted by the program's
// routine and by the unzip tool, several times each. Prints both medians and
// their ratio, twice: into one folder removed before each run, then into a
// fresh folder for each run, nothing removed until the end. On an ext4 file
// system without a journal a new file skips, one by one, the inodes of its
// block group freed in the last minutes, so a tree removed just before a run
// costs both programs alike on every file they make.
#include "import/unzipthread.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

const QString kSourceBook = QStringLiteral("guide-des-vins-images.epub");
constexpr int kMinimumEntries = 1000;
constexpr qint64 kMinimumBytes = 20 * 1024 * 1024;
constexpr int kRuns = 5;

double median(QVector<double> values)
{
    std::sort(values.begin(), values.end());
    const int n = values.size();
    return n % 2 ? values.at(n / 2) : (values.at(n / 2 - 1) + values.at(n / 2)) / 2.0;
}

bool run(const QString& program, const QStringList& arguments, const QString& workingDir = {})
{
    QProcess process;
    process.setWorkingDirectory(workingDir);
    process.start(program, arguments);
    return process.waitForFinished(600000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// Every file below `dir` except the mimetype and the container is copied into
// `copies` numbered folders next to it, so the package still reads as a book.
void multiplyContent(const QString& dir, int copies)
{
    QStringList files;
    QDirIterator it(dir, QDir::Files, QDirIterator::Subdirectories);
    const QDir base(dir);
    while (it.hasNext()) {
        const QString relative = base.relativeFilePath(it.next());
        if (relative != QLatin1String("mimetype") && !relative.startsWith(QLatin1String("META-INF/")))
            files << relative;
    }
    for (int copy = 1; copy < copies; ++copy) {
        for (const QString& relative : qAsConst(files)) {
            const QString target = dir + QStringLiteral("/copy%1/").arg(copy) + relative;
            QDir().mkpath(QFileInfo(target).path());
            QFile::copy(dir + QLatin1Char('/') + relative, target);
        }
    }
}

struct Archive
{
    QString path;
    int entries = 0;
    qint64 bytes = 0;
};

Archive buildLargeArchive(const QString& workDir)
{
    const QString source = workDir + QStringLiteral("/source");
    if (!UnzipThread::extractArchive(QStringLiteral(LF_CORPUS_DIR "/") + kSourceBook, source + QLatin1Char('/')))
        return {};
    qint64 bookBytes = 0;
    int bookFiles = 0;
    QDirIterator it(source, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        bookBytes += it.fileInfo().size();
        ++bookFiles;
    }
    const int copies = std::max(kMinimumEntries / bookFiles + 1, int(kMinimumBytes / bookBytes) + 1);
    multiplyContent(source, copies);

    Archive archive;
    archive.path = workDir + QStringLiteral("/large.epub");
    // The mimetype first and stored, the rest deflated, as a packager writes it.
    if (!run(QStringLiteral("zip"),
            { QStringLiteral("-q"), QStringLiteral("-X"), QStringLiteral("-0"), archive.path,
                QStringLiteral("mimetype") },
            source)
        || !run(QStringLiteral("zip"),
            { QStringLiteral("-q"), QStringLiteral("-X"), QStringLiteral("-r"), archive.path, QStringLiteral("."),
                QStringLiteral("-x"), QStringLiteral("mimetype") },
            source))
        return {};
    QDirIterator all(source, QDir::AllEntries | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (all.hasNext()) {
        all.next();
        ++archive.entries;
        if (all.fileInfo().isFile())
            archive.bytes += all.fileInfo().size();
    }
    return archive;
}

// Milliseconds the program's routine takes to extract `archive` into
// `target`; negative when it does not complete.
double timeExtraction(const QString& archive, const QString& target)
{
    QElapsedTimer timer;
    timer.start();
    if (!UnzipThread::extractArchive(archive, target + QLatin1Char('/'))) {
        std::fprintf(stderr, "extraction did not complete\n");
        return -1;
    }
    return timer.nsecsElapsed() / 1e6;
}

// The same for the unzip tool.
double timeTool(const QString& archive, const QString& target)
{
    QElapsedTimer timer;
    timer.start();
    if (!run(QStringLiteral("unzip"),
            { QStringLiteral("-o"), QStringLiteral("-q"), archive, QStringLiteral("-d"), target })) {
        std::fprintf(stderr, "unzip failed\n");
        return -1;
    }
    return timer.nsecsElapsed() / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir workDir;
    std::printf("Building a large EPUB from %s...\n", qPrintable(kSourceBook));
    const Archive archive = buildLargeArchive(workDir.path());
    if (archive.path.isEmpty()) {
        std::fprintf(stderr, "could not build the archive (is the zip tool installed?)\n");
        return 1;
    }
    std::printf("archive: %d entries, %.1f MB uncompressed, %.1f MB on disk\n", archive.entries,
        archive.bytes / 1048576.0, QFileInfo(archive.path).size() / 1048576.0);

    // Into fresh folders first, while this run has removed nothing yet.
    QVector<double> oursFresh;
    QVector<double> toolFresh;
    for (int round = -1; round < kRuns; ++round) {
        const QString fresh = workDir.path() + QStringLiteral("/fresh%1").arg(round + 1);
        const double oursMs = timeExtraction(archive.path, fresh + QStringLiteral("-ours"));
        const double toolMs = timeTool(archive.path, fresh + QStringLiteral("-tool"));
        if (oursMs < 0 || toolMs < 0)
            return 1;
        if (round >= 0) {
            oursFresh << oursMs;
            toolFresh << toolMs;
        }
    }

    QVector<double> ours;
    QVector<double> tool;
    const QString target = workDir.path() + QStringLiteral("/out");
    // One untimed round each warms the page cache; then the two alternate.
    for (int round = -1; round < kRuns; ++round) {
        QDir(target).removeRecursively();
        const double oursMs = timeExtraction(archive.path, target);
        QDir(target).removeRecursively();
        const double toolMs = timeTool(archive.path, target);
        if (oursMs < 0 || toolMs < 0)
            return 1;
        if (round >= 0) {
            ours << oursMs;
            tool << toolMs;
            std::printf("run %d: extractArchive %.1f ms, unzip %.1f ms\n", round + 1, oursMs, toolMs);
        }
    }
    const double oursMedian = median(ours);
    const double toolMedian = median(tool);
    std::printf("median of %d runs: extractArchive %.1f ms, unzip -o -q %.1f ms, ratio %.2f\n", kRuns, oursMedian,
        toolMedian, oursMedian / toolMedian);
    for (int i = 0; i < kRuns; ++i)
        std::printf(
            "fresh folder run %d: extractArchive %.1f ms, unzip %.1f ms\n", i + 1, oursFresh.at(i), toolFresh.at(i));
    std::printf("fresh folders, median of %d runs: extractArchive %.1f ms, unzip -o -q %.1f ms, ratio %.2f\n", kRuns,
        median(oursFresh), median(toolFresh), median(oursFresh) / median(toolFresh));
    return 0;
}
