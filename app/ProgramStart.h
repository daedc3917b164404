// What the window program does with its command line before and after the application object
// exists, and the icon it shows itself with.
#pragma once

#include <QStringList>
#include <QtGlobal>

#include <ostream>

// Answers --help and --version (before "--"), which need no display, and refuses to start
// when there is no display to open the window on (instead of the toolkit aborting). Returns
// the exit status when the program should end now, or -1 to go on.
int AnswerBeforeWindow(int argc, char** argv, std::ostream& out, std::ostream& err);

// While it lives, a fatal message of the toolkit (a display that is set but cannot be reached,
// no usable platform plug-in) ends the program with that message and exit status 1 instead
// of an abort and a core dump. Made around the application object's construction only.
class FatalStartAsExit {
public:
    FatalStartAsExit();
    ~FatalStartAsExit();
    FatalStartAsExit(const FatalStartAsExit&) = delete;
    FatalStartAsExit& operator=(const FatalStartAsExit&) = delete;

private:
    QtMessageHandler m_previous;
};

// The files among the application's arguments (the toolkit's own options already taken
// out), as absolute paths. An argument before "--" that starts with '-' is refused: false
// after printing the usage error.
bool FileArguments(const QStringList& arguments, QStringList& files, std::ostream& err);

// The window's icon from the installed icon theme ("vidbrisk", also looked up beside the
// program as <program folder>/../share/icons), and the desktop file's name, so that task
// bars show the program's own icon.
void SetApplicationIcon();
