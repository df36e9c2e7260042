// Not a test of its own: tst_testsupport runs this program to see how a failing
// check ends a run. Each function but `passes` fails on purpose.
#include "testsupport.h"

#include <QDialog>
#include <QMenu>
#include <QTimer>

class FailInsideModal : public QObject
{
    Q_OBJECT

private slots:
    void failsInsideModalDialog()
    {
        QDialog dialog;
        dialog.setObjectName(QStringLiteral("reload_dialog"));
        QTimer::singleShot(20, [] { QVERIFY2(false, "checked inside the dialog"); });
        dialog.exec();
    }

    void failsInsidePopupMenu()
    {
        QMenu menu;
        menu.addAction(QStringLiteral("Highlight"));
        QTimer::singleShot(20, [] { QVERIFY2(false, "checked inside the menu"); });
        menu.exec(QPoint(10, 10));
    }

    void failsOutsideAnyDialog() { QVERIFY2(false, "checked in the test function"); }

    void passes() { QVERIFY(true); }
};

LF_TEST_MAIN(FailInsideModal)
#include "failinsidemodal.moc"
