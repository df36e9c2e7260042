// The search text may answer "maybe" too often, never "no" where the engine
// finds the term nor "yes" where it does not: checked against a real
// off-screen page on the cases where the engine's matching is loosest, and on
// the documents written in review to make the two disagree.
#include "panelbooks.h"
#include "reader/hidingstyles.h"
#include "reader/searchtext.h"
#include "reader/searchtextfile.h"
#include "reader/searchtextindex.h"
#include "testsupport.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextCodec>

namespace {

// A case of tests/reader/data/searchcases.txt: "=== name", then files, each
// "--- name [@wrap|@latin1|@sjis|@eucjp]" and its lines (the first file is
// the book's only spine document; "\u{hex}" stands for a character), then
// "?? term" lines. @wrap puts the lines into an XHTML body, linking s.css
// when the case has one.
struct ReviewedCase
{
    struct File
    {
        QString name;
        QString options;
        QStringList lines;
    };
    QString name;
    QList<File> files;
    QStringList terms;
};

QString unescaped(const QString& text)
{
    static const QRegularExpression escape(QStringLiteral("\\\\u\\{([0-9A-Fa-f]+)\\}"));
    QString out = text;
    for (QRegularExpressionMatch match = escape.match(out); match.hasMatch(); match = escape.match(out)) {
        const uint code = match.captured(1).toUInt(nullptr, 16);
        out.replace(match.capturedStart(), match.capturedLength(), QString::fromUcs4(&code, 1));
    }
    return out;
}

QList<ReviewedCase> readReviewedCases(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QList<ReviewedCase> cases;
    for (const QString& line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("=== "))) {
            cases.append({ line.mid(4), {}, {} });
        } else if (cases.isEmpty()) {
            continue;
        } else if (line.startsWith(QLatin1String("--- "))) {
            const QStringList parts = line.mid(4).split(QLatin1Char(' '));
            cases.last().files.append({ parts.value(0), parts.mid(1).join(QLatin1Char(' ')), {} });
        } else if (line.startsWith(QLatin1String("?? "))) {
            cases.last().terms.append(unescaped(line.mid(3)));
        } else if (!cases.last().files.isEmpty()) {
            cases.last().files.last().lines.append(line);
        }
    }
    return cases;
}

QByteArray encoded(const QString& text, const QString& options)
{
    if (options.contains(QLatin1String("@latin1")))
        return text.toLatin1();
    if (options.contains(QLatin1String("@sjis")))
        return QTextCodec::codecForName("Shift_JIS")->fromUnicode(text);
    if (options.contains(QLatin1String("@eucjp")))
        return QTextCodec::codecForName("EUC-JP")->fromUnicode(text);
    return text.toUtf8();
}

} // namespace

class TestSearchText : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(m_folder.isValid()); }

    void neverMissesWhatTheEngineFinds_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("term");
        QTest::addColumn<bool>("engineFinds");
        QTest::addColumn<bool>("decided"); // without loading the document
        QTest::addColumn<QByteArray>("styleSheet"); // linked as s.css when given
        QTest::newRow("accent in the text") << QString("a.xhtml") << QStringLiteral("<p>café noir</p>")
                                            << QStringLiteral("cafe") << true << false << QByteArray("");
        QTest::newRow("accent in the term") << QString("a.xhtml") << QStringLiteral("<p>cafe noir</p>")
                                            << QStringLiteral("café") << false << false << QByteArray("");
        QTest::newRow("decomposed accent") << QString("a.xhtml") << QStringLiteral("<p>e\u0301te\u0301</p>")
                                           << QStringLiteral("été") << true << false << QByteArray("");
        QTest::newRow("sharp s") << QString("a.xhtml") << QStringLiteral("<p>Straße</p>") << QStringLiteral("STRASSE")
                                 << true << false << QByteArray("");
        QTest::newRow("ligature letters") << QString("a.xhtml") << QStringLiteral("<p>\u00e6sir \u0153uvre</p>")
                                          << QStringLiteral("aesir") << true << false << QByteArray("");
        QTest::newRow("presentation ligature") << QString("a.xhtml") << QStringLiteral("<p>\ufb01x</p>")
                                               << QStringLiteral("fix") << true << false << QByteArray("");
        QTest::newRow("full width") << QString("a.xhtml") << QStringLiteral("<p>\uff21BC</p>") << QStringLiteral("abc")
                                    << true << false << QByteArray("");
        QTest::newRow("katakana for hiragana") << QString("a.xhtml") << QStringLiteral("<p>\u30ab\u30bf</p>")
                                               << QStringLiteral("\u304b\u305f") << true << false << QByteArray("");
        QTest::newRow("greek accents and case") << QString("a.xhtml") << QStringLiteral("<p>Αθήνα</p>")
                                                << QStringLiteral("αθηνα") << true << false << QByteArray("");
        QTest::newRow("dotted capital I") << QString("a.xhtml") << QStringLiteral("<p>İstanbul</p>")
                                          << QStringLiteral("istanbul") << true << false << QByteArray("");
        QTest::newRow("curly apostrophe") << QString("a.xhtml") << QStringLiteral("<p>it’s</p>")
                                          << QStringLiteral("it's") << true << false << QByteArray("");
        QTest::newRow("soft hyphen") << QString("a.xhtml") << QStringLiteral("<p>soft\u00adhyphen</p>")
                                     << QStringLiteral("softhyphen") << true << false << QByteArray("");
        QTest::newRow("zero width space") << QString("a.xhtml") << QStringLiteral("<p>zero\u200bwidth</p>")
                                          << QStringLiteral("zerowidth") << true << false << QByteArray("");
        QTest::newRow("no-break space") << QString("a.xhtml") << QStringLiteral("<p>foo&#160;bar</p>")
                                        << QStringLiteral("foo bar") << true << false << QByteArray("");
        QTest::newRow("collapsed white space") << QString("a.xhtml") << QStringLiteral("<p>foo \n  bar</p>")
                                               << QStringLiteral("foo bar") << true << false << QByteArray("");
        QTest::newRow("line break in pre") << QString("a.xhtml") << QStringLiteral("<pre>foo\nbar</pre>")
                                           << QStringLiteral("foo bar") << false << false << QByteArray("");
        QTest::newRow("split by markup") << QString("a.xhtml") << QStringLiteral("<p>split<b>word</b></p>")
                                         << QStringLiteral("splitword") << true << false << QByteArray("");
        QTest::newRow("combining mark after") << QString("a.xhtml") << QStringLiteral("<p>re\u0301sume\u0301</p>")
                                              << QStringLiteral("re") << true << false << QByteArray("");
        QTest::newRow("ruby annotation") << QString("a.xhtml")
                                         << QStringLiteral("<p><ruby>\u6f22<rt>\u304b\u3093</rt></ruby>\u5b57</p>")
                                         << QStringLiteral("\u304b\u3093") << true << false << QByteArray("");
        QTest::newRow("word in any case") << QString("a.xhtml") << QStringLiteral("<p>The River ran.</p>")
                                          << QStringLiteral("rIVER") << true << true << QByteArray("");
        QTest::newRow("phrase") << QString("a.xhtml") << QStringLiteral("<p>the white whale</p>")
                                << QStringLiteral("White Whale") << true << true << QByteArray("");
        QTest::newRow("escaped ampersand") << QString("a.xhtml") << QStringLiteral("<p>x&amp;y</p>")
                                           << QStringLiteral("x&y") << true << true << QByteArray("");
        QTest::newRow("hidden inline") << QString("a.xhtml")
                                       << QStringLiteral("<p>hid<span style='display:none'>x</span>den</p>")
                                       << QStringLiteral("hidden") << true << false << QByteArray("");
        QTest::newRow("hidden by a style element")
            << QString("a.xhtml")
            << QStringLiteral("<style>.gone { visibility: hidden }</style><p class='gone'>river</p>")
            << QStringLiteral("river") << false << false << QByteArray("");
        QTest::newRow("hidden by a style sheet")
            << QString("a.xhtml") << QStringLiteral("<p>a <span class='gone'>river</span> b</p>")
            << QStringLiteral("river") << false << false << QByteArray(".gone { display: none }");
        QTest::newRow("hidden in a media block")
            << QString("a.xhtml") << QStringLiteral("<p id='gone'>river</p>") << QStringLiteral("river") << false
            << false << QByteArray("@media screen { p#gone { display: none } }");
        QTest::newRow("style sheet hides another element")
            << QString("a.xhtml") << QStringLiteral("<p>river</p><p class='gone'>x</p>") << QStringLiteral("river")
            << true << true << QByteArray("p.gone { display: none }");
        QTest::newRow("whole document hidden")
            << QString("a.xhtml") << QStringLiteral("<p>river</p>") << QStringLiteral("river") << false << false
            << QByteArray("html { display: none }");
        QTest::newRow("generated content")
            << QString("a.xhtml") << QStringLiteral("<p>x</p>") << QStringLiteral("river") << false << true
            << QByteArray("p::before { content: 'river' }");
        QTest::newRow("script text") << QString("a.xhtml") << QStringLiteral("<p>a</p><script>var secret;</script>")
                                     << QStringLiteral("secret") << false << true << QByteArray("");
        QTest::newRow("style text") << QString("a.xhtml") << QStringLiteral("<style>p { color: teal }</style><p>a</p>")
                                    << QStringLiteral("teal") << false << true << QByteArray("");
        QTest::newRow("not well-formed") << QString("a.xhtml") << QStringLiteral("<p>broken <b>markup</p>")
                                         << QStringLiteral("errors") << true << false << QByteArray("");
        QTest::newRow("html entity") << QString("a.html") << QStringLiteral("<p>caf&eacute; cr&egrave;me</p>")
                                     << QStringLiteral("café crème") << true << false << QByteArray("");
        QTest::newRow("html comment") << QString("a.html") << QStringLiteral("<p>a<!-- hidden words -->b</p>")
                                      << QStringLiteral("ab") << true << false << QByteArray("");
        QTest::newRow("html script") << QString("a.html") << QStringLiteral("<p>x</p><SCRIPT>var secret;</SCRIPT>")
                                     << QStringLiteral("secret") << false << true << QByteArray("");
        QTest::newRow("html, capitals in attribute names")
            << QString("a.html") << QStringLiteral("<p>ri<span STYLE='display:none'>x</span>ver</p>")
            << QStringLiteral("river") << true << false << QByteArray("");
        QTest::newRow("xhtml, names in capitals are no script")
            << QString("a.xhtml")
            << QStringLiteral("<p>one <SCRIPT>secret</SCRIPT> <\u017fcript>river</\u017fcript></p>")
            << QStringLiteral("river") << true << false << QByteArray("");
        QTest::newRow("script of a namespace the engine does not know")
            << QString("a.xhtml") << QStringLiteral("<p>one <x:script xmlns:x='urn:x'>secret</x:script> two</p>")
            << QStringLiteral("secret") << true << false << QByteArray("");
        QTest::newRow("formula operators are drawn, not found")
            << QString("a.xhtml")
            << QStringLiteral("<p><math xmlns='http://www.w3.org/1998/Math/MathML'><mi>x</mi><mo>log</mo><mi>y</mi>"
                              "</math></p>")
            << QStringLiteral("x\ny") << true << false << QByteArray("");
        QTest::newRow("html, link written empty")
            << QString("a.html") << QStringLiteral("<h2><a id='c5'/>Chapter V</h2><p>The river ran.</p>")
            << QStringLiteral("river") << true << true << QByteArray("");
        QTest::newRow("class names parted by ASCII space only")
            << QString("a.xhtml") << QStringLiteral("<p>ri<span class='a\u00a0b'>x</span>ver</p>")
            << QStringLiteral("river") << true << false << QByteArray(".a\u00a0b { display: none }");
        QTest::newRow("half-width sound mark joins the kana")
            << QString("a.xhtml") << QStringLiteral("<p>\uff76\uff9e</p>") << QStringLiteral("\uff76") << true << false
            << QByteArray("");
        QTest::newRow("html written as XHTML") << QString("a.html") << QStringLiteral("<p>The river ran.</p>")
                                               << QStringLiteral("river") << true << true << QByteArray("");
        QTest::newRow("html, UTF-8 letters") << QString("a.html") << QStringLiteral("<p>café</p>")
                                             << QStringLiteral("café") << true << true << QByteArray("");
        // Documents the engine reads otherwise than an XML reader does.
        const QString svg = QStringLiteral("http://www.w3.org/2000/svg");
        QTest::newRow("entity declared by a parameter entity")
            << QString("a.xhtml")
            << QStringLiteral("<?xml version='1.0'?><!DOCTYPE html [<!ENTITY % p \"<!ENTITY x 'secret'>\"> %p;]>"
                              "<html xmlns='http://www.w3.org/1999/xhtml'><head><title>t</title></head>"
                              "<body><p>one &x; two</p></body></html>")
            << QStringLiteral("one") << false << false << QByteArray("");
        QTest::newRow("entity dropped from a class attribute")
            << QString("a.xhtml")
            << QStringLiteral("<?xml version='1.0'?><!DOCTYPE html PUBLIC '-//W3C//DTD XHTML 1.1//EN' "
                              "'http://www.w3.org/TR/xhtml11/DTD/xhtml11.dtd'><html "
                              "xmlns='http://www.w3.org/1999/xhtml'><head><link rel='stylesheet' href='s.css'/></head>"
                              "<body><p class='caf&eacute;'>secret</p></body></html>")
            << QStringLiteral("secret") << false << false << QByteArray(".caf\u00e9 { display: none }");
        QTest::newRow("html, text before the head opens the body")
            << QString("a.html")
            << QStringLiteral("<html xmlns='http://www.w3.org/1999/xhtml'>pre<head><title>tt</title></head>"
                              "<body>abc</body></html>")
            << QStringLiteral("preabc") << true << false << QByteArray("");
        QTest::newRow("html, a second body adds its attributes")
            << QString("a.html") << QStringLiteral("abc<body hidden='hidden'></body>def") << QStringLiteral("abc")
            << false << false << QByteArray("");
        QTest::newRow("html, CDATA in the body is a comment")
            << QString("a.html") << QStringLiteral("<p>one<![CDATA[mid]]>two</p>") << QStringLiteral("onetwo") << true
            << false << QByteArray("");
        QTest::newRow("html, meta content without http-equiv")
            << QString("a.html")
            << QStringLiteral("<html xmlns='http://www.w3.org/1999/xhtml'><head><meta name='x' "
                              "content='charset=utf-8'/></head><body><p>caf\u00e9</p></body></html>")
            << QStringLiteral("caf\u00e9") << false << false << QByteArray("");
        QTest::newRow("svg text leaves out other children")
            << QString("a.xhtml")
            << QStringLiteral("<p><svg xmlns='%1'><text>pic<metadata>tip</metadata>ture</text></svg></p>").arg(svg)
            << QStringLiteral("picture") << true << false << QByteArray("");
        QTest::newRow("svg hidden by a presentation attribute")
            << QString("a.xhtml")
            << QStringLiteral("<p>one<svg xmlns='%1' display='none'><text>mid</text></svg>two</p>").arg(svg)
            << QStringLiteral("onetwo") << true << false << QByteArray("");
        QTest::newRow("Turkish set by a style rule")
            << QString("a.xhtml") << QStringLiteral("<p class='u'>KIR</p>") << QStringLiteral("kir") << false << false
            << QByteArray(".u { -webkit-locale: 'tr'; text-transform: lowercase }");
        QTest::newRow("style sheet in Latin-1")
            << QString("a.xhtml") << QStringLiteral("<p class='\u00e9'>secret</p>") << QStringLiteral("secret") << false
            << false << QByteArray("@charset \"iso-8859-1\"; .\xe9 { display: none }");
        QTest::newRow("backslash in a Japanese encoding")
            << QString("a.xhtml")
            << QStringLiteral("<?xml version='1.0' encoding='windows-31j'?><html "
                              "xmlns='http://www.w3.org/1999/xhtml'><head><title>t</title></head>"
                              "<body><p>C:\\dir</p></body></html>")
            << QStringLiteral("\\dir") << false << false << QByteArray("");
        QTest::newRow("case transform of the root")
            << QString("a.xhtml")
            << QStringLiteral("<?xml version='1.0'?><html xmlns='http://www.w3.org/1999/xhtml' "
                              "style='text-transform: uppercase'><head><title>t</title></head>"
                              "<body><p>stra\u00dfe</p></body></html>")
            << QStringLiteral("stra\u00dfe") << false << false << QByteArray("");
        QTest::newRow("import with an escaped name")
            << QString("a.xhtml")
            << QStringLiteral("<?xml version='1.0'?><html xmlns='http://www.w3.org/1999/xhtml'><head><style>"
                              "@\\69mport 's.css';</style></head><body><p class='x'>secret</p></body></html>")
            << QStringLiteral("secret") << false << false << QByteArray(".x { display: none }");
        QTest::newRow("text a drawing does not draw")
            << QString("a.xhtml") << QStringLiteral("<p>one<svg xmlns='%1'><g>mid</g></svg>two</p>").arg(svg)
            << QStringLiteral("onetwo") << true << false << QByteArray("");
        QTest::newRow("text of an element never drawn")
            << QString("a.xhtml") << QStringLiteral("<p>one<wbr>mid</wbr>two</p>") << QStringLiteral("onetwo") << true
            << false << QByteArray("");
        QTest::newRow("html, text in a void element")
            << QString("a.html")
            << QStringLiteral("<html xmlns='http://www.w3.org/1999/xhtml'><head><meta>pre</meta><title>tt</title>"
                              "</head><body>abc</body></html>")
            << QStringLiteral("preabc") << true << false << QByteArray("");
        QTest::newRow("html, charset that only starts with utf-8")
            << QString("a.html")
            << QStringLiteral("<html xmlns='http://www.w3.org/1999/xhtml'><head><meta charset='utf-80'/></head>"
                              "<body><p>caf\u00e9</p></body></html>")
            << QStringLiteral("caf\u00e9") << false << false << QByteArray("");
        QTest::newRow("text held by a slot") << QString("a.xhtml") << QStringLiteral("<p>one<slot>mid</slot>two</p>")
                                             << QStringLiteral("two") << false << false << QByteArray("");
        QTest::newRow("rp directly in ruby")
            << QString("a.xhtml") << QStringLiteral("<p><ruby>one<rp>mid</rp>two</ruby></p>")
            << QStringLiteral("onetwo") << true << false << QByteArray("");
        QTest::newRow("closed details set inline")
            << QString("a.xhtml") << QStringLiteral("<p>one<details>mid</details>two</p>") << QStringLiteral("onetwo")
            << true << false << QByteArray("details { display: inline }");
        QTest::newRow("content moved into a named flow")
            << QString("a.xhtml") << QStringLiteral("<p class='f'>secret</p>") << QStringLiteral("secret") << false
            << false << QByteArray(".f { -webkit-flow-from: f }");
        QTest::newRow("element inside a formula token")
            << QString("a.xhtml")
            << QStringLiteral("<p><math xmlns='http://www.w3.org/1998/Math/MathML'><mtext>one<mi>mid</mi>two</mtext>"
                              "</math></p>")
            << QStringLiteral("onetwo") << true << false << QByteArray("");
        QTest::newRow("html, circle entity") << QString("a.html") << QStringLiteral("<p>one&xcirc;two</p>")
                                             << QStringLiteral("one\u25eftwo") << true << false << QByteArray("");
        QTest::newRow("encoding the engine does not decode")
            << QString("a.xhtml")
            << QStringLiteral("<?xml version='1.0' encoding='utf-7'?><html xmlns='http://www.w3.org/1999/xhtml'>"
                              "<head><title>t</title></head><body><p>q+AH4-q</p></body></html>")
            << QStringLiteral("q+AH4-q") << true << false << QByteArray("");
        QTest::newRow("closed details out of the flow")
            << QString("a.xhtml") << QStringLiteral("<p>one<details style='position: absolute'>mid</details>two</p>")
            << QStringLiteral("onetwo") << true << false << QByteArray("");
        QTest::newRow("html, CDATA section") << QString("a.html") << QStringLiteral("<p><![CDATA[river]]></p>")
                                             << QStringLiteral("river") << false << false << QByteArray("");
        QTest::newRow("html, empty element") << QString("a.html") << QStringLiteral("<p><a id='x'></a>river</p>")
                                             << QStringLiteral("river") << true << true << QByteArray("");
        QTest::newRow("html, element written empty takes in what a rule hides")
            << QString("a.html") << QStringLiteral("<p>a<span class='x'/>river</p>") << QStringLiteral("river") << false
            << false << QByteArray(".x { display: none }");
        QTest::newRow("comment in a style attribute")
            << QString("a.xhtml") << QStringLiteral("<p>a <span style='display:/**/none'>river</span> b</p>")
            << QStringLiteral("river") << false << false << QByteArray("");
        QTest::newRow("escape in a style sheet")
            << QString("a.xhtml") << QStringLiteral("<p>a <span class='g'>river</span> b</p>")
            << QStringLiteral("river") << false << false << QByteArray(".g { display: n\\6f ne }");
        QTest::newRow("custom property") << QString("a.xhtml")
                                         << QStringLiteral("<p>a <span class='g'>river</span> b</p>")
                                         << QStringLiteral("river") << false << false
                                         << QByteArray(".g { --h: none; display: var(--h) }");
        QTest::newRow("style sheet from a data address")
            << QString("a.xhtml")
            << QStringLiteral("<style>@import url('data:text/css,.g{display:none}');</style>"
                              "<p>a <span class='g'>river</span> b</p>")
            << QStringLiteral("river") << false << false << QByteArray("");
        QTest::newRow("hidden by an animation")
            << QString("a.xhtml") << QStringLiteral("<p>a <span class='g'>river</span> b</p>")
            << QStringLiteral("river") << false << false
            << QByteArray("@keyframes h { from, to { visibility: hidden } } .g { animation: h 10s infinite }");
        QTest::newRow("clipped at zero height")
            << QString("a.xhtml") << QStringLiteral("<div style='height:0;overflow:hidden'>river</div>")
            << QStringLiteral("river") << false << false << QByteArray("");
        QTest::newRow("sharp s set in capitals")
            << QString("a.xhtml") << QStringLiteral("<p style='text-transform:uppercase'>straße</p>")
            << QStringLiteral("straße") << false << false << QByteArray("");
        QTest::newRow("turkish set in small letters")
            << QString("a.xhtml") << QStringLiteral("<p lang='tr' style='text-transform:lowercase'>ISTANBUL</p>")
            << QStringLiteral("istanbul") << false << false << QByteArray("");
        QTest::newRow("capitals of plain letters")
            << QString("a.xhtml") << QStringLiteral("<h1>The River</h1>") << QStringLiteral("river") << true << true
            << QByteArray("h1 { text-transform: uppercase }");
        QTest::newRow("children of an image") << QString("a.xhtml") << QStringLiteral("<p>a <img>river</img> b</p>")
                                              << QStringLiteral("river") << false << false << QByteArray("");
        QTest::newRow("value of a text field")
            << QString("a.xhtml") << QStringLiteral("<p><input type='text' value='riverbank'/></p>")
            << QStringLiteral("riverbank") << true << false << QByteArray("");
        QTest::newRow("title joins the words around it")
            << QString("a.xhtml") << QStringLiteral("<p>hid<title>x</title>den</p>") << QStringLiteral("hidden") << true
            << false << QByteArray("");
        QTest::newRow("scripts displayed") << QString("a.xhtml")
                                           << QStringLiteral("<style>script { display: block }</style><p>x</p>"
                                                             "<script>var secretword;</script>")
                                           << QStringLiteral("secretword") << true << false << QByteArray("");
        QTest::newRow("digits of another script") << QString("a.xhtml") << QStringLiteral("<p>\u0661\u0662\u0663</p>")
                                                  << QStringLiteral("123") << true << false << QByteArray("");
        QTest::newRow("hebrew final letter")
            << QString("a.xhtml") << QStringLiteral("<p>\u05e9\u05dc\u05d5\u05dd</p>")
            << QStringLiteral("\u05e9\u05dc\u05d5\u05de") << true << false << QByteArray("");
        QTest::newRow("iota subscript") << QString("a.xhtml") << QStringLiteral("<p>\u03b1\u0345</p>")
                                        << QStringLiteral("\u03b1\u03b9") << false << true << QByteArray("");
        QTest::newRow("html, Windows-1252 reference") << QString("a.html") << QStringLiteral("<p>&#140;uvre</p>")
                                                      << QStringLiteral("oeuvre") << true << false << QByteArray("");
        QTest::newRow("html, short comment") << QString("a.html") << QStringLiteral("<p>a<!--> river --></p>")
                                             << QStringLiteral("river") << true << false << QByteArray("");
        QTest::newRow("html, markup shown as text")
            << QString("a.html") << QStringLiteral("<p>a<xmp/><span>x</span></p>") << QStringLiteral("span") << true
            << false << QByteArray("");
        QTest::newRow("escape in a selector")
            << QString("a.xhtml") << QStringLiteral("<p>a <span class='hide'>river</span> b</p>")
            << QStringLiteral("river") << false << false << QByteArray(".h\\69 de { display: none }");
        QTest::newRow("escaped at-rule") << QString("a.xhtml")
                                         << QStringLiteral("<p>a <span class='g'>river</span> b</p>")
                                         << QStringLiteral("river") << false << false
                                         << QByteArray("@med\\69 a screen { .g { display: none } }");
        QTest::newRow("string ended by a line break")
            << QString("a.xhtml") << QStringLiteral("<p>a <span class='g'>river</span> b</p>")
            << QStringLiteral("river") << false << false << QByteArray(".x { font-family: 'a }\n.g { display: none }");
        QTest::newRow("brace in an address")
            << QString("a.xhtml") << QStringLiteral("<p>a <span class='g'>river</span> b</p>")
            << QStringLiteral("river") << false << false
            << QByteArray(".x { background: url(a{b) } .g { display: none }");
        QTest::newRow("table column") << QString("a.xhtml")
                                      << QStringLiteral("<p>a <span style='display:table-column'>river</span> b</p>")
                                      << QStringLiteral("river") << false << false << QByteArray("");
        QTest::newRow("html, text moved before a table")
            << QString("a.html") << QStringLiteral("<div><span>ri</span><table><tr><td>x</td></tr>ver</table></div>")
            << QStringLiteral("river") << true << false << QByteArray("");
        QTest::newRow("circled digit") << QString("a.xhtml") << QStringLiteral("<p>\u2776</p>") << QStringLiteral("1")
                                       << true << false << QByteArray("");
        QTest::newRow("squared letter") << QString("a.xhtml") << QStringLiteral("<p>\U0001F150</p>")
                                        << QStringLiteral("a") << true << false << QByteArray("");
        QTest::newRow("ukrainian ghe") << QString("a.xhtml") << QStringLiteral("<p>\u0491\u0430\u043d\u043e\u043a</p>")
                                       << QStringLiteral("\u0433\u0430\u043d\u043e\u043a") << true << false
                                       << QByteArray("");
        QTest::newRow("absent") << QString("a.xhtml") << QStringLiteral("<p>nothing here</p>")
                                << QStringLiteral("elsewhere") << false << true << QByteArray("");
    }

    void neverMissesWhatTheEngineFinds()
    {
        QFETCH(QString, fileName);
        QFETCH(QString, body);
        QFETCH(QString, term);
        QFETCH(bool, engineFinds);
        QFETCH(QByteArray, styleSheet);
        const QString bookDir = m_folder.path() + QLatin1Char('/') + QString::number(m_books++);
        const QString link = styleSheet.isEmpty() ? QString() : QStringLiteral("<link rel='stylesheet' href='s.css'/>");
        // A body starting with "<?xml" or "<html" is the whole document (its link written by the row).
        const bool wholeDocument = body.startsWith(QLatin1String("<?xml")) || body.startsWith(QLatin1String("<html"));
        const QByteArray bytes = wholeDocument ? body.toUtf8()
            : fileName.endsWith(QLatin1String(".xhtml"))
            ? lf::test::xhtml(body, link)
            : QStringLiteral("<?xml version='1.0' encoding='utf-8'?>\n<html "
                             "xmlns='http://www.w3.org/1999/xhtml'><head>%1</head><body>%2</body></html>")
                  .arg(link, body)
                  .toUtf8();
        const std::unique_ptr<EpubData> book = lf::test::writeBook(bookDir, { { fileName, bytes } });
        QVERIFY(book);
        QFile css(bookDir + QStringLiteral("/OPS/s.css"));
        if (!styleSheet.isEmpty()) {
            QVERIFY(css.open(QIODevice::WriteOnly) && css.write(styleSheet) == styleSheet.size());
            css.close();
        }

        QCOMPARE(!lf::test::engineSearch(*book, bookDir, term).isEmpty(), engineFinds);
        SearchTextIndex index(book.get(), bookDir);
        const SearchTextIndex::Presence presence = index.presence(0, lf::SearchText::Term(term));
        QVERIFY(presence != (engineFinds ? SearchTextIndex::Presence::Absent : SearchTextIndex::Presence::Present));
        // Where the answer is plain, the engine is not asked: a load saved.
        QFETCH(bool, decided);
        QCOMPARE(presence != SearchTextIndex::Presence::AskTheEngine, decided);
    }

    void extractsVisibleText_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("folded");
        QTest::addColumn<bool>("complete");
        QTest::addColumn<QString>("shown");
        QTest::newRow("xhtml") << "x.xhtml" << lf::test::xhtml("<p>One <i>Two</i>  Three</p><script>x</script>")
                               << "tonetwothree" << true << "\none\ntwo\nthree\n";
        const QByteArray doctype("<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.1//EN\" "
                                 "\"http://www.w3.org/TR/xhtml11/DTD/xhtml11.dtd\">");
        QTest::newRow("entity of the XHTML DTD")
            << "x.xhtml"
            << doctype + "<html xmlns='http://www.w3.org/1999/xhtml'><body>caf&eacute;&nbsp;cr&egrave;me</body></html>"
            << "cafecreme" << true << QStringLiteral("\ncaf\n\u00a0cr\nme\n");
        QTest::newRow("unknown entity") << "x.xhtml" << doctype + "<html><p>a&frobnitz;b</p></html>"
                                        << "ab" << false << "";
        QTest::newRow("hidden attribute")
            << "x.xhtml" << lf::test::xhtml("<p hidden=''>x</p>y") << "txy" << false << "\ny\n";
        QTest::newRow("style sheet not read")
            << "x.xhtml" << lf::test::xhtml("a", "<link rel='stylesheet' href='s.css'/>") << "ta" << false << "";
        // Measured: the engine reads an HTML document with no declared encoding as Latin-1.
        QTest::newRow("html, no encoding declared")
            << "x.html" << QByteArray("<html xmlns='http://www.w3.org/1999/xhtml'><body>Caf\xc3\xa9</body></html>")
            << "cafe" << false << "\ncaf\n\n";
        QTest::newRow("html, encoding in a comment")
            << "x.html"
            << QByteArray("<html xmlns='http://www.w3.org/1999/xhtml'><head><!-- <meta charset='utf-8'/> --></head>"
                          "<body>Caf\xc3\xa9</body></html>")
            << "cafe" << false << "\ncaf\n\n";
        QTest::newRow("root element hidden")
            << "x.xhtml" << QByteArray("<html xmlns='http://www.w3.org/1999/xhtml' hidden=''><body>river</body></html>")
            << "river" << false << "\n";
        QTest::newRow("body inside another element")
            << "x.xhtml"
            << QByteArray("<html xmlns='http://www.w3.org/1999/xhtml'><div><body>river</body></div></html>") << "river"
            << true << "";
        QTest::newRow("entities with letters")
            << "x.xhtml" << doctype + "<html xmlns='http://www.w3.org/1999/xhtml'><body>5&micro;g&trade;</body></html>"
            << QStringLiteral("5\u03bcgtm") << true << "\n5\ng\n";
        QTest::newRow("html, not UTF-8") << "x.html" << QByteArray("<p>caf\xe9</p>") << "caf" << false << "";
        QTest::newRow("other type") << "x.txt" << QByteArray("text") << "" << false << "";
    }

    void extractsVisibleText()
    {
        QFETCH(QString, fileName);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, folded);
        QFETCH(bool, complete);
        QFETCH(QString, shown);
        const lf::SearchText::DocumentText text = lf::SearchText::extract(bytes, fileName);
        QCOMPARE(text.folded, folded);
        QCOMPARE(text.complete, complete);
        QCOMPARE(text.shown, shown);
    }

    // Where the system's language reads "aa" as one letter, a match inside a
    // word proves nothing, and "aase" may be found in "Åse".
    void collationOfTheSystemLanguage()
    {
        const QString bookDir = m_folder.path() + QStringLiteral("/danish");
        const std::unique_ptr<EpubData> book = lf::test::writeBook(bookDir,
            { { "a.xhtml", lf::test::xhtml(QStringLiteral("<p>Aase</p>")) },
                { "b.xhtml", lf::test::xhtml(QStringLiteral("<p>\u00c5se</p>")) } });
        QVERIFY(book);
        SearchTextIndex index(book.get(), bookDir);
        const QLocale before;
        QLocale::setDefault(QLocale(QLocale::Danish, QLocale::Denmark));
        const SearchTextIndex::Presence inWord = index.presence(0, lf::SearchText::Term(QStringLiteral("a")));
        const SearchTextIndex::Presence wholeWord = index.presence(0, lf::SearchText::Term(QStringLiteral("aase")));
        const SearchTextIndex::Presence merged = index.presence(1, lf::SearchText::Term(QStringLiteral("aase")));
        QLocale::setDefault(before);
        QCOMPARE(inWord, SearchTextIndex::Presence::AskTheEngine);
        QCOMPARE(wholeWord, SearchTextIndex::Presence::Present);
        QCOMPARE(merged, SearchTextIndex::Presence::AskTheEngine);
    }

    // Selectors are read loosely: whatever a rule could hide counts as hidden.
    void styleRulesThatMayHide_data()
    {
        QTest::addColumn<QString>("css");
        QTest::addColumn<QString>("element"); // tag#id.class.class
        QTest::addColumn<bool>("mayHide");
        QTest::newRow("class") << ".gone { display: none }"
                               << "span.gone.other" << true;
        QTest::newRow("other class") << ".gone { display: none }"
                                     << "span.kept" << false;
        QTest::newRow("ancestors ignored") << "div.box > p:first-child { visibility: hidden }"
                                           << "p" << true;
        QTest::newRow("other tag") << "nav[epub\\:type~='toc'] { display:none }"
                                   << "p" << false;
        QTest::newRow("one of a list") << "h1, #guide { display:none }"
                                       << "div#guide" << true;
        QTest::newRow("in a media block") << "@media print { p { color: red } } @media screen { p { display: none } }"
                                          << "p" << true;
        QTest::newRow("in a comment") << "/* p { display: none } */ p { color: red }"
                                      << "p" << false;
        QTest::newRow("generated content only") << "p::before, p:after { content: 'x'; display: none }"
                                                << "p" << false;
        QTest::newRow("first letter") << "p::first-letter { visibility: hidden }"
                                      << "p" << true;
        QTest::newRow("escaped class matches all") << ".a\\:b { display: none }"
                                                   << "p.c" << true;
        QTest::newRow("not understood matches all") << "p$x { display: none }"
                                                    << "div" << true;
        QTest::newRow("ellipsis") << "p { text-overflow: ellipsis }"
                                  << "p" << true;
        QTest::newRow("string with a brace") << "p { font-family: '}' } div { display: none }"
                                             << "div" << true;
        QTest::newRow("nested too deep") << QString("@media a { ").repeated(40) + "p { display: none }"
                                         << "div" << true;
        QTest::newRow("only colour") << "* { color: red }"
                                     << "p" << false;
    }

    void styleRulesThatMayHide()
    {
        QFETCH(QString, css);
        QFETCH(QString, element);
        QFETCH(bool, mayHide);
        HidingStyles styles;
        QVERIFY(styles.addStyleSheet(css).isEmpty());
        const QStringList classes = element.section(QLatin1Char('#'), 0, 0).split(QLatin1Char('.')).mid(1)
            + element.section(QLatin1Char('#'), 1).split(QLatin1Char('.')).mid(1);
        const QString tag = element.section(QRegularExpression(QStringLiteral("[#.]")), 0, 0);
        const QString id = element.section(QLatin1Char('#'), 1).section(QLatin1Char('.'), 0, 0);
        QCOMPARE(styles.mayHide(tag, id, classes.join(QLatin1Char(' '))), mayHide);
    }

    void styleSheetImports()
    {
        HidingStyles styles;
        QCOMPARE(
            styles.addStyleSheet(QStringLiteral("@charset \"UTF-8\"; @import url(\"a.css\"); @import 'b.css' screen;"
                                                " p { color: red }")),
            (QStringList { QStringLiteral("a.css"), QStringLiteral("b.css") }));
        QVERIFY(styles.isEmpty());
    }

    // The stored search text sits among the book's files, so the book may ship
    // one of any size: its size, header and each entry's binding to its
    // document are checked before the texts are read.
    void storedFileIsCheckedBeforeItsBody_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<qint64>("sparseSize"); // grown to this size with a hole, 0: as written
        QTest::addColumn<QList<int>>("pages");
        QTest::addColumn<qint64>("maxRead");
        const QByteArray header = lf::SearchTextFile::header();
        const QByteArray own = header + "0 c 5 3 5 1600000000123\npearsabc1 c 1 0 7 1600000000456\nx";
        const qint64 all = own.size();
        constexpr qint64 kMb = 1024 * 1024;
        QTest::newRow("the program's own") << own << qint64(0) << QList<int> { 0, 1 } << all;
        QTest::newRow("other rules") << QByteArray("lf-search-text 1 complete\npears\n") << qint64(0) << QList<int> {}
                                     << qint64(header.size());
        QTest::newRow("shipped, 400 MB, not bound") << header + "0 c 419430000 0 5 1600000000000\n"
                                                    << 400 * kMb << QList<int> {} << qint64(100);
        QTest::newRow("shipped, 400 MB, bound to a page the book lacks") << header + "7 c 419430000 0 5 1600000000123\n"
                                                                         << 400 * kMb << QList<int> {} << qint64(100);
        QTest::newRow("larger than any the program keeps")
            << own << lf::SearchTextFile::kMaxFileSize + 1 << QList<int> {} << qint64(0);
        QTest::newRow("bound entry longer than the file")
            << header + "0 c 99999 0 5 1600000000123\npears" << qint64(0) << QList<int> {} << qint64(100);
        QTest::newRow("line longer than any the program writes") << header + QByteArray(200, '0') + "\n"
                                                                 << qint64(0) << QList<int> {} << qint64(200);
        QTest::newRow("second entry not after the first")
            << header + "1 c 1 0 7 1600000000456\nx0 c 5 3 5 1600000000123\npearsabc" << qint64(0) << QList<int> { 1 }
            << qint64(100);
    }

    void storedFileIsCheckedBeforeItsBody()
    {
        QFETCH(QByteArray, content);
        QFETCH(qint64, sparseSize);
        QFETCH(QList<int>, pages);
        QFETCH(qint64, maxRead);
        QFile file(m_folder.path() + QStringLiteral("/texts-") + QString::number(m_books++));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
        if (sparseSize > 0)
            QVERIFY(file.resize(sparseSize));
        file.close();
        QVERIFY(file.open(QIODevice::ReadOnly));
        const auto stampOfPage = [](int page) {
            return page == 0 ? DocumentStamp { 5, 1600000000123 }
                : page == 1  ? DocumentStamp { 7, 1600000000456 }
                             : DocumentStamp();
        };
        const QVector<lf::SearchTextFile::Entry> entries = lf::SearchTextFile::read(&file, stampOfPage);
        QList<int> read;
        for (const lf::SearchTextFile::Entry& entry : entries)
            read.append(entry.page);
        QCOMPARE(read, pages);
        QVERIFY2(file.pos() <= maxRead, qPrintable(QString::number(file.pos())));
        if (pages.startsWith(0)) {
            QCOMPARE(entries.first().text.folded, QStringLiteral("pears"));
            QCOMPARE(entries.first().text.shown, QStringLiteral("abc"));
            QVERIFY(entries.first().text.complete);
        }
        file.close();
        QVERIFY(file.remove());
    }

    // Documents written in review to make the search text contradict the
    // engine, one row a case; whatever the engine answers, the search text
    // must not say otherwise.
    void agreesWithTheEngineOnReviewedCases_data()
    {
        QTest::addColumn<int>("index");
        m_reviewedCases = readReviewedCases(QFINDTESTDATA("data/searchcases.txt"));
        QVERIFY(m_reviewedCases.size() > 200);
        for (int i = 0; i < m_reviewedCases.size(); ++i)
            QTest::newRow(qPrintable(QString::number(i) + QLatin1Char(' ') + m_reviewedCases.at(i).name)) << i;
    }

    void agreesWithTheEngineOnReviewedCases()
    {
        QFETCH(int, index);
        const ReviewedCase& reviewed = m_reviewedCases.at(index);
        const QString bookDir = m_folder.path() + QStringLiteral("/reviewed-") + QString::number(index);
        const bool linksSheet = std::any_of(reviewed.files.begin(), reviewed.files.end(),
            [](const ReviewedCase::File& file) { return file.name == QLatin1String("s.css"); });
        QList<lf::test::WrittenDocument> spine;
        for (const ReviewedCase::File& file : reviewed.files) {
            QString text = unescaped(file.lines.join(QLatin1Char('\n')));
            if (file.options.contains(QLatin1String("@wrap"))) {
                text = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<html "
                                      "xmlns=\"http://www.w3.org/1999/xhtml\"><head><title>t</title>%1</head>"
                                      "<body>%2</body></html>")
                           .arg(linksSheet ? QStringLiteral("<link rel=\"stylesheet\" href=\"s.css\"/>") : QString(),
                               text);
            }
            if (spine.isEmpty()) {
                spine.append({ file.name, encoded(text, file.options) });
                continue;
            }
            const QString path = bookDir + QStringLiteral("/OPS/") + file.name;
            QVERIFY(QDir().mkpath(QFileInfo(path).path()));
            QFile other(path);
            const QByteArray bytes = encoded(text, file.options);
            QVERIFY(other.open(QIODevice::WriteOnly) && other.write(bytes) == bytes.size());
        }
        const std::unique_ptr<EpubData> book = lf::test::writeBook(bookDir, spine);
        QVERIFY(book);
        for (const QString& term : reviewed.terms) {
            const bool engineFinds = !lf::test::engineSearch(*book, bookDir, term).isEmpty();
            SearchTextIndex index(book.get(), bookDir);
            const SearchTextIndex::Presence presence = index.presence(0, lf::SearchText::Term(term));
            QVERIFY2(presence != (engineFinds ? SearchTextIndex::Presence::Absent : SearchTextIndex::Presence::Present),
                qPrintable(
                    QStringLiteral("term \"%1\": the engine %2").arg(term, engineFinds ? "finds it" : "does not")));
        }
    }

private:
    QTemporaryDir m_folder;
    int m_books = 0;
    QList<ReviewedCase> m_reviewedCases;
};

LF_TEST_MAIN(TestSearchText)
#include "tst_searchtext.moc"
