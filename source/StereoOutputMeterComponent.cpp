#include "StereoOutputMeterComponent.h"

#include "JuceCompat.h"

#include <cmath>

namespace
{
    float sanitisedPeak (float peak) noexcept
    {
        return (! std::isfinite (peak) || peak < 0.0f) ? 0.0f : std::min (peak, 4.0f);
    }

    /** Decibels with a floor of -60: a level of 0 or less, or not finite, is -60 dB. */
    float decibelsFloored (float level) noexcept
    {
        if (! std::isfinite (level) || level <= 0.0f)
            return -60.0f;

        return std::max (-60.0f, 20.0f * std::log10 (level));
    }

    juce::Colour white (juce::uint8 alpha)
    {
        return juce::Colours::white.withAlpha (alpha);
    }
} // namespace

StereoOutputMeterComponent::StereoOutputMeterComponent() : lastUpdateMs (juce::Time::getMillisecondCounterHiRes())
{
    setInterceptsMouseClicks (false, false);
}

void StereoOutputMeterComponent::resized()
{
    repaint();
}

void StereoOutputMeterComponent::reset()
{
    inputLeft = inputRight = levelLeft = levelRight = 0.0f;
    lastUpdateMs = juce::Time::getMillisecondCounterHiRes();
    repaint();
}

void StereoOutputMeterComponent::setPeaks (float left, float right)
{
    inputLeft = sanitisedPeak (left);
    inputRight = sanitisedPeak (right);

    const auto now = juce::Time::getMillisecondCounterHiRes();
    const auto seconds = lastUpdateMs > 0.0 ? (now - lastUpdateMs) / 1000.0 : 1.0 / 60.0;
    lastUpdateMs = now;
    const auto fall = static_cast<float> (48.0 * juce::jlimit (0.0, 0.1, seconds));

    const auto follow = [fall] (float& level, float peak) {
        const auto current = juce::jlimit (0.0f, 4.0f, level);

        if (peak >= current)
        {
            level = peak;
            return;
        }

        const auto newDb = std::max (decibelsFloored (current) - fall, decibelsFloored (peak));

        if (peak <= 0.0f && newDb <= -59.99f)
        {
            level = 0.0f;
            return;
        }

        const auto gain = newDb <= -100.0f ? 0.0f : std::pow (10.0f, newDb / 20.0f);
        level = std::isfinite (gain) ? juce::jlimit (0.0f, 4.0f, gain) : 0.0f;
    };

    follow (levelLeft, inputLeft);
    follow (levelRight, inputRight);
    repaint();
}

float StereoOutputMeterComponent::proportionForLevel (float level) noexcept
{
    const auto db = decibelsFloored (level);
    return db > 0.0f ? 1.0f : (db + 60.0f) / 60.0f;
}

void StereoOutputMeterComponent::paint (juce::Graphics& g)
{
    const auto width = static_cast<float> (getWidth());
    const auto height = std::max (static_cast<float> (getHeight()), 0.0f);

    if (height <= 24.0f)
        return;

    const auto meterWidth = std::min (width, 78.0f);
    const auto innerWidth = std::max (meterWidth - 2.0f, 0.0f);

    if (innerWidth <= 48.0f)
        return;

    const auto x0 = (width - meterWidth) / 2.0f + 1.0f;
    const auto scaleWidth = std::min (innerWidth, 30.0f);
    const auto scaleGap = std::min (innerWidth - scaleWidth, 3.0f);
    const auto rest = innerWidth - scaleWidth - scaleGap;
    const auto barsWidth = std::min (rest, 42.0f);
    const auto barsX = x0 + scaleWidth + scaleGap + (rest - barsWidth) / 2.0f;
    const auto leftWidth = std::min (barsWidth, (barsWidth - 3.0f) / 2.0f);
    const auto barGap = std::min (barsWidth - leftWidth, 3.0f);
    const auto rightWidth = barsWidth - leftWidth - barGap;

    const auto labelHeight = std::min (height, 10.0f);
    const auto labelY = height - labelHeight;
    const auto barHeight = height - labelHeight - std::min (height - labelHeight, 1.0f);

    drawMeterBar (g,
                  { barsX, 0.0f, leftWidth, barHeight },
                  { barsX, labelY, leftWidth, labelHeight },
                  proportionForLevel (levelLeft),
                  "L");
    drawMeterBar (g,
                  { barsX + leftWidth + barGap, 0.0f, rightWidth, barHeight },
                  { barsX + leftWidth + barGap, labelY, rightWidth, labelHeight },
                  proportionForLevel (levelRight),
                  "R");

    g.setFont (JuceCompat::defaultFont (7.5f));

    for (const auto& [decibels, fraction] : { std::pair { -12, 0.8f }, { -24, 0.6f }, { -36, 0.4f }, { -48, 0.2f } })
    {
        const auto markY = barHeight - fraction * barHeight;
        g.setColour (white (0x6b));
        g.drawFittedText (juce::String (decibels) + " dB",
                          juce::Rectangle<float> (x0, markY - 4.5f, scaleWidth - 4.0f, 9.0f).toNearestInt(),
                          juce::Justification::centredRight,
                          1);

        if (barsX > x0 + scaleWidth - 3.0f)
        {
            g.setColour (white (0x29));
            g.fillRect (juce::Rectangle<float> (x0 + scaleWidth - 3.0f, std::round (markY), barsX - (x0 + scaleWidth - 3.0f), 1.0f));
        }
    }
}

void StereoOutputMeterComponent::drawMeterBar (juce::Graphics& g,
                                               juce::Rectangle<float> bar,
                                               juce::Rectangle<float> labelArea,
                                               float proportion,
                                               const juce::String& label) const
{
    const auto p = juce::jlimit (0.0f, 1.0f, proportion);

    g.setColour (juce::Colours::black.withAlpha ((juce::uint8) 0x61));
    g.fillRect (bar);

    g.setColour (juce::Colour (valueColour));
    g.fillRect (bar.withTop (bar.getBottom() - p * bar.getHeight()));

    g.setColour (white (0x38));
    g.drawRect (bar, 0.8f);

    g.setColour (white (0x75));
    g.setFont (JuceCompat::defaultFont (8.0f));
    g.drawFittedText (label, labelArea.toNearestInt(), juce::Justification::centred, 1);
}
