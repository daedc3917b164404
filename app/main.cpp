// The window program's entry: the application, the main window and its message loop.
#include "TMoviePlayer.h"
#include "Unit1.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    // Must come before the application object: it picks the media back end.
    TMoviePlayer::preferMediaBackend();
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vidbrisk"));
    QApplication::setApplicationDisplayName(QStringLiteral("Vidbrisk"));

    TForm1 form;
    if (!form.FormCreate())
        return 1;
    form.show();
    return QApplication::exec();
}
