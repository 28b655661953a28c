// The window's sound on SDL's dummy driver: each model plays through its own
// device (the default model's 8-bit ring, the hardware models' 48 kHz 16-bit
// stereo queue, never both open), a Console Reset to another model moves
// between the two, and "Sound" > "Volume" scales what the device gets and is
// kept in the settings.
#include <gtest/gtest.h>

#include <SDL_audio.h>

#include <QSettings>
#include <QTemporaryDir>
#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <mutex>

#include "FormRig.h"
#include "Settings.h"

namespace {

QString Rom(const char* name) { return QString(TIRAVEL_TEST_ROM_DIR) + "/" + name + ".sms"; }

// The loudest sample the device was handed since the last Clear, as a
// distance from silence, and the blocks that held any sound.
struct TLoudness {
    std::mutex mutex;
    int Loudest = 0;
    int SoundingBlocks = 0;
    void Take(int loudest) {
        std::lock_guard lock(mutex);
        Loudest = std::max(Loudest, loudest);
        if (loudest > 0) ++SoundingBlocks;
    }
    void Clear() {
        std::lock_guard lock(mutex);
        Loudest = 0;
        SoundingBlocks = 0;
    }
    int Blocks() {
        std::lock_guard lock(mutex);
        return SoundingBlocks;
    }
};

class SoundWindowTest : public ::testing::Test, protected TFormRig {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir_.path() + "/config");
        MakeForm();
    }
    void TearDown() override { form.reset(); }
    void MakeForm() {
        form.reset();
        CreateForm(dir_.path());
        // Read by the devices' threads: set before a device opens.
        form->DXSound1.Tap = [this](const uint8_t* data, int length) {
            int loudest = 0;
            for (int i = 0; i < length; ++i) loudest = std::max(loudest, std::abs(data[i] - 128));
            mono_.Take(loudest);
        };
        form->StereoOutput.Tap = [this](const int16_t* pairs, int count) {
            int loudest = 0;
            for (int i = 0; i < 2 * count; ++i) loudest = std::max(loudest, std::abs(int{pairs[i]}));
            stereo_.Take(loudest);
        };
    }
    // The machine runs at its own pace, as the devices drain by their clocks.
    bool AwaitSound(TLoudness& loudness, int blocks) {
        return WaitFor([&] { return loudness.Blocks() >= blocks; }, 20000);
    }

    QTemporaryDir dir_;
    TLoudness mono_, stereo_;
};

// The tone cartridge on each model: its own device only, the tone heard at
// full level, then at half once "Volume" > "50%" is chosen; the choice is
// kept, and a new window applies it to both devices.
TEST_F(SoundWindowTest, EachModelPlaysThroughItsOwnDeviceAtTheChosenVolume) {
    const struct {
        const char* Model;
        bool Stereo;
    } cases[] = {{"mModel_tiravel", false}, {"mModel_sms2", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Model);
        MakeForm();
        form->Item(c.Model)->trigger();
        form->Item("mVolume100")->trigger();
        ASSERT_TRUE(Open(Rom("tone")));
        TLoudness& heard = c.Stereo ? stereo_ : mono_;
        heard.Clear();
        ASSERT_TRUE(AwaitSound(heard, 20));
        EXPECT_EQ(Form().StereoOutput.DeviceOpen(), c.Stereo);
        EXPECT_EQ(Form().DXSound1.DeviceOpen(), !c.Stereo) << "one device at a time";
        if (c.Stereo) {
            EXPECT_EQ(Form().StereoOutput.DeviceRate(), 48000);
            EXPECT_EQ(Form().StereoOutput.DeviceFormat(), AUDIO_S16SYS);
            EXPECT_EQ(Form().StereoOutput.DeviceChannels(), 2);
            const TStereoSoundQueue::TCounts counts = Form().StereoOutput.Counts();
            EXPECT_EQ(Form().StereoOutput.Capacity(), 2400u);
            // SDL's dummy driver waits 10 ms a block by the host's sleep, so
            // its clock runs several percent slow on a busy machine, past
            // what the rate control's 1% covers: the queue then stays at its
            // ceiling and the surplus is not queued. Never more than 50 ms.
            EXPECT_LE(counts.MaxQueued, 2400u) << "at most 50 ms queued";
            EXPECT_GE(counts.Starts, 1u);
            std::printf("stereo queue: at most %.1f ms after a frame, %u start(s), %u underrun(s), %llu pairs not "
                        "queued, rate factor %.5f\n",
                        counts.MaxQueued / 48.0, counts.Starts, counts.Underruns,
                        static_cast<unsigned long long>(counts.DroppedPairs), Machine().Console->SoundRate());
        }
        int full;
        {
            std::lock_guard lock(heard.mutex);
            full = heard.Loudest;
        }
        ASSERT_GT(full, 0);

        form->Item("mVolume50")->trigger();
        EXPECT_EQ(Form().Volume(), 50);
        heard.Clear();
        ASSERT_TRUE(AwaitSound(heard, 20));
        {
            std::lock_guard lock(heard.mutex);
            // The mono ring's samples repeat exactly; the hardware chip's
            // pass its high-pass filter, whose peaks settle over the first
            // fraction of a second, so theirs are compared within 15%.
            if (c.Stereo)
                EXPECT_NEAR(heard.Loudest, full * 50 / 100, full * 15 / 200);
            else
                EXPECT_EQ(heard.Loudest, full * 50 / 100);
        }
        Form().mSomClick();
    }
    EXPECT_EQ(QSettings(SettingsFilePath(), QSettings::NativeFormat).value("Sound/Volume").toInt(), 50);
    MakeForm();
    EXPECT_TRUE(form->Item("mVolume50")->isChecked());
    EXPECT_FALSE(form->Item("mVolume100")->isChecked());
    EXPECT_EQ(Form().DXSound1.Volume(), 50);
    EXPECT_EQ(Form().StereoOutput.Volume(), 50);
}

// A Console Reset to another model closes one device and opens the other.
TEST_F(SoundWindowTest, AConsoleResetMovesBetweenTheTwoSoundPaths) {
    form->Item("mModel_sms1")->trigger();
    ASSERT_TRUE(Open(Rom("tone")));
    ASSERT_TRUE(AwaitSound(stereo_, 5));
    EXPECT_TRUE(Form().StereoOutput.DeviceOpen());

    Form().mArquivoClick();
    form->Item("mModel_tiravel")->trigger();
    Form().mReiniConClick();
    EXPECT_FALSE(Form().StereoOutput.DeviceOpen());
    EXPECT_TRUE(Form().DXSound1.DeviceOpen());
    mono_.Clear();
    ASSERT_TRUE(AwaitSound(mono_, 5));

    Form().mArquivoClick();
    form->Item("mModel_sms2")->trigger();
    Form().mReiniConClick();
    EXPECT_TRUE(Form().StereoOutput.DeviceOpen());
    EXPECT_FALSE(Form().DXSound1.DeviceOpen());
    stereo_.Clear();
    ASSERT_TRUE(AwaitSound(stereo_, 5));
}

}  // namespace
