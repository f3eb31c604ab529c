#include "core/settingsstore.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <utility>
#include <vector>

#include "model/apppaths.h"

struct TFileSettingsStore::TKey
{
    QString Name;
    QList<std::pair<QString, TStoreValue>> Values;
    std::vector<std::unique_ptr<TKey>> Keys;

    TKey* Child(const QString& name) const
    {
        for (const auto& key : Keys) {
            if (key->Name == name) {
                return key.get();
            }
        }
        return nullptr;
    }

    qsizetype ValueIndex(const QString& name) const
    {
        for (qsizetype i = 0; i < Values.size(); ++i) {
            if (Values[i].first == name) {
                return i;
            }
        }
        return -1;
    }
};

namespace {

using TKey = TFileSettingsStore::TKey;

const QString kFormat = QStringLiteral("Morvix settings");
constexpr int kVersion = 1;

QStringList PathParts(const QString& key)
{
    return key.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
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
    QJsonArray keys;
    for (const auto& child : key.Keys) {
        keys.append(KeyToJson(*child));
    }
    return {{"name", key.Name}, {"values", values}, {"keys", keys}};
}

bool ValueFromJson(const QJsonObject& entry, TStoreValue& value)
{
    const QString kind = entry.value("kind").toString();
    const QJsonValue data = entry.value("data");
    const auto whole = [&](qint64 low, qint64 high, qint64& out) {
        if (!data.isDouble()) {
            return false;
        }
        const double number = data.toDouble();
        out = qint64(number);
        return double(out) == number && out >= low && out <= high;
    };
    qint64 number = 0;
    if (kind == QLatin1String("integer") && whole(INT32_MIN, INT32_MAX, number)) {
        value = TStoreValue::Integer(std::int32_t(number));
    } else if (kind == QLatin1String("flag") && data.isBool()) {
        value = TStoreValue::Flag(data.toBool());
    } else if (kind == QLatin1String("text") && data.isString()) {
        value = TStoreValue::FromText(data.toString());
    } else if (kind == QLatin1String("colour") && whole(0, UINT32_MAX, number)) {
        value = TStoreValue::Colour(std::uint32_t(number));
    } else if (kind == QLatin1String("binary") && data.isString()) {
        const QByteArray hex = data.toString().toLatin1();
        value = TStoreValue::Binary(QByteArray::fromHex(hex));
        return value.Bytes.toHex() == hex.toLower();
    } else {
        return false;
    }
    return true;
}

bool KeyFromJson(const QJsonObject& object, TKey& key, int depth)
{
    if (depth > 64 || !object.value("name").isString() || !object.value("values").isArray() ||
        !object.value("keys").isArray()) {
        return false;
    }
    key.Name = object.value("name").toString();
    for (const QJsonValue& item : object.value("values").toArray()) {
        const QJsonObject entry = item.toObject();
        TStoreValue value;
        if (!entry.value("name").isString() || !ValueFromJson(entry, value)) {
            return false;
        }
        const QString name = entry.value("name").toString();
        if (key.ValueIndex(name) >= 0) {
            return false;
        }
        key.Values.append({name, value});
    }
    for (const QJsonValue& item : object.value("keys").toArray()) {
        auto child = std::make_unique<TKey>();
        if (!item.isObject() || !KeyFromJson(item.toObject(), *child, depth + 1) ||
            key.Child(child->Name)) {
            return false;
        }
        key.Keys.push_back(std::move(child));
    }
    return true;
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

TFileSettingsStore::TLoadResult TFileSettingsStore::Load()
{
    Root_ = std::make_unique<TKey>();
    MovedAsideTo_.clear();
    QFile file(Path_);
    if (!file.exists()) {
        return TLoadResult::Missing;
    }

    bool readable = file.open(QIODevice::ReadOnly);
    if (readable) {
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
        const QJsonObject top = document.object();
        auto root = std::make_unique<TKey>();
        readable = error.error == QJsonParseError::NoError && document.isObject() &&
                   top.value("format").toString() == kFormat &&
                   top.value("version").toInt() == kVersion &&
                   KeyFromJson(top.value("root").toObject(), *root, 0);
        if (readable) {
            Root_ = std::move(root);
        }
        file.close();
    }
    if (readable) {
        return TLoadResult::Loaded;
    }

    // Keep what the user had: the damaged file moves aside, never over another.
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString aside = Path_ + QStringLiteral(".damaged-") + stamp;
    for (int n = 2; QFileInfo::exists(aside); ++n) {
        aside = Path_ + QStringLiteral(".damaged-") + stamp + QLatin1Char('-') + QString::number(n);
    }
    if (QFile::rename(Path_, aside) || QFile::copy(Path_, aside)) {
        MovedAsideTo_ = aside;
    }
    return TLoadResult::Damaged;
}

bool TFileSettingsStore::KeyExists(const QString& key) const
{
    const TKey* node = Root_.get();
    for (const QString& part : PathParts(key)) {
        if (!(node = node->Child(part))) {
            return false;
        }
    }
    return true;
}

void TFileSettingsStore::CreateKey(const QString& key)
{
    TKey* node = Root_.get();
    for (const QString& part : PathParts(key)) {
        TKey* child = node->Child(part);
        if (!child) {
            node->Keys.push_back(std::make_unique<TKey>());
            child = node->Keys.back().get();
            child->Name = part;
        }
        node = child;
    }
}

bool TFileSettingsStore::DeleteKey(const QString& key)
{
    const QStringList parts = PathParts(key);
    if (parts.isEmpty()) {
        return false;
    }
    TKey* parent = Root_.get();
    for (qsizetype i = 0; i + 1 < parts.size(); ++i) {
        if (!(parent = parent->Child(parts[i]))) {
            return false;
        }
    }
    auto& keys = parent->Keys;
    const auto found = std::find_if(keys.begin(), keys.end(),
                                    [&](const auto& child) { return child->Name == parts.last(); });
    if (found == keys.end()) {
        return false;
    }
    keys.erase(found);
    return true;
}

QStringList TFileSettingsStore::SubKeys(const QString& key) const
{
    QStringList names;
    const TKey* node = Root_.get();
    for (const QString& part : PathParts(key)) {
        if (!(node = node->Child(part))) {
            return names;
        }
    }
    for (const auto& child : node->Keys) {
        names << child->Name;
    }
    return names;
}

QStringList TFileSettingsStore::ValueNames(const QString& key) const
{
    QStringList names;
    const TKey* node = Root_.get();
    for (const QString& part : PathParts(key)) {
        if (!(node = node->Child(part))) {
            return names;
        }
    }
    for (const auto& value : node->Values) {
        names << value.first;
    }
    return names;
}

std::optional<TStoreValue> TFileSettingsStore::Value(const QString& key, const QString& name) const
{
    const TKey* node = Root_.get();
    for (const QString& part : PathParts(key)) {
        if (!(node = node->Child(part))) {
            return std::nullopt;
        }
    }
    const qsizetype at = node->ValueIndex(name);
    if (at < 0) {
        return std::nullopt;
    }
    return node->Values[at].second;
}

void TFileSettingsStore::SetValue(const QString& key, const QString& name, const TStoreValue& value)
{
    CreateKey(key);
    TKey* node = Root_.get();
    for (const QString& part : PathParts(key)) {
        node = node->Child(part);
    }
    const qsizetype at = node->ValueIndex(name);
    if (at >= 0) {
        node->Values[at].second = value;
    } else {
        node->Values.append({name, value});
    }
}

bool TFileSettingsStore::DeleteValue(const QString& key, const QString& name)
{
    TKey* node = Root_.get();
    for (const QString& part : PathParts(key)) {
        if (!(node = node->Child(part))) {
            return false;
        }
    }
    const qsizetype at = node->ValueIndex(name);
    if (at < 0) {
        return false;
    }
    node->Values.removeAt(at);
    return true;
}

bool TFileSettingsStore::Save()
{
    Error_.clear();
    const QFileInfo info(Path_);
    if (!QDir().mkpath(info.absolutePath())) {
        Error_ = QStringLiteral("Cannot create the folder %1.").arg(info.absolutePath());
        return false;
    }
    const QJsonObject top{{"format", kFormat}, {"version", kVersion}, {"root", KeyToJson(*Root_)}};
    QSaveFile file(Path_);
    if (!file.open(QIODevice::WriteOnly)) {
        Error_ = QStringLiteral("Cannot write %1: %2").arg(Path_, file.errorString());
        return false;
    }
    const QByteArray text = QJsonDocument(top).toJson(QJsonDocument::Indented);
    if (file.write(text) != text.size() || !file.commit()) {
        Error_ = QStringLiteral("Cannot write %1: %2").arg(Path_, file.errorString());
        file.cancelWriting();
        return false;
    }
    return true;
}
