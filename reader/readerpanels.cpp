#include "reader/readerpanels.h"

#include "reader/pageharvest.h"
#include "reader/panels/viewerbookmarklistform.h"
#include "reader/panels/viewerhighlightlistform.h"
#include "reader/panels/viewermemolistform.h"
#include "reader/panels/viewersearchform.h"
#include "reader/panels/viewerthumbnailitemform.h"
#include "reader/panels/viewertoclistwidget.h"

#include <QPushButton>

ReaderPanels::ReaderPanels(QWidget* window, QWidget* area, const QWidget* below, const Buttons& buttons)
    : QObject(window)
    , window(window)
    , area(area)
    , below(below)
    , buttons(buttons)
{ }

void ReaderPanels::create(EpubData* book, const QString& book_dir, const PageModel& pages, AnnotationStore* annotations)
{
    if (exist())
        return;
    toc_panel = new ViewerTocListWidget(area, book, book_dir);
    search_panel = new ViewerSearchForm(area, book, book_dir);
    // A child of the window, as the panels are: it outlives them when the window goes.
    page_harvest = new PageHarvest(window, pages, ViewerThumbnailItemForm::pictureSize());
    toc_panel->setPageHarvest(page_harvest);
    search_panel->setPageHarvest(page_harvest);
    bookmark_panel = new ViewerBookmarkListForm(area);
    highlight_panel = new ViewerHighlightListForm(area);
    memo_panel = new ViewerMemoListForm(area);
    for (QWidget* panel : all())
        panel->hide();

    connect(buttons.contents, SIGNAL(clicked(bool)), toc_panel, SLOT(hideAndShow(bool)));
    connect(buttons.search, SIGNAL(clicked(bool)), search_panel, SLOT(hideAndShow(bool)));
    connect(buttons.bookmarks, SIGNAL(clicked(bool)), bookmark_panel, SLOT(setVisible(bool)));
    connect(buttons.highlights, SIGNAL(clicked(bool)), highlight_panel, SLOT(setVisible(bool)));
    connect(buttons.memos, SIGNAL(clicked(bool)), memo_panel, SLOT(setVisible(bool)));

    bookmark_panel->followStore(annotations, book);
    highlight_panel->followStore(annotations, book);
    memo_panel->followStore(annotations, book);
}

QList<QPair<QWidget*, QPushButton*>> ReaderPanels::withButtons() const
{
    if (!exist())
        return {};
    return { { toc_panel, buttons.contents }, { search_panel, buttons.search }, { bookmark_panel, buttons.bookmarks },
        { highlight_panel, buttons.highlights }, { memo_panel, buttons.memos } };
}

QList<QWidget*> ReaderPanels::all() const
{
    QList<QWidget*> panels;
    for (const auto& pair : withButtons())
        panels.append(pair.first);
    return panels;
}

void ReaderPanels::place()
{
    // All panels share one place on the right edge, below the toolbar, as
    // wide as the contents panel.
    if (!exist())
        return;
    const int y = below->y();
    const int w = toc_panel->width();
    for (QWidget* panel : all())
        panel->setGeometry(window->width() - w - 2, y, w, window->height() - y - 2);
}

bool ReaderPanels::anyOpen() const
{
    for (QWidget* panel : all()) {
        if (panel->isVisible())
            return true;
    }
    return false;
}

bool ReaderPanels::openedBy(const QObject* button) const
{
    for (const auto& pair : withButtons()) {
        if (pair.second == button && pair.second->isChecked())
            return true;
    }
    return false;
}

bool ReaderPanels::showOnly(const QString& title)
{
    const QList<QPair<QWidget*, QPushButton*>> pairs = withButtons();
    for (const auto& shown : pairs) {
        QString panel_title;
        QMetaObject::invokeMethod(shown.first, "getTitle", Q_RETURN_ARG(QString, panel_title));
        if (panel_title != title)
            continue;
        for (const auto& other : pairs) {
            if (other.first != shown.first)
                other.first->hide();
        }
        // A panel opened by other means (a search from the page) shows its button pressed too.
        shown.second->setChecked(true);
        return true;
    }
    return false;
}

void ReaderPanels::uncheckHidden()
{
    for (const auto& pair : withButtons()) {
        if (pair.first->isHidden())
            pair.second->setChecked(false);
    }
}

void ReaderPanels::stopBackgroundWork()
{
    if (!exist())
        return;
    toc_panel->setLoadFinish();
    search_panel->setLoadFinish();
}
