#include "SelectionModel.h"

#include <gtest/gtest.h>

namespace
{
    SharedStatusManager::StatusMap statusesOf (std::initializer_list<std::pair<const char*, bool>> visibility)
    {
        SharedStatusManager::StatusMap statuses;

        for (const auto& [id, visible] : visibility)
        {
            PluginStatus status;
            status.pluginID = id;
            status.visible = visible;
            statuses[id] = status;
        }

        return statuses;
    }

    struct CountingSelection
    {
        explicit CountingSelection (const juce::String& own) : model (own)
        {
            model.onSelectionChanged = [this] { ++changes; };
        }

        SelectionModel model;
        int changes = 0;
    };
} // namespace

TEST (SelectionModel, OpensWithItsOwnInstanceSelectedWithoutACallback)
{
    CountingSelection selection ("A");
    EXPECT_EQ (selection.model.getSelectedIDs(), SelectionModel::IDSet { "A" });
    EXPECT_EQ (selection.model.getOwnID(), "A");
    EXPECT_EQ (selection.changes, 0);

    SelectionModel anonymous ({});
    EXPECT_TRUE (anonymous.getSelectedIDs().empty());
}

TEST (SelectionModel, CallsBackOnlyWhenTheSelectionChanges)
{
    CountingSelection selection ("A");

    selection.model.setSelection ({ "A", "B" });
    selection.model.setSelection ({ "B", "A" });
    EXPECT_EQ (selection.changes, 1);

    selection.model.setSelected ("B", true);
    selection.model.setSelected ("C", false);
    selection.model.setSelected ({}, true);
    EXPECT_EQ (selection.changes, 1);

    selection.model.setSelected ("C", true);
    selection.model.setSelected ("A", false);
    EXPECT_EQ (selection.model.getSelectedIDs(), (SelectionModel::IDSet { "B", "C" }));
    EXPECT_EQ (selection.changes, 3);

    selection.model.selectOnly ("C");
    EXPECT_EQ (selection.model.getSelectedIDs(), SelectionModel::IDSet { "C" });
    selection.model.selectOnly ({});
    EXPECT_TRUE (selection.model.getSelectedIDs().empty());
    EXPECT_EQ (selection.changes, 5);
}

TEST (SelectionModel, OnceReconciledOnlyVisibleInstancesCanBeSelected)
{
    CountingSelection selection ("A");
    selection.model.setSelection ({ "A", "B", "Gone" }); // before the first tick anything goes
    ASSERT_EQ (selection.model.getSelectedIDs().size(), 3u);

    selection.model.reconcile (statusesOf ({ { "A", true }, { "B", false }, { "C", true } }));
    EXPECT_EQ (selection.model.getSelectedIDs(), SelectionModel::IDSet { "A" });
    EXPECT_EQ (selection.changes, 2);

    selection.model.selectOnly ("B");
    EXPECT_TRUE (selection.model.getSelectedIDs().empty()) << "asking for a hidden instance clears the selection";
    selection.model.setSelected ("B", true);
    selection.model.setSelection ({ "B", "C" });
    EXPECT_EQ (selection.model.getSelectedIDs(), SelectionModel::IDSet { "C" });

    // Hidden while selected: the next reconcile drops it.
    const auto changesBefore = selection.changes;
    selection.model.reconcile (statusesOf ({ { "A", true }, { "C", false } }));
    EXPECT_TRUE (selection.model.getSelectedIDs().empty());
    EXPECT_EQ (selection.changes, changesBefore + 1);
}

TEST (SelectionModel, AnEditorWhoseInstanceIsNotShownLosesItsSelectionAtTheFirstTick)
{
    CountingSelection selection ("A");
    selection.model.reconcile (statusesOf ({ { "A", false } }));
    EXPECT_TRUE (selection.model.getSelectedIDs().empty());

    CountingSelection unpublished ("Z");
    unpublished.model.reconcile (statusesOf ({ { "A", true } }));
    EXPECT_TRUE (unpublished.model.getSelectedIDs().empty());
}
