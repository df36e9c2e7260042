// Look and language of the application shell, configured in-process.
#include "app/startup.h"
#include "library/viewermainwindow.h"
#include "testsupport.h"

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
        // Qt's own dialogs and menus speak the program's language.
        QCOMPARE(QCoreApplication::translate("QFileDialog", "Look in:") != QLatin1String("Look in:"), korean);
        QCOMPARE(QCoreApplication::translate("QLineEdit", "Select All") != QLatin1String("Select All"), korean);
    }

    // A book's title may be in any script: a font draws each of these.
    void fontsCoverTheMajorScripts_data()
    {
        QTest::addColumn<int>("system");
        QTest::newRow("Devanagari") << int(QFontDatabase::Devanagari);
        QTest::newRow("Japanese") << int(QFontDatabase::Japanese);
        QTest::newRow("Chinese") << int(QFontDatabase::SimplifiedChinese);
        QTest::newRow("Thai") << int(QFontDatabase::Thai);
        QTest::newRow("Arabic") << int(QFontDatabase::Arabic);
    }

    void fontsCoverTheMajorScripts()
    {
        QFETCH(int, system);
        QVERIFY2(!QFontDatabase().families(QFontDatabase::WritingSystem(system)).isEmpty(),
            "no font for this script: tools/install-deps.sh installs them");
    }
};

LF_TEST_MAIN(TestShell)
#include "tst_shell.moc"
