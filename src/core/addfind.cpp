#include "core/addfind.h"

#include "model/genericserver.h"
#include "model/networktext.h"
#include "model/replybuffer.h"

namespace {

constexpr TAddGameType kAddGameTypes[] = {
    {"Quake World", gtQuakeWorld},
    {"Quake 2", gtQuake2},
    {"Quake 3 (Arena, Team Arena..)", gtQuake3},
    {"Half-life (Counter-strike and other mods)", gtHalfLife},
    {"Starsiege: Tribes", gtTribes},
    {"KingPin", gtKingpin},
    {"Sin", gtSin},
    {"Heretic 2", gtHeretic2},
    {"Soldier of Fortune (SoF)", gtSoF},
    {"Tribes 2", gtTribes2},
};

QString UpperAscii(QStringView text)
{
    QString upper;
    upper.reserve(text.size());
    for (QChar c : text) {
        upper.append(c >= u'a' && c <= u'z' ? QChar(c.unicode() - 32) : c);
    }
    return upper;
}

} // namespace

std::span<const TAddGameType> AddGameTypes()
{
    return kAddGameTypes;
}

int StandardPort(int index)
{
    if (index < 0 || index >= int(std::size(kAddGameTypes))) {
        return 0;
    }
    return GameInfo(kAddGameTypes[index].Game)->DefaultPort;
}

TManualAddress ReadManualAddress(const QString& text, int portBox)
{
    TManualAddress address{text, portBox};
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon >= 0) {
        const int port = ToIntDef(BytesOfText(text.sliced(colon + 1)));
        if (port != 0) {
            address.Port = port;
        }
        address.Host.truncate(colon);
    }
    address.Host = AsciiHost(address.Host);
    return address;
}

bool IsValidPort(int port)
{
    return port >= 1 && port <= 65535;
}

bool NameContains(QByteArrayView name, QStringView keyword)
{
    if (keyword.isEmpty()) {
        return false;
    }
    // The name as the list shows it.
    return UpperAscii(TextOfBytes(name)).contains(UpperAscii(keyword));
}

int FindServerRow(int start, int rowCount, QStringView keyword,
                  const std::function<const TGenericServer*(int row)>& serverAt)
{
    for (int row = qMax(0, start); row < rowCount; ++row) {
        const TGenericServer* server = serverAt(row);
        if (server && NameContains(server->Name, keyword)) {
            return row;
        }
    }
    return -1;
}
