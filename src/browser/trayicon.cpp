#include "browser/trayicon.h"

#include <QMenu>
#include <QSystemTrayIcon>
#include <QWidget>

TTrayIcon::TTrayIcon(QWidget* window)
    : QObject(window), Available_([] { return QSystemTrayIcon::isSystemTrayAvailable(); })
{
    setObjectName(QStringLiteral("TrayIcon"));
    Icon_ = new QSystemTrayIcon(window->windowIcon(), this);
    Icon_->setToolTip(QStringLiteral("Morvix"));

    pmTray = new QMenu(window);
    pmTray->setObjectName(QStringLiteral("pmTray"));
    QAction* restore = pmTray->addAction(QStringLiteral("&Restore"));
    restore->setObjectName(QStringLiteral("pmTrayRestore"));
    pmTray->addSeparator();
    QAction* close = pmTray->addAction(QStringLiteral("&Close"));
    close->setObjectName(QStringLiteral("pmTrayClose"));
    Icon_->setContextMenu(pmTray);

    connect(restore, &QAction::triggered, this, &TTrayIcon::RestoreRequested);
    connect(close, &QAction::triggered, this, &TTrayIcon::CloseRequested);
    connect(Icon_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::DoubleClick) {
                    emit RestoreRequested();
                }
            });
}

bool TTrayIcon::Available() const
{
    return Available_();
}

void TTrayIcon::SetAvailability(std::function<bool()> available)
{
    Available_ = std::move(available);
}

void TTrayIcon::SetVisible(bool visible)
{
    Visible_ = visible;
    Icon_->setVisible(visible && Available());
}
