#include "AstrelUndoController.h"

#include <algorithm>
#include <cmath>

namespace
{
    /** The distinct non-empty ids, in the order they first appear. */
    std::vector<juce::String> distinctIDs (const std::vector<juce::String>& ids)
    {
        std::vector<juce::String> result;

        for (const auto& id : ids)
            if (id.isNotEmpty() && std::find (result.begin(), result.end(), id) == result.end())
                result.push_back (id);

        return result;
    }

    bool passesFilter (const AstrelTargetPatch& sanitised)
    {
        return sanitised.pluginID.isNotEmpty() && ! sanitised.isEmpty();
    }

    void copyValueBlock (const AstrelTargetPatch& patch, AstrelCommand& command)
    {
        command.pan = patch.pan;
        command.ratio = patch.ratio;
        command.sideLowCutHz = patch.sideLowCutHz;
        command.monoBass = patch.monoBass;
        command.bypass = patch.bypass;
        command.spotlightPercent = patch.spotlightPercent;
        command.gainTrimDb = patch.gainTrimDb;
        command.visible = patch.visible;
        command.muted = patch.muted;
        command.soloed = patch.soloed;
        command.listenMono = patch.listenMono;
        command.trackName = patch.trackName;
    }

    /** Every engaged field of the patch overwrites the merged one. */
    void mergeInto (AstrelTargetPatch& merged, const AstrelTargetPatch& patch)
    {
        const auto take = [] (auto& into, const auto& from) {
            if (from)
                into = from;
        };

        take (merged.pan, patch.pan);
        take (merged.ratio, patch.ratio);
        take (merged.sideLowCutHz, patch.sideLowCutHz);
        take (merged.monoBass, patch.monoBass);
        take (merged.bypass, patch.bypass);
        take (merged.spotlightPercent, patch.spotlightPercent);
        take (merged.gainTrimDb, patch.gainTrimDb);
        take (merged.visible, patch.visible);
        take (merged.muted, patch.muted);
        take (merged.soloed, patch.soloed);
        take (merged.listenMono, patch.listenMono);
        take (merged.trackName, patch.trackName);
    }

    bool isTarget (const AstrelCommandController::ActiveGesture& gesture, const juce::String& id)
    {
        return std::find (gesture.targetIDs.begin(), gesture.targetIDs.end(), id) != gesture.targetIDs.end();
    }

    AstrelTargetPatch patchWithoutValues (const juce::String& id)
    {
        AstrelTargetPatch patch;
        patch.pluginID = id;
        return patch;
    }

    bool within (float a, float b, float tolerance) noexcept
    {
        return std::abs (a - b) <= tolerance;
    }
} // namespace

//==============================================================================
bool AstrelUndoState::isEquivalentTo (const AstrelUndoState& other) const noexcept
{
    if (hasPosition != other.hasPosition || hasSideLowCut != other.hasSideLowCut || hasMonoBass != other.hasMonoBass
        || hasBypass != other.hasBypass || hasSpotlight != other.hasSpotlight || hasGainTrim != other.hasGainTrim
        || hasTrackName != other.hasTrackName)
        return false;

    return (! hasPosition || (within (pan, other.pan, 0.0005f) && within (ratio, other.ratio, 0.0005f)))
           && (! hasSideLowCut || within (sideLowCutHz, other.sideLowCutHz, 0.05f))
           && (! hasMonoBass || monoBass == other.monoBass) && (! hasBypass || bypass == other.bypass)
           && (! hasSpotlight || within (spotlightPercent, other.spotlightPercent, 0.005f))
           && (! hasGainTrim || within (gainTrimDb, other.gainTrimDb, 0.0005f))
           && (! hasTrackName || trackName == other.trackName);
}

//==============================================================================
AstrelUndoableAction::AstrelUndoableAction (AstrelUndoController& controller,
                                            std::vector<AstrelUndoState> beforeStates,
                                            std::vector<AstrelUndoState> afterStates)
    : owner (controller), before (std::move (beforeStates)), after (std::move (afterStates))
{
}

bool AstrelUndoableAction::perform()
{
    // The first perform comes from the undo manager as the step is recorded; the values
    // have already reached the instances through the edit's own commands.
    if (skipFirstPerform)
    {
        skipFirstPerform = false;
        return true;
    }

    owner.applyStates (after);
    return true;
}

bool AstrelUndoableAction::undo()
{
    owner.applyStates (before);
    return true;
}

int AstrelUndoableAction::getSizeInUnits()
{
    return std::max (1, static_cast<int> (before.size() + after.size()));
}

//==============================================================================
AstrelUndoController::AstrelUndoController (SharedStatusManager& owner) : registry (owner) {}

std::vector<AstrelUndoState> AstrelUndoController::captureStatesForIDs (const std::vector<juce::String>& ids) const
{
    const auto statuses = registry.getStatuses();
    std::vector<AstrelUndoState> states;

    for (const auto& id : distinctIDs (ids))
    {
        const auto status = statuses.find (id);

        if (status == statuses.end())
            continue;

        AstrelUndoState state;
        state.pluginID = id;
        state.pan = status->second.pan;
        state.ratio = status->second.ratio;
        state.sideLowCutHz = status->second.sideLowCutHz;
        state.monoBass = status->second.monoBass;
        state.bypass = status->second.bypass;
        state.spotlightPercent = status->second.spotlightPercent;
        state.gainTrimDb = status->second.gainTrimDb;
        state.trackName = status->second.trackName;
        states.push_back (state);
    }

    return states;
}

void AstrelUndoController::beginGesture (const juce::String& transactionName, const std::vector<juce::String>& ids)
{
    auto before = captureStatesForIDs (ids);

    if (before.empty())
        return;

    const juce::ScopedLock sl (undoLock);
    pendingGesture = true;
    pendingName = transactionName;
    pendingBefore = std::move (before);
}

void AstrelUndoController::cancelGesture()
{
    const juce::ScopedLock sl (undoLock);
    pendingGesture = false;
    pendingName.clear();
    pendingBefore.clear();
}

void AstrelUndoController::endGestureWithCommands (const std::vector<AstrelCommand>& commands)
{
    std::vector<AstrelUndoState> before;
    juce::String name;

    {
        const juce::ScopedLock sl (undoLock);

        if (! pendingGesture)
            return;

        before = std::move (pendingBefore);
        name = pendingName;
        pendingBefore.clear();
        pendingName.clear();
        pendingGesture = false;
    }

    std::vector<AstrelUndoState> after;

    if (commands.empty())
    {
        std::vector<juce::String> ids;

        for (const auto& state : before)
            ids.push_back (state.pluginID);

        after = captureStatesForIDs (ids);
    }
    else
    {
        after = before;

        for (const auto& command : commands)
        {
            if (command.targetPluginID.isEmpty())
                continue;

            auto state = std::find_if (after.begin(), after.end(), [&command] (const AstrelUndoState& s) {
                return s.pluginID == command.targetPluginID;
            });

            if (state == after.end())
                continue;

            if (command.pan)
            {
                state->pan = juce::jlimit (-1.0f, 1.0f, *command.pan);
                state->hasPosition = true;
            }

            if (command.ratio)
            {
                state->ratio = juce::jlimit (0.0f, 1.0f, *command.ratio);
                state->hasPosition = true;
            }

            if (command.sideLowCutHz)
            {
                state->sideLowCutHz = std::max (0.0f, *command.sideLowCutHz);
                state->hasSideLowCut = true;
            }

            if (command.monoBass)
            {
                state->monoBass = *command.monoBass;
                state->hasMonoBass = true;
            }

            if (command.bypass)
            {
                state->bypass = *command.bypass;
                state->hasBypass = true;
            }

            if (command.spotlightPercent)
            {
                state->spotlightPercent = juce::jlimit (0.0f, 100.0f, *command.spotlightPercent);
                state->hasSpotlight = true;
            }

            if (command.gainTrimDb)
            {
                state->gainTrimDb = juce::jlimit (-12.0f, 12.0f, *command.gainTrimDb);
                state->hasGainTrim = true;
            }

            if (command.trackName)
            {
                state->trackName = *command.trackName;
                state->hasTrackName = true;
            }
        }
    }

    if (isApplyingStates)
        return;

    const bool changed = std::any_of (before.begin(), before.end(), [&after] (const AstrelUndoState& b) {
        const auto a = std::find_if (after.begin(), after.end(), [&b] (const AstrelUndoState& s) {
            return s.pluginID == b.pluginID;
        });

        return a != after.end() && ! b.isEquivalentTo (*a);
    });

    if (! changed)
        return;

    undoManager.beginNewTransaction (name.trim().isEmpty() ? juce::String ("Astrel Edit") : name);
    undoManager.perform (new AstrelUndoableAction (*this, std::move (before), std::move (after)));
}

void AstrelUndoController::applyStates (const std::vector<AstrelUndoState>& states)
{
    const auto wasApplying = isApplyingStates;
    isApplyingStates = true;

    std::vector<AstrelTargetPatch> patches;

    for (const auto& state : states)
    {
        if (state.pluginID.isEmpty())
            continue;

        AstrelTargetPatch patch;
        patch.pluginID = state.pluginID;

        if (state.hasPosition)
        {
            patch.pan = juce::jlimit (-1.0f, 1.0f, state.pan);
            patch.ratio = juce::jlimit (0.0f, 1.0f, state.ratio);
        }

        if (state.hasSideLowCut)
            patch.sideLowCutHz = std::max (0.0f, state.sideLowCutHz);
        if (state.hasMonoBass)
            patch.monoBass = state.monoBass;
        if (state.hasBypass)
            patch.bypass = state.bypass;
        if (state.hasSpotlight)
            patch.spotlightPercent = juce::jlimit (0.0f, 100.0f, state.spotlightPercent);
        if (state.hasGainTrim)
            patch.gainTrimDb = juce::jlimit (-12.0f, 12.0f, state.gainTrimDb);
        if (state.hasTrackName)
            patch.trackName = state.trackName;

        patches.push_back (patch);
    }

    registry.getCommandController().perform ("Undo/Redo",
                                             patches,
                                             AstrelCommandOrigin::undoRedo,
                                             AstrelUndoPolicy::none,
                                             AstrelCommandDelivery::immediate);
    isApplyingStates = wasApplying;
}

bool AstrelUndoController::canUndo() const
{
    return undoManager.canUndo();
}

bool AstrelUndoController::canRedo() const
{
    return undoManager.canRedo();
}

bool AstrelUndoController::undo()
{
    return undoManager.undo();
}

bool AstrelUndoController::redo()
{
    return undoManager.redo();
}

juce::String AstrelUndoController::getUndoDescription() const
{
    return undoManager.getUndoDescription();
}

juce::String AstrelUndoController::getRedoDescription() const
{
    return undoManager.getRedoDescription();
}

//==============================================================================
AstrelCommandController::AstrelCommandController (SharedStatusManager& owner) : registry (owner) {}

AstrelTargetPatch AstrelCommandController::sanitise (const AstrelTargetPatch& patch)
{
    auto result = patch;

    // A NaN carries no value at all, so it is dropped; everything else is clamped.
    const auto clamp = [] (std::optional<float>& value, float low, float high) {
        if (value && std::isnan (*value))
            value.reset();
        else if (value)
            value = juce::jlimit (low, high, *value);
    };

    clamp (result.pan, -1.0f, 1.0f);
    clamp (result.ratio, 0.0f, 1.0f);
    clamp (result.sideLowCutHz, 0.0f, 2000.0f);
    clamp (result.spotlightPercent, 0.0f, 100.0f);
    clamp (result.gainTrimDb, -12.0f, 12.0f);

    if (result.trackName)
    {
        auto name = result.trackName->trim().substring (0, 64);
        result.trackName = name.isEmpty() ? juce::String ("Track") : name;
    }

    return result;
}

void AstrelCommandController::dispatch (AstrelCommand command)
{
    command.sequence = nextCommandSequence.fetch_add (1);
    registry.dispatchCommand (command);
}

std::vector<AstrelCommand> AstrelCommandController::perform (const juce::String& name,
                                                             const std::vector<AstrelTargetPatch>& patches,
                                                             AstrelCommandOrigin origin,
                                                             AstrelUndoPolicy undoPolicy,
                                                             AstrelCommandDelivery delivery)
{
    std::vector<AstrelTargetPatch> retained;
    std::vector<juce::String> ids;

    for (const auto& patch : patches)
    {
        auto sanitised = sanitise (patch);

        if (! passesFilter (sanitised))
            continue;

        ids.push_back (sanitised.pluginID);
        retained.push_back (std::move (sanitised));
    }

    if (retained.empty())
        return {};

    const bool record = undoPolicy == AstrelUndoPolicy::record;

    if (record)
        registry.getUndoController().beginGesture (name, distinctIDs (ids));

    std::vector<AstrelCommand> sent;

    for (const auto& patch : retained)
    {
        AstrelCommand command;
        command.sequence = nextCommandSequence.fetch_add (1);
        command.gestureId = 0;
        command.targetPluginID = patch.pluginID;
        command.origin = origin;
        command.phase = AstrelCommandPhase::oneShot;
        command.delivery = delivery;
        command.undoPolicy = undoPolicy;
        command.paramMask = 0;
        copyValueBlock (patch, command);
        command.rampMs = 450.0;
        registry.dispatchCommand (command);
        sent.push_back (command);
    }

    if (record)
        registry.getUndoController().endGestureWithCommands (sent);

    return sent;
}

std::uint64_t AstrelCommandController::beginGesture (const juce::String& name,
                                                     const std::vector<juce::String>& targetIDs,
                                                     AstrelCommandOrigin origin,
                                                     std::uint32_t paramMask)
{
    if (const auto running = getActiveGestureId(); running != 0)
        cancelGesture (running);

    ActiveGesture gesture;
    gesture.targetIDs = distinctIDs (targetIDs);

    if (gesture.targetIDs.empty())
        return 0;

    gesture.gestureId = nextGestureId.fetch_add (1);
    gesture.name = name;
    gesture.origin = origin;
    gesture.undoPolicy = AstrelUndoPolicy::record;
    gesture.paramMask = paramMask;

    {
        const juce::ScopedLock sl (gestureLock);
        activeGesture = gesture;
    }

    registry.getUndoController().beginGesture (name, gesture.targetIDs);

    for (const auto& target : gesture.targetIDs)
        dispatch (makeCommand (gesture, AstrelCommandPhase::begin, patchWithoutValues (target)));

    return gesture.gestureId;
}

std::vector<AstrelTargetPatch> AstrelCommandController::mergeIntoGesture (ActiveGesture& gesture,
                                                                        const std::vector<AstrelTargetPatch>& patches)
{
    std::vector<AstrelTargetPatch> merged;

    for (const auto& patch : patches)
    {
        auto sanitised = sanitise (patch);

        if (! passesFilter (sanitised) || ! isTarget (gesture, sanitised.pluginID))
            continue;

        auto& latest = gesture.latestPatches[sanitised.pluginID];
        latest.pluginID = sanitised.pluginID;
        mergeInto (latest, sanitised);
        merged.push_back (std::move (sanitised));
    }

    return merged;
}

void AstrelCommandController::updateGesture (std::uint64_t gestureId, const std::vector<AstrelTargetPatch>& patches)
{
    ActiveGesture gesture;
    std::vector<AstrelTargetPatch> toSend;

    {
        const juce::ScopedLock sl (gestureLock);

        if (! activeGesture || activeGesture->gestureId != gestureId)
            return;

        toSend = mergeIntoGesture (*activeGesture, patches);
        gesture = *activeGesture;
    }

    for (const auto& patch : toSend)
        dispatch (makeCommand (gesture, AstrelCommandPhase::update, patch));
}

void AstrelCommandController::endGesture (std::uint64_t gestureId, const std::vector<AstrelTargetPatch>& finalPatches)
{
    ActiveGesture gesture;

    {
        const juce::ScopedLock sl (gestureLock);

        if (! activeGesture || activeGesture->gestureId != gestureId)
            return;

        mergeIntoGesture (*activeGesture, finalPatches);
        gesture = std::move (*activeGesture);
        activeGesture.reset();
    }

    std::vector<AstrelCommand> withValues;

    for (const auto& target : gesture.targetIDs)
    {
        const auto latest = gesture.latestPatches.find (target);
        const auto patch = latest != gesture.latestPatches.end() ? latest->second : patchWithoutValues (target);

        auto command = makeCommand (gesture, AstrelCommandPhase::end, patch);
        command.sequence = nextCommandSequence.fetch_add (1);
        registry.dispatchCommand (command);

        if (! patch.isEmpty())
            withValues.push_back (command);
    }

    if (withValues.empty())
        registry.getUndoController().cancelGesture();
    else
        registry.getUndoController().endGestureWithCommands (withValues);
}

void AstrelCommandController::cancelGesture (std::uint64_t gestureId)
{
    ActiveGesture gesture;

    {
        const juce::ScopedLock sl (gestureLock);

        if (! activeGesture || activeGesture->gestureId != gestureId)
            return;

        gesture = std::move (*activeGesture);
        activeGesture.reset();
    }

    registry.discardPendingStatesOfGesture (gestureId);

    for (const auto& target : gesture.targetIDs)
        dispatch (makeCommand (gesture, AstrelCommandPhase::cancel, patchWithoutValues (target)));

    registry.getUndoController().cancelGesture();
}

AstrelCommand AstrelCommandController::makeCommand (const ActiveGesture& gesture,
                                                    AstrelCommandPhase phase,
                                                    const AstrelTargetPatch& patch) const
{
    AstrelCommand command;
    command.sequence = 0;
    command.gestureId = gesture.gestureId;
    command.origin = gesture.origin;
    command.undoPolicy = gesture.undoPolicy;
    command.paramMask = gesture.paramMask;
    command.targetPluginID = patch.pluginID;
    command.phase = phase;
    command.delivery = AstrelCommandDelivery::immediate;
    copyValueBlock (patch, command);
    command.rampMs = 450.0;
    return command;
}

std::uint64_t AstrelCommandController::getActiveGestureId() const
{
    const juce::ScopedLock sl (gestureLock);
    return activeGesture ? activeGesture->gestureId : 0;
}
