#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

class AstrelAudioProcessor;

/** The plug-in's window. */
class AstrelAudioProcessorEditor : public juce::AudioProcessorEditor
{
public:
    explicit AstrelAudioProcessorEditor (AstrelAudioProcessor& owner);
    ~AstrelAudioProcessorEditor() override;

    void paint (juce::Graphics& g) override;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (AstrelAudioProcessorEditor)
};
