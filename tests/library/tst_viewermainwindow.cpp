// The library window with real books: the import queue under its overlay, the
// reload question and the refusal messages, drops, view switching, the title
// bar and the hand-over from a real second process. The import pipeline itself
// is tested without a window in tst_bookimporter.
#include "app/handoff.h"
#include "app/instancelock.h"
#include "app/startup.h"
#include "base/appconstants.h"
#include "base/bookname.h"
#include "base/datadirectory.h"
#include "base/displaytext.h"
#include "library/booklistcontrol.h"
#include "library/booklistgriditemform.h"
#include "library/booklistverticalitemform.h"
#include "library/booklistwidget.h"
#include "library/coverrenderer.h"
#include "library/importrefusal.h"
#include "library/viewermainwindow.h"
#include "reader/viewerviewwindow.h"
#include "showntext.h"
#include "testsupport.h"
#include "uidriver.h"
#include "update/versioninfodialog.h"
#include "widgets/vieweralertform.h"
#include "widgets/viewerdefaultdialog.h"
#include "ziparchivewriter.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSet>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTimer>
#include <QTranslator>
#include <QUdpSocket>

namespace {

using lf::test::DialogAnswerer;

const QStringList kThreeBooks = { QStringLiteral("minimal-epub2.epub"), QStringLiteral("wasteland.epub"),
    QStringLiteral("childrens-literature.epub") };

QByteArray bookcaseRecordsFile()
{
    QFile file(lf::dataDirectory() + lf::kBookcaseFileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QJsonArray bookcaseRecords()
{
    QFile file(lf::dataDirectory() + lf::kBookcaseFileName);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object().value(QStringLiteral("bookInfos")).toArray();
}

bool isInsideOverlay(QWidget* widget)
{
    for (; widget; widget = widget->parentWidget()) {
        if (qobject_cast<ViewerAlertForm*>(widget))
            return true;
    }
    return false;
}

// A one-page book whose package, title and creator carry the `dir` given
// (none when empty).
QByteArray bookWithDirections(const QByteArray& packageDir, const QByteArray& titleDir, const QString& title,
    const QByteArray& creatorDir, const QString& creator)
{
    const auto dir = [](const QByteArray& value) { return value.isEmpty() ? QByteArray() : " dir=\"" + value + "\""; };
    ZipArchiveWriter zip;
    zip.addFile("mimetype", "application/epub+zip", false);
    zip.addFile("META-INF/container.xml",
        "<container><rootfiles><rootfile full-path=\"content.opf\" "
        "media-type=\"application/oebps-package+xml\"/></rootfiles></container>");
    zip.addFile("content.opf",
        "<package version=\"3.0\"" + dir(packageDir)
            + " xmlns:dc=\"http://purl.org/dc/elements/1.1/\"><metadata><dc:title" + dir(titleDir) + ">"
            + title.toUtf8() + "</dc:title><dc:creator" + dir(creatorDir) + ">" + creator.toUtf8()
            + "</dc:creator></metadata><manifest><item id=\"p\" href=\"p.xhtml\" "
              "media-type=\"application/xhtml+xml\"/></manifest><spine><itemref idref=\"p\"/></spine></package>");
    zip.addFile("p.xhtml", "<html xmlns=\"http://www.w3.org/1999/xhtml\"><body><p>p</p></body></html>");
    return zip.archive();
}

// Whether a label draws its text's "!" left of its first letter: right to left.
bool runsRightToLeft(const QLabel* label)
{
    const QString text = label->text();
    int first = 0;
    while (first < text.size() && text.at(first).category() == QChar::Other_Format)
        ++first;
    return lf::test::drawnRightToLeft(text, first, text.indexOf(QLatin1Char('!')), label->font());
}

QStringList listedNames(BookListWidget* list)
{
    QStringList names;
    for (int row = 0; row < list->count(); ++row)
        names << list->item(row)->data(Qt::UserRole).toString();
    return names;
}

} // namespace

class TestViewerMainWindow : public QObject
{
    Q_OBJECT

private:
    QString m_books;
    std::unique_ptr<ViewerMainWindow> m_window;

    ViewerMainWindow* window()
    {
        if (!m_window) {
            m_window = std::make_unique<ViewerMainWindow>();
            lf::setLibraryWindow(m_window.get());
            m_window->show();
        }
        return m_window.get();
    }
    BookListWidget* list() { return window()->findChild<BookListWidget*>(QStringLiteral("book_list_widget")); }
    template <typename T> T* child(const char* name) { return window()->findChild<T*>(QString::fromLatin1(name)); }

    QString book(const QString& fileName) { return lf::test::copyCorpusBook(fileName, m_books); }

    // Waits for the queue to run dry, noting every overlay seen on the way.
    QSet<ViewerAlertForm*> waitForImports(int timeoutMs = 60000)
    {
        QSet<ViewerAlertForm*> overlays;
        QDeadlineTimer deadline(timeoutMs);
        do {
            if (auto* overlay = window()->findChild<ViewerAlertForm*>())
                overlays.insert(overlay);
            QTest::qWait(5);
        } while (window()->isImporting() && !deadline.hasExpired());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return overlays;
    }

    void sendDrop(const QList<QUrl>& urls)
    {
        // As a real drag: entering, moving, dropping.
        QMimeData data;
        data.setUrls(urls);
        const QPoint at(400, 300);
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window(), &enter);
        QVERIFY(enter.isAccepted());
        QDragMoveEvent move(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window(), &move);
        QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window(), &drop);
    }

private slots:
    void initTestCase() { m_books = lf::test::privateTempDir() + QStringLiteral("/books"); }

    void cleanup()
    {
        m_window.reset();
        lf::setLibraryWindow(nullptr);
        BookListControl::instance()->clear();
        lf::test::clearDataDirectory();
    }

    void importsAQueueUnderOneOverlay_data()
    {
        QTest::addColumn<bool>("byDrop");
        QTest::newRow("open dialog list") << false;
        QTest::newRow("drop") << true;
    }

    void importsAQueueUnderOneOverlay()
    {
        QFETCH(bool, byDrop);
        QStringList paths;
        for (const QString& name : kThreeBooks)
            paths << book(name);

        if (byDrop) {
            QList<QUrl> urls;
            for (const QString& path : paths)
                urls << QUrl::fromLocalFile(path);
            sendDrop(urls);
        } else {
            window()->filesOpen(paths);
        }
        QVERIFY(window()->isImporting());
        // The overlay covers toolbar and list: a click there lands on it.
        auto* central = window()->centralWidget();
        for (const char* name : { "book_list_vertical_button", "book_list_widget", "toolbar_open_files_button" }) {
            auto* widget = child<QWidget>(name);
            QWidget* hit = central->childAt(widget->mapTo(central, widget->rect().center()));
            QVERIFY2(isInsideOverlay(hit), name);
        }
        const QSet<ViewerAlertForm*> overlays = waitForImports();
        QCOMPARE(overlays.size(), 1);
        QVERIFY(!window()->findChild<ViewerAlertForm*>());

        // Newest first: the last import leads.
        QCOMPARE(listedNames(list()),
            (QStringList { QStringLiteral("childrens-literature"), QStringLiteral("wasteland"),
                QStringLiteral("minimal-epub2") }));
        QCOMPARE(bookcaseRecords().size(), 3);
        const BookInfo* wasteland = BookListControl::instance()->bookInfo(QStringLiteral("wasteland"));
        QVERIFY(wasteland);
        QCOMPARE(wasteland->bookName(), QStringLiteral("The Waste Land"));
        QCOMPARE(wasteland->bookSize(), QFileInfo(paths.at(1)).size());
        QVERIFY(QFileInfo::exists(lf::dataDirectory() + QStringLiteral("wasteland/mimetype")));
    }

    void dropTakesOnlyPathsMentioningEpub()
    {
        const QString text = m_books + QStringLiteral("/notes.txt");
        QFile::copy(lf::test::corpusDir() + QStringLiteral("/README.md"), text);
        sendDrop({ QUrl::fromLocalFile(text) });
        QVERIFY(!window()->isImporting());
        QCOMPARE(list()->count(), 0);

        // ".epub" anywhere in the path is enough; the book name loses it.
        const QString zipped = m_books + QStringLiteral("/a.EPUB.zip");
        QFile::remove(zipped);
        QVERIFY(QFile::copy(book(QStringLiteral("minimal-epub3.epub")), zipped));
        sendDrop({ QUrl::fromLocalFile(zipped) });
        QVERIFY(window()->isImporting());
        waitForImports();
        QCOMPARE(listedNames(list()), QStringList { QStringLiteral("a.zip") });
    }

    // Another file of the name of a book already in the library asks, and "No"
    // still opens the book the user asked to read.
    void reloadQuestion_data()
    {
        QTest::addColumn<bool>("open");
        QTest::addColumn<QByteArray>("button");
        QTest::addColumn<bool>("replaced");
        QTest::newRow("no keeps and opens the old book") << true << QByteArray("no_button") << false;
        QTest::newRow("close keeps the old book") << false << QByteArray("close_button") << false;
        QTest::newRow("yes replaces it") << true << QByteArray("yes_button") << true;
    }

    void reloadQuestion()
    {
        QFETCH(bool, open);
        QFETCH(QByteArray, button);
        QFETCH(bool, replaced);
        const QString path = book(QStringLiteral("wasteland.epub"));
        window()->fileUnzipAndEncyption(path);
        waitForImports();
        const QString marker = lf::dataDirectory() + QStringLiteral("wasteland/marker");
        QFile(marker).open(QIODevice::WriteOnly);
        const QDateTime firstAdded = BookListControl::instance()->bookInfo(QStringLiteral("wasteland"))->addTime();

        // Another book saved under the same file name.
        QVERIFY(QDir().mkpath(m_books + QStringLiteral("/other")));
        const QString again = m_books + QStringLiteral("/other/wasteland.epub");
        QFile::remove(again);
        QVERIFY(QFile::copy(book(QStringLiteral("minimal-epub3.epub")), again));
        DialogAnswerer answerer(button.constData());
        window()->fileUnzipAndEncyption(again, open);
        waitForImports();
        QCOMPARE(answerer.answered, 1);
        QCOMPARE(lf::test::withoutIsolates(answerer.title), QStringLiteral("\"wasteland\" exist"));
        QCOMPARE(QFileInfo::exists(marker), !replaced);
        QCOMPARE(listedNames(list()), QStringList { QStringLiteral("wasteland") });
        const BookInfo* record = BookListControl::instance()->bookInfo(QStringLiteral("wasteland"));
        QVERIFY(record);
        QCOMPARE(record->addTime() != firstAdded, replaced);
        QCOMPARE(bookcaseRecords().size(), 1);
        const bool opened = open && button != "close_button";
        QTRY_COMPARE(window()->epubViewer() != nullptr, opened);
        if (opened)
            QCOMPARE(window()->epubViewer()->bookName(), QStringLiteral("wasteland"));
    }

    // Refused files never hold the queue up: every good book of the batch is
    // in, then one message lists each refused file with its reason.
    void refusalsOfABatchAreToldOnce_data()
    {
        QTest::addColumn<int>("refused");
        QTest::newRow("one") << 1;
        QTest::newRow("three among the books") << 3;
        QTest::newRow("more than are listed") << ImportRefusal::kMaxListed + 2;
    }

    void refusalsOfABatchAreToldOnce()
    {
        QFETCH(int, refused);
        QStringList queue;
        QList<ImportRefusal::Refused> expected;
        for (int i = 0; i < refused; ++i) {
            // Alternately no archive at all, and a name that reverses what follows it.
            const QString name = i % 2 ? QStringLiteral("\u202Ebupe.%1exe").arg(i) : QStringLiteral("broken%1").arg(i);
            queue << m_books + QLatin1Char('/') + name + QStringLiteral(".epub");
            QVERIFY(lf::test::writeFile(queue.last(), "plain text, not a book"));
            expected.append({ name, ImportRefusal::NotAnArchive });
            if (i < kThreeBooks.size())
                queue << book(kThreeBooks.at(i));
        }
        window()->filesOpen(queue);
        waitForImports();
        QCOMPARE(listedNames(list()).size(), qMin(refused, int(kThreeBooks.size())));

        auto* message = qobject_cast<ViewerDefaultDialog*>(QApplication::activeModalWidget());
        QVERIFY(message);
        QCOMPARE(window()->findChildren<ViewerDefaultDialog*>().size(), 1);
        const QString title = message->findChild<QLabel*>(QStringLiteral("title_label"))->text();
        const QString text = message->findChild<QLabel*>(QStringLiteral("message_label"))->text();
        QCOMPARE(title, ImportRefusal::title(expected));
        const QStringList lines = text.split(QLatin1Char('\n'));
        if (refused == 1) {
            QVERIFY(title.contains(lf::isolated(expected.first().name)));
        } else {
            QCOMPARE(lines.size(), qMin(refused, ImportRefusal::kMaxListed + 1));
            for (int i = 0; i < qMin(refused, ImportRefusal::kMaxListed); ++i)
                QVERIFY2(lines.at(i).contains(lf::isolated(expected.at(i).name)), qPrintable(lines.at(i)));
        }
        DialogAnswerer answerer("yes_button");
        QTRY_COMPARE(answerer.answered, 1);
        QTRY_VERIFY(!window()->findChild<ViewerDefaultDialog*>());
    }

    // The direction a book declares for its title and author (on the element,
    // else on the package) is the one its tile, its row and the reader show.
    void titlesRunInTheDeclaredDirection_data()
    {
        QTest::addColumn<QByteArray>("packageDir");
        QTest::addColumn<QByteArray>("titleDir");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QByteArray>("creatorDir");
        QTest::addColumn<bool>("titleRtl");
        QTest::addColumn<bool>("authorRtl");
        const QString hebrew = QStringLiteral("\u05e9\u05dc\u05d5\u05dd!");
        QTest::newRow("title rtl") << QByteArray() << QByteArray("rtl") << hebrew << QByteArray() << true << false;
        QTest::newRow("package rtl") << QByteArray("rtl") << QByteArray() << "Abc!" << QByteArray() << true << true;
        QTest::newRow("title ltr over package rtl")
            << QByteArray("rtl") << QByteArray("ltr") << hebrew << QByteArray() << false << true;
        QTest::newRow("creator rtl") << QByteArray() << QByteArray() << "Abc!" << QByteArray("rtl") << false << true;
        QTest::newRow("undeclared hebrew") << QByteArray() << QByteArray() << hebrew << QByteArray() << true << false;
        QTest::newRow("undeclared latin") << QByteArray() << QByteArray() << "Abc!" << QByteArray() << false << false;
    }

    void titlesRunInTheDeclaredDirection()
    {
        QFETCH(QByteArray, packageDir);
        QFETCH(QByteArray, titleDir);
        QFETCH(QString, title);
        QFETCH(QByteArray, creatorDir);
        QFETCH(bool, titleRtl);
        QFETCH(bool, authorRtl);
        const QString path = m_books + QStringLiteral("/directed.epub");
        QVERIFY(lf::test::writeFile(
            path, bookWithDirections(packageDir, titleDir, title, creatorDir, QStringLiteral("Ann Author!"))));
        window()->fileUnzipAndEncyption(path, true);
        waitForImports();

        for (const bool grid : { true, false }) {
            list()->drawList(grid, 1);
            QTRY_VERIFY(list()->count() == 1 && list()->itemWidget(list()->item(0)));
            QWidget* form = list()->itemWidget(list()->item(0));
            const auto* shownTitle
                = form->findChild<QLabel*>(QLatin1String(grid ? "book_name_label" : "chapter_label"));
            QCOMPARE(lf::test::shownText(shownTitle), title);
            QCOMPARE(runsRightToLeft(shownTitle), titleRtl);
            if (!grid)
                QCOMPARE(runsRightToLeft(form->findChild<QLabel*>(QStringLiteral("book_authors_label"))), authorRtl);
        }
        QTRY_VERIFY(window()->epubViewer());
        const auto* readerTitle = window()->epubViewer()->findChild<QLabel*>(QStringLiteral("title_label"));
        QCOMPARE(lf::test::shownText(readerTitle), title);
        QCOMPARE(runsRightToLeft(readerTitle), titleRtl);
    }

    // Answering "Yes" to the reload question with a file that turns out to be
    // no book keeps the old book's record, row and bookcase file.
    void failedReimportKeepsTheOldBook()
    {
        window()->fileUnzipAndEncyption(book(QStringLiteral("wasteland.epub")));
        waitForImports();
        const QByteArray bookcase = bookcaseRecordsFile();

        const QString other = m_books + QStringLiteral("/other/wasteland.epub");
        QVERIFY(lf::test::writeFile(other, "plain text, not a book"));
        DialogAnswerer answerer("yes_button");
        window()->fileUnzipAndEncyption(other);
        waitForImports();

        QTRY_COMPARE(answerer.answered, 2); // the reload question, then why the book was refused
        QCOMPARE(bookcaseRecordsFile(), bookcase);
        QCOMPARE(listedNames(list()), QStringList { QStringLiteral("wasteland") });
        QVERIFY(list()->itemWidget(list()->item(0)));
    }

    // Quitting while a large book is extracted returns at once and leaves
    // neither the book nor its staging folder.
    void quittingMidImportIsQuickAndLeavesNothing()
    {
        ZipArchiveWriter writer;
        writer.addFile("mimetype", "application/epub+zip", false);
        // 1,000 pages of 1 MiB, about 24 MB compressed: a large book, not a bomb.
        QByteArray page(1 << 20, ' ');
        QRandomGenerator generator(1);
        for (int i = 0; i < page.size(); i += 64)
            page[i] = static_cast<char>('a' + generator.bounded(26));
        for (int i = 0; i < 1000; ++i)
            writer.addFile("OEBPS/page" + QByteArray::number(i) + ".xhtml", page);
        QDir().mkpath(m_books);
        QFile file(m_books + QStringLiteral("/big.epub"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(writer.archive());
        file.close();

        window()->fileUnzipAndEncyption(file.fileName());
        QTRY_VERIFY(!lf::test::stagingFolders().isEmpty()
            && QFileInfo::exists(
                lf::dataDirectory() + lf::test::stagingFolders().first() + QStringLiteral("/content/OEBPS")));
        QElapsedTimer timer;
        timer.start();
        m_window.reset();
        lf::setLibraryWindow(nullptr);
        QVERIFY2(timer.elapsed() < 500, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(lf::test::stagingFolders(), QStringList());
        QVERIFY(!QFileInfo::exists(lf::dataDirectory() + QStringLiteral("big")));
    }

    void viewButtonsFormAPair()
    {
        QStringList paths { book(QStringLiteral("minimal-epub2.epub")), book(QStringLiteral("wasteland.epub")) };
        window()->filesOpen(paths);
        waitForImports();
        auto* grid = child<QPushButton>("book_list_gridview_button");
        auto* rows = child<QPushButton>("book_list_vertical_button");
        QVERIFY(grid->isChecked() && !grid->isEnabled() && !rows->isChecked() && rows->isEnabled());
        QVERIFY(qobject_cast<BookListGridItemForm*>(list()->itemWidget(list()->item(0))));

        QTest::mouseClick(rows, Qt::LeftButton);
        QVERIFY(!grid->isChecked() && grid->isEnabled() && rows->isChecked() && !rows->isEnabled());
        QVERIFY(qobject_cast<BookListVerticalItemForm*>(list()->itemWidget(list()->item(0))));

        QTest::mouseClick(grid, Qt::LeftButton);
        QVERIFY(grid->isChecked() && !grid->isEnabled() && !rows->isChecked() && rows->isEnabled());
        QVERIFY(qobject_cast<BookListGridItemForm*>(list()->itemWidget(list()->item(0))));

        // A hidden row comes back with any redraw.
        child<QLineEdit>("book_search_line_edit")->setText(QStringLiteral("waste"));
        QCOMPARE(list()->item(0)->isHidden() + list()->item(1)->isHidden(), 1);
        child<QComboBox>("book_list_sort_combobox")->setCurrentIndex(2); // by author: minimal-epub2 has none
        QCOMPARE(listedNames(list()), (QStringList { QStringLiteral("minimal-epub2"), QStringLiteral("wasteland") }));
        QVERIFY(!list()->item(0)->isHidden() && !list()->item(1)->isHidden());
    }

    // A book without a cover gets a drawing of its first page once it is in;
    // the list then shows it in the view, order and search chosen meanwhile.
    void aDrawnCoverKeepsTheChosenList_data()
    {
        QTest::addColumn<bool>("rows");
        QTest::addColumn<int>("order");
        QTest::addColumn<QString>("search");
        QTest::addColumn<QStringList>("shown");
        const QString coverless = QStringLiteral("minimal-epub2");
        const QString wasteland = QStringLiteral("wasteland");
        QTest::newRow("rows, newest first") << true << 0 << QString() << QStringList { coverless, wasteland };
        QTest::newRow("rows by title") << true << 1 << QString() << QStringList { wasteland, coverless };
        QTest::newRow("tiles by author, searched") << false << 2 << "your" << QStringList { coverless };
    }

    void aDrawnCoverKeepsTheChosenList()
    {
        QFETCH(bool, rows);
        QFETCH(int, order);
        QFETCH(QString, search);
        QFETCH(QStringList, shown);
        window()->fileUnzipAndEncyption(book(QStringLiteral("wasteland.epub")));
        waitForImports();
        if (rows)
            QTest::mouseClick(child<QPushButton>("book_list_vertical_button"), Qt::LeftButton);
        child<QComboBox>("book_list_sort_combobox")->setCurrentIndex(order);
        child<QLineEdit>("book_search_line_edit")->setText(search);

        QSignalSpy drawn(window()->findChild<CoverRenderer*>(), SIGNAL(coverRendered(QString)));
        window()->fileUnzipAndEncyption(book(QStringLiteral("minimal-epub2.epub")));
        waitForImports();
        // The drawing may be done while the import is waited for.
        QVERIFY(!drawn.isEmpty() || drawn.wait(30000));
        QStringList visible;
        for (int row = 0; row < list()->count(); ++row) {
            QWidget* form = list()->itemWidget(list()->item(row));
            QCOMPARE(qobject_cast<BookListVerticalItemForm*>(form) != nullptr, rows);
            if (!list()->item(row)->isHidden())
                visible << list()->item(row)->data(Qt::UserRole).toString();
        }
        QCOMPARE(visible, shown);
    }

    // The row texts keep their colours inside the styled window.
    void rowTextColours_data()
    {
        QTest::addColumn<QByteArray>("label");
        QTest::addColumn<QColor>("colour");
        QTest::newRow("title") << QByteArray("chapter_label") << QColor(51, 51, 51);
        QTest::newRow("size") << QByteArray("book_info_label") << QColor(102, 102, 102);
    }

    void rowTextColours()
    {
        QFETCH(QByteArray, label);
        QFETCH(QColor, colour);
        window()->fileUnzipAndEncyption(book(QStringLiteral("wasteland.epub")));
        waitForImports();
        QTest::mouseClick(child<QPushButton>("book_list_vertical_button"), Qt::LeftButton);
        auto* text = list()->itemWidget(list()->item(0))->findChild<QLabel*>(QString::fromLatin1(label));
        QVERIFY(text);
        // The darkest opaque pixel of the rendered text is the text colour itself.
        const QImage image = text->grab().toImage();
        QColor darkest(Qt::white);
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QColor pixel = image.pixelColor(x, y);
                if (pixel.alpha() == 255 && pixel.lightness() < darkest.lightness())
                    darkest = pixel;
            }
        }
        QCOMPARE(darkest.rgb(), colour.rgb());
    }

    void searchFieldFiltersByTitleAndAuthor_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("visible");
        QTest::newRow("title") << QStringLiteral("WASTE") << QStringList { QStringLiteral("wasteland") };
        QTest::newRow("author") << QStringLiteral("eliot") << QStringList { QStringLiteral("wasteland") };
        QTest::newRow("book name is not searched") << QStringLiteral("minimal-epub2") << QStringList {};
        QTest::newRow("empty shows all") << QString()
                                         << QStringList { QStringLiteral("wasteland"),
                                                QStringLiteral("minimal-epub2") };
    }

    void searchFieldFiltersByTitleAndAuthor()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, visible);
        QStringList paths { book(QStringLiteral("minimal-epub2.epub")), book(QStringLiteral("wasteland.epub")) };
        window()->filesOpen(paths);
        waitForImports();
        child<QPushButton>("book_list_vertical_button")->click();
        auto* field = child<QLineEdit>("book_search_line_edit");
        field->setText(QStringLiteral("zzz"));
        field->setText(text);
        QTest::keyClick(field, Qt::Key_Return);
        // A cover drawn meanwhile leaves the rows, their order and the search as they are.
        for (int drawn = 0; drawn < 2; ++drawn) {
            QStringList shown;
            for (int row = 0; row < list()->count(); ++row) {
                if (list()->item(row)->isHidden())
                    continue;
                shown << list()->item(row)->data(Qt::UserRole).toString();
                QVERIFY(qobject_cast<BookListVerticalItemForm*>(list()->itemWidget(list()->item(row))));
            }
            QCOMPARE(shown, visible);
            QMetaObject::invokeMethod(
                window()->findChild<CoverRenderer*>(), "coverRendered", Q_ARG(QString, QStringLiteral("wasteland")));
        }
    }

    void titleBarDragsTheWindow_data()
    {
        QTest::addColumn<QPoint>("press");
        QTest::addColumn<bool>("moves");
        QTest::newRow("title strip") << QPoint(300, 12) << true;
        QTest::newRow("title strip right edge") << QPoint(700, 29) << true;
        QTest::newRow("below the strip") << QPoint(300, 31) << false;
        QTest::newRow("book list") << QPoint(300, 300) << false;
    }

    void titleBarDragsTheWindow()
    {
        QFETCH(QPoint, press);
        QFETCH(bool, moves);
        window()->move(100, 100);
        const QPoint start = window()->pos();
        QMouseEvent down(QEvent::MouseButtonPress, press, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window(), &down);
        QMouseEvent drag(QEvent::MouseMove, press + QPoint(40, 25), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window(), &drag);
        QMouseEvent up(
            QEvent::MouseButtonRelease, press + QPoint(40, 25), Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(window(), &up);
        QCOMPARE(window()->pos(), moves ? start + QPoint(40, 25) : start);

        // After the release a move without a press does nothing.
        QMouseEvent hover(QEvent::MouseMove, press + QPoint(80, 80), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(window(), &hover);
        QCOMPARE(window()->pos(), moves ? start + QPoint(40, 25) : start);
    }

    void resizePlacesTheChrome()
    {
        window()->resize(1000, 700);
        QCOMPARE(child<QWidget>("border_label")->geometry(), QRect(0, 0, 1000, 700));
        QCOMPARE(child<QWidget>("window_title_bar_widget")->geometry(), QRect(1, 1, 998, 30));
        QCOMPARE(child<QWidget>("window_toolbar_frame")->geometry(), QRect(1, 31, 998, 40));
        QCOMPARE(child<QWidget>("window_book_widget")->geometry(), QRect(1, 71, 998, 628));
        QCOMPARE(child<QWidget>("window_sizegrip_widget")->geometry(), QRect(989, 689, 10, 10));
    }

    void versionButtonShowsTheVersion()
    {
        QString shown;
        QTimer::singleShot(50, [&] {
            auto* dialog = qobject_cast<VersionInfoDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            shown = dialog->findChild<QLabel*>(QStringLiteral("version_label"))->text();
            QTest::mousePress(dialog->findChild<QPushButton*>(QStringLiteral("close_button")), Qt::LeftButton);
        });
        QTest::mouseClick(child<QPushButton>("window_version_info_button"), Qt::LeftButton);
        QCOMPARE(shown, lf::kVersion);
    }

    // Texts that used to be cut, or could be: the sort box's entries, the
    // version dialog's copyright notice and why a book was refused, in both
    // languages.
    void textsFit_data()
    {
        QTest::addColumn<bool>("korean");
        QTest::newRow("English") << false;
        QTest::newRow("Korean") << true;
    }

    void textsFit()
    {
        QFETCH(bool, korean);
        QStringList englishRefusals;
        for (int reason = 0; reason <= ImportRefusal::NotMovedIn; ++reason)
            englishRefusals << ImportRefusal::message(ImportRefusal::Reason(reason));
        QTranslator translator;
        if (korean) {
            QVERIFY(translator.load(lf::test::buildDir() + QStringLiteral("/Resources/lang_ko.qm")));
            QCoreApplication::installTranslator(&translator);
        }
        auto* box = child<QComboBox>("book_list_sort_combobox");
        QVERIFY(QTest::qWaitForWindowExposed(window()));
        QStyleOptionComboBox option;
        option.initFrom(box);
        option.editable = box->isEditable();
        const QRect field
            = box->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, box);
        for (int i = 0; i < box->count(); ++i)
            QVERIFY2(
                box->fontMetrics().horizontalAdvance(box->itemText(i)) <= field.width(), qPrintable(box->itemText(i)));
        QVERIFY(box->geometry().right() < child<QWidget>("search_frame")->geometry().left());

        VersionInfoDialog dialog(window());
        const auto* notice = dialog.findChild<QLabel*>(QStringLiteral("copyright_label"));
        QVERIFY(!notice->text().isEmpty());
        // No word wider than the label, and all its lines within its height.
        QVERIFY(notice->minimumSizeHint().width() <= notice->width());
        QVERIFY(notice->heightForWidth(notice->width()) <= notice->height());
        QVERIFY(dialog.rect().contains(notice->geometry()));

        // Each refusal has its own text, translated, within the message label
        // (which does not wrap).
        ViewerDefaultDialog message(window());
        const auto* label = message.findChild<QLabel*>(QStringLiteral("message_label"));
        QSet<QString> refusals;
        for (int reason = 0; reason < englishRefusals.size(); ++reason) {
            const QString text = ImportRefusal::message(ImportRefusal::Reason(reason));
            refusals.insert(text);
            QVERIFY2(!text.isEmpty() && (text != englishRefusals.at(reason)) == korean, qPrintable(text));
            message.showMessage(ImportRefusal::title(QStringLiteral("book")), {}, text);
            message.ensurePolished();
            QVERIFY2(label->sizeHint().width() <= label->width(), qPrintable(text));
            QVERIFY2(label->sizeHint().height() <= label->height(), qPrintable(text));
        }
        QCOMPARE(refusals.size(), englishRefusals.size());
    }

    // Without translucent windows (here: off-screen) the question's backdrop
    // is the window behind it, dimmed, not black.
    void questionBackdropShowsTheWindow()
    {
        window()->resize(802, 642);
        QVERIFY(QTest::qWaitForWindowExposed(window()));
        const QImage behind = window()->grab().toImage();
        ViewerDefaultDialog dialog(window());
        dialog.setGeometry(window()->geometry());
        dialog.question(QStringLiteral("title"), {}, QStringLiteral("message"));
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        const QImage shown = dialog.grab().toImage();
        for (const QPoint& point : { QPoint(10, 10), QPoint(400, 60), QPoint(60, 400) }) {
            const QColor original = behind.pixelColor(point);
            const QColor dimmed = shown.pixelColor(point);
            QCOMPARE(dimmed.alpha(), 255);
            // rgba(0, 0, 0, 50) over the window: about 80 % of its brightness.
            QVERIFY2(qAbs(dimmed.red() - original.red() * 205 / 255) <= 3,
                qPrintable(QStringLiteral("%1 over %2").arg(dimmed.name(), original.name())));
        }
        dialog.close();
    }

    // The question's dimmed backdrop covers the library window, also when the
    // desktop places the window only after the question opened.
    void questionCoversTheWindowWherever()
    {
        window()->fileUnzipAndEncyption(book(QStringLiteral("wasteland.epub")));
        waitForImports();
        QVERIFY(QDir().mkpath(m_books + QStringLiteral("/other")));
        const QString other = m_books + QStringLiteral("/other/wasteland.epub");
        QFile::remove(other);
        QVERIFY(QFile::copy(book(QStringLiteral("minimal-epub3.epub")), other));
        window()->move(0, 0);
        QRect covered;
        QRect placed;
        QTimer::singleShot(20, this, [&] {
            QWidget* question = QApplication::activeModalWidget();
            QVERIFY(qobject_cast<ViewerDefaultDialog*>(question));
            window()->move(130, 90);
            placed = window()->geometry();
            covered = question->geometry();
            QTest::mousePress(question->findChild<QPushButton*>(QStringLiteral("no_button")), Qt::LeftButton);
        });
        window()->fileUnzipAndEncyption(other);
        waitForImports();
        QCOMPARE(placed.topLeft(), QPoint(130, 90));
        QCOMPARE(covered, placed);
    }

    // A second start without a book brings the running library window forward.
    void secondStartWithoutABookRaisesTheWindow()
    {
        InstanceLock lock; // this test process plays the first instance
        QVERIFY(lock.tryAcquire());
        QUdpSocket* socket = lf::bindHandoffSocket(this);
        QVERIFY(socket);
        lf::setHandoffSocket(socket);
        window()->showMinimized();
        QTRY_VERIFY(window()->isMinimized());

        lf::test::ProgramProcess second;
        second.start({});
        QVERIFY(second.waitForFinished(10000));
        QCOMPARE(second.exitCode(), 0);
        QTRY_VERIFY(!window()->isMinimized());
        QTRY_VERIFY(window()->isActiveWindow());
        QVERIFY(!window()->isImporting());
        lf::setHandoffSocket(nullptr);
        delete socket;
    }

    // A path handed over by a real second start while an import runs waits for
    // that import, is imported next and then opened. The running import is held
    // at its reload question until the hand-over has been read.
    void handedOverPathWaitsForTheRunningImport()
    {
        InstanceLock lock; // this test process plays the first instance
        QVERIFY(lock.tryAcquire());
        QUdpSocket* socket = lf::bindHandoffSocket(this);
        QVERIFY(socket);
        lf::setHandoffSocket(socket);

        const QString running = book(QStringLiteral("moby-dick.epub"));
        const QString handedOver = book(QStringLiteral("wasteland.epub"));
        window()->fileUnzipAndEncyption(running);
        waitForImports();

        bool handedOverWhileImporting = false;
        QTimer::singleShot(20, [&] {
            QVERIFY(qobject_cast<ViewerDefaultDialog*>(QApplication::activeModalWidget()));
            lf::test::ProgramProcess second;
            second.start({ handedOver });
            QVERIFY(second.waitForFinished(10000));
            QCOMPARE(second.exitCode(), 0);
            QTRY_VERIFY(!socket->hasPendingDatagrams());
            handedOverWhileImporting = window()->isImporting();
            QTest::mousePress(QApplication::activeModalWidget()->findChild<QPushButton*>(QStringLiteral("yes_button")),
                Qt::LeftButton);
        });
        QTest::ignoreMessage(QtDebugMsg, "open requested: wasteland");
        // Another file of the same name, so that the import stops at the question.
        QVERIFY(QDir().mkpath(m_books + QStringLiteral("/other")));
        const QString runningAgain = m_books + QStringLiteral("/other/moby-dick.epub");
        QFile::remove(runningAgain);
        QVERIFY(QFile::copy(book(QStringLiteral("minimal-epub3.epub")), runningAgain));
        window()->fileUnzipAndEncyption(runningAgain);
        waitForImports();

        lf::setHandoffSocket(nullptr);
        delete socket;
        QVERIFY(handedOverWhileImporting);
        QCOMPARE(listedNames(list()), (QStringList { QStringLiteral("wasteland"), QStringLiteral("moby-dick") }));
    }
};

LF_TEST_MAIN(TestViewerMainWindow)
#include "tst_viewermainwindow.moc"
