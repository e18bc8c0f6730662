#pragma once

#include "AstrelKnob.h"
#include "CorrelationMeterComponent.h"
#include "SelectionModel.h"
#include "SharedStatusManager.h"
#include "StereoOutputMeterComponent.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <array>
#include <functional>
#include <optional>
#include <utility>

/** The track name field. It takes the keyboard focus only when clicked, and selects the whole
    name on the first click. */
class InspectorNameEditor : public juce::TextEditor
{
public:
    InspectorNameEditor();

    void mouseDown (const juce::MouseEvent& event) override;
    void focusLost (FocusChangeType cause) override;

    /** Called as soon as the keyboard focus leaves, before anything else can change what the
        field shows (the framework's own onFocusLost comes later, through the message queue). */
    std::function<void()> onFocusLeft;
};

/** A small switch with a bold caption; its owner decides when it toggles. */
class InspectorToggleButton : public juce::Button
{
public:
    explicit InspectorToggleButton (const juce::String& buttonText);

    void paintButton (juce::Graphics& g, bool shouldDrawButtonAsHighlighted, bool shouldDrawButtonAsDown) override;
};

/**
    The panel beside the master pad. With one instance selected it shows that instance's name,
    pan, depth, meters and its Gain Trim, Bass Protect, Mono Bass and Spotlight controls; with
    several it shows their number and the constellation spread knob; with none, a button that
    selects the editor's own instance. It holds no parameter values: the editor pushes the
    selection and the status table in, and every edit leaves through a callback.
*/
class InspectorComponent : public juce::Component
{
public:
    using IdCallback = std::function<void (const juce::String&)>;
    using IdValueCallback = std::function<void (const juce::String&, float)>;

    explicit InspectorComponent (juce::String ownInstanceId);
    ~InspectorComponent() override;

    void paint (juce::Graphics& g) override;
    void resized() override;
    void mouseDown (const juce::MouseEvent& event) override;

    /** Shows the one selected instance, or the multi page for none or several. Called on every
        refresh tick and after every selection change. */
    void updateFromSelection (const SelectionModel::IDSet& selectedIds,
                              const SharedStatusManager::StatusMap& statuses,
                              std::optional<float> radialSpread,
                              std::optional<float> panOnlySpread);

    void showMultiSelection (int count, std::optional<float> radialSpread, std::optional<float> panOnlySpread);

    void refreshConstellationSpreadControl();
    void updateConstellationSpreadValueLabel (float percent);
    void updateSpotlightValueLabel (float percent);
    void commitNameEdit();

    static juce::String formatBassProtect (float hz);
    static juce::String formatGainTrim (float decibels);
    static juce::String formatPan (float pan);
    static juce::String formatDepth (float ratio);

    static void configureCaption (juce::Label& label);
    static void configureValue (juce::Label& label);

    /** The instance on the single page; empty while the multi page is up. */
    const juce::String& getShownInstanceId() const noexcept { return shownInstanceId; }

    bool isSpreadHovered() const noexcept { return spreadHovered; }
    bool isSpreadHoverPanOnly() const noexcept { return spreadHoverPanOnly; }
    bool isSpreadDragging() const noexcept { return spreadDragging; }
    bool isSpreadControlEnabled() const noexcept { return spreadControlEnabled; }
    int getHeaderSeparatorY() const noexcept { return headerSeparatorY; }
    int getSectionSeparatorY() const noexcept { return sectionSeparatorY; }

    std::function<void (const juce::String&, const juce::String&)> onTrackNameChanged;
    IdCallback onBassProtectDragStarted;
    IdValueCallback onBassProtectChanged;
    IdValueCallback onBassProtectDragEnded;
    std::function<void (const juce::String&, bool)> onMonoBassChanged;
    IdCallback onSpotlightDragStarted;
    IdValueCallback onSpotlightChanged;
    IdValueCallback onSpotlightDragEnded;
    IdCallback onGainTrimDragStarted;
    IdValueCallback onGainTrimChanged;
    IdValueCallback onGainTrimDragEnded;
    std::function<void()> onShowCurrentInstance;
    std::function<void (bool panOnly)> onSpreadDragStarted;
    std::function<void (float proportion)> onSpreadChanged;
    std::function<void (float proportion)> onSpreadDragEnded;
    std::function<void (bool hovering, bool panOnly)> onSpreadHoverChanged;

    static constexpr juce::uint32 accentColour = 0xff5783b9;

private:
    /** What the three instance knobs share: their flag, their target and their callbacks. */
    struct KnobBinding
    {
        AstrelKnob& knob;
        bool& dragging;
        juce::String& targetId;
        std::function<void (float)> showValue;
        IdCallback& started;
        IdValueCallback& changed;
        IdValueCallback& ended;
    };

    void connectKnob (KnobBinding& binding);
    void knobDragStarted (KnobBinding& binding);
    void knobValueChanged (KnobBinding& binding);
    void knobDragEnded (KnobBinding& binding);

    void spreadPressed (const juce::ModifierKeys& modifiers);
    void spreadDragStarted();
    void spreadValueChanged();
    void spreadDragEnded();
    void spreadHoverChanged (bool hovering, const juce::ModifierKeys& modifiers);
    void spreadModifiersChanged (const juce::ModifierKeys& modifiers);
    void setSpreadHover (bool hovered, bool panOnly);
    std::optional<float> spreadProportionFor (bool panOnly) const;

    void monoBassClicked();
    void nameReturnPressed();
    void nameEscapePressed();
    void releaseNameFocus();
    void dropKnobDrags();
    void resetMeters();
    void repaintIfBackgroundChanged();
    void setSinglePageVisible (bool visible);
    void showStatus (const PluginStatus& status);
    void showMissingStatus();
    void layOutSinglePage (juce::Rectangle<int> area);
    void layOutMultiPage (juce::Rectangle<int> area);

    juce::String shownInstanceId;
    juce::String bassProtectDragTargetId, spotlightDragTargetId, gainTrimDragTargetId;
    juce::String nameBeforeEdit;
    juce::String ownInstanceId;
    bool updatingControls = false;
    bool bassProtectDragging = false, spotlightDragging = false, gainTrimDragging = false;
    bool spreadDragging = false;
    bool spreadHovered = false, spreadHoverPanOnly = false;
    bool spreadDragPanOnly = false;
    bool spreadControlEnabled = false;
    bool cancellingNameEdit = false;
    bool ownStatusKnown = false;
    bool ownInstanceVisible = true;
    std::optional<float> radialSpreadProportion, panOnlySpreadProportion;
    int headerSeparatorY = 0, sectionSeparatorY = 0;
    std::pair<bool, bool> paintedSeparators { false, false };

public:
    InspectorNameEditor nameEditor;
    juce::Label hiddenBadge;
    juce::Label panCaption, panValue;
    juce::Label depthCaption, depthValue;
    StereoOutputMeterComponent outputMeter;
    CorrelationMeterComponent correlationMeter;
    juce::Label gainTrimCaption;
    AstrelKnob gainTrimKnob;
    juce::Label gainTrimValue;
    juce::Label bassProtectCaption;
    AstrelKnob bassProtectKnob;
    juce::Label bassProtectValue;
    InspectorToggleButton monoBassButton { "MONO" };
    juce::Label spotlightCaption;
    AstrelKnob spotlightKnob;
    juce::Label spotlightValue;
    juce::Label selectionTitle;
    juce::Label spreadCaption;
    AstrelKnob spreadKnob;
    juce::Label spreadValue;
    juce::Label spreadHint;
    juce::TextButton selectThisTrackButton;

private:
    std::array<KnobBinding, 3> knobBindings;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (InspectorComponent)
};
