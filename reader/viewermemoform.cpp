#include "reader/viewermemoform.h"

#include "ui_viewermemoform.h"

namespace {
const int kMarkedTextLength = 14;
}

ViewerMemoForm::ViewerMemoForm(QWidget* parent)
    : ViewerAnnotationItemForm(parent)
    , ui(std::make_unique<Ui::ViewerMemoForm>())
{
    ui->setupUi(this);
    // Typing goes straight into the memo once the editor is shown.
    setFocusProxy(ui->textEdit);
    // OK acts on press, so a release outside the button still saves.
    connect(ui->ok_button, SIGNAL(pressed()), this, SLOT(saveEvent()));
    connect(ui->Cancel_button, SIGNAL(clicked()), this, SLOT(hide()));
}

ViewerMemoForm::~ViewerMemoForm() = default;

void ViewerMemoForm::setMemoInfo(int page, QString page_name, QString class_name, QString text, QString memo)
{
    showMark(ui->label, page, class_name, page_name);
    ui->text_label->setText(shortenedText(text, kMarkedTextLength));
    ui->textEdit->setPlainText(memo);
}

void ViewerMemoForm::saveEvent()
{
    const QString memo = ui->textEdit->toPlainText();
    hide();
    emit saveMemo(page_index, class_name, memo);
}
