#include "PluginProcessor.h"

#include <gtest/gtest.h>

namespace
{
    using Set = juce::AudioChannelSet;

    // Channel sets are built inside the test: gtest keeps its parameters until after JUCE's
    // leak detector has counted them.
    enum class Channels
    {
        disabled,
        mono,
        stereo,
        lcr,
        fivePointOne
    };

    Set setFor (Channels channels)
    {
        switch (channels)
        {
            case Channels::disabled: return Set::disabled();
            case Channels::mono: return Set::mono();
            case Channels::stereo: return Set::stereo();
            case Channels::lcr: return Set::createLCR();
            case Channels::fivePointOne: return Set::create5point1();
        }

        return {};
    }

    struct LayoutCase
    {
        Channels input, output;
        bool supported;
    };

    juce::AudioProcessor::BusesLayout makeLayout (Channels input, Channels output)
    {
        juce::AudioProcessor::BusesLayout layout;
        layout.inputBuses.add (setFor (input));
        layout.outputBuses.add (setFor (output));
        return layout;
    }

    void PrintTo (const LayoutCase& c, std::ostream* os)
    {
        *os << setFor (c.input).getDescription() << " -> " << setFor (c.output).getDescription();
    }
} // namespace

class BusLayouts : public testing::TestWithParam<LayoutCase>
{
};

TEST_P (BusLayouts, AcceptOnlyMonoOrStereoIntoStereo)
{
    AstrelAudioProcessor processor;
    const auto& c = GetParam();
    EXPECT_EQ (processor.isBusesLayoutSupported (makeLayout (c.input, c.output)), c.supported);
}

INSTANTIATE_TEST_SUITE_P (Layouts,
                          BusLayouts,
                          testing::Values (LayoutCase { Channels::mono, Channels::stereo, true },
                                           LayoutCase { Channels::stereo, Channels::stereo, true },
                                           LayoutCase { Channels::disabled, Channels::stereo, false },
                                           LayoutCase { Channels::lcr, Channels::stereo, false },
                                           LayoutCase { Channels::stereo, Channels::mono, false },
                                           LayoutCase { Channels::mono, Channels::mono, false },
                                           LayoutCase { Channels::stereo, Channels::fivePointOne, false }));

TEST (ProcessorAnswers, HostFacingAnswersAreFixed)
{
    AstrelAudioProcessor processor;
    EXPECT_EQ (processor.getName(), "Astrel");
    EXPECT_EQ (processor.getTailLengthSeconds(), 0.0);
    EXPECT_FALSE (processor.acceptsMidi());
    EXPECT_FALSE (processor.producesMidi());
    EXPECT_FALSE (processor.isMidiEffect());
    EXPECT_TRUE (processor.hasEditor());
    EXPECT_EQ (processor.getNumPrograms(), 1);
    EXPECT_EQ (processor.getCurrentProgram(), 0);
    processor.setCurrentProgram (3);
    processor.changeProgramName (0, "Renamed");
    EXPECT_EQ (processor.getCurrentProgram(), 0);
    EXPECT_EQ (processor.getProgramName (0), "");

    const auto layout = processor.getBusesLayout();
    EXPECT_EQ (layout.getMainInputChannelSet(), Set::stereo());
    EXPECT_EQ (layout.getMainOutputChannelSet(), Set::stereo());
    EXPECT_EQ (processor.getBus (true, 0)->getName(), "Input");
    EXPECT_EQ (processor.getBus (false, 0)->getName(), "Output");
}

TEST (ProcessorAnswers, TrackNamesFromTheHostAreCleanedAndIgnoredWhenBlank)
{
    AstrelAudioProcessor processor;
    EXPECT_EQ (processor.getTrackName(), "Track");

    juce::AudioProcessor::TrackProperties properties;
    properties.name = "   ";
    processor.updateTrackProperties (properties);
    EXPECT_EQ (processor.getTrackName(), "Track");

    properties.name = "  Lead Vocal ";
    processor.updateTrackProperties (properties);
    EXPECT_EQ (processor.getTrackName(), "Lead Vocal");

    properties.name = juce::String::repeatedString ("x", 100);
    processor.updateTrackProperties (properties);
    EXPECT_EQ (processor.getTrackName(), juce::String::repeatedString ("x", 64));
}

TEST (ProcessorAnswers, SanitisedTrackNames)
{
    EXPECT_EQ (AstrelAudioProcessor::sanitiseTrackName (""), "Track");
    EXPECT_EQ (AstrelAudioProcessor::sanitiseTrackName (" \t "), "Track");
    EXPECT_EQ (AstrelAudioProcessor::sanitiseTrackName (" Bass "), "Bass");
    EXPECT_EQ (AstrelAudioProcessor::sanitiseTrackName (juce::String::repeatedString ("ab", 40)).length(), 64);
}

TEST (ProcessorParameters, SetParameterPlainValueClampsAndIgnoresUnknownIDs)
{
    AstrelAudioProcessor processor;

    processor.setParameterPlainValue ("pan", 5.0f);
    EXPECT_FLOAT_EQ (processor.getPlainValue ("pan"), 1.0f);

    processor.setParameterPlainValue ("sideLowCutHz", 120.0f);
    EXPECT_NEAR (processor.getPlainValue ("sideLowCutHz"), 120.0f, 0.05f);

    processor.setParameterPlainValue ("gainTrimDb", -40.0f);
    EXPECT_FLOAT_EQ (processor.getPlainValue ("gainTrimDb"), -12.0f);

    processor.setParameterPlainValue ("noSuchParameter", 1.0f);
    EXPECT_FLOAT_EQ (processor.getPlainValue ("noSuchParameter"), 0.0f);
}
