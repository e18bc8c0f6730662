#include "SharedStatusManager.h"

#include <gtest/gtest.h>

namespace
{
    using Phase = AstrelCommandPhase;

    PluginStatus makeStatus (const juce::String& id, std::uint64_t applied = 0)
    {
        PluginStatus status;
        status.pluginID = id;
        status.lastUpdateMs = 1.0;
        status.appliedCommandSequence = applied;
        return status;
    }

    AstrelCommand makeCommand (std::uint64_t sequence,
                               std::uint64_t gestureId,
                               Phase phase,
                               std::optional<float> pan = {},
                               const juce::String& target = "A")
    {
        AstrelCommand command;
        command.sequence = sequence;
        command.gestureId = gestureId;
        command.targetPluginID = target;
        command.phase = phase;
        command.pan = pan;
        command.paramMask = gestureId != 0 ? std::uint32_t { AstrelParameterMask::pan } : 0u;
        return command;
    }

    /** A drained command as (sequence, phase), enough to read the merging off. */
    using Drained = std::vector<std::pair<std::uint64_t, Phase>>;

    Drained summarise (const std::vector<AstrelCommand>& commands)
    {
        Drained result;

        for (const auto& command : commands)
            result.emplace_back (command.sequence, command.phase);

        return result;
    }

    struct MergeCase
    {
        const char* name;
        std::vector<AstrelCommand> dispatched;
        Drained drained;
    };

    void PrintTo (const MergeCase& c, std::ostream* os)
    {
        *os << c.name;
    }
} // namespace

class CommandQueueMerging : public testing::TestWithParam<MergeCase>
{
};

TEST_P (CommandQueueMerging, DrainsTheMergedQueueInOrder)
{
    SharedStatusManager registry;
    registry.publishStatus (makeStatus ("A"));

    for (const auto& command : GetParam().dispatched)
        registry.dispatchCommand (command);

    EXPECT_EQ (summarise (registry.takeQueuedCommands ("A")), GetParam().drained);
    EXPECT_TRUE (registry.takeQueuedCommands ("A").empty());
}

INSTANTIATE_TEST_SUITE_P (
    Gestures,
    CommandQueueMerging,
    testing::Values (
        MergeCase { "three updates become the newest",
                    { makeCommand (1, 7, Phase::update, 0.1f),
                      makeCommand (2, 7, Phase::update, 0.2f),
                      makeCommand (3, 7, Phase::update, 0.3f) },
                    { { 3, Phase::update } } },
        MergeCase { "an end drops the queued update",
                    { makeCommand (1, 7, Phase::begin),
                      makeCommand (2, 7, Phase::update, 0.1f),
                      makeCommand (3, 7, Phase::end, 0.2f) },
                    { { 1, Phase::begin }, { 3, Phase::end } } },
        MergeCase { "a cancel drops the queued update",
                    { makeCommand (1, 7, Phase::begin),
                      makeCommand (2, 7, Phase::update, 0.1f),
                      makeCommand (3, 7, Phase::cancel) },
                    { { 1, Phase::begin }, { 3, Phase::cancel } } },
        MergeCase { "an update replaces in place past another gesture",
                    { makeCommand (1, 7, Phase::update, 0.1f),
                      makeCommand (2, 8, Phase::update, 0.5f),
                      makeCommand (3, 7, Phase::update, 0.2f) },
                    { { 3, Phase::update }, { 2, Phase::update } } },
        MergeCase { "an end keeps other gestures' updates",
                    { makeCommand (1, 8, Phase::update, 0.5f),
                      makeCommand (2, 7, Phase::update, 0.1f),
                      makeCommand (3, 7, Phase::end, 0.1f) },
                    { { 1, Phase::update }, { 3, Phase::end } } },
        MergeCase { "one-shots are never merged",
                    { makeCommand (1, 0, Phase::oneShot, 0.1f), makeCommand (2, 0, Phase::oneShot, 0.2f) },
                    { { 1, Phase::oneShot }, { 2, Phase::oneShot } } },
        MergeCase { "an update after its gesture's end is queued again",
                    { makeCommand (1, 7, Phase::end, 0.1f), makeCommand (2, 7, Phase::update, 0.2f) },
                    { { 1, Phase::end }, { 2, Phase::update } } }));

class CommandDispatch : public testing::Test
{
protected:
    void SetUp() override
    {
        registry.publishStatus (makeStatus ("A"));
        registry.publishStatus (makeStatus ("B"));
    }

    SharedStatusManager registry;
};

TEST_F (CommandDispatch, RegistryFlagsApplyAtOnceAndAreNotQueued)
{
    auto hide = makeCommand (1, 0, Phase::oneShot);
    hide.visible = false;
    registry.dispatchCommand (hide);

    EXPECT_FALSE (registry.getStatuses().at ("A").visible);
    EXPECT_TRUE (registry.takeQueuedCommands ("A").empty());

    // A pending override would show here; a flag-only command makes none.
    registry.publishStatus (makeStatus ("A"));
    EXPECT_FALSE (registry.getStatuses().at ("A").visible);
}

TEST_F (CommandDispatch, MuteAndSoloExcludeEachOther)
{
    auto both = makeCommand (1, 0, Phase::oneShot);
    both.muted = true;
    both.soloed = true;
    registry.dispatchCommand (both);

    auto status = registry.getStatuses().at ("A");
    EXPECT_TRUE (status.soloed);
    EXPECT_FALSE (status.muted);
    EXPECT_TRUE (registry.isAnyInstanceSoloed());

    auto mute = makeCommand (2, 0, Phase::oneShot);
    mute.muted = true;
    registry.dispatchCommand (mute);

    status = registry.getStatuses().at ("A");
    EXPECT_TRUE (status.muted);
    EXPECT_FALSE (status.soloed);
    EXPECT_FALSE (registry.isAnyInstanceSoloed());

    auto mono = makeCommand (3, 0, Phase::oneShot);
    mono.listenMono = true;
    registry.dispatchCommand (mono);
    EXPECT_TRUE (registry.getStatuses().at ("A").listenMono);
}

TEST_F (CommandDispatch, CommandsToUnknownOrEmptyTargetsAreDropped)
{
    auto command = makeCommand (1, 0, Phase::oneShot, 0.5f, "nobody");
    command.muted = true;
    registry.dispatchCommand (command);

    command.targetPluginID = {};
    registry.dispatchCommand (command);

    EXPECT_TRUE (registry.takeQueuedCommands ("nobody").empty());
    EXPECT_EQ (registry.getStatuses().count ("nobody"), 0u);
    EXPECT_FALSE (registry.getStatuses().at ("A").muted);

    // A later publish of that id starts clean: no override was left behind.
    registry.publishStatus (makeStatus ("nobody"));
    EXPECT_FLOAT_EQ (registry.getStatuses().at ("nobody").pan, 0.0f);
}

TEST_F (CommandDispatch, OverridesShowUntilTheInstanceConfirmsTheLatestSequence)
{
    auto pan = makeCommand (10, 0, Phase::oneShot, 0.2f);
    auto bypass = makeCommand (11, 0, Phase::oneShot);
    bypass.bypass = true;
    registry.dispatchCommand (pan);
    registry.dispatchCommand (bypass);

    auto shown = registry.getStatuses().at ("A");
    EXPECT_FLOAT_EQ (shown.pan, 0.2f);
    EXPECT_TRUE (shown.bypass);
    EXPECT_FALSE (registry.getStatuses().at ("B").bypass);

    // B not bypassed, A bypassed only by its override: not all bypassed; then B too.
    EXPECT_FALSE (registry.areAllBypassed());
    auto bypassB = bypass;
    bypassB.targetPluginID = "B";
    bypassB.sequence = 12;
    registry.dispatchCommand (bypassB);
    EXPECT_TRUE (registry.areAllBypassed());

    // Confirming the first command is not enough: the override carries the second's sequence.
    registry.publishStatus (makeStatus ("A", 10));
    EXPECT_FLOAT_EQ (registry.getStatuses().at ("A").pan, 0.2f);

    registry.publishStatus (makeStatus ("A", 11));
    shown = registry.getStatuses().at ("A");
    EXPECT_FLOAT_EQ (shown.pan, 0.0f);
    EXPECT_FALSE (shown.bypass);
}

TEST_F (CommandDispatch, RampedBeginAndCancelCommandsMakeNoOverride)
{
    auto ramped = makeCommand (1, 0, Phase::oneShot, 0.5f);
    ramped.delivery = AstrelCommandDelivery::ramped;
    registry.dispatchCommand (ramped);
    registry.dispatchCommand (makeCommand (2, 9, Phase::begin, 0.5f));
    registry.dispatchCommand (makeCommand (3, 9, Phase::cancel, 0.5f));

    EXPECT_FLOAT_EQ (registry.getStatuses().at ("A").pan, 0.0f);
    EXPECT_EQ (registry.takeQueuedCommands ("A").size(), 3u);
}

TEST_F (CommandDispatch, DiscardingAGestureDropsItsOverridesOnEveryTarget)
{
    registry.dispatchCommand (makeCommand (1, 5, Phase::update, 0.4f, "A"));
    registry.dispatchCommand (makeCommand (2, 5, Phase::update, 0.6f, "B"));

    auto name = makeCommand (3, 0, Phase::oneShot, {}, "B");
    name.trackName = juce::String ("Renamed");
    registry.dispatchCommand (name);

    registry.discardPendingStatesOfGesture (5);

    const auto statuses = registry.getStatuses();
    EXPECT_FLOAT_EQ (statuses.at ("A").pan, 0.0f);
    // B's entry was last changed by the one-shot rename, so it stays, with both values.
    EXPECT_FLOAT_EQ (statuses.at ("B").pan, 0.6f);
    EXPECT_EQ (statuses.at ("B").trackName, "Renamed");
}

TEST_F (CommandDispatch, RemovingAnInstanceDropsItsQueueAndOverride)
{
    registry.dispatchCommand (makeCommand (1, 0, Phase::oneShot, 0.3f));
    registry.removeStatus ("A");
    registry.publishStatus (makeStatus ("A"));

    EXPECT_TRUE (registry.takeQueuedCommands ("A").empty());
    EXPECT_FLOAT_EQ (registry.getStatuses().at ("A").pan, 0.0f);
}
