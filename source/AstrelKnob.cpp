#include "AstrelKnob.h"

void AstrelKnobLookAndFeel::drawRotarySlider (juce::Graphics& g,
                                              int x,
                                              int y,
                                              int width,
                                              int height,
                                              float sliderPosProportional,
                                              float rotaryStartAngle,
                                              float rotaryEndAngle,
                                              juce::Slider& slider)
{
    const auto size = static_cast<float> (std::min (width, height));

    if (size < 12.0f)
        return;

    const juce::Graphics::ScopedSaveState saved (g);

    const auto inset = std::max (0.06f * size, 2.0f);
    const auto diameter = std::max (size - 2.0f * inset, 0.0f);
    const juce::Rectangle<float> body (static_cast<float> (x) + (static_cast<float> (width) - size) / 2.0f + inset,
                                       static_cast<float> (y) + (static_cast<float> (height) - size) / 2.0f + inset,
                                       diameter,
                                       diameter);
    const auto centre = body.getCentre();

    const bool enabled = slider.isEnabled();
    const bool hovered = enabled && (slider.isMouseOverOrDragging());

    // A disabled knob is drawn whole into a layer shown at 42 % opacity.
    if (! enabled)
        g.beginTransparencyLayer (0.42f);

    // Drop shadow of the body.
    {
        juce::Path circle;
        circle.addEllipse (body);
        juce::DropShadow (juce::Colours::black.withAlpha ((juce::uint8) 0x7a),
                          std::max (2, juce::roundToInt (0.055f * size)),
                          { 0, std::max (1, juce::roundToInt (0.025f * size)) })
            .drawForPath (g, circle);
    }

    // Body.
    {
        auto top = juce::Colour (hovered ? 0xff57384bu : 0xff361128u);
        auto bottom = juce::Colour (0xff020102u);
        auto* knob = dynamic_cast<AstrelKnob*> (&slider);

        if (knob != nullptr && knob->hasInvertedBodyShading())
            std::swap (top, bottom);

        juce::ColourGradient gradient (top, centre.x, body.getY(), bottom, centre.x, body.getBottom(), false);
        gradient.addColour (0.48, juce::Colour (0xff17050fu));
        g.setGradientFill (gradient);
        g.fillEllipse (body);
    }

    // Value arc.
    const auto sweep = rotaryEndAngle - rotaryStartAngle;
    const auto valueAngle = rotaryStartAngle + juce::jlimit (0.0f, 1.0f, sliderPosProportional) * sweep;
    auto arcFrom = rotaryStartAngle;
    auto arcTo = valueAngle;

    if (auto* knob = dynamic_cast<AstrelKnob*> (&slider); knob != nullptr && knob->getArcMode() == 1)
    {
        const auto centreProportion = static_cast<float> (slider.valueToProportionOfLength (knob->getArcCentreValue()));
        const auto centreAngle = rotaryStartAngle + juce::jlimit (0.0f, 1.0f, centreProportion) * sweep;
        arcFrom = std::min (valueAngle, centreAngle);
        arcTo = std::max (valueAngle, centreAngle);

        // At the centre itself a short mark shows where the value sits.
        if (arcTo - arcFrom < 0.002f)
        {
            arcFrom = centreAngle - 0.018f;
            arcTo = centreAngle + 0.018f;
        }
    }

    if (arcTo - arcFrom > 0.0001f)
    {
        const auto thickness = juce::jlimit (2.4f, 4.2f, 0.06f * size);
        const auto radius = diameter / 2.0f - std::max (0.035f * size, 2.0f) - thickness / 2.0f;
        juce::Path arc;
        arc.addCentredArc (centre.x, centre.y, radius, radius, 0.0f, arcFrom, arcTo, true);
        g.setColour (slider.findColour (juce::Slider::rotarySliderFillColourId).withAlpha (1.0f));
        g.strokePath (arc, juce::PathStrokeType (thickness, juce::PathStrokeType::curved, juce::PathStrokeType::rounded));
    }

    // Rim.
    g.setColour (juce::Colours::white.withAlpha ((juce::uint8) 0x57));
    g.drawEllipse (body.getX() + 0.5f,
                   body.getY() + 0.5f,
                   std::max (diameter - 1.0f, 0.0f),
                   std::max (diameter - 1.0f, 0.0f),
                   1.0f);

    if (! enabled)
        g.endTransparencyLayer();
}

//==============================================================================
AstrelKnob::AstrelKnob()
{
    setSliderStyle (juce::Slider::RotaryHorizontalVerticalDrag);
    setTextBoxStyle (juce::Slider::NoTextBox, false, 0, 0);
    setRotaryParameters (1.25f * juce::MathConstants<float>::pi, 2.75f * juce::MathConstants<float>::pi, true);
    setMouseDragSensitivity (260);
    setVelocityBasedMode (false);
    setVelocityModeParameters (0.18, 1, 0.0, true, juce::ModifierKeys::shiftModifier);
    setScrollWheelEnabled (false);
    setPopupMenuEnabled (false);
    setWantsKeyboardFocus (true);
    setDoubleClickReturnValue (true, 0.0, juce::ModifierKeys::altModifier);

    setColour (juce::Slider::rotarySliderFillColourId, juce::Colour (valueColour));
    setColour (juce::Slider::rotarySliderOutlineColourId, juce::Colours::black);
    setColour (juce::Slider::thumbColourId, juce::Colours::white);
    setLookAndFeel (&lookAndFeel);
}

AstrelKnob::~AstrelKnob()
{
    setLookAndFeel (nullptr);
}

void AstrelKnob::mouseEnter (const juce::MouseEvent& event)
{
    juce::Slider::mouseEnter (event);

    if (onHoverChanged)
        onHoverChanged (true, event.mods);
}

void AstrelKnob::mouseExit (const juce::MouseEvent& event)
{
    juce::Slider::mouseExit (event);

    if (onHoverChanged)
        onHoverChanged (false, event.mods);
}

void AstrelKnob::mouseDown (const juce::MouseEvent& event)
{
    if (onMouseDownWithModifiers)
        onMouseDownWithModifiers (event.mods);

    juce::Slider::mouseDown (event);
}

void AstrelKnob::modifierKeysChanged (const juce::ModifierKeys& modifiers)
{
    juce::Slider::modifierKeysChanged (modifiers);

    if (onModifierKeysChanged)
        onModifierKeysChanged (modifiers);
}

void AstrelKnob::setArcMode (int mode, double centreValue)
{
    arcMode = mode;
    arcCentreValue = centreValue;
    repaint();
}

void AstrelKnob::setInvertedBodyShading (bool inverted)
{
    invertedBodyShading = inverted;
    repaint();
}
