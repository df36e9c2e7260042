// The data directory lives in the user's data location: it is created
// owner-only and used only when it is really ours. A library an earlier
// version kept in the temporary-files location is moved over once, book by
// book, with real folders on one file system and across two.
#include "app/appconstants.h"
#include "app/datadirectory.h"
#include "app/librarymigration.h"
#include "import/unzipthread.h"
#include "testsupport.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// book-relative path -> bytes
using Files = QMap<QString, QByteArray>;

const QDateTime kUnpacked = QDateTime::fromMSecsSinceEpoch(1600000000123);

Files bookFiles(const QString& name)
{
    return { { QStringLiteral("mimetype"), "application/epub+zip" },
        { QStringLiteral("OEBPS/text.xhtml"), "<p>" + name.toUtf8() + "</p>" },
        { QStringLiteral("OEBPS/highlight/hili_total"), R"({"0":{"highlighted1":{"color":"Blue"}}})" },
        { QStringLiteral("cp"), R"({"current_page":3,"total_page":9})" } };
}

// Written with one modification time: the search text and thumbnails are bound to it.
void writeFiles(const QString& folder, const Files& files)
{
    for (auto it = files.begin(); it != files.end(); ++it) {
        const QString path = folder + QLatin1Char('/') + it.key();
        QVERIFY(QDir().mkpath(QFileInfo(path).path()));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(it.value()) == it.value().size() && file.flush());
        QVERIFY(file.setFileTime(kUnpacked, QFileDevice::FileModificationTime));
    }
}

Files filesIn(const QString& folder)
{
    Files files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        files.insert(QDir(folder).relativeFilePath(path), file.readAll());
    }
    return files;
}

QByteArray bookcase(const QStringList& names)
{
    QJsonArray records;
    for (const QString& name : names) {
        records.append(QJsonObject { { "add_time", 1600000000000.0 }, { "author", "A" }, { "book_name", name },
            { "book_size", 10 }, { "cover_url", "" }, { "file_name", name } });
    }
    return QJsonDocument(QJsonObject { { "bookInfos", records } }).toJson(QJsonDocument::Compact);
}

QByteArray contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList namesIn(const QString& bookcasePath)
{
    QStringList names;
    const QJsonArray records
        = QJsonDocument::fromJson(contentOf(bookcasePath)).object().value(QStringLiteral("bookInfos")).toArray();
    for (const QJsonValue& record : records)
        names.append(record.toObject().value(QStringLiteral("file_name")).toString());
    names.sort();
    return names;
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
}

QStringList entriesOf(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
}

// A folder on another file system than the data directory, when the machine has one.
QString otherFileSystemFolder()
{
    struct stat data
    {
    };
    struct stat shm
    {
    };
    if (::stat(QFile::encodeName(lf::test::privateDataHome()).constData(), &data) != 0 || ::stat("/dev/shm", &shm) != 0
        || data.st_dev == shm.st_dev || ::access("/dev/shm", W_OK) != 0)
        return {};
    return QStringLiteral("/dev/shm");
}
} // namespace

class TestDataDirectory : public QObject
{
    Q_OBJECT

private:
    QString path() const { return QDir::cleanPath(lf::dataDirectory()); }
    QString newBookcase() const { return lf::dataDirectory() + lf::kBookcaseFileName; }

    // The old library below `location` (the temporary-files location or a
    // folder on another file system): books and a bookcase naming them.
    QString makeOldLibrary(const QString& location, const QStringList& books)
    {
        const QString old = location + QStringLiteral("/LF_Epub_Viewer_N/");
        for (const QString& name : books)
            writeFiles(old + name, bookFiles(name));
        QDir().mkpath(old);
        writeFile(old + lf::kBookcaseFileName, bookcase(books));
        writeFile(old + lf::kPortFileName, "60000");
        return old;
    }

    // Each book is whole in exactly one of the two places.
    void verifyWholeInOnePlace(const QString& old, const QStringList& moved, const QStringList& leftBehind)
    {
        for (const QString& name : moved) {
            QCOMPARE(filesIn(lf::dataDirectory() + name), bookFiles(name));
            QVERIFY2(!QFileInfo::exists(old + name), qPrintable(name));
            QCOMPARE(
                QFileInfo(lf::dataDirectory() + name + QStringLiteral("/OEBPS/text.xhtml")).lastModified(), kUnpacked);
        }
        for (const QString& name : leftBehind)
            QCOMPARE(filesIn(old + name), bookFiles(name));
    }

private slots:
    void cleanup()
    {
        QFile::remove(path());
        lf::test::clearDataDirectory();
        QDir(lf::test::privateTempDir()).removeRecursively();
        QDir().mkpath(lf::test::privateTempDir());
    }

    void createdOwnerOnly()
    {
        QCOMPARE(lf::dataDirectory(), lf::test::privateDataHome() + QStringLiteral("/LF_Epub_Viewer_N/"));
        QVERIFY(QDir(lf::test::privateDataHome()).removeRecursively()); // folders above are made too
        QVERIFY(lf::dataDirectoryIsOurs());
        QVERIFY(lf::ensureDataDirectory());
        const QFileDevice::Permissions others = QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup
            | QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
        const QFileDevice::Permissions owner = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
        for (const QString& folder : { path(), lf::test::privateDataHome() }) {
            const QFileInfo info(folder);
            QVERIFY(info.isDir());
            QCOMPARE(info.permissions() & others, QFileDevice::Permissions());
            QCOMPARE(info.permissions() & owner, owner);
        }
        QVERIFY(lf::ensureDataDirectory()); // an existing one of ours is fine
    }

    void foreignOrOddDirectoriesAreNotUsed_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("symbolic link to a directory") << QStringLiteral("link");
        QTest::newRow("dangling symbolic link") << QStringLiteral("dangling");
        QTest::newRow("plain file") << QStringLiteral("file");
        QTest::newRow("directory of another user") << QStringLiteral("foreign");
    }

    void foreignOrOddDirectoriesAreNotUsed()
    {
        QFETCH(QString, kind);
        const QString elsewhere = lf::test::privateTempDir() + QStringLiteral("/elsewhere");
        if (kind == QLatin1String("link")) {
            QVERIFY(QDir().mkpath(elsewhere));
            QVERIFY(QFile::link(elsewhere, path()));
        } else if (kind == QLatin1String("dangling")) {
            QVERIFY(QFile::link(elsewhere, path()));
        } else if (kind == QLatin1String("file")) {
            QFile file(path());
            QVERIFY(file.open(QIODevice::WriteOnly));
        } else {
            if (::getuid() != 0)
                QSKIP("giving a directory to another user needs root");
            QVERIFY(QDir().mkpath(path()));
            QCOMPARE(::chown(QFile::encodeName(path()).constData(), 65534, 65534), 0);
        }
        QVERIFY(!lf::dataDirectoryIsOurs());
        QVERIFY(!lf::ensureDataDirectory());
        QVERIFY(!QFileInfo::exists(elsewhere + QStringLiteral("/single_port")));
    }

    void oldLibraryIsMovedBookByBook_data()
    {
        QTest::addColumn<bool>("acrossFileSystems");
        QTest::addColumn<QString>("obstacle");
        QTest::addColumn<QStringList>("moved");
        QTest::addColumn<QStringList>("leftBehind");
        const QStringList all { "alpha", "beta", "gamma" };
        for (const bool across : { false, true }) {
            const char* place = across ? "across file systems: " : "one file system: ";
            QTest::addRow("%sall books", place) << across << QString() << all << QStringList();
            QTest::addRow("%sanother book of that name already there", place)
                << across << "different beta there" << QStringList { "alpha", "gamma" } << QStringList { "beta" };
            QTest::addRow("%sgoes on after a kill between two books", place)
                << across << "alpha moved before" << all << QStringList();
        }
        QTest::newRow("one file system: a re-import cut short had moved a book aside")
            << false << "beta moved aside" << all << QStringList();
        // A rename takes a book as it is; a copy refuses what is no plain file.
        QTest::newRow("across file systems: a book holding a link stays, cut off mid-copy")
            << true << "link in beta" << QStringList { "alpha", "gamma" } << QStringList { "beta" };
        QTest::newRow("across file systems: goes on after a kill between the copy and the removal")
            << true << "beta copied before" << all << QStringList();
    }

    void oldLibraryIsMovedBookByBook()
    {
        QFETCH(bool, acrossFileSystems);
        QFETCH(QString, obstacle);
        QFETCH(QStringList, moved);
        QFETCH(QStringList, leftBehind);
        QString location = lf::test::privateTempDir();
        std::unique_ptr<QTemporaryDir> otherFileSystem;
        if (acrossFileSystems) {
            if (otherFileSystemFolder().isEmpty())
                QSKIP("no writable /dev/shm on another file system than the data directory");
            otherFileSystem = std::make_unique<QTemporaryDir>(otherFileSystemFolder() + "/lf-test-XXXXXX");
            location = otherFileSystem->path();
        }
        const QString old = makeOldLibrary(location, { "alpha", "beta", "gamma" });
        QVERIFY(lf::ensureDataDirectory());
        if (obstacle == QLatin1String("different beta there")) {
            writeFiles(lf::dataDirectory() + "beta", { { "mimetype", "another book" } });
        } else if (obstacle == QLatin1String("alpha moved before")) {
            writeFiles(lf::dataDirectory() + "alpha", bookFiles("alpha"));
            QVERIFY(QDir(old + "alpha").removeRecursively());
        } else if (obstacle == QLatin1String("link in beta")) {
            // Half of the book is copied before the link is met.
            QVERIFY(QFile::link(old + "gamma/cp", old + "beta/zz-link"));
        } else if (obstacle == QLatin1String("beta moved aside")) {
            QVERIFY(QDir().mkpath(old + ".import-abc123"));
            QVERIFY(QDir().rename(old + "beta", old + ".import-abc123/old"));
            writeFile(old + ".import-abc123/name", "beta");
        } else if (obstacle == QLatin1String("beta copied before")) {
            writeFiles(lf::dataDirectory() + "beta", bookFiles("beta"));
        }

        const lf::LibraryMove result = lf::moveOldLibrary(old);
        QCOMPARE(result.leftBehind, leftBehind);
        QVERIFY(result.bookcaseMoved);
        QStringList reported = result.moved;
        if (obstacle == QLatin1String("alpha moved before"))
            reported.prepend("alpha");
        QCOMPARE(reported, moved);
        if (obstacle == QLatin1String("link in beta")) {
            QVERIFY(QFileInfo(old + "beta/zz-link").isSymLink());
            QVERIFY(QFile::remove(old + "beta/zz-link"));
        }
        verifyWholeInOnePlace(old, moved, leftBehind);
        if (obstacle == QLatin1String("different beta there"))
            QCOMPARE(contentOf(lf::dataDirectory() + "beta/mimetype"), QByteArray("another book"));

        // Each place's bookcase names the books it holds; neither keeps a leftover.
        QCOMPARE(namesIn(newBookcase()), moved);
        if (leftBehind.isEmpty()) {
            QCOMPARE(contentOf(newBookcase()), bookcase({ "alpha", "beta", "gamma" }));
            QVERIFY(!QFileInfo::exists(old));
        } else {
            QCOMPARE(namesIn(old + lf::kBookcaseFileName), leftBehind);
            QStringList oldEntries = leftBehind;
            oldEntries << lf::kBookcaseFileName << lf::kPortFileName;
            oldEntries.sort();
            QCOMPARE(entriesOf(old), oldEntries);
        }
        QStringList newEntries = moved;
        newEntries << lf::kBookcaseFileName;
        if (obstacle == QLatin1String("different beta there"))
            newEntries << "beta";
        newEntries.sort();
        QCOMPARE(entriesOf(lf::dataDirectory()), newEntries);
        QCOMPARE(QFileInfo(newBookcase()).permissions() & QFileDevice::Permissions(0x0077), QFileDevice::Permissions());
    }

    void nothingMovesWhen_data()
    {
        QTest::addColumn<QString>("condition");
        QTest::newRow("the data directory has a bookcase") << "new bookcase";
        QTest::newRow("the old bookcase is a link") << "bookcase link";
        QTest::newRow("the old directory is a link") << "directory link";
        QTest::newRow("the old directory has no bookcase") << "no bookcase";
        QTest::newRow("an earlier version still runs there") << "locked";
        QTest::newRow("the old bookcase is another user's") << "foreign bookcase";
    }

    void nothingMovesWhen()
    {
        QFETCH(QString, condition);
        if (condition == QLatin1String("foreign bookcase") && ::getuid() != 0)
            QSKIP("giving a file to another user needs root");
        const QString real = makeOldLibrary(lf::test::privateTempDir() + "/real", { "alpha" });
        QString old = lf::test::privateTempDir() + QStringLiteral("/LF_Epub_Viewer_N/");
        QVERIFY(QDir().rename(real, old));
        const QByteArray oldBookcase = contentOf(old + lf::kBookcaseFileName);
        QVERIFY(lf::ensureDataDirectory());
        int lock = -1;
        if (condition == QLatin1String("new bookcase")) {
            writeFile(newBookcase(), bookcase({}));
        } else if (condition == QLatin1String("bookcase link")) {
            QVERIFY(QFile::rename(old + lf::kBookcaseFileName, old + "elsewhere"));
            QVERIFY(QFile::link(old + "elsewhere", old + lf::kBookcaseFileName));
        } else if (condition == QLatin1String("directory link")) {
            QVERIFY(QDir().rename(old, lf::test::privateTempDir() + "/linked"));
            QVERIFY(QFile::link(lf::test::privateTempDir() + "/linked", QDir::cleanPath(old)));
        } else if (condition == QLatin1String("no bookcase")) {
            QVERIFY(QFile::remove(old + lf::kBookcaseFileName));
        } else if (condition == QLatin1String("locked")) {
            lock = ::open(QFile::encodeName(old).constData(), O_RDONLY | O_DIRECTORY);
            QCOMPARE(::flock(lock, LOCK_EX | LOCK_NB), 0);
        } else {
            QCOMPARE(::chown(QFile::encodeName(old + lf::kBookcaseFileName).constData(), 65534, 65534), 0);
        }
        const QStringList before = entriesOf(lf::dataDirectory());

        const lf::LibraryMove result = lf::moveOldLibrary(old);
        if (lock >= 0)
            ::close(lock);
        QVERIFY(result.moved.isEmpty() && result.leftBehind.isEmpty() && !result.bookcaseMoved);
        QCOMPARE(entriesOf(lf::dataDirectory()), before);
        QCOMPARE(filesIn(old + "alpha"), bookFiles("alpha"));
        if (condition != QLatin1String("no bookcase"))
            QCOMPARE(contentOf(old + lf::kBookcaseFileName), oldBookcase);
    }

    // The real program moves the library at start-up, before the bookcase
    // loads, so every record survives with its own values.
    void startUpMovesTheOldLibrary()
    {
        const QString old = lf::legacyDataDirectory();
        const QString archive
            = lf::test::copyCorpusBook(QStringLiteral("minimal-epub3.epub"), lf::test::privateTempDir() + "/books");
        QVERIFY(UnzipThread::extractArchive(archive, old + QStringLiteral("minimal")));
        writeFile(old + lf::kBookcaseFileName, bookcase({ "minimal" }));

        lf::test::ProgramProcess program;
        program.start({});
        QVERIFY2(program.waitForOutput(QStringLiteral("first instance started")), qPrintable(program.output()));
        QVERIFY2(program.output().contains(QLatin1String("library move: book moved: minimal")),
            qPrintable(program.output()));
        QTRY_COMPARE(namesIn(newBookcase()), QStringList { "minimal" });
        const QJsonObject record = QJsonDocument::fromJson(contentOf(newBookcase()))
                                       .object()
                                       .value(QStringLiteral("bookInfos"))
                                       .toArray()
                                       .first()
                                       .toObject();
        QCOMPARE(record.value(QStringLiteral("book_size")).toInt(), 10);
        QVERIFY(QFileInfo(lf::dataDirectory() + QStringLiteral("minimal/mimetype")).isFile());
        QVERIFY(!QFileInfo::exists(old));
    }
};

LF_TEST_CORE_MAIN(TestDataDirectory)
#include "tst_datadirectory.moc"
