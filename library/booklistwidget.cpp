#include "library/booklistwidget.h"

#include "app/startup.h"
#include "base/bookname.h"
#include "base/datadirectory.h"
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
#include <QSignalBlocker>

#include <algorithm>

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
    // Every tile (or row) has the size its form defines: the layout asks once.
    setUniformItemSizes(true);
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

    QStringList shown;
    shown.reserve(names.size());
    for (const QString& name : names) {
        if (store->bookInfo(name))
            shown.append(name);
    }
    setMaximumWidth(kNarrowWidth);
    // All rows in one insertion, so the view lays them out once; their data is
    // set before that layout runs, which reads it afresh.
    QStringList labels;
    labels.reserve(shown.size());
    for (int row = 0; row < shown.size(); ++row)
        labels.append(QString());
    insertItems(0, labels);
    {
        const QSignalBlocker quiet(model());
        const QSize size = formSize();
        for (int row = 0; row < shown.size(); ++row) {
            QListWidgetItem* added = item(row);
            added->setData(Qt::UserRole, shown.at(row));
            added->setSizeHint(size);
        }
    }
    m_shownRows.clear();
    m_shownRowsKnown = false;
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
    m_shownRowsKnown = false;
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
    const QVector<int> wanted = shownRowsIn(area);
    QVector<QPersistentModelIndex> formed;
    formed.reserve(wanted.size());
    for (const QPersistentModelIndex& index : qAsConst(m_formedRows)) {
        if (!index.isValid())
            continue;
        QWidget* form = indexWidget(index);
        if (!form)
            continue;
        if (std::binary_search(wanted.cbegin(), wanted.cend(), index.row()))
            formed.append(index);
        else
            releaseForm(index, form);
    }
    for (const int row : wanted) {
        const QModelIndex index = model()->index(row, 0);
        if (indexWidget(index))
            continue;
        if (QWidget* created = createForm(item(row))) {
            setIndexWidget(index, created);
            formed.append(index);
        }
    }
    m_formedRows = formed;
}

const QVector<int>& BookListWidget::shownRows() const
{
    if (!m_shownRowsKnown) {
        m_shownRows.clear();
        m_shownRows.reserve(count());
        for (int row = 0; row < count(); ++row) {
            if (!isRowHidden(row))
                m_shownRows.append(row);
        }
        m_shownRowsKnown = true;
    }
    return m_shownRows;
}

QVector<int> BookListWidget::shownRowsIn(const QRect& area)
{
    // The shown rows are laid out in order, line by line, so the ones that
    // meet the area are a run found by halving rather than by walking them all.
    const QVector<int>& rows = shownRows();
    auto rectOf = [this](int row) { return visualRect(model()->index(row, 0)); };
    auto first
        = std::partition_point(rows.cbegin(), rows.cend(), [&](int row) { return rectOf(row).bottom() < area.top(); });
    QVector<int> found;
    for (auto it = first; it != rows.cend(); ++it) {
        const QRect rect = rectOf(*it);
        if (rect.top() > area.bottom())
            break;
        if (rect.intersects(area))
            found.append(*it);
    }
    return found;
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
            m_shownRowsKnown = false;
            return;
        }
    }
}

void BookListWidget::refreshBookItem(const QString& book_file_name)
{
    // Rows without a form read their cover when they come into view.
    for (const QPersistentModelIndex& formed : qAsConst(m_formedRows)) {
        QWidget* form = formed.isValid() ? indexWidget(formed) : nullptr;
        if (!form || bookNameOf(item(formed.row())) != book_file_name)
            continue;
        // Swapping the form may lay the list out again, which renews the
        // formed rows: the row is held by a copy of its index.
        const QPersistentModelIndex index = formed;
        QListWidgetItem* row = item(index.row());
        releaseForm(index, form);
        if (QWidget* created = createForm(row))
            setIndexWidget(index, created);
        return;
    }
}

void BookListWidget::searchInList(QString search_index)
{
    m_searchText = search_index;
    const QStringList found = BookListControl::instance()->searchNames(search_index, order_mode);
    const QSet<QString> shown(found.cbegin(), found.cend());
    m_shownRows.clear();
    for (int row = 0; row < count(); ++row) {
        const bool hide = !shown.contains(bookNameOf(item(row)));
        // Only a change of state touches the view.
        if (hide != isRowHidden(row))
            setRowHidden(row, hide);
        if (!hide)
            m_shownRows.append(row);
    }
    m_shownRowsKnown = true;
    layOutNow();
    viewport()->update();
}

QString BookListWidget::emptyStateHint() const
{
    if (count() == 0) {
        return tr("Your bookcase is empty.\nAdd a book with the open button at the top left, "
                  "or drop .epub files here.");
    }
    if (!shownRows().isEmpty())
        return {};
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
