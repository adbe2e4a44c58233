#include "platform/DataFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

DataFile::~DataFile()
{
    close();
}

DataFile::DataFile(DataFile&& other) noexcept
    : m_fd(other.m_fd), m_path(std::move(other.m_path)), m_lastError(std::move(other.m_lastError)),
      m_position(other.m_position)
{
    other.m_fd = -1;
}

DataFile& DataFile::operator=(DataFile&& other) noexcept
{
    if (this != &other) {
        close();
        m_fd = other.m_fd;
        m_path = std::move(other.m_path);
        m_lastError = std::move(other.m_lastError);
        m_position = other.m_position;
        other.m_fd = -1;
    }
    return *this;
}

bool DataFile::open(const std::string& path)
{
    close();
    m_lastError.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        m_lastError = std::string(std::strerror(errno)) + " " + path;
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        m_lastError = std::string(std::strerror(S_ISDIR(st.st_mode) ? EISDIR : errno)) + " " + path;
        ::close(fd);
        return false;
    }
    m_fd = fd;
    m_path = path;
    m_position = 0;
    return true;
}

void DataFile::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_position = 0;
}

std::uint64_t DataFile::size() const
{
    struct stat st {};
    if (m_fd < 0 || ::fstat(m_fd, &st) != 0)
        return 0;
    return static_cast<std::uint64_t>(st.st_size);
}

Result<std::uint64_t> DataFile::readAt(std::uint64_t offset, std::span<std::uint8_t> out) const
{
    if (m_fd < 0)
        return DecodeError{DecodeErrorCode::NotOpen, offset, "no file is open"};
    if (offset > static_cast<std::uint64_t>(INT64_MAX))
        return std::uint64_t{0};
    std::uint64_t done = 0;
    while (done < out.size()) {
        const ssize_t n = ::pread(m_fd, out.data() + done, out.size() - done,
                                  static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return DecodeError{DecodeErrorCode::IoError, offset + done,
                               std::string(std::strerror(errno)) + " reading " + m_path};
        }
        if (n == 0)
            break; // end of file
        done += static_cast<std::uint64_t>(n);
    }
    return done;
}

Result<std::vector<std::uint8_t>> DataFile::readExactly(std::uint64_t offset, std::uint64_t len) const
{
    const std::uint64_t fileSize = size();
    if (offset > fileSize || len > fileSize - offset) {
        const std::uint64_t have = offset > fileSize ? 0 : fileSize - offset;
        return DecodeError{DecodeErrorCode::ShortRead, offset,
                           "short read: " + std::to_string(have) + " of " + std::to_string(len)
                               + " bytes at offset " + std::to_string(offset) + " in " + m_path};
    }
    std::vector<std::uint8_t> buffer(len);
    auto got = readAt(offset, buffer);
    if (!got)
        return got.error();
    if (*got != len)
        return DecodeError{DecodeErrorCode::ShortRead, offset,
                           "short read: " + std::to_string(*got) + " of " + std::to_string(len)
                               + " bytes at offset " + std::to_string(offset) + " in " + m_path};
    return buffer;
}

Result<std::uint64_t> DataFile::read(std::span<std::uint8_t> out)
{
    auto got = readAt(m_position, out);
    if (got)
        m_position += *got;
    return got;
}

} // namespace platform
