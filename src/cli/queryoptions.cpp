#include "cli/queryoptions.h"

#include <QIODevice>

#include "model/networktext.h"

namespace {

bool ParseNumber(const QString& text, int low, int high, int& value)
{
    bool ok = false;
    const int number = text.toInt(&ok);
    if (!ok || number < low || number > high) {
        return false;
    }
    value = number;
    return true;
}

QString KnownGames()
{
    QStringList names;
    for (const TGameInfo& game : GameCatalogue()) {
        names << QLatin1String(game.ShortName);
    }
    return names.join(u", ");
}

QString UnknownGame(const QString& name)
{
    return QStringLiteral("unknown game '%1' (known: %2, or a game's full name such as "
                          "\"Quake 3\")")
        .arg(name, KnownGames());
}

} // namespace

QString QueryUsage()
{
    return QStringLiteral(
               "Usage: morvix-query [options] GAME ADDRESS[:PORT]...\n"
               "       morvix-query [options] --master GAME HOST[:PORT] [--query]\n"
               "Queries game servers with Morvix's own protocols and prints one line per server.\n"
               "\n"
               "GAME is a short name (%1) or a game's\n"
               "full name (\"Quake 3\", \"Half-Life\"); a port left out is the game's usual one.\n"
               "\n"
               "  --master GAME HOST[:PORT]  list the servers of a master (hl, q3, tribes, t2;\n"
               "                             port %2 when left out)\n"
               "  --query                    with --master: query every listed server\n"
               "  --master-kind KIND         with --master hl: documented (the \"c\" request)\n"
               "                             (the default) or steam (the paged batch request)\n"
               "  --q3-protocols LIST        with --master q3: the protocol versions asked,\n"
               "                             comma-separated (default 48,68,71)\n"
               "  --file FILE                read addresses from FILE (\"-\": standard input), "
               "one\n"
               "                             per line: ADDRESS[:PORT] or GAME ADDRESS[:PORT];\n"
               "                             without addresses or --file, a standard input that\n"
               "                             is not a terminal is read\n"
               "  --timeout MS               time-out of each query in ms (default 1500)\n"
               "  --retries N                queries sent again after a time-out (default 2)\n"
               "  --max-queries N            queries in flight per query component (default 15,\n"
               "                             0 = no limit); a query's slot is free again as\n"
               "                             soon as its answer arrives or its time-out ends\n"
               "                             it, so a run takes as long as the servers do (the\n"
               "                             browser frees slots at its 100 ms scan)\n"
               "  --players                  list the players (and teams) under each server\n"
               "  --rules                    list the rules under each server\n"
               "  --json                     one JSON object per server and line: players as\n"
               "                             {\"name\",\"frags\",\"ping\",...}, rules as\n"
               "                             {\"name\",\"value\"}, every decoded field of the\n"
               "                             game's records under \"records\"\n"
               "  --help                     show this text\n"
               "\n"
               "Replies the system dropped because they came faster than they were read are\n"
               "counted and reported once at the end.\n"
               "\n"
               "Exit status: 0 when every server answered, 1 when some did not, 2 for a usage\n"
               "error.\n")
        .arg(KnownGames())
        .arg(DefaultMasterPort);
}

bool ParseAddress(const QString& text, int defaultPort, QString& host, int& port)
{
    const QString trimmed = text.trimmed();
    const qsizetype colon = trimmed.lastIndexOf(u':');
    host = colon < 0 ? trimmed : trimmed.left(colon);
    port = defaultPort;
    if (host.isEmpty() || host.contains(u' ')) {
        return false;
    }
    host = AsciiHost(host);
    return colon < 0 || ParseNumber(trimmed.mid(colon + 1), 1, 65535, port);
}

bool ParseQueryArguments(const QStringList& arguments, TQueryOptions& options, QString& error)
{
    QStringList positional;
    const auto value = [&](qsizetype& i, const QString& option, QString& out) {
        if (i + 1 >= arguments.size()) {
            error = QStringLiteral("%1 needs a value").arg(option);
            return false;
        }
        out = arguments[++i];
        return true;
    };
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        QString text;
        if (argument == u"--") {
            positional += arguments.mid(i + 1);
            break;
        }
        if (!argument.startsWith(u"--") || argument.size() == 2) {
            positional << argument;
        } else if (argument == u"--help") {
            options.Help = true;
            return true;
        } else if (argument == u"--players") {
            options.Players = true;
        } else if (argument == u"--rules") {
            options.Rules = true;
        } else if (argument == u"--json") {
            options.Json = true;
        } else if (argument == u"--query") {
            options.QueryListed = true;
        } else if (argument == u"--timeout") {
            if (!value(i, argument, text)) {
                return false;
            }
            if (!ParseNumber(text, 1, 600000, options.TimeoutMs)) {
                error = QStringLiteral("--timeout takes milliseconds from 1 to 600000, not '%1'")
                            .arg(text);
                return false;
            }
        } else if (argument == u"--retries") {
            if (!value(i, argument, text)) {
                return false;
            }
            if (!ParseNumber(text, 0, 100, options.Retries)) {
                error =
                    QStringLiteral("--retries takes a number from 0 to 100, not '%1'").arg(text);
                return false;
            }
        } else if (argument == u"--max-queries") {
            if (!value(i, argument, text)) {
                return false;
            }
            if (!ParseNumber(text, 0, 1000000, options.MaxQueries)) {
                error = QStringLiteral("--max-queries takes a number (0 = no limit), not '%1'")
                            .arg(text);
                return false;
            }
        } else if (argument == u"--file") {
            if (!value(i, argument, options.File)) {
                return false;
            }
        } else if (argument == u"--master-kind") {
            if (!value(i, argument, text)) {
                return false;
            }
            if (text != u"steam" && text != u"documented") {
                error =
                    QStringLiteral("--master-kind takes documented or steam, not '%1'").arg(text);
                return false;
            }
            options.SteamMaster = text == u"steam";
        } else if (argument == u"--q3-protocols") {
            if (!value(i, argument, text)) {
                return false;
            }
            QList<int> protocols;
            for (const QString& part : text.split(u',')) {
                bool ok = false;
                const int protocol = part.trimmed().toInt(&ok);
                if (!ok || protocol < 1) {
                    protocols.clear();
                    break;
                }
                if (!protocols.contains(protocol)) {
                    protocols.append(protocol);
                }
            }
            if (protocols.isEmpty()) {
                error = QStringLiteral("--q3-protocols takes protocol numbers joined by ',', "
                                       "not '%1'")
                            .arg(text);
                return false;
            }
            options.Q3Protocols = protocols;
        } else if (argument == u"--master") {
            QString game;
            if (!value(i, argument, game) || !value(i, argument, text)) {
                error = QStringLiteral("--master needs a game and an address: --master GAME "
                                       "HOST[:PORT]");
                return false;
            }
            options.MasterGame = GameInfoByName(game);
            if (!options.MasterGame) {
                error = UnknownGame(game);
                return false;
            }
            if (options.MasterGame->Master == TMasterProtocol::None) {
                error = QStringLiteral("%1 has no master server protocol (masters: hl, q3, "
                                       "tribes, t2)")
                            .arg(QLatin1String(options.MasterGame->DisplayName));
                return false;
            }
            if (!ParseAddress(text, DefaultMasterPort, options.MasterHost, options.MasterPort)) {
                error = QStringLiteral("bad master address '%1' (HOST or HOST:PORT, port 1 to "
                                       "65535)")
                            .arg(text);
                return false;
            }
        } else {
            error = QStringLiteral("unknown option '%1'").arg(argument);
            return false;
        }
    }

    if (options.QueryListed && !options.MasterGame) {
        error = QStringLiteral("--query is used with --master");
        return false;
    }
    if (options.MasterGame) {
        if (!positional.isEmpty() || !options.File.isEmpty()) {
            error = QStringLiteral("--master takes no other addresses");
            return false;
        }
        return true;
    }
    if (!positional.isEmpty()) {
        options.DefaultGame = GameInfoByName(positional.first());
        if (!options.DefaultGame) {
            error = UnknownGame(positional.first());
            return false;
        }
        positional.removeFirst();
    }
    for (const QString& address : positional) {
        TQueryTarget target{options.DefaultGame, {}, 0};
        if (!ParseAddress(address, options.DefaultGame->DefaultPort, target.Host, target.Port)) {
            error = QStringLiteral("bad address '%1' (HOST or HOST:PORT, port 1 to 65535)")
                        .arg(address);
            return false;
        }
        options.Targets << target;
    }
    return true;
}

bool ReadTargets(QIODevice& input, const QString& source, const TGameInfo* defaultGame,
                 QList<TQueryTarget>& targets, QString& error)
{
    int lineNumber = 0;
    while (!input.atEnd()) {
        const QString line = QString::fromLocal8Bit(input.readLine()).trimmed();
        ++lineNumber;
        if (line.isEmpty() || line.startsWith(u'#')) {
            continue;
        }
        // The address is the last word; what comes before it names the game.
        const qsizetype space = line.lastIndexOf(u' ');
        const QString gameName = space < 0 ? QString() : line.left(space).trimmed();
        const QString address = space < 0 ? line : line.mid(space + 1);
        TQueryTarget target{defaultGame, {}, 0};
        if (!gameName.isEmpty()) {
            target.Game = GameInfoByName(gameName);
            if (!target.Game) {
                error = QStringLiteral("%1:%2: %3")
                            .arg(source)
                            .arg(lineNumber)
                            .arg(UnknownGame(gameName));
                return false;
            }
        }
        if (!target.Game) {
            error = QStringLiteral("%1:%2: '%3' names no game, and no GAME was given")
                        .arg(source)
                        .arg(lineNumber)
                        .arg(line);
            return false;
        }
        if (!ParseAddress(address, target.Game->DefaultPort, target.Host, target.Port)) {
            error =
                QStringLiteral("%1:%2: bad address '%3'").arg(source).arg(lineNumber).arg(address);
            return false;
        }
        targets << target;
    }
    return true;
}
