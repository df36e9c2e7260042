// The texts the page pass takes: how many of them a reader that ends without
// saving has left in the book's file, and that a save keeps every one.
#include "panelbooks.h"
#include "reader/pagemodel.h"
#include "reader/pagetexts.h"
#include "testsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <memory>

namespace {
constexpr int kPages = 1400;
} // namespace

class TestPageTexts : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // Every page shows the same document: the texts tell the pages apart.
        m_book = lf::test::writeBook(m_bookDir, { { "page.xhtml", lf::test::xhtml("page") } });
        QVERIFY(m_book);
        for (int page = 1; page < kPages; ++page) {
            const ManifestEntry entry { QStringLiteral("p%1").arg(page), QStringLiteral("page.xhtml") };
            m_book->manifest.application.append(entry);
            m_book->spine.append(entry.id);
        }
        m_pages = PageModel(m_book.get(), m_bookDir);
    }

    void init() { QVERIFY(QDir(m_bookDir + QStringLiteral("/OPS/searchtext")).removeRecursively()); }

    void textsReachTheFile_data()
    {
        QTest::addColumn<int>("stored"); // in the file when the pass starts
        QTest::addColumn<int>("taken"); // by the pass, one after another
        QTest::addColumn<int>("inFileBeforeSave");
        QTest::newRow("a few wait for the save") << 0 << 10 << 0;
        QTest::newRow("a long run writes every 500") << 0 << 1200 << 1000;
        QTest::newRow("a large file waits for as many new texts") << 700 << 699 << 700;
        QTest::newRow("then it is written once") << 700 << 700 << 1400;
    }

    void textsReachTheFile()
    {
        QFETCH(int, stored);
        QFETCH(int, taken);
        QFETCH(int, inFileBeforeSave);
        take(0, stored).save();
        PageTexts texts = take(stored, taken);
        QCOMPARE(textsInFile(), inFileBeforeSave);
        texts.save();
        QCOMPARE(textsInFile(), stored + taken);
    }

private:
    PageTexts take(int first, int count) const
    {
        PageTexts texts(m_pages);
        for (int page = first; page < first + count; ++page)
            texts.keep(page, { QByteArray::number(page), false });
        return texts;
    }

    // The texts a new reader finds, each of them the one taken from its page.
    int textsInFile() const
    {
        PageTexts texts(m_pages);
        int found = 0;
        for (int page = 0; page < kPages; ++page) {
            const PageTexts::Text* text = texts.textOf(page);
            if (!text)
                continue;
            if (text->utf8 != QByteArray::number(page))
                return -1;
            ++found;
        }
        return found;
    }

    QTemporaryDir m_folder;
    const QString m_bookDir = m_folder.path() + QStringLiteral("/book");
    std::unique_ptr<EpubData> m_book;
    PageModel m_pages;
};

LF_TEST_CORE_MAIN(TestPageTexts)
#include "tst_pagetexts.moc"
