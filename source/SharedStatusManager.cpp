#include "SharedStatusManager.h"

#include "AstrelUndoController.h"
#include "TextChecks.h"

#include <algorithm>

SharedStatusManager::SharedStatusManager()
    : undoController (std::make_unique<AstrelUndoController> (*this)),
      commandController (std::make_unique<AstrelCommandController> (*this))
{
}

SharedStatusManager::~SharedStatusManager()
{
    commandController.reset();
    undoController.reset();
}

juce::String SharedStatusManager::makeRandomID()
{
    return juce::Uuid().toString();
}

juce::String SharedStatusManager::reserveUniquePluginID (const juce::String& requestedID)
{
    auto id = requestedID.trim();

    if (id.isEmpty())
        id = makeRandomID();

    const juce::ScopedLock sl (statusLock);

    while (reservedIDs.count (id) > 0)
        id = makeRandomID();

    reservedIDs.insert (id);
    return id;
}

void SharedStatusManager::releasePluginID (const juce::String& id)
{
    {
        const juce::ScopedLock sl (statusLock);
        reservedIDs.erase (id);
    }

    const juce::ScopedLock sl (meteringLock);
    meteringFrames.erase (id);
}

void SharedStatusManager::eraseStatusEntriesLocked (const juce::String& id)
{
    statuses.erase (id);
    reservedIDs.erase (id);
    commandQueues.erase (id);
    pendingStates.erase (id);
    insertionOrder.erase (std::remove (insertionOrder.begin(), insertionOrder.end(), id), insertionOrder.end());
}

void SharedStatusManager::removeStatus (const juce::String& id)
{
    {
        const juce::ScopedLock sl (statusLock);
        eraseStatusEntriesLocked (id);
    }

    const juce::ScopedLock sl (meteringLock);
    meteringFrames.erase (id);
}

void SharedStatusManager::publishStatus (const PluginStatus& status)
{
    const juce::ScopedLock sl (statusLock);

    auto existing = statuses.find (status.pluginID);

    if (existing != statuses.end())
    {
        auto& entry = existing->second;
        entry.trackName = status.trackName;
        entry.pan = status.pan;
        entry.ratio = status.ratio;
        entry.sideLowCutHz = status.sideLowCutHz;
        entry.monoBass = status.monoBass;
        entry.bypass = status.bypass;
        entry.spotlightPercent = status.spotlightPercent;
        entry.gainTrimDb = status.gainTrimDb;
        entry.lastUpdateMs = status.lastUpdateMs;
        entry.appliedCommandSequence = status.appliedCommandSequence;
    }
    else
    {
        auto entry = status;
        entry.visible = true;
        entry.muted = false;
        entry.listenMono = false;
        entry.soloed = false;
        statuses.emplace (status.pluginID, entry);
        insertionOrder.push_back (status.pluginID);
    }

    auto pending = pendingStates.find (status.pluginID);

    if (pending != pendingStates.end() && status.appliedCommandSequence >= pending->second.commandSequence)
        pendingStates.erase (pending);
}

void SharedStatusManager::publishMeteringFrame (const juce::String& id, const MeteringFrame& frame)
{
    const juce::ScopedLock sl (meteringLock);
    meteringFrames[id] = frame;
}

SharedStatusManager::StatusMap SharedStatusManager::getStatuses() const
{
    const juce::ScopedLock sl (statusLock);

    auto copy = statuses;

    for (const auto& [id, pending] : pendingStates)
    {
        auto entry = copy.find (id);

        if (entry == copy.end())
            continue;

        auto& status = entry->second;

        if (pending.pan)
            status.pan = *pending.pan;
        if (pending.ratio)
            status.ratio = *pending.ratio;
        if (pending.sideLowCutHz)
            status.sideLowCutHz = *pending.sideLowCutHz;
        if (pending.monoBass)
            status.monoBass = *pending.monoBass;
        if (pending.bypass)
            status.bypass = *pending.bypass;
        if (pending.spotlightPercent)
            status.spotlightPercent = *pending.spotlightPercent;
        if (pending.gainTrimDb)
            status.gainTrimDb = *pending.gainTrimDb;
        if (pending.trackName)
            status.trackName = *pending.trackName;
    }

    return copy;
}

SharedStatusManager::MeteringMap SharedStatusManager::getMeteringFrames() const
{
    const juce::ScopedLock sl (meteringLock);
    return meteringFrames;
}

std::vector<juce::String> SharedStatusManager::getInsertionOrder() const
{
    const juce::ScopedLock sl (statusLock);
    return insertionOrder;
}

bool SharedStatusManager::areAllBypassed() const
{
    const juce::ScopedLock sl (statusLock);

    if (statuses.empty())
        return false;

    return std::all_of (statuses.begin(), statuses.end(), [this] (const auto& entry) {
        auto pending = pendingStates.find (entry.first);

        if (pending != pendingStates.end() && pending->second.bypass)
            return *pending->second.bypass;

        return entry.second.bypass;
    });
}

bool SharedStatusManager::isAnyInstanceSoloed() const
{
    const juce::ScopedLock sl (statusLock);

    return std::any_of (statuses.begin(), statuses.end(), [] (const auto& entry) { return entry.second.soloed; });
}

void SharedStatusManager::purgeStaleStatuses (double nowMs)
{
    std::vector<juce::String> purged;

    {
        const juce::ScopedLock sl (statusLock);

        for (const auto& [id, status] : statuses)
            if (status.lastUpdateMs > 0.0 && nowMs - status.lastUpdateMs > staleStatusTimeoutMs)
                purged.push_back (id);

        for (const auto& id : purged)
            eraseStatusEntriesLocked (id);
    }

    if (purged.empty())
        return;

    const juce::ScopedLock sl (meteringLock);

    for (const auto& id : purged)
        meteringFrames.erase (id);
}

void SharedStatusManager::discardPendingStatesOfGesture (std::uint64_t gestureId)
{
    const juce::ScopedLock sl (statusLock);

    for (auto it = pendingStates.begin(); it != pendingStates.end();)
    {
        if (it->second.gestureId == gestureId)
            it = pendingStates.erase (it);
        else
            ++it;
    }
}

void SharedStatusManager::dispatchCommand (const AstrelCommand& command)
{
    if (command.targetPluginID.isEmpty())
        return;

    const juce::ScopedLock sl (statusLock);

    auto entry = statuses.find (command.targetPluginID);

    if (entry == statuses.end())
        return;

    auto& status = entry->second;

    if (command.visible)
        status.visible = *command.visible;

    if (command.muted)
    {
        status.muted = *command.muted;

        if (*command.muted)
            status.soloed = false;
    }

    if (command.soloed)
    {
        status.soloed = *command.soloed;

        if (*command.soloed)
            status.muted = false;
    }

    if (command.listenMono)
        status.listenMono = *command.listenMono;

    const bool carriesValues = command.carriesInstanceValues();

    if (carriesValues && command.delivery == AstrelCommandDelivery::immediate
        && command.phase != AstrelCommandPhase::begin && command.phase != AstrelCommandPhase::cancel)
    {
        auto& pending = pendingStates[command.targetPluginID];
        pending.gestureId = command.gestureId;
        pending.commandSequence = command.sequence;

        if (command.pan)
            pending.pan = command.pan;
        if (command.ratio)
            pending.ratio = command.ratio;
        if (command.sideLowCutHz)
            pending.sideLowCutHz = command.sideLowCutHz;
        if (command.monoBass)
            pending.monoBass = command.monoBass;
        if (command.bypass)
            pending.bypass = command.bypass;
        if (command.spotlightPercent)
            pending.spotlightPercent = command.spotlightPercent;
        if (command.gainTrimDb)
            pending.gainTrimDb = command.gainTrimDb;
        if (command.trackName)
            pending.trackName = command.trackName;
    }

    if (! carriesValues && command.paramMask == 0)
        return;

    auto& queue = commandQueues[command.targetPluginID];

    const auto isUpdateOfSameGesture = [&command] (const AstrelCommand& queued) {
        return queued.gestureId == command.gestureId && queued.phase == AstrelCommandPhase::update;
    };

    switch (command.phase)
    {
        case AstrelCommandPhase::end:
        case AstrelCommandPhase::cancel:
            queue.erase (std::remove_if (queue.begin(), queue.end(), isUpdateOfSameGesture), queue.end());
            queue.push_back (command);
            break;

        case AstrelCommandPhase::update:
        {
            auto newest = std::find_if (queue.rbegin(), queue.rend(), isUpdateOfSameGesture);

            if (newest != queue.rend())
                *newest = command;
            else
                queue.push_back (command);

            break;
        }

        case AstrelCommandPhase::begin:
        case AstrelCommandPhase::oneShot:
            queue.push_back (command);
            break;
    }
}

std::vector<AstrelCommand> SharedStatusManager::takeQueuedCommands (const juce::String& pluginID)
{
    const juce::ScopedLock sl (statusLock);

    auto queue = commandQueues.find (pluginID);

    if (queue == commandQueues.end())
        return {};

    auto commands = std::move (queue->second);
    commandQueues.erase (queue);
    return commands;
}

//==============================================================================
WholefieldSlotsState SharedStatusManager::getWholefieldSlotsState() const
{
    const juce::ScopedLock sl (statusLock);
    return wholefieldSlots;
}

std::int32_t SharedStatusManager::getWholefieldSlotsRevision() const
{
    const juce::ScopedLock sl (statusLock);
    return wholefieldSlots.revision;
}

namespace
{
    std::int32_t clampSlotIndex (std::int64_t index) noexcept
    {
        return index > 3 ? 3 : (index < 0 ? -1 : static_cast<std::int32_t> (index));
    }

    bool isSlotIndex (int index) noexcept
    {
        return index >= 0 && index < WholefieldSlotsState::numSlots;
    }
} // namespace

void SharedStatusManager::importWholefieldSlotsIfNewer (const WholefieldSlotsState& candidate)
{
    const juce::ScopedLock sl (statusLock);

    if (candidate.revision <= wholefieldSlots.revision)
        return;

    wholefieldSlots = candidate;
    wholefieldSlots.currentSlotIndex = clampSlotIndex (candidate.currentSlotIndex);
}

void SharedStatusManager::writeWholefieldSlot (int index,
                                               const std::vector<WholefieldInstanceState>& instances,
                                               double storedAt)
{
    if (! isSlotIndex (index))
        return;

    const juce::ScopedLock sl (statusLock);

    wholefieldSlots.revision += 1;
    auto& slot = wholefieldSlots.slots[static_cast<size_t> (index)];
    slot.hasLayout = true;
    slot.storedAt = storedAt;
    slot.revision = wholefieldSlots.revision;
    slot.instances = instances;
    wholefieldSlots.currentSlotIndex = index;
}

bool SharedStatusManager::selectWholefieldSlot (int index)
{
    if (! isSlotIndex (index))
        return false;

    const juce::ScopedLock sl (statusLock);

    if (! wholefieldSlots.slots[static_cast<size_t> (index)].hasLayout || wholefieldSlots.currentSlotIndex == index)
        return false;

    wholefieldSlots.currentSlotIndex = index;
    wholefieldSlots.revision += 1;
    return true;
}

juce::String SharedStatusManager::serialiseWholefieldSlotsState (const WholefieldSlotsState& state)
{
    juce::Array<juce::var> slots;

    for (const auto& slot : state.slots)
    {
        juce::Array<juce::var> instances;

        for (const auto& instance : slot.instances)
        {
            auto object = std::make_unique<juce::DynamicObject>();
            object->setProperty ("pluginID", instance.pluginID);
            object->setProperty ("trackName", instance.trackName);
            object->setProperty ("pan", static_cast<double> (instance.pan));
            object->setProperty ("ratio", static_cast<double> (instance.ratio));
            object->setProperty ("sideLowCutHz", static_cast<double> (instance.sideLowCutHz));
            object->setProperty ("monoBass", instance.monoBass);
            object->setProperty ("spotlightPercent", static_cast<double> (instance.spotlightPercent));
            object->setProperty ("gainTrimDb", static_cast<double> (instance.gainTrimDb));
            instances.add (juce::var (object.release()));
        }

        auto object = std::make_unique<juce::DynamicObject>();
        object->setProperty ("hasLayout", slot.hasLayout);
        object->setProperty ("storedAt", slot.storedAt);
        object->setProperty ("revision", static_cast<int> (slot.revision));
        object->setProperty ("instances", instances);
        slots.add (juce::var (object.release()));
    }

    auto root = std::make_unique<juce::DynamicObject>();
    root->setProperty ("version", 3);
    root->setProperty ("revision", static_cast<int> (state.revision));
    root->setProperty ("currentSlotIndex", static_cast<int> (state.currentSlotIndex));
    root->setProperty ("slots", slots);
    return juce::JSON::toString (juce::var (root.release()));
}

namespace
{
    /** A JSON number, boolean or numeric text as a double; anything else, or a non-finite
        value, reads as 0. */
    double readNumber (const juce::var& value) noexcept
    {
        if (! (value.isInt() || value.isInt64() || value.isDouble() || value.isBool()))
            return 0.0;

        const auto number = static_cast<double> (value);
        return std::isfinite (number) ? number : 0.0;
    }

    /** A JSON integer, clamped into 32 bits. */
    std::int64_t readInteger (const juce::var& value) noexcept
    {
        const auto number = readNumber (value);
        return static_cast<std::int64_t> (juce::jlimit (-2147483648.0, 2147483647.0, std::trunc (number)));
    }

    bool readBool (const juce::var& value) noexcept
    {
        return readNumber (value) != 0.0;
    }

    juce::String readString (const juce::var& value)
    {
        return value.isString() ? value.toString() : juce::String();
    }

    float readFloat (const juce::var& value) noexcept
    {
        return static_cast<float> (juce::jlimit (-3.0e38, 3.0e38, readNumber (value)));
    }

    WholefieldInstanceState readInstance (const juce::var& object)
    {
        WholefieldInstanceState instance;
        instance.pluginID = readString (object["pluginID"]);
        instance.trackName = readString (object["trackName"]);
        instance.pan = readFloat (object["pan"]);
        instance.ratio = readFloat (object["ratio"]);
        instance.sideLowCutHz = readFloat (object["sideLowCutHz"]);
        instance.monoBass = readBool (object["monoBass"]);
        instance.spotlightPercent = juce::jlimit (0.0f, 100.0f, readFloat (object["spotlightPercent"]));
        instance.gainTrimDb = juce::jlimit (-12.0f, 12.0f, readFloat (object["gainTrimDb"]));
        return instance;
    }

    WholefieldSlot readSlot (const juce::var& object)
    {
        WholefieldSlot slot;
        slot.hasLayout = readBool (object["hasLayout"]);
        slot.storedAt = readNumber (object["storedAt"]);
        slot.revision = static_cast<std::int32_t> (readInteger (object["revision"]));

        if (const auto* instances = object["instances"].getArray())
            for (const auto& element : *instances)
                if (element.getDynamicObject() != nullptr)
                    if (auto instance = readInstance (element); instance.pluginID.isNotEmpty())
                        slot.instances.push_back (std::move (instance));

        return slot;
    }
} // namespace

WholefieldSlotsState SharedStatusManager::deserialiseWholefieldSlotsState (const juce::String& text)
{
    WholefieldSlotsState state;

    if (text.trim().isEmpty())
        return state;

    juce::var root;

    // The text nests five levels deep; anything far deeper, or with integers too long for
    // the framework's parser, is malformed.
    if (! TextChecks::isShallowJsonWithSaneNumbers (text, 32) || juce::JSON::parse (text, root).failed()
        || root.getDynamicObject() == nullptr)
        return state;

    state.revision = static_cast<std::int32_t> (readInteger (root["revision"]));
    state.currentSlotIndex = clampSlotIndex (readInteger (root["currentSlotIndex"]));

    if (const auto* slots = root["slots"].getArray())
        for (int i = 0; i < std::min (slots->size(), WholefieldSlotsState::numSlots); ++i)
            if (slots->getReference (i).getDynamicObject() != nullptr)
                state.slots[static_cast<size_t> (i)] = readSlot (slots->getReference (i));

    if (state.revision < 1)
    {
        bool anyLayout = false;
        std::int32_t largest = 0;

        for (const auto& slot : state.slots)
        {
            if (slot.hasLayout)
            {
                anyLayout = true;
                largest = std::max (largest, std::max<std::int32_t> (slot.revision, 0));
            }
        }

        if (anyLayout)
            state.revision = std::max<std::int32_t> (1, largest);
    }

    return state;
}
