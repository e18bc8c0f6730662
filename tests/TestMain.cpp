#include <gtest/gtest.h>
#include <juce_events/juce_events.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <X11/Xlib.h>
#undef KeyPress

namespace
{
    /** Turns a JUCE assertion into a failure of the test that triggered it. */
    class AssertionFailingLogger : public juce::Logger
    {
    public:
        void logMessage (const juce::String& message) override
        {
            if (message.startsWith ("JUCE Assertion failure"))
                ADD_FAILURE() << message;
            else
                std::cerr << message << std::endl;
        }
    };

    /** A bare X server (Xvfb without a window manager) knows none of the window-manager atoms
        that JUCE only looks up, and JUCE then sets a window property under atom 0, which the
        server refuses fatally. Creating the atoms first, as any window manager would, lets
        components go on the desktop. The connection stays open: an X server that loses its
        last client resets and forgets its atoms. */
    ::Display* createWindowManagerAtoms()
    {
        auto* display = XOpenDisplay (nullptr);

        if (display == nullptr)
            return nullptr;

        for (const auto* name : { "WM_PROTOCOLS", "WM_TAKE_FOCUS", "WM_DELETE_WINDOW", "WM_CHANGE_STATE", "WM_STATE",
                                  "_NET_WM_PING", "_NET_WM_STATE", "_NET_WM_STATE_HIDDEN", "_NET_WM_WINDOW_TYPE",
                                  "_NET_WM_WINDOW_TYPE_NORMAL", "_MOTIF_WM_HINTS" })
            XInternAtom (display, name, False);

        XSync (display, False);
        return display;
    }
} // namespace

int main (int argc, char** argv)
{
    testing::InitGoogleTest (&argc, argv);
    auto* atomsConnection = createWindowManagerAtoms();

    // Components, timers and editors need the message manager and the GUI on this thread.
    const juce::ScopedJuceInitialiser_GUI juceGui;
    AssertionFailingLogger logger;
    juce::Logger::setCurrentLogger (&logger);

    const auto result = RUN_ALL_TESTS();

    juce::Logger::setCurrentLogger (nullptr);

    if (atomsConnection != nullptr)
        XCloseDisplay (atomsConnection);

    return result;
}
