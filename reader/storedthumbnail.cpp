#include "reader/storedthumbnail.h"

#include <QBuffer>
#include <QImageReader>

namespace {
const QString kBindingKey = QStringLiteral("lf-thumbnail");
const QByteArray kFormat = QByteArrayLiteral("png");
} // namespace

QString lf::StoredThumbnail::binding(int page, const DocumentStamp& stamp)
{
    if (page < 0 || !stamp.isValid())
        return {};
    return QStringLiteral("1 %1 %2 %3").arg(page).arg(stamp.size).arg(stamp.modified);
}

QByteArray lf::StoredThumbnail::encode(const QImage& image, const QString& binding)
{
    QImage bound = image;
    bound.setText(kBindingKey, binding);
    QByteArray png;
    QBuffer buffer(&png);
    if (!buffer.open(QIODevice::WriteOnly) || !bound.save(&buffer, kFormat.constData()))
        return {};
    return png;
}

QImage lf::StoredThumbnail::decode(QIODevice* file, const QString& binding, const QSize& tileSize)
{
    if (binding.isEmpty() || tileSize.isEmpty() || file->size() > kMaxFileSize)
        return {};
    QImageReader reader(file, kFormat);
    reader.setAutoDetectImageFormat(false); // a PNG or nothing
    if (reader.text(kBindingKey) != binding)
        return {};
    const QSize declared = reader.size();
    if (!declared.isValid() || declared.width() > kMaxSideFactor * tileSize.width()
        || declared.height() > kMaxSideFactor * tileSize.height())
        return {};
    reader.setScaledSize(tileSize);
    return reader.read();
}
