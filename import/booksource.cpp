#include "import/booksource.h"

#include "base/atomicfile.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>

namespace lf::BookSource {

namespace {

constexpr qint64 kMaxRecordBytes = 256;

QByteArray sizeText(qint64 size)
{
    return QByteArray::number(size);
}

} // namespace

QByteArray fingerprint(const QString& archivePath)
{
    QFile file(archivePath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file))
        return {};
    return sizeText(file.size()) + ' ' + hash.result().toHex();
}

bool record(const QString& bookDir, const QByteArray& fingerprint)
{
    return !fingerprint.isEmpty() && lf::writeFileAtomically(bookDir + kFileName, fingerprint);
}

bool matches(const QString& bookDir, const QString& archivePath)
{
    const std::optional<QByteArray> stored = lf::readOwnFile(bookDir + kFileName, kMaxRecordBytes);
    if (!stored || !stored->startsWith(sizeText(QFileInfo(archivePath).size()) + ' '))
        return false;
    return *stored == fingerprint(archivePath);
}

} // namespace lf::BookSource
