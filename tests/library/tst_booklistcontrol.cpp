// The bookcase store: its three orders, search, and what add, remove and replace announce.
#include "library/booklistcontrol.h"
#include "testsupport.h"

namespace {
// One book per text "name|title|author|msecs".
BookInfo bookFrom(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char('|'));
    return BookInfo(parts.at(0), parts.at(1), parts.at(2), 1000, QStringLiteral("cover.jpg"),
        QDateTime::fromMSecsSinceEpoch(parts.at(3).toLongLong()));
}

void fill(BookListControl& store, const QStringList& books)
{
    for (const QString& book : books)
        store.addBook(bookFrom(book));
}

const QStringList kShelf = {
    QStringLiteral("moby|Moby-Dick|H. Melville|1600000000000"),
    QStringLiteral("alice|alice's adventures|Lewis Carroll|1600000005000"),
    QStringLiteral("zeta|Zeta|Jane Austen|1500000000000"),
    QStringLiteral("old|Old Book|unknown|0"),
};
} // namespace

class TestBookListControl : public QObject
{
    Q_OBJECT

private slots:
    void sortedNames_data()
    {
        QTest::addColumn<QStringList>("books");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("newest, time 0 last") << kShelf << 0 << QStringList { "alice", "moby", "zeta", "old" };
        QTest::newRow("by title, case ignored") << kShelf << 1 << QStringList { "alice", "moby", "old", "zeta" };
        QTest::newRow("by author") << kShelf << 2 << QStringList { "moby", "zeta", "alice", "old" };
        QTest::newRow("unknown mode 3") << kShelf << 3 << QStringList {};
        QTest::newRow("unknown mode -1") << kShelf << -1 << QStringList {};
        QTest::newRow("same time: last name first") << QStringList { "b|T|A|1600000000000", "c|T|A|1600000000000",
            "a|T|A|1600000000000" } << 0 << QStringList { "c", "b", "a" };
        QTest::newRow("title collision: later replaces earlier")
            << QStringList { "x|Ab|A|1600000000000", "bx|A|B|1600000000001" } << 1 << QStringList { "bx" };
        QTest::newRow("title collision keeps both by author")
            << QStringList { "x|Ab|A|1600000000000", "bx|A|B|1600000000001" } << 2 << QStringList { "x", "bx" };
        QTest::newRow("empty title sorts by book name")
            << QStringList { "b-book||A|1", "a-book|c title|A|2" } << 1 << QStringList { "b-book", "a-book" };
    }

    void sortedNames()
    {
        QFETCH(QStringList, books);
        QFETCH(int, mode);
        QFETCH(QStringList, expected);
        BookListControl store;
        fill(store, books);
        QCOMPARE(store.sortedNames(mode), expected);
        // Added all at once, as the bookcase file's load adds them, the same.
        BookListControl atOnce;
        QVector<BookInfo> records;
        for (const QString& book : books)
            records.append(bookFrom(book));
        QCOMPARE(atOnce.addBooks(records), store.allBooks().size());
        QCOMPARE(atOnce.sortedNames(mode), expected);
    }

    void searchNames_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("AN finds author Jane") << "AN" << 1 << QStringList { "zeta" };
        QTest::newRow("title, any case") << "ADVENT" << 1 << QStringList { "alice" };
        QTest::newRow("author part") << "melv" << 0 << QStringList { "moby" };
        QTest::newRow("title or author, index order") << "o" << 2 << QStringList { "moby", "alice", "old" };
        QTest::newRow("book name never matches") << "dickens" << 1 << QStringList {};
        QTest::newRow("empty text keeps all")
            << "" << 1 << QStringList { "alice", "dickens-named", "moby", "old", "zeta" };
        QTest::newRow("unknown mode") << "" << 7 << QStringList {};
    }

    void searchNames()
    {
        QFETCH(QString, text);
        QFETCH(int, mode);
        QFETCH(QStringList, expected);
        BookListControl store;
        fill(store, kShelf);
        // Found only by its book name, which search never looks at.
        store.addBook(BookInfo(QStringLiteral("dickens-named"), QStringLiteral("Hard Times"), QStringLiteral("C. D."),
            1, {}, QDateTime::fromMSecsSinceEpoch(1)));
        QCOMPARE(store.searchNames(text, mode), expected);
    }

    void addAndRemoveAlwaysAnnounce_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<bool>("result");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("mobyTitle"); // after the operation; a duplicate leaves the first record

        QTest::newRow("add new") << "add:new" << true << 5 << "Moby-Dick";
        QTest::newRow("add duplicate") << "add:moby" << false << 4 << "Moby-Dick";
        QTest::newRow("remove present") << "remove:moby" << true << 3 << "";
        QTest::newRow("remove absent") << "remove:nothing" << false << 4 << "Moby-Dick";
        QTest::newRow("replace present") << "replace:moby" << true << 4 << "Other";
        QTest::newRow("replace absent") << "replace:new" << false << 5 << "Moby-Dick";
    }

    void addAndRemoveAlwaysAnnounce()
    {
        QFETCH(QString, operation);
        QFETCH(bool, result);
        QFETCH(int, count);
        QFETCH(QString, mobyTitle);
        BookListControl store;
        fill(store, kShelf);
        QSignalSpy spy(&store, SIGNAL(changedBooks()));
        const QString name = operation.section(QLatin1Char(':'), 1);
        const BookInfo other(name, QStringLiteral("Other"), {}, 1, {}, QDateTime());
        bool done = false;
        if (operation.startsWith(QLatin1String("add")))
            done = store.addBook(other);
        else if (operation.startsWith(QLatin1String("replace")))
            done = store.replaceBook(other);
        else
            done = store.removeBook(name);
        QCOMPARE(done, result);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(store.allBooks().size(), count);
        for (int mode = 0; mode < 3; ++mode)
            QCOMPARE(store.sortedNames(mode).size(), count);
        const BookInfo* moby = store.bookInfo(QStringLiteral("moby"));
        QCOMPARE(moby ? moby->bookName() : QString(), mobyTitle);
        // The indexes hold the record's own title, never an old one.
        QCOMPARE(store.searchNames(QStringLiteral("moby-dick"), 1).size(), mobyTitle == "Moby-Dick" ? 1 : 0);
    }

    void removingTheReplacedBookKeepsTheOtherEntry()
    {
        BookListControl store;
        fill(store, { QStringLiteral("x|Ab|A|1600000000000"), QStringLiteral("bx|A|B|1600000000001") });
        store.removeBook(QStringLiteral("x"));
        QCOMPARE(store.sortedNames(1), QStringList { "bx" });
        store.removeBook(QStringLiteral("bx"));
        QCOMPARE(store.sortedNames(1), QStringList {});
        QVERIFY(store.allBooks().isEmpty());
    }

    void recordPointersSurviveGrowth()
    {
        BookListControl store;
        fill(store, kShelf);
        BookInfo* moby = store.bookInfo(QStringLiteral("moby"));
        QVERIFY(moby);
        for (int i = 0; i < 2000; ++i)
            store.addBook(BookInfo(QStringLiteral("book%1").arg(i), {}, {}, i, {}, QDateTime::currentDateTime()));
        store.removeBook(QStringLiteral("book7"));
        QCOMPARE(store.bookInfo(QStringLiteral("moby")), moby);
        QCOMPARE(moby->author(), QStringLiteral("H. Melville"));
        QCOMPARE(store.bookInfo(QStringLiteral("book7")), nullptr);
        QCOMPARE(store.bookInfo(QStringLiteral("book8"))->bookName(), QStringLiteral("book8"));
    }
};

LF_TEST_CORE_MAIN(TestBookListControl)
#include "tst_booklistcontrol.moc"
