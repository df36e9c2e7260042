#pragma once

#include "base/appconstants.h"

#include <QDateTime>
#include <QUrl>
#include <QWidget>

#include <memory>

class QFile;
class QNetworkAccessManager;
class QNetworkReply;
class SimpleFileDownloader;

namespace Ui {
class UpdateMessageForm;
}

// The update overlay over the library window: fetches the version file at
// construction, offers a newer version, downloads its installer into the
// user's download folder and starts it. Hidden unless there is something to
// offer; owned by its parent widget, GUI thread only.
class UpdateMessageForm : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(UpdateMessageForm)

public:
    explicit UpdateMessageForm(QWidget* parent = nullptr, const QUrl& versionFileUrl = QUrl(lf::kUpdateVersionFileUrl));
    ~UpdateMessageForm() override;

private slots:
    void getNewVersionInfo(QByteArray byte_array);
    bool checkNewVersion();
    void downloadAbleSetting();
    void downloadInstallFile();
    void downloadReadyRead();
    void updateDownloadProgress(qint64 bytesRead, qint64 totalBytes);
    void downloadFinished();
    void cancelDownload();
    QString calculateUnit(double byte);

private:
    void startDownload(const QUrl& url);
    void showDownloadControls();
    void returnToOffer();
    void connectOkButtonTo(const char* slot);
    void discardFile();
    void forgetDownload();
    void followRedirect(const QUrl& target);
    void finishCompleteDownload();

    std::unique_ptr<Ui::UpdateMessageForm> m_ui;
    std::unique_ptr<SimpleFileDownloader> m_versionFileDownloader;
    QString m_installerLocation;
    QString m_announcedVersion;
    int m_okButtonX = 0;
    int m_okButtonY = 0;

    QUrl m_url;
    QNetworkAccessManager* m_manager = nullptr;
    QNetworkReply* m_reply = nullptr;
    std::unique_ptr<QFile> m_file;
    QString m_writeError; // the first failed write of this download
    bool m_aborted = false;

    qint64 m_previousBytes = 0;
    QDateTime m_previousTime;
};
