#include "reader/viewersearchform.h"

#include "epub/epubdata.h"
#include "reader/booknetworkaccessmanager.h"
#include "reader/searchtext.h"
#include "reader/viewerpageitemform.h"
#include "ui_viewersearchform.h"

#include <QListWidgetItem>
#include <QMovie>
#include <QResizeEvent>
#include <QWebFrame>
#include <QWebPage>
#include <QWebSettings>

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
    auto* access = new BookNetworkAccessManager(searchPage);
    access->setBookFolder(bookDir);
    searchPage->setNetworkAccessManager(access);
    // Only the text is asked for: no book script runs, no picture is fetched.
    QWebSettings* settings = searchPage->settings();
    settings->setAttribute(QWebSettings::JavascriptEnabled, false);
    settings->setAttribute(QWebSettings::AutoLoadImages, false);
    settings->setAttribute(QWebSettings::PluginsEnabled, false);
    settings->setAttribute(QWebSettings::LocalContentCanAccessFileUrls, false);
    settings->setAttribute(QWebSettings::LocalContentCanAccessRemoteUrls, false);

    connect(ui->search_line_edit, SIGNAL(returnPressed()), this, SLOT(searchStart()));
    connect(ui->search_button, SIGNAL(clicked(bool)), this, SLOT(searchStart()));
    connect(searchPage, SIGNAL(loadFinished(bool)), this, SLOT(pageSearchLoadFinished(bool)));
    // Each document is searched from the event loop, never from inside the
    // previous step: the window stays responsive and the stack stays flat.
    connect(this, SIGNAL(pageSearchFinish()), this, SLOT(pageSearchLoad()), Qt::QueuedConnection);
    connect(ui->listWidget, SIGNAL(itemDoubleClicked(QListWidgetItem*)), this, SLOT(moveToPage(QListWidgetItem*)));

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
    foldedSearchText = lf::SearchText::fold(searchText);
    searching = true;
    count = 0;
    ui->loading_label->show();
    pageSearchLoad();
}

void ViewerSearchForm::pageSearchLoad()
{
    if (!searching)
        return;
    if (!loading || count >= textIndex.pages().pageCount()) {
        count = 0;
        searching = false;
        ui->loading_label->hide();
        return;
    }
    if (!textIndex.mayContain(count, foldedSearchText)) {
        nextDocument();
        return;
    }
    awaitingLoad = true;
    searchPage->mainFrame()->load(textIndex.pages().documentUrl(count));
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

void ViewerSearchForm::addResultRow(int page)
{
    auto* row = new ViewerPageItemForm;
    row->setPageInfo(page, book->pageLabelForHref(book->spine.at(page)));
    row->hideDeleteButton();
    auto* item = new QListWidgetItem(ui->listWidget);
    item->setSizeHint(row->size());
    ui->listWidget->setItemWidget(item, row);
}

void ViewerSearchForm::moveToPage(QListWidgetItem* item)
{
    if (!item)
        return;
    if (auto* row = qobject_cast<ViewerAnnotationItemForm*>(ui->listWidget->itemWidget(item)))
        emit moveToPageEvent(row->getPage_index(), &searchText);
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
