#pragma once

#include "AboutComponent.h"
#include "SelectedInstancePanel.h"
#include "MasterSidebarComponent.h"
#include "MasterXYPadComponent.h"
#include "SelectionModel.h"
#include "SharedStatusManager.h"
#include "TopBarComponent.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <functional>
#include <memory>

class AstrelAudioProcessor;

/** A label that reports a click (a release over it) and is otherwise a plain label. */
class ClickableLabel : public juce::Label
{
public:
    using juce::Label::Label;

    void mouseUp (const juce::MouseEvent& event) override;

    std::function<void()> onClick;
};

/**
    The plug-in's window: the master view of every instance in the process. The top bar runs
    across the top, the instance list sits on the left, the XY pad in the middle, the
    inspector on the right. It keeps its size in the instance's state tree and in a per-user
    settings file, refreshes everything from the registry every 16 ms and turns its children's
    callbacks into commands.
*/
class AstrelAudioProcessorEditor : public juce::AudioProcessorEditor, public juce::Timer
{
public:
    explicit AstrelAudioProcessorEditor (AstrelAudioProcessor& owner);
    ~AstrelAudioProcessorEditor() override;

    void paint (juce::Graphics& g) override;
    void resized() override;
    void mouseDown (const juce::MouseEvent& event) override;
    void timerCallback() override;

    /** One refresh from the registry at a time on the high-resolution millisecond counter;
        the timer runs it with clock() every 16 ms. */
    void runTick (double nowMs);

    void updateStoreSlotButtonsFromSharedState();
    void refreshMasterSelectionUI();

    /** Stores every instance's values in slot 0 to 3. */
    void storeWholefieldSlot (int slot);

    /** Glides every instance the slot lists back to its stored values, as one undo step. */
    void recallWholefieldSlot (int slot);

    /** Writes the current (clamped) size into the state tree and the settings file. */
    void saveCurrentMasterViewBounds();

    /** The time source of every time stamp the editor takes; a test may replace it. */
    std::function<double()> clock = [] { return juce::Time::getMillisecondCounterHiRes(); };

    static constexpr int minimumWidth = 1000, maximumWidth = 2400;
    static constexpr int minimumHeight = 560, maximumHeight = 1200;
    static constexpr int refreshIntervalMs = 16;
    static constexpr double meteringFreshnessMs = 150.0;
    static constexpr double recallSettleMs = 450.0 + 180.0;

    /** The options of the per-user settings file. */
    static juce::PropertiesFile::Options makeSettingsFileOptions();

    /** The width the master view gets for a width saved by the older single-instance view. */
    static int convertSingleViewWidth (int singleViewWidth) noexcept;

    TopBarComponent& getTopBar() noexcept { return topBar; }
    ClickableLabel& getAboutLabel() noexcept { return aboutLabel; }
    MasterXYPadComponent* getXYPad() noexcept { return xyPad.get(); }
    MasterSidebarComponent* getSidebar() noexcept { return sidebar.get(); }
    InspectorComponent* getInspector() noexcept { return inspector.get(); }
    AboutComponent* getAboutPanel() noexcept { return aboutPanel.get(); }
    SelectionModel& getSelectionModel() noexcept { return selectionModel; }
    juce::PropertiesFile* getSettingsFile() noexcept { return settingsFile.get(); }

private:
    juce::Point<int> restoreMasterViewSize() const;
    void updateStoreSlotButtonsFromSharedState (double nowMs, const SharedStatusManager::StatusMap& statuses);
    void wireTopBar();
    void wireInspector();
    void updateInspectorFromSelection (const SharedStatusManager::StatusMap& statuses);
    void endNameEditing();
    void renameInstance (const juce::String& id, const juce::String& text);
    void setMonoBass (const juce::String& id, bool on);
    void showCurrentInstance();
    void applyListenMonoAll();
    void applyBypassAll();
    void handleSlotClick (int slot);
    void refreshUndoButtons();
    void endKnobGesturesWithTheValuesSent();
    void focusAboutPanel();
    void refreshMeters (const SharedStatusManager::MeteringMap& frames, double nowMs);
    void openAboutPanel();
    void closeAboutPanel();

    AstrelAudioProcessor& astrelProcessor;
    SelectionModel selectionModel;
    TopBarComponent topBar;
    ClickableLabel aboutLabel;
    std::unique_ptr<MasterXYPadComponent> xyPad;
    std::unique_ptr<MasterSidebarComponent> sidebar;
    std::unique_ptr<InspectorComponent> inspector;
    std::unique_ptr<AboutComponent> aboutPanel;
    juce::SharedResourcePointer<SharedStatusManager> sharedStatusManager;
    int lastRecalledSlot = -1;
    double recallSettleEndMs = 0.0;
    std::uint64_t bassProtectGestureId = 0, spotlightGestureId = 0, gainTrimGestureId = 0;
    bool boundsSavingSuspended = false;
    std::unique_ptr<juce::PropertiesFile> settingsFile;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (AstrelAudioProcessorEditor)
};
