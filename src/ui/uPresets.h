#pragma once

#include "base/uTypes.h"

#include <QDialog>

class TLogData;

class QPushButton;
class QTableWidget;

// The dialog "Opname-presets": lists the recording presets in their stored order and adds,
// edits, deletes and moves them. Every change is stored at once; closing stores nothing more.
class TfrmPresets : public QDialog {
    Q_OBJECT
public:
    // Edits the presets of Data (null: no database is open).
    TfrmPresets(TLogData* Data, QWidget* AOwner);

    // Sluiten is also the cancel button: every way out closes with OK.
    void reject() override;

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    void RefreshList(int32_t SelectId);
    int SelectedIndex() const;
    void UpdateButtons();

    void lvPresetsSelectItem();
    void lvPresetsDblClick();
    void btnAddClick();
    void btnEditClick();
    void btnDeleteClick();
    void btnUpClick();
    void btnDownClick();

    TLogData* FData;
    TPresetList FList;

    QTableWidget* lvPresets;
    QPushButton* btnAdd;
    QPushButton* btnEdit;
    QPushButton* btnDelete;
    QPushButton* btnUp;
    QPushButton* btnDown;
    QPushButton* btnClose;
};
