// The per-book annotation store: its file formats and places, what it reads
// back from damaged or hostile files, and what survives failed writes.
#include "reader/annotationstore.h"
#include "testsupport.h"

#include <QDirIterator>
#include <QJsonDocument>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

namespace {
constexpr int kPages = 30;

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// Every file below `folder`, relative to it, sorted.
QStringList filesBelow(const QString& folder)
{
    QStringList files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(QDir(folder).relativeFilePath(it.next()));
    files.sort();
    return files;
}

// Runs "h+|page|name|colour|text", "h-|page|names", "m+|page|name|text", "m-|page|names",
// "m=|page|name|memo" and "b+|page" / "b-|page"; returns the removals' and changes' results.
QString run(AnnotationStore& store, const QStringList& operations)
{
    QStringList results;
    for (const QString& operation : operations) {
        const QStringList f = operation.split(QLatin1Char('|'));
        const QString op = f.at(0);
        const int page = f.at(1).toInt();
        if (op == QLatin1String("h+"))
            store.addHighlight(page, f.at(2), f.at(3), f.at(4));
        else if (op == QLatin1String("m+"))
            store.addMemo(page, f.at(2), f.at(3));
        else if (op.startsWith(QLatin1Char('b')))
            store.setBookmark(page, op == QLatin1String("b+"));
        else if (op == QLatin1String("h-"))
            results << QString::number(store.removeHighlights(page, f.at(2).split(QLatin1Char(','))));
        else if (op == QLatin1String("m-"))
            results << QString::number(store.removeMemos(page, f.at(2).split(QLatin1Char(','))));
        else if (op == QLatin1String("m="))
            results << QString::number(store.changeMemo(page, f.at(2), f.at(3)));
    }
    return results.join(QLatin1Char(' '));
}

// What the store announces, as "b", "h+page name", "h-page name", "m+page name",
// "m-page name" and "m=page name memo".
class Announcements : public QObject
{
    Q_OBJECT

public:
    explicit Announcements(AnnotationStore* store)
    {
        connect(store, SIGNAL(bookmarksChanged()), this, SLOT(bookmarks()));
        connect(
            store, SIGNAL(highlightAdded(int, QString, QString, QString)), this, SLOT(highlightAdded(int, QString)));
        connect(store, SIGNAL(highlightRemoved(int, QString)), this, SLOT(highlightRemoved(int, QString)));
        connect(store, SIGNAL(memoAdded(int, QString, QString)), this, SLOT(memoAdded(int, QString)));
        connect(store, SIGNAL(memoRemoved(int, QString)), this, SLOT(memoRemoved(int, QString)));
        connect(store, SIGNAL(memoChanged(int, QString, QString)), this, SLOT(memoChanged(int, QString, QString)));
    }

    QStringList heard;

private slots:
    void bookmarks() { heard << QStringLiteral("b"); }
    void highlightAdded(int page, QString name) { heard << QStringLiteral("h+%1 %2").arg(page).arg(name); }
    void highlightRemoved(int page, QString name) { heard << QStringLiteral("h-%1 %2").arg(page).arg(name); }
    void memoAdded(int page, QString name) { heard << QStringLiteral("m+%1 %2").arg(page).arg(name); }
    void memoRemoved(int page, QString name) { heard << QStringLiteral("m-%1 %2").arg(page).arg(name); }
    void memoChanged(int page, QString name, QString memo)
    {
        heard << QStringLiteral("m=%1 %2 %3").arg(page).arg(name, memo);
    }
};
} // namespace

class TestAnnotationStore : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_root;
    QString m_book;
    QString m_outside;

    void openBook(AnnotationStore& store, const QString& contentDir = QStringLiteral("OEBPS/"))
    {
        store.setBook(m_book, contentDir, kPages);
    }

private slots:
    void init()
    {
        m_root = std::make_unique<QTemporaryDir>(lf::test::privateTempDir() + QStringLiteral("/store-XXXXXX"));
        m_book = m_root->path() + QStringLiteral("/book");
        m_outside = m_root->path() + QStringLiteral("/outside");
        QVERIFY(QDir().mkpath(m_book + QStringLiteral("/OEBPS")) && QDir().mkpath(m_outside));
    }

    void operations_data()
    {
        QTest::addColumn<QStringList>("operations");
        QTest::addColumn<QString>("results");
        QTest::addColumn<QByteArray>("bm");
        QTest::addColumn<QByteArray>("highlights");
        QTest::addColumn<QByteArray>("memos");
        QTest::addColumn<QStringList>("announced"); // what the lists hear
        const QByteArray none = "<missing>";

        QTest::newRow("bookmarks 7, 2, 5 stored ascending")
            << QStringList { "b+|7", "b+|2", "b+|5" } << "" << QByteArray("[2,5,7]") << none << none
            << QStringList { "b", "b", "b" };
        QTest::newRow("right ribbon of spread 4-5 removes 5 only") << QStringList { "b+|4", "b+|5",
            "b-|5" } << "" << QByteArray("[4]") << none << none << QStringList { "b", "b", "b" };
        QTest::newRow("no repeats, no pages the book lacks")
            << QStringList { "b+|3", "b+|3", "b+|-1", "b+|30", "b-|8" } << "" << QByteArray("[3]") << none << none
            << QStringList { "b" };
        QTest::newRow("highlight on the right page of spread 10-11")
            << QStringList { "h+|11|highlighted1|Blue|it's", "h+|30|h9|Blue|x" } << "" << none
            << QByteArray("{\"11\":{\"highlighted1\":{\"color\":\"Blue\",\"text\":\"it's\"}}}") << none
            << QStringList { "h+11 highlighted1" };
        QTest::newRow("removing the only highlight of page 3 drops the page")
            << QStringList { "h+|3|highlighted1|Yellow|a", "h+|4|highlighted2|Green|b", "h-|3|highlighted1" } << "1"
            << none << QByteArray(R"({"4":{"highlighted2":{"color":"Green","text":"b"}}})") << none
            << QStringList { "h+3 highlighted1", "h+4 highlighted2", "h-3 highlighted1" };
        QTest::newRow("removing one of two keeps the page, unknown names ignored")
            << QStringList { "h+|3|h1|Yellow|a", "h+|3|h2|Orange|b", "h-|3|h1,h9", "h-|5|h2" } << "1 0" << none
            << QByteArray(R"({"3":{"h2":{"color":"Orange","text":"b"}}})") << none
            << QStringList { "h+3 h1", "h+3 h2", "h-3 h1" };
        QTest::newRow("memo never saved holds the text only")
            << QStringList { "m+|5|memo1|marked" } << "" << none << none
            << QByteArray(R"({"5":{"memo1":{"text":"marked"}}})") << QStringList { "m+5 memo1" };
        QTest::newRow("memo saved as Note, unknown memos untouched")
            << QStringList { "m+|5|memo1|marked", "m=|5|memo1|Old", "m=|5|memo1|Note", "m=|5|memo2|x", "m=|6|memo1|x" }
            << "1 1 0 0" << none << none << QByteArray(R"({"5":{"memo1":{"memo":"Note","text":"marked"}}})")
            << QStringList { "m+5 memo1", "m=5 memo1 Old", "m=5 memo1 Note" };
        QTest::newRow("last memo removed")
            << QStringList { "m+|0|memo1|a", "m-|0|memo1", "m-|0|memo1" } << "1 0" << none << none << QByteArray("{}")
            << QStringList { "m+0 memo1", "m-0 memo1" };
    }

    void operations()
    {
        QFETCH(QStringList, operations);
        QFETCH(QString, results);
        QFETCH(QByteArray, bm);
        QFETCH(QByteArray, highlights);
        QFETCH(QByteArray, memos);
        AnnotationStore store;
        openBook(store);
        Announcements announcements(&store);
        QCOMPARE(run(store, operations), results);
        QTEST(announcements.heard, "announced");
        QCOMPARE(readAll(m_book + QStringLiteral("/OEBPS/bm")), bm);
        QCOMPARE(readAll(m_book + QStringLiteral("/OEBPS/highlight/hili_total")), highlights);
        QCOMPARE(readAll(m_book + QStringLiteral("/OEBPS/memo/memo_total")), memos);

        // The next opening of the book reads back what the window held.
        AnnotationStore reopened;
        openBook(reopened);
        reopened.load();
        QCOMPARE(*reopened.bookmarks(), *store.bookmarks());
        QCOMPARE(*reopened.highlightStore(), *store.highlightStore());
        QCOMPARE(*reopened.memoStore(), *store.memoStore());
    }

    void marksRoundTrip_data()
    {
        QTest::addColumn<QString>("marks");
        QTest::newRow("apostrophe") << "[{\"text\":\"it's\"}]";
        QTest::newRow("backslashes") << "[{\"text\":\"a\\\\b \\\" \\\\' \\\\\\\\\"}]";
        QTest::newRow("escaped and raw line breaks") << "[{\"text\":\"a\\nb\\r\\n\"}]\n\r\n";
        QTest::newRow("Korean and line separators") << QString::fromUtf8("[\"한국어 메모\u2028\u2029\"]");
        QTest::newRow("empty page") << "[]";
    }

    void marksRoundTrip()
    {
        QFETCH(QString, marks);
        AnnotationStore store;
        openBook(store);
        QVERIFY(!store.readMarks(12));
        QVERIFY(store.writeMarks(12, marks));
        QCOMPARE(readAll(store.marksFilePath(12)), marks.toUtf8());
        // Removing a page's last highlight leaves its marks file to the page script's next serialisation.
        run(store, { "h+|12|h1|Blue|x", "h-|12|h1" });
        AnnotationStore reopened;
        openBook(reopened);
        QCOMPARE(reopened.readMarks(12).value_or("<none>"), marks);
    }

    void filesAreInTheBookFolder_data()
    {
        QTest::addColumn<QString>("contentDir");
        QTest::addColumn<QString>("prefix");
        QTest::newRow("package at the top") << ""
                                            << "";
        QTest::newRow("package in a subfolder") << "OEBPS/"
                                                << "OEBPS/";
        QTest::newRow("without the final slash") << "OEBPS"
                                                 << "OEBPS/";
    }

    void filesAreInTheBookFolder()
    {
        QFETCH(QString, contentDir);
        QFETCH(QString, prefix);
        QVERIFY(QDir().mkpath(m_book + QLatin1Char('/') + contentDir));
        AnnotationStore store;
        openBook(store, contentDir);
        run(store, { "b+|1", "h+|4|h1|Blue|x", "m+|4|m1|y" });
        QVERIFY(store.writeMarks(4, QStringLiteral("[]")) && store.raiseProgress(5));
        QStringList expected = { "cp", prefix + "bm", prefix + "highlight/hili4", prefix + "highlight/hili_total",
            prefix + "memo/memo_total" };
        expected.sort();
        QCOMPARE(filesBelow(m_book), expected);
        QCOMPARE(filesBelow(m_outside), QStringList());
    }

    void contentFolderLeavingTheBookIsRefused_data()
    {
        QTest::addColumn<QString>("contentDir");
        QTest::newRow("absolute") << "<outside>/";
        QTest::newRow("the root") << "/";
        QTest::newRow("parent") << "../outside/";
        QTest::newRow("link to a folder outside") << "link/";
    }

    void contentFolderLeavingTheBookIsRefused()
    {
        QFETCH(QString, contentDir);
        contentDir.replace(QStringLiteral("<outside>"), m_outside);
        QVERIFY(QFile::link(m_outside, m_book + QStringLiteral("/link")));
        // Files a hostile book would like the reader to read or overwrite.
        const QStringList planted = { "bm", "highlight/hili1", "highlight/hili_total", "memo/memo_total" };
        for (const QString& file : planted)
            QVERIFY(lf::test::writeFile(m_outside + QLatin1Char('/') + file, R"({"1":{"m1":{"text":"t"}}})"));
        QVERIFY(lf::test::writeFile(m_book + QStringLiteral("/cp"), R"({"current_page":3})"));

        AnnotationStore store;
        openBook(store, contentDir);
        // A link is only found out when a file is reached through it.
        QCOMPARE(store.contentDirUsable(), contentDir == QLatin1String("link/"));
        store.load();
        QVERIFY(store.bookmarks()->isEmpty() && store.highlightStore()->isEmpty() && store.memoStore()->isEmpty());
        QVERIFY(!store.readMarks(1));
        QCOMPARE(store.progressPage(), 3);
        run(store, { "b+|1", "h+|1|h1|Blue|x", "m+|1|m1|y", "m=|1|m1|z" });
        QVERIFY(!store.writeMarks(1, QStringLiteral("[]")) && !store.saveBookmarks() && !store.saveMemos());
        QVERIFY(store.raiseProgress(4));

        QCOMPARE(filesBelow(m_outside), QStringList(planted.begin(), planted.end()));
        for (const QString& file : planted)
            QCOMPARE(readAll(m_outside + QLatin1Char('/') + file), QByteArray(R"({"1":{"m1":{"text":"t"}}})"));
        QCOMPARE(readAll(m_book + QStringLiteral("/cp")), QByteArray(R"({"current_page":4,"total_page":30})"));
    }

    // A content folder that a link sends outside the book gets no folder made
    // there for the marks either.
    void noFolderMadeThroughALink_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::newRow("highlight index") << "h+|1|h1|Blue|x";
        QTest::newRow("memo index") << "m+|1|m1|y";
        QTest::newRow("marks of a page") << "marks";
    }

    void noFolderMadeThroughALink()
    {
        QFETCH(QString, operation);
        QVERIFY(QFile::link(m_outside, m_book + QStringLiteral("/link")));
        AnnotationStore store;
        openBook(store, QStringLiteral("link/"));
        if (operation == QLatin1String("marks"))
            QVERIFY(!store.writeMarks(1, QStringLiteral("[]")));
        else
            run(store, { operation });
        QCOMPARE(QDir(m_outside).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
    }

    // A link at a file's own name reads as no file and is replaced by the next
    // save; the file it points to is neither read nor written.
    void linkAtAFileNameIsReplaced_data()
    {
        QTest::addColumn<QString>("file");
        QTest::newRow("bookmarks") << "OEBPS/bm";
        QTest::newRow("highlight index") << "OEBPS/highlight/hili_total";
        QTest::newRow("memo index") << "OEBPS/memo/memo_total";
        QTest::newRow("marks of a page") << "OEBPS/highlight/hili1";
        QTest::newRow("progress") << "cp";
    }

    void linkAtAFileNameIsReplaced()
    {
        QFETCH(QString, file);
        const QString target = m_outside + QStringLiteral("/target");
        const QByteArray targetBytes = R"({"1":{"m1":{"text":"t"}},"current_page":9})";
        QVERIFY(lf::test::writeFile(target, targetBytes));
        QVERIFY(QDir().mkpath(m_book + QStringLiteral("/OEBPS/highlight")));
        QVERIFY(QDir().mkpath(m_book + QStringLiteral("/OEBPS/memo")));
        const QString link = m_book + QLatin1Char('/') + file;
        QVERIFY(QFile::link(target, link));

        AnnotationStore store;
        openBook(store);
        store.load();
        QVERIFY(store.highlightStore()->isEmpty() && store.memoStore()->isEmpty());
        QCOMPARE(store.progressPage(), 0);
        QVERIFY(!store.readMarks(1));
        run(store, { "b+|1", "h+|1|h1|Blue|x", "m+|1|m1|y" });
        QVERIFY(store.writeMarks(1, QStringLiteral("[]")) && store.raiseProgress(2));

        QCOMPARE(readAll(target), targetBytes);
        QVERIFY(!QFileInfo(link).isSymLink());
        QVERIFY(!readAll(link).isEmpty());
    }

    void progress_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("loaded");
        QTest::newRow("total_page is not read") << QByteArray(R"({"current_page":12,"total_page":5})") << 12;
        QTest::newRow("beyond the last page") << QByteArray(R"({"current_page":4000})") << kPages;
        QTest::newRow("not a number") << QByteArray(R"({"current_page":"7"})") << 0;
        QTest::newRow("missing") << QByteArray() << 0;
    }

    void progress()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, loaded);
        if (!file.isEmpty())
            QVERIFY(lf::test::writeFile(m_book + QStringLiteral("/cp"), file));
        AnnotationStore store;
        openBook(store);
        store.load();
        QCOMPARE(store.progressPage(), loaded);
        // A declined prompt lowers the progress in memory only; the next growth writes it.
        store.setProgressPage(1);
        QCOMPARE(readAll(m_book + QStringLiteral("/cp")), file.isEmpty() ? QByteArray("<missing>") : file);
        QVERIFY(!store.raiseProgress(1));
        QVERIFY(store.raiseProgress(2));
        QCOMPARE(readAll(m_book + QStringLiteral("/cp")), QByteArray(R"({"current_page":2,"total_page":30})"));
        QVERIFY(store.raiseProgress(99));
        QCOMPARE(store.progressPage(), kPages);
    }

    void damagedFileReadAsMissingAndReplaced_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("damaged");
        QTest::addColumn<QString>("change");
        QTest::addColumn<QByteArray>("replaced");
        const QList<QByteArray> damages = { "[2,5", "", QByteArray("\x00\xff{", 3) };
        for (const QByteArray& damage : damages) {
            const QString n = QString::number(damage.size());
            QTest::newRow(qPrintable("bm " + n)) << "OEBPS/bm" << damage << "b+|2" << QByteArray("[2]");
            QTest::newRow(qPrintable("highlights " + n)) << "OEBPS/highlight/hili_total" << damage << "h+|0|h|Blue|t"
                                                         << QByteArray(R"({"0":{"h":{"color":"Blue","text":"t"}}})");
            QTest::newRow(qPrintable("memos " + n))
                << "OEBPS/memo/memo_total" << damage << "m+|0|m|t" << QByteArray(R"({"0":{"m":{"text":"t"}}})");
        }
        QTest::newRow("bm of the wrong shape") << "OEBPS/bm" << QByteArray(R"({"2":5})") << "b+|2" << QByteArray("[2]");
        // Only keys of this book's pages reach the panels; the rest goes with the next save.
        QTest::newRow("highlight keys that are no pages")
            << "OEBPS/highlight/hili_total"
            << QByteArray(R"({"01":{"a":{}},"-1":{"b":{}},"30":{"c":{}},"x":{"d":{}},"4":5,"3":{"e":{}}})") << "h-|3|z"
            << QByteArray(R"({"3":{"e":{}}})");
        QTest::newRow("bookmarks that are no pages")
            << "OEBPS/bm" << QByteArray(R"([4,"a",4,99,-1,1])") << "b+|2" << QByteArray("[0,1,2,4]");
    }

    void damagedFileReadAsMissingAndReplaced()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, damaged);
        QFETCH(QString, change);
        QFETCH(QByteArray, replaced);
        QVERIFY(lf::test::writeFile(m_book + QLatin1Char('/') + file, damaged));
        AnnotationStore store;
        openBook(store);
        store.load();
        run(store, { change });
        QCOMPARE(readAll(m_book + QLatin1Char('/') + file), replaced);
    }

    void oversizedFileIsNotRead()
    {
        const QString path = m_book + QStringLiteral("/OEBPS/highlight/hili2");
        QVERIFY(lf::test::writeFile(path, "[]"));
        QVERIFY(QFile::resize(path, qint64(65) << 20)); // sparse: costs no disk
        AnnotationStore store;
        openBook(store);
        QVERIFY(!store.readMarks(2));
    }

    void failedSaveKeepsTheOldFiles_data()
    {
        QTest::addColumn<bool>("readOnly");
        QTest::newRow("read-only folders") << true;
        QTest::newRow("file size limit") << false;
    }

    void failedSaveKeepsTheOldFiles()
    {
        QFETCH(bool, readOnly);
        AnnotationStore store;
        openBook(store);
        run(store, { "b+|1", "h+|1|h1|Blue|old", "m+|1|m1|old" });
        QVERIFY(store.writeMarks(1, QStringLiteral("[1]")) && store.raiseProgress(2));
        const QStringList files = filesBelow(m_book);
        QMap<QString, QByteArray> before;
        for (const QString& file : files)
            before.insert(file, readAll(m_book + QLatin1Char('/') + file));

        const QString longText(200, QLatin1Char('n'));
        const QStringList folders = { m_book, m_book + "/OEBPS", m_book + "/OEBPS/highlight", m_book + "/OEBPS/memo" };
        rlimit original {};
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &original), 0);
        if (readOnly) {
            for (const QString& folder : folders)
                QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner | QFile::ExeOther));
            // The superuser writes anywhere, so act as nobody, who may only pass through the test folders.
            const QString privateRoot = QFileInfo(lf::test::privateTempDir()).path();
            for (const QString& folder : { privateRoot, lf::test::privateTempDir(), m_root->path() })
                QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ExeOther);
            if (::geteuid() == 0)
                QCOMPARE(::seteuid(65534), 0);
        } else {
            std::signal(SIGXFSZ, SIG_IGN);
            rlimit small = original;
            small.rlim_cur = 4; // below even "[1,2]"
            QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
        }
        run(store, { "b+|2", "h+|2|h2|Blue|" + longText, "m+|2|m2|" + longText });
        store.raiseProgress(29);
        const QVector<bool> saved = { store.writeMarks(1, longText), store.saveProgress(), store.saveBookmarks(),
            store.saveHighlights(), store.saveMemos() };
        if (readOnly) {
            QVERIFY(::seteuid(0) == 0 || ::getuid() != 0);
            for (const QString& folder : folders)
                QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        } else {
            QCOMPARE(::setrlimit(RLIMIT_FSIZE, &original), 0);
            std::signal(SIGXFSZ, SIG_DFL);
        }

        QCOMPARE(saved, QVector<bool>(5, false));
        QCOMPARE(filesBelow(m_book), files); // no temporary file left either
        for (const QString& file : files)
            QCOMPARE(readAll(m_book + QLatin1Char('/') + file), before.value(file));
        // The store in memory stays whole, and the next save writes all of it.
        QVERIFY(store.saveHighlights() && store.saveProgress());
        QVERIFY(readAll(store.highlightIndexFilePath()).contains(longText.toUtf8()));
        QCOMPARE(readAll(m_book + "/cp"), QByteArray(R"({"current_page":29,"total_page":30})"));
    }
};

LF_TEST_CORE_MAIN(TestAnnotationStore)
#include "tst_annotationstore.moc"
