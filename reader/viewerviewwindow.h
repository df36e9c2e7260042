#pragma once

#include "reader/annotationstore.h"
#include "reader/pagemodel.h"

#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QUrl>

#include <memory>
#include <optional>

struct EpubData;
class QGraphicsDropShadowEffect;
class QPrinter;
class QPushButton;
class QSizeGrip;
class ReaderPageLayout;
class ViewerBookmarkListForm;
class ViewerHighlightListForm;
class ViewerMemoForm;
class ViewerMemoListForm;
class ViewerPageBridge;
class PageHarvest;
class ViewerSearchForm;
class ViewerTocListWidget;
class ViewerWebView;

namespace Ui {
class ViewerViewWindow;
}

// The window in which one book is read. One page is one spine document; a
// fixed-layout book may show two side by side ("Both View"). The window turns
// pages, lays them out (ReaderPageLayout), prints them, prepares every loaded
// page for the highlighter script, and asks whether to continue where the
// reader stopped. Frameless, with its own title bar. GUI thread only.
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
    double leftFitScale() const { return left_fit_scale; }
    double rightFitScale() const { return right_fit_scale; }
    bool isTwoPageView() const;
    bool isFixedLayout() const;
    ViewerWebView* leftView() const;
    ViewerWebView* rightView() const;
    // True when no page change is in progress: every shown view has loaded
    // and the layout pass has run.
    bool isPageReady() const { return !awaiting_load; }
    ViewerMemoForm* memoEditor(bool right) const { return right ? right_memo_editor : left_memo_editor; }

public slots:
    void openBook(QString book_name);
    void setWindowTitleText(QString& text);
    void loadQuestion();
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
    void initTableWidget();
    void totalWindowShowed(QString title);
    void toolbarButtonUncheck();
    void closeButtonEvent();
    void leftWebviewLoadFinished(bool stat);
    void rightWebviewLoadFinished(bool stat);
    QGraphicsDropShadowEffect* dropShadowEffect();
    void markSearchHighlight();

    // Layout, zoom and printing.
    void pageScaleChange();
    void enlargeEvent();
    void reduceEvent();
    void bookmarkReplace();
    void printPreviewEvent();
    void printDocument(QPrinter* printer);

    // Bookmarks, marks, memos and progress.
    void loadBookmarkListToJson();
    void loadHighlightsJson();
    void loadMemoJson();
    void loadProgressToJson();
    void saveBookmarkListToJson();
    void saveHighlightsJson();
    void saveMemoJson();
    void saveProgressToJson();
    void leftPageBookmark(bool stat);
    void rightPageBookmark(bool stat);
    void deleteBookmark(int page);
    void leftWebviewAddHighlight(QString class_name, QString color, QString text);
    void rightWebviewAddHighlight(QString class_name, QString color, QString text);
    void leftWebviewRemoveHighlights(QStringList class_names);
    void rightWebviewRemoveHighlights(QStringList class_names);
    void leftWebviewAddMemo(QString class_name, QString text);
    void rightWebviewAddMemo(QString class_name, QString text);
    void leftWebviewRemoveMemos(QStringList class_names);
    void rightWebviewRemoveMemos(QStringList class_names);
    void leftWebviewSerializeHighlights(QString serialize_array);
    void rightWebviewSerializeHighlights(QString serialize_array);
    void changeMemo(int page_num, QString class_name, QString text);
    void webviewShowMemo(QString class_name);
    void deserializeHighlightsLoad();

private slots:
    void placePanelsEvent();
    void focusPageEvent();
    void fillPanelsEvent();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void connectControls();
    void loadView(ViewerWebView* view, int page);
    void setNavigationEnabled(bool enabled);
    void showSpreadViews();
    void shadePages();
    bool showsSpread() const { return isTwoPageView() && !shown_spread.alone; }
    // The sheets a print covers: 1 or 2 for fixed pages, 0 for all.
    int printedSheets() const;
    void land();
    void runPostLoadSteps();
    void chooseZoom(bool enlarge);
    // Spine position of the left or the right view's page; -1 when that side
    // of the spread is empty.
    int pageOf(bool right) const { return right ? shown_spread.right : shown_spread.left; }
    // True when that view shows a document of the book (not a blank side or a notice).
    bool holdsBookPage(bool right) const { return pageOf(right) >= 0 && !pages.cannotShow(pageOf(right)); }
    void restoreMarks(ViewerWebView* view, int page);
    void addHighlight(bool right, const QString& class_name, const QString& color, const QString& text);
    void removeHighlights(bool right, const QStringList& class_names);
    void addMemo(bool right, const QString& class_name, const QString& text);
    void removeMemos(bool right, const QStringList& class_names);
    // Fills the page's memo editor, places it at the mouse cursor and shows it.
    void openMemoEditor(bool right, const QString& class_name, const QString& text, const QString& memo);
    // The side panels that exist, each with its toolbar button, in the order
    // contents, search, bookmarks, highlights, memos.
    QList<QPair<QWidget*, QPushButton*>> panelButtons() const;
    QList<QWidget*> panels() const;
    void placePanels();

    Ui::ViewerViewWindow* ui;
    ReaderPageLayout* page_layout;
    QSizeGrip* size_grip;
    QPointer<ViewerPageBridge> page_bridge;
    // Side panels, created by the first layout pass; memo editors by openBook.
    ViewerSearchForm* search_panel = nullptr;
    // Thumbnails and search text of the book, taken in the background once a page is shown.
    PageHarvest* page_harvest = nullptr;
    ViewerTocListWidget* toc_panel = nullptr;
    ViewerBookmarkListForm* bookmark_panel = nullptr;
    ViewerHighlightListForm* highlight_panel = nullptr;
    ViewerMemoListForm* memo_panel = nullptr;
    bool highlights_listed = false;
    bool memos_listed = false;
    ViewerMemoForm* left_memo_editor = nullptr;
    ViewerMemoForm* right_memo_editor = nullptr;

    bool starting_loads = false; // a page's loads are being started
    bool left_loaded = true;
    bool right_loaded = true;
    bool ask_continue = true;
    bool awaiting_load = false; // a page change waits for its loads
    bool closing = false;
    // Each view is reloaded at most once per page when its page measured
    // empty, so a document that never lays out cannot loop.
    bool left_retried = false;
    bool right_retried = false;
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
    double left_fit_scale = 1.0;
    double right_fit_scale = 1.0;
    // Bookmarks, the highlight and memo indexes and the progress, with their files.
    AnnotationStore annotations;
    QString highlighter_script;
    int page_count = 0;
    int load_count = 0;
};
