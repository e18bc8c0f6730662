#pragma once

#include "SharedStatusManager.h"

#include <juce_data_structures/juce_data_structures.h>

#include <atomic>
#include <map>
#include <optional>
#include <vector>

/** The change requested for one instance; an engaged value means "set this", a disengaged
    one "leave it". */
struct AstrelTargetPatch
{
    juce::String pluginID;
    std::optional<float> pan;
    std::optional<float> ratio;
    std::optional<float> sideLowCutHz;
    std::optional<bool> monoBass;
    std::optional<bool> bypass;
    std::optional<float> spotlightPercent;
    std::optional<float> gainTrimDb;
    std::optional<bool> visible;
    std::optional<bool> muted;
    std::optional<bool> soloed;
    std::optional<bool> listenMono;
    std::optional<juce::String> trackName;

    bool isEmpty() const noexcept
    {
        return ! (pan || ratio || sideLowCutHz || monoBass || bypass || spotlightPercent || gainTrimDb || visible || muted
                  || soloed || listenMono || trackName);
    }
};

/** The values of one instance as an undo step saw them. */
struct AstrelUndoState
{
    juce::String pluginID;
    bool hasPosition = true;
    float pan = 0.0f;
    float ratio = 0.0f;
    bool hasSideLowCut = true;
    float sideLowCutHz = 0.0f;
    bool hasMonoBass = true;
    bool monoBass = false;
    bool hasBypass = true;
    bool bypass = false;
    bool hasSpotlight = true;
    float spotlightPercent = 0.0f;
    bool hasGainTrim = true;
    float gainTrimDb = 0.0f;
    bool hasTrackName = true;
    juce::String trackName;

    /** Equal within the tolerances below which an edit counts as no change. */
    bool isEquivalentTo (const AstrelUndoState& other) const noexcept;
};

class AstrelUndoController;

/** One recorded edit: the before and after states of its instances. */
class AstrelUndoableAction : public juce::UndoableAction
{
public:
    AstrelUndoableAction (AstrelUndoController& owner,
                          std::vector<AstrelUndoState> before,
                          std::vector<AstrelUndoState> after);

    bool perform() override;
    bool undo() override;
    int getSizeInUnits() override;

private:
    AstrelUndoController& owner;
    std::vector<AstrelUndoState> before, after;
    bool skipFirstPerform = true;
};

/**
    The one undo history of the process, shared by every editor. An edit snapshots its
    targets from the registry when it starts; when it ends, the after states come from the
    commands sent, and undo and redo replay the snapshots as commands.
*/
class AstrelUndoController
{
public:
    explicit AstrelUndoController (SharedStatusManager& registry);

    std::vector<AstrelUndoState> captureStatesForIDs (const std::vector<juce::String>& ids) const;

    void beginGesture (const juce::String& transactionName, const std::vector<juce::String>& ids);
    void endGestureWithCommands (const std::vector<AstrelCommand>& commands);
    void cancelGesture();

    /** Sends states to their instances at once, without recording anything. */
    void applyStates (const std::vector<AstrelUndoState>& states);

    bool canUndo() const;
    bool canRedo() const;
    bool undo();
    bool redo();
    juce::String getUndoDescription() const;
    juce::String getRedoDescription() const;

    juce::UndoManager& getUndoManager() noexcept { return undoManager; }

private:
    SharedStatusManager& registry;
    juce::UndoManager undoManager;
    juce::CriticalSection undoLock;
    bool pendingGesture = false;
    juce::String pendingName;
    std::vector<AstrelUndoState> pendingBefore;
    bool isApplyingStates = false;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (AstrelUndoController)
};

/**
    The single way editors change instances: one-shot edits and gestures become numbered
    commands, one per target, handed to the registry. One gesture runs at a time per process.
*/
class AstrelCommandController
{
public:
    struct ActiveGesture
    {
        std::uint64_t gestureId = 0;
        juce::String name;
        std::vector<juce::String> targetIDs;
        AstrelCommandOrigin origin = AstrelCommandOrigin::inspector;
        AstrelUndoPolicy undoPolicy = AstrelUndoPolicy::record;
        std::uint32_t paramMask = 0;
        std::map<juce::String, AstrelTargetPatch> latestPatches;
    };

    explicit AstrelCommandController (SharedStatusManager& registry);

    static AstrelTargetPatch sanitise (const AstrelTargetPatch& patch);

    std::vector<AstrelCommand> perform (const juce::String& name,
                                        const std::vector<AstrelTargetPatch>& patches,
                                        AstrelCommandOrigin origin,
                                        AstrelUndoPolicy undoPolicy,
                                        AstrelCommandDelivery delivery);

    std::uint64_t beginGesture (const juce::String& name,
                                const std::vector<juce::String>& targetIDs,
                                AstrelCommandOrigin origin,
                                std::uint32_t paramMask);
    void updateGesture (std::uint64_t gestureId, const std::vector<AstrelTargetPatch>& patches);
    void endGesture (std::uint64_t gestureId, const std::vector<AstrelTargetPatch>& finalPatches);
    void cancelGesture (std::uint64_t gestureId);

    AstrelCommand makeCommand (const ActiveGesture& gesture, AstrelCommandPhase phase, const AstrelTargetPatch& patch) const;

    /** The id of the running gesture, or 0. */
    std::uint64_t getActiveGestureId() const;

private:
    void dispatch (AstrelCommand command);

    /** Sanitises the patches, merges those for the gesture's targets into its latest values
        and returns them. Called with the gesture lock held. */
    static std::vector<AstrelTargetPatch> mergeIntoGesture (ActiveGesture& gesture,
                                                            const std::vector<AstrelTargetPatch>& patches);

    SharedStatusManager& registry;
    std::atomic<std::uint64_t> nextCommandSequence { 1 };
    std::atomic<std::uint64_t> nextGestureId { 1 };
    juce::CriticalSection gestureLock;
    std::optional<ActiveGesture> activeGesture;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (AstrelCommandController)
};
