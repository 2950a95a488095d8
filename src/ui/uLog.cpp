#include "ui/uLog.h"

#include "base/RegionalText.h"
#include "control/Coverage.h"
#include "control/LogExport.h"
#include "ui/CoverageStrip.h"
#include "ui/FormControls.h"
#include "ui/ListingGrid.h"
#include "ui/MessageBoxes.h"
#include "ui/PlaybackBar.h"
#include "ui/UiFont.h"
#include "ui/uSchedule.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QUrl>
#include <limits>

namespace {

constexpr int FindHeight = 48;
// The coverage strip between the grid and the playback row, with its label above it.
constexpr int CoverageHeight = 62;
constexpr int CoverageLabelTop = 4;
constexpr int CoverageStripTop = 24;
constexpr int CoverageStripHeight = 34;
constexpr int PlaybackHeight = 44;
constexpr int PanelHeight = 180;
constexpr int ButtonWidth = 110;
// Typing settles this long before the listing is read again.
constexpr int FindDelayMs = 150;

QDateEdit* NewDateEdit(QWidget* Parent, const char* Name) {
    auto* Edit = new QDateEdit(QDate::currentDate(), Parent);
    Edit->setObjectName(QLatin1String(Name));
    Edit->setCalendarPopup(true);
    Edit->setDisplayFormat(QStringLiteral("dd-MM-yyyy"));
    return Edit;
}

QString RecordingsText(int32_t Count) {
    return GroupedNumber(Count) +
           (Count == 1 ? QStringLiteral(" opname") : QStringLiteral(" opnamen"));
}

QString CoverageTitle(const QDate& Day) {
    return QStringLiteral("Dekking ") + DayNames[Day.dayOfWeek() - 1].toLower() + u' ' +
           Day.toString(QStringLiteral("dd-MM-yyyy"));
}

} // namespace

TfrmLog::TfrmLog(TLogData* Data, QWidget* Parent, TFileExists Exists, TClock Clock)
    : QDialog(Parent), FData(Data), FClock(std::move(Clock)) {
    setObjectName(QStringLiteral("frmLog"));
    setWindowTitle(QStringLiteral("Opnames log"));
    setFont(UiFont(12));
    setMinimumSize(700, 400);

    pnlFind = new QWidget(this);
    pnlFind->setObjectName(QStringLiteral("pnlFind"));
    lblFind = new QLabel(QStringLiteral("Zoeken:"), pnlFind);
    lblFind->setObjectName(QStringLiteral("lblFind"));
    edtFind = new QLineEdit(pnlFind);
    edtFind->setObjectName(QStringLiteral("edtFind"));
    edtFind->setPlaceholderText(QStringLiteral("titel, personen, preset of bestandsnaam"));
    edtFind->setClearButtonEnabled(true);
    lblFind->setBuddy(edtFind);
    lblFrom = new QLabel(QStringLiteral("Van"), pnlFind);
    lblFrom->setObjectName(QStringLiteral("lblFrom"));
    dteFrom = NewDateEdit(pnlFind, "dteFrom");
    lblTo = new QLabel(QStringLiteral("Tot"), pnlFind);
    lblTo->setObjectName(QStringLiteral("lblTo"));
    dteTo = NewDateEdit(pnlFind, "dteTo");
    chkAllDates = new QCheckBox(QStringLiteral("Alle datums"), pnlFind);
    chkAllDates->setObjectName(QStringLiteral("chkAllDates"));
    chkAllDates->setChecked(true);
    lblCount = new QLabel(pnlFind);
    lblCount->setObjectName(QStringLiteral("lblCount"));
    lblCount->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    lblCount->setMinimumWidth(120);
    auto* FindRow = new QHBoxLayout(pnlFind);
    FindRow->setContentsMargins(16, 10, 16, 8);
    FindRow->setSpacing(8);
    FindRow->addWidget(lblFind);
    FindRow->addWidget(edtFind, 1);
    FindRow->addSpacing(16);
    FindRow->addWidget(lblFrom);
    FindRow->addWidget(dteFrom);
    FindRow->addWidget(lblTo);
    FindRow->addWidget(dteTo);
    FindRow->addWidget(chkAllDates);
    FindRow->addWidget(lblCount);

    tmrFind = new QTimer(this);
    tmrFind->setObjectName(QStringLiteral("tmrFind"));
    tmrFind->setSingleShot(true);
    tmrFind->setInterval(FindDelayMs);
    connect(tmrFind, &QTimer::timeout, this, [this] { LoadLog(-1); });
    const auto FindLater = [this] { tmrFind->start(); };
    connect(edtFind, &QLineEdit::textChanged, this, FindLater);
    connect(dteFrom, &QDateEdit::dateChanged, this, FindLater);
    connect(dteTo, &QDateEdit::dateChanged, this, FindLater);
    connect(chkAllDates, &QCheckBox::toggled, this, &TfrmLog::chkAllDatesClick);

    qry = new TListing(this);
    grd = NewListingGrid(this, qry);
    FDeletedRows = new TDeletedRowDelegate(qry, ListingColumn::FilePath, std::move(Exists), this);
    grd->setItemDelegate(FDeletedRows);
    connect(grd->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &TfrmLog::dsDataChange);
    lblCoverage = new QLabel(this);
    lblCoverage->setObjectName(QStringLiteral("lblCoverage"));
    pnlCoverage = new TCoverageStrip(this);
    pnlCoverage->setObjectName(QStringLiteral("pnlCoverage"));
    pnlPlayback = new TPlaybackBar(this);
    connect(grd, &QTableView::doubleClicked, pnlPlayback, &TPlaybackBar::btnPlayClick);

    pnlEdit = new QWidget(this);
    pnlEdit->setObjectName(QStringLiteral("pnlEdit"));
    lblTitle = NewLabel(pnlEdit, "lblTitle", 16, 16, ListingColumn::Title);
    edtTitle = new QLineEdit(pnlEdit);
    edtTitle->setObjectName(QStringLiteral("edtTitle"));
    edtTitle->setMaxLength(std::numeric_limits<int>::max());
    lblPersons = NewLabel(pnlEdit, "lblPersons", 16, 64, QStringLiteral("Opgenomen personen"));
    edtPersons = new QLineEdit(pnlEdit);
    edtPersons->setObjectName(QStringLiteral("edtPersons"));
    edtPersons->setMaxLength(std::numeric_limits<int>::max());
    lblPath = NewLabel(pnlEdit, "lblPath", 16, 112, QString());
    lblPath->setTextInteractionFlags(Qt::TextSelectableByMouse);
    btnSave = NewButton(pnlEdit, "btnSave", QStringLiteral("Opslaan"), {16, 138, ButtonWidth, 30});
    btnRefresh =
        NewButton(pnlEdit, "btnRefresh", QStringLiteral("Vernieuwen"), {136, 138, ButtonWidth, 30});
    btnOpenFolder = NewButton(pnlEdit, "btnOpenFolder", QStringLiteral("Map openen"),
                              {256, 138, ButtonWidth, 30});
    btnExport = NewButton(pnlEdit, "btnExport", QStringLiteral("Exporteren..."),
                          {376, 138, ButtonWidth, 30});
    btnClose =
        NewButton(pnlEdit, "btnClose", QStringLiteral("Sluiten"), {774, 138, ButtonWidth, 30});
    btnClose->setDefault(true);
    connect(btnSave, &QPushButton::clicked, this, &TfrmLog::btnSaveClick);
    connect(btnRefresh, &QPushButton::clicked, this, &TfrmLog::btnRefreshClick);
    connect(btnOpenFolder, &QPushButton::clicked, this, &TfrmLog::btnOpenFolderClick);
    connect(btnExport, &QPushButton::clicked, this, &TfrmLog::btnExportClick);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::reject);
    QWidget* const TabOrder[] = {edtFind,    dteFrom,       dteTo,      chkAllDates,
                                 grd,        edtTitle,      edtPersons, btnSave,
                                 btnRefresh, btnOpenFolder, btnExport,  btnClose};
    for (size_t I = 1; I < std::size(TabOrder); ++I)
        setTabOrder(TabOrder[I - 1], TabOrder[I]);

    resize(900, 520);
    FormCreate();
}

void TfrmLog::FormCreate() {
    chkAllDatesClick();
    LoadLog(-1);
}

TLogFilter TfrmLog::Filter() const {
    if (chkAllDates->isChecked())
        return {QDate(), QDate(), edtFind->text()};
    return {dteFrom->date(), dteTo->date(), edtFind->text()};
}

void TfrmLog::chkAllDatesClick() {
    dteFrom->setEnabled(!chkAllDates->isChecked());
    dteTo->setEnabled(!chkAllDates->isChecked());
    tmrFind->start();
}

void TfrmLog::LoadLog(int32_t KeepId) {
    tmrFind->stop();
    // The rows of one listing come from one filter, also when the fields change meanwhile.
    FFilter = Filter();
    // A row to keep is among the rows read before, wherever the grid was scrolled to.
    qry->Load(
        [Data = FData, Filter = FFilter](const TPageStart& After, int Limit) {
            return RequireDatabase(Data).ReadPage(RecordingsListing(Filter, After, Limit));
        },
        KeepId >= 0 ? qry->rowCount() : 0);
    lblCount->setText(RecordingsText(RequireDatabase(FData).Count(RecordingsCount(FFilter))));
    AutoSizeColumns(grd);
    FDeletedRows->MakeRoom(grd);

    int Current = qry->rowCount() > 0 ? 0 : -1;
    if (KeepId >= 0)
        for (int Row = 0; Row < qry->rowCount(); ++Row)
            if (qry->record(Row).value(ListingIdColumn).toInt() == KeepId) {
                Current = Row;
                break;
            }
    grd->setCurrentIndex(qry->index(Current, 0));
    grd->scrollTo(grd->currentIndex());
    // What the day holds may have changed since it was read.
    FCoverageDay.reset();
    dsDataChange();
}

void TfrmLog::dsDataChange() {
    const int Row = grd->currentIndex().row();
    if (Row < 0) {
        edtTitle->clear();
        edtPersons->clear();
        lblPath->clear();
        pnlPlayback->SetRecording(QString(), QDateTime());
        if (const QDate Today = FClock().date(); Today != FCoverageDay)
            ShowCoverage(Today);
        return;
    }
    // The stored texts whole, not the grid's shortened lines, so saving keeps them whole.
    const QSqlRecord Record = qry->record(Row);
    const QDateTime Moment = DateTimeFromText(Record.value(ListingColumn::Moment).toString());
    edtTitle->setText(Record.value(ListingColumn::Title).toString());
    edtPersons->setText(Record.value(ListingColumn::Persons).toString());
    lblPath->setText(Record.value(ListingColumn::FilePath).toString());
    lblPath->adjustSize();
    pnlPlayback->SetRecording(Record.value(ListingColumn::FilePath).toString(), Moment);
    if (Moment.date() != FCoverageDay)
        ShowCoverage(Moment.date());
}

void TfrmLog::ShowCoverage(const QDate& Day) {
    FCoverageDay = Day;
    pnlCoverage->Clear();
    QString Title;
    if (!Day.isValid()) {
        Title = QStringLiteral("Dekking: de datum van deze opname is niet te lezen");
    } else {
        try {
            pnlCoverage->SetDay(ReadCoverage(RequireDatabase(FData), Day, FClock()));
            Title = CoverageTitle(Day);
        } catch (const EDatabaseError& E) {
            Title = CoverageTitle(Day) + QStringLiteral(": niet te lezen (") +
                    QString::fromUtf8(E.what()) + u')';
        }
    }
    lblCoverage->setText(Title);
    pnlCoverage->setAccessibleName(Title);
}

void TfrmLog::btnSaveClick() {
    const int Row = grd->currentIndex().row();
    if (Row < 0)
        return;
    const int32_t Id = qry->record(Row).value(ListingIdColumn).toInt();
    RequireDatabase(FData).UpdateRecordingMeta(Id, edtTitle->text(), edtPersons->text());
    LoadLog(Id);
}

void TfrmLog::btnRefreshClick() {
    LoadLog(-1);
}

void TfrmLog::btnOpenFolderClick() {
    const int Row = grd->currentIndex().row();
    if (Row < 0)
        return;
    const QString Path = qry->record(Row).value(ListingColumn::FilePath).toString();
    if (Path.isEmpty()) {
        ShowWarning(this, QStringLiteral("Bij deze opname is geen bestand vastgelegd."));
        return;
    }
    const QString Folder = QFileInfo(Path).absolutePath();
    if (!QFileInfo(Folder).isDir()) {
        ShowWarning(this, QStringLiteral("De map %1 bestaat niet (meer).").arg(Folder));
        return;
    }
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(Folder)))
        ShowWarning(this, QStringLiteral("De map %1 kon niet worden geopend: er is geen "
                                         "bestandsbeheerder ingesteld.")
                              .arg(Folder));
}

void TfrmLog::btnExportClick() {
    QFileDialog dlgExport(this, QStringLiteral("Exporteren"));
    dlgExport.setObjectName(QStringLiteral("dlgExport"));
    dlgExport.setAcceptMode(QFileDialog::AcceptSave);
    dlgExport.setFileMode(QFileDialog::AnyFile);
    dlgExport.setDefaultSuffix(QStringLiteral("csv"));
    dlgExport.setNameFilters(
        {QStringLiteral("CSV-bestanden (*.csv)"), QStringLiteral("Alle bestanden (*)")});
    dlgExport.selectFile(QStringLiteral("opnamen.csv"));
    if (dlgExport.exec() != QDialog::Accepted)
        return;
    try {
        // What the grid shows, whole: also the rows it has not read yet.
        ExportLogCsv(RequireDatabase(FData), FFilter, dlgExport.selectedFiles().value(0));
    } catch (const std::exception& E) {
        ShowWarning(this, QString::fromUtf8(E.what()));
    }
}

void TfrmLog::resizeEvent(QResizeEvent* Event) {
    QDialog::resizeEvent(Event);
    // The grid takes every pixel of height beyond the find row and the parts below it.
    const int W = width(), H = height();
    const int Inner = W - 2 * 16;
    const int CoverageTop = H - PanelHeight - PlaybackHeight - CoverageHeight;
    pnlFind->setGeometry(0, 0, W, FindHeight);
    grd->setGeometry(0, FindHeight, W, CoverageTop - FindHeight);
    lblCoverage->setGeometry(16, CoverageTop + CoverageLabelTop, Inner,
                             CoverageStripTop - CoverageLabelTop);
    pnlCoverage->setGeometry(16, CoverageTop + CoverageStripTop, Inner, CoverageStripHeight);
    pnlPlayback->setGeometry(0, H - PanelHeight - PlaybackHeight, W, PlaybackHeight);
    pnlEdit->setGeometry(0, H - PanelHeight, W, PanelHeight);
    edtTitle->setGeometry(16, 34, Inner, 23);
    edtPersons->setGeometry(16, 82, Inner, 23);
    lblPath->setMaximumWidth(Inner);
    btnClose->move(W - 16 - ButtonWidth, 138);
}
