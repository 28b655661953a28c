#include "ArchiveFiles.h"

#include <archive.h>
#include <archive_entry.h>

#include <fstream>
#include <iterator>

std::string WriteTestArchive(const std::filesystem::path& path, TArchiveFormat format,
                             const std::vector<TArchiveMember>& members) {
    archive* a = archive_write_new();
    switch (format) {
        case TArchiveFormat::Zip: archive_write_set_format_zip(a); break;
        // The fastest compression: the tests' large members are zeros.
        case TArchiveFormat::SevenZip:
            archive_write_set_format_7zip(a);
            archive_write_set_options(a, "7zip:compression-level=1");
            break;
        case TArchiveFormat::Gzip:
            archive_write_set_format_raw(a);
            archive_write_add_filter_gzip(a);
            archive_write_set_options(a, "gzip:compression-level=1");
            break;
        case TArchiveFormat::EncryptedZip:
            archive_write_set_format_zip(a);
            archive_write_set_options(a, "zip:encryption=zipcrypt");
            archive_write_set_passphrase(a, "tiravel");
            break;
    }
    std::string error;
    auto check = [&](int r) {
        if (r < ARCHIVE_WARN && error.empty()) {
            const char* why = archive_error_string(a);
            error = why != nullptr ? why : "libarchive failed";
        }
    };
    check(archive_write_open_filename(a, path.c_str()));
    for (const TArchiveMember& member : members) {
        archive_entry* entry = archive_entry_new();
        archive_entry_set_pathname(entry, member.Name.c_str());
        archive_entry_set_perm(entry, 0644);
        switch (member.Type) {
            case TMemberType::File:
                archive_entry_set_filetype(entry, AE_IFREG);
                if (!member.SizeUnstated) archive_entry_set_size(entry, static_cast<la_int64_t>(member.Data.size()));
                break;
            // The writers store a link's target as its content.
            case TMemberType::SymbolicLink:
                archive_entry_set_filetype(entry, AE_IFLNK);
                archive_entry_set_symlink(entry, member.Data.c_str());
                break;
            case TMemberType::Fifo: archive_entry_set_filetype(entry, AE_IFIFO); break;
        }
        check(archive_write_header(a, entry));
        if (member.Type == TMemberType::File && !member.Data.empty() &&
            archive_write_data(a, member.Data.data(), member.Data.size()) != static_cast<la_ssize_t>(member.Data.size()))
            check(ARCHIVE_FATAL);
        archive_entry_free(entry);
        if (format == TArchiveFormat::Gzip) break;
    }
    check(archive_write_close(a));
    archive_write_free(a);
    return error;
}

bool DamageZipEndRecord(const std::filesystem::path& path) {
    std::string bytes;
    {
        std::ifstream in(path, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    const std::size_t end = bytes.rfind(std::string("PK\x05\x06", 4));
    if (end == std::string::npos) return false;
    bytes.replace(end, 4, 4, '\0');
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    return true;
}
