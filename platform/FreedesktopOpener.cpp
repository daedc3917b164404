// Showing folders and files through the file manager's D-Bus interface and xdg-open.
#include "FreedesktopOpener.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

namespace {

constexpr const char* kFileManagerService = "org.freedesktop.FileManager1";
constexpr const char* kFileManagerPath = "/org/freedesktop/FileManager1";
constexpr const char* kOpenerProgram = "xdg-open";

} // namespace

QString FreedesktopOpener::folderNotOpenedText(const QString& folder, const QString& why) {
    return QStringLiteral("The folder \"%1\" could not be opened: %2").arg(folder, why);
}

QString FreedesktopOpener::fileNotShownText(const QString& file, const QString& why) {
    return QStringLiteral("The file \"%1\" could not be shown in its folder: %2").arg(file, why);
}

void FreedesktopOpener::openFolder(const QString& folder, Failed failed) {
    runOpener(folder, [folder, failed](const QString& openerProblem) {
        if (openerProblem.isEmpty())
            return;
        callFileManager(QStringLiteral("ShowFolders"), {folder},
                        [folder, failed, openerProblem](const QString& managerProblem) {
                            if (!managerProblem.isEmpty())
                                failed(folderNotOpenedText(
                                    folder, openerProblem + QStringLiteral("; ") + managerProblem));
                        });
    });
}

void FreedesktopOpener::showFile(const QString& file, Failed failed) {
    callFileManager(
        QStringLiteral("ShowItems"), {file}, [file, failed](const QString& managerProblem) {
            if (managerProblem.isEmpty())
                return;
            const QString folder = QFileInfo(file).absolutePath();
            runOpener(folder, [file, failed, managerProblem](const QString& openerProblem) {
                if (!openerProblem.isEmpty())
                    failed(fileNotShownText(file,
                                            managerProblem + QStringLiteral("; ") + openerProblem));
            });
        });
}

void FreedesktopOpener::runOpener(const QString& target,
                                  std::function<void(const QString& problem)> done) {
    // Without a parent: closing the window must not end a file manager the opener started
    // in its own process. It deletes itself when the opener has finished.
    auto* process = new QProcess;
    QObject::connect(process, &QProcess::finished, process,
                     [process, done](int exitCode, QProcess::ExitStatus status) {
                         process->deleteLater();
                         if (status != QProcess::NormalExit)
                             done(QStringLiteral("xdg-open ended abnormally"));
                         else if (exitCode != 0)
                             done(QStringLiteral("xdg-open found no program to open it "
                                                 "(exit status %1)")
                                      .arg(exitCode));
                         else
                             done(QString());
                     });
    QObject::connect(process, &QProcess::errorOccurred, process,
                     [process, done](QProcess::ProcessError error) {
                         if (error != QProcess::FailedToStart)
                             return;
                         process->deleteLater();
                         done(QStringLiteral("xdg-open is not installed"));
                     });
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->start(QString::fromLatin1(kOpenerProgram), {target});
}

void FreedesktopOpener::callFileManager(const QString& method, const QStringList& paths,
                                        std::function<void(const QString& problem)> done) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        done(QStringLiteral("there is no session bus for a file manager"));
        return;
    }
    QStringList uris;
    for (const QString& path : paths)
        uris << QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString();
    QDBusMessage call = QDBusMessage::createMethodCall(
        QString::fromLatin1(kFileManagerService), QString::fromLatin1(kFileManagerPath),
        QString::fromLatin1(kFileManagerService), method);
    // The second argument is the start-up notification id, which we do not have.
    call << uris << QString();
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, kCallTimeoutMs));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [done](QDBusPendingCallWatcher* finished) {
                         finished->deleteLater();
                         const QDBusPendingReply<> reply = *finished;
                         if (reply.isError())
                             done(QStringLiteral("no file manager answered on the session bus (%1)")
                                      .arg(reply.error().name()));
                         else
                             done(QString());
                     });
}
