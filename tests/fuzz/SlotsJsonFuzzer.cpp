// libFuzzer target: any bytes as the wholefield slots' JSON text. Reading never fails, gives
// values inside their ranges, and reads its own writing back to the same state.

#include "SharedStatusManager.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size);

namespace
{
    void require (bool condition)
    {
        if (! condition)
            std::abort();
    }

    void checkRanges (const WholefieldSlotsState& state)
    {
        require (state.currentSlotIndex >= -1 && state.currentSlotIndex <= 3);

        for (const auto& slot : state.slots)
        {
            require (std::isfinite (slot.storedAt));

            for (const auto& instance : slot.instances)
            {
                require (instance.pluginID.isNotEmpty());
                require (instance.spotlightPercent >= 0.0f && instance.spotlightPercent <= 100.0f);
                require (instance.gainTrimDb >= -12.0f && instance.gainTrimDb <= 12.0f);
                require (std::isfinite (instance.pan) && std::isfinite (instance.ratio) && std::isfinite (instance.sideLowCutHz));
            }
        }
    }
} // namespace

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    // The text reaches the reader as a String from the chunk's UTF-8, so only valid UTF-8
    // can arrive.
    const auto length = static_cast<int> (std::min<size_t> (size, 1 << 20));

    if (! juce::CharPointer_UTF8::isValidString (reinterpret_cast<const char*> (data), length))
        return 0;

    const auto text = juce::String::fromUTF8 (reinterpret_cast<const char*> (data), length);
    const auto state = SharedStatusManager::deserialiseWholefieldSlotsState (text);
    checkRanges (state);

    const auto again = SharedStatusManager::deserialiseWholefieldSlotsState (SharedStatusManager::serialiseWholefieldSlotsState (state));
    checkRanges (again);
    require (again.revision == state.revision);
    require (again.currentSlotIndex == state.currentSlotIndex);

    for (size_t i = 0; i < state.slots.size(); ++i)
    {
        require (again.slots[i].hasLayout == state.slots[i].hasLayout);
        require (again.slots[i].instances.size() == state.slots[i].instances.size());
    }

    return 0;
}
