#include "AboutComponent.h"

#include "JuceCompat.h"

namespace
{
    juce::Colour white (juce::uint8 alpha)
    {
        return juce::Colours::white.withAlpha (alpha);
    }

    juce::Rectangle<int> rowBounds (float x, float y, float width, float height)
    {
        return juce::Rectangle<float> (x, y, std::max (width, 0.0f), std::max (height, 0.0f)).toNearestInt();
    }

    void styleLabel (juce::Label& label, const juce::String& text, float fontHeight, bool bold, juce::Colour colour)
    {
        label.setText (text, juce::dontSendNotification);
        label.setFont (JuceCompat::defaultFont (fontHeight, bold));
        label.setColour (juce::Label::textColourId, colour);
        label.setJustificationType (juce::Justification::centredLeft);
        label.setEditable (false, false, false);
        label.setBorderSize ({});
    }
} // namespace

AboutComponent::LinkLabel::LinkLabel()
{
    setMouseCursor (juce::MouseCursor::PointingHandCursor);
    setColour (juce::Label::textColourId, juce::Colour (normalColour));
}

void AboutComponent::LinkLabel::mouseEnter (const juce::MouseEvent&)
{
    hovered = true;
    setColour (juce::Label::textColourId, juce::Colour (hoverColour));
}

void AboutComponent::LinkLabel::mouseExit (const juce::MouseEvent&)
{
    hovered = false;
    setColour (juce::Label::textColourId, juce::Colour (normalColour));
}

void AboutComponent::LinkLabel::mouseUp (const juce::MouseEvent&)
{
    if (onClick)
        onClick();
}

//==============================================================================
AboutComponent::AboutComponent (juce::String product,
                                juce::String subtitleText,
                                juce::String developer,
                                juce::String footer,
                                juce::String link)
    : productName (std::move (product)),
      subtitle (std::move (subtitleText)),
      developerLine (std::move (developer)),
      footerText (std::move (footer)),
      linkText (std::move (link))
{
    styleLabel (titleLabel, productName, 23.0f, true, juce::Colours::white);
    styleLabel (subtitleLabel, subtitle, 13.5f, false, white (0xd6));
    styleLabel (versionLabel, {}, 13.0f, false, white (0xb8));
    styleLabel (developerLabel, developerLine, 13.0f, false, white (0xb8));
    styleLabel (linkLabel, linkText, 13.0f, false, juce::Colour (LinkLabel::normalColour));
    styleLabel (footerLabel, footerText, 11.5f, false, white (0x80));

    for (auto* label : { &titleLabel, &subtitleLabel, &versionLabel, &developerLabel, &footerLabel })
        label->setInterceptsMouseClicks (false, false);

    for (auto* label : { &titleLabel, &subtitleLabel, &versionLabel, &developerLabel })
        addAndMakeVisible (*label);

    addAndMakeVisible (linkLabel);
    addAndMakeVisible (footerLabel);

    linkLabel.onClick = [this] {
        if (openAddress)
            openAddress (juce::URL (addressForLinkText (linkText)));

        if (onClose)
            onClose();
    };

    setWantsKeyboardFocus (true);
    refresh();
}

juce::String AboutComponent::addressForLinkText (const juce::String& text)
{
    return text.startsWithIgnoreCase ("http") ? text : "https://" + text;
}

void AboutComponent::refresh()
{
    auto version = juce::String (JucePlugin_VersionString).trim();

    if (version.isEmpty())
        version = "1.0.0";

    versionLabel.setText ("Version " + version, juce::dontSendNotification);
}

juce::Rectangle<float> AboutComponent::getCardBounds() const
{
    const auto available = getLocalBounds().toFloat().reduced (24.0f);
    const bool wide = getWidth() > 620;
    const auto cardWidth = std::min (wide ? 460.0f : 392.0f, std::max (available.getWidth(), 0.0f));
    const auto cardHeight = std::min (wide ? 318.0f : 300.0f, std::max (available.getHeight(), 0.0f));
    return juce::Rectangle<float> (cardWidth, cardHeight).withCentre (available.getCentre());
}

juce::Rectangle<float> AboutComponent::getInnerPanelBounds (juce::Rectangle<float> card) const
{
    const auto inside = std::max (card.getHeight() - 44.0f, 0.0f);
    const auto topOffset = std::min (inside, 92.0f);
    const auto rest = inside - topOffset;
    return { card.getX() + 22.0f, card.getY() + 22.0f + topOffset, card.getWidth() - 44.0f, rest - std::min (rest, 16.0f) };
}

void AboutComponent::resized()
{
    const auto card = getCardBounds();
    const auto inner = getInnerPanelBounds (card);

    titleLabel.setBounds (rowBounds (card.getX() + 22.0f, card.getY() + 18.0f, card.getWidth() - 44.0f, 30.0f));
    subtitleLabel.setBounds (rowBounds (card.getX() + 22.0f, card.getY() + 18.0f + 30.0f + 2.0f, card.getWidth() - 44.0f, 20.0f));

    const auto rowX = inner.getX() + 18.0f;
    const auto rowWidth = inner.getWidth() - 36.0f;
    const auto versionY = inner.getY() + 15.0f;
    versionLabel.setBounds (rowBounds (rowX, versionY, rowWidth, 20.0f));
    developerLabel.setBounds (rowBounds (rowX, versionY + 26.0f, rowWidth, 20.0f));
    linkLabel.setBounds (rowBounds (rowX, versionY + 86.0f, rowWidth, 20.0f));
    footerLabel.setBounds (rowBounds (rowX, inner.getBottom() - 15.0f - 20.0f, rowWidth, 20.0f));
}

void AboutComponent::paint (juce::Graphics& g)
{
    g.fillAll (juce::Colours::black.withAlpha ((juce::uint8) 0xad));

    const auto card = getCardBounds();
    juce::Path cardShape;
    cardShape.addRoundedRectangle (card, 16.0f);
    juce::DropShadow (juce::Colours::black.withAlpha ((juce::uint8) 0x7a), 22, { 0, 8 }).drawForPath (g, cardShape);

    g.setGradientFill (juce::ColourGradient (juce::Colour (0xff360b28u), card.getTopLeft(), juce::Colour (0xff050004u), card.getBottomRight(), false));
    g.fillPath (cardShape);

    {
        const juce::Graphics::ScopedSaveState saved (g);
        g.reduceClipRegion (card.toNearestInt());
        g.setColour (juce::Colour (0x1a9e2ea8u));
        g.fillEllipse (card.getX() + card.getWidth() - 150.0f, card.getY() - 86.0f, 210.0f, 170.0f);
        g.setColour (juce::Colour (0x132e64a8u));
        g.fillEllipse (card.getX() - 78.0f, card.getY() + card.getHeight() - 118.0f, 170.0f, 145.0f);
    }

    g.setColour (white (0x16));
    g.drawRoundedRectangle (card, 16.0f, 1.0f);

    const auto inner = getInnerPanelBounds (card);
    juce::Path innerShape;
    innerShape.addRoundedRectangle (inner, 11.0f);
    juce::DropShadow (juce::Colours::black.withAlpha ((juce::uint8) 0x47), 10, { 0, 3 }).drawForPath (g, innerShape);
    g.setGradientFill (juce::ColourGradient (juce::Colour (0xeb2e0922u), inner.getTopLeft(), juce::Colour (0xf5090207u), inner.getBottomRight(), false));
    g.fillPath (innerShape);
    g.setColour (white (0x1d));
    g.drawRoundedRectangle (inner, 11.0f, 1.0f);

    const auto highlight = juce::Rectangle<float> (inner.getX() + 4.0f,
                                                   inner.getY() + 4.0f,
                                                   std::max (inner.getWidth() - 8.0f, 0.0f),
                                                   std::max (inner.getHeight() - 8.0f, 0.0f));
    g.setColour (white (0x09));
    g.drawRoundedRectangle (highlight, 7.0f, 1.0f);
}

void AboutComponent::mouseDown (const juce::MouseEvent& event)
{
    if (! getCardBounds().contains (event.position) && onClose)
        onClose();
}

bool AboutComponent::keyPressed (const juce::KeyPress& key)
{
    if (key.getKeyCode() == juce::KeyPress::escapeKey && key.getModifiers().withoutMouseButtons() == juce::ModifierKeys())
    {
        if (onClose)
            onClose();

        return true;
    }

    return false;
}
