// Look and language of the application shell, configured in-process.
#include "testsupport.h"

#include "app/startup.h"
#include "library/viewermainwindow.h"

#include <QApplication>
#include <QFontDatabase>
#include <QStyle>
#include <QTranslator>

class TestShell : public QObject
{
    Q_OBJECT

private:
    QString m_startDir = QDir::currentPath();

    void removeTranslators()
    {
        for (QTranslator* translator : qApp->findChildren<QTranslator*>()) {
            QCoreApplication::removeTranslator(translator);
            delete translator;
        }
    }

private slots:
    void cleanup()
    {
        removeTranslators();
        QDir::setCurrent(m_startDir);
    }

    void applicationFontIsRegistered()
    {
        const QString family = lf::installApplicationFont();
        QVERIFY(!family.isEmpty());
        QVERIFY(QFontDatabase().families().contains(family));
        const QFont font = QApplication::font();
        QCOMPARE(font.family(), family);
        QCOMPARE(font.pointSize(), 9);
        QCOMPARE(font.weight(), 0);
        QVERIFY(!font.italic());
        QCOMPARE(font.styleStrategy(), QFont::PreferAntialias);
    }

    void styleIsFusion()
    {
        lf::configureLookAndLanguage(qApp);
        QCOMPARE(QApplication::style()->objectName().toLower(), QStringLiteral("fusion"));
    }

    void translationFollowsTheWorkingDirectory_data()
    {
        QTest::addColumn<QString>("workingDirectory");
        QTest::addColumn<bool>("korean");
        QTest::newRow("build directory") << lf::test::buildDir() << true;
        QTest::newRow("no translation file") << lf::test::privateTempDir() << false;
    }

    void translationFollowsTheWorkingDirectory()
    {
        QFETCH(QString, workingDirectory);
        QFETCH(bool, korean);
        QVERIFY(QDir::setCurrent(workingDirectory));
        lf::configureLookAndLanguage(qApp);

        ViewerMainWindow window;
        const QString english = QStringLiteral("Lumenfolio Epub Viewer");
        if (korean) {
            QVERIFY(window.windowTitle() != english);
            QVERIFY(window.windowTitle().contains(QChar(0xBDF0))); // 뷰
        } else {
            QCOMPARE(window.windowTitle(), english);
        }
    }
};

LF_TEST_MAIN(TestShell)
#include "tst_shell.moc"
