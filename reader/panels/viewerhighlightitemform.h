#pragma once

#include "reader/panels/viewerannotationitemform.h"

#include <memory>

namespace Ui {
class ViewerHighlightItemForm;
}

// A row of the highlight panel: colour dot, page and the marked text.
class ViewerHighlightItemForm : public ViewerAnnotationItemForm
{
    Q_OBJECT

public:
    explicit ViewerHighlightItemForm(QWidget* parent = nullptr);
    ~ViewerHighlightItemForm() override;

public slots:
    void setPageInfo(int value, QString class_name, QString page_name);
    void setColor(QString& color);
    void setHighlightText(QString& text);

private:
    std::unique_ptr<Ui::ViewerHighlightItemForm> ui;
};
