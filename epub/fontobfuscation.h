#pragma once

#include <QByteArray>
#include <QString>

struct ObfuscatedFont;

// Fonts a book ships obfuscated, as META-INF/encryption.xml lists them. The
// files stay on disk as the archive had them; the pages get the font back by
// applying the same XOR again when the font is served.
namespace lf::FontObfuscation {

inline const QString kIdpfAlgorithm = QStringLiteral("http://www.idpf.org/2008/embedding");
inline const QString kAdobeAlgorithm = QStringLiteral("http://ns.adobe.com/pdf/enc#RC");
inline const QString kEncryptionPath = QStringLiteral("META-INF/encryption.xml");

// The XOR key and the length of the obfuscated header for `algorithm`, made
// from the package's unique identifier or its first "urn:uuid:" identifier.
// False when the algorithm is not one of the two, or its identifier is missing.
bool describe(
    const QString& algorithm, const QString& uniqueIdentifier, const QString& uuidIdentifier, ObfuscatedFont& font);

// XORs the obfuscated header of `bytes` (the whole file) with the font's key.
// Applying it twice gives back the original bytes.
void apply(const ObfuscatedFont& font, QByteArray& bytes);

} // namespace lf::FontObfuscation
