// The one rule for paths that must stay inside their folder, fed the hostile
// paths its callers meet: archive entry names, paths a book names, folders
// derived from them. Nothing is decoded before the rule sees a path.
#include "base/relativepath.h"
#include "testsupport.h"

class TestRelativePath : public QObject
{
    Q_OBJECT

private slots:
    void staysInside_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("inside");
        QTest::addColumn<bool>("rooted");
        const QString longName(4000, QLatin1Char('n'));
        const auto withNul = [](const char* before, const char* after) -> QString {
            return QLatin1String(before) + QChar(0) + QLatin1String(after);
        };

        QTest::newRow("file at the top") << "mimetype" << true << false;
        QTest::newRow("nested") << "OEBPS/text/ch1.xhtml" << true << false;
        QTest::newRow("trailing slash") << "OEBPS/" << true << false;
        QTest::newRow("doubled slashes") << "OEBPS//text///a.xhtml" << true << false;
        QTest::newRow("the folder itself") << "./" << true << false;
        QTest::newRow("dot segments") << "./OEBPS/./a.xhtml" << true << false;
        QTest::newRow("dots inside names") << "a..b/.../c..txt" << true << false;
        QTest::newRow("encoded dots are a name") << "%2E%2E/%2e%2e/x" << true << false;
        QTest::newRow("encoded separator is a name") << "..%2F..%2Fx" << true << false;
        QTest::newRow("query mark in a name") << "OEBPS/a?b.png" << true << false;
        QTest::newRow("colon past the first part") << "OEBPS/C:/x" << true << false;
        QTest::newRow("non-ASCII") << QStringLiteral("EPUB/xhtml/目次.xhtml") << true << false;
        QTest::newRow("long name") << longName + QStringLiteral("/x") << true << false;

        QTest::newRow("empty") << "" << false << false;
        // The system sees the name up to the NUL: another file than was checked.
        QTest::newRow("NUL cuts the name") << withNul("OEBPS/a.xhtml", ".png") << false << false;
        QTest::newRow("parent") << ".." << false << false;
        QTest::newRow("parent folder") << "../" << false << false;
        QTest::newRow("climbs") << "../outside.opf" << false << false;
        QTest::newRow("climbs later") << "a/../../b" << false << false;
        QTest::newRow("ends climbing") << "OEBPS/.." << false << false;
        // The file system walks ".." back from wherever a link at "a" led.
        QTest::newRow("climbs and comes back") << "a/../b/c.opf" << false << false;
        QTest::newRow("backslash parent") << "..\\x" << false << false;
        QTest::newRow("backslashes climb") << "a\\..\\..\\b" << false << false;
        QTest::newRow("mixed separators climb") << "a/..\\..\\b" << false << false;
        QTest::newRow("long name, then climbing") << longName + QStringLiteral("/../../x") << false << false;
        QTest::newRow("query-named folder climbs") << "OEBPS/x?/../../../proc/self/fd/0" << false << false;
        QTest::newRow("fragment-named folder climbs") << "OEBPS/x#/../../../x" << false << false;

        QTest::newRow("absolute") << "/etc/passwd" << false << true;
        QTest::newRow("backslash root") << "\\evil.txt" << false << true;
        QTest::newRow("network share") << "\\\\server\\share" << false << true;
        QTest::newRow("drive letter") << "C:/Windows/win.ini" << false << true;
        QTest::newRow("drive-relative") << "c:evil.txt" << false << true;
        QTest::newRow("file scheme") << "file:x" << false << true;
        QTest::newRow("remote") << "http://example.com/a.jpg" << false << true;
        QTest::newRow("scheme-like first part") << "ab+c.d-e:f.xhtml" << false << true;
    }

    void staysInside()
    {
        QFETCH(QString, path);
        QTEST(lf::RelativePath::staysInside(path), "inside");
        QTEST(lf::RelativePath::isRooted(path), "rooted");
    }
};

LF_TEST_CORE_MAIN(TestRelativePath)
#include "tst_relativepath.moc"
