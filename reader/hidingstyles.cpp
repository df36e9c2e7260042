#include "reader/hidingstyles.h"

#include <QRegularExpression>

#include <algorithm>

namespace {

// Style sheets are book content: nesting and rule counts past these are not
// read rule by rule, and every element is taken as possibly hidden.
constexpr int kMaxGroupDepth = 16;
constexpr int kMaxSubjects = 2000;

// The white space that parts the names of a class attribute.
bool isAsciiWhitespace(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\f')
        || c == QLatin1Char('\r');
}

bool isQuote(QChar c)
{
    return c == QLatin1Char('"') || c == QLatin1Char('\'');
}

// The position after the string starting at `at` (a quote). A line break
// ends a string too, as it does for the engine.
int afterString(QStringView css, int at)
{
    const QChar quote = css.at(at);
    for (int i = at + 1; i < css.size(); ++i) {
        const QChar c = css.at(i);
        if (c == QLatin1Char('\\'))
            ++i;
        else if (c == quote)
            return i + 1;
        else if (c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QLatin1Char('\f'))
            return i;
    }
    return css.size();
}

// The position after an unquoted url(...) starting at `at`, which may hold
// brackets of any kind; -1 when there is none at `at`.
int afterUnquotedUrl(QStringView css, int at)
{
    if (css.mid(at, 4).compare(QLatin1String("url("), Qt::CaseInsensitive) != 0)
        return -1;
    int i = at + 4;
    while (i < css.size() && isAsciiWhitespace(css.at(i)))
        ++i;
    if (i < css.size() && isQuote(css.at(i)))
        return -1;
    const int close = int(css.indexOf(QLatin1Char(')'), i));
    return close < 0 ? css.size() : close + 1;
}

// The style sheet without its comments; `unclosedString` tells whether a
// string ends at a line break or at the end instead of at its quote.
QString withoutComments(QStringView css, bool* unclosedString = nullptr)
{
    QString out;
    out.reserve(css.size());
    int at = 0;
    while (at < css.size()) {
        if (isQuote(css.at(at))) {
            const int end = afterString(css, at);
            if (unclosedString && (end <= at + 1 || css.at(end - 1) != css.at(at)))
                *unclosedString = true;
            out += css.mid(at, end - at);
            at = end;
        } else if (css.mid(at, 2) == QLatin1String("/*")) {
            const int end = int(css.indexOf(QLatin1String("*/"), at + 2));
            out += QLatin1Char(' ');
            at = end < 0 ? css.size() : end + 2;
        } else {
            out += css.at(at++);
        }
    }
    return out;
}

// The first of `stops` at bracket depth 0 from `at`, strings skipped; size() when none.
int findTopLevel(QStringView css, int at, QLatin1String stops)
{
    int depth = 0;
    while (at < css.size()) {
        const QChar c = css.at(at);
        if (isQuote(c)) {
            at = afterString(css, at);
            continue;
        }
        if (c == QLatin1Char('\\')) {
            at += 2;
            continue;
        }
        const int url = afterUnquotedUrl(css, at);
        if (url >= 0) {
            at = url;
            continue;
        }
        if (depth == 0 && std::any_of(stops.begin(), stops.end(), [c](char stop) { return c == QLatin1Char(stop); }))
            return at;
        if (c == QLatin1Char('(') || c == QLatin1Char('[') || c == QLatin1Char('{'))
            ++depth;
        else if ((c == QLatin1Char(')') || c == QLatin1Char(']') || c == QLatin1Char('}')) && depth > 0)
            --depth;
        ++at;
    }
    return css.size();
}

// The position of the bracket closing the one at `open`; size() when unclosed.
int closingBracket(QStringView css, int open)
{
    int depth = 0;
    for (int at = open; at < css.size(); ++at) {
        const QChar c = css.at(at);
        const int url = afterUnquotedUrl(css, at);
        if (url >= 0) {
            at = url - 1;
        } else if (isQuote(c)) {
            at = afterString(css, at) - 1;
        } else if (c == QLatin1Char('\\')) {
            ++at;
        } else if (c == QLatin1Char('(') || c == QLatin1Char('[') || c == QLatin1Char('{')) {
            ++depth;
        } else if (c == QLatin1Char(')') || c == QLatin1Char(']') || c == QLatin1Char('}')) {
            if (--depth == 0)
                return at;
        }
    }
    return css.size();
}

bool isIdentChar(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('-') || c == QLatin1Char('_') || c.unicode() >= 0x80;
}

// An identifier from `at`; `escaped` when it holds an escape, whose meaning is
// left unread (the caller then drops the constraint it would make).
QString readIdent(QStringView text, int& at, bool& escaped)
{
    QString ident;
    escaped = false;
    while (at < text.size()) {
        if (text.at(at) == QLatin1Char('\\')) {
            escaped = true;
            at += 2;
        } else if (isIdentChar(text.at(at))) {
            ident += text.at(at++);
        } else {
            break;
        }
    }
    return ident;
}

// The target of an @import rule's prelude: url(...) or a string.
QString importTarget(QStringView prelude)
{
    QString rest = prelude.trimmed().toString();
    if (rest.startsWith(QLatin1String("url("), Qt::CaseInsensitive)) {
        const int close = rest.indexOf(QLatin1Char(')'));
        rest = rest.mid(4, close < 0 ? -1 : close - 4).trimmed();
    }
    if (!rest.isEmpty() && isQuote(rest.at(0))) {
        const int end = afterString(rest, 0);
        return rest.mid(1, end - 2);
    }
    return rest;
}

} // namespace

QStringList HidingStyles::addStyleSheet(QStringView css)
{
    // How the engine recovers from a broken string is not followed here.
    bool unclosedString = false;
    const QString plain = withoutComments(css, &unclosedString);
    if (unclosedString)
        m_everything = true;
    return addRules(plain, 0);
}

QStringList HidingStyles::addRules(QStringView css, int depth)
{
    QStringList imports;
    if (depth > kMaxGroupDepth) {
        m_everything = true;
        return imports;
    }
    int at = 0;
    while (at < css.size()) {
        if (css.at(at).isSpace() || css.at(at) == QLatin1Char(';')) {
            ++at;
            continue;
        }
        if (css.at(at) == QLatin1Char('@')) {
            int nameEnd = at + 1;
            bool escaped = false;
            const QString name = readIdent(css, nameEnd, escaped).toLower();
            const int stop = findTopLevel(css, nameEnd, QLatin1String(";{"));
            if (stop >= css.size() || css.at(stop) == QLatin1Char(';')) {
                // An escaped name may be an import whose sheet is not followed here.
                if (escaped)
                    m_everything = true;
                if (name == QLatin1String("import"))
                    imports.append(importTarget(css.mid(nameEnd, stop - nameEnd)));
                at = stop + 1;
                continue;
            }
            // Every block is read as rules, whatever its at-rule (its name may be
            // escaped): the rules of conditional groups count, and the blocks of
            // fonts, pages or key frames name no element of the document.
            const int close = closingBracket(css, stop);
            addRules(css.mid(stop + 1, close - stop - 1), depth + 1);
            at = close + 1;
            continue;
        }
        const int open = findTopLevel(css, at, QLatin1String("{"));
        if (open >= css.size())
            break;
        const int close = closingBracket(css, open);
        const int effects = effectsOf(css.mid(open + 1, close - open - 1));
        if (effects != 0)
            addSelectors(css.mid(at, open - at), effects);
        at = close + 1;
    }
    return imports;
}

void HidingStyles::addSelectors(QStringView selectors, int effects)
{
    int from = 0;
    while (from < selectors.size()) {
        const int comma = findTopLevel(selectors, from, QLatin1String(","));
        const QStringView selector = selectors.mid(from, comma - from).trimmed();
        from = comma + 1;
        // Escapes are not read: a selector with one outside its attribute
        // tests (which are ignored anyway) applies to every element.
        bool hasEscape = false;
        for (int i = 0; i < selector.size() && !hasEscape; ++i) {
            if (selector.at(i) == QLatin1Char('['))
                i = closingBracket(selector, i);
            else
                hasEscape = selector.at(i) == QLatin1Char('\\');
        }
        if (hasEscape) {
            if (m_subjects.size() >= kMaxSubjects)
                m_everything = true;
            else
                m_subjects.append(Subject { {}, {}, {}, effects });
            continue;
        }

        // The last compound: after the last combinator outside brackets.
        int start = 0;
        for (int i = 0; i < selector.size(); ++i) {
            const QChar c = selector.at(i);
            if (c == QLatin1Char('(') || c == QLatin1Char('[')) {
                i = closingBracket(selector, i);
            } else if (c == QLatin1Char('\\')) {
                ++i;
            } else if (isAsciiWhitespace(c) || c == QLatin1Char('>') || c == QLatin1Char('+')
                || c == QLatin1Char('~')) {
                start = i + 1;
            }
        }
        const QStringView compound = selector.mid(start);

        Subject subject;
        subject.effects = effects;
        bool understood = true;
        bool forElement = true;
        int i = 0;
        bool escaped = false;
        QString tag = readIdent(compound, i, escaped);
        if (i < compound.size() && compound.at(i) == QLatin1Char('*'))
            ++i;
        if (i < compound.size() && compound.at(i) == QLatin1Char('|')) { // namespace prefix
            ++i;
            tag = readIdent(compound, i, escaped);
            if (i < compound.size() && compound.at(i) == QLatin1Char('*'))
                ++i;
        }
        if (!escaped)
            subject.tag = tag.toLower();
        while (i < compound.size() && understood) {
            const QChar c = compound.at(i);
            if (c == QLatin1Char('#') || c == QLatin1Char('.')) {
                ++i;
                const QString name = readIdent(compound, i, escaped);
                if (!escaped && !name.isEmpty())
                    (c == QLatin1Char('#') ? subject.ids : subject.classes).append(name);
            } else if (c == QLatin1Char('[')) {
                i = closingBracket(compound, i) + 1;
            } else if (c == QLatin1Char(':')) {
                const bool element = i + 1 < compound.size() && compound.at(i + 1) == QLatin1Char(':');
                i += element ? 2 : 1;
                const QString name = readIdent(compound, i, escaped).toLower();
                if (i < compound.size() && compound.at(i) == QLatin1Char('('))
                    i = closingBracket(compound, i) + 1;
                // Generated content, markers, scroll bars and the like are not the
                // document's text; the first letter or line is.
                const bool oldElement = name == QLatin1String("before") || name == QLatin1String("after");
                if ((element || oldElement) && name != QLatin1String("first-letter")
                    && name != QLatin1String("first-line"))
                    forElement = false;
            } else {
                understood = false;
            }
        }
        if (!forElement)
            continue;
        if (m_subjects.size() >= kMaxSubjects)
            m_everything = true;
        else
            m_subjects.append(understood ? subject : Subject { {}, {}, {}, effects });
    }
}

bool HidingStyles::mayApply(Effect effect, QStringView tag, QStringView id, QStringView classes) const
{
    if (m_everything)
        return true;
    if (m_subjects.isEmpty())
        return false;
    QVector<QStringView> classList;
    for (int at = 0; at < classes.size();) {
        int end = at;
        while (end < classes.size() && !isAsciiWhitespace(classes.at(end)))
            ++end;
        if (end > at)
            classList.append(classes.mid(at, end - at));
        at = end + 1;
    }
    for (const Subject& subject : m_subjects) {
        if (!(subject.effects & effect))
            continue;
        if (!subject.tag.isEmpty() && tag.compare(subject.tag, Qt::CaseInsensitive) != 0)
            continue;
        bool matches = true;
        for (const QString& wanted : subject.ids)
            matches = matches && id.trimmed().compare(wanted, Qt::CaseInsensitive) == 0;
        for (const QString& wanted : subject.classes) {
            bool found = false;
            for (QStringView name : classList)
                found = found || name.compare(wanted, Qt::CaseInsensitive) == 0;
            matches = matches && found;
        }
        if (matches)
            return true;
    }
    return false;
}

int HidingStyles::effectsOf(QStringView declarations)
{
    const QString plain = withoutComments(declarations);
    static const QRegularExpression unread(
        QStringLiteral("\\\\|var\\s*\\(|(^|[^-\\w])all\\s*:"), QRegularExpression::CaseInsensitiveOption);
    if (unread.match(plain).hasMatch())
        return AllEffects;
    // Boxes that clip their overflow at zero size, animations (which may hide
    // through their key frames) and content moved into named flows count as
    // hiding too.
    static const QRegularExpression hiding(
        QStringLiteral(
            "display\\s*:\\s*(none|table-column)|visibility\\s*:\\s*(hidden|collapse)|text-security|text-overflow"
            "|line-clamp|text-combine|content-visibility|(^|[^-\\w])content\\s*:|overflow|animation|flow-from"
            "|flow-into"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression transforming(
        QStringLiteral("text-transform"), QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression displaying(
        QStringLiteral("(^|[^-\\w])(display|position|float)\\s*:"), QRegularExpression::CaseInsensitiveOption);
    int effects = 0;
    if (hiding.match(plain).hasMatch())
        effects |= Hides;
    if (transforming.match(plain).hasMatch())
        effects |= ChangesText;
    if (displaying.match(plain).hasMatch())
        effects |= SetsDisplay;
    return effects;
}
