#pragma once

#include <QListWidget>

class BookInfo;
class QMenu;

// The bookcase list of the library window: one item per book, shown as a
// cover tile (grid mode) or a row, in the order and filter the window asks for.
// Items carry the book name under Qt::UserRole.
class BookListWidget : public QListWidget
{
    Q_OBJECT

public:
    explicit BookListWidget(QWidget* parent = nullptr);

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
    void searchInList(QString search_index);

protected:
    // Shows the menu and returns the text of the chosen entry, empty when none.
    virtual QString chooseMenuEntry(QMenu& menu, const QPoint& globalPosition);

private:
    QListWidgetItem* insertBookItem(const QString& name, const QSize& size, int position);
    QWidget* createForm(BookInfo* book_info);

    bool grid_view_mode = true;
    int order_mode = 0;
};
