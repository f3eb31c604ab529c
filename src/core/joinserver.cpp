#include "core/joinserver.h"

#include "core/dialogs.h"
#include "core/joinstats.h"
#include "core/launcher.h"
#include "core/settings.h"
#include "model/genericserver.h"
#include "model/replybuffer.h"

QString CommandLineArgument(const QString& text)
{
    bool plain = !text.isEmpty();
    for (const QChar c : text) {
        if (c.isSpace() || c == QLatin1Char('"')) {
            plain = false;
            break;
        }
    }
    if (plain) {
        return text;
    }
    // Inside quotes, three quotes stand for one.
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

bool IsPlainGameFolder(QByteArrayView name)
{
    if (name.isEmpty() || name.front() == '-') {
        return false;
    }
    bool onlyDots = true;
    for (const char c : name) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '_' || c == '-' || c == '.';
        if (!plain) {
            return false;
        }
        onlyDots = onlyDots && c == '.';
    }
    return !onlyDots;
}

TJoinCommand JoinParameters(const TGenericServer& server, const QString& password)
{
    const QString address = CommandLineArgument(server.Info.Host + QLatin1Char(':') +
                                                QString::number(server.Info.Port));
    const QString connect = QStringLiteral("+connect ") + address;
    switch (server.GameType) {
    case gtSoF:
    case gtSin:
    case gtHeretic2:
    case gtQuake3:
    case gtQuakeWorld:
    case gtQuake2:
    case gtKingpin:
        return {connect, {}};
    case gtTribes:
        if (password.isEmpty()) {
            return {connect, {}};
        }
        return {connect + QStringLiteral(" +password ") + CommandLineArgument(password), {}};
    case gtTribes2:
        return {QStringLiteral("-connect IP: ") + address, {}};
    case gtHalfLife:
        // The folder comes from the server: anything but a plain name could
        // put options of the server's choosing on the player's game.
        if (!IsPlainGameFolder(server.GameName)) {
            return {{},
                    QStringLiteral("Unable to start game, the server's game folder name (") +
                        QString::fromLatin1(KeepPrintable(server.GameName)) +
                        QStringLiteral(") is not a plain folder name.")};
        }
        return {QStringLiteral("-game -console ") + QString::fromLatin1(server.GameName) +
                    QLatin1Char(' ') + connect,
                {}};
    case gtUnknown:
        break;
    }
    return {{}, QStringLiteral("Unable to start game, not supported by Morvix.")};
}

TServerJoin::TServerJoin(const TSettings& settings, TDialogs& dialogs, TLauncher& launcher,
                         TJoinStats* stats)
    : Settings_(settings), Dialogs_(dialogs), Launcher_(launcher), Stats_(stats)
{}

bool TServerJoin::JoinWithPrompt(const TGenericServer& server)
{
    // The dialogs run the event loop, where the row may go: work on a copy.
    const TGenericServer record = server;
    QString password;
    if (record.GetRule("password") == "1") {
        password = Dialogs_
                       .InputText(QStringLiteral("Password?"),
                                  QStringLiteral("Server is password protected. Please enter "
                                                 "password"))
                       .value_or(QString());
    }
    return JoinServer(record, password);
}

bool TServerJoin::JoinServer(const TGenericServer& server, const QString& password)
{
    const TGenericServer record = server;
    if (Settings_->LaunchConfirmation &&
        !Dialogs_.Question(QStringLiteral("Launch confirmation"),
                           QStringLiteral("Morvix is about to launch ") +
                               GameTypeName(record.GameType) +
                               QStringLiteral(". Do you wish to continue?"))) {
        return false;
    }
    if (Settings_->OJCopyIP && Hooks.CopyToClipboard) {
        Hooks.CopyToClipboard(record.Info.Host + QLatin1Char(':') +
                              QString::number(record.Info.Port));
    }
    const TJoinCommand command = JoinParameters(record, password);
    if (!command.Error.isEmpty()) {
        Status(command.Error);
        return false;
    }
    const QString path =
        record.GameType < gtUnknown ? Settings_->GamePaths[record.GameType] : QString();
    if (!Launcher_.LaunchProgram(path, command.Parameters)) {
        return false;
    }
    if (Settings_->AllowStats && Stats_) {
        Stats_->Report(Settings_->StatsUsername, record);
    }
    if (Settings_->OJSaveList && Hooks.SaveServerList) {
        Hooks.SaveServerList();
    }
    switch (Settings_->OnJoin) {
    case jaClose:
        if (Hooks.CloseProgram) {
            Hooks.CloseProgram();
        }
        break;
    case jaTray:
        if (Hooks.ShowInTray) {
            Hooks.ShowInTray(true);
        }
        break;
    case jaNoop:
        break;
    }
    return true;
}

void TServerJoin::Status(const QString& text) const
{
    if (Hooks.ShowStatus) {
        Hooks.ShowStatus(text);
    }
}
