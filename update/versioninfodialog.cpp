#include "update/versioninfodialog.h"

#include "base/appconstants.h"
#include "ui_versioninfodialog.h"

namespace {
// A notice too long for its area even when wrapped gets smaller, down to this.
constexpr qreal kSmallestNoticePointSize = 6.5;
constexpr qreal kNoticePointSizeStep = 0.5;

// The copyright notice is longer than one line of the small dialog in every
// language: it wraps within the area the form gives it, with its lines as
// even as they can be, centred.
void fitNotice(QLabel* label)
{
    const QRect area = label->geometry();
    QFont font = label->font();
    while (label->heightForWidth(area.width()) > area.height() && font.pointSizeF() > kSmallestNoticePointSize) {
        font.setPointSizeF(font.pointSizeF() - kNoticePointSizeStep);
        label->setFont(font);
    }
    // The narrowest width that needs no more lines than the full one.
    const int height = label->heightForWidth(area.width());
    int narrow = area.width() / 3;
    int wide = area.width();
    while (narrow < wide) {
        const int middle = (narrow + wide) / 2;
        if (label->heightForWidth(middle) <= height)
            wide = middle;
        else
            narrow = middle + 1;
    }
    label->setGeometry(area.x() + (area.width() - wide) / 2, area.y(), wide, area.height());
}
} // namespace

VersionInfoDialog::VersionInfoDialog(QWidget* parent)
    : QDialog(parent, Qt::FramelessWindowHint)
    , ui(new Ui::VersionInfoDialog)
{
    ui->setupUi(this);
    ui->version_label->setText(lf::kVersion);
    fitNotice(ui->copyright_label);
    connect(ui->close_button, SIGNAL(pressed()), this, SLOT(close()));
}

VersionInfoDialog::~VersionInfoDialog()
{
    delete ui;
}
