#include "browser/serverlistrows.h"

QList<TServerListLine> ServerListLines(const TServerListModel& model)
{
    QList<TServerListLine> lines;
    lines.reserve(model.rowCount());
    for (int row = 0; row < model.rowCount(); ++row) {
        const TGenericServer* server = model.Server(row);
        if (!server) {
            continue;
        }
        const auto cell = [&](int column) { return model.Cell(row, column).toLatin1(); };
        lines.append({server->GameType, cell(TServerListModel::colAddress),
                      cell(TServerListModel::colName), cell(TServerListModel::colMap),
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
        QString host = QString::fromLatin1(line.Address);
        const int port = SplitHostPort(host, ServerListDefaultPort);
        auto server = makeRecord(host, port, line.GameType);
        ApplyServerListLine(*server, line);
        rows.push_back({std::move(server), ServerListLineTexts(line)});
    }
    return rows;
}
