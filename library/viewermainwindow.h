#pragma once

#include "library/importrefusal.h"

#include <QList>
#include <QMainWindow>
#include <QPointer>

#include <memory>

class BookInfo;
class BookStaging;
class UnzipThread;
class ViewerAlertForm;
class ViewerViewWindow;

namespace Ui {
class ViewerMainWindow;
}

// The library window: own title bar, toolbar and the bookcase list. It owns the
// import pipeline: every way of adding a book (open dialog, drop, command line,
// hand-over) goes through one queue worked off one book at a time, each book
// extracted on an UnzipThread, parsed, recorded and listed. GUI thread only.
class ViewerMainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit ViewerMainWindow(QWidget* parent = nullptr);
    ~ViewerMainWindow() override;

    // True while a queued import is in progress (tests and start-up use it).
    bool isImporting() const { return importing; }
    // The open reader window, if any.
    ViewerViewWindow* epubViewer() const;

signals:
    void nextOpenFileWorkRequest();
    void addWidgetReqest(BookInfo*);

public slots:
    void alertDialogEvent(QString title, QString sub_title, QString message);
    void filesOpen();
    void openEpubViewer(QString file_path);
    void closeEpubViewerOf(QString book_name);
    void filesOpen(QStringList& file_path_list);
    void fileUnzipAndEncyption(QString file_path, bool must_open);
    void fileUnzipAndEncyption(QString file_path);

private slots:
    void controlButtonEvent();
    void addBookManagement();
    void finishedUnzipAndEncrypt();
    void initWidget();
    void saveJsonFile();
    void loadJsonFile();
    void searchEvent();
    void versionInfoClickedEvent();
    void udpReadyReadEvent();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // One queued import; each keeps its own "open when imported" wish.
    struct PendingImport
    {
        QString path;
        bool must_open = false;
    };

    void enqueue(const QList<PendingImport>& imports);
    // Starts extracting one queued book; false when it is skipped instead.
    bool startImport(const PendingImport& import);
    // Tells the user why the current import's book was not added.
    void tellImportRefused(ImportRefusal::Reason reason);
    void closeAlertForm();

    Ui::ViewerMainWindow* ui;
    ViewerAlertForm* alert_form = nullptr;
    QString open_dir;
    QList<PendingImport> pending_files;
    bool importing = false;
    QString import_dir;
    QString import_name;
    QString import_path;
    UnzipThread* unzip_thread = nullptr;
    // Where the current import is extracted before it replaces the book folder.
    std::unique_ptr<BookStaging> import_staging;
    bool open_after_import = false;
    QPointer<ViewerViewWindow> viewer_window;
};
