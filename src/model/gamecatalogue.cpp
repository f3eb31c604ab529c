#include "model/gamecatalogue.h"

namespace {

using P = TQueryProtocol;
using M = TMasterProtocol;

constexpr TGameInfo kGames[] = {
    {gtSoF, "SoF", "SOF", "sof", P::Quake2, "qSoF", 28910, M::None, 8},
    {gtSin, "Sin", "SIN", "sin", P::Quake2, "qSin", 22450, M::None, 6},
    {gtHeretic2, "Heretic 2", "HERETIC 2", "heretic2", P::Quake2, "qHeretic2", 28910, M::None, 7},
    {gtTribes, "Tribes", "TRIBES", "tribes", P::Tribes, "qTribes", 28001, M::Tribes, 4},
    {gtTribes2, "Tribes 2", "TRIBES 2", "t2", P::Tribes2, "qT2Ping", 28000, M::Tribes2, 9},
    {gtHalfLife, "Half-Life", "HALF-LIFE", "hl", P::HalfLife, "qHLInfo", 27015, M::HalfLife, 3},
    {gtQuake3, "Quake 3", "QUAKE 3", "q3", P::Quake3, "qQuake3", 27950, M::Quake3, 2},
    {gtQuakeWorld, "QuakeWorld", "QUAKEWORLD", "qw", P::QuakeWorld, "qQuakeWorld", 27500, M::None,
     0},
    {gtQuake2, "Quake 2", "QUAKE 2", "q2", P::Quake2, "qQuake2", 27910, M::None, 1},
    {gtKingpin, "Kingpin", "KINGPIN", "kingpin", P::Quake2, "qKingpin", 31510, M::None, 5},
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
