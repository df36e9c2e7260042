#pragma once

#include "reader/panels/viewerannotationitemform.h"

#include <memory>

namespace Ui {
class ViewerMemoForm;
}

// The editor in which the user writes the text of one memo. The reader window owns one
// per page view, fills it with setMemoInfo, places and shows it; it hides itself on OK or Cancel.
class ViewerMemoForm : public ViewerAnnotationItemForm
{
    Q_OBJECT

public:
    explicit ViewerMemoForm(QWidget* parent = nullptr);
    ~ViewerMemoForm() override;

    void setMemoInfo(int page, QString page_name, QString class_name, QString text, QString memo);

signals:
    void saveMemo(int, QString, QString);

private slots:
    void saveEvent();

private:
    std::unique_ptr<Ui::ViewerMemoForm> ui;
};
