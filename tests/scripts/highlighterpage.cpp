#include "highlighterpage.h"

#include "reader/highlighterstatements.h"
#include "reader/pagescript.h"
#include "testsupport.h"

#include <QDir>
#include <QSignalSpy>
#include <QWebFrame>

namespace statements = lf::HighlighterStatements;

TestMark highlight(const QString& className, const QString& colour, const QString& from, const QString& to)
{
    return { className, colour, from, to };
}

TestMark memo(const QString& className, const QString& from, const QString& to)
{
    return { className, {}, from, to };
}

TestMark removal(const QString& className)
{
    return { className, {}, {}, {}, true };
}

HighlighterPage::HighlighterPage(QObject* parent)
    : QWebPage(parent)
{
    setViewportSize(QSize(800, 600));
}

QString HighlighterPage::fixturePath(const QString& fileName)
{
    return lf::test::testDataDir() + QStringLiteral("/highlighter/") + fileName;
}

bool HighlighterPage::open(const QString& fileName)
{
    m_url = QUrl::fromLocalFile(QDir::isAbsolutePath(fileName) ? fileName : fixturePath(fileName));
    return loadAndWait(m_url);
}

bool HighlighterPage::reload()
{
    return loadAndWait(m_url);
}

bool HighlighterPage::loadAndWait(const QUrl& url)
{
    QSignalSpy finished(this, SIGNAL(loadFinished(bool)));
    mainFrame()->load(url);
    if (finished.isEmpty() && !finished.wait(10000))
        return false;
    if (!finished.first().first().toBool())
        return false;
    consoleMessages.clear();
    prepare();
    return true;
}

void HighlighterPage::prepare()
{
    mainFrame()->addToJavaScriptWindowObject(QStringLiteral("viewer_pc"), &viewerObject);
    mainFrame()->evaluateJavaScript(lf::PageScript::highlighter());
    mainFrame()->evaluateJavaScript(lf::PageScript::load(fixturePath(QStringLiteral("testhelper.js"))));
}

QVariant HighlighterPage::evaluate(const QString& statement)
{
    return mainFrame()->evaluateJavaScript(statement);
}

static QString jsString(const QString& text)
{
    return QLatin1Char('\'') + statements::singleQuoted(text) + QLatin1Char('\'');
}

QString HighlighterPage::select(const QString& from, const QString& to)
{
    if (from.isEmpty()) {
        evaluate(QStringLiteral("window.getSelection().removeAllRanges();"));
        return {};
    }
    return evaluate(QStringLiteral("lfSelect(%1, %2);").arg(jsString(from), jsString(to.isEmpty() ? from : to)))
        .toString();
}

void HighlighterPage::apply(const TestMark& mark)
{
    if (mark.remove) {
        evaluate(statements::removeHighlight(mark.className));
        return;
    }
    select(mark.from, mark.to);
    const qint64 timestamp = m_nextTimestamp++;
    if (mark.className.startsWith(QLatin1String("memo")))
        evaluate(statements::doMemo(timestamp, mark.className));
    else
        evaluate(statements::doHighlight(timestamp, mark.className, mark.colour));
}

void HighlighterPage::apply(const TestMarks& marks)
{
    for (const TestMark& mark : marks)
        apply(mark);
}

QStringList HighlighterPage::marksUnderSelection()
{
    return evaluate(statements::isHighlight()).toStringList();
}

QString HighlighterPage::serialize()
{
    return evaluate(statements::serialize()).toString();
}

void HighlighterPage::restore(const QString& serialised)
{
    evaluate(statements::deserialize(serialised));
}

QString HighlighterPage::describe()
{
    return evaluate(QStringLiteral("lfDescribe();")).toString();
}

QString HighlighterPage::bodyMarkup()
{
    return evaluate(QStringLiteral("document.body.outerHTML;")).toString();
}

QString HighlighterPage::bodyText()
{
    return evaluate(QStringLiteral("document.body.textContent;")).toString();
}

int HighlighterPage::wrapperCount()
{
    return evaluate(QStringLiteral("document.querySelectorAll('[data-highlighted]').length;")).toInt();
}

void HighlighterPage::javaScriptConsoleMessage(const QString& message, int, const QString&)
{
    consoleMessages << message;
}
