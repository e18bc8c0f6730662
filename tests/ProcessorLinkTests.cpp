#include "LinkedProcessors.h"

#include <gtest/gtest.h>

namespace
{
    using Phase = AstrelCommandPhase;

    /** Records the change gestures a host would see from a processor. */
    struct GestureRecorder : juce::AudioProcessorListener
    {
        void audioProcessorParameterChanged (juce::AudioProcessor*, int, float) override {}
        void audioProcessorChanged (juce::AudioProcessor*, const ChangeDetails&) override {}

        void audioProcessorParameterChangeGestureBegin (juce::AudioProcessor* processor, int index) override
        {
            events.push_back ("begin " + processor->getParameters()[index]->getName (100));
        }

        void audioProcessorParameterChangeGestureEnd (juce::AudioProcessor* processor, int index) override
        {
            events.push_back ("end " + processor->getParameters()[index]->getName (100));
        }

        std::vector<juce::String> events;
    };

    AstrelCommand valuesCommand (Phase phase = Phase::oneShot, std::uint64_t gestureId = 0, std::uint32_t mask = 0)
    {
        AstrelCommand command;
        command.phase = phase;
        command.gestureId = gestureId;
        command.paramMask = mask;
        return command;
    }

    double quintic (double t)
    {
        t = juce::jlimit (0.0, 1.0, t);
        return t * t * t * (6.0 * t * t - 15.0 * t + 10.0);
    }
} // namespace

TEST (ProcessorLink, ACommandReachesTheParametersOnTheNextTickAndIsConfirmed)
{
    LinkedProcessors link (2);
    auto command = valuesCommand();
    command.pan = -0.4f;
    command.ratio = 0.25f;
    command.sideLowCutHz = 150.0f;
    command.monoBass = true;
    command.spotlightPercent = 70.0f;
    command.gainTrimDb = 30.0f;
    command.bypass = true;
    link.send (command, 1);

    // The registry shows the values at once, before the instance has applied them.
    EXPECT_FLOAT_EQ (link.registry().getStatuses().at (link[1].getPluginID()).pan, -0.4f);
    EXPECT_FLOAT_EQ (link[1].getPlainValue ("pan"), 0.0f);

    link.tick();

    auto& target = link[1];
    EXPECT_NEAR (target.getPlainValue ("pan"), -0.4f, 1.0e-6f);
    EXPECT_NEAR (target.getPlainValue ("ratio"), 0.25f, 1.0e-6f);
    EXPECT_NEAR (target.getPlainValue ("sideLowCutHz"), 150.0f, 0.05f);
    EXPECT_EQ (target.getPlainValue ("monoBass"), 1.0f);
    EXPECT_NEAR (target.getPlainValue ("spotlight"), 70.0f, 1.0e-4f);
    EXPECT_EQ (target.getPlainValue ("gainTrimDb"), 12.0f) << "clamped to the range";
    EXPECT_EQ (target.getPlainValue ("bypass"), 1.0f);
    EXPECT_FLOAT_EQ (link[0].getPlainValue ("pan"), 0.0f) << "other instances are untouched";

    const auto status = link.registry().getStatuses().at (target.getPluginID());
    EXPECT_EQ (status.appliedCommandSequence, link.sequence);
    EXPECT_EQ (status.gainTrimDb, 12.0f) << "the published value has replaced the override";
}

TEST (ProcessorLink, GesturesOpenAndCloseHostGesturesOnExactlyTheMaskedParameters)
{
    LinkedProcessors link (1);
    GestureRecorder recorder;
    link[0].addListener (&recorder);

    auto begin = valuesCommand (Phase::begin, 5);
    begin.paramMask = AstrelParameterMask::pan | AstrelParameterMask::ratio;
    link.send (begin);
    link.tick();
    EXPECT_EQ (recorder.events, (std::vector<juce::String> { "begin Pan", "begin Depth" }));

    auto update = valuesCommand (Phase::update, 5, begin.paramMask);
    update.pan = 0.5f;
    link.send (update);
    link.tick();

    auto end = valuesCommand (Phase::end, 5, begin.paramMask);
    end.pan = 0.6f;
    link.send (end);
    link.tick();
    EXPECT_EQ (recorder.events, (std::vector<juce::String> { "begin Pan", "begin Depth", "end Pan", "end Depth" }));
    EXPECT_NEAR (link[0].getPlainValue ("pan"), 0.6f, 1.0e-6f);

    // A second end, and an end or cancel of a gesture never begun, change nothing.
    link.send (end);
    link.send (valuesCommand (Phase::cancel, 77, AstrelParameterMask::pan));
    link.tick();
    EXPECT_EQ (recorder.events.size(), 4u);

    // A cancelled gesture closes its host gestures and applies nothing.
    auto spotlight = valuesCommand (Phase::begin, 6);
    spotlight.paramMask = AstrelParameterMask::spotlight | AstrelParameterMask::bypass;
    link.send (spotlight);
    link.tick();
    link.send (valuesCommand (Phase::cancel, 6, spotlight.paramMask));
    link.tick();
    EXPECT_EQ (recorder.events,
               (std::vector<juce::String> { "begin Pan",
                                            "begin Depth",
                                            "end Pan",
                                            "end Depth",
                                            "begin Spotlight",
                                            "begin Bypass",
                                            "end Spotlight",
                                            "end Bypass" }));

    link[0].removeListener (&recorder);
}

TEST (ProcessorLink, OverlappingGesturesKeepTheHostsGesturesBalanced)
{
    LinkedProcessors link (1);
    GestureRecorder recorder;
    link[0].addListener (&recorder);

    auto first = valuesCommand (Phase::begin, 1);
    first.paramMask = AstrelParameterMask::pan;
    auto second = valuesCommand (Phase::begin, 2);
    second.paramMask = AstrelParameterMask::pan | AstrelParameterMask::gainTrimDb;
    link.send (first);
    link.send (second);
    link.send (first); // the same gesture begun again replaces its mask
    link.tick();

    link.send (valuesCommand (Phase::end, 1, first.paramMask));
    link.tick();
    EXPECT_EQ (recorder.events, (std::vector<juce::String> { "begin Pan", "begin Gain Trim" }));

    link.send (valuesCommand (Phase::end, 2, second.paramMask));
    link.tick();
    EXPECT_EQ (recorder.events,
               (std::vector<juce::String> { "begin Pan", "begin Gain Trim", "end Pan", "end Gain Trim" }));

    link[0].removeListener (&recorder);
}

TEST (ProcessorLink, ARampedCommandEasesOverItsRampAndSwitchesMonoBassAtTheEnd)
{
    LinkedProcessors link (1);
    link[0].setParameterPlainValue ("pan", -0.5f);

    auto ramp = valuesCommand();
    ramp.delivery = AstrelCommandDelivery::ramped;
    ramp.rampMs = 160.0;
    ramp.ratio = 1.0f;
    ramp.monoBass = true;
    ramp.gainTrimDb = -40.0f;
    ramp.bypass = true;
    link.send (ramp);

    // A ramped command makes no override: the master view follows the glide.
    EXPECT_FLOAT_EQ (link.registry().getStatuses().at (link[0].getPluginID()).ratio, 0.0f);

    link.tick (0.0); // the ramp starts at this tick
    double previous = -1.0;

    for (int step = 1; step <= 10; ++step)
    {
        link.tick (16.0);
        const auto expected = quintic (step * 16.0 / 160.0);
        const auto ratio = link[0].getPlainValue ("ratio");
        EXPECT_NEAR (ratio, expected, 0.0011) << step;
        EXPECT_NEAR (link[0].getPlainValue ("gainTrimDb"), -12.0 * expected, 0.051) << step;
        EXPECT_GE (ratio, previous);
        EXPECT_FLOAT_EQ (link[0].getPlainValue ("pan"), -0.5f) << "pan has no target of its own";
        EXPECT_EQ (link[0].getPlainValue ("monoBass"), step < 10 ? 0.0f : 1.0f) << step;
        previous = ratio;
    }

    EXPECT_FALSE (link[0].isTransitionActive());
    EXPECT_EQ (link[0].getPlainValue ("bypass"), 0.0f) << "a glide carries no bypass";
}

TEST (ProcessorLink, RampTimesAreClampedToOneMillisecondAndFiveSeconds)
{
    LinkedProcessors link (1);

    auto ramp = valuesCommand();
    ramp.delivery = AstrelCommandDelivery::ramped;
    ramp.rampMs = 0.0;
    ramp.spotlightPercent = 80.0f;
    link.send (ramp);
    link.tick (0.0);
    link.tick (1.0);
    EXPECT_NEAR (link[0].getPlainValue ("spotlight"), 80.0f, 1.0e-4f);
    EXPECT_FALSE (link[0].isTransitionActive());

    ramp.rampMs = 10000.0;
    ramp.spotlightPercent = 0.0f;
    link.send (ramp);
    link.tick (0.0);
    link.tick (2500.0);
    EXPECT_NEAR (link[0].getPlainValue ("spotlight"), 40.0f, 0.06f) << "halfway through five seconds";
    link.tick (2500.0);
    EXPECT_EQ (link[0].getPlainValue ("spotlight"), 0.0f);
}

TEST (ProcessorLink, AnImmediateValueStopsARunningRamp)
{
    LinkedProcessors link (1);

    auto ramp = valuesCommand();
    ramp.delivery = AstrelCommandDelivery::ramped;
    ramp.pan = 1.0f;
    link.send (ramp);
    link.tick (0.0);
    link.tick (100.0);
    ASSERT_TRUE (link[0].isTransitionActive());

    auto jump = valuesCommand();
    jump.pan = -0.3f;
    link.send (jump);
    link.tick();
    EXPECT_FALSE (link[0].isTransitionActive());
    EXPECT_NEAR (link[0].getPlainValue ("pan"), -0.3f, 1.0e-6f);

    link.tick (500.0);
    EXPECT_NEAR (link[0].getPlainValue ("pan"), -0.3f, 1.0e-6f);
}

TEST (ProcessorLink, SoloSilencesEveryOtherInstanceAndUnsoloRestoresTheirOwnMutes)
{
    LinkedProcessors link (3);

    auto mute = valuesCommand();
    mute.muted = true;
    link.send (mute, 2);
    link.tick();
    EXPECT_TRUE (link[2].isOutputMuted());

    auto solo = valuesCommand();
    solo.soloed = true;
    link.send (solo, 0);
    link.tick();
    EXPECT_FALSE (link[0].isOutputMuted());
    EXPECT_TRUE (link[1].isOutputMuted());
    EXPECT_TRUE (link[2].isOutputMuted());

    // Solo wins over mute for the soloed instance itself.
    link.send (solo, 2);
    link.tick();
    EXPECT_FALSE (link[2].isOutputMuted());
    EXPECT_TRUE (link[1].isOutputMuted());

    auto unsolo = valuesCommand();
    unsolo.soloed = false;
    link.send (unsolo, 0);
    link.send (unsolo, 2);
    link.tick();
    EXPECT_FALSE (link[0].isOutputMuted());
    EXPECT_FALSE (link[1].isOutputMuted());
    EXPECT_FALSE (link[2].isOutputMuted()) << "soloing cleared its mute";

    auto mono = valuesCommand();
    mono.listenMono = true;
    link.send (mono, 1);
    link.tick();
    EXPECT_TRUE (link[1].isOutputMono());
    EXPECT_FALSE (link[0].isOutputMono());
}

TEST (ProcessorLink, StoredSlotsAreMirroredIntoEveryInstancesStateTree)
{
    LinkedProcessors link (3);
    WholefieldInstanceState stored;
    stored.pluginID = link[1].getPluginID();
    stored.pan = 0.75f;
    link.registry().writeWholefieldSlot (2, { stored }, 42.0);

    for (size_t i = 0; i < 3; ++i)
        EXPECT_EQ (link[i].getValueTreeState().state.getProperty ("wholefieldSlotsJson").toString().indexOf ("0.75"), -1)
            << "not before the tick";

    link.tick();

    for (size_t i = 0; i < 3; ++i)
    {
        const auto text = link[i].getValueTreeState().state.getProperty ("wholefieldSlotsJson").toString();
        const auto slots = SharedStatusManager::deserialiseWholefieldSlotsState (text);
        EXPECT_EQ (slots.revision, 1) << i;
        ASSERT_EQ (slots.slots[2].instances.size(), 1u) << i;
        EXPECT_EQ (slots.slots[2].instances[0].pan, 0.75f);

        juce::MemoryBlock chunk;
        link[i].getStateInformation (chunk);
        const auto xml = AstrelAudioProcessor::parseStateChunk (chunk.getData(), (int) chunk.getSize());
        ASSERT_NE (xml, nullptr);
        EXPECT_EQ (SharedStatusManager::deserialiseWholefieldSlotsState (xml->getStringAttribute ("wholefieldSlotsJson"))
                       .slots[2]
                       .instances.size(),
                   1u);
    }
}

TEST (ProcessorLink, CommandNamesAreCleanedAndMarkTheNameAsTheUsers)
{
    LinkedProcessors link (1);
    juce::AudioProcessor::TrackProperties host;
    host.name = "Host Name";
    link[0].updateTrackProperties (host);
    EXPECT_EQ (link[0].getTrackName(), "Host Name");

    for (const auto& [sent, shown] : std::vector<std::pair<juce::String, juce::String>> {
             { "", "Track" }, { "  Lead  ", "Lead" }, { juce::String::repeatedString ("n", 100), juce::String::repeatedString ("n", 64) } })
    {
        auto rename = valuesCommand();
        rename.trackName = sent;
        link.send (rename);
        link.tick();
        EXPECT_EQ (link[0].getTrackName(), shown);
        EXPECT_EQ (link.registry().getStatuses().at (link[0].getPluginID()).trackName, shown);
    }

    EXPECT_TRUE (link[0].wasTrackNameSetManually());
    link[0].updateTrackProperties (host);
    EXPECT_EQ (link[0].getTrackName(), juce::String::repeatedString ("n", 64)) << "the host no longer renames it";
}

TEST (ProcessorLink, MeteringIsPublishedOnlyAfterAudio)
{
    LinkedProcessors link (1);
    link.tick();
    EXPECT_EQ (link.registry().getMeteringFrames().count (link[0].getPluginID()), 0u);

    link[0].prepareToPlay (48000.0, 256);
    juce::AudioBuffer<float> buffer (2, 256);
    buffer.clear();
    buffer.setSample (0, 3, 0.5f);
    juce::MidiBuffer midi;
    link[0].processBlock (buffer, midi);
    link.tick();

    const auto frames = link.registry().getMeteringFrames();
    ASSERT_EQ (frames.count (link[0].getPluginID()), 1u);
    EXPECT_EQ (frames.at (link[0].getPluginID()).sequence, link[0].getLatestMeteringFrame().sequence);
}

TEST (ProcessorLink, AGestureLeftOpenIsClosedWhenTheInstanceGoes)
{
    GestureRecorder recorder;

    {
        LinkedProcessors link (1);
        link[0].addListener (&recorder);
        link.send (valuesCommand (Phase::begin, 9, AstrelParameterMask::ratio));
        link.tick();
        EXPECT_EQ (recorder.events, std::vector<juce::String> { "begin Depth" });
    }

    EXPECT_EQ (recorder.events, (std::vector<juce::String> { "begin Depth", "end Depth" }));
}
