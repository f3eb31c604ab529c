#include "browser/serverlistview.h"

#include <QHeaderView>
#include <QHelpEvent>
#include <QToolTip>

TServerListView::TServerListView(QWidget* parent) : QTreeView(parent)
{
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    header()->setSectionsMovable(true);
    header()->setStretchLastSection(false);
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
