// The scripted input device: the script's syntax and its replay.
#include <gtest/gtest.h>

#include "ScriptedInput.h"

namespace {

TEST(ScriptedInput, RejectsMalformedLinesNamingFileAndLine) {
    struct Case {
        const char* text;
        const char* error;
    } cases[] = {
        {"0 press p1.up\n1 hold p1.up\n", "in.txt:2: expected press or release, not `hold`"},
        {"x press p1.up", "in.txt:1: bad frame number `x`"},
        {"-1 press p1.up", "in.txt:1: bad frame number `-1`"},
        {"99999999999 press p1.up", "in.txt:1: bad frame number `99999999999`"},
        {"\n\n# c\n3 press p3.up", "in.txt:4: unknown button `p3.up`"},
        {"3 press", "in.txt:1: expected `<frame> <press|release> <button>`"},
        {"3 press p1.up extra", "in.txt:1: expected `<frame> <press|release> <button>`"},
        {"3press p1.up", "in.txt:1: expected `<frame> <press|release> <button>`"},
    };
    for (const Case& c : cases) {
        TScriptedInput input;
        std::string error;
        EXPECT_FALSE(input.Parse(c.text, "in.txt", error)) << c.text;
        EXPECT_EQ(error, c.error);
    }
}

TEST(ScriptedInput, AcceptsCommentsBlankLinesAndEveryButton) {
    TScriptedInput input;
    std::string error;
    const char* script =
        "# start\n"
        "\r\n"
        "  0   press   p1.up   # trailing comment\n"
        "0 press p1.down\n0 press p1.left\n0 press p1.right\n0 press p1.b1\n0 press p1.b2\n"
        "0 press p2.up\n0 press p2.down\n0 press p2.left\n0 press p2.right\n0 press p2.b1\n"
        "0 press p2.b2\n0 press pause\n\t0 press reset\r\n"
        "5 release reset";  // no final newline
    ASSERT_TRUE(input.Parse(script, "s", error)) << error;
    EXPECT_EQ(input.Events().size(), 15u);
    input.Advance(0);
    for (int b = 0; b < static_cast<int>(TScriptButton::Count); ++b)
        EXPECT_TRUE(input.Held(static_cast<TScriptButton>(b))) << b;
}

TEST(ScriptedInput, ReplaysHeldButtonsAndOneResetPressPerFrame) {
    TScriptedInput input;
    std::string error;
    // Out of frame order on purpose; same-frame events keep their order.
    ASSERT_TRUE(input.Parse("10 release p1.b1\n2 press p1.b1\n4 press reset\n4 release reset\n"
                            "6 press pause\n6 release pause\n6 press pause\n",
                            "s", error));
    struct Step {
        uint32_t frame;
        bool b1, reset, pause;
    } steps[] = {
        {0, false, false, false}, {1, false, false, false}, {2, true, false, false},
        {3, true, false, false},  {4, true, true, false},   {5, true, false, false},
        {6, true, false, true},   {9, true, false, true},   {10, false, false, true},
    };
    for (const Step& s : steps) {
        input.Advance(s.frame);
        EXPECT_EQ(input.Held(TScriptButton::P1Button1), s.b1) << s.frame;
        EXPECT_EQ(input.ResetPressed(), s.reset) << s.frame;
        EXPECT_EQ(input.Held(TScriptButton::Pause), s.pause) << s.frame;
    }
}

}  // namespace
