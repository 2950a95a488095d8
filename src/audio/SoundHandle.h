#pragma once

#include "soundlib/bass.h"

#include <utility>

// Owns one handle of the sound library, which Release frees. Move-only. Close frees it now and
// tells whether that worked; the destructor frees a handle that was not closed, and what that
// release reports is lost.
template <BOOL (*Release)(DWORD)> class TSoundHandle {
public:
    TSoundHandle() = default;
    explicit TSoundHandle(DWORD Handle) : FHandle(Handle) {}
    ~TSoundHandle() { Close(); }
    TSoundHandle(TSoundHandle&& Other) noexcept : FHandle(std::exchange(Other.FHandle, 0)) {}
    TSoundHandle& operator=(TSoundHandle&& Other) noexcept {
        if (this != &Other) {
            Close();
            FHandle = std::exchange(Other.FHandle, 0);
        }
        return *this;
    }

    DWORD Get() const { return FHandle; }
    explicit operator bool() const { return FHandle != 0; }
    // True when there was nothing to free or freeing it worked; BASS_ErrorGetCode tells why not.
    bool Close() { return FHandle == 0 || Release(std::exchange(FHandle, 0)) != 0; }

private:
    DWORD FHandle = 0;
};

// A recording channel; closing it returns once its callback no longer runs.
using TRecordChannel = TSoundHandle<BASS_ChannelStop>;
// An encoder; closing it completes its file, and fails when writing the file failed.
using TEncoderHandle = TSoundHandle<BASS_Encode_Stop>;
