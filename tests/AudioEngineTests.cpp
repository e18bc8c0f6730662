#include "AudioRig.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{
    using Stereo = AudioRig::Stereo;
    using Signal = AudioRig::Signal;

    struct PanLawCase
    {
        float pan, depth;
        float gainLeft, gainRight, delayLeftMs, delayRightMs;
    };

    void PrintTo (const PanLawCase& c, std::ostream* os)
    {
        *os << "pan " << c.pan << " depth " << c.depth;
    }

    /** Three significant digits, as the reference values are given. */
    void expectThreeDigits (float actual, float expected)
    {
        EXPECT_NEAR (actual, expected, std::max (0.0005f, std::abs (expected) * 0.005f));
    }

    Stereo impulse (size_t length, size_t at, float value = 1.0f)
    {
        Stereo signal { Signal (length), Signal (length) };
        signal.left[at] = signal.right[at] = value;
        return signal;
    }

    float largestStep (const Signal& signal, size_t from = 1)
    {
        float largest = 0.0f;

        for (auto i = std::max<size_t> (from, 1); i < signal.size(); ++i)
            largest = std::max (largest, std::abs (signal[i] - signal[i - 1]));

        return largest;
    }
} // namespace

class PanLaw : public testing::TestWithParam<PanLawCase>
{
};

TEST_P (PanLaw, GivesTheReferenceGainsAndDelays)
{
    const auto& c = GetParam();
    const auto targets = AstrelAudioProcessor::computePanTargets (c.pan, c.depth);
    expectThreeDigits (targets.gainLeft, c.gainLeft);
    expectThreeDigits (targets.gainRight, c.gainRight);
    EXPECT_NEAR (targets.delayLeftMs, c.delayLeftMs, 1.0e-5f);
    EXPECT_NEAR (targets.delayRightMs, c.delayRightMs, 1.0e-5f);
}

INSTANTIATE_TEST_SUITE_P (ReferenceTable,
                          PanLaw,
                          testing::Values (PanLawCase { 0.0f, 0.0f, 1.0f, 1.0f, 0.0f, 0.0f },
                                           PanLawCase { -1.0f, 0.0f, 1.41f, 0.0f, 0.0f, 0.0f },
                                           PanLawCase { 1.0f, 0.0f, 0.0f, 1.41f, 0.0f, 0.0f },
                                           PanLawCase { 0.5f, 0.0f, 0.541f, 1.31f, 0.0f, 0.0f },
                                           PanLawCase { 0.0f, 1.0f, 0.794f, 0.794f, 0.0f, 0.0f },
                                           PanLawCase { 1.0f, 1.0f, 0.794f, 0.794f, 1.8f, 0.0f },
                                           PanLawCase { -0.5f, 1.0f, 0.794f, 0.794f, 0.0f, 0.9f },
                                           PanLawCase { 1.0f, 0.5f, 0.522f, 1.04f, 0.9f, 0.0f },
                                           PanLawCase { 3.0f, -2.0f, 0.0f, 1.41f, 0.0f, 0.0f }));

TEST (PanStage, CentreAtDepthZeroPassesTheInputUnchanged)
{
    AudioRig rig;
    rig.prepare();

    const auto length = rig.samplesFor (0.1);
    Stereo input { rig.sine (440.0, 0.5f, length), rig.sine (97.0, -0.25f, length) };
    const auto output = rig.run (input);

    // The first prepare fades the gains in over 20 ms; after that the stage is transparent.
    for (auto i = rig.samplesFor (0.021); i < length; ++i)
    {
        ASSERT_FLOAT_EQ (output.left[i], input.left[i]) << i;
        ASSERT_FLOAT_EQ (output.right[i], input.right[i]) << i;
    }

    EXPECT_NEAR (output.left[0], 0.0f, 1.0e-6f);
}

TEST (PanStage, HardLeftSilencesTheRightAndLiftsTheLeftByThreeDecibels)
{
    AudioRig rig;
    rig.set ("pan", -1.0f);
    rig.prepare();

    const auto length = rig.samplesFor (0.05);
    Stereo input { rig.sine (300.0, 0.5f, length), rig.sine (300.0, 0.5f, length) };
    const auto output = rig.run (input);

    for (size_t i = 0; i < length; ++i)
    {
        ASSERT_NEAR (output.left[i], input.left[i] * std::sqrt (2.0f), 1.0e-5f) << i;
        ASSERT_NEAR (output.right[i], 0.0f, 1.0e-6f) << i;
    }
}

TEST (PanStage, FarRightAtFullDepthDelaysTheLeftByWholeSamples)
{
    const struct
    {
        double sampleRate;
        size_t delay;
    } cases[] = { { 48000.0, 86 }, { 44100.0, 79 }, { 96000.0, 172 } };

    for (const auto& c : cases)
    {
        AudioRig rig (c.sampleRate);
        rig.set ("pan", 1.0f);
        rig.set ("ratio", 1.0f);
        rig.prepare();

        const auto output = rig.run (impulse (2048, 100));
        const auto gain = std::pow (10.0f, -2.0f / 20.0f);

        EXPECT_NEAR (output.right[100], gain, 1.0e-5f);
        EXPECT_NEAR (output.left[100 + c.delay], gain, 1.0e-5f) << c.sampleRate;

        double energyLeft = 0.0;
        for (auto sample : output.left)
            energyLeft += sample * sample;
        EXPECT_NEAR (energyLeft, gain * gain, 1.0e-5) << "the impulse appears once, unsmeared";
    }
}

TEST (PanStage, MovingToFullDepthGrowsTheDelayInWholeSampleSteps)
{
    AudioRig rig (48000.0, 64);
    rig.set ("ratio", 1.0f);
    rig.prepare();

    // Each input sample carries its own index, so every output sample names the input it
    // came from.
    const size_t length = 4096;
    Stereo input { Signal (length), Signal (length) };
    for (size_t i = 0; i < length; ++i)
        input.left[i] = input.right[i] = static_cast<float> (i) / 8192.0f;

    const auto before = rig.run ({ Signal (input.left.begin(), input.left.begin() + 1024),
                                   Signal (input.right.begin(), input.right.begin() + 1024) });
    rig.set ("pan", 1.0f);
    const auto after = rig.run ({ Signal (input.left.begin() + 1024, input.left.end()),
                                  Signal (input.right.begin() + 1024, input.right.end()) });

    const auto gain = std::pow (10.0f, -2.0f / 20.0f);
    int previousDelay = 0;

    for (size_t i = 0; i < after.left.size(); ++i)
    {
        const auto source = after.left[i] / gain * 8192.0f;
        const auto delay = static_cast<double> (1024 + i) - source;
        ASSERT_NEAR (delay, std::round (delay), 0.02) << "no interpolation at " << i;
        const auto whole = static_cast<int> (std::round (delay));
        ASSERT_GE (whole, previousDelay) << i;
        ASSERT_LE (whole - previousDelay, 1) << i;
        previousDelay = whole;
    }

    EXPECT_EQ (previousDelay, 86);
    EXPECT_NEAR (before.left.back(), 1023.0f / 8192.0f * gain, 1.0e-6f);
}

//==============================================================================
TEST (BassProtect, KeepsTheLowBandBalanceAndPansOnlyTheHighBand)
{
    AudioRig rig;
    rig.set ("pan", -1.0f);
    rig.set ("sideLowCutHz", 120.0f);
    rig.prepare();

    const auto length = rig.samplesFor (0.5);
    const auto settled = rig.samplesFor (0.2);

    // Well below the cutoff the right channel keeps its half level; well above it the
    // image goes hard left.
    auto low = rig.run ({ rig.sine (25.0, 0.5f, length), rig.sine (25.0, 0.25f, length) });
    const auto lowLeft = AudioRig::rms (low.left, settled, length);
    const auto lowRight = AudioRig::rms (low.right, settled, length);
    EXPECT_NEAR (lowRight / lowLeft, 0.5, 0.02);
    EXPECT_NEAR (lowLeft, 0.5 / std::sqrt (2.0), 0.02);

    auto high = rig.run ({ rig.sine (4000.0, 0.5f, length), rig.sine (4000.0, 0.25f, length) });
    const auto highLeft = AudioRig::rms (high.left, settled, length);
    const auto highRight = AudioRig::rms (high.right, settled, length);
    EXPECT_LT (highRight, 0.001 * highLeft);
    EXPECT_NEAR (highLeft, std::sqrt (2.0) * 0.5 / std::sqrt (2.0), 0.02);
}

TEST (BassProtect, MonoBassMakesTheLowBandIdenticalInBothChannelsWithinItsRamp)
{
    AudioRig rig (48000.0, 256);
    rig.set ("sideLowCutHz", 120.0f);
    rig.prepare();

    const auto length = rig.samplesFor (0.3);
    const Stereo input { rig.sine (20.0, 0.5f, length), Signal (length) };

    const auto stereo = rig.run (input);
    EXPECT_GT (AudioRig::rms (stereo.left, length / 2, length), 0.3);
    EXPECT_LT (AudioRig::rms (stereo.right, length / 2, length), 0.01);

    rig.set ("monoBass", 1.0f);
    const auto mono = rig.run (input);
    const auto rampDone = rig.samplesFor (0.03) + 256;
    float largestDifference = 0.0f;

    for (auto i = rampDone; i < length; ++i)
        largestDifference = std::max (largestDifference, std::abs (mono.left[i] - mono.right[i]));

    // What is left is the high band's share of a 20 Hz tone, about 60 dB down.
    EXPECT_LT (largestDifference, 0.005f);
    EXPECT_GT (AudioRig::rms (mono.right, rampDone, length), 0.15);
    EXPECT_GT (std::abs (mono.left[10] - mono.right[10]), 0.0f) << "the fold ramps in";
}

TEST (BassProtect, CutoffIsLimitedToTheCrossoversUsefulRange)
{
    const struct
    {
        float cutoff, sampleRate, expected;
    } cases[] = {
        { 120.0f, 48000.0f, 120.0f }, { 2000.0f, 48000.0f, 2000.0f }, { 2500.0f, 48000.0f, 2000.0f },
        { 2000.0f, 4000.0f, 1800.0f }, { 0.7f, 48000.0f, 1.0f },       { 0.0f, 48000.0f, 1.0f },
    };

    for (const auto& c : cases)
        EXPECT_FLOAT_EQ (AstrelAudioProcessor::limitCrossoverCutoff (c.cutoff, c.sampleRate), c.expected)
            << c.cutoff << " Hz at " << c.sampleRate;
}

TEST (BassProtect, ACutoffOfExactlyOneHalfLeavesItOff)
{
    AudioRig plain, halfHz;
    plain.set ("pan", 0.6f);
    halfHz.set ("pan", 0.6f);
    halfHz.set ("sideLowCutHz", 0.5f);
    halfHz.set ("monoBass", 1.0f);
    plain.prepare();
    halfHz.prepare();

    const auto length = plain.samplesFor (0.1);
    const Stereo input { plain.sine (50.0, 0.5f, length), plain.sine (3000.0, 0.3f, length) };
    const auto a = plain.run (input);
    const auto b = halfHz.run (input);

    for (size_t i = 0; i < length; ++i)
    {
        ASSERT_FLOAT_EQ (a.left[i], b.left[i]) << i;
        ASSERT_FLOAT_EQ (a.right[i], b.right[i]) << i;
    }
}

//==============================================================================
TEST (Spotlight, CoefficientsMatchTheReferenceTable)
{
    const struct
    {
        double sampleRate;
        float air, high;
    } cases[] = { { 44100.0, 0.188f, 0.0789f },
                  { 48000.0, 0.175f, 0.0730f },
                  { 96000.0, 0.0951f, 0.0378f },
                  // At 4 kHz the air corner drops to 0.45 x 4000 = 1800 Hz.
                  { 4000.0, 0.863f, 0.579f } };

    for (const auto& c : cases)
    {
        const auto [air, high] = AstrelAudioProcessor::computeSpotlightCoefficients (c.sampleRate);
        expectThreeDigits (air, c.air);
        expectThreeDigits (high, c.high);
    }
}

TEST (Spotlight, LiftsTheAirBandAndCutsTheFarChannelsHighs)
{
    const auto gainAt = [] (float spotlight, float pan, double frequency) {
        AudioRig rig;
        rig.set ("spotlight", spotlight);
        rig.set ("pan", pan);
        rig.set ("ratio", 1.0f); // equal levels in both channels, so only the spotlight differs
        rig.prepare();

        const auto length = rig.samplesFor (0.2);
        const auto output = rig.run ({ rig.sine (frequency, 0.1f, length), rig.sine (frequency, 0.1f, length) });
        const auto reference = 0.1 / std::sqrt (2.0) * std::pow (10.0, -2.0 / 20.0);
        return std::make_pair (AudioRig::rms (output.left, length / 2, length) / reference,
                               AudioRig::rms (output.right, length / 2, length) / reference);
    };

    const auto [offLeft, offRight] = gainAt (0.0f, 1.0f, 10000.0);
    EXPECT_NEAR (offLeft, 1.0, 0.01);
    EXPECT_NEAR (offRight, 1.0, 0.01);

    const auto [lowLeft, lowRight] = gainAt (100.0f, 0.0f, 100.0);
    EXPECT_NEAR (lowLeft, 1.0, 0.02);
    EXPECT_NEAR (lowRight, 1.0, 0.02);

    const auto [airLeft, airRight] = gainAt (100.0f, 0.0f, 15000.0);
    EXPECT_NEAR (juce::Decibels::gainToDecibels (airLeft), 7.0, 1.0);
    EXPECT_NEAR (airRight, airLeft, 1.0e-3);

    const auto [cutLeft, cutRight] = gainAt (100.0f, 1.0f, 15000.0);
    EXPECT_NEAR (cutRight, airRight, 0.01);
    // A one-pole split: the far channel's highs fall with frequency, well below the near one's.
    EXPECT_LT (juce::Decibels::gainToDecibels (cutLeft / cutRight), -20.0);
    std::cout << "spotlight at 15 kHz: air " << juce::Decibels::gainToDecibels (airLeft) << " dB, far channel "
              << juce::Decibels::gainToDecibels (cutLeft) << " dB\n";
}

//==============================================================================
TEST (BlockProcessing, MonoInputIsCopiedToBothChannelsThenPanned)
{
    AudioRig rig (48000.0, 512, true);
    rig.set ("pan", -0.5f);
    rig.prepare();
    ASSERT_EQ (rig.processor.getTotalNumInputChannels(), 1);

    const auto length = rig.samplesFor (0.05);
    // Only the first channel carries the mono input; the second holds whatever the host left.
    const auto output = rig.run ({ rig.sine (200.0, 0.5f, length), rig.sine (900.0, 0.9f, length) });
    const auto targets = AstrelAudioProcessor::computePanTargets (-0.5f, 0.0f);
    const auto input = rig.sine (200.0, 0.5f, length);

    for (size_t i = 0; i < length; ++i)
    {
        ASSERT_NEAR (output.left[i], input[i] * targets.gainLeft, 1.0e-5f) << i;
        ASSERT_NEAR (output.right[i], input[i] * targets.gainRight, 1.0e-5f) << i;
    }
}

TEST (BlockProcessing, GainTrimScalesTheOutput)
{
    AudioRig rig;
    rig.set ("gainTrimDb", -6.0f);
    rig.set ("pan", 0.0f);
    rig.prepare();

    const auto length = rig.samplesFor (0.05);
    const auto input = rig.sine (1000.0, 0.5f, length);
    const auto output = rig.run ({ input, input });
    const auto gain = std::pow (10.0f, -6.0f / 20.0f);

    for (auto i = rig.samplesFor (0.021); i < length; ++i)
        ASSERT_NEAR (output.left[i], input[i] * gain, 1.0e-5f) << i;
}

// A sine's largest step between two samples is 2 A sin (pi f / fs). No stage may add a
// discontinuity on top: every output step stays within three times that step scaled by the
// largest gain the chain can apply here (sqrt 2 for the pan), which a click of even a tenth
// of the amplitude exceeds several times over.
TEST (BlockProcessing, SwitchingAndJumpingWhilePlayingNeverClicks)
{
    struct Change
    {
        const char* parameter;
        float value;
    };

    const struct
    {
        const char* name;
        std::vector<Change> changes;
    } scenarios[] = {
        { "bass protect on and off", { { "sideLowCutHz", 120.0f }, { "sideLowCutHz", 0.0f }, { "sideLowCutHz", 300.0f } } },
        { "bypass on and off", { { "bypass", 1.0f }, { "bypass", 0.0f }, { "bypass", 1.0f } } },
        { "pan and depth jumps", { { "pan", 1.0f }, { "ratio", 1.0f }, { "pan", -1.0f }, { "ratio", 0.0f } } },
        { "mono bass", { { "sideLowCutHz", 150.0f }, { "monoBass", 1.0f }, { "monoBass", 0.0f } } },
        { "spotlight", { { "spotlight", 100.0f }, { "pan", 0.8f }, { "spotlight", 0.0f } } },
        { "bypass during bass protect fade", { { "sideLowCutHz", 200.0f }, { "bypass", 1.0f }, { "bypass", 0.0f } } },
    };

    const double frequency = 200.0;
    const float amplitude = 0.5f;

    for (const auto& scenario : scenarios)
    {
        SCOPED_TRACE (scenario.name);
        AudioRig rig (48000.0, 128);
        rig.set ("pan", 0.3f);
        rig.prepare();

        const auto bound = 3.0f * std::sqrt (2.0f) * 2.0f * amplitude
                           * static_cast<float> (std::sin (juce::MathConstants<double>::pi * frequency / rig.sampleRate));

        const auto segment = rig.samplesFor (0.1);
        const auto total = segment * (scenario.changes.size() + 1);
        const auto signal = rig.sine (frequency, amplitude, total);
        Signal left, right;

        for (size_t part = 0; part <= scenario.changes.size(); ++part)
        {
            if (part > 0)
                rig.set (scenario.changes[part - 1].parameter, scenario.changes[part - 1].value);

            const Signal piece (signal.begin() + (long) (part * segment), signal.begin() + (long) ((part + 1) * segment));
            const auto output = rig.run ({ piece, piece });
            left.insert (left.end(), output.left.begin(), output.left.end());
            right.insert (right.end(), output.right.begin(), output.right.end());
        }

        // The very first samples fade in from silence after the first prepare; skip them.
        EXPECT_LT (largestStep (left, 8), bound);
        EXPECT_LT (largestStep (right, 8), bound);
    }
}

TEST (BlockProcessing, NonFiniteInputNeverReachesTheOutputAndLeavesNoTrace)
{
    for (const auto poison : { std::numeric_limits<float>::quiet_NaN(),
                               std::numeric_limits<float>::infinity(),
                               -std::numeric_limits<float>::infinity(),
                               std::numeric_limits<float>::max() })
    {
        AudioRig rig;
        rig.set ("pan", 0.4f);
        rig.set ("ratio", 0.7f);
        rig.set ("sideLowCutHz", 150.0f);
        rig.set ("spotlight", 60.0f);
        rig.set ("gainTrimDb", 12.0f);
        rig.prepare();

        const auto length = rig.samplesFor (0.2);
        auto input = rig.sine (440.0, 0.5f, length);
        auto poisoned = input;
        for (size_t i = 1000; i < 1010; ++i)
            poisoned[i] = poison;

        // The same signal through a second, unpoisoned processor is the reference.
        AudioRig clean;
        clean.set ("pan", 0.4f);
        clean.set ("ratio", 0.7f);
        clean.set ("sideLowCutHz", 150.0f);
        clean.set ("spotlight", 60.0f);
        clean.set ("gainTrimDb", 12.0f);
        clean.prepare();

        const auto output = rig.run ({ poisoned, input });
        const auto reference = clean.run ({ input, input });

        for (size_t i = 0; i < length; ++i)
        {
            ASSERT_TRUE (std::isfinite (output.left[i]) && std::isfinite (output.right[i])) << i;
            if (! std::isfinite (poison))
            {
                ASSERT_LE (std::abs (output.left[i]), 8.0f) << i;
            }
        }

        // A while after the bad block the output is the normal one again.
        const auto recovered = rig.samplesFor (0.15);
        EXPECT_LT (largestStep (output.left, recovered), 0.2f);
        EXPECT_NEAR (AudioRig::rms (output.left, recovered, length), AudioRig::rms (reference.left, recovered, length), 1.0e-3);
        EXPECT_NEAR (AudioRig::rms (output.right, recovered, length), AudioRig::rms (reference.right, recovered, length), 1.0e-3);

        const auto frame = rig.processor.drainMeteringFrame();
        ASSERT_TRUE (frame.has_value());
        EXPECT_TRUE (std::isfinite (frame->midRms) && std::isfinite (frame->sideRms) && std::isfinite (frame->chaos));
    }
}

TEST (BlockProcessing, UnsupportedChannelCountsGiveSilenceAndZeroMetering)
{
    AudioRig rig;
    rig.prepare();
    rig.processor.drainMeteringFrame();

    juce::AudioBuffer<float> single (1, 256);
    single.clear();
    single.setSample (0, 10, 0.8f);
    juce::MidiBuffer midi;
    rig.processor.processBlock (single, midi);

    EXPECT_EQ (single.getMagnitude (0, 256), 0.0f);
    const auto frame = rig.processor.drainMeteringFrame();
    ASSERT_TRUE (frame.has_value());
    EXPECT_EQ (frame->peakLeft, 0.0f);
    EXPECT_FALSE (frame->correlationValid);

    juce::AudioBuffer<float> empty (2, 0);
    rig.processor.processBlock (empty, midi);
    EXPECT_FALSE (rig.processor.drainMeteringFrame().has_value()) << "an empty block leaves no record";
}
