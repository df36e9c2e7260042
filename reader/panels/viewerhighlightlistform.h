#pragma once

#include "reader/panels/viewerannotationlistform.h"

// The highlight panel: one row per highlight, in page order and, within a page, in the
// order the highlights were made. Listed when first shown.
class ViewerHighlightListForm : public ViewerAnnotationListForm
{
    Q_OBJECT

public:
    explicit ViewerHighlightListForm(QWidget* parent = nullptr);

public slots:
    void setHighlights(QJsonObject* highlight_json, EpubData* epub_data);
    void removeHighlights(int page_num, QString class_name);
    void addHighlights(int page_num, QString class_name, QString color, QString text);

protected:
    ViewerAnnotationItemForm* makeRow(int page, const QString& class_name, const QJsonObject& entry) override;
    void listStore(AnnotationStore* store) override;
};
