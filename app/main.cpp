// The window program's entry: the application, the main window and its message loop. The
// list kept by the last run comes back; files named on the command line (as the desktop
// passes them) are added after it once the window shows.
#include "TMoviePlayer.h"
#include "Unit1.h"

#include <QApplication>
#include <QFileInfo>
#include <QTimer>

int main(int argc, char* argv[]) {
    // Must come before the application object: it picks the media back end.
    TMoviePlayer::preferMediaBackend();
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vidbrisk"));
    QApplication::setApplicationDisplayName(QStringLiteral("Vidbrisk"));

    // The list is kept across runs of the program.
    TForm1Services services;
    services.queueFile = QueueFile::defaultPath();
    TForm1 form(std::move(services));
    if (!form.FormCreate())
        return 1;
    form.show();
    // The list shows full paths, whatever folder the program was started from.
    QStringList files;
    for (const QString& argument : QApplication::arguments().mid(1))
        files << QFileInfo(argument).absoluteFilePath();
    if (!files.isEmpty())
        QTimer::singleShot(0, &form, [&form, files] { form.AddFiles(files); });
    return QApplication::exec();
}
