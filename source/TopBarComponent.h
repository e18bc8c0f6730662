#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <array>
#include <functional>

/** The strip across the top of the editor: listen mono, Bypass All, Store with the four
    wholefield slots, and undo and redo. It draws its own buttons and reports clicks. */
class TopBarComponent : public juce::Component, private juce::Timer
{
public:
    /** A pill with a text label. */
    class TextButton : public juce::Component
    {
    public:
        explicit TextButton (juce::String label);

        void paint (juce::Graphics& g) override;
        void mouseEnter (const juce::MouseEvent&) override;
        void mouseExit (const juce::MouseEvent&) override;
        void mouseUp (const juce::MouseEvent&) override;

        void setActive (bool shouldBeActive);
        void setPulsing (bool shouldPulse);
        bool isActive() const noexcept { return active; }
        bool isPulsing() const noexcept { return pulsing; }
        const juce::String& getText() const noexcept { return text; }

        std::function<void()> onClick;
        juce::Justification justification = juce::Justification::centred;

    private:
        juce::String text;
        bool active = false, pulsing = false, hovered = false;
    };

    /** An undo or redo glyph: a three-quarter circle with an arrow head. */
    class IconButton : public juce::Component
    {
    public:
        enum class Icon
        {
            undo = 0,
            redo = 1
        };

        explicit IconButton (Icon iconToShow);

        void paint (juce::Graphics& g) override;
        void mouseEnter (const juce::MouseEvent&) override;
        void mouseExit (const juce::MouseEvent&) override;
        void mouseUp (const juce::MouseEvent&) override;

        std::function<void()> onClick;

    private:
        Icon icon;
        bool hovered = false;
    };

    /** One of the four wholefield slots. */
    class StoreSlotButton : public juce::Component
    {
    public:
        explicit StoreSlotButton (int index);

        void paint (juce::Graphics& g) override;
        void mouseEnter (const juce::MouseEvent&) override;
        void mouseExit (const juce::MouseEvent&) override;
        void mouseUp (const juce::MouseEvent&) override;

        void setStored (bool isStored);
        void setCurrent (bool isCurrent);
        void setModified (bool isModified);
        void setArmed (bool isArmed);
        void setFlashStartMs (double startMs);

        bool isStored() const noexcept { return stored; }
        bool isCurrent() const noexcept { return current; }
        bool isModified() const noexcept { return modified; }
        bool isArmed() const noexcept { return armed; }
        double getFlashStartMs() const noexcept { return flashStartMs; }
        int getSlotIndex() const noexcept { return slotIndex; }

        std::function<void (int)> onClick;

    private:
        int slotIndex;
        bool stored = false, current = false, modified = false, armed = false, hovered = false;
        double flashStartMs = -1.0;
    };

    TopBarComponent();
    ~TopBarComponent() override;

    void paint (juce::Graphics& g) override;
    void resized() override;

    /** Arms the slots for storing (or disarms them); the Store button and the slots pulse. */
    void setStoreArmed (bool armed);
    bool isStoreArmed() const noexcept { return storeArmed; }

    std::function<void()> onListenMono, onBypassAll, onStore;
    std::function<void (int)> onSlotClicked;
    std::function<void()> onUndo, onRedo;

    TextButton listenMonoButton { "listen mono" };
    TextButton bypassAllButton { "Bypass All" };
    TextButton storeButton { "Store" };
    std::array<StoreSlotButton, 4> slotButtons { StoreSlotButton (0), StoreSlotButton (1), StoreSlotButton (2), StoreSlotButton (3) };
    IconButton undoButton { IconButton::Icon::undo };
    IconButton redoButton { IconButton::Icon::redo };

    static constexpr juce::uint32 accentColour = 0xff5783b9;
    static constexpr juce::uint32 lightTextColour = 0xffe8ebef;

private:
    void timerCallback() override;

    bool storeArmed = false;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (TopBarComponent)
};
