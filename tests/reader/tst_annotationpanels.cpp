// The bookmark, highlight and memo panels, their rows and the memo editor, as real widgets offscreen.
#include "epub/epubdata.h"
#include "reader/panels/viewerbookmarklistform.h"
#include "reader/panels/viewerhighlightitemform.h"
#include "reader/panels/viewerhighlightlistform.h"
#include "reader/panels/viewermemoitemform.h"
#include "reader/panels/viewermemolistform.h"
#include "reader/panels/viewerpageitemform.h"
#include "reader/viewermemoform.h"
#include "showntext.h"
#include "testsupport.h"

#include <QApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTextEdit>

#include <memory>

namespace {
EpubData makeBook(bool withPageList)
{
    EpubData book;
    book.spine = QStringList { "s0", "s1", "s2", "s3", "s4" };
    if (withPageList)
        book.pageList = { { QStringLiteral("iv"), QStringLiteral("s2") },
            { QStringLiteral("<b>v</b>"), QStringLiteral("s3") }, { QStringLiteral("x"), QStringLiteral("s2.xhtml") } };
    return book;
}

QJsonObject jsonObject(const char* json)
{
    return QJsonDocument::fromJson(json).object();
}

QListWidget* listOf(QWidget* panel)
{
    return panel->findChild<QListWidget*>(QStringLiteral("listWidget"));
}

// The form of `row`; rows get forms only while in view, so the panel is shown, tall
// enough for the rows of these tests.
ViewerAnnotationItemForm* rowAt(QWidget* panel, int row)
{
    QListWidget* list = listOf(panel);
    if (!panel->isVisible()) {
        panel->resize(200, 3000);
        panel->show();
    }
    if (!QTest::qWaitFor([list, row] { return list->itemWidget(list->item(row)) != nullptr; }))
        return nullptr;
    return qobject_cast<ViewerAnnotationItemForm*>(list->itemWidget(list->item(row)));
}

// Rows as "page:class name".
QStringList rowsOf(QWidget* panel)
{
    QStringList rows;
    for (int row = 0; row < listOf(panel)->count(); ++row)
        rows.append(
            QStringLiteral("%1:%2").arg(rowAt(panel, row)->getPage_index()).arg(rowAt(panel, row)->getClassName()));
    return rows;
}

template <typename T> T child(QWidget* widget, const char* name)
{
    T found = widget->findChild<T>(QLatin1String(name));
    if (!found)
        qFatal("no child %s", name);
    return found;
}

// The highlight and memo panels share their ordering rules and slot signatures; one table
// drives both, calling the slots by name as the reader's connections do.
std::unique_ptr<QWidget> markPanel(const QString& kind, QJsonObject* index, EpubData* book)
{
    const bool memo = kind == QLatin1String("memo");
    std::unique_ptr<QWidget> panel(
        memo ? static_cast<QWidget*>(new ViewerMemoListForm) : static_cast<QWidget*>(new ViewerHighlightListForm));
    if (!QMetaObject::invokeMethod(
            panel.get(), memo ? "setMemos" : "setHighlights", Q_ARG(QJsonObject*, index), Q_ARG(EpubData*, book)))
        qFatal("no set-up slot");
    return panel;
}

void callMarkSlot(QWidget* panel, const char* highlightSlot, const char* memoSlot, int page, const QString& name)
{
    const bool memo = qobject_cast<ViewerMemoListForm*>(panel);
    const char* slot = memo ? memoSlot : highlightSlot;
    if (qstrncmp(slot, "add", 3) == 0)
        QVERIFY(QMetaObject::invokeMethod(panel, slot, Q_ARG(int, page), Q_ARG(QString, name),
            Q_ARG(QString, QStringLiteral("Blue")), Q_ARG(QString, QStringLiteral("t"))));
    else
        QVERIFY(QMetaObject::invokeMethod(panel, slot, Q_ARG(int, page), Q_ARG(QString, name)));
}

// A real double-click on a row: delivered to the row's child under the cursor, as a user would.
void doubleClickRow(QWidget* panel, int row)
{
    QListWidget* list = listOf(panel);
    const QPoint centre = list->visualItemRect(list->item(row)).center();
    QWidget* target = list->viewport()->childAt(centre);
    QVERIFY(target);
    const QPoint pos = target->mapFrom(list->viewport(), centre);
    QTest::mousePress(target, Qt::LeftButton, {}, pos);
    QTest::mouseRelease(target, Qt::LeftButton, {}, pos);
    QTest::mouseDClick(target, Qt::LeftButton, {}, pos);
    QTest::mouseRelease(target, Qt::LeftButton, {}, pos);
}
} // namespace

class TestAnnotationPanels : public QObject
{
    Q_OBJECT

private slots:
    void bookmarkPageTexts_data();
    void bookmarkPageTexts();
    void markOrder_data();
    void markOrder();
    void colourDots_data();
    void colourDots();
    void markedTextCuts_data();
    void markedTextCuts();
    void textsShownPlain_data();
    void textsShownPlain();
    void memoEditor_data();
    void memoEditor();
    void doubleClickEmitsPageIndex_data();
    void doubleClickEmitsPageIndex();
    void deleteButtonRemovesBookmarkRow();
    void showAndHideReportTitle();
    void rowFormsFollowTheView_data();
    void rowFormsFollowTheView();
};

void TestAnnotationPanels::bookmarkPageTexts_data()
{
    QTest::addColumn<bool>("withPageList");
    QTest::addColumn<QList<int>>("bookmarks");
    QTest::addColumn<QStringList>("texts");

    QTest::newRow("numbers from 1") << false << QList<int> { 0, 1, 4 } << QStringList { "1 page", "2 page", "5 page" };
    QTest::newRow("list order kept") << false << QList<int> { 3, 0 } << QStringList { "4 page", "1 page" };
    QTest::newRow("page labels") << true << QList<int> { 1, 2, 3 }
                                 << QStringList { "2 page", "iv page", "<b>v</b> page" };
    QTest::newRow("pages outside the book") << true << QList<int> { -1, 5, 2, 99 } << QStringList { "iv page" };
}

void TestAnnotationPanels::bookmarkPageTexts()
{
    QFETCH(bool, withPageList);
    QFETCH(QList<int>, bookmarks);
    QFETCH(QStringList, texts);

    EpubData book = makeBook(withPageList);
    ViewerBookmarkListForm panel;
    panel.setBookmarkList(&bookmarks, &book);
    panel.setBookmarkList(&bookmarks, &book); // set-up clears first

    QStringList shown;
    for (int row = 0; row < listOf(&panel)->count(); ++row) {
        auto* label = child<QLabel*>(rowAt(&panel, row), "page_label");
        QVERIFY(lf::test::showsPlain(label));
        shown.append(label->text());
    }
    QCOMPARE(shown, texts);
}

void TestAnnotationPanels::markOrder_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QByteArray>("index");
    QTest::addColumn<QStringList>("actions"); // "+page:name" adds, "-page:name" removes
    QTest::addColumn<QStringList>("rows");

    const QByteArray stored = R"({"3":{"m200":{},"m100":{}},"1":{"m300":{}},"9":{"m1":{}},"01":{"m2":{}},"x":{}})";
    for (const QString& kind : { QStringLiteral("highlight"), QStringLiteral("memo") }) {
        const auto k = [&](const char* what) { return QByteArray(kind.toLatin1() + ": " + what); };
        QTest::newRow(k("set-up walks the spine, marks in creation order").constData())
            << kind << stored << QStringList() << QStringList { "1:m300", "3:m100", "3:m200" };
        QTest::newRow(k("add before every page").constData())
            << kind << stored << QStringList { "+0:m400" } << QStringList { "0:m400", "1:m300", "3:m100", "3:m200" };
        QTest::newRow(k("add after the page's rows").constData())
            << kind << stored << QStringList { "+3:m050", "+2:m500" }
            << QStringList { "1:m300", "2:m500", "3:m100", "3:m200", "3:m050" };
        QTest::newRow(k("add at the end").constData())
            << kind << stored << QStringList { "+4:m600" } << QStringList { "1:m300", "3:m100", "3:m200", "4:m600" };
        QTest::newRow(k("add to an empty list").constData())
            << kind << QByteArray("{}") << QStringList { "+2:m1" } << QStringList { "2:m1" };
        QTest::newRow(k("remove only the given page's row").constData())
            << kind << QByteArray(R"({"1":{"m1":{}},"2":{"m1":{}}})") << QStringList { "-2:m1" }
            << QStringList { "1:m1" };
        QTest::newRow(k("remove what is not listed").constData())
            << kind << stored << QStringList { "-1:m100", "-4:m300" } << QStringList { "1:m300", "3:m100", "3:m200" };
    }
}

void TestAnnotationPanels::markOrder()
{
    QFETCH(QString, kind);
    QFETCH(QByteArray, index);
    QFETCH(QStringList, actions);
    QFETCH(QStringList, rows);

    EpubData book = makeBook(false);
    QJsonObject json = jsonObject(index.constData());
    std::unique_ptr<QWidget> panel = markPanel(kind, &json, &book);
    for (const QString& action : actions) {
        const QStringList parts = action.mid(1).split(QLatin1Char(':'));
        if (action.startsWith(QLatin1Char('+')))
            callMarkSlot(panel.get(), "addHighlights", "addMemo", parts.at(0).toInt(), parts.at(1));
        else
            callMarkSlot(panel.get(), "removeHighlights", "removeMemo", parts.at(0).toInt(), parts.at(1));
    }
    QCOMPARE(rowsOf(panel.get()), rows);
}

void TestAnnotationPanels::colourDots_data()
{
    QTest::addColumn<QString>("color");
    QTest::addColumn<QString>("image"); // empty: no dot

    QTest::newRow("yellow") << "Yellow"
                            << ":/icon/Icon/h_circle_yellow_60x60.png";
    QTest::newRow("orange") << "Orange"
                            << ":/icon/Icon/h_circle_orange_60x60.png";
    QTest::newRow("green") << "GREEN"
                           << ":/icon/Icon/h_circle_green_60x60.png";
    QTest::newRow("blue") << "blue"
                          << ":/icon/Icon/h_circle_blue_60x60.png";
    QTest::newRow("missing colour") << ""
                                    << "";
    QTest::newRow("unknown colour") << "Purple"
                                    << "";
    QTest::newRow("path in the colour") << "blue_60x60.png/../yellow"
                                        << "";
}

void TestAnnotationPanels::colourDots()
{
    QFETCH(QString, color);
    QFETCH(QString, image);

    EpubData book = makeBook(false);
    QJsonObject json { { "2", QJsonObject { { "h1", QJsonObject { { "color", color }, { "text", "t" } } } } } };
    ViewerHighlightListForm panel;
    panel.setHighlights(&json, &book);
    panel.addHighlights(1, QStringLiteral("h2"), color, QStringLiteral("t"));

    for (int row = 0; row < 2; ++row) {
        const QImage shown = child<QLabel*>(rowAt(&panel, row), "color_label")->pixmap(Qt::ReturnByValue).toImage();
        if (image.isEmpty())
            QVERIFY(shown.isNull());
        else
            QCOMPARE(shown, QPixmap(image).toImage());
    }
}

void TestAnnotationPanels::markedTextCuts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("inRow");
    QTest::addColumn<QString>("inEditor");

    QTest::newRow("short") << "abc"
                           << "abc..."
                           << "abc...";
    QTest::newRow("empty") << ""
                           << "..."
                           << "...";
    QTest::newRow("30 characters") << "abcdefghijklmnopqrstuvwxyz1234"
                                   << "abcdefghij..."
                                   << "abcdefghijklmn...";
    QTest::newRow("line break after 4") << "abcd\nefghijklmnop"
                                        << "abcd..."
                                        << "abcd...";
    QTest::newRow("carriage return") << "ab\r\ncd"
                                     << "ab..."
                                     << "ab...";
    QTest::newRow("Korean") << "가나다라마바사아자차카타파하"
                            << "가나다라마바사아자차..."
                            << "가나다라마바사아자차카타파하...";
    QTest::newRow("pair on the cut") << QString(QStringLiteral("123456789") + QString::fromUcs4(U"😀x"))
                                     << "123456789..."
                                     << QString(QStringLiteral("123456789") + QString::fromUcs4(U"😀x..."));
    QTest::newRow("markup") << "<b>x</b> <img src=a>"
                            << "<b>x</b> <..."
                            << "<b>x</b> <img ...";
}

void TestAnnotationPanels::markedTextCuts()
{
    QFETCH(QString, text);
    QFETCH(QString, inRow);
    QFETCH(QString, inEditor);

    ViewerMemoItemForm row;
    row.setMemoText(text, QString());
    auto* rowLabel = child<QLabel*>(&row, "text_label");
    QCOMPARE(rowLabel->text(), inRow);
    QVERIFY(lf::test::showsPlain(rowLabel));

    ViewerMemoForm editor;
    editor.setMemoInfo(0, QString(), QStringLiteral("memo1"), text, QString());
    auto* editorLabel = child<QLabel*>(&editor, "text_label");
    QCOMPARE(editorLabel->text(), inEditor);
    QVERIFY(lf::test::showsPlain(editorLabel));
}

void TestAnnotationPanels::textsShownPlain_data()
{
    QTest::addColumn<QString>("text");

    QTest::newRow("bold markup") << "<b>x</b>";
    QTest::newRow("image tag") << "a <img src=\"file:///etc/passwd\">";
    QTest::newRow("entity") << "&amp; &lt;";
    QTest::newRow("lines and quotes") << "it's \"one\"\nand \\two";
    QTest::newRow("Korean") << "한국어 <p>문단</p>";
}

void TestAnnotationPanels::textsShownPlain()
{
    QFETCH(QString, text);

    EpubData book = makeBook(false);
    ViewerHighlightListForm highlights;
    highlights.setHighlights(nullptr, &book);
    highlights.addHighlights(0, QStringLiteral("h1"), QStringLiteral("Yellow"), text);
    QCOMPARE(child<QTextEdit*>(rowAt(&highlights, 0), "textEdit")->toPlainText(), text);

    ViewerMemoListForm memos;
    memos.setMemos(nullptr, &book);
    memos.addMemo(0, QStringLiteral("m1"), QStringLiteral("t"), text);
    QCOMPARE(child<QTextEdit*>(rowAt(&memos, 0), "textEdit")->toPlainText(), text);
    memos.changeMemo(0, QStringLiteral("m1"), text + text);
    QCOMPARE(child<QTextEdit*>(rowAt(&memos, 0), "textEdit")->toPlainText(), text + text);

    ViewerMemoForm editor;
    editor.setMemoInfo(0, QString(), QStringLiteral("m1"), QStringLiteral("t"), text);
    QCOMPARE(child<QTextEdit*>(&editor, "textEdit")->toPlainText(), text);
}

void TestAnnotationPanels::memoEditor_data()
{
    QTest::addColumn<QString>("storedMemo");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("confirm");
    QTest::addColumn<QString>("rowMemo");

    QTest::newRow("new memo, OK") << ""
                                  << "Note" << true << "Note";
    QTest::newRow("new memo, Cancel") << ""
                                      << "Note" << false << "";
    QTest::newRow("changed memo, OK") << "Old"
                                      << " more" << true << "Old more";
    QTest::newRow("changed memo, Cancel") << "Old"
                                          << " more" << false << "Old";
}

void TestAnnotationPanels::memoEditor()
{
    QFETCH(QString, storedMemo);
    QFETCH(QString, typed);
    QFETCH(bool, confirm);
    QFETCH(QString, rowMemo);

    EpubData book = makeBook(true);
    ViewerMemoListForm panel;
    panel.setMemos(nullptr, &book);
    panel.addMemo(2, QStringLiteral("memo1"), QStringLiteral("marked"), storedMemo);
    ViewerMemoForm editor;
    connect(&editor, SIGNAL(saveMemo(int, QString, QString)), &panel, SLOT(changeMemo(int, QString, QString)));
    QSignalSpy saved(&editor, SIGNAL(saveMemo(int, QString, QString)));

    editor.setMemoInfo(
        2, book.pageLabelForHref(book.spine.at(2)), QStringLiteral("memo1"), QStringLiteral("marked"), storedMemo);
    QCOMPARE(child<QLabel*>(&editor, "label")->text(), QStringLiteral("iv page"));
    editor.show();
    auto* textEdit = child<QTextEdit*>(&editor, "textEdit");
    textEdit->moveCursor(QTextCursor::End);
    QTest::keyClicks(textEdit, typed);
    if (confirm) {
        QTest::mousePress(child<QPushButton*>(&editor, "ok_button"), Qt::LeftButton);
        QCOMPARE(saved.count(), 1);
        QCOMPARE(saved.at(0), (QVariantList { 2, QStringLiteral("memo1"), rowMemo }));
    } else {
        QTest::mouseClick(child<QPushButton*>(&editor, "Cancel_button"), Qt::LeftButton);
        QCOMPARE(saved.count(), 0);
    }
    QVERIFY(editor.isHidden());
    QCOMPARE(child<QTextEdit*>(rowAt(&panel, 0), "textEdit")->toPlainText(), rowMemo);
}

void TestAnnotationPanels::doubleClickEmitsPageIndex_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("page");

    QTest::newRow("bookmark, first row") << "bookmark" << 0 << 4;
    QTest::newRow("bookmark, last row") << "bookmark" << 2 << 1;
    QTest::newRow("highlight") << "highlight" << 1 << 3;
    QTest::newRow("memo") << "memo" << 2 << 4;
}

void TestAnnotationPanels::doubleClickEmitsPageIndex()
{
    QFETCH(QString, kind);
    QFETCH(int, row);
    QFETCH(int, page);

    EpubData book = makeBook(false);
    QList<int> bookmarks { 4, 3, 1 };
    QJsonObject index = jsonObject(R"({"1":{"a":{}},"3":{"b":{}},"4":{"c":{}}})");
    std::unique_ptr<QWidget> panel;
    if (kind == QLatin1String("bookmark")) {
        panel = std::make_unique<ViewerBookmarkListForm>();
        static_cast<ViewerBookmarkListForm*>(panel.get())->setBookmarkList(&bookmarks, &book);
    } else {
        panel = markPanel(kind, &index, &book);
    }
    QSignalSpy moved(panel.get(), SIGNAL(moveToPageEvent(int)));
    panel->show();
    QVERIFY(QTest::qWaitForWindowExposed(panel.get()));

    doubleClickRow(panel.get(), row);
    QCOMPARE(moved.count(), 1);
    QCOMPARE(moved.at(0).at(0).toInt(), page);
}

void TestAnnotationPanels::deleteButtonRemovesBookmarkRow()
{
    EpubData book = makeBook(false);
    QList<int> bookmarks { 4, 1, 3 };
    ViewerBookmarkListForm panel;
    panel.setBookmarkList(&bookmarks, &book);
    QSignalSpy deleted(&panel, SIGNAL(deleteBookmark(int)));
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));

    QPointer<ViewerAnnotationItemForm> row = rowAt(&panel, 1);
    QTest::mouseClick(child<QPushButton*>(row, "delete_button"), Qt::LeftButton);
    QCOMPARE(deleted.count(), 1);
    QCOMPARE(deleted.at(0).at(0).toInt(), 1);
    QCOMPARE(rowsOf(&panel), (QStringList { "4:", "3:" }));
    QTRY_VERIFY(row.isNull()); // the row form goes once control is back in the event loop
    QCOMPARE(bookmarks, (QList<int> { 4, 1, 3 })); // the panel never changes the reader's list

    // A row the panel does not hold is not reported.
    ViewerPageItemForm stranger;
    panel.deleteBookmarkEvent(3, &stranger);
    QCOMPARE(deleted.count(), 1);
}

void TestAnnotationPanels::showAndHideReportTitle()
{
    ViewerBookmarkListForm bookmarks;
    ViewerHighlightListForm highlights;
    ViewerMemoListForm memos;
    QStringList titles;
    for (ViewerAnnotationListForm* panel : { static_cast<ViewerAnnotationListForm*>(&bookmarks),
             static_cast<ViewerAnnotationListForm*>(&highlights), static_cast<ViewerAnnotationListForm*>(&memos) }) {
        QSignalSpy showed(panel, SIGNAL(showed(QString)));
        QSignalSpy hided(panel, SIGNAL(hided()));
        panel->show();
        QCOMPARE(showed.count(), 1);
        QCOMPARE(showed.at(0).at(0).toString(), panel->getTitle());

        // The body follows the panel's size below the title bar.
        auto* body = child<QFrame*>(panel, "body_frame");
        panel->resize(320, 700);
        QCOMPARE(body->geometry().bottomRight(), panel->rect().bottomRight());

        QTest::mouseClick(child<QPushButton*>(panel, "close_button"), Qt::LeftButton);
        QVERIFY(panel->isHidden());
        QCOMPARE(hided.count(), 1);
        titles.append(panel->getTitle());
    }
    // The reader tells the panels apart by their titles.
    QCOMPARE(titles.removeDuplicates(), 0);
}

// Ten thousand marks make a screenful of row forms; the last row gets its
// form when scrolled into view, and changes reach rows out of view.
void TestAnnotationPanels::rowFormsFollowTheView_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("bookmark") << "bookmark";
    QTest::newRow("highlight") << "highlight";
    QTest::newRow("memo") << "memo";
}

void TestAnnotationPanels::rowFormsFollowTheView()
{
    QFETCH(QString, kind);
    constexpr int kMarks = 10000;
    EpubData book;
    QList<int> bookmarks;
    QJsonObject index;
    for (int page = 0; page < kMarks; ++page) {
        book.spine.append(QStringLiteral("s%1").arg(page));
        bookmarks.append(page);
        index.insert(QString::number(page), QJsonObject { { QStringLiteral("m%1").arg(page), QJsonObject() } });
    }
    std::unique_ptr<QWidget> panel;
    if (kind == QLatin1String("bookmark")) {
        panel = std::make_unique<ViewerBookmarkListForm>();
        panel->show();
        static_cast<ViewerBookmarkListForm*>(panel.get())->setBookmarkList(&bookmarks, &book);
    } else {
        panel = markPanel(kind, &index, &book);
        panel->show();
    }
    QTRY_VERIFY(rowAt(panel.get(), 0));
    QCOMPARE(listOf(panel.get())->count(), kMarks);
    QVERIFY(panel->findChildren<ViewerAnnotationItemForm*>().size() < 50);
    QVERIFY(!listOf(panel.get())->itemWidget(listOf(panel.get())->item(kMarks - 1)));

    if (kind == QLatin1String("memo"))
        static_cast<ViewerMemoListForm*>(panel.get())->changeMemo(kMarks - 1, QStringLiteral("m9999"), "late");
    listOf(panel.get())->scrollToBottom();
    ViewerAnnotationItemForm* last = rowAt(panel.get(), kMarks - 1);
    QVERIFY(last);
    QCOMPARE(last->getPage_index(), kMarks - 1);
    if (kind == QLatin1String("memo"))
        QCOMPARE(child<QTextEdit*>(last, "textEdit")->toPlainText(), QStringLiteral("late"));
}

LF_TEST_MAIN(TestAnnotationPanels)
#include "tst_annotationpanels.moc"
