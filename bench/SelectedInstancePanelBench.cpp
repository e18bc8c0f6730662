// The inspector's share of the editor's 16 ms refresh: showing one instance out of a table of
// 64 whose values change every tick, showing a multi-selection, and one full paint of the
// single page at 180 x 498.

#include "SelectedInstancePanel.h"

#include <benchmark/benchmark.h>

namespace
{
    struct InspectorRig
    {
        InspectorRig()
        {
            for (int i = 0; i < 64; ++i)
            {
                PluginStatus status;
                status.pluginID = juce::String::toHexString (0x1000 + i);
                status.trackName = "Track " + juce::String (i + 1);
                status.pan = -0.37f;
                status.ratio = 0.45f;
                status.sideLowCutHz = 120.0f;
                status.spotlightPercent = 35.0f;
                status.gainTrimDb = 3.46f;
                statuses[status.pluginID] = status;
            }

            shown = statuses.begin()->first;
            inspector.setSize (180, 498);
        }

        /** Moves the shown instance's values, so that every label and knob gets new text. */
        void changeValues (int tick)
        {
            auto& status = statuses[shown];
            const auto phase = static_cast<float> (tick % 100) * 0.01f;
            status.pan = phase * 2.0f - 1.0f;
            status.ratio = phase;
            status.sideLowCutHz = 2000.0f * phase;
            status.spotlightPercent = 100.0f * phase;
            status.gainTrimDb = 24.0f * phase - 12.0f;
        }

        SharedStatusManager::StatusMap statuses;
        juce::String shown;
        InspectorComponent inspector { "1000" };
        juce::Image canvas { juce::Image::ARGB, 180, 498, true };
    };

    void inspectorRefreshSingleInstance (benchmark::State& state)
    {
        InspectorRig rig;
        const SelectionModel::IDSet selected { rig.shown };
        int tick = 0;

        for (auto _ : state)
        {
            rig.changeValues (++tick);
            rig.inspector.updateFromSelection (selected, rig.statuses, std::nullopt, std::nullopt);
        }
    }

    void inspectorRefreshMultiSelection (benchmark::State& state)
    {
        InspectorRig rig;
        SelectionModel::IDSet selected;

        for (const auto& [id, status] : rig.statuses)
            selected.insert (id);

        int tick = 0;

        for (auto _ : state)
        {
            const auto proportion = static_cast<float> (++tick % 100) * 0.01f;
            rig.inspector.updateFromSelection (selected, rig.statuses, proportion, 1.0f - proportion);
        }
    }

    void inspectorPaintSinglePage (benchmark::State& state)
    {
        InspectorRig rig;
        rig.inspector.updateFromSelection ({ rig.shown }, rig.statuses, std::nullopt, std::nullopt);

        for (auto _ : state)
        {
            juce::Graphics g (rig.canvas);
            rig.inspector.paintEntireComponent (g, false);
            benchmark::DoNotOptimize (rig.canvas.getPixelData());
        }
    }
} // namespace

BENCHMARK (inspectorRefreshSingleInstance)->Unit (benchmark::kMicrosecond);
BENCHMARK (inspectorRefreshMultiSelection)->Unit (benchmark::kMicrosecond);
BENCHMARK (inspectorPaintSinglePage)->Unit (benchmark::kMicrosecond);
