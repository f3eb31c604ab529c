#include "browser/serverlistview.h"

#include <QAccessible>
#include <QHeaderView>
#include <QHelpEvent>
#include <QToolTip>

#include <algorithm>

#include "browser/serverbrowser.h"
#include "core/settings.h"

TServerListView::TServerListView(QAbstractItemModel* model, QWidget* parent) : QTreeView(parent)
{
    setObjectName(QStringLiteral("lvServers"));
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setIconSize(QSize(16, 16));
    setContextMenuPolicy(Qt::CustomContextMenu);
    setAlternatingRowColors(true);
    setModel(model);
    header()->setSectionsMovable(true);
    header()->setStretchLastSection(false);
    header()->setMinimumSectionSize(30);
    header()->setSortIndicator(-1, Qt::AscendingOrder);
    setSortingEnabled(true);

    // A point smaller than the window's text, to fit a full row into the
    // list's width; widths for typical contents, until FitNameColumn gives
    // the name column what the others leave.
    QFont listFont = font();
    if (listFont.pointSizeF() > 8.0) {
        listFont.setPointSizeF(qMax(8.0, listFont.pointSizeF() - 1.0));
    }
    setFont(listFont);
    const QFontMetrics metrics(listFont);
    const auto fit = [&](const char* sample) {
        return metrics.horizontalAdvance(QLatin1String(sample)) + 12;
    };
    const int widths[] = {160,         fit("q3tourney2"),       fit("Players"),
                          fit("Ping"), fit("Quake 3 / baseq3"), fit("192.168.10.200:27960")};
    for (int column = 0; column < ColumnCount && column < header()->count(); ++column) {
        header()->resizeSection(column, widths[column]);
    }
}

bool TServerListView::IsElided(const QModelIndex& index) const
{
    if (!index.isValid()) {
        return false;
    }
    const QString text = index.data(Qt::DisplayRole).toString();
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.rect = visualRect(index);
    int room = option.rect.width() - 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 1);
    if (!index.data(Qt::DecorationRole).isNull()) {
        room -= iconSize().isValid() ? iconSize().width() + 4 : 20;
    }
    return option.fontMetrics.horizontalAdvance(text) > room;
}

void TServerListView::dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                                  const QList<int>& roles)
{
    // A screen reader is told of every change, as the base class does.
    if (!topLeft.isValid() || !bottomRight.isValid() || !isVisible() || QAccessible::isActive()) {
        QTreeView::dataChanged(topLeft, bottomRight, roles);
        return;
    }
    const QModelIndex firstShown = indexAt(QPoint(0, 0));
    if (!firstShown.isValid()) {
        QTreeView::dataChanged(topLeft, bottomRight, roles);
        return;
    }
    const QModelIndex lastShown = indexAt(QPoint(0, viewport()->height() - 1));
    const int first = qMax(topLeft.row(), firstShown.row());
    const int last =
        qMin(bottomRight.row(), lastShown.isValid() ? lastShown.row() : model()->rowCount() - 1);
    if (first > last) {
        return; // nothing on screen changed
    }
    const QRect top = visualRect(model()->index(first, 0));
    const QRect bottom = visualRect(model()->index(last, 0));
    viewport()->update(QRect(0, top.top(), viewport()->width(), bottom.bottom() - top.top() + 1));
}

bool TServerListView::viewportEvent(QEvent* event)
{
    if (event->type() != QEvent::ToolTip) {
        return QTreeView::viewportEvent(event);
    }
    const auto* help = static_cast<QHelpEvent*>(event);
    const QModelIndex index = indexAt(help->pos());
    if (IsElided(index)) {
        QToolTip::showText(help->globalPos(), index.data(Qt::DisplayRole).toString(), viewport(),
                           visualRect(index));
    } else {
        QToolTip::hideText();
    }
    return true;
}

void TServerListView::SaveLayout(TListLayout& layout) const
{
    const QHeaderView* columns = header();
    layout.Sizes.clear();
    layout.Order.clear();
    for (int column = 0; column < columns->count(); ++column) {
        layout.Sizes.append(columns->sectionSize(column));
        layout.Order.append(columns->logicalIndex(column));
    }
    if (columns->sortIndicatorSection() >= 0 && columns->sortIndicatorSection() < ColumnCount) {
        layout.SortCol = columns->sortIndicatorSection();
        layout.Ascending = columns->sortIndicatorOrder() == Qt::AscendingOrder;
    }
}

void TServerListView::ApplyLayout(const TListLayout& layout)
{
    QHeaderView* columns = header();
    const int count = columns->count();
    if (layout.Sizes.size() == count) {
        for (int column = 0; column < count; ++column) {
            if (layout.Sizes[column] > 0) {
                columns->resizeSection(column, layout.Sizes[column]);
            }
        }
    }
    // Only a complete permutation of the columns is taken.
    QList<int> order = layout.Order;
    std::sort(order.begin(), order.end());
    bool complete = order.size() == count;
    for (int i = 0; complete && i < count; ++i) {
        complete = order[i] == i;
    }
    if (complete) {
        for (int visual = 0; visual < count; ++visual) {
            columns->moveSection(columns->visualIndex(layout.Order[visual]), visual);
        }
    }
    if (layout.SortCol >= 0 && layout.SortCol < count) {
        sortByColumn(layout.SortCol, layout.Ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
    }
}

void TServerListView::SortAgain()
{
    const int column = header()->sortIndicatorSection();
    if (column >= 0 && column < header()->count()) {
        sortByColumn(column, header()->sortIndicatorOrder());
    }
}

void TServerListView::FitNameColumn()
{
    QHeaderView* columns = header();
    int others = 0;
    for (int column = 0; column < columns->count(); ++column) {
        if (column != colName) {
            others += columns->sectionSize(column);
        }
    }
    const int room =
        viewport()->width() - style()->pixelMetric(QStyle::PM_ScrollBarExtent) - others;
    columns->resizeSection(colName, qMax(120, room));
}

void TServerListView::ApplyColors(const TSettingsValues& values)
{
    const TColor color = values.Colors[csListBG];
    const QColor base(color.Red(), color.Green(), color.Blue());
    QPalette shades = palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        shades.setColor(group, QPalette::Base, base);
        // Every other row a shade apart, for reading across wide rows.
        shades.setColor(group, QPalette::AlternateBase,
                        base.lightness() > 128 ? base.darker(104) : base.lighter(115));
    }
    // Selected rows are drawn in white, whatever their status.
    shades.setColor(QPalette::Active, QPalette::HighlightedText, Qt::white);
    shades.setColor(QPalette::Inactive, QPalette::HighlightedText, Qt::white);
    setPalette(shades);
}
