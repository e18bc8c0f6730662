#pragma once

#include "AstrelUndoController.h"
#include "SelectionModel.h"
#include "SharedStatusManager.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <map>
#include <optional>
#include <vector>

/**
    The master view's field: every registered instance as a dot, left to right by pan and
    bottom to top by depth, with level rings, a fading chaos glow, guides and readouts for a
    single selected dot, a spread overlay for a multi-selection, the trim compass and the
    rubber band. The editor hands it copies of the registry's tables on every refresh.
*/
class MasterXYPadComponent : public juce::Component, private juce::Timer
{
public:
    enum class GuideKind
    {
        none = 0,
        depth = 1,
        pan = 2
    };

    enum class SelectionSpreadMode
    {
        none = 0,
        radial = 1,
        panOnly = 2
    };

    enum class UndoGestureKind
    {
        none = 0,
        wholefieldTrim = 1,
        moveDots = 2,
        selectionSpread = 3,
        adjustDepth = 4,
        adjustPan = 5
    };

    enum class ScrollGestureKind
    {
        none = 0,
        constellationSpread = 1,
        depthTrim = 2,
        panTrim = 3
    };

    using PositionMap = std::map<juce::String, juce::Point<float>>;

    explicit MasterXYPadComponent (SelectionModel& selectionModel);
    ~MasterXYPadComponent() override;

    void paint (juce::Graphics& g) override;
    void resized() override;
    void mouseMove (const juce::MouseEvent& e) override;
    void mouseExit (const juce::MouseEvent& e) override;
    void mouseDown (const juce::MouseEvent& e) override;
    void mouseDrag (const juce::MouseEvent& e) override;
    void mouseUp (const juce::MouseEvent& e) override;
    void mouseDoubleClick (const juce::MouseEvent& e) override;
    void mouseWheelMove (const juce::MouseEvent& e, const juce::MouseWheelDetails& wheel) override;
    void modifierKeysChanged (const juce::ModifierKeys& modifiers) override;

    void setStatuses (SharedStatusManager::StatusMap newStatuses);
    void setMeteringFrames (SharedStatusManager::MeteringMap newFrames);

    /** Advances the glow layer one step: fade, or clear when the audible or bypass set changed,
        then the rings of every audible instance. */
    void updateChaosGlowBuffer();

    /** 0 none, 1 radial, 2 pan only: the overlay the inspector's spread knob asks for. */
    void setSpreadPreviewMode (int mode);

    juce::Rectangle<float> getFieldArea() const noexcept { return fieldArea; }
    juce::Rectangle<float> getCompassBounds() const noexcept;

    /** Where a status's dot sits; not clamped. */
    juce::Point<float> dotPositionFor (const PluginStatus& status) const noexcept;

    /** Pan and depth for a point, clamped into the field. */
    juce::Point<float> panAndRatioAt (juce::Point<float> position) const noexcept;

    /** Visible, not muted, and soloed or nobody soloed. */
    bool isAudible (const PluginStatus& status) const noexcept;

    PositionMap getSelectedVisibleDotPositionsFromCurrentStatus() const;
    bool getSingleSelectedGuideTarget (juce::String& id, juce::Point<float>& position) const;

    /** The largest scale about the centre that keeps every position in the field, 1 to 1000. */
    float getMaxSelectionSpreadFactorForPositions (const PositionMap& positions,
                                                   juce::Point<float> centre,
                                                   SelectionSpreadMode mode) const;

    /** How far the selected constellation is spread relative to the widest spread that fits. */
    std::optional<float> getConstellationSpreadProportion (bool panOnly) const;

    /** The visible dot nearest to the point within 30 px (ties go to the smaller id), or an empty
        id; the radius is fixed, maxDistance is not used. */
    juce::String findClosestVisibleDotID (juce::Point<float> point, float maxDistance, float& distance) const;

    /** The guide of the single selected dot under the point, never within reach of a dot. */
    GuideKind hitTestSelectionGuide (juce::Point<float> point) const;

    //==============================================================================
    /** Opens one undoable gesture over the ids through the command controller; nothing when
        the list is empty or the controller refuses. */
    void beginUndoGesture (const juce::String& name,
                           const std::vector<juce::String>& ids,
                           UndoGestureKind kind,
                           AstrelCommandOrigin origin);

    /** Commits the open gesture with these final values, or cancels it when there are none. */
    void endUndoGesture (const std::vector<AstrelTargetPatch>& finalPatches);

    bool isUndoGestureActive() const noexcept { return undoGestureActive; }
    UndoGestureKind getUndoGestureKind() const noexcept { return undoGestureKind; }

    //==============================================================================
    /** Starts scaling the positions about their mean; false for fewer than two positions, when
        they all sit on the centre, or while another gesture is open. */
    bool beginSelectionSpread (const PositionMap& positions,
                               SelectionSpreadMode mode,
                               bool knobDriven,
                               const juce::String& name);
    void applySelectionSpreadFactor (float factor);
    std::vector<AstrelTargetPatch> buildSelectionSpreadPatchesForFactor (float factor, bool writeToStatuses);

    /** The inspector's spread knob: drag start (pan only or radial), a value 0..1 during the
        drag, and the value at its end. */
    bool beginKnobDrivenSpread (bool panOnly);
    void setKnobDrivenSpreadValue (float knobValue);
    void endKnobDrivenSpread (float knobValue);

    /** Forgets the trim baseline and factors and any spread: what a recalled layout needs, so
        that the next trim or spread starts from the recalled positions. */
    void resetTrimAndSpreadState();

    bool isSpreadActive() const noexcept { return spreadActive; }
    bool isSpreadKnobDriven() const noexcept { return spreadKnobDriven; }
    float getCurrentSpreadProportion() const noexcept { return currentSpreadProportion; }

    //==============================================================================
    bool beginWholefieldScrollGesture (ScrollGestureKind kind);
    void applyTrimFactors();
    std::vector<AstrelTargetPatch> buildTrimPatches (bool writeToStatuses);
    void finishScrollGesture();

    ScrollGestureKind getWheelGestureKind() const noexcept { return wheelGestureKind; }
    float getDepthTrimFactor() const noexcept { return depthTrimFactor; }
    float getPanTrimFactor() const noexcept { return panTrimFactor; }

    /** One tick of the 33 ms timer at the given time: the compass animation and the end of a
        wheel gesture 260 ms after its last event. */
    void timerTick (double nowMs);

    /** The texts of the single-selection readouts. */
    static juce::String panReadoutText (float pan);
    static juce::String depthReadoutText (float ratio);

    const juce::Image& getChaosGlowImage() const noexcept { return chaosGlowImage; }

    static constexpr juce::uint32 blue = 0xff5783b9;
    static constexpr juce::uint32 purple = 0xff9e2ea8;
    static constexpr juce::uint32 readoutText = 0xffe8ebef;

private:
    void timerCallback() override;

    void storeMouseState (const juce::MouseEvent& e);
    void reevaluateTimer();
    void updateInteractiveMouseCursor();
    void setHoveredGuide (GuideKind guide);
    void setCompassHovered (bool hovered);
    bool wantsAnimation() const;
    bool isOverCompass (juce::Point<float> position) const;
    void resetTrimState();
    void resetSpreadState();
    void takeTrimBaseline();
    std::vector<juce::String> visibleIDs() const;
    std::vector<AstrelTargetPatch> buildMovePatches (juce::Point<float> delta, bool writeToStatuses);
    static juce::Point<float> constrainedToOneAxis (juce::Point<float> delta);
    void sendGestureUpdate (const std::vector<AstrelTargetPatch>& patches);
    std::uint32_t maskForGesture (UndoGestureKind kind) const;
    AstrelCommandController& commandController();

    void startCompassTrim (juce::Point<float> position);
    void dragCompassTrim (juce::Point<float> position, bool shift);
    void dragMouseSpread (juce::Point<float> position, bool shift);
    void dragGuide (juce::Point<float> position);
    void dragRubberBand (juce::Point<float> position);
    void dragSelection (juce::Point<float> position, bool shift);
    void stepWheelGesture (ScrollGestureKind kind, float delta);

    void drawGuides (juce::Graphics& g, juce::Point<float> dot) const;
    void drawDots (juce::Graphics& g) const;
    void drawSelectionGuideReadouts (juce::Graphics& g) const;
    void drawSpreadOverlay (juce::Graphics& g) const;
    void drawCompass (juce::Graphics& g);
    int currentSpreadOverlayMode() const;
    bool isAnySoloed() const noexcept;

    SharedStatusManager::StatusMap statuses;
    SharedStatusManager::MeteringMap meteringFrames;
    SelectionModel& selection;
    juce::Rectangle<float> fieldArea;
    juce::Image chaosGlowImage;
    juce::Rectangle<int> glowDirtyArea; // where the glow layer may hold anything
    std::map<juce::String, bool> previousAudible, previousBypass;
    juce::Rectangle<float> compassBounds;
    bool mouseInField = false;
    juce::ModifierKeys lastModifiers;
    GuideKind hoveredGuide = GuideKind::none, activeGuide = GuideKind::none;
    bool compassHovered = false, compassDragActive = false;
    int trimAxis = 0;
    bool rubberBandActive = false;
    juce::Rectangle<float> rubberBandBounds;
    bool spreadActive = false;
    SelectionSpreadMode spreadMode = SelectionSpreadMode::none;
    juce::Point<float> spreadCentre;
    int spreadPreviewMode = 0;
    bool undoGestureActive = false;
    UndoGestureKind undoGestureKind = UndoGestureKind::none;
    ScrollGestureKind wheelGestureKind = ScrollGestureKind::none;

    juce::Point<float> mouseDownPosition;
    PositionMap dragStartPositions;
    juce::Point<float> rubberBandOrigin;
    juce::String guideTargetId;
    float guideGrabOffset = 0.0f;
    std::uint64_t gestureId = 0;
    bool gestureChanged = false;
    juce::Point<float> lastDragPosition;
    bool lastDragShift = false;

    bool spreadKnobDriven = false;
    PositionMap spreadStartPositions;
    juce::Point<float> lastSpreadDragPosition;
    float lastSpreadFactor = 1.0f;
    float baseSpreadProportion = 1.0f;
    float minSpreadProportion = 0.08f;
    float currentSpreadProportion = 1.0f;

    bool trimSnapshotValid = false;
    std::map<juce::String, float> baseRatios, basePans;
    float depthTrimFactor = 1.0f, panTrimFactor = 1.0f;
    juce::Point<float> compassDragStart, compassReference;
    double lastWheelTime = 0.0;
    juce::SharedResourcePointer<SharedStatusManager> sharedStatusManager;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MasterXYPadComponent)
};
