#include "GuiHarness.h"
#include "LinkedProcessors.h"
#include "PluginEditor.h"

#include <cstdlib>
#include <optional>
#include <string>

namespace
{
    using Rect = juce::Rectangle<int>;

    std::unique_ptr<AstrelAudioProcessorEditor> openEditor (AstrelAudioProcessor& processor)
    {
        auto* editor = processor.createEditor();
        auto* astrelEditor = dynamic_cast<AstrelAudioProcessorEditor*> (editor);
        EXPECT_NE (astrelEditor, nullptr);
        return std::unique_ptr<AstrelAudioProcessorEditor> (astrelEditor);
    }

    /** Runs the message loop for a while, so that deferred calls and posted messages run. */
    void runMessageLoop (int milliseconds)
    {
        juce::MessageManager::getInstance()->runDispatchLoopUntil (milliseconds);
    }

    /** Counts the host notifications that say state other than parameters changed. */
    struct HostNotifications : juce::AudioProcessorListener
    {
        explicit HostNotifications (juce::AudioProcessor& p) : processor (p) { processor.addListener (this); }
        ~HostNotifications() override { processor.removeListener (this); }

        void audioProcessorParameterChanged (juce::AudioProcessor*, int, float) override {}

        void audioProcessorChanged (juce::AudioProcessor*, const ChangeDetails& details) override
        {
            if (details.nonParameterStateChanged)
                ++count;
        }

        juce::AudioProcessor& processor;
        int count = 0;
    };

    /** Gives each test a home folder of its own, so that the editor's settings file is real
        but never one a user or another test wrote. */
    class TemporaryHome
    {
    public:
        TemporaryHome()
        {
            if (const auto* home = std::getenv ("HOME"))
                previousHome = home;

            folder = juce::File::getSpecialLocation (juce::File::tempDirectory).getNonexistentChildFile ("astrel-editor-home", "");
            folder.createDirectory();
            setenv ("HOME", folder.getFullPathName().toRawUTF8(), 1);
        }

        ~TemporaryHome()
        {
            if (previousHome)
                setenv ("HOME", previousHome->c_str(), 1);
            else
                unsetenv ("HOME");

            folder.deleteRecursively();
        }

        juce::File settingsFile() const { return folder.getChildFile ("Orlimund Audio").getChildFile ("Astrel.settings"); }

        /** Writes keys into the settings file the way an earlier session of the editor would. */
        void writeSettings (const std::vector<std::pair<const char*, const char*>>& values) const
        {
            juce::PropertiesFile file (settingsFile(), AstrelAudioProcessorEditor::makeSettingsFileOptions());

            for (const auto& [key, value] : values)
                file.setValue (key, juce::String (value));

            ASSERT_TRUE (file.save());
        }

        juce::String readSetting (const char* key) const
        {
            juce::PropertiesFile file (settingsFile(), AstrelAudioProcessorEditor::makeSettingsFileOptions());
            return file.getValue (key);
        }

    private:
        std::optional<std::string> previousHome;
        juce::File folder;
    };

    bool takesClicks (const juce::Component& component)
    {
        bool self = false, children = false;
        component.getInterceptsMouseClicks (self, children);
        return self && children;
    }

    juce::Point<float> centreIn (const juce::Component& child, const juce::Component& editor)
    {
        return editor.getLocalArea (&child, child.getLocalBounds()).toFloat().getCentre();
    }

    /** Two editors on the desktop over three linked processors, ticked on the test's clock. */
    struct EditorRig
    {
        EditorRig()
        {
            linked.tick();

            for (auto* editor : { editorA.get(), editorB.get() })
                editor->clock = [this] { return linked.nowMs; };

            refresh();
        }

        /** One processor tick, then one refresh of both editors. */
        void tick (double advanceMs = 16.0)
        {
            linked.tick (advanceMs);
            refresh();
        }

        void refresh()
        {
            for (auto* editor : { editorA.get(), editorB.get() })
                if (editor != nullptr)
                    editor->runTick (linked.nowMs);
        }

        /** Puts one editor on the screen, as the window the user works in. Two windows at the
            same place would cover each other, so the other one leaves the screen. */
        DesktopComponent& show (AstrelAudioProcessorEditor& editor)
        {
            if (shownEditor != &editor)
            {
                shown.reset();
                shown = std::make_unique<DesktopComponent> (editor, editor.getWidth(), editor.getHeight());
                shownEditor = &editor;
            }

            return *shown;
        }

        void clickOn (AstrelAudioProcessorEditor& editor, const juce::Component& child)
        {
            auto& screen = show (editor);
            const auto centre = centreIn (child, editor);
            screen.click (centre.x, centre.y);
        }

        void setPans (std::initializer_list<float> pans)
        {
            std::vector<AstrelTargetPatch> patches;
            size_t index = 0;

            for (auto pan : pans)
            {
                AstrelTargetPatch patch;
                patch.pluginID = linked.id (index++);
                patch.pan = pan;
                patches.push_back (patch);
            }

            linked.controller().perform ("Test Pans",
                                         patches,
                                         AstrelCommandOrigin::inspector,
                                         AstrelUndoPolicy::none,
                                         AstrelCommandDelivery::immediate);
            tick();
        }

        float pan (size_t index) { return linked[index].getPlainValue ("pan"); }

        /** Closes editor B the way a host closes a window: off the screen, then deleted. */
        void closeEditorB()
        {
            if (shownEditor == editorB.get())
            {
                shown.reset();
                shownEditor = nullptr;
            }

            editorB.reset();
        }

        TemporaryHome home;
        LinkedProcessors linked { 3 };
        std::unique_ptr<AstrelAudioProcessorEditor> editorA = openEditor (linked[0]);
        std::unique_ptr<AstrelAudioProcessorEditor> editorB = openEditor (linked[1]);
        std::unique_ptr<DesktopComponent> shown;
        AstrelAudioProcessorEditor* shownEditor = nullptr;
    };
} // namespace

//==============================================================================
TEST (EditorShell, LaysOutTheDefaultWindowToThePixel)
{
    TemporaryHome home;
    LinkedProcessors linked (1);
    auto editor = openEditor (linked[0]);

    ASSERT_EQ (editor->getBounds(), Rect (0, 0, 1000, 560));
    EXPECT_EQ (editor->getTopBar().getBounds(), Rect (8, 8, 984, 38));
    ASSERT_NE (editor->getXYPad(), nullptr);
    EXPECT_EQ (editor->getXYPad()->getBounds(), Rect (196, 54, 608, 498));
    ASSERT_NE (editor->getSidebar(), nullptr);
    EXPECT_EQ (editor->getSidebar()->getBounds(), Rect (8, 54, 180, 498));
    ASSERT_NE (editor->getInspector(), nullptr);
    EXPECT_EQ (editor->getInspector()->getBounds(), Rect (812, 54, 180, 498));
    EXPECT_EQ (editor->getAboutLabel().getBounds(), Rect (204, 528, 100, 20));
    EXPECT_EQ (editor->getAboutLabel().getText(), "About");
    ASSERT_NE (editor->getAboutPanel(), nullptr);
    EXPECT_EQ (editor->getAboutPanel()->getBounds(), Rect (0, 0, 1000, 560));
    EXPECT_FALSE (editor->getAboutPanel()->isVisible());

    EXPECT_LT (editor->getIndexOfChildComponent (editor->getXYPad()), editor->getIndexOfChildComponent (&editor->getAboutLabel()))
        << "the link sits above the pad";

    editor->setSize (2400, 1200);
    EXPECT_EQ (editor->getTopBar().getBounds(), Rect (8, 8, 2384, 38));
    EXPECT_EQ (editor->getXYPad()->getBounds(), Rect (196, 54, 2008, 1138));
    EXPECT_EQ (editor->getInspector()->getBounds(), Rect (2212, 54, 180, 1138));
    EXPECT_EQ (editor->getAboutLabel().getBounds(), Rect (204, 1168, 100, 20));
}

//==============================================================================
namespace
{
    /** One opening: what the state tree and the settings file hold (nullptr: absent), and the
        size the editor must open at. */
    struct SizeRestoreCase
    {
        const char* name;
        const char* stateMasterWidth;
        const char* stateMasterHeight;
        const char* stateSingleWidth;
        const char* stateSingleHeight;
        const char* fileMasterWidth;
        const char* fileMasterHeight;
        const char* fileSingleWidth;
        const char* fileSingleHeight;
        int expectedWidth;
        int expectedHeight;
    };

    std::ostream& operator<< (std::ostream& stream, const SizeRestoreCase& c) { return stream << c.name; }

    class EditorSizeRestore : public ::testing::TestWithParam<SizeRestoreCase>
    {
    };
} // namespace

TEST_P (EditorSizeRestore, OpensAtTheRememberedSize)
{
    const auto& c = GetParam();
    TemporaryHome home;

    std::vector<std::pair<const char*, const char*>> settings;

    for (const auto& [key, value] : { std::pair { "masterViewWidth", c.fileMasterWidth },
                                      { "masterViewHeight", c.fileMasterHeight },
                                      { "singleViewWidth", c.fileSingleWidth },
                                      { "singleViewHeight", c.fileSingleHeight } })
        if (value != nullptr)
            settings.emplace_back (key, value);

    if (! settings.empty())
        home.writeSettings (settings);

    LinkedProcessors linked (1);
    auto& state = linked[0].getValueTreeState().state;

    for (const auto& [key, value] : { std::pair { "editorMasterViewWidth", c.stateMasterWidth },
                                      { "editorMasterViewHeight", c.stateMasterHeight },
                                      { "editorSingleViewWidth", c.stateSingleWidth },
                                      { "editorSingleViewHeight", c.stateSingleHeight } })
        if (value != nullptr)
            state.setProperty (key, juce::String (value).getIntValue(), nullptr);

    auto editor = openEditor (linked[0]);
    EXPECT_EQ (editor->getWidth(), c.expectedWidth);
    EXPECT_EQ (editor->getHeight(), c.expectedHeight);

    // The deferred second application keeps the same size.
    runMessageLoop (30);
    EXPECT_EQ (editor->getWidth(), c.expectedWidth);
    EXPECT_EQ (editor->getHeight(), c.expectedHeight);
}

INSTANTIATE_TEST_SUITE_P (
    Rules,
    EditorSizeRestore,
    ::testing::Values (
        SizeRestoreCase { "nothingStored", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, 1000, 560 },
        SizeRestoreCase { "stateTreeClamped", "3000", "100", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, 2400, 560 },
        SizeRestoreCase { "stateTreeBeatsFile", "1300", "700", nullptr, nullptr, "1500", "800", nullptr, nullptr, 1300, 700 },
        SizeRestoreCase { "stateSingleView", nullptr, nullptr, "800", "700", "1500", "800", nullptr, nullptr, 1168, 700 },
        SizeRestoreCase { "stateSingleViewNarrow", nullptr, nullptr, "631", "2000", nullptr, nullptr, nullptr, nullptr, 1000, 1200 },
        SizeRestoreCase { "stateHalfPairSkipped", "1300", nullptr, nullptr, nullptr, "1500", "800", nullptr, nullptr, 1500, 800 },
        SizeRestoreCase { "fileMaster", nullptr, nullptr, nullptr, nullptr, "1234", "777", nullptr, nullptr, 1234, 777 },
        SizeRestoreCase { "fileLeadingDigits", nullptr, nullptr, nullptr, nullptr, "1300px", "abc", nullptr, nullptr, 1300, 560 },
        SizeRestoreCase { "fileAboveMaximum", nullptr, nullptr, nullptr, nullptr, "9000", "5000", nullptr, nullptr, 2400, 1200 },
        SizeRestoreCase { "fileSingle500", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, "500", "700", 1000, 700 },
        SizeRestoreCase { "fileSingle800", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, "800", "700", 1168, 700 },
        SizeRestoreCase { "fileSingle5000", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, "5000", "700", 2400, 700 },
        SizeRestoreCase { "fileMasterEmptyHalf", nullptr, nullptr, nullptr, nullptr, "1500", "", "800", "600", 1168, 600 },
        SizeRestoreCase { "fileMasterMissingHalf", nullptr, nullptr, nullptr, nullptr, nullptr, "800", nullptr, nullptr, 1000, 560 }),
    [] (const auto& testInfo) { return std::string (testInfo.param.name); });

//==============================================================================
TEST (EditorShell, WritesNothingWhileOpeningAndTheSizeAfterwards)
{
    TemporaryHome home;
    LinkedProcessors linked (1);
    auto& state = linked[0].getValueTreeState().state;
    HostNotifications notifications (linked[0]);

    auto editor = openEditor (linked[0]);
    runMessageLoop (30);

    EXPECT_FALSE (state.hasProperty ("editorMasterViewWidth"));
    EXPECT_FALSE (state.hasProperty ("editorMasterViewHeight"));
    EXPECT_FALSE (home.settingsFile().exists());
    EXPECT_EQ (notifications.count, 0);

    editor->setSize (1200, 700);
    EXPECT_EQ (static_cast<int> (state["editorMasterViewWidth"]), 1200);
    EXPECT_EQ (static_cast<int> (state["editorMasterViewHeight"]), 700);
    EXPECT_EQ (home.readSetting ("masterViewWidth"), "1200");
    EXPECT_EQ (home.readSetting ("masterViewHeight"), "700");
    EXPECT_EQ (notifications.count, 1);

    editor->setSize (1000, 560);
    EXPECT_EQ (notifications.count, 2);

    // Below the minimum the stored size stays the clamped one, so the host hears nothing new.
    editor->setSize (900, 500);
    EXPECT_EQ (static_cast<int> (state["editorMasterViewWidth"]), 1000);
    EXPECT_EQ (static_cast<int> (state["editorMasterViewHeight"]), 560);
    EXPECT_EQ (notifications.count, 2);

    editor->setSize (1000, 560);
    EXPECT_EQ (notifications.count, 2);

    // The size saved in one project is what the next editor of a new project opens at.
    editor->setSize (1444, 888);
    editor.reset();
    LinkedProcessors another (1);
    another[0].getValueTreeState().state.removeProperty ("editorMasterViewWidth", nullptr);
    auto reopened = openEditor (another[0]);
    EXPECT_EQ (reopened->getBounds(), Rect (0, 0, 1444, 888));
}

TEST (EditorShell, AboutLinkOpensThePanelAndAClickOutsideTheCardClosesIt)
{
    TemporaryHome home;
    LinkedProcessors linked (1);
    auto editor = openEditor (linked[0]);
    DesktopComponent shown (*editor, 1000, 560);
    auto& panel = *editor->getAboutPanel();

    const auto link = centreIn (editor->getAboutLabel(), *editor);
    shown.click (link.x, link.y);
    EXPECT_TRUE (panel.isVisible());
    EXPECT_TRUE (takesClicks (panel));
    EXPECT_EQ (panel.getBounds(), editor->getLocalBounds());
    EXPECT_TRUE (panel.getVersionLabel().getText().startsWith ("Version "));
    for (auto* child : editor->getChildren())
    {
        if (child != &panel && ! child->isAlwaysOnTop())
        {
            EXPECT_LT (editor->getIndexOfChildComponent (child), editor->getIndexOfChildComponent (&panel)) << "it covers everything";
        }
    }

    // A click inside the card leaves it open; one outside closes it.
    const auto card = panel.getCardBounds().getCentre();
    shown.click (card.x, card.y);
    EXPECT_TRUE (panel.isVisible());

    shown.click (20.0f, 20.0f);
    EXPECT_FALSE (panel.isVisible());
    EXPECT_FALSE (takesClicks (panel));

    // With the panel closed the top bar takes clicks again.
    const auto store = centreIn (editor->getTopBar().storeButton, *editor);
    shown.click (store.x, store.y);
    EXPECT_TRUE (editor->getTopBar().isStoreArmed());
}

//==============================================================================
TEST (EditorActions, BypassAllIsOneUndoableStepAcrossEditors)
{
    EditorRig rig;
    auto& barA = rig.editorA->getTopBar();
    auto& barB = rig.editorB->getTopBar();
    EXPECT_FALSE (barA.undoButton.isEnabled());

    rig.clickOn (*rig.editorA, barA.bypassAllButton);
    EXPECT_TRUE (barA.bypassAllButton.isActive());
    EXPECT_TRUE (barA.undoButton.isEnabled());
    EXPECT_EQ (rig.linked.undo().getUndoDescription(), "Bypass All");

    rig.tick();
    for (size_t i = 0; i < 3; ++i)
        EXPECT_GE (rig.linked[i].getPlainValue ("bypass"), 0.5f) << i;

    EXPECT_TRUE (barB.bypassAllButton.isActive()) << "the other editor follows on its tick";
    EXPECT_TRUE (barB.undoButton.isEnabled());

    rig.clickOn (*rig.editorB, barB.undoButton);
    rig.tick();

    for (size_t i = 0; i < 3; ++i)
        EXPECT_LT (rig.linked[i].getPlainValue ("bypass"), 0.5f) << i;

    EXPECT_FALSE (barA.bypassAllButton.isActive());
    EXPECT_FALSE (rig.linked.undo().canUndo()) << "one click, one step";
    EXPECT_TRUE (barA.redoButton.isEnabled());

    // With everything bypassed the button unbypasses, again as one step.
    rig.clickOn (*rig.editorA, barA.bypassAllButton);
    rig.tick();
    rig.clickOn (*rig.editorA, barA.bypassAllButton);
    EXPECT_EQ (rig.linked.undo().getUndoDescription(), "Unbypass All");
    rig.tick();
    EXPECT_LT (rig.linked[2].getPlainValue ("bypass"), 0.5f);
}

TEST (EditorActions, ListenMonoFollowsTheClickAndEndsWhenAnyEditorCloses)
{
    EditorRig rig;
    auto& barA = rig.editorA->getTopBar();

    rig.clickOn (*rig.editorA, barA.listenMonoButton);
    EXPECT_TRUE (barA.listenMonoButton.isActive());
    rig.tick();

    for (const auto& [id, status] : rig.linked.registry().getStatuses())
        EXPECT_TRUE (status.listenMono) << id;

    EXPECT_TRUE (rig.linked[2].isOutputMono());
    EXPECT_TRUE (rig.editorB->getTopBar().listenMonoButton.isActive());
    EXPECT_FALSE (rig.linked.undo().canUndo()) << "monitoring is not an edit";

    // Closing editor B switches it off on every instance, and A shows that.
    rig.closeEditorB();

    for (const auto& [id, status] : rig.linked.registry().getStatuses())
        EXPECT_FALSE (status.listenMono) << id;

    rig.tick();
    EXPECT_FALSE (rig.linked[2].isOutputMono());
    EXPECT_FALSE (barA.listenMonoButton.isActive());
}

TEST (EditorActions, StoreThenRecallGlidesBackAsOneUndoStep)
{
    EditorRig rig;
    rig.setPans ({ -0.5f, 0.1f, 0.6f });
    auto& barA = rig.editorA->getTopBar();
    auto& barB = rig.editorB->getTopBar();

    rig.clickOn (*rig.editorA, barA.storeButton);
    EXPECT_TRUE (barA.isStoreArmed());
    rig.clickOn (*rig.editorA, barA.slotButtons[1]);
    EXPECT_FALSE (barA.isStoreArmed());

    const auto slots = rig.linked.registry().getWholefieldSlotsState();
    ASSERT_TRUE (slots.slots[1].hasLayout);
    EXPECT_EQ (slots.currentSlotIndex, 1);
    ASSERT_EQ (slots.slots[1].instances.size(), 3u);
    EXPECT_EQ (slots.slots[1].instances[0].pluginID, rig.linked.id (0)) << "listed in the order the instances joined";
    EXPECT_FALSE (rig.linked.undo().canUndo()) << "storing is not an edit";
    EXPECT_TRUE (rig.linked[0].getValueTreeState().state.getProperty ("wholefieldSlotsJson").toString().isNotEmpty());

    rig.tick();
    auto& slotB = barB.slotButtons[1];
    EXPECT_TRUE (slotB.isStored());
    EXPECT_TRUE (slotB.isCurrent());
    EXPECT_FALSE (slotB.isModified());
    EXPECT_FALSE (barB.slotButtons[0].isStored());

    rig.setPans ({ 0.9f, -0.9f, 0.0f });
    EXPECT_TRUE (slotB.isModified());
    EXPECT_TRUE (barA.slotButtons[1].isModified());

    rig.clickOn (*rig.editorB, slotB);
    EXPECT_EQ (rig.linked.undo().getUndoDescription(), "Recall Slot 2");

    // The instances glide back over 450 ms; meanwhile the slot is current and not modified.
    bool sawMidway = false;

    for (double elapsed = 16.0; elapsed <= 432.0; elapsed += 16.0)
    {
        rig.tick();
        EXPECT_TRUE (slotB.isCurrent()) << elapsed;
        EXPECT_FALSE (slotB.isModified()) << elapsed;
        sawMidway = sawMidway || (rig.pan (0) < 0.8f && rig.pan (0) > -0.4f);
    }

    EXPECT_TRUE (sawMidway) << "the recall is a glide, not a jump";
    EXPECT_GT (rig.pan (0), -0.5f + 0.0025f) << "not there before 450 ms";

    for (int i = 0; i < 4; ++i)
        rig.tick();

    EXPECT_NEAR (rig.pan (0), -0.5f, 0.0001f);
    EXPECT_NEAR (rig.pan (1), 0.1f, 0.0001f);
    EXPECT_NEAR (rig.pan (2), 0.6f, 0.0001f);
    EXPECT_FALSE (slotB.isModified());

    // One undo step takes all three back to where they were before the recall.
    rig.clickOn (*rig.editorA, barA.undoButton);

    for (int i = 0; i < 40; ++i)
        rig.tick();

    EXPECT_NEAR (rig.pan (0), 0.9f, 0.0001f);
    EXPECT_NEAR (rig.pan (1), -0.9f, 0.0001f);
    EXPECT_NEAR (rig.pan (2), 0.0f, 0.0001f);
    EXPECT_FALSE (rig.linked.undo().canUndo());
    EXPECT_TRUE (slotB.isModified());
}

TEST (EditorActions, ARecallThatFallsShortShowsModifiedOnlyAfterItsSettleTime)
{
    EditorRig rig;
    rig.setPans ({ -0.5f, 0.1f, 0.6f });
    rig.editorA->storeWholefieldSlot (0);
    rig.setPans ({ 0.5f, 0.5f, 0.5f });

    const auto clickMs = rig.linked.nowMs;
    rig.clickOn (*rig.editorA, rig.editorA->getTopBar().slotButtons[0]);
    auto& slot = rig.editorA->getTopBar().slotButtons[0];

    // The third instance never takes its commands: it stays away from the stored layout.
    const auto tickAllButTheThird = [&] (double atMs) {
        rig.linked.nowMs = atMs;
        rig.linked[0].runTick (atMs);
        rig.linked[1].runTick (atMs);
        rig.refresh();
    };

    for (double at = clickMs + 16.0; at < clickMs + 630.0; at += 16.0)
    {
        tickAllButTheThird (at);
        EXPECT_FALSE (slot.isModified()) << at - clickMs;
    }

    tickAllButTheThird (clickMs + 630.0);
    EXPECT_TRUE (slot.isCurrent());
    EXPECT_TRUE (slot.isModified());
}

TEST (EditorActions, StoreWithoutInstancesOnlyDisarms)
{
    TemporaryHome home;
    LinkedProcessors linked (1);
    auto editor = openEditor (linked[0]);
    linked[0].getSharedStatusManager().removeStatus (linked.id (0));

    editor->getTopBar().setStoreArmed (true);
    editor->storeWholefieldSlot (2);
    EXPECT_FALSE (editor->getTopBar().isStoreArmed());
    EXPECT_FALSE (linked.registry().getWholefieldSlotsState().slots[2].hasLayout);
    EXPECT_EQ (linked.registry().getWholefieldSlotsRevision(), 0);
}

//==============================================================================
TEST (EditorRefresh, AnInstanceSilentForTenSecondsLeavesEveryEditor)
{
    EditorRig rig;
    const auto ownID = rig.linked.id (0);
    const auto staleID = rig.linked.id (2);
    rig.editorA->getSelectionModel().setSelection ({ ownID, staleID });
    rig.editorB->getSelectionModel().setSelection ({ staleID });

    const auto lastPublishMs = rig.linked.nowMs;
    const auto tickAllButTheThird = [&] (double atMs) {
        rig.linked.nowMs = atMs;
        rig.linked[0].runTick (atMs);
        rig.linked[1].runTick (atMs);
        rig.refresh();
    };

    tickAllButTheThird (lastPublishMs + 9999.0);
    EXPECT_EQ (rig.linked.registry().getStatuses().count (staleID), 1u);
    EXPECT_TRUE (rig.editorB->getSelectionModel().isSelected (staleID));
    EXPECT_EQ (rig.editorA->getXYPad()->getSelectedVisibleDotPositionsFromCurrentStatus().size(), 2u);

    tickAllButTheThird (lastPublishMs + 10001.0);
    EXPECT_EQ (rig.linked.registry().getStatuses().count (staleID), 0u);
    EXPECT_EQ (rig.editorA->getSelectionModel().getSelectedIDs(), SelectionModel::IDSet { ownID });
    EXPECT_TRUE (rig.editorB->getSelectionModel().getSelectedIDs().empty());
    EXPECT_EQ (rig.editorA->getXYPad()->getSelectedVisibleDotPositionsFromCurrentStatus().size(), 1u);

    for (auto* editor : { rig.editorA.get(), rig.editorB.get() })
    {
        ASSERT_EQ (editor->getSidebar()->labels.size(), 2);

        for (auto* label : editor->getSidebar()->labels)
            EXPECT_NE (label->id, staleID);
    }
}

TEST (EditorRefresh, NothingIsRefreshedBeforeTheOwnInstanceHasPublished)
{
    TemporaryHome home;
    LinkedProcessors linked (2);
    auto editor = openEditor (linked[0]);
    editor->clock = [&linked] { return linked.nowMs; };
    linked.registry().removeStatus (linked.id (0));

    linked.controller().perform ("Bypass", { [&] { AstrelTargetPatch p; p.pluginID = linked.id (1); p.bypass = true; return p; }() },
                                 AstrelCommandOrigin::inspector, AstrelUndoPolicy::record, AstrelCommandDelivery::immediate);
    linked[1].runTick (linked.nowMs + 16.0);
    editor->runTick (linked.nowMs + 16.0);
    EXPECT_FALSE (editor->getTopBar().bypassAllButton.isActive());
    EXPECT_FALSE (editor->getTopBar().undoButton.isEnabled());

    linked.tick();
    editor->runTick (linked.nowMs);
    EXPECT_TRUE (editor->getTopBar().undoButton.isEnabled());
}

//==============================================================================
namespace
{
    class EditorSavedProject : public ::testing::TestWithParam<bool>
    {
    };
} // namespace

TEST_P (EditorSavedProject, BringsBackTheSlotsAndTheSizeWithTheNewestRevisionWinning)
{
    const auto newerChunkLoadsFirst = GetParam();
    TemporaryHome home;
    juce::MemoryBlock olderChunk, newerChunk;
    juce::String savedIDs[2];
    std::int32_t newestRevision = 0;

    {
        LinkedProcessors linked (2);
        auto editor = openEditor (linked[0]);
        editor->clock = [&linked] { return linked.nowMs; };
        editor->setSize (1300, 700);

        editor->storeWholefieldSlot (0);
        linked.tick();
        linked[0].getStateInformation (olderChunk);

        editor->storeWholefieldSlot (2);
        linked.tick();
        linked[1].getStateInformation (newerChunk);
        newestRevision = linked.registry().getWholefieldSlotsRevision();
        savedIDs[0] = linked.id (0);
        savedIDs[1] = linked.id (1);
    }

    // Another process: a registry of its own, and no settings file to fall back on.
    home.settingsFile().deleteFile();
    LinkedProcessors linked (2);
    ASSERT_EQ (linked.registry().getWholefieldSlotsRevision(), 0) << "the old registry went away";

    if (newerChunkLoadsFirst)
    {
        linked[1].setStateInformation (newerChunk.getData(), static_cast<int> (newerChunk.getSize()));
        linked[0].setStateInformation (olderChunk.getData(), static_cast<int> (olderChunk.getSize()));
    }
    else
    {
        linked[0].setStateInformation (olderChunk.getData(), static_cast<int> (olderChunk.getSize()));
        linked[1].setStateInformation (newerChunk.getData(), static_cast<int> (newerChunk.getSize()));
    }

    linked.tick();
    EXPECT_EQ (linked.id (0), savedIDs[0]);
    EXPECT_EQ (linked.id (1), savedIDs[1]);

    auto editor = openEditor (linked[0]);
    editor->clock = [&linked] { return linked.nowMs; };
    EXPECT_EQ (editor->getBounds(), Rect (0, 0, 1300, 700));

    editor->runTick (linked.nowMs);
    const auto slots = linked.registry().getWholefieldSlotsState();
    EXPECT_EQ (slots.revision, newestRevision);
    EXPECT_EQ (slots.currentSlotIndex, 2);
    ASSERT_TRUE (slots.slots[2].hasLayout);
    EXPECT_EQ (slots.slots[2].instances.size(), 2u);

    const auto& buttons = editor->getTopBar().slotButtons;
    EXPECT_TRUE (buttons[0].isStored());
    EXPECT_FALSE (buttons[1].isStored());
    EXPECT_TRUE (buttons[2].isStored());
    EXPECT_TRUE (buttons[2].isCurrent());
    EXPECT_FALSE (buttons[2].isModified());
}

INSTANTIATE_TEST_SUITE_P (LoadOrder, EditorSavedProject, ::testing::Bool());

//==============================================================================
namespace
{
    juce::Point<float> dotInEditor (AstrelAudioProcessorEditor& editor, const PluginStatus& status)
    {
        auto& pad = *editor.getXYPad();
        return pad.dotPositionFor (status) + pad.getPosition().toFloat();
    }
} // namespace

TEST (EditorEndToEnd, DraggingADotMovesThatInstanceAndEveryEditorAndUndoBringsItBack)
{
    EditorRig rig;
    rig.setPans ({ -0.5f, 0.1f, 0.6f });
    const auto movedID = rig.linked.id (2);
    rig.editorB->getSelectionModel().selectOnly (movedID);

    auto& screen = rig.show (*rig.editorA);
    const auto start = dotInEditor (*rig.editorA, rig.linked.registry().getStatuses()[movedID]);
    screen.press (start.x, start.y);

    for (int step = 1; step <= 4; ++step)
        screen.drag (start.x - 10.0f * static_cast<float> (step), start.y - 25.0f * static_cast<float> (step));

    screen.release (start.x - 40.0f, start.y - 100.0f);
    EXPECT_EQ (rig.editorA->getSelectionModel().getSelectedIDs(), SelectionModel::IDSet { movedID });
    EXPECT_EQ (rig.linked.undo().getUndoDescription(), "Move Dot");

    const auto expected = rig.editorA->getXYPad()->panAndRatioAt ({ start.x - 40.0f - static_cast<float> (rig.editorA->getXYPad()->getX()),
                                                                     start.y - 100.0f - static_cast<float> (rig.editorA->getXYPad()->getY()) });
    rig.tick();
    EXPECT_NEAR (rig.linked[2].getPlainValue ("pan"), expected.x, 0.001f);
    EXPECT_NEAR (rig.linked[2].getPlainValue ("ratio"), expected.y, 0.001f);
    EXPECT_GT (expected.y, 0.1f);
    EXPECT_NEAR (rig.pan (0), -0.5f, 0.0001f) << "only the dragged instance moves";

    // Editor B, which has that instance selected, shows the new place on its pad and inspector.
    const auto shownInB = rig.editorB->getXYPad()->getSelectedVisibleDotPositionsFromCurrentStatus();
    ASSERT_EQ (shownInB.count (movedID), 1u);
    EXPECT_NEAR (shownInB.at (movedID).x, start.x - 40.0f - static_cast<float> (rig.editorB->getXYPad()->getX()), 0.5f);
    EXPECT_EQ (rig.editorB->getInspector()->panValue.getText(), InspectorComponent::formatPan (rig.linked[2].getPlainValue ("pan")));

    rig.clickOn (*rig.editorB, rig.editorB->getTopBar().undoButton);
    rig.tick();
    EXPECT_NEAR (rig.linked[2].getPlainValue ("pan"), 0.6f, 0.0001f);
    EXPECT_NEAR (rig.linked[2].getPlainValue ("ratio"), 0.0f, 0.0001f);
    EXPECT_EQ (rig.editorA->getInspector()->panValue.getText(), InspectorComponent::formatPan (0.6f));
}

TEST (EditorEndToEnd, InspectorKnobDragIsOneUndoStepOnTheShownInstance)
{
    EditorRig rig;
    auto& inspector = *rig.editorA->getInspector();
    ASSERT_EQ (inspector.getShownInstanceId(), rig.linked.id (0));

    auto& screen = rig.show (*rig.editorA);
    const auto knob = centreIn (inspector.bassProtectKnob, *rig.editorA);
    screen.press (knob.x, knob.y);

    for (int step = 1; step <= 5; ++step)
        screen.drag (knob.x, knob.y - 12.0f * static_cast<float> (step));

    // A refresh in the middle of the drag changes nothing of it.
    rig.tick();
    screen.release (knob.x, knob.y - 60.0f);

    EXPECT_EQ (rig.linked.undo().getUndoDescription(), "Inspector Bass Protect");
    rig.tick();
    const auto cutoff = rig.linked[0].getPlainValue ("sideLowCutHz");
    EXPECT_GT (cutoff, 1.0f);
    EXPECT_NEAR (cutoff, static_cast<float> (inspector.bassProtectKnob.getValue()), 0.5f);
    EXPECT_FLOAT_EQ (rig.linked[1].getPlainValue ("sideLowCutHz"), 0.0f);

    rig.clickOn (*rig.editorA, rig.editorA->getTopBar().undoButton);
    rig.tick();
    EXPECT_FLOAT_EQ (rig.linked[0].getPlainValue ("sideLowCutHz"), 0.0f);
}

TEST (EditorActions, InspectorEditsBecomeNamedUndoSteps)
{
    EditorRig rig;
    auto& inspector = *rig.editorA->getInspector();
    const auto id = rig.linked.id (0);

    rig.clickOn (*rig.editorA, inspector.monoBassButton);
    EXPECT_EQ (rig.linked.undo().getUndoDescription(), "Inspector Mono Bass");
    rig.tick();
    EXPECT_GE (rig.linked[0].getPlainValue ("monoBass"), 0.5f);

    inspector.onTrackNameChanged (id, "  " + juce::String::repeatedString ("x", 70));
    EXPECT_EQ (rig.linked.undo().getUndoDescription(), "Rename");
    rig.tick();
    EXPECT_EQ (rig.linked[0].getTrackName(), juce::String::repeatedString ("x", 64));
    EXPECT_TRUE (rig.linked[0].wasTrackNameSetManually());

    inspector.onTrackNameChanged (id, "   ");
    rig.tick();
    EXPECT_EQ (rig.linked[0].getTrackName(), "Track");

    // Without an instance nothing is sent, and a knob released without one records nothing.
    const auto stepsBefore = rig.linked.undo().getUndoManager().getUndoDescriptions().size();
    inspector.onTrackNameChanged ({}, "Nobody");
    inspector.onMonoBassChanged ({}, false);
    inspector.onSpotlightDragStarted (id);
    inspector.onSpotlightChanged (id, 40.0f);
    inspector.onSpotlightDragEnded ({}, 40.0f);
    EXPECT_EQ (rig.linked.undo().getUndoDescription(), "Rename");
    EXPECT_EQ (rig.linked.undo().getUndoManager().getUndoDescriptions().size(), stepsBefore);
    EXPECT_EQ (rig.linked.controller().getActiveGestureId(), 0u);

    inspector.onGainTrimDragStarted (id);
    inspector.onGainTrimChanged (id, -3.0f);
    inspector.onGainTrimDragEnded (id, -4.5f);
    EXPECT_EQ (rig.linked.undo().getUndoDescription(), "Inspector Gain Trim");
    rig.tick();
    EXPECT_NEAR (rig.linked[0].getPlainValue ("gainTrimDb"), -4.5f, 0.001f);
}

TEST (EditorActions, ShowCurrentInstanceShowsSelectsAndScrollsToTheOwnInstance)
{
    EditorRig rig;
    const auto own = rig.linked.id (0);
    AstrelTargetPatch hide;
    hide.pluginID = own;
    hide.visible = false;
    rig.linked.controller().perform ("Hide Instance", { hide }, AstrelCommandOrigin::instanceList, AstrelUndoPolicy::none, AstrelCommandDelivery::immediate);
    rig.tick();

    auto& inspector = *rig.editorA->getInspector();
    EXPECT_TRUE (rig.editorA->getSelectionModel().getSelectedIDs().empty());
    ASSERT_TRUE (inspector.selectThisTrackButton.isVisible());
    EXPECT_EQ (inspector.selectThisTrackButton.getButtonText(), "SHOW & SELECT THIS TRACK");

    rig.clickOn (*rig.editorA, inspector.selectThisTrackButton);
    EXPECT_TRUE (rig.linked.registry().getStatuses()[own].visible);
    EXPECT_EQ (rig.editorA->getSelectionModel().getSelectedIDs(), SelectionModel::IDSet { own });
    EXPECT_EQ (inspector.getShownInstanceId(), own);
    EXPECT_TRUE (rig.editorA->getSidebar()->pendingScrollID.isEmpty()) << "its row was there to scroll to";
    EXPECT_FALSE (rig.linked.undo().canUndo());

    rig.tick();
    EXPECT_EQ (rig.editorA->getSelectionModel().getSelectedIDs(), SelectionModel::IDSet { own });
}

TEST (EditorRefresh, InspectorMetersShowOnlyAFreshFrameOfTheOneSelectedInstance)
{
    EditorRig rig;
    auto& inspector = *rig.editorA->getInspector();
    const auto id = rig.linked.id (0);
    const auto publish = [&] (float correlation, double stampMs) {
        MeteringFrame frame;
        frame.peakLeft = 0.5f;
        frame.peakRight = 0.25f;
        frame.correlation = correlation;
        frame.correlationValid = true;
        frame.timestampMs = stampMs;
        rig.linked.registry().publishMeteringFrame (id, frame);
    };

    auto now = rig.linked.nowMs;
    publish (0.8f, now);
    rig.editorA->runTick (now);
    EXPECT_TRUE (inspector.correlationMeter.isValid());
    EXPECT_FLOAT_EQ (inspector.correlationMeter.getDisplayed(), 0.8f) << "the first value is shown at once";
    EXPECT_GT (inspector.outputMeter.getLevelLeft(), 0.0f);

    now += 100.0;
    publish (-0.2f, now);
    rig.editorA->runTick (now);
    EXPECT_NEAR (inspector.correlationMeter.getDisplayed(), 0.8f - 1.0f * (1.0f - std::exp (-1.0f)), 0.0001f);

    now += 151.0;
    rig.editorA->runTick (now);
    EXPECT_FALSE (inspector.correlationMeter.isValid()) << "a frame 151 ms old is not shown";
    EXPECT_FLOAT_EQ (inspector.correlationMeter.getTarget(), 0.0f);

    publish (0.5f, now);
    rig.editorA->getSelectionModel().setSelection ({ id, rig.linked.id (1) });
    rig.editorA->runTick (now);
    EXPECT_FALSE (inspector.correlationMeter.isValid()) << "two selected: no meter";
    EXPECT_FLOAT_EQ (inspector.outputMeter.getLevelLeft(), 0.0f);
}

TEST (EditorShell, AClickOutsideTheInspectorEndsTheNameEdit)
{
    EditorRig rig;
    auto& inspector = *rig.editorA->getInspector();
    auto& screen = rig.show (*rig.editorA);

    const auto field = centreIn (inspector.nameEditor, *rig.editorA);
    screen.click (field.x, field.y);
    ASSERT_TRUE (inspector.nameEditor.hasKeyboardFocus (true));

    // A second click in the field (placing the caret) is the inspector's business alone.
    screen.click (field.x + 10.0f, field.y);
    EXPECT_TRUE (inspector.nameEditor.hasKeyboardFocus (true));

    const auto padCorner = rig.editorA->getXYPad()->getBounds().toFloat().getTopLeft() + juce::Point<float> (4.0f, 4.0f);
    screen.click (padCorner.x, padCorner.y);
    EXPECT_FALSE (inspector.nameEditor.hasKeyboardFocus (true));
    EXPECT_FALSE (inspector.nameEditor.getWantsKeyboardFocus());
}

TEST (EditorEndToEnd, TheInspectorSpreadKnobSpreadsTheSelectionOnThePad)
{
    EditorRig rig;
    rig.setPans ({ -0.5f, 0.1f, 0.6f });
    rig.editorA->getSelectionModel().setSelection ({ rig.linked.id (0), rig.linked.id (2) });
    rig.tick();

    auto& inspector = *rig.editorA->getInspector();
    ASSERT_TRUE (inspector.spreadKnob.isVisible());
    ASSERT_TRUE (inspector.spreadKnob.isEnabled());

    auto& screen = rig.show (*rig.editorA);
    const auto knob = centreIn (inspector.spreadKnob, *rig.editorA);
    screen.press (knob.x, knob.y);

    for (int step = 1; step <= 6; ++step)
        screen.drag (knob.x, knob.y + 10.0f * static_cast<float> (step));

    screen.release (knob.x, knob.y + 60.0f);
    EXPECT_EQ (rig.linked.undo().getUndoDescription(), "Constellation Spread");
    EXPECT_TRUE (rig.editorA->getTopBar().undoButton.isEnabled());
    EXPECT_FALSE (rig.editorA->getXYPad()->isSpreadActive());

    rig.tick();
    const auto left = rig.pan (0), right = rig.pan (2);
    EXPECT_GT (left, -0.5f) << "drawn in towards the centre";
    EXPECT_LT (right, 0.6f);
    EXPECT_NEAR ((left + right) / 2.0f, 0.05f, 0.001f) << "about the constellation's centre";
    EXPECT_NEAR (rig.pan (1), 0.1f, 0.0001f) << "not selected";

    rig.clickOn (*rig.editorA, rig.editorA->getTopBar().undoButton);
    rig.tick();
    EXPECT_NEAR (rig.pan (0), -0.5f, 0.0001f);
    EXPECT_NEAR (rig.pan (2), 0.6f, 0.0001f);
}

TEST (EditorShell, ClosingDuringAKnobDragEndsTheGestureAsAnUndoStep)
{
    EditorRig rig;
    const auto id = rig.linked.id (1);
    auto& inspector = *rig.editorB->getInspector();
    inspector.onBassProtectDragStarted (id);
    inspector.onBassProtectChanged (id, 250.0f);
    EXPECT_NE (rig.linked.controller().getActiveGestureId(), 0u);

    rig.closeEditorB();
    EXPECT_EQ (rig.linked.controller().getActiveGestureId(), 0u);
    EXPECT_EQ (rig.linked.undo().getUndoDescription(), "Inspector Bass Protect");

    rig.tick();
    EXPECT_NEAR (rig.linked[1].getPlainValue ("sideLowCutHz"), 250.0f, 0.01f);
}

TEST (EditorEndToEnd, AKnobDragWhoseInstanceLeavesTheInspectorIsCommittedAsSent)
{
    EditorRig rig;
    auto& inspector = *rig.editorA->getInspector();
    ASSERT_EQ (inspector.getShownInstanceId(), rig.linked.id (0));

    auto& screen = rig.show (*rig.editorA);
    const auto knob = centreIn (inspector.gainTrimKnob, *rig.editorA);
    screen.press (knob.x, knob.y);

    for (int step = 1; step <= 4; ++step)
        screen.drag (knob.x, knob.y - 12.0f * static_cast<float> (step));

    rig.tick();
    const auto sent = rig.linked[0].getPlainValue ("gainTrimDb");
    ASSERT_GT (sent, 0.05f);

    // Another instance becomes the shown one while the mouse is still down.
    rig.editorA->getSelectionModel().selectOnly (rig.linked.id (2));
    EXPECT_EQ (inspector.getShownInstanceId(), rig.linked.id (2));
    EXPECT_EQ (rig.linked.controller().getActiveGestureId(), 0u) << "the drag's gesture is closed";
    EXPECT_EQ (rig.linked.undo().getUndoDescription(), "Inspector Gain Trim");

    screen.drag (knob.x, knob.y - 80.0f);
    screen.release (knob.x, knob.y - 80.0f);
    rig.tick();
    EXPECT_FLOAT_EQ (rig.linked[0].getPlainValue ("gainTrimDb"), sent) << "nothing more reaches the old instance";
    EXPECT_FLOAT_EQ (rig.linked[2].getPlainValue ("gainTrimDb"), 0.0f) << "nor the new one";

    rig.linked.undo().undo();
    rig.tick();
    EXPECT_FLOAT_EQ (rig.linked[0].getPlainValue ("gainTrimDb"), 0.0f);
}

TEST (EditorEndToEnd, ACompassTrimAfterARecallStartsFromTheRecalledLayout)
{
    EditorRig rig;
    rig.setPans ({ -0.2f, 0.1f, 0.4f });
    auto& bar = rig.editorA->getTopBar();
    rig.clickOn (*rig.editorA, bar.storeButton);
    rig.clickOn (*rig.editorA, bar.slotButtons[0]);

    auto& pad = *rig.editorA->getXYPad();
    auto& screen = rig.show (*rig.editorA);
    const auto compass = rig.editorA->getLocalPoint (&pad, pad.getCompassBounds().getCentre());

    // Right by 75 px once the axis is decided: every pan times 1.5.
    const auto trimPansByHalf = [&] {
        screen.press (compass.x, compass.y);
        screen.drag (compass.x + 4.0f, compass.y);
        screen.drag (compass.x + 79.0f, compass.y);
        screen.release (compass.x + 79.0f, compass.y);

        for (int i = 0; i < 3; ++i)
            rig.tick();
    };

    trimPansByHalf();
    EXPECT_NEAR (rig.pan (0), -0.3f, 0.001f);

    rig.clickOn (*rig.editorA, bar.slotButtons[0]);

    for (int i = 0; i < 40; ++i)
        rig.tick();

    ASSERT_NEAR (rig.pan (0), -0.2f, 0.001f);

    trimPansByHalf();
    EXPECT_NEAR (rig.pan (0), -0.3f, 0.001f) << "from the recalled pans, not the earlier baseline";
    EXPECT_NEAR (rig.pan (2), 0.6f, 0.001f);
}
