#include "platform/avi/AviFile.h"

#include "platform/avi/FourCC.h"
#include "platform/avi/LittleEndian.h"

#include <algorithm>
#include <cstring>

namespace orvik {

namespace {

constexpr uint32_t kAviForm = MakeFourCC("AVI ");
constexpr uint32_t kAvixForm = MakeFourCC("AVIX");
constexpr uint32_t kHdrl = MakeFourCC("hdrl");
constexpr uint32_t kAvih = MakeFourCC("avih");
constexpr uint32_t kStrl = MakeFourCC("strl");
constexpr uint32_t kStrh = MakeFourCC("strh");
constexpr uint32_t kStrf = MakeFourCC("strf");
constexpr uint32_t kStrd = MakeFourCC("strd");
constexpr uint32_t kStrn = MakeFourCC("strn");
constexpr uint32_t kIndx = MakeFourCC("indx");
constexpr uint32_t kMovi = MakeFourCC("movi");
constexpr uint32_t kRec = MakeFourCC("rec ");
constexpr uint32_t kIdx1 = MakeFourCC("idx1");

constexpr uint32_t kIdx1List = 0x00000001;
constexpr uint32_t kIdx1KeyFrame = 0x00000010;

// Bounds on blocks read whole from the header list, far above real files.
constexpr uint64_t kMaxFormatBytes = 1u << 20;
constexpr uint64_t kMaxIndexBytes = 64u << 20;

// The two characters after the stream number: "dc", "db", "wb", "pc", "ix".
uint16_t TwoCC(uint32_t ckid) {
    return static_cast<uint16_t>(ckid >> 16);
}
constexpr uint16_t kPc = 'p' | 'c' << 8;
constexpr uint16_t kIx = 'i' | 'x' << 8;

bool IsIndexChunk(uint32_t ckid) {
    return (ckid & 0xFFFF) == kIx || TwoCC(ckid) == kIx;
}

} // namespace

bool AviFile::Open(const std::string& path, IndexUse use) {
    Close();
    if (!riff_.Open(path, &error_))
        return false;
    return Parse(use);
}

bool AviFile::OpenMemory(const void* data, size_t size, IndexUse use) {
    Close();
    riff_.OpenMemory(data, size);
    return Parse(use);
}

void AviFile::Close() {
    riff_.Close();
    open_ = false;
    error_.clear();
    header_ = MainHeader{};
    streams_.clear();
    movis_.clear();
}

int AviFile::StreamNumberOf(uint32_t ckid) const {
    int hi = static_cast<int>(ckid & 0xFF) - '0';
    int lo = static_cast<int>((ckid >> 8) & 0xFF) - '0';
    if (hi < 0 || hi > 9 || lo < 0 || lo > 9)
        return -1;
    int n = hi * 10 + lo;
    return n < static_cast<int>(streams_.size()) ? n : -1;
}

bool AviFile::Parse(IndexUse use) {
    std::vector<RiffChunk> top = riff_.TopChunks();
    if (top.empty() || top[0].id != RiffFile::kRiff || top[0].form != kAviForm) {
        error_ = "not an AVI file";
        riff_.Close();
        return false;
    }
    std::vector<RiffChunk> avi = riff_.Children(top[0]);
    const RiffChunk* hdrl = RiffFile::Find(avi, RiffFile::kList, kHdrl);
    if (!hdrl) {
        error_ = "AVI file without a header list";
        riff_.Close();
        return false;
    }
    std::vector<RiffChunk> headers = riff_.Children(*hdrl);
    if (const RiffChunk* avih = RiffFile::Find(headers, kAvih)) {
        std::vector<uint8_t> d;
        uint8_t h[40] = {};
        if (riff_.ReadData(*avih, d, sizeof h) && !d.empty())
            std::memcpy(h, d.data(), d.size());
        uint32_t* fields[] = {&header_.microSecPerFrame,
                              &header_.maxBytesPerSec,
                              &header_.paddingGranularity,
                              &header_.flags,
                              &header_.totalFrames,
                              &header_.initialFrames,
                              &header_.streams,
                              &header_.suggestedBufferSize,
                              &header_.width,
                              &header_.height};
        for (size_t i = 0; i < 10; ++i)
            *fields[i] = GetLE32(h + 4 * i);
    }
    for (const RiffChunk& c : headers) {
        if (c.id != RiffFile::kList || c.form != kStrl)
            continue;
        if (streams_.size() >= kMaxStreams)
            break;
        if (!ReadStreamList(c)) {
            riff_.Close();
            streams_.clear();
            return false;
        }
    }
    if (streams_.empty()) {
        error_ = "AVI file without streams";
        riff_.Close();
        return false;
    }

    if (const RiffChunk* movi = RiffFile::Find(avi, RiffFile::kList, kMovi))
        movis_.push_back(*movi);
    for (size_t i = 1; i < top.size(); ++i) {
        if (top[i].id != RiffFile::kRiff || top[i].form != kAvixForm)
            continue;
        std::vector<RiffChunk> avix = riff_.Children(top[i]);
        if (const RiffChunk* movi = RiffFile::Find(avix, RiffFile::kList, kMovi))
            movis_.push_back(*movi);
    }

    std::vector<bool> wanted(streams_.size(), false);
    bool anyWanted = false;
    for (size_t i = 0; i < streams_.size(); ++i) {
        AviStream& s = *streams_[i];
        if (use == IndexUse::preferOpenDml && !s.superIndex_.empty() && ReadOpenDmlIndex(s)) {
            s.indexKind_ = "indx";
        } else {
            s.entries_.clear();
            s.paletteChanges_.clear();
            wanted[i] = true;
            anyWanted = true;
        }
    }
    const RiffChunk* idx1 = RiffFile::Find(avi, kIdx1);
    if (anyWanted && use != IndexUse::scanOnly && idx1 && !movis_.empty()) {
        ReadIdx1(*idx1, wanted);
        // "idx1" covers the first form only; the continuation forms are
        // walked.
        for (size_t m = 1; m < movis_.size(); ++m)
            Scan(movis_[m], wanted, 0);
        for (size_t i = 0; i < streams_.size(); ++i)
            if (wanted[i])
                streams_[i]->indexKind_ = "idx1";
    } else if (anyWanted) {
        for (const RiffChunk& movi : movis_)
            Scan(movi, wanted, 0);
        for (size_t i = 0; i < streams_.size(); ++i)
            if (wanted[i])
                streams_[i]->indexKind_ = "scan";
    }
    for (auto& s : streams_) {
        s->Finish(header_.microSecPerFrame);
        s->superIndex_.clear();
        s->superIndex_.shrink_to_fit();
    }
    open_ = true;
    return true;
}

bool AviFile::ReadStreamList(const RiffChunk& strl) {
    auto s = std::unique_ptr<AviStream>(new AviStream);
    s->source_ = &riff_.Source();
    std::vector<RiffChunk> parts = riff_.Children(strl);
    const RiffChunk* strh = RiffFile::Find(parts, kStrh);
    std::vector<uint8_t> h;
    if (!strh || !riff_.ReadData(*strh, h, 56) || h.size() < 48) {
        error_ = "stream header missing or short";
        return false;
    }
    AviStreamInfo& info = s->info_;
    info.fccType = GetLE32(&h[0]);
    info.fccHandler = GetLE32(&h[4]);
    info.dwFlags = GetLE32(&h[8]);
    info.wPriority = GetLE16(&h[12]);
    info.wLanguage = GetLE16(&h[14]);
    info.dwInitialFrames = GetLE32(&h[16]);
    info.dwScale = GetLE32(&h[20]);
    info.dwRate = GetLE32(&h[24]);
    info.dwStart = GetLE32(&h[28]);
    info.dwLength = GetLE32(&h[32]);
    info.dwSuggestedBufferSize = GetLE32(&h[36]);
    info.dwQuality = GetLE32(&h[40]);
    info.dwSampleSize = GetLE32(&h[44]);
    if (h.size() >= 56) {
        info.rcFrame.left = static_cast<int16_t>(GetLE16(&h[48]));
        info.rcFrame.top = static_cast<int16_t>(GetLE16(&h[50]));
        info.rcFrame.right = static_cast<int16_t>(GetLE16(&h[52]));
        info.rcFrame.bottom = static_cast<int16_t>(GetLE16(&h[54]));
    }
    // The start is an offset of the first sample; keep it small enough that
    // start + length stays within 32 bits.
    info.dwStart = std::min<uint32_t>(info.dwStart, 1u << 30);
    s->type_ = info.fccType;

    if (const RiffChunk* strf = RiffFile::Find(parts, kStrf))
        riff_.ReadData(*strf, s->format_, kMaxFormatBytes);
    if (const RiffChunk* strd = RiffFile::Find(parts, kStrd))
        riff_.ReadData(*strd, s->codecData_, kMaxFormatBytes);
    if (const RiffChunk* strn = RiffFile::Find(parts, kStrn)) {
        std::vector<uint8_t> name;
        riff_.ReadData(*strn, name, sizeof info.szName - 1);
        if (!name.empty())
            std::memcpy(info.szName, name.data(), name.size());
        info.szName[name.size()] = 0;
    }
    if (const RiffChunk* indx = RiffFile::Find(parts, kIndx))
        riff_.ReadData(*indx, s->superIndex_, kMaxIndexBytes);

    std::string why;
    if (s->type_ == AviStream::kVideo) {
        s->usable_ = BitmapInfoHeader::Parse(s->format_.data(), s->format_.size(), s->video_, &why);
    } else if (s->type_ == AviStream::kAudio) {
        s->usable_ = WaveFormat::Parse(s->format_.data(), s->format_.size(), s->sound_, &why);
    } else {
        why = "stream type " + FourCCText(s->type_) + " is not read";
    }
    s->error_ = why;
    streams_.push_back(std::move(s));
    return true;
}

bool AviFile::ReadOpenDmlIndex(AviStream& s) {
    const std::vector<uint8_t>& d = s.superIndex_;
    if (d.size() < 24)
        return false;
    uint16_t longs = GetLE16(&d[0]);
    uint8_t type = d[3];
    if (type == 1) // a standard index kept in the header itself
        return ReadStandardIndex(d.data(), d.size(), s);
    if (type != 0 || longs < 4)
        return false;
    size_t stride = static_cast<size_t>(longs) * 4;
    uint64_t count = std::min<uint64_t>(GetLE32(&d[4]), (d.size() - 24) / stride);
    std::vector<uint8_t> chunkData;
    for (uint64_t i = 0; i < count; ++i) {
        const uint8_t* e = &d[24 + i * stride];
        uint64_t offset = GetLE64(e);
        RiffChunk ix;
        if (!riff_.ReadChunkAt(offset, riff_.Size(), ix) || !IsIndexChunk(ix.id) || ix.overruns)
            continue; // a lost part of a truncated file
        if (!riff_.ReadData(ix, chunkData, kMaxIndexBytes))
            continue;
        if (!ReadStandardIndex(chunkData.data(), chunkData.size(), s))
            return false;
    }
    return true;
}

bool AviFile::ReadStandardIndex(const uint8_t* d, size_t size, AviStream& s) {
    if (size < 24)
        return false;
    uint16_t longs = GetLE16(d);
    uint8_t type = d[3];
    if (type != 1 || longs < 2)
        return false;
    size_t stride = static_cast<size_t>(longs) * 4;
    uint64_t count = std::min<uint64_t>(GetLE32(d + 4), (size - 24) / stride);
    uint64_t base = GetLE64(d + 12);
    uint64_t fileSize = riff_.Size();
    if (base > fileSize)
        return count == 0;
    bool sound = s.type_ == AviStream::kAudio;
    for (uint64_t i = 0; i < count; ++i) {
        const uint8_t* e = d + 24 + i * stride;
        uint64_t offset = base + GetLE32(e);
        uint32_t raw = GetLE32(e + 4);
        uint32_t bytes = raw & 0x7FFFFFFFu;
        if (offset > fileSize || bytes > fileSize - offset)
            continue; // past the end of a truncated file
        s.entries_.push_back({offset, bytes, sound || (raw & 0x80000000u) == 0});
    }
    return true;
}

void AviFile::ReadIdx1(const RiffChunk& idx1, const std::vector<bool>& wanted) {
    std::vector<uint8_t> d;
    if (!riff_.ReadData(idx1, d))
        return;
    size_t count = d.size() / 16;
    uint64_t fileSize = riff_.Size();
    // Offsets count from the "movi" form type, or, in some writers' files,
    // from the start of the file: the first real entry tells which.
    uint64_t base = movis_[0].dataOffset;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* e = &d[i * 16];
        uint32_t ckid = GetLE32(e);
        if ((GetLE32(e + 4) & kIdx1List) || ckid == kRec)
            continue;
        uint32_t off = GetLE32(e + 8);
        RiffChunk at;
        if (riff_.ReadChunkAt(base + off, fileSize, at) && at.id == ckid)
            break;
        if (riff_.ReadChunkAt(off, fileSize, at) && at.id == ckid)
            base = 0;
        break;
    }
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* e = &d[i * 16];
        uint32_t ckid = GetLE32(e);
        uint32_t flags = GetLE32(e + 4);
        if (flags & kIdx1List)
            continue;
        int n = StreamNumberOf(ckid);
        if (n < 0 || !wanted[static_cast<size_t>(n)] || IsIndexChunk(ckid))
            continue;
        AviStream& s = *streams_[static_cast<size_t>(n)];
        uint64_t offset = base + GetLE32(e + 8) + 8;
        uint32_t bytes = GetLE32(e + 12);
        if (offset > fileSize || bytes > fileSize - offset)
            continue;
        if (TwoCC(ckid) == kPc) {
            AviStream::PaletteChange change;
            change.entry = static_cast<int64_t>(s.entries_.size());
            change.data.resize(std::min<uint32_t>(bytes, 4 + 256 * 4));
            if (riff_.ReadAt(offset, change.data.data(), change.data.size()))
                s.paletteChanges_.push_back(std::move(change));
            continue;
        }
        bool key = (flags & kIdx1KeyFrame) != 0 || s.type_ == AviStream::kAudio;
        s.entries_.push_back({offset, bytes, key});
    }
}

void AviFile::Scan(const RiffChunk& list, const std::vector<bool>& wanted, int depth) {
    if (depth > 4)
        return;
    for (const RiffChunk& c : riff_.Children(list)) {
        if (c.id == RiffFile::kList) {
            if (c.form == kRec)
                Scan(c, wanted, depth + 1);
            continue;
        }
        int n = StreamNumberOf(c.id);
        if (n < 0 || !wanted[static_cast<size_t>(n)] || IsIndexChunk(c.id) || c.overruns)
            continue;
        AviStream& s = *streams_[static_cast<size_t>(n)];
        if (TwoCC(c.id) == kPc) {
            AviStream::PaletteChange change;
            change.entry = static_cast<int64_t>(s.entries_.size());
            if (riff_.ReadData(c, change.data, 4 + 256 * 4))
                s.paletteChanges_.push_back(std::move(change));
            continue;
        }
        s.entries_.push_back({c.dataOffset, c.size, true});
    }
}

AviStream* AviFile::FindStream(uint32_t fccType, size_t index) {
    size_t seen = 0;
    for (auto& s : streams_) {
        if (s->Type() != fccType)
            continue;
        if (seen++ != index)
            continue;
        if (!s->IsUsable()) {
            error_ = s->Error();
            return nullptr;
        }
        return s.get();
    }
    error_ = "no stream of type " + FourCCText(fccType) + " number " + std::to_string(index);
    return nullptr;
}

} // namespace orvik
