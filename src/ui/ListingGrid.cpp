#include "ui/ListingGrid.h"

#include <QHeaderView>
#include <QPainter>
#include <QSet>
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

int TListing::rowCount(const QModelIndex& Parent) const {
    return Parent.isValid() ? 0 : FRows.size();
}

int TListing::columnCount(const QModelIndex& Parent) const {
    return Parent.isValid() ? 0 : FColumns.count();
}

QVariant TListing::data(const QModelIndex& Index, int Role) const {
    if (!Index.isValid() || Index.row() >= FRows.size())
        return {};
    const QVariant& Value = FRows[Index.row()].value(Index.column());
    if (Role == Qt::TextAlignmentRole)
        return QVariant::fromValue((IsNumber(Value) ? Qt::AlignRight : Qt::AlignLeft) |
                                   Qt::AlignVCenter);
    if (Role != Qt::DisplayRole)
        return {};
    if (Value.isNull())
        return QString();
    return Value.typeId() == QMetaType::QString ? GridText(Value.toString()) : Value.toString();
}

QVariant TListing::headerData(int Section, Qt::Orientation Orientation, int Role) const {
    if (Orientation == Qt::Vertical || Role != Qt::DisplayRole)
        return {};
    return FColumns.fieldName(Section);
}

bool TListing::canFetchMore(const QModelIndex& Parent) const {
    return !Parent.isValid() && !FComplete;
}

void TListing::fetchMore(const QModelIndex& Parent) {
    if (!canFetchMore(Parent))
        return;
    TListingPage Page = FSource(PageStartBelow(FRows.constLast()), PageSize);
    FComplete = Page.Rows.size() < PageSize;
    if (Page.Rows.isEmpty())
        return;
    beginInsertRows({}, FRows.size(), FRows.size() + Page.Rows.size() - 1);
    FRows += std::move(Page.Rows);
    endInsertRows();
}

void TListing::Load(TPageSource Source, int AtLeast) {
    const int Limit = std::max(AtLeast, int{PageSize});
    // Read before the reset, so that a failed read leaves the listing as it was.
    TListingPage Page = Source({}, Limit);
    beginResetModel();
    FSource = std::move(Source);
    FColumns = Page.Columns;
    FComplete = Page.Rows.size() < Limit;
    FRows = std::move(Page.Rows);
    endResetModel();
}

QSqlRecord TListing::record() const {
    return FColumns;
}

QSqlRecord TListing::record(int Row) const {
    QSqlRecord Record = FColumns;
    const QVector<QVariant> Values = FRows.value(Row);
    for (int Col = 0; Col < Values.size(); ++Col)
        Record.setValue(Col, Values[Col]);
    return Record;
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
