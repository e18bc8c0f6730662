#include "PluginProcessor.h"

#include <gtest/gtest.h>

namespace
{
    juce::MemoryBlock stateOf (AstrelAudioProcessor& processor)
    {
        juce::MemoryBlock chunk;
        processor.getStateInformation (chunk);
        return chunk;
    }

    void restore (AstrelAudioProcessor& processor, const juce::MemoryBlock& chunk)
    {
        processor.setStateInformation (chunk.getData(), static_cast<int> (chunk.getSize()));
    }

    /** A chunk in the framework's layout around the given text, with the length it states. */
    juce::MemoryBlock chunkAround (const juce::String& text, std::optional<std::uint32_t> statedLength = {})
    {
        juce::MemoryBlock chunk;
        juce::MemoryOutputStream out (chunk, false);
        out.writeInt (0x21324356);
        out.writeInt (static_cast<int> (statedLength.value_or ((std::uint32_t) text.getNumBytesAsUTF8())));
        out << text;
        out.writeByte (0);
        return chunk;
    }

    juce::String parametersXml (const juce::String& attributes, const juce::String& children = {}, const juce::String& tag = "PARAMETERS")
    {
        return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<" + tag + " " + attributes + ">" + children + "</" + tag + ">";
    }

    /** Everything a chunk can change, to compare before and after. */
    struct Snapshot
    {
        explicit Snapshot (AstrelAudioProcessor& processor)
            : id (processor.getPluginID()),
              name (processor.getTrackName()),
              manual (processor.wasTrackNameSetManually()),
              slotsRevision (processor.getSharedStatusManager().getWholefieldSlotsRevision())
        {
            for (const auto* parameter : { "pan", "ratio", "sideLowCutHz", "monoBass", "spotlight", "gainTrimDb", "bypass" })
                values.push_back (processor.getPlainValue (parameter));
        }

        bool operator== (const Snapshot& other) const
        {
            return id == other.id && name == other.name && manual == other.manual && slotsRevision == other.slotsRevision
                   && values == other.values;
        }

        juce::String id, name;
        bool manual;
        int slotsRevision;
        std::vector<float> values;
    };

    /** A processor with values of its own that a bad chunk must not disturb. */
    void giveItValues (AstrelAudioProcessor& processor)
    {
        processor.setParameterPlainValue ("pan", 0.3f);
        processor.setParameterPlainValue ("spotlight", 25.0f);
        processor.setParameterPlainValue ("bypass", 1.0f);

        AstrelCommand rename;
        rename.trackName = juce::String ("Original");
        rename.targetPluginID = processor.getPluginID();
        rename.sequence = 1;
        processor.runTick (1.0);
        processor.getSharedStatusManager().dispatchCommand (rename);
        processor.runTick (2.0);
    }
} // namespace

TEST (StateChunk, IsTheFrameworksXmlChunkWithIdentityAndSlots)
{
    AstrelAudioProcessor processor;
    processor.setParameterPlainValue ("ratio", 0.5f);
    const auto chunk = stateOf (processor);
    const auto* bytes = static_cast<const unsigned char*> (chunk.getData());

    ASSERT_GT (chunk.getSize(), 9u);
    EXPECT_EQ (std::string (reinterpret_cast<const char*> (bytes), 4), "VC2!");
    const auto length = juce::ByteOrder::littleEndianInt (bytes + 4);
    EXPECT_EQ (length, chunk.getSize() - 9);
    EXPECT_EQ (bytes[chunk.getSize() - 1], 0);

    const auto text = juce::String::fromUTF8 (reinterpret_cast<const char*> (bytes + 8), (int) length);
    EXPECT_TRUE (text.startsWith ("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n")) << text.substring (0, 60);

    const auto xml = juce::parseXML (text);
    ASSERT_NE (xml, nullptr);
    EXPECT_EQ (xml->getTagName(), "PARAMETERS");
    EXPECT_EQ (xml->getStringAttribute ("savedPluginID"), processor.getPluginID());
    EXPECT_EQ (xml->getStringAttribute ("savedTrackName"), "Track");
    EXPECT_EQ (xml->getStringAttribute ("trackNameWasSetManually"), "0");
    EXPECT_EQ (SharedStatusManager::deserialiseWholefieldSlotsState (xml->getStringAttribute ("wholefieldSlotsJson")).revision, 0);
    EXPECT_TRUE (xml->getStringAttribute ("wholefieldSlotsJson").contains ("\"version\": 3"));

    std::map<juce::String, double> values;
    for (auto* param : xml->getChildWithTagNameIterator ("PARAM"))
        values[param->getStringAttribute ("id")] = param->getDoubleAttribute ("value");

    EXPECT_EQ (values.size(), 7u);
    EXPECT_DOUBLE_EQ (values["ratio"], 0.5) << "plain values, not normalised";
    EXPECT_DOUBLE_EQ (values["gainTrimDb"], 0.0);
}

TEST (StateChunk, SaveAndRestoreKeepsParametersIdentityAndName)
{
    juce::MemoryBlock chunk;
    juce::String savedID;

    {
        AstrelAudioProcessor original;
        giveItValues (original);
        original.setParameterPlainValue ("sideLowCutHz", 180.0f);
        original.setParameterPlainValue ("gainTrimDb", -7.5f);
        savedID = original.getPluginID();
        chunk = stateOf (original);
    }

    AstrelAudioProcessor restored;
    restore (restored, chunk);

    EXPECT_EQ (restored.getPluginID(), savedID);
    EXPECT_EQ (restored.getTrackName(), "Original");
    EXPECT_TRUE (restored.wasTrackNameSetManually());
    EXPECT_NEAR (restored.getPlainValue ("pan"), 0.3f, 1.0e-6f);
    EXPECT_NEAR (restored.getPlainValue ("sideLowCutHz"), 180.0f, 0.05f);
    EXPECT_NEAR (restored.getPlainValue ("spotlight"), 25.0f, 1.0e-4f);
    EXPECT_NEAR (restored.getPlainValue ("gainTrimDb"), -7.5f, 1.0e-4f);
    EXPECT_EQ (restored.getPlainValue ("bypass"), 1.0f);

    // The restored values reach the audio path: bypassed, the output is the input.
    restored.prepareToPlay (48000.0, 64);
    juce::AudioBuffer<float> buffer (2, 64);
    for (int i = 0; i < 64; ++i)
    {
        buffer.setSample (0, i, 0.01f * static_cast<float> (i));
        buffer.setSample (1, i, 0.01f * static_cast<float> (i));
    }
    juce::MidiBuffer midi;
    restored.processBlock (buffer, midi);
    EXPECT_FLOAT_EQ (buffer.getSample (0, 40), 0.4f);
}

TEST (StateChunk, OneChunkIntoTwoInstancesGivesTheSavedIDToTheFirstOnly)
{
    juce::MemoryBlock chunk;
    juce::String savedID;

    {
        AstrelAudioProcessor original;
        savedID = original.getPluginID();
        chunk = stateOf (original);
    }

    AstrelAudioProcessor first, second;
    restore (first, chunk);
    restore (second, chunk);

    EXPECT_EQ (first.getPluginID(), savedID);
    EXPECT_NE (second.getPluginID(), savedID);
    EXPECT_EQ (second.getPluginID().length(), 32);

    // Restoring its own id again changes nothing.
    restore (first, chunk);
    EXPECT_EQ (first.getPluginID(), savedID);
}

TEST (StateChunk, ReplacingTheIDDropsTheOldStatusAtOnce)
{
    AstrelAudioProcessor processor;
    processor.runTick (1.0);
    const auto oldID = processor.getPluginID();
    auto& registry = processor.getSharedStatusManager();
    ASSERT_EQ (registry.getStatuses().count (oldID), 1u);

    restore (processor, chunkAround (parametersXml ("savedPluginID=\"  restored-id  \"")));

    EXPECT_EQ (processor.getPluginID(), "restored-id");
    EXPECT_EQ (registry.getStatuses().count (oldID), 0u);
    EXPECT_EQ (registry.reserveUniquePluginID (oldID), oldID) << "the old id was released";
    registry.releasePluginID (oldID);
}

TEST (StateChunk, ALowerCaseRootIsAccepted)
{
    AstrelAudioProcessor processor;
    restore (processor,
             chunkAround (parametersXml ("savedTrackName=\"Bass\"", "<PARAM id=\"pan\" value=\"-0.5\"/>", "parameters")));

    EXPECT_EQ (processor.getTrackName(), "Bass");
    EXPECT_NEAR (processor.getPlainValue ("pan"), -0.5f, 1.0e-6f);
    EXPECT_EQ (processor.getValueTreeState().state.getType().toString(), "PARAMETERS");
}

TEST (StateChunk, OlderChunksWithoutTheFlagFollowTheNameTheyCarry)
{
    const struct
    {
        const char* attributes;
        bool manual;
    } cases[] = {
        { "savedTrackName=\"Track\"", false },
        { "savedTrackName=\"Vocals\"", true },
        { "savedTrackName=\"   \"", false }, // cleaned to "Track"
        { "", false },
        { "savedTrackName=\"Vocals\" trackNameWasSetManually=\"0\"", false },
        { "savedTrackName=\"Track\" trackNameWasSetManually=\"1\"", true },
        { "savedTrackName=\"Track\" trackNameWasSetManually=\"true\"", true },
        { "savedTrackName=\"Track\" trackNameWasSetManually=\"99999999999999999999999\"", true },
        { "savedTrackName=\"Track\" trackNameWasSetManually=\"banana\"", false },
    };

    for (const auto& c : cases)
    {
        AstrelAudioProcessor processor;
        restore (processor, chunkAround (parametersXml (c.attributes)));
        EXPECT_EQ (processor.wasTrackNameSetManually(), c.manual) << c.attributes;
    }
}

TEST (StateChunk, AbsurdValuesAreClampedAndNonNumbersKeepTheirParameter)
{
    AstrelAudioProcessor processor;
    giveItValues (processor);

    restore (processor,
             chunkAround (parametersXml ("savedTrackName=\"" + juce::String::repeatedString ("x", 1000) + "\"",
                                         "<PARAM id=\"pan\" value=\"nan\"/>"
                                         "<PARAM id=\"spotlight\" value=\"1e999\"/>"
                                         "<PARAM id=\"ratio\" value=\"-inf\"/>"
                                         "<PARAM id=\"gainTrimDb\" value=\"1e30\"/>"
                                         "<PARAM id=\"sideLowCutHz\" value=\"-50\"/>"
                                         "<PARAM id=\"ratio\" value=\"1e99999999999\"/>"
                                         "some text between elements"
                                         "<PARAM id=\"nonsense\" value=\"3\"/>"
                                         "<OTHER/>")));

    EXPECT_NEAR (processor.getPlainValue ("pan"), 0.3f, 1.0e-6f);
    EXPECT_NEAR (processor.getPlainValue ("spotlight"), 25.0f, 1.0e-4f);
    EXPECT_EQ (processor.getPlainValue ("gainTrimDb"), 12.0f);
    EXPECT_EQ (processor.getPlainValue ("sideLowCutHz"), 0.0f);
    EXPECT_EQ (processor.getTrackName().length(), 64);

    for (const auto* id : { "pan", "ratio", "sideLowCutHz", "monoBass", "spotlight", "gainTrimDb", "bypass" })
        EXPECT_TRUE (std::isfinite (processor.getPlainValue (id))) << id;
}

TEST (StateChunk, SlotsComeBackAndTheNewestRevisionWinsWhateverTheOrder)
{
    const auto chunkWithSlotsAt = [] (int revision) {
        WholefieldSlotsState slots;
        slots.revision = revision;
        slots.currentSlotIndex = 1;
        slots.slots[1].hasLayout = true;
        slots.slots[1].revision = revision;
        const auto json = SharedStatusManager::serialiseWholefieldSlotsState (slots)
                              .replace ("&", "&amp;")
                              .replace ("\"", "&quot;")
                              .replace ("<", "&lt;");
        return chunkAround (parametersXml ("wholefieldSlotsJson=\"" + json + "\""));
    };

    for (const auto& order : { std::vector<int> { 3, 7, 5 }, std::vector<int> { 7, 3, 5 }, std::vector<int> { 5, 3, 7 } })
    {
        // A fresh registry: no instance is alive between the rounds.
        std::vector<std::unique_ptr<AstrelAudioProcessor>> processors;

        for (auto revision : order)
        {
            processors.push_back (std::make_unique<AstrelAudioProcessor>());
            restore (*processors.back(), chunkWithSlotsAt (revision));
        }

        EXPECT_EQ (processors.front()->getSharedStatusManager().getWholefieldSlotsRevision(), 7);
    }
}

//==============================================================================
// The bytes are kept as a std::string: gtest keeps its parameters past the end of main,
// where JUCE's leak detector would count a MemoryBlock.
struct HostileChunk
{
    const char* name;
    std::string chunk;
};

void PrintTo (const HostileChunk& c, std::ostream* os)
{
    *os << c.name;
}

class HostileStateChunk : public testing::TestWithParam<HostileChunk>
{
};

TEST_P (HostileStateChunk, IsIgnoredAndChangesNothing)
{
    AstrelAudioProcessor processor;
    giveItValues (processor);
    const Snapshot before (processor);

    const auto& chunk = GetParam().chunk;
    processor.setStateInformation (chunk.data(), static_cast<int> (chunk.size()));
    processor.setStateInformation (chunk.data(), 0);
    processor.setStateInformation (nullptr, 100);

    EXPECT_TRUE (Snapshot (processor) == before);
}

namespace
{
    std::string asBytes (const juce::MemoryBlock& block)
    {
        return std::string (static_cast<const char*> (block.getData()), block.getSize());
    }

    std::string bytes (std::initializer_list<int> values)
    {
        std::string result;
        for (auto v : values)
            result.push_back (static_cast<char> (v));
        return result;
    }

    std::string chunkBytes (const juce::String& text, std::optional<std::uint32_t> statedLength = {})
    {
        return asBytes (chunkAround (text, statedLength));
    }

    std::string validChunk()
    {
        return chunkBytes (parametersXml ("savedPluginID=\"evil\" savedTrackName=\"Evil\"", "<PARAM id=\"pan\" value=\"-1\"/>"));
    }

    std::string withMagic (std::string chunk, char first)
    {
        chunk[0] = first;
        return chunk;
    }

    std::string truncated (std::string chunk, size_t size)
    {
        chunk.resize (size);
        return chunk;
    }

    std::string withInvalidUtf8()
    {
        auto chunk = chunkBytes (parametersXml ("savedTrackName=\"Evil\""));
        chunk[8 + 45] = static_cast<char> (0xff);
        return chunk;
    }
} // namespace

INSTANTIATE_TEST_SUITE_P (
    Chunks,
    HostileStateChunk,
    testing::Values (
        HostileChunk { "empty", {} },
        HostileChunk { "too short", bytes ({ 'V', 'C', '2', '!', 5, 0, 0, 0 }) },
        HostileChunk { "wrong magic", withMagic (validChunk(), 'X') },
        HostileChunk { "zero length", chunkBytes (parametersXml ("savedTrackName=\"Evil\""), 0u) },
        HostileChunk { "negative length", chunkBytes (parametersXml ("savedTrackName=\"Evil\""), 0x80000000u) },
        HostileChunk { "huge length over a cut text", truncated (chunkBytes (parametersXml ("savedTrackName=\"Evil\""), 0x7fffffffu), 40) },
        HostileChunk { "truncated text", truncated (validChunk(), 60) },
        HostileChunk { "cut inside the root tag", chunkBytes ("<PARAMETERS savedTrackName=\"Evil\" savedPluginID=\"evil\"") },
        HostileChunk { "not XML", chunkBytes ("{ \"savedTrackName\": \"Evil\" }") },
        HostileChunk { "wrong root", chunkBytes (parametersXml ("savedTrackName=\"Evil\"", {}, "PRESET")) },
        HostileChunk { "invalid UTF-8", withInvalidUtf8() },
        HostileChunk { "entity expansion",
                       chunkBytes ("<?xml version=\"1.0\"?><!DOCTYPE p [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;\">]>"
                                   "<PARAMETERS savedTrackName=\"&b;\"/>") },
        HostileChunk { "deep nesting",
                       chunkBytes ("<PARAMETERS savedTrackName=\"Evil\">" + juce::String::repeatedString ("<a>", 100000)
                                   + juce::String::repeatedString ("</a>", 100000) + "</PARAMETERS>") },
        HostileChunk { "only a header", chunkBytes ("<?xml version=\"1.0\"?>") },
        HostileChunk { "unbalanced tags", chunkBytes (parametersXml ("savedTrackName=\"Evil\"", "<PARAM id=\"pan\" value=\"1\"><PARAM/>")) },
        HostileChunk { "text after the root", chunkBytes (parametersXml ("savedTrackName=\"Evil\"") + "<PARAMETERS/>") },
        HostileChunk { "processing instruction inside",
                       chunkBytes (parametersXml ("savedTrackName=\"Evil\"", "<?evil x?><PARAM id=\"pan\" value=\"1\"/>")) },
        HostileChunk { "attribute without quotes", chunkBytes (parametersXml ("savedTrackName=Evil")) },
        HostileChunk { "binary garbage", bytes ({ 'V', 'C', '2', '!', 4, 0, 0, 0, 0xde, 0xad, 0xbe, 0xef, 0 }) }));

TEST (StateChunk, ParameterValuesInAnyNumberFormReadBack)
{
    // Values as other writers might have put them: padded, signed, with exponents.
    AstrelAudioProcessor processor;
    restore (processor,
             chunkAround (parametersXml ({},
                                         "<PARAM id=\"pan\" value=\"  -5e-1 \"/>"
                                         "<PARAM id=\"ratio\" value=\"+.25\"/>"
                                         "<PARAM id=\"spotlight\" value=\"1E1\"/>"
                                         "<PARAM id=\"gainTrimDb\" value=\"3.\"/>")));

    EXPECT_NEAR (processor.getPlainValue ("pan"), -0.5f, 1.0e-6f);
    EXPECT_NEAR (processor.getPlainValue ("ratio"), 0.25f, 1.0e-6f);
    EXPECT_NEAR (processor.getPlainValue ("spotlight"), 10.0f, 1.0e-4f);
    EXPECT_NEAR (processor.getPlainValue ("gainTrimDb"), 3.0f, 1.0e-4f);
}

TEST (StateChunk, EveryInputInTheFuzzingCorpusIsReadOrRefused)
{
    // The corpus keeps the inputs fuzzing once found slow or crashing; one of them used to
    // keep the parser busy for minutes.
    const auto files = juce::File (ASTREL_FUZZ_CORPUS).getChildFile ("state").findChildFiles (juce::File::findFiles, false);
    ASSERT_FALSE (files.isEmpty());

    for (const auto& file : files)
    {
        juce::MemoryBlock chunk;
        ASSERT_TRUE (file.loadFileAsData (chunk));

        AstrelAudioProcessor processor;
        restore (processor, chunk);
        EXPECT_TRUE (processor.getPluginID().isNotEmpty()) << file.getFileName();
    }
}
