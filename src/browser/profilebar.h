#pragma once

#include <QList>
#include <QObject>

#include "core/genericfilter.h"

class QCheckBox;
class QComboBox;
class QToolBar;
class QToolButton;
class TDialogs;
class TServerBrowser;
class TSettingsStore;
struct TSettingsValues;

// The filter profiles of the main window's tool bar: the drop-down
// cbProfileList of the stored profiles (each item owning its conditions),
// "&Apply profile" (sbApplyProfile), "&Remove profile" (sbRemoveProfile) and
// "Invert profile" (cbInvert). The four stand disabled while no profile is
// listed.
class TProfileBar : public QObject
{
    Q_OBJECT

public:
    // Adds the controls to Bar.
    TProfileBar(TServerBrowser& browser, TSettingsStore& store, TDialogs& dialogs, QToolBar& bar);

    // Lists the stored profiles afresh and selects the first.
    void LoadProfiles();
    // Removes the profile at Index from the list, and from the store when
    // DeleteFromStore is set; the first remaining profile is selected.
    void RemoveProfile(int index, bool deleteFromStore);
    // Empties the list, last to first, leaving the stored profiles alone.
    void RemoveAllProfiles();
    // Asks, then removes every server the selected profile does not keep,
    // in one batch.
    void ApplyProfile();

    // The tool bar's colours: the drop-down's background, and text that stays
    // readable on it, greyed half-way while the controls are disabled.
    void ApplyColors(const TSettingsValues& values);

    const QList<TFilterProfile>& Profiles() const { return Profiles_; }

private:
    void UpdateControls();

    TServerBrowser& Browser_;
    TSettingsStore& Store_;
    TDialogs& Dialogs_;
    QComboBox* cbProfileList = nullptr;
    QToolButton* sbApplyProfile = nullptr;
    QToolButton* sbRemoveProfile = nullptr;
    QCheckBox* cbInvert = nullptr;
    // Parallel to the drop-down's items.
    QList<TFilterProfile> Profiles_;
};
