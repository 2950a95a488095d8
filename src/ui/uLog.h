#pragma once

#include <QDialog>
#include <QSqlQueryModel>
#include <cstdint>

class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

// The recordings log as the grid shows it: every text as one line of at most 2000
// characters, numbers right-aligned, no row numbers. record() keeps the stored values whole.
class TLogListing : public QSqlQueryModel {
    Q_OBJECT
public:
    using QSqlQueryModel::QSqlQueryModel;
    QVariant data(const QModelIndex& Index, int Role = Qt::DisplayRole) const override;
    QVariant headerData(int Section, Qt::Orientation Orientation,
                        int Role = Qt::DisplayRole) const override;
};

// The recordings log window: every logged recording, newest first, with the title and the
// persons of the current one to edit and save.
class TfrmLog : public QDialog {
    Q_OBJECT
public:
    static constexpr int MaxTextLength = 2000;

    // Throws when no database is open or the listing cannot be read.
    explicit TfrmLog(QWidget* Parent = nullptr);

    // Reads the listing again and sizes the columns; then the row with id KeepId is current,
    // or the first (newest) row when KeepId is -1 or no row has it.
    void LoadLog(int32_t KeepId);
    // Each column as wide as its heading and its widest text, plus 16, from 36 to 420.
    void AutoSizeColumns();
    void dsDataChange();
    void btnSaveClick();
    void btnRefreshClick();

protected:
    void resizeEvent(QResizeEvent* Event) override;

private:
    void FormCreate();

    TLogListing* qry;
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
