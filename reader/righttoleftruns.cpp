#include "reader/righttoleftruns.h"

#include <QRegularExpression>
#include <QVector>

namespace lf::RightToLeftRuns {

namespace {

const QChar kLeftToRightMark(0x200E);
const QChar kRightToLeftMark(0x200F);
// A document here is valid UTF-8; checking it again on every match would make
// its rewrite take time in the square of its length.
constexpr auto kChecked = QRegularExpression::DontCheckSubjectStringMatchOption;

enum class Kind { Letter, Strong, Space, Other };

// One character, a surrogate pair or a character reference.
struct Atom
{
    int from;
    int length;
    Kind kind;
};

Kind kindOf(uint code)
{
    if (code == 0x200C || code == 0x200D) // joiners belong to their word
        return Kind::Letter;
    if (code == ' ' || code == '\t' || code == '\n' || code == '\r')
        return Kind::Space;
    switch (QChar::direction(code)) {
    case QChar::DirAL:
    case QChar::DirR:
    case QChar::DirNSM:
        return Kind::Letter;
    case QChar::DirL:
    case QChar::DirEN:
    case QChar::DirAN:
        return Kind::Strong;
    default:
        return Kind::Other;
    }
}

// The length of the character reference at `at` ("&amp;", "&#x627;"), or 0.
int referenceLength(const QString& text, int at)
{
    int end = at + 1;
    while (end < text.size() && end - at <= 32 && (text.at(end).isLetterOrNumber() || text.at(end) == QLatin1Char('#'))
        && text.at(end).unicode() < 0x80)
        ++end;
    return end > at + 1 && end < text.size() && text.at(end) == QLatin1Char(';') ? end + 1 - at : 0;
}

QVector<Atom> atomsOf(const QString& text)
{
    QVector<Atom> atoms;
    for (int i = 0; i < text.size();) {
        const int reference = text.at(i) == QLatin1Char('&') ? referenceLength(text, i) : 0;
        if (reference > 0) {
            atoms.append({ i, reference, Kind::Other });
            i += reference;
            continue;
        }
        const bool pair = text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate();
        const uint code = pair ? QChar::surrogateToUcs4(text.at(i), text.at(i + 1)) : text.at(i).unicode();
        atoms.append({ i, pair ? 2 : 1, kindOf(code) });
        i += pair ? 2 : 1;
    }
    return atoms;
}

bool worthMarking(const QString& text, const QVector<Atom>& atoms)
{
    if (!holdsArabicScript(text))
        return false;
    for (const QChar c : text) {
        const ushort u = c.unicode();
        if ((u >= 0x202A && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069))
            return false; // the book orders this text itself
    }
    int rightToLeft = 0;
    int leftToRight = 0;
    for (const Atom& atom : atoms) {
        if (atom.kind == Kind::Letter)
            ++rightToLeft;
        else if (atom.kind == Kind::Strong)
            ++leftToRight;
    }
    // In a mostly left-to-right text the paragraph is likely left-to-right
    // too, where a wrapped bracket would be drawn mirrored.
    return rightToLeft >= leftToRight;
}

} // namespace

bool holdsArabicScript(const QString& text)
{
    for (const QChar c : text) {
        const ushort u = c.unicode();
        if ((u >= 0x0600 && u <= 0x06FF) || (u >= 0x0750 && u <= 0x077F) || (u >= 0x0870 && u <= 0x08FF)
            || (u >= 0xFB50 && u <= 0xFDFF) || (u >= 0xFE70 && u <= 0xFEFF))
            return true;
    }
    return false;
}

QString text(const QString& text)
{
    const QVector<Atom> atoms = atomsOf(text);
    if (!worthMarking(text, atoms))
        return text;
    int first = 0;
    int end = atoms.size();
    while (first < end && atoms.at(first).kind == Kind::Space)
        ++first;
    while (end > first && atoms.at(end - 1).kind == Kind::Space)
        --end;
    const auto span = [&](int from, int to) {
        return text.mid(atoms.at(from).from, atoms.at(to - 1).from + atoms.at(to - 1).length - atoms.at(from).from);
    };
    QString out = first > 0 ? span(0, first) : QString();
    // A mark on either edge keeps the first and last words measured whole.
    out += kLeftToRightMark;
    for (int i = first; i < end;) {
        int next = i + 1;
        const Kind kind = atoms.at(i).kind;
        if (kind == Kind::Letter) {
            while (next < end && atoms.at(next).kind == Kind::Letter)
                ++next;
            out += span(i, next);
            i = next;
            continue;
        }
        if (kind == Kind::Strong) {
            // Up to the last left-to-right character before the next letter,
            // so that what lies between them keeps its order.
            for (int j = next; j < end && atoms.at(j).kind != Kind::Letter; ++j) {
                if (atoms.at(j).kind == Kind::Strong)
                    next = j + 1;
            }
        } else if (kind == Kind::Space) {
            while (next < end && atoms.at(next).kind == Kind::Space)
                ++next;
        }
        out += kLeftToRightMark;
        out += kRightToLeftMark;
        out += span(i, next);
        out += kRightToLeftMark;
        out += kLeftToRightMark;
        i = next;
    }
    out += kLeftToRightMark;
    if (end < atoms.size())
        out += span(end, atoms.size());
    return out;
}

QByteArray document(const QByteArray& markup)
{
    const QString source = QString::fromUtf8(markup);
    if (source.toUtf8() != markup)
        return markup; // not UTF-8
    static const QRegularExpression body(QStringLiteral("<body\\b[^>]*>"), QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch bodyTag = body.match(source);
    if (!bodyTag.hasMatch())
        return markup;
    // Elements whose content is not text on the page, and the rest of a
    // markup construct once its opening is seen.
    static const QRegularExpression rawElement(
        QStringLiteral("\\G<(script|style|textarea|title)\\b[^>]*?(/?)>"), QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression construct(
        QStringLiteral("\\G(<!--.*?-->|<!\\[CDATA\\[.*?\\]\\]>|<[?!].*?>|<(?:[^>\"']|\"[^\"]*\"|'[^']*')*>)"),
        QRegularExpression::DotMatchesEverythingOption);
    QString out = source.left(bodyTag.capturedEnd(0));
    int at = bodyTag.capturedEnd(0);
    while (at < source.size()) {
        const int tag = source.indexOf(QLatin1Char('<'), at);
        const int textEnd = tag < 0 ? source.size() : tag;
        out += text(source.mid(at, textEnd - at));
        if (tag < 0)
            break;
        int skipTo = source.size();
        const QRegularExpressionMatch raw = rawElement.match(source, tag, QRegularExpression::NormalMatch, kChecked);
        if (raw.hasMatch()) {
            const QRegularExpression close(
                QStringLiteral("</%1\\s*>").arg(raw.captured(1)), QRegularExpression::CaseInsensitiveOption);
            const QRegularExpressionMatch closing
                = close.match(source, raw.capturedEnd(0), QRegularExpression::NormalMatch, kChecked);
            if (!raw.captured(2).isEmpty())
                skipTo = raw.capturedEnd(0);
            else if (closing.hasMatch())
                skipTo = closing.capturedEnd(0);
        } else {
            const QRegularExpressionMatch found
                = construct.match(source, tag, QRegularExpression::NormalMatch, kChecked);
            if (found.hasMatch())
                skipTo = found.capturedEnd(0);
        }
        out += source.midRef(tag, skipTo - tag);
        at = skipTo;
    }
    return out.toUtf8();
}

} // namespace lf::RightToLeftRuns
