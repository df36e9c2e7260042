#pragma once

#include <QStringList>
#include <QVariant>
#include <QVector>
#include <QWebPage>

// One action of a test on a page: a class starting with "memo" makes a memo, any
// other a highlight of `colour` (one of the reader's four colour strings), over
// the text from the first occurrence of `from` to the end of `to`. With `remove`
// set, the marks of the class are removed instead.
struct TestMark
{
    QString className;
    QString colour;
    QString from;
    QString to;
    bool remove = false;
};
using TestMarks = QVector<TestMark>;
Q_DECLARE_METATYPE(TestMark)
Q_DECLARE_METATYPE(TestMarks)

namespace colour {
inline const QString yellow = QStringLiteral("rgba(237, 255, 0, 0.3)");
inline const QString orange = QStringLiteral("rgba(255, 170, 0, 0.3)");
inline const QString green = QStringLiteral("rgba(0, 255, 36, 0.3)");
inline const QString blue = QStringLiteral("rgba(0, 243, 255, 0.3)");
} // namespace colour

TestMark highlight(const QString& className, const QString& colour, const QString& from, const QString& to = {});
TestMark memo(const QString& className, const QString& from, const QString& to = {});
TestMark removal(const QString& className);

// Stands in for the reader window as the page object "viewer_pc".
class MemoListener : public QObject
{
    Q_OBJECT
public:
    QStringList shownMemos;
public slots:
    void webviewShowMemo(const QString& className) { shownMemos << className; }
};

// A real web page holding a fixture of tests/data/highlighter, prepared the way
// the reader prepares a loaded page: "viewer_pc" exposed, the page script
// evaluated. Statements are evaluated in the main frame as the reader does.
class HighlighterPage : public QWebPage
{
    Q_OBJECT
public:
    explicit HighlighterPage(QObject* parent = nullptr);

    static QString fixturePath(const QString& fileName);
    // Loads the fixture (or the file at an absolute path) and prepares it; false when the load failed.
    bool open(const QString& fileName);
    // Loads the current document again, prepared and without marks.
    bool reload();
    void prepare();

    QVariant evaluate(const QString& statement);
    // Selects from `from` to `to` (the same text when `to` is empty); returns the selected text.
    QString select(const QString& from, const QString& to = {});
    void apply(const TestMark& mark);
    void apply(const TestMarks& marks);
    QStringList marksUnderSelection();
    QString serialize();
    void restore(const QString& serialised);
    QString describe();
    QString bodyMarkup();
    QString bodyText();
    int wrapperCount();

    MemoListener viewerObject;
    QStringList consoleMessages;

protected:
    void javaScriptConsoleMessage(const QString& message, int lineNumber, const QString& sourceId) override;

private:
    bool loadAndWait(const QUrl& url);

    QUrl m_url;
    qint64 m_nextTimestamp = 1700000000000;
};
