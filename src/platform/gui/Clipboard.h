#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace orvik {

// The application's clipboard: data offered under named formats, in this
// process. The desktop application bridges it to the system clipboard
// (SetChangeHandler for what we copy, Place with fromThisProcess false for
// what other programs copied); headless runs and tests use it as it is.
//
// Formats are numbers: kTextFormat for plain text (single-byte characters
// ending in a 0 byte), and a number per registered name from 0xC000 on, the
// same number for the same name for the life of the process.
//
// Safe from any thread.
class Clipboard {
public:
    static constexpr uint32_t kTextFormat = 1;
    static constexpr uint32_t kFirstRegisteredFormat = 0xC000;

    // What one copy offers: bytes per format.
    class DataSource {
    public:
        void SetData(uint32_t format, std::vector<uint8_t> bytes);
        // Null when the format is not offered.
        const std::vector<uint8_t>* GetData(uint32_t format) const;
        bool HasFormat(uint32_t format) const { return data_.count(format) != 0; }
        std::vector<uint32_t> Formats() const;

    private:
        std::map<uint32_t, std::vector<uint8_t>> data_;
    };

    // The process's clipboard.
    static Clipboard& Get();

    // The number of a named format (registered on first use); 0 for an
    // empty name.
    static uint32_t RegisterFormat(std::string_view name);
    // The name of a registered format, "text" for kTextFormat, else empty.
    static std::string FormatName(uint32_t format);

    // Replaces the clipboard's contents with `source`. `fromThisProcess`
    // tells readers whether they may trust the bytes as their own (names of
    // this process's private files, for example).
    void Place(DataSource source, bool fromThisProcess = true);
    void Empty();

    bool IsFormatAvailable(uint32_t format) const;
    // A copy of the bytes offered under `format`; false when there are none.
    bool GetData(uint32_t format, std::vector<uint8_t>& bytes,
                 bool* fromThisProcess = nullptr) const;
    // Counts every change of the contents.
    uint64_t GetSequenceNumber() const;

    // Called after every change of the contents, on the thread that made it,
    // without the clipboard's lock held.
    void SetChangeHandler(std::function<void()> handler);

private:
    Clipboard() = default;

    mutable std::mutex lock_;
    std::shared_ptr<const DataSource> contents_;
    bool fromThisProcess_ = true;
    uint64_t sequence_ = 0;
    std::function<void()> changeHandler_;
};

} // namespace orvik
