// The reader window on real books in real web views: opening, turning pages
// and spreads, the continue prompt, layout and zoom, the page views' context
// menu and links, the confinement of book pages, error pages and printing.
#include "app/startup.h"
#include "base/appconstants.h"
#include "base/datadirectory.h"
#include "epub/epubdata.h"
#include "import/unzipthread.h"
#include "library/booklistwidget.h"
#include "library/viewermainwindow.h"
#include "loopbackhttpserver.h"
#include "obfuscatedfontbook.h"
#include "reader/highlighterstatements.h"
#include "reader/panels/viewerbookmarklistform.h"
#include "reader/panels/viewerhighlightlistform.h"
#include "reader/panels/viewermemolistform.h"
#include "reader/panels/viewersearchform.h"
#include "reader/scripttimelimit.h"
#include "reader/viewermemoform.h"
#include "reader/viewerviewwindow.h"
#include "reader/viewerwebview.h"
#include "readerbooks.h"
#include "showntext.h"
#include "testsupport.h"
#include "uidriver.h"
#include "widgets/viewerdefaultdialog.h"

#include <QBuffer>
#include <QDirIterator>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTextEdit>
#include <QTimer>
#include <QWebElement>
#include <QWebFrame>

#include <memory>

using lf::test::DialogAnswerer;
using lf::test::installCorpusBook;
using lf::test::MenuChooser;

namespace {

const QString kFixedLayoutBook = QStringLiteral("haruko-manga-fxl.epub"); // 13 documents
const QString kSampleBook = QStringLiteral("reader-sample");
const QString kScriptBook = QStringLiteral("script-sample"); // a storing page, then a runaway one

// Writes a book of one XHTML page, "EPUB/text/page.xhtml", into the data
// directory, with `files` (book-relative path to content) beside it.
QString installOnePageBook(const QString& name, const QByteArray& page, const QMap<QString, QByteArray>& files = {})
{
    lf::ensureDataDirectory();
    const QString dir = lf::dataDirectory() + name + QLatin1Char('/');
    QDir(dir).removeRecursively();
    QMap<QString, QByteArray> all = files;
    all.insert(QStringLiteral("mimetype"), "application/epub+zip");
    all.insert(QStringLiteral("META-INF/container.xml"),
        R"(<container xmlns="urn:oasis:names:tc:opendocument:xmlns:container"><rootfiles>)"
        R"(<rootfile full-path="EPUB/package.opf" media-type="application/oebps-package+xml"/></rootfiles></container>)");
    all.insert(QStringLiteral("EPUB/package.opf"),
        R"(<package xmlns="http://www.idpf.org/2007/opf" version="3.0" unique-identifier="uid">)"
        R"(<metadata xmlns:dc="http://purl.org/dc/elements/1.1/"><dc:identifier id="uid"> urn:uuid:f0 </dc:identifier>)"
        R"(<dc:title>One page</dc:title></metadata><manifest><item id="p" href="text/page.xhtml" media-type="application/xhtml+xml"/>)"
        R"(</manifest><spine><itemref idref="p"/></spine></package>)");
    all.insert(QStringLiteral("EPUB/text/page.xhtml"), page);
    for (auto it = all.cbegin(); it != all.cend(); ++it) {
        if (!lf::test::writeFile(dir + it.key(), it.value()))
            return {};
    }
    return name;
}

// Copies a hand-made book of tests/data/books into the data directory,
// replacing `from` by `to` in its text files.
QString installTestBook(const QString& name, const QByteArray& from = {}, const QByteArray& to = {})
{
    lf::ensureDataDirectory();
    const QString source = lf::test::testDataDir() + QStringLiteral("/books/") + name;
    const QString target = lf::dataDirectory() + name;
    QDir(target).removeRecursively();
    QDirIterator it(source, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile in(path);
        if (!in.open(QIODevice::ReadOnly))
            return {};
        QByteArray content = in.readAll();
        if (!from.isEmpty())
            content.replace(from, to);
        if (!lf::test::writeFile(target + path.mid(source.size()), content))
            return {};
    }
    return name;
}

int storedProgress(const QString& name)
{
    QFile file(lf::dataDirectory() + name + QStringLiteral("/cp"));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    return QJsonDocument::fromJson(file.readAll()).object().value(QStringLiteral("current_page")).toInt(-1);
}

// The share of dark pixels on sheet `sheet` (from 1) of a PDF file, as the
// PDF renderer draws it; -1 when it cannot be drawn.
double inkOf(const QString& pdf, int sheet)
{
    const QString prefix = pdf + QStringLiteral("-sheet");
    QProcess renderer;
    renderer.start(QStringLiteral("pdftoppm"),
        { QStringLiteral("-f"), QString::number(sheet), QStringLiteral("-l"), QString::number(sheet),
            QStringLiteral("-r"), QStringLiteral("30"), QStringLiteral("-gray"), QStringLiteral("-png"),
            QStringLiteral("-singlefile"), pdf, prefix });
    if (!renderer.waitForFinished(30000) || renderer.exitCode() != 0)
        return -1;
    const QImage image(prefix + QStringLiteral(".png"));
    QFile::remove(prefix + QStringLiteral(".png"));
    if (image.isNull())
        return -1;
    int dark = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            dark += qGray(image.pixel(x, y)) < 128;
    }
    return double(dark) / (image.width() * image.height());
}

QString pageText(ViewerWebView* view)
{
    return view->page()->mainFrame()->toPlainText();
}

QVariant evaluate(ViewerWebView* view, const QString& script)
{
    return view->page()->mainFrame()->evaluateJavaScript(script);
}

// Selects the text of the element with `id` as a user's drag would.
void selectElement(ViewerWebView* view, const QString& id)
{
    evaluate(view,
        QStringLiteral("(function(){var r=document.createRange();"
                       "r.selectNodeContents(document.getElementById('%1'));"
                       "var s=window.getSelection();s.removeAllRanges();s.addRange(r);})()")
            .arg(id));
}

// Selects from the start of one element to the end of another.
void selectElements(ViewerWebView* view, const QString& first, const QString& last)
{
    evaluate(view,
        QStringLiteral("(function(){var r=document.createRange();"
                       "r.setStartBefore(document.getElementById('%1').firstChild);"
                       "r.setEndAfter(document.getElementById('%2').lastChild);"
                       "var s=window.getSelection();s.removeAllRanges();s.addRange(r);})()")
            .arg(first, last));
}

void clickElement(ViewerWebView* view, const QString& id)
{
    const QWebElement element = view->page()->mainFrame()->findFirstElement(QLatin1Char('#') + id);
    QVERIFY(!element.isNull());
    QTest::mouseClick(view, Qt::LeftButton, {}, element.geometry().center());
}

// Every file below the folders in `places`.
QSet<QString> filesBelow(const QStringList& places)
{
    QSet<QString> files;
    for (const QString& place : places) {
        QDirIterator it(place, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
        while (it.hasNext())
            files.insert(it.next());
    }
    return files;
}

// Who clicks the link in followsLinks().
enum Clicker { User, UserInAFrame, Script, MadeUpEvent, ScriptWhileTheUserClicks };

} // namespace

class TestViewerViewWindow : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<ViewerViewWindow> m_reader;

    // Opens a book as the library window does and waits for its first page.
    ViewerViewWindow* open(const QString& name, bool keepProgress = false, QSize window = {})
    {
        // Each test starts its book afresh unless it set the progress itself.
        if (!keepProgress)
            QFile::remove(lf::dataDirectory() + name + QStringLiteral("/cp"));
        m_reader = std::make_unique<ViewerViewWindow>();
        m_reader->openBook(name);
        QString title = name;
        m_reader->setWindowTitleText(title);
        if (window.isValid())
            m_reader->resize(window);
        window.isValid() ? m_reader->show() : m_reader->showMaximized();
        m_reader->activateWindow();
        m_reader->loadQuestion();
        if (!waitReady())
            return nullptr;
        return m_reader.get();
    }

    bool waitReady()
    {
        return QTest::qWaitFor([this] { return m_reader->isPageReady(); }, 10000);
    }

    template <typename T> T* child(const char* name) { return m_reader->findChild<T*>(QString::fromLatin1(name)); }

    QString shownPath(ViewerWebView* view)
    {
        const QString url = view->url().toString();
        return url.mid(url.lastIndexOf(QLatin1Char('/')) + 1);
    }

private slots:
    // As the program does, before the first web page.
    void initTestCase() { lf::limitScriptRunTime(); }
    void cleanup() { m_reader.reset(); }

    void opensBooks_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("fixed");
        QTest::addColumn<int>("pages");
        QTest::addColumn<QString>("firstDocument");
        QTest::newRow("EPUB 2") << "gutenberg-alice-epub2.epub" << false << 15 << "";
        QTest::newRow("EPUB 3 reflowable") << "moby-dick.epub" << false << 144 << "cover.xhtml";
        QTest::newRow("EPUB 3 fixed layout") << kFixedLayoutBook << true << 13 << "p01.xhtml";
        QTest::newRow("package two folders deep") << "package-in-subfolders.epub" << false << 1 << "";
    }

    void opensBooks()
    {
        QFETCH(QString, file);
        QFETCH(bool, fixed);
        ViewerViewWindow* reader = open(installCorpusBook(file));
        QVERIFY(reader);
        QCOMPARE(reader->isFixedLayout(), fixed);
        QCOMPARE(child<QPushButton>("toolbar_both_view_button")->isVisibleTo(reader), fixed);
        QCOMPARE(child<QPushButton>("toolbar_vertical_horizontal_match_button")->isVisibleTo(reader), fixed);
        QTEST(reader->pageCount(), "pages");
        QCOMPARE(reader->leftView()->url().scheme(), QStringLiteral("lfbook"));
        QFETCH(QString, firstDocument);
        if (!firstDocument.isEmpty())
            QCOMPARE(shownPath(reader->leftView()), firstDocument);
        QVERIFY(!pageText(reader->leftView()).contains(QLatin1String("Page loading error")));
        QVERIFY(child<QPushButton>("toolbar_next_button")->isEnabled());
        QCOMPARE(reader->progressPage(), 1);
    }

    // The library keeps one reader: opening another book replaces it, and a
    // book that is deleted closes its reader first.
    void libraryOpensAndClosesTheReader()
    {
        const QString first = installCorpusBook(QStringLiteral("minimal-epub3.epub"));
        const QString second = installCorpusBook(QStringLiteral("wasteland.epub"));
        ViewerMainWindow library;
        lf::setLibraryWindow(&library);
        library.openEpubViewer(first);
        QPointer<ViewerViewWindow> reader = library.epubViewer();
        QVERIFY(reader && reader->isVisible() && reader->isMaximized());
        QTRY_VERIFY(reader->isPageReady());
        QVERIFY(!reader->findChild<QLabel*>(QStringLiteral("title_label"))->text().isEmpty());

        library.openEpubViewer(second);
        QTRY_VERIFY(reader.isNull());
        reader = library.epubViewer();
        QCOMPARE(reader->bookName(), second);

        library.findChild<BookListWidget*>()->removeBookItem(first); // not the open one
        QVERIFY(reader && reader->isVisible());
        library.findChild<BookListWidget*>()->removeBookItem(second);
        QTRY_VERIFY(reader.isNull());
        QVERIFY(!library.epubViewer());
        QVERIFY(!QFileInfo::exists(lf::dataDirectory() + second));
        lf::setLibraryWindow(nullptr);
    }

    void turnsSinglePages()
    {
        ViewerViewWindow* reader = open(installCorpusBook(QStringLiteral("childrens-literature.epub")));
        QVERIFY(reader);
        auto* next = child<QPushButton>("next_page_button");
        auto* previous = child<QPushButton>("toolbar_prev_button");

        QTest::mouseClick(previous, Qt::LeftButton);
        QCOMPARE(reader->currentIndex(), 0);
        QVERIFY(previous->isEnabled());

        QTest::mouseClick(next, Qt::LeftButton);
        QVERIFY(!next->isEnabled()); // until the page is laid out
        QVERIFY(waitReady());
        QTest::mouseClick(next, Qt::LeftButton);
        QVERIFY(waitReady());
        QCOMPARE(reader->currentIndex(), 2);
        QCOMPARE(storedProgress(reader->bookName()), 3);

        QTest::mouseClick(next, Qt::LeftButton); // the last page
        QCOMPARE(reader->currentIndex(), 2);
        QVERIFY(next->isEnabled());
        QTest::mouseClick(previous, Qt::LeftButton);
        QVERIFY(waitReady());
        QCOMPARE(reader->currentIndex(), 1);
        QCOMPARE(storedProgress(reader->bookName()), 3); // never falls
    }

    // The manga reads right to left, asks for spreads in a landscape window
    // and declares every page's side: the earlier page of a spread is on the
    // right, the cover stands alone, and the closing reflowable page, which
    // asks for the left side, pairs with the last. Forward is the left arrow
    // in this book.
    void turnsSpreads_data()
    {
        QTest::addColumn<int>("asked");
        QTest::addColumn<QString>("turn");
        QTest::addColumn<int>("first");
        QTest::addColumn<QString>("leftDocument");
        QTest::addColumn<QString>("rightDocument");
        QTest::newRow("right page asked") << 5 << "" << 5 << "p07.xhtml" << QStringLiteral("p06.xhtml");
        QTest::newRow("left page asked") << 6 << "" << 5 << "p07.xhtml" << QStringLiteral("p06.xhtml");
        QTest::newRow("next from 4") << 4 << "next" << 5 << "p07.xhtml" << QStringLiteral("p06.xhtml");
        QTest::newRow("previous from 4") << 4 << "previous" << 1 << "p03.xhtml" << QStringLiteral("p02.xhtml");
        QTest::newRow("closing reflowable page beside the last")
            << 11 << "" << 11 << "AboutThisDocument.xhtml" << QStringLiteral("p12.xhtml");
        QTest::newRow("next at the end") << 11 << "next" << 11 << "AboutThisDocument.xhtml"
                                         << QStringLiteral("p12.xhtml");
        QTest::newRow("cover alone on the left")
            << 0 << "previous" << 0 << "p01.xhtml" << QStringLiteral("about:blank");
    }

    // Pages that refuse spreads fill the view even in Both View; the
    // reflowable pages between them read as single pages.
    void showsPagesThatStandAlone()
    {
        ViewerViewWindow* reader = open(installCorpusBook(QStringLiteral("voyage-of-life-mixed-layout.epub")));
        QVERIFY(reader);
        QTest::mouseClick(child<QPushButton>("toolbar_both_view_button"), Qt::LeftButton);
        QVERIFY(waitReady());
        for (int page : { 1, 2, 3 }) {
            reader->moveToPageNum(page);
            QVERIFY(waitReady());
            QCOMPARE(reader->currentIndex(), page);
            QVERIFY(!reader->rightView()->isVisible());
            if (page != 2) // reflowable, after the fixed page too: at the user's zoom
                QCOMPARE(reader->leftView()->zoomFactor(), 1.0);
            QVERIFY(!child<QPushButton>("right_bookmark_button")->isVisible());
        }
    }

    void turnsSpreads()
    {
        QFETCH(int, asked);
        QFETCH(QString, turn);
        QFETCH(QString, rightDocument);
        ViewerViewWindow* reader = open(installCorpusBook(kFixedLayoutBook));
        QVERIFY(reader);
        QVERIFY(reader->isTwoPageView());
        QVERIFY(reader->rightView()->isVisible());

        reader->moveToPageNum(asked);
        QVERIFY(waitReady());
        if (turn == QLatin1String("next"))
            QTest::mouseClick(child<QPushButton>("toolbar_prev_button"), Qt::LeftButton);
        else if (turn == QLatin1String("previous"))
            QTest::mouseClick(child<QPushButton>("next_page_button"), Qt::LeftButton);
        QVERIFY(waitReady());
        QTEST(reader->currentIndex(), "first");
        QTEST(shownPath(reader->leftView()), "leftDocument");
        QVERIFY(child<QPushButton>("toolbar_next_button")->isEnabled());
        QCOMPARE(reader->rightView()->isVisible(), !rightDocument.isEmpty());
        if (rightDocument.isEmpty())
            return;
        QCOMPARE(shownPath(reader->rightView()), rightDocument);
        // A blank side keeps the spread's shape.
        QFETCH(QString, leftDocument);
        if (leftDocument == QLatin1String("about:blank") || rightDocument == QLatin1String("about:blank"))
            QCOMPARE(reader->rightView()->size(), reader->leftView()->size());
    }

    // A fixed-layout page is laid out at the size its viewport declares and
    // fitted whole, whatever its text would measure.
    void laysFixedPagesAtTheirDeclaredSize()
    {
        ViewerViewWindow* reader = open(installTestBook(QStringLiteral("epub3-declared")));
        QVERIFY(reader);
        // The book opens in two-page view, its first page on the right.
        ViewerWebView* view = reader->isTwoPageView() ? reader->rightView() : reader->leftView();
        QCOMPARE(shownPath(view), QStringLiteral("p1.xhtml"));
        const QSize shown = view->size();
        QVERIFY2(shown.width() > 200, qPrintable(QStringLiteral("%1x%2").arg(shown.width()).arg(shown.height())));
        QVERIFY(qAbs(double(shown.width()) / shown.height() - 600.0 / 800.0) < 0.02);
        QCOMPARE(view->page()->mainFrame()->evaluateJavaScript(QStringLiteral("window.innerWidth")).toInt(), 600);
    }

    // A fixed page that declares no size and measures nothing takes its side
    // of the spread, never a sliver.
    void showsUndeclaredPagesWhole()
    {
        ViewerViewWindow* reader = open(installTestBook("epub3-spreads", ">landscape<", ">both<"));
        QVERIFY(reader);
        reader->moveToPageNum(4);
        QVERIFY(waitReady());
        for (const QSize shown : { reader->leftView()->size(), reader->rightView()->size() })
            QVERIFY2(shown.width() > 300 && shown.height() > 300, qPrintable(QString::number(shown.width())));
    }

    // rendition:spread opens the book in two-page view by the window's shape
    // until the user clicks Both View; the reflowable first page, which asks
    // for a side, then fills its half of the spread.
    void opensSpreadsAsDeclared_data()
    {
        QTest::addColumn<QString>("spread");
        QTest::addColumn<QSize>("window");
        QTest::addColumn<bool>("twoPage");
        const QSize wide(1000, 700);
        const QSize tall(700, 1000);
        QTest::newRow("both, tall") << "both" << tall << true;
        QTest::newRow("landscape, wide") << "landscape" << wide << true;
        QTest::newRow("landscape, tall") << "landscape" << tall << false;
        QTest::newRow("auto, tall") << "auto" << tall << false;
        QTest::newRow("portrait, tall") << "portrait" << tall << true;
        QTest::newRow("portrait, wide") << "portrait" << wide << false;
        QTest::newRow("none") << "none" << wide << false;
        QTest::newRow("nothing declared") << "" << wide << false;
    }

    void opensSpreadsAsDeclared()
    {
        QFETCH(QString, spread);
        QFETCH(QSize, window);
        QFETCH(bool, twoPage);
        ViewerViewWindow* reader
            = open(installTestBook("epub3-spreads", ">landscape<", QStringLiteral(">%1<").arg(spread).toUtf8()), false,
                window);
        QVERIFY(reader);
        QCOMPARE(child<QPushButton>("toolbar_both_view_button")->isChecked(), twoPage);
        QCOMPARE(reader->rightView()->isVisible(), twoPage);
        QCOMPARE(reader->leftView()->width() < window.width() / 2, twoPage);
        QCOMPARE(evaluate(reader->leftView(), "innerHeight").toInt(), reader->leftView()->height());

        reader->resize(window.transposed());
        QVERIFY(waitReady());
        QCOMPARE(reader->isTwoPageView(), twoPage != QStringList({ "landscape", "auto", "portrait" }).contains(spread));
        QTest::mouseClick(child<QPushButton>("toolbar_both_view_button"), Qt::LeftButton);
        QVERIFY(waitReady());
        const bool chosen = reader->isTwoPageView();
        reader->resize(window);
        QVERIFY(waitReady());
        QCOMPARE(reader->isTwoPageView(), chosen);
    }

    // In a right-to-left book the controls on the left turn forward, those
    // on the right back.
    void turnsInTheReadingDirection_data()
    {
        QTest::addColumn<QString>("turn"); // direction or corpus book, control, from, to
        QTest::newRow("left side arrow") << "rtl prev_page_button 0 1";
        QTest::newRow("left toolbar arrow") << "rtl toolbar_prev_button 0 1";
        QTest::newRow("right side arrow") << "rtl next_page_button 2 1";
        QTest::newRow("right toolbar arrow") << "rtl toolbar_next_button 2 1";
        QTest::newRow("left to right") << "ltr prev_page_button 2 1";
        QTest::newRow("Hebrew corpus book") << "israel-sailing-hebrew.epub prev_page_button 0 1";
    }

    void turnsInTheReadingDirection()
    {
        QFETCH(QString, turn);
        const QStringList at = turn.split(' ');
        ViewerViewWindow* reader = open(
            at[0].endsWith(".epub") ? installCorpusBook(at[0]) : installTestBook("epub3-rtl", "rtl", at[0].toUtf8()));
        QVERIFY(reader);
        reader->moveToPageNum(at[2].toInt());
        QVERIFY(waitReady());
        QTest::mouseClick(child<QPushButton>(qPrintable(at[1])), Qt::LeftButton);
        QVERIFY(waitReady());
        QCOMPARE(reader->currentIndex(), at[3].toInt());
    }

    // A page holding one picture alone shows it whole, proportions kept,
    // without scrolling; a picture among text stays in the column.
    void fitsCoverPages_data()
    {
        QTest::addColumn<QString>("book");
        QTest::addColumn<int>("page"); // picture, wrapped picture, drawing, among text
        QTest::addColumn<bool>("fitted");
        for (int page : { 0, 1, 2, 3 })
            QTest::addRow("page %d", page) << "epub3-covers" << page << (page < 3);
        QTest::newRow("corpus cover") << "moby-dick.epub" << 0 << true;
    }

    void fitsCoverPages()
    {
        QFETCH(QString, book);
        QFETCH(int, page);
        QFETCH(bool, fitted);
        ViewerViewWindow* reader = open(book.endsWith(".epub") ? installCorpusBook(book) : installTestBook(book));
        QVERIFY(reader);
        reader->moveToPageNum(page);
        QVERIFY(waitReady());
        ViewerWebView* view = reader->leftView();
        QTRY_VERIFY(evaluate(view, "document.images.length ? document.images[0].complete : true").toBool());
        const double bottom
            = evaluate(view, "document.querySelector('img, svg').getBoundingClientRect().bottom").toDouble();
        auto* area = child<QScrollArea>("viewer_webview_scrollarea");
        QCOMPARE(bottom * view->zoomFactor() <= area->height(), fitted);
        QCOMPARE(area->verticalScrollBar()->maximum() == 0, fitted);
        const QImage shown = view->grab().toImage();
        if (fitted) // white beside the picture
            QVERIFY(shown.pixelColor(shown.width() / 2, shown.height() / 2) != shown.pixelColor(2, shown.height() / 2));
    }

    // A spine item the pages cannot show gives way to its fallback, or to a
    // notice when its chain loops or ends.
    void showsFallbackOrNotice_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("shown");
        QTest::newRow("own document") << 0 << "p1.xhtml";
        QTest::newRow("fallback two steps on") << 2 << "shown.xhtml";
        QTest::newRow("looping chain") << 3 << "";
        QTest::newRow("chain to a missing item") << 4 << "";
        QTest::newRow("image in the spine") << 5 << "pic.jpg";
    }

    void showsFallbackOrNotice()
    {
        QFETCH(int, page);
        QFETCH(QString, shown);
        ViewerViewWindow* reader = open(installTestBook(QStringLiteral("epub3-declared")));
        QVERIFY(reader);
        QTest::mouseClick(child<QPushButton>("toolbar_both_view_button"), Qt::LeftButton); // single pages
        QVERIFY(waitReady());
        QVERIFY(!reader->isTwoPageView());
        reader->moveToPageNum(page);
        QVERIFY(waitReady());
        const QString text = pageText(reader->leftView());
        QVERIFY2(!text.contains(QLatin1String("never shown")), qPrintable(text));
        if (shown.isEmpty())
            QVERIFY2(text.contains(QLatin1String("cannot be shown")), qPrintable(text));
        else
            QCOMPARE(shownPath(reader->leftView()), shown);
    }

    // Documents the engine lays out by the viewport: drawings sized by their
    // viewBox, pictures in the spine and vertical writing are shown whole, the
    // sideways ones starting at their right edge; Arabic lines wrap and are
    // drawn inside their paragraph.
    void showsWholeDocuments_data()
    {
        QTest::addColumn<QString>("book"); // a corpus book, or one of tests/data/books
        QTest::addColumn<int>("page");
        QTest::addColumn<QColor>("seen"); // a colour the area shows
        QTest::addColumn<bool>("sideways");
        QTest::addColumn<QString>("block"); // an element all drawn text of the area lies in
        const QString measure = QStringLiteral("epub3-measure");
        QTest::newRow("viewBox-only drawing") << measure << 0 << QColor("#3333cc") << false << "";
        QTest::newRow("vertical writing") << measure << 1 << QColor() << true << "";
        QTest::newRow("Arabic lines wrap") << measure << 2 << QColor() << false << "p";
        QTest::newRow("picture in the spine") << measure << 3 << QColor("#c02020") << false << "";
        QTest::newRow("vertical Japanese novel") << "kusamakura-preview-japanese.epub" << 2 << QColor() << true << "";
    }

    void showsWholeDocuments()
    {
        QFETCH(QString, book);
        QFETCH(int, page);
        QFETCH(QColor, seen);
        QFETCH(bool, sideways);
        ViewerViewWindow* reader
            = open(book.endsWith(QLatin1String(".epub")) ? installCorpusBook(book) : installTestBook(book));
        QVERIFY(reader);
        reader->moveToPageNum(page);
        QVERIFY(waitReady());
        const QImage shown = child<QScrollArea>("viewer_webview_scrollarea")->grab().toImage();
        QWebFrame* frame = reader->leftView()->page()->mainFrame();
        const int sidewaysEnd = frame->scrollBarMaximum(Qt::Horizontal);
        QCOMPARE(sidewaysEnd > 0, sideways);
        QCOMPARE(frame->scrollPosition().x(), sidewaysEnd);
        QFETCH(QString, block);
        if (!block.isEmpty()) {
            ViewerWebView* view = reader->leftView();
            const QStringList box = evaluate(view,
                QStringLiteral("(function(){var b=document.querySelector('%1').getBoundingClientRect();"
                               "return [b.left,b.right,Math.max(b.top,0),Math.min(b.bottom,innerHeight)].join();})()")
                    .arg(block))
                                        .toString()
                                        .split(QLatin1Char(','));
            const double zoom = view->zoomFactor();
            const auto at = [&](int i) { return int(box.at(i).toDouble() * zoom); };
            const auto [left, right] = lf::test::inkColumns(view->grab().toImage(), at(2), at(3));
            QVERIFY(left >= 0);
            QVERIFY2(left >= at(0) - 1 && right <= at(1) + 1,
                qPrintable(QStringLiteral("drawn from %1 to %2 in a block from %3 to %4")
                               .arg(left)
                               .arg(right)
                               .arg(at(0))
                               .arg(at(1))));
        }
        if (!seen.isValid())
            return;
        bool found = false;
        for (int y = 0; y < shown.height() && !found; y += 2) {
            for (int x = 0; x < shown.width() && !found; x += 2) {
                const QColor c = shown.pixelColor(x, y);
                found = qAbs(c.red() - seen.red()) + qAbs(c.green() - seen.green()) + qAbs(c.blue() - seen.blue()) < 40;
            }
        }
        QVERIFY2(found, qPrintable(seen.name()));
    }

    // A font the book ships obfuscated draws its own glyphs, and addresses
    // rooted at the book's top folder, or climbing above it, find the book's
    // files.
    void drawsObfuscatedFontsAndRootedAddresses()
    {
        const lf::test::ObfuscatedFontBook fonts
            = lf::test::obfuscatedFontBook(QStringLiteral("EPUB/fonts/"), QStringLiteral("../fonts/"));
        QVERIFY(!fonts.files.isEmpty());
        QImage picture(40, 30, QImage::Format_RGB32);
        picture.fill(Qt::red);
        QByteArray png;
        QBuffer buffer(&png);
        QVERIFY(buffer.open(QIODevice::WriteOnly) && picture.save(&buffer, "PNG"));
        QMap<QString, QByteArray> files = fonts.files;
        files.insert(QStringLiteral("EPUB/img/red.png"), png);
        const QString name = installOnePageBook(QStringLiteral("fonts-and-roots"),
            (R"(<html xmlns="http://www.w3.org/1999/xhtml"><head>)" + fonts.style + "</head><body>" + fonts.body
                + R"(<p><img id="rooted" src="/EPUB/img/red.png"/><img id="climbing" src="../../../../../../../../../../EPUB/img/red.png"/>)"
                  R"(<img id="outside" src="/etc/hostname"/></p></body></html>)")
                .toUtf8(),
            files);
        QVERIFY(!name.isEmpty());

        ViewerViewWindow* reader = open(name);
        QVERIFY(reader);
        QWebFrame* frame = reader->leftView()->page()->mainFrame();
        QTRY_COMPARE(lf::test::elementWidth(frame, "hidden"), lf::test::elementWidth(frame, "plain"));
        QVERIFY(lf::test::elementWidth(frame, "plain") != lf::test::elementWidth(frame, "fallback"));
        for (const char* id : { "rooted", "climbing" }) {
            const QString natural = QStringLiteral("document.getElementById('%1').naturalWidth").arg(QLatin1String(id));
            QTRY_COMPARE(frame->evaluateJavaScript(natural).toInt(), 40);
        }
        QCOMPARE(
            frame->evaluateJavaScript(QStringLiteral("document.getElementById('outside').naturalWidth")).toInt(), 0);
    }

    // Every page change starts the page column at its top, except a jump to
    // an anchor (the anchor's place) and to a search result (its first match).
    void landsWhereThePageIsAsked_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("next page after scrolling") << "next";
        QTest::newRow("link with a fragment into another document") << "anchor";
        QTest::newRow("fragment in the shown document") << "same document";
        QTest::newRow("search result") << "search";
    }

    void landsWhereThePageIsAsked()
    {
        QFETCH(QString, how);
        // Several chapters share each document of this book.
        ViewerViewWindow* reader = open(installCorpusBook(QStringLiteral("gutenberg-pride-and-prejudice-epub2.epub")));
        QVERIFY(reader);
        QScrollBar* column = child<QScrollArea>("viewer_webview_scrollarea")->verticalScrollBar();
        reader->moveToPageNum(1);
        QVERIFY(waitReady());
        column->setValue(column->maximum() / 2);
        QVERIFY(column->value() > 0);
        const QUrl shown = reader->leftView()->url();
        QWebFrame* frame = reader->leftView()->page()->mainFrame();
        int expected = 0;
        if (how == QLatin1String("next")) {
            QTest::mouseClick(child<QPushButton>("toolbar_next_button"), Qt::LeftButton);
        } else if (how == QLatin1String("search")) {
            // A phrase two thirds down the next document.
            reader->moveToPageNum(2);
            QVERIFY(waitReady());
            const QString text = frame->toPlainText().simplified();
            QString term = text.mid(text.size() * 2 / 3, 40);
            term = term.mid(term.indexOf(QLatin1Char(' ')) + 1).section(QLatin1Char(' '), 0, 2);
            reader->moveToPageNum(1);
            QVERIFY(waitReady());
            column->setValue(column->maximum() / 2);
            reader->moveToPageNum(2, &term);
        } else {
            QUrl target = how == QLatin1String("anchor") ? reader->leftView()->url() : shown;
            if (how == QLatin1String("anchor")) {
                reader->moveToPageNum(2);
                QVERIFY(waitReady());
                target = shown;
            }
            target.setFragment(QStringLiteral("pgepubid00009"));
            QVERIFY(reader->moveToPageUrl(target));
        }
        QVERIFY(waitReady());
        if (how == QLatin1String("next")) {
            QCOMPARE(column->value(), 0);
            return;
        }
        if (how == QLatin1String("search")) {
            QVERIFY2(column->value() > column->maximum() / 3, "the match lies two thirds down");
            return;
        }
        expected = frame->findFirstElement(QStringLiteral("[id=\"pgepubid00009\"]")).geometry().top();
        QVERIFY(expected > 0);
        QCOMPARE(column->value(), std::min(expected, column->maximum()));
    }

    // The search panel's field takes the keyboard when the panel opens, and
    // the page takes it back after a toolbar button turned the page.
    void handsTheKeyboardOver()
    {
        ViewerViewWindow* reader = open(installCorpusBook(QStringLiteral("moby-dick.epub")));
        QVERIFY(reader);
        QTest::mouseClick(child<QPushButton>("toolbar_search_button"), Qt::LeftButton);
        QWidget* panel = reader->findChild<ViewerSearchForm*>();
        QVERIFY(panel && panel->isVisible());
        QTRY_VERIFY(panel->findChild<QLineEdit*>(QStringLiteral("search_line_edit"))->hasFocus());

        QTest::mouseClick(child<QPushButton>("toolbar_next_button"), Qt::LeftButton);
        QVERIFY(waitReady());
        QTRY_VERIFY(reader->leftView()->hasFocus());
        QVERIFY(panel->isVisible());
    }

    void asksToContinue_data()
    {
        QTest::addColumn<int>("stored");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<int>("prompts");
        QTest::addColumn<int>("shown");
        QTest::addColumn<int>("progress");
        QTest::newRow("accepted") << 7 << QByteArray("yes_button") << 1 << 6 << 7;
        QTest::newRow("declined") << 7 << QByteArray("no_button") << 1 << 0 << 1;
        QTest::newRow("closed") << 7 << QByteArray("close_button") << 1 << 0 << 1;
        QTest::newRow("only the first page seen") << 1 << QByteArray("yes_button") << 0 << 0 << 1;
    }

    void asksToContinue()
    {
        QFETCH(int, stored);
        QFETCH(QByteArray, answer);
        const QString name = installCorpusBook(QStringLiteral("moby-dick.epub"));
        QVERIFY(lf::test::writeProgress(name, stored));
        DialogAnswerer answerer(answer.constData());
        ViewerViewWindow* reader = open(name, true);
        QVERIFY(reader);
        QTEST(answerer.answered, "prompts");
        QTEST(reader->currentIndex(), "shown");
        QTEST(reader->progressPage(), "progress");
        // A declined prompt lowers the progress in memory only; the file keeps
        // its value until a page change raises it.
        QCOMPARE(storedProgress(name), stored);
        if (reader->progressPage() < stored) {
            reader->moveToPageNum(1);
            QVERIFY(waitReady());
            QCOMPARE(storedProgress(name), 2);
        }
    }

    void laysOutAndZooms()
    {
        ViewerViewWindow* reader = open(installCorpusBook(kFixedLayoutBook));
        QVERIFY(reader);
        QTest::mouseClick(child<QPushButton>("toolbar_both_view_button"), Qt::LeftButton); // single pages
        QVERIFY(waitReady());
        auto* area = child<QWidget>("viewer_webview_scrollarea");
        const double fit = reader->leftFitScale();
        QVERIFY2(fit > 0.0 && fit <= 10.0, qPrintable(QString::number(fit)));
        QVERIFY(reader->leftView()->innerScrolling()); // the whole page fits
        QVERIFY(area->height() <= child<QWidget>("viewer_frame")->height());

        // The menus set absolute factors: "75%" after "150%" gives 0.75.
        const QSize fitted = reader->leftView()->size();
        {
            MenuChooser chooser({ QStringLiteral("150%") });
            reader->enlargeEvent();
            QVERIFY(chooser.shown);
        }
        QCOMPARE(reader->zoomFactor(), 1.5);
        QTRY_COMPARE(reader->leftView()->width(), qRound(qRound(fitted.width() / 1.0) * 1.5));
        {
            MenuChooser chooser({ QStringLiteral("75%") });
            reader->reduceEvent();
            QCOMPARE(chooser.entries, QStringList({ "100%", "75%", "50%", "25%" }));
        }
        QCOMPARE(reader->zoomFactor(), 0.75);
        {
            MenuChooser dismiss;
            reader->enlargeEvent();
        }
        QCOMPARE(reader->zoomFactor(), 0.75);

        // Fitting the width of a portrait page makes it taller than the area:
        // the wheel then scrolls the area, not the view.
        QTest::mouseClick(child<QPushButton>("toolbar_vertical_horizontal_match_button"), Qt::LeftButton);
        QVERIFY(reader->leftFitScale() > fit);
        QVERIFY(!reader->leftView()->innerScrolling());
    }

    void reflowableDocumentsScrollTheArea()
    {
        ViewerViewWindow* reader = open(installCorpusBook(QStringLiteral("moby-dick.epub")));
        QVERIFY(reader);
        reader->moveToPageNum(5);
        QVERIFY(waitReady());
        ViewerWebView* view = reader->leftView();
        // The view is as tall as its document, taller than the area.
        QVERIFY(view->height() > child<QWidget>("viewer_frame")->height());
        QVERIFY(!view->innerScrolling());
        // The scroll bar sits beside the text: nothing scrolls sideways.
        auto* area = child<QScrollArea>("viewer_webview_scrollarea");
        QTRY_VERIFY(area->verticalScrollBar()->isVisible());
        QVERIFY(!area->horizontalScrollBar()->isVisible());
        QCOMPARE(area->viewport()->width(), view->width());
        // The page buttons beside the area never cover it (nor its scroll bar)
        // once the frame has placed them around the area's new width.
        QTRY_VERIFY(!child<QWidget>("next_page_button")->geometry().intersects(area->geometry()));
        QTRY_VERIFY(!child<QWidget>("prev_page_button")->geometry().intersects(area->geometry()));

        // The wheel over the page scrolls the column.
        const QPoint at(view->width() / 2, 100);
        QWheelEvent wheel(at, view->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
            Qt::NoScrollPhase, false);
        QApplication::sendEvent(view, &wheel);
        QVERIFY(area->verticalScrollBar()->value() > 0);
    }

    void offersMarksInTheContextMenu_data()
    {
        QTest::addColumn<QString>("mark"); // what the selection touches
        QTest::addColumn<QStringList>("entries");
        QTest::newRow("nothing") << ""
                                 << QStringList({ "Highlight", "Highlight/Yellow", "Highlight/Orange",
                                        "Highlight/Green", "Highlight/Blue", "Memo", "Search" });
        QTest::newRow("a highlight") << "highlight" << QStringList({ "Remove Highlight", "Search" });
        QTest::newRow("a memo") << "memo" << QStringList({ "Remove Memo", "Search" });
        QTest::newRow("both") << "both" << QStringList({ "Remove Highlight and Memo", "Search" });
        // Text of a drawing cannot be wrapped in marks.
        QTest::newRow("drawing") << "drawing" << QStringList({ "Search" });
    }

    void offersMarksInTheContextMenu()
    {
        QFETCH(QString, mark);
        ViewerViewWindow* reader = open(installTestBook(kSampleBook));
        QVERIFY(reader);
        ViewerWebView* view = reader->leftView();
        if (mark == QLatin1String("highlight") || mark == QLatin1String("both")) {
            selectElement(view, mark == QLatin1String("both") ? QStringLiteral("plain") : QStringLiteral("marked"));
            evaluate(view,
                lf::HighlighterStatements::doHighlight(
                    1, QStringLiteral("highlighted1"), QStringLiteral("rgba(0, 255, 36, 0.3)")));
        }
        if (mark == QLatin1String("memo") || mark == QLatin1String("both")) {
            selectElement(view, QStringLiteral("marked"));
            evaluate(view, lf::HighlighterStatements::doMemo(2, QStringLiteral("memo2")));
        }
        if (mark == QLatin1String("both"))
            selectElements(view, QStringLiteral("plain"), QStringLiteral("marked"));
        else
            selectElement(view, mark == QLatin1String("drawing") ? QStringLiteral("drawn") : QStringLiteral("marked"));
        MenuChooser chooser;
        view->customContextMenu(QPoint(10, 10));
        QVERIFY(chooser.shown);
        QTEST(chooser.entries, "entries");
    }

    void noSelectionNoMenu()
    {
        ViewerViewWindow* reader = open(installTestBook(kSampleBook));
        QVERIFY(reader);
        MenuChooser chooser;
        reader->leftView()->customContextMenu(QPoint(10, 10));
        QVERIFY(!chooser.shown);
    }

    void marksThroughTheContextMenu_data()
    {
        QTest::addColumn<QStringList>("path");
        QTest::addColumn<QStringList>("signals");
        QTest::newRow("green") << QStringList({ "Highlight", "Green" })
                               << QStringList({ "highlightAdd Green", "serialize" });
        QTest::newRow("memo") << QStringList({ "Memo" }) << QStringList({ "memoAdd", "serialize" });
        QTest::newRow("search") << QStringList({ "Search" }) << QStringList({ "search" });
    }

    void marksThroughTheContextMenu()
    {
        QFETCH(QStringList, path);
        ViewerViewWindow* reader = open(installTestBook(kSampleBook));
        QVERIFY(reader);
        ViewerWebView* view = reader->leftView();
        QStringList emitted;
        QString className;
        QString serialised;
        connect(view, &ViewerWebView::highlightAddEvent, this,
            [&](const QString& name, const QString& colour, const QString& text) {
                emitted << QStringLiteral("highlightAdd ") + colour;
                className = name;
                QCOMPARE(text, QStringLiteral("Marked words stay here."));
            });
        connect(view, &ViewerWebView::memoAddEvent, this, [&](const QString& name, const QString&) {
            emitted << QStringLiteral("memoAdd");
            className = name;
        });
        connect(view, &ViewerWebView::serializeHighlights, this, [&](const QString& marks) {
            emitted << QStringLiteral("serialize");
            serialised = marks;
        });
        connect(view, &ViewerWebView::searchRequest, this, [&](const QString& text) {
            emitted << QStringLiteral("search");
            QCOMPARE(text, QStringLiteral("Marked words stay here."));
        });

        selectElement(view, QStringLiteral("marked"));
        MenuChooser chooser(path);
        view->customContextMenu(QPoint(10, 10));
        QTEST(emitted, "signals");
        if (emitted.first() == QLatin1String("search"))
            return;
        const QString prefix = path.first() == QLatin1String("Memo") ? "memo" : "highlighted";
        QVERIFY(QRegularExpression(QStringLiteral("^%1\\d{13}$").arg(prefix)).match(className).hasMatch());
        QVERIFY(serialised.contains(className));
        // The mark is in the page, and the reader stored it for page 0.
        QCOMPARE(
            evaluate(view, QStringLiteral("document.getElementsByClassName('%1').length").arg(className)).toInt(), 1);
        QVERIFY(QFileInfo::exists(lf::dataDirectory() + kSampleBook + QStringLiteral("/OPS/highlight/hili0")));
    }

    // Marks made through the menu, a memo written in the editor and a
    // bookmark survive closing the reader: on the page and in the panels.
    void annotationsSurviveReopening()
    {
        const QString name = installTestBook(kSampleBook);
        QString highlight;
        QString memo;
        QString trickyText;
        {
            ViewerViewWindow* reader = open(name);
            QVERIFY(reader);
            ViewerWebView* view = reader->leftView();
            trickyText = evaluate(view, QStringLiteral("document.getElementById('tricky').textContent")).toString();
            connect(view, &ViewerWebView::highlightAddEvent, this,
                [&](const QString& className) { highlight = className; });
            connect(view, &ViewerWebView::memoAddEvent, this, [&](const QString& className) { memo = className; });

            selectElement(view, QStringLiteral("tricky"));
            {
                MenuChooser chooser({ QStringLiteral("Highlight"), QStringLiteral("Blue") });
                view->customContextMenu(QPoint(10, 10));
            }
            QTest::qWait(2); // a later time stamp for the memo
            selectElement(view, QStringLiteral("plain"));
            {
                MenuChooser chooser({ QStringLiteral("Memo") });
                view->customContextMenu(QPoint(10, 10));
            }
            ViewerMemoForm* editor = reader->memoEditor(false);
            QVERIFY(editor->isVisible());
            editor->findChild<QTextEdit*>(QStringLiteral("textEdit"))->setPlainText(QStringLiteral("Note 'one'"));
            QTest::mouseClick(editor->findChild<QPushButton*>(QStringLiteral("ok_button")), Qt::LeftButton);
            QVERIFY(!editor->isVisible());
            QTest::mouseClick(child<QPushButton>("left_bookmark_button"), Qt::LeftButton);
        }
        QVERIFY(!highlight.isEmpty() && !memo.isEmpty());
        m_reader.reset();

        ViewerViewWindow* reader = open(name);
        QVERIFY(reader);
        ViewerWebView* view = reader->leftView();
        const auto markedText = [&](const QString& className) {
            return evaluate(view,
                QStringLiteral("Array.prototype.map.call(document.getElementsByClassName('%1'),"
                               "function(e){return e.textContent;}).join('')")
                    .arg(className))
                .toString();
        };
        QCOMPARE(markedText(highlight), trickyText);
        QCOMPARE(markedText(memo), QStringLiteral("The quick brown fox jumps over the lazy dog."));
        QVERIFY(child<QPushButton>("left_bookmark_button")->isChecked());

        // Each panel lists its marks once opened from the toolbar.
        const auto rows = [&](const char* button, const char* panel) {
            QTest::mouseClick(child<QPushButton>(button), Qt::LeftButton);
            return reader->findChild<QWidget*>(QString::fromLatin1(panel))->findChild<QListWidget*>()->count();
        };
        QCOMPARE(rows("toolbar_bookmark_button", "ViewerBookmarkListForm"), 1);
        QCOMPARE(rows("toolbar_highlight_button", "ViewerHighlightListForm"), 1);
        QCOMPARE(rows("toolbar_memo_button", "ViewerMemoListForm"), 1);
        QCOMPARE(reader->annotationStore().memo(0, memo)->memo, QStringLiteral("Note 'one'"));

        // Clicking the memo's mark opens its editor with the saved text.
        evaluate(view, QStringLiteral("window.getSelection().removeAllRanges()"));
        reader->webviewShowMemo(memo);
        QVERIFY(reader->memoEditor(false)->isVisible());
        QCOMPARE(reader->memoEditor(false)->findChild<QTextEdit*>(QStringLiteral("textEdit"))->toPlainText(),
            QStringLiteral("Note 'one'"));
    }

    void panelsShareOnePlace()
    {
        ViewerViewWindow* reader = open(installTestBook(kSampleBook));
        QVERIFY(reader);
        auto* bookmarks = reader->findChild<QWidget*>(QStringLiteral("ViewerBookmarkListForm"));
        auto* highlights = reader->findChild<QWidget*>(QStringLiteral("ViewerHighlightListForm"));
        QTest::mouseClick(child<QPushButton>("toolbar_bookmark_button"), Qt::LeftButton);
        QVERIFY(bookmarks->isVisible());
        QTest::mouseClick(child<QPushButton>("toolbar_highlight_button"), Qt::LeftButton);
        QVERIFY(highlights->isVisible());
        QVERIFY(!bookmarks->isVisible());
        QVERIFY(!child<QPushButton>("toolbar_bookmark_button")->isChecked());
        QCOMPARE(highlights->geometry(), bookmarks->geometry());
        QCOMPARE(highlights->geometry().right(), reader->width() - 3);
    }

    // "Search" in the page's menu opens the search panel with the selected
    // text; a result turns to its page.
    void searchesFromThePage()
    {
        ViewerViewWindow* reader = open(installTestBook(kSampleBook));
        QVERIFY(reader);
        auto* bookmarks = reader->findChild<QWidget*>(QStringLiteral("ViewerBookmarkListForm"));
        QTest::mouseClick(child<QPushButton>("toolbar_bookmark_button"), Qt::LeftButton);
        QVERIFY(bookmarks->isVisible());

        evaluate(reader->leftView(),
            QStringLiteral("(function(){var r=document.createRange();"
                           "var t=document.getElementById('plain').firstChild;"
                           "r.setStart(t,4);r.setEnd(t,9);"
                           "var s=window.getSelection();s.removeAllRanges();s.addRange(r);})()"));
        {
            MenuChooser chooser({ QStringLiteral("Search") });
            reader->leftView()->customContextMenu(QPoint(10, 10));
        }
        auto* search = reader->findChild<QWidget*>(QStringLiteral("ViewerSearchForm"));
        QVERIFY(search && search->isVisible());
        QVERIFY(!bookmarks->isVisible());
        QVERIFY(child<QPushButton>("toolbar_search_button")->isChecked());
        QVERIFY(!child<QPushButton>("toolbar_bookmark_button")->isChecked());

        auto* results = search->findChild<QListWidget*>(QStringLiteral("listWidget"));
        QTRY_COMPARE_WITH_TIMEOUT(results->count(), 1, 10000); // "quick" is on the first page only
        reader->moveToPageNum(1);
        QVERIFY(waitReady());
        QVERIFY(QMetaObject::invokeMethod(search, "moveToPage", Q_ARG(QListWidgetItem*, results->item(0))));
        QVERIFY(waitReady());
        QCOMPARE(reader->currentIndex(), 0);
    }

    void deletingTheShownBookmarkUnchecksTheRibbon()
    {
        ViewerViewWindow* reader = open(installTestBook(kSampleBook));
        QVERIFY(reader);
        auto* ribbon = child<QPushButton>("left_bookmark_button");
        QTest::mouseClick(ribbon, Qt::LeftButton);
        QVERIFY(ribbon->isChecked());
        QTest::mouseClick(child<QPushButton>("toolbar_bookmark_button"), Qt::LeftButton);
        auto* panel = reader->findChild<QWidget*>(QStringLiteral("ViewerBookmarkListForm"));
        auto* remove = panel->findChild<QPushButton*>(QStringLiteral("delete_button"));
        QVERIFY(remove);
        QTest::mouseClick(remove, Qt::LeftButton);
        QVERIFY(!ribbon->isChecked());
        QVERIFY(reader->annotationStore().bookmarks()->isEmpty());
    }

    // Only the user's own click follows a link: a book's script clicking one,
    // or making up a click event, reaches neither the desktop nor another page.
    void followsLinks_data()
    {
        QTest::addColumn<QString>("link");
        QTest::addColumn<int>("clicker");
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("desktop");
        QTest::newRow("anchor in the same document") << "anchor-link" << int(User) << 0 << "";
        QTest::newRow("another spine document by file") << "chapter-link" << int(User) << 1 << "";
        QTest::newRow("a web address") << "outside-link" << int(User) << 0 << "http://example.com/elsewhere";
        QTest::newRow("a file of the machine") << "file-link" << int(User) << 0 << "";
        QTest::newRow("a web address in an inline frame")
            << "outside-link" << int(UserInAFrame) << 0 << "http://example.com/inside-the-frame";
        QTest::newRow("a web address clicked by a script") << "outside-link" << int(Script) << 0 << "";
        QTest::newRow("a mail address clicked by a script") << "mail-link" << int(Script) << 0 << "";
        QTest::newRow("a web address by a made-up click event") << "outside-link" << int(MadeUpEvent) << 0 << "";
        QTest::newRow("another spine document clicked by a script") << "chapter-link" << int(Script) << 0 << "";
        QTest::newRow("a web address clicked while the user clicks")
            << "outside-link" << int(ScriptWhileTheUserClicks) << 0 << "";
    }

    void followsLinks()
    {
        QFETCH(QString, link);
        QFETCH(int, clicker);
        lf::test::DesktopUrlCatcher handler(
            { QStringLiteral("http"), QStringLiteral("file"), QStringLiteral("mailto") });
        // The user says yes to leaving the book; only the user's click asks.
        DialogAnswerer yes("yes_button");
        ViewerViewWindow* reader = open(installTestBook(kSampleBook));
        QVERIFY(reader);
        ViewerWebView* view = reader->leftView();
        evaluate(view,
            QStringLiteral("var mail = document.createElement('a'); mail.id = 'mail-link';"
                           "mail.href = 'mailto:reader@example.com?subject=sent'; mail.textContent = 'Write';"
                           "document.body.appendChild(mail);"));
        const QString element = QStringLiteral("document.getElementById('%1')").arg(link);
        switch (clicker) {
        case User:
            clickElement(view, link);
            break;
        case UserInAFrame: {
            // The page shown again in an inline frame at its top.
            evaluate(view,
                QStringLiteral("var inner = document.createElement('iframe'); inner.id = 'inner';"
                               "inner.style.width = '600px'; inner.style.height = '400px';"
                               "inner.src = document.location.href;"
                               "document.body.insertBefore(inner, document.body.firstChild);"));
            QWebFrame* inner = nullptr;
            QTRY_VERIFY((inner = view->page()->mainFrame()->childFrames().value(0))
                && !inner->findFirstElement(QLatin1Char('#') + link).isNull());
            inner->findFirstElement(QLatin1Char('#') + link)
                .setAttribute(QStringLiteral("href"), QStringLiteral("http://example.com/inside-the-frame"));
            const QWebElement frame = view->page()->mainFrame()->findFirstElement(QStringLiteral("#inner"));
            const QRect target = inner->findFirstElement(QLatin1Char('#') + link).geometry();
            QTest::mouseClick(view, Qt::LeftButton, {}, frame.geometry().topLeft() + QPoint(2, 2) + target.center());
            break;
        }
        case Script:
            evaluate(view, element + QStringLiteral(".click();"));
            break;
        case MadeUpEvent:
            evaluate(view,
                element
                    + QStringLiteral(".dispatchEvent(new MouseEvent('click', "
                                     "{bubbles: true, cancelable: true, view: window, clientX: 5, clientY: 5}));"));
            break;
        case ScriptWhileTheUserClicks:
            evaluate(view,
                QStringLiteral("document.getElementById('plain').onclick = function () { %1.click(); };").arg(element));
            clickElement(view, QStringLiteral("plain"));
            break;
        }
        QFETCH(int, page);
        QFETCH(QString, desktop);
        QTRY_COMPARE(reader->currentIndex(), page);
        QVERIFY(waitReady());
        QTRY_COMPARE(handler.opened, desktop.isEmpty() ? QList<QUrl>() : QList<QUrl> { QUrl(desktop) });
        QCOMPARE(yes.answered, desktop.isEmpty() ? 0 : 1);
    }

    void confinesBookPages()
    {
        // A file of the user beside the data directory, and a remote image.
        const QString secret = lf::test::privateTempDir() + QStringLiteral("/secret.txt");
        QFile file(secret);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("not for books");
        file.close();
        lf::test::LoopbackHttpServer server;
        QVERIFY(server.listen());
        server.serve(QStringLiteral("/pixel.png"), QByteArray("x"));
        const QString name = installTestBook(kSampleBook, "REMOTE_IMAGE", server.url("/pixel.png").toEncoded());

        ViewerViewWindow* reader = open(name);
        QVERIFY(reader);
        reader->moveToPageNum(2);
        QVERIFY(waitReady());
        ViewerWebView* view = reader->leftView();
        QCOMPARE(shownPath(view), QStringLiteral("probe.xhtml"));

        // Reads outside the book, by absolute address and by climbing.
        evaluate(view,
            QStringLiteral("tryRead('%1'); tryRead('../../../secret.txt');")
                .arg(QUrl::fromLocalFile(secret).toString()));
        const QString reads = evaluate(view, QStringLiteral("probe.reads.join(' ')")).toString();
        QVERIFY2(!reads.contains(QLatin1String(":13")), qPrintable(reads));
        QCOMPARE(reads.count(QLatin1String("=")), 2);

        // Only the memo slot is reachable; nothing else of the reader is.
        const QString calls = evaluate(view,
            QStringLiteral("var r=[];['closeButtonEvent','moveToNextPage','openBook',"
                           "'saveBookmarkListToJson','deleteLater','webviewShowMemo'].forEach(function(n){"
                           "r.push(n+':'+typeof viewer_pc[n]);"
                           "try{viewer_pc[n]();}catch(e){}});r.join(' ')"))
                                  .toString();
        QCOMPARE(calls,
            QStringLiteral("closeButtonEvent:undefined moveToNextPage:undefined openBook:undefined "
                           "saveBookmarkListToJson:undefined deleteLater:function webviewShowMemo:function"));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(reader->isVisible());
        QCOMPARE(reader->currentIndex(), 2);
        QCOMPARE(evaluate(view, QStringLiteral("typeof viewer_pc.webviewShowMemo")).toString(), "function");

        // No socket leaves the page either.
        QTcpServer listener;
        QVERIFY(listener.listen(QHostAddress::LocalHost));
        QCOMPARE(evaluate(view, QStringLiteral("typeof WebSocket")).toString(), QStringLiteral("undefined"));
        evaluate(view,
            QStringLiteral("try { new window.WebSocket('ws://127.0.0.1:%1/'); } catch (e) {}")
                .arg(listener.serverPort()));
        QVERIFY(!listener.waitForNewConnection(300));

        // The remote image was never requested; the book's own image and style sheet loaded.
        QVERIFY(server.requestedPaths().isEmpty());
        QCOMPARE(evaluate(view, QStringLiteral("document.getElementById('own').naturalWidth")).toInt(), 4);
        QCOMPARE(evaluate(view, QStringLiteral("getComputedStyle(document.getElementById('styled')).color")).toString(),
            QStringLiteral("rgb(1, 2, 3)"));
    }

    // A page change never sticks: a document that fails, a second request
    // while the first still loads, a book script that navigates.
    void pageChangesNeverStick_data()
    {
        QTest::addColumn<QString>("removed"); // a document taken out of the book
        QTest::addColumn<int>("page");
        QTest::newRow("left page of a spread missing") << "OPS/xhtml/p03.xhtml" << 2;
        QTest::newRow("right page of a spread missing") << "OPS/xhtml/p04.xhtml" << 2;
    }

    void pageChangesNeverStick()
    {
        QFETCH(QString, removed);
        QFETCH(int, page);
        const QString name = installCorpusBook(kFixedLayoutBook);
        const QString missing = lf::dataDirectory() + name + QLatin1Char('/') + removed;
        QVERIFY(QFile::rename(missing, missing + QStringLiteral(".away")));
        ViewerViewWindow* reader = open(name);
        QVERIFY(reader);
        QVERIFY(reader->isTwoPageView()); // as the book asks in a wide window
        reader->moveToPageNum(page);
        const bool ready = waitReady();
        QFile::rename(missing + QStringLiteral(".away"), missing);
        QVERIFY(ready);
        QVERIFY(child<QPushButton>("toolbar_next_button")->isEnabled());
        QTest::mouseClick(child<QPushButton>("toolbar_both_view_button"), Qt::LeftButton); // back to one page
        QVERIFY(waitReady());
        reader->moveToPageNum(6);
        QVERIFY(waitReady());
        QCOMPARE(reader->currentIndex(), 6);
    }

    void secondRequestWhileLoadingWins()
    {
        ViewerViewWindow* reader = open(installCorpusBook(QStringLiteral("moby-dick.epub")));
        QVERIFY(reader);
        reader->moveToPageNum(5);
        reader->moveToPageNum(7);
        QVERIFY(waitReady());
        QCOMPARE(reader->currentIndex(), 7);
        QVERIFY(shownPath(reader->leftView()).startsWith(QLatin1String("chapter_00")));
        QVERIFY(reader->leftView()->hasHighlighter());
        QVERIFY(child<QPushButton>("toolbar_next_button")->isEnabled());
    }

    void bookScriptsCannotNavigateThePage()
    {
        const QString name = installTestBook(kSampleBook);
        ViewerViewWindow* reader = open(name);
        QVERIFY(reader);
        ViewerWebView* view = reader->leftView();
        selectElement(view, QStringLiteral("marked"));
        {
            MenuChooser chooser({ QStringLiteral("Highlight"), QStringLiteral("Yellow") });
            view->customContextMenu(QPoint(10, 10));
        }
        const QString marksFile = lf::dataDirectory() + name + QStringLiteral("/OPS/highlight/hili0");
        QFile stored(marksFile);
        QVERIFY(stored.open(QIODevice::ReadOnly));
        const QByteArray marks = stored.readAll();
        stored.close();

        // The script's navigation becomes a page turn, under the right page number.
        evaluate(view, QStringLiteral("location.href = 'second.xhtml';"));
        QTRY_COMPARE(reader->currentIndex(), 1);
        QVERIFY(waitReady());
        QCOMPARE(shownPath(view), QStringLiteral("second.xhtml"));
        QVERIFY(stored.open(QIODevice::ReadOnly));
        QCOMPARE(stored.readAll(), marks);

        // A page whose script is gone offers no marking and stores nothing.
        evaluate(view, QStringLiteral("text_highlighter = undefined;"));
        selectElement(view, QStringLiteral("middle"));
        MenuChooser chooser;
        view->customContextMenu(QPoint(10, 10));
        QCOMPARE(chooser.entries, QStringList { QStringLiteral("Search") });
    }

    // A book's script that never returns is ended after a few seconds: the
    // page is usable, and the user closes the reader and goes on.
    void endsScriptsThatNeverReturn()
    {
        const QString runaway = installTestBook(kScriptBook);
        const QString next = installTestBook(kSampleBook);
        ViewerMainWindow library;
        lf::setLibraryWindow(&library);
        library.openEpubViewer(runaway);
        QPointer<ViewerViewWindow> reader = library.epubViewer();
        QVERIFY(reader);
        QTRY_VERIFY(reader->isPageReady());
        reader->moveToPageNum(1);
        QVERIFY(QTest::qWaitFor([&reader] { return reader->isPageReady(); }, 60000));
        QCOMPARE(shownPath(reader->leftView()), QStringLiteral("runaway.xhtml"));
        QVERIFY(reader->leftView()->hasHighlighter()); // the reader's own script runs in the page

        QTest::mouseClick(reader->findChild<QPushButton*>(QStringLiteral("window_close_button")), Qt::LeftButton);
        QTRY_VERIFY(!library.epubViewer());
        library.openEpubViewer(next);
        QTRY_VERIFY(library.epubViewer() && library.epubViewer()->isPageReady());
        lf::setLibraryWindow(nullptr);
    }

    // Nothing a book's script stores reaches the disk: the working directory,
    // the data directory and the program's own data locations keep their files.
    void bookScriptsWriteNoFiles()
    {
        const QString working = lf::test::privateTempDir() + QStringLiteral("/working");
        QVERIFY(QDir().mkpath(working));
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(working));
        const QString name = installTestBook(kScriptBook);
        // This book's folder: other books' readers closed by earlier tests may
        // still be saving their own progress.
        const QStringList places { working, lf::dataDirectory() + name,
            QStandardPaths::writableLocation(QStandardPaths::AppDataLocation),
            QStandardPaths::writableLocation(QStandardPaths::CacheLocation) };
        const QSet<QString> before = filesBelow(places);

        ViewerViewWindow* reader = open(name);
        const bool opened = reader;
        const QString probe
            = opened ? evaluate(reader->leftView(), QStringLiteral("storageProbe.join(' ')")).toString() : QString();
        m_reader.reset();
        QDir::setCurrent(previous);
        QVERIFY(opened);
        QVERIFY2(probe.contains(QLatin1String("localStorage=kept")), qPrintable(probe)); // kept in memory

        // The reader's own progress file is the one file added.
        const QSet<QString> added = filesBelow(places) - before;
        const QStringList listed(added.cbegin(), added.cend());
        QVERIFY2(added == QSet<QString> { lf::dataDirectory() + name + QStringLiteral("/cp") },
            qPrintable(listed.join(QLatin1Char(' '))));
    }

    // Another book handed over while the continue prompt waits closes this
    // reader under the prompt: the new one opens, nothing breaks.
    void anotherBookWhileThePromptWaits()
    {
        const QString first = installCorpusBook(kFixedLayoutBook);
        const QString second = installTestBook(kSampleBook);
        QFile::remove(lf::dataDirectory() + second + QStringLiteral("/cp"));
        QVERIFY(lf::test::writeProgress(first, 7));
        ViewerMainWindow library;
        lf::setLibraryWindow(&library);
        QPointer<ViewerViewWindow> firstReader;
        QPointer<QWidget> prompt;
        QTimer handOver; // once the first reader's prompt is up
        handOver.setInterval(10);
        connect(&handOver, &QTimer::timeout, &library, [&] {
            prompt = qobject_cast<ViewerDefaultDialog*>(QApplication::activeModalWidget());
            if (!prompt || !firstReader || prompt->parentWidget() != firstReader)
                return;
            handOver.stop();
            library.openEpubViewer(second);
        });
        handOver.start();
        library.openEpubViewer(first);
        firstReader = library.epubViewer();
        QTRY_VERIFY_WITH_TIMEOUT(!handOver.isActive(), 30000);
        QTRY_VERIFY(library.epubViewer() && library.epubViewer()->bookName() == second);
        QTRY_VERIFY(library.epubViewer()->isPageReady());
        QTRY_VERIFY(!prompt && !firstReader);
        lf::setLibraryWindow(nullptr);
    }

    void showsImagesAndErrorPages()
    {
        ViewerViewWindow* reader = open(installTestBook(kSampleBook));
        QVERIFY(reader);
        reader->moveToPageNum(3); // an image straight in the spine
        QVERIFY(waitReady());
        QCOMPARE(shownPath(reader->leftView()), QStringLiteral("dot.png"));

        reader->moveToPageNum(4); // a document missing from the book
        QVERIFY(waitReady());
        const QString text = pageText(reader->leftView());
        QVERIFY2(text.contains(QLatin1String("Page loading error, URL: lfbook://")), qPrintable(text));
        QVERIFY2(text.contains(QLatin1String("Error occurred in the QT network layer, code is: ")), qPrintable(text));
    }

    void prints_data()
    {
        QTest::addColumn<QString>("book");
        QTest::addColumn<int>("document"); // spine position shown
        QTest::addColumn<bool>("twoPage");
        QTest::addColumn<int>("pages");
        QTest::newRow("one page") << kFixedLayoutBook << 1 << false << 1;
        QTest::newRow("spread") << kFixedLayoutBook << 1 << true << 2;
        // The first chapters of this book fill about fourteen A4 sheets.
        QTest::newRow("reflowable chapter")
            << QStringLiteral("gutenberg-pride-and-prejudice-epub2.epub") << 1 << false << 14;
        // Chapters whose first element starts a new sheet, one whose text ends
        // near a sheet's bottom, a long poem.
        QTest::newRow("Moby-Dick chapter") << QStringLiteral("moby-dick.epub") << 6 << false << 3;
        QTest::newRow("Alice chapter") << QStringLiteral("gutenberg-alice-epub2.epub") << 3 << false << 3;
        QTest::newRow("poem") << QStringLiteral("wasteland.epub") << 1 << false << 13;
    }

    void prints()
    {
        QFETCH(QString, book);
        QFETCH(int, document);
        QFETCH(bool, twoPage);
        QFETCH(int, pages);
        ViewerViewWindow* reader = open(installCorpusBook(book));
        QVERIFY(reader);
        reader->moveToPageNum(document);
        QVERIFY(waitReady());
        if (reader->isTwoPageView() != twoPage) {
            QTest::mouseClick(child<QPushButton>("toolbar_both_view_button"), Qt::LeftButton);
            QVERIFY(waitReady());
        }
        const QSize shown = reader->leftView()->size();
        const QString pdf = lf::test::privateTempDir() + QStringLiteral("/print.pdf");
        QPrinter printer(QPrinter::ScreenResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        reader->printDocument(&printer);
        QFile file(pdf);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray content = file.readAll();
        // Page objects, not the page tree ("/Pages").
        const int printed = int(content.count("/Type /Page") - content.count("/Type /Pages"));
        if (pages > 2)
            QVERIFY2(printed >= pages / 2 && printed <= pages * 2, qPrintable(QString::number(printed)));
        else
            QCOMPARE(printed, pages);
        // No blank sheet at either end.
        QVERIFY(inkOf(pdf, 1) > 0);
        QVERIFY(inkOf(pdf, printed) > 0);
        QCOMPARE(reader->leftView()->size(), shown);
    }

    // In a mixed book, after a fixed page shown far smaller than its size: a
    // spine document missing from the book gives way to its fallback, a
    // picture the engine cannot draw to its fallback picture, and reflowable
    // pages are laid out at the reader's own zoom.
    void showsFallbacksAfterAFixedPage_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("pictureWidth"); // of the page's first picture; -1 for none
        QTest::newRow("missing document") << 1 << "stand-in.xhtml" << -1;
        QTest::newRow("picture in a foreign format") << 2 << "star.xhtml" << 3;
    }

    void showsFallbacksAfterAFixedPage()
    {
        QFETCH(int, page);
        QFETCH(int, pictureWidth);
        ViewerViewWindow* reader = open(installTestBook(QStringLiteral("epub3-mixed-fallbacks")));
        QVERIFY(reader);
        QVERIFY(reader->leftView()->zoomFactor() < 0.5);
        reader->moveToPageNum(page);
        QVERIFY(waitReady());
        QTEST(shownPath(reader->leftView()), "shown");
        QCOMPARE(reader->leftView()->zoomFactor(), 1.0);
        QTRY_COMPARE(
            reader->leftView()
                ->page()
                ->mainFrame()
                ->evaluateJavaScript(QStringLiteral("document.images.length?document.images[0].naturalWidth:-1"))
                .toInt(),
            pictureWidth);
    }
};

LF_TEST_MAIN(TestViewerViewWindow)
#include "tst_viewerviewwindow.moc"
