#pragma once

#include "LinkedProcessors.h"
#include "MasterXYPadComponent.h"

#include <memory>
#include <optional>

/** Real processors in one process and a pad fed the way the editor feeds it. */
struct PadRig
{
    explicit PadRig (int instances, int width = 1000, int height = 560) : link (instances), selection (juce::String())
    {
        pad = std::make_unique<MasterXYPadComponent> (selection);
        pad->setBounds (0, 0, width, height);
        refresh();
    }

    /** One editor tick: copies of both tables, a glow step. */
    void refresh()
    {
        link.tick();
        pad->setStatuses (link.registry().getStatuses());
        pad->setMeteringFrames (link.registry().getMeteringFrames());
        selection.reconcile (link.registry().getStatuses());
        pad->updateChaosGlowBuffer();
    }

    void place (size_t index, float pan, float ratio)
    {
        link[index].setParameterPlainValue ("pan", pan);
        link[index].setParameterPlainValue ("ratio", ratio);
    }

    void setFlag (size_t index, std::optional<bool> AstrelCommand::*flag, bool value)
    {
        AstrelCommand command;
        command.*flag = value;
        link.send (command, index);
    }

    juce::Point<int> dot (size_t index)
    {
        return pad->dotPositionFor (link.registry().getStatuses().at (link.id (index))).roundToInt();
    }

    juce::Image render() { return pad->createComponentSnapshot (pad->getLocalBounds(), true, 1.0f); }

    /** Plays a centred tone through an instance so that it meters a mid level. */
    void playTone (size_t index)
    {
        auto& processor = link[index];
        processor.prepareToPlay (48000.0, 1024);
        juce::AudioBuffer<float> buffer (2, 1024);
        juce::MidiBuffer midi;

        for (int block = 0; block < 4; ++block)
        {
            for (int i = 0; i < 1024; ++i)
                buffer.setSample (0, i, 0.5f * std::sin (0.06f * static_cast<float> (block * 1024 + i)));

            buffer.copyFrom (1, 0, buffer, 0, 0, 1024);
            processor.processBlock (buffer, midi);
        }
    }

    LinkedProcessors link;
    SelectionModel selection;
    std::unique_ptr<MasterXYPadComponent> pad;
};
