#include "AstrelKnob.h"
#include "CorrelationMeterComponent.h"
#include "GuiHarness.h"
#include "StereoOutputMeterComponent.h"

#include <juce_audio_basics/juce_audio_basics.h>

#include <cmath>
#include <thread>

namespace
{
    bool isValueBlue (juce::Colour c)
    {
        return c.getAlpha() > 100 && c.getBlue() > 120 && c.getBlue() > c.getRed() + 50;
    }

    /** How many pixels of a rectangle are close to the value blue. */
    int bluePixels (const juce::Image& image, juce::Rectangle<int> area)
    {
        int count = 0;

        for (int y = area.getY(); y < area.getBottom(); ++y)
            for (int x = area.getX(); x < area.getRight(); ++x)
                count += isValueBlue (image.getPixelAt (x, y)) ? 1 : 0;

        return count;
    }

    /** A point on the knob's arc circle at a knob angle (0 at 12 o'clock, clockwise). */
    juce::Point<int> onArc (float angle, float size = 60.0f)
    {
        const auto inset = std::max (0.06f * size, 2.0f);
        const auto diameter = size - 2.0f * inset;
        const auto thickness = juce::jlimit (2.4f, 4.2f, 0.06f * size);
        const auto radius = diameter / 2.0f - std::max (0.035f * size, 2.0f) - thickness / 2.0f;
        return { juce::roundToInt (size / 2.0f + radius * std::sin (angle)), juce::roundToInt (size / 2.0f - radius * std::cos (angle)) };
    }

    struct Knob : testing::Test
    {
        Knob()
        {
            knob.setRange (0.0, 1.0);
            knob.setValue (0.5, juce::dontSendNotification);
        }

        AstrelKnob knob;
    };

    constexpr float pi = juce::MathConstants<float>::pi;
} // namespace

TEST_F (Knob, TooSmallToDrawDrawsNothing)
{
    for (const auto& [w, h] : { std::pair { 11, 40 }, { 40, 11 }, { 11, 11 } })
    {
        DesktopComponent shown (knob, w, h);
        EXPECT_FALSE (anythingDrawnIn (shown.snapshot(), knob.getLocalBounds(), juce::Colours::transparentBlack)) << w << "x" << h;
    }

    DesktopComponent shown (knob, 12, 12);
    EXPECT_TRUE (anythingDrawnIn (shown.snapshot(), knob.getLocalBounds(), juce::Colours::transparentBlack));
}

TEST_F (Knob, TheArcRunsFromTheStartOrFromTheCentreValue)
{
    DesktopComponent shown (knob, 60, 60);

    knob.setValue (0.0, juce::dontSendNotification);
    EXPECT_EQ (bluePixels (shown.snapshot(), knob.getLocalBounds()), 0) << "no arc at the minimum";

    knob.setValue (1.0, juce::dontSendNotification);
    auto image = shown.snapshot();
    EXPECT_TRUE (isValueBlue (image.getPixelAt (onArc (1.5f * pi).x, onArc (1.5f * pi).y))) << "9 o'clock";
    EXPECT_TRUE (isValueBlue (image.getPixelAt (onArc (2.0f * pi).x, onArc (2.0f * pi).y))) << "12 o'clock";

    // Centre mode: at the centre value only a short mark at the top.
    knob.setRange (-1.0, 1.0);
    knob.setArcMode (1, 0.0);
    knob.setValue (0.0, juce::dontSendNotification);
    image = shown.snapshot();
    const auto top = onArc (2.0f * pi);
    EXPECT_TRUE (isValueBlue (image.getPixelAt (top.x, top.y)));
    EXPECT_FALSE (isValueBlue (image.getPixelAt (onArc (2.0f * pi - 0.2f).x, onArc (2.0f * pi - 0.2f).y)));
    EXPECT_FALSE (isValueBlue (image.getPixelAt (onArc (2.0f * pi + 0.2f).x, onArc (2.0f * pi + 0.2f).y)));
    const auto mark = bluePixels (image, knob.getLocalBounds());

    // Just off the centre: an arc from the centre to the value, on that side only.
    knob.setValue (-0.3, juce::dontSendNotification);
    image = shown.snapshot();
    EXPECT_TRUE (isValueBlue (image.getPixelAt (onArc (2.0f * pi - 0.2f).x, onArc (2.0f * pi - 0.2f).y)));
    EXPECT_FALSE (isValueBlue (image.getPixelAt (onArc (2.0f * pi + 0.3f).x, onArc (2.0f * pi + 0.3f).y)));
    EXPECT_GT (bluePixels (image, knob.getLocalBounds()), 3 * mark);
}

TEST_F (Knob, ShowsHoverOnlyWhenEnabledAndDrawsDisabledAtReducedOpacity)
{
    DesktopComponent shown (knob, 60, 60);
    const juce::Point<int> upperBody (30, 10);

    const auto normal = shown.snapshot().getPixelAt (upperBody.x, upperBody.y);
    shown.move (30.0f, 30.0f);
    ASSERT_TRUE (knob.isMouseOver());
    const auto hovered = shown.snapshot().getPixelAt (upperBody.x, upperBody.y);
    EXPECT_GT (hovered.getRed(), normal.getRed() + 10) << "the hover colour lightens the body";

    knob.setEnabled (false);
    const auto disabledUnderMouse = shown.snapshot();
    EXPECT_NEAR (disabledUnderMouse.getPixelAt (30, 30).getAlpha(), juce::roundToInt (0.42f * 255.0f), 3);

    shown.leave();
    const auto disabledAlone = shown.snapshot();
    EXPECT_EQ (disabledUnderMouse.getPixelAt (upperBody.x, upperBody.y), disabledAlone.getPixelAt (upperBody.x, upperBody.y))
        << "no hover colour while disabled";
}

TEST_F (Knob, ShiftDragsFinelyAndTheWheelDoesNothing)
{
    DesktopComponent shown (knob, 60, 60);

    const auto dragBy = [&] (float distance, juce::ModifierKeys mods) {
        knob.setValue (0.5, juce::dontSendNotification);
        shown.press (30.0f, 30.0f, mods);

        for (int step = 1; step <= 10; ++step)
            shown.drag (30.0f, 30.0f - distance * static_cast<float> (step) / 10.0f, mods);

        shown.release (30.0f, 30.0f - distance, mods);
        return knob.getValue() - 0.5;
    };

    const auto plain = dragBy (52.0f, {});
    EXPECT_NEAR (plain, 52.0 / 260.0, 0.02) << "the full range takes 260 px";

    const auto fine = dragBy (52.0f, juce::ModifierKeys::shiftModifier);
    EXPECT_GT (fine, 0.0);
    EXPECT_LT (fine, plain / 3.0);

    knob.setValue (0.3, juce::dontSendNotification);
    shown.wheel (30.0f, 30.0f, 0.5f);
    shown.wheel (30.0f, 30.0f, -0.5f, juce::ModifierKeys::shiftModifier);
    EXPECT_EQ (knob.getValue(), 0.3);
}

TEST_F (Knob, DoubleClickAndOptionClickReturnToZero)
{
    DesktopComponent shown (knob, 60, 60);
    juce::ModifierKeys pressed;
    knob.onMouseDownWithModifiers = [&] (const juce::ModifierKeys& mods) { pressed = mods; };

    knob.setValue (0.7, juce::dontSendNotification);
    shown.doubleClick (30.0f, 30.0f);
    EXPECT_EQ (knob.getValue(), 0.0);

    knob.setValue (0.7, juce::dontSendNotification);
    shown.click (30.0f, 30.0f, juce::ModifierKeys::altModifier);
    EXPECT_EQ (knob.getValue(), 0.0);
    EXPECT_TRUE (pressed.isAltDown()) << "the owner hears of the press with its modifiers";
}

TEST_F (Knob, ReportsHoverChanges)
{
    DesktopComponent shown (knob, 60, 60);
    std::vector<bool> hovers;
    knob.onHoverChanged = [&] (bool hovering, const juce::ModifierKeys&) { hovers.push_back (hovering); };

    shown.move (30.0f, 30.0f);
    shown.leave();
    EXPECT_EQ (hovers, (std::vector<bool> { true, false }));
}

//==============================================================================
TEST (OutputMeter, SanitisesPeaksAndAttacksAtOnce)
{
    StereoOutputMeterComponent meter;

    meter.setPeaks (std::nanf (""), -1.0f);
    EXPECT_EQ (meter.getLevelLeft(), 0.0f);
    EXPECT_EQ (meter.getLevelRight(), 0.0f);

    meter.setPeaks (INFINITY, 9.0f);
    EXPECT_EQ (meter.getLevelLeft(), 0.0f);
    EXPECT_EQ (meter.getLevelRight(), 4.0f);

    meter.setPeaks (0.5f, 4.0f);
    EXPECT_EQ (meter.getLevelLeft(), 0.5f) << "a peak above the level shows at once";
}

TEST (OutputMeter, ReleasesAt48DecibelsASecondAtMost4Point8PerCall)
{
    StereoOutputMeterComponent meter;
    meter.setPeaks (1.0f, 1.0f);

    // However long the pause, one call falls by 4.8 dB at most.
    std::this_thread::sleep_for (std::chrono::milliseconds (150));
    meter.setPeaks (0.0f, 0.5f);
    EXPECT_NEAR (juce::Decibels::gainToDecibels (meter.getLevelLeft()), -4.8f, 0.01f);
    EXPECT_NEAR (juce::Decibels::gainToDecibels (meter.getLevelRight()), -4.8f, 0.01f) << "never below the peak";

    // Over a short call the fall follows the time that passed.
    const auto before = juce::Time::getMillisecondCounterHiRes();
    const auto levelBefore = juce::Decibels::gainToDecibels (meter.getLevelLeft());
    std::this_thread::sleep_for (std::chrono::milliseconds (20));
    meter.setPeaks (0.0f, 0.0f);
    const auto after = juce::Time::getMillisecondCounterHiRes();
    const auto fall = levelBefore - juce::Decibels::gainToDecibels (meter.getLevelLeft());
    EXPECT_GE (fall, 48.0f * 0.019f);
    EXPECT_LE (fall, 48.0f * static_cast<float> (std::min (0.1, (after - before) / 1000.0)) + 0.01f);

    meter.setPeaks (0.0f, 0.0f);
    meter.reset();
    EXPECT_EQ (meter.getLevelLeft(), 0.0f);
}

TEST (OutputMeter, SnapsToZeroOnceItReachesTheBottomOfTheScale)
{
    StereoOutputMeterComponent meter;
    meter.setPeaks (juce::Decibels::decibelsToGain (-57.0f), 0.0f);
    std::this_thread::sleep_for (std::chrono::milliseconds (120));
    meter.setPeaks (0.0f, 0.0f);
    EXPECT_EQ (meter.getLevelLeft(), 0.0f);

    meter.setPeaks (juce::Decibels::decibelsToGain (-40.0f), 0.0f);
    std::this_thread::sleep_for (std::chrono::milliseconds (120));
    meter.setPeaks (0.0f, 0.0f);
    EXPECT_NEAR (juce::Decibels::gainToDecibels (meter.getLevelLeft()), -44.8f, 0.01f);
}

TEST (OutputMeter, ScaleMarksAndFullScaleFill)
{
    EXPECT_FLOAT_EQ (StereoOutputMeterComponent::proportionForLevel (1.0f), 1.0f);
    EXPECT_NEAR (StereoOutputMeterComponent::proportionForLevel (juce::Decibels::decibelsToGain (-12.0f)), 0.8f, 1.0e-5f);
    EXPECT_FLOAT_EQ (StereoOutputMeterComponent::proportionForLevel (2.0f), 1.0f);
    EXPECT_FLOAT_EQ (StereoOutputMeterComponent::proportionForLevel (0.0f), 0.0f);

    StereoOutputMeterComponent meter;
    DesktopComponent shown (meter, 78, 200);
    meter.setPeaks (1.0f, juce::Decibels::decibelsToGain (-12.0f));
    const auto image = shown.snapshot();

    // Bars 189 px high; the -12 dB tick sits at 189 - 0.8 x 189 = 37.8, drawn on row 38.
    EXPECT_EQ (image.getPixelAt (30, 38).getAlpha(), 0x29);
    EXPECT_EQ (image.getPixelAt (30, 36).getAlpha(), 0);
    EXPECT_TRUE (isValueBlue (image.getPixelAt (40, 2))) << "full scale fills the left bar";
    EXPECT_FALSE (isValueBlue (image.getPixelAt (65, 30))) << "the right bar stops at -12 dB";
    EXPECT_TRUE (isValueBlue (image.getPixelAt (65, 40)));
}

TEST (OutputMeter, DrawsNothingWhenTooSmall)
{
    for (const auto& [w, h, drawn] : { std::tuple { 78, 24, false }, { 50, 100, false }, { 51, 100, true }, { 78, 25, true } })
    {
        StereoOutputMeterComponent meter;
        DesktopComponent shown (meter, w, h);
        meter.setPeaks (1.0f, 1.0f);
        EXPECT_EQ (anythingDrawnIn (shown.snapshot(), meter.getLocalBounds(), juce::Colours::transparentBlack), drawn)
            << w << "x" << h;
    }
}

TEST (CorrelationMeter, FillsFromTheCentreOnlyWithAValidValue)
{
    CorrelationMeterComponent meter;
    DesktopComponent shown (meter, 120, 40);

    meter.setState (1.0f, 1.0f, false, true);
    auto image = shown.snapshot();
    EXPECT_EQ (bluePixels (image, meter.getLocalBounds()), 0);
    EXPECT_TRUE (anythingDrawnIn (image, { 0, 12, 120, 16 }, juce::Colours::transparentBlack)) << "the track";

    meter.setState (1.0f, 1.0f, true, true);
    image = shown.snapshot();
    const auto barMiddle = 12 + 8;
    EXPECT_TRUE (isValueBlue (image.getPixelAt (90, barMiddle)));
    EXPECT_TRUE (isValueBlue (image.getPixelAt (118, barMiddle)));
    EXPECT_FALSE (isValueBlue (image.getPixelAt (30, barMiddle)));

    meter.setState (-0.5f, -0.5f, true, true);
    image = shown.snapshot();
    EXPECT_TRUE (isValueBlue (image.getPixelAt (40, barMiddle)));
    EXPECT_FALSE (isValueBlue (image.getPixelAt (20, barMiddle)));
    EXPECT_FALSE (isValueBlue (image.getPixelAt (80, barMiddle)));

    meter.reset();
    EXPECT_FALSE (meter.isValid());
    EXPECT_EQ (bluePixels (shown.snapshot(), meter.getLocalBounds()), 0);

    CorrelationMeterComponent tooSmall;
    DesktopComponent small (tooSmall, 23, 40);
    EXPECT_FALSE (anythingDrawnIn (small.snapshot(), tooSmall.getLocalBounds(), juce::Colours::transparentBlack));
}
