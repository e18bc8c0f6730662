#include "ParameterText.h"

#include <cmath>

namespace
{
    int roundHalfAwayFromZero (double value) noexcept
    {
        return static_cast<int> (std::round (value));
    }

    /** Reads the number in a typed value: ',' is a decimal point and only digits, '.' and '-' count. */
    double readTypedNumber (const juce::String& text)
    {
        const auto number = text.replaceCharacter (',', '.').retainCharacters ("0123456789.-").getDoubleValue();
        return std::isfinite (number) ? number : 0.0;
    }

    /** Typed values above 1 in magnitude are taken as percentages. */
    double fromPercentIfAboveOne (double number) noexcept
    {
        return std::abs (number) > 1.0 ? number / 100.0 : number;
    }
} // namespace

namespace ParameterText
{
    juce::String panToText (float value, int)
    {
        if (std::abs (value) < 0.0005f)
            return "C";

        return juce::String (value < 0.0f ? "L " : "R ") + juce::String (roundHalfAwayFromZero (std::abs (value) * 100.0))
               + "%";
    }

    float panFromText (const juce::String& typed)
    {
        const auto text = typed.trim().toUpperCase();

        if (text == "C" || text == "CENTER" || text == "CENTRE")
            return 0.0f;

        const bool hasLeft = text.containsChar ('L');
        const bool hasRight = text.containsChar ('R');
        const auto number = juce::jlimit (-1.0, 1.0, fromPercentIfAboveOne (readTypedNumber (text)));

        if (hasLeft)
            return static_cast<float> (-std::abs (number));

        if (hasRight)
            return static_cast<float> (std::abs (number));

        return static_cast<float> (number);
    }

    juce::String depthToText (float value, int)
    {
        return juce::String (roundHalfAwayFromZero (value * 100.0)) + "%";
    }

    float depthFromText (const juce::String& typed)
    {
        return static_cast<float> (juce::jlimit (0.0, 1.0, fromPercentIfAboveOne (readTypedNumber (typed.trim()))));
    }

    juce::String cutoffToText (float value, int)
    {
        if (value < 0.5f)
            return "OFF";

        return juce::String (roundHalfAwayFromZero (value)) + " Hz";
    }

    float cutoffFromText (const juce::String& typed)
    {
        const auto text = typed.trim().toUpperCase();

        if (text == "OFF")
            return 0.0f;

        return static_cast<float> (juce::jlimit (0.0, 2000.0, readTypedNumber (text)));
    }

    juce::String percentToText (float value, int)
    {
        return juce::String (roundHalfAwayFromZero (value)) + "%";
    }

    float percentFromText (const juce::String& typed)
    {
        return static_cast<float> (juce::jlimit (0.0, 100.0, readTypedNumber (typed.trim())));
    }

    juce::String decibelToText (float value, int)
    {
        const auto shown = std::abs (value) < 0.05f ? 0.0f : value;
        return juce::String (shown, 1) + " dB";
    }

    float decibelFromText (const juce::String& typed)
    {
        return static_cast<float> (juce::jlimit (-12.0, 12.0, readTypedNumber (typed.trim())));
    }
} // namespace ParameterText
