#pragma once

#include <QWidget>

#include "core/playersearch.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QMenu;
class QProgressBar;
class QPushButton;
class QStatusBar;
class QTabWidget;
class QTreeView;
class TDialogs;
class TSearchResultModel;
class TServerBrowser;
class TSettings;

// The player search window, "Player search": finds players by a wildcard
// pattern on the servers of the main window's list, either by asking each
// chosen server afresh (its own ten query components) or in the player
// tables the list already holds ("Local search"). Hits are listed with the
// matched text, the column it was found in, the game and the address, and
// can be copied. The two pattern boxes remember what was typed (the
// settings keep their lists).
//
// Created at start and kept until exit: its results, patterns and height
// stay between showings, and a search goes on while the window is closed.
class TfrmSearch : public QWidget
{
    Q_OBJECT

public:
    TfrmSearch(TServerBrowser& list, TSettings& settings, TDialogs& dialogs);
    ~TfrmSearch() override;

    // Shows the window, blocking the other windows without a loop of its
    // own; every game is checked again.
    void Open();

    // "&Search now".
    void Search();
    // "&Abort search".
    void Abort();
    // "&Clear".
    void Clear();
    // The two copy commands of the results' pop-up menu.
    void CopyAddress();
    void CopyRow();

    bool IsSearching() const { return Search_.IsSearching(); }
    QString StatusText() const;
    TPlayerSearch& Engine() { return Search_; }

    // Client heights: conditions only, and with the results below them.
    static constexpr int CollapsedHeight = 292;
    static constexpr int ExpandedHeight = 500;
    static constexpr int WindowWidth = 403;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ShowStatus(const QString& text);
    void SetSearching(bool searching);
    void SetHeight(int height);
    TSearchConditions Conditions() const;
    void LocalSearch(const TSearchConditions& conditions);
    void NetworkSearch(const TSearchConditions& conditions);
    void ApplyLimits();
    void Finished(const QString& summary);
    void RememberPattern(QComboBox* box);
    void LoadHistories();
    void SortBy(int column);
    void FitColumns();

    TServerBrowser& List_;
    TSettings& Settings_;
    TDialogs& Dialogs_;
    TPlayerSearch Search_;
    TSearchResultModel* Results_ = nullptr;
    int SortColumn_ = -1;
    bool Ascending_ = true;
    bool FitPending_ = false;

    QWidget* Conditions_ = nullptr;
    QTabWidget* pcSearch = nullptr;
    QWidget* tsSearch = nullptr;
    QComboBox* cbTextPattern = nullptr;
    QComboBox* cbServerPattern = nullptr;
    QLabel* lblPatternNote = nullptr;
    QCheckBox* cbCase = nullptr;
    QCheckBox* cbLocalSearch = nullptr;
    QListWidget* cbGames = nullptr;
    QPushButton* btnSearch = nullptr;
    QPushButton* btnAbort = nullptr;
    QPushButton* btnClear = nullptr;
    QProgressBar* animSearch = nullptr;
    QTreeView* lvSearchResults = nullptr;
    QStatusBar* sbStatus = nullptr;
    QLabel* Status_ = nullptr;
    QMenu* pmResults = nullptr;
};
