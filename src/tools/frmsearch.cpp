#include "tools/frmsearch.h"

#include <QAbstractTableModel>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>
#include <numeric>

#include "browser/serverbrowser.h"
#include "core/dialogs.h"
#include "core/settings.h"
#include "model/genericserver.h"

namespace {

const QString kTitle = QStringLiteral("Morvix");

enum TResultColumn : int
{
    rcName,
    rcColumn,
    rcGame,
    rcAddress,
    ResultColumnCount,
};

const QString& FieldOf(const TSearchHit& hit, int column)
{
    switch (column) {
    case rcColumn:
        return hit.Column;
    case rcGame:
        return hit.Game;
    case rcAddress:
        return hit.Address;
    default:
        return hit.Text;
    }
}

} // namespace

// The hits, in the order found until a header is clicked; hits found later
// are appended after the sorted ones.
class TSearchResultModel : public QAbstractTableModel
{
public:
    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : int(Hits_.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : ResultColumnCount;
    }
    QVariant data(const QModelIndex& index, int role) const override
    {
        if (role != Qt::DisplayRole || !index.isValid() || index.row() >= Hits_.size()) {
            return {};
        }
        return FieldOf(Hits_[index.row()], index.column());
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        static const QString captions[ResultColumnCount] = {
            QStringLiteral("Name"), QStringLiteral("Found in column"), QStringLiteral("Game"),
            QStringLiteral("Server address")};
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
            section >= ResultColumnCount) {
            return {};
        }
        return captions[section];
    }

    void Append(const QList<TSearchHit>& hits)
    {
        if (hits.isEmpty()) {
            return;
        }
        beginInsertRows({}, int(Hits_.size()), int(Hits_.size() + hits.size() - 1));
        Hits_.append(hits);
        endInsertRows();
    }
    void Clear()
    {
        beginResetModel();
        Hits_.clear();
        endResetModel();
    }
    void Sort(int column, bool ascending)
    {
        emit layoutAboutToBeChanged();
        const QModelIndexList before = persistentIndexList();
        QList<qsizetype> order(Hits_.size());
        std::iota(order.begin(), order.end(), 0);
        std::stable_sort(order.begin(), order.end(), [&](qsizetype a, qsizetype b) {
            const int compared =
                QString::localeAwareCompare(FieldOf(Hits_[a], column), FieldOf(Hits_[b], column));
            return ascending ? compared < 0 : compared > 0;
        });
        QList<TSearchHit> sorted;
        sorted.reserve(Hits_.size());
        QList<int> newRow(Hits_.size());
        for (qsizetype i = 0; i < order.size(); ++i) {
            sorted.append(std::move(Hits_[order[i]]));
            newRow[order[i]] = int(i);
        }
        Hits_ = std::move(sorted);
        for (const QModelIndex& index : before) {
            changePersistentIndex(index, this->index(newRow[index.row()], index.column()));
        }
        emit layoutChanged();
    }
    const TSearchHit* Hit(int row) const
    {
        return row >= 0 && row < Hits_.size() ? &Hits_[row] : nullptr;
    }

private:
    QList<TSearchHit> Hits_;
};

TfrmSearch::TfrmSearch(TServerBrowser& list, TSettings& settings, TDialogs& dialogs)
    : QWidget(list.BrowserWidget(), Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint), List_(list),
      Settings_(settings), Dialogs_(dialogs)
{
    setObjectName(QStringLiteral("frmSearch"));
    setWindowTitle(QStringLiteral("Player search"));

    // The conditions, the buttons and the animation fill the top of the
    // window; the results lie below them and come into view when the
    // window grows at the first search.
    Conditions_ = new QWidget(this);
    pcSearch = new QTabWidget(Conditions_);
    pcSearch->setObjectName(QStringLiteral("pcSearch"));
    tsSearch = new QWidget(pcSearch);
    tsSearch->setObjectName(QStringLiteral("tsSearch"));
    pcSearch->addTab(tsSearch, QStringLiteral("Player search"));

    const auto patternBox = [this](const char* name) {
        auto* box = new QComboBox(tsSearch);
        box->setObjectName(QLatin1String(name));
        box->setEditable(true);
        box->setInsertPolicy(QComboBox::NoInsert);
        box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        box->installEventFilter(this);
        box->lineEdit()->installEventFilter(this);
        connect(box->lineEdit(), &QLineEdit::returnPressed, this, &TfrmSearch::Search);
        return box;
    };
    cbTextPattern = patternBox("cbTextPattern");
    cbServerPattern = patternBox("cbServerPattern");
    auto* textLabel = new QLabel(QStringLiteral("Text pattern"), tsSearch);
    textLabel->setBuddy(cbTextPattern);
    auto* serverLabel = new QLabel(QStringLiteral("Server name"), tsSearch);
    serverLabel->setBuddy(cbServerPattern);
    lblPatternNote = new QLabel(QStringLiteral("(? and * may be used as wildcards)"), tsSearch);
    lblPatternNote->setObjectName(QStringLiteral("lblPatternNote"));
    lblPatternNote->setWordWrap(true);
    cbCase = new QCheckBox(QStringLiteral("Case-sensitive"), tsSearch);
    cbCase->setObjectName(QStringLiteral("cbCase"));
    cbCase->setChecked(true);
    cbLocalSearch = new QCheckBox(QStringLiteral("Local search"), tsSearch);
    cbLocalSearch->setObjectName(QStringLiteral("cbLocalSearch"));
    cbGames = new QListWidget(tsSearch);
    cbGames->setObjectName(QStringLiteral("cbGames"));
    cbGames->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    for (const TSearchGame& game : SearchGames()) {
        auto* item = new QListWidgetItem(QLatin1String(game.Caption), cbGames);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
        item->setCheckState(Qt::Checked);
    }
    auto* gamesLabel = new QLabel(QStringLiteral("Game type"), tsSearch);
    gamesLabel->setBuddy(cbGames);

    auto* page = new QGridLayout(tsSearch);
    page->setContentsMargins(6, 6, 6, 6);
    page->setVerticalSpacing(3);
    page->addWidget(textLabel, 0, 0);
    page->addWidget(cbTextPattern, 1, 0);
    page->addWidget(serverLabel, 2, 0);
    page->addWidget(cbServerPattern, 3, 0);
    page->addWidget(lblPatternNote, 4, 0);
    page->addWidget(cbCase, 5, 0);
    page->addWidget(cbLocalSearch, 6, 0);
    page->setRowStretch(7, 1);
    page->addWidget(gamesLabel, 0, 1);
    page->addWidget(cbGames, 1, 1, 7, 1);
    // The game captions are the longest texts: their column gets the room.
    page->setColumnStretch(0, 4);
    page->setColumnStretch(1, 5);

    const auto button = [this](const char* name, const QString& text) {
        auto* made = new QPushButton(text, Conditions_);
        made->setObjectName(QLatin1String(name));
        return made;
    };
    btnSearch = button("btnSearch", QStringLiteral("&Search now"));
    btnAbort = button("btnAbort", QStringLiteral("&Abort search"));
    btnAbort->setEnabled(false);
    btnClear = button("btnClear", QStringLiteral("&Clear"));
    animSearch = new QProgressBar(Conditions_);
    animSearch->setObjectName(QStringLiteral("animSearch"));
    animSearch->setTextVisible(false);
    animSearch->setRange(0, 1);
    animSearch->setFixedHeight(btnSearch->sizeHint().height() / 2);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnSearch);
    buttons->addWidget(btnAbort);
    buttons->addWidget(btnClear);
    buttons->addWidget(animSearch, 1);
    auto* top = new QVBoxLayout(Conditions_);
    top->setContentsMargins(4, 4, 4, 4);
    top->addWidget(pcSearch, 1);
    top->addLayout(buttons);

    Results_ = new TSearchResultModel(this);
    lvSearchResults = new QTreeView(this);
    lvSearchResults->setObjectName(QStringLiteral("lvSearchResults"));
    lvSearchResults->setModel(Results_);
    lvSearchResults->setRootIsDecorated(false);
    lvSearchResults->setUniformRowHeights(true);
    lvSearchResults->setAllColumnsShowFocus(true);
    lvSearchResults->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvSearchResults->setSelectionMode(QAbstractItemView::SingleSelection);
    lvSearchResults->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvSearchResults->setContextMenuPolicy(Qt::CustomContextMenu);
    QHeaderView* header = lvSearchResults->header();
    header->setSectionsMovable(true);
    header->setSectionsClickable(true);
    header->setStretchLastSection(false);
    header->setSortIndicatorShown(false);
    header->resizeSection(rcColumn, 100);
    // Widths follow the hits from a sample of rows, not from thousands.
    header->setResizeContentsPrecision(200);
    connect(header, &QHeaderView::sectionClicked, this, &TfrmSearch::SortBy);
    connect(header, &QHeaderView::sectionResized, this, [header](int section, int, int size) {
        if (section == rcColumn && size > 100) {
            header->resizeSection(rcColumn, 100);
            // Widths follow the hits from a sample of rows, not from thousands.
            header->setResizeContentsPrecision(200);
        }
    });

    sbStatus = new QStatusBar(this);
    sbStatus->setObjectName(QStringLiteral("sbStatus"));
    sbStatus->setSizeGripEnabled(false);
    Status_ = new QLabel(sbStatus);
    Status_->setObjectName(QStringLiteral("lblStatus"));
    sbStatus->addWidget(Status_, 1);

    pmResults = new QMenu(this);
    pmResults->setObjectName(QStringLiteral("pmResults"));
    QAction* copyIp = pmResults->addAction(QStringLiteral("Copy address to clipboard"));
    copyIp->setObjectName(QStringLiteral("pmCopyIP"));
    connect(copyIp, &QAction::triggered, this, &TfrmSearch::CopyAddress);
    QAction* copyRow = pmResults->addAction(QStringLiteral("Copy row to clipboard"));
    copyRow->setObjectName(QStringLiteral("pmCopyRow"));
    connect(copyRow, &QAction::triggered, this, &TfrmSearch::CopyRow);
    connect(lvSearchResults, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        pmResults->popup(lvSearchResults->viewport()->mapToGlobal(at));
    });

    connect(btnSearch, &QPushButton::clicked, this, &TfrmSearch::Search);
    connect(btnAbort, &QPushButton::clicked, this, &TfrmSearch::Abort);
    connect(btnClear, &QPushButton::clicked, this, &TfrmSearch::Clear);
    connect(&Search_, &TPlayerSearch::Status, this, &TfrmSearch::ShowStatus);
    connect(&Search_, &TPlayerSearch::HitsFound, this, [this](const QList<TSearchHit>& hits) {
        Results_->Append(hits);
        FitColumns();
    });
    connect(&Search_, &TPlayerSearch::Finished, this, &TfrmSearch::Finished);

    LoadHistories();
    connect(&Settings_, &TSettings::Changed, this, &TfrmSearch::LoadHistories);
    SetHeight(CollapsedHeight);
}

TfrmSearch::~TfrmSearch()
{
    Settings_.disconnect(this);
}

void TfrmSearch::Open()
{
    for (int i = 0; i < cbGames->count(); ++i) {
        cbGames->item(i)->setCheckState(Qt::Checked);
    }
    setWindowModality(Qt::ApplicationModal);
    show();
    raise();
    activateWindow();
    cbTextPattern->setFocus();
}

QString TfrmSearch::StatusText() const
{
    return Status_->text();
}

void TfrmSearch::ShowStatus(const QString& text)
{
    Status_->setText(text);
}

void TfrmSearch::SetHeight(int height)
{
    setFixedSize(WindowWidth, height);
}

void TfrmSearch::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    const int statusHeight = sbStatus->sizeHint().height();
    const int conditionsHeight = CollapsedHeight - statusHeight;
    Conditions_->setGeometry(0, 0, width(), conditionsHeight);
    lvSearchResults->setGeometry(0, conditionsHeight, width(),
                                 std::max(0, height() - conditionsHeight - statusHeight));
    lvSearchResults->setVisible(height() > CollapsedHeight);
    sbStatus->setGeometry(0, height() - statusHeight, width(), statusHeight);
}

void TfrmSearch::keyPressEvent(QKeyEvent* event)
{
    // Escape closes the window whatever it is doing; a search goes on.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

bool TfrmSearch::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusOut) {
        for (QComboBox* box : {cbTextPattern, cbServerPattern}) {
            if (watched == box || watched == box->lineEdit()) {
                RememberPattern(box);
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TfrmSearch::SetSearching(bool searching)
{
    btnSearch->setEnabled(!searching);
    btnClear->setEnabled(!searching);
    btnAbort->setEnabled(searching);
    animSearch->setRange(0, searching ? 0 : 1);
    animSearch->setValue(0);
}

TSearchConditions TfrmSearch::Conditions() const
{
    TSearchConditions conditions;
    conditions.TextPattern = cbTextPattern->currentText();
    conditions.ServerPattern = cbServerPattern->currentText();
    conditions.CaseSensitive = cbCase->isChecked();
    const auto games = SearchGames();
    for (int i = 0; i < cbGames->count() && i < int(games.size()); ++i) {
        conditions.Games[games[i].Type] = cbGames->item(i)->checkState() == Qt::Checked;
    }
    return conditions;
}

void TfrmSearch::ApplyLimits()
{
    Search_.ApplyLimits(Settings_->MaxQueries, Settings_->QueryTimeout);
}

void TfrmSearch::Search()
{
    if (Search_.IsSearching()) {
        return;
    }
    RememberPattern(cbTextPattern);
    RememberPattern(cbServerPattern);
    if (List_.ServerCount() == 0) {
        Dialogs_.Information(kTitle, QStringLiteral("No servers in list, please add some."));
        return;
    }
    const TSearchConditions conditions = Conditions();
    if (cbLocalSearch->isChecked()) {
        LocalSearch(conditions);
    } else {
        NetworkSearch(conditions);
    }
}

void TfrmSearch::LocalSearch(const TSearchConditions& conditions)
{
    QList<TSearchHit> hits;
    bool any = false;
    for (int row = 0; row < List_.ServerCount(); ++row) {
        const TGenericServer* server = List_.Server(row);
        if (!server || !conditions.Searches(server->GameType)) {
            continue;
        }
        any = true;
        hits.append(SearchStoredPlayers(*server, conditions));
    }
    if (any && height() != ExpandedHeight) {
        SetHeight(ExpandedHeight);
    }
    Results_->Append(hits);
    FitColumns();
    SetSearching(false);
    ShowStatus(QStringLiteral("Local search completed."));
}

void TfrmSearch::NetworkSearch(const TSearchConditions& conditions)
{
    // The limits are in place before the first request, so that the
    // options' concurrency holds from the start.
    ApplyLimits();
    Search_.Begin(conditions);
    for (int row = 0; row < List_.ServerCount(); ++row) {
        if (const TGenericServer* server = List_.Server(row)) {
            Search_.Issue(*server);
        }
    }
    const int sent = Search_.Sent();
    ShowStatus(QStringLiteral("Sent %1 server query messages...").arg(sent));
    if (!Search_.EndIssuing()) {
        Dialogs_.Information(kTitle, QStringLiteral("No server matched your conditions."));
        return;
    }
    SetSearching(true);
    SetHeight(ExpandedHeight);
}

void TfrmSearch::Abort()
{
    Search_.Abort();
    SetSearching(false);
    SetHeight(CollapsedHeight);
    ApplyLimits();
}

void TfrmSearch::Finished(const QString& summary)
{
    SetSearching(false);
    ShowStatus(summary);
}

void TfrmSearch::Clear()
{
    Results_->Clear();
}

void TfrmSearch::CopyAddress()
{
    const QModelIndexList selected = lvSearchResults->selectionModel()->selectedRows();
    if (selected.isEmpty()) {
        return;
    }
    if (const TSearchHit* hit = Results_->Hit(selected.front().row())) {
        List_.CopyToClipboard(hit->Address);
    }
}

void TfrmSearch::CopyRow()
{
    const QModelIndexList selected = lvSearchResults->selectionModel()->selectedRows();
    if (selected.isEmpty()) {
        return;
    }
    if (const TSearchHit* hit = Results_->Hit(selected.front().row())) {
        List_.CopyToClipboard(hit->Text + QLatin1Char('\t') + hit->Column + QLatin1Char('\t') +
                              hit->Game + QLatin1Char('\t') + hit->Address);
    }
}

void TfrmSearch::SortBy(int column)
{
    Ascending_ = column == SortColumn_ ? !Ascending_ : true;
    SortColumn_ = column;
    lvSearchResults->header()->setSortIndicatorShown(true);
    lvSearchResults->header()->setSortIndicator(column, Ascending_ ? Qt::AscendingOrder
                                                                   : Qt::DescendingOrder);
    Results_->Sort(column, Ascending_);
}

void TfrmSearch::FitColumns()
{
    // Hits come a reply at a time: the widths follow once per turn of the
    // event loop, not per reply.
    if (FitPending_) {
        return;
    }
    FitPending_ = true;
    QTimer::singleShot(0, this, [this] {
        FitPending_ = false;
        for (int column : {rcName, rcGame, rcAddress}) {
            lvSearchResults->resizeColumnToContents(column);
        }
    });
}

// ---------------------------------------------------------------------------
// Pattern histories

void TfrmSearch::RememberPattern(QComboBox* box)
{
    const QString text = box->currentText();
    if (text.isEmpty()) {
        return;
    }
    for (int i = 0; i < box->count(); ++i) {
        if (box->itemText(i).compare(text, Qt::CaseInsensitive) == 0) {
            return;
        }
    }
    box->addItem(text);
    QStringList items;
    for (int i = 0; i < box->count(); ++i) {
        items << box->itemText(i);
    }
    const bool player = box == cbTextPattern;
    Settings_.Change([&](TSettingsValues& values) {
        (player ? values.PlayerNamePatterns : values.ServerNamePatterns) = items;
    });
}

void TfrmSearch::LoadHistories()
{
    // The settings are read after the windows are made: the lists follow
    // them, and a box that is still empty shows the first pattern.
    const auto fill = [](QComboBox* box, const QStringList& patterns) {
        QStringList items;
        for (int i = 0; i < box->count(); ++i) {
            items << box->itemText(i);
        }
        if (items == patterns) {
            return;
        }
        const QString text = box->currentText();
        box->clear();
        box->addItems(patterns);
        if (!text.isEmpty()) {
            box->setEditText(text);
        } else if (!patterns.isEmpty()) {
            box->setCurrentIndex(0);
        }
    };
    fill(cbTextPattern, Settings_->PlayerNamePatterns);
    fill(cbServerPattern, Settings_->ServerNamePatterns);
}
