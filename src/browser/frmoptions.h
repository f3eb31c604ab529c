#pragma once

#include <QComboBox>
#include <QDialog>

#include <array>
#include <functional>
#include <vector>

#include "core/settings.h"

class QAbstractSpinBox;
class QCheckBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTabWidget;
class TDialogs;

// A drop-down list of named colours with a last entry "Custom..." that asks
// for any colour. A colour that has no name shows as its own entry.
class TColorChooser : public QComboBox
{
    Q_OBJECT

public:
    TColorChooser(TDialogs& dialogs, const QString& title, QWidget* parent = nullptr);

    TColor Color() const { return Color_; }
    // Shows Color without announcing it.
    void SetColor(TColor color);

signals:
    // The user chose a colour.
    void ColorChosen(TColor color);

private:
    void Chosen(int index);

    TDialogs& Dialogs_;
    QString Title_;
    TColor Color_;
    int NamedCount_ = 0;
};

// The options window. It shows the live settings and changes them at once
// through TSettings::Change, so there is nothing to apply and no Cancel:
// "&OK >>" and Escape both just close it. It follows every change of the
// settings made elsewhere (the store loading them at start-up, for one).
// Opens on "General"; afterwards on the page last shown.
class TfrmOptions : public QDialog
{
    Q_OBJECT

public:
    TfrmOptions(TSettings& settings, TDialogs& dialogs, QWidget* parent = nullptr);

    // The browse filter of each game's path box, in the form the file dialog
    // takes.
    static QString BrowseFilter(TGameType game);

    // Whether joins can be reported at all; when not, the stats controls
    // stand disabled and unchecked, with WhyNot as their tip. The setting
    // keeps its value for a build that can report.
    void SetStatsAvailable(bool available, const QString& whyNot);

    // Escape closes the window as "&OK >>" does.
    void reject() override;
    void done(int result) override;

private:
    QWidget* CreateGeneralPage();
    QWidget* CreateQueryPage();
    QWidget* CreateGamesPage();
    QWidget* CreateBuddyPage();
    QWidget* CreateColorsPage();
    QSpinBox* AddNumberBox(const char* name, int minimum, int maximum, int TSettingsValues::*field);
    QCheckBox* AddCheckBox(const char* name, const QString& text, bool TSettingsValues::*field);

    void Edit(const std::function<void(TSettingsValues&)>& edit);
    void ShowValues();
    TBuddyList ListedBuddies() const;
    void StoreBuddies();
    void AddBuddy();
    void RemoveBuddies();
    void Browse(TGameType game);

    TSettings& Settings_;
    TDialogs& Dialogs_;
    bool Showing_ = false;
    bool StatsAvailable_ = true;
    // Every control and how it shows its setting.
    std::vector<std::function<void(const TSettingsValues&)>> Shows_;

    QTabWidget* pcOptions = nullptr;
    QCheckBox* cbNoLimit = nullptr;
    QSpinBox* seQueryDelay = nullptr;
    QSpinBox* sePingTimeout = nullptr;
    QCheckBox* cbAllowStats = nullptr;
    QLineEdit* edStatsUsername = nullptr;
    std::array<QRadioButton*, 3> JoinActions_{};
    std::array<QLineEdit*, gtUnknown> GamePaths_{};
    std::array<TColorChooser*, ColorSettingCount> Colors_{};
    QListWidget* lbBuddies = nullptr;
    QLineEdit* edBuddyName = nullptr;
    QPushButton* btOK = nullptr;
};
