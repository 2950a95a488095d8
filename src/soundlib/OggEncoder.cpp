#include "soundlib/Encoder.h"
#include "soundlib/OutputFile.h"

#include <vorbis/vorbisenc.h>

#include <cstdio>
#include <random>

namespace soundlib {

namespace {

// Sets up Info for an average bitrate of Kbps, as `oggenc -b N` does: nominal bitrate
// without hard limits, bitrate management off. False when libvorbis has no mode for it.
bool SetUpBitrate(vorbis_info& Info, const TCaptureFormat& Format, int Kbps) {
    return vorbis_encode_setup_managed(&Info, Format.Channels, Format.Rate, -1, Kbps * 1000L, -1) ==
               0 &&
           vorbis_encode_ctl(&Info, OV_ECTL_RATEMANAGE2_SET, nullptr) == 0;
}

// The bitrate nearest to Kbps that libvorbis supports at this rate and channel count, or 0.
int NearestBitrate(const TCaptureFormat& Format, int Kbps) {
    for (int Step = 0; Step <= 1000; ++Step)
        for (int Candidate : {Kbps - Step, Kbps + Step}) {
            if (Candidate < 1)
                continue;
            vorbis_info Info;
            vorbis_info_init(&Info);
            const bool Ok = SetUpBitrate(Info, Format, Candidate);
            vorbis_info_clear(&Info);
            if (Ok)
                return Candidate;
        }
    return 0;
}

// The libvorbis and libogg state of one file, set up for Format at Kbps (a bitrate libvorbis
// supports there) by the constructor; Error tells whether that worked. The destructor clears
// whatever was set up.
class TVorbisState {
public:
    TVorbisState(const TCaptureFormat& Format, int Kbps) {
        vorbis_info_init(&Info);
        vorbis_comment_init(&Comment);
        if (!SetUpBitrate(Info, Format, Kbps) || vorbis_encode_setup_init(&Info) != 0) {
            FError = BASS_ERROR_FORMAT;
            return;
        }
        if (vorbis_analysis_init(&Dsp, &Info) != 0) {
            FError = BASS_ERROR_MEM;
            return;
        }
        FAnalysing = true;
        vorbis_block_init(&Dsp, &Block);
        std::random_device Random;
        if (ogg_stream_init(&Stream, static_cast<int>(Random())) != 0)
            FError = BASS_ERROR_MEM;
    }
    ~TVorbisState() {
        if (FAnalysing) {
            ogg_stream_clear(&Stream);
            vorbis_block_clear(&Block);
            vorbis_dsp_clear(&Dsp);
        }
        vorbis_comment_clear(&Comment);
        vorbis_info_clear(&Info);
    }
    TVorbisState(const TVorbisState&) = delete;
    TVorbisState& operator=(const TVorbisState&) = delete;

    // BASS_OK, or the error code of the setup step that failed.
    int Error() const { return FError; }

    vorbis_info Info;
    vorbis_comment Comment;
    vorbis_dsp_state Dsp;
    vorbis_block Block;
    ogg_stream_state Stream;

private:
    int FError = BASS_OK;
    bool FAnalysing = false; // Dsp, Block and Stream are set up
};

class TOggEncoder : public TEncoder {
public:
    TOggEncoder(std::unique_ptr<TVorbisState> State, std::unique_ptr<TOutputFile> File,
                uint32_t Channels)
        : FState(std::move(State)), FFile(std::move(File)), FChannels(Channels) {}

    // Writes the three header packets on pages of their own, as the format asks.
    bool WriteHeaders() {
        ogg_packet Ident, Comments, Codebooks;
        vorbis_analysis_headerout(&FState->Dsp, &FState->Comment, &Ident, &Comments, &Codebooks);
        ogg_stream_packetin(&FState->Stream, &Ident);
        ogg_stream_packetin(&FState->Stream, &Comments);
        ogg_stream_packetin(&FState->Stream, &Codebooks);
        ogg_page Page;
        while (ogg_stream_flush(&FState->Stream, &Page) != 0)
            if (!WritePage(Page))
                return false;
        return true;
    }

protected:
    bool Encode(const int16_t* Samples, size_t Frames) override {
        float** Buffer = vorbis_analysis_buffer(&FState->Dsp, static_cast<int>(Frames));
        for (size_t I = 0; I < Frames; ++I)
            for (uint32_t C = 0; C < FChannels; ++C)
                Buffer[C][I] = Samples[I * FChannels + C] / 32768.0f;
        vorbis_analysis_wrote(&FState->Dsp, static_cast<int>(Frames));
        return WritePackets();
    }

    bool Complete() override {
        vorbis_analysis_wrote(&FState->Dsp, 0);
        bool Ok = WritePackets();
        ogg_page Page;
        while (Ok && ogg_stream_flush(&FState->Stream, &Page) != 0)
            Ok = WritePage(Page);
        return FFile->Close() && Ok;
    }

private:
    bool WritePackets() {
        vorbis_dsp_state* Dsp = &FState->Dsp;
        vorbis_block* Block = &FState->Block;
        while (vorbis_analysis_blockout(Dsp, Block) == 1) {
            vorbis_analysis(Block, nullptr);
            vorbis_bitrate_addblock(Block);
            ogg_packet Packet;
            while (vorbis_bitrate_flushpacket(Dsp, &Packet) == 1) {
                ogg_stream_packetin(&FState->Stream, &Packet);
                ogg_page Page;
                while (ogg_stream_pageout(&FState->Stream, &Page) != 0)
                    if (!WritePage(Page))
                        return false;
            }
        }
        return true;
    }
    bool WritePage(const ogg_page& Page) {
        const auto Header = static_cast<size_t>(Page.header_len);
        const auto Body = static_cast<size_t>(Page.body_len);
        return FFile->Write(Page.header, Header) == Header && FFile->Write(Page.body, Body) == Body;
    }

    std::unique_ptr<TVorbisState> FState;
    std::unique_ptr<TOutputFile> FFile;
    const uint32_t FChannels;
};

} // namespace

std::unique_ptr<TEncoder> CreateOggEncoder(int Kbps, const TCaptureFormat& Format,
                                           const std::string& Path, int& Error, int& FileErrno) {
    const int Supported = NearestBitrate(Format, Kbps);
    if (Supported == 0) {
        Error = BASS_ERROR_FORMAT;
        return nullptr;
    }
    auto State = std::make_unique<TVorbisState>(Format, Supported);
    if (State->Error() != BASS_OK) {
        Error = State->Error();
        return nullptr;
    }
    auto File = TOutputFile::Create(Path, FileErrno);
    if (!File) {
        Error = BASS_ERROR_CREATE;
        return nullptr;
    }
    auto Encoder =
        std::make_unique<TOggEncoder>(std::move(State), std::move(File), Format.Channels);
    if (!Encoder->WriteHeaders()) {
        Encoder->Finish();
        std::remove(Path.c_str()); // our own file, without the headers a player needs
        Error = BASS_ERROR_CREATE;
        return nullptr;
    }
    return Encoder;
}

} // namespace soundlib
