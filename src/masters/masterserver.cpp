#include "masters/masterserver.h"

#include <QList>
#include <QStringView>

#include "model/replybuffer.h"

namespace {

// Masters list thousands of servers; this is the one place each entry's
// text is built, so it avoids the general formatting machinery.
QString DottedText(const unsigned char* address)
{
    char text[16];
    char* end = text;
    for (int i = 0; i < 4; ++i) {
        const unsigned part = address[i];
        if (i > 0) {
            *end++ = '.';
        }
        if (part >= 100) {
            *end++ = char('0' + part / 100);
        }
        if (part >= 10) {
            *end++ = char('0' + part / 10 % 10);
        }
        *end++ = char('0' + part % 10);
    }
    return QString::fromLatin1(text, end - text);
}

} // namespace

bool ReadMasterServer(TReplyCursor& cursor, TPortOrder order, TMasterServer& server)
{
    if (cursor.Remaining() < 6) {
        return false;
    }
    const auto* entry = reinterpret_cast<const unsigned char*>(cursor.Rest().data());
    server.IP = DottedText(entry);
    cursor.CutLeft(4);
    if (order == TPortOrder::BigEndian) {
        server.Port = cursor.ReadU16BE();
    } else {
        std::uint16_t port = 0;
        cursor.ReadBytes(port);
        server.Port = port;
    }
    return true;
}

std::uint64_t MasterServerKey(const TMasterServer& server)
{
    std::uint64_t address = 0;
    int parts = 0;
    for (QStringView part : QStringView(server.IP).split(u'.')) {
        bool ok = false;
        const uint value = part.toUInt(&ok);
        if (!ok || value > 255 || ++parts > 4) {
            return 0;
        }
        address = address << 8 | value;
    }
    return parts == 4 ? address << 16 | std::uint16_t(server.Port) : 0;
}
