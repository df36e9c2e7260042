#pragma once

#include "epub/epubdata.h"

#include <QStringList>
#include <QUrl>
#include <QWebView>

#include <memory>

class QMenu;
class ViewerNotePopup;
class ViewerWebPage;

// One page view of the reader. Marks text through its own context menu by
// evaluating the highlighter script's statements in the page, and reports
// every change by signals, which the reader window stores. The wheel scrolls
// the view itself, or, when the page is taller than the area, is passed on
// for the surrounding scroll area to scroll.
class ViewerWebView : public QWebView
{
    Q_OBJECT

public:
    // A highlight colour of the context menu: the name stored with a mark and
    // the colour the page script paints.
    struct HighlightColour
    {
        const char* name;
        QString icon;
        QString css;
    };
    static const QList<HighlightColour>& highlightColours();

    explicit ViewerWebView(QWidget* parent = nullptr);
    ~ViewerWebView() override;

    ViewerWebPage* viewerPage() const { return viewer_page; }
    // The book this view shows and the folder whose files it may load.
    void setBook(const QString& folder, const EpubData& book);
    // Loads or reloads the view's document: the only navigations a view accepts.
    void loadPage(const QUrl& url);
    void reloadPage();
    // Whether the next page loaded may scroll sideways with a bar of its own
    // (reflowable documents wider than the page); fixed pages never do.
    void setSidewaysScrolling(bool enabled);
    // Shows a short notice of the program's own instead of a book document.
    void showNotice(const QString& text);
    // True while the page has the highlighter script ready.
    bool hasHighlighter();
    // True when the selection lies where marks can be made.
    bool canMarkSelection();
    bool innerScrolling() const { return inner_scrolling; }
    // The note pop-up, once a note was asked for.
    ViewerNotePopup* notePopup() const { return note_popup.get(); }

signals:
    void sendWheelEvent(QWheelEvent*);
    void highlightAddEvent(QString, QString, QString);
    void highlightRemoveEvent(QStringList);
    void memoAddEvent(QString, QString);
    void memoRemoveEvent(QStringList);
    void serializeHighlights(QString);
    void searchRequest(QString);

public slots:
    void customContextMenu(QPoint point);
    void setInnerScrollingMode(bool stat);
    void linkClickedEvent(QUrl url);

private slots:
    void navigationRefusedEvent(QUrl url);
    // Asks the user before a link that leaves the book goes to the desktop.
    void leaveBookEvent(QUrl url);
    // A link inside the book: an anchor of the shown document scrolls there,
    // another document is turned to.
    void followInsideBook(QUrl url);

protected:
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QVariant evaluate(const QString& statement);
    void removeMarks(const QStringList& class_names);
    bool markSelection(const QString& statement, const QString& class_name);
    void addHighlight(const HighlightColour& colour, const QString& selected);
    void addMemo(const QString& selected);
    // Only web and mail addresses may go to the desktop: its handlers for
    // local files and other schemes may run what they open.
    static bool mayOpenOutside(const QUrl& url);
    // Shows the note a note reference the user clicked names; false for any
    // other link.
    bool openNote(const QUrl& url);
    // Asks the reader window (this view's window) to turn to the document at `url`.
    bool turnTo(const QUrl& url);

    ViewerWebPage* viewer_page;
    bool inner_scrolling = true;
    // The address every document of the book lies below.
    QUrl book_root;
    // Made at the first note; goes before the page whose access it uses.
    std::unique_ptr<ViewerNotePopup> note_popup;
};
