// Every widget that shows a text a book supplies, fed markup: the text shows
// as written, and a picture the markup names is never read.
#include "epub/epubdata.h"
#include "library/bookinfo.h"
#include "library/booklistgriditemform.h"
#include "library/booklistverticalitemform.h"
#include "reader/panels/viewerhighlightitemform.h"
#include "reader/panels/viewermemoitemform.h"
#include "reader/panels/viewerpageitemform.h"
#include "reader/panels/viewerthumbnailitemform.h"
#include "reader/panels/viewertoclistwidget.h"
#include "reader/viewermemoform.h"
#include "reader/viewerviewwindow.h"
#include "showntext.h"
#include "testsupport.h"
#include "widgets/viewerdefaultdialog.h"

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QTemporaryDir>
#include <QToolTip>

#include <functional>
#include <memory>
#include <sys/inotify.h>
#include <unistd.h>

namespace {
// Tells whether a file was opened, by anyone in this process or another,
// since the last question.
class FileOpenWatch
{
public:
    explicit FileOpenWatch(const QString& path)
        : m_fd(inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    {
        if (m_fd >= 0 && inotify_add_watch(m_fd, QFile::encodeName(path).constData(), IN_OPEN) < 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ~FileOpenWatch()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileOpenWatch(const FileOpenWatch&) = delete;
    FileOpenWatch& operator=(const FileOpenWatch&) = delete;

    bool watching() const { return m_fd >= 0; }

    bool opened()
    {
        char events[4096];
        bool any = false;
        while (::read(m_fd, events, sizeof events) > 0)
            any = true;
        return any;
    }

private:
    int m_fd;
};

QString picturePath()
{
    return lf::test::privateTempDir() + QStringLiteral("/never-read.png");
}

// The book's texts: tags, and a picture of a real file.
const QString kTitle = QStringLiteral("<b>x</b>");
QString author()
{
    return QStringLiteral("<img src=\"%1\">").arg(picturePath());
}
QString pageLabel()
{
    return QStringLiteral("<img src=\"%1\"><b>ii</b>").arg(picturePath());
}

// The text a shown tooltip shows, as Qt's own tooltip label draws it.
QString shownToolTip(const QWidget* form)
{
    QToolTip::showText(QPoint(10, 10), form->toolTip());
    QString shown;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == QLatin1String("qtooltip_label") && widget->isVisible()) {
            widget->grab();
            shown = lf::test::shownText(widget);
        }
    }
    QToolTip::hideText();
    return shown;
}
} // namespace

class TestPlainBookText : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_bookDir { lf::test::privateTempDir() + QStringLiteral("/book-XXXXXX") };
    BookInfo m_book { QStringLiteral("hostile"), kTitle, author(), 1, {}, QDateTime::currentDateTime() };
    EpubData m_epub;

    // The widgets under test, each showing the hostile texts where the
    // program puts a book's texts.
    std::unique_ptr<QWidget> make(const QString& kind)
    {
        if (kind == QLatin1String("tile")) {
            auto tile = std::make_unique<BookListGridItemForm>();
            tile->setBook(&m_book);
            return tile;
        }
        if (kind == QLatin1String("row")) {
            auto row = std::make_unique<BookListVerticalItemForm>();
            row->setBook(&m_book);
            return row;
        }
        if (kind == QLatin1String("contents")) {
            // The panel fills its lists when first shown.
            auto panel = std::make_unique<ViewerTocListWidget>(nullptr, &m_epub, m_bookDir.path());
            panel->show();
            return panel;
        }
        if (kind == QLatin1String("thumbnail"))
            return std::make_unique<ViewerThumbnailItemForm>(pageLabel());
        if (kind == QLatin1String("page row")) {
            auto row = std::make_unique<ViewerPageItemForm>();
            row->setPageInfo(2, pageLabel());
            return row;
        }
        if (kind == QLatin1String("highlight row")) {
            auto row = std::make_unique<ViewerHighlightItemForm>();
            row->setPageInfo(2, QStringLiteral("highlighted1"), pageLabel());
            QString marked = kTitle;
            row->setHighlightText(marked);
            return row;
        }
        if (kind == QLatin1String("memo row")) {
            auto row = std::make_unique<ViewerMemoItemForm>();
            row->setPageInfo(2, pageLabel(), QStringLiteral("memo1"));
            row->setMemoText(kTitle, author());
            return row;
        }
        if (kind == QLatin1String("memo editor")) {
            auto editor = std::make_unique<ViewerMemoForm>();
            editor->setMemoInfo(2, pageLabel(), QStringLiteral("memo1"), kTitle, author());
            return editor;
        }
        if (kind == QLatin1String("question")) {
            auto dialog = std::make_unique<ViewerDefaultDialog>();
            dialog->question(kTitle, pageLabel(), author());
            return dialog;
        }
        if (kind == QLatin1String("reader")) {
            auto reader = std::make_unique<ViewerViewWindow>();
            QString title = kTitle;
            reader->setWindowTitleText(title);
            return reader;
        }
        return nullptr;
    }

private slots:
    void initTestCase()
    {
        QImage picture(8, 8, QImage::Format_RGB32);
        picture.fill(Qt::red);
        QVERIFY(picture.save(picturePath()));
        QVERIFY(m_bookDir.isValid());
        m_epub.toc = { { pageLabel(), QStringLiteral("a.xhtml") } };
    }

    // The watch sees what the fault would do: a label taking the texts as
    // markup reads the picture.
    void watchSeesMarkupReadThePicture()
    {
        FileOpenWatch watch(picturePath());
        QVERIFY(watch.watching());
        QLabel label(author());
        label.grab();
        QVERIFY(watch.opened());
    }

    void showsBookTextAsWritten_data()
    {
        QTest::addColumn<QString>("widget");
        QTest::addColumn<QString>("part"); // object name of the child that shows it
        QTest::addColumn<QString>("text"); // the book's text, shown character for character

        QTest::newRow("library tile, title") << "tile"
                                             << "book_name_label" << kTitle;
        QTest::newRow("library tile, tooltip") << "tile"
                                               << "tooltip" << kTitle + QLatin1Char('\n') + author();
        QTest::newRow("library row, title") << "row"
                                            << "chapter_label" << kTitle;
        QTest::newRow("library row, author") << "row"
                                             << "book_authors_label" << author();
        QTest::newRow("library row, tooltip") << "row"
                                              << "tooltip" << kTitle + QLatin1Char('\n') + author();
        QTest::newRow("contents entry") << "contents"
                                        << "toc_list_widget" << pageLabel();
        QTest::newRow("thumbnail, page label") << "thumbnail"
                                               << "index_label" << pageLabel();
        QTest::newRow("search or bookmark row, page label") << "page row"
                                                            << "page_label" << pageLabel();
        QTest::newRow("highlight row, page label") << "highlight row"
                                                   << "page_label" << pageLabel();
        QTest::newRow("highlight row, marked text") << "highlight row"
                                                    << "textEdit" << kTitle;
        QTest::newRow("memo row, page label") << "memo row"
                                              << "page_label" << pageLabel();
        QTest::newRow("memo row, marked text") << "memo row"
                                               << "text_label" << kTitle;
        QTest::newRow("memo row, memo") << "memo row"
                                        << "textEdit" << author();
        QTest::newRow("memo editor, page label") << "memo editor"
                                                 << "label" << pageLabel();
        QTest::newRow("memo editor, marked text") << "memo editor"
                                                  << "text_label" << kTitle;
        QTest::newRow("question, title") << "question"
                                         << "title_label" << kTitle;
        QTest::newRow("question, sub-title") << "question"
                                             << "sub_title_label" << pageLabel();
        QTest::newRow("question, message") << "question"
                                           << "message_label" << author();
        QTest::newRow("reader, title bar") << "reader"
                                           << "title_label" << kTitle;
    }

    void showsBookTextAsWritten()
    {
        QFETCH(QString, widget);
        QFETCH(QString, part);
        QFETCH(QString, text);
        FileOpenWatch watch(picturePath());
        QVERIFY(watch.watching());
        const std::unique_ptr<QWidget> form = make(widget);
        QVERIFY(form);

        QString shown;
        if (part == QLatin1String("tooltip")) {
            shown = shownToolTip(form.get());
        } else {
            auto* child = form->findChild<QWidget*>(part);
            QVERIFY2(child, qPrintable(part));
            // Painted, so that anything a markup names would be fetched now.
            child->grab();
            shown = lf::test::shownText(child);
        }
        QVERIFY2(!watch.opened(), "the picture the markup names was read");
        QVERIFY2(shown.contains(text), qPrintable(shown));
    }
};

LF_TEST_MAIN(TestPlainBookText)
#include "tst_plainbooktext.moc"
