// The single-instance lock on the data directory, in-process: every
// InstanceLock opens the directory anew, so two of them meet as two processes do.
#include "app/instancelock.h"
#include "base/datadirectory.h"
#include "testsupport.h"

#include <QDir>

#include <memory>

class TestInstanceLock : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        QFile::remove(QDir::cleanPath(lf::dataDirectory()));
        lf::test::clearDataDirectory();
    }

    void oneHolderAtATime()
    {
        auto first = std::make_unique<InstanceLock>();
        QVERIFY(first->tryAcquire());
        QVERIFY(QFileInfo(lf::dataDirectory()).isDir()); // made for the lock

        InstanceLock second;
        QVERIFY(!second.tryAcquire());
        QVERIFY(!second.hasFailed()); // held elsewhere is no failure
        QVERIFY(first->tryAcquire()); // asking again keeps it

        first.reset(); // as when the holder ends, however it ends
        QVERIFY(second.tryAcquire());
    }

    // A directory cleaned away and made anew must not give a waiting start a
    // lock on the old one while someone holds the new one.
    void lockOnAReplacedDirectoryKeepsNobodyOut()
    {
        auto holder = std::make_unique<InstanceLock>();
        QVERIFY(holder->tryAcquire());
        InstanceLock waiting;
        QVERIFY(!waiting.tryAcquire());

        holder.reset();
        lf::test::clearDataDirectory();
        InstanceLock newcomer;
        QVERIFY(newcomer.tryAcquire());

        QVERIFY(!waiting.tryAcquire());
        QVERIFY(!waiting.hasFailed());
    }

    void unusableDataDirectoryIsAFailure()
    {
        QFile blocker(QDir::cleanPath(lf::dataDirectory()));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        InstanceLock lock;
        QVERIFY(!lock.tryAcquire());
        QVERIFY(lock.hasFailed());
        QVERIFY(lock.errorString().contains(lf::dataDirectory()));
    }
};

LF_TEST_CORE_MAIN(TestInstanceLock)
#include "tst_instancelock.moc"
