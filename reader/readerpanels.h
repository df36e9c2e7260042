#pragma once

#include <QList>
#include <QObject>
#include <QPair>

class AnnotationStore;
class PageHarvest;
class PageModel;
class QPushButton;
class QWidget;
class ViewerBookmarkListForm;
class ViewerHighlightListForm;
class ViewerMemoListForm;
class ViewerSearchForm;
class ViewerTocListWidget;
struct EpubData;

// The reader's five side panels with their toolbar buttons: created once,
// placed together on the right edge of the window, one shown at a time. The
// annotation lists follow the annotation store themselves; the window
// connects the panels' requests to its own slots.
class ReaderPanels : public QObject
{
    Q_OBJECT

public:
    struct Buttons
    {
        QPushButton* contents = nullptr;
        QPushButton* search = nullptr;
        QPushButton* bookmarks = nullptr;
        QPushButton* highlights = nullptr;
        QPushButton* memos = nullptr;
    };
    // The panels lie on `area` below the top of `below`, inside `window`.
    ReaderPanels(QWidget* window, QWidget* area, const QWidget* below, const Buttons& buttons);

    bool exist() const { return toc_panel != nullptr; }
    // Creates the panels, hidden, and the page harvest they share, which
    // takes its pages from the window's `pages`; the annotation lists follow
    // `annotations`.
    void create(EpubData* book, const QString& book_dir, const PageModel& pages, AnnotationStore* annotations);
    // The panels that exist, in the order contents, search, bookmarks, highlights, memos.
    QList<QWidget*> all() const;
    ViewerTocListWidget* contents() const { return toc_panel; }
    ViewerSearchForm* search() const { return search_panel; }
    ViewerBookmarkListForm* bookmarks() const { return bookmark_panel; }
    // Thumbnails and search text of the book, taken in the background; none before create().
    PageHarvest* harvest() const { return page_harvest; }

    bool anyOpen() const;
    // True when `button` is a panel's toolbar button that has just opened its panel.
    bool openedBy(const QObject* button) const;
    // The panel titled `title` was shown: the others are hidden and its button
    // pressed. False when no panel has that title.
    bool showOnly(const QString& title);
    void uncheckHidden();
    // Stops the panels' page-by-page background work.
    void stopBackgroundWork();

public slots:
    void place();

private:
    QList<QPair<QWidget*, QPushButton*>> withButtons() const;

    QWidget* window;
    QWidget* area;
    const QWidget* below;
    Buttons buttons;
    ViewerTocListWidget* toc_panel = nullptr;
    ViewerSearchForm* search_panel = nullptr;
    ViewerBookmarkListForm* bookmark_panel = nullptr;
    ViewerHighlightListForm* highlight_panel = nullptr;
    ViewerMemoListForm* memo_panel = nullptr;
    PageHarvest* page_harvest = nullptr;
};
