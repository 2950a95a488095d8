#include "ui/uEvents.h"

#include "control/EventJournal.h"
#include "data/uData.h"
#include "ui/ListingGrid.h"
#include "ui/UiFont.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace {

// The events listing with each kind shown by its Dutch name; the table keeps the code words,
// which the alert command and the metrics use too.
class TEventListing : public TListing {
public:
    using TListing::TListing;

    QVariant data(const QModelIndex& Index, int Role = Qt::DisplayRole) const override {
        const QVariant Shown = TListing::data(Index, Role);
        if (Role != Qt::DisplayRole || Index.column() != record().indexOf(ListingColumn::Kind))
            return Shown;
        return EventKindDutchName(Shown.toString());
    }
};

} // namespace

TfrmEvents::TfrmEvents(TLogData* Data, QWidget* Parent) : QDialog(Parent), FData(Data) {
    setObjectName(QStringLiteral("frmEvents"));
    setWindowTitle(QStringLiteral("Storingen"));
    setFont(UiFont(12));
    setMinimumSize(700, 400);

    qry = new TEventListing(this);
    grd = NewListingGrid(this, qry);
    btnRefresh = new QPushButton(QStringLiteral("Vernieuwen"), this);
    btnRefresh->setObjectName(QStringLiteral("btnRefresh"));
    btnRefresh->setFixedSize(110, 30);
    btnClose = new QPushButton(QStringLiteral("Sluiten"), this);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    btnClose->setFixedSize(110, 30);
    btnClose->setDefault(true);
    connect(btnRefresh, &QPushButton::clicked, this, &TfrmEvents::LoadEvents);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::reject);

    auto* Buttons = new QHBoxLayout;
    Buttons->setContentsMargins(16, 12, 16, 12);
    Buttons->addWidget(btnRefresh);
    Buttons->addStretch(1);
    Buttons->addWidget(btnClose);
    auto* Column = new QVBoxLayout(this);
    Column->setContentsMargins(0, 0, 0, 0);
    Column->setSpacing(0);
    Column->addWidget(grd, 1);
    Column->addLayout(Buttons);

    resize(900, 520);
    LoadEvents();
}

void TfrmEvents::LoadEvents() {
    qry->Load([Data = FData](const TPageStart& After, int Limit) {
        return RequireDatabase(Data).ReadPage(EventsListing(After, Limit));
    });
    // The id only orders events of the same moment; the operator has no use for it.
    grd->hideColumn(0);
    AutoSizeColumns(grd);
    grd->setCurrentIndex(qry->index(qry->rowCount() > 0 ? 0 : -1, 1));
    grd->scrollToTop();
}
