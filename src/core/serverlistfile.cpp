#include "core/serverlistfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "model/apppaths.h"
#include "model/genericserver.h"
#include "model/replybuffer.h"

namespace {

constexpr char kFieldSeparator = '\0';

// A field as written: the bytes that would end the field or the line become blanks.
void AppendField(QByteArray& out, const QByteArray& field)
{
    const qsizetype start = out.size();
    out += field;
    for (qsizetype i = start; i < out.size(); ++i) {
        const char c = out[i];
        if (c == '\0' || c == '\r' || c == '\n') {
            out[i] = ' ';
        }
    }
}

QString ExecutableBaseName()
{
    const QString program = QCoreApplication::applicationFilePath();
    const QString base = QFileInfo(program).completeBaseName();
    return base.isEmpty() ? QStringLiteral("morvix") : base;
}

} // namespace

QByteArray EncodeServerListLine(const TServerListLine& line)
{
    QByteArray out;
    out.reserve(line.Address.size() + line.Caption.size() + line.Map.size() + line.Players.size() +
                line.Ping.size() + line.GameName.size() + 24);
    const QByteArray fields[] = {GameTypeName(line.GameType).toLatin1(),
                                 line.Address,
                                 line.Caption,
                                 line.Map,
                                 line.Players,
                                 line.Ping,
                                 line.GameName,
                                 line.Favorite ? QByteArrayLiteral("1") : QByteArrayLiteral("0")};
    for (std::size_t i = 0; i < std::size(fields); ++i) {
        if (i > 0) {
            out += kFieldSeparator;
        }
        AppendField(out, fields[i]);
    }
    return out;
}

std::optional<TServerListLine> DecodeServerListLine(QByteArrayView text)
{
    if (text.isEmpty() || text.front() == '#') {
        return std::nullopt;
    }
    TReplyCursor cursor(text);
    TServerListLine line;
    line.GameType = GameTypeFromName(QString::fromLatin1(cursor.NextToken(kFieldSeparator)));
    if (line.GameType == gtUnknown) {
        return std::nullopt;
    }
    // NextToken leaves a rest without separator in place, so a short line
    // hands that same rest to every field that follows.
    for (QByteArray* field :
         {&line.Address, &line.Caption, &line.Map, &line.Players, &line.Ping, &line.GameName}) {
        *field = cursor.NextToken(kFieldSeparator);
    }
    line.Favorite = (ToIntDef(cursor.Rest()) & 0xFF) != 0;
    return line;
}

QByteArray EncodeServerList(const QList<TServerListLine>& lines)
{
    QByteArray out;
    out.reserve(64 + lines.size() * 80);
    out += ServerListHeader;
    out += "\r\n";
    for (const TServerListLine& line : lines) {
        out += EncodeServerListLine(line);
        out += "\r\n";
    }
    return out;
}

QList<TServerListLine> DecodeServerList(QByteArrayView contents)
{
    QList<TServerListLine> lines;
    qsizetype start = 0;
    while (start < contents.size()) {
        qsizetype end = contents.indexOf('\n', start);
        const qsizetype next = end < 0 ? contents.size() : end + 1;
        if (end < 0) {
            end = contents.size();
        }
        if (end > start && contents[end - 1] == '\r') {
            --end;
        }
        if (auto line = DecodeServerListLine(contents.sliced(start, end - start))) {
            lines.append(std::move(*line));
        }
        start = next;
    }
    return lines;
}

void ApplyServerListLine(TGenericServer& server, const TServerListLine& line)
{
    server.Name = line.Caption;
    server.Map = line.Map;
    const qsizetype slash = line.Players.indexOf('/');
    if (slash < 0) {
        server.NumPlayers = ToIntDef(line.Players);
        server.MaxPlayers = 0;
    } else {
        server.NumPlayers = ToIntDef(QByteArrayView(line.Players).first(slash));
        server.MaxPlayers = ToIntDef(QByteArrayView(line.Players).sliced(slash + 1));
    }
    // A round trip is never negative; a damaged field counts as no number.
    server.Info.Ping = std::uint32_t(qMax(0, ToIntDef(line.Ping)));
    server.GameName = line.GameName;
    server.Favorite = line.Favorite;
}

TRowTexts ServerListLineTexts(const TServerListLine& line)
{
    return {
        QString::fromLatin1(line.Caption),
        QString::fromLatin1(line.Map),
        QString::fromLatin1(line.Players),
        QString::fromLatin1(line.Ping),
        GameTypeName(line.GameType) + QStringLiteral(" / ") + QString::fromLatin1(line.GameName),
    };
}

TServerListFile::TServerListFile(const QString& path) : Path_(path) {}

QString TServerListFile::DefaultPath()
{
    const QString name = ExecutableBaseName() + QStringLiteral(".dat");
    const QString programDir = TAppPaths::ProgramDir();
    const QFileInfo program(programDir);
    // A folder that does not exist yet is made when the list is first saved.
    if (!program.exists() || (program.isDir() && program.isWritable())) {
        return programDir + QLatin1Char('/') + name;
    }
    return TAppPaths::DataDir() + QLatin1Char('/') + name;
}

const QString& TServerListFile::Path()
{
    if (Path_.isEmpty()) {
        Path_ = DefaultPath();
    }
    return Path_;
}

TServerListFile::TReadResult TServerListFile::Read(QList<TServerListLine>& lines)
{
    Error_.clear();
    lines.clear();
    QFile file(Path());
    if (!file.exists()) {
        return TReadResult::Missing;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        Error_ = QStringLiteral("Cannot read %1: %2").arg(Path_, file.errorString());
        return TReadResult::Failed;
    }
    const QByteArray contents = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        Error_ = QStringLiteral("Cannot read %1: %2").arg(Path_, file.errorString());
        return TReadResult::Failed;
    }
    lines = DecodeServerList(contents);
    return TReadResult::Read;
}

bool TServerListFile::Write(const QList<TServerListLine>& lines)
{
    Error_.clear();
    const QString folder = QFileInfo(Path()).absolutePath();
    if (!QDir().mkpath(folder)) {
        Error_ = QStringLiteral("Cannot create the folder %1.").arg(folder);
        return false;
    }
    const QByteArray contents = EncodeServerList(lines);
    QSaveFile file(Path_);
    if (!file.open(QIODevice::WriteOnly)) {
        Error_ = QStringLiteral("Cannot write %1: %2").arg(Path_, file.errorString());
        return false;
    }
    if (file.write(contents) != contents.size() || !file.commit()) {
        Error_ = QStringLiteral("Cannot write %1: %2").arg(Path_, file.errorString());
        file.cancelWriting();
        return false;
    }
    return true;
}
