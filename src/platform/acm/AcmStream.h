#pragma once

#include "platform/acm/AudioDecoder.h"
#include "platform/avi/WaveFormat.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace orvik {

// A conversion stream of the audio compression manager, and its format
// suggestion. PCM (and float) sound changes shape in one step: bits, channel
// count and sample rate (linear interpolation). Compressed sound (mu-law,
// A-law, IMA and MS ADPCM, other tags libavcodec decodes) becomes PCM of the
// same rate and channel count; anything more is "not possible", and the
// caller converts in two steps. Compressing is not offered.
//
// Sizes are exact for PCM and block-coded formats: converting the source
// bytes SizeForDestination names gives at least the destination bytes asked
// for, and SizeForSource names exactly what Convert produces from whole
// blocks in the stream's current state. Not thread-safe.
class AcmStream {
public:
    enum Result : int {
        ok = 0,
        error = 1,
        badFormat = 11,    // a format the manager cannot describe or handle
        notPossible = 512, // no single conversion between the two formats
    };

    // Room a caller should allow for any format record this manager gives.
    static constexpr uint32_t kMaxFormatSize = 256;

    AcmStream() = default;
    AcmStream(const AcmStream&) = delete;
    AcmStream& operator=(const AcmStream&) = delete;

    // The PCM format `source` converts to without a second step: the same
    // channels and rate, the same bits for PCM, 16 bits for the others.
    static int SuggestPcm(const WaveFormat& source, WaveFormat& out);

    int Open(const WaveFormat& source, const WaveFormat& target);
    void Close();
    bool IsOpen() const { return open_; }
    const std::string& Error() const { return error_; }

    // Destination bytes made from `sourceBytes` (whole source blocks).
    int SizeForSource(uint32_t sourceBytes, uint32_t& destinationBytes) const;
    // Source bytes (whole blocks) that give at least `destinationBytes`.
    int SizeForDestination(uint32_t destinationBytes, uint32_t& sourceBytes) const;

    // Converts whole source blocks from `source` into at most
    // `destinationBytes`; reports the bytes used and made. `start` marks a
    // new position: the state from earlier calls is dropped.
    int Convert(const uint8_t* source, uint32_t sourceBytes, uint8_t* destination,
                uint32_t destinationBytes, uint32_t& sourceUsed, uint32_t& destinationUsed,
                bool start = false);

private:
    // Output frames made from `frames` source frames in the current state.
    uint64_t OutFrames(uint64_t frames) const;
    // Source frames needed for `outFrames` output frames.
    uint64_t InFrames(uint64_t outFrames) const;

    bool open_ = false;
    std::string error_;
    WaveFormat source_, target_;
    std::unique_ptr<AudioDecoder> decoder_;
    uint32_t sourceBytes_ = 0; // PCM source: bytes per sample of one channel
    uint32_t targetBytes_ = 0;
    uint32_t perBlock_ = 1; // source frames per block, 0 when not known
    uint64_t phase_ = 0;    // next output position, in source frames x target rate
    std::vector<int32_t> decoded_, mixed_, resampled_;
    std::vector<int32_t> carry_; // decoded frames of variable-block formats not yet delivered
};

} // namespace orvik
