#pragma once

#include "reader/panels/viewerannotationlistform.h"

// The memo panel: one row per memo with its page, the start of the marked text and the memo,
// in page order and, within a page, in the order the memos were made. Listed when first shown.
class ViewerMemoListForm : public ViewerAnnotationListForm
{
    Q_OBJECT

public:
    explicit ViewerMemoListForm(QWidget* parent = nullptr);

public slots:
    void setMemos(QJsonObject* memo_json, EpubData* epub_data);
    void addMemo(int page_num, QString class_name, QString text, QString memo = QString());
    void removeMemo(int page_num, QString class_name);
    void changeMemo(int page_num, QString class_name, QString memo);

protected:
    ViewerAnnotationItemForm* makeRow(int page, const QString& class_name, const QJsonObject& entry) override;
    void listStore(AnnotationStore* store) override;
};
