#include "browser/serverdetails.h"

#include <QHeaderView>
#include <QTreeWidget>

#include "core/settings.h"
#include "model/genericserver.h"
#include "model/networktext.h"

namespace {

QTreeWidget* MakePane(const char* name, const QStringList& captions, QWidget* parent)
{
    auto* pane = new QTreeWidget(parent);
    pane->setObjectName(QLatin1String(name));
    pane->setRootIsDecorated(false);
    pane->setItemsExpandable(false);
    pane->setUniformRowHeights(true);
    pane->setAllColumnsShowFocus(true);
    pane->setSelectionMode(QAbstractItemView::SingleSelection);
    pane->setHeaderLabels(captions);
    pane->header()->setStretchLastSection(true);
    return pane;
}

// Shows a server table (row 0 the captions) in a pane, one column per caption.
void FillTable(QTreeWidget& pane, const TServerTable& table)
{
    pane.setUpdatesEnabled(false);
    pane.clear();
    const QList<QByteArray> captions = table.isEmpty() ? QList<QByteArray>() : table.first();
    pane.setColumnCount(qMax(1, int(captions.size())));
    QStringList labels;
    for (const QByteArray& caption : captions) {
        labels << TextOfBytes(caption);
    }
    pane.setHeaderLabels(labels.isEmpty() ? QStringList{QString()} : labels);
    QList<QTreeWidgetItem*> items;
    for (qsizetype row = 1; row < table.size(); ++row) {
        QStringList cells;
        for (const QByteArray& cell : table[row]) {
            cells << TextOfBytes(cell);
        }
        items << new QTreeWidgetItem(cells);
    }
    pane.addTopLevelItems(items);
    for (int column = 0; column < pane.columnCount(); ++column) {
        pane.resizeColumnToContents(column);
    }
    pane.setUpdatesEnabled(true);
}

void Paint(QWidget* pane, QPalette::ColorRole role, TColor color)
{
    QPalette palette = pane->palette();
    const QColor shown(color.Red(), color.Green(), color.Blue());
    palette.setColor(QPalette::Active, role, shown);
    palette.setColor(QPalette::Inactive, role, shown);
    if (role == QPalette::Base) {
        palette.setColor(QPalette::Disabled, role, shown);
    }
    pane->setPalette(palette);
}

} // namespace

TServerDetails::TServerDetails(QWidget* parent) : QSplitter(Qt::Vertical, parent)
{
    lvPlayers = MakePane(
        "lvPlayers",
        {QStringLiteral("Player name"), QStringLiteral("Frags"), QStringLiteral("Ping")}, this);
    lvPlayers->header()->resizeSection(0, 150);
    lvPlayers->header()->resizeSection(1, 75);
    lvRules = MakePane("lvRules", {QStringLiteral("Key"), QStringLiteral("Value")}, this);
    lvRules->header()->resizeSection(0, 140);
    addWidget(lvPlayers);
    addWidget(lvRules);
    setChildrenCollapsible(false);
    setStretchFactor(0, 1);
    setSizes({606 - 153, 153});
}

void TServerDetails::Show(const TGenericServer& server)
{
    if (server.NoReply) {
        return;
    }
    FillTable(*lvPlayers, server.PlayerTable);
    lvRules->setUpdatesEnabled(false);
    lvRules->clear();
    QList<QTreeWidgetItem*> items;
    items.reserve(server.Rules.size());
    for (const TRule& rule : server.Rules) {
        items << new QTreeWidgetItem(QStringList{TextOfBytes(rule.Name), TextOfBytes(rule.Value)});
    }
    lvRules->addTopLevelItems(items);
    lvRules->setUpdatesEnabled(true);
}

void TServerDetails::ApplyColors(const TSettingsValues& values)
{
    Paint(lvPlayers, QPalette::Base, values.Colors[csPlayerBG]);
    Paint(lvPlayers, QPalette::Text, values.Colors[csOtherFont]);
    Paint(lvRules, QPalette::Base, values.Colors[csRuleBG]);
    Paint(lvRules, QPalette::Text, values.Colors[csOtherFont]);
}

void TServerDetails::SetListFont(const QFont& font)
{
    lvPlayers->setFont(font);
    lvRules->setFont(font);
}
