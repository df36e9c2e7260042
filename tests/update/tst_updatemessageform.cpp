#include "base/appconstants.h"
#include "loopbackhttpserver.h"
#include "testsupport.h"
#include "update/updatemessageform.h"

#include <QApplication>
#include <QFrame>
#include <QHostAddress>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTranslator>

#include <memory>

namespace {

QByteArray versionFile(const QByteArray& version, const QUrl& installer)
{
    return "<?xml version=\"1.0\"?><lf><current-version version=\"zelto\">" + version
        + "</current-version><location platform=\"win32\" version=\"zelto\">" + installer.toEncoded()
        + "</location></lf>";
}

// Answers every "HTTP" message box that opens with one button and keeps the
// texts, so that the modal boxes never block a test.
class MessageBoxAnswerer : public QObject
{
public:
    explicit MessageBoxAnswerer(QMessageBox::StandardButton button)
        : m_button(button)
    {
        connect(&m_timer, &QTimer::timeout, this, &MessageBoxAnswerer::answer);
        m_timer.start(20);
    }
    QStringList texts;

private:
    void answer()
    {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible() || box->windowTitle() != QLatin1String("HTTP"))
            return;
        texts.append(box->text());
        QAbstractButton* button = box->button(m_button);
        (button ? button : box->buttons().constFirst())->click();
    }

    QMessageBox::StandardButton m_button;
    QTimer m_timer;
};

// Counts the close events a widget receives, shown or not.
class CloseWatcher : public QObject
{
public:
    explicit CloseWatcher(QWidget* widget) { widget->installEventFilter(this); }
    int closes = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Close)
            ++closes;
        return false;
    }
};

} // namespace

class TestUpdateMessageForm : public QObject
{
    Q_OBJECT

private slots:
    // Every program a test starts asks loopback for the version file: no test
    // reaches the name service or the update server.
    void testBuildsAskOnlyLoopback()
    {
        QVERIFY2(
            QHostAddress(QUrl(lf::kUpdateVersionFileUrl).host()).isLoopback(), qPrintable(lf::kUpdateVersionFileUrl));
    }

    void initTestCase();
    void versionFileDecidesOffer_data();
    void versionFileDecidesOffer();
    void offerButtonsClose_data();
    void offerButtonsClose();
    void progressText_data();
    void progressText();
    void cancelReturnsToOffer();
    void failedDownloadReturnsToOffer_data();
    void failedDownloadReturnsToOffer();
    void redirectIsAsked_data();
    void redirectIsAsked();
    void completeDownloadStartsInstallerAndExits_data();
    void completeDownloadStartsInstallerAndExits();
    void koreanTexts_data();
    void koreanTexts();

private:
    std::unique_ptr<UpdateMessageForm> offerFor(const QString& installerPath);
    QString downloadPath(const QString& fileName) const;
    static void verifyOfferState(UpdateMessageForm* form, const QString& versionText);
    template <typename T> static T* child(UpdateMessageForm* form, const char* name)
    {
        return form->findChild<T*>(QLatin1String(name));
    }

    QTemporaryDir m_home;
    lf::test::LoopbackHttpServer m_server;
    QByteArray m_installer;
    int m_versionFiles = 0;
};

void TestUpdateMessageForm::initTestCase()
{
    QVERIFY(m_home.isValid());
    // The download folder follows HOME when no user-dirs file names another.
    qputenv("HOME", QFile::encodeName(m_home.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home.path() + QStringLiteral("/config")));
    QCOMPARE(QStandardPaths::writableLocation(QStandardPaths::DownloadLocation), downloadPath(QString()).chopped(1));

    QVERIFY(m_server.listen());
    m_installer = "#!/bin/sh\ntouch '" + QFile::encodeName(m_home.path()) + "/installer-ran'\n";
    m_server.serve(QStringLiteral("/files/installer.sh"), m_installer);
    QByteArray slow(4 * 1024 * 1024, 'x');
    m_server.serveSlowly(QStringLiteral("/files/slow.bin"), slow, 16 * 1024, 10);
    m_server.serveRedirect(QStringLiteral("/old/moved.bin"), QStringLiteral("/files/slow.bin"));
    m_server.serve(QStringLiteral("/files/notaprogram.bin"),
        QByteArray("\x7f"
                   "ELF but not a program",
            22));
}

QString TestUpdateMessageForm::downloadPath(const QString& fileName) const
{
    return m_home.path() + QStringLiteral("/Downloads/") + fileName;
}

std::unique_ptr<UpdateMessageForm> TestUpdateMessageForm::offerFor(const QString& installerPath)
{
    const QString versionPath = QStringLiteral("/offer%1.xml").arg(++m_versionFiles);
    const QUrl installer = installerPath.isEmpty() ? QUrl() : m_server.url(installerPath);
    m_server.serve(versionPath, versionFile("1.2.4", installer));
    auto form = std::make_unique<UpdateMessageForm>(nullptr, m_server.url(versionPath));
    if (!QTest::qWaitFor([&] { return form->isVisible(); }, 10000))
        return nullptr;
    return form;
}

void TestUpdateMessageForm::verifyOfferState(UpdateMessageForm* form, const QString& versionText)
{
    QVERIFY(form->isVisible());
    QCOMPARE(child<QLabel>(form, "version_label")->text(), versionText);
    QVERIFY(child<QProgressBar>(form, "progressbar")->isHidden());
    QVERIFY(child<QLabel>(form, "prograssbar_label")->isHidden());
    QVERIFY(!child<QPushButton>(form, "cancel_button")->isHidden());
    QVERIFY(!child<QLabel>(form, "message_label")->isHidden());
    QCOMPARE(child<QPushButton>(form, "ok_button")->text(), QStringLiteral("Ok"));
    QCOMPARE(child<QPushButton>(form, "ok_button")->pos(), QPoint(58, 120));
    QCOMPARE(child<QProgressBar>(form, "progressbar")->value(), 0);
}

void TestUpdateMessageForm::versionFileDecidesOffer_data()
{
    QTest::addColumn<QByteArray>("body"); // empty: nothing is served at all
    QTest::addColumn<bool>("offered");
    QTest::addColumn<QString>("versionText");

    const QUrl installer(QStringLiteral("http://127.0.0.1:1/setup.exe"));
    QTest::newRow("newer patch") << versionFile("1.2.4", installer) << true << "Version 1.2.4";
    QTest::newRow("next major") << versionFile("2.0.0", installer) << true << "Version 2.0.0";
    QTest::newRow("same version") << versionFile("1.2.3", installer) << false << "";
    QTest::newRow("fewer parts") << versionFile("1.2", installer) << false << "";
    QTest::newRow("version attribute second")
        << QByteArray(R"(<lf><current-version id="1" version="zelto">1.2.4</current-version></lf>)") << false << "";
    QTest::newRow("location without second attribute")
        << QByteArray(R"(<lf><current-version version="zelto">1.2.4</current-version>)"
                      R"(<location platform="win32">http://127.0.0.1:1/setup.exe</location></lf>)")
        << true << "Version 1.2.4";
    QTest::newRow("malformed XML") << QByteArray("<lf><current-version version=\"zelto\"><<1.2.4") << false << "";
    QTest::newRow("version file not found") << QByteArray("404") << false << "";
    QTest::newRow("server unreachable") << QByteArray() << false << "";
}

void TestUpdateMessageForm::versionFileDecidesOffer()
{
    QFETCH(QByteArray, body);
    QFETCH(bool, offered);
    QFETCH(QString, versionText);

    const QString path = QStringLiteral("/decides%1.xml").arg(++m_versionFiles);
    if (body != "404" && !body.isEmpty())
        m_server.serve(path, body);
    const QUrl url = body.isEmpty() ? lf::test::LoopbackHttpServer::unreachableUrl(path) : m_server.url(path);

    UpdateMessageForm form(nullptr, url);
    CloseWatcher watcher(&form);
    QVERIFY(!form.isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(form.isVisible() || watcher.closes > 0, 10000);
    QCOMPARE(form.isVisible(), offered);
    if (offered)
        verifyOfferState(&form, versionText);
}

void TestUpdateMessageForm::offerButtonsClose_data()
{
    QTest::addColumn<QString>("button");
    QTest::newRow("close button") << "close_button";
    QTest::newRow("cancel button") << "cancel_button";
}

void TestUpdateMessageForm::offerButtonsClose()
{
    QFETCH(QString, button);
    std::unique_ptr<UpdateMessageForm> form = offerFor(QStringLiteral("/files/installer.sh"));
    QVERIFY(form);
    auto* pushButton = form->findChild<QPushButton*>(button);
    QTest::mousePress(pushButton, Qt::LeftButton);
    QVERIFY(!form->isVisible()); // on press, not on release
    QTest::mouseRelease(pushButton, Qt::LeftButton);
}

void TestUpdateMessageForm::progressText_data()
{
    QTest::addColumn<qint64>("bytesRead");
    QTest::addColumn<qint64>("totalBytes");
    QTest::addColumn<QString>("amounts");
    QTest::addColumn<int>("barMaximum");
    QTest::addColumn<int>("barValue");

    const qint64 gigabyte = 1024LL * 1024 * 1024;
    QTest::newRow("half of 10 MB") << qint64(5242880) << qint64(10485760) << "5.0 MB of 10.0 MB" << 10485760 << 5242880;
    QTest::newRow("unknown total: busy bar") << qint64(1536) << qint64(-1) << "1.5 KB of -1.0 Byte" << 0 << 0;
    QTest::newRow("beyond the int range: scaled")
        << 3 * gigabyte << 6 * gigabyte << "3.0 GB of 6.0 GB" << 1610612736 << 805306368;
}

void TestUpdateMessageForm::progressText()
{
    QFETCH(qint64, bytesRead);
    QFETCH(qint64, totalBytes);
    QFETCH(QString, amounts);
    QFETCH(int, barMaximum);
    QFETCH(int, barValue);

    UpdateMessageForm form(nullptr, lf::test::LoopbackHttpServer::unreachableUrl(QStringLiteral("/v.xml")));
    QVERIFY(QMetaObject::invokeMethod(
        &form, "updateDownloadProgress", Q_ARG(qint64, bytesRead), Q_ARG(qint64, totalBytes)));
    const QString text = child<QLabel>(&form, "prograssbar_label")->text();
    const QRegularExpression pattern(
        QRegularExpression::escape(amounts) + QStringLiteral(" \\( -?\\d+\\.\\d (Byte|KB|MB|GB|TB) /sec \\)"));
    QVERIFY2(pattern.match(text).hasMatch(), qPrintable(text));
    auto* bar = child<QProgressBar>(&form, "progressbar");
    QCOMPARE(bar->maximum(), barMaximum);
    if (barMaximum > 0)
        QCOMPARE(bar->value(), barValue);
}

void TestUpdateMessageForm::cancelReturnsToOffer()
{
    std::unique_ptr<UpdateMessageForm> form = offerFor(QStringLiteral("/files/slow.bin"));
    QVERIFY(form);
    auto* ok = child<QPushButton>(form.get(), "ok_button");
    const QString target = downloadPath(QStringLiteral("slow.bin"));

    for (int attempt = 0; attempt < 2; ++attempt) {
        QTest::mouseClick(ok, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(target).size() > 0, 10000);
        QCOMPARE(ok->text(), QStringLiteral("Cancel"));
        QCOMPARE(ok->x(), (child<QFrame>(form.get(), "frame")->width() - ok->width()) / 2);
        QVERIFY(child<QPushButton>(form.get(), "cancel_button")->isHidden());
        QVERIFY(child<QLabel>(form.get(), "message_label")->isHidden());
        QVERIFY(!child<QProgressBar>(form.get(), "progressbar")->isHidden());
        QTRY_VERIFY(child<QLabel>(form.get(), "prograssbar_label")->text().contains(QLatin1String(" of 4.0 MB ( ")));

        QTest::mouseClick(ok, Qt::LeftButton);
        QTRY_COMPARE(ok->text(), QStringLiteral("Ok"));
        QVERIFY(!QFile::exists(target));
        verifyOfferState(form.get(), QStringLiteral("Version 1.2.4"));
    }
}

void TestUpdateMessageForm::failedDownloadReturnsToOffer_data()
{
    QTest::addColumn<QString>("installerPath");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("targetExists"); // without a location the target is the download folder

    QTest::newRow("not found") << "/files/missing.exe"
                               << "Download failed: " << false;
    QTest::newRow("target is a folder") << "/files/blocked.exe"
                                        << "Unable to save the file : " << true;
    QTest::newRow("no installer location") << ""
                                           << "Unable to save the file : " << true;
    QTest::newRow("not a program") << "/files/notaprogram.bin"
                                   << "Unable to start the installer : /" << true;
}

void TestUpdateMessageForm::failedDownloadReturnsToOffer()
{
    QFETCH(QString, installerPath);
    QFETCH(QString, message);
    QFETCH(bool, targetExists);

    const QString target = downloadPath(QUrl(installerPath).fileName());
    QDir().mkpath(downloadPath(QStringLiteral("blocked.exe")));
    std::unique_ptr<UpdateMessageForm> form = offerFor(installerPath);
    QVERIFY(form);
    MessageBoxAnswerer answerer(QMessageBox::Ok);
    QTest::mouseClick(child<QPushButton>(form.get(), "ok_button"), Qt::LeftButton);

    QTRY_COMPARE_WITH_TIMEOUT(answerer.texts.size(), 1, 10000);
    QVERIFY2(answerer.texts.first().startsWith(message), qPrintable(answerer.texts.first()));
    QVERIFY(answerer.texts.first().endsWith(QLatin1Char('.')));
    QCOMPARE(QFileInfo::exists(target), targetExists);
    verifyOfferState(form.get(), QStringLiteral("Version 1.2.4"));
}

void TestUpdateMessageForm::redirectIsAsked_data()
{
    QTest::addColumn<bool>("follow");
    QTest::newRow("yes follows") << true;
    QTest::newRow("no stays") << false;
}

void TestUpdateMessageForm::redirectIsAsked()
{
    QFETCH(bool, follow);

    std::unique_ptr<UpdateMessageForm> form = offerFor(QStringLiteral("/old/moved.bin"));
    QVERIFY(form);
    auto* ok = child<QPushButton>(form.get(), "ok_button");
    const int slowRequests = m_server.requestedPaths().count(QStringLiteral("/files/slow.bin"));
    MessageBoxAnswerer answerer(follow ? QMessageBox::Yes : QMessageBox::No);
    QTest::mouseClick(ok, Qt::LeftButton);

    QTRY_COMPARE_WITH_TIMEOUT(answerer.texts.size(), 1, 10000);
    QCOMPARE(answerer.texts.first(),
        QStringLiteral("Redirect to %1 ?").arg(m_server.url(QStringLiteral("/files/slow.bin")).toString()));
    QVERIFY(!QFile::exists(downloadPath(QStringLiteral("moved.bin"))));
    QCOMPARE(ok->text(), QStringLiteral("Cancel"));
    QVERIFY(!child<QProgressBar>(form.get(), "progressbar")->isHidden());
    if (follow) {
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(downloadPath(QStringLiteral("slow.bin"))).size() > 0, 10000);
    } else {
        QTest::qWait(100);
        QCOMPARE(m_server.requestedPaths().count(QStringLiteral("/files/slow.bin")), slowRequests);
    }

    QTest::mouseClick(ok, Qt::LeftButton);
    QTRY_COMPARE(ok->text(), QStringLiteral("Ok"));
    verifyOfferState(form.get(), QStringLiteral("Version 1.2.4"));
    QVERIFY(!QFile::exists(downloadPath(QStringLiteral("slow.bin"))));
    QCOMPARE(answerer.texts.size(), 1);
}

void TestUpdateMessageForm::completeDownloadStartsInstallerAndExits_data()
{
    QTest::addColumn<QStringList>("probeArguments");
    QTest::addColumn<QString>("output");
    QTest::newRow("overlay shown") << QStringList() << "";
    QTest::newRow("overlay closed during the download")
        << QStringList { QStringLiteral("close") } << "overlay hidden during the download";
}

void TestUpdateMessageForm::completeDownloadStartsInstallerAndExits()
{
    QFETCH(QStringList, probeArguments);
    QFETCH(QString, output);

    const QString target = downloadPath(QStringLiteral("installer.sh"));
    const QString marker = m_home.path() + QStringLiteral("/installer-ran");
    QDir().mkpath(downloadPath(QString()));
    QFile::remove(marker);
    QFile old(target);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("an older download of the same name");
    old.close();
    m_server.serve(
        QStringLiteral("/complete.xml"), versionFile("1.2.4", m_server.url(QStringLiteral("/files/installer.sh"))));

    QElapsedTimer sinceInstallerServed;
    connect(&m_server, &lf::test::LoopbackHttpServer::requestReceived, this, [&](const QString& path) {
        if (path == QLatin1String("/files/installer.sh"))
            sinceInstallerServed.start();
    });
    QProcess probe;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    probe.setProcessEnvironment(environment); // HOME and XDG_CONFIG_HOME as set above
    probe.setProcessChannelMode(QProcess::MergedChannels);
    probe.start(QStringLiteral(LF_UPDATE_PROBE_PATH),
        QStringList { m_server.url(QStringLiteral("/complete.xml")).toString() } + probeArguments);
    QVERIFY(probe.waitForStarted());
    QTRY_COMPARE_WITH_TIMEOUT(probe.state(), QProcess::NotRunning, 40000);
    const qint64 afterInstallerMs = sinceInstallerServed.isValid() ? sinceInstallerServed.elapsed() : -1;
    m_server.disconnect(this);

    const QString probeOutput = QString::fromLocal8Bit(probe.readAll());
    QCOMPARE(probe.exitStatus(), QProcess::NormalExit);
    QVERIFY2(probe.exitCode() == 0, qPrintable(probeOutput));
    QVERIFY(probeOutput.contains(output));
    QVERIFY(afterInstallerMs >= 1000);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(marker), 10000);
    QFile downloaded(target);
    QVERIFY(downloaded.open(QIODevice::ReadOnly));
    QCOMPARE(downloaded.readAll(), m_installer);
    QVERIFY(downloaded.permissions() & QFileDevice::ExeOwner);
}

void TestUpdateMessageForm::koreanTexts_data()
{
    QTest::addColumn<QString>("object");
    QTest::addColumn<QString>("text");
    QTest::newRow("title") << "title_label" << QStringLiteral("새 버전 출시");
    QTest::newRow("offer version") << "version_label" << QStringLiteral("버전 1.2.4");
    QTest::newRow("ok") << "ok_button" << QStringLiteral("확인");
    QTest::newRow("cancel") << "cancel_button" << QStringLiteral("취소");
}

void TestUpdateMessageForm::koreanTexts()
{
    QFETCH(QString, object);
    QFETCH(QString, text);

    QTranslator translator;
    QVERIFY(translator.load(lf::test::buildDir() + QStringLiteral("/Resources/lang_ko.qm")));
    QCoreApplication::installTranslator(&translator);
    std::unique_ptr<UpdateMessageForm> form = offerFor(QStringLiteral("/files/installer.sh"));
    QCoreApplication::removeTranslator(&translator);
    QVERIFY(form);
    auto* widget = form->findChild<QWidget*>(object);
    QCOMPARE(widget->property("text").toString(), text);
}

LF_TEST_MAIN(TestUpdateMessageForm)
#include "tst_updatemessageform.moc"
