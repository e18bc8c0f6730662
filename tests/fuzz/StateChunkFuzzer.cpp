// libFuzzer target: any bytes as a state chunk. The processor must never crash, and whatever
// it accepts must leave it in a state it could have reached by itself.

#include "PluginProcessor.h"

#include <juce_events/juce_events.h>

#include <cstdlib>

extern "C" int LLVMFuzzerInitialize (int* argc, char*** argv);
extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size);

namespace
{
    AstrelAudioProcessor* processor = nullptr;

    void require (bool condition)
    {
        if (! condition)
            std::abort();
    }

    void checkInvariants (AstrelAudioProcessor& p)
    {
        require (p.getPluginID().isNotEmpty());
        require (p.getTrackName().isNotEmpty() && p.getTrackName().length() <= 64);

        for (auto* parameter : p.getParameters())
        {
            const auto value = parameter->getValue();
            require (std::isfinite (value) && value >= 0.0f && value <= 1.0f);
        }

        const auto slots = p.getSharedStatusManager().getWholefieldSlotsState();
        require (slots.currentSlotIndex >= -1 && slots.currentSlotIndex <= 3);
    }
} // namespace

extern "C" int LLVMFuzzerInitialize (int*, char***)
{
    new juce::ScopedJuceInitialiser_GUI();
    processor = new AstrelAudioProcessor();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    processor->setStateInformation (data, static_cast<int> (std::min<size_t> (size, 1 << 24)));
    checkInvariants (*processor);

    // What it accepted it must also write and read back.
    juce::MemoryBlock saved;
    processor->getStateInformation (saved);
    const auto id = processor->getPluginID();
    processor->setStateInformation (saved.getData(), static_cast<int> (saved.getSize()));
    require (processor->getPluginID() == id);
    checkInvariants (*processor);
    return 0;
}
