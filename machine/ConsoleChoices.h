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
