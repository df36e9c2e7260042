// Runs the update overlay as the program does, against the version file
// named on the command line, and accepts the offer once it is shown; with a
// second argument "close" it then presses the close button at once. Only a
// completed download ends this process with 0; anything else times out with 3.
#include "update/updatemessageform.h"

#include <QApplication>
#include <QPushButton>
#include <QTimer>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    if (argc < 2)
        return 2;

    const bool closeWhileDownloading = argc > 2 && std::strcmp(argv[2], "close") == 0;
    UpdateMessageForm form(nullptr, QUrl(QString::fromLocal8Bit(argv[1])));
    QTimer acceptOffer;
    QObject::connect(&acceptOffer, &QTimer::timeout, &form, [&] {
        if (!form.isVisible())
            return;
        acceptOffer.stop();
        form.findChild<QPushButton*>(QStringLiteral("ok_button"))->click();
        if (!closeWhileDownloading)
            return;
        form.findChild<QPushButton*>(QStringLiteral("close_button"))->animateClick(0);
        if (!form.isVisible())
            std::puts("overlay hidden during the download");
        std::fflush(stdout);
    });
    acceptOffer.start(20);
    QTimer::singleShot(30000, &app, [] { QCoreApplication::exit(3); });
    return app.exec();
}
