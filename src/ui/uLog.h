#pragma once

#include "base/uClock.h"
#include "data/uData.h"
#include "ui/DeletedRows.h"

#include <QDate>
#include <QDialog>
#include <cstdint>
#include <optional>

class QCheckBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QTimer;
class TCoverageStrip;
class TListing;
class TPlaybackBar;

// The recordings log window: the logged recordings, newest first, narrowed to a span of days
// and a text, with the title and the persons of the current one to edit and save, and the
// current one to play (also by a double click). A row whose file is gone is greyed out. Below
// the grid, the coverage of the current recording's day (today's without one) hour by hour.
class TfrmLog : public QDialog {
    Q_OBJECT
public:
    // Throws when no database is open or the listing cannot be read.
    // Shows the recordings of Data (null: no database is open); Clock says what has passed.
    explicit TfrmLog(TLogData* Data, QWidget* Parent = nullptr, TFileExists Exists = FileExists,
                     TClock Clock = SystemNow);

    // Reads the listing again, counts it and sizes the columns; then the row with id KeepId
    // is current, or the first (newest) row when KeepId is -1 or the listing lacks it.
    void LoadLog(int32_t KeepId);
    // What the find fields ask for.
    TLogFilter Filter() const;
    void dsDataChange();
    void btnSaveClick();
    void btnRefreshClick();
    void btnOpenFolderClick();
    void btnExportClick();

protected:
    void resizeEvent(QResizeEvent* Event) override;

private:
    void FormCreate();
    void chkAllDatesClick();
    // Reads and shows the coverage of Day; an error of the database shows in lblCoverage.
    void ShowCoverage(const QDate& Day);

    TLogData* FData;
    TClock FClock;
    // The day pnlCoverage shows (invalid: the current recording's time is not readable); none
    // when it is to be read again.
    std::optional<QDate> FCoverageDay;
    TListing* qry;
    TDeletedRowDelegate* FDeletedRows;
    TLogFilter FFilter;
    QWidget* pnlFind;
    QLabel* lblFind;
    QLineEdit* edtFind;
    QLabel* lblFrom;
    QDateEdit* dteFrom;
    QLabel* lblTo;
    QDateEdit* dteTo;
    QCheckBox* chkAllDates;
    QLabel* lblCount;
    QTimer* tmrFind;
    QTableView* grd;
    QLabel* lblCoverage;
    TCoverageStrip* pnlCoverage;
    TPlaybackBar* pnlPlayback;
    QWidget* pnlEdit;
    QLabel* lblTitle;
    QLineEdit* edtTitle;
    QLabel* lblPersons;
    QLineEdit* edtPersons;
    QLabel* lblPath;
    QPushButton* btnSave;
    QPushButton* btnRefresh;
    QPushButton* btnOpenFolder;
    QPushButton* btnExport;
    QPushButton* btnClose;
};
