#pragma once

// The sound library's call surface: recording devices, capture with a callback, and the
// MP3, OGG and OPUS file encoders. Every call but BASS_ErrorGetCode returns 0 on failure;
// BASS_ErrorGetCode then tells why (per thread). The stop and release calls (BASS_Free,
// BASS_RecordFree, BASS_ChannelStop, BASS_Encode_Stop) leave the code alone when they succeed,
// so the code of a failed start survives the clean-up after it.

#include <cstdint>

using DWORD = uint32_t;
using BOOL = int;
using HRECORD = DWORD;
using HENCODE = DWORD;

struct BASS_DEVICEINFO {
    const char* name;   // UTF-8
    const char* driver; // unused
    DWORD flags;
};

inline constexpr DWORD BASS_DEVICE_ENABLED = 1;
inline constexpr DWORD BASS_UNICODE = 0x80000000;
// An encoder started with this flag waits: it takes audio only from the cut that hands it over
// (soundlib::ChannelArmCut).
inline constexpr DWORD BASS_ENCODE_PAUSE = 0x20;

// Channel states of BASS_ChannelIsActive.
inline constexpr DWORD BASS_ACTIVE_STOPPED = 0; // not delivering: stopped, or its capture died
inline constexpr DWORD BASS_ACTIVE_PLAYING = 1;

// Error codes.
inline constexpr int BASS_OK = 0;
inline constexpr int BASS_ERROR_MEM = 1;
inline constexpr int BASS_ERROR_FILEOPEN = 2;
inline constexpr int BASS_ERROR_DRIVER = 3;
inline constexpr int BASS_ERROR_HANDLE = 5;
inline constexpr int BASS_ERROR_FORMAT = 6;
inline constexpr int BASS_ERROR_POSITION = 7;
inline constexpr int BASS_ERROR_INIT = 8;
inline constexpr int BASS_ERROR_ALREADY = 14;
inline constexpr int BASS_ERROR_ILLPARAM = 20;
inline constexpr int BASS_ERROR_DEVICE = 23;
inline constexpr int BASS_ERROR_FREQ = 25;
inline constexpr int BASS_ERROR_CREATE = 33;
inline constexpr int BASS_ERROR_NOTAVAIL = 37;
inline constexpr int BASS_ERROR_FILEFORM = 41;
inline constexpr int BASS_ERROR_BUSY = 46;
inline constexpr int BASS_ERROR_UNKNOWN = -1;

// Called on the library's recording thread once per captured block of 16-bit signed
// interleaved samples; returns nonzero to keep recording.
using RECORDPROC = BOOL(HRECORD handle, const void* buffer, DWORD length, void* user);

BOOL BASS_Init(int device, DWORD freq, DWORD flags, void* win, const void* clsid);
BOOL BASS_Free();
BOOL BASS_RecordInit(int device);
BOOL BASS_RecordFree();
BOOL BASS_RecordGetDeviceInfo(DWORD device, BASS_DEVICEINFO* info);
HRECORD BASS_RecordStart(DWORD freq, DWORD chans, DWORD flags, RECORDPROC* proc, void* user);
// Returns only when no callback for the channel runs or will run.
BOOL BASS_ChannelStop(DWORD handle);
// Whether the channel is still delivering audio (BASS_ACTIVE_PLAYING) or not.
DWORD BASS_ChannelIsActive(DWORD handle);
// The encoders take the channel's samples themselves; filename is UTF-8 with BASS_UNICODE.
HENCODE BASS_Encode_MP3_StartFile(DWORD handle, const char* options, DWORD flags,
                                  const char* filename);
HENCODE BASS_Encode_OGG_StartFile(DWORD handle, const char* options, DWORD flags,
                                  const char* filename);
HENCODE BASS_Encode_OPUS_StartFile(DWORD handle, const char* options, DWORD flags,
                                   const char* filename);
// Completes and closes the file; 0 with BASS_ERROR_FILEOPEN when writing the file failed.
BOOL BASS_Encode_Stop(DWORD handle);
// BASS_ACTIVE_PLAYING while the encoder writes its file, BASS_ACTIVE_STOPPED once writing failed.
DWORD BASS_Encode_IsActive(DWORD handle);
int BASS_ErrorGetCode();
