#include "protocols/hlsteaminfoquery.h"

#include "model/replybuffer.h"

bool THLSteamInfoQuery::Decode(const TBasicData& reply, THLInfo& info, THLSteamInfo* steam)
{
    static const QByteArray header("\xFF\xFF\xFF\xFFI", 5);
    TReplyCursor cursor(reply.Data);
    if (cursor.LeftOf(header.size()) != header) {
        // Older servers answer in the layout of the details answer.
        if (!THLInfoQuery::Decode(reply, info)) {
            return false;
        }
        if (steam) {
            *steam = THLSteamInfo{};
        }
        return true;
    }
    info = THLInfo{};
    THLSteamInfo extra;
    cursor.CutLeft(header.size());

    // As in the details answer, a string the datagram cuts short takes the
    // rest and every item after it reads as missing: 0 for a number.
    info.Protocol = cursor.ReadU8();
    info.Name = cursor.TakeToken('\0');
    info.Map = cursor.TakeToken('\0');
    info.GameDir = cursor.TakeToken('\0');
    info.Description = cursor.TakeToken('\0');
    cursor.TakeBytes(extra.AppID);
    info.NumPlayers = cursor.ReadU8();
    info.MaxPlayers = cursor.ReadU8();
    extra.Bots = cursor.ReadU8();
    extra.ServerType = cursor.ReadU8();
    info.Listen = extra.ServerType == 'l' || extra.ServerType == 'L' ? 1 : 0;
    extra.Environment = cursor.ReadU8();
    switch (extra.Environment) {
    case 'l':
    case 'L':
        info.OS = 1;
        break;
    case 'w':
    case 'W':
        info.OS = 0;
        break;
    default:
        info.OS = 2;
        break;
    }
    info.Password = cursor.ReadU8();
    extra.VAC = cursor.ReadU8();
    if (extra.AppID == THLSteamInfo::TheShip) {
        extra.ShipMode = cursor.ReadU8();
        extra.ShipWitnesses = cursor.ReadU8();
        extra.ShipDuration = cursor.ReadU8();
    }
    extra.Version = cursor.TakeToken('\0');

    // The extra data flags, and the items they announce in this order.
    extra.ExtraData = cursor.ReadU8();
    if (extra.ExtraData & THLSteamInfo::HasGamePort) {
        cursor.TakeBytes(extra.GamePort);
    }
    if (extra.ExtraData & THLSteamInfo::HasSteamID) {
        cursor.TakeBytes(extra.SteamID);
    }
    if (extra.ExtraData & THLSteamInfo::HasSourceTV) {
        cursor.TakeBytes(extra.SourceTVPort);
        extra.SourceTVName = cursor.TakeToken('\0');
    }
    if (extra.ExtraData & THLSteamInfo::HasKeywords) {
        extra.Keywords = cursor.TakeToken('\0');
    }
    if (extra.ExtraData & THLSteamInfo::HasGameID) {
        cursor.TakeBytes(extra.GameID);
    }
    info.Info = reply;
    if (steam) {
        *steam = std::move(extra);
    }
    return true;
}

void THLSteamInfoQuery::ProcessAnswer(const TBasicData& reply)
{
    THLInfo info;
    if (!Decode(reply, info)) {
        DoError(ErrorCode, THLInfoQuery::ErrorMessage);
        return;
    }
    emit OnComplete(info);
}
