// Cartridge images inside archives, read through libarchive as a stream with
// a limit: nothing is unpacked to disk, and no member beyond the largest
// cartridge a file can hold.
#include "RomFiles.h"

#include <archive.h>
#include <archive_entry.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <memory>

#include "GameFiles.h"
#include "Z80EM.h"

namespace {

constexpr std::size_t kHeaderSize = 512;
constexpr std::size_t kImageLimit = Z80_ROM_SIZE + kHeaderSize;  // 1 MB and a copier's header
// Passing over a member of a 7z means unpacking it (its members follow each
// other in one compressed stream), and so it does in a zip whose directory at
// the end is missing or damaged; an intact zip's members are passed over by
// seeking, but libarchive does not tell which way it reads, so every format
// counts. Looking through an archive for its one
// image unpacks at most this much of the other members: a few seconds' work
// at worst, where a tiny file made to unpack to terabytes would hang the
// program. A real cartridge archive holds a few small files.
constexpr uint64_t kPassOverLimit = 64ULL << 20;
constexpr std::size_t kNamesShown = 5;
constexpr std::size_t kNameLength = 40;

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

bool IsImageName(const std::string& name) { return EndsWith(name, ".sms") || EndsWith(name, ".bin"); }

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

[[noreturn]] void Reject(const std::string& path, const std::string& reason) {
    throw Z80_RomError("Cannot load the ROM file \"" + path + "\": " + reason + ".");
}

struct TArchiveFree {
    void operator()(archive* a) const { archive_read_free(a); }
};

struct TFdClose {
    int Fd;
    ~TFdClose() { ::close(Fd); }
};

}  // namespace

bool SMS_IsArchive(const std::string& path) {
    const std::string name = FileName(path);
    return EndsWith(name, ".zip") || EndsWith(name, ".7z") || EndsWith(name, ".gz");
}

std::string SMS_RomName(const std::string& path) {
    std::string name = FileName(path);
    if (SMS_IsArchive(name)) {
        name.resize(name.rfind('.'));
        if (IsImageName(name)) name.resize(name.size() - 4);
        return name.empty() ? FileName(path) : name;
    }
    if (name.size() > 4) name.resize(name.size() - 4);
    return name;
}

TArchiveImage SMS_ReadArchiveImage(const std::string& path) {
    uint64_t fileSize = 0;
    const TFdClose file{SMS_OpenRomFile(path, fileSize)};  // a folder, a FIFO, a broken link... as for any ROM
    const TArchiveKind kind = KindOf(FileName(path));
    const std::unique_ptr<archive, TArchiveFree> reader(archive_read_new());
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
    auto damaged = [&](const char* why) {
        Reject(path, std::string("it is not ") + KindName(kind) + " that can be read" +
                         (why != nullptr ? std::string(" (") + why + ")" : std::string()));
    };
    if (archive_read_open_fd(a, file.Fd, 64 * 1024) != ARCHIVE_OK) damaged(archive_error_string(a));

    std::vector<std::string> images, others;  // the first few names, for the messages
    std::size_t imageCount = 0, otherCount = 0;
    TArchiveImage image;
    std::string problem;  // what stops the first image, said after the whole archive was seen
    uint64_t passedOver = 0;
    // Counts a member that the next header passes over without its bytes being read.
    auto passOver = [&](archive_entry* entry) {
        if (!archive_entry_size_is_set(entry)) return;
        passedOver += static_cast<uint64_t>(archive_entry_size(entry));
        if (passedOver > kPassOverLimit)
            Reject(path, "its other files would have to be unpacked to look through it, more than " +
                             std::to_string(kPassOverLimit >> 20) + " MB (" + std::to_string(kPassOverLimit) +
                             " bytes)");
    };
    for (;;) {
        archive_entry* entry = nullptr;
        const int r = archive_read_next_header(a, &entry);
        if (r == ARCHIVE_EOF) break;
        if (r < ARCHIVE_WARN) damaged(archive_error_string(a));
        const bool raw = archive_format(a) == ARCHIVE_FORMAT_RAW;
        if (raw && archive_filter_code(a, 0) != ARCHIVE_FILTER_GZIP) damaged("it does not begin as gzip data does");
        if (archive_entry_filetype(entry) != AE_IFREG) continue;  // folders and links
        const char* name = archive_entry_pathname(entry);
        if (name == nullptr) name = archive_entry_pathname_utf8(entry);
        const std::string member = name != nullptr ? name : "";
        // The copies of a Mac's file attributes that its zip tool adds.
        if (member.rfind("__MACOSX/", 0) == 0) continue;
        if (!raw && !IsImageName(member)) {
            if (++otherCount <= kNamesShown) others.push_back(Shown(name));
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
        if (archive_entry_is_encrypted(entry)) {
            problem = "its image " + shown + " is encrypted, and encrypted images cannot be read";
            passOver(entry);
            continue;
        }
        if (archive_entry_size_is_set(entry) && static_cast<uint64_t>(archive_entry_size(entry)) > kImageLimit) {
            problem = tooLarge + " (it unpacks to " + std::to_string(archive_entry_size(entry)) + " bytes)";
            passOver(entry);
            continue;
        }
        image.Data.resize(kImageLimit);
        std::size_t size = 0;
        for (;;) {
            const la_ssize_t n = archive_read_data(a, image.Data.data() + size, kImageLimit - size);
            if (n < 0) damaged(archive_error_string(a));
            if (n == 0) break;
            size += static_cast<std::size_t>(n);
            if (size == kImageLimit) {
                // One byte more tells a full image from a larger one.
                uint8_t extra = 0;
                const la_ssize_t more = archive_read_data(a, &extra, 1);
                if (more < 0) damaged(archive_error_string(a));
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
    if (imageCount > 1)
        Reject(path, "it holds " + std::to_string(imageCount) + " cartridge images, " + List(images, imageCount) +
                         ", and only an archive with one can be loaded");
    if (imageCount == 0)
        Reject(path, std::string("it holds no cartridge image (a .sms or .bin file)") +
                         (otherCount == 0 ? ": it is empty" : ", only " + List(others, otherCount)));
    if (!problem.empty()) Reject(path, problem);
    return image;
}
