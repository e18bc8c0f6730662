#include "CorrelationMeterComponent.h"

#include "JuceCompat.h"

namespace
{
    juce::Colour white (juce::uint8 alpha)
    {
        return juce::Colours::white.withAlpha (alpha);
    }
} // namespace

CorrelationMeterComponent::CorrelationMeterComponent() : lastUpdateMs (juce::Time::getMillisecondCounterHiRes())
{
    setInterceptsMouseClicks (false, false);
}

void CorrelationMeterComponent::resized()
{
    repaint();
}

void CorrelationMeterComponent::reset()
{
    target = displayed = 0.0f;
    valid = initialised = false;
    lastUpdateMs = juce::Time::getMillisecondCounterHiRes();
    repaint();
}

void CorrelationMeterComponent::setState (float newTarget, float newDisplayed, bool isValid, bool isInitialised)
{
    target = juce::jlimit (-1.0f, 1.0f, std::isfinite (newTarget) ? newTarget : 0.0f);
    displayed = juce::jlimit (-1.0f, 1.0f, std::isfinite (newDisplayed) ? newDisplayed : 0.0f);
    valid = isValid;
    initialised = isInitialised;
    repaint();
}

void CorrelationMeterComponent::paint (juce::Graphics& g)
{
    if (getWidth() <= 23 || getHeight() <= 25)
        return;

    const auto width = static_cast<float> (getWidth());
    const auto height = static_cast<float> (getHeight());

    g.setColour (white (0x7a));
    g.setFont (JuceCompat::defaultFont (9.5f));
    const auto titleHeight = std::min (height, 10.0f);
    g.drawFittedText ("CORRELATION", juce::Rectangle<float> (0.0f, 0.0f, width, titleHeight).toNearestInt(), juce::Justification::centred, 1);

    const auto restTop = titleHeight + 2.0f;
    const auto rest = std::max (height - restTop, 0.0f);
    const auto scaleHeight = std::min (rest, 10.0f);
    const auto scaleY = height - scaleHeight;
    const auto areaHeight = std::max (scaleY - 2.0f - restTop, 0.0f);
    const auto barHeight = std::min (areaHeight, 12.0f);
    const juce::Rectangle<float> bar (0.0f, restTop + (areaHeight - barHeight) / 2.0f, width, barHeight);

    g.setColour (juce::Colours::black.withAlpha ((juce::uint8) 0x61));
    g.fillRoundedRectangle (bar, 1.5f);

    g.setColour (white (0x38));
    g.fillRect (juce::Rectangle<float> (std::round (bar.getCentreX()), bar.getY() - 1.0f, 1.0f, bar.getHeight() + 2.0f));

    if (valid && initialised)
    {
        const auto px = (displayed + 1.0f) / 2.0f * width;
        const auto centre = bar.getCentreX();
        g.setColour (juce::Colour (valueColour));
        g.fillRect (juce::Rectangle<float> (std::min (px, centre), bar.getY(), std::abs (px - centre), bar.getHeight()));
        g.fillRect (juce::Rectangle<float> (std::round (px), bar.getY() - 1.0f, 1.0f, bar.getHeight() + 2.0f));
    }

    g.setColour (white (0x38));
    g.drawRoundedRectangle (bar, 1.5f, 0.8f);

    g.setColour (white (0x6b));
    g.setFont (JuceCompat::defaultFont (8.0f));
    const auto third = width / 3.0f;
    const auto row = [&] (float x) { return juce::Rectangle<float> (x, scaleY, third, scaleHeight).toNearestInt(); };
    g.drawText ("-1", row (0.0f), juce::Justification::centredLeft, true);
    g.drawText ("0", row (third), juce::Justification::centred, true);
    g.drawText ("+1", row (2.0f * third), juce::Justification::centredRight, true);
}
