#pragma once

#include <QDialog>

namespace Ui {
class VersionInfoDialog;
}

// Frameless modal dialog with the program icon, the current version and the
// copyright line. Created per click by the library window.
class VersionInfoDialog : public QDialog
{
    Q_OBJECT

public:
    explicit VersionInfoDialog(QWidget* parent = nullptr);
    ~VersionInfoDialog() override;

private:
    Ui::VersionInfoDialog* ui;
};
