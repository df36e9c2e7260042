// Parse time of every corpus book: each is extracted once, then parsed by
// EpubParser::parseBook repeatedly; prints the median per book and the slowest.
#include "epub/epubparser.h"
#include "import/unzipthread.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kRuns = 21;

double median(QVector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir workDir;
    const QDir corpus(QStringLiteral(LF_CORPUS_DIR));
    const QStringList books = corpus.entryList({ QStringLiteral("*.epub") }, QDir::Files, QDir::Name);
    double slowest = 0;
    QString slowestBook;
    std::printf("%-42s %6s %6s %10s\n", "book", "spine", "toc", "median ms");
    for (const QString& book : books) {
        const QString bookDir = workDir.path() + QLatin1Char('/') + book + QLatin1Char('/');
        if (!UnzipThread::extractArchive(corpus.filePath(book), bookDir)) {
            std::fprintf(stderr, "%s: extraction failed\n", qPrintable(book));
            return 1;
        }
        QVector<double> times;
        int spine = 0;
        int toc = 0;
        QElapsedTimer timer;
        for (int run = 0; run < kRuns; ++run) {
            timer.start();
            const std::unique_ptr<EpubData> data = EpubParser::parseBook(bookDir);
            times << timer.nsecsElapsed() / 1e6;
            if (!data) {
                std::fprintf(stderr, "%s: not parsed\n", qPrintable(book));
                return 1;
            }
            spine = data->spine.size();
            toc = data->toc.size();
        }
        const double ms = median(times);
        std::printf("%-42s %6d %6d %10.3f\n", qPrintable(book), spine, toc, ms);
        if (ms > slowest) {
            slowest = ms;
            slowestBook = book;
        }
    }
    std::printf("slowest median: %.3f ms (%s), over %d runs each\n", slowest, qPrintable(slowestBook), kRuns);
    return 0;
}
