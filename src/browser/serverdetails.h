#pragma once

#include <QSplitter>

#include <cstdint>

class QTreeWidget;
class TGenericServer;
struct TSettingsValues;

// The players (lvPlayers) and rules (lvRules) of one server, one above the
// other at the right of the main window. They follow the server while it is
// the only selected row: a new reply of it shows at once.
class TServerDetails : public QSplitter
{
    Q_OBJECT

public:
    explicit TServerDetails(QWidget* parent = nullptr);

    // The server the panes follow (0: none).
    std::int32_t ServerId() const { return ServerId_; }
    void Follow(std::int32_t id) { ServerId_ = id; }
    // Fills both panes from the record; a server that never answered
    // leaves them showing what they showed.
    void Show(const TGenericServer& server);

    void ApplyColors(const TSettingsValues& values);
    void SetListFont(const QFont& font);

    QTreeWidget* Players() const { return lvPlayers; }
    QTreeWidget* Rules() const { return lvRules; }

private:
    QTreeWidget* lvPlayers = nullptr;
    QTreeWidget* lvRules = nullptr;
    std::int32_t ServerId_ = 0;
};
