#pragma once

#include "SharedStatusManager.h"

#include <functional>
#include <set>

/**
    Which instances are selected in one editor's master view. Only instances shown in the
    master view can be selected once the model has seen the registry.
*/
class SelectionModel
{
public:
    using IDSet = std::set<juce::String>;

    /** Opens with the owning instance selected, without calling the callback. */
    explicit SelectionModel (juce::String ownInstanceID) : ownID (std::move (ownInstanceID))
    {
        if (ownID.isNotEmpty())
            selectedIDs.insert (ownID);
    }

    /** Called after every change of the selection. */
    std::function<void()> onSelectionChanged;

    void setSelection (IDSet ids)
    {
        if (restrictToSelectable)
            for (auto it = ids.begin(); it != ids.end();)
                it = selectableIDs.count (*it) > 0 ? std::next (it) : ids.erase (it);

        if (ids == selectedIDs)
            return;

        selectedIDs = std::move (ids);

        if (onSelectionChanged)
            onSelectionChanged();
    }

    void selectOnly (const juce::String& id)
    {
        IDSet only;

        if (id.isNotEmpty() && (! restrictToSelectable || selectableIDs.count (id) > 0))
            only.insert (id);

        setSelection (std::move (only));
    }

    void setSelected (const juce::String& id, bool selected)
    {
        if (id.isEmpty())
            return;

        auto ids = selectedIDs;

        if (isSelected (id))
        {
            if (selected)
                return;

            ids.erase (id);
        }
        else
        {
            if (! selected || (restrictToSelectable && selectableIDs.count (id) == 0))
                return;

            ids.insert (id);
        }

        setSelection (std::move (ids));
    }

    /** Only visible instances stay selectable and selected. */
    void reconcile (const SharedStatusManager::StatusMap& statuses)
    {
        selectableIDs.clear();

        for (const auto& [id, status] : statuses)
            if (status.visible)
                selectableIDs.insert (id);

        restrictToSelectable = true;
        setSelection (selectedIDs);
    }

    const IDSet& getSelectedIDs() const noexcept { return selectedIDs; }
    const juce::String& getOwnID() const noexcept { return ownID; }
    bool isSelected (const juce::String& id) const { return selectedIDs.count (id) > 0; }

private:
    juce::String ownID;
    IDSet selectedIDs;
    IDSet selectableIDs;
    bool restrictToSelectable = false;
};
