#include "ui/uPresets.h"

#include "data/uData.h"
#include "ui/MessageBoxes.h"
#include "ui/UiFont.h"
#include "ui/uPresetEdit.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QScopeGuard>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

QStringList ColumnTexts(const TPreset& P) {
    return {P.Name, FormatToStr(P.Format), QString::number(P.SampleRate),
            P.Channels == 2 ? QStringLiteral("Stereo") : QStringLiteral("Mono"),
            P.Format == afWAV ? QStringLiteral("-") : QString::number(P.Bitrate) + " kbps"};
}

QPushButton* Button(const QString& Caption, const char* Name, int Width, QWidget* Parent) {
    auto* B = new QPushButton(Caption, Parent);
    B->setObjectName(QLatin1String(Name));
    B->setFixedSize(Width, 33);
    // Enter on a focused button runs that button; elsewhere Enter goes to Sluiten.
    B->setAutoDefault(true);
    return B;
}

} // namespace

TfrmPresets::TfrmPresets(TLogData* Data, QWidget* AOwner) : QDialog(AOwner), FData(Data) {
    setObjectName(QStringLiteral("frmPresets"));
    setWindowTitle(QStringLiteral("Opname-presets"));
    setFont(UiFont(12));
    resize(604, 461);
    setMinimumSize(560, 360);

    lvPresets = new QTableWidget(0, 5, this);
    lvPresets->setObjectName(QStringLiteral("lvPresets"));
    lvPresets->setHorizontalHeaderLabels({QStringLiteral("Naam"), QStringLiteral("Formaat"),
                                          QStringLiteral("Sample Hz"), QStringLiteral("Kanalen"),
                                          QStringLiteral("Bitrate")});
    const int Widths[] = {240, 80, 90, 80, 80};
    for (int I = 0; I < 5; ++I)
        lvPresets->setColumnWidth(I, Widths[I]);
    lvPresets->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    lvPresets->horizontalHeader()->setHighlightSections(false);
    lvPresets->verticalHeader()->hide();
    lvPresets->verticalHeader()->setDefaultSectionSize(lvPresets->fontMetrics().height() + 8);
    lvPresets->setShowGrid(true);
    lvPresets->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvPresets->setSelectionMode(QAbstractItemView::SingleSelection);
    lvPresets->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvPresets->setTabKeyNavigation(false);
    lvPresets->setWordWrap(false);
    lvPresets->viewport()->installEventFilter(this);

    btnAdd = Button(QStringLiteral("Toevoegen"), "btnAdd", 90, this);
    btnEdit = Button(QStringLiteral("Bewerken"), "btnEdit", 90, this);
    btnDelete = Button(QStringLiteral("Verwijderen"), "btnDelete", 90, this);
    btnUp = Button(QStringLiteral("▲"), "btnUp", 40, this);
    btnDown = Button(QStringLiteral("▼"), "btnDown", 40, this);
    btnClose = Button(QStringLiteral("Sluiten"), "btnClose", 90, this);
    btnClose->setDefault(true);

    auto* Buttons = new QHBoxLayout;
    Buttons->setSpacing(8);
    Buttons->addWidget(btnAdd);
    Buttons->addWidget(btnEdit);
    Buttons->addWidget(btnDelete);
    Buttons->addSpacing(16);
    Buttons->addWidget(btnUp);
    Buttons->addWidget(btnDown);
    Buttons->addStretch();
    Buttons->addWidget(btnClose);
    auto* Main = new QVBoxLayout(this);
    Main->setContentsMargins(16, 16, 16, 16);
    Main->setSpacing(12);
    Main->addWidget(lvPresets);
    Main->addLayout(Buttons);

    connect(lvPresets, &QTableWidget::itemSelectionChanged, this,
            &TfrmPresets::lvPresetsSelectItem);
    connect(btnAdd, &QPushButton::clicked, this, &TfrmPresets::btnAddClick);
    connect(btnEdit, &QPushButton::clicked, this, &TfrmPresets::btnEditClick);
    connect(btnDelete, &QPushButton::clicked, this, &TfrmPresets::btnDeleteClick);
    connect(btnUp, &QPushButton::clicked, this, &TfrmPresets::btnUpClick);
    connect(btnDown, &QPushButton::clicked, this, &TfrmPresets::btnDownClick);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::accept);

    RefreshList(-1);
    lvPresets->setFocus();
}

void TfrmPresets::reject() {
    accept();
}

bool TfrmPresets::eventFilter(QObject* Watched, QEvent* Event) {
    if (Watched == lvPresets->viewport() && Event->type() == QEvent::MouseButtonDblClick)
        lvPresetsDblClick();
    return QDialog::eventFilter(Watched, Event);
}

void TfrmPresets::RefreshList(int32_t SelectId) {
    // Loaded aside first: a failed load leaves the list and its rows as they were.
    TPresetList Loaded;
    RequireDatabase(FData).LoadPresets(Loaded);
    FList = std::move(Loaded);
    int Selected = -1;
    {
        lvPresets->setUpdatesEnabled(false);
        const QSignalBlocker Quiet(lvPresets);
        const auto Resume = qScopeGuard([this] { lvPresets->setUpdatesEnabled(true); });
        lvPresets->clearContents();
        lvPresets->setRowCount(static_cast<int>(FList.size()));
        for (int Row = 0; Row < FList.size(); ++Row) {
            const QStringList Texts = ColumnTexts(FList[Row]);
            for (int Column = 0; Column < Texts.size(); ++Column)
                lvPresets->setItem(Row, Column, new QTableWidgetItem(Texts[Column]));
            if (FList[Row].Id == SelectId)
                Selected = Row;
        }
    }
    if (Selected < 0 && !FList.isEmpty())
        Selected = 0;
    if (Selected >= 0)
        lvPresets->selectRow(Selected);
    else
        lvPresets->clearSelection();
    UpdateButtons();
}

int TfrmPresets::SelectedIndex() const {
    const QList<QTableWidgetSelectionRange> Ranges = lvPresets->selectedRanges();
    return Ranges.isEmpty() ? -1 : Ranges.front().topRow();
}

void TfrmPresets::UpdateButtons() {
    const int S = SelectedIndex();
    const int N = static_cast<int>(FList.size());
    btnEdit->setEnabled(S >= 0);
    btnDelete->setEnabled(S >= 0);
    btnUp->setEnabled(S > 0);
    btnDown->setEnabled(S >= 0 && S < N - 1);
}

void TfrmPresets::lvPresetsSelectItem() {
    UpdateButtons();
}

void TfrmPresets::lvPresetsDblClick() {
    if (SelectedIndex() >= 0)
        btnEditClick();
}

void TfrmPresets::btnAddClick() {
    TPreset P{0, QStringLiteral("Nieuwe preset"), afMP3, 44100, 2, 128, 0};
    if (!TfrmPresetEdit::Edit(this, P))
        return;
    RefreshList(RequireDatabase(FData).AddPreset(P));
}

void TfrmPresets::btnEditClick() {
    const int S = SelectedIndex();
    if (S < 0)
        return;
    TPreset P = FList[S];
    if (!TfrmPresetEdit::Edit(this, P))
        return;
    RequireDatabase(FData).UpdatePreset(P);
    RefreshList(P.Id);
}

void TfrmPresets::btnDeleteClick() {
    const int S = SelectedIndex();
    if (S < 0)
        return;
    if (!ConfirmYesNo(this, QStringLiteral("Preset \"%1\" verwijderen?").arg(FList[S].Name)))
        return;
    RequireDatabase(FData).DeletePreset(FList[S].Id);
    RefreshList(-1);
}

void TfrmPresets::btnUpClick() {
    const int S = SelectedIndex();
    if (S <= 0)
        return;
    const int32_t Id = FList[S].Id;
    RequireDatabase(FData).MovePreset(Id, -1);
    RefreshList(Id);
}

void TfrmPresets::btnDownClick() {
    const int S = SelectedIndex();
    if (S < 0 || S >= FList.size() - 1)
        return;
    const int32_t Id = FList[S].Id;
    RequireDatabase(FData).MovePreset(Id, 1);
    RefreshList(Id);
}
