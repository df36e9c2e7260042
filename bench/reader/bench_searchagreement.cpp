// How often the search decides a document without loading it, and whether it
// ever disagrees with the web engine. Every document of every corpus book is
// loaded into a page set up as the search panel's; random stretches of the
// engine's own text, their upper-case, lower-case, accent-stripped and
// collapsed forms, and words of other documents are looked up both ways. A
// disagreement (the engine finds a term in a document the search rules out,
// or misses one the search rules in) is printed with its document and term.
//
//   QT_QPA_PLATFORM=offscreen build/bench/bin/bench_searchagreement [terms per document] [seed]
#include "bench/benchsupport.h"
#include "epub/epubparser.h"
#include "reader/pagemodel.h"
#include "reader/searchtextindex.h"
#include "reader/viewersearchform.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>
#include <QWebFrame>
#include <QWebPage>

#include <memory>

namespace {

struct Tally
{
    long terms = 0;
    long decided = 0;
    long disagreements = 0;
};

QString withoutAccents(const QString& text)
{
    QString plain;
    for (QChar c : text.normalized(QString::NormalizationForm_D)) {
        if (c.category() != QChar::Mark_NonSpacing)
            plain += c;
    }
    return plain;
}

bool load(QWebPage& page, const QUrl& url)
{
    QEventLoop loop;
    bool loaded = false;
    QObject::connect(page.mainFrame(), &QWebFrame::loadFinished, &loop, [&](bool) {
        loaded = page.mainFrame()->url() == url;
        if (loaded)
            loop.quit();
    });
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    page.mainFrame()->load(url);
    loop.exec();
    return loaded;
}

// Stretches of `text` and their variants.
QStringList termsFrom(const QString& text, int count, QRandomGenerator& random)
{
    QStringList terms;
    for (int i = 0; i < count && text.size() > 2; ++i) {
        const int length = 1 + random.bounded(qMin(24, text.size() - 1));
        const QString term = text.mid(random.bounded(text.size() - length + 1), length);
        terms << term;
        switch (random.bounded(4)) {
        case 0:
            terms << term.toUpper();
            break;
        case 1:
            terms << withoutAccents(term);
            break;
        case 2:
            terms << term.toLower();
            break;
        default:
            terms << term.simplified();
        }
    }
    return terms;
}

Tally compare(const QString& name, int termsPerDocument, QRandomGenerator& random, QTextStream& out)
{
    Tally tally;
    const QString bookDir = lf::dataDirectory() + name;
    const std::unique_ptr<EpubData> book = EpubParser::parseBook(bookDir);
    if (!book)
        return tally;
    const PageModel pages(book.get(), bookDir);
    SearchTextIndex index(book.get(), bookDir);
    QWebPage page;
    ViewerSearchForm::setUpSearchPage(&page, bookDir);
    QStringList otherWords;
    for (int at = 0; at < pages.pageCount(); ++at) {
        if (pages.documentPath(at).isEmpty() || !load(page, pages.documentUrl(at)))
            continue;
        const QString text = page.mainFrame()->toPlainText();
        QStringList terms = termsFrom(text, termsPerDocument, random);
        for (int i = 0; i < 5 && !otherWords.isEmpty(); ++i)
            terms << otherWords.at(random.bounded(otherWords.size()));
        const QStringList words = text.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
        for (int i = 0; i < 5 && !words.isEmpty(); ++i)
            otherWords << words.at(random.bounded(words.size()));
        for (const QString& term : qAsConst(terms)) {
            if (term.trimmed().isEmpty())
                continue;
            page.findText(QString());
            const bool engineFinds = page.findText(term, QWebPage::FindWrapsAroundDocument);
            const SearchTextIndex::Presence presence = index.presence(at, lf::SearchText::Term(term));
            ++tally.terms;
            if (presence != SearchTextIndex::Presence::AskTheEngine)
                ++tally.decided;
            if ((engineFinds && presence == SearchTextIndex::Presence::Absent)
                || (!engineFinds && presence == SearchTextIndex::Presence::Present)) {
                ++tally.disagreements;
                out << QStringLiteral("disagreement: %1 %2 \"%3\": engine %4\n")
                           .arg(name, pages.documentPath(at), QString(term).replace(QLatin1Char('\n'), "\\n"),
                               engineFinds ? QStringLiteral("finds it") : QStringLiteral("does not"));
            }
        }
    }
    return tally;
}

} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir scratch;
    lf::bench::usePrivateLocations(scratch.path());
    QApplication app(argc, argv);
    lf::ensureDataDirectory();
    const int termsPerDocument = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 20;
    QRandomGenerator random(argc > 2 ? QString::fromLocal8Bit(argv[2]).toUInt() : 1);
    QTextStream out(stdout);
    Tally all;
    const QStringList books = QDir(QStringLiteral(LF_CORPUS_DIR)).entryList({ QStringLiteral("*.epub") }, QDir::Files);
    for (const QString& file : books) {
        const Tally tally = compare(lf::bench::installCorpusBook(file), termsPerDocument, random, out);
        out << QStringLiteral("agreement: %1: %2 terms, %3 decided without loading (%4%), %5 disagreements\n")
                   .arg(file)
                   .arg(tally.terms)
                   .arg(tally.decided)
                   .arg(tally.terms ? 100 * tally.decided / tally.terms : 0)
                   .arg(tally.disagreements);
        out.flush();
        all.terms += tally.terms;
        all.decided += tally.decided;
        all.disagreements += tally.disagreements;
    }
    out << QStringLiteral("agreement: all books: %1 terms, %2 decided without loading (%3%), %4 disagreements\n")
               .arg(all.terms)
               .arg(all.decided)
               .arg(all.terms ? 100 * all.decided / all.terms : 0)
               .arg(all.disagreements);
    return all.disagreements == 0 ? 0 : 1;
}
