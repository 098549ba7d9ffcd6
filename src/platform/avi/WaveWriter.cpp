#include "platform/avi/WaveWriter.h"

#include "platform/avi/FourCC.h"

namespace orvik {

namespace {

constexpr uint32_t kRiff = MakeFourCC("RIFF");
constexpr uint32_t kWave = MakeFourCC("WAVE");
constexpr uint32_t kFmt = MakeFourCC("fmt ");
constexpr uint32_t kData = MakeFourCC("data");

} // namespace

WaveWriter::~WaveWriter() {
    if (file_.IsOpen())
        Close();
}

bool WaveWriter::Open(const std::string& path, const WaveFormat& format) {
    if (file_.IsOpen())
        Close();
    error_.clear();
    dataBytes_ = 0;
    std::string why;
    bool bitsOk = format.bitsPerSample == 8 || format.bitsPerSample == 16 ||
                  format.bitsPerSample == 24 || format.bitsPerSample == 32;
    if (format.tag != WaveFormat::kPcm || !format.Validate(&why) || !bitsOk ||
        format.blockAlign != format.channels * (format.bitsPerSample / 8) ||
        format.avgBytesPerSec != format.samplesPerSec * format.blockAlign) {
        error_ = "WaveWriter: '" + path + "': not a plain PCM format" +
                 (why.empty() ? std::string() : " (" + why + ")");
        return false;
    }
    format_ = format;
    format_.extra.clear();
    if (!file_.Open(path))
        return false;
    riffAt_ = file_.BeginList(kRiff, kWave);
    // The 16-byte record of plain PCM, without the extra-bytes count.
    std::vector<uint8_t> record = format_.Bytes();
    file_.WriteChunk(kFmt, record.data(), 16);
    dataAt_ = file_.BeginChunk(kData);
    return !file_.Failed();
}

bool WaveWriter::Write(const void* data, size_t bytes) {
    if (!file_.IsOpen() || file_.Failed())
        return false;
    if (bytes > kMaxDataBytes - dataBytes_) {
        file_.Fail("'" + file_.Path() + "' would pass the 4 GiB a sound file can describe");
        return false;
    }
    file_.Write(data, bytes);
    dataBytes_ += bytes;
    return !file_.Failed();
}

bool WaveWriter::Close() {
    if (!file_.IsOpen())
        return error_.empty() && !file_.Failed();
    file_.EndChunk(dataAt_);
    file_.EndChunk(riffAt_);
    return file_.Close();
}

int64_t WaveWriter::Frames() const {
    return format_.blockAlign ? static_cast<int64_t>(dataBytes_ / format_.blockAlign) : 0;
}

} // namespace orvik
