#pragma once

#include <QList>

#include "model/basicquery.h"

// One row of a table, or one heading line split into column names.
using THeader = QList<QByteArray>;
// The rows of a table.
using THeaderArray = QList<THeader>;

struct TTeamList
{
    THeader Header;         // the column headings the server sends
    THeaderArray Rows;      // one row per team announced, empty past the datagram
    std::int32_t Count = 0; // teams announced by the reply

    friend bool operator==(const TTeamList&, const TTeamList&) = default;
};

struct TPlayerList
{
    THeader Header;
    THeaderArray Rows;      // one row per player announced, empty past the datagram
    std::int32_t Count = 0; // players announced by the reply
    std::int32_t Max = 0;

    friend bool operator==(const TPlayerList&, const TPlayerList&) = default;
};

struct TTribesServer
{
    TBasicData Info;
    QByteArray Version;
    QByteArray HostName;
    bool Dedicated = false;
    bool Password = false;
    std::int32_t CPU = 0;
    QByteArray GameType;
    QByteArray MapType;
    QByteArray Map;
    QByteArray Description;
    TTeamList Teams;
    TPlayerList Players;

    friend bool operator==(const TTribesServer&, const TTribesServer&) = default;
};

// The status query of Starsiege: Tribes servers. The reply carries the team
// and player tables as text templates with tab-separated columns, together
// with the column headings, which the decoder fills in and splits.
class TTribesQuery : public TBasicQuery
{
    Q_OBJECT

public:
    using TBasicQuery::TBasicQuery;

    void Query(std::int32_t tag) { SendQuery(Request(), tag); }

    static QByteArray Request() { return QByteArray("b**", 3); }
    static constexpr int ErrorCode = 1;
    static inline const QString ErrorMessage =
        QStringLiteral("Received data, but it is not a valid Tribes packet.");

    // Decodes a reply; false when its identity bytes or game name are wrong.
    static bool Decode(const TBasicData& reply, TTribesServer& server);

    // Splits a team or player line at its tabs. The rest of the line is
    // trimmed after each tab, so runs of tabs make one boundary and a
    // trailing tab adds no column; the first column keeps its blanks.
    static THeader RowSplit(QByteArrayView line);
    // Splits a heading line like a row, dropping the first character (a
    // prefix the server puts before each heading) of every column but the
    // first.
    static THeader HeadingSplit(QByteArrayView line);

signals:
    void OnComplete(const TTribesServer& server);

protected:
    void ProcessReply(const TBasicData& reply) override;
};
