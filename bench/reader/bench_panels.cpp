// The highlight panel filled with 10,000 highlights over 3,000 pages, as the
// reader fills it when the panel is first shown.
//
//   QT_QPA_PLATFORM=offscreen build/bench/bin/bench_panels
#include "epub/epubdata.h"
#include "reader/panels/viewerhighlightlistform.h"
#include "resources/lumenfolioresources.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QJsonObject>
#include <QTextStream>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    lf::initResources();
    EpubData book;
    for (int i = 0; i < 3000; ++i)
        book.spine << QStringLiteral("c%1").arg(i);
    QJsonObject index;
    for (int i = 0; i < 10000; ++i) {
        const QString key = QString::number(i % 3000);
        QJsonObject page = index.value(key).toObject();
        page.insert(QStringLiteral("highlighted%1").arg(1700000000000LL + i),
            QJsonObject { { "color", "Yellow" }, { "text", QStringLiteral("lorem ipsum %1").arg(i) } });
        index.insert(key, page);
    }

    QWidget window;
    window.resize(800, 600);
    window.show();
    ViewerHighlightListForm panel(&window);
    panel.show();
    QElapsedTimer timer;
    timer.start();
    panel.setHighlights(&index, &book);
    QCoreApplication::processEvents();
    QTextStream(stdout)
        << QStringLiteral("highlight panel: 10,000 rows listed in %1 ms\n").arg(timer.nsecsElapsed() / 1e6, 0, 'f', 1);
    return 0;
}
