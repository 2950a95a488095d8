#pragma once

#include <QtEndian>
#include <cstdint>

// Fields of the file formats the program reads and writes (WAV, Ogg, Opus) are little-endian
// whatever the machine is; these read and write them from and to any byte address.
template <typename T> T ReadLittleEndian(const void* From) {
    return qFromLittleEndian<T>(From);
}

template <typename T> void WriteLittleEndian(void* To, T Value) {
    qToLittleEndian<T>(Value, To);
}
