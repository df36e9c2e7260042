#pragma once

#include <QString>

// Names and values shared by several parts of the program. Pattern constants
// are filled with QString::arg and a decimal integer.
namespace lf {

inline const QString kVersion = QStringLiteral("1.2.3");
inline const QString kApplicationName = QStringLiteral("APPLICATION_NAME");
inline const QString kWindowTitle = QStringLiteral("Lumenfolio Epub Viewer");
inline const QString kInstanceLockPrefix = QStringLiteral("Lumenfolio Converter");
inline const QString kOrganizationName = QStringLiteral("Brightquill Labs, Inc.");
inline const QString kOrganizationDomain = QStringLiteral("https://www.brightquill-labs.com");

inline const QString kBookcaseFileName = QStringLiteral("bl");
inline const QString kPortFileName = QStringLiteral("single_port");
// The running instance's process, start time and hand-over secret; owner-only.
inline const QString kHandoffTicketFileName = QStringLiteral("single_token");
inline const QString kReadingPositionFileName = QStringLiteral("cp");
// The picture of the first page drawn for a book that names no cover.
inline const QString kRenderedCoverFileName = QStringLiteral(".lf_cover.png");
inline const QString kBookmarkFileName = QStringLiteral("bm");
inline const QString kHighlightFolder = QStringLiteral("highlight");
inline const QString kHighlightFilePattern = QStringLiteral("hili%1");
inline const QString kMemoFolder = QStringLiteral("memo");
inline const QString kMemoFilePattern = QStringLiteral("memo%1");
inline const QString kThumbnailFolder = QStringLiteral("thumbnail");
inline const QString kThumbnailFilePattern = QStringLiteral("thum%1.png");

inline const QString kEpubMediaType = QStringLiteral("application/epub+zip");
inline const QString kMimetypeFileName = QStringLiteral("mimetype");
inline const QString kContainerPath = QStringLiteral("META-INF/container.xml");

// The update server is a deployment setting, fixed when the program is built
// (WITH_UPDATE_CHECK, LF_UPDATE_VERSION_FILE_URL); a packaged program is
// updated by its package manager and built without the check.
inline const QString kUpdateVersionFileUrl = QStringLiteral(LF_UPDATE_VERSION_FILE_URL);
inline constexpr bool kWithUpdateCheck = LF_WITH_UPDATE_CHECK;
inline const QString kUpdateCurrentVersionElement = QStringLiteral("current-version");
inline const QString kUpdateLocationElement = QStringLiteral("location");
inline const QString kUpdateVersionAttribute = QStringLiteral("version");
inline const QString kUpdateVersionValue = QStringLiteral("zelto");
inline const QString kUpdatePlatformAttribute = QStringLiteral("platform");
inline const QString kUpdatePlatformValue = QStringLiteral("win32");

// The hand-over port range of the first instance, both ends included.
inline constexpr quint16 kFirstHandoffPort = 60000;
inline constexpr quint16 kLastHandoffPort = 60999;
inline constexpr int kInstanceLockSize = 1024;

} // namespace lf
