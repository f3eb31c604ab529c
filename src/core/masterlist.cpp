#include "core/masterlist.h"

#include "core/serverresults.h"
#include "core/settingsstore.h"

TMasterList ReadMasterList(const TSettingsStore& store)
{
    TMasterList list;
    if (!store.KeyExists(MastersKey)) {
        list.Games = BuiltInMasters();
        list.BuiltIn = true;
        return list;
    }
    for (const QString& game : store.SubKeys(MastersKey)) {
        const QString key = MastersKey + QLatin1Char('\\') + game;
        list.Games.append({game, {}});
        for (const auto& [host, value] : store.Values(key)) {
            // Every number kind is a 32-bit word in the registry; a text or
            // bytes are no port.
            if (value.Kind == TStoreKind::Text || value.Kind == TStoreKind::Binary) {
                list.InvalidValues.append(host);
                continue;
            }
            list.Games.last().Masters.append({host, value.Number});
        }
    }
    return list;
}

void WriteMasterList(TSettingsStore& store, const QList<TMasterGame>& games)
{
    for (const TMasterGame& game : games) {
        const QString key = MastersKey + QLatin1Char('\\') + game.Name;
        store.CreateKey(key);
        for (const TMasterEntry& master : game.Masters) {
            store.SetValue(key, master.Host, TStoreValue::Integer(master.Port));
        }
    }
}

const QList<TMasterGame>& BuiltInMasters()
{
    // Masters that game servers of each protocol are set to report to; see
    // the README for where they come from.
    static const QList<TMasterGame> masters = {
        {QStringLiteral("Half-Life"), {{QStringLiteral("hl1master.steampowered.com"), 27010}}},
        {QStringLiteral("Quake 3"),
         {{QStringLiteral("master.quake3arena.com"), 27950},
          {QStringLiteral("master.ioquake3.org"), 27950}}},
        {QStringLiteral("Tribes"),
         {{QStringLiteral("t1m1.pu.net"), 28000},
          {QStringLiteral("t1m1.tribes1.co"), 28000},
          {QStringLiteral("t1m1.kigen.co"), 28000}}},
        {QStringLiteral("Tribes 2"), {{QStringLiteral("master.tribesnext.com"), 28002}}},
    };
    return masters;
}

QString MasterCaption(const TMasterEntry& master)
{
    return master.Host + QLatin1Char(':') + QString::number(master.Port);
}

TMasterTarget MasterTargetOf(const QString& gameCaption, const QString& masterCaption)
{
    TMasterTarget target;
    target.Game = GameTypeFromName(QString(gameCaption).remove(QLatin1Char('&')));
    target.Host = QString(masterCaption).remove(QLatin1Char('&'));
    target.Port = SplitHostPort(target.Host, MasterDefaultPort);
    return target;
}
