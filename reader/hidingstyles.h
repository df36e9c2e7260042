#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>
#include <QVector>

// The rules of a document's style sheets that may keep text out of what the
// web engine shows and finds: hidden or not displayed, masked, cut short with
// an ellipsis or a line clamp, combined into one glyph, replaced. Selectors are
// read loosely, in the direction of caution: only the last compound of each
// selector counts (its element name, ids and classes; attributes, pseudo-classes
// and ancestors are ignored), so an element "may be hidden" whenever a rule
// could apply to it, and a selector not understood applies to every element.
class HidingStyles
{
public:
    // Adds the rules of one style sheet (comments, @media and @supports blocks
    // included); returns the targets of its @import rules, as written.
    QStringList addStyleSheet(QStringView css);

    // True when a rule added so far may hide an element with this local name,
    // id attribute and class attribute.
    bool mayHide(QStringView tag, QStringView id, QStringView classes) const;

    bool isEmpty() const { return m_subjects.isEmpty() && !m_everything; }

    // True when a declaration block (or a style attribute) may hide text.
    static bool declarationsMayHide(QStringView declarations);

private:
    // The last compound of a selector; empty fields match anything.
    struct Subject
    {
        QString tag;
        QStringList ids;
        QStringList classes;
    };

    QStringList addRules(QStringView css, int depth);
    void addSelectors(QStringView selectors);

    QVector<Subject> m_subjects;
    // Set by style sheets too deep or too large to judge: every element may be hidden.
    bool m_everything = false;
};
