// The master pad with 64 instances at 1000 x 560: one full paint into an image, and one step of
// the chaos glow layer (fade plus a ring per audible instance). The glow is timed for calm
// tracks (argument 0: no side signal, no chaos, the smallest rings) and for busy ones (1: chaos
// and side levels spread over their range, rings of up to about 260 px).

#include "MasterXYPadComponent.h"

#include <benchmark/benchmark.h>

namespace
{
    struct CrowdedPad
    {
        explicit CrowdedPad (float busyness = 1.0f) : selection (juce::String())
        {
            SharedStatusManager::StatusMap statuses;
            SharedStatusManager::MeteringMap frames;
            juce::Random random (64);

            for (int i = 0; i < 64; ++i)
            {
                PluginStatus status;
                status.pluginID = juce::String::toHexString (0x1000 + i);
                status.trackName = "Track " + juce::String (i + 1);
                status.pan = random.nextFloat() * 2.0f - 1.0f;
                status.ratio = random.nextFloat();
                status.bypass = i % 9 == 0;
                status.muted = i % 13 == 0;
                statuses[status.pluginID] = status;

                MeteringFrame frame;
                frame.midRms = 0.05f + 0.2f * random.nextFloat();
                frame.sideRms = busyness * 0.1f * random.nextFloat();
                frame.chaos = busyness * random.nextFloat();
                frames[status.pluginID] = frame;

                if (i % 4 == 0)
                    selection.setSelected (status.pluginID, true);
            }

            pad = std::make_unique<MasterXYPadComponent> (selection);
            pad->setBounds (0, 0, 1000, 560);
            pad->setStatuses (statuses);
            pad->setMeteringFrames (frames);
            pad->updateChaosGlowBuffer();
        }

        SelectionModel selection;
        std::unique_ptr<MasterXYPadComponent> pad;
        juce::Image canvas { juce::Image::ARGB, 1000, 560, true };
    };

    void padPaint64Instances (benchmark::State& state)
    {
        CrowdedPad rig;

        for (auto _ : state)
        {
            juce::Graphics g (rig.canvas);
            rig.pad->paintEntireComponent (g, false);
            benchmark::DoNotOptimize (rig.canvas.getPixelData());
        }
    }

    void padChaosGlowStep64Instances (benchmark::State& state)
    {
        CrowdedPad rig (static_cast<float> (state.range (0)));

        for (auto _ : state)
            rig.pad->updateChaosGlowBuffer();
    }
} // namespace

BENCHMARK (padPaint64Instances)->Unit (benchmark::kMicrosecond);
BENCHMARK (padChaosGlowStep64Instances)->Arg (0)->Arg (1)->Unit (benchmark::kMicrosecond);
