#include "app/handoffmessage.h"

#include <QMessageAuthenticationCode>

namespace {
constexpr int kSealSize = 32; // SHA-256

QByteArray seal(const QByteArray& token, const QByteArray& pathBytes)
{
    return QMessageAuthenticationCode::hash(pathBytes, token, QCryptographicHash::Sha256);
}
} // namespace

QByteArray lf::sealHandoff(const QByteArray& token, const QString& path)
{
    const QByteArray pathBytes = path.toUtf8();
    return seal(token, pathBytes) + pathBytes;
}

std::optional<QString> lf::openHandoff(const QByteArray& token, const QByteArray& datagram)
{
    // An empty path is a start without a book: it asks for the window.
    if (token.isEmpty() || datagram.size() < kSealSize)
        return std::nullopt;
    const QByteArray pathBytes = datagram.mid(kSealSize);
    if (!equalInConstantTime(datagram.left(kSealSize), seal(token, pathBytes)))
        return std::nullopt;
    return QString::fromUtf8(pathBytes);
}

bool lf::equalInConstantTime(const QByteArray& a, const QByteArray& b)
{
    if (a.size() != b.size())
        return false;
    unsigned char difference = 0;
    for (int i = 0; i < a.size(); ++i)
        difference |= static_cast<unsigned char>(a.at(i) ^ b.at(i));
    return difference == 0;
}
