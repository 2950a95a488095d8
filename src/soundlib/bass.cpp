#include "soundlib/bass.h"

#include "soundlib/Library.h"

using soundlib::TLibrary;

namespace {

thread_local int LastError = BASS_OK;
thread_local int LastFileErrno = 0; // of the last encoder start

// Records the outcome of a call for BASS_ErrorGetCode and gives its result: Value on
// success, 0 on failure.
template <typename T> T Outcome(int Error, T Value) {
    LastError = Error;
    return Error == BASS_OK ? Value : T{0};
}

// The stop and release calls set the error code only when they fail. Their callers do not
// look at their result, and a caller that cleans up after a failed call (a channel stopped
// because its encoder did not start) still reads that call's code afterwards.
BOOL Released(int Error) {
    if (Error != BASS_OK)
        LastError = Error;
    return Error == BASS_OK;
}

TLibrary& Library() {
    return TLibrary::Instance();
}

HENCODE EncodeStart(soundlib::TEncoderKind Kind, DWORD Handle, const char* Options, DWORD Flags,
                    const char* Filename) {
    HENCODE Encoder = 0;
    LastFileErrno = 0;
    const int Error =
        Library().EncodeStart(Kind, Handle, Options, Flags, Filename, Encoder, LastFileErrno);
    return Outcome(Error, Encoder);
}

} // namespace

BOOL BASS_Init(int device, DWORD, DWORD, void*, const void*) {
    return Outcome(Library().Init(device), BOOL{1});
}

BOOL BASS_Free() {
    return Released(Library().Free());
}

BOOL BASS_RecordInit(int device) {
    return Outcome(Library().RecordInit(device), BOOL{1});
}

BOOL BASS_RecordFree() {
    return Released(Library().RecordFree());
}

BOOL BASS_RecordGetDeviceInfo(DWORD device, BASS_DEVICEINFO* info) {
    if (!info)
        return Outcome(BASS_ERROR_ILLPARAM, BOOL{1});
    return Outcome(Library().GetDeviceInfo(device, *info), BOOL{1});
}

HRECORD BASS_RecordStart(DWORD freq, DWORD chans, DWORD flags, RECORDPROC* proc, void* user) {
    HRECORD Handle = 0;
    const int Error = Library().RecordStart({freq, chans}, flags, proc, user, Handle);
    return Outcome(Error, Handle);
}

BOOL BASS_ChannelStop(DWORD handle) {
    return Released(Library().ChannelStop(handle));
}

DWORD BASS_ChannelIsActive(DWORD handle) {
    DWORD State = BASS_ACTIVE_STOPPED;
    LastError = Library().ChannelIsActive(handle, State);
    return State;
}

HENCODE BASS_Encode_MP3_StartFile(DWORD handle, const char* options, DWORD flags,
                                  const char* filename) {
    return EncodeStart(soundlib::TEncoderKind::Mp3, handle, options, flags, filename);
}

HENCODE BASS_Encode_OGG_StartFile(DWORD handle, const char* options, DWORD flags,
                                  const char* filename) {
    return EncodeStart(soundlib::TEncoderKind::Ogg, handle, options, flags, filename);
}

HENCODE BASS_Encode_OPUS_StartFile(DWORD handle, const char* options, DWORD flags,
                                   const char* filename) {
    return EncodeStart(soundlib::TEncoderKind::Opus, handle, options, flags, filename);
}

BOOL BASS_Encode_Stop(DWORD handle) {
    return Released(Library().EncodeStop(handle));
}

DWORD BASS_Encode_IsActive(DWORD handle) {
    DWORD State = BASS_ACTIVE_STOPPED;
    LastError = Library().EncodeIsActive(handle, State);
    return State;
}

int BASS_ErrorGetCode() {
    return LastError;
}

namespace soundlib {

void InstallCaptureBackend(std::unique_ptr<TCaptureBackend> Backend) {
    Library().InstallBackend(std::move(Backend));
}

int LastEncodeFileErrno() {
    return LastFileErrno;
}

uint64_t ChannelDroppedBytes(uint32_t Handle) {
    return Library().DroppedBytes(Handle);
}

uint64_t ChannelMsSinceAudio(uint32_t Handle) {
    return Library().MsSinceAudio(Handle);
}

uint64_t ChannelGapFrames(uint32_t Handle) {
    return Library().GapFrames(Handle);
}

int ChannelArmCut(uint32_t Handle, int64_t At, uint32_t NextEncoder, CUTPROC* Proc, void* User) {
    return Library().ArmCut(Handle, At, NextEncoder, Proc, User);
}

bool ChannelDisarmCut(uint32_t Handle) {
    return Library().DisarmCut(Handle);
}

} // namespace soundlib
