// The console's choices (model, region, video standard, mapper) as command
// lines name them: the ids of a table as a sentence for a usage text, and
// one option's value parsed into its choice with the message a user reads
// when it is missing or unknown. Shared by tiravel-headless and tiravel, so
// that both list and refuse the ids in the same words. Toolkit-free.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Console.h"

// The ids of E's table as a sentence: "ntsc or pal"; only the rows `keep`
// accepts when it is given.
template <typename E>
std::string Console_IdList(bool (*keep)(E) = nullptr) {
    std::vector<const char*> ids;
    for (const TConsoleOptionInfo<E>& row : Console_Options<E>())
        if (keep == nullptr || keep(row.Value)) ids.push_back(row.Id);
    std::string list;
    for (std::size_t i = 0; i < ids.size(); ++i) {
        if (i > 0) list += i + 1 == ids.size() ? " or " : ", ";
        list += ids[i];
    }
    return list;
}

// The same for a usage text, with `marked` called the default and, when
// `withNames`, the names players know the choices by:
// "tiravel (default, Tiravel), sms1 (Master System) or ...".
template <typename E>
std::string Console_IdListForHelp(std::optional<E> marked, bool withNames) {
    const auto rows = Console_Options<E>();
    std::string list;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (i > 0) list += i + 1 == rows.size() ? " or " : ", ";
        list += rows[i].Id;
        const bool isDefault = marked && rows[i].Value == *marked;
        if (isDefault || withNames) {
            list += " (";
            if (isDefault) list += withNames ? "default, " : "default";
            if (withNames) list += rows[i].Name;
            list += ")";
        }
    }
    return list;
}

// `option`'s value `text`, one of the ids of E's table in any letter case,
// into `value`. Returns "" when it is one, otherwise what is wrong:
// "--video needs ntsc or pal", "--video must be ntsc or pal, not 'secam'".
template <typename E>
std::string Console_ParseChoice(std::string_view option, std::string_view text, E& value) {
    if (text.empty()) return std::string(option) + " needs " + Console_IdList<E>();
    if (!Console_FindOption(text, value))
        return std::string(option) + " must be " + Console_IdList<E>() + ", not '" + std::string(text) + "'";
    return std::string();
}

// One option's line in a usage text: "  --model MODEL" padded to `column`,
// then `text` folded at 80 columns, its further lines starting at `column`.
inline std::string Console_OptionHelp(const char* option, const std::string& text, std::size_t column) {
    constexpr std::size_t kWidth = 80;
    std::string out, line = std::string("  ") + option;
    line.resize(column - 2, ' ');
    line += "  ";
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(' ', start);
        if (end == std::string::npos) end = text.size();
        const std::string word = text.substr(start, end - start);
        if (line.size() > column && line.size() + 1 + word.size() > kWidth) {
            out += line + "\n";
            line.assign(column, ' ');
        } else if (line.size() > column) {
            line += ' ';
        }
        line += word;
        start = end + 1;
    }
    return out + line + "\n";
}
