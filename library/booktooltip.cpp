#include "library/booktooltip.h"

#include "library/bookinfo.h"

namespace {
// Titles run to a few hundred characters at most; a hostile book's longer
// text is cut so the tooltip still fits on the screen.
constexpr int kMaxShownLength = 500;

QString shown(const QString& text)
{
    if (text.size() <= kMaxShownLength)
        return text.toHtmlEscaped();
    const int cut = text.at(kMaxShownLength - 1).isHighSurrogate() ? kMaxShownLength - 1 : kMaxShownLength;
    return text.left(cut).toHtmlEscaped() + QStringLiteral("&hellip;");
}
} // namespace

QString lf::bookToolTip(const BookInfo& book)
{
    // Kept as written: an ideographic space in a title stays one.
    QString tip = QStringLiteral("<p style=\"white-space:pre-wrap\"><b>%1</b>").arg(shown(book.bookName()));
    if (!book.author().isEmpty())
        tip += QStringLiteral("<br/>%1").arg(shown(book.author()));
    return tip + QStringLiteral("</p>");
}
