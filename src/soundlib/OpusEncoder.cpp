#include "soundlib/Encoder.h"
#include "soundlib/OutputFile.h"

#include <opus/opusenc.h>

#include <cstdio>
#include <vector>

namespace soundlib {

namespace {

// As the opusenc command: the slowest, best complexity.
constexpr int Complexity = 10;

struct TCommentsDeleter {
    void operator()(OggOpusComments* Comments) const { ope_comments_destroy(Comments); }
};
struct TOpusDeleter {
    void operator()(OggOpusEnc* Encoder) const { ope_encoder_destroy(Encoder); }
};

// Variable bitrate Opus at any input rate: libopusenc resamples to 48 kHz and keeps the
// original rate in the header.
class TOpusEncoder : public TEncoder {
public:
    explicit TOpusEncoder(std::unique_ptr<TOutputFile> File) : FFile(std::move(File)) {}

    // Creates the libopusenc encoder writing through this object; an ope error code.
    int Open(const TCaptureFormat& Format, int Kbps) {
        std::unique_ptr<OggOpusComments, TCommentsDeleter> Comments(ope_comments_create());
        if (!Comments)
            return OPE_ALLOC_FAIL;
        static const OpusEncCallbacks Callbacks{WriteCallback, CloseCallback};
        int Result = OPE_OK;
        FChannels = Format.Channels;
        FOpus.reset(ope_encoder_create_callbacks(&Callbacks, this, Comments.get(),
                                                 static_cast<opus_int32>(Format.Rate),
                                                 static_cast<int>(Format.Channels), 0, &Result));
        if (!FOpus)
            return Result;
        Result = ope_encoder_ctl(FOpus.get(), OPUS_SET_BITRATE(Kbps * 1000));
        if (Result == OPE_OK)
            Result = ope_encoder_ctl(FOpus.get(), OPUS_SET_COMPLEXITY(Complexity));
        if (Result == OPE_OK) // the samples carry 16 bits, as the encoder is told
            Result = ope_encoder_ctl(FOpus.get(), OPUS_SET_LSB_DEPTH(16));
        return Result;
    }

protected:
    bool Encode(const int16_t* Samples, size_t Frames) override {
        FEncoded = true;
        return ope_encoder_write(FOpus.get(), Samples, static_cast<int>(Frames)) == OPE_OK &&
               !FFile->Failed();
    }

    bool Complete() override {
        // libopusenc 0.2.1 cannot end a stream that got no samples: it aborts the program,
        // or writes an end position from memory it never set. One silent frame gives it a
        // stream it ends correctly.
        if (!FEncoded) {
            const std::vector<int16_t> Silence(FChannels, 0);
            ope_encoder_write(FOpus.get(), Silence.data(), 1);
        }
        const bool Ok = ope_encoder_drain(FOpus.get()) == OPE_OK && !FFile->Failed();
        FOpus.reset();
        return FFile->Close() && Ok;
    }

private:
    static int WriteCallback(void* User, const unsigned char* Data, opus_int32 Bytes) {
        auto* Self = static_cast<TOpusEncoder*>(User);
        const auto Length = static_cast<size_t>(Bytes);
        return Self->FFile->Write(Data, Length) == Length ? 0 : 1;
    }
    // The file is closed by Complete, where its result is checked.
    static int CloseCallback(void*) { return 0; }

    std::unique_ptr<TOutputFile> FFile;
    std::unique_ptr<OggOpusEnc, TOpusDeleter> FOpus;
    uint32_t FChannels = 0;
    bool FEncoded = false; // set on the recording thread, read after the encoder was detached
};

} // namespace

std::unique_ptr<TEncoder> CreateOpusEncoder(int Kbps, const TCaptureFormat& Format,
                                            const std::string& Path, int& Error, int& FileErrno) {
    auto File = TOutputFile::Create(Path, FileErrno);
    if (!File) {
        Error = BASS_ERROR_CREATE;
        return nullptr;
    }
    auto Encoder = std::make_unique<TOpusEncoder>(std::move(File));
    const int Result = Encoder->Open(Format, Kbps);
    if (Result != OPE_OK) {
        Encoder.reset();
        std::remove(Path.c_str());
        Error = Result == OPE_ALLOC_FAIL ? BASS_ERROR_MEM : BASS_ERROR_FORMAT;
        return nullptr;
    }
    return Encoder;
}

} // namespace soundlib
