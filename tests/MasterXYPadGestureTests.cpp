#include "GuiHarness.h"
#include "PadRig.h"

#include <cmath>

namespace
{
    const auto command = juce::ModifierKeys (juce::ModifierKeys::commandModifier);
    const auto shift = juce::ModifierKeys (juce::ModifierKeys::shiftModifier);
    const auto commandAlt = juce::ModifierKeys (juce::ModifierKeys::commandModifier | juce::ModifierKeys::altModifier);
    const auto commandShift = juce::ModifierKeys (juce::ModifierKeys::commandModifier | juce::ModifierKeys::shiftModifier);

    /** A pad on the desktop over real processors, taking real mouse events. At 1000 x 560 the
        field spans x 58..942 and y 40..520. */
    struct LivePad : PadRig
    {
        explicit LivePad (int instances) : PadRig (instances), desktop (*pad, 1000, 560) {}

        static juce::Point<float> at (float pan, float ratio)
        {
            return { 58.0f + (pan + 1.0f) * 442.0f, 40.0f + (1.0f - ratio) * 480.0f };
        }

        juce::Point<float> dotOf (size_t index) { return dot (index).toFloat(); }

        void press (juce::Point<float> p, juce::ModifierKeys mods = {}) { desktop.press (p.x, p.y, mods); }
        void drag (juce::Point<float> p, juce::ModifierKeys mods = {}) { desktop.drag (p.x, p.y, mods); }
        void release (juce::Point<float> p, juce::ModifierKeys mods = {}) { desktop.release (p.x, p.y, mods); }
        void click (juce::Point<float> p, juce::ModifierKeys mods = {}) { desktop.click (p.x, p.y, mods); }

        /** A press, drag steps along the way, and a release at the end. */
        void dragFromTo (juce::Point<float> from, juce::Point<float> to, juce::ModifierKeys mods = {}, int steps = 4)
        {
            press (from, mods);

            for (int i = 1; i <= steps; ++i)
                drag (from + (to - from) * (static_cast<float> (i) / static_cast<float> (steps)), mods);

            release (to, mods);
        }

        float pan (size_t index) { return link[index].getPlainValue ("pan"); }
        float ratio (size_t index) { return link[index].getPlainValue ("ratio"); }
        /** Newest first. */
    juce::StringArray undoSteps() { return link.undo().getUndoManager().getUndoDescriptions(); }

        void select (std::initializer_list<size_t> indices)
        {
            SelectionModel::IDSet ids;

            for (auto index : indices)
                ids.insert (link.id (index));

            selection.setSelection (ids);
        }

        DesktopComponent desktop;
    };

    constexpr float onePixelOfDepth = 1.0f / 480.0f;

    /** Pan and depth move in steps of 0.001. */
    constexpr float valueStep = 0.0006f;
} // namespace

//==============================================================================
TEST (PadHitTesting, TheNearestVisibleDotWithinThirtyPixelsTiesGoingToTheSmallerID)
{
    LivePad rig (3);
    rig.setFlag (2, &AstrelCommand::visible, false);
    rig.refresh();

    // Exact binary ratios put the dots at whole pixels, 15 px either side of (500, 280).
    auto statuses = rig.link.registry().getStatuses();
    statuses.at (rig.link.id (0)).ratio = 0.53125f;
    statuses.at (rig.link.id (1)).ratio = 0.46875f;
    statuses.at (rig.link.id (2)).pan = 0.6f;
    rig.pad->setStatuses (statuses);

    float distance = 0.0f;
    const auto smaller = juce::jmin (rig.link.id (0), rig.link.id (1));
    EXPECT_EQ (rig.pad->findClosestVisibleDotID ({ 500.0f, 280.0f }, 5.0f, distance), smaller);
    EXPECT_FLOAT_EQ (distance, 15.0f);

    EXPECT_EQ (rig.pad->findClosestVisibleDotID ({ 530.0f, 265.0f }, 0.0f, distance), rig.link.id (0)) << "exactly 30 px";
    EXPECT_EQ (rig.pad->findClosestVisibleDotID ({ 530.01f, 265.0f }, 100.0f, distance), juce::String());
    EXPECT_EQ (distance, std::numeric_limits<float>::max());
    EXPECT_EQ (rig.pad->findClosestVisibleDotID (rig.LivePad::at (0.6f, 0.5f), 30.0f, distance), juce::String()) << "hidden";

    // The same through the mouse: a press selects what it hits, a press beside clears.
    rig.click ({ 530.0f, 265.0f });
    EXPECT_EQ (rig.selection.getSelectedIDs(), SelectionModel::IDSet ({ rig.link.id (0) }));
    rig.click ({ 531.0f, 250.0f });
    EXPECT_TRUE (rig.selection.getSelectedIDs().empty());
}

TEST (PadHitTesting, GuidesOnlyInsideTheFieldAndNeverWithinReachOfADot)
{
    using Guide = MasterXYPadComponent::GuideKind;
    LivePad rig (2);
    rig.place (0, 0.0f, 0.5f); // (500, 280)
    rig.place (1, 0.5f, 0.5f); // (721, 280)
    rig.refresh();
    rig.select ({ 0 });

    const struct
    {
        float x, y;
        Guide expected;
        const char* what;
    } cases[] = {
        { 300.0f, 280.0f, Guide::depth, "on the depth line" },
        { 300.0f, 286.0f, Guide::depth, "6 px off the depth line" },
        { 300.0f, 286.5f, Guide::none, "beyond 6 px" },
        { 500.0f, 100.0f, Guide::pan, "on the pan line" },
        { 494.0f, 460.0f, Guide::pan, "6 px off the pan line" },
        { 700.0f, 280.0f, Guide::none, "on the depth line but 21 px from the other dot" },
        { 510.0f, 285.0f, Guide::none, "on the dot itself" },
        { 57.0f, 280.0f, Guide::none, "left of the field" },
        { 942.0f, 280.0f, Guide::none, "the field's right edge is outside" },
    };

    for (const auto& c : cases)
        EXPECT_EQ (rig.pad->hitTestSelectionGuide ({ c.x, c.y }), c.expected) << c.what;

    rig.select ({ 0, 1 });
    EXPECT_EQ (rig.pad->hitTestSelectionGuide ({ 300.0f, 280.0f }), Guide::none) << "guides need a single selection";
}

//==============================================================================
namespace
{
    enum class DragKind
    {
        oneDot,
        twoDots,
        depthGuide,
        panGuide
    };

    struct DragCase
    {
        DragKind kind;
        std::string undoName;
    };

    class PadDrags : public testing::TestWithParam<DragCase>
    {
    };
} // namespace

TEST_P (PadDrags, EachCompletedDragMovesTheInstancesAndIsOneNamedUndoStep)
{
    const auto kind = GetParam().kind;
    LivePad rig (3);
    rig.place (0, -0.5f, 0.25f);
    rig.place (1, 0.5f, 0.75f);
    rig.place (2, 0.0f, 0.5f);
    rig.refresh();

    const auto guideBase = rig.dotOf (0);
    juce::Point<float> from = rig.dotOf (0), to = from + juce::Point<float> (40.0f, -48.0f);

    if (kind == DragKind::twoDots)
        rig.select ({ 0, 1 });

    if (kind == DragKind::depthGuide || kind == DragKind::panGuide)
    {
        rig.select ({ 0 });
        from = kind == DragKind::depthGuide ? guideBase + juce::Point<float> (200.0f, 3.0f) : guideBase + juce::Point<float> (-3.0f, -150.0f);
        to = from + juce::Point<float> (40.0f, -48.0f);
    }

    rig.dragFromTo (from, to);
    rig.refresh();

    const bool movesPan = kind != DragKind::depthGuide;
    const bool movesDepth = kind != DragKind::panGuide;
    EXPECT_NEAR (rig.pan (0), movesPan ? -0.5f + 40.0f * 2.0f / 884.0f : -0.5f, valueStep);
    EXPECT_NEAR (rig.ratio (0), movesDepth ? 0.25f + 48.0f / 480.0f : 0.25f, valueStep);
    EXPECT_NEAR (rig.pan (1), kind == DragKind::twoDots ? 0.5f + 40.0f * 2.0f / 884.0f : 0.5f, valueStep);
    EXPECT_NEAR (rig.ratio (2), 0.5f, 1.0e-6f) << "an unselected dot stays";

    EXPECT_EQ (rig.undoSteps(), juce::StringArray (GetParam().undoName.c_str()));
    ASSERT_TRUE (rig.link.undo().undo());
    rig.refresh();
    EXPECT_NEAR (rig.pan (0), -0.5f, 1.0e-6f);
    EXPECT_NEAR (rig.ratio (0), 0.25f, 1.0e-6f);
}

INSTANTIATE_TEST_SUITE_P (Gestures,
                          PadDrags,
                          testing::Values (DragCase { DragKind::oneDot, "Move Dot" },
                                           DragCase { DragKind::twoDots, "Move Dots" },
                                           DragCase { DragKind::depthGuide, "Adjust Depth" },
                                           DragCase { DragKind::panGuide, "Adjust Pan" }));

TEST (PadGestures, ShiftPressTogglesAndAPressOnASelectedDotKeepsTheSelection)
{
    LivePad rig (3);
    rig.place (0, -0.5f, 0.5f);
    rig.place (1, 0.5f, 0.5f);
    rig.place (2, 0.0f, 0.2f);
    rig.refresh();
    rig.select ({ 0 });

    // Shift on the only selected dot deselects it and moves nothing.
    rig.dragFromTo (rig.dotOf (0), rig.dotOf (0) + juce::Point<float> (50.0f, 0.0f), shift);
    rig.refresh();
    EXPECT_TRUE (rig.selection.getSelectedIDs().empty());
    EXPECT_FLOAT_EQ (rig.pan (0), -0.5f);
    EXPECT_TRUE (rig.undoSteps().isEmpty());

    // Shift on others adds them, and the whole new selection moves.
    rig.click (rig.dotOf (0));
    rig.dragFromTo (rig.dotOf (1), rig.dotOf (1) + juce::Point<float> (0.0f, -48.0f), shift);
    rig.refresh();
    EXPECT_EQ (rig.selection.getSelectedIDs().size(), 2u);
    EXPECT_NEAR (rig.ratio (0), 0.6f, valueStep);
    EXPECT_NEAR (rig.ratio (1), 0.6f, valueStep);

    // A plain press on a selected dot keeps both; one on an unselected dot selects only it.
    rig.click (rig.dotOf (1));
    EXPECT_EQ (rig.selection.getSelectedIDs().size(), 2u);
    rig.click (rig.dotOf (2));
    EXPECT_EQ (rig.selection.getSelectedIDs(), SelectionModel::IDSet ({ rig.link.id (2) }));
}

TEST (PadGestures, ShiftDragMovesAlongTheLargerAxisOnly)
{
    LivePad rig (1);
    rig.place (0, 0.0f, 0.5f);
    rig.refresh();

    rig.dragFromTo (rig.dotOf (0), rig.dotOf (0) + juce::Point<float> (30.0f, 10.0f), shift);
    rig.refresh();
    EXPECT_NEAR (rig.pan (0), 60.0f / 884.0f, valueStep);
    EXPECT_FLOAT_EQ (rig.ratio (0), 0.5f);
}

TEST (PadGestures, DotsArePinnedAtTheFieldEdgeEachOnItsOwn)
{
    LivePad rig (2);
    rig.place (0, -0.5f, 0.25f);
    rig.place (1, -0.8f, 0.75f);
    rig.refresh();
    rig.select ({ 0, 1 });

    rig.dragFromTo (rig.dotOf (0), rig.dotOf (0) + juce::Point<float> (-400.0f, -200.0f));
    rig.refresh();
    EXPECT_FLOAT_EQ (rig.pan (0), -1.0f);
    EXPECT_FLOAT_EQ (rig.pan (1), -1.0f);
    EXPECT_NEAR (rig.ratio (0), 0.25f + 200.0f * onePixelOfDepth, valueStep);
    EXPECT_FLOAT_EQ (rig.ratio (1), 1.0f);
}

TEST (PadGestures, PressAndReleaseWithoutMovementLeavesNothing)
{
    LivePad rig (2);
    rig.place (0, 0.3f, 0.3f);
    rig.refresh();
    rig.select ({ 0, 1 });

    rig.click (rig.dotOf (0));

    for (size_t i : { 0u, 1u })
        for (const auto& queued : rig.link.registry().takeQueuedCommands (rig.link.id (i)))
            EXPECT_FALSE (queued.pan || queued.ratio) << "no values are sent";

    rig.refresh();
    EXPECT_FLOAT_EQ (rig.pan (0), 0.3f);
    EXPECT_TRUE (rig.undoSteps().isEmpty());
    EXPECT_FALSE (rig.pad->isUndoGestureActive());
}

TEST (PadGestures, RubberBandIsClippedToTheFieldAndSelectsTheVisibleDotsInside)
{
    LivePad rig (4);
    rig.place (0, 0.2f, 0.8f);
    rig.place (1, 0.9f, 0.6f);
    rig.place (2, -0.5f, 0.7f);
    rig.place (3, 0.5f, 0.7f);
    rig.setFlag (3, &AstrelCommand::visible, false);
    rig.refresh();
    rig.select ({ 2 });

    const juce::Point<float> origin (400.0f, 250.0f);
    rig.press (origin);
    rig.drag ({ 990.0f, 80.0f });

    EXPECT_EQ (rig.selection.getSelectedIDs(), SelectionModel::IDSet ({ rig.link.id (0), rig.link.id (1) }));

    const auto image = rig.desktop.snapshot();
    EXPECT_NE (image.getPixelAt (600, 150), juce::Colour (juce::Colours::black)) << "band inside the field";
    EXPECT_EQ (image.getPixelAt (960, 150), juce::Colour (juce::Colours::black)) << "nothing right of the field";

    rig.drag ({ 420.0f, 240.0f });
    EXPECT_TRUE (rig.selection.getSelectedIDs().empty());
    rig.release ({ 420.0f, 240.0f });
    EXPECT_TRUE (rig.selection.getSelectedIDs().empty());
    EXPECT_EQ (rig.desktop.snapshot().getPixelAt (410, 245), juce::Colour (juce::Colours::black)) << "band gone";
}

TEST (PadGestures, DoubleClickResetsTheDotInOneStepAndSelectsItAlone)
{
    LivePad rig (2);
    rig.place (0, 0.5f, 0.7f);
    rig.refresh();
    rig.select ({ 0, 1 });

    const auto p = rig.dotOf (0);
    rig.desktop.doubleClick (p.x, p.y);
    rig.refresh();

    EXPECT_FLOAT_EQ (rig.pan (0), 0.0f);
    EXPECT_FLOAT_EQ (rig.ratio (0), 0.0f);
    EXPECT_EQ (rig.undoSteps(), juce::StringArray ("Reset Dot"));
    EXPECT_EQ (rig.selection.getSelectedIDs(), SelectionModel::IDSet ({ rig.link.id (0) }));
}

//==============================================================================
TEST (PadSpread, DotsAtOnePointCannotBeSpreadAndSidewaysDragsChangeNothing)
{
    LivePad rig (3);
    rig.place (0, 0.2f, 0.4f);
    rig.place (1, 0.2f, 0.4f);
    rig.place (2, 0.6f, 0.4f);
    rig.refresh();

    rig.select ({ 0, 1 });
    EXPECT_FALSE (rig.pad->beginSelectionSpread (rig.pad->getSelectedVisibleDotPositionsFromCurrentStatus(),
                                                 MasterXYPadComponent::SelectionSpreadMode::radial,
                                                 false,
                                                 "Selection Spread"));
    rig.dragFromTo (rig.dotOf (0), rig.dotOf (0) + juce::Point<float> (0.0f, -100.0f), command);
    EXPECT_TRUE (rig.undoSteps().isEmpty());

    // With dot 1 out of the way, the press lands on dot 0 whichever id is smaller.
    rig.place (1, -0.6f, 0.4f);
    rig.refresh();
    rig.select ({ 0, 2 });
    rig.dragFromTo (rig.dotOf (0), rig.dotOf (0) + juce::Point<float> (150.0f, 0.0f), command);
    rig.refresh();
    EXPECT_TRUE (rig.undoSteps().isEmpty()) << rig.undoSteps().joinIntoString (", ");
    EXPECT_FLOAT_EQ (rig.pan (0), 0.2f);
    EXPECT_FLOAT_EQ (rig.pan (2), 0.6f);

    // Pan-only spread of dots stacked vertically is also degenerate.
    rig.place (1, 0.2f, 0.9f);
    rig.refresh();
    rig.select ({ 0, 1 });
    EXPECT_FALSE (rig.pad->beginSelectionSpread (rig.pad->getSelectedVisibleDotPositionsFromCurrentStatus(),
                                                 MasterXYPadComponent::SelectionSpreadMode::panOnly,
                                                 false,
                                                 "Pan Spread"));
}

TEST (PadSpread, SpreadStopsAtTheFieldEdgeAndAtEightPercentOfTheWidestFit)
{
    LivePad rig (3);
    rig.place (0, -0.2f, 0.5f);
    rig.place (1, 0.2f, 0.5f);
    rig.place (2, 0.0f, 0.6f);
    rig.refresh();
    rig.select ({ 0, 1 });

    // Up spreads out: the pair reaches the edges and no further.
    const auto centre = (rig.dotOf (0) + rig.dotOf (1)) / 2.0f;
    rig.dragFromTo (centre, centre + juce::Point<float> (0.0f, -900.0f), command);
    rig.refresh();
    EXPECT_NEAR (rig.pan (0), -1.0f, valueStep);
    EXPECT_NEAR (rig.pan (1), 1.0f, valueStep);
    EXPECT_FLOAT_EQ (rig.ratio (0), 0.5f);
    EXPECT_EQ (rig.undoSteps(), juce::StringArray ("Selection Spread"));

    // Down draws in, to 8 % of the widest spread.
    const auto newCentre = (rig.dotOf (0) + rig.dotOf (1)) / 2.0f;
    rig.dragFromTo (newCentre, newCentre + juce::Point<float> (0.0f, 1500.0f), command, 8);
    rig.refresh();
    EXPECT_NEAR (rig.pan (0), -0.08f, 1.0e-3f);
    EXPECT_NEAR (rig.pan (1), 0.08f, 1.0e-3f);

    // Closer than 8 % already: it cannot shrink, so nothing is sent and no step is left.
    rig.place (0, -0.04f, 0.5f);
    rig.place (1, 0.04f, 0.5f);
    rig.refresh();
    const auto steps = rig.undoSteps().size();
    const auto tight = (rig.dotOf (0) + rig.dotOf (1)) / 2.0f;
    rig.dragFromTo (tight, tight + juce::Point<float> (0.0f, 300.0f), command);
    rig.refresh();
    EXPECT_NEAR (rig.pan (0), -0.04f, valueStep);
    EXPECT_EQ (rig.undoSteps().size(), steps);
}

TEST (PadSpread, OptionCommandDragSpreadsPanOnly)
{
    LivePad rig (2);
    rig.place (0, -0.2f, 0.3f);
    rig.place (1, 0.2f, 0.7f);
    rig.refresh();
    rig.select ({ 0, 1 });

    rig.dragFromTo (rig.dotOf (0), rig.dotOf (0) + juce::Point<float> (0.0f, -100.0f), commandAlt);
    rig.refresh();
    EXPECT_LT (rig.pan (0), -0.3f);
    EXPECT_GT (rig.pan (1), 0.3f);
    EXPECT_FLOAT_EQ (rig.ratio (0), 0.3f);
    EXPECT_FLOAT_EQ (rig.ratio (1), 0.7f);
    EXPECT_EQ (rig.undoSteps(), juce::StringArray ("Pan Spread"));
}

TEST (PadSpread, TheInspectorKnobDrivesASpreadAsOneStep)
{
    LivePad rig (3);
    rig.place (0, -0.2f, 0.5f);
    rig.place (1, 0.2f, 0.5f);
    rig.place (2, 0.0f, 0.9f);
    rig.setFlag (2, &AstrelCommand::visible, false);
    rig.refresh();
    rig.select ({ 0, 1 });

    ASSERT_TRUE (rig.pad->beginKnobDrivenSpread (false));
    EXPECT_FALSE (rig.pad->beginKnobDrivenSpread (true)) << "one gesture at a time";
    rig.pad->setKnobDrivenSpreadValue (0.5f);
    rig.pad->endKnobDrivenSpread (1.0f);
    rig.refresh();

    EXPECT_NEAR (rig.pan (0), -1.0f, valueStep);
    EXPECT_NEAR (rig.pan (1), 1.0f, valueStep);
    EXPECT_FLOAT_EQ (rig.pan (2), 0.0f) << "hidden instances are never spread";
    EXPECT_EQ (rig.undoSteps(), juce::StringArray ("Constellation Spread"));
    EXPECT_FALSE (rig.pad->isSpreadActive());
}

//==============================================================================
namespace
{
    /** Records the wheel events that reach it from a child. */
    struct WheelCatcher : juce::Component
    {
        void mouseWheelMove (const juce::MouseEvent&, const juce::MouseWheelDetails&) override { ++wheelEvents; }
        int wheelEvents = 0;
    };

    const float wheelStepForDouble = std::log (2.0f) / 0.42f;
} // namespace

TEST (PadTrim, CommandWheelTrimsDepthOrPanOfTheVisibleInstancesAndSpreadsASelection)
{
    LivePad rig (4);
    rig.place (0, 0.2f, 0.2f);
    rig.place (1, -0.4f, 0.6f);
    rig.place (2, 0.3f, 0.3f);
    rig.place (3, 0.6f, 0.1f);
    rig.setFlag (2, &AstrelCommand::visible, false);
    rig.refresh();
    rig.select ({});

    rig.desktop.wheel (500.0f, 300.0f, wheelStepForDouble, command);
    EXPECT_NEAR (rig.pad->getDepthTrimFactor(), 2.0f, valueStep);

    // Shift switches to the pan trim: one step ends and another begins.
    rig.desktop.wheel (500.0f, 300.0f, wheelStepForDouble, commandShift);
    rig.pad->timerTick (juce::Time::getMillisecondCounterHiRes() + 300.0);
    rig.refresh();

    EXPECT_NEAR (rig.ratio (0), 0.4f, valueStep);
    EXPECT_NEAR (rig.ratio (1), 1.0f, 1.0e-6f) << "clamped at the top";
    EXPECT_NEAR (rig.ratio (3), 0.2f, valueStep);
    EXPECT_NEAR (rig.pan (0), 0.4f, valueStep);
    EXPECT_NEAR (rig.pan (1), -0.8f, valueStep);
    EXPECT_FLOAT_EQ (rig.ratio (2), 0.3f) << "hidden";
    EXPECT_FLOAT_EQ (rig.pan (2), 0.3f) << "hidden";
    EXPECT_EQ (rig.undoSteps(), juce::StringArray ({ "Wholefield Pan Trim", "Wholefield Depth Trim" }));

    // With two selected, the wheel spreads them.
    rig.select ({ 0, 1 });
    rig.desktop.wheel (500.0f, 300.0f, -1.0f, command);
    EXPECT_EQ (rig.pad->getWheelGestureKind(), MasterXYPadComponent::ScrollGestureKind::constellationSpread);
    rig.pad->modifierKeysChanged ({});
    EXPECT_EQ (rig.pad->getWheelGestureKind(), MasterXYPadComponent::ScrollGestureKind::none) << "releasing Command ends it";
    EXPECT_EQ (rig.undoSteps().size(), 3);
    EXPECT_EQ (rig.link.undo().getUndoDescription(), "Constellation Spread");
}

TEST (PadTrim, AWheelGestureEndsAfterAQuietSpellOf260Milliseconds)
{
    LivePad rig (2);
    rig.place (0, 0.2f, 0.2f);
    rig.refresh();
    rig.select ({});

    rig.desktop.wheel (500.0f, 300.0f, 0.5f, command);
    const auto lastWheel = juce::Time::getMillisecondCounterHiRes();
    rig.pad->timerTick (lastWheel + 100.0);
    EXPECT_EQ (rig.pad->getWheelGestureKind(), MasterXYPadComponent::ScrollGestureKind::depthTrim);
    rig.pad->timerTick (lastWheel + 261.0);
    EXPECT_EQ (rig.pad->getWheelGestureKind(), MasterXYPadComponent::ScrollGestureKind::none);
    EXPECT_EQ (rig.undoSteps(), juce::StringArray ("Wholefield Depth Trim"));
}

TEST (PadTrim, CommandWheelWithOneSelectedDotOrWithoutCommandScrollsTheParent)
{
    PadRig rig (2);
    rig.place (1, 0.0f, 0.3f);
    rig.refresh();
    WheelCatcher parent;
    parent.addAndMakeVisible (*rig.pad);
    DesktopComponent desktop (parent, 1000, 560);
    rig.pad->setBounds (0, 0, 1000, 560);

    rig.selection.selectOnly (rig.link.id (0));
    desktop.wheel (500.0f, 300.0f, 0.5f, command);
    EXPECT_EQ (parent.wheelEvents, 1);

    rig.selection.setSelection ({});
    desktop.wheel (500.0f, 300.0f, 0.5f);
    EXPECT_EQ (parent.wheelEvents, 2);
    desktop.wheel (500.0f, 300.0f, 0.5f, command);
    EXPECT_EQ (parent.wheelEvents, 2) << "a trim takes it";
    desktop.wheel (20.0f, 300.0f, 0.5f, command);
    EXPECT_EQ (parent.wheelEvents, 3) << "outside the field";

    rig.pad->finishScrollGesture();
    EXPECT_EQ (rig.link.undo().getUndoManager().getUndoDescriptions(), juce::StringArray ("Wholefield Depth Trim"));
}

TEST (PadTrim, CompassDragsDecideTheirAxisAfterThreePixelsAndContinueFromTheLastFactor)
{
    LivePad rig (3);
    rig.place (0, 0.5f, 0.2f);
    rig.place (1, -0.25f, 0.4f);
    rig.place (2, 0.1f, 0.5f);
    rig.setFlag (2, &AstrelCommand::visible, false);
    rig.refresh();

    const auto compass = rig.pad->getCompassBounds().getCentre();

    // Within the dead zone nothing changes and no step is left.
    rig.dragFromTo (compass, compass + juce::Point<float> (2.0f, 2.0f));
    rig.refresh();
    EXPECT_TRUE (rig.undoSteps().isEmpty());

    // Up by 75 px after the axis is decided: factor 1.5; another such drag continues to 2.
    for (int drag = 0; drag < 2; ++drag)
    {
        rig.press (compass);
        rig.drag (compass + juce::Point<float> (0.0f, -4.0f));
        rig.drag (compass + juce::Point<float> (0.0f, -40.0f));
        rig.drag (compass + juce::Point<float> (0.0f, -79.0f));
        rig.release (compass + juce::Point<float> (0.0f, -79.0f));
        rig.refresh();
    }

    EXPECT_NEAR (rig.ratio (0), 0.4f, valueStep);
    EXPECT_NEAR (rig.ratio (1), 0.8f, valueStep);
    EXPECT_FLOAT_EQ (rig.pan (0), 0.5f) << "a vertical drag leaves pan alone";
    EXPECT_FLOAT_EQ (rig.ratio (2), 0.5f) << "hidden";
    EXPECT_EQ (rig.undoSteps(), juce::StringArray ({ "Master Trim", "Master Trim" }));

    // Far down sends every visible depth to 0; far left every visible pan to the centre.
    rig.dragFromTo (compass, compass + juce::Point<float> (0.0f, 400.0f));
    rig.dragFromTo (compass, compass + juce::Point<float> (-400.0f, 0.0f));
    rig.refresh();

    for (size_t i : { 0u, 1u })
    {
        EXPECT_FLOAT_EQ (rig.ratio (i), 0.0f);
        EXPECT_FLOAT_EQ (rig.pan (i), 0.0f);
    }

    EXPECT_FLOAT_EQ (rig.pan (2), 0.1f);
}
