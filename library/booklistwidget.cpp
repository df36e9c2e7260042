#include "library/booklistwidget.h"

#include "app/bookname.h"
#include "app/datadirectory.h"
#include "app/startup.h"
#include "library/bookcasefile.h"
#include "library/booklistcontrol.h"
#include "library/booklistgriditemform.h"
#include "library/booklistverticalitemform.h"
#include "library/viewermainwindow.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QPainter>
#include <QScopedValueRollback>
#include <QSet>

namespace {
constexpr int kNarrowWidth = 50;
// The style sheet a tile had when its form was released, so the tint of a tile
// the mouse has passed over survives scrolling it out of view and back.
constexpr int kTileStyleRole = Qt::UserRole + 1;
// The hint over an empty pane: grey text, a little larger than the list's.
const QColor kHintColour(102, 102, 102);
constexpr qreal kHintPointSizeGrowth = 2;
constexpr int kHintMargin = 20;
// A search text longer than this is cut in the hint.
constexpr int kHintSearchTextWidth = 300;

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
    connect(this, SIGNAL(itemDoubleClicked(QListWidgetItem*)), this, SLOT(itemDoubleClickedEvent(QListWidgetItem*)));
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
    m_searchText.clear(); // a redraw shows every row
    this->grid_view_mode = grid_view_mode;
    this->order_mode = order_mode;
    const BookListControl* store = BookListControl::instance();
    const QStringList names = store->sortedNames(order_mode);

    setMaximumWidth(kNarrowWidth);
    for (int position = 0; position < names.size(); ++position) {
        if (store->bookInfo(names.at(position)))
            insertBookItem(names.at(position), position);
    }
    setMaximumWidth(QWIDGETSIZE_MAX);
    layOutNow();
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
    insertBookItem(name, position);
    setMaximumWidth(QWIDGETSIZE_MAX);
    layOutNow();
    update();
}

void BookListWidget::addBookItem(BookInfo* book_info)
{
    addBookItem(book_info, -1);
}

QListWidgetItem* BookListWidget::insertBookItem(const QString& name, int position)
{
    auto* item = new QListWidgetItem;
    item->setData(Qt::UserRole, name);
    item->setSizeHint(formSize());
    insertItem(qBound(0, position, count()), item);
    return item;
}

QSize BookListWidget::formSize() const
{
    static const QSize tile = BookListGridItemForm().size();
    static const QSize row = BookListVerticalItemForm().size();
    return grid_view_mode ? tile : row;
}

void BookListWidget::layOutNow()
{
    executeDelayedItemsLayout();
    updateVisibleForms();
}

void BookListWidget::doItemsLayout()
{
    QListWidget::doItemsLayout();
    updateVisibleForms();
}

void BookListWidget::scrollContentsBy(int dx, int dy)
{
    QListWidget::scrollContentsBy(dx, dy);
    updateVisibleForms();
}

void BookListWidget::updateVisibleForms()
{
    // Setting a form can lay the list out again, which lands here once more.
    if (m_updatingForms)
        return;
    const QScopedValueRollback<bool> guard(m_updatingForms, true);
    const QRect view = viewport()->rect();
    const QRect area = view.adjusted(0, -view.height(), 0, view.height());
    // By row, not by item: finding an item's row after an insertion is a search.
    for (int row = 0; row < count(); ++row) {
        const QModelIndex index = model()->index(row, 0);
        // A hidden row has no rectangle, so it has no form either.
        const bool wanted = visualRect(index).intersects(area);
        QWidget* form = indexWidget(index);
        if (wanted && !form) {
            if (QWidget* created = createForm(item(row)))
                setIndexWidget(index, created);
        } else if (!wanted && form) {
            releaseForm(index, form);
        }
    }
}

QWidget* BookListWidget::createForm(const QListWidgetItem* item)
{
    BookInfo* book_info = BookListControl::instance()->bookInfo(bookNameOf(item));
    if (!book_info)
        return nullptr;
    if (grid_view_mode) {
        auto* tile = new BookListGridItemForm;
        tile->setBook(book_info);
        const QString style = item->data(kTileStyleRole).toString();
        if (!style.isEmpty())
            tile->setStyleSheet(style);
        return tile;
    }
    auto* row = new BookListVerticalItemForm;
    row->setBook(book_info);
    if (ViewerMainWindow* window = lf::libraryWindow())
        connect(row, SIGNAL(detailViewButtonClicked(QString)), window, SLOT(openEpubViewer(QString)));
    return row;
}

void BookListWidget::releaseForm(const QModelIndex& index, QWidget* form)
{
    if (qobject_cast<BookListGridItemForm*>(form) && !form->styleSheet().isEmpty())
        model()->setData(index, form->styleSheet(), kTileStyleRole);
    // The view deletes the form later; until then it must not show where it was.
    form->hide();
    setIndexWidget(index, nullptr);
}

void BookListWidget::removeBookItem(QString book_file_name)
{
    if (ViewerMainWindow* window = lf::libraryWindow())
        window->closeEpubViewerOf(book_file_name);
    // The row goes before the record its form shows.
    removeBookRow(book_file_name);
    BookListControl::instance()->removeBook(book_file_name);
    removeBookFolder(book_file_name);
}

void BookListWidget::removeBookRow(const QString& book_file_name)
{
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
    m_searchText = search_index;
    const QStringList found = BookListControl::instance()->searchNames(search_index, order_mode);
    const QSet<QString> shown(found.cbegin(), found.cend());
    for (int row = 0; row < count(); ++row)
        setRowHidden(row, !shown.contains(bookNameOf(item(row))));
    layOutNow();
    viewport()->update();
}

QString BookListWidget::emptyStateHint() const
{
    if (count() == 0) {
        return tr("Your bookcase is empty.\nAdd a book with the open button at the top left, "
                  "or drop .epub files here.");
    }
    for (int row = 0; row < count(); ++row) {
        if (!isRowHidden(row))
            return {};
    }
    const QString shown = fontMetrics().elidedText(m_searchText, Qt::ElideRight, kHintSearchTextWidth);
    return tr("No book matches \"%1\".").arg(shown);
}

void BookListWidget::paintEvent(QPaintEvent* event)
{
    QListWidget::paintEvent(event);
    const QString hint = emptyStateHint();
    if (hint.isEmpty())
        return;
    QPainter painter(viewport());
    QFont font = painter.font();
    font.setPointSizeF(font.pointSizeF() + kHintPointSizeGrowth);
    painter.setFont(font);
    painter.setPen(kHintColour);
    const QRect area = viewport()->rect().adjusted(kHintMargin, kHintMargin, -kHintMargin, -kHintMargin);
    painter.drawText(area, Qt::AlignCenter | Qt::TextWordWrap, hint);
}
