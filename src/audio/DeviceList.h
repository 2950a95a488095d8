#pragma once

#include <QString>
#include <QVector>
#include <cstdint>

// The recording devices, as the operator chooses among them.

struct TDeviceEntry {
    QString Text;
    int32_t Value = 0; // the device number
};
using TDeviceList = QVector<TDeviceEntry>;

// Clears List and fills it with every recording device, in device-number order.
void ListRecordDevices(TDeviceList& List);
