#pragma once

#include <QHash>
#include <QStyledItemDelegate>
#include <functional>

class QTableView;
class TListing;

// Whether the file at Path exists. The log window asks the file system; the pictures of the
// manual pass their own.
using TFileExists = std::function<bool(const QString& Path)>;
bool FileExists(const QString& Path);

// Draws the rows of the recordings log whose file is gone in the dimmer text colour of the
// palette, with Marker after the path. Only rows being painted are checked, each once until the
// listing is read again, so a log of many thousands of rows opens without touching their files.
class TDeletedRowDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    static inline const QString Marker = QStringLiteral(" (verwijderd)");

    // Listing's column PathField holds the file's path.
    TDeletedRowDelegate(TListing* Listing, const QString& PathField, TFileExists Exists,
                        QObject* Parent);

    // Widens the path column of Grid by the marker's width, within the grid's widest column.
    void MakeRoom(QTableView* Grid) const;
    // What a cell is drawn with; public, so what the grid shows can be checked.
    void initStyleOption(QStyleOptionViewItem* Option, const QModelIndex& Index) const override;

private:
    bool Gone(int Row) const;

    TListing* FListing;
    QString FPathField;
    TFileExists FExists;
    int FPathColumn = -1;
    mutable QHash<int, bool> FGone;
};
