// Loads the built plug-in binaries the way a host does, through JUCE's hosting classes.

#include <gtest/gtest.h>
#include <juce_audio_processors/juce_audio_processors.h>

namespace
{
    const char* const lv2Uri = "https://orlimund.audio/plugins/astrel";

    struct ExpectedHostedParameter
    {
        const char* name;
        juce::NormalisableRange<float> range;
        float defaultValue;
        float probeValue;
        const char* probeText;
    };

    const ExpectedHostedParameter expectedParameters[] = {
        { "Pan", { -1.0f, 1.0f, 0.001f }, 0.0f, -0.5f, "L 50%" },
        { "Depth", { 0.0f, 1.0f, 0.001f }, 0.0f, 0.75f, "75%" },
        { "Bass Protect", { 0.0f, 2000.0f, 0.1f, 0.5f }, 0.0f, 120.0f, "120 Hz" },
        { "Mono Bass", { 0.0f, 1.0f, 1.0f }, 0.0f, 1.0f, "On" },
        { "Spotlight", { 0.0f, 100.0f, 0.1f }, 0.0f, 40.0f, "40%" },
        { "Gain Trim", { -12.0f, 12.0f, 0.1f }, 0.0f, -3.5f, "-3.5 dB" },
        { "Bypass", { 0.0f, 1.0f, 1.0f }, 0.0f, 0.0f, "Off" },
    };

    juce::File vst3Bundle()
    {
        // The binary sits in Astrel.vst3/Contents/<architecture>/.
        return juce::File (ASTREL_VST3_BINARY).getParentDirectory().getParentDirectory().getParentDirectory();
    }

    std::unique_ptr<juce::AudioPluginInstance> createInstance (juce::AudioPluginFormat& format,
                                                               const juce::String& fileOrIdentifier)
    {
        juce::OwnedArray<juce::PluginDescription> types;
        format.findAllTypesForFile (types, fileOrIdentifier);

        if (types.size() != 1)
        {
            ADD_FAILURE() << "expected one plug-in in " << fileOrIdentifier << ", found " << types.size();
            return {};
        }

        EXPECT_EQ (types[0]->name, "Astrel");
        EXPECT_FALSE (types[0]->isInstrument);

        juce::String error;
        auto instance = format.createInstanceFromDescription (*types[0], 48000.0, 512, error);
        EXPECT_NE (instance, nullptr) << error;
        return instance;
    }

    /** Finds the instance id in a state chunk, looking inside the base64 blobs that hosting
        wrappers put the plug-in's own chunk into. */
    juce::String findAttribute (const juce::MemoryBlock& block, const std::string& name, int depth = 0)
    {
        const std::string bytes (static_cast<const char*> (block.getData()), block.getSize());
        const std::string key = name + "=\"";

        if (const auto position = bytes.find (key); position != std::string::npos)
        {
            const auto start = position + key.size();
            return juce::String (bytes.substr (start, bytes.find ('"', start) - start));
        }

        if (depth >= 3)
            return {};

        // JUCE writes base64 as "<size>.<characters>" with its own alphabet.
        const std::string alphabet = ".ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+";
        const auto isDigit = [] (char c) { return c >= '0' && c <= '9'; };

        for (size_t i = 0; i < bytes.size(); ++i)
        {
            if (! isDigit (bytes[i]) || (i > 0 && isDigit (bytes[i - 1])))
                continue;

            auto dot = i;
            while (dot < bytes.size() && isDigit (bytes[dot]))
                ++dot;

            if (dot >= bytes.size() || bytes[dot] != '.')
                continue;

            auto end = dot + 1;
            while (end < bytes.size() && alphabet.find (bytes[end]) != std::string::npos)
                ++end;

            if (end - dot < 16)
                continue;

            juce::MemoryBlock decoded;

            if (decoded.fromBase64Encoding (juce::String (bytes.substr (i, end - i))))
                if (auto value = findAttribute (decoded, name, depth + 1); value.isNotEmpty())
                    return value;

            i = end;
        }

        return {};
    }

    juce::String findSavedPluginID (const juce::MemoryBlock& block)
    {
        return findAttribute (block, "savedPluginID");
    }

    juce::String savedPluginID (juce::AudioPluginInstance& instance)
    {
        juce::MemoryBlock state;
        instance.getStateInformation (state);
        return findSavedPluginID (state);
    }

    /** A VST3 host sees the seven parameters first, in order, with the plug-in's own ranges
        and texts; the wrapper adds its own bypass after them. */
    void expectTheSevenVst3Parameters (juce::AudioPluginInstance& instance)
    {
        const auto& parameters = instance.getParameters();
        ASSERT_GE (parameters.size(), 7);

        for (int i = 0; i < 7; ++i)
        {
            const auto& expected = expectedParameters[i];
            auto* parameter = parameters[i];
            SCOPED_TRACE (expected.name);
            EXPECT_EQ (parameter->getName (100), expected.name);
            EXPECT_TRUE (parameter->isAutomatable());
            EXPECT_NEAR (parameter->getDefaultValue(), expected.range.convertTo0to1 (expected.defaultValue), 1.0e-4f);

            const auto probe = expected.range.convertTo0to1 (expected.probeValue);
            EXPECT_EQ (parameter->getText (probe, 100), expected.probeText);
            EXPECT_NEAR (parameter->getValueForText (expected.probeText), probe, 1.0e-3f);
        }
    }

    /** An LV2 host knows plain ranges without skew and shows plain numbers for float
        parameters; JUCE's LV2 hosting lists them in its own order. */
    void expectTheSevenLv2Parameters (juce::AudioPluginInstance& instance)
    {
        const auto& parameters = instance.getParameters();

        for (const auto& expected : expectedParameters)
        {
            SCOPED_TRACE (expected.name);

            auto* parameter = [&]() -> juce::AudioProcessorParameter* {
                for (auto* candidate : parameters)
                    if (candidate->getName (100) == expected.name)
                        return candidate;

                return nullptr;
            }();

            ASSERT_NE (parameter, nullptr);

            const auto minimum = expected.range.start;
            const auto span = expected.range.end - expected.range.start;
            EXPECT_NEAR (parameter->getDefaultValue(), (expected.defaultValue - minimum) / span, 1.0e-4f);

            if (parameter->isBoolean())
                continue;

            EXPECT_NEAR (parameter->getText (0.25f, 100).getFloatValue(), minimum + 0.25f * span, 1.0e-3f * span);
        }
    }

    void expectAudioPasses (juce::AudioPluginInstance& instance)
    {
        instance.enableAllBuses();
        instance.prepareToPlay (48000.0, 512);

        juce::AudioBuffer<float> buffer (2, 512);
        juce::MidiBuffer midi;

        for (int block = 0; block < 8; ++block)
        {
            for (int i = 0; i < buffer.getNumSamples(); ++i)
            {
                const auto value = 0.25f * std::sin (0.05f * static_cast<float> (block * 512 + i));
                buffer.setSample (0, i, value);
                buffer.setSample (1, i, -value);
            }

            instance.processBlock (buffer, midi);
        }

        // At the default position (centre, depth 0, everything off) the output is the input.
        for (int i = 0; i < buffer.getNumSamples(); ++i)
        {
            const auto value = 0.25f * std::sin (0.05f * static_cast<float> (7 * 512 + i));
            ASSERT_NEAR (buffer.getSample (0, i), value, 1.0e-5f) << i;
            ASSERT_NEAR (buffer.getSample (1, i), -value, 1.0e-5f) << i;
        }

        instance.releaseResources();
    }

    /** Two instances of one plug-in in this process: each loads, the first processes audio,
        and they hold different ids. */
    void expectTwoWorkingInstances (juce::AudioPluginFormat& format,
                                    const juce::String& fileOrIdentifier,
                                    void (*expectParameters) (juce::AudioPluginInstance&))
    {
        auto first = createInstance (format, fileOrIdentifier);
        auto second = createInstance (format, fileOrIdentifier);
        ASSERT_NE (first, nullptr);
        ASSERT_NE (second, nullptr);

        expectParameters (*first);
        expectAudioPasses (*first);

        const auto firstID = savedPluginID (*first);
        const auto secondID = savedPluginID (*second);
        EXPECT_EQ (firstID.length(), 32) << firstID;
        EXPECT_EQ (secondID.length(), 32) << secondID;
        EXPECT_NE (firstID, secondID);
    }
} // namespace

TEST (HostedVST3, LoadsTwoInstancesWithTheSevenParametersAndProcessesAudio)
{
    juce::VST3PluginFormat format;
    const auto bundle = vst3Bundle();
    ASSERT_TRUE (bundle.isDirectory()) << bundle.getFullPathName();
    expectTwoWorkingInstances (format, bundle.getFullPathName(), expectTheSevenVst3Parameters);
}

TEST (HostedLV2, LoadsTwoInstancesWithTheSevenParametersAndProcessesAudio)
{
    juce::LV2PluginFormat format;
    const juce::File bundle (ASTREL_LV2_BUNDLE);
    ASSERT_TRUE (bundle.getChildFile ("manifest.ttl").existsAsFile()) << bundle.getFullPathName();
    format.searchPathsForPlugins (juce::FileSearchPath (bundle.getParentDirectory().getFullPathName()), false, false);
    expectTwoWorkingInstances (format, lv2Uri, expectTheSevenLv2Parameters);
}

TEST (HostedVST3, StateSavedFromOneInstanceRestoresIdentityNameAndParametersIntoAFreshOne)
{
    juce::VST3PluginFormat format;
    const auto bundle = vst3Bundle().getFullPathName();
    juce::MemoryBlock state;
    juce::String savedID;
    std::vector<float> savedValues;

    {
        auto original = createInstance (format, bundle);
        ASSERT_NE (original, nullptr);
        const auto& parameters = original->getParameters();
        const float values[] = { 0.2f, 0.6f, 0.35f, 1.0f, 0.4f, 0.7f, 0.0f };

        for (int i = 0; i < 7; ++i)
            parameters[i]->setValueNotifyingHost (values[i]);

        for (int i = 0; i < 7; ++i)
            savedValues.push_back (parameters[i]->getValue());

        original->getStateInformation (state);
        savedID = findSavedPluginID (state);
        ASSERT_EQ (savedID.length(), 32);
    }

    // With the first instance gone its id is free again, so the fresh one takes it back.
    auto restored = createInstance (format, bundle);
    ASSERT_NE (restored, nullptr);
    restored->setStateInformation (state.getData(), static_cast<int> (state.getSize()));

    juce::MemoryBlock again;
    restored->getStateInformation (again);
    EXPECT_EQ (findSavedPluginID (again), savedID);
    EXPECT_EQ (findAttribute (again, "savedTrackName"), "Track");

    for (int i = 0; i < 7; ++i)
        EXPECT_NEAR (restored->getParameters()[i]->getValue(), savedValues[(size_t) i], 1.0e-4f) << i;
}
