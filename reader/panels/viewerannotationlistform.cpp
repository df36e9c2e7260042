#include "reader/panels/viewerannotationlistform.h"

#include "epub/epubdata.h"
#include "reader/panels/viewerannotationitemform.h"
#include "reader/panels/visiblerowforms.h"
#include "ui_viewerannotationlistform.h"

#include <QJsonObject>
#include <QListWidget>
#include <QResizeEvent>

#include <utility>

namespace {
// What a row holds of its mark.
constexpr int kPageRole = Qt::UserRole;
constexpr int kClassRole = Qt::UserRole + 1;
constexpr int kEntryRole = Qt::UserRole + 2;
} // namespace

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
    row_forms = new VisibleRowForms(ui->listWidget, [this](QListWidgetItem* item) { return makeRowForm(item); });
}

ViewerAnnotationListForm::~ViewerAnnotationListForm() = default;

void ViewerAnnotationListForm::followStore(AnnotationStore* store, EpubData* book)
{
    epub_data = book;
    unlisted_store = store;
    if (!listsWhenFirstShown() || isVisible()) {
        unlisted_store = nullptr;
        listStore(store);
    }
}

void ViewerAnnotationListForm::moveToPage(QListWidgetItem* item)
{
    if (item)
        emit moveToPageEvent(item->data(kPageRole).toInt());
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

void ViewerAnnotationListForm::appendRow(int page, const QString& class_name, const QJsonObject& entry)
{
    insertRow(ui->listWidget->count(), page, class_name, entry);
}

void ViewerAnnotationListForm::insertRowInPageOrder(int page, const QString& class_name, const QJsonObject& entry)
{
    int row = ui->listWidget->count();
    while (row > 0 && ui->listWidget->item(row - 1)->data(kPageRole).toInt() > page)
        --row;
    insertRow(row, page, class_name, entry);
    attachRowForms();
}

int ViewerAnnotationListForm::rowPage(int row) const
{
    return ui->listWidget->item(row)->data(kPageRole).toInt();
}

int ViewerAnnotationListForm::findRow(int page_num, const QString& class_name) const
{
    for (int row = 0; row < ui->listWidget->count(); ++row) {
        const QListWidgetItem* item = ui->listWidget->item(row);
        if (item->data(kPageRole).toInt() == page_num && item->data(kClassRole).toString() == class_name)
            return row;
    }
    return -1;
}

QJsonObject ViewerAnnotationListForm::rowEntry(int row) const
{
    return ui->listWidget->item(row)->data(kEntryRole).toJsonObject();
}

void ViewerAnnotationListForm::setRowEntry(int row, const QJsonObject& entry)
{
    ui->listWidget->item(row)->setData(kEntryRole, entry);
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
    for (int page = 0; page < spineCount(); ++page) {
        const auto pageEntry = index->constFind(QString::number(page));
        if (pageEntry == index->constEnd())
            continue;
        const QJsonObject marks = pageEntry->toObject();
        for (auto mark = marks.constBegin(); mark != marks.constEnd(); ++mark)
            appendRow(page, mark.key(), mark->toObject());
    }
    attachRowForms();
}

ViewerAnnotationItemForm* ViewerAnnotationListForm::makeRow(int, const QString&, const QJsonObject&)
{
    return nullptr;
}

void ViewerAnnotationListForm::attachRowForms()
{
    row_forms->attach();
}

void ViewerAnnotationListForm::insertRow(int row, int page, const QString& class_name, const QJsonObject& entry)
{
    if (row_size.isEmpty()) {
        const std::unique_ptr<ViewerAnnotationItemForm> probe(makeRow(page, class_name, entry));
        row_size = probe ? probe->size() : QSize();
    }
    auto* item = new QListWidgetItem;
    item->setData(kPageRole, page);
    item->setData(kClassRole, class_name);
    item->setData(kEntryRole, entry);
    item->setSizeHint(row_size);
    ui->listWidget->insertItem(row, item);
}

QWidget* ViewerAnnotationListForm::makeRowForm(QListWidgetItem* item)
{
    return makeRow(
        item->data(kPageRole).toInt(), item->data(kClassRole).toString(), item->data(kEntryRole).toJsonObject());
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
    if (AnnotationStore* store = std::exchange(unlisted_store, nullptr))
        listStore(store);
    emit showed(getTitle());
}

void ViewerAnnotationListForm::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    emit hided();
}
