#pragma once

#include "reader/annotationstore.h"

#include <QPointer>
#include <QSize>
#include <QString>
#include <QWidget>

#include <memory>

class QJsonObject;
class QListWidget;
class QListWidgetItem;
class ViewerAnnotationItemForm;
class VisibleRowForms;
struct EpubData;

namespace Ui {
class ViewerAnnotationListForm;
}

// Shared part of the bookmark, highlight and memo panels: title bar, close button and the
// list of rows. A row holds its mark's page, class name and index entry; its row form is
// made only while the row is in view, so ten thousand marks make a screenful of widgets.
// The panels only show the annotation store's data, follow its changes and report requests
// back; each is owned by the reader window's central widget and lives on the GUI thread.
class ViewerAnnotationListForm : public QWidget
{
    Q_OBJECT

public:
    ~ViewerAnnotationListForm() override;

    // Lists the marks `store` holds for `book` and follows the store from then on. A
    // panel that lists only when first shown lets a book with a thousand marks open as
    // fast as one without.
    void followStore(AnnotationStore* store, EpubData* book);

signals:
    void hided();
    void showed(QString);
    void moveToPageEvent(int);

public slots:
    void moveToPage(QListWidgetItem* item);
    QString getTitle();

protected:
    ViewerAnnotationListForm(const QString& object_name, const QString& title, QWidget* parent);

    QListWidget* listWidget() const;
    // The row's form; none while the row is out of view.
    ViewerAnnotationItemForm* rowForm(int row) const;
    // Number of pages of the book given with the last set-up call (0 without a book).
    int spineCount() const;
    // The page label of spine document `page`, empty when it has none or the page is not in the book.
    QString pageLabel(int page) const;
    void appendRow(int page, const QString& class_name, const QJsonObject& entry);
    // Keeps the rows in ascending page order: after the last row of the same or an earlier page.
    void insertRowInPageOrder(int page, const QString& class_name, const QJsonObject& entry);
    int rowPage(int row) const;
    // The first row of that page and mark class name, or -1.
    int findRow(int page_num, const QString& class_name) const;
    void removeRow(int row);
    // Removes the first row of that page and mark class name; a mark not listed is ignored.
    void removeMarkRow(int page_num, const QString& class_name);
    // The index entry a row was made with, and its replacement.
    QJsonObject rowEntry(int row) const;
    void setRowEntry(int row, const QJsonObject& entry);
    void clearRows();
    // Rebuilds the list from an index object: pages in spine order, within a page the marks in
    // key order (the order they were made). Keys that are not a page of the book give no row.
    void setRows(const QJsonObject* index, EpubData* book);
    // One row form for a mark and its index entry; the panels provide it.
    virtual ViewerAnnotationItemForm* makeRow(int page, const QString& class_name, const QJsonObject& entry);
    // Makes the forms of the rows now in view.
    void attachRowForms();
    // Fills the list from the store and connects the store's changes to the panel's slots.
    virtual void listStore(AnnotationStore* store) = 0;
    virtual bool listsWhenFirstShown() const { return true; }

    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

    EpubData* epub_data = nullptr;

private:
    void insertRow(int row, int page, const QString& class_name, const QJsonObject& entry);
    QWidget* makeRowForm(QListWidgetItem* item);

    std::unique_ptr<Ui::ViewerAnnotationListForm> ui;
    QPointer<AnnotationStore> unlisted_store; // to be listed when first shown
    VisibleRowForms* row_forms = nullptr;
    QSize row_size; // of a row form, measured once
};
