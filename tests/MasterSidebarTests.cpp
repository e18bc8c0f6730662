#include "GuiHarness.h"
#include "LinkedProcessors.h"
#include "MasterSidebarComponent.h"

#include <algorithm>
#include <bitset>
#include <functional>

namespace
{
    enum class Column
    {
        dot,
        label,
        mute,
        solo
    };

    using Flag = std::optional<bool> AstrelCommand::*;

    /** Real processors in one process and an instance list on the desktop, fed and wired the
        way the editor does it: a copy of the status table on every tick, then the selection
        reconciled, and the labels recoloured on every selection change. */
    struct SidebarRig
    {
        explicit SidebarRig (int instances, int height = 498)
            : link (instances), selection (link.id (0)), shown (sidebar, 180, height)
        {
            selection.onSelectionChanged = [this] {
                for (auto* label : sidebar.labels)
                    sidebar.applyLabelVisuals (*label);
            };

            refresh();
        }

        void refresh()
        {
            link.tick();
            const auto statuses = link.registry().getStatuses();
            sidebar.setStatuses (statuses);
            selection.reconcile (statuses);
        }

        PluginStatus status (size_t index) { return link.registry().getStatuses().at (link.id (index)); }

        bool flag (size_t index, bool PluginStatus::*member) { return status (index).*member; }

        void setFlag (size_t index, Flag flag, bool value)
        {
            AstrelCommand command;
            command.*flag = value;
            link.send (command, index);
        }

        juce::Component& element (Column column, int row)
        {
            switch (column)
            {
                case Column::dot:
                    return *sidebar.dots[row];
                case Column::label:
                    return *sidebar.labels[row];
                case Column::mute:
                    return *sidebar.muteButtons[row];
                case Column::solo:
                    break;
            }

            return *sidebar.soloButtons[row];
        }

        /** The centre of a row element in the list's coordinates, after scrolling. */
        juce::Point<float> at (Column column, int row)
        {
            const auto& widget = element (column, row);
            return sidebar.getLocalPoint (&sidebar.getContent(), widget.getBounds().getCentre()).toFloat();
        }

        void press (Column column, int row, juce::ModifierKeys mods = {})
        {
            const auto p = at (column, row);
            shown.press (p.x, p.y, mods);
        }

        void dragTo (Column column, int row, juce::ModifierKeys mods = {})
        {
            const auto p = at (column, row);
            shown.drag (p.x, p.y, mods);
        }

        void release (Column column, int row, juce::ModifierKeys mods = {})
        {
            const auto p = at (column, row);
            shown.release (p.x, p.y, mods);
        }

        void click (Column column, int row, juce::ModifierKeys mods = {})
        {
            press (column, row, mods);
            release (column, row, mods);
        }

        /** The sequence number the command controller gives its next command. */
        std::uint64_t nextSequence()
        {
            AstrelTargetPatch unchanged;
            unchanged.pluginID = link.id (0);
            unchanged.listenMono = flag (0, &PluginStatus::listenMono);
            return link.controller()
                       .perform ("probe",
                                 { unchanged },
                                 AstrelCommandOrigin::editorAction,
                                 AstrelUndoPolicy::none,
                                 AstrelCommandDelivery::immediate)
                       .front()
                       .sequence
                   + 1;
        }

        /** How many commands the list sent while an action ran. */
        int commandsSentDuring (const std::function<void()>& action)
        {
            const auto before = nextSequence();
            action();
            return static_cast<int> (nextSequence() - before) - 1;
        }

        std::vector<juce::String> rowIDs() const
        {
            std::vector<juce::String> ids;

            for (auto* label : sidebar.labels)
                ids.push_back (label->id);

            return ids;
        }

        /** Bit i set when instance i has the flag. */
        int flagMask (bool PluginStatus::*member)
        {
            int mask = 0;

            for (size_t i = 0; i < link.processors.size(); ++i)
                if (flag (i, member))
                    mask |= 1 << i;

            return mask;
        }

        std::set<juce::String> idsOf (std::initializer_list<size_t> indices)
        {
            std::set<juce::String> ids;

            for (auto index : indices)
                ids.insert (link.id (index));

            return ids;
        }

        LinkedProcessors link;
        SelectionModel selection;
        MasterSidebarComponent sidebar { selection };
        DesktopComponent shown;
    };

    float brightest (const juce::Image& image, juce::Rectangle<int> area)
    {
        float largest = 0.0f;

        for (int y = area.getY(); y < area.getBottom(); ++y)
            for (int x = area.getX(); x < area.getRight(); ++x)
                largest = std::max (largest, image.getPixelAt (x, y).getBrightness());

        return largest;
    }

    const juce::ModifierKeys alt (juce::ModifierKeys::altModifier);
    const juce::ModifierKeys shift (juce::ModifierKeys::shiftModifier);

    void renameInstance (SidebarRig& rig, size_t index, const juce::String& name)
    {
        AstrelTargetPatch patch;
        patch.pluginID = rig.link.id (index);
        patch.trackName = name;
        rig.link.controller().perform ("Rename",
                                       { patch },
                                       AstrelCommandOrigin::inspector,
                                       AstrelUndoPolicy::none,
                                       AstrelCommandDelivery::immediate);
    }
} // namespace

//==============================================================================
TEST (MasterSidebar, BuildsOneRowPerInstanceInTheOrderTheyJoined)
{
    SidebarRig rig (3);
    renameInstance (rig, 0, "Kick");
    renameInstance (rig, 1, "Bass");
    renameInstance (rig, 2, "Lead");
    rig.link.tick();

    // Let the instances join again in the opposite order of their ids, so that the order of
    // joining is never the order of the status table.
    std::vector<size_t> joining { 0, 1, 2 };
    std::sort (joining.begin(), joining.end(), [&] (size_t a, size_t b) { return rig.link.id (a) > rig.link.id (b); });

    for (size_t i = 0; i < 3; ++i)
        rig.link.registry().removeStatus (rig.link.id (i));

    for (auto index : joining)
        rig.link[index].runTick (rig.link.nowMs);

    auto statuses = rig.link.registry().getStatuses();
    statuses[rig.link.id (joining[1])].trackName = "   ";
    PluginStatus stranger;
    stranger.pluginID = "not-in-the-registry";
    statuses[stranger.pluginID] = stranger;
    rig.sidebar.setStatuses (statuses);

    const std::vector<juce::String> expectedOrder { rig.link.id (joining[0]), rig.link.id (joining[1]), rig.link.id (joining[2]) };
    EXPECT_EQ (rig.rowIDs(), expectedOrder) << "insertion order, and no row for a status the registry does not list";
    EXPECT_EQ (rig.sidebar.labels[0]->getText(), rig.status (joining[0]).trackName);
    EXPECT_EQ (rig.sidebar.labels[1]->getText(), "Track") << "a name of spaces only";
    EXPECT_EQ (rig.sidebar.labels[2]->getText(), rig.status (joining[2]).trackName);

    for (int row = 0; row < 3; ++row)
    {
        const int y = 7 + 28 * row;
        EXPECT_EQ (rig.sidebar.dots[row]->getBounds(), juce::Rectangle<int> (4, y, 16, 24));
        EXPECT_EQ (rig.sidebar.labels[row]->getBounds(), juce::Rectangle<int> (24, y, 92, 24));
        EXPECT_EQ (rig.sidebar.muteButtons[row]->getBounds(), juce::Rectangle<int> (120, y, 23, 23));
        EXPECT_EQ (rig.sidebar.soloButtons[row]->getBounds(), juce::Rectangle<int> (145, y, 23, 23));
        EXPECT_EQ (rig.sidebar.muteButtons[row]->id, expectedOrder[(size_t) row]);
        EXPECT_EQ (rig.sidebar.soloButtons[row]->id, expectedOrder[(size_t) row]);
        EXPECT_EQ (rig.sidebar.dots[row]->id, expectedOrder[(size_t) row]);
    }

    EXPECT_EQ (rig.sidebar.getContent().getHeight(), 15 + 28 * 3);
    EXPECT_EQ (rig.sidebar.getContent().getNumChildComponents(), 12);
    EXPECT_EQ (rig.sidebar.getViewport().getBounds(), juce::Rectangle<int> (0, 25, 180, 498 - 32));

    rig.sidebar.setStatuses ({});
    EXPECT_EQ (rig.sidebar.getContent().getHeight(), 15);
    EXPECT_EQ (rig.sidebar.getContent().getNumChildComponents(), 0);
    EXPECT_EQ (rig.sidebar.labels.size(), 0);
}

TEST (MasterSidebar, RowsShowTheRegistryFlagsAndTheSelection)
{
    SidebarRig rig (4);
    rig.setFlag (1, &AstrelCommand::muted, true);
    rig.setFlag (2, &AstrelCommand::soloed, true);
    rig.setFlag (3, &AstrelCommand::visible, false);
    rig.selection.setSelection (rig.idsOf ({ 0, 2 }));
    rig.refresh();

    for (int row = 0; row < 4; ++row)
    {
        SCOPED_TRACE (row);
        EXPECT_EQ (rig.sidebar.muteButtons[row]->getToggleState(), row == 1);
        EXPECT_EQ (rig.sidebar.soloButtons[row]->getToggleState(), row == 2);
        EXPECT_EQ (rig.sidebar.dots[row]->visible, row != 3);
        EXPECT_EQ (rig.sidebar.labels[row]->visible, row != 3);
    }

    // Label colours for (selected, shown): the text dims for hidden rows, the outline turns
    // blue for selected ones.
    struct Expected
    {
        int row;
        juce::uint32 text, outline;
    };

    const Expected cases[] = { { 0, 0xf5e8ebef, 0xf55783b9 }, { 1, 0xd1e8ebef, 0x12e8ebef }, { 3, 0x4ce8ebef, 0x09e8ebef } };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.row);
        const auto& label = *rig.sidebar.labels[c.row];
        EXPECT_EQ (label.findColour (juce::Label::textColourId).getARGB(), c.text);
        EXPECT_EQ (label.findColour (juce::Label::outlineColourId).getARGB(), c.outline);
        EXPECT_EQ (label.findColour (juce::Label::backgroundColourId).getARGB(), 0xff000000u);
    }

    // An editor opening for a hidden instance has it selected until its first reconcile.
    SelectionModel opening (rig.link.id (3));
    MasterSidebarComponent list (opening);
    list.setStatuses (rig.link.registry().getStatuses());
    EXPECT_EQ (list.labels[3]->findColour (juce::Label::textColourId).getARGB(), 0x94e8ebefu);
    EXPECT_EQ (list.labels[3]->findColour (juce::Label::outlineColourId).getARGB(), 0x7a5783b9u);
}

TEST (MasterSidebar, DrawsTheHeaderButtonsAndDots)
{
    SidebarRig rig (3);
    rig.setFlag (0, &AstrelCommand::muted, true);
    rig.setFlag (1, &AstrelCommand::soloed, true);
    rig.setFlag (2, &AstrelCommand::visible, false);
    rig.refresh();
    const auto image = rig.shown.snapshot();

    // The background runs from dark purple at the left to black at the right.
    const auto left = pixelAt (image, 3, 250), right = pixelAt (image, 176, 250);
    EXPECT_GT (left.getRed(), 30);
    EXPECT_GT (left.getRed(), left.getGreen() + 20);
    EXPECT_LT (right.getRed() + right.getGreen() + right.getBlue(), 6);
    EXPECT_GT (brightest (image, { 13, 4, 70, 16 }), 0.5f) << "the INSTANCES header";
    EXPECT_LT (brightest (image, { 13, 200, 150, 40 }), 0.2f) << "nothing below the rows";

    const auto buttonEdge = [&] (Column column, int row) {
        const auto p = rig.at (column, row).roundToInt();
        return pixelAt (image, p.x - 8, p.y);
    };

    EXPECT_EQ (buttonEdge (Column::mute, 0), juce::Colour (0xffff0000)) << "muted";
    EXPECT_EQ (buttonEdge (Column::solo, 1), juce::Colour (0xffffd230)) << "soloed";
    EXPECT_EQ (buttonEdge (Column::mute, 1), juce::Colour (0xff170611)) << "the solo switched the mute off";
    EXPECT_EQ (buttonEdge (Column::solo, 2), juce::Colour (0xff170611));

    const auto dotCentre = [&] (int row) {
        const auto p = rig.at (Column::dot, row).roundToInt();
        return pixelAt (image, p.x, p.y);
    };

    EXPECT_GT (dotCentre (0).getBrightness(), 0.85f) << "a shown instance's dot is filled";
    EXPECT_LT (dotCentre (2).getBrightness(), 0.2f) << "a hidden one's is a ring";
    const auto ring = rig.at (Column::dot, 2).roundToInt();
    EXPECT_GT (pixelAt (image, ring.x - 4, ring.y).getBrightness(), 0.4f);
}

//==============================================================================
TEST (MasterSidebar, MutingASoloedRowClearsItsSoloWithoutAnUndoStep)
{
    SidebarRig rig (3);
    rig.setFlag (1, &AstrelCommand::soloed, true);
    rig.refresh();
    ASSERT_TRUE (rig.sidebar.soloButtons[1]->getToggleState());

    const auto sent = rig.commandsSentDuring ([&] { rig.click (Column::mute, 1); });

    EXPECT_EQ (sent, 1);
    EXPECT_TRUE (rig.sidebar.muteButtons[1]->getToggleState()) << "before the next rebuild";
    EXPECT_FALSE (rig.sidebar.soloButtons[1]->getToggleState());
    EXPECT_TRUE (rig.flag (1, &PluginStatus::muted));
    EXPECT_FALSE (rig.flag (1, &PluginStatus::soloed));
    EXPECT_FALSE (rig.link.undo().canUndo());
    EXPECT_TRUE (rig.link.undo().getUndoDescription().isEmpty());

    rig.refresh();
    EXPECT_TRUE (rig.link[1].isOutputMuted()) << "the instance itself went silent";
    EXPECT_FALSE (rig.link[0].isOutputMuted());
    EXPECT_TRUE (rig.sidebar.muteButtons[1]->getToggleState());
    EXPECT_FALSE (rig.sidebar.soloButtons[1]->getToggleState());

    EXPECT_EQ (rig.commandsSentDuring ([&] { rig.click (Column::mute, 1); }), 1);
    EXPECT_FALSE (rig.flag (1, &PluginStatus::muted)) << "a second press unmutes";
    EXPECT_FALSE (rig.flag (1, &PluginStatus::soloed)) << "and does not bring the solo back";
    EXPECT_FALSE (rig.link.undo().canUndo());
}

//==============================================================================
namespace
{
    struct PaintCase
    {
        const char* name;
        Column column;
        bool startOn; // the state of every row but row 2, which starts in the other state
    };

    bool PluginStatus::*statusFlagOf (Column column)
    {
        return column == Column::mute ? &PluginStatus::muted
                                      : (column == Column::solo ? &PluginStatus::soloed : &PluginStatus::visible);
    }

    Flag commandFlagOf (Column column)
    {
        return column == Column::mute ? &AstrelCommand::muted
                                      : (column == Column::solo ? &AstrelCommand::soloed : &AstrelCommand::visible);
    }

    struct DragPainting : testing::TestWithParam<PaintCase>
    {
    };
} // namespace

TEST_P (DragPainting, PaintsEveryRowPassedAndSkipsRowsAlreadyInTheTargetState)
{
    const auto& c = GetParam();
    SidebarRig rig (4);
    const auto statusFlag = statusFlagOf (c.column);

    for (size_t i = 0; i < 4; ++i)
        if (rig.flag (i, statusFlag) != (i == 2 ? ! c.startOn : c.startOn))
            rig.setFlag (i, commandFlagOf (c.column), i == 2 ? ! c.startOn : c.startOn);

    rig.refresh();

    const auto sent = rig.commandsSentDuring ([&] {
        rig.press (c.column, 0);

        // The editor rebuilds the rows between the pointer's steps; the drag carries on.
        for (int row = 1; row < 4; ++row)
        {
            rig.refresh();
            rig.dragTo (c.column, row);
        }

        rig.release (c.column, 3);
    });

    EXPECT_EQ (sent, 3) << "one command per changed row, none for row 2";

    for (size_t i = 0; i < 4; ++i)
        EXPECT_EQ (rig.flag (i, statusFlag), ! c.startOn) << i;

    // After the release, moving over the rows changes nothing.
    EXPECT_EQ (rig.commandsSentDuring ([&] {
                   const auto p = rig.at (c.column, 1);
                   rig.shown.move (p.x, p.y);
               }),
               0);
    EXPECT_FALSE (rig.link.undo().canUndo());
}

INSTANTIATE_TEST_SUITE_P (MasterSidebar,
                          DragPainting,
                          testing::Values (PaintCase { "mute", Column::mute, false },
                                           PaintCase { "unmute", Column::mute, true },
                                           PaintCase { "solo", Column::solo, false },
                                           PaintCase { "unsolo", Column::solo, true },
                                           PaintCase { "hide", Column::dot, true },
                                           PaintCase { "show", Column::dot, false }),
                          [] (const auto& testInfo) { return std::string (testInfo.param.name); });

TEST (MasterSidebar, DragPaintingStaysInItsColumn)
{
    SidebarRig rig (3);

    rig.press (Column::mute, 0);
    rig.dragTo (Column::solo, 1);
    rig.dragTo (Column::dot, 1);
    rig.dragTo (Column::label, 2);
    rig.dragTo (Column::mute, 2);
    rig.release (Column::mute, 2);

    EXPECT_EQ (rig.flagMask (&PluginStatus::muted), 0b101);
    EXPECT_EQ (rig.flagMask (&PluginStatus::soloed), 0);
    EXPECT_EQ (rig.flagMask (&PluginStatus::visible), 0b111);
    EXPECT_EQ (rig.selection.getSelectedIDs(), rig.idsOf ({ 0 }));
}

//==============================================================================
namespace
{
    struct AltCase
    {
        const char* name;
        Column column;
        int selectedMask;
        int initiallyOnMask;
        int pressedRow;
        int expectedOnMask;
        int expectedCommands;
    };

    struct AltOnAButton : testing::TestWithParam<AltCase>
    {
    };
} // namespace

TEST_P (AltOnAButton, ChangesTheWholeSelectionOnlyWhenThePressedRowIsPartOfAMultiSelection)
{
    const auto& c = GetParam();
    SidebarRig rig (5);

    for (size_t i = 0; i < 5; ++i)
        if ((c.initiallyOnMask >> i) & 1)
            rig.setFlag (i, commandFlagOf (c.column), true);

    rig.refresh();

    // Select by the names: a plain click on the first, Shift-clicks on the others.
    bool first = true;

    for (int row = 0; row < 5; ++row)
    {
        if (((c.selectedMask >> row) & 1) == 0)
            continue;

        rig.click (Column::label, row, first ? juce::ModifierKeys() : shift);
        first = false;
    }

    ASSERT_EQ (static_cast<int> (rig.selection.getSelectedIDs().size()), static_cast<int> (std::bitset<8> ((unsigned) c.selectedMask).count()));

    const auto sent = rig.commandsSentDuring ([&] {
        rig.press (c.column, c.pressedRow, alt);

        // A plain press paints every row passed; the Alt case on a selection does not drag.
        for (int row = 0; row < 5; ++row)
            rig.dragTo (c.column, row, alt);

        rig.release (c.column, 4, alt);
    });

    EXPECT_EQ (rig.flagMask (statusFlagOf (c.column)), c.expectedOnMask);
    EXPECT_EQ (sent, c.expectedCommands);
}

INSTANTIATE_TEST_SUITE_P (MasterSidebar,
                          AltOnAButton,
                          testing::Values (AltCase { "threeSelected", Column::mute, 0b00111, 0, 1, 0b00111, 3 },
                                           AltCase { "threeSelectedOneAlreadyOn", Column::mute, 0b10101, 0b00001, 2, 0b10101, 2 },
                                           AltCase { "threeSelectedPressOnAnOnRow", Column::mute, 0b01110, 0b00010, 1, 0b00000, 1 },
                                           AltCase { "soloThreeSelected", Column::solo, 0b11010, 0, 4, 0b11010, 3 },
                                           AltCase { "onlyOneSelected", Column::mute, 0b00010, 0, 1, 0b11111, 5 },
                                           AltCase { "pressedRowNotSelected", Column::mute, 0b00111, 0, 4, 0b11111, 5 }),
                          [] (const auto& testInfo) { return std::string (testInfo.param.name); });

TEST (MasterSidebar, RightButtonAndCtrlPressesChangeNothing)
{
    SidebarRig rig (3);
    const auto selectedBefore = rig.selection.getSelectedIDs();
    const juce::ModifierKeys ways[] = { juce::ModifierKeys (juce::ModifierKeys::rightButtonModifier),
                                        juce::ModifierKeys (juce::ModifierKeys::ctrlModifier),
                                        juce::ModifierKeys (juce::ModifierKeys::ctrlModifier | juce::ModifierKeys::altModifier),
                                        juce::ModifierKeys (juce::ModifierKeys::rightButtonModifier | juce::ModifierKeys::shiftModifier) };

    for (const auto mods : ways)
    {
        for (const auto column : { Column::dot, Column::label, Column::mute, Column::solo })
        {
            const auto sent = rig.commandsSentDuring ([&] {
                rig.press (column, 1, mods);
                rig.dragTo (column, 2, mods);
                rig.dragTo (column, 0, mods);
                rig.release (column, 0, mods);
            });

            EXPECT_EQ (sent, 0);
        }
    }

    EXPECT_EQ (rig.flagMask (&PluginStatus::muted), 0);
    EXPECT_EQ (rig.flagMask (&PluginStatus::soloed), 0);
    EXPECT_EQ (rig.flagMask (&PluginStatus::visible), 0b111);
    EXPECT_EQ (rig.selection.getSelectedIDs(), selectedBefore);

    // A press between the rows and a drag from there over them do nothing either.
    const auto sent = rig.commandsSentDuring ([&] {
        rig.shown.press (118.0f, 40.0f);
        rig.dragTo (Column::mute, 0);
        rig.dragTo (Column::dot, 1);
        rig.release (Column::dot, 1);
    });
    EXPECT_EQ (sent, 0);
    EXPECT_EQ (rig.selection.getSelectedIDs(), selectedBefore);
}

//==============================================================================
TEST (MasterSidebar, AltClickOnADotIsolatesItAndASecondAltClickRestores)
{
    SidebarRig rig (4);
    rig.setFlag (3, &AstrelCommand::visible, false);
    rig.refresh();
    const auto visible = [&] { return rig.flagMask (&PluginStatus::visible); };
    ASSERT_EQ (visible(), 0b0111);

    EXPECT_EQ (rig.commandsSentDuring ([&] { rig.click (Column::dot, 1, alt); }), 2);
    EXPECT_EQ (visible(), 0b0010) << "only the clicked instance stays shown";
    rig.refresh();

    rig.click (Column::dot, 1, alt);
    EXPECT_EQ (visible(), 0b0111) << "the visibility from before comes back, row 3 still hidden";
    rig.refresh();

    // A plain click on another dot in between forgets what was saved.
    rig.click (Column::dot, 1, alt);
    rig.refresh();
    rig.click (Column::dot, 2);
    rig.refresh();
    EXPECT_EQ (visible(), 0b0110);
    rig.click (Column::dot, 1, alt);
    EXPECT_EQ (visible(), 0b0010) << "isolated again, nothing restored";
    rig.refresh();

    // Isolating another instance saves the current state, only 1 shown, and restores that.
    rig.click (Column::dot, 0, alt);
    rig.refresh();
    EXPECT_EQ (visible(), 0b0001);
    rig.click (Column::dot, 0, alt);
    EXPECT_EQ (visible(), 0b0010);

    // An Alt-click does not start a drag.
    rig.refresh();
    rig.press (Column::dot, 2, alt);
    rig.dragTo (Column::dot, 3, alt);
    rig.release (Column::dot, 3, alt);
    EXPECT_EQ (visible(), 0b0100);
    EXPECT_FALSE (rig.link.undo().canUndo());
}

TEST (MasterSidebar, HidingASelectedInstanceDeselectsItAndShowingMakesItSelectableAtOnce)
{
    SidebarRig rig (3);
    rig.click (Column::label, 0);
    rig.click (Column::label, 1, shift);
    ASSERT_EQ (rig.selection.getSelectedIDs(), rig.idsOf ({ 0, 1 }));

    rig.click (Column::dot, 1);
    EXPECT_FALSE (rig.flag (1, &PluginStatus::visible));
    EXPECT_EQ (rig.selection.getSelectedIDs(), rig.idsOf ({ 0 }));
    EXPECT_EQ (rig.sidebar.labels[1]->findColour (juce::Label::outlineColourId).getARGB(), 0x09e8ebefu);

    // Once a refresh has seen it hidden, showing it again makes it selectable before the next
    // refresh confirms it.
    rig.refresh();
    rig.click (Column::label, 1, shift);
    EXPECT_EQ (rig.selection.getSelectedIDs(), rig.idsOf ({ 0 })) << "a hidden instance cannot be selected";
    rig.click (Column::dot, 1);
    rig.click (Column::label, 1, shift);
    EXPECT_EQ (rig.selection.getSelectedIDs(), rig.idsOf ({ 0, 1 }));

    // Isolating one instance deselects all the others.
    rig.refresh();
    rig.click (Column::dot, 2, alt);
    EXPECT_TRUE (rig.selection.getSelectedIDs().empty());
}

TEST (MasterSidebar, NamesSelectByPressAndDrag)
{
    SidebarRig rig (4);
    ASSERT_EQ (rig.selection.getSelectedIDs(), rig.idsOf ({ 0 })) << "the editor's own instance";

    rig.press (Column::label, 1);
    EXPECT_EQ (rig.selection.getSelectedIDs(), rig.idsOf ({ 1 })) << "a plain press selects only that one";
    rig.refresh();
    rig.dragTo (Column::label, 2);
    rig.dragTo (Column::label, 3);
    rig.release (Column::label, 3);
    EXPECT_EQ (rig.selection.getSelectedIDs(), rig.idsOf ({ 1, 2, 3 })) << "the drag adds";
    EXPECT_EQ (rig.sidebar.labels[3]->findColour (juce::Label::outlineColourId).getARGB(), 0xf55783b9u);

    rig.press (Column::label, 2, shift);
    EXPECT_EQ (rig.selection.getSelectedIDs(), rig.idsOf ({ 1, 3 })) << "Shift on a selected name deselects it";
    rig.dragTo (Column::label, 3, shift);
    rig.dragTo (Column::label, 0, shift);
    rig.release (Column::label, 0, shift);
    EXPECT_EQ (rig.selection.getSelectedIDs(), rig.idsOf ({ 1 })) << "and the drag deselects";
    EXPECT_EQ (rig.sidebar.labels[3]->findColour (juce::Label::outlineColourId).getARGB(), 0x12e8ebefu);

    rig.press (Column::label, 0, shift);
    rig.dragTo (Column::label, 1, shift);
    rig.dragTo (Column::label, 2, shift);
    rig.release (Column::label, 2, shift);
    EXPECT_EQ (rig.selection.getSelectedIDs(), rig.idsOf ({ 0, 1, 2 })) << "Shift on an unselected name adds";
    EXPECT_EQ (rig.link.registry().getStatuses().size(), 4u);
}

//==============================================================================
TEST (MasterSidebar, ScrollsAPendingRowJustIntoView)
{
    SidebarRig rig (20, 300);
    auto& viewport = rig.sidebar.getViewport();
    ASSERT_EQ (viewport.getViewHeight(), 268);
    ASSERT_TRUE (viewport.getVerticalScrollBar().isVisible());

    // A row that does not exist yet: the id stays pending until a rebuild has the row.
    auto newcomer = std::make_unique<AstrelAudioProcessor>();
    rig.sidebar.pendingScrollID = newcomer->getPluginID();
    rig.sidebar.scrollToPendingRow();
    rig.refresh();
    EXPECT_EQ (rig.sidebar.pendingScrollID, newcomer->getPluginID());
    EXPECT_EQ (viewport.getViewPositionY(), 0);

    rig.link.processors.push_back (std::move (newcomer));
    rig.refresh();
    EXPECT_TRUE (rig.sidebar.pendingScrollID.isEmpty());
    EXPECT_EQ (viewport.getViewPositionY(), 7 + 28 * 20 + 24 - 268) << "its bottom edge just shows";

    struct Step
    {
        size_t row;
        int expectedViewY;
        const char* why;
    };

    const Step steps[] = { { 2, 7 + 28 * 2, "a row above the view comes to the top" },
                           { 5, 7 + 28 * 2, "a row in view leaves the view alone" },
                           { 15, 7 + 28 * 15 + 24 - 268, "a row below is scrolled up just enough" },
                           { 0, 7, "the first row comes to the top, 7 pixels down the rows" } };

    for (const auto& step : steps)
    {
        rig.sidebar.pendingScrollID = rig.link.id (step.row);
        rig.sidebar.scrollToPendingRow();
        EXPECT_EQ (viewport.getViewPositionY(), step.expectedViewY) << step.why;
        EXPECT_TRUE (rig.sidebar.pendingScrollID.isEmpty());
    }

    // The scroll position survives the rebuilds.
    rig.sidebar.pendingScrollID = rig.link.id (15);
    rig.sidebar.scrollToPendingRow();
    rig.refresh();
    rig.refresh();
    EXPECT_EQ (viewport.getViewPositionY(), 7 + 28 * 15 + 24 - 268);
}

TEST (MasterSidebar, TheWheelScrollsTheRowsAndPressesHitWhatIsUnderThePointer)
{
    {
        SidebarRig rig (20, 300);
        auto& viewport = rig.sidebar.getViewport();

        rig.shown.wheel (60.0f, 150.0f, -0.1f);
        EXPECT_EQ (viewport.getViewPositionY(), 28) << "one step of 28 pixels";
        rig.shown.wheel (60.0f, 150.0f, -0.2f);
        EXPECT_EQ (viewport.getViewPositionY(), 28 * 3);
        rig.refresh();
        EXPECT_EQ (viewport.getViewPositionY(), 28 * 3) << "the rebuild keeps the scroll position";

        // A click at a fixed place in the list hits the row that is scrolled there.
        const float y = 25.0f + 7.0f + 12.0f; // the middle of the top visible row
        rig.shown.click (131.0f, y);
        EXPECT_EQ (rig.flagMask (&PluginStatus::muted), 1 << 3);

        rig.shown.wheel (60.0f, 150.0f, 0.3f);
        EXPECT_EQ (viewport.getViewPositionY(), 0);
    }

    SidebarRig few (3, 300);
    ASSERT_FALSE (few.sidebar.getViewport().getVerticalScrollBar().isVisible());
    few.shown.wheel (60.0f, 60.0f, -0.5f);
    EXPECT_EQ (few.sidebar.getViewport().getViewPositionY(), 0);
}
