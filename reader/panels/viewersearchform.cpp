#include "reader/panels/viewersearchform.h"

#include "epub/epubdata.h"
#include "reader/markuptext.h"
#include "reader/pageharvest.h"
#include "reader/panels/viewerpageitemform.h"
#include "reader/panels/viewerthumbnailitemform.h"
#include "reader/panels/visiblerowforms.h"
#include "reader/textfinder.h"
#include "ui_viewersearchform.h"

#include <QElapsedTimer>
#include <QListWidget>
#include <QListWidgetItem>
#include <QMovie>
#include <QResizeEvent>
#include <QWebPage>

namespace {
// The longest the search keeps the event loop waiting between two turns.
constexpr qint64 kDecidedSliceMs = 30;
// The spine position of a result row.
constexpr int kPageRole = Qt::UserRole;
} // namespace

ViewerSearchForm::ViewerSearchForm(QWidget* parent, EpubData* book, const QString& bookDir)
    : QWidget(parent)
    , ui(std::make_unique<Ui::ViewerSearchForm>())
    , book(book)
    , bookDir(bookDir)
{
    ui->setupUi(this);
    connect(ui->close_button, SIGNAL(clicked()), this, SLOT(hide()));

    connect(ui->search_line_edit, SIGNAL(returnPressed()), this, SLOT(searchStart()));
    connect(ui->search_button, SIGNAL(clicked(bool)), this, SLOT(searchStart()));
    // Each document is searched from the event loop, never from inside the
    // previous step: the window stays responsive and the stack stays flat.
    connect(this, SIGNAL(pageSearchFinish()), this, SLOT(pageSearchLoad()), Qt::QueuedConnection);
    connect(ui->listWidget, SIGNAL(itemDoubleClicked(QListWidgetItem*)), this, SLOT(moveToPage(QListWidgetItem*)));
    // A search that finds thousands of pages makes a few dozen row forms.
    new VisibleRowForms(ui->listWidget, [this](QListWidgetItem* item) { return makeRowForm(item); });

    loadingMovie = new QMovie(QStringLiteral(":/elc/Icon/loading_text.gif"), QByteArray(), this);
    ui->loading_label->setMovie(loadingMovie);
    ui->loading_label->raise();
    ui->loading_label->hide();
    loadingMovie->start();
}

ViewerSearchForm::~ViewerSearchForm() = default;

void ViewerSearchForm::setPageHarvest(PageHarvest* harvest)
{
    if (pageHarvest || !harvest)
        return;
    pageHarvest = harvest;
    connect(pageHarvest, SIGNAL(documentLoaded(int)), this, SLOT(pageSearchLoadFinished(int)));
}

// Made for a search's first document without stored text, and kept for the
// rest of that search.
MarkupScreen* ViewerSearchForm::markupScreen()
{
    if (!screen || screenTerm != searchText) {
        screen = std::make_unique<MarkupScreen>(searchText);
        screenTerm = searchText;
    }
    return screen.get();
}

PageHarvest* ViewerSearchForm::harvest()
{
    if (!pageHarvest)
        setPageHarvest(new PageHarvest(this, book, bookDir, ViewerThumbnailItemForm::pictureSize()));
    return pageHarvest;
}

void ViewerSearchForm::hideAndShow(bool is_show)
{
    setVisible(is_show);
    // Opened to search: the field takes the keyboard.
    if (is_show)
        ui->search_line_edit->setFocus(Qt::OtherFocusReason);
}

QString ViewerSearchForm::getTitle()
{
    return ui->title_label->text();
}

void ViewerSearchForm::searchEvent(QString text)
{
    ui->search_line_edit->setText(text);
    show();
    // The rows always belong to the term in the field: a new term replaces
    // a running search.
    if (!searching || text != searchText)
        beginSearch();
}

void ViewerSearchForm::setLoadFinish()
{
    loading = false;
    // The document being loaded stops too, and its completion is ignored:
    // nothing is written once the reader has closed (its book folder may be
    // replaced next).
    awaitingLoad = false;
    if (pageHarvest)
        pageHarvest->stop();
}

void ViewerSearchForm::searchStart()
{
    // A running search of the same term goes on; another term replaces it.
    if (searching && ui->search_line_edit->text() == searchText)
        return;
    beginSearch();
}

void ViewerSearchForm::beginSearch()
{
    ui->listWidget->clear();
    foundPages.clear();
    searchText = ui->search_line_edit->text();
    if (!loading)
        return; // the reader has closed
    finder = std::make_unique<TextFinder>(searchText);
    searching = true;
    count = 0;
    // A document the search it replaces was waiting for is not this one's.
    awaitingLoad = false;
    ui->loading_label->show();
    // The cleared list and the animation are shown before the first results.
    scheduleTurn();
}

void ViewerSearchForm::scheduleTurn()
{
    // One turn waits at a time: the search a new term replaced may have
    // queued one already, which the new search takes over.
    if (turnQueued)
        return;
    turnQueued = true;
    emit pageSearchFinish();
}

void ViewerSearchForm::pageSearchLoad()
{
    turnQueued = false;
    if (!searching)
        return;
    // Documents searched in their stored text are taken several per turn of
    // the event loop: the list lays its rows out once per turn, not once per row.
    PageHarvest* pass = harvest();
    const PageModel& pages = pass->pages();
    QElapsedTimer slice;
    slice.start();
    while (loading && count < pages.pageCount()) {
        const PageTexts::Text* text = pass->texts().textOf(count);
        if (!text && !markupScreen()->mayFindInFile(pages.documentFile(count), pages.documentMediaType(count))) {
            ++count; // the term is not in the document's own markup: the engine cannot find it
            continue;
        }
        if (!text || text->engineOnly || !finder->usable()) {
            insertFoundRows();
            awaitingLoad = true;
            pass->loadForEngine(count);
            return;
        }
        if (finder->findsInUtf8(text->utf8))
            addResultRow(count);
        ++count;
        if (slice.elapsed() >= kDecidedSliceMs) {
            insertFoundRows();
            scheduleTurn();
            return;
        }
    }
    insertFoundRows();
    count = 0;
    searching = false;
    ui->loading_label->hide();
}

void ViewerSearchForm::pageSearchLoadFinished(int page)
{
    if (!awaitingLoad || page != count)
        return; // not a load this panel asked for
    awaitingLoad = false;
    // Presence is all that matters; a failed load leaves the page empty and finds nothing.
    if (pageHarvest->page()->findText(searchText)) {
        addResultRow(count);
        insertFoundRows();
    }
    nextDocument();
}

void ViewerSearchForm::nextDocument()
{
    ++count;
    scheduleTurn();
}

void ViewerSearchForm::addResultRow(int page)
{
    foundPages.append(page);
}

// A row is an item that knows its page; its form is made when it comes into
// view. Rows go in together: while row forms are shown, the list lays out all
// its rows on every insertion.
void ViewerSearchForm::insertFoundRows()
{
    if (foundPages.isEmpty())
        return;
    if (rowSize.isEmpty())
        rowSize = ViewerPageItemForm().size();
    const int first = ui->listWidget->count();
    ui->listWidget->model()->insertRows(first, foundPages.size());
    for (int i = 0; i < foundPages.size(); ++i) {
        QListWidgetItem* item = ui->listWidget->item(first + i);
        item->setData(kPageRole, foundPages.at(i));
        item->setSizeHint(rowSize);
    }
    foundPages.clear();
}

QWidget* ViewerSearchForm::makeRowForm(QListWidgetItem* item) const
{
    const int page = item->data(kPageRole).toInt();
    auto* form = new ViewerPageItemForm;
    form->setPageInfo(page, book->pageLabelForHref(book->spine.at(page)));
    form->hideDeleteButton();
    return form;
}

void ViewerSearchForm::moveToPage(QListWidgetItem* item)
{
    if (item)
        emit moveToPageEvent(item->data(kPageRole).toInt(), &searchText);
}

void ViewerSearchForm::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    const QPoint corner = ui->body_frame->pos();
    ui->body_frame->resize(width() - corner.x(), height() - corner.y());
}

void ViewerSearchForm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    emit showed(getTitle());
}

void ViewerSearchForm::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    emit hided();
}
