#include "reader/panels/viewerthumbnailitemform.h"

#include "ui_viewerthumbnailitemform.h"

#include <QGraphicsDropShadowEffect>

ViewerThumbnailItemForm::ViewerThumbnailItemForm(const QString& index, QWidget* parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui::ViewerThumbnailItemForm>())
{
    ui->setupUi(this);
    ui->index_label->setText(index);
    auto* shadow = new QGraphicsDropShadowEffect(ui->image_label);
    shadow->setColor(QColor(63, 63, 63, 180));
    shadow->setBlurRadius(10);
    shadow->setOffset(3, 3);
    ui->image_label->setGraphicsEffect(shadow);
}

ViewerThumbnailItemForm::~ViewerThumbnailItemForm() = default;

void ViewerThumbnailItemForm::setPixmap(const QPixmap& pixmap)
{
    if (!pixmap.isNull())
        ui->image_label->setPixmap(pixmap);
}

QSize ViewerThumbnailItemForm::imageSize() const
{
    return ui->image_label->size();
}

QSize ViewerThumbnailItemForm::pictureSize()
{
    return ViewerThumbnailItemForm(QString()).imageSize();
}

bool ViewerThumbnailItemForm::hasPixmap() const
{
    return !ui->image_label->pixmap(Qt::ReturnByValue).isNull();
}
