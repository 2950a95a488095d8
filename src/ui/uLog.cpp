#include "ui/uLog.h"

#include "data/uData.h"
#include "ui/FormControls.h"
#include "ui/UiFont.h"

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QSet>
#include <QSqlError>
#include <QSqlRecord>
#include <QTableView>
#include <algorithm>
#include <limits>

namespace {

constexpr int PanelHeight = 180;
constexpr int ButtonWidth = 110;

// A stored text as one line of the grid: cut to the listing's length, line breaks and other
// control characters shown as blanks.
QString GridText(const QString& Text) {
    QString Line = Text.left(TfrmLog::MaxTextLength);
    for (QChar& C : Line)
        if (C.category() == QChar::Other_Control || C == QChar::LineSeparator ||
            C == QChar::ParagraphSeparator)
            C = u' ';
    return Line;
}

bool IsNumber(const QVariant& Value) {
    switch (Value.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::Double:
        return true;
    default:
        return false;
    }
}

// The narrow column left of the grid that marks the current row with a triangle.
class TRowIndicator : public QHeaderView {
public:
    explicit TRowIndicator(QTableView* Grid) : QHeaderView(Qt::Vertical, Grid), FGrid(Grid) {
        setSectionResizeMode(QHeaderView::Fixed);
        setSectionsClickable(true);
    }
    QSize sizeHint() const override { return {12, QHeaderView::sizeHint().height()}; }

protected:
    void paintSection(QPainter* Painter, const QRect& Rect, int Section) const override {
        // The style leaves the painter clipped to nothing after drawing a section.
        Painter->save();
        QHeaderView::paintSection(Painter, Rect, Section);
        Painter->restore();
        if (Section != FGrid->currentIndex().row())
            return;
        const QPointF Mid = QRectF(Rect).center();
        const QPointF Arrow[] = {{Mid.x() - 2.5, Mid.y() - 4.0},
                                 {Mid.x() + 2.5, Mid.y()},
                                 {Mid.x() - 2.5, Mid.y() + 4.0}};
        Painter->save();
        Painter->setRenderHint(QPainter::Antialiasing);
        Painter->setPen(Qt::NoPen);
        Painter->setBrush(palette().color(QPalette::WindowText));
        Painter->drawPolygon(Arrow, 3);
        Painter->restore();
    }

private:
    QTableView* FGrid;
};

} // namespace

QVariant TLogListing::data(const QModelIndex& Index, int Role) const {
    if (Role != Qt::DisplayRole && Role != Qt::TextAlignmentRole)
        return QSqlQueryModel::data(Index, Role);
    const QVariant Value = QSqlQueryModel::data(Index, Qt::DisplayRole);
    if (Role == Qt::TextAlignmentRole)
        return QVariant::fromValue((IsNumber(Value) ? Qt::AlignRight : Qt::AlignLeft) |
                                   Qt::AlignVCenter);
    if (Value.isNull())
        return QString();
    return Value.typeId() == QMetaType::QString ? GridText(Value.toString()) : Value.toString();
}

QVariant TLogListing::headerData(int Section, Qt::Orientation Orientation, int Role) const {
    if (Orientation == Qt::Vertical)
        return {};
    return QSqlQueryModel::headerData(Section, Orientation, Role);
}

TfrmLog::TfrmLog(QWidget* Parent) : QDialog(Parent) {
    setObjectName(QStringLiteral("frmLog"));
    setWindowTitle(QStringLiteral("Opnames log"));
    setFont(UiFont(12));
    setMinimumSize(700, 400);

    qry = new TLogListing(this);
    grd = new QTableView(this);
    grd->setObjectName(QStringLiteral("grd"));
    grd->setVerticalHeader(new TRowIndicator(grd));
    const int RowHeight = grd->fontMetrics().height() + 4;
    grd->verticalHeader()->setMinimumSectionSize(RowHeight);
    grd->verticalHeader()->setDefaultSectionSize(RowHeight);
    grd->setModel(qry);
    grd->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grd->setSelectionBehavior(QAbstractItemView::SelectRows);
    grd->setSelectionMode(QAbstractItemView::SingleSelection);
    grd->setShowGrid(true);
    grd->setWordWrap(false);
    grd->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    grd->horizontalHeader()->setHighlightSections(false);
    grd->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    connect(grd->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this] {
        grd->verticalHeader()->viewport()->update();
        dsDataChange();
    });

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
    qry->setQuery(LogListingSql, RequireLogData().Connection());
    if (qry->lastError().isValid())
        RaiseEngineError(qry->lastError());
    // Read every row now: the listing is a snapshot, and a finished statement holds no lock
    // that would keep other programs from writing the file.
    while (qry->canFetchMore())
        qry->fetchMore();
    if (qry->query().lastError().isValid())
        RaiseEngineError(qry->query().lastError());
    AutoSizeColumns();

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

void TfrmLog::AutoSizeColumns() {
    // Measuring goes through every row of every column; the grid is not redrawn meanwhile.
    grd->setUpdatesEnabled(false);
    const QFontMetrics HeadingMetrics = grd->horizontalHeader()->fontMetrics();
    const QFontMetrics CellMetrics = grd->fontMetrics();
    constexpr int Padding = 16, MinWidth = 36, MaxWidth = 420;
    for (int Col = 0; Col < qry->columnCount(); ++Col) {
        int Widest =
            HeadingMetrics.horizontalAdvance(qry->headerData(Col, Qt::Horizontal).toString());
        // Most columns repeat a few texts (hours, formats, presets, empty titles); each
        // distinct text is measured once.
        QSet<QString> Measured;
        for (int Row = 0; Row < qry->rowCount() && Widest + Padding < MaxWidth; ++Row) {
            const QString Text = qry->index(Row, Col).data().toString();
            if (!Measured.contains(Text)) {
                Measured.insert(Text);
                Widest = std::max(Widest, CellMetrics.horizontalAdvance(Text));
            }
        }
        grd->setColumnWidth(Col, std::clamp(Widest + Padding, MinWidth, MaxWidth));
    }
    grd->setUpdatesEnabled(true);
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
