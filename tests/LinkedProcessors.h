#pragma once

#include "AstrelUndoController.h"
#include "PluginProcessor.h"

#include <memory>
#include <vector>

/** Processors in one process, sharing one registry, ticked together on a clock of the test's. */
struct LinkedProcessors
{
    explicit LinkedProcessors (int count)
    {
        for (int i = 0; i < count; ++i)
            processors.push_back (std::make_unique<AstrelAudioProcessor>());

        tick();
    }

    void tick (double advanceMs = 16.0)
    {
        nowMs += advanceMs;

        for (auto& processor : processors)
            processor->runTick (nowMs);
    }

    AstrelAudioProcessor& operator[] (size_t index) { return *processors[index]; }
    SharedStatusManager& registry() { return *sharedRegistry; }
    AstrelCommandController& controller() { return registry().getCommandController(); }
    AstrelUndoController& undo() { return registry().getUndoController(); }
    juce::String id (size_t index) { return processors[index]->getPluginID(); }

    /** Numbers a hand-made command and dispatches it to one of the processors. */
    void send (AstrelCommand command, size_t target = 0)
    {
        command.sequence = ++sequence;
        command.targetPluginID = processors[target]->getPluginID();
        registry().dispatchCommand (command);
    }

    // Declared first so that it outlives the processors, and there even when there are none.
    juce::SharedResourcePointer<SharedStatusManager> sharedRegistry;
    std::vector<std::unique_ptr<AstrelAudioProcessor>> processors;
    double nowMs = 1000000.0;
    std::uint64_t sequence = std::uint64_t { 1 } << 40;
};
