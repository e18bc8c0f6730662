#pragma once

#include <juce_core/juce_core.h>

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <vector>

/** What one instance publishes about itself, plus the flags the registry owns for it. */
struct PluginStatus
{
    juce::String pluginID;
    juce::String trackName;
    float pan = 0.0f;
    float ratio = 0.0f;
    float sideLowCutHz = 0.0f;
    bool monoBass = false;
    bool bypass = false;
    float spotlightPercent = 0.0f;
    float gainTrimDb = 0.0f;
    double lastUpdateMs = 0.0;
    std::uint64_t appliedCommandSequence = 0;

    // Owned by the registry: changed only by commands, never published by the instance.
    bool visible = true;
    bool muted = false;
    bool listenMono = false;
    bool soloed = false;
};

/** The latest metering of one instance. */
struct MeteringFrame
{
    float peakLeft = 0.0f;
    float peakRight = 0.0f;
    float correlation = 0.0f;
    bool correlationValid = false;
    float midRms = 0.0f;
    float sideRms = 0.0f;
    float chaos = 0.0f;
    std::uint64_t sequence = 0;
    double timestampMs = 0.0;
};

enum class AstrelCommandPhase
{
    begin = 0,
    update = 1,
    end = 2,
    cancel = 3,
    oneShot = 4
};

enum class AstrelCommandOrigin
{
    masterPad = 0,
    inspector = 1,
    instanceList = 2,
    editorAction = 3,
    slotRecall = 4,
    undoRedo = 5
};

enum class AstrelCommandDelivery
{
    immediate = 0,
    ramped = 1
};

enum class AstrelUndoPolicy
{
    none = 0,
    record = 1
};

/** Bits of AstrelCommand::paramMask and of the processors' host gesture masks. */
namespace AstrelParameterMask
{
    enum : std::uint32_t
    {
        pan = 1,
        ratio = 2,
        sideLowCutHz = 4,
        monoBass = 8,
        bypass = 16,
        spotlight = 32,
        gainTrimDb = 64
    };
}

/** One edit addressed to one instance, numbered by the command controller. */
struct AstrelCommand
{
    std::uint64_t sequence = 0;
    std::uint64_t gestureId = 0;
    juce::String targetPluginID;
    AstrelCommandOrigin origin = AstrelCommandOrigin::inspector;
    AstrelCommandPhase phase = AstrelCommandPhase::oneShot;
    AstrelCommandDelivery delivery = AstrelCommandDelivery::immediate;
    AstrelUndoPolicy undoPolicy = AstrelUndoPolicy::none;
    std::uint32_t paramMask = 0;

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

    double rampMs = 450.0;

    /** Whether the command carries any of the values the instance itself applies. */
    bool carriesInstanceValues() const noexcept
    {
        return pan || ratio || sideLowCutHz || monoBass || bypass || spotlightPercent || gainTrimDb || trackName;
    }
};

/** One instance inside a stored wholefield slot. */
struct WholefieldInstanceState
{
    juce::String pluginID;
    juce::String trackName;
    float pan = 0.0f;
    float ratio = 0.0f;
    float sideLowCutHz = 0.0f;
    bool monoBass = false;
    float spotlightPercent = 0.0f;
    float gainTrimDb = 0.0f;
};

/** A stored snapshot of the whole field. */
struct WholefieldSlot
{
    bool hasLayout = false;
    double storedAt = 0.0;
    std::int32_t revision = 0;
    std::vector<WholefieldInstanceState> instances;
};

/** The four slots of the process, the one last stored or recalled, and their revision. */
struct WholefieldSlotsState
{
    static constexpr int numSlots = 4;

    std::array<WholefieldSlot, numSlots> slots;
    std::int32_t currentSlotIndex = -1;
    std::int32_t revision = 0;
};

class AstrelUndoController;
class AstrelCommandController;

/**
    The process-wide registry of Astrel instances.

    One object is shared by every processor and editor of the host process through
    juce::SharedResourcePointer. It has two locks, one for the status side and one for the
    metering table; no operation holds both at once or calls out while holding one, and every
    read hands back a copy.
*/
class SharedStatusManager
{
public:
    /** Values an editor has sent to an instance that the instance has not confirmed yet. */
    struct PendingOptimisticState
    {
        std::uint64_t gestureId = 0;
        std::uint64_t commandSequence = 0;
        std::optional<float> pan;
        std::optional<float> ratio;
        std::optional<float> sideLowCutHz;
        std::optional<bool> monoBass;
        std::optional<bool> bypass;
        std::optional<float> spotlightPercent;
        std::optional<float> gainTrimDb;
        std::optional<juce::String> trackName;
    };

    using StatusMap = std::map<juce::String, PluginStatus>;
    using MeteringMap = std::map<juce::String, MeteringFrame>;

    /** Instances whose status is older than this are purged by the editors. */
    static constexpr double staleStatusTimeoutMs = 10000.0;

    SharedStatusManager();
    ~SharedStatusManager();

    juce::String reserveUniquePluginID (const juce::String& requestedID);
    void releasePluginID (const juce::String& id);
    void removeStatus (const juce::String& id);

    void publishStatus (const PluginStatus& status);
    void publishMeteringFrame (const juce::String& id, const MeteringFrame& frame);

    StatusMap getStatuses() const;
    MeteringMap getMeteringFrames() const;
    std::vector<juce::String> getInsertionOrder() const;

    bool areAllBypassed() const;
    bool isAnyInstanceSoloed() const;

    void purgeStaleStatuses (double nowMs);

    /** Applies the registry's flags at once, records an optimistic override and queues the rest. */
    void dispatchCommand (const AstrelCommand& command);

    /** Moves the commands queued for an instance out of the registry, in queue order. */
    std::vector<AstrelCommand> takeQueuedCommands (const juce::String& pluginID);

    /** The one undo history and the one command controller of the process. */
    AstrelUndoController& getUndoController() noexcept { return *undoController; }
    AstrelCommandController& getCommandController() noexcept { return *commandController; }

    void discardPendingStatesOfGesture (std::uint64_t gestureId);

    WholefieldSlotsState getWholefieldSlotsState() const;
    std::int32_t getWholefieldSlotsRevision() const;

    /** Takes the candidate's slots when its revision is above the registry's. */
    void importWholefieldSlotsIfNewer (const WholefieldSlotsState& candidate);

    /** Stores a layout in slot 0 to 3 (other indices are ignored) and makes it current. */
    void writeWholefieldSlot (int index, const std::vector<WholefieldInstanceState>& instances, double storedAt);

    /** Makes a stored slot current; false when it is empty, already current or out of range. */
    bool selectWholefieldSlot (int index);

    static juce::String serialiseWholefieldSlotsState (const WholefieldSlotsState& state);

    /** Reads the slots' text; anything malformed gives defaults, never a failure. */
    static WholefieldSlotsState deserialiseWholefieldSlotsState (const juce::String& text);

private:
    static juce::String makeRandomID();
    void eraseStatusEntriesLocked (const juce::String& id);

    juce::CriticalSection statusLock;
    StatusMap statuses;
    juce::CriticalSection meteringLock;
    MeteringMap meteringFrames;
    std::set<juce::String> reservedIDs;
    std::vector<juce::String> insertionOrder;
    std::map<juce::String, std::vector<AstrelCommand>> commandQueues;
    std::map<juce::String, PendingOptimisticState> pendingStates;
    WholefieldSlotsState wholefieldSlots;

    // Destroyed in reverse order: the command controller first (an open gesture is dropped
    // without sending anything), then the undo controller, then the tables above.
    std::unique_ptr<AstrelUndoController> undoController;
    std::unique_ptr<AstrelCommandController> commandController;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (SharedStatusManager)
};
