#pragma once

#include "reader/panels/viewerannotationlistform.h"

#include <QList>

class ViewerPageItemForm;

// The bookmark panel: one row per bookmarked page, in the order of the reader's list,
// listed at once.
class ViewerBookmarkListForm : public ViewerAnnotationListForm
{
    Q_OBJECT

public:
    explicit ViewerBookmarkListForm(QWidget* parent = nullptr);

signals:
    void deleteBookmark(int);

public slots:
    void setBookmarkList(QList<int>* bookmark_list, EpubData* epub_data);
    void deleteBookmarkEvent(int index, ViewerPageItemForm* delete_item);

protected:
    ViewerAnnotationItemForm* makeRow(int page, const QString& class_name, const QJsonObject& entry) override;
    void listStore(AnnotationStore* store) override;
    bool listsWhenFirstShown() const override { return false; }

private slots:
    void followBookmarks();

private:
    QPointer<AnnotationStore> annotations;
};
