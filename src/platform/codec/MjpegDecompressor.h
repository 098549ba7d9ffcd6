#pragma once

#include "platform/codec/AvDecompressor.h"
#include "platform/codec/PictureScaler.h"
#include "platform/codec/VideoDecompressor.h"

#include <memory>
#include <vector>

namespace orvik {

// Motion-JPEG through TurboJPEG: the hot path of capture and preview. A
// picture of the asked size is decoded straight into the caller's rows,
// bottom-up; a size TurboJPEG can scale to is decoded scaled; any other size
// goes through libswscale.
//
// Interlaced capture samples hold two JPEG pictures, one per field, each half
// the frame's height: they are decoded into alternate rows, the first field
// on top unless the "AVI1" marker's polarity says it is the bottom one. A
// sample TurboJPEG cannot read (lossless or 12-bit JPEG, for example) is
// handed to libavcodec's decoder.
class MjpegDecompressor : public VideoDecompressor {
public:
    static std::unique_ptr<MjpegDecompressor>
    Create(const BitmapInfoHeader& header, const std::vector<uint8_t>& format, std::string* error);
    ~MjpegDecompressor() override;

    bool IsIntraOnly() const override { return true; }
    bool Send(const uint8_t* data, size_t size) override;
    bool SendEnd() override { return true; }
    int Next(const DecodeTarget& out) override;
    void Reset() override { pending_.clear(), hasPending_ = false; }
    bool DecodeInto(const uint8_t* data, size_t size, const DecodeTarget& out) override;

    // Where a second JPEG picture starts in a sample (after the first one's
    // end-of-image marker); 0 when there is none.
    static size_t FindSecondPicture(const uint8_t* data, size_t size);
    // The field polarity byte of the "AVI1" application marker, 0 without one.
    static int Polarity(const uint8_t* data, size_t size);

private:
    MjpegDecompressor() = default;
    // Decodes one JPEG picture; `pitch` may be twice a row for a field.
    bool Decode(const uint8_t* data, size_t size, uint8_t* dst, int width, int pitch, int height,
                int pixelFormat, int flags);
    bool DecodeFields(const uint8_t* data, size_t size, int width, int fieldHeight,
                      const DecodeTarget& out);
    bool Fallback(const uint8_t* data, size_t size, const DecodeTarget& out);

    void* handle_ = nullptr; // tjhandle
    PictureScaler scaler_;
    std::vector<uint8_t> temp_;
    std::vector<uint8_t> pending_;
    bool hasPending_ = false;
    std::unique_ptr<AvDecompressor> fallback_;
};

} // namespace orvik
