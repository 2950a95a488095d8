#include "soundlib/Encoder.h"
#include "soundlib/OutputFile.h"

#include <lame/lame.h>

#include <vector>

namespace soundlib {

namespace {

struct TLameDeleter {
    void operator()(lame_global_flags* Lame) const { lame_close(Lame); }
};
using TLamePtr = std::unique_ptr<lame_global_flags, TLameDeleter>;

// Constant bitrate MP3 as `lame -b N` writes it, with the LAME/Xing tag completed at the end
// so that players know the true length.
class TMp3Encoder : public TEncoder {
public:
    TMp3Encoder(TLamePtr Lame, std::unique_ptr<TOutputFile> File, uint32_t Channels)
        : FLame(std::move(Lame)), FFile(std::move(File)), FChannels(Channels) {}

protected:
    bool Encode(const int16_t* Samples, size_t Frames) override {
        ReserveFor(Frames);
        const int N =
            FChannels == 2
                ? lame_encode_buffer_interleaved(FLame.get(), const_cast<short*>(Samples),
                                                 static_cast<int>(Frames), FBuffer.data(),
                                                 static_cast<int>(FBuffer.size()))
                : lame_encode_buffer(FLame.get(), Samples, Samples, static_cast<int>(Frames),
                                     FBuffer.data(), static_cast<int>(FBuffer.size()));
        return N >= 0 && Store(N);
    }

    bool Complete() override {
        ReserveFor(0);
        const int N =
            lame_encode_flush(FLame.get(), FBuffer.data(), static_cast<int>(FBuffer.size()));
        bool Ok = N >= 0 && Store(N);
        // The tag frame written at the start as a placeholder gets its final content.
        unsigned char Tag[2880];
        const size_t TagBytes = lame_get_lametag_frame(FLame.get(), Tag, sizeof Tag);
        if (TagBytes > 0 && TagBytes <= sizeof Tag)
            Ok = FFile->WriteAt(0, Tag, TagBytes) && Ok;
        return FFile->Close() && Ok;
    }

private:
    // LAME's worst case for Frames frames.
    void ReserveFor(size_t Frames) {
        const size_t Need = Frames * 5 / 4 + 7200;
        if (FBuffer.size() < Need)
            FBuffer.resize(Need);
    }
    bool Store(int Bytes) {
        return FFile->Write(FBuffer.data(), static_cast<size_t>(Bytes)) ==
               static_cast<size_t>(Bytes);
    }

    TLamePtr FLame;
    std::unique_ptr<TOutputFile> FFile;
    const uint32_t FChannels;
    std::vector<unsigned char> FBuffer;
};

} // namespace

std::unique_ptr<TEncoder> CreateMp3Encoder(int Kbps, const TCaptureFormat& Format,
                                           const std::string& Path, int& Error, int& FileErrno) {
    TLamePtr Lame(lame_init());
    if (!Lame) {
        Error = BASS_ERROR_MEM;
        return nullptr;
    }
    lame_set_in_samplerate(Lame.get(), static_cast<int>(Format.Rate));
    lame_set_num_channels(Lame.get(), static_cast<int>(Format.Channels));
    if (Format.Channels == 1)
        lame_set_mode(Lame.get(), MONO);
    lame_set_VBR(Lame.get(), vbr_off);
    lame_set_brate(Lame.get(), Kbps); // LAME takes the nearest bitrate legal at the rate
    lame_set_bWriteVbrTag(Lame.get(), 1);
    lame_set_write_id3tag_automatic(Lame.get(), 0);
    lame_set_findReplayGain(Lame.get(), 1); // as the lame command does; kept in the tag
    if (lame_init_params(Lame.get()) < 0) {
        Error = BASS_ERROR_FORMAT;
        return nullptr;
    }
    auto File = TOutputFile::Create(Path, FileErrno);
    if (!File) {
        Error = BASS_ERROR_CREATE;
        return nullptr;
    }
    return std::make_unique<TMp3Encoder>(std::move(Lame), std::move(File), Format.Channels);
}

} // namespace soundlib
