#include "core/masterlist.h"

#include "core/serverresults.h"
#include "core/settingsio.h"
#include "core/settingsstore.h"

namespace {

QList<int> ReadQ3Protocols(const TSettingsStore& store)
{
    const std::optional<TStoreValue> value = store.Value(SettingsKey(), Q3ProtocolsValue);
    QList<int> protocols;
    if (value && value->Kind == TStoreKind::Text) {
        for (const QString& part : value->Text.split(QLatin1Char(','))) {
            bool ok = false;
            const int protocol = part.trimmed().toInt(&ok);
            // A part that is no version is passed over; the others still count.
            if (ok && protocol > 0 && !protocols.contains(protocol)) {
                protocols.append(protocol);
            }
        }
    }
    return protocols.isEmpty() ? DefaultQ3Protocols : protocols;
}

} // namespace

TMasterList ReadMasterList(const TSettingsStore& store)
{
    TMasterList list;
    if (!store.KeyExists(MastersKey)) {
        list.Games = BuiltInMasters();
        list.BuiltIn = true;
        list.Q3Protocols = ReadQ3Protocols(store);
        return list;
    }
    list.Q3Protocols = ReadQ3Protocols(store);
    for (const QString& game : store.SubKeys(MastersKey)) {
        const QString key = MastersKey + QLatin1Char('\\') + game;
        list.Games.append({game, {}});
        const QString kinds = key + QLatin1Char('\\') + MasterKindKey;
        for (const auto& [host, value] : store.Values(key)) {
            // Every number kind is a 32-bit word in the registry; a text or
            // bytes are no port.
            if (value.Kind == TStoreKind::Text || value.Kind == TStoreKind::Binary) {
                list.InvalidValues.append(host);
                continue;
            }
            const std::optional<TStoreValue> kind = store.Value(kinds, host);
            const bool steam = kind && kind->Kind == TStoreKind::Text &&
                               kind->Text.compare(MasterKindSteam, Qt::CaseInsensitive) == 0;
            list.Games.last().Masters.append(
                {host, value.Number, steam ? TMasterKind::Steam : TMasterKind::Documented});
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
            if (master.Kind == TMasterKind::Steam) {
                const QString kinds = key + QLatin1Char('\\') + MasterKindKey;
                store.CreateKey(kinds);
                store.SetValue(kinds, master.Host, TStoreValue::FromText(MasterKindSteam));
            }
        }
    }
}

const QList<TMasterGame>& BuiltInMasters()
{
    // Masters that game servers of each protocol are set to report to; see
    // the README for where they come from.
    static const QList<TMasterGame> masters = {
        {QStringLiteral("Half-Life"),
         {{QStringLiteral("hl1master.steampowered.com"), 27010, TMasterKind::Steam},
          {QStringLiteral("hl2master.steampowered.com"), 27011, TMasterKind::Steam}}},
        {QStringLiteral("Quake 3"),
         {{QStringLiteral("master.quake3arena.com"), 27950},
          {QStringLiteral("master.ioquake3.org"), 27950},
          {QStringLiteral("dpmaster.deathmask.net"), 27950}}},
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
