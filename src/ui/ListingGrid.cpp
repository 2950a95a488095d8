#include "ui/ListingGrid.h"

#include "data/uData.h"

#include <QHeaderView>
#include <QPainter>
#include <QSet>
#include <QSqlError>
#include <QTableView>
#include <algorithm>

namespace {

// A stored text as one line of the grid: cut to the listing's length, line breaks and other
// control characters shown as blanks.
QString GridText(const QString& Text) {
    QString Line = Text.left(TListing::MaxTextLength);
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

QVariant TListing::data(const QModelIndex& Index, int Role) const {
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

QVariant TListing::headerData(int Section, Qt::Orientation Orientation, int Role) const {
    if (Orientation == Qt::Vertical)
        return {};
    return QSqlQueryModel::headerData(Section, Orientation, Role);
}

void TListing::Load(const QString& Sql) {
    setQuery(Sql, RequireLogData().Connection());
    if (lastError().isValid())
        RaiseEngineError(lastError());
    // Read every row now: the listing is a snapshot, and a finished statement holds no lock
    // that would keep other programs from writing the file.
    while (canFetchMore())
        fetchMore();
    if (query().lastError().isValid())
        RaiseEngineError(query().lastError());
}

QTableView* NewListingGrid(QWidget* Parent, TListing* Listing) {
    auto* Grid = new QTableView(Parent);
    Grid->setObjectName(QStringLiteral("grd"));
    Grid->setVerticalHeader(new TRowIndicator(Grid));
    const int RowHeight = Grid->fontMetrics().height() + 4;
    Grid->verticalHeader()->setMinimumSectionSize(RowHeight);
    Grid->verticalHeader()->setDefaultSectionSize(RowHeight);
    Grid->setModel(Listing);
    Grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    Grid->setSelectionMode(QAbstractItemView::SingleSelection);
    Grid->setShowGrid(true);
    Grid->setWordWrap(false);
    Grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    Grid->horizontalHeader()->setHighlightSections(false);
    Grid->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    QObject::connect(Grid->selectionModel(), &QItemSelectionModel::currentRowChanged, Grid,
                     [Grid] { Grid->verticalHeader()->viewport()->update(); });
    return Grid;
}

void AutoSizeColumns(QTableView* Grid) {
    // Measuring goes through every row of every column; the grid is not redrawn meanwhile.
    Grid->setUpdatesEnabled(false);
    const QAbstractItemModel* Model = Grid->model();
    const QFontMetrics HeadingMetrics = Grid->horizontalHeader()->fontMetrics();
    const QFontMetrics CellMetrics = Grid->fontMetrics();
    constexpr int Padding = 16;
    for (int Col = 0; Col < Model->columnCount(); ++Col) {
        int Widest =
            HeadingMetrics.horizontalAdvance(Model->headerData(Col, Qt::Horizontal).toString());
        // Most columns repeat a few texts (hours, formats, presets, kinds); each distinct
        // text is measured once.
        QSet<QString> Measured;
        for (int Row = 0; Row < Model->rowCount() && Widest + Padding < MaxColumnWidth; ++Row) {
            const QString Text = Model->index(Row, Col).data().toString();
            if (!Measured.contains(Text)) {
                Measured.insert(Text);
                Widest = std::max(Widest, CellMetrics.horizontalAdvance(Text));
            }
        }
        Grid->setColumnWidth(Col, std::clamp(Widest + Padding, MinColumnWidth, MaxColumnWidth));
    }
    Grid->setUpdatesEnabled(true);
}
