#include "platform/avi/AviWriter.h"

#include "platform/avi/FourCC.h"
#include "platform/avi/LittleEndian.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace orvik {

namespace {

constexpr uint32_t kRiff = MakeFourCC("RIFF");
constexpr uint32_t kList = MakeFourCC("LIST");
constexpr uint32_t kJunk = MakeFourCC("JUNK");
constexpr uint32_t kAviForm = MakeFourCC("AVI ");
constexpr uint32_t kAvixForm = MakeFourCC("AVIX");
constexpr uint32_t kHdrl = MakeFourCC("hdrl");
constexpr uint32_t kAvih = MakeFourCC("avih");
constexpr uint32_t kStrl = MakeFourCC("strl");
constexpr uint32_t kStrh = MakeFourCC("strh");
constexpr uint32_t kStrf = MakeFourCC("strf");
constexpr uint32_t kStrn = MakeFourCC("strn");
constexpr uint32_t kIndx = MakeFourCC("indx");
constexpr uint32_t kOdml = MakeFourCC("odml");
constexpr uint32_t kDmlh = MakeFourCC("dmlh");
constexpr uint32_t kMovi = MakeFourCC("movi");
constexpr uint32_t kIdx1 = MakeFourCC("idx1");
constexpr uint32_t kVids = MakeFourCC("vids");
constexpr uint32_t kAuds = MakeFourCC("auds");

constexpr uint32_t kAvifHasIndex = 0x00000010;
constexpr uint32_t kAvifIsInterleaved = 0x00000100;
constexpr uint32_t kAviifKeyFrame = 0x00000010;
// In a standard index entry's size: the chunk is not a key frame.
constexpr uint32_t kDeltaFrame = 0x80000000u;

constexpr size_t kMainHeaderBytes = 56;
constexpr size_t kStreamHeaderBytes = 56;
constexpr size_t kDmlhBytes = 248;
constexpr size_t kSuperIndexHeader = 24;
constexpr size_t kSuperIndexEntry = 16;

// "00dc", "01wb", "ix00": two digits of the stream number, then two letters.
uint32_t StreamChunkId(int number, const char* two) {
    return MakeFourCC(static_cast<char>('0' + number / 10), static_cast<char>('0' + number % 10),
                      two[0], two[1]);
}

uint32_t IndexChunkId(int number) {
    return MakeFourCC('i', 'x', static_cast<char>('0' + number / 10),
                      static_cast<char>('0' + number % 10));
}

uint32_t Clamp32(int64_t v) {
    return static_cast<uint32_t>(std::clamp<int64_t>(v, 0, UINT32_MAX));
}

} // namespace

AviWriter::~AviWriter() {
    if (file_.IsOpen())
        Close();
}

bool AviWriter::Open(const std::string& path, const Options& options) {
    if (file_.IsOpen())
        Close();
    options_ = options;
    options_.riffLimit = std::min(options_.riffLimit, kMaxRiffLimit);
    options_.superIndexEntries = std::max<uint32_t>(options_.superIndexEntries, 1);
    options_.soundChunkMicroseconds = std::max<uint32_t>(options_.soundChunkMicroseconds, 1);
    error_.clear();
    video_ = Stream();
    sound_ = Stream();
    soundFormat_ = WaveFormat();
    headerWritten_ = false;
    riffCount_ = 0;
    riffAt_ = moviAt_ = avihAt_ = dmlhAt_ = 0;
    firstRiffFrames_ = -1;
    idx1_.clear();
    pending_.clear();
    pendingStart_ = 0;
    soundPieces_ = 0;
    soundWrittenFrames_ = 0;
    return file_.Open(path);
}

bool AviWriter::Usable(const char* operation) {
    if (!file_.IsOpen()) {
        error_ = std::string("AviWriter::") + operation + ": no file is open";
        return false;
    }
    return !file_.Failed();
}

bool AviWriter::CanStillDeclare(const char* operation) {
    if (!Usable(operation))
        return false;
    if (headerWritten_) {
        file_.Fail(std::string("AviWriter::") + operation + ": '" + file_.Path() +
                   "': streams are fixed once samples are written");
        return false;
    }
    return true;
}

bool AviWriter::SetVideoStream(const AviStreamInfo& info, const std::vector<uint8_t>& format) {
    if (!CanStillDeclare("SetVideoStream"))
        return false;
    BitmapInfoHeader header;
    std::string why;
    if (!BitmapInfoHeader::Parse(format.data(), format.size(), header, &why) || info.dwRate == 0 ||
        info.dwScale == 0) {
        error_ = "AviWriter::SetVideoStream: " +
                 (why.empty() ? std::string("the frame rate is 0") : why);
        return false;
    }
    video_.present = true;
    video_.info = info;
    video_.info.fccType = kVids;
    video_.format = format;
    return true;
}

bool AviWriter::SetVideoStream(uint32_t handler, const BitmapInfoHeader& header, uint32_t rate,
                               uint32_t scale) {
    AviStreamInfo info;
    info.fccHandler = handler;
    info.dwRate = rate;
    info.dwScale = scale;
    info.dwQuality = UINT32_MAX; // the codec's default
    return SetVideoStream(info, header.Bytes());
}

bool AviWriter::SetSoundStream(const WaveFormat& format) {
    if (!CanStillDeclare("SetSoundStream"))
        return false;
    std::string why;
    if (format.tag != WaveFormat::kPcm || !format.Validate(&why) || format.bitsPerSample == 0 ||
        format.blockAlign != format.channels * ((format.bitsPerSample + 7) / 8) ||
        format.avgBytesPerSec != format.samplesPerSec * format.blockAlign) {
        error_ = "AviWriter::SetSoundStream: not a plain PCM format" +
                 (why.empty() ? std::string() : " (" + why + ")");
        return false;
    }
    soundFormat_ = format;
    soundFormat_.extra.clear();
    sound_.present = true;
    sound_.info = AviStreamInfo();
    sound_.info.fccType = kAuds;
    sound_.info.dwScale = format.blockAlign;
    sound_.info.dwRate = format.avgBytesPerSec;
    sound_.info.dwSampleSize = format.blockAlign;
    sound_.info.dwQuality = UINT32_MAX;
    sound_.format = soundFormat_.Bytes();
    return true;
}

size_t AviWriter::SuperIndexBytesReserved() const {
    return kSuperIndexHeader + kSuperIndexEntry * options_.superIndexEntries;
}

void AviWriter::WriteHeader() {
    headerWritten_ = true;
    int number = 0;
    if (video_.present) {
        video_.number = number++;
        BitmapInfoHeader h;
        BitmapInfoHeader::Parse(video_.format.data(), video_.format.size(), h);
        video_.chunkId = StreamChunkId(video_.number, h.compression == 0 ? "db" : "dc");
    }
    if (sound_.present) {
        sound_.number = number++;
        sound_.chunkId = StreamChunkId(sound_.number, "wb");
    }

    riffAt_ = file_.BeginList(kRiff, kAviForm);
    riffCount_ = 1;
    uint64_t hdrl = file_.BeginList(kList, kHdrl);
    uint64_t avih = file_.BeginChunk(kAvih);
    avihAt_ = avih + 8;
    std::vector<uint8_t> main = MainHeaderBytes();
    file_.Write(main.data(), main.size());
    file_.EndChunk(avih);
    for (Stream* s : {&video_, &sound_}) {
        if (!s->present)
            continue;
        uint64_t strl = file_.BeginList(kList, kStrl);
        s->strhAt = file_.Position() + 8;
        std::vector<uint8_t> strh = StreamHeaderBytes(*s);
        file_.WriteChunk(kStrh, strh.data(), strh.size());
        file_.WriteChunk(kStrf, s->format.data(), s->format.size());
        size_t nameBytes = strnlen(s->info.szName, sizeof s->info.szName - 1);
        if (nameBytes > 0) {
            std::string name(s->info.szName, nameBytes);
            file_.WriteChunk(kStrn, name.c_str(), name.size() + 1);
        }
        // Room for the super index, should the file pass the threshold.
        s->indxAt = file_.Position();
        uint64_t junk = file_.BeginChunk(kJunk);
        file_.WriteZeros(SuperIndexBytesReserved());
        file_.EndChunk(junk);
        file_.EndChunk(strl);
    }
    uint64_t odml = file_.BeginList(kList, kOdml);
    uint64_t dmlh = file_.BeginChunk(kDmlh);
    dmlhAt_ = dmlh + 8;
    file_.WriteZeros(kDmlhBytes);
    file_.EndChunk(dmlh);
    file_.EndChunk(odml);
    file_.EndChunk(hdrl);
    moviAt_ = file_.BeginList(kList, kMovi);
}

bool AviWriter::WriteVideo(const void* data, size_t size, bool keyFrame) {
    if (!Usable("WriteVideo"))
        return false;
    if (!video_.present) {
        error_ = "AviWriter::WriteVideo: the file has no video stream";
        return false;
    }
    if (size > kMaxChunkBytes) {
        file_.Fail("AviWriter::WriteVideo: a sample of " + std::to_string(size) +
                   " bytes is too large for '" + file_.Path() + "'");
        return false;
    }
    if (!headerWritten_)
        WriteHeader();
    // The sound of this frame's time goes before it when it is there.
    WriteSoundPieces(false);
    WriteChunkOf(video_, data, size, keyFrame, 1);
    WriteSoundPieces(false);
    return !file_.Failed();
}

bool AviWriter::WriteSound(const void* data, size_t bytes) {
    if (!Usable("WriteSound"))
        return false;
    if (!sound_.present) {
        error_ = "AviWriter::WriteSound: the file has no sound stream";
        return false;
    }
    if (!headerWritten_)
        WriteHeader();
    if (pendingStart_ > 0 && pendingStart_ >= pending_.size() / 2) {
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<ptrdiff_t>(pendingStart_));
        pendingStart_ = 0;
    }
    const uint8_t* p = static_cast<const uint8_t*>(data);
    pending_.insert(pending_.end(), p, p + bytes);
    WriteSoundPieces(false);
    return !file_.Failed();
}

int64_t AviWriter::SoundFrames() const {
    if (!sound_.present || soundFormat_.blockAlign == 0)
        return 0;
    return soundWrittenFrames_ +
           static_cast<int64_t>((pending_.size() - pendingStart_) / soundFormat_.blockAlign);
}

int64_t AviWriter::SoundPieceEnd(int64_t piece) const {
    // Piece k holds the sound up to the end of video frame k (or of the k-th
    // chunk period without video), in sample frames.
    unsigned __int128 rate = soundFormat_.samplesPerSec;
    unsigned __int128 num = video_.present ? video_.info.dwScale : options_.soundChunkMicroseconds;
    unsigned __int128 den = video_.present ? video_.info.dwRate : 1000000u;
    unsigned __int128 end = static_cast<unsigned __int128>(piece + 1) * rate * num / den;
    return static_cast<int64_t>(std::min<unsigned __int128>(end, INT64_MAX));
}

void AviWriter::WriteSoundPieces(bool final) {
    if (!sound_.present || file_.Failed())
        return;
    const uint32_t block = soundFormat_.blockAlign;
    // Sound further ahead of the video than this is written without waiting
    // for the frames, so a caller that gives all sound first does not make
    // the writer hold it all.
    const size_t maxWaiting = std::max<size_t>(size_t(soundFormat_.avgBytesPerSec) * 2, 65536);
    for (;;) {
        int64_t waitingFrames = static_cast<int64_t>((pending_.size() - pendingStart_) / block);
        int64_t end = SoundPieceEnd(soundPieces_);
        int64_t frames = end - soundWrittenFrames_;
        if (waitingFrames < frames || frames < 0) {
            if (final && waitingFrames > 0)
                frames = waitingFrames; // the last, shorter piece
            else
                return;
        }
        bool allowed = final || !video_.present || soundPieces_ <= video_.chunks ||
                       pending_.size() - pendingStart_ > maxWaiting;
        if (!allowed)
            return;
        if (frames > 0) {
            size_t bytes = static_cast<size_t>(frames) * block;
            WriteChunkOf(sound_, pending_.data() + pendingStart_, bytes, true, frames);
            pendingStart_ += bytes;
            soundWrittenFrames_ += frames;
        }
        ++soundPieces_;
        if (file_.Failed() || (final && waitingFrames == frames))
            return;
    }
}

void AviWriter::WriteChunkOf(Stream& s, const void* data, size_t size, bool key, int64_t ticks) {
    StartNextRiffIfFull(s, size);
    if (file_.Failed())
        return;
    uint64_t at = file_.Position();
    file_.WriteChunk(s.chunkId, data, size);
    uint32_t bytes = static_cast<uint32_t>(size);
    s.part.push_back({at + 8, bytes, key});
    s.partTicks += ticks;
    s.chunks += 1;
    s.ticks += ticks;
    s.bytes += size;
    s.maxChunk = std::max(s.maxChunk, bytes);
    if (riffCount_ == 1) {
        uint64_t moviForm = moviAt_ + 8;
        idx1_.push_back(
            {s.chunkId, key ? kAviifKeyFrame : 0u, static_cast<uint32_t>(at - moviForm), bytes});
    }
}

void AviWriter::StartNextRiffIfFull(const Stream& s, size_t size) {
    // What the form would hold with this chunk and its closing indexes.
    uint64_t bytes = file_.Position() - riffAt_ + 8 + size + (size & 1);
    bool anyChunk = false;
    for (const Stream* t : {&video_, &sound_}) {
        size_t n = t->part.size() + (t == &s ? 1 : 0);
        if (n > 0)
            bytes += 8 + kSuperIndexHeader + 8 * n;
        anyChunk = anyChunk || !t->part.empty();
    }
    if (riffCount_ == 1)
        bytes += 8 + 16 * (idx1_.size() + 1);
    if (bytes <= options_.riffLimit || !anyChunk)
        return;

    WritePartIndexes();
    file_.EndChunk(moviAt_);
    if (riffCount_ == 1) {
        WriteIdx1();
        firstRiffFrames_ = video_.present ? video_.chunks : sound_.chunks;
    }
    file_.EndChunk(riffAt_);
    riffAt_ = file_.BeginList(kRiff, kAvixForm);
    moviAt_ = file_.BeginList(kList, kMovi);
    ++riffCount_;
}

void AviWriter::WritePartIndexes() {
    for (Stream* s : {&video_, &sound_}) {
        if (!s->present || s->part.empty())
            continue;
        if (s->super.size() >= options_.superIndexEntries) {
            file_.Fail("AviWriter: '" + file_.Path() +
                       "' has more RIFF forms than its index holds (" +
                       std::to_string(options_.superIndexEntries) + ")");
            return;
        }
        // Offsets count from the "movi" list of the form; a form stays below
        // 4 GiB, so they fit 32 bits.
        uint64_t base = moviAt_;
        uint64_t at = file_.BeginChunk(IndexChunkId(s->number));
        file_.WriteLE16(2);       // longs per entry
        file_.WriteLE16(1u << 8); // sub-type 0, type 1: an index of chunks
        file_.WriteLE32(static_cast<uint32_t>(s->part.size()));
        file_.WriteLE32(s->chunkId);
        file_.WriteLE64(base);
        file_.WriteLE32(0);
        std::vector<uint8_t> entries(s->part.size() * 8);
        for (size_t i = 0; i < s->part.size(); ++i) {
            const IndexEntry& e = s->part[i];
            PutLE32(&entries[i * 8], static_cast<uint32_t>(e.offset - base));
            PutLE32(&entries[i * 8 + 4], e.size | (e.key ? 0u : kDeltaFrame));
        }
        file_.Write(entries.data(), entries.size());
        file_.EndChunk(at);
        s->super.push_back(
            {at, static_cast<uint32_t>(file_.Position() - at), Clamp32(s->partTicks)});
        s->part.clear();
        s->partTicks = 0;
    }
}

void AviWriter::WriteIdx1() {
    uint64_t at = file_.BeginChunk(kIdx1);
    std::vector<uint8_t> block;
    constexpr size_t kPerBlock = 4096;
    for (size_t first = 0; first < idx1_.size(); first += kPerBlock) {
        size_t n = std::min(kPerBlock, idx1_.size() - first);
        block.assign(n * 16, 0);
        for (size_t i = 0; i < n; ++i) {
            const Idx1Entry& e = idx1_[first + i];
            PutLE32(&block[i * 16], e.ckid);
            PutLE32(&block[i * 16 + 4], e.flags);
            PutLE32(&block[i * 16 + 8], e.offset);
            PutLE32(&block[i * 16 + 12], e.size);
        }
        file_.Write(block.data(), block.size());
    }
    file_.EndChunk(at);
    idx1_.clear();
    idx1_.shrink_to_fit();
}

std::vector<uint8_t> AviWriter::MainHeaderBytes() const {
    std::vector<uint8_t> b(kMainHeaderBytes, 0);
    uint32_t microSecPerFrame = options_.soundChunkMicroseconds;
    int32_t width = 0, height = 0;
    if (video_.present) {
        microSecPerFrame = static_cast<uint32_t>(
            std::llround(1e6 * double(video_.info.dwScale) / double(video_.info.dwRate)));
        BitmapInfoHeader h;
        if (BitmapInfoHeader::Parse(video_.format.data(), video_.format.size(), h)) {
            width = h.width;
            height = h.AbsHeight();
        }
    }
    // The average data rate of the whole file (known at the end).
    double seconds = 0;
    if (video_.present)
        seconds = double(video_.chunks) * video_.info.dwScale / video_.info.dwRate;
    if (sound_.present)
        seconds = std::max(seconds, double(sound_.ticks) / soundFormat_.samplesPerSec);
    uint64_t bytes = video_.bytes + sound_.bytes;
    uint32_t maxBytesPerSec =
        seconds > 0 ? Clamp32(int64_t(std::ceil(double(bytes) / seconds))) : 0;
    uint32_t flags = kAvifHasIndex;
    if (video_.present && sound_.present)
        flags |= kAvifIsInterleaved;
    int64_t frames = firstRiffFrames_ >= 0 ? firstRiffFrames_
                     : video_.present      ? video_.chunks
                                           : sound_.chunks;
    // Big enough for the largest chunk with its header.
    uint32_t buffer = std::max(video_.maxChunk, sound_.maxChunk);
    buffer = buffer ? buffer + 8 : 0;

    PutLE32(&b[0], microSecPerFrame);
    PutLE32(&b[4], maxBytesPerSec);
    PutLE32(&b[8], 0); // padding granularity
    PutLE32(&b[12], flags);
    PutLE32(&b[16], Clamp32(frames));
    PutLE32(&b[20], 0); // initial frames
    PutLE32(&b[24], (video_.present ? 1u : 0u) + (sound_.present ? 1u : 0u));
    PutLE32(&b[28], buffer);
    PutLE32(&b[32], static_cast<uint32_t>(width));
    PutLE32(&b[36], static_cast<uint32_t>(height));
    return b;
}

std::vector<uint8_t> AviWriter::StreamHeaderBytes(const Stream& s) const {
    std::vector<uint8_t> b(kStreamHeaderBytes, 0);
    const AviStreamInfo& i = s.info;
    AviStreamInfo::Rect frame = i.rcFrame;
    if (&s == &video_ && frame.right <= frame.left && frame.bottom <= frame.top) {
        BitmapInfoHeader h;
        if (BitmapInfoHeader::Parse(s.format.data(), s.format.size(), h))
            frame = {0, 0, h.width, h.AbsHeight()};
    }
    PutLE32(&b[0], i.fccType);
    PutLE32(&b[4], i.fccHandler);
    PutLE32(&b[8], i.dwFlags);
    PutLE16(&b[12], i.wPriority);
    PutLE16(&b[14], i.wLanguage);
    PutLE32(&b[16], 0); // initial frames
    PutLE32(&b[20], i.dwScale);
    PutLE32(&b[24], i.dwRate);
    PutLE32(&b[28], 0); // start
    PutLE32(&b[32], Clamp32(s.ticks));
    PutLE32(&b[36], s.maxChunk);
    PutLE32(&b[40], i.dwQuality);
    PutLE32(&b[44], i.dwSampleSize);
    PutLE16(&b[48], static_cast<uint16_t>(frame.left));
    PutLE16(&b[50], static_cast<uint16_t>(frame.top));
    PutLE16(&b[52], static_cast<uint16_t>(frame.right));
    PutLE16(&b[54], static_cast<uint16_t>(frame.bottom));
    return b;
}

std::vector<uint8_t> AviWriter::SuperIndexBytes(const Stream& s) const {
    std::vector<uint8_t> b(SuperIndexBytesReserved(), 0);
    PutLE16(&b[0], 4); // longs per entry
    b[2] = 0;          // sub-type
    b[3] = 0;          // type: an index of indexes
    PutLE32(&b[4], static_cast<uint32_t>(s.super.size()));
    PutLE32(&b[8], s.chunkId);
    for (size_t i = 0; i < s.super.size(); ++i) {
        uint8_t* e = &b[kSuperIndexHeader + i * kSuperIndexEntry];
        PutLE32(e, static_cast<uint32_t>(s.super[i].offset));
        PutLE32(e + 4, static_cast<uint32_t>(s.super[i].offset >> 32));
        PutLE32(e + 8, s.super[i].size);
        PutLE32(e + 12, s.super[i].duration);
    }
    return b;
}

void AviWriter::PatchHeaders(bool openDml) {
    std::vector<uint8_t> main = MainHeaderBytes();
    file_.Patch(avihAt_, main.data(), main.size());
    for (const Stream* s : {&video_, &sound_}) {
        if (!s->present)
            continue;
        std::vector<uint8_t> strh = StreamHeaderBytes(*s);
        file_.Patch(s->strhAt, strh.data(), strh.size());
        if (openDml) {
            std::vector<uint8_t> indx = SuperIndexBytes(*s);
            uint8_t id[4];
            PutLE32(id, kIndx);
            file_.Patch(s->indxAt, id, 4);
            file_.Patch(s->indxAt + 8, indx.data(), indx.size());
        }
    }
    int64_t total = video_.present ? video_.chunks : sound_.chunks;
    file_.PatchLE32(dmlhAt_, Clamp32(total));
}

bool AviWriter::Close() {
    if (!file_.IsOpen())
        return error_.empty() && !file_.Failed();
    if (!file_.Failed()) {
        if (!headerWritten_)
            WriteHeader();
        WriteSoundPieces(true);
        bool openDml = riffCount_ > 1;
        if (openDml)
            WritePartIndexes();
        file_.EndChunk(moviAt_);
        if (!openDml)
            WriteIdx1();
        file_.EndChunk(riffAt_);
        PatchHeaders(openDml);
    }
    pending_.clear();
    pending_.shrink_to_fit();
    pendingStart_ = 0;
    return file_.Close();
}

} // namespace orvik
