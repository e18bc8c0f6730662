#include "PluginEditor.h"

#include "AstrelUndoController.h"
#include "JuceCompat.h"
#include "PluginProcessor.h"

#include <algorithm>
#include <cmath>
#include <set>
#include <utility>

namespace
{
    const juce::Identifier masterWidthProperty ("editorMasterViewWidth");
    const juce::Identifier masterHeightProperty ("editorMasterViewHeight");
    const juce::Identifier singleWidthProperty ("editorSingleViewWidth");
    const juce::Identifier singleHeightProperty ("editorSingleViewHeight");
    const juce::Identifier slotsJsonProperty ("wholefieldSlotsJson");

    const char* const masterWidthKey = "masterViewWidth";
    const char* const masterHeightKey = "masterViewHeight";
    const char* const singleWidthKey = "singleViewWidth";
    const char* const singleHeightKey = "singleViewHeight";

    const char* const aboutFooterText = "Free software under the GNU GPL, version 3";
    const char* const aboutLinkText = "orlimund.audio/plugins/astrel";

    int clampWidth (int width) noexcept
    {
        return juce::jlimit (AstrelAudioProcessorEditor::minimumWidth, AstrelAudioProcessorEditor::maximumWidth, width);
    }

    int clampHeight (int height) noexcept
    {
        return juce::jlimit (AstrelAudioProcessorEditor::minimumHeight, AstrelAudioProcessorEditor::maximumHeight, height);
    }

    /** Leading digits of a stored text; text without digits reads 0. */
    int parseStoredSize (const juce::String& text)
    {
        return text.trim().getIntValue();
    }

    bool allInListenMono (const SharedStatusManager::StatusMap& statuses)
    {
        return ! statuses.empty()
               && std::all_of (statuses.begin(), statuses.end(), [] (const auto& entry) { return entry.second.listenMono; });
    }

    bool differsFromStored (const WholefieldInstanceState& stored, const PluginStatus& status)
    {
        return std::abs (status.pan - stored.pan) > 0.0025f || std::abs (status.ratio - stored.ratio) > 0.0025f
               || std::abs (status.sideLowCutHz - stored.sideLowCutHz) > 0.25f || status.monoBass != stored.monoBass
               || std::abs (status.spotlightPercent - stored.spotlightPercent) > 0.025f
               || std::abs (status.gainTrimDb - stored.gainTrimDb) > 0.0025f;
    }

    bool slotDiffersFromStatuses (const WholefieldSlot& slot, const SharedStatusManager::StatusMap& statuses)
    {
        if (! slot.hasLayout)
            return false;

        return std::any_of (slot.instances.begin(), slot.instances.end(), [&] (const WholefieldInstanceState& stored) {
            const auto found = statuses.find (stored.pluginID);
            return found != statuses.end() && differsFromStored (stored, found->second);
        });
    }

    /** One patch per registered instance, each setting the same flag. */
    std::vector<AstrelTargetPatch> patchesForEveryInstance (const SharedStatusManager::StatusMap& statuses,
                                                            std::optional<bool> AstrelTargetPatch::*flag,
                                                            bool value)
    {
        std::vector<AstrelTargetPatch> patches;

        for (const auto& [id, status] : statuses)
        {
            AstrelTargetPatch patch;
            patch.pluginID = id;
            patch.*flag = value;
            patches.push_back (std::move (patch));
        }

        return patches;
    }

        WholefieldInstanceState instanceStateFrom (const PluginStatus& status)
    {
        WholefieldInstanceState state;
        state.pluginID = status.pluginID;
        state.trackName = status.trackName;
        state.pan = status.pan;
        state.ratio = status.ratio;
        state.sideLowCutHz = status.sideLowCutHz;
        state.monoBass = status.monoBass;
        state.spotlightPercent = status.spotlightPercent;
        state.gainTrimDb = status.gainTrimDb;
        return state;
    }

    AstrelTargetPatch recallPatchFor (const WholefieldInstanceState& stored)
    {
        AstrelTargetPatch patch;
        patch.pluginID = stored.pluginID;
        patch.pan = juce::jlimit (-1.0f, 1.0f, stored.pan);
        patch.ratio = juce::jlimit (0.0f, 1.0f, stored.ratio);
        patch.sideLowCutHz = stored.sideLowCutHz > 0.0f ? stored.sideLowCutHz : 0.0f;
        patch.monoBass = stored.monoBass;
        patch.spotlightPercent = juce::jlimit (0.0f, 100.0f, stored.spotlightPercent);
        patch.gainTrimDb = juce::jlimit (-12.0f, 12.0f, stored.gainTrimDb);
        return patch;
    }
} // namespace

//==============================================================================
void ClickableLabel::mouseUp (const juce::MouseEvent&)
{
    if (onClick)
        onClick();
}

//==============================================================================
AstrelAudioProcessorEditor::AstrelAudioProcessorEditor (AstrelAudioProcessor& owner)
    : AudioProcessorEditor (owner)
    , astrelProcessor (owner)
    , selectionModel (owner.getPluginID())
{
    setAccessible (false);
    addMouseListener (this, true);
    startTimer (refreshIntervalMs);

    settingsFile = std::make_unique<juce::PropertiesFile> (makeSettingsFileOptions());

    // Only sizes the user or the host set after opening are written.
    const auto savingWasSuspended = std::exchange (boundsSavingSuspended, true);

    addAndMakeVisible (topBar);

    xyPad = std::make_unique<MasterXYPadComponent> (selectionModel);
    addAndMakeVisible (*xyPad);
    sidebar = std::make_unique<MasterSidebarComponent> (selectionModel);
    addAndMakeVisible (*sidebar);
    inspector = std::make_unique<InspectorComponent> (owner.getPluginID());
    addAndMakeVisible (*inspector);

    selectionModel.onSelectionChanged = [this] { refreshMasterSelectionUI(); };
    wireInspector();
    wireTopBar();

    const auto slotsText = astrelProcessor.getValueTreeState().state.getProperty (slotsJsonProperty).toString().trim();

    if (slotsText.isNotEmpty())
        sharedStatusManager->importWholefieldSlotsIfNewer (SharedStatusManager::deserialiseWholefieldSlotsState (slotsText));

    updateStoreSlotButtonsFromSharedState();
    refreshUndoButtons();

    aboutLabel.setText ("About", juce::dontSendNotification);
    aboutLabel.setFont (JuceCompat::defaultFont (12.0f));
    aboutLabel.setJustificationType (juce::Justification::centredLeft);
    aboutLabel.setColour (juce::Label::textColourId, juce::Colours::white.withAlpha (static_cast<juce::uint8> (0xbf)));
    aboutLabel.setInterceptsMouseClicks (true, false);
    aboutLabel.onClick = [this] { openAboutPanel(); };
    addAndMakeVisible (aboutLabel);

    const auto restored = restoreMasterViewSize();
    setResizable (true, true);
    setResizeLimits (minimumWidth, minimumHeight, maximumWidth, maximumHeight);
    setSize (restored.x, restored.y);

    aboutPanel = std::make_unique<AboutComponent> ("Astrel",
                                                   "2D Stereo Panning",
                                                   "Developed by Orlimund Audio",
                                                   aboutFooterText,
                                                   aboutLinkText);
    aboutPanel->onClose = [this] { closeAboutPanel(); };
    addChildComponent (*aboutPanel);
    aboutPanel->setInterceptsMouseClicks (false, false);
    aboutPanel->setBounds (getLocalBounds());

    if (aboutPanel->isVisible())
    {
        aboutPanel->toFront (false);
        focusAboutPanel();
    }

    resized();

    // Some hosts size the window once more after opening it; the restored size is applied
    // again once they have done so.
    if (restored.x > 0)
    {
        juce::Timer::callAfterDelay (1, [safeThis = juce::Component::SafePointer<AstrelAudioProcessorEditor> (this), restored] {
            if (auto* editor = safeThis.getComponent())
            {
                const auto wasSuspended = std::exchange (editor->boundsSavingSuspended, true);
                editor->setResizable (true, true);
                editor->setResizeLimits (minimumWidth, minimumHeight, maximumWidth, maximumHeight);
                editor->setSize (restored.x, restored.y);
                editor->resized();
                editor->boundsSavingSuspended = wasSuspended;
            }
        });
    }

    boundsSavingSuspended = savingWasSuspended;
}

AstrelAudioProcessorEditor::~AstrelAudioProcessorEditor()
{
    stopTimer();
    selectionModel.onSelectionChanged = nullptr;

    // A knob held while the window closes still ends its host gestures and leaves its undo step.
    auto& controller = sharedStatusManager->getCommandController();

    for (auto* gestureId : { &bassProtectGestureId, &spotlightGestureId, &gainTrimGestureId })
    {
        if (*gestureId != 0)
        {
            controller.endGesture (*gestureId, {});
            *gestureId = 0;
        }
    }

    aboutPanel.reset();
    saveCurrentMasterViewBounds();

    if (settingsFile != nullptr && settingsFile->needsToBeSaved())
        settingsFile->save();

    controller.perform ("Stop Listen Mono",
                        patchesForEveryInstance (sharedStatusManager->getStatuses(), &AstrelTargetPatch::listenMono, false),
                        AstrelCommandOrigin::editorAction,
                        AstrelUndoPolicy::none,
                        AstrelCommandDelivery::immediate);

    // The children go while every member they call back into is still there (a name field
    // that loses the focus as it goes still commits its text).
    inspector.reset();
    sidebar.reset();
    xyPad.reset();
}

//==============================================================================
juce::PropertiesFile::Options AstrelAudioProcessorEditor::makeSettingsFileOptions()
{
    juce::PropertiesFile::Options options;
    options.applicationName = "Astrel";
    options.filenameSuffix = "settings";
    options.folderName = "Orlimund Audio";
    options.osxLibrarySubFolder = "Application Support";
    options.commonToAllUsers = false;
    options.ignoreCaseOfKeyNames = false;
    options.doNotSave = false;
    options.millisecondsBeforeSaving = 300;
    options.storageFormat = juce::PropertiesFile::storeAsXML;
    options.processLock = nullptr;
    return options;
}

int AstrelAudioProcessorEditor::convertSingleViewWidth (int singleViewWidth) noexcept
{
    if (singleViewWidth < 632)
        return minimumWidth;

    return std::min (singleViewWidth, 2032) + 368;
}

juce::Point<int> AstrelAudioProcessorEditor::restoreMasterViewSize() const
{
    const auto& state = astrelProcessor.getValueTreeState().state;

    if (state.hasProperty (masterWidthProperty) && state.hasProperty (masterHeightProperty))
        return { clampWidth (static_cast<int> (state[masterWidthProperty])),
                 clampHeight (static_cast<int> (state[masterHeightProperty])) };

    if (state.hasProperty (singleWidthProperty) && state.hasProperty (singleHeightProperty))
        return { convertSingleViewWidth (static_cast<int> (state[singleWidthProperty])),
                 clampHeight (static_cast<int> (state[singleHeightProperty])) };

    if (settingsFile == nullptr)
        return { minimumWidth, minimumHeight };

    const auto bothPresent = [this] (const char* widthKey, const char* heightKey) {
        return settingsFile->getValue (widthKey).trim().isNotEmpty() && settingsFile->getValue (heightKey).trim().isNotEmpty();
    };

    if (bothPresent (masterWidthKey, masterHeightKey))
        return { clampWidth (parseStoredSize (settingsFile->getValue (masterWidthKey))),
                 clampHeight (parseStoredSize (settingsFile->getValue (masterHeightKey))) };

    if (bothPresent (singleWidthKey, singleHeightKey))
        return { convertSingleViewWidth (parseStoredSize (settingsFile->getValue (singleWidthKey))),
                 clampHeight (parseStoredSize (settingsFile->getValue (singleHeightKey))) };

    return { minimumWidth, minimumHeight };
}

void AstrelAudioProcessorEditor::saveCurrentMasterViewBounds()
{
    if (boundsSavingSuspended)
        return;

    const auto width = clampWidth (getWidth());
    const auto height = clampHeight (getHeight());
    auto& state = astrelProcessor.getValueTreeState().state;

    if (state.isValid())
    {
        const auto storedWidth = static_cast<int> (state.getProperty (masterWidthProperty, -1));
        const auto storedHeight = static_cast<int> (state.getProperty (masterHeightProperty, -1));
        const auto changed = storedWidth != width || storedHeight != height;

        state.setProperty (masterWidthProperty, width, nullptr);
        state.setProperty (masterHeightProperty, height, nullptr);

        if (changed)
            astrelProcessor.updateHostDisplay (juce::AudioProcessor::ChangeDetails().withNonParameterStateChanged (true));
    }

    if (settingsFile != nullptr)
    {
        settingsFile->setValue (masterWidthKey, width);
        settingsFile->setValue (masterHeightKey, height);
        settingsFile->save();
    }
}

//==============================================================================
void AstrelAudioProcessorEditor::paint (juce::Graphics& g)
{
    g.fillAll (juce::Colours::black);
}

void AstrelAudioProcessorEditor::resized()
{
    saveCurrentMasterViewBounds();

    const auto innerWidth = std::max (0, getWidth() - 16);
    const auto innerHeight = std::max (0, getHeight() - 16);

    const auto topBarHeight = std::min (innerHeight, 38);
    topBar.setBounds (8, 8, innerWidth, topBarHeight);
    topBar.toFront (false);

    const auto rowGap = std::min (innerHeight - topBarHeight, 8);
    const auto rowY = topBarHeight + rowGap + 8;
    const auto rowHeight = innerHeight - topBarHeight - rowGap;

    const auto listWidth = std::min (innerWidth, 180);
    const auto listGap = std::min (innerWidth - listWidth, 8);
    auto rest = innerWidth - listWidth - listGap;
    const auto inspectorWidth = std::min (rest, 180);
    rest -= inspectorWidth;
    const auto inspectorGap = std::min (rest, 8);
    const auto padWidth = rest - inspectorGap;
    const auto padX = listWidth + listGap + 8;

    if (sidebar != nullptr)
    {
        sidebar->setBounds (8, rowY, listWidth, rowHeight);
        sidebar->setVisible (true);
    }

    if (xyPad != nullptr)
    {
        xyPad->setBounds (padX, rowY, padWidth, rowHeight);
        xyPad->setVisible (true);
    }

    if (inspector != nullptr)
    {
        inspector->setBounds (innerWidth - inspectorWidth + 8, rowY, inspectorWidth, rowHeight);
        inspector->setVisible (true);
    }

    aboutLabel.setBounds (padX + 8, getHeight() - 32, 100, 20);
    aboutLabel.setVisible (true);
    aboutLabel.toFront (false);

    if (aboutPanel != nullptr)
        aboutPanel->setBounds (getLocalBounds());

    refreshMasterSelectionUI();

    if (aboutPanel != nullptr)
    {
        aboutPanel->setBounds (getLocalBounds());

        if (aboutPanel->isVisible())
        {
            aboutPanel->toFront (false);
            focusAboutPanel();
            aboutPanel->repaint();
        }
    }
}

void AstrelAudioProcessorEditor::mouseDown (const juce::MouseEvent& event)
{
    if (inspector == nullptr)
        return;

    const auto* pressed = event.originalComponent;

    if (pressed != inspector.get() && ! inspector->isParentOf (pressed))
        endNameEditing();
}

void AstrelAudioProcessorEditor::endNameEditing()
{
    if (inspector == nullptr)
        return;

    auto& field = inspector->nameEditor;

    if (field.hasKeyboardFocus (true))
        field.giveAwayKeyboardFocus();

    field.setWantsKeyboardFocus (false);
}

//==============================================================================
void AstrelAudioProcessorEditor::timerCallback()
{
    runTick (clock());
}

void AstrelAudioProcessorEditor::runTick (double nowMs)
{
    auto& registry = *sharedStatusManager;
    registry.purgeStaleStatuses (nowMs);
    const auto statuses = registry.getStatuses();

    // Until the own instance has published (or after it was purged) the view stays as it was.
    if (statuses.count (astrelProcessor.getPluginID()) == 0)
        return;

    auto frames = registry.getMeteringFrames();

    for (auto it = frames.begin(); it != frames.end();)
    {
        const auto stamp = it->second.timestampMs;
        it = (stamp <= 0.0 || nowMs - stamp > meteringFreshnessMs) ? frames.erase (it) : std::next (it);
    }

    topBar.listenMonoButton.setActive (allInListenMono (statuses));
    topBar.bypassAllButton.setActive (registry.areAllBypassed());
    updateStoreSlotButtonsFromSharedState (nowMs, statuses);
    refreshUndoButtons();

    if (xyPad != nullptr)
    {
        xyPad->setStatuses (statuses);
        xyPad->setMeteringFrames (frames);
        xyPad->updateChaosGlowBuffer();
        xyPad->repaint();
    }

    if (sidebar != nullptr)
        sidebar->setStatuses (statuses);

    selectionModel.reconcile (statuses);

    if (inspector != nullptr)
    {
        updateInspectorFromSelection (statuses);
        refreshMeters (frames, nowMs);
    }
}

void AstrelAudioProcessorEditor::updateInspectorFromSelection (const SharedStatusManager::StatusMap& statuses)
{
    std::optional<float> radial, panOnly;

    if (xyPad != nullptr)
    {
        radial = xyPad->getConstellationSpreadProportion (false);
        panOnly = xyPad->getConstellationSpreadProportion (true);
    }

    inspector->updateFromSelection (selectionModel.getSelectedIDs(), statuses, radial, panOnly);
}

void AstrelAudioProcessorEditor::refreshMeters (const SharedStatusManager::MeteringMap& frames, double nowMs)
{
    const MeteringFrame* frame = nullptr;
    const auto& selected = selectionModel.getSelectedIDs();

    if (selected.size() == 1 && inspector->getShownInstanceId().isNotEmpty())
    {
        const auto found = frames.find (*selected.begin());

        if (found != frames.end())
            frame = &found->second;
    }

    if (frame != nullptr)
        inspector->outputMeter.setPeaks (frame->peakLeft, frame->peakRight);
    else
        inspector->outputMeter.setPeaks (0.0f, 0.0f);

    auto& meter = inspector->correlationMeter;
    const auto valid = frame != nullptr && frame->correlationValid && std::isfinite (frame->correlation);
    const auto target = valid ? juce::jlimit (-1.0f, 1.0f, frame->correlation) : 0.0f;

    if (valid && ! meter.isInitialised())
    {
        // The first value after opening or after a change of instance is shown at once.
        meter.setState (target, target, true, true);
        meter.setLastUpdateMs (nowMs);
        meter.repaint();
        return;
    }

    const auto lastUpdateMs = meter.getLastUpdateMs();
    const auto dt = lastUpdateMs > 0.0 ? (nowMs - lastUpdateMs) / 1000.0 : 1.0 / 60.0;
    meter.setLastUpdateMs (nowMs);
    const auto k = dt < 0.0 ? 1.0 : std::exp (-std::min (dt, 0.1) / 0.1);
    const auto displayed = meter.getDisplayed();
    const auto next = juce::jlimit (-1.0f, 1.0f, displayed + (target - displayed) * static_cast<float> (1.0 - k));
    meter.setState (target, next, valid, meter.isInitialised());
    meter.repaint();
}

void AstrelAudioProcessorEditor::updateStoreSlotButtonsFromSharedState()
{
    updateStoreSlotButtonsFromSharedState (clock(), sharedStatusManager->getStatuses());
}

void AstrelAudioProcessorEditor::updateStoreSlotButtonsFromSharedState (double nowMs, const SharedStatusManager::StatusMap& statuses)
{
    const auto slotsState = sharedStatusManager->getWholefieldSlotsState();

    if (lastRecalledSlot >= 0 && nowMs >= recallSettleEndMs)
    {
        lastRecalledSlot = -1;
        recallSettleEndMs = 0.0;
    }

    for (int index = 0; index < WholefieldSlotsState::numSlots; ++index)
    {
        const auto& slot = slotsState.slots[static_cast<size_t> (index)];
        auto& button = topBar.slotButtons[static_cast<size_t> (index)];
        const auto isCurrent = index == slotsState.currentSlotIndex;

        if (slot.hasLayout && isCurrent)
        {
            const auto differs = slotDiffersFromStatuses (slot, statuses);
            auto modified = differs;

            if (index == lastRecalledSlot)
            {
                modified = differs && ! (recallSettleEndMs > nowMs);

                // The instances have arrived: the recall no longer needs its grace period.
                if (! differs)
                {
                    lastRecalledSlot = -1;
                    recallSettleEndMs = 0.0;
                }
            }

            button.setStored (true);
            button.setCurrent (true);
            button.setModified (modified);
        }
        else
        {
            button.setStored (slot.hasLayout);
            button.setCurrent (false);
            button.setModified (false);
        }
    }
}

void AstrelAudioProcessorEditor::refreshMasterSelectionUI()
{
    const auto statuses = sharedStatusManager->getStatuses();

    if (sidebar != nullptr)
        for (auto* label : sidebar->labels)
            sidebar->applyLabelVisuals (*label);

    if (xyPad != nullptr)
        xyPad->repaint();

    if (inspector != nullptr)
    {
        const auto shownBefore = inspector->getShownInstanceId();
        updateInspectorFromSelection (statuses);

        // The inspector drops a knob drag whose instance it no longer shows without telling
        // anyone; commit what that drag sent, so the host's gesture closes and it can be undone.
        if (inspector->getShownInstanceId() != shownBefore)
            endKnobGesturesWithTheValuesSent();
    }
}

void AstrelAudioProcessorEditor::endKnobGesturesWithTheValuesSent()
{
    auto& controller = sharedStatusManager->getCommandController();
    bool ended = false;

    for (auto* gestureId : { &bassProtectGestureId, &spotlightGestureId, &gainTrimGestureId })
    {
        if (*gestureId != 0)
        {
            controller.endGesture (*gestureId, {});
            *gestureId = 0;
            ended = true;
        }
    }

    if (ended)
        refreshUndoButtons();
}

void AstrelAudioProcessorEditor::refreshUndoButtons()
{
    auto& undo = sharedStatusManager->getUndoController();

    for (auto [button, enabled] : { std::pair { &topBar.undoButton, undo.canUndo() }, { &topBar.redoButton, undo.canRedo() } })
    {
        if (button->isEnabled() != enabled)
        {
            button->setEnabled (enabled);
            button->repaint();
        }
    }
}

//==============================================================================
void AstrelAudioProcessorEditor::wireTopBar()
{
    topBar.onListenMono = [this] { applyListenMonoAll(); };
    topBar.onBypassAll = [this] { applyBypassAll(); };
    topBar.onStore = [this] { topBar.setStoreArmed (! topBar.isStoreArmed()); };
    topBar.onSlotClicked = [this] (int slot) { handleSlotClick (slot); };

    topBar.onUndo = [this] {
        auto& undo = sharedStatusManager->getUndoController();

        if (undo.canUndo())
            undo.undo();

        refreshUndoButtons();
    };

    topBar.onRedo = [this] {
        auto& undo = sharedStatusManager->getUndoController();

        if (undo.canRedo())
            undo.redo();

        refreshUndoButtons();
    };
}

void AstrelAudioProcessorEditor::applyListenMonoAll()
{
    const auto statuses = sharedStatusManager->getStatuses();
    const auto allMono = allInListenMono (statuses);

    sharedStatusManager->getCommandController().perform (allMono ? "Stop Listen Mono" : "Listen Mono All",
                                                         patchesForEveryInstance (statuses, &AstrelTargetPatch::listenMono, ! allMono),
                                                         AstrelCommandOrigin::editorAction,
                                                         AstrelUndoPolicy::none,
                                                         AstrelCommandDelivery::immediate);
    topBar.listenMonoButton.setActive (! allMono);
}

void AstrelAudioProcessorEditor::applyBypassAll()
{
    const auto allBypassed = sharedStatusManager->areAllBypassed();

    sharedStatusManager->getCommandController().perform (allBypassed ? "Unbypass All" : "Bypass All",
                                                         patchesForEveryInstance (sharedStatusManager->getStatuses(), &AstrelTargetPatch::bypass, ! allBypassed),
                                                         AstrelCommandOrigin::editorAction,
                                                         AstrelUndoPolicy::record,
                                                         AstrelCommandDelivery::immediate);
    topBar.bypassAllButton.setActive (! allBypassed);
    refreshUndoButtons();
}

void AstrelAudioProcessorEditor::handleSlotClick (int slot)
{
    if (slot < 0 || slot >= WholefieldSlotsState::numSlots)
        return;

    if (topBar.isStoreArmed())
        storeWholefieldSlot (slot);
    else
        recallWholefieldSlot (slot);
}

void AstrelAudioProcessorEditor::storeWholefieldSlot (int slot)
{
    if (slot < 0 || slot >= WholefieldSlotsState::numSlots)
        return;

    const auto statuses = sharedStatusManager->getStatuses();

    if (statuses.empty())
    {
        topBar.setStoreArmed (false);
        updateStoreSlotButtonsFromSharedState();
        return;
    }

    lastRecalledSlot = -1;
    recallSettleEndMs = 0.0;

    std::vector<WholefieldInstanceState> instances;
    std::set<juce::String> taken;

    for (const auto& id : sharedStatusManager->getInsertionOrder())
    {
        const auto found = statuses.find (id);

        if (found != statuses.end() && taken.insert (id).second)
            instances.push_back (instanceStateFrom (found->second));
    }

    for (const auto& [id, status] : statuses)
        if (taken.insert (id).second)
            instances.push_back (instanceStateFrom (status));

    const auto nowMs = clock();
    sharedStatusManager->writeWholefieldSlot (slot, instances, nowMs);

    topBar.setStoreArmed (false);
    topBar.slotButtons[static_cast<size_t> (slot)].setFlashStartMs (juce::Time::getMillisecondCounterHiRes());
    updateStoreSlotButtonsFromSharedState (nowMs, statuses);
    astrelProcessor.mirrorSharedWholefieldSlotsToStateIfNeeded();
}

void AstrelAudioProcessorEditor::recallWholefieldSlot (int slot)
{
    if (slot < 0 || slot >= WholefieldSlotsState::numSlots)
        return;

    const auto stored = sharedStatusManager->getWholefieldSlotsState().slots[static_cast<size_t> (slot)];

    if (! stored.hasLayout)
        return;

    const auto statuses = sharedStatusManager->getStatuses();

    if (xyPad != nullptr)
    {
        xyPad->finishScrollGesture();
        xyPad->resetTrimAndSpreadState();
    }

    const auto startMs = clock();
    std::vector<AstrelTargetPatch> patches;

    for (const auto& instance : stored.instances)
        if (statuses.count (instance.pluginID) > 0)
            patches.push_back (recallPatchFor (instance));

    if (patches.empty())
        return;

    sharedStatusManager->getCommandController().perform ("Recall Slot " + juce::String (slot + 1),
                                                         patches,
                                                         AstrelCommandOrigin::slotRecall,
                                                         AstrelUndoPolicy::record,
                                                         AstrelCommandDelivery::ramped);
    lastRecalledSlot = slot;
    recallSettleEndMs = startMs + recallSettleMs;
    sharedStatusManager->selectWholefieldSlot (slot);

    topBar.setStoreArmed (false);
    topBar.slotButtons[static_cast<size_t> (slot)].setFlashStartMs (juce::Time::getMillisecondCounterHiRes());
    updateStoreSlotButtonsFromSharedState();
    astrelProcessor.mirrorSharedWholefieldSlotsToStateIfNeeded();
    refreshUndoButtons();
}

//==============================================================================
namespace
{
    /** One inspector knob: its gesture's name, the parameter it moves and where it goes in a patch. */
    struct KnobGesture
    {
        const char* name;
        std::uint32_t mask;
        std::optional<float> AstrelTargetPatch::*field;
    };

    constexpr KnobGesture bassProtectKnob { "Inspector Bass Protect", AstrelParameterMask::sideLowCutHz, &AstrelTargetPatch::sideLowCutHz };
    constexpr KnobGesture spotlightKnob { "Inspector Spotlight", AstrelParameterMask::spotlight, &AstrelTargetPatch::spotlightPercent };
    constexpr KnobGesture gainTrimKnob { "Inspector Gain Trim", AstrelParameterMask::gainTrimDb, &AstrelTargetPatch::gainTrimDb };

    std::vector<AstrelTargetPatch> knobPatch (const KnobGesture& knob, const juce::String& id, float value)
    {
        AstrelTargetPatch patch;
        patch.pluginID = id;
        patch.*(knob.field) = value;
        return { patch };
    }
} // namespace

void AstrelAudioProcessorEditor::wireInspector()
{
    if (inspector == nullptr)
        return;

    const auto wireKnob = [this] (const KnobGesture& knob,
                                  std::uint64_t& gestureId,
                                  InspectorComponent::IdCallback& started,
                                  InspectorComponent::IdValueCallback& changed,
                                  InspectorComponent::IdValueCallback& ended) {
        started = [this, &knob, &gestureId] (const juce::String& id) {
            if (id.isNotEmpty())
                gestureId = sharedStatusManager->getCommandController().beginGesture (knob.name, { id }, AstrelCommandOrigin::inspector, knob.mask);
        };

        changed = [this, &knob, &gestureId] (const juce::String& id, float value) {
            if (id.isNotEmpty())
                sharedStatusManager->getCommandController().updateGesture (gestureId, knobPatch (knob, id, value));
        };

        ended = [this, &knob, &gestureId] (const juce::String& id, float value) {
            auto& controller = sharedStatusManager->getCommandController();

            if (id.isEmpty())
                controller.cancelGesture (gestureId);
            else
                controller.endGesture (gestureId, knobPatch (knob, id, value));

            gestureId = 0;
            refreshUndoButtons();
        };
    };

    wireKnob (bassProtectKnob,
              bassProtectGestureId,
              inspector->onBassProtectDragStarted,
              inspector->onBassProtectChanged,
              inspector->onBassProtectDragEnded);
    wireKnob (spotlightKnob,
              spotlightGestureId,
              inspector->onSpotlightDragStarted,
              inspector->onSpotlightChanged,
              inspector->onSpotlightDragEnded);
    wireKnob (gainTrimKnob,
              gainTrimGestureId,
              inspector->onGainTrimDragStarted,
              inspector->onGainTrimChanged,
              inspector->onGainTrimDragEnded);

    inspector->onTrackNameChanged = [this] (const juce::String& id, const juce::String& text) { renameInstance (id, text); };
    inspector->onMonoBassChanged = [this] (const juce::String& id, bool on) { setMonoBass (id, on); };
    inspector->onShowCurrentInstance = [this] { showCurrentInstance(); };

    inspector->onSpreadDragStarted = [this] (bool panOnly) {
        if (xyPad != nullptr)
            xyPad->beginKnobDrivenSpread (panOnly);
    };

    inspector->onSpreadChanged = [this] (float proportion) {
        if (xyPad != nullptr)
            xyPad->setKnobDrivenSpreadValue (proportion);
    };

    inspector->onSpreadDragEnded = [this] (float proportion) {
        if (xyPad != nullptr)
            xyPad->endKnobDrivenSpread (proportion);

        refreshUndoButtons();
        refreshMasterSelectionUI();
    };

    inspector->onSpreadHoverChanged = [this] (bool hovering, bool panOnly) {
        if (xyPad != nullptr)
            xyPad->setSpreadPreviewMode (hovering ? (panOnly ? 2 : 1) : 0);
    };
}

void AstrelAudioProcessorEditor::renameInstance (const juce::String& id, const juce::String& text)
{
    if (id.isEmpty())
        return;

    auto name = text.trim().substring (0, 64);

    if (name.isEmpty())
        name = "Track";

    AstrelTargetPatch patch;
    patch.pluginID = id;
    patch.trackName = name;
    sharedStatusManager->getCommandController().perform ("Rename",
                                                         { patch },
                                                         AstrelCommandOrigin::inspector,
                                                         AstrelUndoPolicy::record,
                                                         AstrelCommandDelivery::immediate);
    refreshUndoButtons();
}

void AstrelAudioProcessorEditor::setMonoBass (const juce::String& id, bool on)
{
    if (id.isEmpty())
        return;

    AstrelTargetPatch patch;
    patch.pluginID = id;
    patch.monoBass = on;
    sharedStatusManager->getCommandController().perform ("Inspector Mono Bass",
                                                         { patch },
                                                         AstrelCommandOrigin::inspector,
                                                         AstrelUndoPolicy::record,
                                                         AstrelCommandDelivery::immediate);
    refreshUndoButtons();
}

void AstrelAudioProcessorEditor::showCurrentInstance()
{
    const auto own = selectionModel.getOwnID();
    const auto statuses = sharedStatusManager->getStatuses();
    const auto found = statuses.find (own);

    if (found == statuses.end())
        return;

    if (! found->second.visible)
    {
        AstrelTargetPatch patch;
        patch.pluginID = own;
        patch.visible = true;
        sharedStatusManager->getCommandController().perform ("Show Current Instance",
                                                             { patch },
                                                             AstrelCommandOrigin::inspector,
                                                             AstrelUndoPolicy::none,
                                                             AstrelCommandDelivery::immediate);

        // The registry shows the instance at once, so the selection may take it before the
        // next refresh confirms it.
        if (own.isNotEmpty())
            selectionModel.reconcile (sharedStatusManager->getStatuses());
    }

    selectionModel.selectOnly (own);

    if (sidebar != nullptr)
    {
        sidebar->pendingScrollID = own;
        sidebar->scrollToPendingRow();
    }

    juce::MessageManager::callAsync ([safeInspector = juce::Component::SafePointer<InspectorComponent> (inspector.get())] {
        if (auto* shown = safeInspector.getComponent())
        {
            if (shown->nameEditor.hasKeyboardFocus (true))
                shown->nameEditor.giveAwayKeyboardFocus();

            shown->nameEditor.setWantsKeyboardFocus (false);
        }
    });
}

//==============================================================================
void AstrelAudioProcessorEditor::openAboutPanel()
{
    if (aboutPanel == nullptr)
        return;

    aboutPanel->refresh();
    aboutPanel->setBounds (getLocalBounds());
    aboutPanel->setVisible (true);
    aboutPanel->setInterceptsMouseClicks (true, true);
    aboutPanel->toFront (false);
    focusAboutPanel();
}

void AstrelAudioProcessorEditor::focusAboutPanel()
{
    // Escape closes the panel, so it takes the keys; a window not on the screen yet can't.
    if (aboutPanel != nullptr && aboutPanel->isShowing())
        aboutPanel->grabKeyboardFocus();
}

void AstrelAudioProcessorEditor::closeAboutPanel()
{
    if (aboutPanel == nullptr)
        return;

    aboutPanel->setVisible (false);
    aboutPanel->setInterceptsMouseClicks (false, false);
}
