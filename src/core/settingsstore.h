#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <optional>

// The kinds of value the settings store keeps.
enum class TStoreKind : std::uint8_t
{
    Integer, // a 32-bit number
    Flag,    // true or false
    Text,    // a string
    Colour,  // 0x00BBGGRR
    Binary,  // raw bytes (the 8-byte "LastNews" date)
};

struct TStoreValue
{
    TStoreKind Kind = TStoreKind::Integer;
    std::int32_t Number = 0; // Integer, Flag (0 or 1) and Colour
    QString Text;            // Text
    QByteArray Bytes;        // Binary

    static TStoreValue Integer(std::int32_t value) { return {TStoreKind::Integer, value, {}, {}}; }
    static TStoreValue Flag(bool value) { return {TStoreKind::Flag, value ? 1 : 0, {}, {}}; }
    static TStoreValue FromText(const QString& text) { return {TStoreKind::Text, 0, text, {}}; }
    static TStoreValue Colour(std::uint32_t bgr)
    {
        return {TStoreKind::Colour, std::int32_t(bgr), {}, {}};
    }
    static TStoreValue Binary(const QByteArray& bytes)
    {
        return {TStoreKind::Binary, 0, {}, bytes};
    }

    bool operator==(const TStoreValue&) const = default;
};

// The per-user hierarchical settings store: keys hold sub-keys and typed,
// named values, both listed in the order they were created. Key paths are
// written with backslashes, "\Software\Zelbo\Morvix\Colors"; the leading
// backslash is optional. Names compare exactly.
//
// Changes stay in memory until Save. This is the one interface the program
// uses, so a Windows registry backend can replace the file without touching
// its callers.
class TSettingsStore
{
public:
    virtual ~TSettingsStore() = default;

    virtual bool KeyExists(const QString& key) const = 0;
    // Creates the key and any missing parents.
    virtual void CreateKey(const QString& key) = 0;
    // Deletes the key with all its values and sub-keys; false when it did not exist.
    virtual bool DeleteKey(const QString& key) = 0;
    // Sub-key names and value names of a key, in creation order; empty when
    // the key does not exist.
    virtual QStringList SubKeys(const QString& key) const = 0;
    virtual QStringList ValueNames(const QString& key) const = 0;

    virtual std::optional<TStoreValue> Value(const QString& key, const QString& name) const = 0;
    // Writes a value, creating the key when needed; an existing value of that
    // name is replaced in its place.
    virtual void SetValue(const QString& key, const QString& name, const TStoreValue& value) = 0;
    virtual bool DeleteValue(const QString& key, const QString& name) = 0;

    // Makes every change permanent. On failure the previous permanent state is
    // kept whole and ErrorString says why.
    virtual bool Save() = 0;
    virtual QString ErrorString() const = 0;
};

// The store as one file in the user's configuration folder. A file that
// cannot be read is moved aside under a dated name and the store starts
// empty; saving writes a new file and replaces the old one only when the
// whole write succeeded.
class TFileSettingsStore : public TSettingsStore
{
public:
    enum class TLoadResult
    {
        Loaded,  // the file was read
        Missing, // no file yet: an empty store
        Damaged, // unreadable: moved aside (MovedAsideTo), an empty store
    };

    explicit TFileSettingsStore(const QString& path);
    ~TFileSettingsStore() override;

    // The file Morvix uses: "settings.json" in TAppPaths::ConfigDir().
    static QString DefaultPath();

    TLoadResult Load();
    const QString& Path() const { return Path_; }
    // Where a damaged file was moved, after Load returned Damaged.
    const QString& MovedAsideTo() const { return MovedAsideTo_; }

    bool KeyExists(const QString& key) const override;
    void CreateKey(const QString& key) override;
    bool DeleteKey(const QString& key) override;
    QStringList SubKeys(const QString& key) const override;
    QStringList ValueNames(const QString& key) const override;
    std::optional<TStoreValue> Value(const QString& key, const QString& name) const override;
    void SetValue(const QString& key, const QString& name, const TStoreValue& value) override;
    bool DeleteValue(const QString& key, const QString& name) override;
    bool Save() override;
    QString ErrorString() const override { return Error_; }

    struct TKey;

private:
    QString Path_;
    QString MovedAsideTo_;
    QString Error_;
    std::unique_ptr<TKey> Root_;
};
