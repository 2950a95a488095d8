#include "soundlib/LibraryVersions.h"

#include <lame/lame.h>
#include <opus.h>
#include <opusenc.h>
#include <pulse/version.h>
#include <vorbis/codec.h>

namespace {

// The version number at the end of texts such as "Xiph.Org libVorbis 1.3.7".
std::string LastWord(const char* Text) {
    if (!Text)
        return {};
    const std::string S(Text);
    const auto Space = S.find_last_of(' ');
    return Space == std::string::npos ? S : S.substr(Space + 1);
}

} // namespace

std::vector<TLibraryVersion> LibraryVersions() {
    return {
        {"PulseAudio", LastWord(pa_get_library_version())},
        {"LAME", LastWord(get_lame_version())},
        {"libvorbis", LastWord(vorbis_version_string())},
        {"libopus", LastWord(opus_get_version_string())},
        {"libopusenc", LastWord(ope_get_version_string())},
    };
}
