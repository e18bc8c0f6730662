#include "TopBarComponent.h"

#include "JuceCompat.h"

#include <cmath>

namespace
{
    juce::Font topBarFont()
    {
        return JuceCompat::defaultFont (12.0f);
    }

    /** Alphas given as fractions become the nearest byte. */
    juce::Colour withAlphaFraction (juce::Colour colour, float alpha)
    {
        return colour.withAlpha (static_cast<juce::uint8> (juce::jlimit (0, 255, juce::roundToInt (alpha * 255.0f))));
    }

    juce::Path pillShape (const juce::Component& component)
    {
        const juce::Rectangle<float> p (0.75f,
                                        0.75f,
                                        std::max (0.0f, static_cast<float> (component.getWidth()) - 1.5f),
                                        std::max (0.0f, static_cast<float> (component.getHeight()) - 1.5f));
        juce::Path path;
        path.addRoundedRectangle (p, p.getHeight() / 2.0f);
        return path;
    }

    void fillAndOutline (juce::Graphics& g, const juce::Component& component, juce::Colour colour, float fill, float outline)
    {
        const auto shape = pillShape (component);

        if (fill > 0.0f)
        {
            g.setColour (withAlphaFraction (colour, fill));
            g.fillPath (shape);
        }

        if (outline > 0.0f)
        {
            g.setColour (withAlphaFraction (colour, outline));
            g.strokePath (shape, juce::PathStrokeType (1.0f));
        }
    }

    float pulse()
    {
        return 0.5f + 0.5f * std::sin (0.008f * static_cast<float> (juce::Time::getMillisecondCounterHiRes()));
    }

    const juce::Colour accent (TopBarComponent::accentColour);
    const juce::Colour lightText (TopBarComponent::lightTextColour);

    void prepareButton (juce::Component& button)
    {
        button.setMouseCursor (juce::MouseCursor::PointingHandCursor);
        button.setInterceptsMouseClicks (true, false);
    }
} // namespace

//==============================================================================
TopBarComponent::TextButton::TextButton (juce::String label) : text (std::move (label))
{
    prepareButton (*this);
}

void TopBarComponent::TextButton::setActive (bool shouldBeActive)
{
    if (active != shouldBeActive)
    {
        active = shouldBeActive;
        repaint();
    }
}

void TopBarComponent::TextButton::setPulsing (bool shouldPulse)
{
    if (pulsing != shouldPulse)
    {
        pulsing = shouldPulse;
        repaint();
    }
}

void TopBarComponent::TextButton::mouseEnter (const juce::MouseEvent&)
{
    hovered = true;
    repaint();
}

void TopBarComponent::TextButton::mouseExit (const juce::MouseEvent&)
{
    hovered = false;
    repaint();
}

void TopBarComponent::TextButton::mouseUp (const juce::MouseEvent&)
{
    if (isEnabled() && onClick)
        onClick();
}

void TopBarComponent::TextButton::paint (juce::Graphics& g)
{
    const bool enabled = isEnabled();
    const auto colour = (active || pulsing) ? accent : lightText;
    float outline = 0.0f, fill = 0.0f, textAlpha = 0.0f;

    if (pulsing)
    {
        const auto p = pulse();
        outline = 0.35f + 0.65f * p;
        fill = 0.06f + 0.12f * p;
        textAlpha = 0.98f;
    }
    else if (active)
    {
        outline = 0.72f;
        fill = 0.12f;
        textAlpha = 0.98f;
    }
    else
    {
        textAlpha = enabled ? 0.78f : 0.26f;

        if (hovered)
        {
            outline = 0.085f;
            fill = 0.04f;
        }
    }

    if (! pulsing && hovered && enabled)
    {
        outline += 0.065f;
        fill += 0.035f;
        textAlpha = 0.98f;
    }

    if (! enabled)
    {
        outline *= 0.35f;
        fill *= 0.35f;
    }

    fillAndOutline (g, *this, colour, fill, outline);

    g.setFont (topBarFont());
    g.setColour (withAlphaFraction (lightText, textAlpha));
    g.drawFittedText (text, { 8, 0, std::max (0, getWidth() - 16), getHeight() }, justification, 1);
}

//==============================================================================
TopBarComponent::IconButton::IconButton (Icon iconToShow) : icon (iconToShow)
{
    prepareButton (*this);
}

void TopBarComponent::IconButton::mouseEnter (const juce::MouseEvent&)
{
    hovered = true;
    repaint();
}

void TopBarComponent::IconButton::mouseExit (const juce::MouseEvent&)
{
    hovered = false;
    repaint();
}

void TopBarComponent::IconButton::mouseUp (const juce::MouseEvent&)
{
    if (isEnabled() && onClick)
        onClick();
}

void TopBarComponent::IconButton::paint (juce::Graphics& g)
{
    const bool enabled = isEnabled();
    const bool lit = enabled && hovered;

    if (lit)
    {
        const auto shape = pillShape (*this);
        g.setColour (juce::Colours::white.withAlpha ((juce::uint8) 0x14));
        g.fillPath (shape);
        g.setColour (juce::Colours::white.withAlpha ((juce::uint8) 0x21));
        g.strokePath (shape, juce::PathStrokeType (1.0f));
    }

    const auto w = std::max (0.0f, static_cast<float> (getWidth()) - 4.0f);
    const auto h = std::max (0.0f, static_cast<float> (getHeight()) - 3.0f);
    const juce::Point<float> centre (2.0f + w / 2.0f, 1.75f + h / 2.0f);
    const auto radius = 0.43f * std::min (w, h);

    const auto colour = juce::Colours::white.withAlpha ((juce::uint8) (! enabled ? 0x42 : (lit ? 0xff : 0xb8)));
    const auto degrees = juce::MathConstants<float>::pi / 180.0f;
    const bool isUndo = icon == Icon::undo;
    const auto start = (isUndo ? 135.0f : 45.0f) * degrees;
    const auto sweep = (isUndo ? -270.0f : 270.0f) * degrees;

    juce::Path arc;

    for (int i = 0; i <= 48; ++i)
    {
        const auto theta = start + sweep * static_cast<float> (i) / 48.0f;
        const juce::Point<float> point (centre.x + radius * std::cos (theta), centre.y + radius * std::sin (theta));

        if (i == 0)
            arc.startNewSubPath (point);
        else
            arc.lineTo (point);
    }

    g.setColour (colour);
    g.strokePath (arc, juce::PathStrokeType (lit ? 2.1f : 1.85f, juce::PathStrokeType::curved, juce::PathStrokeType::butt));

    const auto end = (isUndo ? -135.0f : 315.0f) * degrees;
    const auto side = isUndo ? -1.0f : 1.0f;
    const juce::Point<float> tip (centre.x + radius * std::cos (end), centre.y + radius * std::sin (end));
    const juce::Point<float> tangent (side * -std::sin (end), side * std::cos (end));
    const juce::Point<float> normal (-tangent.y, tangent.x);

    juce::Path head;
    head.addTriangle (tip + tangent * (0.96f * radius), tip + normal * (0.56f * radius), tip - normal * (0.56f * radius));
    g.fillPath (head);
}

//==============================================================================
TopBarComponent::StoreSlotButton::StoreSlotButton (int index) : slotIndex (index)
{
    setInterceptsMouseClicks (true, false);
}

void TopBarComponent::StoreSlotButton::setStored (bool isStored)
{
    if (stored != isStored)
    {
        stored = isStored;
        repaint();
    }
}

void TopBarComponent::StoreSlotButton::setCurrent (bool isCurrent)
{
    if (current != isCurrent)
    {
        current = isCurrent;
        repaint();
    }
}

void TopBarComponent::StoreSlotButton::setModified (bool isModified)
{
    if (modified != isModified)
    {
        modified = isModified;
        repaint();
    }
}

void TopBarComponent::StoreSlotButton::setArmed (bool isArmed)
{
    if (armed != isArmed)
    {
        armed = isArmed;
        repaint();
    }
}

void TopBarComponent::StoreSlotButton::setFlashStartMs (double startMs)
{
    flashStartMs = startMs;
    repaint();
}

void TopBarComponent::StoreSlotButton::mouseEnter (const juce::MouseEvent&)
{
    hovered = true;
    setMouseCursor ((armed || stored) ? juce::MouseCursor::PointingHandCursor : juce::MouseCursor::NormalCursor);
    repaint();
}

void TopBarComponent::StoreSlotButton::mouseExit (const juce::MouseEvent&)
{
    hovered = false;
    repaint();
}

void TopBarComponent::StoreSlotButton::mouseUp (const juce::MouseEvent&)
{
    if ((armed || stored) && onClick)
        onClick (slotIndex);
}

void TopBarComponent::StoreSlotButton::paint (juce::Graphics& g)
{
    const auto colour = (current || armed) ? accent : juce::Colours::white;
    float outline, fill, textAlpha;

    if (armed)
    {
        const auto p = pulse();
        outline = 0.35f + 0.65f * p;
        fill = 0.06f + 0.12f * p;
        textAlpha = 0.96f;
    }
    else if (current)
    {
        outline = 0.7f;
        fill = 0.1f;
        textAlpha = 1.0f;
    }
    else if (stored)
    {
        outline = 0.13f;
        fill = 0.042f;
        textAlpha = 0.74f;
    }
    else
    {
        outline = 0.035f;
        fill = 0.012f;
        textAlpha = 0.25f;
    }

    if (hovered && (armed || stored))
    {
        outline += 0.105f;
        fill += 0.045f;
        textAlpha = 1.0f;
    }

    const auto shape = pillShape (*this);
    g.setColour (withAlphaFraction (colour, fill));
    g.fillPath (shape);
    g.setColour (withAlphaFraction (colour, outline));
    g.strokePath (shape, juce::PathStrokeType (1.0f));

    g.setFont (topBarFont());
    g.setColour (withAlphaFraction ((current || armed) ? lightText : juce::Colours::white, textAlpha));
    g.drawText (juce::String (slotIndex + 1), getLocalBounds(), juce::Justification::centred, false);

    if (modified)
    {
        g.setColour (juce::Colours::white.withAlpha ((juce::uint8) 0xcc));
        g.fillEllipse (static_cast<float> (getWidth()) - 8.75f, 4.75f, 4.0f, 4.0f);
    }

    if (flashStartMs >= 0.0)
    {
        const auto elapsed = juce::Time::getMillisecondCounterHiRes() - flashStartMs;

        if (elapsed < 360.0)
        {
            g.setColour (withAlphaFraction (juce::Colours::white, 0.18f * static_cast<float> (1.0 - elapsed / 360.0)));
            g.fillPath (shape);
        }
    }
}

//==============================================================================
TopBarComponent::TopBarComponent()
{
    listenMonoButton.onClick = [this] {
        if (onListenMono)
            onListenMono();
    };
    bypassAllButton.onClick = [this] {
        if (onBypassAll)
            onBypassAll();
    };
    storeButton.onClick = [this] {
        if (onStore)
            onStore();
    };

    for (auto& slot : slotButtons)
        slot.onClick = [this] (int index) {
            if (onSlotClicked)
                onSlotClicked (index);
        };

    undoButton.onClick = [this] {
        if (onUndo)
            onUndo();
    };
    redoButton.onClick = [this] {
        if (onRedo)
            onRedo();
    };

    addAndMakeVisible (listenMonoButton);
    addAndMakeVisible (bypassAllButton);
    addAndMakeVisible (storeButton);

    for (auto& slot : slotButtons)
        addAndMakeVisible (slot);

    addAndMakeVisible (undoButton);
    addAndMakeVisible (redoButton);
    undoButton.setEnabled (false);
    redoButton.setEnabled (false);

    startTimer (33);
}

TopBarComponent::~TopBarComponent()
{
    stopTimer();
}

void TopBarComponent::setStoreArmed (bool armed)
{
    if (armed == storeArmed)
        return;

    storeArmed = armed;
    storeButton.setPulsing (armed);

    for (auto& slot : slotButtons)
        slot.setArmed (armed);

    repaint();
}

void TopBarComponent::timerCallback()
{
    if (storeArmed)
        storeButton.repaint();

    // Every slot, armed or not, so that a flash fades out.
    for (auto& slot : slotButtons)
        slot.repaint();
}

void TopBarComponent::resized()
{
    const auto w = getWidth();
    const auto h = getHeight();
    const bool compact = w < 620;
    const auto y24 = (h - 24) / 2;
    const auto y20 = (h - 20) / 2;

    const auto textButtonWidth = compact ? 84 : 98;
    const auto firstX = compact ? 10 : 14;
    const auto gapAfterText = compact ? 6 : 8;

    listenMonoButton.setBounds (firstX, y24, textButtonWidth, 24);
    bypassAllButton.setBounds (listenMonoButton.getRight() + gapAfterText, y24, textButtonWidth, 24);

    redoButton.setBounds (compact ? w - 36 : w - 42, y20, compact ? 26 : 28, 20);
    undoButton.setBounds (redoButton.getX() - (compact ? 28 : 32), y20, compact ? 26 : 28, 20);

    const auto groupLimit = compact ? 171 : 201;
    const auto storeWidth = compact ? 48 : 58;
    const auto gapAfterStore = compact ? 6 : 8;
    const auto slotWidth = compact ? 27 : 30;
    const auto slotGap = compact ? 3 : 5;

    const auto leftEdge = bypassAllButton.getRight() + gapAfterText;
    const auto free = std::max (0, undoButton.getX() - 8 - leftEdge + (compact ? 2 : 0));
    const auto group = std::min (groupLimit, free);
    auto x = leftEdge + free / 2 - group / 2;
    auto remaining = group;

    // The pieces are taken from the left, each cut to what is left of the group.
    const auto take = [&] (int wanted) {
        const auto width = std::min (wanted, remaining);
        const auto start = x;
        x += width;
        remaining -= width;
        return std::make_pair (start, width);
    };

    const auto [storeX, storeW] = take (storeWidth);
    storeButton.setBounds (storeX, y24, storeW, 24);
    take (gapAfterStore);

    for (size_t i = 0; i < slotButtons.size(); ++i)
    {
        if (i > 0)
            take (slotGap);

        const auto [slotX, slotW] = take (slotWidth);
        slotButtons[i].setBounds (slotX, y24, slotW, 24);
    }
}

void TopBarComponent::paint (juce::Graphics& g)
{
    const juce::Rectangle<float> area (0.5f,
                                       0.5f,
                                       std::max (0.0f, static_cast<float> (getWidth()) - 1.0f),
                                       std::max (0.0f, static_cast<float> (getHeight()) - 1.0f));
    juce::Path shape;
    shape.addRoundedRectangle (area, 9.0f);

    const auto centreX = static_cast<float> (getWidth()) / 2.0f;
    g.setGradientFill (juce::ColourGradient (juce::Colour (0xff2e0922u), centreX, 0.0f, juce::Colours::black, centreX, static_cast<float> (getHeight()), false));
    g.fillPath (shape);
    g.setColour (juce::Colours::white.withAlpha ((juce::uint8) 0x42));
    g.strokePath (shape, juce::PathStrokeType (1.0f));
}
