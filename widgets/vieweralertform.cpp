#include "widgets/vieweralertform.h"

#include "ui_vieweralertform.h"

#include <QMovie>

ViewerAlertForm::ViewerAlertForm(QWidget* parent)
    : QWidget(parent)
    , ui(new Ui::ViewerAlertForm)
    , movie(new QMovie(QStringLiteral(":/elc/Icon/loading2.gif"), QByteArray(), this))
{
    ui->setupUi(this);
    // The backdrop is painted by its style sheet and swallows clicks meant for
    // the window underneath.
    setAttribute(Qt::WA_StyledBackground);
    ui->loading_label->setMovie(movie);
    movie->start();
}

ViewerAlertForm::~ViewerAlertForm()
{
    delete ui;
}
