#pragma once

#include <QDialog>
#include <QPixmap>
#include <QPoint>

namespace Ui {
class ViewerDefaultDialog;
}

// The program's own question box: a white box with title, sub-title, message
// and Yes/No on a dimmed backdrop covering its parent window, which it follows
// while that window moves or changes size. exec() returns 1 for "Yes" and 0
// otherwise. Created per question. Where the desktop cannot show through a
// translucent window, the backdrop is the parent window's own picture, dimmed.
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

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void coverParentWindow();
    void takeBackdrop();

    Ui::ViewerDefaultDialog* ui;
    // The parent window as it looked when the dialog opened, and where it was
    // on the screen; empty while translucency shows the window itself.
    QPixmap backdrop;
    QPoint backdrop_origin;
};
