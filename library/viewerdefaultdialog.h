#pragma once

#include <QDialog>

namespace Ui {
class ViewerDefaultDialog;
}

// The program's own question box: a white box with title, sub-title, message
// and Yes/No on a dimmed backdrop covering the window it is given the
// geometry of. exec() returns 1 for "Yes" and 0 otherwise. Created per question.
class ViewerDefaultDialog : public QDialog
{
    Q_OBJECT

public:
    explicit ViewerDefaultDialog(QWidget* parent = nullptr);
    ~ViewerDefaultDialog() override;

    // The one-button form: the texts, a centred "Yes" and no "No".
    void showMessage(const QString& title, const QString& sub_title, const QString& message);

public slots:
    void question(QString title, QString sub_title, QString message);

private:
    Ui::ViewerDefaultDialog* ui;
};
