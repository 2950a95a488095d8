#pragma once

#include "data/uData.h"
#include "ui/DeletedRows.h"

#include <QDialog>
#include <cstdint>

class QCheckBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QTimer;
class TListing;
class TPlaybackBar;

// The recordings log window: the logged recordings, newest first, narrowed to a span of days
// and a text, with the title and the persons of the current one to edit and save, and the
// current one to play (also by a double click). A row whose file is gone is greyed out.
class TfrmLog : public QDialog {
    Q_OBJECT
public:
    // Throws when no database is open or the listing cannot be read.
    // Shows the recordings of Data (null: no database is open).
    explicit TfrmLog(TLogData* Data, QWidget* Parent = nullptr, TFileExists Exists = FileExists);

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

    TLogData* FData;
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
