// The data directory lives in the user's data location: it is created
// owner-only and used only when it is really ours. A library an earlier
// version kept in the temporary-files location is moved over once, book by
// book, with real folders on one file system and across two.
#include "app/librarymigration.h"
#include "base/appconstants.h"
#include "base/atomicfile.h"
#include "base/bookname.h"
#include "base/datadirectory.h"
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
#include <sys/mount.h>
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
    QVERIFY(lf::test::writeFile(path, bytes));
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
    QString makeOldLibrary(const QString& location, const QStringList& books,
        const QString& folderName = QStringLiteral("LF_Epub_Viewer_N"))
    {
        const QString old = location + QLatin1Char('/') + folderName + QLatin1Char('/');
        for (const QString& name : books)
            writeFiles(old + name, bookFiles(name));
        QDir().mkpath(old);
        writeFile(old + lf::kBookcaseFileName, bookcase(books));
        writeFile(old + lf::kPortFileName, "60000");
        return old;
    }

    // Each book is whole in exactly one of the two places.
    void verifyWholeInOnePlace(const QString& old, const QStringList& books, const QStringList& leftBehind)
    {
        for (const QString& name : books) {
            if (leftBehind.contains(name)) {
                QCOMPARE(filesIn(old + name), bookFiles(name));
                continue;
            }
            QCOMPARE(filesIn(lf::dataDirectory() + name), bookFiles(name));
            QVERIFY2(!QFileInfo::exists(old + name), qPrintable(name));
            QCOMPARE(
                QFileInfo(lf::dataDirectory() + name + QStringLiteral("/OEBPS/text.xhtml")).lastModified(), kUnpacked);
        }
    }

    // The start's move over every old place, or over `old` alone when it is
    // not in the temporary-files location; the user is told of the books
    // that stayed.
    lf::LibraryMove moveAtStart(const QString& old)
    {
        const bool legacyPlace = lf::legacyDataDirectories().contains(old);
        const QList<lf::LibraryMove> moves = legacyPlace ? lf::moveOldLibraries() : lf::moveOldLibraries({ old });
        lf::LibraryMove result;
        for (const lf::LibraryMove& move : moves) {
            if (move.oldDirectory == old)
                result = move;
        }
        const QString message = lf::leftBehindMessage(moves);
        if (result.leftBehind.isEmpty()) {
            [&] { QCOMPARE(message, QString()); }();
        } else {
            QStringList named = result.leftBehind;
            named.append(old);
            for (const QString& text : qAsConst(named))
                [&] { QVERIFY2(message.contains(text), qPrintable(message)); }();
        }
        return result;
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
        QTest::addColumn<QString>("folderName");
        QTest::addColumn<QStringList>("books");
        QTest::addColumn<QString>("obstacle");
        QTest::addColumn<QStringList>("leftBehind");
        QTest::addColumn<QStringList>("inNewBookcase");
        const QString plain = QStringLiteral("LF_Epub_Viewer_N");
        const QStringList all { "alpha", "beta", "gamma" };
        const QStringList some { "alpha", "gamma" };
        const QStringList beta { "beta" };
        for (const bool across : { false, true }) {
            const char* place = across ? "across file systems: " : "one file system: ";
            QTest::addRow("%sall books", place) << across << plain << all << QString() << QStringList() << all;
            QTest::addRow("%sanother book of that name already there", place)
                << across << plain << all << "different beta there" << beta << some;
            QTest::addRow("%sa book left behind moves at a later start", place)
                << across << plain << all << "different beta removed before the next start" << QStringList() << all;
            QTest::addRow("%san earlier version ran at the first start, then quit", place)
                << across << plain << all << "in use at the first start" << QStringList()
                << QStringList { "alpha", "beta", "delta", "gamma" };
            QTest::addRow("%sa book named like the move's leftovers", place)
                << across << plain << QStringList { ".moved-beta12", "alpha", "gamma" } << QString() << QStringList()
                << QStringList { ".moved-beta12", "alpha", "gamma" };
            QTest::addRow("%sa linked book folder stays with its record", place)
                << across << plain << all << "beta is a link" << beta << some;
            // A kill at each step, and the next start.
            QTest::addRow("%sgoes on after a kill between two books", place)
                << across << plain << all << "alpha moved before" << QStringList() << all;
            QTest::addRow("%sgoes on after a kill in the removal of a moved book", place)
                << across << plain << all << "alpha half removed" << QStringList() << all;
            QTest::addRow("%sgoes on after a kill between the two bookcase files", place)
                << across << plain << all << "new bookcase written before" << QStringList() << all;
        }
        QTest::newRow("one file system: a library only under the user's own name")
            << false << QStringLiteral("LF_Epub_Viewer_N_%1").arg(::getuid()) << all << QString() << QStringList()
            << all;
        QTest::newRow("one file system: goes on after a kill in a removal by the previous release")
            << false << plain << all << "leftover of the previous release" << QStringList() << all;
        QTest::newRow("one file system: a re-import cut short had moved a book aside")
            << false << plain << all << "beta moved aside" << QStringList() << all;
        // A rename takes a book as it is; a copy refuses what is no plain file.
        QTest::newRow("across file systems: a book holding a link stays, cut off mid-copy")
            << true << plain << all << "link in beta" << beta << some;
        QTest::newRow("across file systems: goes on after a kill between the copy and the removal")
            << true << plain << all << "beta copied before" << QStringList() << all;
    }

    void oldLibraryIsMovedBookByBook()
    {
        QFETCH(bool, acrossFileSystems);
        QFETCH(QString, folderName);
        QFETCH(QStringList, books);
        QFETCH(QString, obstacle);
        QFETCH(QStringList, leftBehind);
        QFETCH(QStringList, inNewBookcase);
        QString location = lf::test::privateTempDir();
        std::unique_ptr<QTemporaryDir> otherFileSystem;
        if (acrossFileSystems) {
            if (otherFileSystemFolder().isEmpty())
                QSKIP("no writable /dev/shm on another file system than the data directory");
            otherFileSystem = std::make_unique<QTemporaryDir>(otherFileSystemFolder() + "/lf-test-XXXXXX");
            location = otherFileSystem->path();
        }
        const QString old = makeOldLibrary(location, books, folderName);
        QVERIFY(lf::ensureDataDirectory());
        const QString elsewhere = location + QStringLiteral("/elsewhere");
        if (obstacle.startsWith(QLatin1String("different beta"))) {
            writeFiles(lf::dataDirectory() + "beta", { { "mimetype", "another book" } });
        } else if (obstacle == QLatin1String("alpha moved before")) {
            writeFiles(lf::dataDirectory() + "alpha", bookFiles("alpha"));
            QVERIFY(QDir(old + "alpha").removeRecursively());
        } else if (obstacle == QLatin1String("alpha half removed")) {
            writeFiles(lf::dataDirectory() + "alpha", bookFiles("alpha"));
            QVERIFY(QDir().rename(old + "alpha", old + lf::kMoveFolderPrefix + "a1b2c3"));
            QVERIFY(QFile::remove(old + lf::kMoveFolderPrefix + "a1b2c3/cp"));
        } else if (obstacle == QLatin1String("leftover of the previous release")) {
            writeFiles(old + ".moved-x1y2z3", { { "mimetype", "half of a book" } });
        } else if (obstacle == QLatin1String("new bookcase written before")) {
            for (const QString& name : books) {
                writeFiles(lf::dataDirectory() + name, bookFiles(name));
                QVERIFY(QDir(old + name).removeRecursively());
            }
            QVERIFY(lf::writeFileAtomically(newBookcase(), bookcase(books)));
        } else if (obstacle == QLatin1String("beta is a link")) {
            QVERIFY(QDir().rename(old + "beta", elsewhere));
            QVERIFY(QFile::link(elsewhere, old + "beta"));
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

        // An earlier start that left books behind, and what happened before this one.
        if (obstacle == QLatin1String("in use at the first start")) {
            const int lock = ::open(QFile::encodeName(old).constData(), O_RDONLY | O_DIRECTORY);
            QCOMPARE(::flock(lock, LOCK_EX | LOCK_NB), 0);
            const lf::LibraryMove first = moveAtStart(old);
            ::close(lock);
            QVERIFY(first.inUse && first.moved.isEmpty());
            QCOMPARE(first.leftBehind, books);
            // That start's library gained a book of its own.
            writeFiles(lf::dataDirectory() + "delta", bookFiles("delta"));
            QVERIFY(lf::writeFileAtomically(newBookcase(), bookcase({ "delta" })));
        } else if (obstacle == QLatin1String("different beta removed before the next start")) {
            QCOMPARE(moveAtStart(old).leftBehind, QStringList { "beta" });
            QVERIFY(QDir(lf::dataDirectory() + "beta").removeRecursively());
        }

        const lf::LibraryMove result = moveAtStart(old);
        QCOMPARE(result.leftBehind, leftBehind);
        QVERIFY(result.bookcaseMerged);
        if (obstacle == QLatin1String("link in beta")) {
            QVERIFY(QFileInfo(old + "beta/zz-link").isSymLink());
            QVERIFY(QFile::remove(old + "beta/zz-link"));
        }
        verifyWholeInOnePlace(old, books, leftBehind);
        if (obstacle == QLatin1String("different beta there"))
            QCOMPARE(contentOf(lf::dataDirectory() + "beta/mimetype"), QByteArray("another book"));
        if (obstacle == QLatin1String("beta is a link"))
            QCOMPARE(QFileInfo(old + "beta").symLinkTarget(), elsewhere);

        // Each place's bookcase names the books it holds; neither keeps a leftover.
        QCOMPARE(namesIn(newBookcase()), inNewBookcase);
        if (leftBehind.isEmpty()) {
            QVERIFY(!QFileInfo::exists(old));
        } else {
            QCOMPARE(namesIn(old + lf::kBookcaseFileName), leftBehind);
            QStringList oldEntries = leftBehind;
            oldEntries << lf::kBookcaseFileName << lf::kPortFileName;
            oldEntries.sort();
            QCOMPARE(entriesOf(old), oldEntries);
        }
        QStringList newEntries = inNewBookcase;
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
        QTest::newRow("the data directory's bookcase cannot be parsed") << "damaged new bookcase";
        QTest::newRow("the old bookcase is a link") << "bookcase link";
        QTest::newRow("the old directory is a link") << "directory link";
        QTest::newRow("the old directory has no bookcase") << "no bookcase";
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
        if (condition == QLatin1String("damaged new bookcase")) {
            writeFile(newBookcase(), "{\"bookInfos\":[");
        } else if (condition == QLatin1String("bookcase link")) {
            QVERIFY(QFile::rename(old + lf::kBookcaseFileName, old + "elsewhere"));
            QVERIFY(QFile::link(old + "elsewhere", old + lf::kBookcaseFileName));
        } else if (condition == QLatin1String("directory link")) {
            QVERIFY(QDir().rename(old, lf::test::privateTempDir() + "/linked"));
            QVERIFY(QFile::link(lf::test::privateTempDir() + "/linked", QDir::cleanPath(old)));
        } else if (condition == QLatin1String("no bookcase")) {
            QVERIFY(QFile::remove(old + lf::kBookcaseFileName));
        } else {
            QCOMPARE(::chown(QFile::encodeName(old + lf::kBookcaseFileName).constData(), 65534, 65534), 0);
        }
        const QStringList before = entriesOf(lf::dataDirectory());

        const lf::LibraryMove result = lf::moveOldLibrary(old);
        QVERIFY(result.moved.isEmpty() && !result.bookcaseMerged);
        QCOMPARE(entriesOf(lf::dataDirectory()), before);
        QCOMPARE(filesIn(old + "alpha"), bookFiles("alpha"));
        if (condition != QLatin1String("no bookcase"))
            QCOMPARE(contentOf(old + lf::kBookcaseFileName), oldBookcase);
    }

    // The real program moves the library at start-up, before the bookcase
    // loads, so every record survives with its own values.
    void startUpMovesTheOldLibrary()
    {
        const QString old = lf::legacyDataDirectories().first();
        const QString archive
            = lf::test::copyCorpusBook(QStringLiteral("minimal-epub3.epub"), lf::test::privateTempDir() + "/books");
        QVERIFY(UnzipThread::extractArchive(archive, old + QStringLiteral("minimal")));
        writeFiles(old + "blocked", bookFiles("blocked"));
        writeFile(old + lf::kBookcaseFileName, bookcase({ "blocked", "minimal" }));
        QVERIFY(lf::ensureDataDirectory());
        writeFiles(lf::dataDirectory() + "blocked", { { "mimetype", "another book" } });
        // A book of the data directory that its missing bookcase would have been rebuilt with.
        QVERIFY(UnzipThread::extractArchive(archive, lf::dataDirectory() + QStringLiteral("already-here")));

        lf::test::ProgramProcess program;
        program.start({});
        QVERIFY2(program.waitForOutput(QStringLiteral("first instance started")), qPrintable(program.output()));
        QVERIFY2(program.output().contains(QLatin1String("library move: book moved: minimal")),
            qPrintable(program.output()));
        QTRY_COMPARE(namesIn(newBookcase()), QStringList({ "already-here", "minimal" }));
        const QJsonObject record = QJsonDocument::fromJson(contentOf(newBookcase()))
                                       .object()
                                       .value(QStringLiteral("bookInfos"))
                                       .toArray()
                                       .at(1)
                                       .toObject();
        QCOMPARE(record.value(QStringLiteral("book_size")).toInt(), 10);
        QVERIFY(QFileInfo(lf::dataDirectory() + QStringLiteral("minimal/mimetype")).isFile());
        // The book that stayed is named in the message, with where it is.
        QVERIFY2(program.waitForOutput(QStringLiteral("message shown:")), qPrintable(program.output()));
        const QString shown = program.output().section(QStringLiteral("message shown:"), 1);
        // The log shows the line breaks of the message escaped.
        QVERIFY2(shown.contains(QLatin1String("\\x0ablocked\\x0a")) && shown.contains(old), qPrintable(shown));
        QCOMPARE(namesIn(old + lf::kBookcaseFileName), QStringList { "blocked" });
    }

    // A start from the desktop shows why the data location cannot be used
    // and waits for the user; a relative XDG_DATA_HOME counts as unset.
    void dataLocationAtStart_data()
    {
        QTest::addColumn<QString>("location");
        QTest::addColumn<QString>("said"); // empty: the program starts
        QTest::newRow("relative: the default below the home folder") << "relative" << QString();
        QTest::newRow("a plain file") << "file" << QStringLiteral("is not a folder");
        QTest::newRow("read-only") << "read-only" << QStringLiteral("cannot create");
        QTest::newRow("full") << "full" << QStringLiteral("No space left on device");
    }

    void dataLocationAtStart()
    {
        QFETCH(QString, location);
        QFETCH(QString, said);
        const QString base = lf::test::privateTempDir() + QStringLiteral("/location");
        const QString home = lf::test::privateTempDir() + QStringLiteral("/home");
        QVERIFY(QDir().mkpath(home) && QDir().mkpath(base));
        QString dataHome = base;
        // Undone however the test ends: a mount outlives the process.
        std::unique_ptr<QString, void (*)(QString*)> mounted(nullptr, [](QString* path) {
            ::umount2(QFile::encodeName(*path).constData(), MNT_DETACH);
            delete path;
        });
        if (location == QLatin1String("relative")) {
            dataHome = QStringLiteral("relative/share");
        } else if (location == QLatin1String("file")) {
            dataHome = base + QStringLiteral("/file");
            writeFile(dataHome, "not a folder");
        } else if (::getuid() != 0) {
            if (location == QLatin1String("full"))
                QSKIP("a full file system of its own needs root");
            QVERIFY(QFile::setPermissions(base, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        } else {
            const bool readOnly = location == QLatin1String("read-only");
            if (::mount("tmpfs", QFile::encodeName(base).constData(), "tmpfs", readOnly ? MS_RDONLY : 0, "size=64k")
                != 0)
                QSKIP("no tmpfs mount here");
            mounted.reset(new QString(base));
            if (!readOnly) {
                QVERIFY(QDir().mkpath(base + QStringLiteral("/LF_Epub_Viewer_N")));
                QFile filler(base + QStringLiteral("/filler"));
                QVERIFY(filler.open(QIODevice::WriteOnly));
                while (filler.write(QByteArray(4096, 'x')) > 0 && filler.flush()) { }
            }
        }
        lf::test::ProgramProcess program;
        QProcessEnvironment environment = program.processEnvironment();
        environment.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
        environment.insert(QStringLiteral("HOME"), home);
        program.setProcessEnvironment(environment);
        program.start({});
        if (said.isEmpty()) {
            QVERIFY2(program.waitForOutput(QStringLiteral("first instance started")), qPrintable(program.output()));
            QVERIFY(QFileInfo(home + QStringLiteral("/.local/share/LF_Epub_Viewer_N")).isDir());
        } else {
            QVERIFY2(program.waitForOutput(QStringLiteral("message shown:")), qPrintable(program.output()));
            const QString shown = program.output().section(QStringLiteral("message shown:"), 1);
            QVERIFY2(shown.contains(dataHome) && shown.contains(said), qPrintable(shown));
            QVERIFY2(program.output().contains(QLatin1String("lumenfolio: cannot")), qPrintable(program.output()));
            QTest::qWait(200);
            QCOMPARE(program.state(), QProcess::Running); // waits for the user
        }
        program.kill();
        program.waitForFinished(5000);
        QFile::setPermissions(base, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
};

LF_TEST_CORE_MAIN(TestDataDirectory)
#include "tst_datadirectory.moc"
