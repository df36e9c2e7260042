#pragma once

#include <QObject>

class QWebFrame;
class QWebPage;

// Arabic lines of documents served in UTF-8 are laid out right by marks put
// in their text as they are served (RightToLeftRuns). Any other document the
// page loads that holds Arabic-script text is put on the engine's complex
// text path when its load finishes, before anyone lays it out: there its
// lines wrap, though drawn a little wider than measured, hence a margin on
// either side. Made before anything else listens for the page's loads.
class ComplexTextPath : public QObject
{
    Q_OBJECT

public:
    explicit ComplexTextPath(QWebPage* page);

    // True when `text` holds a letter of the Arabic script.
    static bool needsComplexPath(const QString& text);
    // Puts the frame's document on the complex path when it needs it and was
    // not marked as served; true when it does.
    static bool applyTo(QWebFrame* frame);

private slots:
    void pageLoaded();

private:
    QWebPage* m_page;
};
