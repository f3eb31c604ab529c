// morvix-demo-setup: turns what morvix-sim bound into a fresh settings store
// whose masters key points every master game at the simulator's masters, and
// optionally into a server list file holding the servers no master lists.
// The demo runs it with a temporary configuration folder, so it writes the
// store Morvix itself reads there, through the store's own code.
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cstdio>

#include "core/masterlist.h"
#include "core/serverlistfile.h"
#include "core/settingsstore.h"

namespace {

constexpr char kUsage[] =
    "Usage: morvix-demo-setup [--list FILE] BOUND.json\n"
    "Reads the JSON document morvix-sim printed (\"-\" for standard input) and writes\n"
    "a new settings store in the configuration folder ($XDG_CONFIG_HOME/morvix) whose\n"
    "masters key lists the simulator's masters. With --list it also writes a new\n"
    "server list file with the simulated servers of the games that have no master.\n"
    "Neither file may exist yet: a user's own settings and list are never touched.\n";

struct TDemoFiles
{
    QList<TMasterGame> Masters;       // one game per simulated master
    QList<TServerListLine> ListLines; // servers of the games without a master
};

// One "game", "host" and "port" entry of the document.
bool ReadEntry(const QJsonValue& value, const TGameInfo*& game, QString& host, int& port)
{
    const QJsonObject entry = value.toObject();
    game = GameInfoByName(entry.value(u"game").toString());
    host = entry.value(u"host").toString();
    port = entry.value(u"port").toInt(0);
    return game && !host.isEmpty() && port >= 1 && port <= 65535;
}

bool ReadBoundDocument(const QByteArray& bytes, TDemoFiles& files, QString& error)
{
    QJsonParseError parse{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parse);
    if (parse.error != QJsonParseError::NoError || !document.isObject()) {
        error = QStringLiteral("not a JSON document of morvix-sim (%1 at byte %2)")
                    .arg(parse.errorString())
                    .arg(parse.offset);
        return false;
    }
    const QJsonArray masters = document.object().value(u"masters").toArray();
    if (masters.isEmpty()) {
        error = QStringLiteral("the document lists no masters");
        return false;
    }
    QList<TMasterProtocol> listed;
    for (const QJsonValue& value : masters) {
        const TGameInfo* game = nullptr;
        QString host;
        int port = 0;
        if (!ReadEntry(value, game, host, port) || game->Master == TMasterProtocol::None) {
            error = QStringLiteral("a master entry without a master game, host or port: %1")
                        .arg(QString::fromUtf8(
                            QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact)));
            return false;
        }
        const TMasterKind kind = value.toObject().value(u"form").toString() == u"steam"
                                     ? TMasterKind::Steam
                                     : TMasterKind::Documented;
        // A game with masters of both kinds gets one menu with both.
        const QString name = GameTypeName(game->Type);
        const auto group =
            std::find_if(files.Masters.begin(), files.Masters.end(),
                         [&](const TMasterGame& known) { return known.Name == name; });
        if (group != files.Masters.end()) {
            // The store names a game's masters by host, so the second one on
            // this machine goes by its other name.
            const bool sameHost =
                std::any_of(group->Masters.cbegin(), group->Masters.cend(),
                            [&](const TMasterEntry& known) { return known.Host == host; });
            if (sameHost && host != u"127.0.0.1") {
                error = QStringLiteral("two masters of %1 on the host %2").arg(name, host);
                return false;
            }
            group->Masters.append({sameHost ? QStringLiteral("localhost") : host, port, kind});
        } else {
            files.Masters.append({name, {{host, port, kind}}});
        }
        listed.append(game->Master);
    }
    for (const QJsonValue& value : document.object().value(u"servers").toArray()) {
        const TGameInfo* game = nullptr;
        QString host;
        int port = 0;
        if (!ReadEntry(value, game, host, port)) {
            error = QStringLiteral("a server entry without a game, host or port: %1")
                        .arg(QString::fromUtf8(
                            QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact)));
            return false;
        }
        if (game->Master != TMasterProtocol::None && listed.contains(game->Master)) {
            continue; // imported from its master
        }
        // What a row added by hand shows until it is queried.
        files.ListLines.append({game->Type,
                                (host + u':' + QString::number(port)).toLatin1(),
                                "Unknown",
                                "-",
                                "-",
                                "-",
                                {},
                                false});
    }
    return true;
}

bool Refuse(const QString& what, const QString& path)
{
    if (!QFileInfo::exists(path)) {
        return false;
    }
    std::fprintf(stderr, "morvix-demo-setup: %s %s exists already; nothing was written\n",
                 qPrintable(what), qPrintable(path));
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments().mid(1);
    QString listPath;
    QString documentPath;
    QString usageError;
    for (qsizetype i = 0; i < arguments.size() && usageError.isEmpty(); ++i) {
        const QString& argument = arguments[i];
        if (argument == u"--help") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (argument == u"--list") {
            if (i + 1 < arguments.size()) {
                listPath = arguments[++i];
            } else {
                usageError = QStringLiteral("--list needs a file name");
            }
        } else if (argument.startsWith(u"--")) {
            usageError = QStringLiteral("unknown option '%1'").arg(argument);
        } else if (documentPath.isEmpty()) {
            documentPath = argument;
        } else {
            usageError = QStringLiteral("unexpected argument '%1'").arg(argument);
        }
    }
    if (usageError.isEmpty() && documentPath.isEmpty()) {
        usageError = QStringLiteral("the document of morvix-sim is missing");
    }
    if (!usageError.isEmpty()) {
        std::fprintf(stderr, "morvix-demo-setup: %s\n%s", qPrintable(usageError), kUsage);
        return 2;
    }

    QFile input;
    if (documentPath != u"-") {
        input.setFileName(documentPath);
    }
    if (!(documentPath == u"-" ? input.open(stdin, QIODevice::ReadOnly)
                               : input.open(QIODevice::ReadOnly))) {
        std::fprintf(stderr, "morvix-demo-setup: cannot read %s: %s\n", qPrintable(documentPath),
                     qPrintable(input.errorString()));
        return 1;
    }
    TDemoFiles files;
    QString error;
    if (!ReadBoundDocument(input.readAll(), files, error)) {
        std::fprintf(stderr, "morvix-demo-setup: %s: %s\n", qPrintable(documentPath),
                     qPrintable(error));
        return 1;
    }

    const QString storePath = TFileSettingsStore::DefaultPath();
    if (Refuse(QStringLiteral("the settings store"), storePath) ||
        (!listPath.isEmpty() && Refuse(QStringLiteral("the server list file"), listPath))) {
        return 1;
    }

    if (!listPath.isEmpty()) {
        TServerListFile list(listPath);
        if (!list.Write(files.ListLines)) {
            std::fprintf(stderr, "morvix-demo-setup: %s\n", qPrintable(list.ErrorString()));
            return 1;
        }
        std::printf("Server list %s: %lld servers of the games without a master\n",
                    qPrintable(list.Path()), static_cast<long long>(files.ListLines.size()));
    }

    TFileSettingsStore store(storePath);
    WriteMasterList(store, files.Masters);
    if (!store.Save()) {
        std::fprintf(stderr, "morvix-demo-setup: %s\n", qPrintable(store.ErrorString()));
        if (!listPath.isEmpty()) {
            QFile::remove(listPath); // no half-made demo is left behind
        }
        return 1;
    }
    std::printf("Settings store %s, masters:\n", qPrintable(store.Path()));
    for (const TMasterGame& game : files.Masters) {
        for (const TMasterEntry& master : game.Masters) {
            std::printf("  Serverlist > Import > %s > %s\n", qPrintable(game.Name),
                        qPrintable(MasterCaption(master)));
        }
    }
    return 0;
}
