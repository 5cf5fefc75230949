#include "records/jet/PageFile.h"

#include "records/jet/Error.h"
#include "records/jet/Format.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace zorvane::jet {

namespace fs = std::filesystem;

PageFile::PageFile(std::string path) : path_(std::move(path)) {
    if (path_.empty())
        throw Error("No database file was named.");
    std::error_code ec;
    const fs::file_status st = fs::status(path_, ec);
    if (st.type() == fs::file_type::not_found)
        fail("the file does not exist");
    if (ec)
        fail("the file cannot be opened (" + ec.message() + ")");
    if (st.type() == fs::file_type::directory)
        fail("this is a folder, not a database file");
    if (st.type() != fs::file_type::regular)
        fail("this is not an ordinary file");
    errno = 0;
    file_ = std::fopen(path_.c_str(), "rb");
    if (!file_)
        fail(std::string("the file cannot be opened (") + std::strerror(errno) + ")");
    const auto size = fs::file_size(path_, ec);
    if (ec)
        fail("the file's size cannot be read (" + ec.message() + ")");
    fileSize_ = size;
    const std::uint64_t pages = fileSize_ / format::PageSize;
    if (pages > 0xFFFFFFu)  // page numbers are 3 bytes in row pointers
        fail("the file is too large to be an Access 2000 database");
    pageCount_ = static_cast<std::uint32_t>(pages);
    cache_.resize(pageCount_);
}

PageFile::PageFile(std::string name, std::vector<std::uint8_t> image)
    : path_(std::move(name)), image_(std::move(image)) {
    fileSize_ = image_.size();
    pageCount_ = static_cast<std::uint32_t>(
        std::min<std::uint64_t>(fileSize_ / format::PageSize, 0xFFFFFFu));
}

PageFile::~PageFile() {
    if (file_)
        std::fclose(file_);
}

void PageFile::fail(const std::string& reason) const {
    throw Error(path_ + ": " + reason + ".");
}

const std::uint8_t* PageFile::page(std::uint32_t number, const char* what) {
    if (number >= pageCount_) {
        std::string reason = what ? std::string(what) + " is damaged: page " : "page ";
        reason += std::to_string(number) + " lies beyond the end of the file (" +
                  std::to_string(pageCount_) + " pages); the file is truncated or damaged";
        fail(reason);
    }
    if (!file_)
        return image_.data() + static_cast<std::size_t>(number) * format::PageSize;
    auto& slot = cache_[number];
    if (!slot) {
        auto buffer = std::make_unique<std::uint8_t[]>(format::PageSize);
        const auto offset = static_cast<long long>(number) * format::PageSize;
        errno = 0;
        if (fseeko(file_, static_cast<off_t>(offset), SEEK_SET) != 0 ||
            std::fread(buffer.get(), 1, format::PageSize, file_) != format::PageSize) {
            const int err = errno;
            fail("page " + std::to_string(number) + " cannot be read" +
                 (err ? std::string(" (") + std::strerror(err) + ")" : std::string()));
        }
        slot = std::move(buffer);
        ++diskReads_;
    }
    return slot.get();
}

} // namespace zorvane::jet
