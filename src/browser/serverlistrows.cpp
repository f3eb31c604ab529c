#include "browser/serverlistrows.h"

#include "model/networktext.h"

QList<TServerListLine> ServerListLines(const TServerListModel& model)
{
    QList<TServerListLine> lines;
    lines.reserve(model.rowCount());
    for (int row = 0; row < model.rowCount(); ++row) {
        const TGenericServer* server = model.Server(row);
        if (!server) {
            continue;
        }
        // A cell that shows its record's bytes is written as those bytes.
        const auto cell = [&](int column, QByteArrayView source = {}) {
            return BytesOfShown(model.Cell(row, column), source);
        };
        lines.append({server->GameType, cell(TServerListModel::colAddress),
                      cell(TServerListModel::colName, server->Name),
                      cell(TServerListModel::colMap, server->Map),
                      cell(TServerListModel::colPlayers), cell(TServerListModel::colPing),
                      server->GameName, server->Favorite});
    }
    return lines;
}

std::vector<TServerListModel::TNewRow> LoadedRows(const QList<TServerListLine>& lines,
                                                  const TRecordMaker& makeRecord)
{
    std::vector<TServerListModel::TNewRow> rows;
    rows.reserve(std::size_t(lines.size()));
    for (const TServerListLine& line : lines) {
        QString host = TextOfBytes(line.Address);
        const int port = SplitHostPort(host, ServerListDefaultPort);
        auto server = makeRecord(AsciiHost(host), port, line.GameType);
        ApplyServerListLine(*server, line);
        rows.push_back({std::move(server), ServerListLineTexts(line)});
    }
    return rows;
}
