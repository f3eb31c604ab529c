#include "browser/frmoptions.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "core/dialogs.h"
#include "model/networktext.h"

namespace {

struct TNamedColor
{
    const char* Name;
    TColor Color;
};

// The sixteen classic named colours.
constexpr TNamedColor kNamedColors[] = {
    {"Black", TColor::FromRgb(0x00, 0x00, 0x00)},  {"Maroon", TColor::FromRgb(0x80, 0x00, 0x00)},
    {"Green", TColor::FromRgb(0x00, 0x80, 0x00)},  {"Olive", TColor::FromRgb(0x80, 0x80, 0x00)},
    {"Navy", TColor::FromRgb(0x00, 0x00, 0x80)},   {"Purple", TColor::FromRgb(0x80, 0x00, 0x80)},
    {"Teal", TColor::FromRgb(0x00, 0x80, 0x80)},   {"Gray", TColor::FromRgb(0x80, 0x80, 0x80)},
    {"Silver", TColor::FromRgb(0xC0, 0xC0, 0xC0)}, {"Red", TColor::FromRgb(0xFF, 0x00, 0x00)},
    {"Lime", TColor::FromRgb(0x00, 0xFF, 0x00)},   {"Yellow", TColor::FromRgb(0xFF, 0xFF, 0x00)},
    {"Blue", TColor::FromRgb(0x00, 0x00, 0xFF)},   {"Fuchsia", TColor::FromRgb(0xFF, 0x00, 0xFF)},
    {"Aqua", TColor::FromRgb(0x00, 0xFF, 0xFF)},   {"White", TColor::FromRgb(0xFF, 0xFF, 0xFF)},
};

struct TGameRow
{
    TGameType Game;
    const char* Name; // of the path box, "ed" + Name, and its button, "sb" + Name
    const char* Label;
    const char* Filter; // description and pattern
};

// In the order the page lists them.
constexpr TGameRow kGameRows[] = {
    {gtTribes, "Tribes", "Starsiege: Tribes", "Tribes executable (Tribes.exe)"},
    {gtQuakeWorld, "QuakeWorld", "Quake World", "QuakeWorld executable (*qwcl.exe)"},
    {gtQuake2, "Quake2", "Quake 2", "Quake 2 executable (Quake2.exe)"},
    {gtQuake3, "Quake3", "Quake 3", "Quake 3 executable (Quake3.exe)"},
    {gtHalfLife, "HalfLife", "Half-life", "Half-life executable (hl.exe)"},
    {gtKingpin, "Kingpin", "Kingpin", "Kingpin executable (kingpin.exe)"},
    {gtSin, "Sin", "Sin", "Sin executable (*.exe)"},
    {gtHeretic2, "Heretic2", "Heretic 2", "Heretic 2 (*.exe)"},
    {gtSoF, "SoF", "Soldier of Fortune", "Soldier of Fortune (SoF.exe)"},
    {gtTribes2, "Tribes2", "Tribes 2", "Tribes 2 executable (tribes2.exe)"},
};

struct TColorRow
{
    TColorSetting Setting;
    const char* Label;
};

const TColorRow kListColors[] = {
    {csWorking, "Is being queried"},
    {csIdle, "Queried server"},
    {csFavorite, "Favorite server"},
    {csTimeout, "Timed out servers"},
};
const TColorRow kOtherColors[] = {
    {csPlayerBG, "Player BG"},    {csListBG, "ServerList BG"},         {csRuleBG, "Rule BG"},
    {csToolbarsBG, "Toolbar BG"}, {csToolbarFont, "Toolbar Font Clr"}, {csOtherFont, "Other font"},
};

QIcon Swatch(TColor color)
{
    QPixmap pixmap(24, 14);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setPen(QColor(0x60, 0x60, 0x60));
    painter.setBrush(QColor(color.Red(), color.Green(), color.Blue()));
    painter.drawRect(QRect(0, 0, 23, 13));
    return QIcon(pixmap);
}

const QString kNoLimitWarning =
    QStringLiteral("WARNING! It is NOT recommended to enable this option\n"
                   "unless you are on a high speed internet connection.\n"
                   "May cause timeouts to working servers!");

QLabel* Heading(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    return label;
}

QLabel* Hint(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setForegroundRole(QPalette::PlaceholderText);
    return label;
}

} // namespace

// ---------------------------------------------------------------------------
// TColorChooser

TColorChooser::TColorChooser(TDialogs& dialogs, const QString& title, QWidget* parent)
    : QComboBox(parent), Dialogs_(dialogs), Title_(title)
{
    setIconSize(QSize(24, 14));
    for (const TNamedColor& named : kNamedColors) {
        addItem(Swatch(named.Color), QLatin1String(named.Name), named.Color.Value);
    }
    NamedCount_ = count();
    addItem(QStringLiteral("Custom..."));
    connect(this, &QComboBox::activated, this, &TColorChooser::Chosen);
    SetColor(Color_);
}

void TColorChooser::SetColor(TColor color)
{
    Color_ = color;
    // An unnamed colour has one entry of its own, just before "Custom...".
    if (count() > NamedCount_ + 1) {
        removeItem(NamedCount_);
    }
    const int named = findData(color.Value);
    if (named >= 0 && named < NamedCount_) {
        setCurrentIndex(named);
        return;
    }
    insertItem(NamedCount_, Swatch(color),
               QStringLiteral("#%1%2%3")
                   .arg(color.Red(), 2, 16, QLatin1Char('0'))
                   .arg(color.Green(), 2, 16, QLatin1Char('0'))
                   .arg(color.Blue(), 2, 16, QLatin1Char('0'))
                   .toUpper(),
               color.Value);
    setCurrentIndex(NamedCount_);
}

void TColorChooser::Chosen(int index)
{
    TColor color = Color_;
    if (index == count() - 1) {
        const std::optional<TColor> chosen = Dialogs_.ChooseColor(Title_, Color_);
        if (chosen) {
            color = *chosen;
        }
    } else {
        color.Value = itemData(index).toUInt();
    }
    SetColor(color);
    emit ColorChosen(color);
}

// ---------------------------------------------------------------------------
// TfrmOptions

TfrmOptions::TfrmOptions(TSettings& settings, TDialogs& dialogs, QWidget* parent)
    : QDialog(parent), Settings_(settings), Dialogs_(dialogs)
{
    setObjectName(QStringLiteral("frmOptions"));
    setWindowTitle(QStringLiteral("Options"));
    // Closed only through "&OK >>" or Escape: no caption buttons.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setModal(true);

    pcOptions = new QTabWidget(this);
    pcOptions->setObjectName(QStringLiteral("pcOptions"));
    pcOptions->addTab(CreateGeneralPage(), QStringLiteral("General"));
    pcOptions->addTab(CreateQueryPage(), QStringLiteral("Query"));
    pcOptions->addTab(CreateGamesPage(), QStringLiteral("Game configurations"));
    pcOptions->addTab(CreateBuddyPage(), QStringLiteral("&Buddy list"));
    pcOptions->addTab(CreateColorsPage(), QStringLiteral("Colors"));
    pcOptions->setCurrentIndex(0);

    btOK = new QPushButton(QStringLiteral("&OK >>"), this);
    btOK->setObjectName(QStringLiteral("btOK"));
    btOK->setDefault(true);
    connect(btOK, &QPushButton::clicked, this, &QDialog::accept);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btOK);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pcOptions, 1);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    // At least the window's design size; larger when the desktop's font
    // needs it.
    pcOptions->setMinimumSize(409 - 2 * layout->contentsMargins().left(),
                              483 - 3 * layout->contentsMargins().top() -
                                  btOK->sizeHint().height());

    ShowValues();
    connect(&Settings_, &TSettings::Changed, this, &TfrmOptions::ShowValues);
}

void TfrmOptions::Edit(const std::function<void(TSettingsValues&)>& edit)
{
    if (!Showing_) {
        Settings_.Change(edit);
    }
}

void TfrmOptions::ShowValues()
{
    Showing_ = true;
    for (const auto& show : Shows_) {
        show(Settings_.Values());
    }
    if (!StatsAvailable_) {
        cbAllowStats->setChecked(false);
    }
    Showing_ = false;
}

QSpinBox* TfrmOptions::AddNumberBox(const char* name, int minimum, int maximum,
                                    int TSettingsValues::*field)
{
    auto* box = new QSpinBox(this);
    box->setObjectName(QLatin1String(name));
    // Five digits at most.
    box->setRange(minimum, maximum);
    box->setMinimumWidth(box->fontMetrics().horizontalAdvance(QStringLiteral("999999")) + 40);
    connect(box, &QSpinBox::valueChanged, this,
            [this, field](int value) { Edit([&](TSettingsValues& v) { v.*field = value; }); });
    Shows_.push_back([box, field](const TSettingsValues& v) {
        if (box->value() != v.*field) {
            box->setValue(v.*field);
        }
    });
    return box;
}

QCheckBox* TfrmOptions::AddCheckBox(const char* name, const QString& text,
                                    bool TSettingsValues::*field)
{
    auto* box = new QCheckBox(text, this);
    box->setObjectName(QLatin1String(name));
    connect(box, &QCheckBox::toggled, this,
            [this, field](bool on) { Edit([&](TSettingsValues& v) { v.*field = on; }); });
    Shows_.push_back([box, field](const TSettingsValues& v) { box->setChecked(v.*field); });
    return box;
}

QWidget* TfrmOptions::CreateGeneralPage()
{
    auto* page = new QWidget(this);
    page->setObjectName(QStringLiteral("tsGeneral"));

    auto* events = new QGroupBox(QStringLiteral("Events"), page);
    events->setObjectName(QStringLiteral("gbEvents"));
    auto* eventsLayout = new QVBoxLayout(events);
    eventsLayout->addWidget(Heading(QStringLiteral("On join game do ..."), events));
    eventsLayout->addWidget(AddCheckBox("cbLaunchConfirmation",
                                        QStringLiteral("Show launch confirmation"),
                                        &TSettingsValues::LaunchConfirmation));
    eventsLayout->addWidget(AddCheckBox("cbOJCopyIP", QStringLiteral("Copy IP to clipboard"),
                                        &TSettingsValues::OJCopyIP));
    eventsLayout->addWidget(AddCheckBox("cbOJSaveList", QStringLiteral("Save serverlist to disk"),
                                        &TSettingsValues::OJSaveList));
    const std::pair<const char*, QString> actions[] = {
        {"rbOJNoop", QStringLiteral("Leave Morvix as it is")},
        {"rbOJTray", QStringLiteral("Minimize Morvix to system tray")},
        {"rbOJClose", QStringLiteral("Close Morvix")},
    };
    for (int action = 0; action < 3; ++action) {
        auto* button = new QRadioButton(actions[action].second, events);
        button->setObjectName(QLatin1String(actions[action].first));
        connect(button, &QRadioButton::toggled, this, [this, action](bool on) {
            if (on) {
                Edit([&](TSettingsValues& v) { v.OnJoin = TJoinAction(action); });
            }
        });
        JoinActions_[action] = button;
        eventsLayout->addWidget(button);
    }
    Shows_.push_back(
        [this](const TSettingsValues& v) { JoinActions_[v.OnJoin]->setChecked(true); });
    eventsLayout->addSpacing(6);
    eventsLayout->addWidget(Heading(QStringLiteral("On startup do ..."), events));
    eventsLayout->addWidget(
        AddCheckBox("cbOSQueryALL", QStringLiteral("Query all"), &TSettingsValues::OSQueryALL));
    eventsLayout->addWidget(AddCheckBox("cbOSTray", QStringLiteral("Minimize to system tray"),
                                        &TSettingsValues::OSTray));

    auto* stats = new QGroupBox(QStringLiteral("Stats (optional)"), page);
    stats->setObjectName(QStringLiteral("gbStats"));
    auto* statsLayout = new QGridLayout(stats);
    cbAllowStats = AddCheckBox(
        "cbAllowStats",
        QStringLiteral("Allow Morvix to create stats (global, requires internet connection)"),
        &TSettingsValues::AllowStats);
    statsLayout->addWidget(cbAllowStats, 0, 0, 1, 2);
    statsLayout->addWidget(
        Hint(QStringLiteral("(Informs Morvix master about server joins)"), stats), 1, 0, 1, 2);
    auto* userName = new QLineEdit(stats);
    userName->setObjectName(QStringLiteral("edStatsUsername"));
    edStatsUsername = userName;
    connect(userName, &QLineEdit::textEdited, this, [this](const QString& text) {
        Edit([&](TSettingsValues& v) { v.StatsUsername = text; });
    });
    Shows_.push_back([userName](const TSettingsValues& v) {
        if (userName->text() != v.StatsUsername) {
            userName->setText(v.StatsUsername);
        }
    });
    auto* userLabel = new QLabel(QStringLiteral("Username:"), stats);
    userLabel->setBuddy(userName);
    statsLayout->addWidget(userLabel, 2, 0);
    statsLayout->addWidget(userName, 2, 1);
    statsLayout->setColumnStretch(1, 1);

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(events);
    layout->addWidget(stats);
    layout->addStretch(1);
    return page;
}

void TfrmOptions::SetStatsAvailable(bool available, const QString& whyNot)
{
    StatsAvailable_ = available;
    ShowValues();
    for (QWidget* control :
         {static_cast<QWidget*>(cbAllowStats), static_cast<QWidget*>(edStatsUsername)}) {
        control->setEnabled(available);
        control->setToolTip(available ? QString() : whyNot);
    }
}

QWidget* TfrmOptions::CreateQueryPage()
{
    auto* page = new QWidget(this);
    page->setObjectName(QStringLiteral("tsQuery"));
    auto* grid = new QGridLayout(page);
    const auto ms = [page] { return new QLabel(QStringLiteral("ms"), page); };
    const auto label = [page](const QString& text, QWidget* box) {
        auto* made = new QLabel(text, page);
        made->setBuddy(box);
        return made;
    };

    QSpinBox* maxQueries = AddNumberBox("seMaxQueries", 1, 99999, &TSettingsValues::MaxQueries);
    grid->addWidget(label(QStringLiteral("Concurrent requests"), maxQueries), 0, 0);
    grid->addWidget(maxQueries, 0, 1);
    cbNoLimit = AddCheckBox("cbNoLimit", QStringLiteral("No limit"), &TSettingsValues::NoLimit);
    connect(cbNoLimit, &QCheckBox::toggled, this, [this](bool on) {
        if (on && !Showing_) {
            Dialogs_.Warning(QStringLiteral("Warning"), kNoLimitWarning);
        }
    });
    grid->addWidget(cbNoLimit, 0, 2);

    QSpinBox* timeout = AddNumberBox("seQueryTimeout", 50, 99999, &TSettingsValues::QueryTimeout);
    grid->addWidget(label(QStringLiteral("Query timeout"), timeout), 1, 0);
    grid->addWidget(timeout, 1, 1);
    grid->addWidget(ms(), 1, 2);

    QSpinBox* retry = AddNumberBox("seRetry", 0, 99999, &TSettingsValues::Retry);
    grid->addWidget(label(QStringLiteral("Retries (before assuming server is down)"), retry), 2, 0);
    grid->addWidget(retry, 2, 1);

    QCheckBox* useDelay =
        AddCheckBox("cbUseDelay", QStringLiteral("Query delay (between each query)"),
                    &TSettingsValues::UseDelay);
    seQueryDelay = AddNumberBox("seQueryDelay", 1, 99999, &TSettingsValues::QueryDelay);
    // The delay box works only while the delay is on, also when the store
    // turned it on.
    Shows_.push_back([this](const TSettingsValues& v) { seQueryDelay->setEnabled(v.UseDelay); });
    grid->addWidget(useDelay, 3, 0);
    grid->addWidget(seQueryDelay, 3, 1);
    grid->addWidget(ms(), 3, 2);

    grid->addWidget(AddCheckBox("cbAllowFormat",
                                QStringLiteral("Allow Morvix to format server names"),
                                &TSettingsValues::AllowFormat),
                    4, 0, 1, 3);

    sePingTimeout = AddNumberBox("sePingTimeout", 1, 99999, &TSettingsValues::PingTimeout);
    // Typing a number is taken when it is finished (Enter, leaving the box,
    // a step), so that the warning below comes once per change, not once per
    // digit.
    sePingTimeout->setKeyboardTracking(false);
    connect(sePingTimeout, &QSpinBox::valueChanged, this, [this] {
        if (!Showing_ && Settings_->NoLimit) {
            Dialogs_.Warning(QStringLiteral("Warning"), kNoLimitWarning);
        }
    });
    grid->addWidget(label(QStringLiteral("ICMP Ping timeout"), sePingTimeout), 5, 0);
    grid->addWidget(sePingTimeout, 5, 1);
    grid->addWidget(ms(), 5, 2);

    grid->setColumnStretch(3, 1);
    grid->setRowStretch(6, 1);
    grid->setVerticalSpacing(10);
    return page;
}

QWidget* TfrmOptions::CreateGamesPage()
{
    auto* page = new QWidget(this);
    page->setObjectName(QStringLiteral("tsGames"));
    auto* grid = new QGridLayout(page);
    int row = 0;
    for (const TGameRow& game : kGameRows) {
        auto* path = new QLineEdit(page);
        path->setObjectName(QStringLiteral("ed") + QLatin1String(game.Name));
        connect(path, &QLineEdit::textEdited, this, [this, type = game.Game](const QString& text) {
            Edit([&](TSettingsValues& v) { v.GamePaths[type] = text; });
        });
        Shows_.push_back([path, type = game.Game](const TSettingsValues& v) {
            if (path->text() != v.GamePaths[type]) {
                path->setText(v.GamePaths[type]);
            }
        });
        GamePaths_[game.Game] = path;
        auto* browse = new QToolButton(page);
        browse->setObjectName(QStringLiteral("sb") + QLatin1String(game.Name));
        browse->setText(QStringLiteral("..."));
        browse->setToolTip(QStringLiteral("Choose the program"));
        connect(browse, &QToolButton::clicked, this, [this, type = game.Game] { Browse(type); });
        auto* label = new QLabel(QLatin1String(game.Label), page);
        label->setBuddy(path);
        grid->addWidget(label, row, 0);
        grid->addWidget(path, row, 1);
        grid->addWidget(browse, row, 2);
        ++row;
    }
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(row, 1);
    return page;
}

QString TfrmOptions::BrowseFilter(TGameType game)
{
    for (const TGameRow& row : kGameRows) {
        if (row.Game == game) {
            // The usual program first; any file as well, for the games' own
            // Linux builds.
            return QLatin1String(row.Filter) + QStringLiteral(";;All files (*)");
        }
    }
    return QStringLiteral("All files (*)");
}

void TfrmOptions::Browse(TGameType game)
{
    const QString path = Dialogs_.OpenFileName(QStringLiteral("Open"), BrowseFilter(game));
    if (path.isEmpty()) {
        return;
    }
    Edit([&](TSettingsValues& v) { v.GamePaths[game] = path; });
}

QWidget* TfrmOptions::CreateBuddyPage()
{
    auto* page = new QWidget(this);
    page->setObjectName(QStringLiteral("tsBuddies"));

    lbBuddies = new QListWidget(page);
    lbBuddies->setObjectName(QStringLiteral("lbBuddies"));
    lbBuddies->setSelectionMode(QAbstractItemView::ExtendedSelection);
    connect(lbBuddies, &QListWidget::itemChanged, this, [this] {
        if (!Showing_) {
            StoreBuddies();
        }
    });
    Shows_.push_back([this](const TSettingsValues& v) {
        if (ListedBuddies() == v.Buddies) {
            return;
        }
        lbBuddies->clear();
        for (const TBuddy& buddy : v.Buddies) {
            auto* item = new QListWidgetItem(TextOfBytes(buddy.Pattern), lbBuddies);
            // The bytes it stands for, so that listing it again keeps them.
            item->setData(Qt::UserRole, buddy.Pattern);
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
            item->setCheckState(buddy.CaseSensitive ? Qt::Checked : Qt::Unchecked);
        }
    });

    QCheckBox* enable = AddCheckBox("cbUseBuddyList", QStringLiteral("Enable buddy search"),
                                    &TSettingsValues::UseBuddyList);
    edBuddyName = new QLineEdit(page);
    edBuddyName->setObjectName(QStringLiteral("edBuddyName"));
    auto* nameLabel = new QLabel(QStringLiteral("Name"), page);
    nameLabel->setBuddy(edBuddyName);
    auto* add = new QPushButton(QStringLiteral("&Add buddy"), page);
    add->setObjectName(QStringLiteral("btAddBuddy"));
    add->setAutoDefault(false);
    connect(add, &QPushButton::clicked, this, &TfrmOptions::AddBuddy);
    auto* remove = new QPushButton(QStringLiteral("&Remove"), page);
    remove->setObjectName(QStringLiteral("btRemoveBuddy"));
    remove->setAutoDefault(false);
    connect(remove, &QPushButton::clicked, this, &TfrmOptions::RemoveBuddies);

    auto* nameRow = new QHBoxLayout;
    nameRow->addWidget(nameLabel);
    nameRow->addWidget(edBuddyName, 1);
    nameRow->addWidget(add);
    nameRow->addWidget(remove);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(lbBuddies, 1);
    layout->addWidget(enable);
    layout->addLayout(nameRow);
    layout->addWidget(Hint(QStringLiteral("(checked nicknames mean casesensitive search,"), page));
    layout->addWidget(Hint(QStringLiteral("you may use * and ? as wildcards)"), page));
    return page;
}

TBuddyList TfrmOptions::ListedBuddies() const
{
    TBuddyList buddies;
    for (int row = 0; row < lbBuddies->count(); ++row) {
        const QListWidgetItem* item = lbBuddies->item(row);
        buddies.append({BytesOfShown(item->text(), item->data(Qt::UserRole).toByteArray()),
                        item->checkState() == Qt::Checked});
    }
    return buddies;
}

void TfrmOptions::StoreBuddies()
{
    const TBuddyList buddies = ListedBuddies();
    Edit([&](TSettingsValues& v) { v.Buddies = buddies; });
}

void TfrmOptions::AddBuddy()
{
    // Taken as typed, even empty; a new buddy matches case-sensitively.
    const TBuddy buddy{BytesOfText(edBuddyName->text()), true};
    Edit([&](TSettingsValues& v) { v.Buddies.append(buddy); });
    edBuddyName->clear();
    edBuddyName->setFocus();
}

void TfrmOptions::RemoveBuddies()
{
    for (int row = lbBuddies->count() - 1; row >= 0; --row) {
        if (lbBuddies->item(row)->isSelected()) {
            delete lbBuddies->takeItem(row);
        }
    }
    StoreBuddies();
}

QWidget* TfrmOptions::CreateColorsPage()
{
    auto* page = new QWidget(this);
    page->setObjectName(QStringLiteral("tsColors"));
    auto* grid = new QGridLayout(page);
    int row = 0;
    const auto addRows = [&](const QString& heading, const auto& rows) {
        if (row > 0) {
            grid->setRowMinimumHeight(row++, 8);
        }
        grid->addWidget(Heading(heading, page), row++, 0, 1, 2);
        for (const TColorRow& color : rows) {
            auto* chooser = new TColorChooser(Dialogs_, QLatin1String(color.Label), page);
            chooser->setObjectName(QStringLiteral("cc") +
                                   QLatin1String(TSettings::ColorName(color.Setting)));
            connect(chooser, &TColorChooser::ColorChosen, this,
                    [this, setting = color.Setting](TColor chosen) {
                        Edit([&](TSettingsValues& v) { v.Colors[setting] = chosen; });
                    });
            Shows_.push_back([chooser, setting = color.Setting](const TSettingsValues& v) {
                if (chooser->Color() != v.Colors[setting]) {
                    chooser->SetColor(v.Colors[setting]);
                }
            });
            Colors_[color.Setting] = chooser;
            auto* label = new QLabel(QLatin1String(color.Label), page);
            label->setBuddy(chooser);
            grid->addWidget(label, row, 0);
            grid->addWidget(chooser, row, 1);
            ++row;
        }
    };
    addRows(QStringLiteral("Serverlist colors"), kListColors);
    addRows(QStringLiteral("Other colors"), kOtherColors);
    grid->setColumnStretch(2, 1);
    grid->setRowStretch(row, 1);
    return page;
}

void TfrmOptions::reject()
{
    accept();
}

void TfrmOptions::done(int result)
{
    // A number still being typed counts as entered.
    for (QAbstractSpinBox* box : findChildren<QAbstractSpinBox*>()) {
        box->interpretText();
    }
    QDialog::done(result);
}
