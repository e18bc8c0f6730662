#include "SelectedInstancePanel.h"

#include "JuceCompat.h"

#include <cmath>

namespace
{
    const juce::Colour inspectorAccent (InspectorComponent::accentColour);
    const juce::Colour valueText (0xebe8ebefu);
    const juce::Colour titleText (0xf0e8ebefu);

    constexpr int maximumNameLength = 64;

    /** Alphas given as fractions become the nearest byte. */
    juce::Colour withAlphaFraction (juce::Colour colour, float alpha)
    {
        return colour.withAlpha (static_cast<juce::uint8> (juce::jlimit (0, 255, juce::roundToInt (alpha * 255.0f))));
    }

    /** Nearest integer, halves away from zero; anything not finite counts as 0. */
    int rounded (double value) noexcept
    {
        return std::isfinite (value) ? static_cast<int> (std::round (value)) : 0;
    }

    float finiteOrZero (float value) noexcept
    {
        return std::isfinite (value) ? value : 0.0f;
    }

    void prepareLabel (juce::Label& label, float fontHeight, juce::Colour colour)
    {
        label.setJustificationType (juce::Justification::centred);
        label.setFont (JuceCompat::defaultFont (fontHeight));
        label.setColour (juce::Label::textColourId, colour);
        label.setInterceptsMouseClicks (false, false);
    }

    void setLabelText (juce::Label& label, const juce::String& text)
    {
        label.setText (text, juce::dontSendNotification);
    }

    struct KnobSetup
    {
        const char* name;
        const char* description;
        const char* tooltip;
        double minimum, maximum;
        bool optionClickResets;
    };

    void prepareKnob (AstrelKnob& knob, const KnobSetup& setup)
    {
        knob.setName (setup.name);
        knob.setTitle (setup.name);
        knob.setDescription (setup.description);
        knob.setTooltip (setup.tooltip);
        knob.setRange (setup.minimum, setup.maximum, 0.1);
        knob.setMouseDragSensitivity (260);
        knob.setColour (juce::Slider::rotarySliderFillColourId, juce::Colour (AstrelKnob::valueColour));
        knob.setDoubleClickReturnValue (true,
                                        0.0,
                                        setup.optionClickResets ? juce::ModifierKeys (juce::ModifierKeys::altModifier)
                                                                : juce::ModifierKeys());
    }

    /** The name as it is committed: trimmed, at most 64 characters, never empty. */
    juce::String committedName (const juce::String& text)
    {
        const auto name = text.trim().substring (0, maximumNameLength);
        return name.isEmpty() ? juce::String ("Track") : name;
    }
} // namespace

//==============================================================================
InspectorNameEditor::InspectorNameEditor()
{
    // The field takes the focus itself in mouseDown; the framework's own grab on a click would
    // hand it to another control while the field does not want it yet.
    setMouseClickGrabsKeyboardFocus (false);
    setWantsKeyboardFocus (false);
}

void InspectorNameEditor::mouseDown (const juce::MouseEvent& event)
{
    if (! isEnabled())
        return;

    const bool hadFocus = hasKeyboardFocus (true);
    setWantsKeyboardFocus (true);
    juce::TextEditor::mouseDown (event);
    grabKeyboardFocus();

    if (! hadFocus)
        selectAll();
}

void InspectorNameEditor::focusLost (FocusChangeType cause)
{
    juce::TextEditor::focusLost (cause);

    if (onFocusLeft)
        onFocusLeft();

    setWantsKeyboardFocus (false);
}

//==============================================================================
InspectorToggleButton::InspectorToggleButton (const juce::String& buttonText) : juce::Button (buttonText)
{
    setClickingTogglesState (false);
}

void InspectorToggleButton::paintButton (juce::Graphics& g, bool highlighted, bool down)
{
    const bool on = getToggleState();
    const auto base = on ? inspectorAccent : juce::Colours::white;

    auto fill = on ? 0.15f : 0.025f;
    auto outline = on ? 0.32f : 0.09f;

    if (highlighted)
    {
        fill += 0.045f;
        outline += 0.08f;
    }

    if (down)
        fill += 0.05f;

    const auto bounds = getLocalBounds().toFloat().reduced (0.5f);
    g.setColour (withAlphaFraction (base, fill));
    g.fillRoundedRectangle (bounds, 4.0f);
    g.setColour (withAlphaFraction (base, outline));
    g.drawRoundedRectangle (bounds, 4.0f, 0.75f);

    const auto textAlpha = std::min (1.0f, (on ? 0.96f : 0.56f) + (highlighted ? 0.18f : 0.0f));
    g.setColour (withAlphaFraction (juce::Colour (on ? 0xffe8ebefu : 0xffccd2dau), textAlpha));
    g.setFont (JuceCompat::defaultFont (9.0f, true));
    g.drawFittedText (getButtonText(),
                      { 5, 1, std::max (getWidth() - 10, 0), std::max (getHeight() - 2, 0) },
                      juce::Justification::centred,
                      1);
}

//==============================================================================
InspectorComponent::InspectorComponent (juce::String ownId)
    : ownInstanceId (std::move (ownId))
    , knobBindings { { { bassProtectKnob,
                         bassProtectDragging,
                         bassProtectDragTargetId,
                         [this] (float hz) { setLabelText (bassProtectValue, formatBassProtect (hz)); },
                         onBassProtectDragStarted,
                         onBassProtectChanged,
                         onBassProtectDragEnded },
                       { spotlightKnob,
                         spotlightDragging,
                         spotlightDragTargetId,
                         [this] (float percent) { updateSpotlightValueLabel (percent); },
                         onSpotlightDragStarted,
                         onSpotlightChanged,
                         onSpotlightDragEnded },
                       { gainTrimKnob,
                         gainTrimDragging,
                         gainTrimDragTargetId,
                         [this] (float decibels) { setLabelText (gainTrimValue, formatGainTrim (decibels)); },
                         onGainTrimDragStarted,
                         onGainTrimChanged,
                         onGainTrimDragEnded } } }
{
    // A click on the panel's background must not hand the keyboard focus to the first knob.
    setMouseClickGrabsKeyboardFocus (false);

    nameEditor.setMultiLine (false);
    nameEditor.setInputRestrictions (maximumNameLength);
    nameEditor.setFont (JuceCompat::defaultFont (16.0f));
    nameEditor.setJustification (juce::Justification::centred);
    nameEditor.setBorder (juce::BorderSize<int> (1, 5, 1, 5));
    nameEditor.setSelectAllWhenFocused (true);
    nameEditor.setColour (juce::TextEditor::backgroundColourId, juce::Colours::transparentBlack);
    nameEditor.setColour (juce::TextEditor::textColourId, juce::Colours::white.withAlpha ((juce::uint8) 0xf0));
    nameEditor.setColour (juce::TextEditor::highlightColourId, inspectorAccent.withAlpha ((juce::uint8) 0x94));
    nameEditor.setColour (juce::TextEditor::highlightedTextColourId, juce::Colours::white);
    nameEditor.setColour (juce::TextEditor::outlineColourId, juce::Colours::transparentBlack);
    nameEditor.setColour (juce::TextEditor::focusedOutlineColourId, inspectorAccent);
    nameEditor.setColour (juce::CaretComponent::caretColourId, juce::Colours::white.withAlpha ((juce::uint8) 0xf0));
    nameEditor.onReturnKey = [this] { nameReturnPressed(); };
    nameEditor.onEscapeKey = [this] { nameEscapePressed(); };
    nameEditor.onFocusLeft = [this] {
        if (! cancellingNameEdit)
            commitNameEdit();
    };

    hiddenBadge.setText ("HIDDEN", juce::dontSendNotification);
    prepareLabel (hiddenBadge, 10.0f, valueText);
    hiddenBadge.setColour (juce::Label::backgroundColourId, inspectorAccent.withAlpha ((juce::uint8) 0x1f));
    hiddenBadge.setColour (juce::Label::outlineColourId, inspectorAccent.withAlpha ((juce::uint8) 0x57));

    const std::pair<juce::Label*, const char*> captions[] = { { &panCaption, "PAN" },
                                                              { &depthCaption, "DEPTH" },
                                                              { &gainTrimCaption, "GAIN TRIM" },
                                                              { &bassProtectCaption, "BASS PROTECT" },
                                                              { &spotlightCaption, "SPOTLIGHT" },
                                                              { &spreadCaption, "CONSTELLATION SPREAD" } };

    for (const auto& [label, text] : captions)
    {
        configureCaption (*label);
        label->setText (text, juce::dontSendNotification);
    }

    for (auto* label : { &panValue, &depthValue, &gainTrimValue, &bassProtectValue, &spotlightValue, &spreadValue })
        configureValue (*label);

    gainTrimValue.setFont (JuceCompat::defaultFont (11.5f));
    bassProtectValue.setJustificationType (juce::Justification::centredLeft);
    spotlightValue.setJustificationType (juce::Justification::centredLeft);

    outputMeter.setName ("Stereo Output Meter");
    correlationMeter.setName ("Correlation Meter");

    prepareKnob (gainTrimKnob,
                 { "Gain Trim",
                   "Output gain trim in decibels",
                   "Output gain trim. Shift-drag for fine adjustment; double-click to reset.",
                   -12.0,
                   12.0,
                   true });
    gainTrimKnob.setArcMode (1, 0.0);
    gainTrimKnob.setInvertedBodyShading (true);

    prepareKnob (bassProtectKnob,
                 { "Bass Protect",
                   "Bass Protect cutoff frequency",
                   "Bass Protect cutoff. Shift-drag for fine adjustment; double-click to reset.",
                   0.0,
                   2000.0,
                   true });
    bassProtectKnob.setSkewFactorFromMidPoint (120.0);

    prepareKnob (spotlightKnob,
                 { "Spotlight",
                   "High-frequency directional focus",
                   "Adds high-frequency focus towards the pan direction. Shift-drag for fine adjustment; "
                   "double-click to reset.",
                   0.0,
                   100.0,
                   true });

    prepareKnob (spreadKnob,
                 { "Constellation Spread",
                   "Relative spread of the selected instances",
                   "Drag: Constellation Spread. Option-drag: Pan only. Shift: fine adjustment.",
                   0.0,
                   100.0,
                   false });

    selectionTitle.setJustificationType (juce::Justification::centred);
    selectionTitle.setFont (JuceCompat::defaultFont (16.0f));
    selectionTitle.setColour (juce::Label::textColourId, titleText);
    selectionTitle.setInterceptsMouseClicks (false, false);

    spreadHint.setText ("Hold Option for Pan Only", juce::dontSendNotification);
    prepareLabel (spreadHint, 10.0f, juce::Colours::white.withAlpha ((juce::uint8) 0x7a));

    selectThisTrackButton.setButtonText ("SELECT THIS TRACK");
    selectThisTrackButton.setColour (juce::TextButton::buttonColourId, inspectorAccent.withAlpha ((juce::uint8) 0x29));
    selectThisTrackButton.setColour (juce::TextButton::buttonOnColourId, inspectorAccent.withAlpha ((juce::uint8) 0x3d));
    selectThisTrackButton.setColour (juce::TextButton::textColourOffId, titleText);
    selectThisTrackButton.setColour (juce::TextButton::textColourOnId, juce::Colour (0xfae8ebefu));
    selectThisTrackButton.setWantsKeyboardFocus (false);

    for (auto& binding : knobBindings)
        connectKnob (binding);

    monoBassButton.onClick = [this] { monoBassClicked(); };

    spreadKnob.onMouseDownWithModifiers = [this] (const juce::ModifierKeys& mods) { spreadPressed (mods); };
    spreadKnob.onDragStart = [this] { spreadDragStarted(); };
    spreadKnob.onValueChange = [this] { spreadValueChanged(); };
    spreadKnob.onDragEnd = [this] { spreadDragEnded(); };
    spreadKnob.onHoverChanged = [this] (bool hovering, const juce::ModifierKeys& mods) {
        spreadHoverChanged (hovering, mods);
    };
    spreadKnob.onModifierKeysChanged = [this] (const juce::ModifierKeys& mods) { spreadModifiersChanged (mods); };

    selectThisTrackButton.onClick = [this] {
        if (onShowCurrentInstance)
            onShowCurrentInstance();
    };

    for (auto* child : std::initializer_list<juce::Component*> { &nameEditor,
                                                                 &hiddenBadge,
                                                                 &panCaption,
                                                                 &panValue,
                                                                 &depthCaption,
                                                                 &depthValue,
                                                                 &outputMeter,
                                                                 &correlationMeter,
                                                                 &gainTrimCaption,
                                                                 &gainTrimKnob,
                                                                 &gainTrimValue,
                                                                 &bassProtectCaption,
                                                                 &bassProtectKnob,
                                                                 &bassProtectValue,
                                                                 &monoBassButton,
                                                                 &spotlightCaption,
                                                                 &spotlightKnob,
                                                                 &spotlightValue,
                                                                 &selectionTitle,
                                                                 &spreadCaption,
                                                                 &spreadKnob,
                                                                 &spreadValue,
                                                                 &spreadHint })
        addAndMakeVisible (child);

    addChildComponent (selectThisTrackButton);
    addMouseListener (this, true);

    showMultiSelection (0, std::nullopt, std::nullopt);
}

InspectorComponent::~InspectorComponent()
{
    // Children that go away mid-gesture (a knob still dragged, a focused name field) report it
    // on their way out; nothing of that may reach the owner while it is being torn down.
    for (auto* knob : { &gainTrimKnob, &bassProtectKnob, &spotlightKnob, &spreadKnob })
    {
        knob->onDragStart = nullptr;
        knob->onValueChange = nullptr;
        knob->onDragEnd = nullptr;
        knob->onMouseDownWithModifiers = nullptr;
        knob->onHoverChanged = nullptr;
        knob->onModifierKeysChanged = nullptr;
    }

    nameEditor.onFocusLeft = nullptr;
    nameEditor.onReturnKey = nullptr;
    nameEditor.onEscapeKey = nullptr;
    removeMouseListener (this);
}

//==============================================================================
void InspectorComponent::configureCaption (juce::Label& label)
{
    prepareLabel (label, 10.0f, juce::Colour (0x8fccd2dau));
}

void InspectorComponent::configureValue (juce::Label& label)
{
    prepareLabel (label, 14.5f, valueText);
}

juce::String InspectorComponent::formatBassProtect (float hz)
{
    if (! std::isfinite (hz) || hz < 0.5f)
        return "OFF";

    return juce::String (rounded (hz)) + juce::String::charToString (static_cast<juce::juce_wchar> (0x00a0)) + "Hz";
}

juce::String InspectorComponent::formatGainTrim (float decibels)
{
    auto shown = juce::jlimit (-12.0f, 12.0f, finiteOrZero (decibels));

    if (std::abs (shown) < 0.05f)
        shown = 0.0f;

    return (shown > 0.0f ? "+" : "") + juce::String (shown, 1) + " dB";
}

juce::String InspectorComponent::formatPan (float pan)
{
    pan = finiteOrZero (pan);

    if (std::abs (pan) < 0.0005f)
        return "C";

    return juce::String (rounded (std::abs (pan) * 100.0)) + "% " + (pan < 0.0f ? "L" : "R");
}

juce::String InspectorComponent::formatDepth (float ratio)
{
    return juce::String (rounded (finiteOrZero (ratio) * 100.0)) + "%";
}

void InspectorComponent::updateSpotlightValueLabel (float percent)
{
    setLabelText (spotlightValue, juce::String (rounded (juce::jlimit (0.0f, 100.0f, finiteOrZero (percent)))) + "%");
}

void InspectorComponent::updateConstellationSpreadValueLabel (float percent)
{
    setLabelText (spreadValue, juce::String (rounded (percent)) + "%");
}

//==============================================================================
void InspectorComponent::updateFromSelection (const SelectionModel::IDSet& selectedIds,
                                              const SharedStatusManager::StatusMap& statuses,
                                              std::optional<float> radialSpread,
                                              std::optional<float> panOnlySpread)
{
    const auto own = statuses.find (ownInstanceId);
    ownStatusKnown = own != statuses.end();
    ownInstanceVisible = ! ownStatusKnown || own->second.visible;

    if (selectedIds.size() != 1)
    {
        showMultiSelection (static_cast<int> (selectedIds.size()), radialSpread, panOnlySpread);
        return;
    }

    const auto id = *selectedIds.begin();
    const auto entry = statuses.find (id);
    const auto* status = entry != statuses.end() ? &entry->second : nullptr;

    if (id != shownInstanceId)
    {
        // The edit of the previous instance's name is committed to that instance.
        releaseNameFocus();
        shownInstanceId = id;
        dropKnobDrags();
        resetMeters();
    }

    setSinglePageVisible (true);
    hiddenBadge.setVisible (status != nullptr && ! status->visible);

    spreadControlEnabled = false;
    radialSpreadProportion.reset();
    panOnlySpreadProportion.reset();

    if (spreadHovered || spreadHoverPanOnly)
    {
        spreadHovered = spreadHoverPanOnly = false;
        refreshConstellationSpreadControl();

        if (onSpreadHoverChanged)
            onSpreadHoverChanged (false, false);
    }

    for (auto* control : std::initializer_list<juce::Component*> {
             &nameEditor, &bassProtectKnob, &monoBassButton, &spotlightKnob, &gainTrimKnob })
        control->setEnabled (status != nullptr);

    if (status != nullptr)
        showStatus (*status);
    else
        showMissingStatus();
}

void InspectorComponent::showStatus (const PluginStatus& status)
{
    const juce::ScopedValueSetter<bool> updating (updatingControls, true);

    const auto name = status.trackName.trim();
    nameBeforeEdit = name.isEmpty() ? juce::String ("Track") : name;

    if (! nameEditor.hasKeyboardFocus (true) && nameEditor.getText() != nameBeforeEdit)
        nameEditor.setText (nameBeforeEdit, false);

    setLabelText (panValue, formatPan (status.pan));
    setLabelText (depthValue, formatDepth (status.ratio));

    if (! bassProtectDragging)
    {
        bassProtectKnob.setValue (status.sideLowCutHz, juce::dontSendNotification);
        setLabelText (bassProtectValue, formatBassProtect (status.sideLowCutHz));
    }

    monoBassButton.setToggleState (status.monoBass, juce::dontSendNotification);
    monoBassButton.setAlpha (status.sideLowCutHz < 0.5f ? 0.55f : 1.0f);

    if (! spotlightDragging)
    {
        spotlightKnob.setValue (status.spotlightPercent, juce::dontSendNotification);
        updateSpotlightValueLabel (status.spotlightPercent);
    }

    if (! gainTrimDragging)
    {
        gainTrimKnob.setValue (status.gainTrimDb, juce::dontSendNotification);
        setLabelText (gainTrimValue, formatGainTrim (status.gainTrimDb));
    }

    repaintIfBackgroundChanged();
}

void InspectorComponent::showMissingStatus()
{
    if (! nameEditor.hasKeyboardFocus (true))
        nameEditor.setText ("Current Instance", false);

    for (auto* label : { &panValue, &depthValue, &bassProtectValue, &spotlightValue, &gainTrimValue })
        setLabelText (*label, "--");

    repaintIfBackgroundChanged();
}

void InspectorComponent::showMultiSelection (int count,
                                             std::optional<float> radialSpread,
                                             std::optional<float> panOnlySpread)
{
    const bool wasShowing = shownInstanceId.isNotEmpty();

    // A name being typed belongs to the instance that was shown, so it is committed first.
    if (wasShowing)
        releaseNameFocus();

    shownInstanceId.clear();
    dropKnobDrags();

    if (wasShowing)
        resetMeters();

    setSinglePageVisible (false);

    spreadControlEnabled = count > 1;
    radialSpreadProportion = radialSpread;
    panOnlySpreadProportion = panOnlySpread;

    setLabelText (selectionTitle, count < 1 ? juce::String ("NO INSTANCE SELECTED") : juce::String (count) + " INSTANCES");
    selectionTitle.setVisible (true);

    for (auto* child : std::initializer_list<juce::Component*> { &spreadCaption, &spreadKnob, &spreadValue, &spreadHint })
        child->setVisible (spreadControlEnabled);

    refreshConstellationSpreadControl();

    if (! spreadControlEnabled)
    {
        spreadDragging = false;

        if (spreadHovered || spreadHoverPanOnly)
        {
            spreadHovered = spreadHoverPanOnly = false;
            refreshConstellationSpreadControl();

            if (onSpreadHoverChanged)
                onSpreadHoverChanged (false, false);
        }
    }

    const juce::String buttonText (ownInstanceVisible ? "SELECT THIS TRACK" : "SHOW & SELECT THIS TRACK");

    if (selectThisTrackButton.getButtonText() != buttonText)
    {
        selectThisTrackButton.setButtonText (buttonText);
        selectThisTrackButton.repaint();
    }

    selectThisTrackButton.setEnabled (ownStatusKnown);
    selectThisTrackButton.setVisible (count == 0);
    repaintIfBackgroundChanged();
}

void InspectorComponent::refreshConstellationSpreadControl()
{
    const bool panOnly = spreadDragging ? spreadDragPanOnly : spreadHoverPanOnly;
    setLabelText (spreadCaption, panOnly ? "PAN SPREAD" : "CONSTELLATION SPREAD");

    if (spreadDragging)
        return;

    const auto proportion = spreadProportionFor (panOnly);
    const bool enabled = spreadControlEnabled && proportion.has_value();
    spreadKnob.setEnabled (enabled);

    const juce::ScopedValueSetter<bool> updating (updatingControls, true);
    const auto percent = enabled ? juce::jlimit (0.0f, 100.0f, finiteOrZero (*proportion) * 100.0f) : 0.0f;
    spreadKnob.setValue (percent, juce::dontSendNotification);

    if (enabled)
        updateConstellationSpreadValueLabel (percent);
    else
        setLabelText (spreadValue, "--");
}

std::optional<float> InspectorComponent::spreadProportionFor (bool panOnly) const
{
    return panOnly ? panOnlySpreadProportion : radialSpreadProportion;
}

//==============================================================================
void InspectorComponent::connectKnob (KnobBinding& binding)
{
    binding.knob.onDragStart = [this, &binding] { knobDragStarted (binding); };
    binding.knob.onValueChange = [this, &binding] { knobValueChanged (binding); };
    binding.knob.onDragEnd = [this, &binding] { knobDragEnded (binding); };
}

void InspectorComponent::knobDragStarted (KnobBinding& binding)
{
    if (shownInstanceId.isEmpty())
        return;

    binding.dragging = true;
    binding.targetId = shownInstanceId;

    if (binding.started)
        binding.started (binding.targetId);
}

void InspectorComponent::knobValueChanged (KnobBinding& binding)
{
    const auto value = static_cast<float> (binding.knob.getValue());
    binding.showValue (value);

    if (updatingControls)
        return;

    if (binding.dragging)
    {
        if (binding.targetId.isNotEmpty() && binding.changed)
            binding.changed (binding.targetId, value);

        return;
    }

    // An arrow key steps the knob without any drag: that step is a gesture of its own. A mouse
    // drag whose instance went away while it ran stays silent.
    if (binding.knob.getThumbBeingDragged() < 0 && shownInstanceId.isNotEmpty())
    {
        knobDragStarted (binding);
        knobValueChanged (binding);
        knobDragEnded (binding);
    }
}

void InspectorComponent::knobDragEnded (KnobBinding& binding)
{
    if (! binding.dragging)
        return;

    const auto id = binding.targetId;
    const auto value = static_cast<float> (binding.knob.getValue());
    binding.dragging = false;
    binding.targetId.clear();

    if (id.isNotEmpty() && binding.ended)
        binding.ended (id, value);
}

void InspectorComponent::dropKnobDrags()
{
    for (auto& binding : knobBindings)
    {
        binding.dragging = false;
        binding.targetId.clear();
    }
}

//==============================================================================
void InspectorComponent::spreadPressed (const juce::ModifierKeys& modifiers)
{
    spreadDragPanOnly = modifiers.isAltDown();

    if (spreadKnob.isEnabled() && (! spreadHovered || spreadHoverPanOnly != spreadDragPanOnly))
        setSpreadHover (true, spreadDragPanOnly);

    refreshConstellationSpreadControl();
}

void InspectorComponent::spreadDragStarted()
{
    if (! spreadControlEnabled || ! spreadProportionFor (spreadDragPanOnly).has_value())
        return;

    spreadDragging = true;

    if (onSpreadDragStarted)
        onSpreadDragStarted (spreadDragPanOnly);
}

void InspectorComponent::spreadValueChanged()
{
    const auto value = static_cast<float> (spreadKnob.getValue());
    updateConstellationSpreadValueLabel (value);

    if (updatingControls)
        return;

    if (spreadDragging)
    {
        if (onSpreadChanged)
            onSpreadChanged (value * 0.01f);

        return;
    }

    // An arrow key step: a radial spread of its own (keys with Option held do not step).
    if (spreadKnob.getThumbBeingDragged() < 0)
    {
        spreadDragPanOnly = false;
        spreadDragStarted();

        if (spreadDragging)
        {
            spreadValueChanged();
            spreadDragEnded();
        }
    }
}

void InspectorComponent::spreadDragEnded()
{
    if (! spreadDragging)
        return;

    spreadDragging = false;

    if (onSpreadDragEnded)
        onSpreadDragEnded (static_cast<float> (spreadKnob.getValue()) * 0.01f);

    const bool hovered = spreadKnob.isMouseOver();
    const bool panOnly = hovered && juce::ModifierKeys::getCurrentModifiersRealtime().isAltDown();

    if (hovered != spreadHovered || panOnly != spreadHoverPanOnly)
        setSpreadHover (hovered, panOnly);

    refreshConstellationSpreadControl();
}

void InspectorComponent::spreadHoverChanged (bool hovering, const juce::ModifierKeys& modifiers)
{
    const bool hovered = hovering && spreadKnob.isEnabled();
    const bool panOnly = hovered && modifiers.isAltDown();

    if (hovered != spreadHovered || panOnly != spreadHoverPanOnly)
        setSpreadHover (hovered, panOnly);
}

void InspectorComponent::spreadModifiersChanged (const juce::ModifierKeys& modifiers)
{
    if (spreadDragging || ! spreadHovered)
        return;

    if (modifiers.isAltDown() != spreadHoverPanOnly)
        setSpreadHover (true, modifiers.isAltDown());
}

void InspectorComponent::setSpreadHover (bool hovered, bool panOnly)
{
    spreadHovered = hovered;
    spreadHoverPanOnly = panOnly;
    refreshConstellationSpreadControl();

    if (onSpreadHoverChanged)
        onSpreadHoverChanged (hovered, panOnly);
}

//==============================================================================
void InspectorComponent::monoBassClicked()
{
    if (updatingControls || shownInstanceId.isEmpty())
        return;

    const bool newState = ! monoBassButton.getToggleState();
    monoBassButton.setToggleState (newState, juce::dontSendNotification);

    if (onMonoBassChanged)
        onMonoBassChanged (shownInstanceId, newState);
}

//==============================================================================
void InspectorComponent::commitNameEdit()
{
    if (cancellingNameEdit || shownInstanceId.isEmpty() || ! nameEditor.isEnabled())
        return;

    const auto name = committedName (nameEditor.getText());

    if (name == nameBeforeEdit)
        return;

    nameBeforeEdit = name;

    if (onTrackNameChanged)
        onTrackNameChanged (shownInstanceId, name);
}

void InspectorComponent::nameReturnPressed()
{
    commitNameEdit();
    nameEditor.giveAwayKeyboardFocus();
}

void InspectorComponent::nameEscapePressed()
{
    const juce::ScopedValueSetter<bool> cancelling (cancellingNameEdit, true);
    nameEditor.setText (nameBeforeEdit, false);
    nameEditor.giveAwayKeyboardFocus();
}

void InspectorComponent::releaseNameFocus()
{
    if (nameEditor.hasKeyboardFocus (true))
        nameEditor.giveAwayKeyboardFocus();

    nameEditor.setWantsKeyboardFocus (false);
}

void InspectorComponent::mouseDown (const juce::MouseEvent& event)
{
    const auto* origin = event.originalComponent;
    const bool inNameEditor = origin == &nameEditor || nameEditor.isParentOf (origin);

    if (! inNameEditor && nameEditor.hasKeyboardFocus (true))
        nameEditor.giveAwayKeyboardFocus();

    nameEditor.setWantsKeyboardFocus (false);
}

//==============================================================================
void InspectorComponent::repaintIfBackgroundChanged()
{
    // The children repaint themselves when their texts, values or states change; the panel
    // itself only draws its body and the separators of the page, so an unchanged page is not
    // redrawn on every refresh tick.
    const std::pair<bool, bool> separators { shownInstanceId.isNotEmpty(), spreadControlEnabled };

    if (separators != paintedSeparators)
    {
        paintedSeparators = separators;
        repaint();
    }
}

void InspectorComponent::resetMeters()
{
    outputMeter.reset();
    correlationMeter.reset();
}

void InspectorComponent::setSinglePageVisible (bool visible)
{
    for (auto* child : std::initializer_list<juce::Component*> { &nameEditor,
                                                                 &panCaption,
                                                                 &panValue,
                                                                 &depthCaption,
                                                                 &depthValue,
                                                                 &outputMeter,
                                                                 &correlationMeter,
                                                                 &gainTrimCaption,
                                                                 &gainTrimKnob,
                                                                 &gainTrimValue,
                                                                 &bassProtectCaption,
                                                                 &bassProtectKnob,
                                                                 &bassProtectValue,
                                                                 &monoBassButton,
                                                                 &spotlightCaption,
                                                                 &spotlightKnob,
                                                                 &spotlightValue })
        child->setVisible (visible);

    if (! visible)
        hiddenBadge.setVisible (false);

    for (auto* child : std::initializer_list<juce::Component*> {
             &selectionTitle, &spreadCaption, &spreadKnob, &spreadValue, &spreadHint, &selectThisTrackButton })
        if (visible)
            child->setVisible (false);
}

//==============================================================================
void InspectorComponent::resized()
{
    const auto area = getLocalBounds().reduced (12);
    layOutSinglePage (area);
    layOutMultiPage (area);
    selectThisTrackButton.setBounds (24, 72, std::max (getWidth() - 48, 0), 27);
}

void InspectorComponent::layOutSinglePage (juce::Rectangle<int> area)
{
    const auto nameRow = area.removeFromTop (28);
    nameEditor.setBounds (nameRow);
    hiddenBadge.setBounds (juce::Rectangle<int> (nameRow).removeFromRight (54).withSizeKeepingCentre (54, 14));

    area.removeFromTop (4);
    headerSeparatorY = area.getY();
    area.removeFromTop (1);
    area.removeFromTop (10);

    const auto areaHeight = area.getHeight();
    auto main = area.removeFromTop (
        juce::jlimit (112, std::max (112, areaHeight - 236), juce::roundToInt (0.47 * areaHeight)));

    const auto left = main.removeFromLeft (juce::roundToInt (0.47 * main.getWidth()));
    outputMeter.setBounds (left.withSizeKeepingCentre (juce::jlimit (62, 70, left.getWidth() - 2), left.getHeight()));

    main.removeFromLeft (4);
    const auto third = main.getHeight() / 3;

    const auto layOutTextBlock = [] (juce::Rectangle<int> slot, juce::Label& caption, juce::Label& value) {
        auto block = slot.withSizeKeepingCentre (slot.getWidth(), std::min (slot.getHeight(), 36));
        caption.setBounds (block.removeFromTop (12));
        value.setBounds (block);
    };

    layOutTextBlock (main.removeFromTop (third), panCaption, panValue);
    layOutTextBlock (main.removeFromTop (third), depthCaption, depthValue);

    const auto rest = main.getHeight();
    auto gainBlock = main.withSizeKeepingCentre (main.getWidth(), std::min (rest, 84));
    gainTrimCaption.setBounds (gainBlock.removeFromTop (12));
    gainBlock.removeFromTop (2);
    const auto knobSize = juce::jlimit (36, 50, rest - 34);
    gainTrimKnob.setBounds (gainBlock.removeFromTop (knobSize).withSizeKeepingCentre (knobSize, knobSize));
    gainBlock.removeFromTop (2);
    gainTrimValue.setBounds (gainBlock);

    area.removeFromTop (7);
    correlationMeter.setBounds (area.removeFromTop (46));

    area.removeFromTop (11);
    sectionSeparatorY = area.getY();
    area.removeFromTop (1);
    area.removeFromTop (11);

    auto bass = area.removeFromTop (74);
    bassProtectCaption.setBounds (bass.removeFromTop (14));
    bassProtectKnob.setBounds (bass.removeFromLeft (52).withSizeKeepingCentre (50, 50));
    bass.removeFromLeft (4);
    monoBassButton.setBounds (bass.removeFromRight (44).withSizeKeepingCentre (44, 20));
    bass.removeFromRight (4);
    bassProtectValue.setBounds (bass);

    area.removeFromTop (9);
    auto spotlight = area.removeFromTop (74);
    spotlightCaption.setBounds (spotlight.removeFromTop (14));
    spotlightKnob.setBounds (spotlight.removeFromLeft (56).withSizeKeepingCentre (52, 52));
    spotlight.removeFromLeft (3);
    spotlightValue.setBounds (spotlight.removeFromLeft (44));
}

void InspectorComponent::layOutMultiPage (juce::Rectangle<int> area)
{
    selectionTitle.setBounds (area.removeFromTop (28));
    area.removeFromTop (4);
    area.removeFromTop (1);
    area.removeFromTop (10);
    spreadCaption.setBounds (area.removeFromTop (14));
    area.removeFromTop (4);
    spreadKnob.setBounds (area.removeFromTop (72).withSizeKeepingCentre (72, 72));
    area.removeFromTop (2);
    spreadValue.setBounds (area.removeFromTop (20).withSizeKeepingCentre (80, 20));
    area.removeFromTop (8);
    spreadHint.setBounds (area.removeFromTop (28));
}

void InspectorComponent::paint (juce::Graphics& g)
{
    const juce::Rectangle<float> r (0.5f,
                                    0.5f,
                                    std::max (static_cast<float> (getWidth()) - 1.0f, 0.0f),
                                    std::max (static_cast<float> (getHeight()) - 1.0f, 0.0f));
    const auto centreY = r.getCentreY();

    g.setGradientFill (juce::ColourGradient (juce::Colours::black,
                                             r.getX(),
                                             centreY,
                                             juce::Colour (0xff2e0922u),
                                             r.getRight(),
                                             centreY,
                                             false));
    g.fillRoundedRectangle (r, 9.0f);

    g.setColour (juce::Colours::white.withAlpha ((juce::uint8) 0x4c));
    g.drawRoundedRectangle (r, 9.0f, 1.0f);

    const auto lineWidth = std::max (getWidth() - 24, 0);

    if (shownInstanceId.isNotEmpty() || spreadControlEnabled)
    {
        g.setColour (juce::Colours::white.withAlpha ((juce::uint8) 0x12));
        g.fillRect (12, headerSeparatorY, lineWidth, 1);
    }

    if (shownInstanceId.isNotEmpty() && sectionSeparatorY > 0)
    {
        g.setColour (juce::Colours::white.withAlpha ((juce::uint8) 0x0e));
        g.fillRect (12, sectionSeparatorY, lineWidth, 1);
    }
}
