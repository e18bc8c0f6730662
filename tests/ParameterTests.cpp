#include "PluginProcessor.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{
    struct ExpectedParameter
    {
        const char* id;
        const char* name;
        bool isBoolean;
        float start, end, interval, skew, defaultValue;
        const char* label;
    };

    const ExpectedParameter expectedParameters[] = {
        { "pan", "Pan", false, -1.0f, 1.0f, 0.001f, 1.0f, 0.0f, "" },
        { "ratio", "Depth", false, 0.0f, 1.0f, 0.001f, 1.0f, 0.0f, "" },
        { "sideLowCutHz", "Bass Protect", false, 0.0f, 2000.0f, 0.1f, 0.5f, 0.0f, "Hz" },
        { "monoBass", "Mono Bass", true, 0.0f, 1.0f, 1.0f, 1.0f, 0.0f, "" },
        { "spotlight", "Spotlight", false, 0.0f, 100.0f, 0.1f, 1.0f, 0.0f, "%" },
        { "gainTrimDb", "Gain Trim", false, -12.0f, 12.0f, 0.1f, 1.0f, 0.0f, "dB" },
        { "bypass", "Bypass", true, 0.0f, 1.0f, 1.0f, 1.0f, 0.0f, "" },
    };

    juce::RangedAudioParameter& parameterFor (AstrelAudioProcessor& processor, const juce::String& id)
    {
        auto* parameter = processor.getValueTreeState().getParameter (id);
        EXPECT_NE (parameter, nullptr) << id;
        return *parameter;
    }

    /** What a host shows for a plain value: the text the parameter gives for its normalised form. */
    juce::String textForPlainValue (juce::RangedAudioParameter& parameter, float plain)
    {
        return parameter.getText (parameter.convertTo0to1 (plain), 0);
    }

    float plainValueForText (juce::RangedAudioParameter& parameter, const juce::String& text)
    {
        return parameter.convertFrom0to1 (parameter.getValueForText (text));
    }
} // namespace

TEST (ParameterSet, HasTheSevenParametersInOrderWithTheirRangesAndDefaults)
{
    AstrelAudioProcessor processor;
    const auto& all = processor.getParameters();
    ASSERT_EQ (all.size(), 7);

    for (int i = 0; i < 7; ++i)
    {
        const auto& expected = expectedParameters[i];
        SCOPED_TRACE (expected.id);

        auto* parameter = dynamic_cast<juce::RangedAudioParameter*> (all[i]);
        ASSERT_NE (parameter, nullptr);
        EXPECT_EQ (parameter->getParameterID(), expected.id);
        EXPECT_EQ (parameter->getName (100), expected.name);
        EXPECT_EQ (parameter->getLabel(), expected.label);
        EXPECT_EQ (parameter->getVersionHint(), 1);
        EXPECT_EQ (dynamic_cast<juce::AudioParameterBool*> (parameter) != nullptr, expected.isBoolean);
        EXPECT_EQ (dynamic_cast<juce::AudioParameterFloat*> (parameter) != nullptr, ! expected.isBoolean);

        const auto& range = parameter->getNormalisableRange();
        EXPECT_FLOAT_EQ (range.start, expected.start);
        EXPECT_FLOAT_EQ (range.end, expected.end);
        EXPECT_FLOAT_EQ (range.interval, expected.interval);
        EXPECT_FLOAT_EQ (range.skew, expected.skew);
        EXPECT_FLOAT_EQ (range.convertFrom0to1 (parameter->getDefaultValue()), expected.defaultValue);
        EXPECT_FLOAT_EQ (processor.getPlainValue (expected.id), expected.defaultValue);
    }
}

TEST (ParameterSet, TheBypassParameterIsAnOrdinaryParameter)
{
    AstrelAudioProcessor processor;
    EXPECT_EQ (processor.getBypassParameter(), nullptr);
}

struct TextCase
{
    const char* id;
    float plain;
    const char* text;
};

void PrintTo (const TextCase& c, std::ostream* os)
{
    *os << c.id << " " << c.plain << " \"" << c.text << "\"";
}

class ParameterValueToText : public testing::TestWithParam<TextCase>
{
};

TEST_P (ParameterValueToText, ShowsTheExpectedText)
{
    AstrelAudioProcessor processor;
    const auto& c = GetParam();
    EXPECT_EQ (textForPlainValue (parameterFor (processor, c.id), c.plain), juce::String::fromUTF8 (c.text));
}

INSTANTIATE_TEST_SUITE_P (AllParameters,
                          ParameterValueToText,
                          testing::Values (TextCase { "pan", 0.0f, "C" },
                                           TextCase { "pan", 0.0004f, "C" },
                                           TextCase { "pan", 0.004f, "R 0%" },
                                           TextCase { "pan", -0.5f, "L 50%" },
                                           TextCase { "pan", 0.376f, "R 38%" },
                                           TextCase { "pan", -0.37f, "L 37%" },
                                           TextCase { "pan", 1.0f, "R 100%" },
                                           TextCase { "ratio", 0.0f, "0%" },
                                           TextCase { "ratio", 0.756f, "76%" },
                                           TextCase { "ratio", 1.0f, "100%" },
                                           TextCase { "sideLowCutHz", 0.0f, "OFF" },
                                           TextCase { "sideLowCutHz", 0.4f, "OFF" },
                                           TextCase { "sideLowCutHz", 0.5f, "1 Hz" },
                                           TextCase { "sideLowCutHz", 120.0f, "120 Hz" },
                                           TextCase { "sideLowCutHz", 2000.0f, "2000 Hz" },
                                           TextCase { "spotlight", 0.0f, "0%" },
                                           TextCase { "spotlight", 49.6f, "50%" },
                                           TextCase { "gainTrimDb", -0.04f, "0.0 dB" },
                                           TextCase { "gainTrimDb", 0.0f, "0.0 dB" },
                                           TextCase { "gainTrimDb", -3.5f, "-3.5 dB" },
                                           TextCase { "gainTrimDb", 3.5f, "3.5 dB" },
                                           TextCase { "gainTrimDb", 12.0f, "12.0 dB" }));

class ParameterTextToValue : public testing::TestWithParam<TextCase>
{
};

TEST_P (ParameterTextToValue, ReadsTheExpectedValue)
{
    AstrelAudioProcessor processor;
    const auto& c = GetParam();
    const auto value = plainValueForText (parameterFor (processor, c.id), juce::String::fromUTF8 (c.text));
    EXPECT_TRUE (std::isfinite (value));
    EXPECT_NEAR (value, c.plain, 1.0e-4f);
}

INSTANTIATE_TEST_SUITE_P (TypedValues,
                          ParameterTextToValue,
                          testing::Values (TextCase { "pan", -0.3f, "l 30" },
                                           TextCase { "pan", 1.0f, "R 150" },
                                           TextCase { "pan", 0.3f, "30" },
                                           TextCase { "pan", -0.25f, "-0.25" },
                                           TextCase { "pan", 0.0f, "centre" },
                                           TextCase { "pan", 0.0f, " Center " },
                                           TextCase { "pan", 0.0f, "c" },
                                           TextCase { "pan", 0.3f, "R -30%" },
                                           TextCase { "pan", -0.4f, "LR 40" },
                                           TextCase { "pan", 0.25f, "0,25" },
                                           TextCase { "ratio", 0.75f, "75" },
                                           TextCase { "ratio", 0.4f, "0.4" },
                                           TextCase { "ratio", 0.0f, "-50" },
                                           TextCase { "ratio", 1.0f, "250%" },
                                           TextCase { "sideLowCutHz", 0.0f, "off" },
                                           TextCase { "sideLowCutHz", 80.0f, "80" },
                                           TextCase { "sideLowCutHz", 2000.0f, "2500" },
                                           TextCase { "sideLowCutHz", 120.0f, "120 Hz" },
                                           TextCase { "spotlight", 50.0f, "50 %" },
                                           TextCase { "spotlight", 100.0f, "180" },
                                           TextCase { "spotlight", 0.5f, "0.5" },
                                           TextCase { "gainTrimDb", -3.5f, "-3,5 dB" },
                                           TextCase { "gainTrimDb", 12.0f, "40" },
                                           TextCase { "gainTrimDb", -12.0f, "-40" }));

// Whatever is typed, the result is the value the text rules give and never a crash or NaN.
INSTANTIATE_TEST_SUITE_P (GarbageTyped,
                          ParameterTextToValue,
                          testing::Values (TextCase { "pan", 0.0f, "" },
                                           TextCase { "pan", 0.0f, "abc" },
                                           TextCase { "pan", 0.0f, "nan" },
                                           TextCase { "pan", -0.0f, "L" },
                                           TextCase { "pan", 1.0f, "1e999" },
                                           TextCase { "pan", -1.0f, "-999999999999999999999999999999999999999999" },
                                           TextCase { "pan", 0.0f, "--..--" },
                                           TextCase { "ratio", 0.0f, "inf" },
                                           TextCase { "ratio", 0.0f, "\xe2\x88\x9e" },
                                           TextCase { "ratio", 0.0f, "-" },
                                           TextCase { "sideLowCutHz", 0.0f, "OFFF" },
                                           TextCase { "sideLowCutHz", 1999.0f, "1e999" },
                                           TextCase { "sideLowCutHz", 0.0f, "-5" },
                                           TextCase { "spotlight", 0.0f, "%%%" },
                                           TextCase { "spotlight", 100.0f, "9999999999999999999999999999999999999999" },
                                           TextCase { "gainTrimDb", 0.0f, "loud" },
                                           TextCase { "gainTrimDb", 1.5f, "1.5.5" }));

TEST (ParameterSet, BooleanParametersUseTheFrameworkTexts)
{
    AstrelAudioProcessor processor;

    for (const auto* id : { "monoBass", "bypass" })
    {
        auto& parameter = parameterFor (processor, id);
        EXPECT_EQ (parameter.getText (0.0f, 10), "Off") << id;
        EXPECT_EQ (parameter.getText (1.0f, 10), "On") << id;
        EXPECT_FLOAT_EQ (parameter.getValueForText ("on"), 1.0f) << id;
        EXPECT_FLOAT_EQ (parameter.getValueForText ("garbage"), 0.0f) << id;
    }
}
