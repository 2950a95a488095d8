#pragma once

#include <QDialog>
#include <cstdint>

class QComboBox;
class QLabel;
class QPushButton;

// The dialog in which the operator picks the recording device. It changes nothing itself:
// after OK the caller reads SelectedDevice.
class TfrmDevice : public QDialog {
    Q_OBJECT
public:
    explicit TfrmDevice(QWidget* Parent = nullptr);

    // The device number of the selected entry, or -1 when nothing is selected.
    int32_t SelectedDevice() const;

private:
    void FormCreate();

    QLabel* lblPrompt;
    QComboBox* cboDevice;
    QPushButton* btnOK;
    QPushButton* btnCancel;
};
