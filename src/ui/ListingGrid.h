#pragma once

#include <QSqlQueryModel>

class QTableView;
class QWidget;

// A listing of the database as the grids of the log windows show it: every text as one line
// of at most MaxTextLength characters, numbers right-aligned, no row numbers. record() keeps
// the stored values whole.
class TListing : public QSqlQueryModel {
    Q_OBJECT
public:
    static constexpr int MaxTextLength = 2000;

    using QSqlQueryModel::QSqlQueryModel;
    QVariant data(const QModelIndex& Index, int Role = Qt::DisplayRole) const override;
    QVariant headerData(int Section, Qt::Orientation Orientation,
                        int Role = Qt::DisplayRole) const override;

    // Runs Sql on the open database and reads every row. Throws when no database is open or
    // the listing cannot be read.
    void Load(const QString& Sql);
};

// A read-only grid named "grd" on Listing: whole rows selected one at a time, one line per
// row, the current row marked by a triangle at its left.
QTableView* NewListingGrid(QWidget* Parent, TListing* Listing);

constexpr int MinColumnWidth = 36;
constexpr int MaxColumnWidth = 420;

// Each column as wide as its heading and its widest text, plus 16, from MinColumnWidth to
// MaxColumnWidth.
void AutoSizeColumns(QTableView* Grid);
