#include "PluginProcessor.h"

#include <gtest/gtest.h>

namespace
{
    using Set = juce::AudioChannelSet;

    struct LayoutCase
    {
        Set input, output;
        bool supported;
    };

    juce::AudioProcessor::BusesLayout makeLayout (const Set& input, const Set& output)
    {
        juce::AudioProcessor::BusesLayout layout;
        layout.inputBuses.add (input);
        layout.outputBuses.add (output);
        return layout;
    }

    void PrintTo (const LayoutCase& c, std::ostream* os)
    {
        *os << c.input.getDescription() << " -> " << c.output.getDescription();
    }
} // namespace

class BusLayouts : public testing::TestWithParam<LayoutCase>
{
};

TEST_P (BusLayouts, AcceptOnlyMonoOrStereoIntoStereo)
{
    AstrelAudioProcessor processor;
    const auto& c = GetParam();
    EXPECT_EQ (processor.isBusesLayoutSupported (makeLayout (c.input, c.output)), c.supported)
        << c.input.getDescription() << " -> " << c.output.getDescription();
}

INSTANTIATE_TEST_SUITE_P (Layouts,
                          BusLayouts,
                          testing::Values (LayoutCase { Set::mono(), Set::stereo(), true },
                                           LayoutCase { Set::stereo(), Set::stereo(), true },
                                           LayoutCase { Set::disabled(), Set::stereo(), false },
                                           LayoutCase { Set::createLCR(), Set::stereo(), false },
                                           LayoutCase { Set::stereo(), Set::mono(), false },
                                           LayoutCase { Set::mono(), Set::mono(), false },
                                           LayoutCase { Set::stereo(), Set::create5point1(), false }));

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
