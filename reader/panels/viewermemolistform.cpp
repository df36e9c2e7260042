#include "reader/panels/viewermemolistform.h"

#include "reader/annotationstore.h"
#include "reader/panels/viewermemoitemform.h"

#include <QJsonObject>

ViewerMemoListForm::ViewerMemoListForm(QWidget* parent)
    : ViewerAnnotationListForm(QStringLiteral("ViewerMemoListForm"), tr("Memo List"), parent)
{ }

void ViewerMemoListForm::setMemos(QJsonObject* memo_json, EpubData* epub_data)
{
    setRows(memo_json, epub_data);
}

void ViewerMemoListForm::addMemo(int page_num, QString class_name, QString text, QString memo)
{
    const QJsonObject entry { { QStringLiteral("text"), text }, { QStringLiteral("memo"), memo } };
    insertRowInPageOrder(page_num, class_name, entry);
}

void ViewerMemoListForm::removeMemo(int page_num, QString class_name)
{
    removeMarkRow(page_num, class_name);
}

void ViewerMemoListForm::changeMemo(int page_num, QString class_name, QString memo)
{
    const int row = findRow(page_num, class_name);
    if (row < 0)
        return;
    QJsonObject entry = rowEntry(row);
    entry.insert(QStringLiteral("memo"), memo);
    setRowEntry(row, entry);
    if (auto* form = static_cast<ViewerMemoItemForm*>(rowForm(row)))
        form->setMemoText(memo);
}

void ViewerMemoListForm::listStore(AnnotationStore* store)
{
    setMemos(store->memoStore(), epub_data);
    connect(store, SIGNAL(memoAdded(int, QString, QString)), this, SLOT(addMemo(int, QString, QString)));
    connect(store, SIGNAL(memoRemoved(int, QString)), this, SLOT(removeMemo(int, QString)));
    connect(store, SIGNAL(memoChanged(int, QString, QString)), this, SLOT(changeMemo(int, QString, QString)));
}

ViewerAnnotationItemForm* ViewerMemoListForm::makeRow(int page, const QString& class_name, const QJsonObject& entry)
{
    auto* form = new ViewerMemoItemForm;
    form->setPageInfo(page, pageLabel(page), class_name);
    form->setMemoText(entry.value(QStringLiteral("text")).toString(), entry.value(QStringLiteral("memo")).toString());
    return form;
}
