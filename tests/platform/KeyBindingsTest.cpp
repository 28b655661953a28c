// The players' bindings: defaults, the one-key-one-input rule, the window's
// keys, the settings string (and damaged ones), and a game controller's
// buttons reaching the input device through them.
#include <gtest/gtest.h>

#include "KeyBindings.h"

namespace {

using B = TControllerButton;
using S = TInputState;

constexpr int P1Up = 0, P1B1 = 4, P1B2 = 5, Pause = 6, P2Up = 7, P2B1 = 11;
static_assert(PAD_INPUT_COUNT == 13);

class TFixedKeys final : public TKeySource {
public:
    bool KeyDown(TKeyCode key) const override { return key == Down; }
    bool Foreground() const override { return true; }
    TKeyCode Down = 0;
};

class TFixedStick final : public TJoystickSource {
public:
    bool Read(TJoystickReading& reading) override {
        reading = Now;
        return true;
    }
    TJoystickReading Now;
};

TJoystickReading Controller(std::initializer_list<B> held) {
    TJoystickReading reading;
    reading.Controller = true;
    for (B b : held) reading.ControllerButtons |= 1u << static_cast<int>(b);
    return reading;
}

TEST(KeyBindings, SettingsStringRoundTripsDefaultsAndChanges) {
    const TKeyBindings defaults = TKeyBindings::Defaults();
    EXPECT_EQ(defaults.ToString().substr(0, 20), "p1.up=26,0,68/dpup,;");
    TKeyBindings read;
    EXPECT_TRUE(read.FromString(defaults.ToString()));
    EXPECT_EQ(read, defaults);

    TKeyBindings changed = defaults;
    ASSERT_TRUE(changed.SetKey(P1B1, 2, 'Z'));
    ASSERT_TRUE(changed.SetButton(Pause, 1, B::Guide));
    ASSERT_TRUE(changed.SetKey(P2Up, 0, 0));
    TKeyBindings again = defaults;
    EXPECT_TRUE(again.FromString(changed.ToString()));
    EXPECT_EQ(again, changed);
    EXPECT_EQ(again.Key(P1B1, 2), 'Z');
    EXPECT_EQ(again.Button(Pause, 1), B::Guide);
    EXPECT_EQ(again.Key(P2Up, 0), 0);
}

TEST(KeyBindings, OneKeyOrButtonPressesOneInput) {
    TKeyBindings b = TKeyBindings::Defaults();
    // Player 2's G goes to player 1's button 2: player 2 loses it.
    ASSERT_TRUE(b.SetKey(P1B2, 1, 'G'));
    EXPECT_EQ(b.Key(P1B2, 1), 'G');
    EXPECT_EQ(b.Key(P1B2, 0), 'C');
    EXPECT_EQ(b.Key(P2B1, 0), 0);
    // Rebinding a key within its own input moves it between slots.
    ASSERT_TRUE(b.SetKey(P1Up, 1, VK::Up));
    EXPECT_EQ(b.Key(P1Up, 0), 0);
    EXPECT_EQ(b.Key(P1Up, 1), VK::Up);
    // A on Pause leaves button 1 without a controller button.
    ASSERT_TRUE(b.SetButton(Pause, 1, B::A));
    EXPECT_EQ(b.Button(P1B1, 0), B::None);
    EXPECT_EQ(b.Button(Pause, 0), B::X);
}

TEST(KeyBindings, WindowKeysAndPlayerTwoControllerAreRefused) {
    const TKeyBindings defaults = TKeyBindings::Defaults();
    for (TKeyCode key : {VK::Escape, VK::Back, TKeyCode(0x09), TKeyCode(0x74), TKeyCode(0x77), TKeyCode(0x79),
                         TKeyCode(0x7B), TKeyCode(0x13), TKeyCode(0x100)}) {
        TKeyBindings b = defaults;
        EXPECT_FALSE(b.SetKey(P1B1, 0, key)) << key;
        EXPECT_EQ(b, defaults) << key;
    }
    TKeyBindings b = defaults;
    EXPECT_FALSE(b.SetButton(P2B1, 0, B::Y));
    EXPECT_FALSE(b.SetKey(P1B1, 3, 'Z'));
    EXPECT_FALSE(b.SetKey(PAD_INPUT_COUNT, 0, 'Z'));
    EXPECT_EQ(b, defaults);
    EXPECT_TRUE(b.SetKey(P1B1, 0, 0x78));  // F9 is free
}

// A damaged or hand-edited settings string: what can be read is taken,
// each entry that cannot keeps its input's bindings.
TEST(KeyBindings, DamagedSettingsKeepTheBindingsOfWhatCannotBeRead) {
    struct Case {
        const char* Text;
        bool Whole;
        TKeyCode P1B1Key;  // player 1's button 1, first slot, after reading
    } cases[] = {
        {"p1.b1=5A,0,0/a,", true, 'Z'},
        {"", true, 'X'},
        {"p1.b1=5A,0,0/a,;;", true, 'Z'},
        {"p3.b1=5A,0,0/a,", false, 'X'},
        {"p1.b1=5A,0/a,", false, 'X'},           // two key slots
        {"p1.b1=5A,0,0,0/a,", false, 'X'},       // four
        {"p1.b1=5A,0,0/a", false, 'X'},          // one button slot
        {"p1.b1=5G,0,0/a,", false, 'X'},         // not hexadecimal
        {"p1.b1=100,0,0/a,", false, 'X'},        // beyond the key codes
        {"p1.b1=1B,0,0/a,", false, 'X'},         // Escape is the window's
        {"p1.b1=5A,0,0/jump,", false, 'X'},      // no such button
        {"p1.b1=5A,,0/a,", false, 'X'},
        {"p1.b1", false, 'X'},
        {"p1.b1/5A=0", false, 'X'},
        {"p2.b1=47,0,0/y,;p1.b1=5A,0,0/a,", false, 'Z'},  // player 2 has no controller
        {"garbage;p1.b1=5A,0,0/a,", false, 'Z'},
    };
    for (const Case& c : cases) {
        TKeyBindings b = TKeyBindings::Defaults();
        EXPECT_EQ(b.FromString(c.Text), c.Whole) << c.Text;
        EXPECT_EQ(b.Key(P1B1, 0), c.P1B1Key) << c.Text;
        EXPECT_EQ(b.Key(P2B1, 0), 'G') << c.Text;
    }
}

// The devices as the window sets them up: keys and controller buttons by
// the table, a plain joystick's buttons by number.
TEST(KeyBindings, DevicesFollowTheTableForKeysAndControllerButtons) {
    TFixedKeys keys;
    TFixedStick stick;
    TInputDevice pad1(&keys, &stick);
    TInputDevice pad2(&keys, nullptr);
    TKeyBindings b = TKeyBindings::Defaults();
    b.ApplyTo(pad1, pad2);
    EXPECT_EQ(pad1.BoundKey(S::Up, 2), VK::Numpad0 + 8);
    EXPECT_EQ(pad2.BoundKey(S::Button2, 0), 'H');

    struct Case {
        TJoystickReading Reading;
        S On;  // the only state on
    } cases[] = {
        {Controller({B::DPadUp}), S::Up},     {Controller({B::DPadRight}), S::Right},
        {Controller({B::A}), S::Button1},     {Controller({B::B}), S::Button2},
        {Controller({B::X}), S::Button3},     {Controller({B::Start}), S::Button3},
    };
    for (const Case& c : cases) {
        stick.Now = c.Reading;
        pad1.Update();
        for (int s = 0; s < INPUT_STATE_COUNT; ++s)
            EXPECT_EQ(pad1.State(static_cast<S>(s)), static_cast<S>(s) == c.On)
                << "buttons " << c.Reading.ControllerButtons << " state " << s;
    }

    // Y now presses button 1, and A nothing; a controller's bits are not
    // plain joystick button numbers.
    ASSERT_TRUE(b.SetButton(P1B1, 0, B::Y));
    b.ApplyTo(pad1, pad2);
    stick.Now = Controller({B::A});
    pad1.Update();
    EXPECT_FALSE(pad1.State(S::Button1));
    stick.Now = Controller({B::Y});
    pad1.Update();
    EXPECT_TRUE(pad1.State(S::Button1));
    EXPECT_FALSE(pad1.State(S::Button2));

    // A plain joystick: button 2 is Button 2 whatever the table says.
    stick.Now = TJoystickReading{};
    stick.Now.Buttons = 2u;
    pad1.Update();
    EXPECT_TRUE(pad1.State(S::Button2));

    // A key moved to another input presses that one only.
    ASSERT_TRUE(b.SetKey(P2B1, 0, 'X'));
    b.ApplyTo(pad1, pad2);
    stick.Now = TJoystickReading{};
    keys.Down = 'X';
    pad1.Update();
    pad2.Update();
    EXPECT_FALSE(pad1.State(S::Button1));
    EXPECT_TRUE(pad2.State(S::Button1));
}

}  // namespace
