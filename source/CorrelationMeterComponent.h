#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

/** A horizontal bar showing the left/right correlation from -1 to +1. The editor's tick
    feeds and smooths it. */
class CorrelationMeterComponent : public juce::Component
{
public:
    CorrelationMeterComponent();

    void paint (juce::Graphics& g) override;
    void resized() override;

    void reset();

    /** What the editor's tick writes: the received target, the smoothed value drawn, whether
        a valid correlation is coming in, and whether the smoothed value has been seeded. */
    void setState (float newTarget, float newDisplayed, bool isValid, bool isInitialised);

    float getTarget() const noexcept { return target; }
    float getDisplayed() const noexcept { return displayed; }
    bool isValid() const noexcept { return valid; }
    bool isInitialised() const noexcept { return initialised; }
    double getLastUpdateMs() const noexcept { return lastUpdateMs; }
    void setLastUpdateMs (double ms) noexcept { lastUpdateMs = ms; }

    static constexpr juce::uint32 valueColour = 0xff2e64a8;

private:
    float target = 0.0f;
    float displayed = 0.0f;
    bool valid = false;
    bool initialised = false;
    double lastUpdateMs;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (CorrelationMeterComponent)
};
