// The players' bindings table, its defaults and its settings string.
#include "KeyBindings.h"

#include <charconv>
#include <cstdio>

namespace {

using S = TInputState;
using B = TControllerButton;

const TPadInput kInputs[PAD_INPUT_COUNT] = {
    {1, S::Up, "p1.up", "Up"},
    {1, S::Down, "p1.down", "Down"},
    {1, S::Left, "p1.left", "Left"},
    {1, S::Right, "p1.right", "Right"},
    {1, S::Button1, "p1.b1", "Button 1"},
    {1, S::Button2, "p1.b2", "Button 2"},
    {1, S::Button3, "pause", "Pause"},
    {2, S::Up, "p2.up", "Up"},
    {2, S::Down, "p2.down", "Down"},
    {2, S::Left, "p2.left", "Left"},
    {2, S::Right, "p2.right", "Right"},
    {2, S::Button1, "p2.b1", "Button 1"},
    {2, S::Button2, "p2.b2", "Button 2"},
};

struct TButtonNames {
    const char* Name;
    const char* Caption;
};
// In TControllerButton's (SDL's) order.
const TButtonNames kButtons[CONTROLLER_BUTTON_COUNT] = {
    {"a", "A"},
    {"b", "B"},
    {"x", "X"},
    {"y", "Y"},
    {"back", "Back"},
    {"guide", "Guide"},
    {"start", "Start"},
    {"leftstick", "Left stick"},
    {"rightstick", "Right stick"},
    {"leftshoulder", "Left shoulder"},
    {"rightshoulder", "Right shoulder"},
    {"dpup", "D-pad up"},
    {"dpdown", "D-pad down"},
    {"dpleft", "D-pad left"},
    {"dpright", "D-pad right"},
    {"misc1", "Misc"},
    {"paddle1", "Paddle 1"},
    {"paddle2", "Paddle 2"},
    {"paddle3", "Paddle 3"},
    {"paddle4", "Paddle 4"},
    {"touchpad", "Touchpad"},
};

bool ValidInput(int input) { return input >= 0 && input < PAD_INPUT_COUNT; }

// Splits `text` at `separator`, calling `each` with every piece.
template <typename F>
void Split(std::string_view text, char separator, F each) {
    for (;;) {
        const std::size_t at = text.find(separator);
        each(text.substr(0, at));
        if (at == std::string_view::npos) return;
        text.remove_prefix(at + 1);
    }
}

}  // namespace

const TPadInput& PadInput(int index) { return kInputs[ValidInput(index) ? index : 0]; }

int PadInputByName(std::string_view name) {
    for (int i = 0; i < PAD_INPUT_COUNT; ++i)
        if (name == kInputs[i].Name) return i;
    return -1;
}

bool IsWindowKey(TKeyCode key) {
    switch (key) {
    case VK::Escape:  // full screen back to the window; cancels in dialogs
    case VK::Back:    // held: the game runs backwards
    case 0x09:        // Tab, held: fast forward
    case 0x74:        // F5 to F8: the saved-state commands
    case 0x75:
    case 0x76:
    case 0x77:
    case 0x79:        // F10: opens the first menu
    case 0x7B:        // F12: screenshot
    case 0x13:        // Pause: pauses and resumes the game (the console's Pause is Enter)
        return true;
    default:
        return false;
    }
}

std::string KeyName(TKeyCode key) {
    if ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9')) return std::string(1, static_cast<char>(key));
    if (key >= VK::Numpad0 && key <= VK::Numpad0 + 9) return "Keypad " + std::to_string(key - VK::Numpad0);
    if (key >= 0x70 && key <= 0x7B) return "F" + std::to_string(key - 0x70 + 1);
    switch (key) {
    case 0: return "";
    case VK::Back: return "Backspace";
    case 0x13: return "Pause";
    case 0x09: return "Tab";
    case VK::Return: return "Enter";
    case 0x10: return "Shift";
    case 0x11: return "Ctrl";
    case 0x12: return "Alt";
    case VK::Escape: return "Escape";
    case 0x20: return "Space";
    case 0x21: return "Page Up";
    case 0x22: return "Page Down";
    case 0x23: return "End";
    case 0x24: return "Home";
    case VK::Left: return "Left";
    case VK::Up: return "Up";
    case VK::Right: return "Right";
    case VK::Down: return "Down";
    case 0x2D: return "Insert";
    case 0x2E: return "Delete";
    case 0x6A: return "Keypad *";
    case 0x6B: return "Keypad +";
    case 0x6D: return "Keypad -";
    case 0x6E: return "Keypad .";
    case 0x6F: return "Keypad /";
    case 0xBA: return ";";
    case 0xBB: return "=";
    case 0xBC: return ",";
    case 0xBD: return "-";
    case 0xBE: return ".";
    case 0xBF: return "/";
    case 0xC0: return "`";
    case 0xDB: return "[";
    case 0xDC: return "\\";
    case 0xDD: return "]";
    case 0xDE: return "'";
    default: break;
    }
    char text[16];
    std::snprintf(text, sizeof text, "Key 0x%02X", key);
    return text;
}

const char* ControllerButtonName(TControllerButton button) {
    const int index = static_cast<int>(button);
    return index < CONTROLLER_BUTTON_COUNT ? kButtons[index].Name : "";
}

const char* ControllerButtonCaption(TControllerButton button) {
    const int index = static_cast<int>(button);
    return index < CONTROLLER_BUTTON_COUNT ? kButtons[index].Caption : "";
}

TControllerButton ControllerButtonByName(std::string_view name) {
    for (int i = 0; i < CONTROLLER_BUTTON_COUNT; ++i)
        if (name == kButtons[i].Name) return static_cast<TControllerButton>(i);
    return B::None;
}

std::array<std::array<TControllerButton, INPUT_CONTROLLER_SLOTS>, PAD_INPUT_COUNT> TKeyBindings::EmptyButtons() {
    std::array<std::array<TControllerButton, INPUT_CONTROLLER_SLOTS>, PAD_INPUT_COUNT> buttons{};
    for (auto& slots : buttons) slots.fill(B::None);
    return buttons;
}

TKeyBindings TKeyBindings::Defaults() {
    TKeyBindings b;
    // Player 1: the arrows, keypad 8 in up's third slot, X, C, Enter.
    b.keys_[0] = {VK::Up, 0, VK::Numpad0 + 8};
    b.keys_[1] = {VK::Down, 0, 0};
    b.keys_[2] = {VK::Left, 0, 0};
    b.keys_[3] = {VK::Right, 0, 0};
    b.keys_[4] = {'X', 0, 0};
    b.keys_[5] = {'C', 0, 0};
    b.keys_[6] = {VK::Return, 0, 0};
    // Player 2: W A S D, G, H; no Pause of its own.
    b.keys_[7] = {'W', 0, 0};
    b.keys_[8] = {'S', 0, 0};
    b.keys_[9] = {'A', 0, 0};
    b.keys_[10] = {'D', 0, 0};
    b.keys_[11] = {'G', 0, 0};
    b.keys_[12] = {'H', 0, 0};
    // Game controller 0: its pad, A, B, and X or Start for Pause.
    b.buttons_[0] = {B::DPadUp, B::None};
    b.buttons_[1] = {B::DPadDown, B::None};
    b.buttons_[2] = {B::DPadLeft, B::None};
    b.buttons_[3] = {B::DPadRight, B::None};
    b.buttons_[4] = {B::A, B::None};
    b.buttons_[5] = {B::B, B::None};
    b.buttons_[6] = {B::X, B::Start};
    return b;
}

TKeyCode TKeyBindings::Key(int input, int slot) const {
    if (!ValidInput(input) || slot < 0 || slot >= INPUT_KEY_SLOTS) return 0;
    return keys_[input][slot];
}

TControllerButton TKeyBindings::Button(int input, int slot) const {
    if (!ValidInput(input) || slot < 0 || slot >= INPUT_CONTROLLER_SLOTS) return B::None;
    return buttons_[input][slot];
}

bool TKeyBindings::SetKey(int input, int slot, TKeyCode key) {
    if (!ValidInput(input) || slot < 0 || slot >= INPUT_KEY_SLOTS || IsWindowKey(key) || key > 0xFF) return false;
    if (key != 0)
        for (auto& slots : keys_)
            for (TKeyCode& held : slots)
                if (held == key) held = 0;
    keys_[input][slot] = key;
    return true;
}

bool TKeyBindings::SetButton(int input, int slot, TControllerButton button) {
    if (!ValidInput(input) || slot < 0 || slot >= INPUT_CONTROLLER_SLOTS || kInputs[input].Player != 1) return false;
    if (button != B::None && static_cast<int>(button) >= CONTROLLER_BUTTON_COUNT) return false;
    if (button != B::None)
        for (auto& slots : buttons_)
            for (TControllerButton& held : slots)
                if (held == button) held = B::None;
    buttons_[input][slot] = button;
    return true;
}

void TKeyBindings::ApplyTo(TInputDevice& player1, TInputDevice& player2) const {
    for (int input = 0; input < PAD_INPUT_COUNT; ++input) {
        TInputDevice& device = kInputs[input].Player == 1 ? player1 : player2;
        for (int slot = 0; slot < INPUT_KEY_SLOTS; ++slot) device.BindKey(kInputs[input].State, slot, keys_[input][slot]);
        for (int slot = 0; slot < INPUT_CONTROLLER_SLOTS; ++slot)
            device.BindControllerButton(kInputs[input].State, slot, buttons_[input][slot]);
    }
    // Player 2's device has no Pause: its Button 3 stays unbound.
    for (int slot = 0; slot < INPUT_KEY_SLOTS; ++slot) player2.BindKey(TInputState::Button3, slot, 0);
    for (int slot = 0; slot < INPUT_CONTROLLER_SLOTS; ++slot)
        player2.BindControllerButton(TInputState::Button3, slot, B::None);
}

std::string TKeyBindings::ToString() const {
    std::string text;
    for (int input = 0; input < PAD_INPUT_COUNT; ++input) {
        if (input > 0) text += ';';
        text += kInputs[input].Name;
        text += '=';
        for (int slot = 0; slot < INPUT_KEY_SLOTS; ++slot) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "%X", keys_[input][slot]);
            if (slot > 0) text += ',';
            text += hex;
        }
        text += '/';
        for (int slot = 0; slot < INPUT_CONTROLLER_SLOTS; ++slot) {
            if (slot > 0) text += ',';
            text += ControllerButtonName(buttons_[input][slot]);
        }
    }
    return text;
}

bool TKeyBindings::FromString(std::string_view text) {
    bool whole = true;
    Split(text, ';', [&](std::string_view entry) {
        if (entry.empty()) return;
        const std::size_t equals = entry.find('=');
        const std::size_t slash = entry.find('/');
        const int input = PadInputByName(entry.substr(0, equals));
        if (input < 0 || equals == std::string_view::npos || slash == std::string_view::npos || slash < equals) {
            whole = false;
            return;
        }
        std::array<TKeyCode, INPUT_KEY_SLOTS> keys{};
        std::array<TControllerButton, INPUT_CONTROLLER_SLOTS> buttons{B::None, B::None};
        int keyCount = 0;
        int buttonCount = 0;
        bool good = true;
        Split(entry.substr(equals + 1, slash - equals - 1), ',', [&](std::string_view number) {
            unsigned value = 0;
            const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value, 16);
            if (keyCount >= INPUT_KEY_SLOTS || number.empty() || error != std::errc() ||
                end != number.data() + number.size() || value > 0xFF || IsWindowKey(static_cast<TKeyCode>(value))) {
                good = false;
                return;
            }
            keys[keyCount++] = static_cast<TKeyCode>(value);
        });
        Split(entry.substr(slash + 1), ',', [&](std::string_view name) {
            const TControllerButton button = ControllerButtonByName(name);
            if (buttonCount >= INPUT_CONTROLLER_SLOTS || (button == B::None && !name.empty()) ||
                (button != B::None && kInputs[input].Player != 1)) {
                good = false;
                return;
            }
            buttons[buttonCount++] = button;
        });
        if (!good || keyCount != INPUT_KEY_SLOTS || buttonCount != INPUT_CONTROLLER_SLOTS) {
            whole = false;
            return;
        }
        keys_[input] = keys;
        buttons_[input] = buttons;
    });
    return whole;
}
