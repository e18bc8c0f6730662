// processBlock at 48 kHz in 512-sample blocks. "realtime" is seconds of audio processed per
// second of CPU time; "per_sample" is the time for one stereo sample.

#include "PluginProcessor.h"

#include <benchmark/benchmark.h>
#include <juce_events/juce_events.h>

#include <cmath>

namespace
{
    constexpr double sampleRate = 48000.0;
    constexpr int blockSize = 512;

    struct BenchmarkRig
    {
        explicit BenchmarkRig (std::initializer_list<std::pair<const char*, float>> settings)
        {
            for (const auto& [id, value] : settings)
                processor.setParameterPlainValue (id, value);

            processor.prepareToPlay (sampleRate, blockSize);

            for (int i = 0; i < blockSize; ++i)
            {
                const auto phase = static_cast<float> (i) / static_cast<float> (blockSize);
                source.setSample (0, i, 0.4f * std::sin (6.2831853f * 7.0f * phase));
                source.setSample (1, i, 0.3f * std::sin (6.2831853f * 11.0f * phase));
            }
        }

        void processOneBlock()
        {
            buffer.makeCopyOf (source, true);
            processor.processBlock (buffer, midi);
            benchmark::DoNotOptimize (buffer.getReadPointer (0));
        }

        AstrelAudioProcessor processor;
        juce::AudioBuffer<float> source { 2, blockSize }, buffer { 2, blockSize };
        juce::MidiBuffer midi;
    };

    void reportRates (benchmark::State& state)
    {
        const auto samples = static_cast<double> (state.iterations()) * blockSize;
        state.counters["realtime"] = benchmark::Counter (samples / sampleRate, benchmark::Counter::kIsRate);
        state.counters["per_sample"] = benchmark::Counter (samples, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    }

    void processBlockDefaults (benchmark::State& state)
    {
        BenchmarkRig rig ({});

        for (auto _ : state)
            rig.processOneBlock();

        reportRates (state);
    }

    void processBlockFullChain (benchmark::State& state)
    {
        BenchmarkRig rig ({ { "sideLowCutHz", 120.0f },
                            { "monoBass", 1.0f },
                            { "spotlight", 50.0f },
                            { "ratio", 0.5f },
                            { "pan", 0.3f },
                            { "gainTrimDb", -3.0f } });

        for (auto _ : state)
            rig.processOneBlock();

        reportRates (state);
    }

    void processBlockDuringBassProtectCrossfade (benchmark::State& state)
    {
        BenchmarkRig rig ({ { "pan", 0.3f }, { "ratio", 0.5f } });
        int block = 0;

        // The 40 ms fade spans almost four blocks; turning Bass Protect on and off every
        // second block keeps the mix between its ends, so both paths run every block.
        for (auto _ : state)
        {
            if (block++ % 2 == 0)
                rig.processor.parameterChanged ("sideLowCutHz", (block / 2) % 2 == 0 ? 120.0f : 0.0f);

            rig.processOneBlock();
        }

        reportRates (state);
    }
} // namespace

BENCHMARK (processBlockDefaults);
BENCHMARK (processBlockFullChain);
BENCHMARK (processBlockDuringBassProtectCrossfade);

int main (int argc, char** argv)
{
    const juce::ScopedJuceInitialiser_GUI juce;
    benchmark::Initialize (&argc, argv);

    if (benchmark::ReportUnrecognizedArguments (argc, argv))
        return 1;

    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
