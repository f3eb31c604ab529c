#include "browser/profilebar.h"

#include <QCheckBox>
#include <QComboBox>
#include <QToolBar>
#include <QToolButton>

#include "browser/serverbrowser.h"
#include "core/dialogs.h"
#include "core/settings.h"
#include "core/settingsstore.h"

TProfileBar::TProfileBar(TServerBrowser& browser, TSettingsStore& store, TDialogs& dialogs,
                         QToolBar& bar)
    : QObject(&bar), Browser_(browser), Store_(store), Dialogs_(dialogs)
{
    cbProfileList = new QComboBox(&bar);
    cbProfileList->setObjectName(QStringLiteral("cbProfileList"));
    cbProfileList->setFixedWidth(345);
    bar.addWidget(cbProfileList);
    const auto button = [&bar](const char* name, const QString& text) {
        auto* made = new QToolButton(&bar);
        made->setObjectName(QLatin1String(name));
        made->setText(text);
        bar.addWidget(made);
        return made;
    };
    sbApplyProfile = button("sbApplyProfile", QStringLiteral("&Apply profile"));
    sbRemoveProfile = button("sbRemoveProfile", QStringLiteral("&Remove profile"));
    cbInvert = new QCheckBox(QStringLiteral("Invert profile"), &bar);
    cbInvert->setObjectName(QStringLiteral("cbInvert"));
    bar.addWidget(cbInvert);

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
    Browser_.ShowStatus(RunningFiltersText(filters.size()));
    const QList<int> rows = RowsToRemove(
        filters, cbInvert->isChecked(), Browser_.ServerCount(),
        [this](int row) { return Browser_.Server(row); },
        [this](const QString& text) { Browser_.ShowStatus(text); });
    Browser_.RemoveServers(rows);
}

void TProfileBar::ApplyColors(const TSettingsValues& values)
{
    const auto color = [](TColor value) {
        return QColor(value.Red(), value.Green(), value.Blue());
    };
    const QColor back = color(values.Colors[csToolbarsBG]);
    const QColor text = color(values.Colors[csToolbarFont]);
    const QColor greyed((text.red() + back.red()) / 2, (text.green() + back.green()) / 2,
                        (text.blue() + back.blue()) / 2);
    for (QWidget* widget : std::initializer_list<QWidget*>{cbProfileList, sbApplyProfile,
                                                           sbRemoveProfile, cbInvert}) {
        QPalette palette = widget->palette();
        for (QPalette::ColorGroup group :
             {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
            for (QPalette::ColorRole role :
                 {QPalette::WindowText, QPalette::ButtonText, QPalette::Text}) {
                palette.setColor(group, role, group == QPalette::Disabled ? greyed : text);
            }
        }
        if (widget == cbProfileList) {
            for (QPalette::ColorRole role : {QPalette::Base, QPalette::Button}) {
                for (QPalette::ColorGroup group :
                     {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
                    palette.setColor(group, role, back);
                }
            }
        }
        widget->setPalette(palette);
    }
}

void TProfileBar::UpdateControls()
{
    const bool any = !Profiles_.isEmpty();
    cbProfileList->setEnabled(any);
    sbApplyProfile->setEnabled(any);
    sbRemoveProfile->setEnabled(any);
    cbInvert->setEnabled(any);
}
