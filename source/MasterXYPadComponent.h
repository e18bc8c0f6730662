#pragma once

#include "SelectionModel.h"
#include "SharedStatusManager.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <map>
#include <optional>

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
        radial = 1,
        panOnly = 2
    };

    using PositionMap = std::map<juce::String, juce::Point<float>>;

    explicit MasterXYPadComponent (SelectionModel& selectionModel);
    ~MasterXYPadComponent() override;

    void paint (juce::Graphics& g) override;
    void resized() override;

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

    /** The texts of the single-selection readouts. */
    static juce::String panReadoutText (float pan);
    static juce::String depthReadoutText (float ratio);

    const juce::Image& getChaosGlowImage() const noexcept { return chaosGlowImage; }

    static constexpr juce::uint32 blue = 0xff5783b9;
    static constexpr juce::uint32 purple = 0xff9e2ea8;
    static constexpr juce::uint32 readoutText = 0xffe8ebef;

private:
    void timerCallback() override;

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
    SelectionSpreadMode spreadMode = SelectionSpreadMode::radial;
    juce::Point<float> spreadCentre;
    int spreadPreviewMode = 0;
    bool undoGestureActive = false;
    juce::SharedResourcePointer<SharedStatusManager> sharedStatusManager;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MasterXYPadComponent)
};
