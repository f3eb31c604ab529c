#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

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
    // Every value of a key with its name, in creation order: one walk over
    // a key that may hold many values.
    virtual QList<std::pair<QString, TStoreValue>> Values(const QString& key) const = 0;

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

// The store as one file in the user's configuration folder.
//
// Loading judges each entry on its own: a value that cannot be read (an
// unknown kind, data that does not fit its kind, a repeated name, a text
// beyond MaxTextLength) and a key whose name cannot be one (empty, holding a
// backslash, repeated) are left out of the store, named in Problems(), and
// kept as they are for the file. A file that is no store at all, or larger
// than MaxFileBytes, is moved aside under a dated name and the store starts
// empty.
//
// Saving writes back only what this run changed: the file is read again,
// this run's changes are made to what it holds now, and the result replaces
// it only when the whole new file was written. Keys and values this run did
// not touch stay as the file has them, whoever wrote them since (the user by
// hand, another program). The store itself keeps showing this run's view
// (the file as loaded with this run's changes), so that writing a value as
// it was loaded is no change, also after a save.
class TFileSettingsStore : public TSettingsStore
{
public:
    enum class TLoadResult
    {
        Loaded,  // the file was read (Problems may name entries left out)
        Missing, // no file yet: an empty store
        Damaged, // unreadable: moved aside (MovedAsideTo), an empty store
    };

    // Generous limits: a real store is a few kilobytes. Beyond them a file
    // is refused before it is parsed, and a text or a name is left out.
    static constexpr qint64 MaxFileBytes = 16 * 1024 * 1024;
    static constexpr qsizetype MaxTextLength = 64 * 1024;
    static constexpr qsizetype MaxNameLength = 1024;
    static constexpr int MaxDepth = 64;

    explicit TFileSettingsStore(const QString& path);
    ~TFileSettingsStore() override;

    // The file Morvix uses: "settings.json" in TAppPaths::ConfigDir().
    static QString DefaultPath();

    TLoadResult Load();
    const QString& Path() const { return Path_; }
    // Where a damaged file was moved, after Load returned Damaged.
    const QString& MovedAsideTo() const { return MovedAsideTo_; }
    // The entries the last Load left out, one line each.
    const QStringList& Problems() const { return Problems_; }

    // Replaces the store with the document Contents, as Load reads a file's
    // contents (without the size limit of the file and without moving
    // anything); false when it is no store document at all, which leaves
    // the store empty.
    bool Read(const QByteArray& contents);
    // The document Save would write for this store alone.
    QByteArray Document() const;

    bool KeyExists(const QString& key) const override;
    void CreateKey(const QString& key) override;
    bool DeleteKey(const QString& key) override;
    QStringList SubKeys(const QString& key) const override;
    QStringList ValueNames(const QString& key) const override;
    QList<std::pair<QString, TStoreValue>> Values(const QString& key) const override;
    std::optional<TStoreValue> Value(const QString& key, const QString& name) const override;
    void SetValue(const QString& key, const QString& name, const TStoreValue& value) override;
    bool DeleteValue(const QString& key, const QString& name) override;
    bool Save() override;
    QString ErrorString() const override { return Error_; }

    struct TKey;
    struct TChange;

private:
    // Makes Change in the store and records it for the next Save.
    bool Apply(const TChange& change);
    // The file's contents, or why there are none to use.
    enum class TFileState
    {
        Read,
        Missing,
        Unusable,
    };
    TFileState ReadFile(QByteArray& contents, QString& why) const;
    QString MoveAside();

    QString Path_;
    QString MovedAsideTo_;
    QString Error_;
    QStringList Problems_;
    std::unique_ptr<TKey> Root_;
    // This run's changes since the last save, in order.
    std::vector<TChange> Changes_;
};
