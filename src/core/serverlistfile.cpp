#include "core/serverlistfile.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>

#include "model/apppaths.h"
#include "model/genericserver.h"
#include "model/networktext.h"
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
    if (text.isEmpty() || text.front() == '#' || text.size() > ServerListMaxLineBytes) {
        return std::nullopt;
    }
    TReplyCursor cursor(text);
    TServerListLine line;
    // A field longer than every game name names none; it is not converted.
    const QByteArrayView game = cursor.NextTokenView(kFieldSeparator);
    line.GameType =
        game.size() > LongestGameName() ? gtUnknown : GameTypeFromName(QString::fromLatin1(game));
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

QList<TServerListLine> DecodeServerList(QByteArrayView contents, qsizetype* unread)
{
    QList<TServerListLine> lines;
    qsizetype skipped = 0;
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
        const QByteArrayView text = contents.sliced(start, end - start);
        if (auto line = DecodeServerListLine(text)) {
            lines.append(std::move(*line));
        } else if (!text.trimmed().isEmpty() && text.front() != '#') {
            ++skipped;
        }
        start = next;
    }
    if (unread) {
        *unread = skipped;
    }
    return lines;
}

bool IsEmptyServerList(QByteArrayView contents)
{
    const QByteArrayView header(ServerListHeader);
    if (contents.startsWith(header)) {
        const QByteArrayView rest = contents.sliced(header.size());
        if (rest.isEmpty() || rest.front() == '\n' || rest.startsWith("\r\n")) {
            contents = rest;
        }
    }
    return std::all_of(contents.begin(), contents.end(),
                       [](char c) { return c == '\r' || c == '\n' || c == ' ' || c == '\t'; });
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
        TextOfBytes(line.Caption),
        TextOfBytes(line.Map),
        TextOfBytes(line.Players),
        TextOfBytes(line.Ping),
        GameTypeName(line.GameType) + QStringLiteral(" / ") + TextOfBytes(line.GameName),
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
    Notice_.clear();
    lines.clear();
    QFile file(Path());
    if (!file.exists()) {
        return TReadResult::Missing;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        Error_ = QStringLiteral("Cannot read %1: %2").arg(Path_, file.errorString());
        return TReadResult::Failed;
    }
    // Read with the limit, not whole: the file may be anything.
    const QByteArray contents = file.read(ServerListMaxFileBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        Error_ = QStringLiteral("Cannot read %1: %2").arg(Path_, file.errorString());
        return TReadResult::Failed;
    }
    file.close();

    QString problem;
    qsizetype unread = 0;
    if (contents.size() > ServerListMaxFileBytes) {
        problem = QStringLiteral("The server list file %1 is larger than %2 MB, far more than a "
                                 "list takes, and was not read.")
                      .arg(Path_)
                      .arg(ServerListMaxFileBytes / (1024 * 1024));
    } else {
        lines = DecodeServerList(contents, &unread);
        if (lines.isEmpty() && !IsEmptyServerList(contents)) {
            problem = QStringLiteral("The server list file %1 holds no server Morvix can read.")
                          .arg(Path_);
        }
    }
    if (!problem.isEmpty()) {
        lines.clear();
        const QString aside = KeepAside(true);
        if (aside.isEmpty()) {
            Error_ = problem +
                     QStringLiteral("\nIt could not be moved aside, so it is left as it is and "
                                    "the list of this run is not saved over it.");
            return TReadResult::Failed;
        }
        Notice_ = problem +
                  QStringLiteral("\nIt has been moved to %1; the list starts empty.").arg(aside);
        return TReadResult::Read;
    }
    if (unread > 0) {
        const QString aside = KeepAside(false);
        Notice_ = QStringLiteral("%1 line(s) of the server list file %2 could not be read and "
                                 "will not be saved with the list.")
                      .arg(unread)
                      .arg(Path_);
        Notice_ += aside.isEmpty()
                       ? QStringLiteral("\nA copy of the file could not be kept.")
                       : QStringLiteral("\nA copy of the file is kept as %1.").arg(aside);
    }
    return TReadResult::Read;
}

QString TServerListFile::KeepAside(bool move)
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString aside = Path_ + QStringLiteral(".unread-") + stamp;
    for (int n = 2; QFileInfo::exists(aside); ++n) {
        aside = Path_ + QStringLiteral(".unread-") + stamp + QLatin1Char('-') + QString::number(n);
    }
    const bool kept = move ? QFile::rename(Path_, aside) : QFile::copy(Path_, aside);
    return kept ? aside : QString();
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
