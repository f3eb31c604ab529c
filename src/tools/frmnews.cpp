#include "tools/frmnews.h"

#include <QAction>
#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QLabel>
#include <QLibrary>
#include <QStatusBar>
#include <QVBoxLayout>

#include <unistd.h>

#include "core/settingsio.h"

namespace {

const QString kModuleName = QStringLiteral("morvix-newsview.so");

bool WebSandboxTurnedOff()
{
    return qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX") ||
           qEnvironmentVariable("QTWEBENGINE_CHROMIUM_FLAGS")
               .split(QLatin1Char(' '))
               .contains(QLatin1String("--no-sandbox"));
}

} // namespace

TfrmNews::TfrmNews(QWidget* parent, TSettingsStore& store, const QUrl& newsAddress,
                   TBrowserFactory factory)
    : QWidget(parent, Qt::Tool), Store_(store), NewsAddress_(newsAddress),
      Factory_(std::move(factory))
{
    setObjectName(QStringLiteral("frmNews"));
    setWindowTitle(QStringLiteral("Morvix"));
    resize(760, 560);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    PageLayout_ = new QVBoxLayout;
    layout->addLayout(PageLayout_, 1);
    lblNoBrowser = new QLabel(this);
    lblNoBrowser->setObjectName(QStringLiteral("lblNoBrowser"));
    lblNoBrowser->setAlignment(Qt::AlignCenter);
    lblNoBrowser->setWordWrap(true);
    lblNoBrowser->setMargin(24);
    lblNoBrowser->hide();
    PageLayout_->addWidget(lblNoBrowser);
    sbWebStatus = new QStatusBar(this);
    sbWebStatus->setObjectName(QStringLiteral("sbWebStatus"));
    sbWebStatus->setSizeGripEnabled(false);
    layout->addWidget(sbWebStatus);

    // A window shortcut, so that it works while the page has the focus.
    auto* hideAction = new QAction(this);
    hideAction->setShortcut(QKeySequence(Qt::Key_Escape));
    hideAction->setShortcutContext(Qt::WindowShortcut);
    connect(hideAction, &QAction::triggered, this, &QWidget::hide);
    addAction(hideAction);
}

void TfrmNews::OpenNews(const QUrl& address)
{
    show();
    raise();
    activateWindow();
    if (!StartBrowser()) {
        return;
    }
    sbWebStatus->showMessage(QStringLiteral("Setting up news connection...please wait"));
    Browser_->Navigate(address);
}

void TfrmNews::RetrieveLatestNews()
{
    if (!NewsAddress_.isEmpty()) {
        OpenNews(NewsAddress_);
    }
}

void TfrmNews::OpenDueNews()
{
    if (NewsAddress_.isEmpty()) {
        return;
    }
    OpenNews(NewsAddress_);
    WriteLastNews(Store_, QDateTime::currentDateTime());
}

bool TfrmNews::StartBrowser()
{
    if (Browser_) {
        return true;
    }
    if (BrowserError_.isEmpty()) {
        TNewsBrowserEvents events;
        events.DownloadBegin = [this] {
            sbWebStatus->showMessage(QStringLiteral("Downloading news..."));
        };
        events.DownloadComplete = [this] {
            sbWebStatus->showMessage(QStringLiteral("Download complete..."));
        };
        events.TitleChange = [this](const QString& title) {
            setWindowTitle(QStringLiteral("Morvix - ") + title);
        };
        events.NewWindowRefused = [this] { emit NewWindowRefused(); };
        QString error;
        Browser_ = Factory_ ? Factory_(this, events, error) : nullptr;
        if (Browser_) {
            Browser_->Widget()->setObjectName(QStringLiteral("wbNews"));
            PageLayout_->addWidget(Browser_->Widget());
            Browser_->Widget()->show();
            return true;
        }
        BrowserError_ = error.isEmpty() ? QStringLiteral("no web browser") : error;
    }
    lblNoBrowser->setText(QStringLiteral("The news page cannot be shown here:\n") + BrowserError_);
    lblNoBrowser->show();
    return false;
}

TfrmNews::TBrowserFactory NewsBrowserModule(const QString& path)
{
    return
        [path](QWidget* parent, const TNewsBrowserEvents& events, QString& error) -> TNewsBrowser* {
            if (geteuid() == 0 && !WebSandboxTurnedOff()) {
                error = QStringLiteral(
                    "Morvix runs as root, and the web engine does not run as root with its "
                    "sandbox on. To show the page anyway, without that protection, start Morvix "
                    "with the environment variable QTWEBENGINE_DISABLE_SANDBOX=1.");
                return nullptr;
            }
            // The library stays loaded until the program ends.
            QLibrary module(path);
            const auto create =
                reinterpret_cast<TCreateNewsBrowser>(module.resolve(kCreateNewsBrowserName));
            if (!create) {
                error = module.errorString();
                return nullptr;
            }
            return create(parent, events);
        };
}

QString NewsBrowserModulePath()
{
    const QString folder = QCoreApplication::applicationDirPath();
    const QString beside = folder + QLatin1Char('/') + kModuleName;
    if (QFileInfo::exists(beside)) {
        return beside;
    }
    return folder + QStringLiteral("/" MORVIX_NEWSVIEW_INSTALL_DIR "/") + kModuleName;
}
