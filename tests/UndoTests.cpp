#include "LinkedProcessors.h"

#include <gtest/gtest.h>

namespace
{
    using Origin = AstrelCommandOrigin;

    AstrelTargetPatch position (const juce::String& id, float pan, float ratio)
    {
        AstrelTargetPatch patch;
        patch.pluginID = id;
        patch.pan = pan;
        patch.ratio = ratio;
        return patch;
    }

    /** Drags instances the way the pad does: begin, a few updates, an end with the final spot. */
    void drag (LinkedProcessors& link, const juce::String& name, const std::vector<AstrelTargetPatch>& finalPositions)
    {
        std::vector<juce::String> ids;
        for (const auto& patch : finalPositions)
            ids.push_back (patch.pluginID);

        auto& controller = link.controller();
        const auto gesture = controller.beginGesture (name, ids, Origin::masterPad, AstrelParameterMask::pan | AstrelParameterMask::ratio);

        for (int step = 1; step <= 3; ++step)
        {
            std::vector<AstrelTargetPatch> partway;
            for (const auto& target : finalPositions)
                partway.push_back (position (target.pluginID, *target.pan * step / 4.0f, *target.ratio * step / 4.0f));

            controller.updateGesture (gesture, partway);
            link.tick();
        }

        controller.endGesture (gesture, finalPositions);
        link.tick();
    }

    float pan (LinkedProcessors& link, size_t index) { return link[index].getPlainValue ("pan"); }
    float ratio (LinkedProcessors& link, size_t index) { return link[index].getPlainValue ("ratio"); }
} // namespace

TEST (Undo, AGestureIsOneStepThatUndoesAndRedoesOnTheInstances)
{
    LinkedProcessors link (3);
    link[1].setParameterPlainValue ("pan", -0.2f);
    link.tick();

    drag (link, "Move Dots", { position (link.id (0), 0.5f, 0.3f), position (link.id (1), 0.8f, 0.6f) });

    EXPECT_NEAR (pan (link, 0), 0.5f, 1.0e-6f);
    EXPECT_NEAR (ratio (link, 1), 0.6f, 1.0e-6f);
    ASSERT_TRUE (link.undo().canUndo());
    EXPECT_EQ (link.undo().getUndoDescription(), "Move Dots");

    ASSERT_TRUE (link.undo().undo());
    EXPECT_FALSE (link.undo().canUndo()) << "exactly one step";
    EXPECT_NEAR (link.registry().getStatuses().at (link.id (1)).pan, -0.2f, 1.0e-6f) << "shown at once";
    link.tick();
    EXPECT_NEAR (pan (link, 0), 0.0f, 1.0e-6f);
    EXPECT_NEAR (pan (link, 1), -0.2f, 1.0e-6f);
    EXPECT_NEAR (ratio (link, 1), 0.0f, 1.0e-6f);
    EXPECT_FALSE (link.undo().canUndo()) << "the replay records nothing";

    ASSERT_TRUE (link.undo().redo());
    link.tick();
    EXPECT_NEAR (pan (link, 0), 0.5f, 1.0e-6f);
    EXPECT_NEAR (ratio (link, 1), 0.6f, 1.0e-6f);
    EXPECT_NEAR (pan (link, 2), 0.0f, 1.0e-6f) << "untouched by the gesture";
}

TEST (Undo, ReplaysAreOneShotCommandsFromTheUndoController)
{
    LinkedProcessors link (1);
    drag (link, "Move Dot", { position (link.id (0), 0.25f, 0.5f) });

    link.undo().undo();
    const auto commands = link.registry().takeQueuedCommands (link.id (0));
    ASSERT_EQ (commands.size(), 1u);
    EXPECT_EQ (commands[0].origin, Origin::undoRedo);
    EXPECT_EQ (commands[0].phase, AstrelCommandPhase::oneShot);
    EXPECT_EQ (commands[0].undoPolicy, AstrelUndoPolicy::none);
    EXPECT_EQ (*commands[0].pan, 0.0f);
    EXPECT_EQ (*commands[0].ratio, 0.0f);
    EXPECT_EQ (*commands[0].trackName, "Track");
}

TEST (Undo, EditsThatChangeNothingLeaveNoStep)
{
    LinkedProcessors link (2);
    auto& controller = link.controller();

    // A drag back to where it started.
    auto gesture = controller.beginGesture ("Move Dot", { link.id (0) }, Origin::masterPad, 3);
    controller.updateGesture (gesture, { position (link.id (0), 0.4f, 0.4f) });
    controller.endGesture (gesture, { position (link.id (0), 0.0004f, 0.0f) });
    link.tick();
    EXPECT_FALSE (link.undo().canUndo());

    // A gesture that never carried a value, and a cancelled one.
    gesture = controller.beginGesture ("Nothing", { link.id (0), link.id (1) }, Origin::masterPad, 3);
    controller.endGesture (gesture, {});
    gesture = controller.beginGesture ("Cancelled", { link.id (0) }, Origin::masterPad, 3);
    controller.updateGesture (gesture, { position (link.id (0), 0.9f, 0.9f) });
    controller.cancelGesture (gesture);
    EXPECT_FALSE (link.undo().canUndo());

    // Mute, solo, hide and listen-mono edits from the list are not undoable.
    AstrelTargetPatch flags;
    flags.pluginID = link.id (1);
    flags.muted = true;
    flags.visible = false;
    controller.perform ("Mute Instance", { flags }, Origin::instanceList, AstrelUndoPolicy::none, AstrelCommandDelivery::immediate);
    flags.muted.reset();
    flags.soloed = true;
    controller.perform ("Solo Instance", { flags }, Origin::instanceList, AstrelUndoPolicy::record, AstrelCommandDelivery::immediate);
    EXPECT_FALSE (link.undo().canUndo());
    EXPECT_TRUE (link.registry().getStatuses().at (link.id (1)).soloed);

    // Gains: 0.0004 dB is within the tolerance, 0.001 dB is a change.
    for (const auto& [gain, steps] : std::vector<std::pair<float, bool>> { { 0.0004f, false }, { 0.001f, true } })
    {
        AstrelTargetPatch trim;
        trim.pluginID = link.id (0);
        trim.gainTrimDb = gain;
        controller.perform ("Gain", { trim }, Origin::inspector, AstrelUndoPolicy::record, AstrelCommandDelivery::immediate);
        EXPECT_EQ (link.undo().canUndo(), steps) << gain;
    }
}

TEST (Undo, StepsAreNamedAfterTheirEditOrAstrelEdit)
{
    LinkedProcessors link (1);
    AstrelTargetPatch bypass;
    bypass.pluginID = link.id (0);
    bypass.bypass = true;
    link.controller().perform ("   ", { bypass }, Origin::editorAction, AstrelUndoPolicy::record, AstrelCommandDelivery::immediate);
    EXPECT_EQ (link.undo().getUndoDescription(), "Astrel Edit");

    bypass.bypass = false;
    link.controller().perform ("Bypass All", { bypass }, Origin::editorAction, AstrelUndoPolicy::record, AstrelCommandDelivery::immediate);
    EXPECT_EQ (link.undo().getUndoDescription(), "Bypass All");
}

TEST (Undo, StepsUndoInReverseOrderAndANewEditClearsRedo)
{
    LinkedProcessors link (1);
    drag (link, "First", { position (link.id (0), 0.3f, 0.1f) });
    drag (link, "Second", { position (link.id (0), -0.7f, 0.9f) });

    link.undo().undo();
    link.tick();
    EXPECT_NEAR (pan (link, 0), 0.3f, 1.0e-6f);
    link.undo().undo();
    link.tick();
    EXPECT_NEAR (pan (link, 0), 0.0f, 1.0e-6f);
    EXPECT_EQ (link.undo().getRedoDescription(), "First");

    link.undo().redo();
    link.tick();
    ASSERT_TRUE (link.undo().canRedo());
    drag (link, "Third", { position (link.id (0), 0.5f, 0.5f) });
    EXPECT_FALSE (link.undo().canRedo());
    EXPECT_EQ (link.undo().getUndoDescription(), "Third");
}

TEST (Undo, RecordsCopiesOfThePublishedValuesAndSkipsUnknownTargets)
{
    LinkedProcessors link (1);
    auto& undo = link.undo();

    EXPECT_TRUE (undo.captureStatesForIDs ({ "nobody", "" }).empty());
    undo.beginGesture ("Ghosts", { "nobody" });
    AstrelCommand command;
    command.targetPluginID = "nobody";
    command.pan = 1.0f;
    undo.endGestureWithCommands ({ command });
    EXPECT_FALSE (undo.canUndo());

    const auto states = undo.captureStatesForIDs ({ link.id (0), link.id (0) });
    ASSERT_EQ (states.size(), 1u);
    EXPECT_TRUE (states[0].hasPosition && states[0].hasGainTrim && states[0].hasTrackName);
    EXPECT_EQ (states[0].trackName, "Track");
}

TEST (Undo, EveryEditorSharesTheOneHistoryOfTheProcess)
{
    LinkedProcessors link (2);
    juce::SharedResourcePointer<SharedStatusManager> anotherEditorsRegistry;

    EXPECT_EQ (&anotherEditorsRegistry->getUndoController(), &link.undo());
    EXPECT_EQ (&anotherEditorsRegistry->getCommandController(), &link.controller());

    drag (link, "Move Dot", { position (link.id (1), 0.2f, 0.2f) });
    EXPECT_TRUE (anotherEditorsRegistry->getUndoController().canUndo());
}
