// Several threads on one registry at once: edits through the controllers, processors
// ticking, and readers copying the tables, as editors, timers and host state calls do.
// Under ThreadSanitizer (scripts/tsan.sh) this is the data-race and lock-order check.

#include "LinkedProcessors.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

TEST (Concurrency, ControllersProcessorsAndReadersNeverRaceOrDeadlock)
{
    LinkedProcessors link (3);
    std::atomic<bool> running { true };
    std::atomic<int> ticks { 0 }, reads { 0 };

    std::thread processors ([&] {
        double now = 2000000.0;

        while (running.load())
        {
            now += 16.0;

            for (auto& processor : link.processors)
                processor->runTick (now);

            ++ticks;
        }
    });

    std::thread reader ([&] {
        auto& registry = link.registry();

        while (running.load())
        {
            const auto statuses = registry.getStatuses();
            const auto frames = registry.getMeteringFrames();
            const auto order = registry.getInsertionOrder();
            const auto slots = registry.getWholefieldSlotsState();
            registry.areAllBypassed();
            registry.isAnyInstanceSoloed();
            registry.purgeStaleStatuses (0.0);
            ++reads;
        }
    });

    auto& controller = link.controller();
    auto& undo = link.undo();

    for (int round = 0; round < 200; ++round)
    {
        const auto gesture = controller.beginGesture ("Move Dots", { link.id (0), link.id (1) }, AstrelCommandOrigin::masterPad, 3);

        for (int step = 0; step < 3; ++step)
        {
            AstrelTargetPatch patch;
            patch.pluginID = link.id (static_cast<size_t> (step % 2));
            patch.pan = (round % 20) / 10.0f - 1.0f;
            patch.ratio = step / 3.0f;
            controller.updateGesture (gesture, { patch });
        }

        if (round % 5 == 0)
            controller.cancelGesture (gesture);
        else
            controller.endGesture (gesture, {});

        AstrelTargetPatch flags;
        flags.pluginID = link.id (2);
        flags.soloed = round % 2 == 0;
        controller.perform ("Solo Instance", { flags }, AstrelCommandOrigin::instanceList, AstrelUndoPolicy::none,
                            AstrelCommandDelivery::immediate);

        if (round % 3 == 0 && undo.canUndo())
            undo.undo();
        else if (round % 7 == 0 && undo.canRedo())
            undo.redo();

        if (round % 10 == 0)
            link.registry().writeWholefieldSlot (round % 4, {}, static_cast<double> (round));

        std::this_thread::yield();
    }

    running.store (false);
    processors.join();
    reader.join();

    EXPECT_GT (ticks.load(), 0);
    EXPECT_GT (reads.load(), 0);
    EXPECT_EQ (controller.getActiveGestureId(), 0u);
}
