// One refresh tick of the editor with 64 instances in the process: the registry reads, the pad
// (statuses, frames, one glow step), the complete rebuild of the instance list, the selection
// and the inspector with its meters. Once with one instance selected (the inspector's single
// page and meters), once with sixteen (the spread page).

#include "PluginEditor.h"
#include "PluginProcessor.h"

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace
{
    /** Keeps the editor's settings file out of the home folder of whoever runs the benchmark. */
    struct ScratchHome
    {
        ScratchHome()
        {
            if (const auto* home = std::getenv ("HOME"))
                previous = home;

            folder = juce::File::getSpecialLocation (juce::File::tempDirectory).getNonexistentChildFile ("astrel-bench-home", "");
            folder.createDirectory();
            setenv ("HOME", folder.getFullPathName().toRawUTF8(), 1);
        }

        ~ScratchHome()
        {
            setenv ("HOME", previous.toRawUTF8(), 1);
            folder.deleteRecursively();
        }

        juce::String previous;
        juce::File folder;
    };

    struct CrowdedEditor
    {
        explicit CrowdedEditor (int numSelected)
        {
            for (int i = 0; i < 64; ++i)
                processors.push_back (std::make_unique<AstrelAudioProcessor>());

            juce::Random random (64);
            SelectionModel::IDSet selected;

            for (size_t i = 0; i < processors.size(); ++i)
            {
                auto& processor = *processors[i];
                processor.setParameterPlainValue ("pan", random.nextFloat() * 2.0f - 1.0f);
                processor.setParameterPlainValue ("ratio", random.nextFloat());
                processor.runTick (nowMs);

                MeteringFrame frame;
                frame.peakLeft = random.nextFloat();
                frame.peakRight = random.nextFloat();
                frame.correlation = random.nextFloat() * 2.0f - 1.0f;
                frame.correlationValid = true;
                frame.midRms = 0.05f + 0.2f * random.nextFloat();
                frame.sideRms = 0.1f * random.nextFloat();
                frame.chaos = random.nextFloat();
                frame.timestampMs = nowMs;
                processor.getSharedStatusManager().publishMeteringFrame (processor.getPluginID(), frame);

                if (static_cast<int> (i) < numSelected)
                    selected.insert (processor.getPluginID());
            }

            editor.reset (dynamic_cast<AstrelAudioProcessorEditor*> (processors.front()->createEditor()));
            editor->clock = [this] { return nowMs; };
            editor->getSelectionModel().setSelection (selected);
            editor->runTick (nowMs);
        }

        ~CrowdedEditor()
        {
            editor.reset();
            processors.clear();
        }

        ScratchHome home;
        double nowMs = 1.0e6;
        std::vector<std::unique_ptr<AstrelAudioProcessor>> processors;
        std::unique_ptr<AstrelAudioProcessorEditor> editor;
    };

    void editorTick64Instances (benchmark::State& state)
    {
        CrowdedEditor rig (static_cast<int> (state.range (0)));

        for (auto _ : state)
            rig.editor->runTick (rig.nowMs);

        state.SetLabel (state.range (0) == 1 ? "one selected" : "sixteen selected");
    }
} // namespace

BENCHMARK (editorTick64Instances)->Arg (1)->Arg (16)->Unit (benchmark::kMicrosecond);
