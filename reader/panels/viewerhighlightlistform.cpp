#include "reader/panels/viewerhighlightlistform.h"

#include "reader/annotationstore.h"
#include "reader/panels/viewerhighlightitemform.h"

#include <QJsonObject>

ViewerHighlightListForm::ViewerHighlightListForm(QWidget* parent)
    : ViewerAnnotationListForm(QStringLiteral("ViewerHighlightListForm"), tr("Highlight List"), parent)
{ }

void ViewerHighlightListForm::setHighlights(QJsonObject* highlight_json, EpubData* epub_data)
{
    setRows(highlight_json, epub_data);
}

void ViewerHighlightListForm::removeHighlights(int page_num, QString class_name)
{
    removeMarkRow(page_num, class_name);
}

void ViewerHighlightListForm::addHighlights(int page_num, QString class_name, QString color, QString text)
{
    const QJsonObject entry { { QStringLiteral("color"), color }, { QStringLiteral("text"), text } };
    insertRowInPageOrder(page_num, class_name, entry);
}

void ViewerHighlightListForm::listStore(AnnotationStore* store)
{
    setHighlights(store->highlightStore(), epub_data);
    connect(store, SIGNAL(highlightAdded(int, QString, QString, QString)), this,
        SLOT(addHighlights(int, QString, QString, QString)));
    connect(store, SIGNAL(highlightRemoved(int, QString)), this, SLOT(removeHighlights(int, QString)));
}

ViewerAnnotationItemForm* ViewerHighlightListForm::makeRow(
    int page, const QString& class_name, const QJsonObject& entry)
{
    auto* form = new ViewerHighlightItemForm;
    QString color = entry.value(QStringLiteral("color")).toString();
    QString text = entry.value(QStringLiteral("text")).toString();
    form->setPageInfo(page, class_name, pageLabel(page));
    form->setColor(color);
    form->setHighlightText(text);
    return form;
}
