#include "model/htmlstyles.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QHash>

namespace {

QByteArrayView Trimmed(QByteArrayView text)
{
    return text.trimmed();
}

struct TCacheEntry
{
    QDateTime Modified;
    qint64 Size = -1;
    bool Exists = false;
    std::shared_ptr<const THtmlStyles> Styles;
};

THtmlTableStyle ReadTableStyle(const QByteArray& ini, QByteArrayView section)
{
    THtmlTableStyle style;
    const auto read = [&](QByteArrayView key, QByteArray& into) {
        QByteArray value = IniValue(ini, section, key);
        if (!value.isNull()) {
            into = value;
        }
    };
    read("OddColor", style.OddColor);
    read("EvenColor", style.EvenColor);
    read("FontFace", style.FontFace);
    read("FontColor", style.FontColor);
    read("FontSize", style.FontSize);
    read("HeaderColor", style.HeaderColor);
    return style;
}

} // namespace

QByteArray IniValue(const QByteArray& ini, QByteArrayView section, QByteArrayView key)
{
    bool inSection = false;
    qsizetype from = 0;
    while (from < ini.size()) {
        qsizetype end = ini.indexOf('\n', from);
        if (end < 0) {
            end = ini.size();
        }
        const QByteArrayView line = Trimmed(QByteArrayView(ini).sliced(from, end - from));
        from = end + 1;
        if (line.isEmpty() || line.front() == ';') {
            continue;
        }
        if (line.front() == '[') {
            const qsizetype close = line.indexOf(']');
            const QByteArrayView name =
                Trimmed(line.sliced(1, (close < 0 ? line.size() : close) - 1));
            inSection = name.compare(section, Qt::CaseInsensitive) == 0;
            continue;
        }
        const qsizetype equals = line.indexOf('=');
        if (!inSection || equals < 0 ||
            Trimmed(line.first(equals)).compare(key, Qt::CaseInsensitive) != 0) {
            continue;
        }
        QByteArrayView value = Trimmed(line.sliced(equals + 1));
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front()) {
            value = value.sliced(1, value.size() - 2);
        }
        return value.isEmpty() ? QByteArray("") : value.toByteArray();
    }
    return {};
}

std::shared_ptr<const THtmlStyles> LoadHtmlStyles(const QString& path)
{
    static QHash<QString, TCacheEntry> cache;
    TCacheEntry& entry = cache[path];

    const QFileInfo info(path);
    const bool exists = info.exists();
    const QDateTime modified = exists ? info.lastModified() : QDateTime();
    const qint64 size = exists ? info.size() : -1;
    if (entry.Styles && entry.Exists == exists && entry.Modified == modified &&
        entry.Size == size) {
        return entry.Styles;
    }

    QByteArray ini;
    QFile file(path);
    if (exists && file.open(QIODevice::ReadOnly)) {
        ini = file.readAll();
    }
    auto styles = std::make_shared<THtmlStyles>();
    styles->Player = ReadTableStyle(ini, "PlayerTable");
    styles->Rule = ReadTableStyle(ini, "RuleTable");
    styles->Other = ReadTableStyle(ini, "OtherTable");

    entry = {modified, size, exists, std::move(styles)};
    return entry.Styles;
}
