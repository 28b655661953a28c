// Any text parsed as a headless input script, then replayed. A rejected
// script must say where (NAME:LINE:) and keep the previous script; an
// accepted one replays its events in frame order.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "ScriptedInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    TScriptedInput input;
    std::string error;
    if (!input.Parse("10 press p1.b1\n", "seed", error)) std::abort();
    if (!input.Parse(text, "fuzz", error)) {
        if (error.rfind("fuzz:", 0) != 0) std::abort();
        if (input.Events().size() != 1) std::abort();  // the previous script is kept
        return 0;
    }
    uint32_t previous = 0;
    for (const TScriptEvent& event : input.Events()) {
        if (event.Frame < previous || event.Button >= TScriptButton::Count) std::abort();
        previous = event.Frame;
    }
    // Replay at a few frames, then to the very last frame number.
    for (uint32_t frame : {0u, 1u, 60u, 1000u, UINT32_MAX}) {
        input.Advance(frame);
        (void)input.ResetPressed();
        for (int b = 0; b < static_cast<int>(TScriptButton::Count); ++b) (void)input.Held(static_cast<TScriptButton>(b));
    }
    return 0;
}
