#include "loopbackhttpserver.h"
#include "testsupport.h"
#include "update/simplefiledownloader.h"

// The downloader against a real HTTP server on loopback.
class TestSimpleFileDownloader : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void deliversWholeBody_data();
    void deliversWholeBody();
    void startingTwiceDeliversEachBodyOnce();

private:
    lf::test::LoopbackHttpServer m_server;
    QByteArray m_largeBody;
};

void TestSimpleFileDownloader::initTestCase()
{
    QVERIFY(m_server.listen());
    for (int i = 0; m_largeBody.size() < 600 * 1024; ++i)
        m_largeBody += QByteArray::number(i) + '\n';
    m_server.serve(
        QStringLiteral("/lf_version.xml"), "<u><current-version version=\"zelto\">1.2.4</current-version></u>");
    m_server.serveSlowly(QStringLiteral("/large.bin"), m_largeBody, 64 * 1024, 5);
    m_server.serveRedirect(QStringLiteral("/moved.xml"), QStringLiteral("/lf_version.xml"));
}

void TestSimpleFileDownloader::deliversWholeBody_data()
{
    QTest::addColumn<QUrl>("url");
    QTest::addColumn<QByteArray>("body");

    QTest::newRow("small file") << m_server.url(QStringLiteral("/lf_version.xml"))
                                << QByteArray("<u><current-version version=\"zelto\">1.2.4</current-version></u>");
    QTest::newRow("large file in slow chunks, one signal") << m_server.url(QStringLiteral("/large.bin")) << m_largeBody;
    QTest::newRow("not found: the error page")
        << m_server.url(QStringLiteral("/missing.xml")) << QByteArray("Not Found");
    QTest::newRow("redirect is not followed") << m_server.url(QStringLiteral("/moved.xml")) << QByteArray("moved");
    QTest::newRow("unreachable server: empty")
        << lf::test::LoopbackHttpServer::unreachableUrl(QStringLiteral("/lf_version.xml")) << QByteArray();
}

void TestSimpleFileDownloader::deliversWholeBody()
{
    QFETCH(QUrl, url);
    QFETCH(QByteArray, body);

    SimpleFileDownloader downloader(url);
    QSignalSpy spy(&downloader, SIGNAL(downloaded(QByteArray)));
    downloader.downloadStart();
    QVERIFY(spy.wait(10000));
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toByteArray(), body);
    QCOMPARE(downloader.downloadedData(), body);
}

void TestSimpleFileDownloader::startingTwiceDeliversEachBodyOnce()
{
    SimpleFileDownloader downloader(m_server.url(QStringLiteral("/lf_version.xml")));
    QSignalSpy spy(&downloader, SIGNAL(downloaded(QByteArray)));
    downloader.downloadStart();
    downloader.downloadStart();
    QTRY_COMPARE(spy.count(), 2);
    QTest::qWait(100);
    QCOMPARE(spy.count(), 2);
}

LF_TEST_CORE_MAIN(TestSimpleFileDownloader)
#include "tst_simplefiledownloader.moc"
