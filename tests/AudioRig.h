#pragma once

#include "PluginProcessor.h"

#include <cmath>
#include <vector>

/** One processor driven block by block, the way a host runs it. */
struct AudioRig
{
    using Signal = std::vector<float>;

    struct Stereo
    {
        Signal left, right;
    };

    explicit AudioRig (double rate = 48000.0, int maximumBlock = 512, bool monoInput = false)
        : sampleRate (rate), blockSize (maximumBlock)
    {
        if (monoInput)
        {
            juce::AudioProcessor::BusesLayout layout;
            layout.inputBuses.add (juce::AudioChannelSet::mono());
            layout.outputBuses.add (juce::AudioChannelSet::stereo());
            processor.setBusesLayout (layout);
        }
    }

    void set (const char* parameterID, float plainValue) { processor.setParameterPlainValue (parameterID, plainValue); }

    void prepare() { processor.prepareToPlay (sampleRate, blockSize); }

    /** Processes a whole signal in blocks of the given size and returns the output. */
    Stereo run (const Stereo& input, int block = 0)
    {
        block = block > 0 ? block : blockSize;
        Stereo output { Signal (input.left.size()), Signal (input.right.size()) };
        juce::AudioBuffer<float> buffer (2, block);
        juce::MidiBuffer midi;

        for (size_t start = 0; start < input.left.size(); start += static_cast<size_t> (block))
        {
            const auto count = static_cast<int> (std::min (input.left.size() - start, static_cast<size_t> (block)));
            buffer.setSize (2, count, false, false, true);
            buffer.copyFrom (0, 0, input.left.data() + start, count);
            buffer.copyFrom (1, 0, input.right.data() + start, count);
            processor.processBlock (buffer, midi);
            std::copy (buffer.getReadPointer (0), buffer.getReadPointer (0) + count, output.left.begin() + (long) start);
            std::copy (buffer.getReadPointer (1), buffer.getReadPointer (1) + count, output.right.begin() + (long) start);
        }

        return output;
    }

    Signal sine (double frequency, float amplitude, size_t length) const
    {
        Signal signal (length);

        for (size_t i = 0; i < length; ++i)
            signal[i] = amplitude * static_cast<float> (std::sin (2.0 * juce::MathConstants<double>::pi * frequency
                                                                  * static_cast<double> (i) / sampleRate));

        return signal;
    }

    size_t samplesFor (double seconds) const { return static_cast<size_t> (seconds * sampleRate); }

    static double rms (const Signal& signal, size_t from, size_t to)
    {
        double sum = 0.0;

        for (auto i = from; i < to; ++i)
            sum += static_cast<double> (signal[i]) * signal[i];

        return std::sqrt (sum / static_cast<double> (to - from));
    }

    double sampleRate;
    int blockSize;
    AstrelAudioProcessor processor;
};
