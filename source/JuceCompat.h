#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

/** The few places where the JUCE 7 and JUCE 8 APIs differ, kept together. */
namespace JuceCompat
{
    /** The host's track name, or an empty string when the host gave none. */
    inline juce::String trackNameOf (const juce::AudioProcessor::TrackProperties& properties)
    {
       #if JUCE_MAJOR_VERSION >= 8
        return properties.name.value_or (juce::String());
       #else
        return properties.name;
       #endif
    }

    /** The framework's default sans-serif typeface at a height in pixels. */
    inline juce::Font defaultFont (float height, bool bold = false)
    {
        const auto style = bold ? juce::Font::bold : juce::Font::plain;
       #if JUCE_MAJOR_VERSION >= 8
        return juce::Font (juce::FontOptions (height, style));
       #else
        return juce::Font (height, style);
       #endif
    }
} // namespace JuceCompat
