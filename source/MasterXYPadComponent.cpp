#include "MasterXYPadComponent.h"

#include "ChaosGlowRaster.h"
#include "JuceCompat.h"

#include <algorithm>
#include <cmath>
#include <limits>

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

    if (undoGestureActive && gestureId != 0)
        commandController().endGesture (gestureId, {});
}

//==============================================================================
void MasterXYPadComponent::resized()
{
    const auto width = static_cast<float> (getWidth());
    const auto height = static_cast<float> (getHeight());
    fieldArea = { 58.0f, 40.0f, std::max (0.0f, width - 116.0f), std::max (0.0f, height - 80.0f) };
    chaosGlowImage = juce::Image (juce::Image::ARGB, std::max (1, getWidth()), std::max (1, getHeight()), true);
    glowDirtyArea = {};
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
    {
        chaosGlowImage.clear (chaosGlowImage.getBounds());
        glowDirtyArea = {};
    }
    else
    {
        ChaosGlowRaster::fade (chaosGlowImage, glowDirtyArea);
    }

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
        const auto touched = ChaosGlowRaster::drawRing (chaosGlowImage,
                                                        centre,
                                                        radius,
                                                        { 2.5f, withAlphaByte (colour, status.bypass ? 0x38 : 0x2e) },
                                                        { 1.5f, withAlphaByte (colour, status.bypass ? 0x8c : 0xf2) });
        glowDirtyArea = glowDirtyArea.isEmpty() ? touched : glowDirtyArea.getUnion (touched);
    }
}

//==============================================================================
void MasterXYPadComponent::paint (juce::Graphics& g)
{
    g.fillAll (juce::Colours::black);

    g.setColour (withAlphaByte (juce::Colours::white, 0xb2));
    g.drawLine ({ fieldArea.getBottomLeft(), fieldArea.getBottomRight() }, 0.5f);
    g.drawLine (fieldArea.getCentreX(), fieldArea.getBottom(), fieldArea.getCentreX(), fieldArea.getY(), 0.5f);

    // Only the part of the glow layer that was ever drawn, pixel for pixel.
    if (const auto glow = glowDirtyArea.getIntersection (g.getClipBounds()); ! glow.isEmpty())
        g.drawImage (chaosGlowImage, glow.getX(), glow.getY(), glow.getWidth(), glow.getHeight(), glow.getX(), glow.getY(), glow.getWidth(), glow.getHeight());

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

//==============================================================================
namespace
{
    constexpr float dotHitRadius = 30.0f;
    constexpr float guideHitDistance = 6.0f;
    constexpr float valueTolerance = 0.000001f;
    constexpr double wheelGestureTimeoutMs = 260.0;
    constexpr int animationTimerMs = 33;
} // namespace

AstrelCommandController& MasterXYPadComponent::commandController()
{
    return sharedStatusManager->getCommandController();
}

juce::String MasterXYPadComponent::findClosestVisibleDotID (juce::Point<float> point, float, float& distance) const
{
    juce::String closest;
    distance = std::numeric_limits<float>::max();

    for (const auto& [id, status] : statuses)
    {
        if (! status.visible)
            continue;

        const auto d = point.getDistanceFrom (dotPositionFor (status));

        if (d <= dotHitRadius && d < distance)
        {
            closest = id;
            distance = d;
        }
    }

    if (closest.isEmpty())
        distance = std::numeric_limits<float>::max();

    return closest;
}

MasterXYPadComponent::GuideKind MasterXYPadComponent::hitTestSelectionGuide (juce::Point<float> point) const
{
    juce::String id;
    juce::Point<float> dot;
    float distance = 0.0f;

    if (! fieldArea.contains (point) || ! getSingleSelectedGuideTarget (id, dot)
        || findClosestVisibleDotID (point, dotHitRadius, distance).isNotEmpty())
        return GuideKind::none;

    const auto dx = std::abs (point.x - dot.x);
    const auto dy = std::abs (point.y - dot.y);
    const bool nearDepthGuide = dy <= guideHitDistance;
    const bool nearPanGuide = dx <= guideHitDistance;

    if (nearDepthGuide && nearPanGuide)
        return dx < dy ? GuideKind::pan : GuideKind::depth;

    if (nearDepthGuide)
        return GuideKind::depth;

    return nearPanGuide ? GuideKind::pan : GuideKind::none;
}

bool MasterXYPadComponent::isOverCompass (juce::Point<float> position) const
{
    return getCompassBounds().contains (position);
}

std::vector<juce::String> MasterXYPadComponent::visibleIDs() const
{
    std::vector<juce::String> ids;

    for (const auto& [id, status] : statuses)
        if (status.visible)
            ids.push_back (id);

    return ids;
}

//==============================================================================
bool MasterXYPadComponent::wantsAnimation() const
{
    return compassHovered
           || (mouseInField && lastModifiers.isCommandDown() && selection.getSelectedIDs().empty() && ! compassDragActive);
}

void MasterXYPadComponent::reevaluateTimer()
{
    const bool wanted = wantsAnimation() || wheelGestureKind != ScrollGestureKind::none;

    if (! wanted)
        stopTimer();
    else if (! isTimerRunning())
        startTimer (animationTimerMs);
}

void MasterXYPadComponent::timerCallback()
{
    timerTick (juce::Time::getMillisecondCounterHiRes());
}

void MasterXYPadComponent::timerTick (double nowMs)
{
    if (wantsAnimation())
        repaint();

    if (wheelGestureKind != ScrollGestureKind::none && nowMs - lastWheelTime >= wheelGestureTimeoutMs)
        finishScrollGesture();

    reevaluateTimer();
}

void MasterXYPadComponent::updateInteractiveMouseCursor()
{
    if (compassHovered && ! compassDragActive)
    {
        setMouseCursor (juce::MouseCursor::PointingHandCursor);
        return;
    }

    const auto guide = activeGuide != GuideKind::none ? activeGuide : hoveredGuide;

    if (guide == GuideKind::pan)
        setMouseCursor (juce::MouseCursor::LeftRightResizeCursor);
    else if (guide == GuideKind::depth)
        setMouseCursor (juce::MouseCursor::UpDownResizeCursor);
    else
        setMouseCursor (juce::MouseCursor::NormalCursor);
}

void MasterXYPadComponent::setHoveredGuide (GuideKind guide)
{
    if (hoveredGuide == guide)
        return;

    hoveredGuide = guide;
    updateInteractiveMouseCursor();
    repaint();
}

void MasterXYPadComponent::setCompassHovered (bool hovered)
{
    if (compassHovered == hovered)
        return;

    compassHovered = hovered;
    reevaluateTimer();
    updateInteractiveMouseCursor();
    repaint();
}

void MasterXYPadComponent::storeMouseState (const juce::MouseEvent& e)
{
    lastModifiers = e.mods;
    mouseInField = fieldArea.contains (e.position);
}

//==============================================================================
void MasterXYPadComponent::mouseMove (const juce::MouseEvent& e)
{
    storeMouseState (e);

    if (isOverCompass (e.position))
    {
        const bool wanted = ! compassDragActive;

        if (compassHovered != wanted)
            setCompassHovered (wanted);
        else if (! compassDragActive)
            setHoveredGuide (GuideKind::none);

        return;
    }

    if (compassHovered)
    {
        setCompassHovered (false);
        return;
    }

    const auto guide = hitTestSelectionGuide (e.position);

    if (guide != hoveredGuide)
    {
        setHoveredGuide (guide);
        return;
    }

    reevaluateTimer();

    if (selection.getSelectedIDs().size() != 1)
        repaint();
}

void MasterXYPadComponent::mouseExit (const juce::MouseEvent& e)
{
    lastModifiers = e.mods;
    mouseInField = false;

    if (compassHovered)
    {
        setCompassHovered (false);
        return;
    }

    if (hoveredGuide != GuideKind::none)
    {
        setHoveredGuide (GuideKind::none);
        reevaluateTimer();
        return;
    }

    reevaluateTimer();

    if (selection.getSelectedIDs().size() != 1)
        repaint();
}

void MasterXYPadComponent::modifierKeysChanged (const juce::ModifierKeys& modifiers)
{
    lastModifiers = modifiers;

    if (! modifiers.isCommandDown())
        finishScrollGesture();

    reevaluateTimer();

    if (mouseInField && selection.getSelectedIDs().size() != 1)
        repaint();
}

//==============================================================================
void MasterXYPadComponent::mouseDown (const juce::MouseEvent& e)
{
    storeMouseState (e);
    finishScrollGesture();

    dragStartPositions.clear();

    for (const auto& [id, status] : statuses)
        dragStartPositions[id] = dotPositionFor (status);

    const auto position = e.position;

    if (isOverCompass (position))
    {
        startCompassTrim (position);
        return;
    }

    mouseDownPosition = position;
    rubberBandActive = false;
    rubberBandBounds = {};
    resetSpreadState();
    baseSpreadProportion = 1.0f;
    minSpreadProportion = 0.08f;
    currentSpreadProportion = 1.0f;

    float distance = 0.0f;
    const auto hit = findClosestVisibleDotID (position, dotHitRadius, distance);
    const auto guide = hitTestSelectionGuide (position);
    const auto selected = getSelectedVisibleDotPositionsFromCurrentStatus();

    if (e.mods.isCommandDown() && selection.getSelectedIDs().size() >= 2)
    {
        bool nearSelectionCentre = false;

        if (selected.size() >= 2)
        {
            juce::Point<float> centre;

            for (const auto& [id, p] : selected)
                centre += p;

            centre /= static_cast<float> (selected.size());
            nearSelectionCentre = centre.getDistanceFrom (position) <= 12.0f;
        }

        if (nearSelectionCentre || (hit.isNotEmpty() && selection.isSelected (hit)))
        {
            lastSpreadDragPosition = position;
            const bool panOnly = e.mods.isAltDown();
            beginSelectionSpread (selected,
                                  panOnly ? SelectionSpreadMode::panOnly : SelectionSpreadMode::radial,
                                  false,
                                  panOnly ? "Pan Spread" : "Selection Spread");
            return;
        }
    }

    if (hit.isNotEmpty())
    {
        setHoveredGuide (GuideKind::none);

        if (e.mods.isShiftDown())
        {
            auto ids = selection.getSelectedIDs();

            if (ids.count (hit) > 0)
                ids.erase (hit);
            else
                ids.insert (hit);

            selection.setSelection (std::move (ids));

            if (! selection.isSelected (hit))
            {
                repaint();
                return;
            }
        }
        else if (! selection.isSelected (hit))
        {
            selection.selectOnly (hit);
        }

        resetTrimState();

        std::vector<juce::String> ids;

        for (const auto& id : selection.getSelectedIDs())
            if (id.isNotEmpty())
                ids.push_back (id);

        beginUndoGesture (ids.size() > 1 ? "Move Dots" : "Move Dot", ids, UndoGestureKind::moveDots, AstrelCommandOrigin::masterPad);
        repaint();
        return;
    }

    if (guide != GuideKind::none)
    {
        juce::String id;
        juce::Point<float> dot;

        if (getSingleSelectedGuideTarget (id, dot))
        {
            resetTrimState();
            activeGuide = guide;
            guideTargetId = id;
            guideGrabOffset = guide == GuideKind::depth ? position.y - dot.y : position.x - dot.x;
            hoveredGuide = guide;
            updateInteractiveMouseCursor();

            const bool depth = guide == GuideKind::depth;
            beginUndoGesture (depth ? "Adjust Depth" : "Adjust Pan",
                              { id },
                              depth ? UndoGestureKind::adjustDepth : UndoGestureKind::adjustPan,
                              AstrelCommandOrigin::masterPad);

            if (! undoGestureActive)
            {
                activeGuide = GuideKind::none;
                guideTargetId = {};
                updateInteractiveMouseCursor();
            }
        }

        repaint();
        return;
    }

    setHoveredGuide (GuideKind::none);
    selection.setSelection ({});
    reevaluateTimer();
    rubberBandActive = true;
    rubberBandOrigin = position;
    rubberBandBounds = { position.x, position.y, 0.0f, 0.0f };
    repaint();
}

void MasterXYPadComponent::mouseDrag (const juce::MouseEvent& e)
{
    storeMouseState (e);
    const auto position = e.position;
    const bool shift = e.mods.isShiftDown();

    if (compassDragActive)
    {
        dragCompassTrim (position, shift);
        return;
    }

    if (spreadActive)
    {
        if (! spreadKnobDriven)
            dragMouseSpread (position, shift);

        return;
    }

    if (activeGuide != GuideKind::none && guideTargetId.isNotEmpty())
    {
        dragGuide (position);
        return;
    }

    if (rubberBandActive)
    {
        dragRubberBand (position);
        return;
    }

    // Only a press on a dot opens a move; a press that only changed the selection moves nothing.
    if (! selection.getSelectedIDs().empty() && undoGestureActive && undoGestureKind == UndoGestureKind::moveDots)
        dragSelection (position, shift);
}

void MasterXYPadComponent::dragGuide (juce::Point<float> position)
{
    const auto status = statuses.find (guideTargetId);

    if (status == statuses.end() || ! status->second.visible || ! undoGestureActive)
        return;

    AstrelTargetPatch patch;
    patch.pluginID = guideTargetId;

    if (activeGuide == GuideKind::depth)
    {
        const auto y = juce::jlimit (fieldArea.getY(), fieldArea.getBottom(), position.y - guideGrabOffset);
        const auto ratio = fieldArea.getHeight() > 0.0f ? juce::jlimit (0.0f, 1.0f, 1.0f - (y - fieldArea.getY()) / fieldArea.getHeight()) : 0.0f;

        if (std::abs (ratio - status->second.ratio) <= valueTolerance)
            return;

        status->second.ratio = ratio;
        patch.ratio = ratio;
    }
    else
    {
        const auto x = juce::jlimit (fieldArea.getX(), fieldArea.getRight(), position.x - guideGrabOffset);
        const auto pan = fieldArea.getWidth() > 0.0f ? juce::jlimit (-1.0f, 1.0f, 2.0f * (x - fieldArea.getX()) / fieldArea.getWidth() - 1.0f) : 0.0f;

        if (std::abs (pan - status->second.pan) <= valueTolerance)
            return;

        status->second.pan = pan;
        patch.pan = pan;
    }

    sendGestureUpdate ({ patch });
}

void MasterXYPadComponent::dragRubberBand (juce::Point<float> position)
{
    const auto spanned = juce::Rectangle<float> (rubberBandOrigin, position);
    const auto clipped = spanned.getIntersection (fieldArea);
    rubberBandBounds = clipped.isEmpty() ? juce::Rectangle<float>() : clipped;

    SelectionModel::IDSet inside;

    if (! clipped.isEmpty())
    {
        for (const auto& [id, status] : statuses)
        {
            if (! status.visible)
                continue;

            const auto p = dotPositionFor (status);

            if (p.x >= rubberBandBounds.getX() && p.x <= rubberBandBounds.getRight() && p.y >= rubberBandBounds.getY()
                && p.y <= rubberBandBounds.getBottom())
                inside.insert (id);
        }
    }

    selection.setSelection (std::move (inside));
    repaint();
}

juce::Point<float> MasterXYPadComponent::constrainedToOneAxis (juce::Point<float> delta)
{
    if (std::abs (delta.y) <= std::abs (delta.x))
        return { delta.x, 0.0f };

    return { 0.0f, delta.y };
}

std::vector<AstrelTargetPatch> MasterXYPadComponent::buildMovePatches (juce::Point<float> delta, bool writeToStatuses)
{
    std::vector<AstrelTargetPatch> patches;

    for (const auto& id : selection.getSelectedIDs())
    {
        const auto status = statuses.find (id);
        const auto start = dragStartPositions.find (id);

        if (status == statuses.end() || start == dragStartPositions.end())
            continue;

        const auto values = panAndRatioAt (start->second + delta);

        if (writeToStatuses)
        {
            status->second.pan = values.x;
            status->second.ratio = values.y;
        }

        AstrelTargetPatch patch;
        patch.pluginID = id;
        patch.pan = values.x;
        patch.ratio = values.y;
        patches.push_back (std::move (patch));
    }

    return patches;
}

void MasterXYPadComponent::dragSelection (juce::Point<float> position, bool shift)
{
    auto delta = position - mouseDownPosition;

    if (shift)
        delta = constrainedToOneAxis (delta);

    if (delta.isOrigin())
        return;

    const auto patches = buildMovePatches (delta, true);

    if (! patches.empty())
    {
        commandController().updateGesture (gestureId, patches);
        gestureChanged = true;
        lastDragPosition = position;
        lastDragShift = shift;
    }

    updateChaosGlowBuffer();
    repaint();
}

void MasterXYPadComponent::sendGestureUpdate (const std::vector<AstrelTargetPatch>& patches)
{
    commandController().updateGesture (gestureId, patches);
    gestureChanged = true;
    updateChaosGlowBuffer();
    repaint();
}

void MasterXYPadComponent::mouseUp (const juce::MouseEvent& e)
{
    storeMouseState (e);
    const auto position = e.position;

    // The inspector's knob owns a spread it drives; a click on the pad does not end it.
    const bool ownsGesture = undoGestureActive && ! (spreadActive && spreadKnobDriven);
    std::vector<AstrelTargetPatch> finalPatches;

    if (ownsGesture && gestureChanged)
    {
        switch (undoGestureKind)
        {
            case UndoGestureKind::moveDots:
            {
                auto delta = lastDragPosition - mouseDownPosition;

                if (lastDragShift)
                    delta = constrainedToOneAxis (delta);

                finalPatches = buildMovePatches (delta, false);
                break;
            }

            case UndoGestureKind::adjustDepth:
            case UndoGestureKind::adjustPan:
                if (const auto status = statuses.find (guideTargetId); status != statuses.end())
                {
                    AstrelTargetPatch patch;
                    patch.pluginID = guideTargetId;

                    if (undoGestureKind == UndoGestureKind::adjustDepth)
                        patch.ratio = status->second.ratio;
                    else
                        patch.pan = status->second.pan;

                    finalPatches.push_back (std::move (patch));
                }
                break;

            case UndoGestureKind::wholefieldTrim:
                finalPatches = buildTrimPatches (false);
                break;

            case UndoGestureKind::selectionSpread:
                if (spreadStartPositions.size() >= 2)
                    finalPatches = buildSelectionSpreadPatchesForFactor (lastSpreadFactor, false);
                break;

            case UndoGestureKind::none:
                break;
        }
    }

    if (compassDragActive)
    {
        compassDragActive = false;
        trimAxis = 0;
        repaint();
    }

    if (rubberBandActive)
    {
        rubberBandActive = false;
        rubberBandBounds = {};
        repaint();
    }

    const bool mouseSpreadWasRunning = spreadActive && ! spreadKnobDriven;

    if (ownsGesture)
        endUndoGesture (finalPatches);

    if (activeGuide != GuideKind::none)
    {
        activeGuide = GuideKind::none;
        guideTargetId = {};
        guideGrabOffset = 0.0f;
        repaint();
    }

    if (mouseSpreadWasRunning)
        repaint();

    const bool overCompass = isOverCompass (position);
    setCompassHovered (overCompass);
    const auto guide = overCompass ? GuideKind::none : hitTestSelectionGuide (position);

    if (guide != hoveredGuide)
        setHoveredGuide (guide);
    else
        updateInteractiveMouseCursor();
}

void MasterXYPadComponent::mouseDoubleClick (const juce::MouseEvent& e)
{
    storeMouseState (e);
    finishScrollGesture();

    float distance = 0.0f;
    const auto hit = findClosestVisibleDotID (e.position, dotHitRadius, distance);

    if (hit.isEmpty())
        return;

    if (undoGestureActive)
        endUndoGesture ({});

    beginUndoGesture ("Reset Dot", { hit }, UndoGestureKind::moveDots, AstrelCommandOrigin::masterPad);
    selection.selectOnly (hit);

    if (const auto status = statuses.find (hit); status != statuses.end())
    {
        status->second.pan = 0.0f;
        status->second.ratio = 0.0f;
    }

    resetTrimState();
    resetSpreadState();
    rubberBandActive = false;
    rubberBandBounds = {};
    updateChaosGlowBuffer();
    repaint();
    gestureChanged = true;

    AstrelTargetPatch patch;
    patch.pluginID = hit;
    patch.pan = 0.0f;
    patch.ratio = 0.0f;
    endUndoGesture ({ patch });
}

//==============================================================================
std::uint32_t MasterXYPadComponent::maskForGesture (UndoGestureKind kind) const
{
    constexpr std::uint32_t pan = 1, ratio = 2;

    switch (kind)
    {
        case UndoGestureKind::wholefieldTrim:
            return trimAxis == 1 ? ratio : (trimAxis == 2 ? pan : pan | ratio);
        case UndoGestureKind::selectionSpread:
            return spreadMode == SelectionSpreadMode::panOnly ? pan : pan | ratio;
        case UndoGestureKind::adjustDepth:
            return ratio;
        case UndoGestureKind::adjustPan:
            return pan;
        case UndoGestureKind::moveDots:
        case UndoGestureKind::none:
            break;
    }

    return pan | ratio;
}

void MasterXYPadComponent::beginUndoGesture (const juce::String& name,
                                             const std::vector<juce::String>& ids,
                                             UndoGestureKind kind,
                                             AstrelCommandOrigin origin)
{
    if (ids.empty())
        return;

    undoGestureActive = true;
    gestureChanged = false;
    undoGestureKind = kind;
    lastDragPosition = {};
    lastDragShift = false;

    gestureId = commandController().beginGesture (name, ids, origin, maskForGesture (kind));

    if (gestureId == 0)
    {
        undoGestureActive = false;
        undoGestureKind = UndoGestureKind::none;
    }
}

void MasterXYPadComponent::endUndoGesture (const std::vector<AstrelTargetPatch>& finalPatches)
{
    if (! undoGestureActive)
        return;

    const auto id = gestureId;
    undoGestureActive = false;
    gestureChanged = false;
    gestureId = 0;
    undoGestureKind = UndoGestureKind::none;
    lastDragPosition = {};
    lastDragShift = false;

    if (spreadActive)
    {
        resetSpreadState();
        spreadStartPositions.clear();
        baseSpreadProportion = 1.0f;
        minSpreadProportion = 0.08f;
        currentSpreadProportion = 1.0f;
    }

    if (id == 0)
        return;

    if (finalPatches.empty())
        commandController().cancelGesture (id);
    else
        commandController().endGesture (id, finalPatches);
}

//==============================================================================
void MasterXYPadComponent::resetTrimState()
{
    trimSnapshotValid = false;
    compassDragActive = false;
    trimAxis = 0;
    baseRatios.clear();
    basePans.clear();
    depthTrimFactor = 1.0f;
    panTrimFactor = 1.0f;
}

void MasterXYPadComponent::resetSpreadState()
{
    spreadActive = false;
    spreadMode = SelectionSpreadMode::none;
    spreadKnobDriven = false;
}

void MasterXYPadComponent::resetTrimAndSpreadState()
{
    resetTrimState();
    resetSpreadState();
    spreadStartPositions.clear();
    lastSpreadFactor = 1.0f;
    baseSpreadProportion = 1.0f;
    minSpreadProportion = 0.08f;
    currentSpreadProportion = 1.0f;
}

bool MasterXYPadComponent::beginSelectionSpread (const PositionMap& positions,
                                                 SelectionSpreadMode mode,
                                                 bool knobDriven,
                                                 const juce::String& name)
{
    if (positions.size() < 2 || undoGestureActive || mode == SelectionSpreadMode::none)
        return false;

    spreadStartPositions = positions;
    spreadCentre = {};

    for (const auto& [id, p] : positions)
        spreadCentre += p;

    spreadCentre /= static_cast<float> (positions.size());

    const bool degenerate = std::all_of (positions.begin(), positions.end(), [this, mode] (const auto& entry) {
        const auto& p = entry.second;
        return std::abs (p.x - spreadCentre.x) <= 0.0001f
               && (mode == SelectionSpreadMode::panOnly || std::abs (p.y - spreadCentre.y) <= 0.0001f);
    });

    if (degenerate)
    {
        spreadStartPositions.clear();
        spreadMode = SelectionSpreadMode::none;
        return false;
    }

    spreadMode = mode;
    lastSpreadFactor = 1.0f;
    const auto widest = getMaxSelectionSpreadFactorForPositions (positions, spreadCentre, mode);
    baseSpreadProportion = currentSpreadProportion = widest > 1.0f ? 1.0f / widest : 1.0f;
    minSpreadProportion = std::min (baseSpreadProportion, 0.08f);
    spreadActive = true;
    spreadKnobDriven = knobDriven;
    resetTrimState();

    std::vector<juce::String> ids;

    for (const auto& [id, p] : positions)
        ids.push_back (id);

    beginUndoGesture (name, ids, UndoGestureKind::selectionSpread, AstrelCommandOrigin::masterPad);

    if (! undoGestureActive)
    {
        resetSpreadState();
        spreadStartPositions.clear();
        repaint();
        return false;
    }

    repaint();
    return true;
}

void MasterXYPadComponent::applySelectionSpreadFactor (float factor)
{
    if (! spreadActive || spreadStartPositions.size() < 2)
        return;

    const auto lowest = minSpreadProportion / std::max (baseSpreadProportion, 0.0001f);
    const auto highest = getMaxSelectionSpreadFactorForPositions (spreadStartPositions, spreadCentre, spreadMode);
    const auto f = factor < lowest ? lowest : std::min (factor, highest);

    if (! gestureChanged && std::abs (f - 1.0f) < 0.0005f)
    {
        lastSpreadFactor = 1.0f;
        return;
    }

    if (std::abs (f - lastSpreadFactor) < 0.0001f)
        return;

    lastSpreadFactor = f;
    const auto patches = buildSelectionSpreadPatchesForFactor (f, true);

    if (! patches.empty())
        sendGestureUpdate (patches);
}

std::vector<AstrelTargetPatch> MasterXYPadComponent::buildSelectionSpreadPatchesForFactor (float factor, bool writeToStatuses)
{
    std::vector<AstrelTargetPatch> patches;
    const bool radial = spreadMode != SelectionSpreadMode::panOnly;

    for (const auto& [id, start] : spreadStartPositions)
    {
        const auto status = statuses.find (id);

        if (status == statuses.end())
            continue;

        const juce::Point<float> scaled { spreadCentre.x + (start.x - spreadCentre.x) * factor,
                                          radial ? spreadCentre.y + (start.y - spreadCentre.y) * factor : start.y };
        const auto values = panAndRatioAt (scaled);

        AstrelTargetPatch patch;
        patch.pluginID = id;
        patch.pan = values.x;

        if (radial)
            patch.ratio = values.y;

        if (writeToStatuses)
        {
            status->second.pan = values.x;

            if (radial)
                status->second.ratio = values.y;
        }

        patches.push_back (std::move (patch));
    }

    return patches;
}

bool MasterXYPadComponent::beginKnobDrivenSpread (bool panOnly)
{
    if (undoGestureActive)
        return false;

    return beginSelectionSpread (getSelectedVisibleDotPositionsFromCurrentStatus(),
                                 panOnly ? SelectionSpreadMode::panOnly : SelectionSpreadMode::radial,
                                 true,
                                 panOnly ? "Pan Spread" : "Constellation Spread");
}

void MasterXYPadComponent::setKnobDrivenSpreadValue (float knobValue)
{
    if (! spreadActive || ! spreadKnobDriven)
        return;

    currentSpreadProportion = minSpreadProportion + (1.0f - minSpreadProportion) * juce::jlimit (0.0f, 1.0f, knobValue);
    applySelectionSpreadFactor (currentSpreadProportion / std::max (baseSpreadProportion, 0.0001f));
}

void MasterXYPadComponent::endKnobDrivenSpread (float knobValue)
{
    if (! spreadActive || ! spreadKnobDriven)
        return;

    setKnobDrivenSpreadValue (knobValue);
    const auto finalPatches = gestureChanged ? buildSelectionSpreadPatchesForFactor (lastSpreadFactor, false)
                                             : std::vector<AstrelTargetPatch>();
    endUndoGesture (finalPatches);
    repaint();
}

void MasterXYPadComponent::dragMouseSpread (juce::Point<float> position, bool shift)
{
    if (spreadStartPositions.size() < 2)
        return;

    const auto dy = position.y - lastSpreadDragPosition.y;
    lastSpreadDragPosition = position;
    const auto k = shift ? 0.0012f : 0.006f;
    currentSpreadProportion = juce::jlimit (minSpreadProportion, 1.0f, std::exp (-dy * k) * currentSpreadProportion);
    applySelectionSpreadFactor (currentSpreadProportion / std::max (baseSpreadProportion, 0.0001f));
}

//==============================================================================
void MasterXYPadComponent::takeTrimBaseline()
{
    baseRatios.clear();
    basePans.clear();

    for (const auto& [id, status] : statuses)
    {
        if (status.visible)
        {
            baseRatios[id] = status.ratio;
            basePans[id] = status.pan;
        }
    }
}

bool MasterXYPadComponent::beginWholefieldScrollGesture (ScrollGestureKind kind)
{
    if (kind != ScrollGestureKind::depthTrim && kind != ScrollGestureKind::panTrim)
        return false;

    takeTrimBaseline();

    if (baseRatios.empty())
        return false;

    const bool pan = kind == ScrollGestureKind::panTrim;
    trimSnapshotValid = true;
    compassDragActive = false;
    trimAxis = pan ? 2 : 1;
    depthTrimFactor = panTrimFactor = 1.0f;
    resetSpreadState();

    beginUndoGesture (pan ? "Wholefield Pan Trim" : "Wholefield Depth Trim",
                      visibleIDs(),
                      UndoGestureKind::wholefieldTrim,
                      AstrelCommandOrigin::masterPad);

    if (! undoGestureActive)
    {
        trimSnapshotValid = false;
        trimAxis = 0;
        baseRatios.clear();
        basePans.clear();
        return false;
    }

    wheelGestureKind = kind;
    return true;
}

std::vector<AstrelTargetPatch> MasterXYPadComponent::buildTrimPatches (bool writeToStatuses)
{
    std::vector<AstrelTargetPatch> patches;

    if (trimAxis == 0)
        return patches;

    const bool depth = trimAxis == 1 || trimAxis == 3;
    const bool pan = trimAxis == 2 || trimAxis == 3;

    for (const auto& [id, baseRatio] : baseRatios)
    {
        const auto status = statuses.find (id);

        if (status == statuses.end() || ! status->second.visible)
            continue;

        const auto basePan = basePans.count (id) > 0 ? basePans.at (id) : status->second.pan;
        AstrelTargetPatch patch;
        patch.pluginID = id;
        bool changed = false;

        if (depth)
        {
            const auto ratio = juce::jlimit (0.0f, 1.0f, baseRatio * depthTrimFactor);
            changed = changed || std::abs (ratio - status->second.ratio) > valueTolerance;
            patch.ratio = ratio;
        }

        if (pan)
        {
            const auto newPan = juce::jlimit (-1.0f, 1.0f, basePan * panTrimFactor);
            changed = changed || std::abs (newPan - status->second.pan) > valueTolerance;
            patch.pan = newPan;
        }

        if (writeToStatuses)
        {
            if (patch.ratio)
                status->second.ratio = *patch.ratio;

            if (patch.pan)
                status->second.pan = *patch.pan;
        }

        if (changed || ! writeToStatuses)
            patches.push_back (std::move (patch));
    }

    return patches;
}

void MasterXYPadComponent::applyTrimFactors()
{
    const auto patches = buildTrimPatches (true);

    if (! patches.empty() && undoGestureActive)
        sendGestureUpdate (patches);
}

void MasterXYPadComponent::finishScrollGesture()
{
    if (wheelGestureKind == ScrollGestureKind::none)
        return;

    const auto kind = wheelGestureKind;
    std::vector<AstrelTargetPatch> finalPatches;

    if (gestureChanged)
        finalPatches = kind == ScrollGestureKind::constellationSpread ? buildSelectionSpreadPatchesForFactor (lastSpreadFactor, false)
                                                                      : buildTrimPatches (false);

    wheelGestureKind = ScrollGestureKind::none;
    lastWheelTime = 0.0;
    endUndoGesture (finalPatches);

    if (kind != ScrollGestureKind::constellationSpread)
        resetTrimState();

    reevaluateTimer();
    repaint();
}

void MasterXYPadComponent::stepWheelGesture (ScrollGestureKind kind, float delta)
{
    const auto step = std::exp (0.42f * delta);

    if (kind == ScrollGestureKind::constellationSpread)
    {
        currentSpreadProportion = juce::jlimit (minSpreadProportion, 1.0f, step * currentSpreadProportion);
        applySelectionSpreadFactor (currentSpreadProportion / std::max (baseSpreadProportion, 0.0001f));
        return;
    }

    if (kind == ScrollGestureKind::depthTrim)
        depthTrimFactor = juce::jlimit (0.0f, 10.0f, step * depthTrimFactor);
    else
        panTrimFactor = juce::jlimit (0.0f, 10.0f, step * panTrimFactor);

    applyTrimFactors();
}

void MasterXYPadComponent::mouseWheelMove (const juce::MouseEvent& e, const juce::MouseWheelDetails& wheel)
{
    storeMouseState (e);

    auto delta = std::abs (wheel.deltaX) > std::abs (wheel.deltaY) ? -wheel.deltaX : wheel.deltaY;

    if (wheel.isReversed)
        delta = -delta;

    const bool command = e.mods.isCommandDown();

    if (! mouseInField || ! command || std::abs (delta) < 0.00001f)
    {
        if (! command)
            finishScrollGesture();

        Component::mouseWheelMove (e, wheel);
        return;
    }

    const auto selectedCount = selection.getSelectedIDs().size();

    if (selectedCount == 1)
    {
        finishScrollGesture();
        Component::mouseWheelMove (e, wheel);
        return;
    }

    const auto kind = selectedCount >= 2 ? ScrollGestureKind::constellationSpread
                                         : (e.mods.isShiftDown() ? ScrollGestureKind::panTrim : ScrollGestureKind::depthTrim);

    if (wheelGestureKind != ScrollGestureKind::none && wheelGestureKind != kind)
        finishScrollGesture();

    if (wheelGestureKind == ScrollGestureKind::none)
    {
        if (undoGestureActive)
            return;

        if (kind == ScrollGestureKind::constellationSpread)
        {
            if (! beginSelectionSpread (getSelectedVisibleDotPositionsFromCurrentStatus(),
                                        SelectionSpreadMode::radial,
                                        false,
                                        "Constellation Spread"))
                return;

            wheelGestureKind = kind;
        }
        else if (! beginWholefieldScrollGesture (kind))
        {
            return;
        }
    }

    stepWheelGesture (kind, delta);
    lastWheelTime = juce::Time::getMillisecondCounterHiRes();
    reevaluateTimer();
}

//==============================================================================
void MasterXYPadComponent::startCompassTrim (juce::Point<float> position)
{
    setCompassHovered (false);
    setHoveredGuide (GuideKind::none);
    activeGuide = GuideKind::none;
    guideTargetId = {};

    const auto visible = visibleIDs();
    const auto sameKeys = [&visible] (const std::map<juce::String, float>& base) {
        if (base.size() != visible.size())
            return false;

        return std::equal (visible.begin(), visible.end(), base.begin(), [] (const auto& id, const auto& entry) { return id == entry.first; });
    };

    if (! (sameKeys (baseRatios) && sameKeys (basePans)))
        resetTrimState();

    if (! trimSnapshotValid)
        takeTrimBaseline();

    trimSnapshotValid = true;
    compassDragActive = true;
    trimAxis = 0;
    compassDragStart = compassReference = position;
    resetSpreadState();

    beginUndoGesture ("Master Trim", visible, UndoGestureKind::wholefieldTrim, AstrelCommandOrigin::masterPad);
    repaint();
}

void MasterXYPadComponent::dragCompassTrim (juce::Point<float> position, bool shift)
{
    if (trimAxis == 0)
    {
        const auto fromStart = position - compassDragStart;

        if (std::max (std::abs (fromStart.x), std::abs (fromStart.y)) < 3.0f)
            return;

        trimAxis = shift ? 3 : (std::abs (fromStart.x) < std::abs (fromStart.y) ? 1 : 2);
        compassReference = position;
        repaint();
        return;
    }

    const auto d = position - compassReference;

    if (shift)
        trimAxis = 3;

    if (trimAxis == 1 || trimAxis == 3)
        depthTrimFactor = juce::jlimit (0.0f, 10.0f, depthTrimFactor - d.y / 150.0f);

    if (trimAxis == 2 || trimAxis == 3)
        panTrimFactor = juce::jlimit (0.0f, 10.0f, panTrimFactor + d.x / 150.0f);

    compassReference = position;
    applyTrimFactors();
}
