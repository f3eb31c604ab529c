#pragma once

#include <QObject>

#include <functional>

class QAction;
class QMenu;
class QSystemTrayIcon;
class QWidget;

// The program's icon in the desktop's notification area, with its pop-up
// menu pmTray ("&Restore", "&Close"). It shows the window's icon and the tip
// "Morvix". Whether it is on is kept here even while the desktop has no
// notification area, so the window can decide where to go instead.
class TTrayIcon : public QObject
{
    Q_OBJECT

public:
    explicit TTrayIcon(QWidget* window);

    // Whether the desktop offers a notification area now.
    bool Available() const;
    // Replaces how Available finds out (tests, which have no desktop).
    void SetAvailability(std::function<bool()> available);

    void SetVisible(bool visible);
    bool IsVisible() const { return Visible_; }

    QSystemTrayIcon* Icon() const { return Icon_; }
    QMenu* Menu() const { return pmTray; }

signals:
    // A double click on the icon, or "&Restore".
    void RestoreRequested();
    // "&Close".
    void CloseRequested();

private:
    QSystemTrayIcon* Icon_ = nullptr;
    QMenu* pmTray = nullptr;
    std::function<bool()> Available_;
    bool Visible_ = false;
};
