#include "library/booklistwidget.h"

#include "app/datadirectory.h"
#include "app/startup.h"
#include "library/bookcasefile.h"
#include "library/booklistcontrol.h"
#include "library/bookname.h"
#include "library/booklistgriditemform.h"
#include "library/booklistverticalitemform.h"
#include "library/viewermainwindow.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QSet>

namespace {
constexpr int kNarrowWidth = 50;

QString bookNameOf(const QListWidgetItem* item)
{
    return item->data(Qt::UserRole).toString();
}

// Removes the book's folder; a link in its place is removed, never followed.
void removeBookFolder(const QString& name)
{
    if (!lf::isUsableBookName(name) || !lf::dataDirectoryIsOurs())
        return;
    const QString folder = BookcaseFile::bookFolder(name);
    const QFileInfo info(folder);
    if (info.isSymLink() || info.isFile())
        QFile::remove(folder);
    else if (info.isDir())
        QDir(folder).removeRecursively();
}
} // namespace

BookListWidget::BookListWidget(QWidget* parent)
    : QListWidget(parent)
{
    setDragEnabled(true);
    setAcceptDrops(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setDropIndicatorShown(true);
    connect(this, SIGNAL(customContextMenuRequested(QPoint)), this, SLOT(customContextMenuRequestedEvent(QPoint)));
    connect(this, SIGNAL(itemDoubleClicked(QListWidgetItem*)), this,
            SLOT(itemDoubleClickedEvent(QListWidgetItem*)));
}

void BookListWidget::customContextMenuRequestedEvent(QPoint point)
{
    QListWidgetItem* item = itemAt(point);
    if (!item)
        return;
    const QString name = bookNameOf(item);
    QMenu menu(this);
    menu.addAction(tr("Delete"));
    if (chooseMenuEntry(menu, viewport()->mapToGlobal(point)).contains(tr("Delete")))
        removeBookItem(name);
}

QString BookListWidget::chooseMenuEntry(QMenu& menu, const QPoint& globalPosition)
{
    const QAction* chosen = menu.exec(globalPosition);
    return chosen ? chosen->text() : QString();
}

void BookListWidget::itemDoubleClickedEvent(QListWidgetItem* item)
{
    ViewerMainWindow* window = lf::libraryWindow();
    if (item && grid_view_mode && window)
        window->openEpubViewer(bookNameOf(item));
}

void BookListWidget::setGridViewMode(bool flag)
{
    grid_view_mode = flag;
}

void BookListWidget::drawList(bool grid_view_mode, int order_mode)
{
    clear();
    this->grid_view_mode = grid_view_mode;
    this->order_mode = order_mode;
    const BookListControl* store = BookListControl::instance();
    const QStringList names = store->sortedNames(order_mode);

    // All items go in before any form: a form set while the list holds a laid-out
    // item costs a pass over the whole list, which made a large bookcase quadratic.
    setMaximumWidth(kNarrowWidth);
    QList<QPair<QListWidgetItem*, QWidget*>> placed;
    placed.reserve(names.size());
    for (int position = 0; position < names.size(); ++position) {
        BookInfo* book_info = store->bookInfo(names.at(position));
        if (!book_info)
            continue;
        QWidget* form = createForm(book_info);
        placed.append({insertBookItem(book_info->fileName(), form->size(), position), form});
    }
    for (const auto& [item, form] : qAsConst(placed))
        setItemWidget(item, form);
    setMaximumWidth(QWIDGETSIZE_MAX);
    update();
}

void BookListWidget::drawList(bool grid_view_mode)
{
    drawList(grid_view_mode, 0);
}

void BookListWidget::drawList()
{
    drawList(true, 0);
}

void BookListWidget::addBookItem(BookInfo* book_info, int position)
{
    if (!book_info)
        return;
    setMaximumWidth(kNarrowWidth);
    const QString name = book_info->fileName();
    if (position == -1)
        position = BookListControl::instance()->sortedNames(order_mode).indexOf(name);
    QWidget* form = createForm(book_info);
    setItemWidget(insertBookItem(name, form->size(), position), form);
    setMaximumWidth(QWIDGETSIZE_MAX);
    update();
}

void BookListWidget::addBookItem(BookInfo* book_info)
{
    addBookItem(book_info, -1);
}

QListWidgetItem* BookListWidget::insertBookItem(const QString& name, const QSize& size, int position)
{
    auto* item = new QListWidgetItem;
    item->setData(Qt::UserRole, name);
    item->setSizeHint(size);
    insertItem(qBound(0, position, count()), item);
    return item;
}

QWidget* BookListWidget::createForm(BookInfo* book_info)
{
    if (grid_view_mode) {
        auto* tile = new BookListGridItemForm;
        tile->setBook(book_info);
        return tile;
    }
    auto* row = new BookListVerticalItemForm;
    row->setBook(book_info);
    if (ViewerMainWindow* window = lf::libraryWindow())
        connect(row, SIGNAL(detailViewButtonClicked(QString)), window, SLOT(openEpubViewer(QString)));
    return row;
}

void BookListWidget::removeBookItem(QString book_file_name)
{
    BookListControl::instance()->removeBook(book_file_name);
    removeBookFolder(book_file_name);
    for (int row = 0; row < count(); ++row) {
        if (bookNameOf(item(row)) == book_file_name) {
            // Taking the item out releases its form as well.
            delete takeItem(row);
            return;
        }
    }
}

void BookListWidget::searchInList(QString search_index)
{
    const QStringList found = BookListControl::instance()->searchNames(search_index, order_mode);
    const QSet<QString> shown(found.cbegin(), found.cend());
    for (int row = 0; row < count(); ++row)
        setRowHidden(row, !shown.contains(bookNameOf(item(row))));
    viewport()->update();
}
