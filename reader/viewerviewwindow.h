#pragma once

#include "reader/annotationstore.h"
#include "reader/pagemodel.h"
#include "reader/pageside.h"
#include "reader/readermemoeditors.h"

#include <QMainWindow>
#include <QPointer>
#include <QUrl>

#include <array>
#include <memory>
#include <optional>

struct EpubData;
class BookPrinter;
class QGraphicsDropShadowEffect;
class QPrinter;
class QSizeGrip;
class ReaderPageLayout;
class ReaderPanels;
class ViewerPageBridge;

namespace Ui {
class ViewerViewWindow;
}

// The window in which one book is read. One page is one spine document; a
// fixed-layout book may show two side by side ("Both View"). The window turns
// pages and prepares every loaded page for the highlighter script; it hands
// layout to ReaderPageLayout, the side panels to ReaderPanels, the marks to
// AnnotationStore, the memo editors to ReaderMemoEditors and printing to
// BookPrinter. Frameless, with its own title bar. GUI thread only.
class ViewerViewWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit ViewerViewWindow(QWidget* parent = nullptr);
    ~ViewerViewWindow() override;

    // What the window shows, for the library window and for tests.
    QString bookName() const { return book_name; }
    const EpubData* epubData() const { return book.get(); }
    int currentIndex() const { return current_index; }
    int progressPage() const { return annotations.progressPage(); }
    const AnnotationStore& annotationStore() const { return annotations; }
    int pageCount() const { return page_count; }
    double zoomFactor() const { return zoom_factor; }
    double leftFitScale() const { return sides[0].fit_scale; }
    double rightFitScale() const { return sides[1].fit_scale; }
    bool isTwoPageView() const;
    bool isFixedLayout() const;
    ViewerWebView* leftView() const { return sides[0].view; }
    ViewerWebView* rightView() const { return sides[1].view; }
    // True when no page change is in progress: every shown view has loaded
    // and the layout pass has run.
    bool isPageReady() const { return !opening && !awaiting_load; }
    // What the last page change spent after its loads, for the benches.
    struct PostLoadTimes
    {
        qint64 scriptNs = 0; // the highlighter script and the search marks
        qint64 marksNs = 0; // the stored marks restored
        qint64 layoutNs = 0; // the layout pass
    };
    const PostLoadTimes& lastPostLoadTimes() const { return post_load_times; }
    ViewerMemoForm* memoEditor(bool right) const { return memo_editors.editor(right); }

public slots:
    void openBook(QString book_name);
    void setWindowTitleText(QString& text);
    // Asks whether to continue where the reader stopped, once the window is
    // laid out at its real size, then shows the first page.
    void loadQuestion();
    // Turning pages.
    void moveToPageNum(int page_num, QString* search_index);
    void moveToPageNum(int page_num);
    bool moveToPageName(QString file_name);
    // Turns to the spine document a link inside the book points at, and to
    // the anchor its fragment names; false when none.
    bool moveToPageUrl(QUrl url);
    // Turns to `page_num` and scrolls to the element `anchor` names there.
    void moveToPageAnchor(int page_num, QString anchor);
    void moveToNextPage();
    void moveToPrevPage();
    void bothView();
    void fullScreenMode(bool stat);
    void leftWebviewLoadFinished(bool stat) { viewLoadFinished(false, stat); }
    void rightWebviewLoadFinished(bool stat) { viewLoadFinished(true, stat); }
    void markSearchHighlight();
    void closeButtonEvent();
    QGraphicsDropShadowEffect* dropShadowEffect();

    // Side panels.
    void initTableWidget();
    void totalWindowShowed(QString title);
    void toolbarButtonUncheck();

    // Layout, zoom and printing.
    void pageScaleChange();
    void enlargeEvent() { chooseZoom(true); }
    void reduceEvent() { chooseZoom(false); }
    void bookmarkReplace();
    void printPreviewEvent();
    void printDocument(QPrinter* printer);

    // Bookmarks, marks, memos and progress.
    void loadBookmarkListToJson() { annotations.loadBookmarks(); }
    void loadHighlightsJson() { annotations.loadHighlights(); }
    void loadMemoJson() { annotations.loadMemos(); }
    void loadProgressToJson() { annotations.loadProgress(); }
    void saveBookmarkListToJson() { annotations.saveBookmarks(); }
    void saveHighlightsJson() { annotations.saveHighlights(); }
    void saveMemoJson() { annotations.saveMemos(); }
    void saveProgressToJson() { annotations.saveProgress(); }
    void leftPageBookmark(bool stat) { pageBookmark(false, stat); }
    void rightPageBookmark(bool stat) { pageBookmark(true, stat); }
    void deleteBookmark(int page) { annotations.setBookmark(page, false); }
    void leftWebviewAddHighlight(QString class_name, QString color, QString text);
    void rightWebviewAddHighlight(QString class_name, QString color, QString text);
    void leftWebviewRemoveHighlights(QStringList class_names)
    {
        annotations.removeHighlights(pageOf(false), class_names);
    }
    void rightWebviewRemoveHighlights(QStringList class_names)
    {
        annotations.removeHighlights(pageOf(true), class_names);
    }
    void leftWebviewAddMemo(QString class_name, QString text) { openNewMemo(false, class_name, text); }
    void rightWebviewAddMemo(QString class_name, QString text) { openNewMemo(true, class_name, text); }
    void leftWebviewRemoveMemos(QStringList class_names) { annotations.removeMemos(pageOf(false), class_names); }
    void rightWebviewRemoveMemos(QStringList class_names) { annotations.removeMemos(pageOf(true), class_names); }
    void leftWebviewSerializeHighlights(QString serialize_array);
    void rightWebviewSerializeHighlights(QString serialize_array);
    void changeMemo(int page_num, QString class_name, QString text)
    {
        annotations.changeMemo(page_num, class_name, text);
    }
    void webviewShowMemo(QString class_name);
    void deserializeHighlightsLoad();

private slots:
    void focusPageEvent();
    // The ribbons of the pages shown follow the bookmarks.
    void showBookmarkRibbons();
    void askToContinue();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void connectControls();
    bool isLaidOutAtRealSize() const;
    void askOnceLaidOut(bool waitedLongEnough = false);
    // Two-page view as the book declares it for this window's shape, until
    // the user chooses with the Both View button.
    bool applyDeclaredSpread();
    void loadView(ViewerWebView* view, int page);
    void viewLoadFinished(bool right, bool stat);
    void setNavigationEnabled(bool enabled);
    void showSpreadViews();
    void shadePages();
    bool showsSpread() const { return isTwoPageView() && !shown_spread.alone; }
    void land();
    void runPostLoadSteps();
    void chooseZoom(bool enlarge);
    // Spine position of the left or the right view's page; -1 when that side
    // of the spread is empty.
    int pageOf(bool right) const { return right ? shown_spread.right : shown_spread.left; }
    // True when that view shows a document of the book (not a blank side or a notice).
    bool holdsBookPage(bool right) const { return pageOf(right) >= 0 && !pages.cannotShow(pageOf(right)); }
    void pageBookmark(bool right, bool stat);
    // A new memo opens that side's editor, empty, at the mouse cursor.
    void openNewMemo(bool right, const QString& class_name, const QString& text);

    Ui::ViewerViewWindow* ui;
    ReaderPageLayout* page_layout;
    std::unique_ptr<BookPrinter> book_printer;
    ReaderPanels* panels;
    QSizeGrip* size_grip;
    QPointer<ViewerPageBridge> page_bridge;
    std::array<PageSide, 2> sides; // left, right

    bool starting_loads = false; // a page's loads are being started
    bool ask_continue = true;
    bool question_due = false; // asked for, waiting for the window's real size
    bool opening = true; // no page asked for yet
    bool laid_out_once = false; // a page has had its layout pass
    bool spread_chosen = false; // the user clicked Both View for this book
    bool awaiting_load = false; // a page change waits for its loads
    PostLoadTimes post_load_times;
    bool closing = false;
    QString book_name;
    QString book_dir;
    std::optional<QString> search_term;
    std::unique_ptr<EpubData> book;
    PageModel pages;
    int current_index = 0; // the first page, in reading order, of the spread shown
    PageModel::Spread shown_spread;
    // Where the page column goes once a new page is laid out: its top, an
    // anchor, or the first match of the search term.
    std::optional<QString> landing_anchor;
    bool landing_due = false;
    QString current_idref;
    double zoom_factor = 1.0;
    // Bookmarks, marks, memos and progress with their files.
    AnnotationStore annotations;
    ReaderMemoEditors memo_editors;
    QString highlighter_script;
    int page_count = 0;
    int load_count = 0;
};
