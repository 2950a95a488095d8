#include "ui/uAbout.h"

#include "base/uConfig.h"
#include "data/uData.h"
#include "soundlib/LibraryVersions.h"
#include "ui/FormControls.h"
#include "ui/UiFont.h"

#include <QLabel>
#include <QPalette>
#include <QPushButton>

QStringList UsedLibraries() {
    // A no-break space keeps each name beside its version when the list wraps.
    const auto Entry = [](const QString& Name, const QString& Version) {
        return Name + QChar(0x00A0) + Version;
    };
    QStringList Lines{Entry(QStringLiteral("Qt"), QLatin1String(qVersion())),
                      Entry(QStringLiteral("SQLite"), SqliteVersion())};
    for (const TLibraryVersion& Lib : LibraryVersions())
        Lines << Entry(QString::fromStdString(Lib.Name), QString::fromStdString(Lib.Version));
    return Lines;
}

TfrmAbout::TfrmAbout(QWidget* Parent) : QDialog(Parent) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("Over Vantor 2026"));
    setFont(UiFont(12));
    setFixedSize(424, 320);

    pnlHeader = new QWidget(this);
    pnlHeader->setObjectName(QStringLiteral("pnlHeader"));
    pnlHeader->setGeometry(0, 0, 424, 80);
    pnlHeader->setAutoFillBackground(true);
    QPalette Header = pnlHeader->palette();
    Header.setColor(QPalette::Window, QColor(188, 117, 51));
    Header.setColor(QPalette::WindowText, Qt::white);
    pnlHeader->setPalette(Header);

    lblTitle = NewLabel(pnlHeader, "lblTitle", 20, 14, QStringLiteral("Vantor 2026 Beta"),
                        UiFont(24, true));
    lblSubtitle = NewLabel(pnlHeader, "lblSubtitle", 21, 48,
                           QStringLiteral("Hourly Audio Recorder"), UiFont(13));
    lblLibsHdr = NewLabel(this, "lblLibsHdr", 20, 136, QStringLiteral("Gebruikte bibliotheken:"),
                          UiFont(12, true));
    lblLibs = NewLabel(this, "lblLibs", 36, 158, QString());
    lblIniHdr = NewLabel(this, "lblIniHdr", 20, 232, QStringLiteral("Instellingenbestand:"),
                         UiFont(12, true));
    lblIniPath = NewLabel(this, "lblIniPath", 36, 254, QString());
    lblIniPath->setTextInteractionFlags(Qt::TextSelectableByMouse);

    btnClose = NewButton(this, "btnClose", QStringLiteral("Sluiten"), {326, 280, 82, 27});
    btnClose->setDefault(true);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::accept);

    FormCreate();
}

void TfrmAbout::FormCreate() {
    lblLibs->setWordWrap(true);
    lblLibs->setText(UsedLibraries().join(QStringLiteral(", ")));
    lblLibs->setFixedWidth(width() - 36 - 16);
    lblLibs->adjustSize();
    // The file the settings object really uses (another data folder, or the user's own when
    // the program's folder is not writable); without one, the file beside the program.
    const QString IniPath = Config ? Config->IniPath() : AppDir() + SettingsFileName;
    lblIniPath->setText(IniPath);
    lblIniPath->setToolTip(IniPath);
    lblIniPath->setFixedWidth(width() - 36 - 16);
}
