#include "reader/complextextpath.h"

#include "reader/righttoleftruns.h"

#include <QWebElement>
#include <QWebFrame>
#include <QWebPage>

ComplexTextPath::ComplexTextPath(QWebPage* page)
    : QObject(page)
    , m_page(page)
{
    connect(page, SIGNAL(loadFinished(bool)), this, SLOT(pageLoaded()));
}

bool ComplexTextPath::needsComplexPath(const QString& text)
{
    return lf::RightToLeftRuns::holdsArabicScript(text);
}

bool ComplexTextPath::applyTo(QWebFrame* frame)
{
    QWebElement root = frame->documentElement();
    const QString text = frame->toPlainText();
    if (root.isNull() || !needsComplexPath(text))
        return false;
    // Documents served in UTF-8 come with their right-to-left runs marked
    // (see RightToLeftRuns), which lays them out right on the fast path.
    if (text.contains(QChar(0x200E)))
        return false;
    root.setStyleProperty(QStringLiteral("text-rendering"), QStringLiteral("optimizeLegibility"));
    root.setStyleProperty(QStringLiteral("padding-left"), QStringLiteral("4%"));
    root.setStyleProperty(QStringLiteral("padding-right"), QStringLiteral("4%"));
    return true;
}

void ComplexTextPath::pageLoaded()
{
    applyTo(m_page->mainFrame());
}
