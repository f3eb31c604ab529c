#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>
#include <memory>

#include "model/basicdata.h"
#include "model/gamecatalogue.h"
#include "model/htmlstyles.h"

// The state of a server's last query; it selects the row colour.
enum TQueryStatus : std::uint8_t
{
    qsTimeout = 0,
    qsNew = 1,
    qsIdle = 2,
    qsWorking = 3,
};

struct TRule
{
    QByteArray Name;
    QByteArray Value;

    bool operator==(const TRule&) const = default;
};

using TRuleList = QList<TRule>;

// Rows of cells; row 0 holds the column captions.
using TServerTable = QList<QList<QByteArray>>;

// The one record the program keeps per game server.
class TGenericServer
{
public:
    // Creates a record whose HTML templates live in TemplatesDir (the
    // "Templates" folder of TAppPaths when empty). The folder is created when
    // it is missing and the table styles are read from its "define.ini".
    static std::unique_ptr<TGenericServer> Create(const QString& templatesDir = {});

    void AddRule(const QByteArray& name, const QByteArray& value);
    void ClearRules();
    // The value of the first rule named exactly Name; empty when there is none.
    QByteArray GetRule(QByteArrayView name) const;

    // Unique for the life of the process and never 0: the identity a query
    // carries as its tag, so a late reply finds its record or none at all.
    std::int32_t Id = 0;

    QString TemplatesDir; // ends in a separator
    std::shared_ptr<const THtmlStyles> Styles;

    TBasicData Info;
    QByteArray Name;
    QByteArray Map;
    QByteArray Version;
    QByteArray GameName;
    bool Favorite = false;
    std::int32_t RetryCount = 0;
    std::int32_t MaxPlayers = 0;
    std::int32_t NumPlayers = 0;
    TQueryStatus Status = qsNew;
    TGameType GameType = gtUnknown;
    TServerTable PlayerTable;
    TRuleList Rules;
    TServerTable TeamTable;
    bool NoReply = true;

private:
    TGenericServer() = default;
};
