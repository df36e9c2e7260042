#pragma once

#include "library/importrefusal.h"

#include <QMainWindow>
#include <QPointer>

#include <memory>

class BookImporter;
class BookInfo;
class CoverRenderer;
class ViewerAlertForm;
class ViewerDefaultDialog;
class ViewerViewWindow;

namespace Ui {
class ViewerMainWindow;
}

// The library window: own title bar, toolbar and the bookcase list. Every way
// of adding a book (open dialog, drop, command line, hand-over) hands it to the
// window's BookImporter; the window asks its replace question, shows the
// progress overlay and why a book was left out, lists imported books and
// opens them in the reader. GUI thread only.
class ViewerMainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit ViewerMainWindow(QWidget* parent = nullptr);
    ~ViewerMainWindow() override;

    // True while a queued import is in progress (tests and start-up use it).
    bool isImporting() const;
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
    void initWidget();
    void saveJsonFile();
    void loadJsonFile();
    void searchEvent();
    void versionInfoClickedEvent();
    void udpReadyReadEvent();
    void askReplace(QString book_name);
    void noteImportRefused(QString book_name, ImportRefusal::Reason reason);
    void tellImportsRefused();
    void forgetToldRefusals();
    void showAlertForm();
    void closeAlertForm();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    Ui::ViewerMainWindow* ui;
    ViewerAlertForm* alert_form = nullptr;
    QString open_dir;
    std::unique_ptr<BookImporter> importer;
    CoverRenderer* cover_renderer = nullptr;
    // Refusals of the running batch, told together once the queue is empty.
    QList<ImportRefusal::Refused> refused_imports;
    // The refusal message while it is open, and what it lists: a batch that
    // ends meanwhile adds its files to it.
    QPointer<ViewerDefaultDialog> refusal_message;
    QList<ImportRefusal::Refused> told_refusals;
    QPointer<ViewerViewWindow> viewer_window;
};
