#pragma once

#include <QWidget>

class QMovie;

namespace Ui {
class ViewerAlertForm;
}

// The overlay shown over the library window while books are extracted: a
// dimmed backdrop that takes the mouse input, and a box with a spinner.
class ViewerAlertForm : public QWidget
{
    Q_OBJECT

public:
    explicit ViewerAlertForm(QWidget* parent = nullptr);
    ~ViewerAlertForm() override;

private:
    Ui::ViewerAlertForm* ui;
    QMovie* movie;
};
