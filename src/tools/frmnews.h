#pragma once

#include <QUrl>
#include <QWidget>

#include <functional>

#include "tools/newsbrowser.h"

class QLabel;
class QStatusBar;
class QVBoxLayout;
class TSettingsStore;

// The news window: the maker's news page in a web browser, with the progress
// of its download in the status bar and the page's title in the caption.
// Pages cannot open windows of their own; Escape hides the window and the
// page stays until the news is opened again.
//
// The window is made at start; its browser is made the first time the news
// is opened, so that the web engine costs nothing until then.
class TfrmNews : public QWidget
{
    Q_OBJECT

public:
    // Makes the browser as a child of Parent; nothing (and Error) when it
    // cannot be made.
    using TBrowserFactory = std::function<TNewsBrowser*(
        QWidget* parent, const TNewsBrowserEvents& events, QString& error)>;

    // NewsAddress is the maker's news page, empty when the build has none.
    // "LastNews" is written into Store.
    TfrmNews(QWidget* parent, TSettingsStore& store, const QUrl& newsAddress,
             TBrowserFactory factory);

    const QUrl& NewsAddress() const { return NewsAddress_; }

    // Shows the window and starts loading Address; returns at once.
    void OpenNews(const QUrl& address);
    // "Retrieve latest news": opens the news page; "LastNews" stays as it is.
    void RetrieveLatestNews();
    // The news was found due at the first activation: opens the news page
    // and stores the date and time as "LastNews". Without a news address
    // nothing is opened and nothing stored.
    void OpenDueNews();

    // Whether the browser has been made.
    bool BrowserStarted() const { return Browser_ != nullptr; }

signals:
    // The page asked for a new window, which was not opened.
    void NewWindowRefused();

private:
    bool StartBrowser();

    TSettingsStore& Store_;
    QUrl NewsAddress_;
    TBrowserFactory Factory_;
    TNewsBrowser* Browser_ = nullptr; // owned by its widget, a child of the window
    QString BrowserError_;

    QVBoxLayout* PageLayout_ = nullptr;
    QLabel* lblNoBrowser = nullptr;
    QStatusBar* sbWebStatus = nullptr;
};

// The browser of the web view module at Path (see NewsBrowserModulePath),
// loaded on its first use. Run by root it makes none unless the user turned
// the web engine's sandbox off (QTWEBENGINE_DISABLE_SANDBOX): the engine
// refuses to run as root with its sandbox, and would end the program.
TfrmNews::TBrowserFactory NewsBrowserModule(const QString& path);

// Where the web view module is: beside the program in the build folder,
// otherwise in the installed library folder.
QString NewsBrowserModulePath();
