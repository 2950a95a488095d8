#pragma once

#include "data/uData.h"

#include <QAbstractTableModel>
#include <QSqlRecord>
#include <functional>

class QTableView;
class QWidget;

// Reads one page of a listing: at most Limit rows below After.
using TPageSource = std::function<TListingPage(const TPageStart& After, int Limit)>;

// A listing of the database as the grids of the log windows show it: every text as one line
// of at most MaxTextLength characters, numbers right-aligned, no row numbers. Rows are read a
// page at a time as the grid scrolls to them, so a long log opens as fast as a short one.
// record() keeps the stored values whole.
class TListing : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int MaxTextLength = 2000;
    static constexpr int PageSize = 256;

    using QAbstractTableModel::QAbstractTableModel;
    int rowCount(const QModelIndex& Parent = {}) const override;
    int columnCount(const QModelIndex& Parent = {}) const override;
    QVariant data(const QModelIndex& Index, int Role = Qt::DisplayRole) const override;
    QVariant headerData(int Section, Qt::Orientation Orientation,
                        int Role = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex& Parent) const override;
    void fetchMore(const QModelIndex& Parent) override;

    // Reads the listing again from Source: its first page, and at least AtLeast rows when it
    // has them. Throws when the listing cannot be read.
    void Load(TPageSource Source, int AtLeast = 0);
    // The column names, without values.
    QSqlRecord record() const;
    // The stored values of a row that was read.
    QSqlRecord record(int Row) const;

private:
    TPageSource FSource;
    QSqlRecord FColumns;
    QVector<QVector<QVariant>> FRows;
    bool FComplete = true;
};

// A read-only grid named "grd" on Listing: whole rows selected one at a time, one line per
// row, the current row marked by a triangle at its left.
QTableView* NewListingGrid(QWidget* Parent, TListing* Listing);

constexpr int MinColumnWidth = 36;
constexpr int MaxColumnWidth = 420;

// Each column as wide as its heading and its widest text among the rows read, plus 16, from
// MinColumnWidth to MaxColumnWidth.
void AutoSizeColumns(QTableView* Grid);
