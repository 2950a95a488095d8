#pragma once

#include <string>
#include <vector>

struct TLibraryVersion {
    std::string Name;
    std::string Version;
};

// The libraries behind the sound library, with the versions loaded at run time: PulseAudio
// (libpulse), LAME, libvorbis, libopus and libopusenc.
std::vector<TLibraryVersion> LibraryVersions();
