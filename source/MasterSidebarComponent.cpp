#include "MasterSidebarComponent.h"

#include "AstrelUndoController.h"
#include "JuceCompat.h"

#include <cmath>
#include <limits>

namespace
{
    constexpr juce::uint32 rowTextColour = 0xe8ebef;
    constexpr juce::uint32 accentColour = 0x5783b9;

    juce::Colour withAlphaByte (juce::uint32 rgb, juce::uint8 alpha)
    {
        return juce::Colour ((static_cast<juce::uint32> (alpha) << 24) | rgb);
    }

    bool isHit (const juce::Component& component, juce::Point<float> position)
    {
        return component.getBounds().toFloat().contains (position);
    }

    bool isPlainLeftPress (const juce::ModifierKeys& mods)
    {
        return mods.isLeftButtonDown() && ! mods.isRightButtonDown() && ! mods.isCtrlDown();
    }

    const juce::String visibilityMode ("visibility"), muteMode ("mute"), soloMode ("solo"), selectionMode ("selection");
    const juce::String startedOn ("on"), startedOff ("off");
} // namespace

//==============================================================================
void InstanceVisibilityDot::paint (juce::Graphics& g)
{
    const juce::Rectangle<float> area ((static_cast<float> (getWidth()) - 7.0f) / 2.0f,
                                       (static_cast<float> (getHeight()) - 7.0f) / 2.0f,
                                       7.0f,
                                       7.0f);

    if (visible)
    {
        g.setColour (juce::Colours::white.withAlpha (static_cast<juce::uint8> (0xe6)));
        g.fillEllipse (area);
    }
    else
    {
        g.setColour (juce::Colours::white.withAlpha (static_cast<juce::uint8> (0xb8)));
        g.drawEllipse (area, 1.1f);
    }
}

//==============================================================================
InstanceButton::InstanceButton (juce::String buttonText,
                                juce::Colour colourWhenOn,
                                juce::Colour colourWhenOff)
    : juce::Button ("InstanceButton")
    , text (std::move (buttonText))
    , onColour (colourWhenOn)
    , offColour (colourWhenOff)
{
    setClickingTogglesState (false);
    setWantsKeyboardFocus (false);
}

void InstanceButton::paintButton (juce::Graphics& g,
                                  bool shouldDrawButtonAsHighlighted,
                                  bool shouldDrawButtonAsDown)
{
    auto colour = getToggleState() ? onColour : offColour;

    if (shouldDrawButtonAsHighlighted)
        colour = colour.brighter (0.08f);

    if (shouldDrawButtonAsDown)
        colour = colour.darker (0.1f);

    g.setColour (colour);
    g.fillRoundedRectangle (1.0f,
                            1.0f,
                            static_cast<float> (getWidth()) - 2.0f,
                            static_cast<float> (getHeight()) - 2.0f,
                            4.0f);

    g.setColour (juce::Colours::white.withAlpha (static_cast<juce::uint8> (0xe6)));
    g.setFont (JuceCompat::defaultFont (12.0f));
    g.drawText (text, getLocalBounds(), juce::Justification::centred, true);
}

//==============================================================================
MasterSidebarComponent::MasterSidebarComponent (SelectionModel& model)
    : selectionModel (model)
{
    setInterceptsMouseClicks (true, true);

    viewport.setScrollBarsShown (true, false, false, false);
    viewport.setScrollBarThickness (10);
    viewport.setSingleStepSizes (28, 28);
    viewport.setViewedComponent (&content, false);
    addAndMakeVisible (viewport);

    content.setVisible (true);
    content.setInterceptsMouseClicks (false, true);
}

MasterSidebarComponent::~MasterSidebarComponent()
{
    soloButtons.clear();
    muteButtons.clear();
    labels.clear();
    dots.clear();
    viewport.setViewedComponent (nullptr, false);
}

void MasterSidebarComponent::paint (juce::Graphics& g)
{
    const auto width = getWidth(), height = getHeight();
    const juce::Rectangle<float> r (0.5f,
                                    0.5f,
                                    static_cast<float> (std::max (0, width - 1)),
                                    static_cast<float> (std::max (0, height - 1)));
    const auto middle = 0.5f + r.getHeight() / 2.0f;

    g.setGradientFill (juce::ColourGradient (juce::Colour (0xff2e0922),
                                             0.5f,
                                             middle,
                                             juce::Colours::black,
                                             r.getWidth() + 0.5f,
                                             middle,
                                             false));
    g.fillRoundedRectangle (r, 9.0f);

    g.setColour (juce::Colours::white.withAlpha (static_cast<juce::uint8> (0x4c)));
    g.drawRoundedRectangle (r, 9.0f, 1.0f);

    g.setColour (juce::Colour (0xb2ccd2da));
    g.setFont (JuceCompat::defaultFont (11.0f, true));
    g.drawText ("INSTANCES",
                juce::Rectangle<int> (13, 0, std::max (0, width - 13), std::min (24, height)),
                juce::Justification::centredLeft,
                true);
}

void MasterSidebarComponent::resized()
{
    const auto available = std::max (0, getHeight() - 2);
    const auto header = std::min (available, 24);
    const auto rest = available - header;
    const auto bottom = std::min (rest, 6);

    viewport.setBounds (0, header + 1, std::max (0, getWidth()), rest - bottom);
    content.setBounds (0, 0, std::max (1, viewport.getWidth()), content.getHeight());
}

//==============================================================================
void MasterSidebarComponent::setStatuses (SharedStatusManager::StatusMap newStatuses)
{
    statuses = std::move (newStatuses);

    soloButtons.clear();
    muteButtons.clear();
    labels.clear();
    dots.clear();
    content.removeAllChildren();

    int y = rowTop;

    for (const auto& id : sharedStatusManager->getInsertionOrder())
    {
        const auto entry = statuses.find (id);

        if (entry == statuses.end())
            continue;

        const auto& status = entry->second;

        auto* dot = dots.add (new InstanceVisibilityDot());
        dot->id = id;
        dot->visible = status.visible;
        dot->setInterceptsMouseClicks (false, false);
        dot->setBounds (4, y, 16, 24);
        content.addAndMakeVisible (dot);

        auto* label = labels.add (new InstanceLabel());
        label->id = id;
        label->visible = status.visible;
        label->setText (status.trackName.trim().isNotEmpty() ? status.trackName : juce::String ("Track"),
                        juce::dontSendNotification);
        label->setFont (JuceCompat::defaultFont (12.0f));
        label->setJustificationType (juce::Justification::centredLeft);
        label->setBorderSize (juce::BorderSize<int> (0, 7, 0, 3));
        label->setInterceptsMouseClicks (false, false);
        label->setBounds (24, y, 92, 24);
        applyLabelVisuals (*label);
        content.addAndMakeVisible (label);

        auto* mute =
            muteButtons.add (new InstanceButton ("M", juce::Colour (0xffff0000), juce::Colour (0xff170611)));
        mute->id = id;
        mute->setToggleState (status.muted, juce::dontSendNotification);
        mute->setInterceptsMouseClicks (false, false);
        mute->setBounds (120, y, 23, 23);
        content.addAndMakeVisible (mute);

        auto* solo =
            soloButtons.add (new InstanceButton ("S", juce::Colour (0xffffd230), juce::Colour (0xff170611)));
        solo->id = id;
        solo->setToggleState (status.soloed, juce::dontSendNotification);
        solo->setInterceptsMouseClicks (false, false);
        solo->setBounds (145, y, 23, 23);
        content.addAndMakeVisible (solo);

        y += rowPitch;
    }

    content.setBounds (content.getX(), content.getY(), std::max (1, viewport.getViewWidth()), y + 8);
    scrollToPendingRow();

    content.repaint();
    repaint();
}

void MasterSidebarComponent::applyLabelVisuals (InstanceLabel& label)
{
    const bool selected = selectionModel.isSelected (label.id);
    juce::Colour text, outline;

    if (! selected)
    {
        text = withAlphaByte (rowTextColour, label.visible ? 0xd1 : 0x4c);
        outline = withAlphaByte (rowTextColour, label.visible ? 0x12 : 0x09);
    }
    else
    {
        text = withAlphaByte (rowTextColour, label.visible ? 0xf5 : 0x94);
        outline = withAlphaByte (accentColour, label.visible ? 0xf5 : 0x7a);
    }

    label.setColour (juce::Label::textColourId, text);
    label.setColour (juce::Label::backgroundColourId, juce::Colours::black);
    label.setColour (juce::Label::outlineColourId, outline);
    label.repaint();
}

void MasterSidebarComponent::scrollToPendingRow()
{
    if (pendingScrollID.isEmpty())
        return;

    for (auto* label : labels)
    {
        if (label->id != pendingScrollID)
            continue;

        const auto top = label->getY();
        const auto viewY = viewport.getViewPositionY();
        const auto viewHeight = viewport.getViewHeight();
        auto newY = viewY;

        if (top < viewY)
            newY = top;
        else if (top + label->getHeight() > viewY + viewHeight)
            newY = top + label->getHeight() - viewHeight;

        viewport.setViewPosition (0, std::max (newY, 0));
        pendingScrollID.clear();
        return;
    }
}

//==============================================================================
void MasterSidebarComponent::applyMuteState (int row, bool muted)
{
    setFlag (row, muted, true);
}

void MasterSidebarComponent::applySoloState (int row, bool soloed)
{
    setFlag (row, soloed, false);
}

void MasterSidebarComponent::setFlag (int row, bool on, bool isMute)
{
    auto& buttons = isMute ? muteButtons : soloButtons;
    auto& others = isMute ? soloButtons : muteButtons;
    auto* button = buttons[row];

    if (button == nullptr || button->getToggleState() == on)
        return;

    AstrelTargetPatch patch;
    patch.pluginID = button->id;
    (isMute ? patch.muted : patch.soloed) = on;

    const auto name =
        isMute ? (on ? "Mute Instance" : "Unmute Instance") : (on ? "Solo Instance" : "Unsolo Instance");
    sharedStatusManager->getCommandController().perform (name,
                                                         { patch },
                                                         AstrelCommandOrigin::instanceList,
                                                         AstrelUndoPolicy::none,
                                                         AstrelCommandDelivery::immediate);

    button->setToggleState (on, juce::dontSendNotification);

    // The registry switches the other flag off as well; muting and soloing exclude each other.
    if (on)
        if (auto* other = others[row])
            other->setToggleState (false, juce::dontSendNotification);
}

void MasterSidebarComponent::applyVisibilityState (InstanceVisibilityDot& dot,
                                                   InstanceLabel& label,
                                                   bool visible)
{
    if (dot.visible == visible)
        return;

    AstrelTargetPatch patch;
    patch.pluginID = dot.id;
    patch.visible = visible;
    sharedStatusManager->getCommandController().perform (visible ? "Show Instance" : "Hide Instance",
                                                         { patch },
                                                         AstrelCommandOrigin::instanceList,
                                                         AstrelUndoPolicy::none,
                                                         AstrelCommandDelivery::immediate);

    dot.visible = visible;
    label.visible = visible;

    if (dot.id.isNotEmpty())
    {
        updateSelectableInstances();

        if (! visible)
            selectionModel.setSelected (dot.id, false);
    }

    dot.repaint();
    applyLabelVisuals (label);
}

void MasterSidebarComponent::updateSelectableInstances()
{
    // The selection model learns which instances are selectable from a status table. The
    // table the rows were built from, with the visibility the rows show now, is the one the
    // editor's next refresh reconciles with, since the registry applied the change already.
    auto table = statuses;

    for (auto* dot : dots)
    {
        auto entry = table.find (dot->id);

        if (entry != table.end())
            entry->second.visible = dot->visible;
    }

    selectionModel.reconcile (table);
}

//==============================================================================
void MasterSidebarComponent::clearDragState()
{
    dragActive = false;
    dragVisitedIDs.clear();
    dragMode.clear();
    dragStartValue.clear();
    dragTargetVisible = false;
    selectionDragAdds = false;
}

void MasterSidebarComponent::mouseDown (const juce::MouseEvent& event)
{
    clearDragState();
    dragActive = true;

    const auto position = content.getLocalPoint (this, event.position);

    for (int row = 0; row < dots.size(); ++row)
    {
        const bool onDot = isHit (*dots[row], position);
        const bool onLabel = ! onDot && isHit (*labels[row], position);
        const bool onMute = ! (onDot || onLabel) && isHit (*muteButtons[row], position);
        const bool onSolo = ! (onDot || onLabel || onMute) && isHit (*soloButtons[row], position);

        if (! (onDot || onLabel || onMute || onSolo))
            continue;

        if (! isPlainLeftPress (event.mods))
            dragActive = false;
        else if (onDot)
            pressVisibilityDot (row, event.mods.isAltDown());
        else if (onLabel)
            pressLabel (row, event.mods.isShiftDown());
        else
            pressFlagButton (row, event.mods.isAltDown(), onMute);

        return;
    }

    dragActive = false;
}

void MasterSidebarComponent::pressVisibilityDot (int row, bool exclusive)
{
    const auto id = dots[row]->id;

    if (! exclusive)
    {
        exclusiveVisibilityID.clear();
        savedVisibility.clear();
        dragTargetVisible = ! dots[row]->visible;
        dragMode = visibilityMode;
        dragVisitedIDs.add (id);
        applyVisibilityState (*dots[row], *labels[row], dragTargetVisible);
        return;
    }

    dragActive = false;

    bool alreadyExclusive = true;

    for (auto* dot : dots)
        alreadyExclusive = alreadyExclusive && dot->visible == (dot->id == id);

    if (exclusiveVisibilityID == id && alreadyExclusive && ! savedVisibility.empty())
    {
        const auto saved = savedVisibility;

        for (int i = 0; i < dots.size() && i < labels.size(); ++i)
        {
            const auto entry = saved.find (dots[i]->id);
            const bool target = entry != saved.end() ? entry->second : dots[i]->id == id;
            applyVisibilityState (*dots[i], *labels[i], target);
        }

        exclusiveVisibilityID.clear();
        savedVisibility.clear();
        return;
    }

    savedVisibility.clear();

    for (auto* dot : dots)
        savedVisibility[dot->id] = dot->visible;

    exclusiveVisibilityID = id;

    for (int i = 0; i < dots.size() && i < labels.size(); ++i)
        applyVisibilityState (*dots[i], *labels[i], dots[i]->id == id);
}

void MasterSidebarComponent::pressLabel (int row, bool toggle)
{
    const auto id = labels[row]->id;

    if (! toggle)
    {
        selectionDragAdds = true;
        selectionModel.selectOnly (id);
    }
    else
    {
        const bool select = ! selectionModel.isSelected (id);
        selectionDragAdds = select;
        selectionModel.setSelected (id, select);
    }

    dragMode = selectionMode;
    dragVisitedIDs.add (id);

    for (auto* label : labels)
        applyLabelVisuals (*label);
}

void MasterSidebarComponent::pressFlagButton (int row, bool withAlt, bool isMute)
{
    auto& buttons = isMute ? muteButtons : soloButtons;
    const auto id = buttons[row]->id;
    const bool wasOn = buttons[row]->getToggleState();
    dragStartValue = wasOn ? startedOn : startedOff;

    const auto& selected = selectionModel.getSelectedIDs();

    if (withAlt && selected.size() > 1 && selected.count (id) > 0)
    {
        dragActive = false;
        const auto targets = selected;

        for (int i = 0; i < buttons.size(); ++i)
            if (targets.count (buttons[i]->id) > 0)
                setFlag (i, ! wasOn, isMute);

        return;
    }

    dragMode = isMute ? muteMode : soloMode;
    dragVisitedIDs.add (id);
    setFlag (row, ! wasOn, isMute);
}

void MasterSidebarComponent::mouseDrag (const juce::MouseEvent& event)
{
    if (! dragActive)
        return;

    const auto position = content.getLocalPoint (this, event.position);

    for (int row = 0; row < dots.size(); ++row)
        dragOverRow (row, position);
}

void MasterSidebarComponent::dragOverRow (int row, juce::Point<float> position)
{
    if (dragMode == muteMode || dragMode == soloMode)
    {
        const bool isMute = dragMode == muteMode;
        auto* button = (isMute ? muteButtons : soloButtons)[row];

        if (button != nullptr && isHit (*button, position) && ! dragVisitedIDs.contains (button->id)
            && button->getToggleState() == (dragStartValue == startedOn))
        {
            dragVisitedIDs.add (button->id);
            setFlag (row, dragStartValue == startedOff, isMute);
        }
    }
    else if (dragMode == selectionMode)
    {
        auto* label = labels[row];

        if (label != nullptr && isHit (*label, position) && ! dragVisitedIDs.contains (label->id))
        {
            dragVisitedIDs.add (label->id);
            selectionModel.setSelected (label->id, selectionDragAdds);

            // The editor recolours every label on a selection change; this keeps the list
            // right on its own as well.
            if (auto* stillThere = labels[row])
                applyLabelVisuals (*stillThere);
        }
    }
    else if (dragMode == visibilityMode)
    {
        auto* dot = dots[row];
        auto* label = labels[row];

        if (dot != nullptr && label != nullptr && isHit (*dot, position)
            && ! dragVisitedIDs.contains (dot->id))
        {
            dragVisitedIDs.add (dot->id);
            applyVisibilityState (*dot, *label, dragTargetVisible);
        }
    }
}

void MasterSidebarComponent::mouseUp (const juce::MouseEvent&)
{
    clearDragState();
}

void MasterSidebarComponent::mouseWheelMove (const juce::MouseEvent& event,
                                             const juce::MouseWheelDetails& wheel)
{
    auto& scrollBar = viewport.getVerticalScrollBar();

    if (std::abs (wheel.deltaY) > std::numeric_limits<float>::min() && scrollBar.isVisible())
    {
        scrollBar.mouseWheelMove (event, wheel);

        // The scroll bar tells the viewport asynchronously; moving the rows now keeps the next
        // press, which may already be queued, on the row that is drawn under the pointer.
        viewport.setViewPosition (viewport.getViewPositionX(), juce::roundToInt (scrollBar.getCurrentRangeStart()));
    }
    else
        juce::Component::mouseWheelMove (event, wheel);
}
