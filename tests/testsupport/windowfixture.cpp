#include "windowfixture.h"

#include <QTest>

#include "browser/frmserverlist.h"
#include "core/settingsio.h"

TWindowFixture::TWindowFixture() = default;

TWindowFixture::~TWindowFixture()
{
    Windows = {};
}

TFileSettingsStore& TWindowFixture::OpenStore(const QString& path)
{
    Store = std::make_unique<TFileSettingsStore>(path.isEmpty() ? TFileSettingsStore::DefaultPath()
                                                                : path);
    LoadSettingsFile(*Store, Dialogs);
    return *Store;
}

TfrmServerList& TWindowFixture::Build()
{
    Windows = {};
    if (!Store) {
        OpenStore();
    }
    Windows = CreateProgramWindows(Settings, Dialogs, *Store);
    return *Windows.Main;
}

bool TWindowFixture::Show()
{
    if (!Windows.Main) {
        Build();
    }
    Windows.Main->show();
    return QTest::qWaitForWindowExposed(Windows.Main.get());
}

TfrmServerList& TWindowFixture::Restart()
{
    Windows = {};
    Settings.Reset();
    OpenStore();
    return Build();
}
