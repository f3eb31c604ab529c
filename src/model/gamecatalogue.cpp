#include "model/gamecatalogue.h"

namespace {

using P = TQueryProtocol;
using M = TMasterProtocol;
using K = TQueryKind;

// Each game's own components, as the main window names them. The Quake 2
// family shares a protocol but not a component, so that each game's errors
// carry its own name.
constexpr TQueryStep kSoF[] = {{K::Quake2, "qSoF", "SoF Error: "}};
constexpr TQueryStep kSin[] = {{K::Quake2, "qSin", "Sin Error: "}};
constexpr TQueryStep kHeretic2[] = {{K::Quake2, "qHeretic2", "Heretic 2 Error: "}};
constexpr TQueryStep kTribes[] = {{K::Tribes, "qTribes", "Tribes Error: "}};
constexpr TQueryStep kTribes2[] = {{K::T2Ping, "qT2Ping", "T2 Error: "},
                                   {K::T2Info, "qT2", "T2 Error: "}};
constexpr TQueryStep kHalfLife[] = {{K::HLInfo, "qHLInfo", "HL-Info Error: "},
                                    {K::HLPlayers, "qHLPlayer", nullptr},
                                    {K::HLRules, "qHLRule", "HL-Rule Error: "}};
constexpr TQueryStep kQuake3[] = {{K::Quake3, "qQuake3", nullptr}};
constexpr TQueryStep kQuakeWorld[] = {{K::QuakeWorld, "qQuakeWorld", "QW Error: "}};
constexpr TQueryStep kQuake2[] = {{K::Quake2, "qQuake2", "Q2 Error: "}};
constexpr TQueryStep kKingpin[] = {{K::Quake2, "qKingpin", "Kingpin Error: "}};

constexpr TGameInfo kGames[] = {
    {gtSoF, "SoF", "SOF", "sof", P::Quake2, kSoF, 28910, M::None, 8},
    {gtSin, "Sin", "SIN", "sin", P::Quake2, kSin, 22450, M::None, 6},
    {gtHeretic2, "Heretic 2", "HERETIC 2", "heretic2", P::Quake2, kHeretic2, 28910, M::None, 7},
    {gtTribes, "Tribes", "TRIBES", "tribes", P::Tribes, kTribes, 28001, M::Tribes, 4},
    {gtTribes2, "Tribes 2", "TRIBES 2", "t2", P::Tribes2, kTribes2, 28000, M::Tribes2, 9},
    {gtHalfLife, "Half-Life", "HALF-LIFE", "hl", P::HalfLife, kHalfLife, 27015, M::HalfLife, 3},
    {gtQuake3, "Quake 3", "QUAKE 3", "q3", P::Quake3, kQuake3, 27950, M::Quake3, 2},
    {gtQuakeWorld, "QuakeWorld", "QUAKEWORLD", "qw", P::QuakeWorld, kQuakeWorld, 27500, M::None, 0},
    {gtQuake2, "Quake 2", "QUAKE 2", "q2", P::Quake2, kQuake2, 27910, M::None, 1},
    {gtKingpin, "Kingpin", "KINGPIN", "kingpin", P::Quake2, kKingpin, 31510, M::None, 5},
};

static_assert(std::size(kGames) == gtUnknown);

constexpr bool CatalogueInOrder()
{
    for (int i = 0; i < int(std::size(kGames)); ++i) {
        if (kGames[i].Type != i) {
            return false;
        }
    }
    return true;
}
static_assert(CatalogueInOrder(), "the catalogue is indexed by TGameType");

constexpr bool EveryGameHasAQuery()
{
    for (const TGameInfo& game : kGames) {
        if (game.Chain.empty()) {
            return false;
        }
    }
    return true;
}
static_assert(EveryGameHasAQuery());

} // namespace

std::span<const TGameInfo> GameCatalogue()
{
    return kGames;
}

const TGameInfo* GameInfo(int gameType)
{
    if (gameType < 0 || gameType >= int(std::size(kGames))) {
        return nullptr;
    }
    return &kGames[gameType];
}

QString GameTypeName(int gameType)
{
    const TGameInfo* info = GameInfo(gameType);
    return QString::fromLatin1(info ? info->DisplayName : "Unknown");
}

qsizetype LongestGameName()
{
    static const qsizetype longest = [] {
        qsizetype length = 0;
        for (const TGameInfo& game : kGames) {
            length = qMax(length, qsizetype(qstrlen(game.AcceptedName)));
        }
        return length;
    }();
    return longest;
}

TGameType GameTypeFromName(QStringView name)
{
    if (name.size() > LongestGameName()) {
        return gtUnknown;
    }
    // Only a to z are folded, as the stored names are plain ASCII.
    QString upper;
    upper.reserve(name.size());
    for (QChar c : name) {
        upper.append(c >= u'a' && c <= u'z' ? QChar(c.unicode() - 32) : c);
    }
    for (const TGameInfo& game : kGames) {
        if (upper == QLatin1String(game.AcceptedName)) {
            return game.Type;
        }
    }
    return gtUnknown;
}

const TGameInfo* GameInfoByName(QStringView name)
{
    for (const TGameInfo& game : kGames) {
        if (name.compare(QLatin1String(game.ShortName), Qt::CaseInsensitive) == 0) {
            return &game;
        }
    }
    return GameInfo(GameTypeFromName(name));
}
