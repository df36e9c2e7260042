#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The hand-over datagram: an HMAC-SHA256 of the path under the running
// instance's secret token, then the path as UTF-8. The token itself never
// travels, so a start that reaches a wrong port gives nothing away.
namespace lf {

QByteArray sealHandoff(const QByteArray& token, const QString& path);

// The path carried by a datagram sealed with `token` (empty from a start
// without a book); nothing when the seal is missing or wrong.
std::optional<QString> openHandoff(const QByteArray& token, const QByteArray& datagram);

// Compares without an early exit, so the time taken tells nothing about
// where two secrets differ.
bool equalInConstantTime(const QByteArray& a, const QByteArray& b);

} // namespace lf
