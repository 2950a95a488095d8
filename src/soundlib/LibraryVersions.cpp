#include "soundlib/LibraryVersions.h"

#include <lame/lame.h>
#include <opus.h>
#include <opusenc.h>
#include <pulse/version.h>
#include <sndfile.h>
#include <vorbis/codec.h>

namespace {

// The version number at the end of texts such as "Xiph.Org libVorbis 1.3.7" or
// "libsndfile-1.2.0".
std::string LastWord(const char* Text, char Separator = ' ') {
    if (!Text)
        return {};
    const std::string S(Text);
    const auto Space = S.find_last_of(Separator);
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
        {"libsndfile", LastWord(sf_version_string(), '-')},
    };
}
