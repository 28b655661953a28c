// A script's buttons turned into the console's input for one frame.
#include "FrameInput.h"

#include "Console.h"
#include "ScriptedInput.h"

TFrameInput FrameInput_FromScript(const TScriptedInput& input) {
    struct TLine {
        TScriptButton Player1, Player2;
        uint8_t Bit;
    };
    static constexpr TLine kLines[6] = {
        {TScriptButton::P1Left, TScriptButton::P2Left, PAD_LEFT},
        {TScriptButton::P1Right, TScriptButton::P2Right, PAD_RIGHT},
        {TScriptButton::P1Up, TScriptButton::P2Up, PAD_UP},
        {TScriptButton::P1Down, TScriptButton::P2Down, PAD_DOWN},
        {TScriptButton::P1Button1, TScriptButton::P2Button1, PAD_BUTTON1},
        {TScriptButton::P1Button2, TScriptButton::P2Button2, PAD_BUTTON2},
    };
    TFrameInput frame;
    for (const TLine& line : kLines) {
        if (input.Held(line.Player1)) frame.Player1 |= line.Bit;
        if (input.Held(line.Player2)) frame.Player2 |= line.Bit;
    }
    frame.Pause = input.Held(TScriptButton::Pause);
    frame.Reset = input.ResetPressed();
    return frame;
}

void FrameInput_Apply(TConsole& console, const TFrameInput& input) {
    console.SetPads(input.Player1, input.Player2);
    if (input.Pause) console.PressPause();
    if (input.Reset) console.PressReset();
}
