// morvix-newsview: the news window's browser, a QtWebEngine view. Morvix
// loads this module when the news is first shown.

#include <QWebEnginePage>
#include <QWebEngineView>
#include <QtWebEngineQuick/qtwebenginequickglobal.h>

#include "tools/newsbrowser.h"

namespace {

// Pages may not open windows: links that target a new window and scripts
// that open one get nothing.
class TNewsPage final : public QWebEnginePage
{
public:
    TNewsPage(std::function<void()> refused, QObject* parent)
        : QWebEnginePage(parent), Refused_(std::move(refused))
    {}

protected:
    QWebEnginePage* createWindow(WebWindowType) override
    {
        if (Refused_) {
            Refused_();
        }
        return nullptr;
    }

private:
    std::function<void()> Refused_;
};

class TWebNewsBrowser final : public QWebEngineView, public TNewsBrowser
{
public:
    TWebNewsBrowser(QWidget* parent, const TNewsBrowserEvents& events) : QWebEngineView(parent)
    {
        setPage(new TNewsPage(events.NewWindowRefused, this));
        const auto call = [](const std::function<void()>& event) {
            return [event] {
                if (event) {
                    event();
                }
            };
        };
        connect(this, &QWebEngineView::loadStarted, this, call(events.DownloadBegin));
        connect(this, &QWebEngineView::loadFinished, this, call(events.DownloadComplete));
        connect(this, &QWebEngineView::titleChanged, this,
                [event = events.TitleChange](const QString& title) {
                    if (event) {
                        event(title);
                    }
                });
    }

    QWidget* Widget() override { return this; }
    void Navigate(const QUrl& address) override { load(address); }
};

} // namespace

extern "C" Q_DECL_EXPORT TNewsBrowser* MorvixCreateNewsBrowser(QWidget* parent,
                                                               const TNewsBrowserEvents& events)
{
    // The engine's shared graphics context is normally made as the
    // application starts; loaded later, the engine needs it made now (it
    // says so on standard error, and works).
    static const bool initialized = [] {
        QtWebEngineQuick::initialize();
        return true;
    }();
    Q_UNUSED(initialized);
    return new TWebNewsBrowser(parent, events);
}
