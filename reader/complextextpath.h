#pragma once

#include <QObject>

class QWebFrame;
class QWebPage;

// The engine breaks Arabic lines of XHTML documents only on its complex text
// path, which costs over ten times as much on Latin text. Documents served in
// UTF-8 are put on it as they are served (BookStyleRewrite); this puts any
// other document the page loads that holds Arabic-script text on it when its
// load finishes, before anyone lays it out. Made before anything else listens
// for the page's loads.
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
