#include "core/genericfilter.h"

#include "core/settingsstore.h"
#include "model/networktext.h"
#include "model/replybuffer.h"
#include "model/wildcard.h"

namespace {

enum class TFilterKind : std::uint8_t
{
    None,
    Text,
    Number,
    Flag,
};

TFilterKind KindOf(int filterType)
{
    switch (filterType) {
    case ftName:
    case ftVersion:
    case ftGameType:
    case ftMap:
        return TFilterKind::Text;
    case ftPing:
    case ftMaxPlayers:
    case ftPlayerCount:
        return TFilterKind::Number;
    case ftFavorite:
    case ftPassword:
        return TFilterKind::Flag;
    default:
        return TFilterKind::None;
    }
}

int DigitIn(QByteArrayView field, char highest)
{
    return !field.isEmpty() && field[0] >= '1' && field[0] <= highest ? field[0] - '0' : 0;
}

TFilterVerdict Verdict(bool passes)
{
    return passes ? TFilterVerdict::Pass : TFilterVerdict::Fail;
}

TFilterVerdict TextTest(const TGenericFilter& filter, QByteArrayView text)
{
    switch (filter.Operator) {
    case foMatch:
        return Verdict(MatchWildcard(text, filter.Pattern, false));
    case foNoMatch:
        return Verdict(!MatchWildcard(text, filter.Pattern, false));
    default:
        return TFilterVerdict::Fail;
    }
}

TFilterVerdict NumberTest(const TGenericFilter& filter, qint64 value)
{
    switch (filter.Operator) {
    case foLess:
        return Verdict(value < filter.Number);
    case foMore:
        return Verdict(value > filter.Number);
    case foEqual:
        return Verdict(value == filter.Number);
    default:
        return TFilterVerdict::Fail;
    }
}

TFilterVerdict FlagTest(const TGenericFilter& filter, bool value)
{
    switch (filter.Operator) {
    case foTrue:
        return Verdict(value);
    case foFalse:
        return Verdict(!value);
    default:
        return TFilterVerdict::Fail;
    }
}

} // namespace

QString FilterTypeName(int filterType)
{
    switch (filterType) {
    case ftName:
        return QStringLiteral("Name");
    case ftVersion:
        return QStringLiteral("Version");
    case ftGameType:
        return QStringLiteral("Game type");
    case ftMap:
        return QStringLiteral("Map");
    case ftPing:
        return QStringLiteral("Ping");
    case ftMaxPlayers:
        return QStringLiteral("Max players");
    case ftPlayerCount:
        return QStringLiteral("Player count");
    case ftFavorite:
        return QStringLiteral("Server is favorite");
    case ftPassword:
        return QStringLiteral("Password protected");
    default:
        return QStringLiteral("Unknown");
    }
}

QString FilterOperatorName(int filterOperator)
{
    switch (filterOperator) {
    case foMatch:
        return QStringLiteral("must match pattern");
    case foNoMatch:
        return QStringLiteral("may not match pattern");
    case foLess:
        return QStringLiteral("must be less than");
    case foMore:
        return QStringLiteral("must be more than");
    case foEqual:
        return QStringLiteral("must be equal to");
    case foTrue:
        return QStringLiteral("must be true");
    case foFalse:
        return QStringLiteral("must be false");
    default:
        return QStringLiteral("unknown");
    }
}

QString FilterDataText(const TGenericFilter& filter)
{
    switch (KindOf(filter.FilterType)) {
    case TFilterKind::Text:
        return TextOfBytes(filter.Pattern);
    case TFilterKind::Number:
        return QString::number(filter.Number);
    case TFilterKind::Flag:
        return QString();
    case TFilterKind::None:
        break;
    }
    return QStringLiteral("Unknown");
}

QByteArray WriteFilters(const TFilterList& filters)
{
    QByteArray text;
    for (const TGenericFilter& filter : filters) {
        const int type = filter.FilterType >= 1 && filter.FilterType <= 9 ? filter.FilterType : 0;
        const int op = filter.Operator >= 1 && filter.Operator <= 7 ? filter.Operator : 0;
        text += char('0' + type);
        text += ',';
        text += char('0' + op);
        text += ',';
        for (char c : filter.Pattern) {
            if (c != ',') {
                text += c;
            }
        }
        text += ',';
        text += QByteArray::number(filter.Number);
        text += ',';
    }
    return text;
}

TFilterList ReadFilters(QByteArrayView text)
{
    TFilterList filters;
    qsizetype at = 0;
    while (text.size() - at >= 7) {
        QByteArrayView fields[4];
        for (QByteArrayView& field : fields) {
            const qsizetype comma = text.indexOf(',', at);
            if (comma < 0) {
                return filters; // a record cut short
            }
            field = text.sliced(at, comma - at);
            at = comma + 1;
        }
        TGenericFilter filter;
        filter.FilterType = std::uint8_t(DigitIn(fields[0], '9'));
        filter.Operator = std::uint8_t(DigitIn(fields[1], '7'));
        filter.Pattern = fields[2].toByteArray();
        filter.Number = ToIntDef(fields[3], 0);
        filters.append(std::move(filter));
    }
    return filters;
}

QByteArray FilterPattern(QStringView typed)
{
    return BytesOfText(typed.toString().remove(QLatin1Char(',')));
}

QString FiltersKey()
{
    return QStringLiteral("\\Software\\Zelbo\\Morvix\\Filters");
}

QList<TFilterProfile> ReadProfiles(const TSettingsStore& store)
{
    QList<TFilterProfile> profiles;
    const QList<std::pair<QString, TStoreValue>> values = store.Values(FiltersKey());
    profiles.reserve(values.size());
    for (const auto& [name, value] : values) {
        TFilterProfile profile{name, {}};
        if (value.Kind == TStoreKind::Text) {
            profile.Filters = ReadFilters(BytesOfText(value.Text));
        }
        profiles.append(std::move(profile));
    }
    return profiles;
}

bool SaveProfile(TSettingsStore& store, const QString& name, const TFilterList& filters)
{
    const QString key = FiltersKey();
    const std::optional<TStoreValue> before = store.Value(key, name);
    store.SetValue(key, name, TStoreValue::FromText(StoredText(WriteFilters(filters))));
    if (store.Save()) {
        return true;
    }
    // A profile that could not be saved is not kept either: it would be
    // listed and written at exit as if it had been.
    if (before) {
        store.SetValue(key, name, *before);
    } else {
        store.DeleteValue(key, name);
    }
    return false;
}

bool DeleteProfile(TSettingsStore& store, const QString& name)
{
    const QString key = FiltersKey();
    if (!store.KeyExists(key) || !store.DeleteValue(key, name)) {
        return true; // nothing stored under that name
    }
    return store.Save();
}

TFilterVerdict TestFilter(const TGenericFilter& filter, const TGenericServer& server)
{
    switch (filter.FilterType) {
    case ftName:
        return TextTest(filter, server.Name);
    case ftVersion:
        if (server.NoReply) {
            return TFilterVerdict::IgnoredVersion;
        }
        return TextTest(filter, server.Version);
    case ftGameType:
        return TextTest(filter, GameTypeName(server.GameType).toLatin1() + " / " + server.GameName);
    case ftMap:
        return TextTest(filter, server.Map);
    case ftPing:
        return NumberTest(filter, server.Info.Ping);
    case ftMaxPlayers:
        return NumberTest(filter, server.MaxPlayers);
    case ftPlayerCount:
        return NumberTest(filter, server.NumPlayers);
    case ftFavorite:
        return FlagTest(filter, server.Favorite);
    case ftPassword:
        if (server.NoReply) {
            return TFilterVerdict::IgnoredPassword;
        }
        return FlagTest(filter, server.GetRule("password") == "1");
    default:
        return TFilterVerdict::IgnoredType;
    }
}

QString IgnoredFilterText(TFilterVerdict verdict)
{
    switch (verdict) {
    case TFilterVerdict::IgnoredType:
        return QStringLiteral("Unknown filter type, ignoring..");
    case TFilterVerdict::IgnoredVersion:
        return QStringLiteral("Ignored version filter, a queried server is required.");
    case TFilterVerdict::IgnoredPassword:
        return QStringLiteral("Ignored password filter, a queried server is required.");
    case TFilterVerdict::Pass:
    case TFilterVerdict::Fail:
        break;
    }
    return QString();
}

bool KeepServer(const TFilterList& filters, const TGenericServer& server, bool invert,
                const TStatusSink& status)
{
    bool pass = true;
    for (const TGenericFilter& filter : filters) {
        const TFilterVerdict verdict = TestFilter(filter, server);
        if (verdict == TFilterVerdict::Fail) {
            pass = false;
        } else if (verdict != TFilterVerdict::Pass && status) {
            status(IgnoredFilterText(verdict));
        }
    }
    return pass != invert;
}

QList<int> RowsToRemove(const TFilterList& filters, bool invert, int rowCount,
                        const std::function<const TGenericServer*(int)>& serverAt,
                        const TStatusSink& status)
{
    QList<int> rows;
    for (int row = rowCount - 1; row >= 0; --row) {
        const TGenericServer* server = serverAt(row);
        if (server && !KeepServer(filters, *server, invert, status)) {
            rows.append(row);
        }
    }
    return rows;
}

QString RunningFiltersText(qsizetype filterCount)
{
    return QStringLiteral("Running ") + QString::number(filterCount) +
           QStringLiteral(" filters on serverlist.");
}

QString ApplyProfileQuestion()
{
    return QStringLiteral("This will remove all (or keep if Invert profile is checked)\n"
                          "servers that does NOT match ALL the filters in the selected\n"
                          "profile. Some filters also require that the servers have been\n"
                          "queried at least once since Morvix startup. Do you wish to\n"
                          "continue?");
}
