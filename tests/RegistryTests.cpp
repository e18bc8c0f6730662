#include "PluginProcessor.h"
#include "SharedStatusManager.h"

#include <gtest/gtest.h>

namespace
{
    bool isRandomID (const juce::String& id)
    {
        return id.length() == 32 && id.containsOnly ("0123456789abcdef");
    }

    PluginStatus makeStatus (const juce::String& id, double lastUpdateMs = 1.0, std::uint64_t applied = 0)
    {
        PluginStatus status;
        status.pluginID = id;
        status.trackName = "Track " + id;
        status.lastUpdateMs = lastUpdateMs;
        status.appliedCommandSequence = applied;
        return status;
    }

} // namespace

class Registry : public testing::Test
{
protected:
    SharedStatusManager registry;
};

TEST_F (Registry, ReservesTrimmedRequestedIDsAndRandomOnesForTakenOrEmptyRequests)
{
    EXPECT_EQ (registry.reserveUniquePluginID (" abc "), "abc");

    const auto second = registry.reserveUniquePluginID ("abc");
    EXPECT_TRUE (isRandomID (second)) << second;

    for (const auto* request : { "", "   ", "\t\n" })
        EXPECT_TRUE (isRandomID (registry.reserveUniquePluginID (request)));

    registry.releasePluginID ("abc");
    EXPECT_EQ (registry.reserveUniquePluginID ("abc"), "abc");
}

TEST_F (Registry, PublishCreatesEntriesInInsertionOrderAndKeepsTheRegistryFlags)
{
    registry.publishStatus (makeStatus ("b"));
    registry.publishStatus (makeStatus ("a"));
    registry.publishStatus (makeStatus ("c"));

    EXPECT_EQ (registry.getInsertionOrder(), (std::vector<juce::String> { "b", "a", "c" }));

    auto status = makeStatus ("a", 5.0, 3);
    status.pan = 0.25f;
    status.visible = false;
    status.muted = true;
    status.soloed = true;
    status.listenMono = true;
    registry.publishStatus (status);

    const auto statuses = registry.getStatuses();
    ASSERT_EQ (statuses.size(), 3u);
    const auto& a = statuses.at ("a");
    EXPECT_FLOAT_EQ (a.pan, 0.25f);
    EXPECT_EQ (a.appliedCommandSequence, 3u);
    EXPECT_DOUBLE_EQ (a.lastUpdateMs, 5.0);
    // The instance never publishes the registry's flags.
    EXPECT_TRUE (a.visible);
    EXPECT_FALSE (a.muted);
    EXPECT_FALSE (a.soloed);
    EXPECT_FALSE (a.listenMono);
    EXPECT_EQ (registry.getInsertionOrder(), (std::vector<juce::String> { "b", "a", "c" }));
}

TEST_F (Registry, ReleaseKeepsTheStatusButDropsTheMeteringFrame)
{
    const auto id = registry.reserveUniquePluginID ("x");
    registry.publishStatus (makeStatus (id));
    registry.publishMeteringFrame (id, MeteringFrame {});

    registry.releasePluginID (id);

    EXPECT_EQ (registry.getStatuses().count (id), 1u);
    EXPECT_EQ (registry.getMeteringFrames().count (id), 0u);
    EXPECT_EQ (registry.reserveUniquePluginID ("x"), "x");
}

TEST_F (Registry, RemoveDropsStatusIdMeteringAndEveryInsertionOrderEntry)
{
    registry.reserveUniquePluginID ("a");
    registry.publishStatus (makeStatus ("a"));
    registry.publishStatus (makeStatus ("b"));
    registry.publishMeteringFrame ("a", MeteringFrame {});

    registry.removeStatus ("a");

    EXPECT_EQ (registry.getStatuses().count ("a"), 0u);
    EXPECT_EQ (registry.getMeteringFrames().count ("a"), 0u);
    EXPECT_EQ (registry.getInsertionOrder(), std::vector<juce::String> { "b" });
    EXPECT_EQ (registry.reserveUniquePluginID ("a"), "a");

    // Unknown and empty ids are ignored.
    registry.removeStatus ("nobody");
    registry.removeStatus ({});
    registry.releasePluginID ({});
    EXPECT_EQ (registry.getStatuses().size(), 1u);
}

TEST_F (Registry, PurgeRemovesStatusesOlderThanTenSecondsButNeverUnstampedOnes)
{
    const double now = 100000.0;
    registry.publishStatus (makeStatus ("exactly", now - 10000.0));
    registry.publishStatus (makeStatus ("older", now - 10000.001));
    registry.publishStatus (makeStatus ("unstamped", 0.0));
    registry.publishStatus (makeStatus ("fresh", now - 15.0));
    registry.publishMeteringFrame ("older", MeteringFrame {});
    registry.publishMeteringFrame ("fresh", MeteringFrame {});

    registry.purgeStaleStatuses (now);

    const auto statuses = registry.getStatuses();
    EXPECT_EQ (statuses.count ("exactly"), 1u);
    EXPECT_EQ (statuses.count ("older"), 0u);
    EXPECT_EQ (statuses.count ("unstamped"), 1u);
    EXPECT_EQ (statuses.count ("fresh"), 1u);
    EXPECT_EQ (registry.getMeteringFrames().count ("older"), 0u);
    EXPECT_EQ (registry.getMeteringFrames().count ("fresh"), 1u);
    EXPECT_EQ (registry.getInsertionOrder(), (std::vector<juce::String> { "exactly", "unstamped", "fresh" }));
}

TEST_F (Registry, AStatusPublishedAgainAfterAPurgeComesBackAtTheEndWithDefaultFlags)
{
    registry.publishStatus (makeStatus ("a", 1.0));
    registry.publishStatus (makeStatus ("b", 50000.0));
    registry.purgeStaleStatuses (50000.0);

    registry.publishStatus (makeStatus ("a", 50001.0));

    EXPECT_EQ (registry.getInsertionOrder(), (std::vector<juce::String> { "b", "a" }));
    EXPECT_TRUE (registry.getStatuses().at ("a").visible);
}

TEST_F (Registry, AllBypassedNeedsStatusesAndCountsPendingBypassValues)
{
    EXPECT_FALSE (registry.areAllBypassed());

    auto bypassed = makeStatus ("a");
    bypassed.bypass = true;
    registry.publishStatus (bypassed);
    EXPECT_TRUE (registry.areAllBypassed());

    registry.publishStatus (makeStatus ("b"));
    EXPECT_FALSE (registry.areAllBypassed());
    EXPECT_FALSE (registry.isAnyInstanceSoloed());
}

TEST (Processors, TwoInstancesInOneProcessShareOneRegistryWithDistinctIDs)
{
    AstrelAudioProcessor first;
    AstrelAudioProcessor second;

    EXPECT_TRUE (isRandomID (first.getPluginID())) << first.getPluginID();
    EXPECT_TRUE (isRandomID (second.getPluginID())) << second.getPluginID();
    EXPECT_NE (first.getPluginID(), second.getPluginID());
    EXPECT_EQ (&first.getSharedStatusManager(), &second.getSharedStatusManager());

    // The id is reserved: asking for it again yields a fresh one.
    auto& registry = first.getSharedStatusManager();
    const auto other = registry.reserveUniquePluginID (first.getPluginID());
    EXPECT_NE (other, first.getPluginID());
    registry.releasePluginID (other);
}

TEST (Processors, DestroyingAnInstanceRemovesItsStatusAndReleasesItsID)
{
    juce::SharedResourcePointer<SharedStatusManager> registry;
    juce::String id;

    {
        AstrelAudioProcessor processor;
        id = processor.getPluginID();
        registry->publishStatus (makeStatus (id));
        ASSERT_EQ (registry->getStatuses().count (id), 1u);
    }

    EXPECT_EQ (registry->getStatuses().count (id), 0u);
    EXPECT_EQ (registry->reserveUniquePluginID (id), id);
    registry->releasePluginID (id);
}
