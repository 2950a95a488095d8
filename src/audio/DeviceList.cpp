#include "audio/DeviceList.h"

#include "soundlib/bass.h"

void ListRecordDevices(TDeviceList& List) {
    List.clear();
    BASS_DEVICEINFO Info{};
    for (DWORD Device = 0; BASS_RecordGetDeviceInfo(Device, &Info); ++Device) {
        QString Text = QString::fromUtf8(Info.name);
        if (!(Info.flags & BASS_DEVICE_ENABLED))
            Text += QStringLiteral(" (uitgeschakeld)");
        List.append({Text, static_cast<int32_t>(Device)});
    }
}
