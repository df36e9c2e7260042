// The bookcase file: its exact format, loading, and what survives failures.
#include "base/appconstants.h"
#include "base/bookname.h"
#include "base/datadirectory.h"
#include "library/bookcasefile.h"
#include "library/booklistcontrol.h"
#include "testsupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

namespace {
const QDateTime kTime = QDateTime::fromMSecsSinceEpoch(1600000000000);

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void makeBookFolders(const QStringList& names)
{
    for (const QString& name : names)
        QVERIFY(QDir().mkpath(BookcaseFile::bookFolder(name)));
}

QStringList namesInFile()
{
    QStringList names;
    const QJsonArray records = QJsonDocument::fromJson(readAll(BookcaseFile::filePath()))
                                   .object()
                                   .value(QStringLiteral("bookInfos"))
                                   .toArray();
    for (const QJsonValue& record : records)
        names.append(record.toObject().value(QStringLiteral("file_name")).toString());
    return names;
}

QStringList sorted(QStringList names)
{
    names.sort();
    return names;
}

// Extracts a corpus book into the data directory as the book `name`.
void extractCorpusBook(const QString& file, const QString& name)
{
    const QString archive = lf::test::copyCorpusBook(file, lf::test::privateTempDir() + QStringLiteral("/archives"));
    QVERIFY(!archive.isEmpty());
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"),
        { QStringLiteral("-q"), QStringLiteral("-o"), archive, QStringLiteral("-d"), BookcaseFile::bookFolder(name) });
    QVERIFY(unzip.waitForFinished(30000));
    QCOMPARE(unzip.exitCode(), 0);
}

BookInfo book(const QString& name, const QString& title = QStringLiteral("Title"))
{
    return BookInfo(name, title, QStringLiteral("Author"), 1234, QStringLiteral("OEBPS/cover.jpg"), kTime);
}
} // namespace

class TestBookcaseFile : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        lf::test::clearDataDirectory();
        QVERIFY(lf::ensureDataDirectory());
    }

    void cleanup()
    {
        QFile::setPermissions(lf::dataDirectory(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY(::chown(QFile::encodeName(lf::dataDirectory()).constData(), ::getuid(), ::getgid()) == 0
            || !QFileInfo::exists(lf::dataDirectory()));
    }

    void fileFormat_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("title");
        QTest::addColumn<qint64>("size");
        QTest::addColumn<qint64>("msecs");
        QTest::addColumn<QByteArray>("expected");

        QTest::newRow("plain") << "b1"
                               << "Title" << qint64(5000000000) << qint64(1600000000000)
                               << QByteArray(R"({"bookInfos":[{"add_time":1600000000000,"author":"Ann",)"
                                             R"("book_name":"Title","book_size":5000000000,)"
                                             R"("cover_url":"c.jpg","file_name":"b1"}]})");
        QTest::newRow("empty title saved as book name")
            << "b2"
            << "" << qint64(0) << qint64(0)
            << QByteArray(R"({"bookInfos":[{"add_time":0,"author":"Ann","book_name":"b2","book_size":0,)"
                          R"("cover_url":"c.jpg","file_name":"b2"}]})");
        QTest::newRow("quotes and non-ASCII") << QString::fromUtf8("草枕") << "\"Q\" \\ x" << qint64(7) << qint64(1)
                                              << QByteArray("{\"bookInfos\":[{\"add_time\":1,\"author\":\"Ann\","
                                                            "\"book_name\":\"\\\"Q\\\" \\\\ x\",\"book_size\":7,"
                                                            R"("cover_url":"c.jpg","file_name":")")
                + QString::fromUtf8("草枕").toUtf8() + QByteArray(R"("}]})");
    }

    void fileFormat()
    {
        QFETCH(QString, name);
        QFETCH(QString, title);
        QFETCH(qint64, size);
        QFETCH(qint64, msecs);
        QFETCH(QByteArray, expected);
        BookListControl store;
        store.addBook(BookInfo(
            name, title, QStringLiteral("Ann"), size, QStringLiteral("c.jpg"), QDateTime::fromMSecsSinceEpoch(msecs)));
        QVERIFY(BookcaseFile::save(store));
        QCOMPARE(readAll(BookcaseFile::filePath()), expected);
    }

    void roundTripIsByteForByte()
    {
        const QStringList names = { QStringLiteral("zeta"), QStringLiteral("alpha"), QString::fromUtf8("草枕"),
            QStringLiteral("with space"), QStringLiteral("m") };
        BookListControl first;
        for (int i = 0; i < names.size(); ++i)
            first.addBook(BookInfo(names.at(i), QStringLiteral("T%1").arg(i), QString::fromUtf8("Ä%1").arg(i),
                qint64(i) << 33, QStringLiteral("EPUB/img/c%1.png").arg(i),
                QDateTime::fromMSecsSinceEpoch(1600000000000 + i * 1001)));
        makeBookFolders(names);
        QVERIFY(BookcaseFile::save(first));
        const QByteArray saved = readAll(BookcaseFile::filePath());
        QVERIFY(!saved.contains('\n'));
        QCOMPARE(QJsonDocument::fromJson(saved).toJson(QJsonDocument::Compact), saved);

        BookListControl second;
        QSignalSpy spy(&second, SIGNAL(changedBooks()));
        BookcaseFile::load(second);
        QCOMPARE(spy.count(), 0);
        QCOMPARE(readAll(BookcaseFile::filePath()), saved);
        for (const QString& name : names) {
            const BookInfo* a = first.bookInfo(name);
            const BookInfo* b = second.bookInfo(name);
            QVERIFY(b);
            QCOMPARE(b->bookName(), a->bookName());
            QCOMPARE(b->author(), a->author());
            QCOMPARE(b->bookSize(), a->bookSize());
            QCOMPARE(b->coverUrl(), a->coverUrl());
            QCOMPARE(b->addTime(), a->addTime());
        }
        QCOMPARE(second.sortedNames(0), first.sortedNames(0));
    }

    void load_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("folders");
        QTest::addColumn<QStringList>("expected");

        const QByteArray three = R"({"bookInfos":[{"file_name":"a","add_time":1},{"file_name":"b"},)"
                                 R"({"file_name":"c","book_name":"C"}]})";
        QTest::newRow("all folders present") << three << QStringList { "a", "b", "c" } << QStringList { "a", "b", "c" };
        QTest::newRow("one folder gone") << three << QStringList { "a", "c" } << QStringList { "a", "c" };
        QTest::newRow("no folders") << three << QStringList {} << QStringList {};
        QTest::newRow("names that leave the data directory")
            << QByteArray(R"({"bookInfos":[{"file_name":""},{"file_name":".."},{"file_name":"."},)"
                          R"({"file_name":"a/b"},{"file_name":"a"}]})")
            << QStringList { "a/b" } << QStringList { "a" };
        QTest::newRow("duplicate names keep the first")
            << QByteArray(R"({"bookInfos":[{"file_name":"a","book_name":"1"},{"file_name":"a","book_name":"2"}]})")
            << QStringList { "a" } << QStringList { "a" };
    }

    void load()
    {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, folders);
        QFETCH(QStringList, expected);
        QVERIFY(lf::test::writeFile(BookcaseFile::filePath(), file));
        makeBookFolders(folders);
        BookListControl store;
        BookcaseFile::load(store);
        QCOMPARE(sorted(store.sortedNames(1)), expected);
        QCOMPARE(namesInFile(), expected);
        QCOMPARE(readAll(BookcaseFile::filePath()), BookcaseFile::toJson(store));
        QVERIFY(!QFileInfo::exists(BookcaseFile::damagedCopyPath()));
    }

    // The load rewrites the file only where it says something else than a save
    // of the bookcase it gave; afterwards the file is that save either way.
    void loadRewritesOnlyWhatDiffers_data()
    {
        QTest::addColumn<QByteArray>("records");
        QTest::addColumn<QString>("situation"); // "link": "b" is a link to a folder; "shared": others may read
        QTest::addColumn<bool>("rewritten");
        const auto record = [](const char* name, const QByteArray& title = "T") -> QByteArray {
            return "{\"add_time\":1,\"author\":\"A\",\"book_name\":\"" + title
                + "\",\"book_size\":2,\"cover_url\":\"c\",\"file_name\":\"" + name + "\"}";
        };
        const QByteArray ab = record("a") + ',' + record("b");
        QTest::newRow("as a save writes it") << ab << "" << false;
        QTest::newRow("book folder is a link") << ab << "link" << false;
        QTest::newRow("readable by others") << ab << "shared" << true;
        QTest::newRow("book folder gone") << ab + ',' + record("c") << "" << true;
        QTest::newRow("name twice") << record("a") + ',' + ab << "" << true;
        QTest::newRow("out of order") << record("b") + ',' + record("a") << "" << true;
        QTest::newRow("value missing") << QByteArray(ab).replace(",\"author\":\"A\"", "") << "" << true;
        QTest::newRow("value unknown") << ab.chopped(1) + ",\"x\":0}"
                                       << "" << true;
        QTest::newRow("title cut") << record("a", QByteArray(BookInfo::maxTextLength() + 1, 't')) + ',' + record("b")
                                   << "" << true;
    }

    void loadRewritesOnlyWhatDiffers()
    {
        QFETCH(QByteArray, records);
        QFETCH(QString, situation);
        QFETCH(bool, rewritten);
        const QString elsewhere = lf::test::privateTempDir() + QStringLiteral("/elsewhere-b");
        makeBookFolders({ QStringLiteral("a") });
        if (situation == QLatin1String("link"))
            QVERIFY(QDir().mkpath(elsewhere) && QFile::link(elsewhere, BookcaseFile::bookFolder(QStringLiteral("b"))));
        else
            makeBookFolders({ QStringLiteral("b") });
        QVERIFY(lf::test::writeFile(BookcaseFile::filePath(), "{\"bookInfos\":[" + records + "]}"));
        // Left read-only for its owner: a file the load rewrites is writable again.
        QVERIFY(QFile::setPermissions(BookcaseFile::filePath(),
            QFile::ReadOwner | (situation == QLatin1String("shared") ? QFile::ReadOther : QFile::Permissions())));
        BookListControl store;
        BookcaseFile::load(store);
        const QFile::Permissions permissions = QFileInfo(BookcaseFile::filePath()).permissions();
        QCOMPARE(sorted(store.sortedNames(1)), (QStringList { "a", "b" }));
        QCOMPARE(permissions.testFlag(QFile::WriteOwner), rewritten);
        QVERIFY(!permissions.testFlag(QFile::ReadOther));
        QCOMPARE(readAll(BookcaseFile::filePath()), BookcaseFile::toJson(store));
    }

    void loadFillsGapsWithDefaults()
    {
        QVERIFY(lf::test::writeFile(BookcaseFile::filePath(),
            R"({"bookInfos":[{"file_name":"a","book_name":5,"author":null,"book_size":"12","add_time":"x"},)"
            R"({"file_name":"b","book_size":77,"add_time":1600000000000,"cover_url":"c/d.png"},)"
            R"({"file_name":"c","book_size":1e300,"add_time":-1e300}]})"));
        makeBookFolders({ QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c") });
        BookListControl store;
        BookcaseFile::load(store);
        const BookInfo* a = store.bookInfo(QStringLiteral("a"));
        QVERIFY(a);
        QCOMPARE(a->bookName(), QStringLiteral("a"));
        QCOMPARE(a->author(), QString());
        QCOMPARE(a->bookSize(), qint64(0));
        QCOMPARE(a->addTime().toMSecsSinceEpoch(), qint64(0));
        QCOMPARE(a->addTime().timeSpec(), Qt::LocalTime);
        const BookInfo* b = store.bookInfo(QStringLiteral("b"));
        QCOMPARE(b->bookSize(), qint64(77));
        QCOMPARE(b->coverUrl(), QStringLiteral("c/d.png"));
        QCOMPARE(b->addTime(), kTime);
        // Numbers beyond the 64-bit range read as 0 too.
        const BookInfo* c = store.bookInfo(QStringLiteral("c"));
        QCOMPARE(c->bookSize(), qint64(0));
        QCOMPARE(c->addTime().toMSecsSinceEpoch(), qint64(0));
        // The time-0 books come last in the newest-first order.
        QCOMPARE(store.sortedNames(0), (QStringList { "b", "c", "a" }));
    }

    void dataDirectoryNamesAreNoBookNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("usable");
        for (const char* name : { "bl", "BL", "bl.damaged", "single_port", "single_token", "single_port.token",
                 ".import-x1Y2z3", ".", "..", "", "a/b", "a\\b" })
            QTest::newRow(name) << QString::fromLatin1(name) << false;
        for (const char* name : { "blue", "bl.d", "my single_port", "import-x", "book" })
            QTest::newRow(name) << QString::fromLatin1(name) << true;
    }

    void dataDirectoryNamesAreNoBookNames()
    {
        QFETCH(QString, name);
        QTEST(lf::isUsableBookName(name), "usable");
    }

    // A hostile book's title of megabytes is not carried into the bookcase.
    void longTextsAreCut()
    {
        BookListControl store;
        const QString longText = QString(200000, QLatin1Char('t'));
        store.addBook(BookInfo(QStringLiteral("a"), longText, longText, 1, QString(5000, QLatin1Char('c')), kTime));
        QVERIFY(BookcaseFile::save(store));
        const QJsonObject record = QJsonDocument::fromJson(readAll(BookcaseFile::filePath()))
                                       .object()
                                       .value(QStringLiteral("bookInfos"))
                                       .toArray()
                                       .at(0)
                                       .toObject();
        QCOMPARE(record.value(QStringLiteral("book_name")).toString(), longText.left(BookInfo::maxTextLength()));
        QCOMPARE(record.value(QStringLiteral("author")).toString(), longText.left(BookInfo::maxTextLength()));
        QCOMPARE(record.value(QStringLiteral("cover_url")).toString(), QString());
    }

    // A missing file (a first save that failed on a full disk, say) costs no
    // book: the bookcase is rebuilt from the folders, and nothing is removed.
    void missingFileIsRebuiltFromTheBookFolders()
    {
        extractCorpusBook(QStringLiteral("wasteland.epub"), QStringLiteral("waste"));
        makeBookFolders({ QStringLiteral("not a book/OEBPS") });
        QVERIFY(lf::test::writeFile(lf::dataDirectory() + lf::kPortFileName, "60000"));
        BookListControl store;
        BookcaseFile::load(store);
        QCOMPARE(store.sortedNames(1), QStringList { "waste" });
        QCOMPARE(namesInFile(), QStringList { "waste" });
        QVERIFY(QFileInfo(BookcaseFile::bookFolder(QStringLiteral("not a book"))).isDir());
        QCOMPARE(readAll(lf::dataDirectory() + lf::kPortFileName), QByteArray("60000"));
        QVERIFY(!QFileInfo::exists(BookcaseFile::damagedCopyPath()));
    }

    // A link in place of the file is no bookcase: what it points to is neither
    // read nor written (running as root, it might be any file of the system).
    void linkInPlaceOfTheFileIsReplaced()
    {
        extractCorpusBook(QStringLiteral("wasteland.epub"), QStringLiteral("waste"));
        makeBookFolders({ QStringLiteral("planted") });
        const QString target = lf::test::privateTempDir() + QStringLiteral("/passwd");
        const QByteArray targetBytes = R"({"bookInfos":[{"file_name":"planted","book_name":"Planted"}]})";
        QVERIFY(lf::test::writeFile(target, targetBytes));
        QVERIFY(QFile::link(target, BookcaseFile::filePath()));

        BookListControl store;
        BookcaseFile::load(store);
        QCOMPARE(store.sortedNames(1), QStringList { "waste" });
        QVERIFY(BookcaseFile::save(store));
        QCOMPARE(readAll(target), targetBytes);
        QVERIFY(!QFileInfo(BookcaseFile::filePath()).isSymLink());
        QCOMPARE(namesInFile(), QStringList { "waste" });
    }

    // A bookcase file that exists but cannot be read is never replaced; the run
    // goes on with the books rebuilt in memory.
    void unreadableFileIsLeftAlone_data()
    {
        QTest::addColumn<bool>("folderInPlace");
        QTest::newRow("a folder in its place") << true;
        if (::geteuid() != 0) // root reads whatever the permissions say
            QTest::newRow("no read permission") << false;
    }

    void unreadableFileIsLeftAlone()
    {
        QFETCH(bool, folderInPlace);
        extractCorpusBook(QStringLiteral("wasteland.epub"), QStringLiteral("waste"));
        const QByteArray original = R"({"bookInfos":[{"file_name":"waste","book_size":77}]})";
        if (folderInPlace) {
            QVERIFY(QDir().mkpath(BookcaseFile::filePath() + QStringLiteral("/inner")));
        } else {
            QVERIFY(lf::test::writeFile(BookcaseFile::filePath(), original));
            QVERIFY(QFile::setPermissions(BookcaseFile::filePath(), QFile::WriteOwner));
        }
        BookListControl store;
        BookcaseFile::load(store);
        QCOMPARE(store.sortedNames(1), QStringList { "waste" });
        store.addBook(book(QStringLiteral("later")));
        QVERIFY(!BookcaseFile::save(store));

        QCOMPARE(QFileInfo(BookcaseFile::filePath()).isDir(), folderInPlace);
        QVERIFY(QFileInfo::exists(BookcaseFile::filePath() + QStringLiteral("/inner")) == folderInPlace);
        QFile::setPermissions(BookcaseFile::filePath(), QFile::ReadOwner | QFile::WriteOwner);
        if (!folderInPlace)
            QCOMPARE(readAll(BookcaseFile::filePath()), original);
        QVERIFY(!QFileInfo::exists(BookcaseFile::damagedCopyPath()));
    }

    // Staging folders of an import cut short by a kill go at the next start; a
    // book folder that a re-import had already moved aside comes back.
    void leftoversOfUnfinishedImportsAreCleanedUp()
    {
        makeBookFolders({ QStringLiteral("kept"), QStringLiteral(".import-abc123/content/OEBPS"),
            QStringLiteral(".import-def456/old/OEBPS"), QStringLiteral(".import-ghi789/old") });
        QVERIFY(lf::test::writeFile(BookcaseFile::bookFolder(QStringLiteral(".import-def456/name")), "moved"));
        QVERIFY(lf::test::writeFile(BookcaseFile::bookFolder(QStringLiteral(".import-def456/old/cp")), "7"));
        // A book of that name already back in place is not overwritten.
        QVERIFY(lf::test::writeFile(BookcaseFile::bookFolder(QStringLiteral(".import-ghi789/name")), "kept"));
        QVERIFY(lf::test::writeFile(
            BookcaseFile::filePath(), R"({"bookInfos":[{"file_name":"kept"},{"file_name":"moved"}]})"));

        BookListControl store;
        BookcaseFile::load(store);
        QCOMPARE(QDir(lf::dataDirectory()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
            (QStringList { "bl", "kept", "moved" }));
        QCOMPARE(readAll(BookcaseFile::bookFolder(QStringLiteral("moved/cp"))), QByteArray("7"));
        QCOMPARE(sorted(store.sortedNames(1)), (QStringList { "kept", "moved" }));
    }

    void foreignDataDirectoryIsLeftAlone_data()
    {
        QTest::addColumn<bool>("withFile");
        QTest::newRow("with bookcase file") << true;
        QTest::newRow("without bookcase file") << false;
    }

    void foreignDataDirectoryIsLeftAlone()
    {
        QFETCH(bool, withFile);
        const QByteArray file = R"({"bookInfos":[{"file_name":"a"}]})";
        makeBookFolders({ QStringLiteral("a") });
        if (withFile)
            QVERIFY(lf::test::writeFile(BookcaseFile::filePath(), file));
        QVERIFY(::chown(QFile::encodeName(lf::dataDirectory()).constData(), 65534, 65534) == 0);
        QVERIFY(!lf::dataDirectoryIsOurs());

        BookListControl store;
        BookcaseFile::load(store);
        QVERIFY(store.allBooks().isEmpty());
        QVERIFY(QFileInfo(BookcaseFile::bookFolder(QStringLiteral("a"))).isDir());
        QCOMPARE(readAll(BookcaseFile::filePath()), withFile ? file : QByteArray());
        store.addBook(book(QStringLiteral("a")));
        QVERIFY(!BookcaseFile::save(store));
        QCOMPARE(readAll(BookcaseFile::filePath()), withFile ? file : QByteArray());
    }

    void damagedFileIsKeptAndTheBookcaseRebuilt_data()
    {
        QTest::addColumn<QByteArray>("damaged");
        QTest::newRow("not JSON") << QByteArray("{\"bookInfos\":[{\"file_name\":\"waste\",");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("binary") << QByteArray("\x00\xff\xfe{", 4);
        QTest::newRow("array at the top") << QByteArray(R"([{"file_name":"waste"}])");
        // Valid JSON of the wrong shape is as damaged as broken JSON.
        QTest::newRow("bookInfos an object") << QByteArray(R"({"bookInfos":{}})");
        QTest::newRow("bookInfos missing") << QByteArray(R"({"other":[]})");
        QTest::newRow("element not a record") << QByteArray(R"({"bookInfos":[7,{"book_name":"x"}]})");
    }

    void damagedFileIsKeptAndTheBookcaseRebuilt()
    {
        QFETCH(QByteArray, damaged);
        extractCorpusBook(QStringLiteral("wasteland.epub"), QStringLiteral("waste"));
        extractCorpusBook(QStringLiteral("minimal-epub3.epub"), QString::fromUtf8("최소"));
        makeBookFolders({ QStringLiteral("not a book/OEBPS") });
        QVERIFY(lf::test::writeFile(BookcaseFile::filePath(), damaged));
        QVERIFY(lf::test::writeFile(BookcaseFile::damagedCopyPath(), "an older damaged file"));
        const QDateTime folderTime = QFileInfo(BookcaseFile::bookFolder(QStringLiteral("waste"))).lastModified();

        BookListControl store;
        QSignalSpy spy(&store, SIGNAL(changedBooks()));
        BookcaseFile::load(store);
        QCOMPARE(spy.count(), 0);
        QCOMPARE(readAll(BookcaseFile::damagedCopyPath()), damaged);
        QCOMPARE(store.sortedNames(1), (QStringList { "waste", QString::fromUtf8("최소") }));
        const BookInfo* waste = store.bookInfo(QStringLiteral("waste"));
        QCOMPARE(waste->bookName(), QStringLiteral("The Waste Land"));
        QCOMPARE(waste->author(), QStringLiteral("T.S. Eliot"));
        QCOMPARE(waste->coverUrl(), QStringLiteral("EPUB/wasteland-cover.jpg"));
        QCOMPARE(waste->bookSize(), qint64(0));
        QCOMPARE(waste->addTime(), folderTime);
        QCOMPARE(store.bookInfo(QString::fromUtf8("최소"))->bookName(), QStringLiteral("Your title here"));
        QCOMPARE(readAll(BookcaseFile::filePath()), BookcaseFile::toJson(store));
        QVERIFY(QFileInfo(BookcaseFile::bookFolder(QStringLiteral("not a book"))).isDir());

        // The next start reads the rebuilt file like any other.
        BookListControl next;
        BookcaseFile::load(next);
        QCOMPARE(next.sortedNames(0), store.sortedNames(0));
        QCOMPARE(readAll(BookcaseFile::damagedCopyPath()), damaged);
    }

    // A write that fails half-way (here: the file size limit) must leave the old file as it was.
    void failedSaveKeepsThePreviousFile()
    {
        BookListControl store;
        store.addBook(book(QStringLiteral("first")));
        QVERIFY(BookcaseFile::save(store));
        const QByteArray previous = readAll(BookcaseFile::filePath());
        for (int i = 0; i < 100; ++i)
            store.addBook(book(QStringLiteral("book%1").arg(i)));

        std::signal(SIGXFSZ, SIG_IGN);
        rlimit original {};
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &original), 0);
        rlimit small = original;
        small.rlim_cur = rlim_t(previous.size() + 100);
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
        const bool saved = BookcaseFile::save(store);
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &original), 0);
        std::signal(SIGXFSZ, SIG_DFL);

        QVERIFY(!saved);
        QCOMPARE(readAll(BookcaseFile::filePath()), previous);
        QCOMPARE(
            QDir(lf::dataDirectory()).entryList(QDir::Files | QDir::Hidden), QStringList { lf::kBookcaseFileName });
        QVERIFY(BookcaseFile::save(store));
        QCOMPARE(namesInFile().size(), 101);
    }
};

LF_TEST_CORE_MAIN(TestBookcaseFile)
#include "tst_bookcasefile.moc"
