#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

/** A two-bar peak meter of one instance's output, with a dB scale. Instant attack, a release
    of 48 dB per second. */
class StereoOutputMeterComponent : public juce::Component
{
public:
    StereoOutputMeterComponent();

    void paint (juce::Graphics& g) override;
    void resized() override;

    /** The latest peaks (linear gain); NaN, infinite and negative values count as 0. */
    void setPeaks (float left, float right);
    void reset();

    float getLevelLeft() const noexcept { return levelLeft; }
    float getLevelRight() const noexcept { return levelRight; }

    /** The proportion of a bar that a level fills: -60 dB to 0 dB over the bar's height. */
    static float proportionForLevel (float level) noexcept;

    static constexpr juce::uint32 valueColour = 0xff2e64a8;

private:
    void drawMeterBar (juce::Graphics& g,
                       juce::Rectangle<float> bar,
                       juce::Rectangle<float> labelArea,
                       float proportion,
                       const juce::String& label) const;

    float inputLeft = 0.0f, inputRight = 0.0f;
    float levelLeft = 0.0f, levelRight = 0.0f;
    double lastUpdateMs;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (StereoOutputMeterComponent)
};
