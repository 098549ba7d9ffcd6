#pragma once

#include "imaging/BitmapInfoHeader.h"
#include "imaging/Dib.h"
#include "model/RefObject.h"
#include "model/RefPtr.h"
#include "model/Timecode.h"
#include "platform/avi/WaveFormat.h"
#include "platform/gdi/Rect.h"

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace orvik {

class Archive;

// The reader of every audio and video file the program reads. A plain
// MediaFile is the reader of a file that could not be opened: every query
// answers 0 or null. VfwFile reads one stream of an AVI file, WaveFile a RIFF
// WAVE file. Readers are obtained through the shared opener (MediaFiles.h).
//
// Every reader gives the same sound path: the file's sound in any PCM form a
// caller asks for (ReadConverted), through the audio compression manager or,
// for the common shapes, a built-in linear-interpolation resampler.
//
// Threads: a reader is shared by the user-interface thread, the waveform
// thread and the engine's streaming threads, and keeps state between calls
// (open stream, frame getter, conversion buffer). Every public operation
// holds the reader's own lock for its whole run, so calls from different
// threads follow each other. Nothing handed out points into the reader's
// state: frames are pictures of their own (GetFrame), formats are copies.
class MediaFile : public RefObject {
    ORVIK_DECLARE_SERIAL(MediaFile)
public:
    enum Kind : int32_t { kindVideo = 0, kindAudio = 1 };

    // Most frames examined by one GetPeak call.
    static constexpr int64_t kPeakFrames = 50;

    MediaFile();
    // A reader that is not open, holding the three values.
    MediaFile(const std::string& name, int32_t kind, int32_t streamIndex);
    ~MediaFile() override;

    // Readers are never stored: nothing is written or read.
    void Serialize(Archive& ar) override;
    // A new reader on the same file, kind and stream.
    RefObject* Clone() const override;

    // Stores the three values; the base opens nothing and returns 0.
    virtual int Open(const std::string& name, int32_t kind, int32_t streamIndex);
    // 1 when open; a closed reader tries to open itself again.
    virtual int IsValid();
    virtual void Close();
    virtual std::string GetFileName() const;
    virtual int32_t GetKind() const;
    virtual int32_t GetStreamIndex() const;
    virtual int IsOpen() const;
    // The stream's handler code ("MJPG"), 0 when there is none.
    virtual uint32_t GetCompression();
    virtual Rect GetFrameRect();
    // Samples of the stream: video frames, sound blocks of an AVI stream,
    // sound frames of a WAVE file.
    virtual int64_t GetSampleCount();
    // Samples per second.
    virtual double GetRate();
    virtual int64_t GetFirstSample();
    // Bytes per second of the video.
    virtual int64_t GetDataRate();
    // The decoded frame `index` (counted from the first sample). `header`
    // optionally gives the size and depth wanted; with both `header` and
    // `bits` the picture is written into the caller's memory and the image
    // returned points at it. Otherwise the image owns its pixels: it stays
    // valid however the reader is used afterwards. Null on failure.
    virtual RefPtr<Dib> GetFrame(int64_t index, BitmapInfoHeader* header = nullptr,
                                 uint8_t* bits = nullptr);
    // The frame at movie time `time`.
    virtual RefPtr<Dib> GetFrameAt(Time time, BitmapInfoHeader* header = nullptr,
                                   uint8_t* bits = nullptr);
    // GetFrame; `index` is left unchanged.
    virtual RefPtr<Dib> GetNearestFrame(int64_t& index, BitmapInfoHeader* header = nullptr,
                                        uint8_t* bits = nullptr);
    // The frame as stored in the file (a compressed picture), with its format.
    virtual RefPtr<Dib> GetRawFrame(int64_t index);
    // The stream format in effect at frame `index`; empty when there is none.
    virtual std::vector<uint8_t> GetFormat(int64_t index);
    virtual void SetOutputMode(int32_t mode);
    virtual int32_t GetOutputMode() const;
    virtual void SetPlayHint(int32_t hint);
    virtual int32_t GetPlayHint() const;
    // The file's sound format, or nothing.
    virtual std::optional<WaveFormat> GetWaveFormat();
    virtual int HasPcmFormat();
    // The largest and smallest sample values of frames `from` … `to` (at most
    // kPeakFrames of them), as 16-bit values; both 0 when nothing was read.
    virtual void GetPeak(int64_t from, int64_t to, int32_t& min, int32_t& max);
    // Reads `count` samples at `sample` as stored; returns the samples read.
    virtual int64_t Read(int64_t sample, int64_t count, void* buffer, uint32_t bufferBytes);
    // Reads `bytes` bytes of stored sound at `byteOffset`; returns the bytes.
    virtual uint32_t ReadSource(uint64_t byteOffset, void* buffer, uint32_t bytes);
    // The PCM form of the file's sound: the format itself when it is PCM,
    // else what the compression manager decodes it to. Nothing when there is
    // no sound or it cannot be decoded.
    virtual std::optional<WaveFormat> GetPcmWaveFormatEx();
    virtual void FreePcmFormat();
    // Bytes of one sound frame (block align for PCM), 0 without sound.
    virtual uint32_t GetBytesPerFrame();

    // Sound at media time `mediaTime` (100 ns units) in `targetFormat`;
    // returns the target frames delivered.
    uint32_t ReadAudioAt(const WaveFormat& targetFormat, uint32_t bytes, void* buffer,
                         MediaTime mediaTime, bool allowDirect);
    // `count` frames at `fromFrame` in the file's PCM form; returns the
    // frames delivered (at most `count`).
    uint32_t ReadPcm(int64_t fromFrame, uint32_t count, void* buffer, uint32_t bufferBytes,
                     bool allowDirect);
    // `bytes` bytes of sound from frame `frameIndex` of the file in
    // `targetFormat`; returns the target frames delivered, 0 on failure.
    // `pass` is 0 for callers (1 is the second step of a two-step
    // conversion).
    uint32_t ReadConverted(const WaveFormat& targetFormat, uint32_t bytes, void* buffer,
                           int64_t frameIndex, bool allowDirect, int pass = 0);

    // 1 when `result` is the compression manager's success; otherwise logs
    // "ConvertSamples: %s failed, %d\n" and returns 0.
    static int ConvertSamples(int result, const char* operationName);

protected:
    // Bytes of one frame of `f` as the data lies in the file: block align
    // for PCM and float, bits x channels / 8 for the others.
    static uint32_t FrameBytesOf(const WaveFormat& f);
    // Frames of sound the file holds (compressed blocks may be padded past
    // them); 0 when unknown. Conversions deliver nothing past this end.
    virtual int64_t GetSoundFrames();

    // The lock every public operation holds (recursive: operations call
    // each other).
    mutable std::recursive_mutex lock_;

    std::string fileName_;
    int32_t kind_ = kindVideo;
    int32_t streamIndex_ = 0;
    bool isOpen_ = false;

private:
    // The built-in resampler: 8/16-bit mono/stereo PCM to 16-bit stereo PCM.
    static bool DirectAccepts(const WaveFormat& source, const WaveFormat& target);
    uint32_t DirectResample(const WaveFormat& source, const WaveFormat& target, uint32_t bytes,
                            uint8_t* buffer, int64_t frameIndex);
    // Source bytes for a conversion: from the file or, on the second step,
    // from the start of `buffer_`.
    uint32_t ReadSourceBytes(uint64_t byteOffset, uint8_t* out, uint32_t bytes);

    std::optional<WaveFormat> pcmFormat_;
    int32_t outputMode_ = 2;
    int32_t playHint_ = 2;
    // Two-step conversion: the first step's PCM and its format.
    bool readFromBuffer_ = false;
    std::vector<uint8_t> buffer_;
    uint32_t bufferLength_ = 0;
    WaveFormat intermediateFormat_;
    std::vector<uint8_t> scratch_;
};

} // namespace orvik
