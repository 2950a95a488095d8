#pragma once

#include <QDialog>

class TLogData;

class QPushButton;
class QTableView;
class TListing;

// The events window: every trouble that began or ended, every alert command and repair,
// newest first, read from the database and never changed here.
class TfrmEvents : public QDialog {
    Q_OBJECT
public:
    // Throws when no database is open or the listing cannot be read.
    // Shows the events of Data (null: no database is open).
    explicit TfrmEvents(TLogData* Data, QWidget* Parent = nullptr);

    // Reads the listing again and sizes the columns; the newest event is current.
    void LoadEvents();

private:
    TLogData* FData;
    TListing* qry;
    QTableView* grd;
    QPushButton* btnRefresh;
    QPushButton* btnClose;
};
