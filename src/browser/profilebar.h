#pragma once

#include <QList>
#include <QObject>

#include "core/genericfilter.h"

class QAbstractButton;
class QCheckBox;
class QComboBox;
class TDialogs;
class TSettingsStore;
class TfrmServerList;

// The filter profiles of the main window's tool bar: the drop-down of the
// stored profiles (each item owning its conditions), "&Apply profile",
// "&Remove profile" and "Invert profile".
class TProfileBar : public QObject
{
    Q_OBJECT

public:
    TProfileBar(TfrmServerList& window, TSettingsStore& store, TDialogs& dialogs,
                QComboBox* profileList, QAbstractButton* applyProfile,
                QAbstractButton* removeProfile, QCheckBox* invert);

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

    const QList<TFilterProfile>& Profiles() const { return Profiles_; }

private:
    void UpdateControls();

    TfrmServerList& Window_;
    TSettingsStore& Store_;
    TDialogs& Dialogs_;
    QComboBox* cbProfileList;
    QAbstractButton* sbApplyProfile;
    QAbstractButton* sbRemoveProfile;
    QCheckBox* cbInvert;
    // Parallel to the drop-down's items.
    QList<TFilterProfile> Profiles_;
};
