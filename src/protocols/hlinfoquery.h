#pragma once

#include "model/basicquery.h"

// What a Half-Life server tells about the modification it runs; everything
// but IsMod stays empty or 0 when IsMod is 0.
struct TModInfo
{
    std::uint8_t IsMod = 0;
    QByteArray InfoURL;
    QByteArray DownloadURL;
    std::int32_t ModSize = 0;
    std::int32_t ModVersion = 0;
    std::uint8_t ServerOnly = 0;
    std::uint8_t CustomDLL = 0;
};

struct THLInfo
{
    QByteArray Name;
    QByteArray Map;
    QByteArray GameDir;
    QByteArray Description;
    std::uint8_t OS = 2; // 0 Windows, 1 Linux, 2 anything else
    std::uint8_t NumPlayers = 0;
    std::uint8_t MaxPlayers = 0;
    std::uint8_t Protocol = 0;
    std::uint8_t Listen = 0;   // 1 for a listen server
    std::uint8_t Password = 0; // non-zero: a password is required
    TModInfo Mod;
    TBasicData Info;
};

// The "details" query of Half-Life servers: name, map, game, player counts,
// server type and operating system, and the modification's details.
class THLInfoQuery : public TBasicQuery
{
    Q_OBJECT

public:
    using TBasicQuery::TBasicQuery;

    void Query(std::int32_t tag) { SendQuery(Request(), tag); }

    static QByteArray Request()
    {
        return QByteArray("\xFF\xFF\xFF\xFF"
                          "details",
                          11);
    }
    static constexpr int ErrorCode = 2;
    static inline const QString ErrorMessage =
        QStringLiteral("Received data, but it is not a valid Half-life packet.");

    // Decodes a reply; false when it does not start with the details header.
    static bool Decode(const TBasicData& reply, THLInfo& info);

signals:
    void OnComplete(const THLInfo& server);

protected:
    void ProcessReply(const TBasicData& reply) override;
};
