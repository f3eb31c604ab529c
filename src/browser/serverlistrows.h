#pragma once

#include <QList>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

#include "browser/serverlistmodel.h"
#include "core/serverlistfile.h"

// Between the rows of the server list and the lines of the server list file.

// The line of every row, in the list's current order: the row's texts as
// shown, its record's game variant and favourite mark.
QList<TServerListLine> ServerListLines(const TServerListModel& model);

// Makes the record of a new, unqueried server.
using TRecordMaker =
    std::function<std::unique_ptr<TGenericServer>(const QString& host, int port, TGameType game)>;

// New rows for loaded lines: each a new record at the line's address (port
// ServerListDefaultPort when it names none) with the stored texts, game
// variant and favourite mark.
std::vector<TServerListModel::TNewRow> LoadedRows(const QList<TServerListLine>& lines,
                                                  const TRecordMaker& makeRecord);
