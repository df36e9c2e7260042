#pragma once

#include <QObject>

class QWebFrame;
class QWebPage;

// The engine breaks Arabic lines of XHTML documents only on its complex text
// path, which costs over ten times as much on Latin text. Every document the
// page loads that holds Arabic-script text is put on that path before anyone
// sees its layout; others stay on the fast one. Made before anything else
// listens for the page's loads.
class ComplexTextPath : public QObject
{
    Q_OBJECT

public:
    explicit ComplexTextPath(QWebPage* page);

    // True when `text` holds a letter of the Arabic script.
    static bool needsComplexPath(const QString& text);
    // Puts the frame's document on the complex path when it needs it; true
    // when it does.
    static bool applyTo(QWebFrame* frame);

private slots:
    void pageLoaded();

private:
    QWebPage* m_page;
};
