#include "widgets/viewerdefaultdialog.h"

#include "ui_viewerdefaultdialog.h"
#include "widgets/windowtranslucency.h"

#include <QEvent>
#include <QPainter>

ViewerDefaultDialog::ViewerDefaultDialog(QWidget* parent)
    : QDialog(parent, Qt::FramelessWindowHint)
    , ui(new Ui::ViewerDefaultDialog)
{
    ui->setupUi(this);
    // The buttons act on press, not on release.
    connect(ui->close_button, SIGNAL(pressed()), this, SLOT(reject()));
    connect(ui->yes_button, SIGNAL(pressed()), this, SLOT(accept()));
    connect(ui->no_button, SIGNAL(pressed()), this, SLOT(reject()));
    setAttribute(Qt::WA_TranslucentBackground);
}

ViewerDefaultDialog::~ViewerDefaultDialog()
{
    delete ui;
}

void ViewerDefaultDialog::question(QString title, QString sub_title, QString message)
{
    ui->title_label->setText(title);
    ui->sub_title_label->setText(sub_title);
    ui->message_label->setText(message);
}

void ViewerDefaultDialog::showMessage(const QString& title, const QString& sub_title, const QString& message)
{
    question(title, sub_title, message);
    const int x = (ui->frame->maximumWidth() - ui->yes_button->width()) / 2;
    ui->yes_button->move(x, ui->yes_button->y());
    ui->no_button->hide();
    // A longer message (a list of names, a path) makes the box taller rather than being cut off.
    ui->message_label->setWordWrap(true);
    const int extra = ui->message_label->heightForWidth(ui->message_label->width()) - ui->message_label->height();
    if (extra > 0) {
        ui->message_label->resize(ui->message_label->width(), ui->message_label->height() + extra);
        ui->yes_button->move(ui->yes_button->x(), ui->yes_button->y() + extra);
        ui->frame->setFixedHeight(ui->frame->maximumHeight() + extra);
    }
}

// The backdrop covers the window it belongs to and follows it while the
// window moves or changes size, also when the desktop places that window only
// after the dialog opened (a first start).
void ViewerDefaultDialog::coverParentWindow()
{
    if (!parentWidget() || (windowState() & Qt::WindowMaximized))
        return;
    QWidget* window = parentWidget()->window();
    setGeometry(window->geometry());
    backdrop_origin = window->mapToGlobal(QPoint(0, 0));
}

// Without a compositor the transparent backdrop would be black and hide the
// window behind it: the window's own picture, as it is now, stands in for it.
void ViewerDefaultDialog::takeBackdrop()
{
    if (!parentWidget() || lf::windowTranslucencyAvailable())
        return;
    backdrop = parentWidget()->window()->grab();
    update();
}

bool ViewerDefaultDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (isVisible() && (event->type() == QEvent::Move || event->type() == QEvent::Resize)) {
        coverParentWindow();
        // Once the window has laid itself out at its new size.
        if (event->type() == QEvent::Resize)
            QMetaObject::invokeMethod(
                this, [this] { takeBackdrop(); }, Qt::QueuedConnection);
    }
    return QDialog::eventFilter(watched, event);
}

void ViewerDefaultDialog::showEvent(QShowEvent* event)
{
    if (parentWidget()) {
        parentWidget()->window()->installEventFilter(this);
        coverParentWindow();
        takeBackdrop();
    }
    QDialog::showEvent(event);
}

void ViewerDefaultDialog::paintEvent(QPaintEvent* event)
{
    if (backdrop.isNull()) {
        QDialog::paintEvent(event);
        return;
    }
    // frame_2's style sheet dims whatever is painted here.
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    painter.drawPixmap(mapFromGlobal(backdrop_origin), backdrop);
}
