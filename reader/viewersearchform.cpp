#include "reader/viewersearchform.h"

#include "epub/epubdata.h"
#include "reader/offscreenbookpage.h"
#include "reader/searchtext.h"
#include "reader/viewerpageitemform.h"
#include "ui_viewersearchform.h"

#include <QElapsedTimer>
#include <QListWidget>
#include <QListWidgetItem>
#include <QMovie>
#include <QResizeEvent>
#include <QScrollBar>
#include <QWebFrame>
#include <QWebPage>
#include <QWebSettings>

namespace {
// The longest the search keeps the event loop waiting between two turns.
constexpr qint64 kDecidedSliceMs = 30;
// The spine position of a result row.
constexpr int kPageRole = Qt::UserRole;
} // namespace

void ViewerSearchForm::setUpSearchPage(QWebPage* page, const QString& bookDir)
{
    // Only the text is asked for: no picture is fetched either.
    lf::confineOffscreenPage(page, bookDir);
    page->settings()->setAttribute(QWebSettings::AutoLoadImages, false);
}

ViewerSearchForm::ViewerSearchForm(QWidget* parent, EpubData* book, const QString& bookDir)
    : QWidget(parent)
    , ui(std::make_unique<Ui::ViewerSearchForm>())
    , book(book)
    , bookDir(bookDir)
    , textIndex(book, bookDir)
{
    ui->setupUi(this);
    connect(ui->close_button, SIGNAL(clicked()), this, SLOT(hide()));

    searchPage = new QWebPage(this);
    searchPage->setObjectName(QStringLiteral("search_page"));
    setUpSearchPage(searchPage, bookDir);

    connect(ui->search_line_edit, SIGNAL(returnPressed()), this, SLOT(searchStart()));
    connect(ui->search_button, SIGNAL(clicked(bool)), this, SLOT(searchStart()));
    connect(searchPage, SIGNAL(loadFinished(bool)), this, SLOT(pageSearchLoadFinished(bool)));
    // Each document is searched from the event loop, never from inside the
    // previous step: the window stays responsive and the stack stays flat.
    connect(this, SIGNAL(pageSearchFinish()), this, SLOT(pageSearchLoad()), Qt::QueuedConnection);
    connect(ui->listWidget, SIGNAL(itemDoubleClicked(QListWidgetItem*)), this, SLOT(moveToPage(QListWidgetItem*)));
    connect(ui->listWidget->verticalScrollBar(), SIGNAL(valueChanged(int)), this, SLOT(attachVisibleRows()));
    ui->listWidget->viewport()->installEventFilter(this);

    loadingMovie = new QMovie(QStringLiteral(":/elc/Icon/loading_text.gif"), QByteArray(), this);
    ui->loading_label->setMovie(loadingMovie);
    ui->loading_label->raise();
    ui->loading_label->hide();
    loadingMovie->start();
}

ViewerSearchForm::~ViewerSearchForm() = default;

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
    if (!searching)
        beginSearch();
}

void ViewerSearchForm::setLoadFinish()
{
    loading = false;
    // The document being loaded stops too, and its completion is ignored:
    // nothing is written once the reader has closed (its book folder may be
    // replaced next).
    awaitingLoad = false;
    if (searchPage)
        searchPage->triggerAction(QWebPage::Stop);
}

void ViewerSearchForm::searchStart()
{
    // A running search is neither restarted nor cancelled.
    if (searching)
        return;
    beginSearch();
}

void ViewerSearchForm::beginSearch()
{
    ui->listWidget->clear();
    searchText = ui->search_line_edit->text();
    if (!loading)
        return; // the reader has closed
    searchTerm = lf::SearchText::Term(searchText);
    searching = true;
    count = 0;
    ui->loading_label->show();
    // The cleared list and the animation are shown before the first results.
    emit pageSearchFinish();
}

void ViewerSearchForm::pageSearchLoad()
{
    if (!searching)
        return;
    // Documents decided from the search text are taken several per turn of the
    // event loop: the list lays its rows out once per turn, not once per row.
    QElapsedTimer slice;
    slice.start();
    while (loading && count < textIndex.pages().pageCount()) {
        switch (textIndex.presence(count, searchTerm)) {
        case SearchTextIndex::Presence::Present:
            addResultRow(count);
            break;
        case SearchTextIndex::Presence::Absent:
            break;
        case SearchTextIndex::Presence::AskTheEngine:
            awaitingLoad = true;
            searchPage->mainFrame()->load(textIndex.pages().documentUrl(count));
            return;
        }
        ++count;
        if (slice.elapsed() >= kDecidedSliceMs) {
            emit pageSearchFinish();
            return;
        }
    }
    // A search that ran to its end keeps what it extracted; one stopped because
    // the reader closed writes nothing (the book folder may be replaced next).
    if (loading)
        textIndex.save();
    count = 0;
    searching = false;
    ui->loading_label->hide();
}

void ViewerSearchForm::pageSearchLoadFinished(bool)
{
    if (!awaitingLoad)
        return; // not a load this panel started
    awaitingLoad = false;
    // Presence is all that matters; a failed load leaves the page empty and finds nothing.
    if (searchPage->findText(searchText))
        addResultRow(count);
    nextDocument();
}

void ViewerSearchForm::nextDocument()
{
    ++count;
    emit pageSearchFinish();
}

// A row is an item that knows its page; its row form is made only when the
// row comes into view, so a search that finds thousands of pages makes a few
// dozen widgets.
void ViewerSearchForm::addResultRow(int page)
{
    if (rowSize.isEmpty())
        rowSize = ViewerPageItemForm().size();
    auto* item = new QListWidgetItem(ui->listWidget);
    item->setData(kPageRole, page);
    item->setSizeHint(rowSize);
    attachVisibleRows();
}

void ViewerSearchForm::attachVisibleRows()
{
    QListWidget* list = ui->listWidget;
    if (list->count() == 0 || !list->isVisible())
        return; // the viewport's Show event comes back here
    QModelIndex first = list->indexAt(QPoint(0, 0));
    if (!first.isValid()) {
        list->doItemsLayout(); // rows just added are placed on the next turn otherwise
        first = list->indexAt(QPoint(0, 0));
    }
    const QModelIndex last = list->indexAt(QPoint(0, list->viewport()->height() - 1));
    const int lastRow = last.isValid() ? last.row() : list->count() - 1;
    for (int row = qMax(0, first.row()); row <= lastRow; ++row) {
        QListWidgetItem* item = list->item(row);
        if (list->itemWidget(item))
            continue;
        const int page = item->data(kPageRole).toInt();
        auto* form = new ViewerPageItemForm;
        form->setPageInfo(page, book->pageLabelForHref(book->spine.at(page)));
        form->hideDeleteButton();
        list->setItemWidget(item, form);
    }
}

void ViewerSearchForm::moveToPage(QListWidgetItem* item)
{
    if (item)
        emit moveToPageEvent(item->data(kPageRole).toInt(), &searchText);
}

bool ViewerSearchForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui->listWidget->viewport() && (event->type() == QEvent::Resize || event->type() == QEvent::Show))
        attachVisibleRows();
    return QWidget::eventFilter(watched, event);
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
