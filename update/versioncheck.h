#pragma once

#include <QByteArray>
#include <QString>

// The non-widget half of the update check: reading the server's version
// file, comparing versions and formatting byte counts for the progress text.
namespace lf::update {

struct VersionFileContent
{
    QString version; // text of the last matching "current-version" element
    QString location; // text of the last matching "location" element
};

// Walks every start element of the document at any depth. A malformed
// document keeps what was read before the error.
VersionFileContent readVersionFile(const QByteArray& xml);

// True when `announced` is a later version than `current`. Versions with a
// different number of parts are never newer.
bool isNewerVersion(const QString& announced, const QString& current);

// "1.5 KB", "-1.0 Byte": the value in the largest unit (up to TB) in which it
// stays above 1, with one decimal.
QString formatByteCount(double byte);

} // namespace lf::update
