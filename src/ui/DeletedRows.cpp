#include "ui/DeletedRows.h"

#include "ui/ListingGrid.h"

#include <QFileInfo>
#include <QSqlRecord>
#include <QTableView>
#include <algorithm>

bool FileExists(const QString& Path) {
    return QFileInfo::exists(Path);
}

TDeletedRowDelegate::TDeletedRowDelegate(TListing* Listing, const QString& PathField,
                                         TFileExists Exists, QObject* Parent)
    : QStyledItemDelegate(Parent), FListing(Listing), FPathField(PathField),
      FExists(std::move(Exists)) {
    connect(Listing, &TListing::modelReset, this, [this] {
        FPathColumn = FListing->record().indexOf(FPathField);
        FGone.clear();
    });
}

void TDeletedRowDelegate::MakeRoom(QTableView* Grid) const {
    if (FPathColumn < 0)
        return;
    const int Wider =
        Grid->columnWidth(FPathColumn) + Grid->fontMetrics().horizontalAdvance(Marker);
    Grid->setColumnWidth(FPathColumn, std::min(Wider, MaxColumnWidth));
}

void TDeletedRowDelegate::initStyleOption(QStyleOptionViewItem* Option,
                                          const QModelIndex& Index) const {
    QStyledItemDelegate::initStyleOption(Option, Index);
    if (!Gone(Index.row()))
        return;
    Option->palette.setColor(QPalette::Text,
                             Option->palette.color(QPalette::Disabled, QPalette::Text));
    if (Index.column() == FPathColumn) {
        Option->text += Marker;
        // A long path gives way in its middle, so the marker stays in view.
        Option->textElideMode = Qt::ElideMiddle;
    }
}

bool TDeletedRowDelegate::Gone(int Row) const {
    if (FPathColumn < 0)
        return false;
    const auto Known = FGone.constFind(Row);
    if (Known != FGone.cend())
        return *Known;
    const QString Path = FListing->record(Row).value(FPathColumn).toString();
    // A row without a path names no file that could be gone.
    const bool Missing = !Path.isEmpty() && !FExists(Path);
    FGone.insert(Row, Missing);
    return Missing;
}
