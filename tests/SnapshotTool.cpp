// Writes PNG snapshots of Astrel's components in their main states to a folder, so that a
// reviewer can look at them:  AstrelSnapshots [folder]   (default: ./snapshots)

#include "AboutComponent.h"
#include "AstrelKnob.h"
#include "CorrelationMeterComponent.h"
#include "SelectedInstancePanel.h"
#include "MasterSidebarComponent.h"
#include "MasterXYPadComponent.h"
#include "PluginEditor.h"
#include "PluginProcessor.h"
#include "StereoOutputMeterComponent.h"
#include "TopBarComponent.h"

#include <juce_audio_basics/juce_audio_basics.h>
#include <juce_gui_basics/juce_gui_basics.h>

namespace
{
    /** Paints a component over the editor's dark background at twice the size, so details show. */
    void write (juce::Component& component, int width, int height, const juce::File& folder, const juce::String& name)
    {
        component.setBounds (0, 0, width, height);
        juce::Image image (juce::Image::ARGB, width * 2, height * 2, true);

        {
            juce::Graphics g (image);
            g.fillAll (juce::Colour (0xff14060f));
            g.addTransform (juce::AffineTransform::scale (2.0f));
            component.paintEntireComponent (g, true);
        }

        auto file = folder.getChildFile (name + ".png");
        file.deleteFile();
        juce::FileOutputStream out (file);
        juce::PNGImageFormat().writeImageToStream (image, out);
        std::cout << file.getFullPathName() << "\n";
    }

    void knobs (const juce::File& folder)
    {
        AstrelKnob knob;
        knob.setRange (0.0, 2000.0);

        for (const auto& [value, name] : { std::pair { 0.0, "knob-minimum" }, { 700.0, "knob-partway" }, { 2000.0, "knob-maximum" } })
        {
            knob.setValue (value, juce::dontSendNotification);
            write (knob, 56, 56, folder, name);
        }

        knob.setRange (-12.0, 12.0);
        knob.setArcMode (1, 0.0);
        knob.setValue (0.0, juce::dontSendNotification);
        write (knob, 56, 56, folder, "knob-centred-at-centre");
        knob.setValue (-4.5, juce::dontSendNotification);
        write (knob, 56, 56, folder, "knob-centred-below");

        knob.setEnabled (false);
        write (knob, 56, 56, folder, "knob-disabled");
    }

    void meters (const juce::File& folder)
    {
        StereoOutputMeterComponent output;
        output.setPeaks (0.0f, 0.0f);
        write (output, 78, 120, folder, "output-meter-silent");
        output.setPeaks (1.0f, juce::Decibels::decibelsToGain (-12.0f));
        write (output, 78, 120, folder, "output-meter-full-and-minus-12");

        CorrelationMeterComponent correlation;
        write (correlation, 140, 40, folder, "correlation-invalid");
        correlation.setState (0.8f, 0.8f, true, true);
        write (correlation, 140, 40, folder, "correlation-positive");
        correlation.setState (-0.6f, -0.6f, true, true);
        write (correlation, 140, 40, folder, "correlation-negative");
    }

    void topBars (const juce::File& folder)
    {
        TopBarComponent bar;
        bar.slotButtons[0].setStored (true);
        bar.slotButtons[1].setStored (true);
        bar.slotButtons[1].setCurrent (true);
        bar.slotButtons[1].setModified (true);
        bar.listenMonoButton.setActive (true);
        bar.undoButton.setEnabled (true);
        write (bar, 984, 38, folder, "top-bar");

        bar.setStoreArmed (true);
        write (bar, 984, 38, folder, "top-bar-armed");
        bar.setStoreArmed (false);

        bar.slotButtons[0].setFlashStartMs (juce::Time::getMillisecondCounterHiRes());
        write (bar, 984, 38, folder, "top-bar-flash");
        write (bar, 560, 38, folder, "top-bar-compact");
    }

    void pads (const juce::File& folder)
    {
        struct Dot
        {
            const char* id;
            const char* name;
            float pan, ratio, midRms, sideRms, chaos;
            bool bypass;
        };

        const Dot dots[] = { { "a", "Kick", 0.0f, 0.1f, 0.5f, 0.0f, 0.0f, false },
                             { "b", "Lead Vocal", -0.37f, 0.45f, 0.25f, 0.05f, 0.08f, false },
                             { "c", "Overheads", 0.6f, 0.8f, 0.12f, 0.2f, 0.3f, false },
                             { "d", "Pad (bypassed)", -0.75f, 0.7f, 0.08f, 0.1f, 0.15f, true } };

        SharedStatusManager::StatusMap statuses;
        SharedStatusManager::MeteringMap frames;

        for (const auto& dot : dots)
        {
            PluginStatus status;
            status.pluginID = dot.id;
            status.trackName = dot.name;
            status.pan = dot.pan;
            status.ratio = dot.ratio;
            status.bypass = dot.bypass;
            statuses[dot.id] = status;

            MeteringFrame frame;
            frame.midRms = dot.midRms;
            frame.sideRms = dot.sideRms;
            frame.chaos = dot.chaos;
            frames[dot.id] = frame;
        }

        const auto render = [&] (SelectionModel& selection, const SharedStatusManager::StatusMap& table, const juce::String& name) {
            MasterXYPadComponent pad (selection);
            pad.setBounds (0, 0, 1000, 560);
            pad.setStatuses (table);
            pad.setMeteringFrames (frames);

            for (int step = 0; step < 12; ++step)
                pad.updateChaosGlowBuffer();

            write (pad, 1000, 560, folder, name);
        };

        SelectionModel empty ({});
        render (empty, {}, "pad-empty");
        render (empty, statuses, "pad-four-instances");

        SelectionModel single ("b");
        render (single, statuses, "pad-single-selection");

        SelectionModel bypassed ("d");
        render (bypassed, statuses, "pad-selected-bypassed");

        auto soloed = statuses;
        soloed["c"].soloed = true;
        render (empty, soloed, "pad-solo");

        SelectionModel several ({});
        several.setSelection ({ "a", "b", "c" });
        MasterXYPadComponent pad (several);
        pad.setBounds (0, 0, 1000, 560);
        pad.setStatuses (statuses);
        pad.setMeteringFrames (frames);
        pad.setSpreadPreviewMode (1);
        write (pad, 1000, 560, folder, "pad-spread-radial");
        pad.setSpreadPreviewMode (2);
        write (pad, 1000, 560, folder, "pad-spread-pan");
    }

    void aboutPanels (const juce::File& folder)
    {
        AboutComponent about ("Astrel", "2D Stereo Panning", "Developed by Orlimund Audio", "Free software under the GPL-3.0", "orlimund.audio/astrel");
        about.refresh();
        write (about, 1000, 560, folder, "about");
        write (about, 600, 560, folder, "about-narrow");
    }

    void sidebars (const juce::File& folder)
    {
        juce::SharedResourcePointer<SharedStatusManager> registry;
        std::vector<juce::String> ids;

        const auto join = [&] (const juce::String& name) {
            PluginStatus status;
            status.pluginID = "sidebar-" + juce::String (ids.size() + 1);
            status.trackName = name;
            registry->publishStatus (status);
            ids.push_back (status.pluginID);
        };

        const auto setFlag = [&] (size_t index, std::optional<bool> AstrelCommand::*flag, bool value) {
            AstrelCommand command;
            command.targetPluginID = ids[index];
            command.*flag = value;
            registry->dispatchCommand (command);
        };

        const auto render = [&] (SelectionModel& selection, int height, const juce::String& name, const juce::String& scrollTo = {}) {
            MasterSidebarComponent sidebar (selection);
            sidebar.setBounds (0, 0, 180, height);
            sidebar.pendingScrollID = scrollTo;
            sidebar.setStatuses (registry->getStatuses());
            write (sidebar, 180, height, folder, name);
        };

        SelectionModel none ({});
        render (none, 320, "sidebar-empty");

        for (const auto* name : { "Kick", "Snare", "Bass DI", "Lead Vocal", "   ", "Overheads Left And Right Room" })
            join (name);

        render (none, 320, "sidebar-rows");

        SelectionModel two ({});
        two.setSelection ({ ids[1], ids[3] });
        render (two, 320, "sidebar-selected");

        setFlag (0, &AstrelCommand::muted, true);
        setFlag (2, &AstrelCommand::muted, true);
        setFlag (3, &AstrelCommand::soloed, true);
        setFlag (4, &AstrelCommand::visible, false);
        setFlag (5, &AstrelCommand::visible, false);
        SelectionModel mixed ({});
        mixed.setSelection ({ ids[3], ids[5] }); // 5 hidden: selected only until the editor's first reconcile
        render (mixed, 320, "sidebar-muted-soloed-hidden");

        for (int i = 0; i < 18; ++i)
            join ("Track " + juce::String (ids.size() + 1));

        SelectionModel last ({});
        last.setSelection ({ ids.back() });
        render (last, 320, "sidebar-scrolled-to-last", ids.back());

        for (const auto& id : ids)
            registry->removeStatus (id);
    }
    void inspectors (const juce::File& folder)
    {
        SharedStatusManager::StatusMap statuses;
        const auto add = [&] (const char* id, const char* name, float pan, float ratio, float cutoff, bool mono, float spotlight, float gain) {
            PluginStatus status;
            status.pluginID = id;
            status.trackName = name;
            status.pan = pan;
            status.ratio = ratio;
            status.sideLowCutHz = cutoff;
            status.monoBass = mono;
            status.spotlightPercent = spotlight;
            status.gainTrimDb = gain;
            statuses[id] = status;
        };

        add ("own", "Lead Vocal", -0.37f, 0.45f, 120.0f, true, 35.0f, 3.46f);
        add ("b", "Overheads", 0.6f, 0.8f, 0.0f, false, 0.0f, -0.04f);

        InspectorComponent inspector ("own");
        inspector.setSize (180, 498);
        const auto show = [&] (SelectionModel::IDSet ids, const juce::String& name, std::optional<float> radial = {}, std::optional<float> panOnly = {}) {
            inspector.updateFromSelection (ids, statuses, radial, panOnly);
            write (inspector, 180, 498, folder, name);
        };

        inspector.updateFromSelection ({ "own" }, statuses, {}, {});
        inspector.outputMeter.setPeaks (0.7f, juce::Decibels::decibelsToGain (-9.0f));
        inspector.correlationMeter.setState (0.62f, 0.62f, true, true);
        show ({ "own" }, "inspector-single-mono-on");
        show ({ "b" }, "inspector-single-bass-protect-off");

        statuses["b"].visible = false;
        statuses["b"].sideLowCutHz = 80.0f;
        show ({ "b" }, "inspector-single-hidden-mono-off");
        show ({ "gone" }, "inspector-single-no-status");

        show ({ "own", "b" }, "inspector-multi-two", 0.64f, 0.4f);
        show ({ "own", "b" }, "inspector-multi-no-proportion");
        show ({}, "inspector-none-selected");

        statuses["own"].visible = false;
        show ({}, "inspector-none-selected-own-hidden");
    }

    /** The whole editor over several instances, with a stored slot, metering and selections. */
    void editors (const juce::File& folder)
    {
        // The editor keeps its size in the user's settings file; this one goes to a scratch home.
        const auto previousHome = juce::SystemStats::getEnvironmentVariable ("HOME", {});
        const auto scratchHome = juce::File::getSpecialLocation (juce::File::tempDirectory).getNonexistentChildFile ("astrel-snapshot-home", "");
        scratchHome.createDirectory();
        setenv ("HOME", scratchHome.getFullPathName().toRawUTF8(), 1);

        {
            struct Track
            {
                const char* name;
                float pan, ratio, sideLowCutHz, spotlight, gainTrimDb, peak, correlation, chaos;
                bool bypass;
            };

            const Track tracks[] = { { "Kick", 0.0f, 0.08f, 120.0f, 0.0f, 0.0f, 0.9f, 0.98f, 0.02f, false },
                                     { "Lead Vocal", -0.12f, 0.3f, 0.0f, 35.0f, 1.5f, 0.7f, 0.85f, 0.1f, false },
                                     { "Overheads", 0.55f, 0.82f, 180.0f, 0.0f, -3.0f, 0.5f, 0.4f, 0.35f, false },
                                     { "Rhythm Guitar", -0.7f, 0.55f, 90.0f, 60.0f, 0.0f, 0.6f, 0.7f, 0.2f, false },
                                     { "Strings (bypassed)", 0.75f, 0.45f, 0.0f, 0.0f, 0.0f, 0.3f, 0.2f, 0.15f, true } };

            std::vector<std::unique_ptr<AstrelAudioProcessor>> processors;
            auto nowMs = juce::Time::getMillisecondCounterHiRes();

            for (const auto& track : tracks)
            {
                auto processor = std::make_unique<AstrelAudioProcessor>();
                processor->setParameterPlainValue ("pan", track.pan);
                processor->setParameterPlainValue ("ratio", track.ratio);
                processor->setParameterPlainValue ("sideLowCutHz", track.sideLowCutHz);
                processor->setParameterPlainValue ("spotlight", track.spotlight);
                processor->setParameterPlainValue ("gainTrimDb", track.gainTrimDb);
                processor->setParameterPlainValue ("bypass", track.bypass ? 1.0f : 0.0f);
                processor->runTick (nowMs);
                processors.push_back (std::move (processor));
            }

            auto& registry = processors.front()->getSharedStatusManager();
            std::vector<AstrelTargetPatch> names;

            for (size_t i = 0; i < processors.size(); ++i)
            {
                AstrelTargetPatch patch;
                patch.pluginID = processors[i]->getPluginID();
                patch.trackName = juce::String (tracks[i].name);
                names.push_back (patch);
            }

            registry.getCommandController().perform ("Rename", names, AstrelCommandOrigin::inspector, AstrelUndoPolicy::record, AstrelCommandDelivery::immediate);

            const auto publishAll = [&] {
                nowMs = juce::Time::getMillisecondCounterHiRes();

                for (size_t i = 0; i < processors.size(); ++i)
                {
                    processors[i]->runTick (nowMs);
                    MeteringFrame frame;
                    frame.peakLeft = tracks[i].peak;
                    frame.peakRight = tracks[i].peak * 0.8f;
                    frame.correlation = tracks[i].correlation;
                    frame.correlationValid = true;
                    frame.midRms = tracks[i].peak * 0.3f;
                    frame.sideRms = tracks[i].peak * 0.3f * (1.0f - tracks[i].correlation);
                    frame.chaos = tracks[i].chaos;
                    frame.timestampMs = nowMs;
                    registry.publishMeteringFrame (processors[i]->getPluginID(), frame);
                }
            };

            publishAll();
            std::unique_ptr<AstrelAudioProcessorEditor> editor (dynamic_cast<AstrelAudioProcessorEditor*> (processors[1]->createEditor()));
            editor->storeWholefieldSlot (0);
            editor->storeWholefieldSlot (2);

            const auto refresh = [&] {
                for (int step = 0; step < 12; ++step)
                {
                    publishAll();
                    editor->runTick (nowMs);
                }
            };

            refresh();
            write (*editor, 1000, 560, folder, "editor-single-selection");

            editor->getSelectionModel().setSelection ({ processors[0]->getPluginID(), processors[2]->getPluginID(), processors[3]->getPluginID() });
            refresh();
            write (*editor, 1000, 560, folder, "editor-three-selected");

            editor->getSelectionModel().setSelection ({});
            editor->setSize (1400, 800);
            refresh();
            write (*editor, 1400, 800, folder, "editor-nothing-selected-large");

            editor->setSize (1000, 560);
            editor->getAboutLabel().onClick();
            write (*editor, 1000, 560, folder, "editor-about-open");

            editor.reset();
            processors.clear();
        }

        setenv ("HOME", previousHome.toRawUTF8(), 1);
        scratchHome.deleteRecursively();
    }
} // namespace

int main (int argc, char** argv)
{
    const juce::ScopedJuceInitialiser_GUI juce;
    const auto folder = juce::File::getCurrentWorkingDirectory().getChildFile (argc > 1 ? argv[1] : "snapshots");

    if (! folder.createDirectory())
    {
        std::cerr << "cannot create " << folder.getFullPathName() << "\n";
        return 1;
    }

    knobs (folder);
    meters (folder);
    topBars (folder);
    aboutPanels (folder);
    pads (folder);
    sidebars (folder);
    inspectors (folder);
    editors (folder);
    return 0;
}
