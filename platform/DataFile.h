#pragma once

#include "platform/Result.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace platform {

// A read-only file with 64-bit positions. Data files given to us for rescue
// are never opened for writing, so this class has no way to write.
class DataFile {
public:
    DataFile() = default;
    ~DataFile();
    DataFile(const DataFile&) = delete;
    DataFile& operator=(const DataFile&) = delete;
    DataFile(DataFile&& other) noexcept;
    DataFile& operator=(DataFile&& other) noexcept;

    // Opens path for reading; a folder counts as not openable. Returns false
    // and keeps the reason in lastError() when it cannot.
    bool open(const std::string& path);
    void close();
    bool isOpen() const { return m_fd >= 0; }
    const std::string& path() const { return m_path; }
    const std::string& lastError() const { return m_lastError; }

    // Current size (re-read each call: a file may still be growing).
    std::uint64_t size() const;

    // Reads up to out.size() bytes at offset; returns the count read, which is
    // less than asked at the end of the file. An I/O error is an error value.
    Result<std::uint64_t> readAt(std::uint64_t offset, std::span<std::uint8_t> out) const;
    // Exactly len bytes at offset, or an error naming the offset (ShortRead
    // when the file ends first).
    Result<std::vector<std::uint8_t>> readExactly(std::uint64_t offset, std::uint64_t len) const;

    // Sequential reading from a current position, for readers that seek and
    // read field by field.
    std::uint64_t position() const { return m_position; }
    void seek(std::uint64_t pos) { m_position = pos; }
    // Reads up to out.size() bytes at the position and advances by the count read.
    Result<std::uint64_t> read(std::span<std::uint8_t> out);

private:
    int m_fd = -1;
    std::string m_path;
    std::string m_lastError;
    std::uint64_t m_position = 0;
};

} // namespace platform
