#include "AstrelUndoController.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{
    using Phase = AstrelCommandPhase;
    using Origin = AstrelCommandOrigin;

    AstrelTargetPatch patchFor (const juce::String& id)
    {
        AstrelTargetPatch patch;
        patch.pluginID = id;
        return patch;
    }

    /** A registry with published instances A, B and C, and the queues drained on demand. */
    class Controller : public testing::Test
    {
    protected:
        void SetUp() override
        {
            for (const auto* id : { "A", "B", "C" })
            {
                PluginStatus status;
                status.pluginID = id;
                status.trackName = id;
                status.lastUpdateMs = 1.0;
                registry.publishStatus (status);
            }
        }

        std::vector<AstrelCommand> drain (const juce::String& id) { return registry.takeQueuedCommands (id); }

        std::vector<Phase> phasesFor (const juce::String& id)
        {
            std::vector<Phase> phases;
            for (const auto& command : drain (id))
                phases.push_back (command.phase);
            return phases;
        }

        SharedStatusManager registry;
        AstrelCommandController& controller = registry.getCommandController();
        AstrelUndoController& undo = registry.getUndoController();
    };
} // namespace

TEST (CommandControllerSanitise, ClampsValuesAndCleansNames)
{
    auto patch = patchFor ("A");
    patch.pan = 3.0f;
    patch.ratio = -1.0f;
    patch.sideLowCutHz = 5000.0f;
    patch.spotlightPercent = -4.0f;
    patch.gainTrimDb = -20.0f;
    patch.monoBass = true;
    patch.muted = false;

    const auto clean = AstrelCommandController::sanitise (patch);
    EXPECT_EQ (*clean.pan, 1.0f);
    EXPECT_EQ (*clean.ratio, 0.0f);
    EXPECT_EQ (*clean.sideLowCutHz, 2000.0f);
    EXPECT_EQ (*clean.spotlightPercent, 0.0f);
    EXPECT_EQ (*clean.gainTrimDb, -12.0f);
    EXPECT_TRUE (*clean.monoBass);
    EXPECT_FALSE (*clean.muted);
    EXPECT_FALSE (clean.bypass.has_value());

    const struct
    {
        juce::String given, sent;
    } names[] = { { "  Word  ", "Word" }, { "    ", "Track" }, { "", "Track" }, { juce::String::repeatedString ("x", 80), juce::String::repeatedString ("x", 64) } };

    for (const auto& name : names)
    {
        auto named = patchFor ("A");
        named.trackName = name.given;
        EXPECT_EQ (*AstrelCommandController::sanitise (named).trackName, name.sent);
    }

    auto nan = patchFor ("A");
    nan.pan = std::nanf ("");
    nan.gainTrimDb = INFINITY;
    const auto cleaned = AstrelCommandController::sanitise (nan);
    EXPECT_FALSE (cleaned.pan.has_value()) << "a NaN carries no value";
    EXPECT_EQ (*cleaned.gainTrimDb, 12.0f);
}

TEST_F (Controller, PerformSendsOneNumberedCommandPerUsablePatch)
{
    auto a = patchFor ("A");
    a.pan = 0.5f;
    auto again = patchFor ("A");
    again.ratio = 0.2f;
    auto nothing = patchFor ("B");
    auto noID = patchFor ("");
    noID.pan = 0.1f;

    const auto sent = controller.perform ("Move", { a, nothing, noID, again }, Origin::inspector, AstrelUndoPolicy::none,
                                          AstrelCommandDelivery::ramped);

    ASSERT_EQ (sent.size(), 2u);
    EXPECT_EQ (sent[1].sequence, sent[0].sequence + 1);

    for (const auto& command : sent)
    {
        EXPECT_EQ (command.targetPluginID, "A");
        EXPECT_EQ (command.phase, Phase::oneShot);
        EXPECT_EQ (command.gestureId, 0u);
        EXPECT_EQ (command.paramMask, 0u);
        EXPECT_EQ (command.origin, Origin::inspector);
        EXPECT_EQ (command.delivery, AstrelCommandDelivery::ramped);
        EXPECT_EQ (command.rampMs, 450.0);
    }

    EXPECT_EQ (drain ("A").size(), 2u);
    EXPECT_TRUE (drain ("B").empty());

    EXPECT_TRUE (controller.perform ("Nothing", { nothing }, Origin::inspector, AstrelUndoPolicy::record,
                                     AstrelCommandDelivery::immediate)
                     .empty());
    EXPECT_FALSE (undo.canUndo());
}

TEST_F (Controller, GestureTargetsAreTheDistinctUsableIDs)
{
    const auto gesture = controller.beginGesture ("Move Dots", { "", "A", "A", "B" }, Origin::masterPad, 3);
    ASSERT_NE (gesture, 0u);

    const auto a = drain ("A");
    ASSERT_EQ (a.size(), 1u);
    EXPECT_EQ (a[0].phase, Phase::begin);
    EXPECT_EQ (a[0].paramMask, 3u);
    EXPECT_EQ (a[0].gestureId, gesture);
    EXPECT_FALSE (a[0].carriesInstanceValues());
    EXPECT_EQ (phasesFor ("B"), std::vector<Phase> { Phase::begin });
    EXPECT_TRUE (drain ("C").empty());
}

TEST_F (Controller, ANewGestureCancelsTheRunningOneWhoseLaterCallsAreIgnored)
{
    const auto first = controller.beginGesture ("First", { "A" }, Origin::masterPad, 1);
    drain ("A");

    const auto second = controller.beginGesture ("Second", { "B" }, Origin::inspector, 4);
    EXPECT_NE (second, first);
    EXPECT_EQ (phasesFor ("A"), std::vector<Phase> { Phase::cancel });
    EXPECT_EQ (controller.getActiveGestureId(), second);

    auto late = patchFor ("A");
    late.pan = 0.9f;
    controller.updateGesture (first, { late });
    controller.endGesture (first, { late });
    controller.cancelGesture (first);
    EXPECT_TRUE (drain ("A").empty());
    EXPECT_EQ (controller.getActiveGestureId(), second);

    // No usable id: nothing starts, but the running gesture is still abandoned.
    EXPECT_EQ (controller.beginGesture ("Empty", { "", "" }, Origin::masterPad, 1), 0u);
    EXPECT_EQ (controller.getActiveGestureId(), 0u);
    EXPECT_EQ (phasesFor ("B"), (std::vector<Phase> { Phase::begin, Phase::cancel }));
}

TEST_F (Controller, UpdatesCarryTheirOwnValuesAndTheEndCarriesTheMergedLatest)
{
    const auto gesture = controller.beginGesture ("Move", { "A", "B" }, Origin::masterPad, 3);
    drain ("A");
    drain ("B");

    auto pan = patchFor ("A");
    pan.pan = 0.4f;
    auto outsider = patchFor ("C");
    outsider.pan = 0.4f;
    controller.updateGesture (gesture, { pan, outsider });

    const auto updates = drain ("A");
    ASSERT_EQ (updates.size(), 1u);
    EXPECT_EQ (*updates[0].pan, 0.4f);
    EXPECT_FALSE (updates[0].ratio.has_value());
    EXPECT_TRUE (drain ("C").empty()) << "not a target of the gesture";

    auto ratio = patchFor ("A");
    ratio.ratio = 0.7f;
    controller.endGesture (gesture, { ratio });

    const auto ends = drain ("A");
    ASSERT_EQ (ends.size(), 1u);
    EXPECT_EQ (ends[0].phase, Phase::end);
    EXPECT_EQ (*ends[0].pan, 0.4f);
    EXPECT_EQ (*ends[0].ratio, 0.7f);
    EXPECT_EQ (ends[0].paramMask, 3u);

    // B never got a value, yet it is told the gesture ended, to close its host gestures.
    const auto bEnd = drain ("B");
    ASSERT_EQ (bEnd.size(), 1u);
    EXPECT_EQ (bEnd[0].phase, Phase::end);
    EXPECT_FALSE (bEnd[0].carriesInstanceValues());
    EXPECT_EQ (controller.getActiveGestureId(), 0u);
}

TEST_F (Controller, CancellingDropsTheGesturesOverridesAndItsUndoRecord)
{
    const auto gesture = controller.beginGesture ("Move", { "A" }, Origin::masterPad, 1);
    auto pan = patchFor ("A");
    pan.pan = -0.6f;
    controller.updateGesture (gesture, { pan });
    EXPECT_FLOAT_EQ (registry.getStatuses().at ("A").pan, -0.6f);

    controller.cancelGesture (gesture);

    EXPECT_FLOAT_EQ (registry.getStatuses().at ("A").pan, 0.0f);
    EXPECT_EQ (phasesFor ("A"), (std::vector<Phase> { Phase::begin, Phase::cancel }));
    EXPECT_FALSE (undo.canUndo());
}

TEST_F (Controller, SequencesAndGestureIDsNeverRepeat)
{
    std::set<std::uint64_t> sequences, gestures;

    for (int i = 0; i < 20; ++i)
    {
        const auto gesture = controller.beginGesture ("G", { "A", "B" }, Origin::masterPad, 1);
        EXPECT_TRUE (gestures.insert (gesture).second);
        auto patch = patchFor ("A");
        patch.pan = 0.01f * i;
        controller.updateGesture (gesture, { patch });
        controller.endGesture (gesture, {});

        for (const auto* id : { "A", "B" })
            for (const auto& command : drain (id))
                EXPECT_TRUE (sequences.insert (command.sequence).second);
    }
}
