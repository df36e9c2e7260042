#pragma once

#include <QMainWindow>

// The library window: title bar, toolbar and the bookcase list; owns the
// import queue. One instance, created by start-up.
class ViewerMainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit ViewerMainWindow(QWidget* parent = nullptr);

public slots:
    void openEpubViewer(QString file_path);
    void fileUnzipAndEncyption(QString file_path, bool must_open);

private slots:
    void udpReadyReadEvent();
};
