#include "core/settingsstore.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <cmath>

#include "model/apppaths.h"

struct TFileSettingsStore::TKey
{
    QString Name;
    QList<std::pair<QString, TStoreValue>> Values;
    std::vector<std::unique_ptr<TKey>> Keys;
    // Where each name is, so that a key of many values or sub-keys is
    // searched in constant time.
    QHash<QString, qsizetype> ValueAt;
    QHash<QString, qsizetype> KeyAt;
    // Entries of the file that could not be read: written back as they are,
    // after the others, until this run writes an entry of the same name.
    QJsonArray RawValues;
    QJsonArray RawKeys;

    TKey* Child(const QString& name) const
    {
        const auto at = KeyAt.constFind(name);
        return at == KeyAt.cend() ? nullptr : Keys[*at].get();
    }

    TKey& AddChild(const QString& name)
    {
        DropRaw(RawKeys, name);
        KeyAt.insert(name, qsizetype(Keys.size()));
        Keys.push_back(std::make_unique<TKey>());
        Keys.back()->Name = name;
        return *Keys.back();
    }

    bool RemoveChild(const QString& name)
    {
        const bool raw = DropRaw(RawKeys, name);
        const auto at = KeyAt.constFind(name);
        if (at == KeyAt.cend()) {
            return raw;
        }
        const qsizetype index = *at;
        Keys.erase(Keys.begin() + index);
        KeyAt.remove(name);
        for (auto i = std::size_t(index); i < Keys.size(); ++i) {
            KeyAt[Keys[i]->Name] = qsizetype(i);
        }
        return true;
    }

    qsizetype ValueIndex(const QString& name) const { return ValueAt.value(name, -1); }

    // False when the value was there already, unchanged.
    bool Set(const QString& name, const TStoreValue& value)
    {
        const bool raw = DropRaw(RawValues, name);
        const qsizetype at = ValueIndex(name);
        if (at >= 0) {
            if (Values[at].second == value) {
                return raw;
            }
            Values[at].second = value;
            return true;
        }
        ValueAt.insert(name, Values.size());
        Values.append({name, value});
        return true;
    }

    bool Remove(const QString& name)
    {
        const bool raw = DropRaw(RawValues, name);
        const qsizetype at = ValueIndex(name);
        if (at < 0) {
            return raw;
        }
        Values.removeAt(at);
        ValueAt.remove(name);
        for (qsizetype i = at; i < Values.size(); ++i) {
            ValueAt[Values[i].first] = i;
        }
        return true;
    }

    static bool DropRaw(QJsonArray& raw, const QString& name)
    {
        bool dropped = false;
        for (qsizetype i = raw.size() - 1; i >= 0; --i) {
            if (raw[i].toObject().value(QLatin1String("name")) == QJsonValue(name)) {
                raw.removeAt(i);
                dropped = true;
            }
        }
        return dropped;
    }
};

struct TFileSettingsStore::TChange
{
    enum class TOp
    {
        CreateKey,
        DeleteKey,
        SetValue,
        DeleteValue,
    };
    TOp Op;
    QStringList Path;
    QString Name;
    TStoreValue Value;
};

namespace {

using TKey = TFileSettingsStore::TKey;
using TChange = TFileSettingsStore::TChange;

const QString kFormat = QStringLiteral("Morvix settings");
constexpr int kVersion = 1;

QStringList PathParts(const QString& key)
{
    return key.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
}

QString PathText(const QStringList& parts)
{
    return QLatin1Char('\\') + parts.join(QLatin1Char('\\'));
}

const char* KindName(TStoreKind kind)
{
    switch (kind) {
    case TStoreKind::Integer:
        return "integer";
    case TStoreKind::Flag:
        return "flag";
    case TStoreKind::Text:
        return "text";
    case TStoreKind::Colour:
        return "colour";
    case TStoreKind::Binary:
        return "binary";
    }
    return "integer";
}

QJsonObject KeyToJson(const TKey& key)
{
    QJsonArray values;
    for (const auto& [name, value] : key.Values) {
        QJsonObject entry{{"name", name}, {"kind", KindName(value.Kind)}};
        switch (value.Kind) {
        case TStoreKind::Integer:
            entry["data"] = value.Number;
            break;
        case TStoreKind::Flag:
            entry["data"] = value.Number != 0;
            break;
        case TStoreKind::Text:
            entry["data"] = value.Text;
            break;
        case TStoreKind::Colour:
            entry["data"] = qint64(std::uint32_t(value.Number));
            break;
        case TStoreKind::Binary:
            entry["data"] = QString::fromLatin1(value.Bytes.toHex());
            break;
        }
        values.append(entry);
    }
    for (const QJsonValue& raw : key.RawValues) {
        values.append(raw);
    }
    QJsonArray keys;
    for (const auto& child : key.Keys) {
        keys.append(KeyToJson(*child));
    }
    for (const QJsonValue& raw : key.RawKeys) {
        keys.append(raw);
    }
    return {{"name", key.Name}, {"values", values}, {"keys", keys}};
}

QByteArray DocumentOf(const TKey& root)
{
    const QJsonObject top{{"format", kFormat}, {"version", kVersion}, {"root", KeyToJson(root)}};
    return QJsonDocument(top).toJson(QJsonDocument::Indented);
}

// Why an entry's data cannot be a value of its kind; empty when it can.
QString ValueFromJson(const QJsonObject& entry, TStoreValue& value)
{
    const QString kind = entry.value(QLatin1String("kind")).toString();
    const QJsonValue data = entry.value(QLatin1String("data"));
    // A number is checked against the range before it is converted: a
    // double outside it has no integer to become.
    const auto whole = [&](double low, double high, qint64& out) {
        if (!data.isDouble()) {
            return false;
        }
        const double number = data.toDouble();
        if (!std::isfinite(number) || number < low || number > high ||
            std::trunc(number) != number) {
            return false;
        }
        out = qint64(number);
        return true;
    };
    const QString unfit = QStringLiteral("holds data that does not fit its kind");
    qint64 number = 0;
    if (kind == QLatin1String("integer")) {
        if (!whole(INT32_MIN, INT32_MAX, number)) {
            return unfit;
        }
        value = TStoreValue::Integer(std::int32_t(number));
    } else if (kind == QLatin1String("flag")) {
        if (!data.isBool()) {
            return unfit;
        }
        value = TStoreValue::Flag(data.toBool());
    } else if (kind == QLatin1String("text")) {
        if (!data.isString()) {
            return unfit;
        }
        value = TStoreValue::FromText(data.toString());
        if (value.Text.size() > TFileSettingsStore::MaxTextLength) {
            return QStringLiteral("is longer than %1 characters")
                .arg(TFileSettingsStore::MaxTextLength);
        }
    } else if (kind == QLatin1String("colour")) {
        if (!whole(0, UINT32_MAX, number)) {
            return unfit;
        }
        value = TStoreValue::Colour(std::uint32_t(number));
    } else if (kind == QLatin1String("binary")) {
        const QString hex = data.toString();
        if (!data.isString() || hex.size() > 2 * TFileSettingsStore::MaxTextLength) {
            return unfit;
        }
        value = TStoreValue::Binary(QByteArray::fromHex(hex.toLatin1()));
        if (QString::fromLatin1(value.Bytes.toHex()) != hex.toLower()) {
            return unfit;
        }
    } else {
        return QStringLiteral("has a kind Morvix does not know");
    }
    return QString();
}

// Why a sub-key's name cannot be one; empty when it can.
QString KeyNameProblem(const QJsonValue& name, const TKey& parent)
{
    if (!name.isString()) {
        return QStringLiteral("has no name");
    }
    const QString text = name.toString();
    if (text.isEmpty()) {
        return QStringLiteral("has an empty name");
    }
    if (text.contains(QLatin1Char('\\'))) {
        return QStringLiteral("has a name holding a backslash");
    }
    if (text.size() > TFileSettingsStore::MaxNameLength) {
        return QStringLiteral("has a name longer than %1 characters")
            .arg(TFileSettingsStore::MaxNameLength);
    }
    if (parent.Child(text)) {
        return QStringLiteral("is there twice");
    }
    return QString();
}

QString EntryName(const QJsonValue& entry)
{
    const QString name = entry.toObject().value(QLatin1String("name")).toString();
    return name.size() > 80 ? name.left(80) + QStringLiteral("...") : name;
}

bool HasLists(const QJsonObject& object)
{
    return object.value(QLatin1String("values")).isArray() &&
           object.value(QLatin1String("keys")).isArray();
}

// Fills Key from Object; every entry that cannot be read is kept raw and named
// in Problems.
void KeyFromJson(const QJsonObject& object, TKey& key, const QStringList& path, int depth,
                 QStringList& problems)
{
    const QString where = PathText(path);
    for (const QJsonValue& item : object.value(QLatin1String("values")).toArray()) {
        const QJsonObject entry = item.toObject();
        const QJsonValue name = entry.value(QLatin1String("name"));
        QString problem;
        TStoreValue value;
        if (!item.isObject() || !name.isString()) {
            problem = QStringLiteral("has no name");
        } else if (name.toString().size() > TFileSettingsStore::MaxNameLength) {
            problem = QStringLiteral("has a name longer than %1 characters")
                          .arg(TFileSettingsStore::MaxNameLength);
        } else if (key.ValueIndex(name.toString()) >= 0) {
            problem = QStringLiteral("is there twice");
        } else {
            problem = ValueFromJson(entry, value);
        }
        if (problem.isEmpty()) {
            // An entry of the file never replaces another entry of the file
            // kept aside under the same name: both are written back.
            const QJsonArray kept = key.RawValues;
            key.Set(name.toString(), value);
            key.RawValues = kept;
        } else {
            key.RawValues.append(item);
            problems
                << QStringLiteral("%1: the value \"%2\" %3").arg(where, EntryName(item), problem);
        }
    }
    for (const QJsonValue& item : object.value(QLatin1String("keys")).toArray()) {
        const QJsonObject child = item.toObject();
        QString problem;
        if (!item.isObject() || !HasLists(child)) {
            problem = QStringLiteral("is not a key");
        } else if (depth >= TFileSettingsStore::MaxDepth) {
            problem = QStringLiteral("is nested too deeply");
        } else {
            problem = KeyNameProblem(child.value(QLatin1String("name")), key);
        }
        if (!problem.isEmpty()) {
            key.RawKeys.append(item);
            problems
                << QStringLiteral("%1: the key \"%2\" %3").arg(where, EntryName(item), problem);
            continue;
        }
        const QString name = child.value(QLatin1String("name")).toString();
        const QJsonArray kept = key.RawKeys;
        TKey& added = key.AddChild(name);
        key.RawKeys = kept;
        KeyFromJson(child, added, path + QStringList{name}, depth + 1, problems);
    }
}

// Reads a whole document into Root; false when it is no store document.
bool ParseDocument(const QByteArray& contents, TKey& root, QStringList& problems)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(contents, &error);
    const QJsonObject top = document.object();
    const QJsonObject rootObject = top.value(QLatin1String("root")).toObject();
    if (error.error != QJsonParseError::NoError || !document.isObject() ||
        top.value(QLatin1String("format")).toString() != kFormat ||
        top.value(QLatin1String("version")).toInt(-1) != kVersion || !HasLists(rootObject)) {
        return false;
    }
    KeyFromJson(rootObject, root, {}, 0, problems);
    return true;
}

// Makes Change in the tree below Root; false when it changed nothing.
bool ApplyTo(TKey& root, const TChange& change)
{
    using TOp = TChange::TOp;
    TKey* node = &root;
    bool changed = false;
    const bool creates = change.Op == TOp::CreateKey || change.Op == TOp::SetValue;
    const qsizetype walk =
        change.Op == TOp::DeleteKey ? change.Path.size() - 1 : change.Path.size();
    for (qsizetype i = 0; i < walk; ++i) {
        TKey* child = node->Child(change.Path[i]);
        if (!child) {
            if (!creates) {
                return false;
            }
            child = &node->AddChild(change.Path[i]);
            changed = true;
        }
        node = child;
    }
    switch (change.Op) {
    case TOp::CreateKey:
        return changed;
    case TOp::DeleteKey:
        return !change.Path.isEmpty() && node->RemoveChild(change.Path.last());
    case TOp::SetValue:
        return node->Set(change.Name, change.Value) || changed;
    case TOp::DeleteValue:
        return node->Remove(change.Name);
    }
    return false;
}

const TKey* Find(const TKey& root, const QString& key)
{
    const TKey* node = &root;
    for (const QString& part : PathParts(key)) {
        if (!(node = node->Child(part))) {
            return nullptr;
        }
    }
    return node;
}

} // namespace

TFileSettingsStore::TFileSettingsStore(const QString& path)
    : Path_(path), Root_(std::make_unique<TKey>())
{}

TFileSettingsStore::~TFileSettingsStore() = default;

QString TFileSettingsStore::DefaultPath()
{
    return TAppPaths::ConfigDir() + QStringLiteral("/settings.json");
}

TFileSettingsStore::TFileState TFileSettingsStore::ReadFile(QByteArray& contents,
                                                            QString& why) const
{
    QFile file(Path_);
    if (!file.exists()) {
        return TFileState::Missing;
    }
    if (QFileInfo(Path_).isDir()) {
        why = QStringLiteral("It is a folder.");
        return TFileState::Unusable;
    }
    if (file.size() > MaxFileBytes) {
        why = QStringLiteral("It is larger than %1 MB, far more than settings take.")
                  .arg(MaxFileBytes / (1024 * 1024));
        return TFileState::Unusable;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        why = file.errorString();
        return TFileState::Unusable;
    }
    // Read with the limit too: the file may have grown since its size was asked.
    contents = file.read(MaxFileBytes + 1);
    if (file.error() != QFileDevice::NoError || contents.size() > MaxFileBytes) {
        why = file.error() != QFileDevice::NoError
                  ? file.errorString()
                  : QStringLiteral("It is larger than %1 MB, far more than settings take.")
                        .arg(MaxFileBytes / (1024 * 1024));
        return TFileState::Unusable;
    }
    return TFileState::Read;
}

QString TFileSettingsStore::MoveAside()
{
    if (QFileInfo(Path_).isDir()) {
        return QString();
    }
    // Keep what the user had: the damaged file moves aside, never over another.
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString aside = Path_ + QStringLiteral(".damaged-") + stamp;
    for (int n = 2; QFileInfo::exists(aside); ++n) {
        aside = Path_ + QStringLiteral(".damaged-") + stamp + QLatin1Char('-') + QString::number(n);
    }
    if (QFile::rename(Path_, aside) || QFile::copy(Path_, aside)) {
        return aside;
    }
    return QString();
}

TFileSettingsStore::TLoadResult TFileSettingsStore::Load()
{
    Root_ = std::make_unique<TKey>();
    Changes_.clear();
    Problems_.clear();
    MovedAsideTo_.clear();
    QByteArray contents;
    QString why;
    switch (ReadFile(contents, why)) {
    case TFileState::Missing:
        return TLoadResult::Missing;
    case TFileState::Read:
        if (Read(contents)) {
            return TLoadResult::Loaded;
        }
        why = QStringLiteral("It is not a Morvix settings file.");
        break;
    case TFileState::Unusable:
        break;
    }
    Problems_ = QStringList{why};
    MovedAsideTo_ = MoveAside();
    return TLoadResult::Damaged;
}

bool TFileSettingsStore::Read(const QByteArray& contents)
{
    Root_ = std::make_unique<TKey>();
    Changes_.clear();
    Problems_.clear();
    auto root = std::make_unique<TKey>();
    if (!ParseDocument(contents, *root, Problems_)) {
        Problems_.clear();
        return false;
    }
    Root_ = std::move(root);
    return true;
}

QByteArray TFileSettingsStore::Document() const
{
    return DocumentOf(*Root_);
}

bool TFileSettingsStore::Apply(const TChange& change)
{
    if (!ApplyTo(*Root_, change)) {
        return false;
    }
    Changes_.push_back(change);
    return true;
}

bool TFileSettingsStore::KeyExists(const QString& key) const
{
    return Find(*Root_, key) != nullptr;
}

void TFileSettingsStore::CreateKey(const QString& key)
{
    Apply({TChange::TOp::CreateKey, PathParts(key), {}, {}});
}

bool TFileSettingsStore::DeleteKey(const QString& key)
{
    const QStringList parts = PathParts(key);
    return !parts.isEmpty() && Apply({TChange::TOp::DeleteKey, parts, {}, {}});
}

QStringList TFileSettingsStore::SubKeys(const QString& key) const
{
    QStringList names;
    if (const TKey* node = Find(*Root_, key)) {
        names.reserve(qsizetype(node->Keys.size()));
        for (const auto& child : node->Keys) {
            names << child->Name;
        }
    }
    return names;
}

QStringList TFileSettingsStore::ValueNames(const QString& key) const
{
    QStringList names;
    if (const TKey* node = Find(*Root_, key)) {
        names.reserve(node->Values.size());
        for (const auto& value : node->Values) {
            names << value.first;
        }
    }
    return names;
}

QList<std::pair<QString, TStoreValue>> TFileSettingsStore::Values(const QString& key) const
{
    const TKey* node = Find(*Root_, key);
    return node ? node->Values : QList<std::pair<QString, TStoreValue>>();
}

std::optional<TStoreValue> TFileSettingsStore::Value(const QString& key, const QString& name) const
{
    const TKey* node = Find(*Root_, key);
    const qsizetype at = node ? node->ValueIndex(name) : -1;
    if (at < 0) {
        return std::nullopt;
    }
    return node->Values[at].second;
}

void TFileSettingsStore::SetValue(const QString& key, const QString& name, const TStoreValue& value)
{
    Apply({TChange::TOp::SetValue, PathParts(key), name, value});
}

bool TFileSettingsStore::DeleteValue(const QString& key, const QString& name)
{
    return Apply({TChange::TOp::DeleteValue, PathParts(key), name, {}});
}

bool TFileSettingsStore::Save()
{
    Error_.clear();
    const QFileInfo info(Path_);
    if (!QDir().mkpath(info.absolutePath())) {
        Error_ = QStringLiteral("Cannot create the folder %1.").arg(info.absolutePath());
        return false;
    }

    // This run's changes go into what the file holds now. A file that is gone
    // gets the whole store; one that can no longer be read is moved aside
    // first, so that nothing the user had is written over.
    std::unique_ptr<TKey> merged;
    QByteArray contents;
    QString why;
    TFileState state = ReadFile(contents, why);
    if (state == TFileState::Read) {
        auto current = std::make_unique<TKey>();
        QStringList ignored;
        if (ParseDocument(contents, *current, ignored)) {
            for (const TChange& change : Changes_) {
                ApplyTo(*current, change);
            }
            merged = std::move(current);
        } else {
            state = TFileState::Unusable;
        }
    }
    if (state == TFileState::Unusable && MoveAside().isEmpty()) {
        Error_ = QStringLiteral("%1 can no longer be read and cannot be moved aside.").arg(Path_);
        return false;
    }

    QSaveFile file(Path_);
    if (!file.open(QIODevice::WriteOnly)) {
        Error_ = QStringLiteral("Cannot write %1: %2").arg(Path_, file.errorString());
        return false;
    }
    const QByteArray text = DocumentOf(merged ? *merged : *Root_);
    if (file.write(text) != text.size() || !file.commit()) {
        Error_ = QStringLiteral("Cannot write %1: %2").arg(Path_, file.errorString());
        file.cancelWriting();
        return false;
    }
    // The store keeps this run's own view: the file as it was loaded and this
    // run's changes. A value written later as it was loaded is then no change
    // of this run, whatever the file holds by now.
    Changes_.clear();
    return true;
}
