#include "reader/panels/viewerbookmarklistform.h"

#include "reader/annotationstore.h"
#include "reader/panels/viewerpageitemform.h"

#include <QJsonObject>
#include <QListWidget>

ViewerBookmarkListForm::ViewerBookmarkListForm(QWidget* parent)
    : ViewerAnnotationListForm(QStringLiteral("ViewerBookmarkListForm"), tr("Bookmark"), parent)
{ }

void ViewerBookmarkListForm::setBookmarkList(QList<int>* bookmark_list, EpubData* epub_data)
{
    clearRows();
    this->epub_data = epub_data;
    if (!bookmark_list)
        return;
    for (int page : *bookmark_list) {
        // A bookmark read from the book's file may name a page the book does not have.
        if (page < 0 || page >= spineCount())
            continue;
        appendRow(page, QString(), QJsonObject());
    }
    attachRowForms();
}

void ViewerBookmarkListForm::listStore(AnnotationStore* store)
{
    annotations = store;
    setBookmarkList(store->bookmarks(), epub_data);
    connect(store, SIGNAL(bookmarksChanged()), this, SLOT(followBookmarks()));
}

void ViewerBookmarkListForm::followBookmarks()
{
    // A bookmark deleted from this panel has lost its row already: the list
    // is built again only when it no longer shows the store's bookmarks.
    if (!annotations)
        return;
    QList<int> listed;
    for (int row = 0; row < listWidget()->count(); ++row)
        listed.append(rowPage(row));
    if (listed != *annotations->bookmarks())
        setBookmarkList(annotations->bookmarks(), epub_data);
}

ViewerAnnotationItemForm* ViewerBookmarkListForm::makeRow(int page, const QString&, const QJsonObject&)
{
    auto* form = new ViewerPageItemForm;
    form->setPageInfo(page, pageLabel(page));
    connect(form, SIGNAL(deleteBookmark(int, ViewerPageItemForm*)), this,
        SLOT(deleteBookmarkEvent(int, ViewerPageItemForm*)));
    return form;
}

void ViewerBookmarkListForm::deleteBookmarkEvent(int index, ViewerPageItemForm* delete_item)
{
    for (int row = 0; row < listWidget()->count(); ++row) {
        if (listWidget()->itemWidget(listWidget()->item(row)) == delete_item) {
            removeRow(row);
            emit deleteBookmark(index);
            return;
        }
    }
}
