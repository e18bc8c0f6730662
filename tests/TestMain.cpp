#include <gtest/gtest.h>
#include <juce_events/juce_events.h>
#include <juce_gui_basics/juce_gui_basics.h>

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
} // namespace

int main (int argc, char** argv)
{
    testing::InitGoogleTest (&argc, argv);

    // Components, timers and editors need the message manager and the GUI on this thread.
    const juce::ScopedJuceInitialiser_GUI juceGui;
    AssertionFailingLogger logger;
    juce::Logger::setCurrentLogger (&logger);

    const auto result = RUN_ALL_TESTS();

    juce::Logger::setCurrentLogger (nullptr);
    return result;
}
