#include "AstrelDsp.h"
#include "AudioRig.h"

#include <gtest/gtest.h>

namespace
{
    using Stereo = AudioRig::Stereo;
    using Signal = AudioRig::Signal;

    /** A prepared processor whose first fade-in has passed and whose queue is empty. */
    struct MeteredRig : AudioRig
    {
        MeteredRig()
        {
            prepare();
            run ({ Signal (2048), Signal (2048) });
            processor.drainMeteringFrame();
        }

        MeteringFrame measure (const Stereo& input)
        {
            lastOutput = run (input);
            auto frame = processor.drainMeteringFrame();
            EXPECT_TRUE (frame.has_value());
            return frame.value_or (MeteringFrame {});
        }

        /** Sets one of the registry's flags for this instance and lets its timer read it back. */
        void setRegistryFlag (std::optional<bool> AstrelCommand::*flag, bool value)
        {
            processor.timerCallback();
            AstrelCommand command;
            command.targetPluginID = processor.getPluginID();
            command.*flag = value;
            processor.getSharedStatusManager().dispatchCommand (command);
            processor.timerCallback();
        }

        Stereo lastOutput;
    };
} // namespace

TEST (Metering, SilenceGivesNoCorrelationAndZeroLevels)
{
    MeteredRig rig;
    const auto frame = rig.measure ({ Signal (4800), Signal (4800) });

    EXPECT_FALSE (frame.correlationValid);
    EXPECT_EQ (frame.correlation, 0.0f);
    EXPECT_EQ (frame.peakLeft, 0.0f);
    EXPECT_EQ (frame.peakRight, 0.0f);
    EXPECT_EQ (frame.midRms, 0.0f);
    EXPECT_EQ (frame.sideRms, 0.0f);
    EXPECT_EQ (frame.chaos, 0.0f);
}

TEST (Metering, IdenticalChannelsAreFullyCorrelatedWithNoSide)
{
    MeteredRig rig;
    const auto signal = rig.sine (500.0, 0.5f, 4800);
    const auto frame = rig.measure ({ signal, signal });

    EXPECT_TRUE (frame.correlationValid);
    EXPECT_NEAR (frame.correlation, 1.0f, 1.0e-6f);
    EXPECT_EQ (frame.sideRms, 0.0f);
    EXPECT_NEAR (frame.midRms, 0.5f / std::sqrt (2.0f), 1.0e-3f);
    EXPECT_NEAR (frame.peakLeft, 0.5f, 1.0e-3f);
    EXPECT_NEAR (frame.chaos, 0.0f, 1.0e-9f);
}

TEST (Metering, OneChannelAloneHasNoCorrelationAndAConstantAngle)
{
    MeteredRig rig;
    const auto frame = rig.measure ({ rig.sine (500.0, 0.5f, 4800), Signal (4800) });

    EXPECT_FALSE (frame.correlationValid);
    EXPECT_EQ (frame.peakRight, 0.0f);
    EXPECT_NEAR (frame.midRms, frame.sideRms, 1.0e-6f);
    // Every sample sits at pi/4 but for the odd exact zero crossing.
    EXPECT_LT (frame.chaos, 1.0e-3f);
}

TEST (Metering, OppositeChannelsAreAntiCorrelatedAndWideSpreadsRaiseChaos)
{
    MeteredRig rig;
    const auto signal = rig.sine (500.0, 0.5f, 4800);
    Signal inverted (signal.size());
    std::transform (signal.begin(), signal.end(), inverted.begin(), [] (float v) { return -v; });

    const auto opposite = rig.measure ({ signal, inverted });
    EXPECT_TRUE (opposite.correlationValid);
    EXPECT_NEAR (opposite.correlation, -1.0f, 1.0e-6f);
    EXPECT_EQ (opposite.midRms, 0.0f);

    // Unrelated tones in the two channels swing the angle between centre and side.
    const auto unrelated = rig.measure ({ rig.sine (500.0, 0.5f, 48000), rig.sine (731.0, 0.5f, 48000) });
    EXPECT_NEAR (unrelated.correlation, 0.0f, 0.05f);
    EXPECT_GT (unrelated.chaos, 0.1f);
    EXPECT_LE (unrelated.chaos, 2.5f);
}

TEST (Metering, FramesAreNumberedAndStampedAndNeedAudio)
{
    MeteredRig rig;
    EXPECT_FALSE (rig.processor.drainMeteringFrame().has_value());

    const auto first = rig.measure ({ Signal (512), Signal (512) });
    const auto second = rig.measure ({ Signal (512), Signal (512) });
    EXPECT_EQ (second.sequence, first.sequence + 1);
    EXPECT_GE (second.timestampMs, first.timestampMs);
    EXPECT_GT (first.timestampMs, 0.0);
}

TEST (Metering, AFullQueueDropsRecordsInsteadOfBlocking)
{
    MeteredRig rig;
    const Signal tiny (1000 * 4);

    // 1000 blocks of four samples: only 511 records fit between two reads.
    rig.run ({ tiny, tiny }, 4);
    const auto frame = rig.processor.drainMeteringFrame();
    ASSERT_TRUE (frame.has_value());
    EXPECT_FALSE (rig.processor.drainMeteringFrame().has_value());
}

TEST (Metering, NonFiniteSumsNeverReachTheFrame)
{
    MeteringBlock total;
    total.numSamples = 100;
    total.sumLeftSquared = 1.0;
    total.sumRightSquared = std::numeric_limits<double>::infinity();
    total.sumLeftRight = std::numeric_limits<double>::quiet_NaN();
    total.sumMidSquared = 4.0e6;
    total.sumAngleSquared = 1.0e9;

    const auto frame = AstrelAudioProcessor::makeMeteringFrame (total, 9.0f, -1.0f);
    EXPECT_FALSE (frame.correlationValid);
    EXPECT_EQ (frame.correlation, 0.0f);
    EXPECT_EQ (frame.peakLeft, 4.0f);
    EXPECT_EQ (frame.peakRight, 0.0f);
    EXPECT_EQ (frame.midRms, 4.0f);
    EXPECT_EQ (frame.chaos, 2.5f);
}

TEST (Metering, MuteSilencesTheOutputButTheImageIsStillMeasured)
{
    MeteredRig rig;
    rig.setRegistryFlag (&AstrelCommand::muted, true);
    ASSERT_TRUE (rig.processor.isOutputMuted());

    const auto signal = rig.sine (500.0, 0.5f, 4800);
    const auto frame = rig.measure ({ signal, signal });

    EXPECT_EQ (frame.peakLeft, 0.0f);
    EXPECT_FALSE (frame.correlationValid);
    EXPECT_GT (frame.midRms, 0.3f) << "mid and side are taken before the mute";
    EXPECT_EQ (rig.lastOutput.left[100], 0.0f);
}

TEST (Metering, ListenMonoFoldsBothChannelsToTheirAverage)
{
    MeteredRig rig;
    rig.setRegistryFlag (&AstrelCommand::listenMono, true);

    const auto left = rig.sine (500.0, 0.5f, 4800);
    const auto frame = rig.measure ({ left, Signal (4800) });

    for (size_t i = 0; i < left.size(); ++i)
    {
        ASSERT_FLOAT_EQ (rig.lastOutput.left[i], left[i] * 0.5f) << i;
        ASSERT_FLOAT_EQ (rig.lastOutput.right[i], left[i] * 0.5f) << i;
    }

    EXPECT_NEAR (frame.correlation, 1.0f, 1.0e-6f);
    EXPECT_GT (frame.sideRms, 0.1f) << "the side is measured before the fold";
}

TEST (Metering, AFullyBypassedInstancePassesItsInputEvenWhenMuted)
{
    MeteredRig rig;
    rig.set ("pan", 1.0f);
    rig.set ("ratio", 0.6f);
    rig.set ("gainTrimDb", -9.0f);
    rig.set ("bypass", 1.0f);
    rig.setRegistryFlag (&AstrelCommand::muted, true);
    rig.setRegistryFlag (&AstrelCommand::listenMono, true);

    rig.run ({ Signal (2048), Signal (2048) }); // the 6 ms crossfade
    const auto left = rig.sine (500.0, 0.5f, 4800);
    const auto right = rig.sine (300.0, 0.25f, 4800);
    const auto frame = rig.measure ({ left, right });

    EXPECT_EQ (rig.lastOutput.left, left);
    EXPECT_EQ (rig.lastOutput.right, right);
    EXPECT_NEAR (frame.peakLeft, 0.5f, 1.0e-3f);
}

TEST (Metering, TheImageAngleIsWithinAMicroradianOfAtan2)
{
    double largestError = 0.0;

    // Both magnitudes over a wide range of sizes and every ratio, plus the exact edges.
    for (int i = 0; i <= 2000; ++i)
    {
        for (const float scale : { 1.0e-6f, 0.5f, 1.0f, 3.9f })
        {
            const auto angle = juce::MathConstants<double>::halfPi * i / 2000.0;
            const auto y = static_cast<float> (scale * std::sin (angle));
            const auto x = static_cast<float> (scale * std::cos (angle));
            const auto exact = std::atan2 (static_cast<double> (y), static_cast<double> (x));
            largestError = std::max (largestError, std::abs (AstrelDsp::positiveAtan2 (y, x) - exact));
        }
    }

    EXPECT_LE (largestError, 1.0e-6);
    EXPECT_EQ (AstrelDsp::positiveAtan2 (0.0f, 0.0f), 0.0f);
    EXPECT_NEAR (AstrelDsp::positiveAtan2 (1.0f, 0.0f), juce::MathConstants<float>::halfPi, 1.0e-6f);
    EXPECT_NEAR (AstrelDsp::positiveAtan2 (0.3f, 0.3f), juce::MathConstants<float>::pi / 4.0f, 1.0e-6f);
}
