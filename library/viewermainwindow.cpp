#include "library/viewermainwindow.h"

#include "app/handoff.h"
#include "base/displaytext.h"
#include "epub/epubdata.h"
#include "library/bookcasefile.h"
#include "library/bookimporter.h"
#include "library/bookinfo.h"
#include "library/booklistcontrol.h"
#include "library/booklistgriditemform.h"
#include "library/coverrenderer.h"
#include "reader/viewerviewwindow.h"
#include "ui_viewermainwindow.h"
#include "update/versioninfodialog.h"
#include "widgets/titlebardrag.h"
#include "widgets/vieweralertform.h"
#include "widgets/viewerdefaultdialog.h"

#include <QDebug>
#include <QDragEnterEvent>
#include <QFileDialog>
#include <QLabel>
#include <QMimeData>
#include <QSizeGrip>
#include <QStandardPaths>
#include <QUdpSocket>

ViewerMainWindow::ViewerMainWindow(QWidget* parent)
    : QMainWindow(parent, Qt::FramelessWindowHint)
    , ui(new Ui::ViewerMainWindow)
    , importer(std::make_unique<BookImporter>(BookListControl::instance()))
{
    ui->setupUi(this);
    ui->window_title_bar_widget->setAttribute(Qt::WA_StyledBackground);
    ui->window_book_widget->setAttribute(Qt::WA_StyledBackground);
    setAcceptDrops(true);
    setMouseTracking(true);
    new TitleBarDrag(this, ui->window_title_bar_widget);
    initWidget();
}

ViewerMainWindow::~ViewerMainWindow()
{
    // A running extraction stops before the widgets go.
    importer.reset();
    delete ui;
}

void ViewerMainWindow::initWidget()
{
    open_dir = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);

    auto* grip = new QSizeGrip(ui->window_sizegrip_widget);
    ui->window_sizegrip_widget->layout()->addWidget(grip);
    ui->window_sizegrip_widget->layout()->setAlignment(grip, Qt::AlignRight | Qt::AlignBottom);

    controlButtonEvent();

    if (QUdpSocket* socket = lf::handoffSocket())
        connect(socket, SIGNAL(readyRead()), this, SLOT(udpReadyReadEvent()));
    connect(ui->window_close_button, SIGNAL(clicked()), this, SLOT(close()));
    connect(ui->window_minimalize_button, SIGNAL(pressed()), this, SLOT(showMinimized()));
    connect(ui->toolbar_open_files_button, SIGNAL(pressed()), this, SLOT(filesOpen()));
    connect(this, SIGNAL(addWidgetReqest(BookInfo*)), ui->book_list_widget, SLOT(addBookItem(BookInfo*)));
    connect(ui->book_list_gridview_button, SIGNAL(clicked()), this, SLOT(controlButtonEvent()));
    connect(ui->book_list_vertical_button, SIGNAL(clicked()), this, SLOT(controlButtonEvent()));
    connect(ui->book_list_sort_combobox, SIGNAL(currentIndexChanged(int)), this, SLOT(controlButtonEvent()));
    connect(BookListControl::instance(), SIGNAL(changedBooks()), this, SLOT(saveJsonFile()));
    connect(ui->book_search_line_edit, SIGNAL(textChanged(QString)), ui->book_list_widget, SLOT(searchInList(QString)));
    connect(ui->book_search_line_edit, SIGNAL(returnPressed()), this, SLOT(searchEvent()));
    connect(ui->window_version_info_button, SIGNAL(clicked(bool)), this, SLOT(versionInfoClickedEvent()));
    // The importer goes on to its next book by itself; the window passes on what it says.
    connect(importer.get(), SIGNAL(nextOpenFileWorkRequest()), this, SIGNAL(nextOpenFileWorkRequest()));
    connect(importer.get(), SIGNAL(imported(BookInfo*)), this, SIGNAL(addWidgetReqest(BookInfo*)));
    connect(importer.get(), SIGNAL(replaceAsked(QString)), this, SLOT(askReplace(QString)));
    // A refusal waits for the end of the batch: the queue never stops for a message.
    connect(importer.get(), SIGNAL(skipped(QString, ImportRefusal::Reason)), this,
        SLOT(noteImportRefused(QString, ImportRefusal::Reason)));
    connect(importer.get(), SIGNAL(extractionStarted(QString)), this, SLOT(showAlertForm()));
    connect(importer.get(), SIGNAL(queueEmpty()), this, SLOT(closeAlertForm()));
    connect(importer.get(), SIGNAL(queueEmpty()), this, SLOT(tellImportsRefused()));
    connect(importer.get(), SIGNAL(aboutToSwapIn(QString)), this, SLOT(closeEpubViewerOf(QString)));
    connect(importer.get(), SIGNAL(aboutToReplaceRecord(QString)), ui->book_list_widget, SLOT(removeBookRow(QString)));
    connect(importer.get(), SIGNAL(openRequested(QString)), this, SLOT(openEpubViewer(QString)));

    // Books that name no cover get a picture of their first page, drawn at the tile's size.
    const QSize tileCover = BookListGridItemForm().findChild<QLabel*>(QStringLiteral("book_img_label"))->size();
    cover_renderer = new CoverRenderer(this, tileCover * devicePixelRatioF());
    connect(importer.get(), SIGNAL(imported(BookInfo*)), cover_renderer, SLOT(request(BookInfo*)));
    connect(cover_renderer, SIGNAL(coverRendered(QString)), ui->book_list_widget, SLOT(refreshBookItem(QString)));

    loadJsonFile();
    // Books still without a picture get theirs now, newest first: a drawing an
    // earlier run did not finish, or a record made before first pages were drawn.
    cover_renderer->requestEach(BookListControl::instance()->sortedNames(0));
}

void ViewerMainWindow::controlButtonEvent()
{
    QPushButton* grid = ui->book_list_gridview_button;
    QPushButton* list = ui->book_list_vertical_button;
    if (grid->isChecked() && !list->isEnabled()) {
        grid->setEnabled(false);
        list->setEnabled(true);
        list->setChecked(false);
    } else if (list->isChecked() && !grid->isEnabled()) {
        grid->setEnabled(true);
        list->setEnabled(false);
        grid->setChecked(false);
    }
    ui->book_list_widget->drawList(grid->isChecked(), ui->book_list_sort_combobox->currentIndex());
}

void ViewerMainWindow::loadJsonFile()
{
    BookcaseFile::load(*BookListControl::instance());
    ui->book_list_widget->drawList(
        ui->book_list_gridview_button->isChecked(), ui->book_list_sort_combobox->currentIndex());
}

void ViewerMainWindow::saveJsonFile()
{
    BookcaseFile::save(*BookListControl::instance());
}

void ViewerMainWindow::filesOpen()
{
    QStringList paths = QFileDialog::getOpenFileNames(
        this, tr("Select one or more files to open"), open_dir, QStringLiteral("EPUB (*.epub)"));
    filesOpen(paths);
}

void ViewerMainWindow::filesOpen(QStringList& file_path_list)
{
    if (file_path_list.isEmpty())
        return;
    const QString& first = file_path_list.first();
    const int lastSlash = first.lastIndexOf(QLatin1Char('/'));
    open_dir = lastSlash < 0 ? first : first.left(lastSlash);
    qDebug() << open_dir;

    importer->enqueue(file_path_list);
}

// The command line and the hand-over come here.
void ViewerMainWindow::fileUnzipAndEncyption(QString file_path, bool must_open)
{
    importer->enqueue(file_path, must_open);
}

void ViewerMainWindow::fileUnzipAndEncyption(QString file_path)
{
    fileUnzipAndEncyption(file_path, false);
}

bool ViewerMainWindow::isImporting() const
{
    return importer->isImporting();
}

void ViewerMainWindow::askReplace(QString book_name)
{
    ViewerDefaultDialog dialog(this);
    dialog.setGeometry(geometry());
    const QString name = lf::isolated(book_name);
    dialog.question(tr("\"%1\" exist").arg(name), QString(),
        tr("\"%1\" aready exist.\n Do you want to reload to clear the old book?").arg(name));
    importer->answerReplace(dialog.exec() == 1);
}

void ViewerMainWindow::noteImportRefused(QString book_name, ImportRefusal::Reason reason)
{
    refused_imports.append({ book_name, reason });
}

// Shown without a nested event loop: a book handed over or dropped meanwhile
// is imported while the message waits for its OK.
void ViewerMainWindow::tellImportsRefused()
{
    if (refused_imports.isEmpty())
        return;
    told_refusals += refused_imports;
    refused_imports.clear();
    if (!refusal_message) {
        refusal_message = new ViewerDefaultDialog(this);
        refusal_message->setAttribute(Qt::WA_DeleteOnClose);
        refusal_message->setGeometry(geometry());
        connect(refusal_message, SIGNAL(finished(int)), this, SLOT(forgetToldRefusals()));
    }
    refusal_message->showMessage(ImportRefusal::title(told_refusals), QString(), ImportRefusal::message(told_refusals));
    refusal_message->open();
}

void ViewerMainWindow::forgetToldRefusals()
{
    told_refusals.clear();
}

void ViewerMainWindow::showAlertForm()
{
    // One overlay for the whole queue.
    if (alert_form)
        return;
    alert_form = new ViewerAlertForm(ui->centralWidget);
    alert_form->setGeometry(ui->centralWidget->geometry());
    alert_form->show();
}

void ViewerMainWindow::openEpubViewer(QString file_path)
{
    qDebug().noquote() << "open requested:" << file_path;
    // There is at most one reader: the one open is closed, never reused.
    if (viewer_window)
        viewer_window->close();

    auto* viewer = new ViewerViewWindow();
    viewer->setAttribute(Qt::WA_DeleteOnClose);
    viewer_window = viewer;
    viewer->openBook(file_path);
    const BookInfo* record = BookListControl::instance()->bookInfo(file_path);
    // The title runs in the direction the book declares for it.
    const EpubData* book = viewer->epubData();
    QString title = record
        ? lf::isolated(record->bookName(),
            book && !book->metadata.title.isEmpty() ? book->metadata.titleDirection : Qt::LayoutDirectionAuto)
        : lf::isolated(file_path);
    viewer->setWindowTitleText(title);
    viewer->showMaximized();
    // The continue prompt may outlive this reader (another book handed over
    // meanwhile closes it); nothing here touches it afterwards.
    viewer->loadQuestion();
}

ViewerViewWindow* ViewerMainWindow::epubViewer() const
{
    return viewer_window;
}

void ViewerMainWindow::closeEpubViewerOf(QString book_name)
{
    // A book's folder is about to go (deleted or re-imported): its reader first.
    if (viewer_window && viewer_window->bookName() == book_name)
        viewer_window->close();
}

void ViewerMainWindow::closeAlertForm()
{
    if (!alert_form)
        return;
    alert_form->close();
    alert_form->deleteLater();
    alert_form = nullptr;
}

void ViewerMainWindow::udpReadyReadEvent()
{
    QUdpSocket* socket = lf::handoffSocket();
    while (socket && socket->hasPendingDatagrams()) {
        QString path;
        if (!lf::receiveHandoff(socket, &path))
            continue;
        qDebug().noquote() << "hand-over received:" << path;
        // The window comes forward, whether a book came with the start or not.
        if (isMinimized())
            showNormal();
        raise();
        activateWindow();
        if (!path.isEmpty())
            fileUnzipAndEncyption(path, true);
    }
}

void ViewerMainWindow::searchEvent()
{
    ui->book_list_widget->searchInList(ui->book_search_line_edit->text());
}

void ViewerMainWindow::versionInfoClickedEvent()
{
    VersionInfoDialog dialog(ui->centralWidget);
    dialog.exec();
}

void ViewerMainWindow::alertDialogEvent(QString title, QString sub_title, QString message)
{
    ViewerDefaultDialog dialog(this);
    dialog.setGeometry(geometry());
    dialog.showMessage(title, sub_title, message);
    dialog.exec();
}

void ViewerMainWindow::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    const int w = event->size().width();
    const int h = event->size().height();
    const int frame = ui->border_label->frameWidth();

    ui->border_label->resize(w, h);
    ui->window_title_bar_widget->resize(w - 2 * frame, ui->window_title_bar_widget->height());
    ui->window_toolbar_frame->resize(w - 2 * frame, ui->window_toolbar_frame->height());
    QWidget* books = ui->window_book_widget;
    books->resize(w - books->x() - frame, h - books->y() - frame);
    QWidget* grip = ui->window_sizegrip_widget;
    grip->move(w - grip->width() - frame, h - grip->height() - frame);
    if (alert_form)
        alert_form->setGeometry(ui->centralWidget->geometry());
}

void ViewerMainWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
    else
        event->ignore();
}

void ViewerMainWindow::dragMoveEvent(QDragMoveEvent* event)
{
    event->setDropAction(Qt::MoveAction);
    event->accept();
}

void ViewerMainWindow::dropEvent(QDropEvent* event)
{
    QStringList paths;
    const QList<QUrl> urls = event->mimeData()->urls();
    for (const QUrl& url : urls) {
        if (url.path(QUrl::FullyDecoded).contains(QLatin1String(".epub"), Qt::CaseInsensitive))
            paths.append(url.toLocalFile());
    }
    qDebug() << paths;
    filesOpen(paths);
    event->acceptProposedAction();
}
