#include "ProgramStart.h"

#include "Version.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const char* const kHelpText =
    "Usage: vidbrisk [OPTION...] [--] [FILE...]\n"
    "Opens the Vidbrisk window, a converter of video and audio files, with the FILEs in\n"
    "its list, after the rows kept from the last time (a FILE listed already is not\n"
    "added twice).\n"
    "\n"
    "  -h, --help     show this text and end\n"
    "      --version  show the program's name and version and end\n"
    "  --             every argument after it is a FILE, even one that starts with '-'\n"
    "\n"
    "The window also takes the options of its toolkit, such as -platform NAME or\n"
    "-style NAME. It needs a display; vidbrisk-convert converts without one.\n";

bool Set(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

// Every picture of the program's icon in the hicolor folders of the theme search paths
// (<path>/hicolor/<size>/apps/vidbrisk.png).
QIcon IconFromThemeFolders(const QStringList& searchPaths) {
    QIcon icon;
    for (const QString& path : searchPaths) {
        const QDir theme(path + QStringLiteral("/hicolor"));
        for (const QString& size : theme.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            const QString file = theme.filePath(size + QStringLiteral("/apps/vidbrisk.png"));
            if (QFileInfo(file).isFile())
                icon.addFile(file);
        }
    }
    return icon;
}

} // namespace

int AnswerBeforeWindow(int argc, char** argv, std::ostream& out, std::ostream& err) {
    bool platformChosen = Set("QT_QPA_PLATFORM");
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            out << kHelpText;
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            out << "vidbrisk " VIDBRISK_VERSION "\n";
            return 0;
        }
        platformChosen = platformChosen || std::strcmp(argv[i], "-platform") == 0 ||
                         std::strcmp(argv[i], "--platform") == 0;
    }
    if (!platformChosen && !Set("DISPLAY") && !Set("WAYLAND_DISPLAY")) {
        err << "vidbrisk: no display to open the window on (neither DISPLAY nor "
               "WAYLAND_DISPLAY is set); vidbrisk-convert converts without one\n";
        return 1;
    }
    return -1;
}

namespace {

QtMessageHandler previousHandler = nullptr;

void ExitOnFatal(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type != QtFatalMsg) {
        if (previousHandler)
            previousHandler(type, context, text);
        return;
    }
    std::fprintf(stderr, "vidbrisk: the window cannot open: %s\n", qPrintable(text));
    std::fflush(stderr);
    std::_Exit(1);
}

} // namespace

FatalStartAsExit::FatalStartAsExit() : m_previous(qInstallMessageHandler(ExitOnFatal)) {
    previousHandler = m_previous;
}

FatalStartAsExit::~FatalStartAsExit() {
    qInstallMessageHandler(m_previous);
    previousHandler = nullptr;
}

bool FileArguments(const QStringList& arguments, QStringList& files, std::ostream& err) {
    bool optionsEnded = false;
    for (const QString& argument : arguments) {
        if (!optionsEnded && argument == QStringLiteral("--")) {
            optionsEnded = true;
        } else if (!optionsEnded && argument.startsWith(QLatin1Char('-'))) {
            err << "vidbrisk: unknown option '" << argument.toStdString()
                << "'\nTry 'vidbrisk --help'.\n";
            return false;
        } else {
            // The list shows full paths, whatever folder the program was started from.
            files << QFileInfo(argument).absoluteFilePath();
        }
    }
    return true;
}

void SetApplicationIcon() {
    QGuiApplication::setDesktopFileName(QStringLiteral("vidbrisk"));
    const QString beside =
        QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/../share/icons"));
    QStringList paths = QIcon::themeSearchPaths();
    if (!paths.contains(beside))
        QIcon::setThemeSearchPaths(paths << beside);
    if (QIcon::themeName().isEmpty())
        QIcon::setThemeName(QStringLiteral("hicolor"));
    QIcon icon = QIcon::fromTheme(QStringLiteral("vidbrisk"));
    // Without the theme's index (a system without hicolor-icon-theme) the theme finds
    // nothing: the pictures are then taken from its folders directly.
    if (icon.isNull() || icon.availableSizes().isEmpty())
        icon = IconFromThemeFolders(QIcon::themeSearchPaths());
    QGuiApplication::setWindowIcon(icon);
}
