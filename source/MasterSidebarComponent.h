#pragma once

#include "SelectionModel.h"
#include "SharedStatusManager.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <map>

/** The small dot at the start of a row: filled while the instance is shown, a ring while hidden. */
class InstanceVisibilityDot : public juce::Component
{
public:
    void paint (juce::Graphics& g) override;

    juce::String id;
    bool visible = true;
};

/** A row's track name, coloured by whether the instance is shown and selected. */
class InstanceLabel : public juce::Label
{
public:
    juce::String id;
    bool visible = true;
};

/** The "M" or "S" of a row. Only the list sets its toggle state; clicking does not toggle it. */
class InstanceButton : public juce::Button
{
public:
    InstanceButton (juce::String buttonText, juce::Colour colourWhenOn, juce::Colour colourWhenOff);

    void paintButton (juce::Graphics& g, bool shouldDrawButtonAsHighlighted, bool shouldDrawButtonAsDown) override;

    juce::String id;
    juce::String text;
    juce::Colour onColour, offColour;
};

/**
    The column on the left of the editor that lists every instance of the process in the order
    in which they joined the registry: a visibility dot, the track name, mute and solo. A press
    on one of them followed by a drag along the same column applies the same change to every
    row the pointer passes. Edits go through the command controller and are not undoable.

    The rows are rebuilt from scratch on every setStatuses call; the drag state, the isolated
    visibility and the pending scroll are kept by id here, so they survive the rebuilds. The
    row widgets take no clicks: every pointer event reaches this component, which finds the
    row element under the pointer itself.
*/
class MasterSidebarComponent : public juce::Component
{
public:
    explicit MasterSidebarComponent (SelectionModel& selectionModel);
    ~MasterSidebarComponent() override;

    void paint (juce::Graphics& g) override;
    void resized() override;
    void mouseDown (const juce::MouseEvent& event) override;
    void mouseDrag (const juce::MouseEvent& event) override;
    void mouseUp (const juce::MouseEvent& event) override;
    void mouseWheelMove (const juce::MouseEvent& event, const juce::MouseWheelDetails& wheel) override;

    /** Replaces the statuses and rebuilds every row, in the registry's insertion order. */
    void setStatuses (SharedStatusManager::StatusMap newStatuses);

    /** Sets a label's colours from whether its instance is shown and selected. */
    void applyLabelVisuals (InstanceLabel& label);

    /** Scrolls the row of pendingScrollID into view and clears it; keeps it while there is no
        such row, so that a later rebuild tries again. */
    void scrollToPendingRow();

    void applyMuteState (int row, bool muted);
    void applySoloState (int row, bool soloed);
    void applyVisibilityState (InstanceVisibilityDot& dot, InstanceLabel& label, bool visible);

    const SharedStatusManager::StatusMap& getStatuses() const noexcept { return statuses; }
    juce::Viewport& getViewport() noexcept { return viewport; }
    juce::Component& getContent() noexcept { return content; }

    /** The rows, in building order; row i is made of the i-th element of each list. */
    juce::OwnedArray<InstanceVisibilityDot> dots;
    juce::OwnedArray<InstanceLabel> labels;
    juce::OwnedArray<InstanceButton> muteButtons;
    juce::OwnedArray<InstanceButton> soloButtons;

    /** The id of a row to bring into view; empty when there is none. */
    juce::String pendingScrollID;

    static constexpr int rowTop = 7;
    static constexpr int rowPitch = 28;

private:
    void setFlag (int row, bool on, bool isMute);
    void pressVisibilityDot (int row, bool exclusive);
    void pressLabel (int row, bool toggle);
    void pressFlagButton (int row, bool withAlt, bool isMute);
    void dragOverRow (int row, juce::Point<float> position);
    void updateSelectableInstances();
    void clearDragState();

    SelectionModel& selectionModel;
    juce::SharedResourcePointer<SharedStatusManager> sharedStatusManager;
    SharedStatusManager::StatusMap statuses;

    bool dragActive = false;
    juce::StringArray dragVisitedIDs;
    juce::String dragMode;
    juce::String dragStartValue;
    bool dragTargetVisible = false;
    bool selectionDragAdds = false;

    juce::String exclusiveVisibilityID;
    std::map<juce::String, bool> savedVisibility;

    juce::Viewport viewport;
    juce::Component content;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MasterSidebarComponent)
};
