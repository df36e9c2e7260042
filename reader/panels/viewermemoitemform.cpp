#include "reader/panels/viewermemoitemform.h"

#include "ui_viewermemoitemform.h"

namespace {
const int kMarkedTextLength = 10;
}

ViewerMemoItemForm::ViewerMemoItemForm(QWidget* parent)
    : ViewerAnnotationItemForm(parent)
    , ui(std::make_unique<Ui::ViewerMemoItemForm>())
{
    ui->setupUi(this);
}

ViewerMemoItemForm::~ViewerMemoItemForm() = default;

void ViewerMemoItemForm::setPageInfo(int value, QString page_name, QString class_name)
{
    showMark(ui->page_label, value, class_name, page_name);
}

void ViewerMemoItemForm::setMemoText(QString text, QString memo)
{
    ui->text_label->setText(shortenedText(text, kMarkedTextLength));
    setMemoText(memo);
}

void ViewerMemoItemForm::setMemoText(QString memo)
{
    ui->textEdit->setPlainText(memo);
}
