#include "simulator.h"

#include <QJsonArray>

namespace {

constexpr TMasterProtocol kMasters[] = {TMasterProtocol::HalfLife, TMasterProtocol::Quake3,
                                        TMasterProtocol::Tribes, TMasterProtocol::Tribes2};

constexpr TSimBehaviour kBehaviours[] = {TSimBehaviour::Answer,    TSimBehaviour::Silent,
                                         TSimBehaviour::Late,      TSimBehaviour::Garbage,
                                         TSimBehaviour::Oversized, TSimBehaviour::Duplicate};

// The game whose servers a master lists.
TGameType MasterGame(TMasterProtocol protocol)
{
    for (const TGameInfo& game : GameCatalogue()) {
        if (game.Master == protocol) {
            return game.Type;
        }
    }
    return gtUnknown;
}

bool ParseCount(const QString& text, int low, int high, int& value)
{
    bool ok = false;
    value = text.toInt(&ok);
    return ok && value >= low && value <= high;
}

// "NAME=VALUE" with a non-empty name.
bool SplitPair(const QString& text, QString& name, QString& value)
{
    const qsizetype at = text.indexOf(u'=');
    if (at <= 0) {
        return false;
    }
    name = text.left(at).trimmed();
    value = text.mid(at + 1).trimmed();
    return true;
}

QJsonValue Text(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes);
}

} // namespace

QString MasterShortName(TMasterProtocol protocol)
{
    const TGameInfo* game = GameInfo(MasterGame(protocol));
    return game ? QString::fromLatin1(game->ShortName) : QString();
}

QString SimUsage()
{
    return QStringLiteral(
        "Usage: morvix-sim [options]\n"
        "Simulates game servers and their master servers on 127.0.0.1 and prints what it\n"
        "bound as a JSON document on standard output. Runs until interrupted (or --duration).\n"
        "\n"
        "  --servers N             servers per game (default 5)\n"
        "  --games LIST            comma-separated games to simulate (default all ten):\n"
        "                          sof, sin, heretic2, tribes, t2, hl, q3, qw, q2, kingpin\n"
        "  --count GAME=N          servers of one game, over --servers (repeatable)\n"
        "  --seed N                seed of names, maps, players and behaviours (default 1)\n"
        "  --mix KIND=WEIGHT,...   behaviours by weight: answer, silent, late, garbage,\n"
        "                          oversized, duplicate (default answer=1)\n"
        "  --loss P                probability (0 to 1) that a datagram is lost (default 0)\n"
        "  --late-ms MS            delay of late servers' answers (default 3000)\n"
        "  --rcon-password TEXT    password of the Half-Life and Quake 3 consoles\n"
        "                          (default secret)\n"
        "  --master-port GAME=PORT fixed port of the hl, q3, tribes or t2 master, or of\n"
        "                          the Steam-kind Half-Life master as hl-steam (repeatable;\n"
        "                          default any free port)\n"
        "  --full-cycle-ms MS      servers with players start full; every MS ms the last\n"
        "                          player leaves or comes back (default 0: never)\n"
        "  --hl-form FORM          queries the Half-Life servers answer: old (\"details\",\n"
        "                          \"players\", \"rules\"), steam (the Steam form with its\n"
        "                          challenge), both, or mixed (the three in turn); default old\n"
        "  --hl-datagram-size N    Steam-form answers longer than N bytes are split into\n"
        "                          several datagrams (100 to 1400, default 1400)\n"
        "  --hl-master KIND        Half-Life master: old, steam (the batch request with\n"
        "                          paging) or both; default old\n"
        "  --hl-master-page N      servers per page of the Steam-kind master (1 to 231,\n"
        "                          default 231)\n"
        "  --q3-protocols LIST     protocol versions of the Quake 3 servers, in turn (for\n"
        "                          example 48,68,71); the master then lists only the\n"
        "                          servers of the version asked. Default: all report 68\n"
        "                          and the master lists every server for any version\n"
        "  --duration SECONDS      stop after this many seconds\n"
        "  --help                  show this text\n");
}

bool ParseSimArguments(const QStringList& arguments, TSimConfig& config, QString& error, bool& help)
{
    help = false;
    int perGame = 5;
    QList<TGameType> games;
    for (const TGameInfo& game : GameCatalogue()) {
        games.append(game.Type);
    }
    QMap<TGameType, int> counts;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString option = arguments[i];
        if (option == u"--help" || option == u"-h") {
            help = true;
            return true;
        }
        static const QStringList known = {
            "--servers",     "--games",          "--count",        "--seed",
            "--mix",         "--loss",           "--late-ms",      "--rcon-password",
            "--master-port", "--duration",       "--hl-form",      "--hl-datagram-size",
            "--hl-master",   "--hl-master-page", "--q3-protocols", "--full-cycle-ms"};
        if (!known.contains(option)) {
            error = option.startsWith(u"--")
                        ? QStringLiteral("unknown option '%1'").arg(option)
                        : QStringLiteral("unexpected argument '%1'").arg(option);
            return false;
        }
        if (i + 1 >= arguments.size()) {
            error = QStringLiteral("%1 needs a value").arg(option);
            return false;
        }
        const QString value = arguments[++i];
        QString name;
        QString number;
        int n = 0;
        if (option == u"--servers") {
            if (!ParseCount(value, 0, 100000, perGame)) {
                error = QStringLiteral("--servers takes a number from 0 to 100000, not '%1'")
                            .arg(value);
                return false;
            }
        } else if (option == u"--games") {
            games.clear();
            for (const QString& part : value.split(u',', Qt::SkipEmptyParts)) {
                const TGameInfo* game = GameInfoByName(part.trimmed());
                if (!game) {
                    error = QStringLiteral("unknown game '%1'").arg(part);
                    return false;
                }
                games.append(game->Type);
            }
        } else if (option == u"--count") {
            const TGameInfo* game = SplitPair(value, name, number) ? GameInfoByName(name) : nullptr;
            if (!game || !ParseCount(number, 0, 100000, n)) {
                error = QStringLiteral("--count takes GAME=N, not '%1'").arg(value);
                return false;
            }
            counts[game->Type] = n;
        } else if (option == u"--seed") {
            bool ok = false;
            config.Seed = value.toUInt(&ok);
            if (!ok) {
                error = QStringLiteral("--seed takes a number, not '%1'").arg(value);
                return false;
            }
        } else if (option == u"--mix") {
            config.Mix.clear();
            for (const QString& part : value.split(u',', Qt::SkipEmptyParts)) {
                const auto* kind = std::find_if(std::begin(kBehaviours), std::end(kBehaviours),
                                                [&](TSimBehaviour b) {
                                                    return SplitPair(part, name, number) &&
                                                           name == QLatin1String(BehaviourName(b));
                                                });
                if (kind == std::end(kBehaviours) || !ParseCount(number, 0, 1000000, n)) {
                    error = QStringLiteral("--mix takes KIND=WEIGHT,... with the kinds answer, "
                                           "silent, late, garbage, oversized, duplicate, not '%1'")
                                .arg(part);
                    return false;
                }
                config.Mix[*kind] = n;
            }
            int total = 0;
            for (int weight : config.Mix) {
                total += weight;
            }
            if (total <= 0) {
                error = QStringLiteral("--mix needs at least one weight above 0");
                return false;
            }
        } else if (option == u"--loss") {
            bool ok = false;
            config.ServerOptions.Loss = value.toDouble(&ok);
            if (!ok || config.ServerOptions.Loss < 0 || config.ServerOptions.Loss > 1) {
                error =
                    QStringLiteral("--loss takes a probability from 0 to 1, not '%1'").arg(value);
                return false;
            }
        } else if (option == u"--late-ms") {
            if (!ParseCount(value, 0, 600000, config.ServerOptions.LateMs)) {
                error = QStringLiteral("--late-ms takes milliseconds, not '%1'").arg(value);
                return false;
            }
        } else if (option == u"--rcon-password") {
            config.ServerOptions.RconPassword = value.toLatin1();
        } else if (option == u"--master-port" && SplitPair(value, name, number) &&
                   name == u"hl-steam") {
            if (!ParseCount(number, 1, 65535, n)) {
                error = QStringLiteral("--master-port takes hl-steam=PORT with a port from 1 to "
                                       "65535, not '%1'")
                            .arg(value);
                return false;
            }
            config.HLSteamMasterPort = std::uint16_t(n);
        } else if (option == u"--master-port") {
            const TGameInfo* game = SplitPair(value, name, number) ? GameInfoByName(name) : nullptr;
            if (!game || game->Master == TMasterProtocol::None ||
                !ParseCount(number, 1, 65535, n)) {
                error = QStringLiteral("--master-port takes GAME=PORT for hl, q3, tribes or t2 "
                                       "and a port from 1 to 65535, not '%1'")
                            .arg(value);
                return false;
            }
            config.MasterPorts[game->Master] = std::uint16_t(n);
        } else if (option == u"--full-cycle-ms") {
            if (!ParseCount(value, 0, 3600000, config.ServerOptions.FullCycleMs)) {
                error = QStringLiteral("--full-cycle-ms takes milliseconds, not '%1'").arg(value);
                return false;
            }
        } else if (option == u"--hl-form") {
            static const QMap<QString, QList<TSimHLForm>> forms = {
                {"old", {TSimHLForm::Old}},
                {"steam", {TSimHLForm::Steam}},
                {"both", {TSimHLForm::Both}},
                {"mixed", {TSimHLForm::Old, TSimHLForm::Steam, TSimHLForm::Both}}};
            if (!forms.contains(value)) {
                error = QStringLiteral("--hl-form takes old, steam, both or mixed, not '%1'")
                            .arg(value);
                return false;
            }
            config.HLForms = forms[value];
        } else if (option == u"--hl-datagram-size") {
            if (!ParseCount(value, 100, 1400, n)) {
                error = QStringLiteral("--hl-datagram-size takes bytes from 100 to 1400, not '%1'")
                            .arg(value);
                return false;
            }
            config.ServerOptions.HLDatagramSize = n;
        } else if (option == u"--hl-master") {
            if (value != u"old" && value != u"steam" && value != u"both") {
                error = QStringLiteral("--hl-master takes old, steam or both, not '%1'").arg(value);
                return false;
            }
            config.HLOldMaster = value != u"steam";
            config.HLSteamMaster = value != u"old";
        } else if (option == u"--hl-master-page") {
            if (!ParseCount(value, 1, 231, n)) {
                error = QStringLiteral("--hl-master-page takes a number from 1 to 231, not '%1'")
                            .arg(value);
                return false;
            }
            config.HLSteamPageSize = n;
        } else if (option == u"--q3-protocols") {
            config.Q3Protocols.clear();
            for (const QString& part : value.split(u',', Qt::SkipEmptyParts)) {
                if (!ParseCount(part.trimmed(), 1, 999, n)) {
                    error = QStringLiteral("--q3-protocols takes versions from 1 to 999 separated "
                                           "by commas, not '%1'")
                                .arg(value);
                    return false;
                }
                config.Q3Protocols.append(n);
            }
            if (config.Q3Protocols.isEmpty()) {
                error = QStringLiteral("--q3-protocols needs at least one version");
                return false;
            }
        } else if (option == u"--duration") {
            if (!ParseCount(value, 1, 365 * 24 * 3600, config.DurationSeconds)) {
                error =
                    QStringLiteral("--duration takes whole seconds above 0, not '%1'").arg(value);
                return false;
            }
        }
    }
    config.Servers.clear();
    for (TGameType game : games) {
        config.Servers[game] = perGame;
    }
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        config.Servers[it.key()] = it.value();
    }
    config.ServerOptions.Seed = config.Seed;
    return true;
}

TSimulator::TSimulator(TSimConfig config, QObject* parent)
    : QObject(parent), Config_(std::move(config))
{}

TSimBehaviour TSimulator::DrawBehaviour(QRandomGenerator& random) const
{
    int total = 0;
    for (int weight : Config_.Mix) {
        total += weight;
    }
    if (total <= 0) {
        return TSimBehaviour::Answer;
    }
    int draw = int(random.bounded(total));
    for (auto it = Config_.Mix.cbegin(); it != Config_.Mix.cend(); ++it) {
        if (draw < it.value()) {
            return it.key();
        }
        draw -= it.value();
    }
    return TSimBehaviour::Answer;
}

bool TSimulator::Start(QString& error)
{
    QRandomGenerator random(Config_.Seed);
    for (auto it = Config_.Servers.cbegin(); it != Config_.Servers.cend(); ++it) {
        for (int i = 0; i < it.value(); ++i) {
            TSimGameState state = MakeSimServer(it.key(), i, random);
            if (it.key() == gtQuake3 && !Config_.Q3Protocols.isEmpty()) {
                state.SetQuake3Protocol(Config_.Q3Protocols[i % Config_.Q3Protocols.size()]);
            }
            const TSimBehaviour behaviour = DrawBehaviour(random);
            auto* server = new TSimServer(std::move(state), behaviour, Config_.ServerOptions,
                                          random.generate(), this);
            if (it.key() == gtHalfLife && !Config_.HLForms.isEmpty()) {
                server->SetHLForm(Config_.HLForms[i % Config_.HLForms.size()]);
                // Most ask for a challenge first, as servers do today; one in
                // four answers in the older layout.
                server->SetSteamInfoStyle({i % 4 != 1, i % 4 == 3});
            }
            if (!server->Bind()) {
                error = QStringLiteral("cannot bind a UDP socket on 127.0.0.1 for server %1 of %2: "
                                       "%3")
                            .arg(i + 1)
                            .arg(GameTypeName(it.key()), server->ErrorText());
                return false;
            }
            Servers_.append(server);
        }
    }
    for (TMasterProtocol protocol : kMasters) {
        const bool halfLife = protocol == TMasterProtocol::HalfLife;
        if ((!halfLife || Config_.HLOldMaster) && !AddMaster(protocol, false, error)) {
            return false;
        }
        if (halfLife && Config_.HLSteamMaster && !AddMaster(protocol, true, error)) {
            return false;
        }
    }
    return true;
}

bool TSimulator::AddMaster(TMasterProtocol protocol, bool steam, QString& error)
{
    QList<TMasterServer> listed;
    QList<int> protocols;
    for (const TSimServer* server : ServersOf(MasterGame(protocol))) {
        listed.append({QStringLiteral("127.0.0.1"), server->Port()});
        protocols.append(server->State().Quake3Protocol());
    }
    auto* master = new TSimMaster(protocol, listed, this);
    if (steam) {
        master->SetHLSteam(Config_.HLSteamPageSize);
    }
    if (protocol == TMasterProtocol::Quake3 && !Config_.Q3Protocols.isEmpty()) {
        master->SetProtocols(protocols);
    }
    const std::uint16_t port =
        steam ? Config_.HLSteamMasterPort : Config_.MasterPorts.value(protocol, 0);
    if (!master->Bind(port)) {
        error = QStringLiteral("cannot bind the %1%2 master on 127.0.0.1 port %3: %4")
                    .arg(GameTypeName(MasterGame(protocol)), steam ? " Steam-kind" : "")
                    .arg(port)
                    .arg(master->ErrorText());
        return false;
    }
    Masters_.append(master);
    return true;
}

QList<TSimServer*> TSimulator::ServersOf(TGameType game) const
{
    QList<TSimServer*> servers;
    for (TSimServer* server : Servers_) {
        if (server->State().Game == game) {
            servers.append(server);
        }
    }
    return servers;
}

TSimMaster* TSimulator::Master(TMasterProtocol protocol) const
{
    for (TSimMaster* master : Masters_) {
        if (master->Protocol() == protocol) {
            return master;
        }
    }
    return nullptr;
}

TSimMaster* TSimulator::HLSteamMaster() const
{
    for (TSimMaster* master : Masters_) {
        if (master->IsHLSteam()) {
            return master;
        }
    }
    return nullptr;
}

QJsonObject TSimulator::BoundDocument() const
{
    QJsonArray masters;
    for (const TSimMaster* master : Masters_) {
        const TGameType game = MasterGame(master->Protocol());
        QJsonObject entry{{"game", MasterShortName(master->Protocol())},
                          {"game_name", GameTypeName(game)},
                          {"host", "127.0.0.1"},
                          {"port", master->Port()},
                          {"servers", master->Servers().size()}};
        if (master->Protocol() == TMasterProtocol::HalfLife) {
            entry.insert("form", master->IsHLSteam() ? "steam" : "old");
        }
        masters.append(entry);
    }
    QJsonArray servers;
    for (const TSimServer* server : Servers_) {
        const TSimGameState& state = server->State();
        QJsonObject entry{{"game", QLatin1String(GameInfo(state.Game)->ShortName)},
                          {"game_name", GameTypeName(state.Game)},
                          {"host", "127.0.0.1"},
                          {"port", server->Port()},
                          {"behaviour", BehaviourName(server->Behaviour())},
                          {"console", server->HasConsole()},
                          {"name", Text(state.PlainName())},
                          {"map", Text(state.MapName())},
                          {"players", state.PlayerCount()},
                          {"max_players", state.MaxPlayers()}};
        if (state.Game == gtHalfLife) {
            entry.insert("form", HLFormName(server->HLForm()));
        } else if (state.Game == gtQuake3) {
            entry.insert("protocol", state.Quake3Protocol());
        }
        servers.append(entry);
    }
    return QJsonObject{{"host", "127.0.0.1"},
                       {"seed", qint64(Config_.Seed)},
                       {"rcon_password", Text(Config_.ServerOptions.RconPassword)},
                       {"loss", Config_.ServerOptions.Loss},
                       {"late_ms", Config_.ServerOptions.LateMs},
                       {"full_cycle_ms", Config_.ServerOptions.FullCycleMs},
                       {"masters", masters},
                       {"servers", servers}};
}

TSimCounters TSimulator::Totals() const
{
    TSimCounters totals;
    for (const TSimServer* server : Servers_) {
        totals.Received += server->Counters().Received;
        totals.Dropped += server->Counters().Dropped;
        totals.Answered += server->Counters().Answered;
    }
    return totals;
}
