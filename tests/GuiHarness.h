#pragma once

#include <gtest/gtest.h>
#include <juce_gui_basics/juce_gui_basics.h>

/**
    Puts a component on the desktop (a real window on the X server) and drives it with
    mouse events through its window, the way the windowing system does, so that hover,
    drag, double-click and wheel handling are the framework's own.
*/
class DesktopComponent
{
public:
    DesktopComponent (juce::Component& componentToShow, int width, int height) : component (componentToShow)
    {
        // The real pointer stays wherever an earlier test, maybe in another process, left it;
        // a window opening under it would get hover events that no test sent.
        parkThePointer();
        component.setBounds (0, 0, width, height);
        component.addToDesktop (0);
        component.setVisible (true);
    }

    ~DesktopComponent()
    {
        // Leave the shared mouse source released and outside, whatever the test did.
        if (auto* peer = component.getPeer())
        {
            peer->handleMouseEvent (touch, { -50.0f, -50.0f }, juce::ModifierKeys(), 0.0f, 0.0f, nextTime());
        }

        component.removeFromDesktop();
        parkThePointer();
    }

    /** Puts the real pointer in the screen's far corner, away from the components. */
    static void parkThePointer()
    {
        if (const auto* display = juce::Desktop::getInstance().getDisplays().getPrimaryDisplay())
            juce::Desktop::setMousePosition (display->totalArea.getBottomRight() - juce::Point<int> (1, 1));
    }

    void move (float x, float y, juce::ModifierKeys mods = {}) { send (x, y, mods.withoutMouseButtons()); }

    /** A press that never counts as the second click of a double click. */
    void press (float x, float y, juce::ModifierKeys mods = {})
    {
        time += 2 * juce::MouseEvent::getDoubleClickTimeout();
        pressAtOnce (x, y, mods);
    }

    void drag (float x, float y, juce::ModifierKeys mods = {})
    {
        send (x, y, mods.withoutMouseButtons().withFlags (button (mods)));
    }

    void release (float x, float y, juce::ModifierKeys mods = {}) { send (x, y, mods.withoutMouseButtons()); }

    void click (float x, float y, juce::ModifierKeys mods = {})
    {
        press (x, y, mods);
        release (x, y, mods);
    }

    /** Two clicks within the double-click time. */
    void doubleClick (float x, float y, juce::ModifierKeys mods = {})
    {
        click (x, y, mods);
        pressAtOnce (x, y, mods);
        release (x, y, mods);
    }

    void wheel (float x, float y, float deltaY, juce::ModifierKeys mods = {})
    {
        move (x, y, mods);
        juce::MouseWheelDetails details;
        details.deltaX = 0.0f;
        details.deltaY = deltaY;
        details.isReversed = false;
        details.isSmooth = false;
        details.isInertial = false;
        juce::Desktop::setMousePosition (component.localPointToGlobal (juce::Point<float> (x, y)).roundToInt());
        juce::ModifierKeys::currentModifiers = mods;
        component.getPeer()->handleMouseWheel (touch, { x, y }, nextTime(), details);
        juce::ModifierKeys::currentModifiers = {};
    }

    /** Leaves the component with the mouse. */
    void leave() { move (-50.0f, -50.0f); }

    juce::Image snapshot() const { return component.createComponentSnapshot (component.getLocalBounds(), true, 1.0f); }

private:
    void pressAtOnce (float x, float y, juce::ModifierKeys mods)
    {
        move (x, y, mods);
        send (x, y, mods.withoutMouseButtons().withFlags (button (mods)));
    }

    static juce::ModifierKeys::Flags button (juce::ModifierKeys mods)
    {
        if (mods.isRightButtonDown())
            return juce::ModifierKeys::rightButtonModifier;

        return juce::ModifierKeys::leftButtonModifier;
    }

    void send (float x, float y, juce::ModifierKeys mods)
    {
        // The framework asks the windowing system where the pointer is when it tests hovering,
        // so the real pointer goes where the event says.
        juce::Desktop::setMousePosition (component.localPointToGlobal (juce::Point<float> (x, y)).roundToInt());
        juce::ModifierKeys::currentModifiers = mods;
        component.getPeer()->handleMouseEvent (touch, { x, y }, mods, juce::MouseInputSource::defaultPressure, 0.0f, nextTime());
    }

    juce::int64 nextTime()
    {
        time += 20;
        return time;
    }

    static constexpr auto touch = juce::MouseInputSource::InputSourceType::mouse;
    juce::Component& component;
    // One clock for every harness of the process: the framework's mouse source remembers the
    // times of earlier presses, and a clock that went back would turn presses into double clicks.
    inline static juce::int64 time = juce::Time::currentTimeMillis();
};

/** The colour of an image's pixel, for comparing with the colours a Part fixes. */
inline juce::Colour pixelAt (const juce::Image& image, int x, int y)
{
    return image.getPixelAt (x, y);
}

/** True when any pixel in a rectangle of the image differs from the background colour. */
inline bool anythingDrawnIn (const juce::Image& image, juce::Rectangle<int> area, juce::Colour background)
{
    for (int y = area.getY(); y < area.getBottom(); ++y)
        for (int x = area.getX(); x < area.getRight(); ++x)
            if (image.getPixelAt (x, y) != background)
                return true;

    return false;
}
