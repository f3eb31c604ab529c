#include "filters/frmfilter.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QSpinBox>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <climits>

#include "core/dialogs.h"
#include "core/settingsstore.h"

namespace {

QPushButton* MakeButton(const char* name, const QString& caption, QWidget* parent)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    // Enter never presses a button by surprise.
    button->setAutoDefault(false);
    return button;
}

QRadioButton* MakeRadio(const char* name, const QString& caption, QWidget* parent)
{
    auto* radio = new QRadioButton(caption, parent);
    radio->setObjectName(QLatin1String(name));
    return radio;
}

QComboBox* MakeTypeList(const char* name, const QStringList& entries, QWidget* parent)
{
    auto* list = new QComboBox(parent);
    list->setObjectName(QLatin1String(name));
    list->addItems(entries);
    list->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    list->setMinimumWidth(180);
    return list;
}

// A condition tab: the drop-down and radio buttons on top, an optional
// value row, and the add button at the bottom right.
QGridLayout* ConditionLayout(QWidget* tab, QComboBox* types, const QList<QRadioButton*>& radios)
{
    auto* grid = new QGridLayout(tab);
    grid->setColumnStretch(1, 1);
    grid->addWidget(types, 0, 0, 1, 2, Qt::AlignLeft);
    grid->setRowMinimumHeight(1, 4);
    int row = 2;
    for (QRadioButton* radio : radios) {
        grid->addWidget(radio, row++, 0, 1, 2);
    }
    grid->setRowMinimumHeight(row, 8);
    return grid;
}

void AddButtonRow(QGridLayout* grid, QPushButton* add)
{
    const int row = grid->rowCount();
    grid->setRowStretch(row, 1);
    grid->addWidget(add, row + 1, 0, 1, 2, Qt::AlignRight);
}

} // namespace

TfrmFilter::TfrmFilter(TSettingsStore& store, TDialogs& dialogs, QWidget* parent)
    : QDialog(parent), Store_(store), Dialogs_(dialogs)
{
    setObjectName(QStringLiteral("frmFilter"));
    setWindowTitle(QStringLiteral("New filter"));

    pcFilter = new QTabWidget(this);
    pcFilter->setObjectName(QStringLiteral("pcFilter"));
    pcFilter->addTab(CreateProfileTab(), QStringLiteral("Filter profile"));
    pcFilter->addTab(CreateStringsTab(), QStringLiteral("Strings"));
    pcFilter->addTab(CreateIntegersTab(), QStringLiteral("Numbers"));
    pcFilter->addTab(CreateBooleansTab(), QStringLiteral("Booleans"));
    connect(pcFilter, &QTabWidget::currentChanged, this, &TfrmFilter::TabShown);

    QPushButton* sbBack = MakeButton("sbBack", QStringLiteral("<< Back"), this);
    QPushButton* sbClearProfile =
        MakeButton("sbClearProfile", QStringLiteral("&Clear profile"), this);
    QPushButton* sbSaveFilter =
        MakeButton("sbSaveFilter", QStringLiteral("&Save profile >>"), this);
    connect(sbBack, &QPushButton::clicked, this, &QDialog::reject);
    connect(sbClearProfile, &QPushButton::clicked, this, &TfrmFilter::ClearProfile);
    connect(sbSaveFilter, &QPushButton::clicked, this, &TfrmFilter::SaveProfile);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(sbBack);
    buttons->addStretch(1);
    buttons->addWidget(sbClearProfile);
    buttons->addWidget(sbSaveFilter);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pcFilter, 1);
    layout->addLayout(buttons);
    resize(520, 380);
}

QWidget* TfrmFilter::CreateProfileTab()
{
    tsFilterList = new QWidget(this);
    tsFilterList->setObjectName(QStringLiteral("tsFilterList"));

    edProfileName = new QLineEdit(tsFilterList);
    edProfileName->setObjectName(QStringLiteral("edProfileName"));
    auto* nameLabel = new QLabel(QStringLiteral("Profile name"), tsFilterList);
    nameLabel->setBuddy(edProfileName);

    lvProfile = new QTreeWidget(tsFilterList);
    lvProfile->setObjectName(QStringLiteral("lvProfile"));
    lvProfile->setHeaderLabels(
        {QStringLiteral("Type"), QStringLiteral("Operator"), QStringLiteral("Data")});
    lvProfile->setRootIsDecorated(false);
    lvProfile->setItemsExpandable(false);
    lvProfile->setUniformRowHeights(true);
    lvProfile->setAllColumnsShowFocus(true);
    lvProfile->setSelectionMode(QAbstractItemView::SingleSelection);
    lvProfile->header()->setStretchLastSection(true);
    lvProfile->header()->resizeSection(0, 140);
    lvProfile->header()->resizeSection(1, 170);

    QPushButton* sbRemoveFilter =
        MakeButton("sbRemoveFilter", QStringLiteral("&Remove"), tsFilterList);
    connect(sbRemoveFilter, &QPushButton::clicked, this, &TfrmFilter::RemoveFilter);

    auto* name = new QHBoxLayout;
    name->addWidget(nameLabel);
    name->addWidget(edProfileName, 1);
    auto* remove = new QHBoxLayout;
    remove->addStretch(1);
    remove->addWidget(sbRemoveFilter);
    auto* layout = new QVBoxLayout(tsFilterList);
    layout->addLayout(name);
    layout->addWidget(lvProfile, 1);
    layout->addLayout(remove);
    return tsFilterList;
}

QWidget* TfrmFilter::CreateStringsTab()
{
    tsStrings = new QWidget(this);
    tsStrings->setObjectName(QStringLiteral("tsStrings"));
    cbStringType = MakeTypeList("cbStringType",
                                {QStringLiteral("Name"), QStringLiteral("Version"),
                                 QStringLiteral("Game / Type"), QStringLiteral("Map")},
                                tsStrings);
    rbStringMatch =
        MakeRadio("rbStringMatch", QStringLiteral("must match following pattern"), tsStrings);
    QRadioButton* noMatch =
        MakeRadio("rbStringNoMatch", QStringLiteral("may not match following pattern"), tsStrings);
    rbStringMatch->setChecked(true);

    edPattern = new QLineEdit(tsStrings);
    edPattern->setObjectName(QStringLiteral("edPattern"));
    connect(edPattern, &QLineEdit::returnPressed, this, &TfrmFilter::AddStringFilter);
    auto* patternLabel = new QLabel(QStringLiteral("Pattern"), tsStrings);
    patternLabel->setBuddy(edPattern);
    auto* note = new QLabel(QStringLiteral("(You may use ? and * as wildcards)"), tsStrings);
    note->setObjectName(QStringLiteral("lbPatternNote"));
    note->setForegroundRole(QPalette::PlaceholderText);

    QPushButton* add = MakeButton("sbAddString", QStringLiteral("&Add to profile >>"), tsStrings);
    connect(add, &QPushButton::clicked, this, &TfrmFilter::AddStringFilter);

    QGridLayout* grid = ConditionLayout(tsStrings, cbStringType, {rbStringMatch, noMatch});
    const int row = grid->rowCount();
    grid->addWidget(patternLabel, row, 0);
    grid->addWidget(edPattern, row, 1);
    grid->addWidget(note, row + 1, 1);
    AddButtonRow(grid, add);
    return tsStrings;
}

QWidget* TfrmFilter::CreateIntegersTab()
{
    tsIntegers = new QWidget(this);
    tsIntegers->setObjectName(QStringLiteral("tsIntegers"));
    cbIntegerType = MakeTypeList(
        "cbIntegerType",
        {QStringLiteral("Ping"), QStringLiteral("Player max"), QStringLiteral("Player count")},
        tsIntegers);
    rbIntegerLess = MakeRadio("rbIntegerLess",
                              QStringLiteral("must be less than the following number"), tsIntegers);
    rbIntegerMore = MakeRadio("rbIntegerMore",
                              QStringLiteral("must be more than the following number"), tsIntegers);
    QRadioButton* equal = MakeRadio(
        "rbIntegerEqual", QStringLiteral("must be equal to the following number"), tsIntegers);
    rbIntegerLess->setChecked(true);

    seNumber = new QSpinBox(tsIntegers);
    seNumber->setObjectName(QStringLiteral("seNumber"));
    seNumber->setRange(INT_MIN, INT_MAX);
    seNumber->setValue(0);
    auto* numberLabel = new QLabel(QStringLiteral("Number"), tsIntegers);
    numberLabel->setBuddy(seNumber);

    QPushButton* add = MakeButton("sbAddInteger", QStringLiteral("&Add to profile >>"), tsIntegers);
    connect(add, &QPushButton::clicked, this, &TfrmFilter::AddIntegerFilter);

    QGridLayout* grid =
        ConditionLayout(tsIntegers, cbIntegerType, {rbIntegerLess, rbIntegerMore, equal});
    const int row = grid->rowCount();
    grid->addWidget(numberLabel, row, 0);
    grid->addWidget(seNumber, row, 1, Qt::AlignLeft);
    AddButtonRow(grid, add);
    return tsIntegers;
}

QWidget* TfrmFilter::CreateBooleansTab()
{
    tsBooleans = new QWidget(this);
    tsBooleans->setObjectName(QStringLiteral("tsBooleans"));
    cbBooleanType = MakeTypeList("cbBooleanType",
                                 {QStringLiteral("Favorite"), QStringLiteral("Password protected")},
                                 tsBooleans);
    rbBooleanTrue = MakeRadio("rbBooleanTrue", QStringLiteral("must be True"), tsBooleans);
    QRadioButton* isFalse =
        MakeRadio("rbBooleanFalse", QStringLiteral("must be False"), tsBooleans);
    rbBooleanTrue->setChecked(true);

    QPushButton* add = MakeButton("sbAddBoolean", QStringLiteral("Add to profile >>"), tsBooleans);
    connect(add, &QPushButton::clicked, this, &TfrmFilter::AddBooleanFilter);

    AddButtonRow(ConditionLayout(tsBooleans, cbBooleanType, {rbBooleanTrue, isFalse}), add);
    return tsBooleans;
}

void TfrmFilter::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (event->spontaneous()) {
        return; // restored from minimised, not opened
    }
    cbStringType->setCurrentIndex(0);
    cbIntegerType->setCurrentIndex(0);
    cbBooleanType->setCurrentIndex(0);
    pcFilter->setCurrentWidget(tsFilterList);
    edProfileName->setFocus();
}

void TfrmFilter::TabShown(int index)
{
    QWidget* tab = pcFilter->widget(index);
    if (tab == tsStrings) {
        edPattern->clear();
        edPattern->setFocus();
    } else if (tab == tsIntegers) {
        seNumber->setValue(0);
    }
}

void TfrmFilter::AddFilter(const TGenericFilter& filter)
{
    Filters_.append(filter);
    auto* row = new QTreeWidgetItem(lvProfile,
                                    {FilterTypeName(filter.FilterType),
                                     FilterOperatorName(filter.Operator), FilterDataText(filter)});
    lvProfile->setCurrentItem(row);
    pcFilter->setCurrentWidget(tsFilterList);
}

void TfrmFilter::AddStringFilter()
{
    TGenericFilter filter;
    filter.FilterType = std::uint8_t(ftName + cbStringType->currentIndex());
    filter.Operator = rbStringMatch->isChecked() ? foMatch : foNoMatch;
    filter.Pattern = FilterPattern(edPattern->text());
    AddFilter(filter);
}

void TfrmFilter::AddIntegerFilter()
{
    // A number typed but not yet taken by the box counts as typed.
    seNumber->interpretText();
    TGenericFilter filter;
    filter.FilterType = std::uint8_t(ftPing + cbIntegerType->currentIndex());
    filter.Operator = rbIntegerLess->isChecked()   ? foLess
                      : rbIntegerMore->isChecked() ? foMore
                                                   : foEqual;
    filter.Number = seNumber->value();
    AddFilter(filter);
}

void TfrmFilter::AddBooleanFilter()
{
    TGenericFilter filter;
    filter.FilterType = std::uint8_t(ftFavorite + cbBooleanType->currentIndex());
    filter.Operator = rbBooleanTrue->isChecked() ? foTrue : foFalse;
    AddFilter(filter);
}

void TfrmFilter::RemoveFilter()
{
    const QList<QTreeWidgetItem*> selected = lvProfile->selectedItems();
    if (selected.isEmpty()) {
        return;
    }
    const int row = lvProfile->indexOfTopLevelItem(selected.first());
    delete lvProfile->takeTopLevelItem(row);
    Filters_.removeAt(row);
}

void TfrmFilter::RemoveAllFilters()
{
    lvProfile->clear();
    Filters_.clear();
}

void TfrmFilter::ClearProfile()
{
    RemoveAllFilters();
    edProfileName->clear();
}

void TfrmFilter::SaveProfile()
{
    // A refused save keeps the editor as it is, so the user can mend the
    // name and save again instead of putting the conditions together anew.
    const QString name = edProfileName->text().trimmed();
    if (name.isEmpty()) {
        Dialogs_.Warning(QStringLiteral("Morvix"),
                         QStringLiteral("You must enter a valid profile name."));
        return;
    }
    if (Filters_.isEmpty()) {
        Dialogs_.Warning(QStringLiteral("Morvix"), QStringLiteral("No filters to save!"));
        return;
    }
    const TFilterList stored(Filters_.crbegin(), Filters_.crend());
    if (!::SaveProfile(Store_, name, stored)) {
        Dialogs_.Error(QStringLiteral("Morvix"),
                       QStringLiteral("The profile could not be saved:\n") + Store_.ErrorString());
        return;
    }
    Dialogs_.Information(QStringLiteral("Morvix"), QStringLiteral("Profile saved successfully!"));
    ClearProfile();
}

void TfrmFilter::done(int result)
{
    RemoveAllFilters();
    QDialog::done(result);
}
