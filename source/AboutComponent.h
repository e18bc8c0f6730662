#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>

/** An overlay that dims the editor and shows a card with the product's name, version,
    maker and a link to its page. A click outside the card, Escape or the link closes it. */
class AboutComponent : public juce::Component
{
public:
    /** A label that can be clicked, with a hover colour. */
    class LinkLabel : public juce::Label
    {
    public:
        LinkLabel();

        void mouseEnter (const juce::MouseEvent& event) override;
        void mouseExit (const juce::MouseEvent& event) override;
        void mouseUp (const juce::MouseEvent& event) override;

        std::function<void()> onClick;
        bool isHovered() const noexcept { return hovered; }

        static constexpr juce::uint32 normalColour = 0xd6e8ebef;
        static constexpr juce::uint32 hoverColour = 0xff5783b9;

    private:
        bool hovered = false;
    };

    AboutComponent (juce::String productName,
                    juce::String subtitle,
                    juce::String developerLine,
                    juce::String footerText,
                    juce::String linkText);

    void paint (juce::Graphics& g) override;
    void resized() override;
    void mouseDown (const juce::MouseEvent& event) override;
    bool keyPressed (const juce::KeyPress& key) override;

    /** Sets the version row from the plug-in's version; the editor calls it before showing. */
    void refresh();

    /** Called when the panel wants to close. */
    std::function<void()> onClose;

    /** Opens an address; the system's browser unless replaced (tests replace it). */
    std::function<void (const juce::URL&)> openAddress = [] (const juce::URL& url) { url.launchInDefaultBrowser(); };

    /** The card's rectangle for the panel's current size. */
    juce::Rectangle<float> getCardBounds() const;

    /** The address the link opens: the text, with "https://" in front when it has no scheme. */
    static juce::String addressForLinkText (const juce::String& linkText);

    const juce::Label& getVersionLabel() const noexcept { return versionLabel; }
    LinkLabel& getLinkLabel() noexcept { return linkLabel; }

private:
    juce::Rectangle<float> getInnerPanelBounds (juce::Rectangle<float> card) const;

    juce::String productName, subtitle, developerLine, footerText, linkText;
    juce::Label titleLabel, subtitleLabel, versionLabel, developerLabel;
    LinkLabel linkLabel;
    juce::Label footerLabel;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (AboutComponent)
};
