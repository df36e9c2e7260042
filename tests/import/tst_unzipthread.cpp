// Extraction of real ZIP archives, well-formed and hostile, through the real
// worker thread; every row checks the exact tree written and that nothing
// lands beside the book folder.
#include "import/unzipthread.h"
#include "testsupport.h"
#include "ziparchivewriter.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QRandomGenerator>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <limits>
#include <memory>

Q_DECLARE_METATYPE(ExtractionResult)

// Names the outcome in a failed comparison.
char* toString(ExtractionResult result)
{
    static const char* const names[]
        = { "Completed", "Interrupted", "NotAnArchive", "SplitArchive", "UnsupportedEntries", "TooManyEntries",
              "TooLarge", "CompressionBomb", "NotEnoughSpace", "Damaged", "WriteFailed" };
    return qstrdup(names[static_cast<int>(result)]);
}

namespace {

using Entry = ZipArchiveWriter::Entry;

Entry entry(const QByteArray& name, const QByteArray& data = {}, bool deflate = true)
{
    Entry e;
    e.name = name;
    e.data = data;
    e.deflate = deflate;
    return e;
}

QByteArray archiveOf(const QList<Entry>& entries)
{
    ZipArchiveWriter writer;
    for (const Entry& e : entries)
        writer.add(e);
    return writer.archive();
}

QByteArray randomBytes(int size, quint32 seed)
{
    QRandomGenerator generator(seed);
    QByteArray bytes(size, Qt::Uninitialized);
    for (char& byte : bytes)
        byte = static_cast<char>(generator.bounded(256));
    return bytes;
}

// "path=content" for short text, "path#<digest>:<size>" for anything else.
QString describeFile(const QString& path, const QByteArray& data)
{
    if (data.size() <= 40 && !data.contains('\0'))
        return path + QLatin1Char('=') + QString::fromUtf8(data);
    const QByteArray digest = QCryptographicHash::hash(data, QCryptographicHash::Sha1).toHex().left(12);
    return path + QLatin1Char('#') + QString::fromLatin1(digest) + QLatin1Char(':') + QString::number(data.size());
}

// The tree below `dir`: "./" for the folder itself, "sub/" for folders and
// describeFile() for files, sorted.
QStringList treeOf(const QString& dir)
{
    if (!QFileInfo(dir).isDir())
        return {};
    QStringList tree { QStringLiteral("./") };
    QDirIterator it(
        dir, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    const QDir base(dir);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString relative = base.relativeFilePath(path);
        if (it.fileInfo().isDir()) {
            tree << relative + QLatin1Char('/');
        } else {
            QFile file(path);
            file.open(QIODevice::ReadOnly);
            tree << describeFile(relative, file.readAll());
        }
    }
    tree.sort();
    return tree;
}

QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}

const QByteArray kMimetype("application/epub+zip");
const QByteArray kOlderText("an older text, longer than the media type it is replaced with");
const QByteArray kContainer("<?xml version=\"1.0\"?><container/>");

} // namespace

class TestUnzipThread : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_root;

    QString archivePath() const { return m_root->filePath(QStringLiteral("archive.zip")); }
    QString bookDir() const { return m_root->path() + QStringLiteral("/out/book/"); }

    // Everything below the temporary root that is neither the archive nor the
    // book folder (or the folder holding it).
    QStringList strayFiles() const
    {
        QStringList stray;
        const QDir base(m_root->path());
        QDirIterator it(m_root->path(), QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
            QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString relative = base.relativeFilePath(it.next());
            if (relative != QLatin1String("archive.zip") && relative != QLatin1String("out")
                && !relative.startsWith(QLatin1String("out/book")))
                stray << relative;
        }
        return stray;
    }

    bool writeArchive(const QByteArray& bytes)
    {
        QFile file(archivePath());
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    }

    // Runs the real thread and waits for its finished() signal.
    bool extractOnThread(ExtractionResult& result)
    {
        UnzipThread thread(archivePath(), bookDir());
        QSignalSpy finished(&thread, SIGNAL(finished()));
        thread.start(QThread::InheritPriority);
        const bool signalled = finished.count() > 0 || finished.wait(30000);
        thread.wait();
        result = thread.result();
        return signalled && finished.count() == 1 && thread.completed() == (result == ExtractionResult::Completed);
    }

    static QByteArray zipToolArchive(const QMap<QString, QByteArray>& files, const QStringList& emptyDirs)
    {
        QTemporaryDir source;
        for (auto it = files.cbegin(); it != files.cend(); ++it) {
            const QString path = source.filePath(it.key());
            QDir().mkpath(QFileInfo(path).path());
            QFile file(path);
            if (!file.open(QIODevice::WriteOnly))
                return {};
            file.write(it.value());
        }
        for (const QString& dir : emptyDirs)
            QDir(source.path()).mkpath(dir);
        QProcess zip;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
        zip.setProcessEnvironment(env);
        zip.setWorkingDirectory(source.path());
        zip.start(QStringLiteral("zip"),
            { QStringLiteral("-q"), QStringLiteral("-r"), QStringLiteral("-X"), QStringLiteral("-"),
                QStringLiteral(".") });
        zip.waitForFinished(30000);
        return zip.exitCode() == 0 ? zip.readAllStandardOutput() : QByteArray();
    }

private slots:
    void init()
    {
        m_root = std::make_unique<QTemporaryDir>(lf::test::privateTempDir() + QStringLiteral("/unzip-XXXXXX"));
        QVERIFY(m_root->isValid());
    }

    void cleanup() { m_root.reset(); }

    void extractsArchive_data()
    {
        QTest::addColumn<QByteArray>("archive"); // null: no file at the archive path
        QTest::addColumn<QStringList>("tree");
        QTest::addColumn<ExtractionResult>("result");
        const ExtractionResult completed = ExtractionResult::Completed;
        const ExtractionResult damaged = ExtractionResult::Damaged;
        const ExtractionResult noArchive = ExtractionResult::NotAnArchive;

        const QByteArray chapter("<html><body>one</body></html>");
        const QByteArray big = randomBytes(100000, 7);
        const QByteArray stored = QByteArray(20000, 'x') + randomBytes(333, 8);
        QTest::newRow("book layout") << archiveOf(
            { entry("mimetype", kMimetype, false), entry("META-INF/"), entry("META-INF/container.xml", kContainer),
                entry("OEBPS/"), entry("OEBPS/empty/"), entry("OEBPS/text/ch1.xhtml", chapter),
                entry("OEBPS/images/big.bin", big), entry("OEBPS/images/stored.bin", stored, false) })
                                     << sorted({ "./", describeFile("mimetype", kMimetype), "META-INF/",
                                            describeFile("META-INF/container.xml", kContainer), "OEBPS/",
                                            "OEBPS/empty/", "OEBPS/text/",
                                            describeFile("OEBPS/text/ch1.xhtml", chapter), "OEBPS/images/",
                                            describeFile("OEBPS/images/big.bin", big),
                                            describeFile("OEBPS/images/stored.bin", stored) })
                                     << completed;

        QTest::newRow("zero-length entries")
            << archiveOf({ entry("empty"), entry("folder/"), entry("folder/also-empty", {}, false) })
            << sorted({ "./", "empty=", "folder/", "folder/also-empty=" }) << completed;

        Entry withoutFlag = entry("EPUB/xhtml/\xe7\x9b\xae\xe6\xac\xa1.xhtml", chapter);
        withoutFlag.utf8Flag = false;
        QTest::newRow("utf-8 names") << archiveOf({ entry("EPUB/images/\xe5\xa4\x8f\xe7\x9b\xae.jpg", big), withoutFlag,
            entry("\xc3\xa9 \xc3\xbc.txt", "accents") })
                                     << sorted({ "./", "EPUB/", "EPUB/images/",
                                            describeFile(QStringLiteral("EPUB/images/夏目.jpg"), big), "EPUB/xhtml/",
                                            describeFile(QStringLiteral("EPUB/xhtml/目次.xhtml"), chapter),
                                            QStringLiteral("é ü.txt=accents") })
                                     << completed;

        Entry legacy = entry("\xb1\xe2.txt", "cp949");
        legacy.utf8Flag = false;
        QTest::newRow("legacy code page name decoded as utf-8")
            << archiveOf({ legacy }) << QStringList { "./", QStringLiteral("\uFFFD\uFFFD.txt=cp949") } << completed;

        QTest::newRow("dots inside names are not climbing")
            << archiveOf({ entry("a..b/c..txt", "1"), entry(".../x", "2"), entry("./here.txt", "3") })
            << sorted({ "./", "a..b/", "a..b/c..txt=1", ".../", ".../x=2", "here.txt=3" }) << completed;

        // Hostile names are skipped and the next entry is still written.
        const QList<QByteArray> escaping { "a/../../evil.txt", "/evil.txt" };
        for (const QByteArray& name : escaping) {
            QTest::addRow("skips %s", name.constData()) << archiveOf({ entry(name, "evil"), entry("ok.txt", "fine") })
                                                        << QStringList { "./", "ok.txt=fine" } << completed;
        }

        // The reader's own files are never taken from the book, at the top or
        // below any folder that may be the package's, however the name is spelt.
        const QList<QByteArray> readersOwn { "cp", "./cp", ".lf_source", ".lf_cover.png", "bm", "OEBPS/bm", "a/b/bm",
            "OEBPS/bm/x", "highlight/hili_total", "OEBPS/highlight/hili7", "OEBPS//highlight/./hili7",
            "OEBPS\\highlight\\hili1", "OEBPS/highlight", "OEBPS/memo/memo_total", "OEBPS/thumbnail/thum3.png",
            "EPUB/searchtext/texts.txt", "OEBPS/memo/" };
        for (const QByteArray& name : readersOwn) {
            QTest::addRow("leaves out %s", name.constData())
                << archiveOf({ entry(name, "planted"), entry("ok.txt", "fine") }) << QStringList { "./", "ok.txt=fine" }
                << completed;
        }
        QTest::newRow("keeps book files beside the reader's names")
            << archiveOf({ entry("OEBPS/cp", "1"), entry("OEBPS/thumbnail/cover.jpg", "2"), entry("bmp/bm.png", "3"),
                   entry("highlights/hili1", "4"), entry("memo.xhtml", "5") })
            << sorted({ "./", "OEBPS/", "OEBPS/cp=1", "OEBPS/thumbnail/", "OEBPS/thumbnail/cover.jpg=2", "bmp/",
                   "bmp/bm.png=3", "highlights/", "highlights/hili1=4", "memo.xhtml=5" })
            << completed;

        // Folders are made once and kept open: entries come back to a folder
        // after others, name it with empty or "." segments, or name it again.
        QTest::newRow("folders met again")
            << archiveOf({ entry("a/1", "1"), entry("b/2", "2"), entry("a/3", "3"), entry("a//sub/./4", "4"),
                   entry("b/", {}), entry("./c/", {}), entry("a/sub/", {}), entry("b//5", "5") })
            << sorted({ "./", "a/", "a/1=1", "a/3=3", "a/sub/", "a/sub/4=4", "b/", "b/2=2", "b/5=5", "c/" })
            << completed;
        QList<Entry> manyFolders;
        QSet<QString> manyFoldersTree { "./" };
        for (int i = 0; i < 300; ++i) {
            const QString folder = QStringLiteral("f%1/").arg(i % 150);
            const QString file = folder + QStringLiteral("%1/%2").arg(i % 7).arg(i);
            manyFolders << entry(file.toLatin1(), "x");
            manyFoldersTree << folder << file.left(file.lastIndexOf(QLatin1Char('/')) + 1)
                            << file + QStringLiteral("=x");
        }
        QTest::newRow("more folders than are kept open")
            << archiveOf(manyFolders) << sorted(manyFoldersTree.values()) << completed;

        // The archive is read through windows of a quarter mebibyte.
        const QByteArray wide = randomBytes(300000, 9);
        const QByteArray wider = randomBytes(700000, 10);
        QTest::newRow("entries across read windows")
            << archiveOf({ entry("a.bin", wide), entry("b.bin", wider, false), entry("c.txt", "c"),
                   entry("d.bin", wide, false), entry("e.bin", wider) })
            << sorted({ "./", describeFile("a.bin", wide), describeFile("b.bin", wider), "c.txt=c",
                   describeFile("d.bin", wide), describeFile("e.bin", wider) })
            << completed;
        QList<Entry> longNames;
        QStringList longNamesTree { "./", "n/" };
        for (int i = 0; i < 2000; ++i) {
            const QByteArray name = "n/" + QByteArray(150, 'n') + QByteArray::number(i);
            longNames << entry(name, QByteArray::number(i));
            longNamesTree << QString::fromLatin1(name) + QLatin1Char('=') + QString::number(i);
        }
        QTest::newRow("directory larger than a read window")
            << archiveOf(longNames) << sorted(longNamesTree) << completed;

        const QByteArray name259 = QByteArray(200, 'd') + '/' + QByteArray(58, 'f');
        const QByteArray name260 = QByteArray(200, 'd') + '/' + QByteArray(59, 'g');
        QTest::newRow("259-byte name kept, 260-byte name skipped")
            << archiveOf({ entry(name260, "cut"), entry(name259, "whole") })
            << QStringList { "./", QString::fromLatin1(QByteArray(200, 'd') + '/'),
                   QString::fromLatin1(name259) + QStringLiteral("=whole") }
            << completed;
        QTest::newRow("300-byte name skipped")
            << archiveOf({ entry(QByteArray(100, 'p') + '/' + QByteArray(199, 'q'), "long"), entry("ok.txt", "fine") })
            << QStringList { "./", "ok.txt=fine" } << completed;

        // Failures stop the extraction; what came before stays, the broken
        // entry leaves nothing.
        QTest::newRow("trailing slash entry with data")
            << archiveOf({ entry("mimetype", kMimetype, false), entry("dir/", "data"), entry("after.txt", "x") })
            << sorted({ "./", describeFile("mimetype", kMimetype), "dir/" }) << damaged;

        Entry badCrc = entry("bad.txt", "checksum does not match");
        badCrc.wrongCrc = true;
        QTest::newRow("crc mismatch") << archiveOf(
            { entry("mimetype", kMimetype, false), badCrc, entry("after.txt", "x") })
                                      << QStringList { "./", describeFile("mimetype", kMimetype) } << damaged;

        Entry garbage = entry("broken.bin", big);
        garbage.garbageData = true;
        QTest::newRow("inflate error") << archiveOf(
            { entry("mimetype", kMimetype, false), garbage, entry("after.txt", "x") })
                                       << QStringList { "./", describeFile("mimetype", kMimetype) } << damaged;

        // Never more bytes than the header declares.
        Entry liar = entry("liar.bin", QByteArray(100000, 'a'));
        liar.declaredSize = 1000;
        QTest::newRow("entry larger than declared")
            << archiveOf({ entry("mimetype", kMimetype, false), liar, entry("after.txt", "x") })
            << QStringList { "./", describeFile("mimetype", kMimetype) } << damaged;

        for (const bool deflate : { true, false }) {
            Entry shortOne = entry("short.bin", QByteArray(1000, 'a'), deflate);
            shortOne.declaredSize = 200000;
            QTest::newRow(deflate ? "deflated entry smaller than declared" : "stored entry smaller than declared")
                << archiveOf({ entry("mimetype", kMimetype, false), shortOne, entry("after.txt", "x") })
                << QStringList { "./", describeFile("mimetype", kMimetype) } << damaged;
        }

        Entry unreadable = entry("second.txt", "x");
        unreadable.brokenLocalHeader = true;
        QTest::newRow("unreadable local header")
            << archiveOf({ entry("mimetype", kMimetype, false), unreadable, entry("after.txt", "x") })
            << QStringList { "./", describeFile("mimetype", kMimetype) } << damaged;

        const QByteArray whole = archiveOf({ entry("mimetype", kMimetype, false), entry("a.bin", big) });
        QTest::newRow("truncated archive") << whole.left(whole.size() / 2) << QStringList() << noArchive;
        QTest::newRow("no entries") << archiveOf({}) << QStringList() << noArchive;
        QTest::newRow("not a zip") << QByteArray("This is plain text, not an archive.\n") << QStringList() << noArchive;
        QTest::newRow("empty file") << QByteArray("") << QStringList() << noArchive;
        QTest::newRow("missing file") << QByteArray() << QStringList() << noArchive;

        QTest::newRow("made by the zip tool")
            << zipToolArchive(
                   { { QStringLiteral("mimetype"), kMimetype }, { QStringLiteral("EPUB/xhtml/目次.xhtml"), chapter },
                       { QStringLiteral("EPUB/images/cover.bin"), big },
                       { QStringLiteral("EPUB/empty.txt"), QByteArray() } },
                   { QStringLiteral("EPUB/fonts") })
            << sorted({ "./", describeFile("mimetype", kMimetype), "EPUB/", "EPUB/xhtml/",
                   describeFile(QStringLiteral("EPUB/xhtml/目次.xhtml"), chapter), "EPUB/images/",
                   describeFile("EPUB/images/cover.bin", big), "EPUB/empty.txt=", "EPUB/fonts/" })
            << completed;
    }

    void extractsArchive()
    {
        QFETCH(QByteArray, archive);
        QFETCH(QStringList, tree);
        QFETCH(ExtractionResult, result);
        if (!archive.isNull())
            QVERIFY(writeArchive(archive));

        ExtractionResult reported = ExtractionResult::Interrupted;
        QVERIFY(extractOnThread(reported));
        QCOMPARE(reported, result);
        QCOMPARE(treeOf(bookDir()), tree);
        QCOMPARE(strayFiles(), QStringList());
    }

    // Archives past a limit, or that this program cannot read, are refused
    // before anything is written, and say why.
    void refusesArchives_data()
    {
        QTest::addColumn<QByteArray>("archive");
        QTest::addColumn<qint64>("freeBytes");
        QTest::addColumn<qint64>("margin");
        QTest::addColumn<qint64>("maxTotal");
        QTest::addColumn<int>("maxEntries");
        QTest::addColumn<ExtractionResult>("result");

        constexpr qint64 MiB = 1 << 20;
        const qint64 margin = ExtractionLimits::kDefaultFreeSpaceMargin;
        const qint64 cap = ExtractionLimits::kDefaultMaxTotalBytes;
        const ExtractionResult completed = ExtractionResult::Completed;
        const ExtractionResult noSpace = ExtractionResult::NotEnoughSpace;
        const ExtractionResult bomb = ExtractionResult::CompressionBomb;
        const ExtractionResult unsupported = ExtractionResult::UnsupportedEntries;
        const ExtractionResult split = ExtractionResult::SplitArchive;

        // 4 MiB of zeros compress to a few kilobytes.
        const QByteArray zeros
            = archiveOf({ entry("mimetype", kMimetype, false), entry("zeros.bin", QByteArray(4 * MiB, 0)) });
        const qint64 zerosSize = 4 * MiB + kMimetype.size();
        QTest::newRow("over the free space") << zeros << MiB << qint64(0) << cap << 10 << noSpace;
        QTest::newRow("over the free space less the margin") << zeros << zerosSize << qint64(1) << cap << 10 << noSpace;
        QTest::newRow("just fits the free space less the margin")
            << zeros << zerosSize + 1 << qint64(1) << cap << 10 << completed;
        QTest::newRow("fills most of a small disk") << zeros << 5 * MiB << margin << cap << 10 << noSpace;
        // Less free space than the margin itself once refused every book.
        const QByteArray small = archiveOf({ entry("mimetype", kMimetype, false), entry("text.txt", "a small book") });
        QTest::newRow("small book, less free space than the margin")
            << small << 50 * MiB << margin << cap << 10 << completed;
        QTest::newRow("over the size cap")
            << zeros << qint64(-1) << qint64(0) << 4 * MiB << 10 << ExtractionResult::TooLarge;
        QList<Entry> many;
        for (int i = 0; i < 5; ++i)
            many << entry("f" + QByteArray::number(i), "x");
        QTest::newRow("more entries than the cap")
            << archiveOf(many) << qint64(-1) << qint64(0) << cap << 4 << ExtractionResult::TooManyEntries;
        QTest::newRow("entries up to the cap") << archiveOf(many) << qint64(-1) << qint64(0) << cap << 5 << completed;

        // 110 MiB from about 120 KB: one compressed MiB of zeros, many times.
        QList<Entry> zeroFiles { entry("mimetype", kMimetype, false) };
        const QByteArray mebibyte(MiB, 0);
        for (int i = 0; i < 110; ++i)
            zeroFiles << entry("zeros" + QByteArray::number(i), mebibyte);
        QTest::newRow("expands a thousandfold past 100 MiB")
            << archiveOf(zeroFiles) << qint64(-1) << qint64(0) << cap << 1000 << bomb;
        Entry inflated = entry("claims.bin", "a kilobyte at most");
        inflated.declaredSize = 150 * MiB;
        QTest::newRow("declares 150 MiB for a few bytes")
            << archiveOf({ entry("mimetype", kMimetype, false), inflated }) << qint64(-1) << qint64(0) << cap << 10
            << bomb;

        for (const int method : { 12, 14, 99 }) {
            Entry other = entry("text.txt", "compressed otherwise", false);
            other.method = method;
            QTest::addRow("compression method %d", method) << archiveOf({ entry("mimetype", kMimetype, false), other })
                                                           << qint64(-1) << qint64(0) << cap << 10 << unsupported;
        }
        Entry encrypted = entry("text.txt", "encrypted");
        encrypted.encrypted = true;
        QTest::newRow("encrypted entry") << archiveOf({ entry("mimetype", kMimetype, false), encrypted }) << qint64(-1)
                                         << qint64(0) << cap << 10 << unsupported;

        ZipArchiveWriter laterPart;
        laterPart.addFile("mimetype", kMimetype, false);
        laterPart.setSplitPart(true);
        QTest::newRow("later part of a split archive")
            << laterPart.archive() << qint64(-1) << qint64(0) << cap << 10 << split;
        // A first part starts with the spanning marker and ends before the directory.
        const QByteArray whole = archiveOf({ entry("mimetype", kMimetype, false), entry("a.txt", "a") });
        QTest::newRow("first part of a split archive")
            << QByteArray("PK\x07\x08", 4) + whole.left(whole.indexOf("PK\x01\x02")) << qint64(-1) << qint64(0) << cap
            << 10 << split;
    }

    void refusesArchives()
    {
        QFETCH(QByteArray, archive);
        QFETCH(ExtractionResult, result);
        QVERIFY(writeArchive(archive));
        QFETCH(qint64, freeBytes);
        QFETCH(qint64, margin);
        QFETCH(qint64, maxTotal);
        QFETCH(int, maxEntries);
        ExtractionLimits limits;
        limits.freeBytes = freeBytes;
        limits.freeSpaceMargin = margin;
        limits.maxTotalBytes = maxTotal;
        limits.maxEntries = maxEntries;

        QCOMPARE(UnzipThread::extract(archivePath(), bookDir(), limits), result);
        QCOMPARE(QFileInfo::exists(bookDir()), result == ExtractionResult::Completed);
        QCOMPARE(strayFiles(), QStringList());
    }

    // A book is refused for the free space only when it would not leave room
    // to spare: the margin is capped at a quarter of what is free.
    void freeSpaceMargin_data()
    {
        QTest::addColumn<qint64>("freeBytes");
        QTest::addColumn<qint64>("expanded");
        QTest::addColumn<bool>("fits");

        constexpr qint64 KiB = 1 << 10;
        constexpr qint64 MiB = 1 << 20;
        constexpr qint64 GiB = qint64(1) << 30;
        const qint64 margin = ExtractionLimits::kDefaultFreeSpaceMargin;
        QTest::newRow("1 KiB, 50 MiB free") << 50 * MiB << KiB << true;
        QTest::newRow("1 KiB, 100 KiB free") << 100 * KiB << KiB << true;
        QTest::newRow("three quarters of a small disk") << 40 * MiB << 30 * MiB << true;
        QTest::newRow("past three quarters of a small disk") << 40 * MiB << 30 * MiB + 1 << false;
        QTest::newRow("fills a small disk") << 40 * MiB << 40 * MiB << false;
        QTest::newRow("large disk, up to the margin") << 10 * GiB << 10 * GiB - margin << true;
        QTest::newRow("large disk, into the margin") << 10 * GiB << 10 * GiB - margin + 1 << false;
        QTest::newRow("more than is free") << 10 * GiB << 11 * GiB << false;
        QTest::newRow("nothing free, empty book") << qint64(0) << qint64(0) << true;
        QTest::newRow("nothing free, one byte") << qint64(0) << qint64(1) << false;
        QTest::newRow("free space unknown") << qint64(-1) << 100 * GiB << true;
    }

    void freeSpaceMargin()
    {
        QFETCH(qint64, freeBytes);
        QFETCH(qint64, expanded);
        QFETCH(bool, fits);
        QCOMPARE(ExtractionLimits::fitsFreeSpace(freeBytes, expanded), fits);
    }

    void compressionBomb_data()
    {
        QTest::addColumn<qint64>("expanded");
        QTest::addColumn<qint64>("compressed");
        QTest::addColumn<bool>("bomb");

        constexpr qint64 MiB = 1 << 20;
        const qint64 threshold = ExtractionLimits::kBombThresholdBytes;
        QTest::newRow("2 GB from 2 MB") << qint64(2000) * 1000 * 1000 << qint64(2) * 1000 * 1000 << true;
        QTest::newRow("a thousandfold, at the threshold") << threshold << threshold / 1000 << false;
        QTest::newRow("a thousandfold, past the threshold") << threshold + 1 << threshold / 1000 << true;
        QTest::newRow("a hundredfold exactly") << 1000 * MiB << 10 * MiB << false;
        QTest::newRow("past a hundredfold") << 1000 * MiB + 1 << 10 * MiB << true;
        QTest::newRow("nothing compressed") << threshold + 1 << qint64(0) << true;
        QTest::newRow("stored, 3 GiB") << 3072 * MiB << 3072 * MiB << false;
        QTest::newRow("no overflow") << std::numeric_limits<qint64>::max() << std::numeric_limits<qint64>::max() / 2
                                     << false;
    }

    void compressionBomb()
    {
        QFETCH(qint64, expanded);
        QFETCH(qint64, compressed);
        QFETCH(bool, bomb);
        QCOMPARE(ExtractionLimits::isCompressionBomb(expanded, compressed), bomb);
    }

    // A folder that already holds files: same-named files are replaced, the
    // rest stay, and a link at an entry's name is never followed out of it.
    void extractsIntoExistingFolder_data()
    {
        QTest::addColumn<QByteArray>("archive");
        QTest::addColumn<QString>("link"); // a link in the book folder to "outside" ("/" at the end) or "outside.txt"
        QTest::addColumn<QStringList>("tree");
        QTest::addColumn<ExtractionResult>("result");

        const QString older = describeFile("keep.txt", kOlderText);
        const QString mimetype = describeFile("mimetype", kMimetype);
        QTest::newRow("same-named files replaced")
            << archiveOf({ entry("mimetype", kMimetype, false), entry("META-INF/"),
                   entry("META-INF/container.xml", kContainer) })
            << QString()
            << sorted({ "./", mimetype, "META-INF/", describeFile("META-INF/container.xml", kContainer), older })
            << ExtractionResult::Completed;
        QTest::newRow("link at a file's name")
            << archiveOf({ entry("mimetype", kMimetype, false), entry("page.xhtml", "planted") })
            << QStringLiteral("page.xhtml") << sorted({ "./", mimetype, "META-INF/", older, "page.xhtml=outside" })
            << ExtractionResult::WriteFailed;
        QTest::newRow("link at a folder's name")
            << archiveOf({ entry("mimetype", kMimetype, false), entry("OEBPS/sub/page.xhtml", "planted") })
            << QStringLiteral("OEBPS/") << sorted({ "./", mimetype, "META-INF/", older, "OEBPS/" })
            << ExtractionResult::WriteFailed;
    }

    void extractsIntoExistingFolder()
    {
        QFETCH(QByteArray, archive);
        QFETCH(QString, link);
        QFETCH(QStringList, tree);
        QFETCH(ExtractionResult, result);
        QVERIFY(QDir().mkpath(bookDir() + QStringLiteral("META-INF")));
        QVERIFY(QDir().mkpath(m_root->filePath(QStringLiteral("outside"))));
        const QStringList files { bookDir() + QStringLiteral("mimetype"), bookDir() + QStringLiteral("keep.txt"),
            m_root->filePath(QStringLiteral("outside.txt")) };
        for (const QString& path : files) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(path.endsWith(QLatin1String("outside.txt")) ? "outside" : kOlderText);
        }
        if (!link.isEmpty()) {
            const QString target = m_root->filePath(
                link.endsWith(QLatin1Char('/')) ? QStringLiteral("outside") : QStringLiteral("outside.txt"));
            QVERIFY(QFile::link(target, bookDir() + link.chopped(link.endsWith(QLatin1Char('/')) ? 1 : 0)));
        }
        QVERIFY(writeArchive(archive));

        ExtractionResult reported = ExtractionResult::Interrupted;
        QVERIFY(extractOnThread(reported));
        QCOMPARE(reported, result);
        QCOMPARE(treeOf(bookDir()), tree);
        QCOMPARE(sorted(strayFiles()), sorted({ "outside", "outside.txt" }));
        QCOMPARE(treeOf(m_root->filePath(QStringLiteral("outside"))), QStringList { "./" });
        QFile outside(m_root->filePath(QStringLiteral("outside.txt")));
        QVERIFY(outside.open(QIODevice::ReadOnly));
        QCOMPARE(outside.readAll(), QByteArray("outside"));
    }

    void survivesCorruptedArchive_data()
    {
        QTest::addColumn<quint32>("seed");
        for (quint32 seed = 1; seed <= 12; ++seed)
            QTest::addRow("seed %u", seed) << seed;
    }

    // Random bytes of a real book overwritten: the thread still ends, and
    // whatever it writes stays inside the book folder.
    void survivesCorruptedArchive()
    {
        QFETCH(quint32, seed);
        QFile book(lf::test::corpusDir() + QStringLiteral("/childrens-literature.epub"));
        QVERIFY(book.open(QIODevice::ReadOnly));
        QByteArray bytes = book.readAll();
        QRandomGenerator generator(seed);
        for (int i = 0; i < 24; ++i)
            bytes[generator.bounded(bytes.size())] = static_cast<char>(generator.bounded(256));
        QVERIFY(writeArchive(bytes));

        ExtractionResult result = ExtractionResult::Completed;
        QVERIFY(extractOnThread(result));
        QCOMPARE(strayFiles(), QStringList());
    }

    void extractsEveryCorpusBook_data()
    {
        QTest::addColumn<QString>("book");
        for (const QString& book : lf::test::corpusBooks())
            QTest::newRow(qPrintable(book)) << book;
    }

    // Each corpus book is written out whole: its entries, listed by the unzip
    // tool, all appear with the sizes that tool reports.
    void extractsEveryCorpusBook()
    {
        QFETCH(QString, book);
        const QString copy = lf::test::copyCorpusBook(book, m_root->filePath(QStringLiteral("copy")));
        QVERIFY(!copy.isEmpty());
        QVERIFY(UnzipThread::extractArchive(copy, bookDir()));

        QProcess list;
        list.start(QStringLiteral("unzip"), { QStringLiteral("-Z1"), copy });
        QVERIFY(list.waitForFinished(30000));
        const QStringList names
            = QString::fromUtf8(list.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QVERIFY(!names.isEmpty());
        for (const QString& name : names) {
            const QFileInfo info(bookDir() + name);
            QVERIFY2(info.exists(), qPrintable(name));
            if (!name.endsWith(QLatin1Char('/'))) {
                QProcess content;
                content.start(QStringLiteral("unzip"), { QStringLiteral("-p"), copy, name });
                QVERIFY(content.waitForFinished(30000));
                QCOMPARE(info.size(), qint64(content.readAllStandardOutput().size()));
            }
        }
    }
};

LF_TEST_CORE_MAIN(TestUnzipThread)
#include "tst_unzipthread.moc"
