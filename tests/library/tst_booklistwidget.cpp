// The book list offscreen: order, search, deletion, insertion, tiles and rows.
#include "base/datadirectory.h"
#include "epub/epubparser.h"
#include "import/unzipthread.h"
#include "library/bookcasefile.h"
#include "library/booklistcontrol.h"
#include "library/booklistgriditemform.h"
#include "library/booklistverticalitemform.h"
#include "library/booklistwidget.h"
#include "showntext.h"
#include "testsupport.h"
#include "ziparchivewriter.h"

#include <QApplication>
#include <QBuffer>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QTextDocument>
#include <QToolTip>
#include <QTranslator>

namespace {
// A list whose context menu answers with a preset entry instead of waiting for the user.
class AnsweringBookList : public BookListWidget
{
public:
    QString answer;
    QStringList offered;

protected:
    QString chooseMenuEntry(QMenu& menu, const QPoint&) override
    {
        for (const QAction* action : menu.actions())
            offered.append(action->text());
        return answer;
    }
};

BookListControl& store()
{
    return *BookListControl::instance();
}

// One book per text "name|title|author|msecs".
void addBooks(const QStringList& books)
{
    for (const QString& text : books) {
        const QStringList parts = text.split(QLatin1Char('|'));
        store().addBook(BookInfo(parts.at(0), parts.at(1), parts.at(2), 2048, QStringLiteral("none.jpg"),
            QDateTime::fromMSecsSinceEpoch(parts.at(3).toLongLong())));
        QDir().mkpath(BookcaseFile::bookFolder(parts.at(0)));
    }
}

const QStringList kShelf = {
    QStringLiteral("moby|Moby-Dick|H. Melville|1600000000000"),
    QStringLiteral("alice|alice's adventures|Lewis Carroll|1600000005000"),
    QStringLiteral("zeta|Zeta|Jane Austen|1500000000000"),
};

QStringList namesInList(const QListWidget& list, bool visibleOnly = false)
{
    QStringList names;
    for (int row = 0; row < list.count(); ++row) {
        if (!visibleOnly || !list.item(row)->isHidden())
            names.append(list.item(row)->data(Qt::UserRole).toString());
    }
    return names;
}

QString labelText(QWidget* form, const char* name)
{
    const auto* label = form->findChild<QLabel*>(QLatin1String(name));
    return label ? lf::test::shownText(label) : QStringLiteral("<missing %1>").arg(QLatin1String(name));
}

// `count` books "b00000", "b00001"… titled "T0", "T1"…, their authors in the
// opposite order, added a millisecond apart.
void addNumberedBooks(int count)
{
    for (int i = 0; i < count; ++i)
        store().addBook(BookInfo(QStringLiteral("b%1").arg(i, 5, 10, QLatin1Char('0')), QStringLiteral("T%1").arg(i),
            QStringLiteral("A%1").arg(count - i), 1, {}, QDateTime::fromMSecsSinceEpoch(1600000000000 + i)));
}

// A list laid out as the library window lays it out, shown.
void showList(BookListWidget& list)
{
    list.setViewMode(QListView::IconMode);
    list.setMovement(QListView::Static);
    list.setResizeMode(QListView::Adjust);
    list.resize(800, 570);
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
}

struct FormCount
{
    int shown = 0; // rows not hidden
    int inView = 0;
    int forms = 0;
};

// Checks that hidden rows have no form and every row in view has its own
// book's form exactly over it; counts rows and forms into `count`.
void checkFormsInView(BookListWidget& list, bool grid, FormCount& count)
{
    for (int row = 0; row < list.count(); ++row) {
        QListWidgetItem* item = list.item(row);
        QWidget* form = list.itemWidget(item);
        count.forms += form != nullptr;
        if (item->isHidden()) {
            QVERIFY2(!form, qPrintable(item->data(Qt::UserRole).toString()));
            continue;
        }
        ++count.shown;
        if (!list.visualItemRect(item).intersects(list.viewport()->rect()))
            continue;
        ++count.inView;
        QVERIFY2(form && form->isVisible(), qPrintable(item->data(Qt::UserRole).toString()));
        QCOMPARE(form->geometry(), list.visualItemRect(item));
        QCOMPARE(labelText(form, grid ? "book_name_label" : "chapter_label"),
            store().bookInfo(item->data(Qt::UserRole).toString())->bookName());
    }
}

QImage labelImage(QWidget* form)
{
    return form->findChild<QLabel*>(QStringLiteral("book_img_label"))->pixmap(Qt::ReturnByValue).toImage();
}

// A PNG file with a valid header but no pixel data behind it.
QByteArray pngHeader(quint32 width, quint32 height)
{
    QByteArray png("\x89PNG\r\n\x1a\n");
    QDataStream out(&png, QIODevice::Append);
    const auto chunk = [&](const QByteArray& type, const QByteArray& data) {
        const QByteArray typed = type + data;
        out << quint32(data.size());
        out.writeRawData(typed.constData(), typed.size());
        out << ZipArchiveWriter::crc32(typed);
    };
    QByteArray header;
    QDataStream(&header, QIODevice::WriteOnly)
        << width << height << quint8(8) << quint8(6) << quint8(0) << quint8(0) << quint8(0);
    chunk("IHDR", header);
    chunk("IDAT", {});
    chunk("IEND", {});
    return png;
}

QByteArray pngOf(const QColor& colour)
{
    QImage image(40, 60, QImage::Format_RGB32);
    image.fill(colour);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return buffer.data();
}

// A book archive whose cover item has `coverHref`; it holds folders named
// "x?" and "x#" and a green picture named "a?b.png".
QByteArray bookWithCover(const QByteArray& coverHref)
{
    ZipArchiveWriter zip;
    zip.addFile("mimetype", "application/epub+zip", false);
    zip.addFile("META-INF/container.xml",
        "<container><rootfiles><rootfile full-path=\"OEBPS/content.opf\" "
        "media-type=\"application/oebps-package+xml\"/></rootfiles></container>");
    zip.addFile("OEBPS/content.opf",
        "<package version=\"3.0\"><metadata><title>Covered</title></metadata><manifest>"
        "<item id=\"c\" href=\""
            + coverHref
            + "\" media-type=\"image/png\" properties=\"cover-image\"/>"
              "<item id=\"p\" href=\"p.xhtml\" media-type=\"application/xhtml+xml\"/>"
              "</manifest><spine><itemref idref=\"p\"/></spine></package>");
    zip.addFile("OEBPS/p.xhtml", "<html><body>p</body></html>");
    zip.addFile("OEBPS/x?/", {}, false);
    zip.addFile("OEBPS/x#/", {}, false);
    zip.addFile("OEBPS/a?b.png", pngOf(Qt::green));
    return zip.archive();
}

void extractCorpusBook(const QString& file, const QString& name)
{
    const QString archive = lf::test::copyCorpusBook(file, lf::test::privateTempDir() + QStringLiteral("/archives"));
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"),
        { QStringLiteral("-q"), QStringLiteral("-o"), archive, QStringLiteral("-d"), BookcaseFile::bookFolder(name) });
    QVERIFY(unzip.waitForFinished(30000));
    QCOMPARE(unzip.exitCode(), 0);
}
} // namespace

class TestBookListWidget : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        store().clear();
        lf::test::clearDataDirectory();
        QVERIFY(lf::ensureDataDirectory());
    }

    void drawListFollowsTheOrder_data()
    {
        QTest::addColumn<bool>("grid");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<QSize>("itemSize");

        QTest::newRow("tiles, newest") << true << 0 << QStringList { "alice", "moby", "zeta" } << QSize(130, 168);
        QTest::newRow("tiles, by title") << true << 1 << QStringList { "alice", "moby", "zeta" } << QSize(130, 168);
        QTest::newRow("rows, by author") << false << 2 << QStringList { "moby", "zeta", "alice" } << QSize(394, 125);
        QTest::newRow("rows, newest") << false << 0 << QStringList { "alice", "moby", "zeta" } << QSize(394, 125);
        QTest::newRow("unknown order") << true << 4 << QStringList {} << QSize();
    }

    void drawListFollowsTheOrder()
    {
        QFETCH(bool, grid);
        QFETCH(int, mode);
        QFETCH(QStringList, expected);
        QFETCH(QSize, itemSize);
        addBooks(kShelf);
        BookListWidget list;
        list.drawList(!grid, 1);
        list.searchInList(QStringLiteral("zeta"));
        list.drawList(grid, mode);
        QCOMPARE(namesInList(list), expected);
        QCOMPARE(namesInList(list, true), expected);
        for (int row = 0; row < list.count(); ++row) {
            QWidget* form = list.itemWidget(list.item(row));
            QCOMPARE(list.item(row)->sizeHint(), itemSize);
            QCOMPARE(form->size(), itemSize);
            QCOMPARE(qobject_cast<BookListGridItemForm*>(form) != nullptr, grid);
            QCOMPARE(qobject_cast<BookListVerticalItemForm*>(form) != nullptr, !grid);
        }
        QCOMPARE(list.maximumWidth(), QWIDGETSIZE_MAX);
    }

    void searchHidesAndShowsRows_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("visible");

        QTest::newRow("title") << "DICK" << QStringList { "moby" };
        QTest::newRow("author, any case") << "aUsTeN" << QStringList { "zeta" };
        QTest::newRow("title or author") << "l" << QStringList { "moby", "alice" };
        QTest::newRow("book name is not searched") << "alice" << QStringList {};
        QTest::newRow("empty shows all") << "" << QStringList { "moby", "alice", "zeta" };
    }

    void searchHidesAndShowsRows()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, visible);
        store().addBook(BookInfo(QStringLiteral("alice"), QStringLiteral("Wonderland"), QStringLiteral("Carroll"), 1,
            {}, QDateTime::fromMSecsSinceEpoch(1600000005000)));
        addBooks({ kShelf.at(0), kShelf.at(2) });
        BookListWidget list;
        list.drawList(false, 1);
        list.searchInList(QStringLiteral("no such book"));
        QCOMPARE(namesInList(list, true), QStringList {});
        list.searchInList(text);
        QCOMPARE(namesInList(list, true), visible);
        QCOMPARE(namesInList(list), (QStringList { "moby", "alice", "zeta" }));
    }

    void contextMenuDeletes_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("onItem");
        QTest::addColumn<bool>("deleted");

        QTest::newRow("Delete chosen") << "Delete" << true << true;
        QTest::newRow("menu dismissed") << "" << true << false;
        QTest::newRow("other text") << "Open" << true << false;
        QTest::newRow("no item under the mouse") << "Delete" << false << false;
    }

    void contextMenuDeletes()
    {
        QFETCH(QString, answer);
        QFETCH(bool, onItem);
        QFETCH(bool, deleted);
        addBooks(kShelf);
        QFile cp(BookcaseFile::bookFolder(QStringLiteral("moby")) + QStringLiteral("/cp"));
        QVERIFY(cp.open(QIODevice::WriteOnly));
        cp.close();
        QVERIFY(BookcaseFile::save(store()));
        // The library window saves the bookcase on every change.
        const QMetaObject::Connection saving
            = connect(&store(), &BookListControl::changedBooks, this, [] { BookcaseFile::save(store()); });

        AnsweringBookList list;
        list.answer = answer;
        list.resize(500, 400);
        list.drawList(true, 1);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        const QListWidgetItem* moby = list.item(1);
        QCOMPARE(moby->data(Qt::UserRole).toString(), QStringLiteral("moby"));
        const QPoint point = onItem ? list.visualItemRect(moby).center() : QPoint(495, 395);
        QCOMPARE(list.itemAt(point) == moby, onItem);
        emit list.customContextMenuRequested(point);
        disconnect(saving);

        QCOMPARE(list.offered, onItem ? QStringList { "Delete" } : QStringList {});
        QCOMPARE(QFileInfo::exists(BookcaseFile::bookFolder(QStringLiteral("moby"))), !deleted);
        QCOMPARE(store().bookInfo(QStringLiteral("moby")) == nullptr, deleted);
        const QStringList remaining
            = deleted ? QStringList { "alice", "zeta" } : QStringList { "alice", "moby", "zeta" };
        QCOMPARE(namesInList(list), remaining);
        QFile file(BookcaseFile::filePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), BookcaseFile::toJson(store()));
        QCOMPARE(store().allBooks().size(), deleted ? 2 : 3);
        QVERIFY(QFileInfo::exists(BookcaseFile::bookFolder(QStringLiteral("zeta"))));
    }

    void koreanTexts()
    {
        QTranslator korean;
        QVERIFY(korean.load(lf::test::buildDir() + QStringLiteral("/Resources/lang_ko.qm")));
        QCoreApplication::installTranslator(&korean);
        addBooks(kShelf);
        BookInfo book(QStringLiteral("b"), {}, {}, 3 << 20, {}, QDateTime::currentDateTime());
        BookListVerticalItemForm row;
        QCOMPARE(labelText(&row, "book_info_label"), QString::fromUtf8("다운로드 크기 : %1MB"));
        row.setBook(&book);
        QCOMPARE(labelText(&row, "book_info_label"), QString::fromUtf8("Epub 크기 : 3MB"));

        AnsweringBookList list;
        list.answer = QString::fromUtf8("삭제");
        list.resize(500, 400);
        list.drawList(true, 1);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        emit list.customContextMenuRequested(list.visualItemRect(list.item(0)).center());
        list.searchInList(QStringLiteral("zzz"));
        const QString noMatch = list.emptyStateHint();
        list.clear();
        const QString empty = list.emptyStateHint();
        QCoreApplication::removeTranslator(&korean);
        QCOMPARE(list.offered, QStringList { QString::fromUtf8("삭제") });
        QVERIFY(noMatch.contains(QString::fromUtf8("책이 없습니다")));
        QVERIFY(empty.contains(QString::fromUtf8("책장")));
        list.drawList(true, 1);
        QCOMPARE(namesInList(list), (QStringList { "moby", "zeta" }));
        QVERIFY(!QFileInfo::exists(BookcaseFile::bookFolder(QStringLiteral("alice"))));
    }

    void removalStaysInsideTheDataDirectory_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("parent") << "..";
        QTest::newRow("self") << ".";
        QTest::newRow("empty") << "";
        QTest::newRow("link to a folder outside") << "linked";
    }

    void removalStaysInsideTheDataDirectory()
    {
        QFETCH(QString, name);
        const QString outside = lf::test::privateTempDir() + QStringLiteral("/outside");
        QVERIFY(QDir().mkpath(outside));
        QFile keep(outside + QStringLiteral("/keep"));
        QVERIFY(keep.open(QIODevice::WriteOnly));
        keep.close();
        QVERIFY(QFile::link(outside, BookcaseFile::bookFolder(QStringLiteral("linked"))));
        addBooks({ kShelf.at(0) });

        BookListWidget list;
        list.drawList(true, 0);
        list.removeBookItem(name);
        QVERIFY(QFileInfo::exists(outside + QStringLiteral("/keep")));
        QVERIFY(QFileInfo::exists(BookcaseFile::bookFolder(QStringLiteral("moby"))));
        QCOMPARE(namesInList(list), QStringList { "moby" });
        QCOMPARE(QFileInfo(BookcaseFile::bookFolder(QStringLiteral("linked"))).isSymLink(), name != "linked");
    }

    void rowShowsTheSizeInWholeMegabytes_data()
    {
        QTest::addColumn<qint64>("size");
        QTest::addColumn<QString>("text");

        QTest::newRow("one byte short of 1 MB") << qint64(1048575) << "Epub Size : 0MB";
        QTest::newRow("exactly 1 MB") << qint64(1048576) << "Epub Size : 1MB";
        QTest::newRow("zero") << qint64(0) << "Epub Size : 0MB";
        QTest::newRow("beyond 32 bits") << (qint64(5) << 32) + 1 << "Epub Size : 20480MB";
    }

    void rowShowsTheSizeInWholeMegabytes()
    {
        QFETCH(qint64, size);
        QFETCH(QString, text);
        BookInfo book(QStringLiteral("b"), QStringLiteral("A title much longer than eight"), QStringLiteral("Ann"),
            size, {}, QDateTime::currentDateTime());
        BookListVerticalItemForm row;
        QCOMPARE(labelText(&row, "book_info_label"), QStringLiteral("Download size : %1MB"));
        QCOMPARE(labelText(&row, "chapter_label"), QStringLiteral("book Title"));
        row.setBook(&book);
        QCOMPARE(labelText(&row, "book_info_label"), text);
        QCOMPARE(labelText(&row, "chapter_label"), QStringLiteral("A title much longer than eight"));
        QCOMPARE(labelText(&row, "book_authors_label"), QStringLiteral("Ann"));
    }

    void rowButtonOpensOnce()
    {
        BookInfo book(QStringLiteral("the-book"), {}, {}, 1, {}, QDateTime::currentDateTime());
        BookListVerticalItemForm row;
        row.setBook(&book);
        QSignalSpy spy(&row, SIGNAL(detailViewButtonClicked(QString)));
        auto* button = row.findChild<QPushButton*>(QStringLiteral("detail_view_button"));
        QVERIFY(!button->icon().pixmap(60, 60).isNull());
        QCOMPARE(button->iconSize(), QSize(60, 60));
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toString(), QStringLiteral("the-book"));
    }

    void tileCutsTheTitle_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("shown");

        QTest::newRow("8 characters whole") << "Abcdefgh"
                                            << "Abcdefgh";
        QTest::newRow("9 characters cut") << "Abcdefghi"
                                          << "Abcdefgh..";
        QTest::newRow("short") << "Emma"
                               << "Emma";
        QTest::newRow("Korean") << QString::fromUtf8("가나다라마바사아자") << QString::fromUtf8("가나다라마바사아..");
        QTest::newRow("empty title shows the book name") << ""
                                                         << "book-nam..";
        QTest::newRow("Japanese") << QString::fromUtf8("草枕　夏目漱石の小説より")
                                  << QString::fromUtf8("草枕　夏目漱石の..");
        QTest::newRow("Devanagari") << QString::fromUtf8("गोदान प्रेमचंद") << QString::fromUtf8("गोदान प्..");
        // Too wide even at the smallest size: fewer characters, still one line.
        QTest::newRow("three-em dashes") << QString::fromUtf8("⸻⸻⸻⸻⸻⸻⸻⸻⸻") << QString();
    }

    void tileCutsTheTitle()
    {
        QFETCH(QString, title);
        QFETCH(QString, shown);
        BookInfo book(QStringLiteral("book-name"), title, {}, 1, {}, QDateTime::currentDateTime());
        BookListGridItemForm tile;
        tile.setBook(&book);
        const auto* label = tile.findChild<QLabel*>(QStringLiteral("book_name_label"));
        const QString text = lf::test::shownText(label);
        if (shown.isNull())
            QVERIFY(text.endsWith(QStringLiteral("..")) && title.startsWith(text.chopped(2)) && text.size() < 10);
        else
            QCOMPARE(text, shown);
        QCOMPARE(tile.size(), QSize(130, 168));
        // One line that fits the label, whatever the script.
        QVERIFY(label->fontMetrics().horizontalAdvance(label->text()) <= label->contentsRect().width());
        QVERIFY(label->font().pointSizeF() >= 7);
    }

    // Tiles and rows cut what they show; the tooltip has the whole book, and
    // markup in a book's texts shows as written.
    void tooltipShowsTheWholeBook_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("author");
        QTest::addColumn<QString>("shown");

        QTest::newRow("title and author") << "Moby-Dick; or, The Whale"
                                          << "Herman Melville"
                                          << "Moby-Dick; or, The Whale\nHerman Melville";
        QTest::newRow("no author") << QString::fromUtf8("草枕　夏目漱石の小説より") << ""
                                   << QString::fromUtf8("草枕　夏目漱石の小説より");
        QTest::newRow("markup is text") << "<img src=\"x.png\"> & <b>bold</b>"
                                        << "A&amp;B"
                                        << "<img src=\"x.png\"> & <b>bold</b>\nA&amp;B";
    }

    void tooltipShowsTheWholeBook()
    {
        QFETCH(QString, title);
        QFETCH(QString, author);
        QFETCH(QString, shown);
        BookInfo book(QStringLiteral("b"), title, author, 1, {}, QDateTime::currentDateTime());
        BookListGridItemForm tile;
        tile.setBook(&book);
        BookListVerticalItemForm row;
        row.setBook(&book);
        for (const QWidget* form : { static_cast<QWidget*>(&tile), static_cast<QWidget*>(&row) }) {
            QTextDocument rendered;
            rendered.setHtml(form->toolTip());
            QCOMPARE(lf::test::withoutIsolates(rendered.toPlainText()), shown);
        }
    }

    // A tile's tooltip is shown for the list, away from the tile's hover style
    // sheet, which would make it transparent.
    void tileTooltipIsOpaque()
    {
        addBooks(kShelf);
        BookListWidget list;
        list.resize(500, 400);
        list.drawList(true, 1);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        QWidget* tile = list.itemWidget(list.item(0));
        QEvent enter(QEvent::Enter);
        QApplication::sendEvent(tile, &enter);
        auto* title = tile->findChild<QLabel*>(QStringLiteral("book_name_label"));
        QHelpEvent help(QEvent::ToolTip, title->rect().center(), title->mapToGlobal(title->rect().center()));
        QApplication::sendEvent(title, &help);
        QTRY_VERIFY(QToolTip::isVisible());
        QCOMPARE(QToolTip::text(), tile->toolTip());
        QWidget* tip = nullptr;
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (widget->objectName() == QLatin1String("qtooltip_label") && widget->isVisible())
                tip = widget;
        }
        QVERIFY(tip);
        QCOMPARE(tip->grab().toImage().pixelColor(3, 3).alpha(), 255);
        QToolTip::hideText();
    }

    // An empty pane says why: how to add a book, or that the search found none.
    void emptyPaneSaysWhy_data()
    {
        QTest::addColumn<QStringList>("books");
        QTest::addColumn<QString>("search");
        QTest::addColumn<QString>("hintMentions"); // empty: no hint

        QTest::newRow("empty bookcase") << QStringList {} << "" << QStringLiteral(".epub");
        QTest::newRow("empty bookcase, searching") << QStringList {} << "moby" << QStringLiteral(".epub");
        QTest::newRow("search finds none") << kShelf << "no such book" << QStringLiteral("no such book");
        QTest::newRow("search finds one") << kShelf << "dick" << QString();
        QTest::newRow("books shown") << kShelf << "" << QString();
    }

    void emptyPaneSaysWhy()
    {
        QFETCH(QStringList, books);
        QFETCH(QString, search);
        QFETCH(QString, hintMentions);
        addBooks(books);
        BookListWidget list;
        list.drawList(true, 0);
        list.searchInList(search);
        QCOMPARE(list.emptyStateHint().isEmpty(), hintMentions.isEmpty());
        QVERIFY(list.emptyStateHint().contains(hintMentions));
    }

    void newBookGoesToItsSortedPlace_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("book");
        QTest::addColumn<int>("position");
        QTest::addColumn<QStringList>("expected");

        const QString nora = QStringLiteral("nora|Nora|Ibsen|1550000000000");
        QTest::newRow("by title") << 1 << nora << -1 << QStringList { "alice", "moby", "nora", "zeta" };
        QTest::newRow("newest") << 0 << nora << -1 << QStringList { "alice", "moby", "nora", "zeta" };
        QTest::newRow("by author") << 2 << nora << -1 << QStringList { "moby", "nora", "zeta", "alice" };
        QTest::newRow("past the end appends") << 1 << nora << 40 << QStringList { "alice", "moby", "zeta", "nora" };
        QTest::newRow("negative goes first") << 1 << nora << -3 << QStringList { "nora", "alice", "moby", "zeta" };
        QTest::newRow("unknown order: alone") << 7 << nora << -1 << QStringList { "nora" };
    }

    void newBookGoesToItsSortedPlace()
    {
        QFETCH(int, mode);
        QFETCH(QString, book);
        QFETCH(int, position);
        QFETCH(QStringList, expected);
        addBooks(kShelf);
        BookListWidget list;
        list.drawList(true, mode);
        QList<QWidget*> forms;
        for (int row = 0; row < list.count(); ++row)
            forms.append(list.itemWidget(list.item(row)));

        addBooks({ book });
        BookInfo* record = store().bookInfo(book.section(QLatin1Char('|'), 0, 0));
        if (position == -1)
            list.addBookItem(record);
        else
            list.addBookItem(record, position);
        QCOMPARE(namesInList(list), expected);
        // The items already there keep their forms.
        for (int row = 0; row < list.count(); ++row) {
            QWidget* form = list.itemWidget(list.item(row));
            QCOMPARE(forms.contains(form), list.item(row)->data(Qt::UserRole) != book.section(QLatin1Char('|'), 0, 0));
        }
        list.addBookItem(nullptr);
        QCOMPARE(list.count(), expected.size());
    }

    void tileTintsAfterTheMouseLeaves_data()
    {
        QTest::addColumn<QList<int>>("events");
        QTest::addColumn<QString>("style");

        QTest::newRow("never entered") << QList<int> {} << "";
        QTest::newRow("under the mouse") << QList<int> { QEvent::Enter } << "background-color:transparent;";
        QTest::newRow("entered and left")
            << QList<int> { QEvent::Enter, QEvent::Leave } << "background-color: rgba(0,255,0,50);";
        QTest::newRow("back again") << QList<int> { QEvent::Enter, QEvent::Leave, QEvent::Enter }
                                    << "background-color:transparent;";
    }

    void tileTintsAfterTheMouseLeaves()
    {
        QFETCH(QList<int>, events);
        QFETCH(QString, style);
        BookListGridItemForm tile;
        for (int type : events) {
            QEvent event(static_cast<QEvent::Type>(type));
            QApplication::sendEvent(&tile, &event);
        }
        QCOMPARE(tile.styleSheet(), style);
    }

    void coverIsShownSharp_data()
    {
        QTest::addColumn<QString>("cover");
        QTest::addColumn<bool>("shown");

        QTest::newRow("cover image") << "EPUB/wasteland-cover.jpg" << true;
        QTest::newRow("missing file") << "EPUB/nothing.jpg" << false;
        QTest::newRow("not an image") << "EPUB/wasteland.opf" << false;
        QTest::newRow("no cover") << "" << false;
        // A few bytes that declare gigabytes of pixels are refused unread.
        QTest::newRow("absurd declared size") << "huge.png" << false;
    }

    void coverIsShownSharp()
    {
        QFETCH(QString, cover);
        QFETCH(bool, shown);
        extractCorpusBook(QStringLiteral("wasteland.epub"), QStringLiteral("waste"));
        QFile huge(BookcaseFile::bookFolder(QStringLiteral("waste/huge.png")));
        QVERIFY(huge.open(QIODevice::WriteOnly));
        huge.write(pngHeader(30000, 30000));
        huge.close();
        BookInfo book(QStringLiteral("waste"), {}, {}, 1, cover, QDateTime::currentDateTime());
        const QImage noCover = QPixmap(QStringLiteral(":/elc/Icon/img_noCover.png")).toImage();

        BookListGridItemForm tile;
        tile.setBook(&book);
        QCOMPARE(tile.getBookImage().toImage() == noCover, !shown);
        BookListVerticalItemForm row;
        row.setBook(&book);
        QCOMPARE(labelImage(&row), noCover);
        row.show();
        QVERIFY(QTest::qWaitForWindowExposed(&row));
        for (QWidget* form : { static_cast<QWidget*>(&tile), static_cast<QWidget*>(&row) }) {
            const QImage image = labelImage(form);
            QCOMPARE(image == noCover, !shown);
            // Decoded at the label's size, not scaled from the 600-pixel original at paint time.
            if (shown)
                QCOMPARE(image.size(), form == &tile ? QSize(90, 123) : QSize(65, 90));
        }
    }

    // A cover href that climbs out through a folder named "x?" or "x#" shows
    // nothing from outside the book, whether the book is imported now or its
    // record was written with the raw href; an encoded "?" in a name is the
    // book's own picture.
    void coverNeverComesFromOutsideTheBook_data()
    {
        QTest::addColumn<QByteArray>("href");
        QTest::addColumn<bool>("recordedRaw");
        QTest::addColumn<bool>("ownCover");
        QTest::newRow("after a query") << QByteArray("x?/../../../outside.png") << false << false;
        QTest::newRow("after a fragment") << QByteArray("x#/../../../outside.png") << false << false;
        QTest::newRow("through an encoded query") << QByteArray("x%3F/../../../outside.png") << false << false;
        QTest::newRow("through an encoded fragment") << QByteArray("x%23/../../../outside.png") << false << false;
        QTest::newRow("recorded raw, after a query") << QByteArray("x?/../../../outside.png") << true << false;
        QTest::newRow("encoded query in the name") << QByteArray("a%3Fb.png") << false << true;
    }

    void coverNeverComesFromOutsideTheBook()
    {
        QFETCH(QByteArray, href);
        QFETCH(bool, recordedRaw);
        QFETCH(bool, ownCover);
        QFile outside(lf::dataDirectory() + QStringLiteral("outside.png"));
        QVERIFY(outside.open(QIODevice::WriteOnly));
        outside.write(pngOf(Qt::red));
        outside.close();
        QFile archive(lf::test::privateTempDir() + QStringLiteral("/covered.epub"));
        QVERIFY(archive.open(QIODevice::WriteOnly));
        archive.write(bookWithCover(href));
        archive.close();
        const QString bookDir = BookcaseFile::bookFolder(QStringLiteral("covered")) + QLatin1Char('/');
        QVERIFY(UnzipThread::extractArchive(archive.fileName(), bookDir));
        QVERIFY(QFileInfo(bookDir + QStringLiteral("OEBPS/x?")).isDir());
        const std::unique_ptr<EpubData> parsed = EpubParser::parseBook(bookDir);
        QVERIFY(parsed);
        const QString cover = recordedRaw ? QStringLiteral("OEBPS/") + QString::fromUtf8(href) : parsed->coverPath;
        BookInfo book(QStringLiteral("covered"), parsed->metadata.title, {}, 1, cover, QDateTime::currentDateTime());

        BookListGridItemForm tile;
        tile.setBook(&book);
        const QImage shown = tile.getBookImage().toImage();
        const QColor centre = shown.pixelColor(shown.rect().center());
        QVERIFY(centre != QColor(Qt::red));
        QCOMPARE(centre == QColor(Qt::green), ownCover);
    }

    // A large bookcase decodes only the covers that come into view.
    void coversOutOfViewAreNotDecoded()
    {
        extractCorpusBook(QStringLiteral("wasteland.epub"), QStringLiteral("waste"));
        const QString coverPath = BookcaseFile::bookFolder(QStringLiteral("waste")) + QStringLiteral("/EPUB/");
        for (int i = 0; i < 60; ++i) {
            const QString name = QStringLiteral("book%1").arg(i, 2, 10, QLatin1Char('0'));
            QDir().mkpath(BookcaseFile::bookFolder(name));
            QVERIFY(QFile::copy(coverPath + QStringLiteral("wasteland-cover.jpg"),
                BookcaseFile::bookFolder(name) + QStringLiteral("/cover.jpg")));
            store().addBook(BookInfo(name, name, {}, 1, QStringLiteral("cover.jpg"), QDateTime::currentDateTime()));
        }
        const QImage noCover = QPixmap(QStringLiteral(":/elc/Icon/img_noCover.png")).toImage();
        BookListWidget list;
        list.setViewMode(QListView::IconMode);
        list.setResizeMode(QListView::Adjust);
        list.resize(450, 400);
        list.drawList(true, 1);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        QTRY_VERIFY(labelImage(list.itemWidget(list.item(0))) != noCover);
        // Far out of view a book has no tile at all.
        QVERIFY(!list.itemWidget(list.item(59)));

        list.scrollToItem(list.item(59));
        QTRY_VERIFY(list.itemWidget(list.item(59)) && labelImage(list.itemWidget(list.item(59))) != noCover);
        QVERIFY(!list.itemWidget(list.item(0)));
    }

    // Only the books in view (and a margin) have forms; wherever the list is
    // scrolled, each one shows its own book exactly over its item.
    void scrollsThroughTenThousandBooks_data()
    {
        QTest::addColumn<bool>("grid");
        QTest::newRow("tiles") << true;
        QTest::newRow("rows") << false;
    }

    void scrollsThroughTenThousandBooks()
    {
        QFETCH(bool, grid);
        constexpr int kBooks = 10000;
        addNumberedBooks(kBooks);
        BookListWidget list;
        showList(list);
        list.drawList(grid, 1);
        QCOMPARE(namesInList(list), store().sortedNames(1));

        QScrollBar* bar = list.verticalScrollBar();
        for (const int value : { 0, bar->maximum() / 3, bar->maximum() / 3 + 7, bar->maximum() }) {
            bar->setValue(value);
            QCoreApplication::processEvents();
            FormCount count;
            checkFormsInView(list, grid, count);
            QVERIFY(count.inView > 0);
            QVERIFY2(count.forms <= 4 * count.inView,
                qPrintable(QStringLiteral("%1 forms for %2 shown").arg(count.forms).arg(count.inView)));
        }
        QVERIFY(list.itemWidget(list.item(kBooks - 1)));
        QVERIFY(!list.itemWidget(list.item(0)));
        // A tile the mouse passed over keeps its tint when it comes back into view.
        bar->setValue(0);
        QCoreApplication::processEvents();
        QWidget* first = list.itemWidget(list.item(0));
        for (const QEvent::Type type : { QEvent::Enter, QEvent::Leave }) {
            QEvent event(type);
            QApplication::sendEvent(first, &event);
        }
        const QString tint = first->styleSheet();
        bar->setValue(bar->maximum());
        bar->setValue(0);
        QCoreApplication::processEvents();
        QCOMPARE(list.itemWidget(list.item(0))->styleSheet(), grid ? tint : QString());
    }

    // After a search, a new order, a new book or a removal, the rows in view
    // (and only shown rows) carry forms, each over its own book.
    void formsFollowSearchOrderAndChanges_data()
    {
        QTest::addColumn<bool>("grid");
        QTest::addColumn<QString>("search");
        QTest::addColumn<int>("order");
        QTest::addColumn<int>("scrollTo");
        QTest::addColumn<QString>("change");
        QTest::addColumn<int>("shownRows");

        QTest::newRow("tiles, a few found") << true << "T12" << 1 << 0 << "" << 111;
        QTest::newRow("tiles, found far down") << true << "T299" << 1 << 0 << "" << 11;
        QTest::newRow("rows, by author, scrolled") << false << "" << 2 << 2000 << "" << 3000;
        QTest::newRow("tiles, nothing found") << true << "none such" << 0 << 0 << "" << 0;
        QTest::newRow("tiles, book added on top") << true << "" << 0 << 0 << "add" << 3001;
        QTest::newRow("rows, first removed") << false << "" << 1 << 0 << "remove" << 2999;
        QTest::newRow("tiles, search then removal") << true << "T1" << 1 << 0 << "remove" << 1110;
        // A cover drawn meanwhile renews one form and keeps mode, order and search.
        QTest::newRow("rows, search then a cover drawn") << false << "T1" << 2 << 0 << "refresh" << 1111;
        QTest::newRow("tiles, a cover drawn, scrolled") << true << "" << 1 << 2000 << "refresh" << 3000;
    }

    void formsFollowSearchOrderAndChanges()
    {
        QFETCH(bool, grid);
        QFETCH(QString, search);
        QFETCH(int, order);
        QFETCH(int, scrollTo);
        QFETCH(QString, change);
        QFETCH(int, shownRows);
        addNumberedBooks(3000);
        BookListWidget list;
        showList(list);
        list.drawList(!grid, 0);
        list.drawList(grid, order);
        list.searchInList(search);
        if (change == QLatin1String("add")) {
            QDir().mkpath(BookcaseFile::bookFolder(QStringLiteral("new")));
            store().addBook(BookInfo(QStringLiteral("new"), QStringLiteral("New"), {}, 1, {},
                QDateTime::fromMSecsSinceEpoch(1700000000000)));
            list.addBookItem(store().bookInfo(QStringLiteral("new")));
        } else if (change == QLatin1String("remove")) {
            const int first = list.indexAt(QPoint(5, 5)).row();
            QVERIFY(first >= 0);
            list.removeBookRow(list.item(first)->data(Qt::UserRole).toString());
        } else if (change == QLatin1String("refresh")) {
            const int first = list.indexAt(QPoint(5, 5)).row();
            QVERIFY(first >= 0);
            const QWidget* before = list.itemWidget(list.item(first));
            list.refreshBookItem(list.item(first)->data(Qt::UserRole).toString());
            QVERIFY(list.itemWidget(list.item(first)) && list.itemWidget(list.item(first)) != before);
        }
        list.scrollToItem(list.item(qMin(scrollTo, list.count() - 1)));
        QCoreApplication::processEvents();

        FormCount count;
        checkFormsInView(list, grid, count);
        QCOMPARE(count.shown, shownRows);
        QVERIFY(count.forms <= 4 * count.inView);
        QCOMPARE(list.emptyStateHint().isEmpty(), shownRows > 0);
    }
};

LF_TEST_MAIN(TestBookListWidget)
#include "tst_booklistwidget.moc"
