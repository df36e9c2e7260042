// The import pipeline without a window: real archives and corpus books, a real
// store and the private data directory. What the importer says is noted line
// by line and compared whole, so order and silence count too.
#include "base/datadirectory.h"
#include "epub/epubparser.h"
#include "import/booksource.h"
#include "library/bookimporter.h"
#include "library/bookinfo.h"
#include "library/booklistcontrol.h"
#include "testsupport.h"
#include "ziparchivewriter.h"

#include <QCoreApplication>
#include <QDirIterator>
#include <QTimer>

namespace {

QByteArray corpusBytes(const QString& name)
{
    QFile source(lf::test::corpusDir() + QLatin1Char('/') + name);
    source.open(QIODevice::ReadOnly);
    return source.readAll();
}

// Every file below `dir` with its bytes, to show a folder is untouched.
QMap<QString, QByteArray> snapshot(const QString& dir)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        file.open(QIODevice::ReadOnly);
        files.insert(QDir(dir).relativeFilePath(file.fileName()), file.readAll());
    }
    return files;
}

using lf::test::writeFile;

// A ZIP that extracts completely but holds no book: no mimetype entry.
QByteArray archiveWithoutMimetype()
{
    ZipArchiveWriter writer;
    writer.addFile("META-INF/container.xml", "<container/>");
    writer.addFile("OEBPS/page.xhtml", "<html/>");
    return writer.archive();
}

// A mimetype entry and one page entry that the extraction cannot take as it is.
QByteArray archiveWithOddPage(const QByteArray& data, bool wrongCrc, int method)
{
    ZipArchiveWriter writer;
    writer.addFile("mimetype", "application/epub+zip", false);
    ZipArchiveWriter::Entry page;
    page.name = "OEBPS/page.xhtml";
    page.data = data;
    page.wrongCrc = wrongCrc;
    page.method = method;
    writer.add(page);
    return writer.archive();
}

// A container and a package of `spineItems` pages, all of one document.
QByteArray archiveWithSpine(int spineItems)
{
    QByteArray spine;
    for (int i = 0; i < spineItems; ++i)
        spine += "<itemref idref=\"p\"/>";
    ZipArchiveWriter writer;
    writer.addFile("mimetype", "application/epub+zip", false);
    writer.addFile("META-INF/container.xml",
        "<container><rootfiles><rootfile full-path=\"package.opf\" "
        "media-type=\"application/oebps-package+xml\"/></rootfiles></container>");
    writer.addFile("package.opf",
        "<package version=\"3.0\"><manifest><item id=\"p\" href=\"p.xhtml\" media-type=\"application/xhtml+xml\"/>"
        "</manifest><spine>"
            + spine + "</spine></package>");
    writer.addFile("p.xhtml", "<html><body>a page</body></html>");
    return writer.archive();
}

// 110 MiB of zeros in about 120 KB.
QByteArray compressionBomb()
{
    ZipArchiveWriter writer;
    writer.addFile("mimetype", "application/epub+zip", false);
    const QByteArray mebibyte(1 << 20, 0);
    for (int i = 0; i < 110; ++i)
        writer.addFile("zeros" + QByteArray::number(i), mebibyte);
    return writer.archive();
}

QByteArray splitArchivePart()
{
    ZipArchiveWriter writer;
    writer.addFile("mimetype", "application/epub+zip", false);
    writer.setSplitPart(true);
    return writer.archive();
}

QByteArray archiveWithoutPackage()
{
    ZipArchiveWriter writer;
    writer.addFile("mimetype", "application/epub+zip", false);
    writer.addFile("META-INF/container.xml", "<container><rootfiles/></container>");
    return writer.archive();
}

QString skippedLine(const QString& name, ImportRefusal::Reason reason)
{
    return QStringLiteral("skipped %1 %2").arg(name).arg(int(reason));
}

} // namespace

// Notes what an importer says, one line a signal, and answers its replace
// question "yes" or "no", during the signal or on the next turn of the event
// loop, then the other way round, and notes "answered"; with no answer set the
// question stays open. A second book may be queued on a line of the log.
class ImportLog : public QObject
{
    Q_OBJECT

public:
    explicit ImportLog(BookImporter* importer)
        : m_importer(importer)
    {
        connect(importer, SIGNAL(replaceAsked(QString)), this, SLOT(asked(QString)));
        connect(importer, SIGNAL(aboutToSwapIn(QString)), this, SLOT(swapping(QString)));
        connect(importer, SIGNAL(aboutToReplaceRecord(QString)), this, SLOT(recordReleased(QString)));
        connect(importer, SIGNAL(openRequested(QString)), this, SLOT(openRequested(QString)));
        connect(importer, SIGNAL(imported(BookInfo*)), this, SLOT(imported(BookInfo*)));
        connect(importer, SIGNAL(skipped(QString, ImportRefusal::Reason)), this,
            SLOT(skipped(QString, ImportRefusal::Reason)));
        connect(importer, SIGNAL(queueEmpty()), this, SLOT(queueEmpty()));
    }

    QStringList lines;
    QByteArray answer; // "yes", "no" or empty
    bool answerLater = false;
    QString secondBook;
    QString secondOn; // the line on which secondBook is queued

private slots:
    void asked(QString name)
    {
        note(QStringLiteral("asked ") + name);
        if (answer.isEmpty())
            return;
        const bool replace = answer == "yes";
        const auto give = [this, replace] {
            m_importer->answerReplace(replace);
            m_importer->answerReplace(!replace); // only the first answer counts
            note(QStringLiteral("answered"));
        };
        if (answerLater)
            QTimer::singleShot(0, m_importer, give);
        else
            give();
    }
    void swapping(QString name) { note(QStringLiteral("swap ") + name); }
    void recordReleased(QString name) { note(QStringLiteral("record ") + name); }
    void openRequested(QString name) { note(QStringLiteral("open ") + name); }
    void imported(BookInfo* record) { note(QStringLiteral("imported ") + record->fileName()); }
    void skipped(QString name, ImportRefusal::Reason reason) { note(skippedLine(name, reason)); }
    void queueEmpty() { note(QStringLiteral("done")); }

private:
    void note(const QString& line)
    {
        lines << line;
        if (secondBook.isEmpty() || line != secondOn)
            return;
        m_importer->enqueue(secondBook, false);
        secondBook.clear();
    }

    BookImporter* m_importer;
};

class TestBookImporter : public QObject
{
    Q_OBJECT

private:
    QString m_books;
    std::unique_ptr<BookListControl> m_store;
    std::unique_ptr<BookImporter> m_importer;
    std::unique_ptr<ImportLog> m_log;

    QString book(const QString& fileName) { return lf::test::copyCorpusBook(fileName, m_books); }
    QString bookFolder(const QString& name) { return lf::dataDirectory() + name; }

    bool waitForImports()
    {
        const QDeadlineTimer deadline(60000);
        while (m_importer->isImporting() && !deadline.hasExpired())
            QTest::qWait(5);
        return !m_importer->isImporting();
    }

    // Imports wasteland.epub and starts the log afresh.
    bool importWasteland()
    {
        m_importer->enqueue(book(QStringLiteral("wasteland.epub")), false);
        if (!waitForImports() || !m_store->bookInfo(QStringLiteral("wasteland")))
            return false;
        m_log->lines.clear();
        return true;
    }

    // Another book saved under the same file name as one in the library.
    QString otherFileNamed(const QString& fileName)
    {
        const QString path = m_books + QStringLiteral("/other/") + fileName;
        writeFile(path, corpusBytes(QStringLiteral("minimal-epub3.epub")));
        return path;
    }

private slots:
    void initTestCase() { m_books = lf::test::privateTempDir() + QStringLiteral("/books"); }

    void init()
    {
        m_store = std::make_unique<BookListControl>();
        m_importer = std::make_unique<BookImporter>(m_store.get());
        m_log = std::make_unique<ImportLog>(m_importer.get());
    }

    void cleanup()
    {
        m_log.reset();
        m_importer.reset();
        m_store.reset();
        lf::test::clearDataDirectory();
    }

    // A queue goes on past a book it leaves out; each imported book is in the
    // store with the source fingerprint that spares the replace question later.
    void importsAQueueBookByBook()
    {
        const QString broken = m_books + QStringLiteral("/broken.epub");
        QVERIFY(writeFile(broken, "plain text, not a book"));
        const QStringList paths
            = { book(QStringLiteral("minimal-epub2.epub")), broken, book(QStringLiteral("wasteland.epub")) };
        m_importer->enqueue(paths);
        QVERIFY(m_importer->isImporting());
        QVERIFY(waitForImports());
        QCOMPARE(m_log->lines,
            (QStringList { QStringLiteral("swap minimal-epub2"), QStringLiteral("imported minimal-epub2"),
                skippedLine("broken", ImportRefusal::NotAnArchive), QStringLiteral("swap wasteland"),
                QStringLiteral("imported wasteland"), QStringLiteral("done") }));

        QCOMPARE(m_store->allBooks().size(), 2);
        const BookInfo* wasteland = m_store->bookInfo(QStringLiteral("wasteland"));
        QVERIFY(wasteland);
        QCOMPARE(wasteland->bookName(), QStringLiteral("The Waste Land"));
        QCOMPARE(wasteland->bookSize(), QFileInfo(paths.at(2)).size());
        QVERIFY(QFileInfo::exists(bookFolder(QStringLiteral("wasteland/mimetype"))));
        QVERIFY(lf::BookSource::matches(bookFolder(QStringLiteral("wasteland/")), paths.at(2)));
        QVERIFY(!QFileInfo::exists(bookFolder(QStringLiteral("broken"))));
        QCOMPARE(lf::test::stagingFolders(), QStringList());
    }

    void refusedBooksLeaveNothing_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("reason");
        const QByteArray whole = corpusBytes(QStringLiteral("wasteland.epub"));
        QTest::newRow("truncated archive") << whole.left(whole.size() * 2 / 3) << int(ImportRefusal::NotAnArchive);
        QTest::newRow("checksum mismatch")
            << archiveWithOddPage("<html><body>the checksum does not match</body></html>", true, -1)
            << int(ImportRefusal::Damaged);
        QTest::newRow("not an archive") << QByteArray("plain text, not a book") << int(ImportRefusal::NotAnArchive);
        QTest::newRow("extracts but is no book") << archiveWithoutMimetype() << int(ImportRefusal::NotEpub);
        QTest::newRow("no package document") << archiveWithoutPackage() << int(ImportRefusal::NoPages);
        QTest::newRow("compression bomb") << compressionBomb() << int(ImportRefusal::CompressionBomb);
        QTest::newRow("bzip2 entry") << archiveWithOddPage("BZh91AY&SY", false, 12)
                                     << int(ImportRefusal::UnsupportedCompression);
        QTest::newRow("split archive") << splitArchivePart() << int(ImportRefusal::SplitArchive);
        QTest::newRow("spine over the limit")
            << archiveWithSpine(EpubParser::kMaxSpineItems + 1) << int(ImportRefusal::TooManyItems);
    }

    void refusedBooksLeaveNothing()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, reason);
        const QString path = m_books + QStringLiteral("/broken.epub");
        QVERIFY(writeFile(path, content));
        m_importer->enqueue(path, true);
        QVERIFY(waitForImports());
        QCOMPARE(m_log->lines,
            (QStringList { skippedLine("broken", ImportRefusal::Reason(reason)), QStringLiteral("done") }));
        QVERIFY(m_store->allBooks().isEmpty());
        QVERIFY(!QFileInfo::exists(bookFolder(QStringLiteral("broken"))));
        QCOMPARE(lf::test::stagingFolders(), QStringList());
    }

    // Answering "yes" with an archive that turns out to be no book keeps the
    // old book byte for byte, with its record.
    void failedReplaceKeepsTheOldBook_data() { refusedBooksLeaveNothing_data(); }

    void failedReplaceKeepsTheOldBook()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, reason);
        QVERIFY(importWasteland());
        const QString folder = bookFolder(QStringLiteral("wasteland"));
        QVERIFY(writeFile(folder + QStringLiteral("/EPUB/highlight/hili3"), "the reader's marks"));
        const QMap<QString, QByteArray> before = snapshot(folder);
        const BookInfo* record = m_store->bookInfo(QStringLiteral("wasteland"));

        const QString other = m_books + QStringLiteral("/other/wasteland.epub");
        QVERIFY(writeFile(other, content));
        m_log->answer = "yes";
        m_importer->enqueue(other, true);
        QVERIFY(waitForImports());
        QCOMPARE(m_log->lines,
            (QStringList { QStringLiteral("asked wasteland"), QStringLiteral("answered"),
                skippedLine("wasteland", ImportRefusal::Reason(reason)), QStringLiteral("done") }));
        QCOMPARE(snapshot(folder), before);
        QCOMPARE(m_store->bookInfo(QStringLiteral("wasteland")), record);
        QCOMPARE(lf::test::stagingFolders(), QStringList());
    }

    // A path that cannot be imported at all is left out before any question,
    // named as well as the path allows.
    void unusablePathsAreRefusedBeforeAsking_data()
    {
        QTest::addColumn<QString>("relativePath");
        QTest::addColumn<QString>("shownName");
        QTest::addColumn<int>("reason");
        const int unreadable = ImportRefusal::Unreadable;
        const int unusable = ImportRefusal::UnusableName;
        QTest::newRow("vanished file") << "gone/wasteland.epub"
                                       << "wasteland" << unreadable;
        QTest::newRow("directory") << "wasteland.epub/" << m_books + QStringLiteral("/wasteland.epub/") << unreadable;
        QTest::newRow("empty book name") << ".epub"
                                         << ".epub" << unusable;
        QTest::newRow("dot dot book name") << "...epub"
                                           << ".." << unusable;
        // The data directory's own names: a book "bl" would turn the bookcase file into a folder.
        QTest::newRow("bookcase file name") << "bl.epub"
                                            << "bl" << unusable;
        QTest::newRow("damaged copy name") << "bl.damaged.epub"
                                           << "bl.damaged" << unusable;
        QTest::newRow("port file name") << "single_port.epub"
                                        << "single_port" << unusable;
        QTest::newRow("staging folder name") << ".import-abc.epub"
                                             << ".import-abc" << unusable;
    }

    void unusablePathsAreRefusedBeforeAsking()
    {
        QFETCH(QString, relativePath);
        QFETCH(QString, shownName);
        QFETCH(int, reason);
        QVERIFY(importWasteland());
        const QString path = m_books + QLatin1Char('/') + relativePath;
        if (!relativePath.startsWith(QLatin1String("gone/")) && !relativePath.endsWith(QLatin1Char('/')))
            QFile::copy(m_books + QStringLiteral("/wasteland.epub"), path);

        m_log->answer = "yes";
        m_importer->enqueue(path, true);
        QVERIFY(waitForImports());
        QCOMPARE(m_log->lines,
            (QStringList { skippedLine(shownName, ImportRefusal::Reason(reason)), QStringLiteral("done") }));
        QVERIFY(QFileInfo::exists(bookFolder(QStringLiteral("wasteland/mimetype"))));
        QCOMPARE(m_store->allBooks().size(), 1);
    }

    // A book of a name already in the library: the very file it came from is
    // only opened, another file is asked about, and a record whose folder has
    // gone is replaced unasked. An answer, given during the question or later,
    // is taken up on a later turn of the event loop; a book queued meanwhile
    // waits its turn; an importer that goes with the answer on its way leaves
    // the old book as it was.
    void replacingABook_data()
    {
        QTest::addColumn<QString>("source"); // "same", "other" or "folder gone"
        QTest::addColumn<bool>("open");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<bool>("answerLater");
        QTest::addColumn<QString>("secondOn"); // the line on which a second book is queued
        QTest::addColumn<bool>("quit"); // the importer goes once the answer is given
        QTest::addColumn<QStringList>("lines");

        const QStringList replaced = { QStringLiteral("swap wasteland"), QStringLiteral("record wasteland") };
        const QStringList asked = { QStringLiteral("asked wasteland"), QStringLiteral("answered") };
        const QString opened = QStringLiteral("open wasteland");
        const QString imported = QStringLiteral("imported wasteland");
        const QStringList second = { QStringLiteral("swap minimal-epub2"), QStringLiteral("imported minimal-epub2") };
        const QString done = QStringLiteral("done");
        QTest::newRow("same file opened")
            << "same" << true << QByteArray() << false << QString() << false << QStringList { opened, done };
        QTest::newRow("same file added again")
            << "same" << false << QByteArray() << false << QString() << false << QStringList { done };
        QTest::newRow("other file, no opens the old book") << "other" << true << QByteArray("no") << false << QString()
                                                           << false << asked + QStringList { opened, done };
        QTest::newRow("other file, no later")
            << "other" << false << QByteArray("no") << true << QString() << false << asked + QStringList { done };
        QTest::newRow("other file, yes replaces and opens")
            << "other" << true << QByteArray("yes") << false << QString() << false
            << asked + replaced + QStringList { opened, imported, done };
        QTest::newRow("other file, yes later") << "other" << false << QByteArray("yes") << true << QString() << false
                                               << asked + replaced + QStringList { imported, done };
        QTest::newRow("folder gone, record replaced unasked")
            << "folder gone" << false << QByteArray("no") << false << QString() << false
            << replaced + QStringList { imported, done };
        QTest::newRow("no later, a book queued while asking")
            << "other" << false << QByteArray("no") << true << asked.first() << false
            << asked + second + QStringList { done };
        QTest::newRow("yes, a book queued once answered")
            << "other" << false << QByteArray("yes") << false << asked.last() << false
            << asked + replaced + QStringList { imported } + second + QStringList { done };
        QTest::newRow("yes later, a book queued during the swap")
            << "other" << false << QByteArray("yes") << true << replaced.first() << false
            << asked + replaced + QStringList { imported } + second + QStringList { done };
        QTest::newRow("yes, then the importer goes")
            << "other" << true << QByteArray("yes") << false << QString() << true << asked;
        QTest::newRow("no, then the importer goes")
            << "other" << true << QByteArray("no") << false << QString() << true << asked;
    }

    void replacingABook()
    {
        QFETCH(QString, source);
        QFETCH(bool, open);
        QFETCH(QByteArray, answer);
        QFETCH(bool, answerLater);
        QFETCH(QString, secondOn);
        QFETCH(bool, quit);
        QFETCH(QStringList, lines);
        m_importer->answerReplace(true); // asked nothing: changes nothing
        QVERIFY(importWasteland());
        const QString marker = bookFolder(QStringLiteral("wasteland/marker"));
        QVERIFY(writeFile(marker, "the reader's file"));
        const QDateTime firstAdded = m_store->bookInfo(QStringLiteral("wasteland"))->addTime();

        QString path = m_books + QStringLiteral("/wasteland.epub");
        if (source == QLatin1String("other"))
            path = otherFileNamed(QStringLiteral("wasteland.epub"));
        if (source == QLatin1String("folder gone"))
            QVERIFY(QDir(bookFolder(QStringLiteral("wasteland"))).removeRecursively());
        m_log->answer = answer;
        m_log->answerLater = answerLater;
        if (!secondOn.isEmpty()) {
            m_log->secondBook = book(QStringLiteral("minimal-epub2.epub"));
            m_log->secondOn = secondOn;
        }
        QTest::qWait(2); // a later import time
        m_importer->enqueue(path, open);
        if (quit) {
            const QStringList said = m_log->lines;
            m_log.reset();
            m_importer.reset();
            QTest::qWait(20);
            QCOMPARE(said, lines);
        } else {
            QVERIFY(waitForImports());
            QCOMPARE(m_log->lines, lines);
        }

        const bool replaced = lines.contains(QStringLiteral("imported wasteland"));
        QCOMPARE(m_store->allBooks().size(), secondOn.isEmpty() ? 1 : 2);
        const BookInfo* record = m_store->bookInfo(QStringLiteral("wasteland"));
        QVERIFY(record);
        QCOMPARE(record->addTime() != firstAdded, replaced);
        QCOMPARE(QFileInfo::exists(marker), !replaced && source != QLatin1String("folder gone"));
        QVERIFY(lf::BookSource::matches(
            bookFolder(QStringLiteral("wasteland/")), replaced ? path : book(QStringLiteral("wasteland.epub"))));
        QCOMPARE(lf::test::stagingFolders(), QStringList());
    }
};

LF_TEST_CORE_MAIN(TestBookImporter)
#include "tst_bookimporter.moc"
