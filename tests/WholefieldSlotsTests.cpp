#include "SharedStatusManager.h"

#include <gtest/gtest.h>

namespace
{
    using Registry = SharedStatusManager;

    WholefieldInstanceState makeInstance (const juce::String& id, float pan, float ratio)
    {
        WholefieldInstanceState instance;
        instance.pluginID = id;
        instance.trackName = "Track " + id;
        instance.pan = pan;
        instance.ratio = ratio;
        instance.sideLowCutHz = 120.5f;
        instance.monoBass = true;
        instance.spotlightPercent = 33.3f;
        instance.gainTrimDb = -4.7f;
        return instance;
    }

    void expectSameInstance (const WholefieldInstanceState& a, const WholefieldInstanceState& b)
    {
        EXPECT_EQ (a.pluginID, b.pluginID);
        EXPECT_EQ (a.trackName, b.trackName);
        EXPECT_EQ (a.pan, b.pan);
        EXPECT_EQ (a.ratio, b.ratio);
        EXPECT_EQ (a.sideLowCutHz, b.sideLowCutHz);
        EXPECT_EQ (a.monoBass, b.monoBass);
        EXPECT_EQ (a.spotlightPercent, b.spotlightPercent);
        EXPECT_EQ (a.gainTrimDb, b.gainTrimDb);
    }

    juce::var parse (const juce::String& text)
    {
        return juce::JSON::parse (text);
    }

    /** Slots text with the given slot objects, in the layout the registry writes. */
    juce::String slotsText (const juce::String& slots, const juce::String& head = "\"revision\": 0, \"currentSlotIndex\": 0")
    {
        return "{ \"version\": 3, " + head + ", \"slots\": [" + slots + "] }";
    }
} // namespace

TEST (WholefieldSlotsText, TheDefaultStateHasFourEmptySlots)
{
    const auto json = parse (Registry::serialiseWholefieldSlotsState ({}));
    ASSERT_TRUE (json.isObject());
    EXPECT_EQ (static_cast<int> (json["version"]), 3);
    EXPECT_EQ (static_cast<int> (json["revision"]), 0);
    EXPECT_EQ (static_cast<int> (json["currentSlotIndex"]), -1);

    const auto* slots = json["slots"].getArray();
    ASSERT_NE (slots, nullptr);
    ASSERT_EQ (slots->size(), 4);

    for (const auto& slot : *slots)
    {
        EXPECT_FALSE (static_cast<bool> (slot["hasLayout"]));
        EXPECT_EQ (static_cast<double> (slot["storedAt"]), 0.0);
        EXPECT_EQ (static_cast<int> (slot["revision"]), 0);
        ASSERT_NE (slot["instances"].getArray(), nullptr);
        EXPECT_TRUE (slot["instances"].getArray()->isEmpty());
    }

    // Keys come in the order the text format fixes.
    const auto text = Registry::serialiseWholefieldSlotsState ({});
    EXPECT_LT (text.indexOf ("\"version\""), text.indexOf ("\"revision\""));
    EXPECT_LT (text.indexOf ("\"revision\""), text.indexOf ("\"currentSlotIndex\""));
    EXPECT_LT (text.indexOf ("\"currentSlotIndex\""), text.indexOf ("\"slots\""));
}

TEST (WholefieldSlotsText, RoundTripsAStoredLayout)
{
    WholefieldSlotsState state;
    state.revision = 12;
    state.currentSlotIndex = 2;
    state.slots[2].hasLayout = true;
    state.slots[2].storedAt = 123456.789;
    state.slots[2].revision = 11;
    state.slots[2].instances = { makeInstance ("a", -0.37f, 0.1f), makeInstance ("b", 0.9f, 0.77f) };

    const auto read = Registry::deserialiseWholefieldSlotsState (Registry::serialiseWholefieldSlotsState (state));

    EXPECT_EQ (read.revision, 12);
    EXPECT_EQ (read.currentSlotIndex, 2);
    EXPECT_TRUE (read.slots[2].hasLayout);
    EXPECT_DOUBLE_EQ (read.slots[2].storedAt, 123456.789);
    EXPECT_EQ (read.slots[2].revision, 11);
    ASSERT_EQ (read.slots[2].instances.size(), 2u);
    expectSameInstance (read.slots[2].instances[0], state.slots[2].instances[0]);
    expectSameInstance (read.slots[2].instances[1], state.slots[2].instances[1]);

    for (int i : { 0, 1, 3 })
    {
        EXPECT_FALSE (read.slots[(size_t) i].hasLayout);
        EXPECT_TRUE (read.slots[(size_t) i].instances.empty());
    }
}

struct RepairCase
{
    const char* name;
    const char* text;
    int revision, currentSlotIndex;
};

void PrintTo (const RepairCase& c, std::ostream* os)
{
    *os << c.name;
}

class WholefieldSlotsRepair : public testing::TestWithParam<RepairCase>
{
};

TEST_P (WholefieldSlotsRepair, ReadsRevisionAndCurrentSlot)
{
    const auto state = Registry::deserialiseWholefieldSlotsState (GetParam().text);
    EXPECT_EQ (state.revision, GetParam().revision);
    EXPECT_EQ (state.currentSlotIndex, GetParam().currentSlotIndex);
}

INSTANTIATE_TEST_SUITE_P (
    Texts,
    WholefieldSlotsRepair,
    testing::Values (
        RepairCase { "revision from the newest layout",
                     R"({"slots": [{}, {"hasLayout": true, "revision": 2}, {}, {"hasLayout": true, "revision": 5}]})",
                     5, 0 },
        RepairCase { "revision at least one", R"({"slots": [{"hasLayout": true, "revision": 0}]})", 1, 0 },
        RepairCase { "negative slot revisions count as zero",
                     R"({"revision": -3, "slots": [{"hasLayout": true, "revision": -8}]})", 1, 0 },
        RepairCase { "empty slots keep a zero revision", R"({"revision": 0, "slots": [{"revision": 9}]})", 0, 0 },
        RepairCase { "a stated revision stands", R"({"revision": 4, "slots": [{"hasLayout": true, "revision": 9}]})", 4, 0 },
        RepairCase { "current slot above three", R"({"currentSlotIndex": 7})", 0, 3 },
        RepairCase { "current slot below zero", R"({"currentSlotIndex": -5})", 0, -1 },
        RepairCase { "current slot as given", R"({"currentSlotIndex": 1, "revision": 3})", 3, 1 },
        RepairCase { "empty text", "   ", 0, -1 },
        RepairCase { "not JSON", "slots please", 0, -1 },
        RepairCase { "a JSON array", "[1, 2, 3]", 0, -1 },
        RepairCase { "a JSON number", "42", 0, -1 },
        RepairCase { "truncated", R"({"revision": 7, "slots": [)", 0, -1 },
        RepairCase { "wrong types", R"({"revision": "9", "currentSlotIndex": [2], "slots": {"a": 1}})", 0, 0 },
        RepairCase { "huge numbers", R"({"revision": 1e300, "currentSlotIndex": -1e300})", 2147483647, -1 },
        RepairCase { "any version", R"({"version": 99, "revision": 2})", 2, 0 }));

TEST (WholefieldSlotsText, ReadsOnlyTheFirstFourSlots)
{
    const auto six = Registry::deserialiseWholefieldSlotsState (slotsText (
        R"({"hasLayout": true, "revision": 1}, {}, {}, {"hasLayout": true, "revision": 4}, {"hasLayout": true, "revision": 50}, {"hasLayout": true})"));
    EXPECT_TRUE (six.slots[0].hasLayout);
    EXPECT_TRUE (six.slots[3].hasLayout);
    EXPECT_EQ (six.revision, 4) << "the fifth slot's revision is not seen";

    const auto two = Registry::deserialiseWholefieldSlotsState (
        slotsText (R"({"hasLayout": true, "revision": 1}, {"hasLayout": true, "revision": 2})"));
    EXPECT_TRUE (two.slots[1].hasLayout);
    EXPECT_FALSE (two.slots[2].hasLayout);
    EXPECT_FALSE (two.slots[3].hasLayout);

    const auto mixed = Registry::deserialiseWholefieldSlotsState (slotsText (R"(17, "x", {"hasLayout": true}, null)"));
    EXPECT_FALSE (mixed.slots[0].hasLayout);
    EXPECT_TRUE (mixed.slots[2].hasLayout);
}

TEST (WholefieldSlotsText, ClampsInstanceValuesAndDropsInstancesWithoutAnID)
{
    const auto state = Registry::deserialiseWholefieldSlotsState (slotsText (R"({"hasLayout": true, "instances": [
            {"pluginID": "a", "trackName": "Kick", "pan": 5, "ratio": -2, "sideLowCutHz": 9000,
             "monoBass": true, "spotlightPercent": 150, "gainTrimDb": -20},
            {"trackName": "no id"},
            {"pluginID": "", "pan": 0.5},
            "not an object",
            {"pluginID": "b", "pan": "0.5", "gainTrimDb": 1e999, "trackName": 12}
        ]})"));

    const auto& instances = state.slots[0].instances;
    ASSERT_EQ (instances.size(), 2u);

    EXPECT_EQ (instances[0].pluginID, "a");
    EXPECT_EQ (instances[0].trackName, "Kick");
    EXPECT_EQ (instances[0].pan, 5.0f) << "pan, ratio and cutoff are read as they are";
    EXPECT_EQ (instances[0].ratio, -2.0f);
    EXPECT_EQ (instances[0].sideLowCutHz, 9000.0f);
    EXPECT_TRUE (instances[0].monoBass);
    EXPECT_EQ (instances[0].spotlightPercent, 100.0f);
    EXPECT_EQ (instances[0].gainTrimDb, -12.0f);

    EXPECT_EQ (instances[1].pluginID, "b");
    EXPECT_EQ (instances[1].pan, 0.0f) << "a string is not a number";
    EXPECT_EQ (instances[1].gainTrimDb, 0.0f) << "an infinite value reads as zero";
    EXPECT_EQ (instances[1].trackName, "");
}

TEST (WholefieldSlotsText, RefusesTextNestedFarDeeperThanSlotsEverAre)
{
    const auto deep = juce::String::repeatedString ("[", 200000) + juce::String::repeatedString ("]", 200000);
    const auto state = Registry::deserialiseWholefieldSlotsState (deep);
    EXPECT_EQ (state.revision, 0);

    // Brackets inside strings do not count.
    const auto quoted = slotsText (R"({"hasLayout": true, "instances": [{"pluginID": ")"
                                   + juce::String::repeatedString ("[{", 100) + R"("}]})",
                                   "\"revision\": 3, \"currentSlotIndex\": 0");
    const auto read = Registry::deserialiseWholefieldSlotsState (quoted);
    EXPECT_EQ (read.revision, 3);
    ASSERT_EQ (read.slots[0].instances.size(), 1u);
}

//==============================================================================
TEST (WholefieldSlots, ImportTakesOnlyANewerRevision)
{
    Registry registry;
    WholefieldSlotsState candidate;
    candidate.revision = 4;
    candidate.currentSlotIndex = 1;
    candidate.slots[1].hasLayout = true;
    registry.importWholefieldSlotsIfNewer (candidate);
    ASSERT_EQ (registry.getWholefieldSlotsRevision(), 4);

    auto equal = candidate;
    equal.slots[3].hasLayout = true;
    registry.importWholefieldSlotsIfNewer (equal);
    EXPECT_FALSE (registry.getWholefieldSlotsState().slots[3].hasLayout) << "an equal revision is ignored";

    auto newer = equal;
    newer.revision = 5;
    newer.currentSlotIndex = 9;
    registry.importWholefieldSlotsIfNewer (newer);
    const auto state = registry.getWholefieldSlotsState();
    EXPECT_EQ (state.revision, 5);
    EXPECT_TRUE (state.slots[3].hasLayout);
    EXPECT_EQ (state.currentSlotIndex, 3);
}

TEST (WholefieldSlots, WritingRaisesTheRevisionAndMakesTheSlotCurrent)
{
    Registry registry;
    WholefieldSlotsState start;
    start.revision = 9;
    registry.importWholefieldSlotsIfNewer (start);

    registry.writeWholefieldSlot (1, { makeInstance ("a", 0.2f, 0.4f) }, 777.0);

    const auto state = registry.getWholefieldSlotsState();
    EXPECT_EQ (state.revision, 10);
    EXPECT_EQ (state.currentSlotIndex, 1);
    EXPECT_TRUE (state.slots[1].hasLayout);
    EXPECT_EQ (state.slots[1].revision, 10);
    EXPECT_EQ (state.slots[1].storedAt, 777.0);
    ASSERT_EQ (state.slots[1].instances.size(), 1u);

    // Indices outside 0..3 are not slots.
    registry.writeWholefieldSlot (4, {}, 1.0);
    registry.writeWholefieldSlot (-1, {}, 1.0);
    EXPECT_EQ (registry.getWholefieldSlotsRevision(), 10);
}

TEST (WholefieldSlots, SelectingNeedsAStoredSlotThatIsNotCurrent)
{
    Registry registry;
    EXPECT_FALSE (registry.selectWholefieldSlot (0)) << "empty";

    registry.writeWholefieldSlot (0, {}, 1.0);
    registry.writeWholefieldSlot (2, {}, 2.0);
    ASSERT_EQ (registry.getWholefieldSlotsRevision(), 2);

    EXPECT_FALSE (registry.selectWholefieldSlot (2)) << "already current";
    EXPECT_FALSE (registry.selectWholefieldSlot (7));
    EXPECT_EQ (registry.getWholefieldSlotsRevision(), 2);

    EXPECT_TRUE (registry.selectWholefieldSlot (0));
    EXPECT_EQ (registry.getWholefieldSlotsState().currentSlotIndex, 0);
    EXPECT_EQ (registry.getWholefieldSlotsRevision(), 3);
}

TEST (WholefieldSlotsText, RefusesIntegersTooLongForTheParser)
{
    // Nineteen digits overflow the parser's 64-bit integer; as a fraction they are fine.
    const auto tooLong = Registry::deserialiseWholefieldSlotsState (R"({"revision": 7, "x": 1234567890123456789})");
    EXPECT_EQ (tooLong.revision, 0);

    const auto fraction = Registry::deserialiseWholefieldSlotsState (R"({"revision": 7, "x": 0.1234567890123456789012})");
    EXPECT_EQ (fraction.revision, 7);

    const auto inAString = Registry::deserialiseWholefieldSlotsState (R"({"revision": 7, "x": "12345678901234567890123"})");
    EXPECT_EQ (inAString.revision, 7);
}

TEST (WholefieldSlotsText, RefusesExponentsTooLongForTheParser)
{
    const auto tooLong = Registry::deserialiseWholefieldSlotsState (R"({"revision": 7, "x": 2.5E3333333333333})");
    EXPECT_EQ (tooLong.revision, 0);

    const auto ordinary = Registry::deserialiseWholefieldSlotsState (R"({"revision": 7, "x": 2.5e-300})");
    EXPECT_EQ (ordinary.revision, 7);
}
