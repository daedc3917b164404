// The window program's entry: the application, the main window and its message loop. The
// list kept by the last run comes back; files named on the command line (as the desktop
// passes them) are added after it once the window shows; --help and --version are answered
// without a window.
#include "ProgramStart.h"
#include "TMoviePlayer.h"
#include "Unit1.h"

#include <QApplication>
#include <QTimer>

#include <iostream>
#include <optional>

int main(int argc, char* argv[]) {
    if (const int status = AnswerBeforeWindow(argc, argv, std::cout, std::cerr); status >= 0)
        return status;
    // Must come before the application object: it picks the media back end.
    TMoviePlayer::preferMediaBackend();
    std::optional<FatalStartAsExit> fatalAsExit(std::in_place);
    QApplication application(argc, argv);
    fatalAsExit.reset();
    QApplication::setApplicationName(QStringLiteral("Vidbrisk"));
    QApplication::setApplicationDisplayName(QStringLiteral("Vidbrisk"));
    SetApplicationIcon();
    QStringList files;
    if (!FileArguments(QApplication::arguments().mid(1), files, std::cerr))
        return 2;

    // The list is kept across runs of the program.
    TForm1Services services;
    services.queueFile = QueueFile::defaultPath();
    TForm1 form(std::move(services));
    if (!form.FormCreate())
        return 1;
    form.show();
    if (!files.isEmpty())
        QTimer::singleShot(0, &form, [&form, files] { form.AddFiles(files); });
    return QApplication::exec();
}
