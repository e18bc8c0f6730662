#include "GuiHarness.h"
#include "ChaosGlowRaster.h"
#include "PadRig.h"

namespace
{
    bool isBlack (juce::Colour c)
    {
        return c.getRed() == 0 && c.getGreen() == 0 && c.getBlue() == 0;
    }

    bool isBlue (juce::Colour c)
    {
        return c.getBlue() > 140 && c.getBlue() > c.getRed() + 40;
    }

    bool anythingIn (const juce::Image& image, juce::Rectangle<int> area)
    {
        return anythingDrawnIn (image, area, juce::Colours::black);
    }

    float brightestIn (const juce::Image& image, juce::Rectangle<int> area)
    {
        float brightest = 0.0f;

        for (int y = area.getY(); y < area.getBottom(); ++y)
            for (int x = area.getX(); x < area.getRight(); ++x)
                brightest = std::max (brightest, image.getPixelAt (x, y).getBrightness());

        return brightest;
    }

    /** Pixels that are not black, outside the axes and the compass. */
    int strayPixels (const juce::Image& image, const MasterXYPadComponent& pad)
    {
        const auto field = pad.getFieldArea().toNearestInt();
        const auto compass = pad.getCompassBounds().toNearestInt().expanded (2);
        int count = 0;

        for (int y = 0; y < image.getHeight(); ++y)
            for (int x = 0; x < image.getWidth(); ++x)
            {
                const bool onAxis = std::abs (y - field.getBottom()) <= 1 || std::abs (x - field.getCentreX()) <= 1;

                if (! onAxis && ! compass.contains (x, y) && ! isBlack (image.getPixelAt (x, y)))
                    ++count;
            }

        return count;
    }
} // namespace

TEST (MasterXYPadField, MapsPanAndDepthToTheFieldAndBack)
{
    SelectionModel selection ({});
    MasterXYPadComponent pad (selection);
    pad.setBounds (0, 0, 1000, 560);
    EXPECT_EQ (pad.getFieldArea(), juce::Rectangle<float> (58.0f, 40.0f, 884.0f, 480.0f));
    EXPECT_EQ (pad.getCompassBounds(), juce::Rectangle<float> (482.0f, 3.0f, 36.0f, 36.0f));

    PluginStatus status;
    status.pan = -1.0f;
    status.ratio = 1.0f;
    EXPECT_EQ (pad.dotPositionFor (status), juce::Point<float> (58.0f, 40.0f));
    status.pan = 0.5f;
    status.ratio = 0.25f;
    EXPECT_EQ (pad.dotPositionFor (status), juce::Point<float> (58.0f + 0.75f * 884.0f, 40.0f + 0.75f * 480.0f));
    EXPECT_EQ (pad.panAndRatioAt (pad.dotPositionFor (status)), juce::Point<float> (0.5f, 0.25f));
    EXPECT_EQ (pad.panAndRatioAt ({ -100.0f, 900.0f }), juce::Point<float> (-1.0f, 0.0f)) << "clamped into the field";

    pad.setBounds (0, 0, 100, 60);
    EXPECT_TRUE (pad.getFieldArea().isEmpty());
    pad.setBounds (0, 0, 0, 0);
    EXPECT_GE (pad.getChaosGlowImage().getWidth(), 1);
    EXPECT_GE (pad.getChaosGlowImage().getHeight(), 1);
}

TEST (MasterXYPadField, ReadoutTexts)
{
    EXPECT_EQ (MasterXYPadComponent::panReadoutText (0.0f), "C");
    EXPECT_EQ (MasterXYPadComponent::panReadoutText (-0.0004f), "C");
    EXPECT_EQ (MasterXYPadComponent::panReadoutText (-0.37f), "37% L");
    EXPECT_EQ (MasterXYPadComponent::panReadoutText (1.0f), "100% R");
    EXPECT_EQ (MasterXYPadComponent::depthReadoutText (0.756f), "76%");
    EXPECT_EQ (MasterXYPadComponent::depthReadoutText (3.0f), "100%");
}

TEST (MasterXYPadDrawing, AnEmptyTableDrawsOnlyTheBackgroundAxesAndCompass)
{
    PadRig rig (0);
    const auto image = rig.render();
    EXPECT_EQ (strayPixels (image, *rig.pad), 0);
    EXPECT_FALSE (isBlack (image.getPixelAt (rig.pad->getFieldArea().toNearestInt().getCentreX(), 300))) << "the centre axis";
    EXPECT_FALSE (isBlack (image.getPixelAt (500, 12))) << "the compass's up arrow";
}

TEST (MasterXYPadDrawing, HiddenInstancesDrawNothing)
{
    PadRig rig (1);
    rig.place (0, 0.4f, 0.6f);
    rig.selection.selectOnly (rig.link.id (0));
    rig.setFlag (0, &AstrelCommand::visible, false);
    rig.refresh();

    EXPECT_EQ (strayPixels (rig.render(), *rig.pad), 0) << "no dot, ring, label, glow, guide or readout";
}

TEST (MasterXYPadDrawing, SoloDimsTheOthersAndRemovesTheirRings)
{
    PadRig rig (3);
    rig.place (0, -0.6f, 0.5f);
    rig.place (1, 0.0f, 0.5f);
    rig.place (2, 0.6f, 0.5f);

    for (size_t i = 0; i < 3; ++i)
        rig.playTone (i);

    rig.setFlag (1, &AstrelCommand::soloed, true);
    rig.refresh();

    const auto statuses = rig.link.registry().getStatuses();
    EXPECT_FALSE (rig.pad->isAudible (statuses.at (rig.link.id (0))));
    EXPECT_TRUE (rig.pad->isAudible (statuses.at (rig.link.id (1))));

    // A tone of RMS 0.35 gives a level ring of radius 6 + 68 sqrt (0.35), about 46 px.
    const auto image = rig.render();
    const auto ringArea = [&] (size_t index) {
        const auto radius = 6.0f + 68.0f * std::sqrt (rig.link[index].getLatestMeteringFrame().midRms);
        return juce::Rectangle<int> (3, 3).withCentre (rig.dot (index) - juce::Point<int> (0, juce::roundToInt (radius)));
    };

    EXPECT_GT (brightestIn (image, ringArea (1)), 0.4f) << "the soloed one keeps its ring";
    EXPECT_LT (brightestIn (image, ringArea (0)), 0.05f);
    EXPECT_LT (brightestIn (image, ringArea (2)), 0.05f);

    const auto outline = [&] (size_t index) { return brightestIn (image, juce::Rectangle<int> (3, 3).withCentre (rig.dot (index) - juce::Point<int> (6, 0))); };
    EXPECT_GT (outline (1), outline (0) + 0.3f) << "the others' dots are dimmed";
}

TEST (MasterXYPadDrawing, AMutedInstanceIsNeverAudibleEvenWhenSoloed)
{
    PadRig rig (2);
    rig.setFlag (0, &AstrelCommand::soloed, true);
    rig.refresh();
    auto status = rig.link.registry().getStatuses().at (rig.link.id (0));
    status.muted = true; // both flags at once can only come from a copy edited by a gesture
    EXPECT_FALSE (rig.pad->isAudible (status));

    rig.setFlag (1, &AstrelCommand::muted, true);
    rig.refresh();
    EXPECT_FALSE (rig.pad->isAudible (rig.link.registry().getStatuses().at (rig.link.id (1))));
}

TEST (MasterXYPadDrawing, ASelectedBypassedDotIsBlueWithADarkGreyRing)
{
    PadRig rig (1);
    rig.place (0, 0.2f, 0.3f);
    rig.playTone (0);
    rig.link[0].setParameterPlainValue ("bypass", 1.0f);
    rig.selection.selectOnly (rig.link.id (0));
    rig.refresh();

    const auto image = rig.render();
    const auto centre = rig.dot (0);
    EXPECT_TRUE (isBlue (image.getPixelAt (centre.x, centre.y)));

    // Up and to the right on the ring, clear of the guides and the label.
    const auto radius = 6.0f + 68.0f * std::sqrt (rig.link[0].getLatestMeteringFrame().midRms);
    const auto offset = juce::roundToInt (radius / std::sqrt (2.0f));
    const juce::Rectangle<int> onRing (centre.x + offset - 1, centre.y - offset - 1, 3, 3);
    EXPECT_GT (brightestIn (image, onRing), 0.15f);

    for (int y = onRing.getY(); y < onRing.getBottom(); ++y)
        for (int x = onRing.getX(); x < onRing.getRight(); ++x)
        {
            const auto pixel = image.getPixelAt (x, y);
            EXPECT_LT (std::abs ((int) pixel.getRed() - (int) pixel.getBlue()), 12) << "grey, not blue";
        }
}

TEST (MasterXYPadDrawing, TheDepthReadoutSitsOnTheDotsSide)
{
    PadRig rig (1);
    rig.selection.selectOnly (rig.link.id (0));
    const auto field = rig.pad->getFieldArea();

    rig.place (0, -0.37f, 0.5f);
    rig.refresh();
    auto image = rig.render();
    const auto y = rig.dot (0).y;
    const juce::Rectangle<int> leftBox ((int) field.getX() - 55, y - 8, 49, 17);
    const juce::Rectangle<int> rightBox ((int) field.getRight() + 6, y - 8, 49, 17);
    EXPECT_TRUE (anythingIn (image, leftBox)) << "left of the field";
    EXPECT_FALSE (anythingIn (image, rightBox));

    rig.place (0, 0.0f, 0.5f);
    rig.refresh();
    image = rig.render();
    EXPECT_FALSE (anythingIn (image, leftBox));
    EXPECT_TRUE (anythingIn (image, rightBox)) << "right of the field";
}

TEST (MasterXYPadDrawing, TheGlowFadesAndClearsWhenTheAudibleOrBypassSetChanges)
{
    PadRig rig (1);
    rig.place (0, 0.0f, 0.5f);
    rig.refresh();

    // A silent steady instance draws its glow ring at radius 5.
    const auto centre = rig.dot (0);
    const auto glowAlpha = [&] { return rig.pad->getChaosGlowImage().getPixelAt (centre.x + 5, centre.y).getAlpha(); };
    rig.refresh();
    const auto settled = glowAlpha();
    ASSERT_GT (settled, 0x80);

    // Fading: the same ring redrawn over a faded copy keeps its level; a moved ring leaves a
    // trail that fades by 3.8 % per step.
    rig.place (0, 0.3f, 0.5f);
    rig.refresh();
    const auto trail = glowAlpha();
    rig.refresh();
    EXPECT_NEAR (glowAlpha(), trail * 0.962, 2.0);

    rig.setFlag (0, &AstrelCommand::muted, true);
    rig.refresh();
    EXPECT_EQ (glowAlpha(), 0) << "cleared, and a muted instance draws no glow";
}

TEST (MasterXYPadSpread, FactorsAndConstellationProportions)
{
    PadRig rig (2);
    rig.selection.setSelection ({ rig.link.id (0), rig.link.id (1) });

    rig.place (0, 0.1f, 0.5f);
    rig.place (1, 0.1f, 0.5f);
    rig.refresh();
    EXPECT_FALSE (rig.pad->getConstellationSpreadProportion (false).has_value()) << "two dots at one point";

    rig.place (0, -1.0f, 0.5f);
    rig.place (1, 1.0f, 0.5f);
    rig.refresh();
    EXPECT_FLOAT_EQ (*rig.pad->getConstellationSpreadProportion (true), 1.0f) << "already at the edges";

    rig.place (0, -0.1f, 0.5f);
    rig.place (1, 0.1f, 0.5f);
    rig.refresh();
    const auto positions = rig.pad->getSelectedVisibleDotPositionsFromCurrentStatus();
    const auto centre = rig.pad->getFieldArea().getCentre();
    EXPECT_NEAR (rig.pad->getMaxSelectionSpreadFactorForPositions (positions, centre, MasterXYPadComponent::SelectionSpreadMode::panOnly), 10.0f, 0.01f);
    EXPECT_NEAR (*rig.pad->getConstellationSpreadProportion (true), (0.1f - 0.08f) / 0.92f, 1.0e-4f);
}

TEST (MasterXYPadDrawing, GlowRingsAndFadeMatchTheFrameworksDrawing)
{
    const struct
    {
        float x, y, radius;
    } rings[] = { { 100.0f, 100.0f, 5.0f }, { 150.3f, 120.7f, 37.4f }, { 200.5f, 180.25f, 140.0f }, { 10.0f, 300.0f, 60.0f } };

    for (const auto& ring : rings)
    {
        juce::Image framework (juce::Image::ARGB, 400, 400, true), fast (juce::Image::ARGB, 400, 400, true);
        const auto purple = juce::Colour (MasterXYPadComponent::purple);

        {
            juce::Graphics g (framework);
            const auto bounds = juce::Rectangle<float> (2.0f * ring.radius, 2.0f * ring.radius).withCentre ({ ring.x, ring.y });
            g.setColour (purple.withAlpha ((juce::uint8) 0x2e));
            g.drawEllipse (bounds, 2.5f);
            g.setColour (purple.withAlpha ((juce::uint8) 0xf2));
            g.drawEllipse (bounds, 1.5f);
        }

        ChaosGlowRaster::drawRing (fast,
                                   { ring.x, ring.y },
                                   ring.radius,
                                   { 2.5f, purple.withAlpha ((juce::uint8) 0x2e) },
                                   { 1.5f, purple.withAlpha ((juce::uint8) 0xf2) });

        double frameworkTotal = 0.0, fastTotal = 0.0;
        int strongInOneOnly = 0;

        for (int y = 0; y < 400; ++y)
            for (int x = 0; x < 400; ++x)
            {
                const int a = framework.getPixelAt (x, y).getAlpha(), b = fast.getPixelAt (x, y).getAlpha();
                frameworkTotal += a;
                fastTotal += b;
                strongInOneOnly += (std::max (a, b) > 128 && std::min (a, b) < 16) ? 1 : 0;
            }

        EXPECT_NEAR (fastTotal, frameworkTotal, 0.04 * frameworkTotal) << ring.radius;
        EXPECT_EQ (strongInOneOnly, 0) << "the same circle, at most a fraction of a pixel apart; radius " << ring.radius;

        // Fading is exactly the framework's alpha multiplication.
        auto faded = fast.createCopy();
        fast.multiplyAllAlphas (0.962f);
        ChaosGlowRaster::fade (faded, faded.getBounds());

        for (int y = 0; y < 400; y += 3)
            for (int x = 0; x < 400; x += 3)
                ASSERT_EQ (faded.getPixelAt (x, y), fast.getPixelAt (x, y)) << x << ", " << y;
    }
}
