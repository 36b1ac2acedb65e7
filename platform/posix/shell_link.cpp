#include "platform/posix/shell_link.h"

#include "platform/posix/system_calls.h"

#include <cerrno>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace shell_link {

using platform::system_calls;

namespace {

// The layout, all numbers little-endian:
//
//   header (76 bytes)   size, class id, flags, attributes, three times,
//                       file size, icon index, show command, hot key
//   link info           where the target lives: a volume (a fixed drive)
//                       and the target's full local path
//   string data         the description, then the working directory, each a
//                       16-bit count of characters and the ANSI characters
//   terminal block      four zero bytes: no extra data follows

constexpr std::uint32_t kHeaderSize = 0x4C;
constexpr std::uint8_t kLinkClassId[16] = {
    // 00021401-0000-0000-C000-000000000046, stored as GUIDs are.
    0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46,
};

// Link flags.
constexpr std::uint32_t kHasLinkInfo = 0x00000002;
constexpr std::uint32_t kHasName = 0x00000004;
constexpr std::uint32_t kHasWorkingDir = 0x00000010;

constexpr std::uint32_t kFileAttributeArchive = 0x00000020;
constexpr std::uint32_t kShowNormal = 1;

// Link info.
constexpr std::uint32_t kLinkInfoHeaderSize = 0x1C;  // no Unicode paths
constexpr std::uint32_t kVolumeIdAndLocalBasePath = 0x00000001;
constexpr std::uint32_t kVolumeIdHeaderSize = 0x10;  // label stored as ANSI
constexpr std::uint32_t kDriveFixed = 3;

constexpr std::size_t kMaxCountedString = 0xFFFF;

struct Bytes {
    std::vector<std::uint8_t> data;

    void u16(std::uint32_t value) {
        data.push_back(static_cast<std::uint8_t>(value & 0xFF));
        data.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
    }
    void u32(std::uint32_t value) {
        u16(value & 0xFFFF);
        u16(value >> 16);
    }
    void raw(const void* bytes, std::size_t count) {
        const std::uint8_t* from = static_cast<const std::uint8_t*>(bytes);
        data.insert(data.end(), from, from + count);
    }
    void zeros(std::size_t count) {
        data.insert(data.end(), count, 0);
    }
    // The characters and their terminating zero.
    void c_string(const char* text) {
        raw(text, std::strlen(text) + 1);
    }
    // A 16-bit count of characters, then the characters without a zero.
    void counted_string(const char* text) {
        std::size_t length = std::strlen(text);
        u16(static_cast<std::uint32_t>(length));
        raw(text, length);
    }
};

void compose(Bytes* out, const char* target, const char* working_directory,
             const char* description) {
    std::uint32_t flags = kHasLinkInfo;
    if (description[0] != '\0') flags |= kHasName;
    if (working_directory[0] != '\0') flags |= kHasWorkingDir;

    out->u32(kHeaderSize);
    out->raw(kLinkClassId, sizeof kLinkClassId);
    out->u32(flags);
    out->u32(kFileAttributeArchive);
    out->zeros(3 * 8);  // creation, access and write times: unknown
    out->u32(0);        // file size
    out->u32(0);        // icon index
    out->u32(kShowNormal);
    out->u16(0);  // hot key: none
    out->zeros(2 + 4 + 4);

    // The volume: a fixed drive with an empty label and no serial number.
    const std::uint32_t volume_id_size = kVolumeIdHeaderSize + 1;
    const std::uint32_t volume_id_offset = kLinkInfoHeaderSize;
    const std::uint32_t local_base_path_offset = volume_id_offset + volume_id_size;
    const std::uint32_t common_path_suffix_offset =
        local_base_path_offset + static_cast<std::uint32_t>(std::strlen(target) + 1);
    const std::uint32_t link_info_size = common_path_suffix_offset + 1;

    out->u32(link_info_size);
    out->u32(kLinkInfoHeaderSize);
    out->u32(kVolumeIdAndLocalBasePath);
    out->u32(volume_id_offset);
    out->u32(local_base_path_offset);
    out->u32(0);  // no network location
    out->u32(common_path_suffix_offset);

    out->u32(volume_id_size);
    out->u32(kDriveFixed);
    out->u32(0);                    // drive serial number
    out->u32(kVolumeIdHeaderSize);  // label offset, within the volume id
    out->c_string("");              // label

    out->c_string(target);  // local base path
    out->c_string("");      // common path suffix

    if ((flags & kHasName) != 0) out->counted_string(description);
    if ((flags & kHasWorkingDir) != 0) out->counted_string(working_directory);

    out->u32(0);  // terminal block
}

// Creates a new file beside path, named after it, for writing. The mode
// follows the umask as a plain create would.
int create_temporary(const std::string& path, std::string* name) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[64];
        std::snprintf(suffix, sizeof suffix, ".tmp%ld.%u", static_cast<long>(::getpid()),
                      counter++);
        *name = path + suffix;
        int fd = system_calls().open(name->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

}  // namespace

bool write_shell_link(const char* host_link_path, const char* target, const char* working_directory,
                      const char* description) {
    if (working_directory == nullptr) working_directory = "";
    if (description == nullptr) description = "";
    if (host_link_path == nullptr || host_link_path[0] == '\0' || target == nullptr ||
        target[0] == '\0' || std::strlen(working_directory) > kMaxCountedString ||
        std::strlen(description) > kMaxCountedString || std::strlen(target) > kMaxCountedString) {
        errno = EINVAL;
        return false;
    }

    Bytes link;
    compose(&link, target, working_directory, description);

    std::string temporary;
    int fd = create_temporary(host_link_path, &temporary);
    if (fd < 0) return false;

    const platform::SystemCalls& calls = system_calls();
    bool ok = platform::write_all(calls.write, fd, link.data.data(), link.data.size()) &&
              calls.fsync(fd) == 0;
    int error = errno;
    if (calls.close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok && calls.rename(temporary.c_str(), host_link_path) == 0) return true;
    if (ok) error = errno;  // the rename's
    calls.unlink(temporary.c_str());
    errno = error;
    return false;
}

}  // namespace shell_link
