#include "browser/profilebar.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>

#include "browser/frmserverlist.h"
#include "browser/serverlistmodel.h"
#include "core/dialogs.h"
#include "core/settingsstore.h"

TProfileBar::TProfileBar(TfrmServerList& window, TSettingsStore& store, TDialogs& dialogs,
                         QComboBox* profileList, QAbstractButton* applyProfile,
                         QAbstractButton* removeProfile, QCheckBox* invert)
    : QObject(&window), Window_(window), Store_(store), Dialogs_(dialogs),
      cbProfileList(profileList), sbApplyProfile(applyProfile), sbRemoveProfile(removeProfile),
      cbInvert(invert)
{
    connect(sbApplyProfile, &QAbstractButton::clicked, this, &TProfileBar::ApplyProfile);
    connect(sbRemoveProfile, &QAbstractButton::clicked, this,
            [this] { RemoveProfile(cbProfileList->currentIndex(), true); });
    UpdateControls();
}

void TProfileBar::LoadProfiles()
{
    RemoveAllProfiles();
    Profiles_ = ReadProfiles(Store_);
    for (const TFilterProfile& profile : Profiles_) {
        cbProfileList->addItem(profile.Name);
    }
    cbProfileList->setCurrentIndex(Profiles_.isEmpty() ? -1 : 0);
    UpdateControls();
}

void TProfileBar::RemoveProfile(int index, bool deleteFromStore)
{
    if (index < 0 || index >= Profiles_.size()) {
        return;
    }
    if (deleteFromStore && !DeleteProfile(Store_, Profiles_[index].Name)) {
        Dialogs_.Warning(QStringLiteral("Morvix"),
                         QStringLiteral("The profile was removed, but the settings could not "
                                        "be saved:\n") +
                             Store_.ErrorString());
    }
    Profiles_.removeAt(index);
    cbProfileList->removeItem(index);
    if (!Profiles_.isEmpty()) {
        cbProfileList->setCurrentIndex(0);
    }
    UpdateControls();
}

void TProfileBar::RemoveAllProfiles()
{
    for (int index = int(Profiles_.size()) - 1; index >= 0; --index) {
        RemoveProfile(index, false);
    }
}

void TProfileBar::ApplyProfile()
{
    const int index = cbProfileList->currentIndex();
    if (index < 0 || index >= Profiles_.size()) {
        return;
    }
    if (!Dialogs_.Question(QStringLiteral("Confirmation"), ApplyProfileQuestion())) {
        return;
    }
    const TFilterList filters = Profiles_[index].Filters;
    Window_.ShowStatus(RunningFiltersText(filters.size()));
    const TServerListModel& model = Window_.Model();
    const QList<int> rows = RowsToRemove(
        filters, cbInvert->isChecked(), model.rowCount(),
        [&model](int row) { return model.Server(row); },
        [this](const QString& text) { Window_.ShowStatus(text); });
    Window_.RemoveServers(rows);
}

void TProfileBar::UpdateControls()
{
    const bool any = !Profiles_.isEmpty();
    cbProfileList->setEnabled(any);
    sbApplyProfile->setEnabled(any);
    sbRemoveProfile->setEnabled(any);
    cbInvert->setEnabled(any);
}
