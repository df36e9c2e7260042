#pragma once

#include <QListWidget>
#include <QPersistentModelIndex>
#include <QVector>

class BookInfo;
class QMenu;

// The bookcase list of the library window: one item per book, shown as a
// cover tile (grid mode) or a row, in the order and filter the window asks for.
// Items carry the book name under Qt::UserRole. Only the items in view (plus a
// margin of one view height above and below) carry a form, so a bookcase of
// thousands of books costs a few dozen widgets; forms come and go on scrolling.
// With nothing to show it says why: how to add a book, or that none matches.
class BookListWidget : public QListWidget
{
    Q_OBJECT

public:
    explicit BookListWidget(QWidget* parent = nullptr);

    void doItemsLayout() override;
    // The text shown over an empty pane; empty while books are shown.
    QString emptyStateHint() const;

private slots:
    void customContextMenuRequestedEvent(QPoint point);
    void itemDoubleClickedEvent(QListWidgetItem* item);

public slots:
    void setGridViewMode(bool);
    void drawList(bool grid_view_mode, int order_mode);
    void drawList(bool grid_view_mode);
    void drawList();
    void addBookItem(BookInfo* book_info, int position);
    void addBookItem(BookInfo* book_info);
    void removeBookItem(QString book_file_name);
    // Takes the book's row out of the list, leaving record and folder alone.
    void removeBookRow(const QString& book_file_name);
    void searchInList(QString search_index);
    // Gives the book's tile or row a new form, if it has one now, so a cover
    // drawn meanwhile shows; the order, the mode and the search stay.
    void refreshBookItem(const QString& book_file_name);

protected:
    // Shows the menu and returns the text of the chosen entry, empty when none.
    virtual QString chooseMenuEntry(QMenu& menu, const QPoint& globalPosition);
    void scrollContentsBy(int dx, int dy) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QListWidgetItem* insertBookItem(const QString& name, int position);
    // Lays the items out now and gives the ones in view their forms.
    void layOutNow();
    void updateVisibleForms();
    // The rows not hidden by the search, in order.
    const QVector<int>& shownRows() const;
    // The shown rows whose rectangles meet `area`, in order.
    QVector<int> shownRowsIn(const QRect& area);
    QWidget* createForm(const QListWidgetItem* item);
    void releaseForm(const QModelIndex& index, QWidget* form);
    // The size of a tile or a row, as its form defines it.
    QSize formSize() const;

    bool grid_view_mode = true;
    int order_mode = 0;
    bool m_updatingForms = false;
    // Rows that carry a form now; a handful however long the list.
    QVector<QPersistentModelIndex> m_formedRows;
    // Worked out again when rows come, go or change their hidden state.
    mutable QVector<int> m_shownRows;
    mutable bool m_shownRowsKnown = false;
    // The text of the last search, for the hint when it finds nothing.
    QString m_searchText;
};
