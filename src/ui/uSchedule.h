#pragma once

#include "base/uTypes.h"

#include <QDialog>
#include <QHash>
#include <array>
#include <cstdint>

class QAbstractButton;
class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;
class TLogData;

// The days of the week as the schedule numbers them, day 1 (Monday) first.
inline const std::array<QString, 7> DayNames = {
    QStringLiteral("Maandag"),   QStringLiteral("Dinsdag"), QStringLiteral("Woensdag"),
    QStringLiteral("Donderdag"), QStringLiteral("Vrijdag"), QStringLiteral("Zaterdag"),
    QStringLiteral("Zondag")};
// What a cell without a recording shows; the first entry of every preset list, carrying id 0.
inline const QString NoRecordingLabel = QStringLiteral("\u2014 Geen opname \u2014");

// The dialog "Weekschema": which preset records each of the 7 x 24 hours of the week. It edits a
// copy of the schedule; only OK writes it back, all 168 cells.
class TfrmSchedule : public QDialog {
    Q_OBJECT
public:
    // Edits the schedule of Data (null: no database is open).
    TfrmSchedule(TLogData* Data, QWidget* AOwner);

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;
    void resizeEvent(QResizeEvent* Event) override;

private:
    void FillPresetCombo(QComboBox* Box, bool WithNone);
    QString PresetName(int32_t Id) const;
    static int IndexOfPreset(const QComboBox* Box, int32_t Id);
    void LoadSchedule();
    void ShowSchedule();
    void SetCell(int Day, int Hour, int32_t PresetId);
    void HideEditor();
    void ApplyBrush(int FirstDay, int LastDay, int FirstHour, int LastHour);

    // Cells are numbered as the week shows them: column = day 1..7, row = hour + 1, and
    // column 0 and row 0 are the headers.
    void gridSelectCell(int ACol, int ARow);
    void gridTopLeftChanged();
    void cboEditChange();
    void cboEditExit();
    void btnApplyHourClick();
    void btnApplyDayClick();
    void btnApplyAllClick();
    void btnOKClick();

    TLogData* FData;
    TPresetList FList;
    QHash<int32_t, QString> FNameById;
    std::array<std::array<int32_t, 24>, 7> FSched{};
    bool FUpdating = false;
    bool FReady = false;
    // The cell the editor stands on, as day * 100 + hour.
    int FEditorTag = 0;

    QLabel* lblHour;
    QComboBox* cboHour;
    QPushButton* btnApplyHour;
    QLabel* lblDay;
    QComboBox* cboDay;
    QPushButton* btnApplyDay;
    QLabel* lblBrush;
    QComboBox* cboBrush;
    QPushButton* btnApplyAll;
    QTableWidget* grid;
    QAbstractButton* FCorner;
    QComboBox* cboEdit;
    QPushButton* btnOK;
    QPushButton* btnCancel;
};
