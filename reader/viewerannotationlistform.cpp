#include "reader/viewerannotationlistform.h"

#include "epub/epubdata.h"
#include "reader/viewerannotationitemform.h"
#include "ui_viewerannotationlistform.h"

#include <QJsonObject>
#include <QListWidget>
#include <QResizeEvent>

ViewerAnnotationListForm::ViewerAnnotationListForm(const QString& object_name, const QString& title, QWidget* parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui::ViewerAnnotationListForm>())
{
    // Named before setupUi, which keeps a name already given.
    setObjectName(object_name);
    ui->setupUi(this);
    ui->title_label->setText(title);
    connect(ui->close_button, SIGNAL(clicked()), this, SLOT(hide()));
    connect(ui->listWidget, SIGNAL(itemDoubleClicked(QListWidgetItem*)), this, SLOT(moveToPage(QListWidgetItem*)));
}

ViewerAnnotationListForm::~ViewerAnnotationListForm() = default;

void ViewerAnnotationListForm::moveToPage(QListWidgetItem* item)
{
    if (!item)
        return;
    if (auto* form = qobject_cast<ViewerAnnotationItemForm*>(ui->listWidget->itemWidget(item)))
        emit moveToPageEvent(form->getPage_index());
}

QString ViewerAnnotationListForm::getTitle()
{
    return ui->title_label->text();
}

QListWidget* ViewerAnnotationListForm::listWidget() const
{
    return ui->listWidget;
}

ViewerAnnotationItemForm* ViewerAnnotationListForm::rowForm(int row) const
{
    return qobject_cast<ViewerAnnotationItemForm*>(ui->listWidget->itemWidget(ui->listWidget->item(row)));
}

int ViewerAnnotationListForm::spineCount() const
{
    return epub_data ? epub_data->spine.size() : 0;
}

QString ViewerAnnotationListForm::pageLabel(int page) const
{
    if (page < 0 || page >= spineCount())
        return {};
    return epub_data->pageLabelForHref(epub_data->spine.at(page));
}

void ViewerAnnotationListForm::appendRow(ViewerAnnotationItemForm* form)
{
    insertRow(ui->listWidget->count(), form);
}

void ViewerAnnotationListForm::insertRowInPageOrder(ViewerAnnotationItemForm* form)
{
    int row = ui->listWidget->count();
    while (row > 0 && rowForm(row - 1)->getPage_index() > form->getPage_index())
        --row;
    insertRow(row, form);
}

int ViewerAnnotationListForm::findRow(int page_num, const QString& class_name) const
{
    for (int row = 0; row < ui->listWidget->count(); ++row) {
        ViewerAnnotationItemForm* form = rowForm(row);
        if (form->getPage_index() == page_num && form->getClassName() == class_name)
            return row;
    }
    return -1;
}

void ViewerAnnotationListForm::removeRow(int row)
{
    QListWidgetItem* item = ui->listWidget->item(row);
    // The view deletes the row form later, so a form may remove its own row from one of its signals.
    ui->listWidget->removeItemWidget(item);
    delete ui->listWidget->takeItem(row);
}

void ViewerAnnotationListForm::removeMarkRow(int page_num, const QString& class_name)
{
    const int row = findRow(page_num, class_name);
    if (row >= 0)
        removeRow(row);
}

void ViewerAnnotationListForm::clearRows()
{
    ui->listWidget->clear();
}

void ViewerAnnotationListForm::setRows(const QJsonObject* index, EpubData* book)
{
    clearRows();
    epub_data = book;
    if (!index)
        return;
    // Hidden while filled: a visible list lays out its row widgets again on
    // every insertion, which makes a long list quadratic.
    QListWidget* list = ui->listWidget;
    const bool wasHidden = list->isHidden();
    list->hide();
    for (int page = 0; page < spineCount(); ++page) {
        const auto pageEntry = index->constFind(QString::number(page));
        if (pageEntry == index->constEnd())
            continue;
        const QJsonObject marks = pageEntry->toObject();
        for (auto mark = marks.constBegin(); mark != marks.constEnd(); ++mark) {
            if (ViewerAnnotationItemForm* form = makeRow(page, mark.key(), mark->toObject()))
                appendRow(form);
        }
    }
    list->setHidden(wasHidden);
}

ViewerAnnotationItemForm* ViewerAnnotationListForm::makeRow(int, const QString&, const QJsonObject&)
{
    return nullptr;
}

void ViewerAnnotationListForm::insertRow(int row, ViewerAnnotationItemForm* form)
{
    auto* item = new QListWidgetItem;
    item->setSizeHint(form->size());
    ui->listWidget->insertItem(row, item);
    ui->listWidget->setItemWidget(item, form);
}

void ViewerAnnotationListForm::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    const QPoint corner = ui->body_frame->pos();
    ui->body_frame->resize(width() - corner.x(), height() - corner.y());
}

void ViewerAnnotationListForm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    emit showed(getTitle());
}

void ViewerAnnotationListForm::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    emit hided();
}
