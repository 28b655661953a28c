// Archives made by the tests themselves, through libarchive's writer: zip,
// 7z and gzip files of test cartridges, encrypted ones, members that are
// links or pipes or do not state their size, and damaged ones cut from good
// ones. Nothing is taken from outside the repository.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

enum class TMemberType { File, SymbolicLink, Fifo };

struct TArchiveMember {
    std::string Name;
    std::string Data;  // a link's target for a symbolic link
    TMemberType Type = TMemberType::File;
    // A member written without its size up front: a zip then states it only
    // after the data and in the directory at the end.
    bool SizeUnstated = false;
};

enum class TArchiveFormat { Zip, SevenZip, Gzip, EncryptedZip };

// Writes `members` into a new archive at `path`; a gzip file takes only the
// first member's bytes. Returns libarchive's complaint, or "" on success.
std::string WriteTestArchive(const std::filesystem::path& path, TArchiveFormat format,
                             const std::vector<TArchiveMember>& members);

// Overwrites the signature of a zip's end record, as a damaged or cut copy
// loses it: readers can then only walk the members from the start, without
// the sizes the directory gives. Returns false if the file has no end record.
bool DamageZipEndRecord(const std::filesystem::path& path);
