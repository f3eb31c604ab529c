#pragma once

#include "protocols/hlinfoquery.h"
#include "protocols/hlsteamquery.h"

// What the Steam form of the info answer tells beyond THLInfo. The items
// after the version are there only when the extra-data flags announce them.
struct THLSteamInfo
{
    std::uint16_t AppID = 0;
    std::uint8_t Bots = 0;
    std::uint8_t ServerType = 0;  // as sent: 'd' dedicated, 'l' listen, 'p' relay
    std::uint8_t Environment = 0; // as sent: 'l', 'w', 'm' or 'o'
    std::uint8_t VAC = 0;
    // Only for The Ship (AppID 2400), between VAC and the version.
    std::uint8_t ShipMode = 0;
    std::uint8_t ShipWitnesses = 0;
    std::uint8_t ShipDuration = 0;
    QByteArray Version;
    std::uint8_t ExtraData = 0;     // the flags below
    std::uint16_t GamePort = 0;     // 0x80
    std::uint64_t SteamID = 0;      // 0x10
    std::uint16_t SourceTVPort = 0; // 0x40
    QByteArray SourceTVName;        // 0x40
    QByteArray Keywords;            // 0x20
    std::uint64_t GameID = 0;       // 0x01

    static constexpr std::uint16_t TheShip = 2400;
    static constexpr std::uint8_t HasGamePort = 0x80;
    static constexpr std::uint8_t HasSteamID = 0x10;
    static constexpr std::uint8_t HasSourceTV = 0x40;
    static constexpr std::uint8_t HasKeywords = 0x20;
    static constexpr std::uint8_t HasGameID = 0x01;

    friend bool operator==(const THLSteamInfo&, const THLSteamInfo&) = default;
};

// The Steam-form info query of Half-Life servers ("TSource Engine Query"),
// with its challenge. It reads both answers servers give to it: the Steam
// form ("I") and the older one ("m", laid out as the details answer), into
// the same record as THLInfoQuery.
class THLSteamInfoQuery : public THLSteamQuery
{
    Q_OBJECT

public:
    using THLSteamQuery::THLSteamQuery;

    void Query(std::int32_t tag) { SendQuery(Request(), tag); }

    static QByteArray Request()
    {
        return QByteArray("\xFF\xFF\xFF\xFF"
                          "TSource Engine Query",
                          25);
    }
    static constexpr int ErrorCode = THLInfoQuery::ErrorCode;

    // Decodes an answer; false when it is neither form. Steam, when given,
    // gets what the Steam form adds (and is reset for the older form).
    static bool Decode(const TBasicData& reply, THLInfo& info, THLSteamInfo* steam = nullptr);

signals:
    void OnComplete(const THLInfo& server);

protected:
    QByteArray RequestWithChallenge(QByteArrayView challenge) const override
    {
        return Request() + challenge.toByteArray();
    }
    void ProcessAnswer(const TBasicData& reply) override;
    int QueryErrorCode() const override { return ErrorCode; }
};
