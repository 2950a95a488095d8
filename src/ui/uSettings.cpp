#include "ui/uSettings.h"

#include "base/RegionalText.h"
#include "base/uConfig.h"
#include "control/FreeSpacePolicy.h"
#include "control/Retention.h"
#include "control/StatusText.h"
#include "data/uData.h"
#include "ui/FormControls.h"
#include "ui/MessageBoxes.h"
#include "ui/UiFont.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <optional>

namespace {

QLineEdit* NewEdit(QWidget* Parent, const char* Name, int X, int Y, int Width) {
    auto* Edit = new QLineEdit(Parent);
    Edit->setObjectName(QLatin1String(Name));
    Edit->setGeometry(X, Y, Width, 23);
    return Edit;
}

QString DeletionQuestion(const TRetentionPreview& Preview) {
    const bool One = Preview.Count == 1;
    return QStringLiteral("Met deze instellingen %1 nu %2 %3 verwijderd (%4). Doorgaan?")
        .arg(One ? QStringLiteral("wordt") : QStringLiteral("worden"),
             QString::number(Preview.Count),
             One ? QStringLiteral("opname") : QStringLiteral("opnamen"),
             ByteCountText(Preview.Bytes));
}

} // namespace

TfrmSettings::TfrmSettings(TRecordingSession& Session, QWidget* Parent, TRunningFile RunningFile)
    : QDialog(Parent), FSession(Session), FRunningFile(std::move(RunningFile)),
      FCurrent(Session.Settings()) {
    if (!FRunningFile)
        FRunningFile = [&Session] { return Session.RunningFile(); };
    setObjectName(QStringLiteral("frmSettings"));
    setWindowTitle(QStringLiteral("Instellingen"));
    setFont(UiFont(12));
    setFixedSize(484, 379);

    lblRoot =
        NewLabel(this, "lblRoot", 16, 16, QStringLiteral("Map voor opnames (/jaar/maand/dag):"));
    edtRoot = NewEdit(this, "edtRoot", 16, 36, 377);
    btnRoot = NewButton(this, "btnRoot", QStringLiteral("Bladeren..."), {399, 35, 70, 25});
    lblDb = NewLabel(this, "lblDb", 16, 76, QStringLiteral("SQLite databasebestand:"));
    edtDb = NewEdit(this, "edtDb", 16, 96, 377);
    btnDb = NewButton(this, "btnDb", QStringLiteral("Bladeren..."), {399, 95, 70, 25});
    chkAuto =
        new QCheckBox(QStringLiteral("Opnames automatisch starten volgens het weekschema"), this);
    chkAuto->setObjectName(QStringLiteral("chkAuto"));
    chkAuto->setGeometry(16, 136, 361, chkAuto->sizeHint().height());
    lblSilenceSeconds = NewLabel(this, "lblSilenceSeconds", 16, 175,
                                 QStringLiteral("Stilte na (seconden, 0 = uit):"));
    edtSilenceSeconds = NewEdit(this, "edtSilenceSeconds", 272, 172, 80);
    lblSilenceLevel =
        NewLabel(this, "lblSilenceLevel", 16, 207, QStringLiteral("Stilteniveau (dBFS):"));
    edtSilenceLevel = NewEdit(this, "edtSilenceLevel", 272, 204, 80);
    lblKeepDays = NewLabel(this, "lblKeepDays", 16, 239,
                           QStringLiteral("Opnamen bewaren (dagen, 0 = altijd):"));
    edtKeepDays = NewEdit(this, "edtKeepDays", 272, 236, 80);
    lblMinFree =
        NewLabel(this, "lblMinFree", 16, 271, QStringLiteral("Minimaal vrij (MiB, 0 = uit):"));
    edtMinFree = NewEdit(this, "edtMinFree", 272, 268, 80);
    chkKeepAnnotated =
        new QCheckBox(QStringLiteral("Opnamen met titel of personen nooit verwijderen"), this);
    chkKeepAnnotated->setObjectName(QStringLiteral("chkKeepAnnotated"));
    chkKeepAnnotated->setGeometry(16, 302, 361, chkKeepAnnotated->sizeHint().height());
    btnOK = NewButton(this, "btnOK", QStringLiteral("OK"), {297, 338, 82, 27});
    btnOK->setDefault(true);
    btnCancel = NewButton(this, "btnCancel", QStringLiteral("Annuleren"), {387, 338, 82, 27});

    connect(btnRoot, &QPushButton::clicked, this, &TfrmSettings::btnRootClick);
    connect(btnDb, &QPushButton::clicked, this, &TfrmSettings::btnDbClick);
    connect(btnOK, &QPushButton::clicked, this, &TfrmSettings::btnOKClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    QWidget* const TabOrder[] = {edtRoot,    btnRoot,           edtDb,           btnDb,
                                 chkAuto,    edtSilenceSeconds, edtSilenceLevel, edtKeepDays,
                                 edtMinFree, chkKeepAnnotated,  btnOK,           btnCancel};
    for (size_t I = 1; I < std::size(TabOrder); ++I)
        setTabOrder(TabOrder[I - 1], TabOrder[I]);
    edtRoot->setFocus();

    FormCreate();
}

void TfrmSettings::FormCreate() {
    edtRoot->setText(FCurrent.RootFolder);
    edtDb->setText(FCurrent.DatabasePath);
    chkAuto->setChecked(FCurrent.AutoRecord);
    edtSilenceSeconds->setText(QString::number(FCurrent.Alarm.SilenceSeconds));
    edtSilenceLevel->setText(QString::number(FCurrent.Alarm.SilenceLevel));
    edtKeepDays->setText(QString::number(FCurrent.Retention.KeepDays));
    edtMinFree->setText(QString::number(FCurrent.Retention.MinFreeMB));
    chkKeepAnnotated->setChecked(FCurrent.Retention.KeepAnnotated);
}

bool TfrmSettings::Refuse(QLineEdit* Field, const QString& Text) {
    ShowWarning(this, Text);
    Field->setFocus();
    Field->selectAll();
    return false;
}

bool TfrmSettings::ReadSilenceValues(TAlarmSettings& Alarm) {
    // Each field in turn: a whole number first, then one in its range.
    const std::optional<int32_t> Seconds = WholeNumber(edtSilenceSeconds->text());
    if (!Seconds)
        return Refuse(edtSilenceSeconds,
                      QStringLiteral("De stilteduur moet een geheel aantal seconden zijn."));
    if (const QString Error = SilenceSettingsError(*Seconds, TAlarmSettings().SilenceLevel);
        !Error.isEmpty())
        return Refuse(edtSilenceSeconds, Error);
    const std::optional<int32_t> Level = WholeNumber(edtSilenceLevel->text());
    if (!Level)
        return Refuse(edtSilenceLevel,
                      QStringLiteral("Het stilteniveau moet een geheel getal (dBFS) zijn."));
    if (const QString Error = SilenceSettingsError(*Seconds, *Level); !Error.isEmpty())
        return Refuse(edtSilenceLevel, Error);
    Alarm.SilenceSeconds = *Seconds;
    Alarm.SilenceLevel = *Level;
    return true;
}

bool TfrmSettings::ReadRetentionValues(TRetentionSettings& Retention) {
    const std::optional<int32_t> Days = WholeNumber(edtKeepDays->text());
    if (!Days)
        return Refuse(edtKeepDays,
                      QStringLiteral("Het aantal dagen om te bewaren moet een geheel getal zijn."));
    if (const QString Error = RetentionSettingsError(*Days, 0); !Error.isEmpty())
        return Refuse(edtKeepDays, Error);
    const std::optional<int32_t> MinFree = WholeNumber(edtMinFree->text());
    if (!MinFree)
        return Refuse(edtMinFree,
                      QStringLiteral("De minimale vrije ruimte moet een geheel aantal MiB zijn."));
    if (const QString Error = RetentionSettingsError(*Days, *MinFree); !Error.isEmpty())
        return Refuse(edtMinFree, Error);
    Retention.KeepDays = *Days;
    Retention.MinFreeMB = *MinFree;
    Retention.KeepAnnotated = chkKeepAnnotated->isChecked();
    return true;
}

bool TfrmSettings::ConfirmDeletions(const TRetentionSettings& Rules, const QString& Root,
                                    TLogData& Data) {
    if (Rules == FCurrent.Retention)
        return true;
    const TRetentionPreview Preview =
        PreviewRetention(Data.LoggedFilesOldestFirst(), Rules, QDateTime::currentDateTime(), Root,
                         FRunningFile(), VolumeFreeBytes(Root));
    return Preview.Count == 0 || ConfirmYesNo(this, DeletionQuestion(Preview), TDefaultAnswer::No);
}

void TfrmSettings::btnRootClick() {
    const QString Typed = edtRoot->text();
    const QString Start = !Typed.isEmpty() && QFileInfo(Typed).isDir() ? Typed : QString();
    const QString Folder = QFileDialog::getExistingDirectory(
        this, QStringLiteral("Kies de map voor opnames"), Start, QFileDialog::ShowDirsOnly);
    if (!Folder.isEmpty())
        edtRoot->setText(Folder);
}

void TfrmSettings::btnDbClick() {
    QFileDialog dlgDb(this);
    dlgDb.setObjectName(QStringLiteral("dlgDb"));
    dlgDb.setAcceptMode(QFileDialog::AcceptSave);
    dlgDb.setFileMode(QFileDialog::AnyFile);
    dlgDb.setDefaultSuffix(QStringLiteral("sqlite"));
    dlgDb.setNameFilters(
        {QStringLiteral("SQLite database (*.sqlite)"), QStringLiteral("Alle bestanden (*)")});
    // Browsing starts at the database in use, not at the text being edited.
    dlgDb.selectFile(FCurrent.DatabasePath);
    while (dlgDb.exec() == QDialog::Accepted) {
        const QString File = dlgDb.selectedFiles().value(0);
        const QFileInfo Info(File);
        if (Info.exists() && !Info.isWritable()) {
            QMessageBox::warning(&dlgDb, windowTitle(),
                                 QStringLiteral("%1 is alleen-lezen.\nKies een ander bestand.")
                                     .arg(Info.fileName()));
            continue;
        }
        edtDb->setText(File);
        return;
    }
}

void TfrmSettings::btnOKClick() {
    TRunSettings New{edtRoot->text(), edtDb->text(), chkAuto->isChecked(), FCurrent.Alarm, {}};
    if (!ReadSilenceValues(New.Alarm) || !ReadRetentionValues(New.Retention))
        return;
    // The rules run on the recordings of the database in use after OK.
    if (FSession.ApplySettings(New, [this, &New](TLogData& Data) {
            return ConfirmDeletions(New.Retention, New.RootFolder, Data);
        }))
        accept();
}
