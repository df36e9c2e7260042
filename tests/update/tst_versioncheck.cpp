#include "base/appconstants.h"
#include "testsupport.h"
#include "update/versioncheck.h"

class TestVersionCheck : public QObject
{
    Q_OBJECT

private slots:
    void readVersionFile_data();
    void readVersionFile();
    void isNewerVersion_data();
    void isNewerVersion();
    void formatByteCount_data();
    void formatByteCount();
};

namespace {
const QByteArray kVersion124 = R"(<current-version version="zelto">1.2.4</current-version>)";
const QByteArray kLocationA = R"(<location platform="win32" version="zelto">http://h/a.exe</location>)";
} // namespace

void TestVersionCheck::readVersionFile_data()
{
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("location");
    const auto row = [](const char* name, const QByteArray& xml, const char* version, const char* location) {
        QTest::newRow(name) << xml << QString::fromLatin1(version) << QString::fromLatin1(location);
    };

    row("typical", "<?xml version=\"1.0\"?><update>" + kVersion124 + kLocationA + "</update>", "1.2.4",
        "http://h/a.exe");
    row("any root, any depth", "<x><y><z>" + kLocationA + "</z></y>" + kVersion124 + "</x>", "1.2.4", "http://h/a.exe");
    row("version attribute second", R"(<u><current-version lang="en" version="zelto">1.2.4</current-version></u>)", "",
        "");
    row("other version value", R"(<u><current-version version="beta">1.2.4</current-version></u>)", "", "");
    row("other element name", R"(<u><currentversion version="zelto">1.2.4</currentversion></u>)", "", "");
    row("location without second attribute",
        "<u>" + kVersion124 + R"(<location platform="win32">http://h/a.exe</location></u>)", "1.2.4", "");
    row("location attributes swapped",
        "<u>" + kVersion124 + R"(<location version="zelto" platform="win32">http://h/a.exe</location></u>)", "1.2.4",
        "");
    row("location other platform",
        "<u>" + kVersion124 + R"(<location platform="mac" version="zelto">http://h/a.dmg</location></u>)", "1.2.4", "");
    row("location third attribute",
        R"(<u><location platform="win32" version="zelto" size="9">http://h/b.exe</location></u>)", "",
        "http://h/b.exe");
    row("several matches, last wins",
        "<u>" + kVersion124 + kLocationA + R"(<current-version version="zelto">2.0.0</current-version>)"
            + R"(<location platform="win32" version="zelto">http://h/b.exe</location></u>)",
        "2.0.0", "http://h/b.exe");
    row("element with children ends the walk",
        "<u>" + kVersion124 + R"(<current-version version="zelto"><b>9.9.9</b></current-version>)" + kLocationA
            + "</u>",
        "1.2.4", "");
    row("malformed after both", "<u>" + kVersion124 + kLocationA + "<oops a=>", "1.2.4", "http://h/a.exe");
    row("malformed before the location", "<u>" + kVersion124 + "</v>" + kLocationA + "</u>", "1.2.4", "");
    row("not XML", "<html><body>502 Bad Gateway", "", "");
    row("empty body", "", "", "");
    row("surrounding white space", "<u>\n  <current-version version=\"zelto\">\n    1.2.4\n  </current-version>\n</u>",
        "1.2.4", "");
}

void TestVersionCheck::readVersionFile()
{
    QFETCH(QByteArray, xml);
    QFETCH(QString, version);
    QFETCH(QString, location);

    const lf::update::VersionFileContent content = lf::update::readVersionFile(xml);
    QCOMPARE(content.version, version);
    QCOMPARE(content.location, location);
}

void TestVersionCheck::isNewerVersion_data()
{
    QTest::addColumn<QString>("announced");
    QTest::addColumn<bool>("newer");

    QTest::newRow("next patch") << "1.2.4" << true;
    QTest::newRow("minor compares as a number") << "1.10.0" << true;
    QTest::newRow("next major") << "2.0.0" << true;
    QTest::newRow("same text") << "1.2.3" << false;
    QTest::newRow("same value, leading zero") << "1.2.03" << false;
    QTest::newRow("older patch") << "1.2.2" << false;
    QTest::newRow("older minor, larger patch") << "1.1.999" << false;
    QTest::newRow("four parts") << "1.2.3.1" << false;
    QTest::newRow("two parts, higher") << "1.3" << false;
    QTest::newRow("two parts, lower") << "1.2" << false;
    QTest::newRow("non-numeric patch reads as 0") << "1.2.x" << false;
    QTest::newRow("non-numeric major reads as 0") << "beta.9.9" << false;
    QTest::newRow("non-numeric patch, higher minor") << "1.3.rc1" << true;
    QTest::newRow("major beyond 32-bit packing") << "5000.0.0" << true;
    QTest::newRow("empty") << "" << false;
}

void TestVersionCheck::isNewerVersion()
{
    QFETCH(QString, announced);
    QFETCH(bool, newer);
    QCOMPARE(lf::update::isNewerVersion(announced, lf::kVersion), newer);
}

void TestVersionCheck::formatByteCount_data()
{
    QTest::addColumn<double>("byte");
    QTest::addColumn<QString>("text");

    const double terabyte = 1024.0 * 1024 * 1024 * 1024;
    QTest::newRow("zero") << 0.0 << "0.0 Byte";
    QTest::newRow("exactly 1024 stays in bytes") << 1024.0 << "1024.0 Byte";
    QTest::newRow("1025") << 1025.0 << "1.0 KB";
    QTest::newRow("1536") << 1536.0 << "1.5 KB";
    QTest::newRow("unknown total") << -1.0 << "-1.0 Byte";
    QTest::newRow("5 MB") << 5242880.0 << "5.0 MB";
    QTest::newRow("10 MB") << 10485760.0 << "10.0 MB";
    QTest::newRow("fraction of a rate") << 2560.4 << "2.5 KB";
    QTest::newRow("3.5 GB") << 3.5 * 1024 * 1024 * 1024 << "3.5 GB";
    QTest::newRow("2 TB") << 2 * terabyte << "2.0 TB";
    QTest::newRow("2048 TB has no larger unit") << 2048 * terabyte << "2048.0 TB";
    QTest::newRow("infinite rate ends") << std::numeric_limits<double>::infinity() << "inf TB";
}

void TestVersionCheck::formatByteCount()
{
    QFETCH(double, byte);
    QFETCH(QString, text);
    QCOMPARE(lf::update::formatByteCount(byte), text);
}

LF_TEST_CORE_MAIN(TestVersionCheck)
#include "tst_versioncheck.moc"
