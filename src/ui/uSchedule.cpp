#include "ui/uSchedule.h"

#include "data/uData.h"
#include "ui/UiFont.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QScrollBar>
#include <QStyleOptionHeader>
#include <QStylePainter>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QWheelEvent>

namespace {

constexpr int Days = 7;
constexpr int Hours = 24;
constexpr int HourColumnWidth = 56;
constexpr int DayColumnWidth = 148;
constexpr int RowHeight = 22;

QString HourLabel(int Hour) {
    return QString::asprintf("%.2d:00", Hour);
}

} // namespace

TfrmSchedule::TfrmSchedule(TLogData* Data, QWidget* AOwner) : QDialog(AOwner), FData(Data) {
    setObjectName(QStringLiteral("frmSchedule"));
    setWindowTitle(QStringLiteral("Weekschema"));
    setFont(UiFont(12));
    resize(1136, 720);
    setMinimumSize(900, 500);

    TPresetList Loaded;
    RequireDatabase(FData).LoadPresets(Loaded);
    FList = std::move(Loaded);
    for (const TPreset& P : FList)
        FNameById.insert(P.Id, P.Name);

    // The fill tools.
    auto* pnlTop = new QWidget(this);
    pnlTop->setFixedHeight(104);
    lblHour = new QLabel(QStringLiteral("Uur voor alle dagen:"), pnlTop);
    cboHour = new QComboBox(pnlTop);
    cboHour->setFixedWidth(80);
    for (int Hour = 0; Hour < Hours; ++Hour)
        cboHour->addItem(HourLabel(Hour));
    btnApplyHour = new QPushButton(QStringLiteral("Toepassen"), pnlTop);
    lblDay = new QLabel(QStringLiteral("Dag volledig invullen:"), pnlTop);
    cboDay = new QComboBox(pnlTop);
    cboDay->setFixedWidth(120);
    for (const QString& Name : DayNames)
        cboDay->addItem(Name);
    btnApplyDay = new QPushButton(QStringLiteral("Toepassen"), pnlTop);
    lblBrush = new QLabel(QStringLiteral("Volledig schema:"), pnlTop);
    cboBrush = new QComboBox(pnlTop);
    cboBrush->setFixedWidth(260);
    btnApplyAll = new QPushButton(QStringLiteral("Heel schema"), pnlTop);
    lblHour->setBuddy(cboHour);
    lblDay->setBuddy(cboDay);
    lblBrush->setBuddy(cboBrush);

    // Enter on a focused tool runs that tool; elsewhere Enter stays with OK.
    for (QPushButton* Button : {btnApplyHour, btnApplyDay, btnApplyAll}) {
        Button->setMinimumWidth(100);
        Button->setAutoDefault(true);
    }
    // Each tool on one line: its label, its list and its button right beside the list.
    const auto ToolLine = [](QComboBox* Box, QPushButton* Button) {
        auto* Line = new QHBoxLayout;
        Line->setSpacing(8);
        Line->addWidget(Box);
        Line->addWidget(Button);
        Line->addStretch();
        return Line;
    };
    auto* Tools = new QGridLayout(pnlTop);
    Tools->setContentsMargins(16, 16, 16, 16);
    Tools->setHorizontalSpacing(8);
    Tools->addWidget(lblHour, 0, 0);
    Tools->addLayout(ToolLine(cboHour, btnApplyHour), 0, 1);
    Tools->addWidget(lblDay, 1, 0);
    Tools->addLayout(ToolLine(cboDay, btnApplyDay), 1, 1);
    Tools->addWidget(lblBrush, 0, 2);
    Tools->addLayout(ToolLine(cboBrush, btnApplyAll), 0, 3);
    Tools->setColumnStretch(1, 1);
    Tools->setColumnStretch(3, 1);

    // The week.
    grid = new QTableWidget(Hours, Days, this);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionMode(QAbstractItemView::ContiguousSelection);
    grid->setTabKeyNavigation(false);
    grid->setWordWrap(false);
    grid->setShowGrid(true);
    grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QStringList HourLabels;
    for (int Hour = 0; Hour < Hours; ++Hour)
        HourLabels << HourLabel(Hour);
    grid->setHorizontalHeaderLabels(QStringList(DayNames.begin(), DayNames.end()));
    grid->setVerticalHeaderLabels(HourLabels);
    for (QHeaderView* Header : {grid->horizontalHeader(), grid->verticalHeader()}) {
        Header->setSectionResizeMode(QHeaderView::Fixed);
        Header->setMinimumSectionSize(RowHeight);
        Header->setHighlightSections(false);
    }
    grid->horizontalHeader()->setDefaultSectionSize(DayColumnWidth);
    grid->horizontalHeader()->setFixedHeight(RowHeight);
    grid->verticalHeader()->setDefaultSectionSize(RowHeight);
    grid->verticalHeader()->setFixedWidth(HourColumnWidth);
    grid->verticalHeader()->setDefaultAlignment(Qt::AlignCenter);
    for (int Row = 0; Row < Hours; ++Row)
        for (int Column = 0; Column < Days; ++Column)
            grid->setItem(Row, Column, new QTableWidgetItem);
    // The corner cell reads "Uur"; a table's corner button has no text of its own.
    FCorner = grid->findChild<QAbstractButton*>();
    if (FCorner) {
        grid->setCornerButtonEnabled(false);
        FCorner->installEventFilter(this);
    }

    // The cell editor lies over the grid without belonging to it.
    cboEdit = new QComboBox(this);
    cboEdit->hide();
    cboEdit->installEventFilter(this);

    auto* pnlBottom = new QWidget(this);
    pnlBottom->setFixedHeight(64);
    btnOK = new QPushButton(QStringLiteral("OK"), pnlBottom);
    btnOK->setFixedSize(100, 33);
    btnOK->setDefault(true);
    btnCancel = new QPushButton(QStringLiteral("Annuleren"), pnlBottom);
    btnCancel->setFixedSize(100, 33);
    auto* Closing = new QHBoxLayout(pnlBottom);
    Closing->setContentsMargins(16, 0, 16, 0);
    Closing->addStretch();
    Closing->addWidget(btnOK);
    Closing->addWidget(btnCancel);

    auto* Main = new QVBoxLayout(this);
    Main->setContentsMargins(0, 0, 0, 0);
    Main->setSpacing(0);
    Main->addWidget(pnlTop);
    auto* GridMargins = new QHBoxLayout;
    GridMargins->setContentsMargins(16, 0, 16, 0);
    GridMargins->addWidget(grid);
    Main->addLayout(GridMargins, 1);
    Main->addWidget(pnlBottom);

    const std::pair<QWidget*, const char*> Names[] = {{pnlTop, "pnlTop"},
                                                      {lblHour, "lblHour"},
                                                      {cboHour, "cboHour"},
                                                      {btnApplyHour, "btnApplyHour"},
                                                      {lblDay, "lblDay"},
                                                      {cboDay, "cboDay"},
                                                      {btnApplyDay, "btnApplyDay"},
                                                      {lblBrush, "lblBrush"},
                                                      {cboBrush, "cboBrush"},
                                                      {btnApplyAll, "btnApplyAll"},
                                                      {grid, "grid"},
                                                      {cboEdit, "cboEdit"},
                                                      {pnlBottom, "pnlBottom"},
                                                      {btnOK, "btnOK"},
                                                      {btnCancel, "btnCancel"}};
    for (const auto& [Control, Name] : Names)
        Control->setObjectName(QLatin1String(Name));
    setTabOrder(cboHour, btnApplyHour);
    setTabOrder(btnApplyHour, cboDay);
    setTabOrder(cboDay, btnApplyDay);
    setTabOrder(btnApplyDay, cboBrush);
    setTabOrder(cboBrush, btnApplyAll);
    setTabOrder(btnApplyAll, grid);
    setTabOrder(grid, cboEdit);
    setTabOrder(cboEdit, btnOK);
    setTabOrder(btnOK, btnCancel);

    FillPresetCombo(cboBrush, true);
    cboBrush->setCurrentIndex(0);
    FillPresetCombo(cboEdit, true);
    LoadSchedule();
    ShowSchedule();
    // Monday 00:00 is the current cell from the start, without an editor until one is chosen.
    grid->setCurrentCell(0, 0);
    grid->setFocus();

    connect(grid, &QTableWidget::currentCellChanged, this,
            [this](int Row, int Column) { gridSelectCell(Column + 1, Row + 1); });
    // A click on the cell that is already current shows the editor there as well.
    connect(grid, &QTableWidget::cellPressed, this,
            [this](int Row, int Column) { gridSelectCell(Column + 1, Row + 1); });
    connect(grid->horizontalHeader(), &QHeaderView::sectionClicked, this,
            [this](int Column) { gridSelectCell(Column + 1, 0); });
    connect(grid->verticalHeader(), &QHeaderView::sectionClicked, this,
            [this](int Row) { gridSelectCell(0, Row + 1); });
    for (QScrollBar* Bar : {grid->verticalScrollBar(), grid->horizontalScrollBar()})
        connect(Bar, &QScrollBar::valueChanged, this, &TfrmSchedule::gridTopLeftChanged);
    connect(cboEdit, &QComboBox::currentIndexChanged, this, &TfrmSchedule::cboEditChange);
    connect(btnApplyHour, &QPushButton::clicked, this, &TfrmSchedule::btnApplyHourClick);
    connect(btnApplyDay, &QPushButton::clicked, this, &TfrmSchedule::btnApplyDayClick);
    connect(btnApplyAll, &QPushButton::clicked, this, &TfrmSchedule::btnApplyAllClick);
    connect(btnOK, &QPushButton::clicked, this, &TfrmSchedule::btnOKClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    // Centred on the screen, not on the owner.
    if (const QScreen* Screen = AOwner ? AOwner->screen() : QGuiApplication::primaryScreen())
        move(Screen->availableGeometry().center() - rect().center());
    FReady = true;
}

bool TfrmSchedule::eventFilter(QObject* Watched, QEvent* Event) {
    if (Watched == FCorner && Event->type() == QEvent::Paint) {
        QStylePainter Painter(FCorner);
        QStyleOptionHeader Option;
        Option.initFrom(FCorner);
        Option.state |= QStyle::State_Enabled;
        Option.palette = grid->horizontalHeader()->palette();
        Option.rect = FCorner->rect();
        Option.position = QStyleOptionHeader::OnlyOneSection;
        Option.text = QStringLiteral("Uur");
        Option.textAlignment = Qt::AlignCenter;
        Painter.drawControl(QStyle::CE_Header, Option);
        return true;
    }
    // Leaving the editor means the focus went to another control of this window; opening the
    // editor's own list or switching to another window is no leaving.
    if (Watched == cboEdit && Event->type() == QEvent::FocusOut) {
        const Qt::FocusReason Reason = static_cast<QFocusEvent*>(Event)->reason();
        if (Reason != Qt::PopupFocusReason && Reason != Qt::ActiveWindowFocusReason)
            cboEditExit();
    }
    // The wheel over the editor scrolls the grid, as over any other cell, and never picks an
    // entry.
    if (Watched == cboEdit && Event->type() == QEvent::Wheel) {
        const auto* Wheel = static_cast<QWheelEvent*>(Event);
        QWheelEvent Scroll(grid->viewport()->mapFrom(this, cboEdit->mapToParent(Wheel->position())),
                           Wheel->globalPosition(), Wheel->pixelDelta(), Wheel->angleDelta(),
                           Wheel->buttons(), Wheel->modifiers(), Wheel->phase(), Wheel->inverted(),
                           Wheel->source(), Wheel->pointingDevice());
        QCoreApplication::sendEvent(grid->viewport(), &Scroll);
        return true;
    }
    return QDialog::eventFilter(Watched, Event);
}

// The editor is placed for one layout of the grid; a new size moves the cells under it.
void TfrmSchedule::resizeEvent(QResizeEvent* Event) {
    QDialog::resizeEvent(Event);
    HideEditor();
}

void TfrmSchedule::FillPresetCombo(QComboBox* Box, bool WithNone) {
    const QSignalBlocker Quiet(Box);
    Box->setUpdatesEnabled(false);
    const auto Resume = qScopeGuard([Box] { Box->setUpdatesEnabled(true); });
    Box->clear();
    if (WithNone)
        Box->addItem(NoRecordingLabel, 0);
    for (const TPreset& P : FList)
        Box->addItem(P.Name, P.Id);
}

QString TfrmSchedule::PresetName(int32_t Id) const {
    if (Id == 0)
        return NoRecordingLabel;
    return FNameById.value(Id, NoRecordingLabel);
}

int TfrmSchedule::IndexOfPreset(const QComboBox* Box, int32_t Id) {
    const int Index = Box->findData(Id);
    return Index < 0 ? 0 : Index;
}

void TfrmSchedule::LoadSchedule() {
    TLogData& Data = RequireDatabase(FData);
    for (int Day = 1; Day <= Days; ++Day)
        for (int Hour = 0; Hour < Hours; ++Hour)
            FSched[Day - 1][Hour] = Data.GetSchedulePreset(Day, Hour);
}

void TfrmSchedule::ShowSchedule() {
    for (int Day = 1; Day <= Days; ++Day)
        for (int Hour = 0; Hour < Hours; ++Hour)
            grid->item(Hour, Day - 1)->setText(PresetName(FSched[Day - 1][Hour]));
}

void TfrmSchedule::SetCell(int Day, int Hour, int32_t PresetId) {
    if (Day < 1 || Day > Days || Hour < 0 || Hour >= Hours)
        return;
    FSched[Day - 1][Hour] = PresetId;
    grid->item(Hour, Day - 1)->setText(PresetName(PresetId));
}

void TfrmSchedule::HideEditor() {
    if (!cboEdit->isVisible())
        return;
    cboEdit->hide();
    if (grid->isEnabled() && grid->isVisible())
        grid->setFocus();
}

void TfrmSchedule::gridSelectCell(int ACol, int ARow) {
    if (!FReady)
        return;
    if (ACol < 1 || ARow < 1) {
        HideEditor();
        return;
    }
    const QRect Cell = grid->visualRect(grid->model()->index(ARow - 1, ACol - 1));
    FUpdating = true;
    const auto Lower = qScopeGuard([this] { FUpdating = false; });
    cboEdit->setGeometry(QRect(grid->viewport()->mapTo(this, Cell.topLeft()), Cell.size()));
    cboEdit->setCurrentIndex(IndexOfPreset(cboEdit, FSched[ACol - 1][ARow - 1]));
    FEditorTag = ACol * 100 + (ARow - 1);
    cboEdit->show();
    cboEdit->raise();
}

void TfrmSchedule::gridTopLeftChanged() {
    HideEditor();
}

void TfrmSchedule::cboEditChange() {
    if (FUpdating)
        return;
    SetCell(FEditorTag / 100, FEditorTag % 100, cboEdit->currentData().toInt());
}

void TfrmSchedule::cboEditExit() {
    cboEdit->hide();
}

void TfrmSchedule::ApplyBrush(int FirstDay, int LastDay, int FirstHour, int LastHour) {
    HideEditor();
    const int32_t Id = cboBrush->currentData().toInt();
    for (int Day = FirstDay; Day <= LastDay; ++Day)
        for (int Hour = FirstHour; Hour <= LastHour; ++Hour)
            SetCell(Day, Hour, Id);
}

void TfrmSchedule::btnApplyHourClick() {
    const int Hour = cboHour->currentIndex();
    ApplyBrush(1, Days, Hour, Hour);
}

void TfrmSchedule::btnApplyDayClick() {
    const int Day = cboDay->currentIndex() + 1;
    ApplyBrush(Day, Day, 0, Hours - 1);
}

void TfrmSchedule::btnApplyAllClick() {
    ApplyBrush(1, Days, 0, Hours - 1);
}

void TfrmSchedule::btnOKClick() {
    HideEditor();
    TLogData& Data = RequireDatabase(FData);
    for (int Day = 1; Day <= Days; ++Day)
        for (int Hour = 0; Hour < Hours; ++Hour)
            Data.SetSchedulePreset(Day, Hour, FSched[Day - 1][Hour]);
    accept();
}
