#include "reader/panels/viewerpageitemform.h"

#include "ui_viewerpageitemform.h"

ViewerPageItemForm::ViewerPageItemForm(QWidget* parent)
    : ViewerAnnotationItemForm(parent)
    , ui(std::make_unique<Ui::ViewerPageItemForm>())
{
    ui->setupUi(this);
    connect(ui->delete_button, SIGNAL(clicked(bool)), this, SLOT(deleteButtonEvent()));
}

ViewerPageItemForm::~ViewerPageItemForm() = default;

void ViewerPageItemForm::setPageInfo(int page, QString page_name)
{
    showPage(ui->page_label, page, page_name);
}

void ViewerPageItemForm::hideDeleteButton()
{
    ui->delete_button->hide();
}

void ViewerPageItemForm::deleteButtonEvent()
{
    emit deleteBookmark(page_index, this);
}
