#pragma once

#include "ui/DeletedRows.h"

#include <QDialog>
#include <cstdint>

class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class TListing;

// The recordings log window: every logged recording, newest first, with the title and the
// persons of the current one to edit and save. A row whose file is gone is greyed out.
class TfrmLog : public QDialog {
    Q_OBJECT
public:
    // Throws when no database is open or the listing cannot be read.
    explicit TfrmLog(QWidget* Parent = nullptr, TFileExists Exists = FileExists);

    // Reads the listing again and sizes the columns; then the row with id KeepId is current,
    // or the first (newest) row when KeepId is -1 or no row has it.
    void LoadLog(int32_t KeepId);
    void dsDataChange();
    void btnSaveClick();
    void btnRefreshClick();

protected:
    void resizeEvent(QResizeEvent* Event) override;

private:
    void FormCreate();

    TListing* qry;
    TDeletedRowDelegate* FDeletedRows;
    QTableView* grd;
    QWidget* pnlEdit;
    QLabel* lblTitle;
    QLineEdit* edtTitle;
    QLabel* lblPersons;
    QLineEdit* edtPersons;
    QLabel* lblPath;
    QPushButton* btnSave;
    QPushButton* btnRefresh;
    QPushButton* btnClose;
};
