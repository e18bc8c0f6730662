#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>

/** The knob's drawing: a shaded body, a rim and a value arc, with no pointer. */
class AstrelKnobLookAndFeel : public juce::LookAndFeel_V4
{
public:
    ~AstrelKnobLookAndFeel() override = default;

    void drawRotarySlider (juce::Graphics& g,
                           int x,
                           int y,
                           int width,
                           int height,
                           float sliderPosProportional,
                           float rotaryStartAngle,
                           float rotaryEndAngle,
                           juce::Slider& slider) override;
};

/** The inspector's rotary control. It knows nothing of parameters; its owner sets range,
    value and callbacks. */
class AstrelKnob : public juce::Slider
{
public:
    AstrelKnob();
    ~AstrelKnob() override;

    void mouseEnter (const juce::MouseEvent& event) override;
    void mouseExit (const juce::MouseEvent& event) override;
    void mouseDown (const juce::MouseEvent& event) override;
    void modifierKeysChanged (const juce::ModifierKeys& modifiers) override;

    /** Called at the start of every press, before the slider handles it. */
    std::function<void (const juce::ModifierKeys&)> onMouseDownWithModifiers;
    /** Called on mouse enter (true) and exit (false). */
    std::function<void (bool, const juce::ModifierKeys&)> onHoverChanged;
    /** Called after the slider has handled a change of the modifier keys. */
    std::function<void (const juce::ModifierKeys&)> onModifierKeysChanged;

    /** 0: the arc runs from the start angle; 1: from the angle of the centre value. */
    void setArcMode (int mode, double centreValue = 0.0);
    int getArcMode() const noexcept { return arcMode; }
    double getArcCentreValue() const noexcept { return arcCentreValue; }

    void setInvertedBodyShading (bool inverted);
    bool hasInvertedBodyShading() const noexcept { return invertedBodyShading; }

    static constexpr juce::uint32 valueColour = 0xff2e64a8;

private:
    AstrelKnobLookAndFeel lookAndFeel;
    int arcMode = 0;
    double arcCentreValue = 0.0;
    bool invertedBodyShading = false;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (AstrelKnob)
};
