#include "SharedStatusManager.h"

#include <algorithm>

SharedStatusManager::SharedStatusManager() = default;

SharedStatusManager::~SharedStatusManager() = default;

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
