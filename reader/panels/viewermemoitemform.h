#pragma once

#include "reader/panels/viewerannotationitemform.h"

#include <memory>

namespace Ui {
class ViewerMemoItemForm;
}

// A row of the memo panel: page, the start of the marked text and the memo text.
class ViewerMemoItemForm : public ViewerAnnotationItemForm
{
    Q_OBJECT

public:
    explicit ViewerMemoItemForm(QWidget* parent = nullptr);
    ~ViewerMemoItemForm() override;

public slots:
    void setPageInfo(int value, QString page_name, QString class_name);
    void setMemoText(QString text, QString memo);
    void setMemoText(QString memo);

private:
    std::unique_ptr<Ui::ViewerMemoItemForm> ui;
};
