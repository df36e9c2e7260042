#include "reader/panels/viewerhighlightitemform.h"

#include "ui_viewerhighlightitemform.h"

#include <QPixmap>

ViewerHighlightItemForm::ViewerHighlightItemForm(QWidget* parent)
    : ViewerAnnotationItemForm(parent)
    , ui(std::make_unique<Ui::ViewerHighlightItemForm>())
{
    ui->setupUi(this);
}

ViewerHighlightItemForm::~ViewerHighlightItemForm() = default;

void ViewerHighlightItemForm::setPageInfo(int value, QString class_name, QString page_name)
{
    showMark(ui->page_label, value, class_name, page_name);
}

void ViewerHighlightItemForm::setColor(QString& color)
{
    // The colour name comes from the book's files: only the four known dots are loaded,
    // anything else leaves the dot empty.
    static const QStringList knownColors
        = { QStringLiteral("yellow"), QStringLiteral("orange"), QStringLiteral("green"), QStringLiteral("blue") };
    const QString name = color.toLower();
    QPixmap dot;
    if (knownColors.contains(name))
        dot.load(QStringLiteral(":/icon/Icon/h_circle_%1_60x60.png").arg(name));
    ui->color_label->setPixmap(dot);
}

void ViewerHighlightItemForm::setHighlightText(QString& text)
{
    // Plain text: marked text that looks like markup is shown as written.
    ui->textEdit->setPlainText(text);
}
