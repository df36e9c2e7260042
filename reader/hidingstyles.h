#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>
#include <QVector>

// The rules of a document's style sheets that may keep text out of what the
// web engine shows and finds (hidden or not displayed, masked, clipped, cut
// short with an ellipsis or a line clamp, combined into one glyph, replaced,
// animated), that may change the text shown (case transforms), or that may
// change how an element is laid out (its display, position or float: a
// script or a title set to display, a closed details taken out of the flow).
// Selectors are read loosely, in the direction of caution: only the last
// compound of each selector counts (its element name, ids and classes;
// attributes, pseudo-classes and ancestors are ignored), so a rule "may apply"
// to an element whenever it could, and a selector not understood applies to
// every element.
class HidingStyles
{
public:
    enum Effect { Hides = 1, ChangesText = 2, SetsDisplay = 4, AllEffects = 7 };

    // Adds the rules of one style sheet (comments, @media and @supports blocks
    // included); returns the targets of its @import rules, as written.
    QStringList addStyleSheet(QStringView css);

    // True when a rule with `effect` added so far may apply to an element with
    // this local name, id attribute and class attribute.
    bool mayApply(Effect effect, QStringView tag, QStringView id, QStringView classes) const;
    bool mayHide(QStringView tag, QStringView id, QStringView classes) const
    {
        return mayApply(Hides, tag, id, classes);
    }

    bool isEmpty() const { return m_subjects.isEmpty() && !m_everything; }

    // The effects a declaration block (or a style attribute) may have. One
    // not read property by property (escapes, custom properties, "all") may
    // have every effect.
    static int effectsOf(QStringView declarations);
    static bool declarationsMayHide(QStringView declarations) { return effectsOf(declarations) & Hides; }

private:
    // The last compound of a selector; empty fields match anything.
    struct Subject
    {
        QString tag;
        QStringList ids;
        QStringList classes;
        int effects = 0;
    };

    QStringList addRules(QStringView css, int depth);
    void addSelectors(QStringView selectors, int effects);

    QVector<Subject> m_subjects;
    // Set by style sheets too deep or too large to judge: every rule may apply everywhere.
    bool m_everything = false;
};
