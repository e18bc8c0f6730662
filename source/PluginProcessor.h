#pragma once

#include "SharedStatusManager.h"

#include <juce_audio_processors/juce_audio_processors.h>
#include <juce_dsp/juce_dsp.h>

#include <array>
#include <atomic>
#include <map>
#include <optional>
#include <utility>
#include <vector>

/** One record per processed block, handed from the audio thread to the message thread. */
struct MeteringBlock
{
    float peakLeft = 0.0f;
    float peakRight = 0.0f;
    double sumLeftSquared = 0.0;
    double sumRightSquared = 0.0;
    double sumLeftRight = 0.0;
    double sumMidSquared = 0.0;
    double sumSideSquared = 0.0;
    double sumAngle = 0.0;
    double sumAngleSquared = 0.0;
    std::int32_t numSamples = 0;
};

/**
    The Astrel instance on one track: seven parameters, the panning chain, metering, the state
    chunk and the 16 ms timer that links it to the process-wide registry.
*/
class AstrelAudioProcessor : public juce::AudioProcessor,
                             public juce::AudioProcessorValueTreeState::Listener,
                             public juce::Timer
{
public:
    /** A circular delay line per channel, used to delay the far channel. */
    struct PanDelayState
    {
        juce::AudioBuffer<float> buffer;
        int writePosition = 0;
    };

    /** A parameter glide started by a ramped command. */
    struct ParameterTransition
    {
        bool active = false;
        double startMs = 0.0;
        double durationMs = 450.0;
        bool hasPanRatio = false;
        float startPan = 0.0f, targetPan = 0.0f, startRatio = 0.0f, targetRatio = 0.0f;
        bool hasSideLowCut = false;
        float startSideLowCut = 0.0f, targetSideLowCut = 0.0f;
        bool hasMonoBass = false;
        bool targetMonoBass = false;
        bool hasSpotlight = false;
        float startSpotlight = 0.0f, targetSpotlight = 0.0f;
        bool hasGainTrim = false;
        float startGainTrim = 0.0f, targetGainTrim = 0.0f;
    };

    static constexpr int meteringCapacity = 512;

    AstrelAudioProcessor();
    ~AstrelAudioProcessor() override;

    static juce::AudioProcessorValueTreeState::ParameterLayout createParameterLayout();

    //==============================================================================
    const juce::String getName() const override;
    void prepareToPlay (double sampleRate, int maximumExpectedSamplesPerBlock) override;
    void releaseResources() override;
    void processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midi) override;
    using juce::AudioProcessor::processBlock;
    double getTailLengthSeconds() const override;
    bool acceptsMidi() const override;
    bool producesMidi() const override;
    bool isMidiEffect() const override;
    juce::AudioProcessorEditor* createEditor() override;
    bool hasEditor() const override;
    int getNumPrograms() override;
    int getCurrentProgram() override;
    void setCurrentProgram (int index) override;
    const juce::String getProgramName (int index) override;
    void changeProgramName (int index, const juce::String& newName) override;
    void getStateInformation (juce::MemoryBlock& destData) override;
    void setStateInformation (const void* data, int sizeInBytes) override;
    void updateTrackProperties (const TrackProperties& properties) override;
    bool isBusesLayoutSupported (const BusesLayout& layouts) const override;

    void parameterChanged (const juce::String& parameterID, float newValue) override;
    void timerCallback() override;

    /** One tick of the link to the registry at the given time on the high-resolution
        millisecond counter; the timer runs it with the current time every 16 ms. */
    void runTick (double nowMs);

    /** Whether a ramped command's glide is running. */
    bool isTransitionActive() const noexcept { return activeTransition.active; }

    //==============================================================================
    const juce::String& getPluginID() const noexcept { return pluginID; }
    const juce::String& getTrackName() const noexcept { return trackName; }
    bool wasTrackNameSetManually() const noexcept { return trackNameWasSetManually; }
    juce::AudioProcessorValueTreeState& getValueTreeState() noexcept { return parameters; }
    SharedStatusManager& getSharedStatusManager() noexcept { return *sharedStatusManager; }

    /** The current plain value of one of the seven parameters (0 for an unknown ID). */
    float getPlainValue (const juce::String& parameterID) const;

    /** Clamps, normalises and sets a parameter with host notification; unknown IDs do nothing. */
    void setParameterPlainValue (const juce::String& parameterID, float plainValue);

    static juce::String sanitiseTrackName (juce::String name);

    /** Writes the registry's slots into this instance's state tree when their revision moved. */
    void mirrorSharedWholefieldSlotsToStateIfNeeded();

    /** Ends the host change gestures that a command opened under this gesture id. */
    void endRemoteParameterGesture (std::uint64_t gestureId);

    /** Writes an XML document as a state chunk: magic, text length, text, a zero byte. */
    static void writeStateChunk (const juce::XmlElement& xml, juce::MemoryBlock& destData);

    /** The parsed XML of a state chunk, or nothing when the chunk is to be ignored. */
    static std::unique_ptr<juce::XmlElement> parseStateChunk (const void* data, int sizeInBytes);

    /** Whether the output is currently muted or folded to mono by the registry's flags. */
    bool isOutputMuted() const noexcept { return outputMuted.load(); }
    bool isOutputMono() const noexcept { return outputMono.load(); }

    /** The four pan targets that a pan and depth position gives. */
    struct PanTargets
    {
        float gainLeft = 0.0f, gainRight = 0.0f, delayLeftMs = 0.0f, delayRightMs = 0.0f;
    };

    static PanTargets computePanTargets (float pan, float ratio) noexcept;

    /** Sums the metering records waiting in the queue into one frame; nothing when no audio
        has been processed since the last call. Runs on the message thread. */
    std::optional<MeteringFrame> drainMeteringFrame();

    /** The frame that a sum of records gives (sequence and time stamp left at zero). */
    static MeteringFrame makeMeteringFrame (const MeteringBlock& total, float largestPeakLeft, float largestPeakRight);

    const MeteringFrame& getLatestMeteringFrame() const noexcept { return latestMeteringFrame; }

    /** The crossover frequency Bass Protect uses for a cutoff: at least 1 Hz, at most 2000 Hz
        and 0.45 times the sample rate. */
    static float limitCrossoverCutoff (float cutoffHz, float sampleRate) noexcept;

    /** The two coefficients of the Spotlight's split filters at a sample rate. */
    static std::pair<float, float> computeSpotlightCoefficients (double sampleRate) noexcept;

private:
    void handleCommand (const AstrelCommand& command, double nowMs);
    void beginRemoteParameterGesture (std::uint64_t gestureId, int mask);
    void startTransition (const AstrelCommand& command, double nowMs);
    void stepTransition (double nowMs);
    void publishOwnStatus (double nowMs);
    void readBackOutputFlags();
    void refreshAudioTargetsFromParameters();

    void updatePanValues (float pan, float ratio);
    void applyPendingPanTargets() noexcept;
    void fillPanRamps (int numSamples);
    void applyPanAndDelay (juce::AudioBuffer<float>& buffer, PanDelayState& state, int numSamples);
    void resetPanDelayState (PanDelayState& state);
    void preparePanDelayState (PanDelayState& state, int maximumBlockSize);

    float runBassProtectBookkeeping (int numSamples);
    void renderPanOrBassProtectPath (juce::AudioBuffer<float>& buffer, int numSamples, float blockCutoffHz);
    void renderBassProtectPath (const juce::AudioBuffer<float>& input,
                                juce::AudioBuffer<float>& output,
                                int numSamples,
                                float cutoffHz);
    void resetBassProtectSplitState();

    void updateSpotlightTargets();
    void applySpotlight (juce::AudioBuffer<float>& buffer, int numSamples);
    void resetSpotlightState() noexcept;

    void applyGainTrim (juce::AudioBuffer<float>& buffer, int numSamples);
    bool measureMidSide (const juce::AudioBuffer<float>& buffer, int numSamples, MeteringBlock& record) const noexcept;
    void applyMuteOrMono (juce::AudioBuffer<float>& buffer, int numSamples);
    void applyBypassCrossfade (juce::AudioBuffer<float>& buffer, int numSamples);
    static void measureOutput (const juce::AudioBuffer<float>& buffer, int numSamples, MeteringBlock& record) noexcept;
    void pushMeteringRecord (const MeteringBlock& record) noexcept;

    //==============================================================================
    juce::AudioProcessorValueTreeState parameters;

    juce::String pluginID;
    juce::String trackName { "Track" };

    std::atomic<bool> outputMono { false };
    std::atomic<bool> outputMuted { false };

    ParameterTransition activeTransition;
    std::map<std::uint64_t, int> remoteGestureMasks;

    // Host gestures opened per parameter by all remote gestures together, so that the host
    // always sees one begin and one end even when two gestures overlap on a parameter.
    std::array<int, 7> openHostGestures {};

    std::uint64_t appliedCommandSequence = 0;
    int lastMirroredSlotsRevision = -1;
    bool trackNameWasSetManually = false;

    PanDelayState panDelayState;
    PanDelayState highBandPanDelayState;

    float currentSampleRate = 44100.0f;

    juce::SmoothedValue<float> gainLeftSmoothed { 0.0f };
    juce::SmoothedValue<float> gainRightSmoothed { 0.0f };
    juce::SmoothedValue<float> delayLeftMsSmoothed { 0.0f };
    juce::SmoothedValue<float> delayRightMsSmoothed { 0.0f };

    MeteringBlock meteringBlocks[meteringCapacity];
    juce::AbstractFifo meteringFifo { meteringCapacity };
    MeteringFrame latestMeteringFrame;
    std::uint64_t nextMeteringSequence = 1;

    juce::SharedResourcePointer<SharedStatusManager> sharedStatusManager;

    // Audio-side copies of the parameters. parameterChanged may run on any thread, so the
    // hand-over to the audio thread goes through atomics read once per block.
    std::atomic<float> sideLowCutHzTarget { 0.0f };
    std::atomic<float> monoBassTarget { 0.0f };
    juce::SmoothedValue<float> sideLowCutSmoothed;
    juce::SmoothedValue<float> monoBassSmoothed;
    juce::SmoothedValue<float> bassProtectMixSmoothed;

    std::atomic<float> spotlightPercent { 0.0f };
    std::atomic<float> spotlightPan { 0.0f };
    juce::SmoothedValue<float> airGainSmoothed { 1.0f };
    juce::SmoothedValue<float> leftHighGainSmoothed { 1.0f };
    juce::SmoothedValue<float> rightHighGainSmoothed { 1.0f };
    float airStateLeft = 0.0f, airStateRight = 0.0f, highStateLeft = 0.0f, highStateRight = 0.0f;
    float airCoefficient = 0.0f, highCoefficient = 0.0f;

    std::atomic<float> gainTrimDbTarget { 0.0f };
    juce::SmoothedValue<float> gainTrimSmoothed { 1.0f };
    std::atomic<float> bypassTarget { 0.0f };
    juce::SmoothedValue<float> bypassMixSmoothed;

    juce::AudioBuffer<float> dryBuffer { 2, 0 };
    juce::AudioBuffer<float> lowBandBuffer { 2, 0 };
    juce::AudioBuffer<float> highBandBuffer { 2, 0 };
    juce::AudioBuffer<float> pannedBuffer { 2, 0 };
    juce::AudioBuffer<float> protectedBuffer { 2, 0 };
    std::vector<float> gainLeftRamp, gainRightRamp, delayLeftMsRamp, delayRightMsRamp;
    std::array<bool, 4> panRampIsConstant {};

    juce::dsp::LinkwitzRileyFilter<float> crossover;
    float lastCrossoverCutoffHz = 0.0f;
    bool bassProtectWasActive = false;

    // The pan targets from updatePanValues, picked up by the audio thread when the version moves.
    std::atomic<float> pendingGainLeft { 0.0f }, pendingGainRight { 0.0f };
    std::atomic<float> pendingDelayLeftMs { 0.0f }, pendingDelayRightMs { 0.0f };
    std::atomic<std::uint32_t> pendingPanVersion { 0 };
    std::uint32_t appliedPanVersion = 0;

    bool hasBeenPrepared = false;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (AstrelAudioProcessor)
};
