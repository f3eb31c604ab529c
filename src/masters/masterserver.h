#pragma once

#include <QString>

#include <cstdint>

class TReplyCursor;

// One server listed by a master: its dotted IPv4 address and its UDP port.
struct TMasterServer
{
    QString IP;
    std::int32_t Port = 0; // 0 to 65535

    friend bool operator==(const TMasterServer&, const TMasterServer&) = default;
};

// The server's address and port as one number, for sets of servers; 0 for
// an address that is not four dotted decimal parts.
std::uint64_t MasterServerKey(const TMasterServer& server);

enum class TPortOrder
{
    BigEndian,
    LittleEndian,
};

// Whether a listed entry can be a server: no game server answers on port 0,
// and masters use entries of that port to mark the end of their list.
inline bool IsListedServer(const TMasterServer& server)
{
    return server.Port != 0;
}

// Reads one listed server: four address bytes, first part first, then a
// two-byte port in the given order. When fewer than six bytes remain it
// consumes nothing and returns false.
bool ReadMasterServer(TReplyCursor& cursor, TPortOrder order, TMasterServer& server);
