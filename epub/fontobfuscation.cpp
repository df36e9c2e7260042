#include "epub/fontobfuscation.h"

#include "epub/epubdata.h"

#include <QCryptographicHash>

#include <algorithm>

namespace lf::FontObfuscation {

namespace {

constexpr int kIdpfHeaderLength = 1040;
constexpr int kAdobeHeaderLength = 1024;

QByteArray idpfKey(const QString& uniqueIdentifier)
{
    QString compact;
    for (const QChar c : uniqueIdentifier) {
        if (c != QLatin1Char(' ') && c != QLatin1Char('\t') && c != QLatin1Char('\n') && c != QLatin1Char('\r'))
            compact += c;
    }
    if (compact.isEmpty())
        return {};
    return QCryptographicHash::hash(compact.toUtf8(), QCryptographicHash::Sha1);
}

// The 16 bytes a "urn:uuid:" identifier writes as 32 hexadecimal digits.
QByteArray adobeKey(const QString& uuidIdentifier)
{
    QString digits = uuidIdentifier.mid(int(qstrlen("urn:uuid:")));
    digits.remove(QLatin1Char('-'));
    const bool allHex = std::all_of(digits.cbegin(), digits.cend(), [](QChar c) {
        const char16_t u = c.unicode();
        return (u >= '0' && u <= '9') || (u >= 'a' && u <= 'f') || (u >= 'A' && u <= 'F');
    });
    if (digits.size() != 32 || !allHex)
        return {};
    return QByteArray::fromHex(digits.toLatin1());
}

} // namespace

bool describe(
    const QString& algorithm, const QString& uniqueIdentifier, const QString& uuidIdentifier, ObfuscatedFont& font)
{
    if (algorithm == kIdpfAlgorithm) {
        font.key = idpfKey(uniqueIdentifier);
        font.headerLength = kIdpfHeaderLength;
    } else if (algorithm == kAdobeAlgorithm) {
        font.key = adobeKey(uuidIdentifier);
        font.headerLength = kAdobeHeaderLength;
    } else {
        return false;
    }
    return !font.key.isEmpty();
}

void apply(const ObfuscatedFont& font, QByteArray& bytes)
{
    if (font.key.isEmpty())
        return;
    const int end = std::min(font.headerLength, int(bytes.size()));
    char* data = bytes.data();
    for (int i = 0; i < end; ++i)
        data[i] = char(data[i] ^ font.key.at(i % font.key.size()));
}

} // namespace lf::FontObfuscation
