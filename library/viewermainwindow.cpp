#include "library/viewermainwindow.h"

#include "app/appconstants.h"
#include "app/datadirectory.h"
#include "app/handoff.h"
#include "epub/epubparser.h"
#include "import/unzipthread.h"
#include "library/bookcasefile.h"
#include "library/bookinfo.h"
#include "library/booklistcontrol.h"
#include "library/bookname.h"
#include "library/vieweralertform.h"
#include "library/viewerdefaultdialog.h"
#include "ui_viewermainwindow.h"
#include "update/versioninfodialog.h"

#include <QDebug>
#include <QDir>
#include <QDragEnterEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QMimeData>
#include <QMouseEvent>
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
    initWidget();
}

ViewerMainWindow::~ViewerMainWindow()
{
    if (unzip_thread) {
        unzip_thread->wait();
        delete unzip_thread;
    }
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
    connect(ui->book_search_line_edit, SIGNAL(textChanged(QString)), ui->book_list_widget,
            SLOT(searchInList(QString)));
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
    ui->book_list_widget->drawList(ui->book_list_gridview_button->isChecked(),
                                   ui->book_list_sort_combobox->currentIndex());
}

void ViewerMainWindow::saveJsonFile()
{
    BookcaseFile::save(*BookListControl::instance());
}

void ViewerMainWindow::filesOpen()
{
    QStringList paths = QFileDialog::getOpenFileNames(this, tr("Select one or more files to open"), open_dir,
                                                      QStringLiteral("EPUB (*.epub)"));
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
        imports.append({path, false});
    enqueue(imports);
}

// The command line and the hand-over come here. Like every other way in they
// wait in the queue, so two imports never share the one set of import state.
void ViewerMainWindow::fileUnzipAndEncyption(QString file_path, bool must_open)
{
    enqueue({{file_path, must_open}});
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

    // Checked before the reload question: answering "Yes" deletes the old book,
    // which must not happen for a path that cannot be imported at all.
    const QFileInfo source(import_path);
    if (!source.isFile() || !source.isReadable() || !lf::isUsableBookName(import_name)
        || !lf::ensureDataDirectory()) {
        qDebug().noquote() << "not importable, skipped:" << import_path;
        return false;
    }

    if (QFileInfo::exists(import_dir)) {
        ViewerDefaultDialog dialog(this);
        dialog.setGeometry(geometry());
        dialog.question(tr("\"%1\" exist").arg(import_name), QString(),
                        tr("\"%1\" aready exist.\n Do you want to reload to clear the old book?").arg(import_name));
        if (dialog.exec() != 1)
            return false;
        // Removes the folder (never following a link in its place), the record and the row.
        ui->book_list_widget->removeBookItem(import_name);
    } else if (BookListControl::instance()->bookInfo(import_name)) {
        // The folder vanished behind the program's back; its record and row are stale.
        ui->book_list_widget->removeBookItem(import_name);
    }

    if (!alert_form) {
        alert_form = new ViewerAlertForm(ui->centralWidget);
        alert_form->setGeometry(ui->centralWidget->geometry());
        alert_form->show();
    }

    unzip_thread = new UnzipThread(import_path, import_dir);
    connect(unzip_thread, SIGNAL(finished()), this, SLOT(finishedUnzipAndEncrypt()));
    unzip_thread->start(QThread::InheritPriority);
    return true;
}

void ViewerMainWindow::finishedUnzipAndEncrypt()
{
    UnzipThread* thread = unzip_thread;
    unzip_thread = nullptr;
    thread->wait();
    const bool extracted = thread->completed();
    thread->deleteLater();

    // A half-written folder is no book: remove it rather than record it.
    if (!extracted) {
        qDebug().noquote() << "extraction incomplete, import dropped:" << import_path;
        QDir(import_dir).removeRecursively();
        emit nextOpenFileWorkRequest();
        return;
    }

    const std::unique_ptr<EpubData> book = EpubParser::parseBook(import_dir);
    if (!book) {
        emit nextOpenFileWorkRequest();
        return;
    }

    BookListControl* store = BookListControl::instance();
    store->addBook(BookInfo(import_name, book->metadata.title, book->metadata.creator,
                            QFileInfo(import_path).size(), book->coverPath, QDateTime::currentDateTime()));
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

void ViewerMainWindow::openEpubViewer(QString file_path)
{
    qDebug().noquote() << "open requested:" << file_path;
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
        activateWindow();
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

bool ViewerMainWindow::isInTitleBar(const QPoint& position) const
{
    return position.x() < ui->window_title_bar_widget->width() && position.y() < ui->window_title_bar_widget->height();
}

void ViewerMainWindow::mousePressEvent(QMouseEvent* event)
{
    if (isInTitleBar(event->pos())) {
        drag_origin = event->pos();
        drag_active = true;
    }
    QMainWindow::mousePressEvent(event);
}

void ViewerMainWindow::mouseReleaseEvent(QMouseEvent* event)
{
    drag_active = false;
    QMainWindow::mouseReleaseEvent(event);
}

void ViewerMainWindow::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (isInTitleBar(event->pos())) {
        if (isMaximized())
            showNormal();
        else
            showMaximized();
    }
    QMainWindow::mouseDoubleClickEvent(event);
}

void ViewerMainWindow::mouseMoveEvent(QMouseEvent* event)
{
    if (event->buttons() != Qt::NoButton && drag_active)
        move(pos() + (event->pos() - drag_origin));
    QMainWindow::mouseMoveEvent(event);
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
