#include "core/settingsio.h"

#include <QHash>
#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <optional>
#include <variant>

#include "core/dialogs.h"
#include "core/settings.h"
#include "core/settingsstore.h"
#include "model/networktext.h"

namespace {

using TField = std::variant<int TSettingsValues::*, bool TSettingsValues::*,
                            QString TSettingsValues::*, TJoinAction>;

struct TMainValue
{
    const char* Name;
    TField Field; // a join action stands for its one-of-three flag
};

// The values of the main key, in the order they are written.
const TMainValue kMainValues[] = {
    {"MaxQueries", &TSettingsValues::MaxQueries},
    {"QueryTimeout", &TSettingsValues::QueryTimeout},
    {"Retry", &TSettingsValues::Retry},
    {"UseDelay", &TSettingsValues::UseDelay},
    {"QueryDelay", &TSettingsValues::QueryDelay},
    {"PingTimeout", &TSettingsValues::PingTimeout},
    {"UseBuddyList", &TSettingsValues::UseBuddyList},
    {"LaunchConfirmation", &TSettingsValues::LaunchConfirmation},
    {"OJCopyIP", &TSettingsValues::OJCopyIP},
    {"OJNoop", jaNoop},
    {"OJTray", jaTray},
    {"OJClose", jaClose},
    {"OJSaveList", &TSettingsValues::OJSaveList},
    {"OSQueryALL", &TSettingsValues::OSQueryALL},
    {"OSTray", &TSettingsValues::OSTray},
    {"AllowStats", &TSettingsValues::AllowStats},
    {"AllowFormat", &TSettingsValues::AllowFormat},
    {"StatsUsername", &TSettingsValues::StatsUsername},
    {"HLRCON", &TSettingsValues::HLRCON},
    {"Q3RCON", &TSettingsValues::Q3RCON},
    {"DefaultGameType", &TSettingsValues::DefaultGameType},
};

// Left, top, width and height of a window under "Windows".
const char* const kRectParts[] = {"Top", "Left", "Width", "Height"};

// No screen is this far out or this large; within these limits a window's
// right and bottom edges are far from overflowing.
constexpr int kMaxWindowPlace = 1000000;
// A column wider than this is no layout a user made.
constexpr int kMaxColumnWidth = 100000;

const QString kServerNamePatterns = QStringLiteral("Patterns\\ServerName");
const QString kPlayerNamePatterns = QStringLiteral("Patterns\\PlayerName");

bool IsNumberKind(TStoreKind kind)
{
    // The registry keeps integers, flags and colours alike as 32-bit numbers.
    return kind == TStoreKind::Integer || kind == TStoreKind::Flag || kind == TStoreKind::Colour;
}

QString JoinNumbers(const QList<int>& numbers)
{
    QStringList parts;
    for (int number : numbers) {
        parts << QString::number(number);
    }
    return parts.join(QLatin1Char(','));
}

std::optional<QList<int>> SplitNumbers(const QString& text)
{
    QList<int> numbers;
    if (text.isEmpty()) {
        return numbers;
    }
    for (const QString& part : text.split(QLatin1Char(','))) {
        bool ok = false;
        numbers << part.trimmed().toInt(&ok);
        if (!ok) {
            return std::nullopt;
        }
    }
    return numbers;
}

// Reads values of one kind and names every value stored with another.
class TReader
{
public:
    TReader(const TSettingsStore& store, QStringList& invalid) : Store_(store), Invalid_(invalid) {}

    std::optional<std::int32_t> Number(const QString& key, const QString& name)
    {
        const std::optional<TStoreValue> value = Store_.Value(key, name);
        if (!value) {
            return std::nullopt;
        }
        if (!IsNumberKind(value->Kind)) {
            Invalid_ << name;
            return std::nullopt;
        }
        return value->Number;
    }

    std::optional<QString> Text(const QString& key, const QString& name)
    {
        const std::optional<TStoreValue> value = Store_.Value(key, name);
        if (!value) {
            return std::nullopt;
        }
        if (value->Kind != TStoreKind::Text) {
            Invalid_ << name;
            return std::nullopt;
        }
        return value->Text;
    }

    // A text holding decimal numbers joined by ",".
    std::optional<QList<int>> Numbers(const QString& key, const QString& name)
    {
        const std::optional<QString> text = Text(key, name);
        if (!text) {
            return std::nullopt;
        }
        std::optional<QList<int>> numbers = SplitNumbers(*text);
        if (!numbers) {
            Invalid_ << name;
        }
        return numbers;
    }

    template <typename T> void Into(const QString& key, const QString& name, T& field)
    {
        if constexpr (std::is_same_v<T, QString>) {
            if (const auto text = Text(key, name)) {
                field = *text;
            }
        } else if (const auto number = Number(key, name)) {
            if constexpr (std::is_same_v<T, bool>) {
                field = *number != 0;
            } else {
                field = *number;
            }
        }
    }

private:
    const TSettingsStore& Store_;
    QStringList& Invalid_;
};

void ReadRect(TReader& reader, QStringList& invalid, const QString& key, const QString& window,
              QRect& rect)
{
    int parts[4] = {rect.top(), rect.left(), rect.width(), rect.height()};
    for (int i = 0; i < 4; ++i) {
        const QString name = window + QLatin1String(kRectParts[i]);
        int part = parts[i];
        reader.Into(key, name, part);
        // Positions may be negative (a screen left of the first), sizes not.
        const int lowest = i < 2 ? -kMaxWindowPlace : 0;
        if (part < lowest || part > kMaxWindowPlace) {
            invalid << name;
        } else {
            parts[i] = part;
        }
    }
    rect = QRect(parts[1], parts[0], parts[2], parts[3]);
}

void WriteRect(TSettingsStore& store, const QString& key, const QString& window, const QRect& rect)
{
    const int parts[4] = {rect.top(), rect.left(), rect.width(), rect.height()};
    for (int i = 0; i < 4; ++i) {
        store.SetValue(key, window + QLatin1String(kRectParts[i]), TStoreValue::Integer(parts[i]));
    }
}

// Deletes Key and writes one value per entry, so that entries the user
// removed leave the store too. A key that holds exactly these entries is left
// alone, so that the store has nothing of it to write back.
void ReplaceKey(TSettingsStore& store, const QString& key,
                const QList<std::pair<QString, TStoreValue>>& entries)
{
    // Entries of the same name become one value in the place of the first,
    // the later data winning, as the store's own SetValue does.
    QList<std::pair<QString, TStoreValue>> values;
    QHash<QString, qsizetype> at;
    for (const auto& [name, value] : entries) {
        const auto found = at.constFind(name);
        if (found == at.cend()) {
            at.insert(name, values.size());
            values.append({name, value});
        } else {
            values[*found].second = value;
        }
    }
    if (store.KeyExists(key) && store.Values(key) == values) {
        return;
    }
    store.DeleteKey(key);
    store.CreateKey(key);
    for (const auto& [name, value] : values) {
        store.SetValue(key, name, value);
    }
}

} // namespace

QString SettingsKey()
{
    return QStringLiteral("\\Software\\Zelbo\\Morvix");
}

QString SettingsKey(const QString& path)
{
    return SettingsKey() + QLatin1Char('\\') + path;
}

QStringList LoadSettings(const TSettingsStore& store, TSettings& settings,
                         const std::function<void()>& mastersStep)
{
    QStringList invalid;
    TReader reader(store, invalid);
    TSettingsValues values = settings.Values();
    const QString main = SettingsKey();

    if (store.KeyExists(main)) {
        for (const TMainValue& entry : kMainValues) {
            const QString name = QLatin1String(entry.Name);
            if (const auto* action = std::get_if<TJoinAction>(&entry.Field)) {
                // One of three choices: a set flag chooses its action.
                bool chosen = false;
                reader.Into(main, name, chosen);
                if (chosen) {
                    values.OnJoin = *action;
                }
            } else {
                std::visit(
                    [&](auto field) {
                        if constexpr (!std::is_same_v<decltype(field), TJoinAction>) {
                            reader.Into(main, name, values.*field);
                        }
                    },
                    entry.Field);
            }
        }
    }

    for (const auto& [path, patterns] :
         {std::pair{kServerNamePatterns, &TSettingsValues::ServerNamePatterns},
          std::pair{kPlayerNamePatterns, &TSettingsValues::PlayerNamePatterns}}) {
        if (store.KeyExists(SettingsKey(path))) {
            values.*patterns = store.ValueNames(SettingsKey(path));
        }
    }

    const QString colors = SettingsKey(QStringLiteral("Colors"));
    if (store.KeyExists(colors)) {
        for (int color = 0; color < ColorSettingCount; ++color) {
            const QString name = QLatin1String(TSettings::ColorName(TColorSetting(color)));
            if (const auto number = reader.Number(colors, name)) {
                values.Colors[color].Value = std::uint32_t(*number);
            }
        }
    }

    if (mastersStep) {
        mastersStep();
    }

    const QString games = SettingsKey(QStringLiteral("Games"));
    if (store.KeyExists(games)) {
        for (TGameType game : TSettings::GamePathOrder()) {
            reader.Into(games, QLatin1String(TSettings::GamePathName(game)),
                        values.GamePaths[game]);
        }
    }

    const QString buddies = SettingsKey(QStringLiteral("Buddies"));
    if (store.KeyExists(buddies)) {
        for (const auto& [name, value] : store.Values(buddies)) {
            // A mark of the wrong kind is reported; the buddy stays, marked
            // case-sensitive as a new entry is.
            TBuddy buddy{BytesOfText(name), true};
            if (IsNumberKind(value.Kind)) {
                buddy.CaseSensitive = value.Number != 0;
            } else {
                invalid << name;
            }
            values.Buddies.append(buddy);
        }
    }

    const QString windows = SettingsKey(QStringLiteral("Windows"));
    if (store.KeyExists(windows)) {
        ReadRect(reader, invalid, windows, QStringLiteral("List"), values.ListRect);
        ReadRect(reader, invalid, windows, QStringLiteral("Remote"), values.RemoteRect);
    }
    // The server list's own layout, kept as texts.
    TListLayout& layout = values.ListLayout;
    const QString columns = SettingsKey(QStringLiteral("Windows\\Columns"));
    if (const auto sizes = reader.Numbers(columns, QStringLiteral("Sizes"))) {
        if (std::all_of(sizes->begin(), sizes->end(),
                        [](int size) { return size >= 0 && size <= kMaxColumnWidth; })) {
            layout.Sizes = *sizes;
        } else {
            invalid << QStringLiteral("Sizes");
        }
    }
    if (const auto order = reader.Numbers(columns, QStringLiteral("Order"))) {
        layout.Order = *order;
    }
    const QString sort = SettingsKey(QStringLiteral("Windows\\Sort"));
    if (const auto ascending = reader.Numbers(sort, QStringLiteral("Ascending"));
        ascending && ascending->size() == 1) {
        layout.Ascending = ascending->first() != 0;
    }
    if (const auto column = reader.Numbers(sort, QStringLiteral("SortCol"));
        column && column->size() == 1) {
        layout.SortCol = column->first();
    }

    settings.Change([&](TSettingsValues& live) { live = values; });
    return invalid;
}

QString InvalidDataTypeMessage(const QStringList& names)
{
    QStringList lines;
    for (const QString& name : names) {
        lines << QStringLiteral("Invalid data type for '%1'").arg(name);
    }
    return lines.join(QLatin1Char('\n'));
}

bool SaveSettings(TSettingsStore& store, const TSettingsValues& values)
{
    const QString main = SettingsKey();
    store.CreateKey(main);
    for (const TMainValue& entry : kMainValues) {
        const QString name = QLatin1String(entry.Name);
        std::visit(
            [&](auto field) {
                using T = decltype(field);
                if constexpr (std::is_same_v<T, TJoinAction>) {
                    store.SetValue(main, name, TStoreValue::Flag(values.OnJoin == field));
                } else if constexpr (std::is_same_v<T, bool TSettingsValues::*>) {
                    store.SetValue(main, name, TStoreValue::Flag(values.*field));
                } else if constexpr (std::is_same_v<T, int TSettingsValues::*>) {
                    store.SetValue(main, name, TStoreValue::Integer(values.*field));
                } else {
                    store.SetValue(main, name, TStoreValue::FromText(values.*field));
                }
            },
            entry.Field);
    }

    for (const auto& [path, patterns] :
         {std::pair{kServerNamePatterns, &values.ServerNamePatterns},
          std::pair{kPlayerNamePatterns, &values.PlayerNamePatterns}}) {
        QList<std::pair<QString, TStoreValue>> entries;
        for (const QString& pattern : *patterns) {
            entries.append({pattern, TStoreValue::FromText(QString())});
        }
        ReplaceKey(store, SettingsKey(path), entries);
    }

    const QString colors = SettingsKey(QStringLiteral("Colors"));
    store.CreateKey(colors);
    for (int color = 0; color < ColorSettingCount; ++color) {
        store.SetValue(colors, QLatin1String(TSettings::ColorName(TColorSetting(color))),
                       TStoreValue::Colour(values.Colors[color].Value));
    }

    const QString games = SettingsKey(QStringLiteral("Games"));
    store.CreateKey(games);
    for (TGameType game : TSettings::GamePathOrder()) {
        store.SetValue(games, QLatin1String(TSettings::GamePathName(game)),
                       TStoreValue::FromText(values.GamePaths[game]));
    }

    QList<std::pair<QString, TStoreValue>> buddies;
    for (const TBuddy& buddy : values.Buddies) {
        buddies.append({StoredText(buddy.Pattern), TStoreValue::Flag(buddy.CaseSensitive)});
    }
    ReplaceKey(store, SettingsKey(QStringLiteral("Buddies")), buddies);

    const QString windows = SettingsKey(QStringLiteral("Windows"));
    store.CreateKey(windows);
    WriteRect(store, windows, QStringLiteral("List"), values.ListRect);
    WriteRect(store, windows, QStringLiteral("Remote"), values.RemoteRect);
    const TListLayout& layout = values.ListLayout;
    const QString columns = SettingsKey(QStringLiteral("Windows\\Columns"));
    store.SetValue(columns, QStringLiteral("Sizes"),
                   TStoreValue::FromText(JoinNumbers(layout.Sizes)));
    store.SetValue(columns, QStringLiteral("Order"),
                   TStoreValue::FromText(JoinNumbers(layout.Order)));
    const QString sort = SettingsKey(QStringLiteral("Windows\\Sort"));
    store.SetValue(
        sort, QStringLiteral("Ascending"),
        TStoreValue::FromText(layout.Ascending ? QStringLiteral("1") : QStringLiteral("0")));
    store.SetValue(sort, QStringLiteral("SortCol"),
                   TStoreValue::FromText(QString::number(layout.SortCol)));

    return store.Save();
}

QRect PlaceOnScreen(const QRect& stored, const QList<QRect>& screens)
{
    if (!stored.isValid()) {
        return QRect();
    }
    const QRect* best = nullptr;
    qint64 bestArea = 0;
    for (const QRect& screen : screens) {
        const QRect common = screen.intersected(stored);
        const qint64 area = common.isValid() ? qint64(common.width()) * common.height() : 0;
        if (area > bestArea) {
            best = &screen;
            bestArea = area;
        }
    }
    if (!best) {
        return QRect();
    }
    const int width = qMin(stored.width(), best->width());
    const int height = qMin(stored.height(), best->height());
    const int left = qBound(best->left(), stored.left(), best->left() + best->width() - width);
    const int top = qBound(best->top(), stored.top(), best->top() + best->height() - height);
    return QRect(left, top, width, height);
}

bool StoredStartInTray(const TSettingsStore& store)
{
    const std::optional<TStoreValue> value = store.Value(SettingsKey(), QStringLiteral("OSTray"));
    return value && IsNumberKind(value->Kind) && value->Number != 0;
}

void LoadSettingsFile(TFileSettingsStore& store, TDialogs& dialogs)
{
    const TFileSettingsStore::TLoadResult result = store.Load();
    if (result == TFileSettingsStore::TLoadResult::Loaded && !store.Problems().isEmpty()) {
        // Only so many lines fit a message box.
        constexpr qsizetype shown = 12;
        const QStringList& problems = store.Problems();
        QString lines = problems.mid(0, shown).join(QLatin1Char('\n'));
        if (problems.size() > shown) {
            lines += QStringLiteral("\n... and %1 more.").arg(problems.size() - shown);
        }
        dialogs.Warning(QStringLiteral("Settings"),
                        QStringLiteral("Some entries of the settings file %1 could not be read:\n"
                                       "%2\nMorvix goes on without them and leaves them in the "
                                       "file as they are.")
                            .arg(store.Path(), lines));
        return;
    }
    if (result != TFileSettingsStore::TLoadResult::Damaged) {
        return;
    }
    const QString where =
        store.MovedAsideTo().isEmpty()
            ? QStringLiteral("It could not be moved aside and is left where it is.")
            : QStringLiteral("It has been moved to %1.").arg(store.MovedAsideTo());
    dialogs.Warning(QStringLiteral("Settings"),
                    QStringLiteral("The settings file %1 could not be read. %2\n%3\n"
                                   "Morvix starts with its default settings.")
                        .arg(store.Path(), store.Problems().value(0), where));
}

double ToStoredDate(const QDateTime& when)
{
    const QDateTime local = when.toLocalTime();
    return double(QDate(1899, 12, 30).daysTo(local.date())) +
           double(local.time().msecsSinceStartOfDay()) / 86400000.0;
}

double ReadLastNews(const TSettingsStore& store)
{
    const std::optional<TStoreValue> value = store.Value(SettingsKey(), QStringLiteral("LastNews"));
    if (!value || value->Kind != TStoreKind::Binary || value->Bytes.size() != 8) {
        return 0.0;
    }
    const quint64 bits = qFromLittleEndian<quint64>(value->Bytes.constData());
    double days = 0.0;
    std::memcpy(&days, &bits, sizeof days);
    return days;
}

void WriteLastNews(TSettingsStore& store, const QDateTime& when)
{
    const double days = ToStoredDate(when);
    quint64 bits = 0;
    std::memcpy(&bits, &days, sizeof bits);
    QByteArray bytes(8, '\0');
    qToLittleEndian(bits, bytes.data());
    store.SetValue(SettingsKey(), QStringLiteral("LastNews"), TStoreValue::Binary(bytes));
}

bool IsNewsDue(const TSettingsStore& store, const QDateTime& now)
{
    // Also a NaN or a date in the future counts as due: the check is not
    // held up for ever by a damaged value.
    const double since = ToStoredDate(now) - ReadLastNews(store);
    return !(since < 20.0) || since < 0.0;
}
