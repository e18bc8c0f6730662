#include "PluginEditor.h"

#include "PluginProcessor.h"

AstrelAudioProcessorEditor::AstrelAudioProcessorEditor (AstrelAudioProcessor& owner)
    : AudioProcessorEditor (owner)
{
    setSize (1000, 560);
}

AstrelAudioProcessorEditor::~AstrelAudioProcessorEditor() = default;

void AstrelAudioProcessorEditor::paint (juce::Graphics& g)
{
    g.fillAll (juce::Colours::black);
}
