#include "update/updatemessageform.h"

#include "ui_updatemessageform.h"
#include "update/installerlauncher.h"
#include "update/simplefiledownloader.h"
#include "update/versioncheck.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QStandardPaths>

#include <limits>

namespace {

// The bar counts in int; larger sizes are scaled down, an unknown total
// makes it a busy indicator.
void setBarProgress(QProgressBar* bar, qint64 bytesRead, qint64 totalBytes)
{
    if (totalBytes <= 0) {
        bar->setRange(0, 0);
        return;
    }
    const qint64 scale = totalBytes / std::numeric_limits<int>::max() + 1;
    bar->setRange(0, int(totalBytes / scale));
    bar->setValue(int(qBound<qint64>(0, bytesRead, totalBytes) / scale));
}

QString downloadPathFor(const QUrl& url)
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    QDir().mkpath(folder);
    return QStringLiteral("%1/%2").arg(folder, url.fileName(QUrl::FullyDecoded));
}

} // namespace

UpdateMessageForm::UpdateMessageForm(QWidget* parent, const QUrl& versionFileUrl)
    : QWidget(parent)
    , m_ui(std::make_unique<Ui::UpdateMessageForm>())
{
    m_ui->setupUi(this);
    m_okButtonX = m_ui->ok_button->x();
    m_okButtonY = m_ui->ok_button->y();
    // Stays hidden even when the parent is shown later; only an offer shows it.
    hide();

    connect(m_ui->close_button, SIGNAL(pressed()), this, SLOT(close()));
    connect(m_ui->cancel_button, SIGNAL(pressed()), this, SLOT(close()));

    m_versionFileDownloader = std::make_unique<SimpleFileDownloader>(versionFileUrl);
    connect(m_versionFileDownloader.get(), SIGNAL(downloaded(QByteArray)), this, SLOT(getNewVersionInfo(QByteArray)));
    m_versionFileDownloader->downloadStart();
}

UpdateMessageForm::~UpdateMessageForm()
{
    // A download cut short by the end of the program leaves no partial file.
    if (m_reply) {
        m_reply->disconnect(this);
        discardFile();
    }
}

void UpdateMessageForm::getNewVersionInfo(QByteArray byte_array)
{
    const lf::update::VersionFileContent content = lf::update::readVersionFile(byte_array);
    m_announcedVersion = content.version;
    m_installerLocation = content.location;
    if (!m_announcedVersion.isEmpty() && checkNewVersion()) {
        show();
        raise();
        downloadAbleSetting();
    } else {
        close();
    }
}

bool UpdateMessageForm::checkNewVersion()
{
    return lf::update::isNewerVersion(m_announcedVersion, lf::kVersion);
}

void UpdateMessageForm::downloadAbleSetting()
{
    m_ui->version_label->setText(tr("Version %1").arg(m_announcedVersion));
    m_ui->progressbar->hide();
    m_ui->prograssbar_label->hide();
    m_ui->cancel_button->show();
    m_ui->message_label->show();
    m_ui->ok_button->move(m_okButtonX, m_okButtonY);
    m_ui->progressbar->setValue(0);
    connectOkButtonTo(SLOT(downloadInstallFile()));
}

void UpdateMessageForm::downloadInstallFile()
{
    startDownload(QUrl(m_installerLocation));
}

void UpdateMessageForm::startDownload(const QUrl& url)
{
    m_manager = new QNetworkAccessManager(this);
    m_url = url;
    const QString path = downloadPathFor(url);
    if (QFile::exists(path))
        QFile::remove(path);
    m_file = std::make_unique<QFile>(path);
    if (!m_file->open(QIODevice::WriteOnly)) {
        const QString error = m_file->errorString();
        forgetDownload();
        QMessageBox::information(this, tr("HTTP"), tr("Unable to save the file : %1.").arg(error));
        returnToOffer();
        return;
    }

    m_aborted = false;
    m_writeError.clear();
    m_previousBytes = 0;
    m_previousTime = QDateTime::currentDateTime();
    m_reply = m_manager->get(QNetworkRequest(m_url));
    connect(m_reply, SIGNAL(readyRead()), this, SLOT(downloadReadyRead()));
    connect(m_reply, SIGNAL(downloadProgress(qint64, qint64)), this, SLOT(updateDownloadProgress(qint64, qint64)));
    connect(m_reply, SIGNAL(finished()), this, SLOT(downloadFinished()));
    showDownloadControls();
    connectOkButtonTo(SLOT(cancelDownload()));
}

void UpdateMessageForm::showDownloadControls()
{
    QPushButton* ok = m_ui->ok_button;
    ok->setText(tr("Cancel"));
    ok->move((m_ui->frame->width() - ok->width()) / 2, ok->y());
    m_ui->cancel_button->hide();
    m_ui->message_label->hide();
    m_ui->prograssbar_label->clear();
    m_ui->progressbar->show();
    m_ui->prograssbar_label->show();
}

void UpdateMessageForm::downloadReadyRead()
{
    if (!m_file || !m_reply)
        return;
    const QByteArray data = m_reply->readAll();
    if (m_file->write(data) != data.size() && m_writeError.isEmpty())
        m_writeError = m_file->errorString();
}

void UpdateMessageForm::updateDownloadProgress(qint64 bytesRead, qint64 totalBytes)
{
    if (m_aborted)
        return;
    setBarProgress(m_ui->progressbar, bytesRead, totalBytes);

    // The first report measures from the start of the download. Reports in
    // the same millisecond count as one millisecond apart.
    const QDateTime now = QDateTime::currentDateTime();
    const qint64 elapsedMs = qMax<qint64>(1, m_previousTime.msecsTo(now));
    const double rate = double(bytesRead - m_previousBytes) / (double(elapsedMs) / 1000);
    m_previousBytes = bytesRead;
    m_previousTime = now;

    m_ui->prograssbar_label->setText(
        tr("%1 of %2 ( %3 /sec )")
            .arg(calculateUnit(double(bytesRead)), calculateUnit(double(totalBytes)), calculateUnit(rate)));
}

void UpdateMessageForm::cancelDownload()
{
    m_aborted = true;
    if (m_reply)
        m_reply->abort(); // finishes the reply, which runs downloadFinished()
    else
        returnToOffer(); // nothing runs after a declined redirect
}

void UpdateMessageForm::downloadFinished()
{
    if (!m_reply)
        return;
    if (m_aborted) {
        discardFile();
        forgetDownload();
        returnToOffer();
        return;
    }

    downloadReadyRead();
    m_file->flush();
    m_file->close();

    if (m_reply->error() != QNetworkReply::NoError) {
        const QString error = m_reply->errorString();
        discardFile();
        forgetDownload();
        QMessageBox::information(this, tr("HTTP"), tr("Download failed: %1.").arg(error));
        returnToOffer();
        return;
    }

    const QVariant redirect = m_reply->attribute(QNetworkRequest::RedirectionTargetAttribute);
    if (!redirect.isNull()) {
        followRedirect(m_url.resolved(redirect.toUrl()));
        return;
    }

    if (!m_writeError.isEmpty()) {
        // A short installer must never be started.
        const QString error = m_writeError;
        discardFile();
        forgetDownload();
        QMessageBox::information(this, tr("HTTP"), tr("Unable to save the file : %1.").arg(error));
        returnToOffer();
        return;
    }
    finishCompleteDownload();
}

void UpdateMessageForm::followRedirect(const QUrl& target)
{
    // What was saved is the redirect's own body, not the installer.
    discardFile();
    forgetDownload();
    const QMessageBox::StandardButton answer = QMessageBox::question(
        this, tr("HTTP"), tr("Redirect to %1 ?").arg(target.toString()), QMessageBox::Yes | QMessageBox::No);
    // On No the download controls stay; their Cancel leads back to the offer.
    if (answer == QMessageBox::Yes)
        startDownload(target);
}

void UpdateMessageForm::finishCompleteDownload()
{
    const QString path = m_file->fileName();
    forgetDownload();
    if (!lf::update::startInstaller(path)) {
        // The file stays in the download folder for the user to start.
        QMessageBox::information(this, tr("HTTP"), tr("Unable to start the installer : %1.").arg(path));
        returnToOffer();
        return;
    }
    lf::update::pauseBeforeExit();
    QCoreApplication::exit(0);
}

void UpdateMessageForm::returnToOffer()
{
    m_ui->ok_button->setText(tr("Ok"));
    downloadAbleSetting();
}

void UpdateMessageForm::connectOkButtonTo(const char* slot)
{
    disconnect(m_ui->ok_button, SIGNAL(clicked()), this, nullptr);
    connect(m_ui->ok_button, SIGNAL(clicked()), this, slot);
}

void UpdateMessageForm::discardFile()
{
    if (!m_file)
        return;
    m_file->close();
    m_file->remove();
    m_file.reset();
}

void UpdateMessageForm::forgetDownload()
{
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->deleteLater();
        m_reply = nullptr;
    }
    m_file.reset();
    if (m_manager) {
        m_manager->deleteLater();
        m_manager = nullptr;
    }
}

QString UpdateMessageForm::calculateUnit(double byte)
{
    return lf::update::formatByteCount(byte);
}
