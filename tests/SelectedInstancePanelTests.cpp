#include "GuiHarness.h"
#include "SelectedInstancePanel.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace
{
    using Rect = juce::Rectangle<int>;
    using Ids = SelectionModel::IDSet;

    constexpr int width = 180, height = 498;
    const juce::ModifierKeys option (juce::ModifierKeys::altModifier);

    PluginStatus makeStatus (const juce::String& id, const juce::String& name)
    {
        PluginStatus status;
        status.pluginID = id;
        status.trackName = name;
        status.pan = -0.25f;
        status.ratio = 0.5f;
        status.sideLowCutHz = 120.0f;
        status.spotlightPercent = 30.0f;
        status.gainTrimDb = 2.0f;
        return status;
    }

    /** Every callback the inspector raises, in order, as "name argument..." with the values
        kept apart (drag values depend on the pointer path). */
    struct Calls
    {
        std::vector<std::string> names;
        std::vector<float> values;

        void add (const std::string& name, float value = 0.0f)
        {
            names.push_back (name);
            values.push_back (value);
        }

        /** The names with runs of the same entry folded into one. */
        std::vector<std::string> folded() const
        {
            std::vector<std::string> result;

            for (const auto& name : names)
                if (result.empty() || result.back() != name)
                    result.push_back (name);

            return result;
        }

        void clear()
        {
            names.clear();
            values.clear();
        }

        float lastValue() const { return values.empty() ? -999.0f : values.back(); }

        void wire (InspectorComponent& inspector)
        {
            const auto id = [] (const juce::String& s) { return " " + s.toStdString(); };
            const auto flag = [] (bool b) { return b ? std::string (" true") : std::string (" false"); };

            inspector.onTrackNameChanged = [=] (const juce::String& i, const juce::String& name) {
                add ("rename" + id (i) + " " + name.toStdString());
            };
            inspector.onBassProtectDragStarted = [=] (const juce::String& i) { add ("bassStarted" + id (i)); };
            inspector.onBassProtectChanged = [=] (const juce::String& i, float v) { add ("bassChanged" + id (i), v); };
            inspector.onBassProtectDragEnded = [=] (const juce::String& i, float v) { add ("bassEnded" + id (i), v); };
            inspector.onMonoBassChanged = [=] (const juce::String& i, bool on) { add ("mono" + id (i) + flag (on)); };
            inspector.onSpotlightDragStarted = [=] (const juce::String& i) { add ("spotStarted" + id (i)); };
            inspector.onSpotlightChanged = [=] (const juce::String& i, float v) { add ("spotChanged" + id (i), v); };
            inspector.onSpotlightDragEnded = [=] (const juce::String& i, float v) { add ("spotEnded" + id (i), v); };
            inspector.onGainTrimDragStarted = [=] (const juce::String& i) { add ("gainStarted" + id (i)); };
            inspector.onGainTrimChanged = [=] (const juce::String& i, float v) { add ("gainChanged" + id (i), v); };
            inspector.onGainTrimDragEnded = [=] (const juce::String& i, float v) { add ("gainEnded" + id (i), v); };
            inspector.onShowCurrentInstance = [=] { add ("showCurrent"); };
            inspector.onSpreadDragStarted = [=] (bool panOnly) { add ("spreadStarted" + flag (panOnly)); };
            inspector.onSpreadChanged = [=] (float v) { add ("spreadChanged", v); };
            inspector.onSpreadDragEnded = [=] (float v) { add ("spreadEnded", v); };
            inspector.onSpreadHoverChanged = [=] (bool hovering, bool panOnly) {
                add ("hover" + flag (hovering) + flag (panOnly));
            };
        }

        // The lambdas above capture this object by pointer through add().
        Calls() = default;
        Calls (const Calls&) = delete;
    };

    void runMessageLoop (int milliseconds)
    {
        juce::MessageManager::getInstance()->runDispatchLoopUntil (milliseconds);
    }

    struct Inspector : testing::Test
    {
        Inspector()
        {
            statuses["own"] = makeStatus ("own", "Own Track");
            statuses["b"] = makeStatus ("b", "Bass");
            statuses["c"] = makeStatus ("c", "Choir");
            calls.wire (inspector);
            inspector.setSize (width, height);
        }

        void select (Ids ids, std::optional<float> radial = std::nullopt, std::optional<float> panOnly = std::nullopt)
        {
            inspector.updateFromSelection (ids, statuses, radial, panOnly);
        }

        static juce::Point<float> centreOf (const juce::Component& c) { return c.getBounds().getCentre().toFloat(); }

        /** Sends key presses to the focused component through the window, as typing does. */
        void type (const juce::String& text)
        {
            for (auto character : text)
                inspector.getPeer()->handleKeyPress (juce::KeyPress (static_cast<int> (character), {}, character));
        }

        void press (int keyCode)
        {
            inspector.getPeer()->handleKeyPress (juce::KeyPress (keyCode));
            runMessageLoop (30); // the text editor reports Return and Escape through the message queue
        }

        InspectorComponent inspector { "own" };
        Calls calls;
        SharedStatusManager::StatusMap statuses;
    };
} // namespace

//==============================================================================
TEST_F (Inspector, ShowsTheValueTextsOfTheSelectedInstance)
{
    struct Case
    {
        const char* field;
        float value;
        const char* expected;
    };

    // The no-break space between number and unit keeps "120 Hz" on one line.
    const Case cases[] = { { "pan", 0.0004f, "C" },
                           { "pan", -0.37f, "37% L" },
                           { "pan", 0.37f, "37% R" },
                           { "pan", -1.0f, "100% L" },
                           { "depth", 0.125f, "13%" },
                           { "depth", 0.0f, "0%" },
                           { "bass", 0.4f, "OFF" },
                           { "bass", 120.0f, "120\xc2\xa0Hz" },
                           { "bass", 119.5f, "120\xc2\xa0Hz" },
                           { "bass", 2000.0f, "2000\xc2\xa0Hz" },
                           { "gain", -0.04f, "0.0 dB" },
                           { "gain", 3.46f, "+3.5 dB" },
                           { "gain", -2.0f, "-2.0 dB" },
                           { "gain", 20.0f, "+12.0 dB" },
                           { "spotlight", 42.5f, "43%" },
                           { "spotlight", 150.0f, "100%" } };

    for (const auto& c : cases)
    {
        auto& status = statuses["b"];
        status = makeStatus ("b", "Bass");
        const std::string field (c.field);
        juce::Label* label = nullptr;

        if (field == "pan")
        {
            status.pan = c.value;
            label = &inspector.panValue;
        }
        else if (field == "depth")
        {
            status.ratio = c.value;
            label = &inspector.depthValue;
        }
        else if (field == "bass")
        {
            status.sideLowCutHz = c.value;
            label = &inspector.bassProtectValue;
        }
        else if (field == "gain")
        {
            status.gainTrimDb = c.value;
            label = &inspector.gainTrimValue;
        }
        else
        {
            status.spotlightPercent = c.value;
            label = &inspector.spotlightValue;
        }

        select ({ "b" });
        EXPECT_EQ (label->getText(), juce::String::fromUTF8 (c.expected)) << c.field << " " << c.value;
    }

    EXPECT_TRUE (calls.names.empty()) << "showing values raises no callback";
}

TEST_F (Inspector, MonoIsDimmedWhileBassProtectIsOffAndFollowsTheStatus)
{
    statuses["b"].sideLowCutHz = 0.4f;
    statuses["b"].monoBass = true;
    select ({ "b" });
    EXPECT_NEAR (inspector.monoBassButton.getAlpha(), 0.55f, 0.5f / 255.0f);
    EXPECT_TRUE (inspector.monoBassButton.getToggleState());

    statuses["b"].sideLowCutHz = 120.0f;
    statuses["b"].monoBass = false;
    select ({ "b" });
    EXPECT_FLOAT_EQ (inspector.monoBassButton.getAlpha(), 1.0f);
    EXPECT_FALSE (inspector.monoBassButton.getToggleState());
    EXPECT_TRUE (calls.names.empty());
}

TEST_F (Inspector, ShowsTheNameAndTheHiddenBadge)
{
    statuses["b"].trackName = "  Lead Vocal  ";
    select ({ "b" });
    EXPECT_EQ (inspector.nameEditor.getText(), "Lead Vocal");
    EXPECT_FALSE (inspector.hiddenBadge.isVisible());

    statuses["b"].trackName = "   ";
    statuses["b"].visible = false;
    select ({ "b" });
    EXPECT_EQ (inspector.nameEditor.getText(), "Track");
    EXPECT_TRUE (inspector.hiddenBadge.isVisible());
    EXPECT_EQ (inspector.hiddenBadge.getText(), "HIDDEN");
}

TEST_F (Inspector, AnInstanceWithoutStatusShowsDashesAndDisabledControls)
{
    statuses["b"].gainTrimDb = 4.0f;
    select ({ "b" });
    statuses.erase ("b");
    select ({ "b" });

    EXPECT_EQ (inspector.getShownInstanceId(), "b");
    EXPECT_EQ (inspector.nameEditor.getText(), "Current Instance");

    for (auto* label : { &inspector.panValue, &inspector.depthValue, &inspector.bassProtectValue, &inspector.spotlightValue, &inspector.gainTrimValue })
        EXPECT_EQ (label->getText(), "--");

    for (auto* control : std::initializer_list<juce::Component*> { &inspector.nameEditor,
                                                                   &inspector.bassProtectKnob,
                                                                   &inspector.monoBassButton,
                                                                   &inspector.spotlightKnob,
                                                                   &inspector.gainTrimKnob })
        EXPECT_FALSE (control->isEnabled()) << control->getName();

    EXPECT_DOUBLE_EQ (inspector.gainTrimKnob.getValue(), 4.0) << "the knobs keep their positions";
}

TEST_F (Inspector, TheKnobsCarryTheirRangesNamesAndTexts)
{
    struct Case
    {
        AstrelKnob* knob;
        const char* name;
        double minimum, maximum, middle;
        int arcMode;
    };

    for (const auto& c : { Case { &inspector.gainTrimKnob, "Gain Trim", -12.0, 12.0, 0.0, 1 },
                           Case { &inspector.bassProtectKnob, "Bass Protect", 0.0, 2000.0, 120.0, 0 },
                           Case { &inspector.spotlightKnob, "Spotlight", 0.0, 100.0, 50.0, 0 },
                           Case { &inspector.spreadKnob, "Constellation Spread", 0.0, 100.0, 50.0, 0 } })
    {
        EXPECT_EQ (c.knob->getName(), c.name);
        EXPECT_EQ (c.knob->getTitle(), c.name);
        EXPECT_EQ (c.knob->getMinimum(), c.minimum) << c.name;
        EXPECT_EQ (c.knob->getMaximum(), c.maximum) << c.name;
        EXPECT_DOUBLE_EQ (c.knob->getInterval(), 0.1) << c.name;
        EXPECT_NEAR (c.knob->valueToProportionOfLength (c.middle), 0.5, 1.0e-6) << c.name << ": mid travel";
        EXPECT_EQ (c.knob->getArcMode(), c.arcMode) << c.name;
        EXPECT_TRUE (c.knob->getTooltip().isNotEmpty()) << c.name;
    }

    EXPECT_TRUE (inspector.gainTrimKnob.hasInvertedBodyShading());
    EXPECT_EQ (inspector.outputMeter.getName(), "Stereo Output Meter");
    EXPECT_EQ (inspector.correlationMeter.getName(), "Correlation Meter");
}

//==============================================================================
TEST_F (Inspector, TheMultiPageNamesTheSelectionAndOffersTheOwnInstance)
{
    select ({});
    EXPECT_EQ (inspector.getShownInstanceId(), "");
    EXPECT_EQ (inspector.selectionTitle.getText(), "NO INSTANCE SELECTED");
    EXPECT_TRUE (inspector.selectThisTrackButton.isVisible());
    EXPECT_TRUE (inspector.selectThisTrackButton.isEnabled());
    EXPECT_EQ (inspector.selectThisTrackButton.getButtonText(), "SELECT THIS TRACK");
    EXPECT_FALSE (inspector.spreadKnob.isVisible());
    EXPECT_FALSE (inspector.nameEditor.isVisible());
    EXPECT_FALSE (inspector.gainTrimKnob.isVisible());

    statuses["own"].visible = false;
    select ({});
    EXPECT_EQ (inspector.selectThisTrackButton.getButtonText(), "SHOW & SELECT THIS TRACK");

    {
        DesktopComponent shown (inspector, width, height);
        const auto centre = centreOf (inspector.selectThisTrackButton);
        shown.click (centre.x, centre.y);
    }
    EXPECT_EQ (calls.names, (std::vector<std::string> { "showCurrent" }));

    statuses.erase ("own");
    select ({});
    EXPECT_EQ (inspector.selectThisTrackButton.getButtonText(), "SELECT THIS TRACK") << "no status counts as visible";
    EXPECT_FALSE (inspector.selectThisTrackButton.isEnabled());

    select ({ "b", "c" }, 0.64f, 0.5f);
    EXPECT_EQ (inspector.selectionTitle.getText(), "2 INSTANCES");
    EXPECT_FALSE (inspector.selectThisTrackButton.isVisible());
    EXPECT_TRUE (inspector.spreadKnob.isVisible());
    EXPECT_TRUE (inspector.spreadKnob.isEnabled());
    EXPECT_EQ (inspector.spreadCaption.getText(), "CONSTELLATION SPREAD");
    EXPECT_EQ (inspector.spreadValue.getText(), "64%");
    EXPECT_DOUBLE_EQ (inspector.spreadKnob.getValue(), 64.0);
    EXPECT_EQ (inspector.spreadHint.getText(), "Hold Option for Pan Only");

    select ({ "b", "c", "own" }, std::nullopt, 0.5f);
    EXPECT_EQ (inspector.selectionTitle.getText(), "3 INSTANCES");
    EXPECT_FALSE (inspector.spreadKnob.isEnabled()) << "no radial proportion: the dots sit at one point";
    EXPECT_EQ (inspector.spreadValue.getText(), "--");
}

TEST_F (Inspector, OptionOverTheSpreadKnobSwitchesToPanSpread)
{
    select ({ "b", "c" }, 0.64f, 0.3f);
    DesktopComponent shown (inspector, width, height);
    const auto knob = centreOf (inspector.spreadKnob);

    shown.move (knob.x, knob.y, option);
    EXPECT_EQ (inspector.spreadCaption.getText(), "PAN SPREAD");
    EXPECT_EQ (inspector.spreadValue.getText(), "30%") << "the pan-only proportion";

    // Releasing Option over the knob goes back to the constellation spread.
    juce::ModifierKeys::currentModifiers = {};
    inspector.getPeer()->handleModifierKeysChange();
    EXPECT_EQ (inspector.spreadCaption.getText(), "CONSTELLATION SPREAD");
    EXPECT_EQ (inspector.spreadValue.getText(), "64%");

    juce::ModifierKeys::currentModifiers = option;
    inspector.getPeer()->handleModifierKeysChange();
    EXPECT_EQ (inspector.spreadCaption.getText(), "PAN SPREAD");

    shown.leave();
    EXPECT_EQ (inspector.spreadCaption.getText(), "CONSTELLATION SPREAD");
    EXPECT_EQ (calls.names,
               (std::vector<std::string> { "hover true true", "hover true false", "hover true true", "hover false false" }));

    // A refresh that leaves the multi page ends the hover preview.
    shown.move (knob.x, knob.y);
    calls.clear();
    select ({ "b" });
    EXPECT_EQ (calls.names, (std::vector<std::string> { "hover false false" }));
}

TEST_F (Inspector, ADisabledSpreadKnobShowsNoHover)
{
    select ({ "b", "c" });
    DesktopComponent shown (inspector, width, height);
    const auto knob = centreOf (inspector.spreadKnob);

    shown.move (knob.x, knob.y, option);
    shown.click (knob.x, knob.y);
    shown.leave();
    EXPECT_TRUE (calls.names.empty());
    EXPECT_FALSE (inspector.isSpreadHovered());
}

TEST_F (Inspector, TheSpreadKnobDrivesASpreadThatARefreshDoesNotMove)
{
    select ({ "b", "c" }, 0.5f, 0.4f);
    DesktopComponent shown (inspector, width, height);
    const auto knob = centreOf (inspector.spreadKnob);

    shown.press (knob.x, knob.y, option);
    EXPECT_EQ (inspector.spreadCaption.getText(), "PAN SPREAD");
    EXPECT_DOUBLE_EQ (inspector.spreadKnob.getValue(), 40.0);

    for (int step = 1; step <= 5; ++step)
        shown.drag (knob.x, knob.y - 6.0f * static_cast<float> (step), option);

    const auto dragged = inspector.spreadKnob.getValue();
    EXPECT_GT (dragged, 45.0);

    // The pad reports new proportions while the drag runs; the knob stays under the pointer.
    select ({ "b", "c" }, 0.9f, 0.9f);
    EXPECT_DOUBLE_EQ (inspector.spreadKnob.getValue(), dragged);
    EXPECT_EQ (inspector.spreadCaption.getText(), "PAN SPREAD") << "the mode chosen at the press holds";

    // Option is let go before the button.
    shown.release (knob.x, knob.y - 30.0f);
    const auto ended = std::find (calls.names.begin(), calls.names.end(), "spreadEnded");
    ASSERT_NE (ended, calls.names.end());
    EXPECT_NEAR (calls.values[(size_t) (ended - calls.names.begin())], static_cast<float> (dragged) * 0.01f, 1.0e-4f);

    // With Option no longer held at the release, the hover turns radial.
    EXPECT_EQ (calls.folded(),
               (std::vector<std::string> { "hover true true", "spreadStarted true", "spreadChanged", "spreadEnded", "hover true false" }));
    EXPECT_DOUBLE_EQ (inspector.spreadKnob.getValue(), 90.0) << "back to showing the pad's proportion";
    shown.leave();
}

TEST_F (Inspector, OptionClickOnTheSpreadKnobChoosesPanOnlyInsteadOfResetting)
{
    select ({ "b", "c" }, 0.5f, 0.4f);
    DesktopComponent shown (inspector, width, height);
    const auto knob = centreOf (inspector.spreadKnob);

    shown.click (knob.x, knob.y, option);
    EXPECT_EQ (calls.folded(), (std::vector<std::string> { "hover true true", "spreadStarted true", "spreadEnded" }));
    EXPECT_NEAR (calls.values[2], 0.4f, 1.0e-6f) << "no reset to zero";

    calls.clear();
    shown.doubleClick (knob.x, knob.y);
    ASSERT_FALSE (calls.names.empty());
    EXPECT_EQ (calls.names.back(), "spreadEnded");
    EXPECT_EQ (calls.lastValue(), 0.0f) << "a double click still resets";
    shown.leave();
}

//==============================================================================
TEST_F (Inspector, AKnobDragReportsToTheInstanceWhereItBegan)
{
    select ({ "b" });
    DesktopComponent shown (inspector, width, height);
    const auto knob = centreOf (inspector.gainTrimKnob);

    shown.press (knob.x, knob.y);

    for (int step = 1; step <= 4; ++step)
        shown.drag (knob.x, knob.y - 5.0f * static_cast<float> (step));

    const auto dragged = static_cast<float> (inspector.gainTrimKnob.getValue());
    EXPECT_NEAR (dragged, 2.0f + 24.0f * 20.0f / 260.0f, 0.15f);
    EXPECT_EQ (inspector.gainTrimValue.getText(), InspectorComponent::formatGainTrim (dragged));

    // A refresh tick from the registry during the drag does not move the knob.
    statuses["b"].gainTrimDb = -6.0f;
    select ({ "b" });
    EXPECT_FLOAT_EQ (static_cast<float> (inspector.gainTrimKnob.getValue()), dragged);
    EXPECT_EQ (inspector.gainTrimValue.getText(), InspectorComponent::formatGainTrim (dragged));

    shown.release (knob.x, knob.y - 20.0f);
    EXPECT_EQ (calls.folded(), (std::vector<std::string> { "gainStarted b", "gainChanged b", "gainEnded b" }));
    EXPECT_FLOAT_EQ (calls.lastValue(), dragged);

    select ({ "b" });
    EXPECT_DOUBLE_EQ (inspector.gainTrimKnob.getValue(), -6.0) << "after the release the status shows again";
    shown.leave();
}

TEST_F (Inspector, AChangeOfShownInstanceDropsTheDragWithoutAnEnd)
{
    select ({ "b" });
    DesktopComponent shown (inspector, width, height);
    inspector.outputMeter.setPeaks (0.8f, 0.8f);
    inspector.correlationMeter.setState (0.5f, 0.5f, true, true);

    for (auto* knob : { &inspector.bassProtectKnob, &inspector.spotlightKnob, &inspector.gainTrimKnob })
    {
        select ({ "b" });
        calls.clear();
        const auto centre = centreOf (*knob);
        shown.press (centre.x, centre.y);
        shown.drag (centre.x, centre.y - 10.0f);

        select ({ "c" });
        shown.drag (centre.x, centre.y - 20.0f);
        shown.release (centre.x, centre.y - 20.0f);

        const auto folded = calls.folded();
        ASSERT_EQ (folded.size(), 2u) << knob->getName();
        EXPECT_TRUE (juce::String (folded[0]).endsWith ("Started b")) << folded[0];
        EXPECT_TRUE (juce::String (folded[1]).endsWith ("Changed b")) << folded[1];
    }

    EXPECT_EQ (inspector.outputMeter.getLevelLeft(), 0.0f) << "the meters start again for the new instance";
    EXPECT_FALSE (inspector.correlationMeter.isValid());
    shown.leave();
}

TEST_F (Inspector, DoubleClickAndOptionClickResetAsOneGesture)
{
    statuses["b"].sideLowCutHz = 300.0f;
    statuses["b"].spotlightPercent = 60.0f;
    statuses["b"].gainTrimDb = 5.0f;
    select ({ "b" });
    DesktopComponent shown (inspector, width, height);

    struct Case
    {
        AstrelKnob* knob;
        const char* prefix;
    };

    for (const auto& c : { Case { &inspector.bassProtectKnob, "bass" }, Case { &inspector.spotlightKnob, "spot" }, Case { &inspector.gainTrimKnob, "gain" } })
    {
        const std::string p (c.prefix);
        const auto centre = centreOf (*c.knob);

        select ({ "b" });
        calls.clear();
        shown.click (centre.x, centre.y, option);
        EXPECT_EQ (calls.folded(), (std::vector<std::string> { p + "Started b", p + "Changed b", p + "Ended b" }));
        EXPECT_EQ (calls.lastValue(), 0.0f);

        c.knob->setValue (42.0, juce::dontSendNotification);
        calls.clear();
        shown.doubleClick (centre.x, centre.y);
        ASSERT_GE (calls.names.size(), 3u);
        const std::vector<std::string> lastThree (calls.names.end() - 3, calls.names.end());
        EXPECT_EQ (lastThree, (std::vector<std::string> { p + "Started b", p + "Changed b", p + "Ended b" }));
        EXPECT_EQ (calls.lastValue(), 0.0f);
    }

    shown.leave();
}

TEST_F (Inspector, AnArrowKeyStepIsAGestureOfItsOwn)
{
    select ({ "b" });
    DesktopComponent shown (inspector, width, height);
    const auto knob = centreOf (inspector.gainTrimKnob);
    shown.click (knob.x, knob.y);
    ASSERT_TRUE (inspector.gainTrimKnob.hasKeyboardFocus (false));

    calls.clear();
    press (juce::KeyPress::upKey);
    EXPECT_EQ (calls.names, (std::vector<std::string> { "gainStarted b", "gainChanged b", "gainEnded b" }));
    EXPECT_NEAR (calls.lastValue(), 2.1f, 1.0e-4f);

    select ({ "b", "c" }, 0.5f, 0.4f);
    const auto spread = centreOf (inspector.spreadKnob);
    shown.click (spread.x, spread.y);
    ASSERT_TRUE (inspector.spreadKnob.hasKeyboardFocus (false));

    calls.clear();
    press (juce::KeyPress::downKey);

    // The pointer still rests on the knob, so hover reports may come along; they are not the step.
    std::vector<std::string> stepCalls;
    float endValue = -1.0f;

    for (size_t i = 0; i < calls.names.size(); ++i)
    {
        if (calls.names[i].rfind ("hover", 0) == 0)
            continue;

        stepCalls.push_back (calls.names[i]);
        endValue = calls.values[i];
    }

    EXPECT_EQ (stepCalls, (std::vector<std::string> { "spreadStarted false", "spreadChanged", "spreadEnded" }));
    EXPECT_NEAR (endValue, 0.499f, 1.0e-5f);
    shown.leave();
}

TEST_F (Inspector, MonoBassTogglesOnClickAndReportsTheNewState)
{
    select ({ "b" });
    DesktopComponent shown (inspector, width, height);
    const auto button = centreOf (inspector.monoBassButton);

    shown.click (button.x, button.y);
    EXPECT_TRUE (inspector.monoBassButton.getToggleState());
    shown.click (button.x, button.y);
    EXPECT_EQ (calls.names, (std::vector<std::string> { "mono b true", "mono b false" }));

    statuses.erase ("b");
    select ({ "b" });
    calls.clear();
    shown.click (button.x, button.y);
    EXPECT_TRUE (calls.names.empty()) << "disabled without a status";
    shown.leave();
}

//==============================================================================
TEST_F (Inspector, ReturnCommitsTheTypedNameAndEscapeRestoresIt)
{
    select ({ "b" });
    DesktopComponent shown (inspector, width, height);
    const auto name = centreOf (inspector.nameEditor);

    shown.click (name.x, name.y);
    ASSERT_TRUE (inspector.nameEditor.hasKeyboardFocus (false));
    EXPECT_EQ (inspector.nameEditor.getHighlightedText(), "Bass") << "the first click selects the whole name";

    // Return with the name unchanged sends nothing.
    press (juce::KeyPress::returnKey);
    EXPECT_FALSE (inspector.nameEditor.hasKeyboardFocus (false));
    EXPECT_TRUE (calls.names.empty());

    // Escape puts the name back and sends nothing, not even through the focus loss.
    shown.click (name.x, name.y);
    type ("Drums");
    EXPECT_EQ (inspector.nameEditor.getText(), "Drums");
    press (juce::KeyPress::escapeKey);
    EXPECT_EQ (inspector.nameEditor.getText(), "Bass");
    EXPECT_FALSE (inspector.nameEditor.hasKeyboardFocus (false));
    EXPECT_TRUE (calls.names.empty());

    shown.click (name.x, name.y);
    type ("  Sub Bass ");
    press (juce::KeyPress::returnKey);
    EXPECT_EQ (calls.names, (std::vector<std::string> { "rename b Sub Bass" }));
    EXPECT_FALSE (inspector.nameEditor.hasKeyboardFocus (false));

    // A second Return after the commit has nothing new to send.
    calls.clear();
    shown.click (name.x, name.y);
    press (juce::KeyPress::returnKey);
    EXPECT_TRUE (calls.names.empty());
    shown.leave();
}

TEST_F (Inspector, AClickElsewhereCommitsAndABlankNameBecomesTrack)
{
    select ({ "b" });
    DesktopComponent shown (inspector, width, height);
    const auto name = centreOf (inspector.nameEditor);
    const auto caption = centreOf (inspector.panCaption);

    shown.click (name.x, name.y);
    type (juce::String::repeatedString ("x", 70));
    EXPECT_EQ (inspector.nameEditor.getText().length(), 64) << "typing stops at 64 characters";

    shown.click (caption.x, caption.y);
    EXPECT_FALSE (inspector.nameEditor.hasKeyboardFocus (false));
    EXPECT_FALSE (inspector.nameEditor.getWantsKeyboardFocus());
    EXPECT_EQ (calls.names, (std::vector<std::string> { "rename b " + std::string (64, 'x') }));

    calls.clear();
    shown.click (name.x, name.y);
    inspector.getPeer()->handleKeyPress (juce::KeyPress (juce::KeyPress::deleteKey));
    EXPECT_EQ (inspector.nameEditor.getText(), "");
    shown.click (caption.x, caption.y);
    EXPECT_EQ (calls.names, (std::vector<std::string> { "rename b Track" }));
    shown.leave();
}

TEST_F (Inspector, ANameBeingTypedGoesToTheInstanceItWasTypedFor)
{
    select ({ "b" });
    DesktopComponent shown (inspector, width, height);
    const auto name = centreOf (inspector.nameEditor);

    shown.click (name.x, name.y);
    type ("Kick");
    select ({ "c" });
    EXPECT_EQ (calls.names, (std::vector<std::string> { "rename b Kick" }));
    EXPECT_EQ (inspector.nameEditor.getText(), "Choir");

    calls.clear();
    shown.click (name.x, name.y);
    type ("Snare");
    select ({ "b", "c" });
    EXPECT_EQ (calls.names, (std::vector<std::string> { "rename c Snare" }));
    shown.leave();
}

//==============================================================================
TEST_F (Inspector, LaysOutBothPagesToThePixel)
{
    EXPECT_EQ (inspector.nameEditor.getBounds(), Rect (12, 12, 156, 28));
    EXPECT_EQ (inspector.hiddenBadge.getBounds(), Rect (114, 19, 54, 14));
    EXPECT_EQ (inspector.getHeaderSeparatorY(), 44);
    EXPECT_EQ (inspector.outputMeter.getBounds(), Rect (13, 55, 70, 195));
    EXPECT_EQ (inspector.panCaption.getBounds(), Rect (89, 69, 79, 12));
    EXPECT_EQ (inspector.panValue.getBounds(), Rect (89, 81, 79, 24));
    EXPECT_EQ (inspector.depthCaption.getBounds(), Rect (89, 134, 79, 12));
    EXPECT_EQ (inspector.depthValue.getBounds(), Rect (89, 146, 79, 24));
    EXPECT_EQ (inspector.gainTrimCaption.getBounds(), Rect (89, 185, 79, 12));
    EXPECT_EQ (inspector.gainTrimKnob.getBounds(), Rect (110, 199, 36, 36));
    EXPECT_EQ (inspector.gainTrimValue.getBounds(), Rect (89, 237, 79, 13));
    EXPECT_EQ (inspector.correlationMeter.getBounds(), Rect (12, 257, 156, 46));
    EXPECT_EQ (inspector.getSectionSeparatorY(), 314);
    EXPECT_EQ (inspector.bassProtectCaption.getBounds(), Rect (12, 326, 156, 14));
    EXPECT_EQ (inspector.bassProtectKnob.getBounds(), Rect (13, 345, 50, 50));
    EXPECT_EQ (inspector.bassProtectValue.getBounds(), Rect (68, 340, 52, 60));
    EXPECT_EQ (inspector.monoBassButton.getBounds(), Rect (124, 360, 44, 20));
    EXPECT_EQ (inspector.spotlightCaption.getBounds(), Rect (12, 409, 156, 14));
    EXPECT_EQ (inspector.spotlightKnob.getBounds(), Rect (14, 427, 52, 52));
    EXPECT_EQ (inspector.spotlightValue.getBounds(), Rect (71, 423, 44, 60));

    EXPECT_EQ (inspector.selectionTitle.getBounds(), Rect (12, 12, 156, 28));
    EXPECT_EQ (inspector.spreadCaption.getBounds(), Rect (12, 55, 156, 14));
    EXPECT_EQ (inspector.spreadKnob.getBounds(), Rect (54, 73, 72, 72));
    EXPECT_EQ (inspector.spreadValue.getBounds(), Rect (50, 147, 80, 20));
    EXPECT_EQ (inspector.spreadHint.getBounds(), Rect (12, 175, 156, 28));
    EXPECT_EQ (inspector.selectThisTrackButton.getBounds(), Rect (24, 72, 132, 27));
}

TEST_F (Inspector, ASmallPanelKeepsItsMinimumSections)
{
    inspector.setSize (100, 300);

    // Area 76 x 276: the main section never goes below 112, the gain knob never below 36.
    EXPECT_EQ (inspector.outputMeter.getHeight(), 112);
    EXPECT_EQ (inspector.outputMeter.getWidth(), 62);
    EXPECT_EQ (inspector.gainTrimKnob.getWidth(), 36);
    EXPECT_EQ (inspector.selectThisTrackButton.getWidth(), 52);

    inspector.setSize (40, 300);
    EXPECT_EQ (inspector.selectThisTrackButton.getWidth(), 0);
}

TEST_F (Inspector, PaintsTheSeparatorsOnlyForAPageThatHasThem)
{
    DesktopComponent shown (inspector, width, height);

    const auto rowsDiffer = [&] (int y) {
        const auto image = shown.snapshot();
        return image.getPixelAt (90, y) != image.getPixelAt (90, y - 2);
    };

    select ({});
    EXPECT_FALSE (rowsDiffer (44)) << "nothing selected: no header line";

    select ({ "b", "c" }, 0.5f, 0.5f);
    EXPECT_TRUE (rowsDiffer (44));
    EXPECT_FALSE (rowsDiffer (314)) << "the multi page has no section line";

    select ({ "b" });
    EXPECT_TRUE (rowsDiffer (44));
    EXPECT_TRUE (rowsDiffer (314));

    // The body runs from black on the left to the plum colour on the right.
    const auto image = shown.snapshot();
    const auto left = image.getPixelAt (3, 250), right = image.getPixelAt (176, 250);
    EXPECT_LT (left.getRed(), 6);
    EXPECT_GT (right.getRed(), 0x28);
    EXPECT_GT (right.getRed(), right.getGreen() + 0x20);
}

TEST (InspectorToggle, FillFollowsStateAndHover)
{
    InspectorToggleButton button ("MONO");
    DesktopComponent shown (button, 44, 20);

    const auto fillAlpha = [&] { return shown.snapshot().getPixelAt (3, 10).getAlpha(); };

    EXPECT_EQ (fillAlpha(), juce::roundToInt (0.025f * 255.0f));
    button.setToggleState (true, juce::dontSendNotification);
    EXPECT_EQ (fillAlpha(), juce::roundToInt (0.15f * 255.0f));

    const auto onColour = shown.snapshot().getPixelAt (3, 10);
    EXPECT_GT (onColour.getBlue(), onColour.getRed()) << "the accent blue when on";

    shown.move (22.0f, 10.0f);
    EXPECT_EQ (fillAlpha(), juce::roundToInt (0.195f * 255.0f));
    shown.leave();

    shown.click (22.0f, 10.0f);
    EXPECT_TRUE (button.getToggleState()) << "a click does not toggle the button by itself";
}
