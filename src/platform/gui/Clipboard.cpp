#include "platform/gui/Clipboard.h"

#include <utility>

namespace orvik {

namespace {

struct FormatTable {
    std::mutex lock;
    std::map<std::string, uint32_t, std::less<>> byName;
    std::vector<std::string> names; // index = format − kFirstRegisteredFormat
};

FormatTable& Formats() {
    static FormatTable* table = new FormatTable; // alive through process exit
    return *table;
}

} // namespace

void Clipboard::DataSource::SetData(uint32_t format, std::vector<uint8_t> bytes) {
    data_[format] = std::move(bytes);
}

const std::vector<uint8_t>* Clipboard::DataSource::GetData(uint32_t format) const {
    auto it = data_.find(format);
    return it == data_.end() ? nullptr : &it->second;
}

std::vector<uint32_t> Clipboard::DataSource::Formats() const {
    std::vector<uint32_t> formats;
    for (const auto& [format, bytes] : data_)
        formats.push_back(format);
    return formats;
}

Clipboard& Clipboard::Get() {
    static Clipboard* clipboard = new Clipboard; // alive through process exit
    return *clipboard;
}

uint32_t Clipboard::RegisterFormat(std::string_view name) {
    if (name.empty())
        return 0;
    FormatTable& t = Formats();
    std::lock_guard<std::mutex> guard(t.lock);
    auto it = t.byName.find(name);
    if (it != t.byName.end())
        return it->second;
    uint32_t format = kFirstRegisteredFormat + static_cast<uint32_t>(t.names.size());
    t.names.emplace_back(name);
    t.byName.emplace(std::string(name), format);
    return format;
}

std::string Clipboard::FormatName(uint32_t format) {
    if (format == kTextFormat)
        return "text";
    FormatTable& t = Formats();
    std::lock_guard<std::mutex> guard(t.lock);
    if (format < kFirstRegisteredFormat || format - kFirstRegisteredFormat >= t.names.size())
        return std::string();
    return t.names[format - kFirstRegisteredFormat];
}

void Clipboard::Place(DataSource source, bool fromThisProcess) {
    std::function<void()> handler;
    {
        std::lock_guard<std::mutex> guard(lock_);
        contents_ = std::make_shared<const DataSource>(std::move(source));
        fromThisProcess_ = fromThisProcess;
        ++sequence_;
        handler = changeHandler_;
    }
    if (handler)
        handler();
}

void Clipboard::Empty() {
    std::function<void()> handler;
    {
        std::lock_guard<std::mutex> guard(lock_);
        contents_.reset();
        fromThisProcess_ = true;
        ++sequence_;
        handler = changeHandler_;
    }
    if (handler)
        handler();
}

bool Clipboard::IsFormatAvailable(uint32_t format) const {
    std::lock_guard<std::mutex> guard(lock_);
    return contents_ && contents_->HasFormat(format);
}

bool Clipboard::GetData(uint32_t format, std::vector<uint8_t>& bytes, bool* fromThisProcess) const {
    std::shared_ptr<const DataSource> contents;
    bool own = true;
    {
        std::lock_guard<std::mutex> guard(lock_);
        contents = contents_;
        own = fromThisProcess_;
    }
    const std::vector<uint8_t>* data = contents ? contents->GetData(format) : nullptr;
    if (!data)
        return false;
    bytes = *data;
    if (fromThisProcess)
        *fromThisProcess = own;
    return true;
}

uint64_t Clipboard::GetSequenceNumber() const {
    std::lock_guard<std::mutex> guard(lock_);
    return sequence_;
}

void Clipboard::SetChangeHandler(std::function<void()> handler) {
    std::lock_guard<std::mutex> guard(lock_);
    changeHandler_ = std::move(handler);
}

} // namespace orvik
