#include "library/bookcover.h"

#include "base/bookname.h"
#include "base/datadirectory.h"
#include "library/bookinfo.h"
#include "library/renderedcover.h"

#include <QBuffer>
#include <QDebug>
#include <QEvent>
#include <QImageReader>
#include <QLabel>
#include <QPixmap>

namespace {
// Lives on the label until its first paint, then decodes the cover and goes.
class PendingCover : public QObject
{
public:
    PendingCover(QLabel* label, QString path)
        : QObject(label)
        , m_label(label)
        , m_path(std::move(path))
    {
        label->installEventFilter(this);
    }

    void showNow()
    {
        m_label->removeEventFilter(this);
        BookCover::showIn(m_label, m_path);
        deleteLater();
        m_done = true;
    }

    bool done() const { return m_done; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_label && event->type() == QEvent::Paint && !m_done)
            showNow();
        return false;
    }

private:
    QLabel* m_label;
    QString m_path;
    bool m_done = false;
};

PendingCover* pendingCoverOf(QLabel* label)
{
    for (QObject* child : label->children()) {
        if (auto* pending = dynamic_cast<PendingCover*>(child); pending && !pending->done())
            return pending;
    }
    return nullptr;
}
} // namespace

QString BookCover::filePath(const BookInfo& book)
{
    // A bookcase written before cover paths were resolved may still hold a
    // book's raw href; whatever climbs out of the book folder names no cover.
    const QString dataDirectory = lf::dataDirectory();
    if (dataDirectory.isEmpty() || !lf::isUsableBookName(book.fileName()))
        return {};
    // A record that names no picture the book has shows the drawn first page.
    return lf::RenderedCover::shownFile(dataDirectory + book.fileName(), book.coverUrl());
}

bool BookCover::isAcceptableSize(const QSize& size)
{
    return size.isValid() && size.width() <= kMaxCoverSide && size.height() <= kMaxCoverSide
        && qint64(size.width()) * size.height() <= kMaxCoverPixels;
}

bool BookCover::showIn(QLabel* label, const QString& path)
{
    QImageReader reader(path);
    reader.setAutoTransform(true);
    // The header tells the size before any pixel is decoded: a few kilobytes
    // may declare an image of gigabytes.
    if (!isAcceptableSize(reader.size())) {
        if (reader.size().isValid())
            qDebug().noquote() << "cover refused, it declares" << reader.size() << "pixels:" << path;
        return false;
    }
    const qreal ratio = label->devicePixelRatioF();
    // A label inside a layout has its final size only once shown; a fixed size is known at once.
    const QSize labelSize = label->minimumSize() == label->maximumSize() ? label->minimumSize() : label->size();
    const QSize target = labelSize * ratio;
    if (target.isValid())
        reader.setScaledSize(target);
    QImage image = reader.read();
    if (image.isNull())
        return false;
    if (target.isValid() && image.size() != target)
        image = image.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    QPixmap pixmap = QPixmap::fromImage(std::move(image));
    pixmap.setDevicePixelRatio(ratio);
    label->setPixmap(pixmap);
    return true;
}

void BookCover::showWhenPainted(QLabel* label, const BookInfo& book)
{
    dropPending(label);
    new PendingCover(label, filePath(book));
}

void BookCover::dropPending(QLabel* label)
{
    if (PendingCover* pending = pendingCoverOf(label)) {
        label->removeEventFilter(pending);
        delete pending;
    }
}

void BookCover::showPendingNow(QLabel* label)
{
    if (PendingCover* pending = pendingCoverOf(label))
        pending->showNow();
}

void BookCover::showImage(QLabel* label, const QPixmap& image)
{
    dropPending(label);
    label->setPixmap(image);
}

bool BookCover::showImageData(QLabel* label, const QByteArray& bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    QImageReader reader(&buffer);
    if (!isAcceptableSize(reader.size()))
        return false;
    const QImage image = reader.read();
    if (image.isNull())
        return false;
    showImage(label, QPixmap::fromImage(image));
    return true;
}
