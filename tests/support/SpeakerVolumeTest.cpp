// Volume steps against the private sound server's null sink, read back with pactl.
#include "Pactl.h"
#include "support/SpeakerVolume.h"


#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <vector>

using namespace corvana;

namespace {

bool SetSinkVolume(std::uint32_t volume) { return Pactl({"set-sink-volume", "spk", QString::number(volume)}).has_value(); }

class SpeakerVolumeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Pactl({"set-default-sink", "spk"})) << "no sound server: run under scripts/with-session.sh";
        qunsetenv("CORVANA_MIXER_CARD");
        ASSERT_TRUE(SetSinkVolume(0));
        // The mixer reports its range once it has been reached.
        SetSpeakerVolume(0);
        m_max = LastKnownVolumeMaximum();
        ASSERT_GT(m_max, 7u * 1000u) << "the default card's Master should range 0..65536";
        m_step = m_max / 7;
    }

    // What the dialog's volume indicator would be set to.
    std::vector<int> m_images;
    const SetVolumeImage m_indicator = [this](int bitmap) { m_images.push_back(bitmap); };
    std::uint32_t m_max = 0, m_step = 0;
};

} // namespace

TEST_F(SpeakerVolumeTest, StepsFromWhereTheSoundServerIsAndStaysInRange)
{
    OnVolumeUp(m_indicator);
    EXPECT_EQ(SinkVolume(), m_step);

    // Down from just below one step reaches silence; from silence the difference wraps round and
    // is not applied.
    ASSERT_TRUE(SetSinkVolume(m_step - 1));
    OnVolumeDown(m_indicator);
    EXPECT_EQ(SinkVolume(), 0u);
    OnVolumeDown(m_indicator);
    EXPECT_EQ(SinkVolume(), 0u);

    // A volume set by another program is read and stepped from where it is.
    ASSERT_TRUE(SetSinkVolume(30000));
    EXPECT_EQ(GetSpeakerVolume(), 30000u);
    EXPECT_EQ(UpdateVolumeIndicator(m_indicator), 5);
    OnVolumeUp(m_indicator);
    EXPECT_EQ(SinkVolume(), 30000 + m_step);
    OnVolumeDown(m_indicator);
    OnVolumeDown(m_indicator);
    EXPECT_EQ(SinkVolume(), 30000 - m_step);

    // Near the top, and at exactly the maximum, up pins the volume just below the maximum.
    for (const std::uint32_t start : {60000u, m_max}) {
        ASSERT_TRUE(SetSinkVolume(start));
        OnVolumeUp(m_indicator);
        EXPECT_EQ(SinkVolume(), m_max - 1) << "from " << start;
        EXPECT_EQ(UpdateVolumeIndicator(m_indicator), 8);
    }
}

TEST_F(SpeakerVolumeTest, WithoutAMixerNothingChangesAndTheFailureIsReported)
{
    ASSERT_TRUE(SetSinkVolume(30000));
    qputenv("CORVANA_MIXER_CARD", "hw:CorvanaNoSuchCard");
    static QStringList s_lines;
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& text) { s_lines << text; });
    const std::uint32_t volume = GetSpeakerVolume();
    const std::uint32_t maximum = SetSpeakerVolume(1000);
    const int level = UpdateVolumeIndicator(m_indicator);
    OnVolumeUp(m_indicator);
    OnVolumeDown(m_indicator);
    qInstallMessageHandler(previous);
    qunsetenv("CORVANA_MIXER_CARD");

    EXPECT_EQ(volume, kVolumeFailed);
    EXPECT_EQ(maximum, m_max); // the last known maximum
    EXPECT_EQ(level, 0);
    EXPECT_TRUE(m_images.empty());
    EXPECT_EQ(SinkVolume(), 30000u);
    EXPECT_TRUE(s_lines.contains(QStringLiteral("mixerOpen() failed"))) << s_lines.join(u'|').toStdString();
}
