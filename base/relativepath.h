#pragma once

#include <QString>

// Paths taken relative to a folder (a book folder, mostly) that come from
// untrusted input: archive entry names, paths a book names, folders derived
// from them. The one rule for whether such a path stays inside its folder.
namespace lf::RelativePath {

// True when `path` starts at a root of its own instead of the folder: "/",
// "\", a drive letter ("C:") or a scheme ("file:", "http:").
bool isRooted(const QString& path);

// True when `path` names something inside its folder however the file system
// walks it: not empty, no NUL, not rooted, and no ".." part at all, with "/"
// and "\" both taken as separators. A ".." is refused even where it seems to
// stay below the top, because the file system walks it back from wherever a
// link in front of it led. Nothing is decoded: "%2E%2E" is a name.
bool staysInside(const QString& path);

} // namespace lf::RelativePath
