#pragma once

#include <QString>
#include <QUrl>

#include <functional>

class QWidget;

// The web browser inside the news window. It lives in a module of its own
// (morvix-newsview, QtWebEngine), loaded the first time the news is shown,
// so that a start of Morvix does not load the web engine.

// What the browser tells the window.
struct TNewsBrowserEvents
{
    std::function<void()> DownloadBegin;
    std::function<void()> DownloadComplete;
    std::function<void(const QString& title)> TitleChange;
    // The page asked for a window of its own; none was opened.
    std::function<void()> NewWindowRefused;
};

class TNewsBrowser
{
public:
    virtual ~TNewsBrowser() = default;
    // The browser's widget, a child of the parent it was made with; deleting
    // it deletes the browser.
    virtual QWidget* Widget() = 0;
    // Loads Address; returns at once.
    virtual void Navigate(const QUrl& address) = 0;
};

// The module's one function, MorvixCreateNewsBrowser.
using TCreateNewsBrowser = TNewsBrowser* (*)(QWidget* parent, const TNewsBrowserEvents& events);
inline constexpr char kCreateNewsBrowserName[] = "MorvixCreateNewsBrowser";
