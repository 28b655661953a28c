// Archives made by the tests themselves, through libarchive's writer: zip,
// 7z and gzip files of test cartridges, encrypted ones, and damaged ones cut
// from good ones. Nothing is taken from outside the repository.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

struct TArchiveMember {
    std::string Name;
    std::string Data;
};

enum class TArchiveFormat { Zip, SevenZip, Gzip, EncryptedZip };

// Writes `members` into a new archive at `path`; a gzip file takes only the
// first member's bytes. Returns libarchive's complaint, or "" on success.
std::string WriteTestArchive(const std::filesystem::path& path, TArchiveFormat format,
                             const std::vector<TArchiveMember>& members);
