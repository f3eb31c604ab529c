#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

// One request's identity and its raw reply, carried by every query event and
// kept as Info in every decoded record and in TGenericServer.
struct TBasicData
{
    QString Host; // dotted IPv4 address the request went to (a name only if it never resolved)
    std::int32_t Port = 0;  // the server's UDP port
    std::uint32_t Ping = 0; // round trip in ms; the time-out in a time-out event
    std::int32_t Tag = 0;   // the caller's tag, returned unchanged
    QByteArray Data;        // the whole reply datagram; empty in a time-out event

    friend bool operator==(const TBasicData&, const TBasicData&) = default;
};
