#include "library/viewermainwindow.h"

#include "app/appconstants.h"
#include "app/bookname.h"
#include "app/datadirectory.h"
#include "app/handoff.h"
#include "epub/epubparser.h"
#include "import/booksource.h"
#include "import/bookstaging.h"
#include "import/unzipthread.h"
#include "library/bookcasefile.h"
#include "library/bookinfo.h"
#include "library/booklistcontrol.h"
#include "reader/viewerviewwindow.h"
#include "ui_viewermainwindow.h"
#include "update/versioninfodialog.h"
#include "widgets/titlebardrag.h"
#include "widgets/vieweralertform.h"
#include "widgets/viewerdefaultdialog.h"

#include <QDebug>
#include <QDir>
#include <QDragEnterEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QMimeData>
#include <QMouseEvent>
#include <QSignalBlocker>
#include <QSizeGrip>
#include <QStandardPaths>
#include <QUdpSocket>

ViewerMainWindow::ViewerMainWindow(QWidget* parent)
    : QMainWindow(parent, Qt::FramelessWindowHint)
    , ui(new Ui::ViewerMainWindow)
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
    if (unzip_thread) {
        // Quitting does not wait for the rest of the book: the thread stops at
        // its next chunk, and the staging folder goes with it.
        unzip_thread->requestInterruption();
        unzip_thread->wait();
        delete unzip_thread;
    }
    import_staging.reset();
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
    connect(this, SIGNAL(nextOpenFileWorkRequest()), this, SLOT(addBookManagement()));
    connect(this, SIGNAL(addWidgetReqest(BookInfo*)), ui->book_list_widget, SLOT(addBookItem(BookInfo*)));
    connect(ui->book_list_gridview_button, SIGNAL(clicked()), this, SLOT(controlButtonEvent()));
    connect(ui->book_list_vertical_button, SIGNAL(clicked()), this, SLOT(controlButtonEvent()));
    connect(ui->book_list_sort_combobox, SIGNAL(currentIndexChanged(int)), this, SLOT(controlButtonEvent()));
    connect(BookListControl::instance(), SIGNAL(changedBooks()), this, SLOT(saveJsonFile()));
    connect(ui->book_search_line_edit, SIGNAL(textChanged(QString)), ui->book_list_widget, SLOT(searchInList(QString)));
    connect(ui->book_search_line_edit, SIGNAL(returnPressed()), this, SLOT(searchEvent()));
    connect(ui->window_version_info_button, SIGNAL(clicked(bool)), this, SLOT(versionInfoClickedEvent()));

    loadJsonFile();
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

    QList<PendingImport> imports;
    for (const QString& path : qAsConst(file_path_list))
        imports.append({ path, false });
    enqueue(imports);
}

// The command line and the hand-over come here. Like every other way in they
// wait in the queue, so two imports never share the one set of import state.
void ViewerMainWindow::fileUnzipAndEncyption(QString file_path, bool must_open)
{
    enqueue({ { file_path, must_open } });
}

void ViewerMainWindow::fileUnzipAndEncyption(QString file_path)
{
    fileUnzipAndEncyption(file_path, false);
}

void ViewerMainWindow::enqueue(const QList<PendingImport>& imports)
{
    pending_files.append(imports);
    if (!importing)
        addBookManagement();
}

void ViewerMainWindow::addBookManagement()
{
    // Skipped paths go round this loop rather than through the signal again, so
    // a long run of them cannot pile up on the stack.
    while (!pending_files.isEmpty()) {
        importing = true;
        if (startImport(pending_files.takeFirst()))
            return;
    }
    importing = false;
    closeAlertForm();
}

bool ViewerMainWindow::startImport(const PendingImport& import)
{
    import_path = import.path;
    import_name = lf::bookNameFromPath(import.path);
    import_dir = lf::dataDirectory() + import_name + QLatin1Char('/');
    open_after_import = import.must_open;

    // Checked before the reload question: a path that cannot be imported at all
    // is never worth asking about.
    const QFileInfo source(import_path);
    if (!source.isFile() || !source.isReadable()) {
        tellImportRefused(ImportRefusal::Unreadable);
        return false;
    }
    if (!lf::isUsableBookName(import_name)) {
        tellImportRefused(ImportRefusal::UnusableName);
        return false;
    }
    if (!lf::ensureDataDirectory()) {
        tellImportRefused(ImportRefusal::LibraryNotWritable);
        return false;
    }

    if (QFileInfo::exists(import_dir)) {
        const bool inLibrary = BookListControl::instance()->bookInfo(import_name) != nullptr;
        // The very file the book came from: there is nothing to replace.
        if (inLibrary && lf::BookSource::matches(import_dir, import_path)) {
            qDebug().noquote() << "already in the library, unchanged:" << import_path;
            if (open_after_import)
                openEpubViewer(import_name);
            return false;
        }
        ViewerDefaultDialog dialog(this);
        dialog.setGeometry(geometry());
        dialog.question(tr("\"%1\" exist").arg(import_name), QString(),
            tr("\"%1\" aready exist.\n Do you want to reload to clear the old book?").arg(import_name));
        if (dialog.exec() != 1) {
            // Asked to read it: the book already in the library is opened.
            if (open_after_import && inLibrary)
                openEpubViewer(import_name);
            return false;
        }
        // The old book stays until the new one is complete and parses.
    }

    // Extracted beside the book folder, swapped in only once it is a book.
    import_staging = std::make_unique<BookStaging>();
    if (!import_staging->create()) {
        import_staging.reset();
        tellImportRefused(ImportRefusal::LibraryNotWritable);
        return false;
    }

    if (!alert_form) {
        alert_form = new ViewerAlertForm(ui->centralWidget);
        alert_form->setGeometry(ui->centralWidget->geometry());
        alert_form->show();
    }

    unzip_thread = new UnzipThread(import_path, import_staging->contentDir());
    connect(unzip_thread, SIGNAL(finished()), this, SLOT(finishedUnzipAndEncrypt()));
    unzip_thread->start(QThread::InheritPriority);
    return true;
}

void ViewerMainWindow::finishedUnzipAndEncrypt()
{
    UnzipThread* thread = unzip_thread;
    unzip_thread = nullptr;
    thread->wait();
    const ExtractionResult extraction = thread->result();
    thread->deleteLater();
    // On every way out below that is not a swap, the staging folder goes with this.
    const std::unique_ptr<BookStaging> staging = std::move(import_staging);
    // Nothing of a refused book is left behind while the user reads why.
    const auto refuse = [this, &staging](ImportRefusal::Reason reason) {
        staging->discard();
        tellImportRefused(reason);
        emit nextOpenFileWorkRequest();
    };

    if (extraction == ExtractionResult::Interrupted) {
        emit nextOpenFileWorkRequest();
        return;
    }
    if (extraction != ExtractionResult::Completed)
        return refuse(ImportRefusal::ofExtraction(extraction));
    EpubParser::Refusal parseRefusal = EpubParser::Refusal::None;
    const std::unique_ptr<EpubData> book = EpubParser::parseBook(staging->contentDir(), &parseRefusal);
    if (!book)
        return refuse(ImportRefusal::ofParse(parseRefusal));
    // A book without pages would open to nothing.
    if (book->spine.isEmpty())
        return refuse(ImportRefusal::NoPages);

    // Kept with the book, so that opening this same file again asks nothing.
    lf::BookSource::record(staging->contentDir(), lf::BookSource::fingerprint(import_path));
    // The reader lets go of the old folder before it is swapped out.
    closeEpubViewerOf(import_name);
    if (!staging->swapInto(import_name))
        return refuse(ImportRefusal::NotMovedIn);
    BookListControl* store = BookListControl::instance();
    if (store->bookInfo(import_name)) {
        // The old record and its row make way; the save comes with the new record.
        ui->book_list_widget->removeBookRow(import_name);
        const QSignalBlocker blocker(store);
        store->removeBook(import_name);
    }
    store->addBook(BookInfo(import_name, book->metadata.title, book->metadata.creator, QFileInfo(import_path).size(),
        book->coverPath, QDateTime::currentDateTime()));
    BookInfo* record = store->bookInfo(import_name);

    if (open_after_import) {
        openEpubViewer(import_name);
        open_after_import = false;
    }
    // The row goes in before the next import starts: that import may ask to
    // reload this very book and release its record.
    emit addWidgetReqest(record);
    emit nextOpenFileWorkRequest();
}

void ViewerMainWindow::tellImportRefused(ImportRefusal::Reason reason)
{
    const QString message = ImportRefusal::message(reason);
    qDebug().noquote() << "import refused:" << import_path << "-"
                       << QString(message).replace(QLatin1Char('\n'), QLatin1Char(' '));
    // A path without a book name (".epub", a folder) is named by its file name or in full.
    QString shown = import_name.isEmpty() ? QFileInfo(import_path).fileName() : import_name;
    if (shown.isEmpty())
        shown = import_path;
    alertDialogEvent(ImportRefusal::title(shown), QString(), message);
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
    QString title = record ? record->bookName() : file_path;
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
