// Cartridge images inside archives, read through libarchive as a stream with
// a limit: nothing is unpacked to disk, and no member beyond the largest
// cartridge a file can hold.
#include "RomFiles.h"

#ifndef TIRAVEL_NO_ARCHIVES
#include <archive.h>
#include <archive_entry.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <exception>
#include <filesystem>
#include <memory>
#include <utility>

#include "GameFiles.h"
#include "Z80EM.h"

namespace {

bool EndsWith(const std::string& name, const char* suffix) {
    const std::size_t n = std::char_traits<char>::length(suffix);
    if (name.size() < n) return false;
    return std::equal(name.end() - static_cast<std::ptrdiff_t>(n), name.end(), suffix, [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == b;
    });
}

std::string FileName(const std::string& path) { return std::filesystem::path(path).filename().string(); }

enum class TArchiveKind { Zip, SevenZip, Gzip };

TArchiveKind KindOf(const std::string& path) {
    if (EndsWith(path, ".zip")) return TArchiveKind::Zip;
    if (EndsWith(path, ".7z")) return TArchiveKind::SevenZip;
    return TArchiveKind::Gzip;
}

const char* KindName(TArchiveKind kind) {
    switch (kind) {
        case TArchiveKind::Zip: return "a zip archive";
        case TArchiveKind::SevenZip: return "a 7z archive";
        case TArchiveKind::Gzip: return "a gzip file";
    }
    return "an archive";
}

bool IsImageName(const std::string& name) {
    return EndsWith(name, ".sms") || EndsWith(name, ".bin") || EndsWith(name, ".gg");
}

// The length of an image's extension: ".gg" is three characters, the others four.
std::size_t ImageExtensionLength(const std::string& name) { return EndsWith(name, ".gg") ? 3 : 4; }

[[noreturn]] void Reject(const std::string& path, const std::string& reason) {
    throw Z80_RomError("Cannot load the ROM file \"" + path + "\": " + reason + ".");
}

#ifndef TIRAVEL_NO_ARCHIVES

constexpr std::size_t kHeaderSize = 512;
constexpr std::size_t kImageLimit = Z80_ROM_SIZE + kHeaderSize;  // 1 MB and a copier's header
// Passing over a member of a 7z means unpacking it (its members follow each
// other in one compressed stream), and so it does in a zip whose directory at
// the end is missing or damaged; an intact zip's members are passed over by
// seeking, but libarchive does not tell which way it reads, so every format
// counts. Looking through an archive for its one image unpacks at most this
// much of the other members, counted by their stated sizes, or byte by byte
// as they are unpacked where a member does not state its size: a fraction of
// a second's work, where a tiny file made to unpack to terabytes would hang
// the program. A real cartridge archive holds a few small files.
constexpr uint64_t kPassOverLimit = 64ULL << 20;
constexpr std::size_t kNamesShown = 5;
constexpr std::size_t kNameLength = 40;

// A member's name as a message shows it: at most 40 characters, control
// characters as '?', so a hostile name cannot break the message or a terminal.
std::string Printable(const char* name) {
    std::string shown;
    for (const char* p = name; p != nullptr && *p != '\0' && shown.size() < kNameLength; ++p) {
        const auto c = static_cast<unsigned char>(*p);
        shown += c < 0x20 || c == 0x7F ? '?' : static_cast<char>(c);
    }
    if (name != nullptr && std::char_traits<char>::length(name) > kNameLength) shown += "...";
    return shown;
}

std::string Shown(const char* name) { return "\"" + Printable(name) + "\""; }

std::string List(const std::vector<std::string>& names, std::size_t total) {
    std::string list;
    for (std::size_t i = 0; i < names.size(); ++i) list += (i == 0 ? "" : ", ") + names[i];
    if (total > names.size()) list += " and " + std::to_string(total - names.size()) + " more";
    return list;
}

struct TArchiveFree {
    void operator()(archive* a) const { archive_read_free(a); }
};

struct TFdClose {
    int Fd;
    ~TFdClose() { ::close(Fd); }
};

struct TEntryFree {
    void operator()(archive_entry* e) const { archive_entry_free(e); }
};

// What a member that is not a regular file is, as a message names it.
std::string KindOfEntry(archive_entry* entry) {
    switch (archive_entry_filetype(entry)) {
        case AE_IFLNK: return "a symbolic link";
        case AE_IFIFO: return "a named pipe";
        case AE_IFCHR:
        case AE_IFBLK: return "a device";
        case AE_IFSOCK: return "a socket";
        default: return "not a regular file";
    }
}

// A 7z archive's reader takes the content of a symbolic link (the link's
// target) while it reads the member's header, whole and into memory, before
// the caller sees the member's type or size: a link stating gigabytes of
// target is unpacked in full. So a 7z archive is first listed through a view
// of the file that holds only what a listing needs: the 32-byte start header,
// the header at the end and, when that header is itself packed, its packed
// bytes. A member whose header would read its packed data stops the listing
// there, with its name, type and stated size known and nothing unpacked.
class TSevenZipListing {
public:
    TSevenZipListing(int fd, uint64_t fileSize) : fd_(fd), size_(fileSize) {
        allowed_.push_back({0, std::min<uint64_t>(32, size_)});
        uint8_t start[32];
        if (!ReadAt(0, start, sizeof start)) return;
        const uint64_t offset = Le64(start + 12), length = Le64(start + 20);
        if (offset > size_ || length > size_) return;
        const uint64_t header = 32 + offset;
        Allow(header, header + length);
        // An encoded header: kEncodedHeader, then its streams' kPackInfo
        // with the packed bytes' position (after the start header) and sizes.
        uint8_t bytes[256];
        const std::size_t n = static_cast<std::size_t>(std::min<uint64_t>(length, sizeof bytes));
        if (n < 3 || !ReadAt(header, bytes, n) || bytes[0] != 0x17 || bytes[1] != 0x06) return;
        std::size_t at = 2;
        uint64_t packPos = 0, streams = 0, total = 0;
        if (!Number(bytes, n, at, packPos) || !Number(bytes, n, at, streams) || streams > 16) return;
        if (at < n && bytes[at] == 0x09) {
            ++at;
            for (uint64_t i = 0; i < streams; ++i) {
                uint64_t packed = 0;
                if (!Number(bytes, n, at, packed) || packed > size_) return;
                total += packed;
            }
        }
        if (packPos <= size_ && total <= size_) Allow(32 + packPos, 32 + packPos + total);
    }

    // Offsets outside the listing's parts are refused; so is any read once
    // the file's end is passed.
    static la_ssize_t Read(archive* a, void* self, const void** buffer) {
        auto& l = *static_cast<TSevenZipListing*>(self);
        *buffer = l.block_;
        if (l.position_ >= l.size_) return 0;
        for (const auto& [begin, end] : l.allowed_) {
            if (l.position_ < begin || l.position_ >= end) continue;
            const std::size_t n = static_cast<std::size_t>(std::min<uint64_t>(end - l.position_, sizeof l.block_));
            const ssize_t got = ::pread(l.fd_, l.block_, n, static_cast<off_t>(l.position_));
            if (got < 0) {
                archive_set_error(a, errno, "%s", std::strerror(errno));
                return -1;
            }
            l.position_ += static_cast<uint64_t>(got);
            return got;
        }
        l.refused_ = true;
        archive_set_error(a, EINVAL, "a member's data is needed to list it");
        return -1;
    }
    static la_int64_t Skip(archive*, void* self, la_int64_t request) {
        auto& l = *static_cast<TSevenZipListing*>(self);
        const uint64_t n = std::min<uint64_t>(static_cast<uint64_t>(request), l.size_ - std::min(l.position_, l.size_));
        l.position_ += n;
        return static_cast<la_int64_t>(n);
    }
    static la_int64_t Seek(archive*, void* self, la_int64_t offset, int whence) {
        auto& l = *static_cast<TSevenZipListing*>(self);
        const la_int64_t base = whence == SEEK_SET   ? 0
                                : whence == SEEK_CUR ? static_cast<la_int64_t>(l.position_)
                                                     : static_cast<la_int64_t>(l.size_);
        if (offset < -base) return ARCHIVE_FATAL;
        l.position_ = static_cast<uint64_t>(base + offset);
        return static_cast<la_int64_t>(l.position_);
    }

    bool Refused() const { return refused_; }

private:
    bool ReadAt(uint64_t offset, uint8_t* data, std::size_t n) const {
        return ::pread(fd_, data, n, static_cast<off_t>(offset)) == static_cast<ssize_t>(n);
    }
    void Allow(uint64_t begin, uint64_t end) {
        if (begin < end) allowed_.push_back({begin, std::min(end, size_)});
    }
    static uint64_t Le64(const uint8_t* p) {
        uint64_t v = 0;
        for (int i = 7; i >= 0; --i) v = v << 8 | p[i];
        return v;
    }
    // A 7z number: the first byte's leading one bits count the bytes that
    // follow (little-endian); its remaining bits are the highest part.
    static bool Number(const uint8_t* bytes, std::size_t n, std::size_t& at, uint64_t& value) {
        if (at >= n) return false;
        const uint8_t first = bytes[at++];
        value = 0;
        uint8_t mask = 0x80;
        for (int i = 0; i < 8; ++i, mask >>= 1) {
            if ((first & mask) == 0) {
                value |= static_cast<uint64_t>(first & (mask - 1)) << (8 * i);
                return true;
            }
            if (at >= n) return false;
            value |= static_cast<uint64_t>(bytes[at++]) << (8 * i);
        }
        return true;
    }

    int fd_;
    uint64_t size_;
    uint64_t position_ = 0;
    bool refused_ = false;
    std::vector<std::pair<uint64_t, uint64_t>> allowed_;
    uint8_t block_[16384];
};

#endif  // TIRAVEL_NO_ARCHIVES

}  // namespace

bool SMS_IsArchive(const std::string& path) {
    const std::string name = FileName(path);
    return EndsWith(name, ".zip") || EndsWith(name, ".7z") || EndsWith(name, ".gz");
}

std::string SMS_RomName(const std::string& path) {
    std::string name = FileName(path);
    if (SMS_IsArchive(name)) {
        name.resize(name.rfind('.'));
        if (IsImageName(name)) name.resize(name.size() - ImageExtensionLength(name));
        return name.empty() ? FileName(path) : name;
    }
    const std::size_t extension = ImageExtensionLength(name);
    if (name.size() > extension) name.resize(name.size() - extension);
    return name;
}

#ifdef TIRAVEL_NO_ARCHIVES
// A build without libarchive (the web player, whose page unpacks archives
// itself): an archive is refused by its name, before anything is read.
TArchiveImage SMS_ReadArchiveImage(const std::string& path) {
    Reject(path, std::string("it is ") + KindName(KindOf(FileName(path))) +
                     ", and this build reads only plain cartridge images: unpack it first");
}
#else
TArchiveImage SMS_ReadArchiveImage(const std::string& path) {
    uint64_t fileSize = 0;
    const TFdClose file{SMS_OpenRomFile(path, fileSize)};  // a folder, a FIFO, a broken link... as for any ROM
    const TArchiveKind kind = KindOf(FileName(path));
    auto newReader = [&] {
        std::unique_ptr<archive, TArchiveFree> reader(archive_read_new());
        archive* a = reader.get();
        if (a == nullptr) Reject(path, "there is not enough memory to open it");
        switch (kind) {
            case TArchiveKind::Zip: archive_read_support_format_zip(a); break;
            case TArchiveKind::SevenZip: archive_read_support_format_7zip(a); break;
            case TArchiveKind::Gzip:
                // A gzip file holds one stream, the image itself. (Not a tar of
                // files: the tar reader takes blocks of zeros for an archive's
                // end, and a copier's header is mostly zeros.)
                archive_read_support_filter_gzip(a);
                archive_read_support_format_raw(a);
                break;
        }
        return reader;
    };
    auto damaged = [&](archive* a, const char* why) {
        if (why == nullptr) why = archive_error_string(a);
        Reject(path, std::string("it is not ") + KindName(kind) + " that can be read" +
                         (why != nullptr ? std::string(" (") + why + ")" : std::string()));
    };
    const std::string overLimit = "its other files would have to be unpacked to look through it, more than " +
                                  std::to_string(kPassOverLimit >> 20) + " MB (" + std::to_string(kPassOverLimit) +
                                  " bytes)";
    auto stated = [](archive_entry* entry) {
        return archive_entry_size_is_set(entry) ? static_cast<uint64_t>(std::max<la_int64_t>(archive_entry_size(entry), 0))
                                                : uint64_t{0};
    };

    if (kind == TArchiveKind::SevenZip) {
        // The listing first, with nothing unpacked. A member whose header
        // needs its data stops it: reading that header would unpack the
        // members before it in their stream and its own content whole.
        TSevenZipListing listing(file.Fd, fileSize);
        const auto reader = newReader();
        archive* a = reader.get();
        archive_read_set_callback_data(a, &listing);
        archive_read_set_read_callback(a, TSevenZipListing::Read);
        archive_read_set_skip_callback(a, TSevenZipListing::Skip);
        archive_read_set_seek_callback(a, TSevenZipListing::Seek);
        if (archive_read_open1(a) != ARCHIVE_OK) damaged(a, nullptr);
        const std::unique_ptr<archive_entry, TEntryFree> entry(archive_entry_new());
        uint64_t total = 0;
        for (;;) {
            const int r = archive_read_next_header2(a, entry.get());
            if (r == ARCHIVE_EOF) break;
            const char* name = archive_entry_pathname(entry.get());
            if (r < ARCHIVE_WARN && !listing.Refused()) damaged(a, nullptr);
            // The header itself points into the members' data.
            if (r < ARCHIVE_WARN && name == nullptr) damaged(a, "its header is damaged");
            total += std::min(stated(entry.get()), kPassOverLimit + 1);
            if (r >= ARCHIVE_WARN) continue;
            if (total > kPassOverLimit) Reject(path, overLimit);
            Reject(path, "it holds " + Shown(name) + " (" + KindOfEntry(entry.get()) +
                             "), which a 7z archive cannot pass over without unpacking it");
        }
    }

    const auto reader = newReader();
    archive* a = reader.get();
    if (archive_read_open_fd(a, file.Fd, 64 * 1024) != ARCHIVE_OK) damaged(a, nullptr);

    std::vector<std::string> images, others;  // the first few names, for the messages
    std::size_t imageCount = 0, otherCount = 0;
    TArchiveImage image;
    std::string problem;  // what stops the first image
    uint64_t passedOver = 0;
    std::vector<uint8_t> scratch;
    // Passes over a member: its stated size counts; one that does not state
    // its size (a zip read without its directory) is unpacked here into
    // nothing, every byte counted, and never further than the limit.
    auto passOver = [&](archive_entry* entry) {
        if (archive_entry_size_is_set(entry)) {
            passedOver += std::min(stated(entry), kPassOverLimit + 1);
            if (passedOver > kPassOverLimit) Reject(path, overLimit);
            return;
        }
        scratch.resize(64 * 1024);
        for (;;) {
            const la_ssize_t n = archive_read_data(a, scratch.data(), scratch.size());
            if (n < 0) damaged(a, nullptr);
            if (n == 0) break;
            passedOver += static_cast<uint64_t>(n);
            if (passedOver > kPassOverLimit) Reject(path, overLimit);
        }
    };
    for (;;) {
        archive_entry* entry = nullptr;
        const int r = archive_read_next_header(a, &entry);
        if (r == ARCHIVE_EOF) break;
        if (r < ARCHIVE_WARN) damaged(a, nullptr);
        const bool raw = archive_format(a) == ARCHIVE_FORMAT_RAW;
        if (raw && archive_filter_code(a, 0) != ARCHIVE_FILTER_GZIP) damaged(a, "it does not begin as gzip data does");
        const char* name = archive_entry_pathname(entry);
        if (name == nullptr) name = archive_entry_pathname_utf8(entry);
        const std::string member = name != nullptr ? name : "";
        const auto type = archive_entry_filetype(entry);
        // Folders, and the copies of a Mac's file attributes that its zip tool adds.
        const bool unlisted = type == AE_IFDIR || member.rfind("__MACOSX/", 0) == 0;
        if (!raw && (type != AE_IFREG || unlisted || !IsImageName(member))) {
            // A link, a pipe or a device is never an image, whatever its name.
            if (!unlisted && ++otherCount <= kNamesShown)
                others.push_back(Shown(name) + (type != AE_IFREG ? " (" + KindOfEntry(entry) + ")" : ""));
            passOver(entry);
            continue;
        }
        // A bare gzip stream has no member name of its own: it is the file's
        // name without ".gz".
        const std::string entryName = raw ? FileName(path).substr(0, FileName(path).size() - 3) : member;
        const std::string shown = Shown(entryName.c_str());
        if (++imageCount <= kNamesShown) images.push_back(shown);
        if (imageCount > 1) {  // only listed: none is loaded
            passOver(entry);
            continue;
        }
        image.Entry = Printable(entryName.c_str());
        const std::string tooLarge =
            "its image " + shown + " is larger than the 1 MB (1048576 bytes) a cartridge can hold";
        // An image that cannot be loaded ends the look-through at once, with
        // its own reason, whatever its size: nothing more of it is unpacked.
        if (archive_entry_is_encrypted(entry)) {
            problem = "its image " + shown + " is encrypted, and encrypted images cannot be read";
            break;
        }
        if (stated(entry) > kImageLimit) {
            problem = tooLarge + " (it unpacks to " + std::to_string(stated(entry)) + " bytes)";
            break;
        }
        image.Data.resize(kImageLimit);
        std::size_t size = 0;
        for (;;) {
            const la_ssize_t n = archive_read_data(a, image.Data.data() + size, kImageLimit - size);
            if (n < 0) damaged(a, nullptr);
            if (n == 0) break;
            size += static_cast<std::size_t>(n);
            if (size == kImageLimit) {
                // One byte more tells a full image from a larger one.
                uint8_t extra = 0;
                const la_ssize_t more = archive_read_data(a, &extra, 1);
                if (more < 0) damaged(a, nullptr);
                if (more > 0) problem = tooLarge + " (it unpacks to more than " + std::to_string(kImageLimit) + " bytes)";
                break;
            }
        }
        image.Data.resize(size);
        // Passing over the rest of an image that did not say how large it is
        // would unpack all of it: such an image is refused at once, whatever
        // else the archive holds. A bare gzip stream is the one member anyway.
        if (raw || !problem.empty()) break;
    }
    if (!problem.empty()) Reject(path, problem);
    if (imageCount > 1)
        Reject(path, "it holds " + std::to_string(imageCount) + " cartridge images, " + List(images, imageCount) +
                         ", and only an archive with one can be loaded");
    if (imageCount == 0)
        Reject(path, std::string("it holds no cartridge image (a .sms, .gg or .bin file)") +
                         (otherCount == 0 ? ": it is empty" : ", only " + List(others, otherCount)));
    return image;
}
#endif  // TIRAVEL_NO_ARCHIVES
