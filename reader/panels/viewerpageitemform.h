#pragma once

#include "reader/panels/viewerannotationitemform.h"

#include <memory>

namespace Ui {
class ViewerPageItemForm;
}

// A row that names one page: a bookmark in the bookmark panel, a result in the search panel.
class ViewerPageItemForm : public ViewerAnnotationItemForm
{
    Q_OBJECT

public:
    explicit ViewerPageItemForm(QWidget* parent = nullptr);
    ~ViewerPageItemForm() override;

    void setPageInfo(int page, QString page_name);
    // Rows that cannot be deleted (search results) have no delete button.
    void hideDeleteButton();

signals:
    void deleteBookmark(int, ViewerPageItemForm*);

private slots:
    void deleteButtonEvent();

private:
    std::unique_ptr<Ui::ViewerPageItemForm> ui;
};
