#include "update/versioninfodialog.h"

#include "app/appconstants.h"
#include "ui_versioninfodialog.h"

VersionInfoDialog::VersionInfoDialog(QWidget* parent)
    : QDialog(parent, Qt::FramelessWindowHint)
    , ui(new Ui::VersionInfoDialog)
{
    ui->setupUi(this);
    ui->version_label->setText(lf::kVersion);
    connect(ui->close_button, SIGNAL(pressed()), this, SLOT(close()));
}

VersionInfoDialog::~VersionInfoDialog()
{
    delete ui;
}
