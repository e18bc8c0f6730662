#pragma once

#include <juce_core/juce_core.h>

/**
    The texts the seven parameters show and the values typed text gives. Numbers shown are
    rounded to the nearest integer, halves away from zero; typed text may use ',' for the
    decimal point, and anything that is not a number reads as 0 before clamping.
*/
namespace ParameterText
{
    juce::String panToText (float value, int maximumLength);
    float panFromText (const juce::String& text);

    juce::String depthToText (float value, int maximumLength);
    float depthFromText (const juce::String& text);

    juce::String cutoffToText (float value, int maximumLength);
    float cutoffFromText (const juce::String& text);

    juce::String percentToText (float value, int maximumLength);
    float percentFromText (const juce::String& text);

    juce::String decibelToText (float value, int maximumLength);
    float decibelFromText (const juce::String& text);
} // namespace ParameterText
