#include "reader/complextextpath.h"

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
    for (const QChar c : text) {
        const ushort u = c.unicode();
        if ((u >= 0x0600 && u <= 0x06FF) || (u >= 0x0750 && u <= 0x077F) || (u >= 0x0870 && u <= 0x08FF)
            || (u >= 0xFB50 && u <= 0xFDFF) || (u >= 0xFE70 && u <= 0xFEFF))
            return true;
    }
    return false;
}

bool ComplexTextPath::applyTo(QWebFrame* frame)
{
    QWebElement root = frame->documentElement();
    if (root.isNull() || !needsComplexPath(frame->toPlainText()))
        return false;
    // Documents served in UTF-8 come with the style already (see
    // BookStyleRewrite); a change after the first layout leaves some lines
    // where they were, so only the others get it here.
    if (root.styleProperty(QStringLiteral("text-rendering"), QWebElement::ComputedStyle)
        == QLatin1String("optimizelegibility"))
        return true;
    root.setStyleProperty(QStringLiteral("text-rendering"), QStringLiteral("optimizeLegibility"));
    root.setStyleProperty(QStringLiteral("padding-left"), QStringLiteral("4%"));
    root.setStyleProperty(QStringLiteral("padding-right"), QStringLiteral("4%"));
    return true;
}

void ComplexTextPath::pageLoaded()
{
    applyTo(m_page->mainFrame());
}
