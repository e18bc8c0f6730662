#include "MasterXYPadComponent.h"

#include "JuceCompat.h"

#include <cmath>

namespace
{
    /** Alphas given as fractions become the nearest byte; 1 or more is opaque, 0 or less clear. */
    juce::Colour withAlphaFraction (juce::Colour colour, float alpha)
    {
        return colour.withAlpha (static_cast<juce::uint8> (juce::jlimit (0, 255, juce::roundToInt (alpha * 255.0f))));
    }

    juce::Colour withAlphaByte (juce::Colour colour, int alpha)
    {
        return colour.withAlpha (static_cast<juce::uint8> (alpha));
    }

    void drawDashedLine (juce::Graphics& g, juce::Line<float> line, float thickness)
    {
        if (line.getLength() < 0.1f)
            return;

        const float dashes[] = { 4.0f, 4.0f };
        g.drawDashedLine (line, dashes, 2, thickness);
    }

    const juce::Colour blueColour (MasterXYPadComponent::blue);
    const juce::Colour purpleColour (MasterXYPadComponent::purple);
} // namespace

MasterXYPadComponent::MasterXYPadComponent (SelectionModel& selectionModel) : selection (selectionModel)
{
    chaosGlowImage = juce::Image (juce::Image::ARGB, 1, 1, true);
}

MasterXYPadComponent::~MasterXYPadComponent()
{
    stopTimer();
}

//==============================================================================
void MasterXYPadComponent::resized()
{
    const auto width = static_cast<float> (getWidth());
    const auto height = static_cast<float> (getHeight());
    fieldArea = { 58.0f, 40.0f, std::max (0.0f, width - 116.0f), std::max (0.0f, height - 80.0f) };
    chaosGlowImage = juce::Image (juce::Image::ARGB, std::max (1, getWidth()), std::max (1, getHeight()), true);
}

void MasterXYPadComponent::setStatuses (SharedStatusManager::StatusMap newStatuses)
{
    statuses = std::move (newStatuses);
}

void MasterXYPadComponent::setMeteringFrames (SharedStatusManager::MeteringMap newFrames)
{
    meteringFrames = std::move (newFrames);
}

void MasterXYPadComponent::setSpreadPreviewMode (int mode)
{
    const auto clamped = juce::jlimit (0, 2, mode);

    if (clamped != spreadPreviewMode)
    {
        spreadPreviewMode = clamped;
        repaint();
    }
}

//==============================================================================
juce::Point<float> MasterXYPadComponent::dotPositionFor (const PluginStatus& status) const noexcept
{
    return { fieldArea.getX() + (status.pan + 1.0f) / 2.0f * fieldArea.getWidth(),
             fieldArea.getY() + (1.0f - status.ratio) * fieldArea.getHeight() };
}

juce::Point<float> MasterXYPadComponent::panAndRatioAt (juce::Point<float> position) const noexcept
{
    const auto x = juce::jlimit (fieldArea.getX(), fieldArea.getRight(), position.x);
    const auto y = juce::jlimit (fieldArea.getY(), fieldArea.getBottom(), position.y);
    const auto pan = fieldArea.getWidth() > 0.0f ? 2.0f * (x - fieldArea.getX()) / fieldArea.getWidth() - 1.0f : 0.0f;
    const auto ratio = fieldArea.getHeight() > 0.0f ? 1.0f - (y - fieldArea.getY()) / fieldArea.getHeight() : 0.0f;
    return { pan, ratio };
}

bool MasterXYPadComponent::isAnySoloed() const noexcept
{
    return std::any_of (statuses.begin(), statuses.end(), [] (const auto& entry) { return entry.second.soloed; });
}

bool MasterXYPadComponent::isAudible (const PluginStatus& status) const noexcept
{
    return status.visible && ! status.muted && (status.soloed || ! isAnySoloed());
}

juce::Rectangle<float> MasterXYPadComponent::getCompassBounds() const noexcept
{
    return { static_cast<float> (getWidth()) / 2.0f - 18.0f, fieldArea.getY() - 37.0f, 36.0f, 36.0f };
}

MasterXYPadComponent::PositionMap MasterXYPadComponent::getSelectedVisibleDotPositionsFromCurrentStatus() const
{
    PositionMap positions;

    for (const auto& id : selection.getSelectedIDs())
        if (const auto status = statuses.find (id); status != statuses.end() && status->second.visible)
            positions[id] = dotPositionFor (status->second);

    return positions;
}

bool MasterXYPadComponent::getSingleSelectedGuideTarget (juce::String& id, juce::Point<float>& position) const
{
    if (selection.getSelectedIDs().size() != 1)
        return false;

    const auto& only = *selection.getSelectedIDs().begin();
    const auto status = statuses.find (only);

    if (status == statuses.end() || ! status->second.visible)
        return false;

    id = only;
    position = dotPositionFor (status->second);
    return true;
}

float MasterXYPadComponent::getMaxSelectionSpreadFactorForPositions (const PositionMap& positions,
                                                                     juce::Point<float> centre,
                                                                     SelectionSpreadMode mode) const
{
    auto factor = 1000.0f;

    const auto lower = [&factor] (float offset, float edgeOffset) {
        if (std::abs (offset) <= 0.0001f)
            return;

        const auto candidate = edgeOffset / offset;

        if (candidate > 0.0f && candidate < factor)
            factor = candidate;
    };

    for (const auto& [id, p] : positions)
    {
        lower (p.x - centre.x, (p.x > centre.x ? fieldArea.getRight() : fieldArea.getX()) - centre.x);

        if (mode == SelectionSpreadMode::radial)
            lower (p.y - centre.y, (p.y > centre.y ? fieldArea.getBottom() : fieldArea.getY()) - centre.y);
    }

    return juce::jlimit (1.0f, 1000.0f, factor);
}

std::optional<float> MasterXYPadComponent::getConstellationSpreadProportion (bool panOnly) const
{
    const auto positions = getSelectedVisibleDotPositionsFromCurrentStatus();

    if (positions.size() < 2)
        return std::nullopt;

    juce::Point<float> centre;

    for (const auto& [id, p] : positions)
        centre += p;

    centre /= static_cast<float> (positions.size());

    const bool allAtCentre = std::all_of (positions.begin(), positions.end(), [&] (const auto& entry) {
        const auto& p = entry.second;
        return std::abs (p.x - centre.x) <= 0.0001f && (panOnly || std::abs (p.y - centre.y) <= 0.0001f);
    });

    if (allAtCentre)
        return std::nullopt;

    const auto factor = getMaxSelectionSpreadFactorForPositions (positions,
                                                                 centre,
                                                                 panOnly ? SelectionSpreadMode::panOnly : SelectionSpreadMode::radial);
    const auto proportion = factor == 1.0f ? 1.0f : 1.0f / factor;
    return juce::jlimit (0.0f, 1.0f, (proportion - 0.08f) / 0.92f);
}

juce::String MasterXYPadComponent::panReadoutText (float pan)
{
    if (std::abs (pan) < 0.0005f)
        return "C";

    return juce::String (static_cast<int> (std::round (std::abs (pan) * 100.0f))) + "% " + (pan < 0.0f ? "L" : "R");
}

juce::String MasterXYPadComponent::depthReadoutText (float ratio)
{
    return juce::String (static_cast<int> (std::round (juce::jlimit (0.0f, 1.0f, ratio) * 100.0f))) + "%";
}

//==============================================================================
void MasterXYPadComponent::updateChaosGlowBuffer()
{
    std::map<juce::String, bool> audible, bypass;

    for (const auto& [id, status] : statuses)
    {
        audible[id] = isAudible (status);
        bypass[id] = status.bypass;
    }

    const auto differs = [] (const std::map<juce::String, bool>& now, const std::map<juce::String, bool>& before) {
        for (const auto& [id, flag] : now)
            if (const auto previous = before.find (id); previous == before.end() || previous->second != flag)
                return true;

        return false;
    };

    const bool changed = differs (audible, previousAudible) || differs (bypass, previousBypass);
    previousAudible = std::move (audible);
    previousBypass = std::move (bypass);

    if (changed)
        chaosGlowImage.clear (chaosGlowImage.getBounds());
    else
        chaosGlowImage.multiplyAllAlphas (0.962f);

    juce::Graphics g (chaosGlowImage);

    for (const auto& [id, status] : statuses)
    {
        if (! isAudible (status))
            continue;

        const auto centre = dotPositionFor (status);
        float sideRms = 0.0f, chaos = 0.0f;

        if (const auto frame = meteringFrames.find (id); frame != meteringFrames.end())
        {
            sideRms = frame->second.sideRms;
            chaos = frame->second.chaos;
        }

        const auto radius = (chaos * 20.0f + 1.0f) * 5.0f * (std::sqrt (std::max (sideRms, 0.0f)) * 7.0f + 1.0f);
        const auto colour = status.bypass ? juce::Colours::darkgrey : purpleColour;
        const auto ring = juce::Rectangle<float> (2.0f * radius, 2.0f * radius).withCentre (centre);

        g.setColour (withAlphaByte (colour, status.bypass ? 0x38 : 0x2e));
        g.drawEllipse (ring, 2.5f);
        g.setColour (withAlphaByte (colour, status.bypass ? 0x8c : 0xf2));
        g.drawEllipse (ring, 1.5f);
    }
}

//==============================================================================
void MasterXYPadComponent::paint (juce::Graphics& g)
{
    g.fillAll (juce::Colours::black);

    g.setColour (withAlphaByte (juce::Colours::white, 0xb2));
    g.drawLine ({ fieldArea.getBottomLeft(), fieldArea.getBottomRight() }, 0.5f);
    g.drawLine (fieldArea.getCentreX(), fieldArea.getBottom(), fieldArea.getCentreX(), fieldArea.getY(), 0.5f);

    if (! g.getClipBounds().isEmpty())
        g.drawImage (chaosGlowImage, getLocalBounds().toFloat());

    juce::String guideID;
    juce::Point<float> guideDot;

    if (getSingleSelectedGuideTarget (guideID, guideDot))
        drawGuides (g, guideDot);

    drawDots (g);
    drawSelectionGuideReadouts (g);
    drawSpreadOverlay (g);
    drawCompass (g);

    if (rubberBandActive)
    {
        g.setColour (withAlphaByte (juce::Colours::white, 0x26));
        g.fillRect (rubberBandBounds);
        g.setColour (withAlphaByte (juce::Colours::white, 0x80));
        g.drawRect (rubberBandBounds, 1.0f);
    }
}

void MasterXYPadComponent::drawGuides (juce::Graphics& g, juce::Point<float> dot) const
{
    const auto style = [this] (GuideKind kind) {
        if (activeGuide == kind)
            return std::make_pair (1.0f, 1.5f);

        if (hoveredGuide == kind)
            return std::make_pair (0.82f, 1.25f);

        return std::make_pair (0.65f, 1.0f);
    };

    const auto [depthAlpha, depthThickness] = style (GuideKind::depth);
    g.setColour (withAlphaFraction (blueColour, depthAlpha));
    drawDashedLine (g, { fieldArea.getX(), dot.y, fieldArea.getRight(), dot.y }, depthThickness);

    const auto [panAlpha, panThickness] = style (GuideKind::pan);
    g.setColour (withAlphaFraction (blueColour, panAlpha));
    drawDashedLine (g, { dot.x, fieldArea.getBottom(), dot.x, fieldArea.getY() }, panThickness);
}

void MasterXYPadComponent::drawDots (juce::Graphics& g) const
{
    g.setFont (JuceCompat::defaultFont (12.0f));

    for (const auto& [id, status] : statuses)
    {
        if (! status.visible)
            continue;

        const auto centre = dotPositionFor (status);
        const bool audible = isAudible (status);
        const bool selected = selection.isSelected (id);
        const auto dot = juce::Rectangle<float> (12.0f, 12.0f).withCentre (centre);

        if (selected)
        {
            g.setColour (withAlphaFraction (blueColour, audible ? 1.0f : 0.45f));
            g.fillEllipse (dot);
        }
        else
        {
            g.setColour (withAlphaByte (juce::Colours::white, audible ? 0xeb : 0x59));
            g.drawEllipse (dot, 1.35f);
        }

        if (audible)
        {
            const auto frame = meteringFrames.find (id);
            const auto midRms = frame != meteringFrames.end() ? std::max (frame->second.midRms, 0.0f) : 0.0f;
            const auto radius = 6.0f + 68.0f * std::sqrt (midRms);

            if (status.bypass)
                g.setColour (withAlphaByte (juce::Colours::darkgrey, 0xb8));
            else
                g.setColour (selected ? blueColour : juce::Colours::white);

            g.drawEllipse (juce::Rectangle<float> (2.0f * radius, 2.0f * radius).withCentre (centre), 1.0f);
        }

        g.setColour (audible ? juce::Colours::white : withAlphaByte (juce::Colours::white, 0x59));
        g.drawText (status.trackName,
                    juce::Rectangle<int> ((int) (centre.x + 9.0f), (int) (centre.y - 10.0f), 80, 15),
                    juce::Justification::centredLeft,
                    true);
    }
}

void MasterXYPadComponent::drawSelectionGuideReadouts (juce::Graphics& g) const
{
    juce::String id;
    juce::Point<float> dot;

    if (! getSingleSelectedGuideTarget (id, dot))
        return;

    const auto status = statuses.find (id);

    if (status == statuses.end())
        return;

    const bool panEmphasised = activeGuide == GuideKind::pan || hoveredGuide == GuideKind::pan;
    const bool depthEmphasised = activeGuide == GuideKind::depth || hoveredGuide == GuideKind::depth;

    const auto tickColour = [] (bool emphasised) {
        return emphasised ? blueColour : withAlphaByte (blueColour, 0xa6);
    };

    g.setColour (tickColour (panEmphasised));
    g.drawLine (dot.x, fieldArea.getBottom(), dot.x, fieldArea.getBottom() + 5.0f, panEmphasised ? 1.2f : 0.8f);

    const bool onTheRight = status->second.pan >= 0.0f;
    const juce::Point<float> depthCorner (onTheRight ? fieldArea.getRight() + 6.0f : fieldArea.getX() - 55.0f, dot.y - 8.5f);
    g.setColour (tickColour (depthEmphasised));

    if (onTheRight)
        g.drawLine (fieldArea.getRight(), dot.y, fieldArea.getRight() + 6.0f, dot.y, depthEmphasised ? 1.2f : 0.8f);
    else
        g.drawLine (fieldArea.getX() - 6.0f, dot.y, fieldArea.getX(), dot.y, depthEmphasised ? 1.2f : 0.8f);

    const auto drawBox = [&g] (juce::Point<float> corner, const juce::String& text, bool emphasised) {
        const juce::Rectangle<float> box (corner.x, corner.y, 49.0f, 17.0f);
        g.setColour (withAlphaByte (juce::Colours::black, emphasised ? 0xe0 : 0xc2));
        g.fillRoundedRectangle (box, 3.5f);
        g.setColour (withAlphaFraction (blueColour, emphasised ? 1.0f : 0.72f));
        g.drawRoundedRectangle (box, 3.5f, emphasised ? 1.0f : 0.75f);
        g.setColour (withAlphaFraction (juce::Colour (readoutText), emphasised ? 1.0f : 0.82f));
        g.setFont (JuceCompat::defaultFont (10.5f));
        g.drawText (text, juce::Rectangle<float> (corner.x + 3.0f, corner.y, 43.0f, 17.0f), juce::Justification::centred, false);
    };

    drawBox ({ dot.x - 24.5f, fieldArea.getBottom() + 5.0f }, panReadoutText (status->second.pan), panEmphasised);
    drawBox (depthCorner, depthReadoutText (status->second.ratio), depthEmphasised);
}

int MasterXYPadComponent::currentSpreadOverlayMode() const
{
    if (spreadActive)
        return static_cast<int> (spreadMode);

    const bool onlySpreadOpen = ! undoGestureActive;

    if (mouseInField && lastModifiers.isCommandDown() && ! rubberBandActive && ! compassDragActive && onlySpreadOpen)
        return spreadPreviewMode != 0 ? spreadPreviewMode : (lastModifiers.isAltDown() ? 2 : 1);

    return spreadPreviewMode;
}

void MasterXYPadComponent::drawSpreadOverlay (juce::Graphics& g) const
{
    if (selection.getSelectedIDs().size() < 2)
        return;

    const auto mode = currentSpreadOverlayMode();

    if (mode == 0)
        return;

    const auto positions = getSelectedVisibleDotPositionsFromCurrentStatus();

    if (positions.size() < 2)
        return;

    auto centre = spreadCentre;

    if (! spreadActive)
    {
        centre = {};

        for (const auto& [id, p] : positions)
            centre += p;

        centre /= static_cast<float> (positions.size());
    }

    if (mode == 1)
    {
        g.setColour (withAlphaByte (blueColour, spreadActive ? 0xb8 : 0x85));

        for (const auto& [id, p] : positions)
            drawDashedLine (g, { centre, p }, 1.0f);

        const auto m = spreadActive ? 4.0f : 3.2f;
        const auto circle = [&centre] (float radius) { return juce::Rectangle<float> (2.0f * radius, 2.0f * radius).withCentre (centre); };
        g.setColour (withAlphaByte (juce::Colours::black, 0xb8));
        g.fillEllipse (circle (m + 1.5f));
        g.setColour (withAlphaByte (purpleColour, spreadActive ? 0xff : 0xd1));
        g.fillEllipse (circle (m));
        g.setColour (withAlphaByte (juce::Colours::white, 0x8c));
        g.drawEllipse (circle (m + 3.0f), 1.0f);
        return;
    }

    const juce::Rectangle<float> badge (centre.x - 22.0f, centre.y - 9.0f, 44.0f, 18.0f);
    g.setColour (withAlphaByte (juce::Colours::black, 0xb8));
    g.fillRoundedRectangle (badge, 9.0f);

    const auto arrowColour = withAlphaByte (blueColour, spreadActive ? 0xff : 0xe0);
    g.setColour (arrowColour);
    g.drawLine (centre.x - 15.0f, centre.y, centre.x + 15.0f, centre.y, 1.5f);

    juce::Path heads;
    heads.addTriangle (centre.x - 15.0f, centre.y, centre.x - 10.0f, centre.y - 4.0f, centre.x - 10.0f, centre.y + 4.0f);
    heads.addTriangle (centre.x + 15.0f, centre.y, centre.x + 10.0f, centre.y - 4.0f, centre.x + 10.0f, centre.y + 4.0f);
    g.fillPath (heads);

    g.setColour (withAlphaByte (juce::Colours::white, 0x33));
    g.drawRoundedRectangle (badge, 9.0f, 1.0f);
}

void MasterXYPadComponent::drawCompass (juce::Graphics& g)
{
    compassBounds = getCompassBounds();
    const auto centre = compassBounds.getCentre();
    float purpleAlpha = 0.65f, blueAlpha = 0.65f;
    int dotAlpha = 0x6b;

    const bool animated = compassHovered || (mouseInField && lastModifiers.isCommandDown() && selection.getSelectedIDs().empty());

    if (compassDragActive)
    {
        purpleAlpha = (trimAxis == 1 || trimAxis == 3) ? 1.0f : (trimAxis == 0 ? 0.65f : 0.0f);
        blueAlpha = (trimAxis == 2 || trimAxis == 3) ? 1.0f : (trimAxis == 0 ? 0.65f : 0.0f);
        dotAlpha = 0xb2;
    }
    else if (animated)
    {
        const auto t = static_cast<float> (juce::Time::getMillisecondCounterHiRes());
        const auto u = std::sin (0.0052f * t) * 0.5f + 0.5f;
        const auto e = u * u * (3.0f - 2.0f * u);
        purpleAlpha = 0.42f + 0.58f * (1.0f - e);
        blueAlpha = 0.42f + 0.58f * e;
        dotAlpha = 0x94;

        const auto halo = compassBounds.expanded (3.0f);
        g.setColour (withAlphaByte (juce::Colours::white, 0x09));
        g.fillEllipse (halo);
        g.setColour (withAlphaByte (juce::Colours::white, 0x13));
        g.drawEllipse (halo, 1.0f);
    }

    const auto x = compassBounds.getX(), y = compassBounds.getY(), w = compassBounds.getWidth(), h = compassBounds.getHeight();
    const auto cx = centre.x, cy = centre.y;

    juce::Path vertical, horizontal;
    vertical.addTriangle (cx, y + 2.0f, cx - 5.0f, cy - 6.0f, cx + 5.0f, cy - 6.0f);
    vertical.addTriangle (cx, y + h - 2.0f, cx - 5.0f, cy + 6.0f, cx + 5.0f, cy + 6.0f);
    horizontal.addTriangle (x + 2.0f, cy, cx - 6.0f, cy - 5.0f, cx - 6.0f, cy + 5.0f);
    horizontal.addTriangle (x + w - 2.0f, cy, cx + 6.0f, cy - 5.0f, cx + 6.0f, cy + 5.0f);

    g.setColour (withAlphaFraction (purpleColour, purpleAlpha));
    g.fillPath (vertical);
    g.setColour (withAlphaFraction (blueColour, blueAlpha));
    g.fillPath (horizontal);

    g.setColour (withAlphaByte (juce::Colours::white, dotAlpha));
    g.fillEllipse (cx - 2.0f, cy - 2.0f, 4.0f, 4.0f);
}

void MasterXYPadComponent::timerCallback()
{
    const bool animating = compassHovered || (mouseInField && lastModifiers.isCommandDown() && selection.getSelectedIDs().empty());

    if (! animating)
    {
        stopTimer();
        return;
    }

    if (! compassDragActive)
        repaint();
}
