#pragma once

#include <QDialog>

#include "core/genericfilter.h"

class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTabWidget;
class QTreeWidget;
class TDialogs;
class TSettingsStore;

// The filter window: the user puts conditions together on the "Strings",
// "Numbers" and "Booleans" tabs, sees them on the "Filter profile" tab and
// saves them under a profile name in the settings store.
//
// Closing the window in any way empties the list of conditions; the profile
// name stays for the next opening.
class TfrmFilter : public QDialog
{
    Q_OBJECT

public:
    TfrmFilter(TSettingsStore& store, TDialogs& dialogs, QWidget* parent = nullptr);

    // The conditions of the list, top to bottom.
    const TFilterList& Filters() const { return Filters_; }

    // Adds the condition the text, number or flag tab describes and goes
    // back to the "Filter profile" tab.
    void AddStringFilter();
    void AddIntegerFilter();
    void AddBooleanFilter();
    // Removes the selected condition.
    void RemoveFilter();
    // Empties the list and the profile name.
    void ClearProfile();
    // Stores the conditions, last row first, under the profile name.
    void SaveProfile();

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* CreateProfileTab();
    QWidget* CreateStringsTab();
    QWidget* CreateIntegersTab();
    QWidget* CreateBooleansTab();
    void AddFilter(const TGenericFilter& filter);
    void RemoveAllFilters();
    void TabShown(int index);

    TSettingsStore& Store_;
    TDialogs& Dialogs_;
    // Parallel to the rows of lvProfile.
    TFilterList Filters_;

    QTabWidget* pcFilter = nullptr;
    QWidget* tsFilterList = nullptr;
    QWidget* tsStrings = nullptr;
    QWidget* tsIntegers = nullptr;
    QWidget* tsBooleans = nullptr;

    QLineEdit* edProfileName = nullptr;
    QTreeWidget* lvProfile = nullptr;

    QComboBox* cbStringType = nullptr;
    QRadioButton* rbStringMatch = nullptr;
    QLineEdit* edPattern = nullptr;

    QComboBox* cbIntegerType = nullptr;
    QRadioButton* rbIntegerLess = nullptr;
    QRadioButton* rbIntegerMore = nullptr;
    QSpinBox* seNumber = nullptr;

    QComboBox* cbBooleanType = nullptr;
    QRadioButton* rbBooleanTrue = nullptr;
};
