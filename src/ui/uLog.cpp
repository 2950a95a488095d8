#include "ui/uLog.h"

#include "data/uData.h"
#include "ui/FormControls.h"
#include "ui/ListingGrid.h"
#include "ui/UiFont.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlRecord>
#include <QTableView>
#include <limits>

namespace {

constexpr int PanelHeight = 180;
constexpr int ButtonWidth = 110;

} // namespace

TfrmLog::TfrmLog(QWidget* Parent, TFileExists Exists) : QDialog(Parent) {
    setObjectName(QStringLiteral("frmLog"));
    setWindowTitle(QStringLiteral("Opnames log"));
    setFont(UiFont(12));
    setMinimumSize(700, 400);

    qry = new TListing(this);
    grd = NewListingGrid(this, qry);
    FDeletedRows =
        new TDeletedRowDelegate(qry, QStringLiteral("filepath"), std::move(Exists), this);
    grd->setItemDelegate(FDeletedRows);
    connect(grd->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &TfrmLog::dsDataChange);

    pnlEdit = new QWidget(this);
    pnlEdit->setObjectName(QStringLiteral("pnlEdit"));
    lblTitle = NewLabel(pnlEdit, "lblTitle", 16, 16, QStringLiteral("Titel"));
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
    btnClose =
        NewButton(pnlEdit, "btnClose", QStringLiteral("Sluiten"), {774, 138, ButtonWidth, 30});
    btnClose->setDefault(true);
    connect(btnSave, &QPushButton::clicked, this, &TfrmLog::btnSaveClick);
    connect(btnRefresh, &QPushButton::clicked, this, &TfrmLog::btnRefreshClick);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::reject);
    QWidget* const TabOrder[] = {grd, edtTitle, edtPersons, btnSave, btnRefresh, btnClose};
    for (size_t I = 1; I < std::size(TabOrder); ++I)
        setTabOrder(TabOrder[I - 1], TabOrder[I]);

    resize(900, 520);
    FormCreate();
}

void TfrmLog::FormCreate() {
    LoadLog(-1);
}

void TfrmLog::LoadLog(int32_t KeepId) {
    qry->Load(LogListingSql);
    AutoSizeColumns(grd);
    FDeletedRows->MakeRoom(grd);

    int Current = qry->rowCount() > 0 ? 0 : -1;
    if (KeepId >= 0)
        for (int Row = 0; Row < qry->rowCount(); ++Row)
            if (qry->record(Row).value(0).toInt() == KeepId) {
                Current = Row;
                break;
            }
    grd->setCurrentIndex(qry->index(Current, 0));
    grd->scrollTo(grd->currentIndex());
    dsDataChange();
}

void TfrmLog::dsDataChange() {
    const int Row = grd->currentIndex().row();
    if (Row < 0) {
        edtTitle->clear();
        edtPersons->clear();
        lblPath->clear();
        return;
    }
    // The stored texts whole, not the grid's shortened lines, so saving keeps them whole.
    const QSqlRecord Record = qry->record(Row);
    edtTitle->setText(Record.value(QStringLiteral("Titel")).toString());
    edtPersons->setText(Record.value(QStringLiteral("Personen")).toString());
    lblPath->setText(Record.value(QStringLiteral("filepath")).toString());
    lblPath->adjustSize();
}

void TfrmLog::btnSaveClick() {
    const int Row = grd->currentIndex().row();
    if (Row < 0)
        return;
    const int32_t Id = qry->record(Row).value(0).toInt();
    RequireLogData().UpdateRecordingMeta(Id, edtTitle->text(), edtPersons->text());
    LoadLog(Id);
}

void TfrmLog::btnRefreshClick() {
    LoadLog(-1);
}

void TfrmLog::resizeEvent(QResizeEvent* Event) {
    QDialog::resizeEvent(Event);
    // The grid takes every pixel of height beyond the panel's fixed 180.
    const int W = width(), H = height();
    grd->setGeometry(0, 0, W, H - PanelHeight);
    pnlEdit->setGeometry(0, H - PanelHeight, W, PanelHeight);
    const int Inner = W - 2 * 16;
    edtTitle->setGeometry(16, 34, Inner, 23);
    edtPersons->setGeometry(16, 82, Inner, 23);
    lblPath->setMaximumWidth(Inner);
    btnClose->move(W - 16 - ButtonWidth, 138);
}
