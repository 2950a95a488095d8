#include "ui/uDevice.h"

#include "audio/DeviceList.h"
#include "base/uConfig.h"
#include "ui/FormControls.h"
#include "ui/UiFont.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

TfrmDevice::TfrmDevice(QWidget* Parent) : QDialog(Parent) {
    setObjectName(QStringLiteral("frmDevice"));
    setWindowTitle(QStringLiteral("Opname-apparaat"));
    setFont(UiFont(12));
    setFixedSize(409, 129);

    lblPrompt =
        NewLabel(this, "lblPrompt", 16, 16, QStringLiteral("Selecteer het opname-apparaat:"));
    cboDevice = new QComboBox(this);
    cboDevice->setObjectName(QStringLiteral("cboDevice"));
    cboDevice->setGeometry(16, 40, 377, cboDevice->sizeHint().height());
    btnOK = NewButton(this, "btnOK", QStringLiteral("OK"), {221, 88, 82, 27});
    btnOK->setDefault(true);
    btnCancel = NewButton(this, "btnCancel", QStringLiteral("Annuleren"), {311, 88, 82, 27});
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    setTabOrder(cboDevice, btnOK);
    setTabOrder(btnOK, btnCancel);
    cboDevice->setFocus();

    FormCreate();
}

void TfrmDevice::FormCreate() {
    TDeviceList Devices;
    ListRecordDevices(Devices);
    for (const TDeviceEntry& Entry : Devices)
        cboDevice->addItem(Entry.Text, Entry.Value);
    // A stored number that is not in the list (the default device -1, or a device that has
    // gone) falls back to the first device.
    const int Match = cboDevice->findData(Config->RecordDevice());
    cboDevice->setCurrentIndex(Match >= 0 ? Match : (cboDevice->count() > 0 ? 0 : -1));
}

int32_t TfrmDevice::SelectedDevice() const {
    return cboDevice->currentIndex() < 0 ? -1 : cboDevice->currentData().toInt();
}
