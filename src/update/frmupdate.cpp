#include "update/frmupdate.h"

#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "core/dialogs.h"

TfrmUpdate::TfrmUpdate(QWidget* parent, TDialogs& dialogs)
    // A fixed frame with a title and no buttons in it.
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), Dialogs_(dialogs)
{
    setObjectName(QStringLiteral("frmUpdate"));
    setWindowTitle(QStringLiteral("Morvix WebUpdate"));

    pcUpdate = new QTabWidget(this);
    pcUpdate->setObjectName(QStringLiteral("pcUpdate"));
    tsUpdate = new QWidget(pcUpdate);
    tsUpdate->setObjectName(QStringLiteral("tsUpdate"));
    pcUpdate->addTab(tsUpdate, QStringLiteral("Update"));

    lblUpdate = new QLabel(QStringLiteral("Morvix WebUpdate"), tsUpdate);
    lblUpdate->setObjectName(QStringLiteral("lblUpdate"));
    QFont heading = lblUpdate->font();
    heading.setBold(true);
    heading.setPointSizeF(heading.pointSizeF() * 1.5);
    lblUpdate->setFont(heading);

    auto* gbProgress = new QGroupBox(QStringLiteral("Progress"), tsUpdate);
    gbProgress->setObjectName(QStringLiteral("gbProgress"));
    lblFileName = new QLabel(QStringLiteral("(no file in progress)"), gbProgress);
    lblFileName->setObjectName(QStringLiteral("lblFileName"));
    pbFileProgress = new QProgressBar(gbProgress);
    pbFileProgress->setObjectName(QStringLiteral("pbFileProgress"));
    pbFileProgress->setRange(0, 100);
    pbFileProgress->setValue(0);
    auto* separator = new QFrame(gbProgress);
    separator->setFrameShape(QFrame::HLine);
    separator->setFrameShadow(QFrame::Sunken);
    editProxyHost = new QLineEdit(gbProgress);
    editProxyHost->setObjectName(QStringLiteral("editProxyHost"));
    auto* proxyLabel = new QLabel(QStringLiteral("Proxy host"), gbProgress);
    proxyLabel->setBuddy(editProxyHost);
    lblInfo =
        new QLabel(QStringLiteral("Press the \"Check for updates\" to begin update"), gbProgress);
    lblInfo->setObjectName(QStringLiteral("lblInfo"));

    auto* progress = new QGridLayout(gbProgress);
    progress->addWidget(new QLabel(QStringLiteral("CurrentFile:"), gbProgress), 0, 0);
    progress->addWidget(lblFileName, 0, 1);
    progress->addWidget(pbFileProgress, 1, 0, 1, 2);
    progress->addWidget(separator, 2, 0, 1, 2);
    progress->addWidget(
        new QLabel(QStringLiteral("Proxy settings (leave blank for none)"), gbProgress), 3, 0, 1,
        2);
    progress->addWidget(proxyLabel, 4, 0);
    progress->addWidget(editProxyHost, 4, 1);
    progress->addWidget(lblInfo, 5, 0, 1, 2);
    progress->setColumnStretch(1, 1);

    auto* page = new QVBoxLayout(tsUpdate);
    page->addWidget(lblUpdate);
    page->addWidget(gbProgress);

    sbBack = new QPushButton(QStringLiteral("<< Back"), this);
    sbBack->setObjectName(QStringLiteral("sbBack"));
    sbBack->setAutoDefault(false);
    sbCheckNow = new QPushButton(QStringLiteral("Check for updates >>"), this);
    sbCheckNow->setObjectName(QStringLiteral("sbCheckNow"));
    sbCheckNow->setAutoDefault(false);
    connect(sbBack, &QPushButton::clicked, this, &QDialog::reject);
    connect(sbCheckNow, &QPushButton::clicked, this, &TfrmUpdate::CheckNow);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(sbBack);
    buttons->addWidget(sbCheckNow);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pcUpdate);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    editProxyHost->setMinimumWidth(260);
}

void TfrmUpdate::CheckForUpdates()
{
    Dialogs_.Information(QStringLiteral("Morvix"),
                         QStringLiteral("This feature requires an internet connection. "
                                        "Please make sure you are online."));
    Reset(true);
    setWindowModality(Qt::ApplicationModal);
    show();
    raise();
    activateWindow();
}

void TfrmUpdate::Reset(bool enabled)
{
    lblFileName->clear();
    pbFileProgress->setValue(0);
    sbBack->setEnabled(enabled);
    sbCheckNow->setEnabled(enabled);
}

void TfrmUpdate::CheckNow()
{
    Reset(false);
    PendingFiles_.clear();
}
