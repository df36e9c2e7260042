// The shared test support as a test binary meets it: a failing check inside a
// modal dialog or a popup menu ends the run at once instead of leaving the
// dialog waiting for ctest's time-out; other failures let the run go on.
#include "testsupport.h"

#include <QElapsedTimer>
#include <QProcess>

class TestTestSupport : public QObject
{
    Q_OBJECT

private slots:
    void failingCheckEndsTheRun_data()
    {
        QTest::addColumn<QString>("failingFunction");
        QTest::addColumn<bool>("endsAtOnce");

        QTest::newRow("modal dialog") << "failsInsideModalDialog" << true;
        QTest::newRow("popup menu") << "failsInsidePopupMenu" << true;
        QTest::newRow("test function") << "failsOutsideAnyDialog" << false;
    }

    void failingCheckEndsTheRun()
    {
        QFETCH(QString, failingFunction);
        QFETCH(bool, endsAtOnce);

        QProcess run;
        run.setProcessChannelMode(QProcess::MergedChannels);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TMPDIR"), lf::test::privateTempDir());
        env.insert(QStringLiteral("XDG_DATA_HOME"), lf::test::privateDataHome());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        run.setProcessEnvironment(env);
        QElapsedTimer clock;
        clock.start();
        run.start(QStringLiteral(LF_FAIL_INSIDE_MODAL_PATH), { failingFunction, QStringLiteral("passes") });
        QVERIFY(run.waitForFinished(30000));
        const QString output = QString::fromUtf8(run.readAll());

        QVERIFY2(clock.elapsed() < 10000, qPrintable(output));
        QCOMPARE(run.exitStatus(), QProcess::NormalExit);
        QVERIFY2(run.exitCode() != 0, qPrintable(output));
        QVERIFY2(output.contains(QStringLiteral("FAIL!  : FailInsideModal::") + failingFunction), qPrintable(output));
        QCOMPARE(output.contains(QStringLiteral("the run ends here")), endsAtOnce);
        // The function after the failing one runs only when the run goes on.
        QCOMPARE(output.contains(QStringLiteral("PASS   : FailInsideModal::passes()")), !endsAtOnce);
    }
};

LF_TEST_CORE_MAIN(TestTestSupport)
#include "tst_testsupport.moc"
