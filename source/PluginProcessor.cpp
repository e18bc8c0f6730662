#include "PluginProcessor.h"

#include "AstrelDsp.h"
#include "JuceCompat.h"
#include "ParameterText.h"
#include "PluginEditor.h"
#include "TextChecks.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <tuple>

namespace
{
    const juce::StringArray parameterIDs { "pan", "ratio", "sideLowCutHz", "monoBass",
                                           "spotlight", "gainTrimDb", "bypass" };

    std::unique_ptr<juce::AudioParameterFloat> makeFloatParameter (const char* id,
                                                                   const char* name,
                                                                   juce::NormalisableRange<float> range,
                                                                   float defaultValue,
                                                                   const char* label,
                                                                   juce::String (*toText) (float, int),
                                                                   float (*fromText) (const juce::String&))
    {
        auto attributes = juce::AudioParameterFloatAttributes()
                              .withLabel (label)
                              .withStringFromValueFunction (toText)
                              .withValueFromStringFunction (fromText);

        return std::make_unique<juce::AudioParameterFloat> (
            juce::ParameterID { id, 1 }, name, range, defaultValue, attributes);
    }
} // namespace

//==============================================================================
AstrelAudioProcessor::AstrelAudioProcessor()
    : AudioProcessor (BusesProperties()
                          .withInput ("Input", juce::AudioChannelSet::stereo(), true)
                          .withOutput ("Output", juce::AudioChannelSet::stereo(), true))
    , parameters (*this, nullptr, "PARAMETERS", createParameterLayout())
{
    for (const auto& id : parameterIDs)
        parameters.addParameterListener (id, this);

    pluginID = sharedStatusManager->reserveUniquePluginID (juce::Uuid().toString());

    startTimer (16);
}

AstrelAudioProcessor::~AstrelAudioProcessor()
{
    stopTimer();

    // A gesture whose end never came (its editor went away mid-drag) is closed, so that the
    // host never keeps a parameter in a gesture.
    while (! remoteGestureMasks.empty())
        endRemoteParameterGesture (remoteGestureMasks.begin()->first);

    for (const auto& id : parameterIDs)
        parameters.removeParameterListener (id, this);

    sharedStatusManager->removeStatus (pluginID);
    sharedStatusManager->releasePluginID (pluginID);
}

juce::AudioProcessorValueTreeState::ParameterLayout AstrelAudioProcessor::createParameterLayout()
{
    juce::AudioProcessorValueTreeState::ParameterLayout layout;

    layout.add (makeFloatParameter ("pan", "Pan", { -1.0f, 1.0f, 0.001f, 1.0f }, 0.0f, "", ParameterText::panToText, ParameterText::panFromText));
    layout.add (makeFloatParameter ("ratio", "Depth", { 0.0f, 1.0f, 0.001f, 1.0f }, 0.0f, "", ParameterText::depthToText, ParameterText::depthFromText));
    layout.add (makeFloatParameter ("sideLowCutHz",
                                    "Bass Protect",
                                    { 0.0f, 2000.0f, 0.1f, 0.5f },
                                    0.0f,
                                    "Hz",
                                    ParameterText::cutoffToText,
                                    ParameterText::cutoffFromText));
    layout.add (std::make_unique<juce::AudioParameterBool> (juce::ParameterID { "monoBass", 1 }, "Mono Bass", false));
    layout.add (makeFloatParameter ("spotlight",
                                    "Spotlight",
                                    { 0.0f, 100.0f, 0.1f, 1.0f },
                                    0.0f,
                                    "%",
                                    ParameterText::percentToText,
                                    ParameterText::percentFromText));
    layout.add (makeFloatParameter ("gainTrimDb",
                                    "Gain Trim",
                                    { -12.0f, 12.0f, 0.1f, 1.0f },
                                    0.0f,
                                    "dB",
                                    ParameterText::decibelToText,
                                    ParameterText::decibelFromText));
    layout.add (std::make_unique<juce::AudioParameterBool> (juce::ParameterID { "bypass", 1 }, "Bypass", false));

    return layout;
}

//==============================================================================
const juce::String AstrelAudioProcessor::getName() const
{
    return "Astrel";
}

double AstrelAudioProcessor::getTailLengthSeconds() const
{
    return 0.0;
}

bool AstrelAudioProcessor::acceptsMidi() const
{
    return false;
}

bool AstrelAudioProcessor::producesMidi() const
{
    return false;
}

bool AstrelAudioProcessor::isMidiEffect() const
{
    return false;
}

juce::AudioProcessorEditor* AstrelAudioProcessor::createEditor()
{
    return new AstrelAudioProcessorEditor (*this);
}

bool AstrelAudioProcessor::hasEditor() const
{
    return true;
}

int AstrelAudioProcessor::getNumPrograms()
{
    return 1;
}

int AstrelAudioProcessor::getCurrentProgram()
{
    return 0;
}

void AstrelAudioProcessor::setCurrentProgram (int) {}

const juce::String AstrelAudioProcessor::getProgramName (int)
{
    return {};
}

void AstrelAudioProcessor::changeProgramName (int, const juce::String&) {}

bool AstrelAudioProcessor::isBusesLayoutSupported (const BusesLayout& layouts) const
{
    if (layouts.getMainOutputChannelSet() != juce::AudioChannelSet::stereo())
        return false;

    const auto input = layouts.getMainInputChannelSet();
    return input == juce::AudioChannelSet::mono() || input == juce::AudioChannelSet::stereo();
}

//==============================================================================
float AstrelAudioProcessor::getPlainValue (const juce::String& parameterID) const
{
    if (auto* value = parameters.getRawParameterValue (parameterID))
        return value->load();

    return 0.0f;
}

void AstrelAudioProcessor::setParameterPlainValue (const juce::String& parameterID, float plainValue)
{
    auto* parameter = parameters.getParameter (parameterID);

    if (parameter == nullptr)
        return;

    const auto& range = parameter->getNormalisableRange();
    const auto clamped = juce::jlimit (range.start, range.end, plainValue);
    parameter->setValueNotifyingHost (range.convertTo0to1 (clamped));
}

void AstrelAudioProcessor::parameterChanged (const juce::String& parameterID, float newValue)
{
    if (parameterID == "pan" || parameterID == "ratio")
    {
        const auto pan = getPlainValue ("pan");
        spotlightPan.store (pan);
        updatePanValues (pan, getPlainValue ("ratio"));
    }
    else if (parameterID == "sideLowCutHz")
    {
        sideLowCutHzTarget.store (newValue);
    }
    else if (parameterID == "monoBass")
    {
        monoBassTarget.store (newValue >= 0.5f ? 1.0f : 0.0f);
    }
    else if (parameterID == "spotlight")
    {
        spotlightPercent.store (juce::jlimit (0.0f, 100.0f, newValue));
    }
    else if (parameterID == "gainTrimDb")
    {
        gainTrimDbTarget.store (juce::jlimit (-12.0f, 12.0f, newValue));
    }
    else if (parameterID == "bypass")
    {
        bypassTarget.store (newValue >= 0.5f ? 1.0f : 0.0f);
    }
}

//==============================================================================
AstrelAudioProcessor::PanTargets AstrelAudioProcessor::computePanTargets (float pan, float ratio) noexcept
{
    const auto p = juce::jlimit (-1.0f, 1.0f, pan);
    const auto d = juce::jlimit (0.0f, 1.0f, ratio);

    const auto angle = (p + 1.0f) * 1.5707964f * 0.5f;
    const auto s = std::sin (angle);
    const auto c = std::cos (angle);

    const auto normaliser = 1.0f / (1.0f - 0.2928932f * (1.0f - d));
    const auto depthAttenuation = std::pow (10.0f, (-2.0f * d) / 20.0f);

    // Rounding leaves the centre gains a few parts in ten million short of unity; snapping
    // them keeps the default position bit-transparent, so it nulls against the input.
    const auto snapToUnity = [] (float gain) { return std::abs (gain - 1.0f) < 1.0e-6f ? 1.0f : gain; };

    PanTargets targets;
    targets.gainLeft = snapToUnity (((c - 1.0f) * (1.0f - d) + 1.0f) * normaliser * depthAttenuation);
    targets.gainRight = snapToUnity (((s - 1.0f) * (1.0f - d) + 1.0f) * normaliser * depthAttenuation);
    targets.delayLeftMs = p > 0.0f ? 1.8f * p * d : 0.0f;
    targets.delayRightMs = p < 0.0f ? -1.8f * p * d : 0.0f;
    return targets;
}

void AstrelAudioProcessor::updatePanValues (float pan, float ratio)
{
    const auto targets = computePanTargets (pan, ratio);

    pendingGainLeft.store (targets.gainLeft, std::memory_order_relaxed);
    pendingGainRight.store (targets.gainRight, std::memory_order_relaxed);
    pendingDelayLeftMs.store (targets.delayLeftMs, std::memory_order_relaxed);
    pendingDelayRightMs.store (targets.delayRightMs, std::memory_order_relaxed);
    pendingPanVersion.fetch_add (1, std::memory_order_release);
}

void AstrelAudioProcessor::applyPendingPanTargets() noexcept
{
    const auto version = pendingPanVersion.load (std::memory_order_acquire);

    if (version == appliedPanVersion)
        return;

    appliedPanVersion = version;
    gainLeftSmoothed.setTargetValue (pendingGainLeft.load (std::memory_order_relaxed));
    gainRightSmoothed.setTargetValue (pendingGainRight.load (std::memory_order_relaxed));
    delayLeftMsSmoothed.setTargetValue (pendingDelayLeftMs.load (std::memory_order_relaxed));
    delayRightMsSmoothed.setTargetValue (pendingDelayRightMs.load (std::memory_order_relaxed));
}

//==============================================================================
namespace
{
    int wholeSamples (double seconds, double sampleRate) noexcept
    {
        return static_cast<int> (std::floor (seconds * sampleRate));
    }

    void setBlockSize (juce::AudioBuffer<float>& buffer, int numSamples)
    {
        if (buffer.getNumChannels() != 2 || buffer.getNumSamples() != numSamples)
            buffer.setSize (2, numSamples, false, false, true);
    }

    /** Fills a ramp with the smoother's next values; true when they are all the same. */
    bool fillFromSmoother (juce::SmoothedValue<float>& smoother, float* destination, int numSamples) noexcept
    {
        if (! smoother.isSmoothing())
        {
            std::fill (destination, destination + numSamples, smoother.getCurrentValue());
            return true;
        }

        for (int i = 0; i < numSamples; ++i)
            destination[i] = smoother.getNextValue();

        return false;
    }

    /** Copies between a block and a circular line, wrapping at the line's end. */
    void copyIntoLine (float* line, int length, int position, const float* source, int count) noexcept
    {
        const auto first = std::min (count, length - position);
        std::copy (source, source + first, line + position);
        std::copy (source + first, source + count, line);
    }

    void copyFromLine (const float* line, int length, int position, float* destination, int count) noexcept
    {
        const auto first = std::min (count, length - position);
        std::copy (line + position, line + position + first, destination);
        std::copy (line, line + (count - first), destination + first);
    }

    bool isFullyOff (const juce::SmoothedValue<float>& smoother) noexcept
    {
        return smoother.getCurrentValue() <= 0.0001f && smoother.getTargetValue() <= 0.0001f;
    }

    bool isFullyOn (const juce::SmoothedValue<float>& smoother) noexcept
    {
        return smoother.getCurrentValue() >= 0.9999f && smoother.getTargetValue() >= 0.9999f;
    }

} // namespace

void AstrelAudioProcessor::prepareToPlay (double sampleRate, int maximumExpectedSamplesPerBlock)
{
    const auto maximumBlockSize = std::max (1, maximumExpectedSamplesPerBlock);

    // Pan and depth.
    currentSampleRate = static_cast<float> (sampleRate);
    preparePanDelayState (panDelayState, maximumBlockSize);
    preparePanDelayState (highBandPanDelayState, maximumBlockSize);

    // Targets set before the first prepare take effect at once, as with a zero-length ramp.
    if (! hasBeenPrepared)
        applyPendingPanTargets();

    const auto panRamp = wholeSamples (0.02, sampleRate);

    for (auto* smoother : { &gainLeftSmoothed, &gainRightSmoothed, &delayLeftMsSmoothed, &delayRightMsSmoothed })
        smoother->reset (panRamp);

    updatePanValues (getPlainValue ("pan"), getPlainValue ("ratio"));
    applyPendingPanTargets();

    // Bass Protect.
    sideLowCutHzTarget.store (getPlainValue ("sideLowCutHz"));
    monoBassTarget.store (getPlainValue ("monoBass") >= 0.5f ? 1.0f : 0.0f);
    const auto bassProtectRamp = wholeSamples (0.03, sampleRate);
    sideLowCutSmoothed.reset (bassProtectRamp);
    sideLowCutSmoothed.setCurrentAndTargetValue (sideLowCutHzTarget.load());
    monoBassSmoothed.reset (bassProtectRamp);
    monoBassSmoothed.setCurrentAndTargetValue (monoBassTarget.load());
    bassProtectMixSmoothed.reset (wholeSamples (0.04, sampleRate));
    bassProtectMixSmoothed.setCurrentAndTargetValue (sideLowCutHzTarget.load() > 0.5f ? 1.0f : 0.0f);

    // Spotlight.
    spotlightPercent.store (getPlainValue ("spotlight"));
    spotlightPan.store (getPlainValue ("pan"));
    const auto spotlightRamp = wholeSamples (0.03, sampleRate);

    for (auto* smoother : { &airGainSmoothed, &leftHighGainSmoothed, &rightHighGainSmoothed })
        smoother->reset (spotlightRamp);

    updateSpotlightTargets();

    for (auto* smoother : { &airGainSmoothed, &leftHighGainSmoothed, &rightHighGainSmoothed })
        smoother->setCurrentAndTargetValue (smoother->getTargetValue());

    resetSpotlightState();
    std::tie (airCoefficient, highCoefficient) = computeSpotlightCoefficients (sampleRate);

    // Gain trim and bypass.
    gainTrimDbTarget.store (getPlainValue ("gainTrimDb"));
    gainTrimSmoothed.reset (wholeSamples (0.02, sampleRate));
    gainTrimSmoothed.setCurrentAndTargetValue (juce::Decibels::decibelsToGain (gainTrimDbTarget.load(), -100.0f));
    bypassTarget.store (getPlainValue ("bypass") >= 0.5f ? 1.0f : 0.0f);
    bypassMixSmoothed.reset (wholeSamples (0.006, sampleRate));
    bypassMixSmoothed.setCurrentAndTargetValue (bypassTarget.load());

    for (auto* buffer : { &dryBuffer, &lowBandBuffer, &highBandBuffer, &pannedBuffer, &protectedBuffer })
    {
        if (buffer->getNumChannels() != 2 || buffer->getNumSamples() != maximumBlockSize)
            buffer->setSize (2, maximumBlockSize);

        buffer->clear();
    }

    for (auto* ramp : { &gainLeftRamp, &gainRightRamp, &delayLeftMsRamp, &delayRightMsRamp })
        ramp->assign (static_cast<size_t> (maximumBlockSize), 0.0f);

    crossover.prepare ({ sampleRate, static_cast<juce::uint32> (maximumBlockSize), 2 });
    crossover.setCutoffFrequency (120.0f);
    lastCrossoverCutoffHz = 0.0f;
    bassProtectWasActive = sideLowCutHzTarget.load() > 0.5f;

    hasBeenPrepared = true;
}

void AstrelAudioProcessor::releaseResources() {}

void AstrelAudioProcessor::processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer&)
{
    juce::ScopedNoDenormals noDenormals;

    const auto numSamples = buffer.getNumSamples();

    if (numSamples < 1)
        return;

    const auto numInputs = getTotalNumInputChannels();
    const auto numOutputs = getTotalNumOutputChannels();
    const bool stereoBuffer = buffer.getNumChannels() >= 2 && numOutputs == 2;

    if (stereoBuffer && numInputs == 1)
    {
        buffer.copyFrom (1, 0, buffer, 0, 0, numSamples);
    }
    else if (! stereoBuffer || numInputs != 2)
    {
        buffer.clear();
        MeteringBlock silence;
        silence.numSamples = numSamples;
        pushMeteringRecord (silence);
        return;
    }

    // A NaN or infinity from upstream would lock up the filters and delay lines; such samples
    // are taken as silence so that nothing downstream ever sees them.
    for (int channel = 0; channel < 2; ++channel)
        if (! AstrelDsp::allFinite (buffer.getReadPointer (channel), numSamples))
            AstrelDsp::replaceNonFinite (buffer.getWritePointer (channel), numSamples);

    setBlockSize (dryBuffer, numSamples);
    dryBuffer.copyFrom (0, 0, buffer, 0, 0, numSamples);
    dryBuffer.copyFrom (1, 0, buffer, 1, 0, numSamples);

    const auto blockCutoffHz = runBassProtectBookkeeping (numSamples);

    applyPendingPanTargets();
    fillPanRamps (numSamples);
    renderPanOrBassProtectPath (buffer, numSamples, blockCutoffHz);

    updateSpotlightTargets();
    applySpotlight (buffer, numSamples);
    applyGainTrim (buffer, numSamples);

    MeteringBlock record;
    record.numSamples = numSamples;

    if (! measureMidSide (buffer, numSamples, record))
    {
        // The processed signal overflowed (an input near the float limit): drop this block's
        // processed audio and start the filters and delay lines afresh.
        buffer.clear();
        resetBassProtectSplitState();
        resetPanDelayState (panDelayState);
        resetSpotlightState();
    }

    applyMuteOrMono (buffer, numSamples);
    applyBypassCrossfade (buffer, numSamples);
    measureOutput (buffer, numSamples, record);
    pushMeteringRecord (record);
}

//==============================================================================
void AstrelAudioProcessor::preparePanDelayState (PanDelayState& state, int maximumBlockSize)
{
    const auto length = maximumBlockSize + static_cast<int> (0.003 * static_cast<double> (currentSampleRate));

    if (state.buffer.getNumChannels() != 2 || state.buffer.getNumSamples() != length)
        state.buffer.setSize (2, length);

    resetPanDelayState (state);
}

void AstrelAudioProcessor::resetPanDelayState (PanDelayState& state)
{
    if (! state.buffer.hasBeenCleared())
        state.buffer.clear();

    state.writePosition = 0;
}

void AstrelAudioProcessor::fillPanRamps (int numSamples)
{
    if (static_cast<int> (gainLeftRamp.size()) < numSamples)
        for (auto* ramp : { &gainLeftRamp, &gainRightRamp, &delayLeftMsRamp, &delayRightMsRamp })
            ramp->resize (static_cast<size_t> (numSamples));

    panRampIsConstant[0] = fillFromSmoother (gainLeftSmoothed, gainLeftRamp.data(), numSamples);
    panRampIsConstant[1] = fillFromSmoother (gainRightSmoothed, gainRightRamp.data(), numSamples);
    panRampIsConstant[2] = fillFromSmoother (delayLeftMsSmoothed, delayLeftMsRamp.data(), numSamples);
    panRampIsConstant[3] = fillFromSmoother (delayRightMsSmoothed, delayRightMsRamp.data(), numSamples);
}

void AstrelAudioProcessor::applyPanAndDelay (juce::AudioBuffer<float>& buffer, PanDelayState& state, int numSamples)
{
    if (buffer.getNumChannels() < 2)
        return;

    const float* gains[] = { gainLeftRamp.data(), gainRightRamp.data() };
    const float* delays[] = { delayLeftMsRamp.data(), delayRightMsRamp.data() };

    for (int channel = 0; channel < 2; ++channel)
    {
        auto* samples = buffer.getWritePointer (channel);
        const auto* gain = gains[channel];

        if (! panRampIsConstant[(size_t) channel])
            juce::FloatVectorOperations::multiply (samples, gain, numSamples);
        else if (gain[0] != 1.0f)
            juce::FloatVectorOperations::multiply (samples, gain[0], numSamples);
    }

    const auto length = state.buffer.getNumSamples();

    if (length == 0)
        return;

    const auto writeStart = state.writePosition;
    const auto samplesPerMs = 0.001f * currentSampleRate;

    for (int channel = 0; channel < 2; ++channel)
    {
        auto* samples = buffer.getWritePointer (channel);
        auto* line = state.buffer.getWritePointer (channel);
        const auto* delayMs = delays[channel];

        // Writing each sample before reading its delayed one is, for a delay that holds still
        // over the block, the same as writing the whole block and then reading it back, as
        // long as the block and the delay fit in the line together.
        const auto steadyDelay = static_cast<int> (delayMs[0] * samplesPerMs);

        if (panRampIsConstant[(size_t) channel + 2] && numSamples + steadyDelay < length)
        {
            copyIntoLine (line, length, writeStart, samples, numSamples);

            if (steadyDelay > 0)
                copyFromLine (line, length, (writeStart - steadyDelay + length) % length, samples, numSamples);

            continue;
        }

        auto write = writeStart;

        for (int i = 0; i < numSamples; ++i)
        {
            const auto delay = static_cast<int> (delayMs[i] * samplesPerMs);
            line[write] = samples[i];

            auto read = write - delay;
            if (read < 0)
                read += length;

            samples[i] = line[read];

            if (++write == length)
                write = 0;
        }
    }

    // The line now holds signal: note it so that the next reset clears it.
    state.buffer.setNotClear();
    state.writePosition = (writeStart + numSamples) % length;
}

//==============================================================================
float AstrelAudioProcessor::runBassProtectBookkeeping (int numSamples)
{
    sideLowCutSmoothed.setTargetValue (sideLowCutHzTarget.load());
    monoBassSmoothed.setTargetValue (monoBassTarget.load());

    const bool on = sideLowCutSmoothed.getTargetValue() > 0.5f;
    bassProtectMixSmoothed.setTargetValue (on ? 1.0f : 0.0f);

    // The crossover moves once per block.
    const auto blockCutoffHz = sideLowCutSmoothed.getNextValue();
    sideLowCutSmoothed.skip (numSamples - 1);

    if (on != bassProtectWasActive)
    {
        if (on)
            resetBassProtectSplitState();
        else
            resetPanDelayState (panDelayState);

        bassProtectWasActive = on;
    }

    return blockCutoffHz;
}

void AstrelAudioProcessor::renderPanOrBassProtectPath (juce::AudioBuffer<float>& buffer,
                                                       int numSamples,
                                                       float blockCutoffHz)
{
    const auto cutoffHz = blockCutoffHz > 0.5f ? blockCutoffHz : 1.0f;

    if (isFullyOff (bassProtectMixSmoothed))
    {
        monoBassSmoothed.setCurrentAndTargetValue (monoBassSmoothed.getTargetValue());
        applyPanAndDelay (buffer, panDelayState, numSamples);
        return;
    }

    if (isFullyOn (bassProtectMixSmoothed))
    {
        bassProtectMixSmoothed.setCurrentAndTargetValue (1.0f);
        renderBassProtectPath (buffer, buffer, numSamples, cutoffHz);
        return;
    }

    setBlockSize (pannedBuffer, numSamples);
    setBlockSize (protectedBuffer, numSamples);

    for (int channel = 0; channel < 2; ++channel)
        pannedBuffer.copyFrom (channel, 0, buffer, channel, 0, numSamples);

    applyPanAndDelay (pannedBuffer, panDelayState, numSamples);
    renderBassProtectPath (buffer, protectedBuffer, numSamples, cutoffHz);

    auto* left = buffer.getWritePointer (0);
    auto* right = buffer.getWritePointer (1);
    const auto* pannedLeft = pannedBuffer.getReadPointer (0);
    const auto* pannedRight = pannedBuffer.getReadPointer (1);
    const auto* protectedLeft = protectedBuffer.getReadPointer (0);
    const auto* protectedRight = protectedBuffer.getReadPointer (1);

    for (int i = 0; i < numSamples; ++i)
    {
        const auto mix = bassProtectMixSmoothed.getNextValue();
        left[i] = pannedLeft[i] * (1.0f - mix) + protectedLeft[i] * mix;
        right[i] = pannedRight[i] * (1.0f - mix) + protectedRight[i] * mix;
    }

    if (isFullyOff (bassProtectMixSmoothed))
    {
        bassProtectMixSmoothed.setCurrentAndTargetValue (0.0f);
        resetBassProtectSplitState();
    }

    if (isFullyOn (bassProtectMixSmoothed))
    {
        bassProtectMixSmoothed.setCurrentAndTargetValue (1.0f);
        resetPanDelayState (panDelayState);
    }
}

float AstrelAudioProcessor::limitCrossoverCutoff (float cutoffHz, float sampleRate) noexcept
{
    return cutoffHz < 1.0f ? 1.0f : std::min ({ cutoffHz, 2000.0f, 0.45f * sampleRate });
}

void AstrelAudioProcessor::renderBassProtectPath (const juce::AudioBuffer<float>& input,
                                                  juce::AudioBuffer<float>& output,
                                                  int numSamples,
                                                  float cutoffHz)
{
    if (input.getNumChannels() < 2 || output.getNumChannels() < 2)
        return;

    const auto cutoff = limitCrossoverCutoff (cutoffHz, currentSampleRate);

    if (std::abs (cutoff - lastCrossoverCutoffHz) > 0.25f)
    {
        crossover.setCutoffFrequency (cutoff);
        lastCrossoverCutoffHz = cutoff;
    }

    setBlockSize (lowBandBuffer, numSamples);
    setBlockSize (highBandBuffer, numSamples);

    // The channels are independent; splitting them side by side lets their filter chains
    // overlap in the processor.
    const auto* inLeft = input.getReadPointer (0);
    const auto* inRight = input.getReadPointer (1);
    auto* lowLeft = lowBandBuffer.getWritePointer (0);
    auto* lowRight = lowBandBuffer.getWritePointer (1);
    auto* highLeft = highBandBuffer.getWritePointer (0);
    auto* highRight = highBandBuffer.getWritePointer (1);

    for (int i = 0; i < numSamples; ++i)
    {
        crossover.processSample (0, inLeft[i], lowLeft[i], highLeft[i]);
        crossover.processSample (1, inRight[i], lowRight[i], highRight[i]);
    }

    crossover.snapToZero();
    applyPanAndDelay (highBandBuffer, highBandPanDelayState, numSamples);

    if (output.getNumSamples() != numSamples)
        setBlockSize (output, numSamples);

    auto* outLeft = output.getWritePointer (0);
    auto* outRight = output.getWritePointer (1);

    for (int i = 0; i < numSamples; ++i)
    {
        const auto mono = monoBassSmoothed.getNextValue();
        const auto middle = (lowLeft[i] + lowRight[i]) * 0.5f;
        outLeft[i] = lowLeft[i] + (middle - lowLeft[i]) * mono + highLeft[i];
        outRight[i] = lowRight[i] + (middle - lowRight[i]) * mono + highRight[i];
    }
}

void AstrelAudioProcessor::resetBassProtectSplitState()
{
    crossover.reset();
    resetPanDelayState (highBandPanDelayState);
    lastCrossoverCutoffHz = 0.0f;
}

//==============================================================================
std::pair<float, float> AstrelAudioProcessor::computeSpotlightCoefficients (double sampleRate) noexcept
{
    const auto coefficientFor = [sampleRate] (double cornerHz) {
        const auto corner = std::min (0.45 * sampleRate, cornerHz);
        const auto g = std::tan (static_cast<float> (juce::MathConstants<double>::pi * corner / sampleRate));
        return g / (1.0f + g);
    };

    return { coefficientFor (3200.0), coefficientFor (1200.0) };
}

void AstrelAudioProcessor::updateSpotlightTargets()
{
    const auto percent = spotlightPercent.load();
    const auto amount = percent < 0.0f ? 0.0f : (percent > 100.0f ? 1.0f : 0.01f * percent);
    const auto pan = juce::jlimit (-1.0f, 1.0f, spotlightPan.load());

    airGainSmoothed.setTargetValue (juce::Decibels::decibelsToGain (8.0f * amount, -100.0f));
    leftHighGainSmoothed.setTargetValue (juce::Decibels::decibelsToGain (-50.0f * amount * std::max (pan, 0.0f), -100.0f));
    rightHighGainSmoothed.setTargetValue (juce::Decibels::decibelsToGain (-50.0f * amount * std::max (-pan, 0.0f), -100.0f));
}

void AstrelAudioProcessor::resetSpotlightState() noexcept
{
    airStateLeft = airStateRight = highStateLeft = highStateRight = 0.0f;
}

void AstrelAudioProcessor::applySpotlight (juce::AudioBuffer<float>& buffer, int numSamples)
{
    if (buffer.getNumChannels() < 2)
        return;

    const auto isNeutral = [] (const juce::SmoothedValue<float>& smoother) {
        return ! smoother.isSmoothing() && smoother.getCurrentValue() == 1.0f;
    };

    // With every gain at exactly 1 each split returns its input bit for bit, so the filters
    // are not run. They restart from rest when the Spotlight comes back; its gains then
    // leave 1 over 30 ms, so the restart is far below audibility.
    if (isNeutral (airGainSmoothed) && isNeutral (leftHighGainSmoothed) && isNeutral (rightHighGainSmoothed))
    {
        resetSpotlightState();
        return;
    }

    auto* left = buffer.getWritePointer (0);
    auto* right = buffer.getWritePointer (1);

    // The trapezoidal one-pole split: v = (x - z) G, low = z + v, z' = low + v, and the
    // split's output low + gain (x - low). It is written as z' = z (1 - 2G) + 2G x and
    // x + (gain - 1) (x - low) so that the state's feedback path is one multiply-add long and
    // a gain of 1 returns x exactly.
    struct SplitFilter
    {
        float g, keep, feed, feedBack;

        explicit SplitFilter (float coefficient) noexcept
            : g (coefficient), keep (1.0f - coefficient), feed (2.0f * coefficient), feedBack (1.0f - 2.0f * coefficient)
        {
        }

        float process (float x, float& state, float gain) const noexcept
        {
            const auto low = state * keep + g * x;
            state = state * feedBack + feed * x;
            return x + (gain - 1.0f) * (x - low);
        }
    };

    const SplitFilter airSplit (airCoefficient), highSplit (highCoefficient);
    auto airLeft = airStateLeft, airRight = airStateRight, highLeft = highStateLeft, highRight = highStateRight;

    for (int i = 0; i < numSamples; ++i)
    {
        const auto air = airGainSmoothed.getNextValue();
        const auto leftHigh = leftHighGainSmoothed.getNextValue();
        const auto rightHigh = rightHighGainSmoothed.getNextValue();

        left[i] = highSplit.process (airSplit.process (left[i], airLeft, air), highLeft, leftHigh);
        right[i] = highSplit.process (airSplit.process (right[i], airRight, air), highRight, rightHigh);
    }

    const auto flush = [] (float state) noexcept { return std::abs (state) < 1.0e-20f ? 0.0f : state; };
    airStateLeft = flush (airLeft);
    airStateRight = flush (airRight);
    highStateLeft = flush (highLeft);
    highStateRight = flush (highRight);
}

//==============================================================================
void AstrelAudioProcessor::applyGainTrim (juce::AudioBuffer<float>& buffer, int numSamples)
{
    const auto decibels = juce::jlimit (-12.0f, 12.0f, gainTrimDbTarget.load());
    gainTrimSmoothed.setTargetValue (juce::Decibels::decibelsToGain (decibels, -100.0f));

    if (! gainTrimSmoothed.isSmoothing())
    {
        const auto gain = gainTrimSmoothed.getCurrentValue();

        if (gain != 1.0f)
            for (int channel = 0; channel < 2; ++channel)
                juce::FloatVectorOperations::multiply (buffer.getWritePointer (channel), gain, numSamples);

        return;
    }

    auto* left = buffer.getWritePointer (0);
    auto* right = buffer.getWritePointer (1);

    for (int i = 0; i < numSamples; ++i)
    {
        const auto gain = gainTrimSmoothed.getNextValue();
        left[i] *= gain;
        right[i] *= gain;
    }
}

bool AstrelAudioProcessor::measureMidSide (const juce::AudioBuffer<float>& buffer,
                                           int numSamples,
                                           MeteringBlock& record) const noexcept
{
    constexpr int chunk = 128;
    double midSquared[chunk], sideSquared[chunk], angles[chunk], anglesSquared[chunk];
    float midMagnitude[chunk], sideMagnitude[chunk];

    const auto* left = buffer.getReadPointer (0);
    const auto* right = buffer.getReadPointer (1);
    std::uint32_t anyNonFinite = 0;
    record.sumMidSquared = record.sumSideSquared = record.sumAngle = record.sumAngleSquared = 0.0;

    for (int start = 0; start < numSamples; start += chunk)
    {
        const auto count = std::min (chunk, numSamples - start);

        for (int i = 0; i < count; ++i)
        {
            const auto rawLeft = left[start + i];
            const auto rawRight = right[start + i];
            anyNonFinite |= AstrelDsp::nonFiniteMask (rawLeft) | AstrelDsp::nonFiniteMask (rawRight);

            const auto l = static_cast<double> (AstrelDsp::finiteOrZero (rawLeft));
            const auto r = static_cast<double> (AstrelDsp::finiteOrZero (rawRight));
            const auto mid = (l + r) * 0.5;
            const auto side = (l - r) * 0.5;
            midSquared[i] = mid * mid;
            sideSquared[i] = side * side;
            midMagnitude[i] = static_cast<float> (std::abs (mid));
            sideMagnitude[i] = static_cast<float> (std::abs (side));
        }

        for (int i = 0; i < count; ++i)
        {
            const auto angle = static_cast<double> (AstrelDsp::positiveAtan2 (sideMagnitude[i], midMagnitude[i]));
            angles[i] = angle;
            anglesSquared[i] = angle * angle;
        }

        record.sumMidSquared += AstrelDsp::sumOf (midSquared, count);
        record.sumSideSquared += AstrelDsp::sumOf (sideSquared, count);
        record.sumAngle += AstrelDsp::sumOf (angles, count);
        record.sumAngleSquared += AstrelDsp::sumOf (anglesSquared, count);
    }

    return anyNonFinite == 0;
}

void AstrelAudioProcessor::applyMuteOrMono (juce::AudioBuffer<float>& buffer, int numSamples)
{
    if (outputMuted.load())
    {
        if (! buffer.hasBeenCleared())
            buffer.clear();

        return;
    }

    if (! outputMono.load())
        return;

    auto* left = buffer.getWritePointer (0);
    auto* right = buffer.getWritePointer (1);

    // Halving first cannot overflow, even for samples near the float limit.
    for (int i = 0; i < numSamples; ++i)
        left[i] = right[i] = left[i] * 0.5f + right[i] * 0.5f;
}

void AstrelAudioProcessor::applyBypassCrossfade (juce::AudioBuffer<float>& buffer, int numSamples)
{
    bypassMixSmoothed.setTargetValue (bypassTarget.load());

    if (isFullyOff (bypassMixSmoothed))
    {
        bypassMixSmoothed.setCurrentAndTargetValue (0.0f);
        return;
    }

    if (isFullyOn (bypassMixSmoothed))
    {
        for (int channel = 0; channel < 2; ++channel)
            buffer.copyFrom (channel, 0, dryBuffer, channel, 0, numSamples);

        bypassMixSmoothed.setCurrentAndTargetValue (1.0f);
        return;
    }

    auto* left = buffer.getWritePointer (0);
    auto* right = buffer.getWritePointer (1);
    const auto* dryLeft = dryBuffer.getReadPointer (0);
    const auto* dryRight = dryBuffer.getReadPointer (1);

    for (int i = 0; i < numSamples; ++i)
    {
        const auto dry = bypassMixSmoothed.getNextValue();
        left[i] = left[i] * (1.0f - dry) + dryLeft[i] * dry;
        right[i] = right[i] * (1.0f - dry) + dryRight[i] * dry;
    }

    if (isFullyOff (bypassMixSmoothed))
        bypassMixSmoothed.setCurrentAndTargetValue (0.0f);
    else if (isFullyOn (bypassMixSmoothed))
        bypassMixSmoothed.setCurrentAndTargetValue (1.0f);
}

void AstrelAudioProcessor::measureOutput (const juce::AudioBuffer<float>& buffer,
                                          int numSamples,
                                          MeteringBlock& record) noexcept
{
    if (buffer.getNumChannels() < 2)
        return;

    constexpr int chunk = 128;
    double leftSquared[chunk], rightSquared[chunk], leftRight[chunk];

    const auto* left = buffer.getReadPointer (0);
    const auto* right = buffer.getReadPointer (1);

    // Magnitudes of finite floats order like their bit patterns, and an integer maximum
    // vectorises where a float one may not.
    const auto magnitudeBits = [] (float value) noexcept {
        std::uint32_t bits;
        std::memcpy (&bits, &value, sizeof (bits));
        return bits & 0x7fffffffu;
    };

    std::uint32_t peakLeftBits = 0, peakRightBits = 0;
    record.sumLeftSquared = record.sumRightSquared = record.sumLeftRight = 0.0;

    for (int start = 0; start < numSamples; start += chunk)
    {
        const auto count = std::min (chunk, numSamples - start);

        for (int i = 0; i < count; ++i)
        {
            const auto l = AstrelDsp::finiteOrZero (left[start + i]);
            const auto r = AstrelDsp::finiteOrZero (right[start + i]);
            peakLeftBits = std::max (peakLeftBits, magnitudeBits (l));
            peakRightBits = std::max (peakRightBits, magnitudeBits (r));
            leftSquared[i] = static_cast<double> (l) * l;
            rightSquared[i] = static_cast<double> (r) * r;
            leftRight[i] = static_cast<double> (l) * r;
        }

        record.sumLeftSquared += AstrelDsp::sumOf (leftSquared, count);
        record.sumRightSquared += AstrelDsp::sumOf (rightSquared, count);
        record.sumLeftRight += AstrelDsp::sumOf (leftRight, count);
    }

    float peakLeft, peakRight;
    std::memcpy (&peakLeft, &peakLeftBits, sizeof (peakLeft));
    std::memcpy (&peakRight, &peakRightBits, sizeof (peakRight));
    record.peakLeft = std::min (peakLeft, 4.0f);
    record.peakRight = std::min (peakRight, 4.0f);
}

void AstrelAudioProcessor::pushMeteringRecord (const MeteringBlock& record) noexcept
{
    int start1, size1, start2, size2;
    meteringFifo.prepareToWrite (1, start1, size1, start2, size2);

    if (size1 + size2 < 1)
        return;

    meteringBlocks[size1 > 0 ? start1 : start2] = record;
    meteringFifo.finishedWrite (1);
}

//==============================================================================
MeteringFrame AstrelAudioProcessor::makeMeteringFrame (const MeteringBlock& total,
                                                       float largestPeakLeft,
                                                       float largestPeakRight)
{
    MeteringFrame frame;
    const auto count = static_cast<double> (total.numSamples);

    if (count <= 0.0)
        return frame;

    if (total.sumLeftSquared > 1.0e-12 * count && total.sumRightSquared > 1.0e-12 * count)
    {
        const auto power = std::sqrt (total.sumLeftSquared) * std::sqrt (total.sumRightSquared);

        if (power > 0.0 && std::isfinite (power))
        {
            const auto correlation = juce::jlimit (-1.0, 1.0, total.sumLeftRight / power);
            frame.correlationValid = std::isfinite (correlation);
            frame.correlation = frame.correlationValid ? static_cast<float> (correlation) : 0.0f;
        }
    }

    frame.peakLeft = juce::jlimit (0.0f, 4.0f, largestPeakLeft);
    frame.peakRight = juce::jlimit (0.0f, 4.0f, largestPeakRight);
    frame.midRms = static_cast<float> (std::min (4.0, std::sqrt (std::max (total.sumMidSquared / count, 0.0))));
    frame.sideRms = static_cast<float> (std::min (4.0, std::sqrt (std::max (total.sumSideSquared / count, 0.0))));

    const auto meanAngle = total.sumAngle / count;
    frame.chaos = static_cast<float> (juce::jlimit (0.0, 2.5, total.sumAngleSquared / count - meanAngle * meanAngle));
    return frame;
}

std::optional<MeteringFrame> AstrelAudioProcessor::drainMeteringFrame()
{
    MeteringBlock total;
    float largestPeakLeft = 0.0f, largestPeakRight = 0.0f;
    std::int64_t numSamples = 0;

    for (;;)
    {
        const auto ready = std::min (meteringFifo.getNumReady(), meteringCapacity);

        if (ready <= 0)
            break;

        int start1, size1, start2, size2;
        meteringFifo.prepareToRead (ready, start1, size1, start2, size2);

        const auto accumulate = [&] (int start, int size) {
            for (int i = start; i < start + size; ++i)
            {
                const auto& block = meteringBlocks[i];
                numSamples += block.numSamples;
                total.sumLeftSquared += block.sumLeftSquared;
                total.sumRightSquared += block.sumRightSquared;
                total.sumLeftRight += block.sumLeftRight;
                total.sumMidSquared += block.sumMidSquared;
                total.sumSideSquared += block.sumSideSquared;
                total.sumAngle += block.sumAngle;
                total.sumAngleSquared += block.sumAngleSquared;
                largestPeakLeft = std::max (largestPeakLeft, block.peakLeft);
                largestPeakRight = std::max (largestPeakRight, block.peakRight);
            }
        };

        accumulate (start1, size1);
        accumulate (start2, size2);
        meteringFifo.finishedRead (size1 + size2);
    }

    if (numSamples <= 0)
        return std::nullopt;

    total.numSamples = static_cast<std::int32_t> (std::min<std::int64_t> (numSamples, std::numeric_limits<std::int32_t>::max()));
    auto frame = makeMeteringFrame (total, largestPeakLeft, largestPeakRight);
    frame.sequence = nextMeteringSequence++;
    frame.timestampMs = juce::Time::getMillisecondCounterHiRes();
    return frame;
}

//==============================================================================
namespace
{
    /** The seven parameters in the order host gestures are opened and closed, with their bits. */
    struct MaskedParameter
    {
        const char* id;
        int bit;
    };

    constexpr MaskedParameter gestureOrder[] = {
        { "pan", AstrelParameterMask::pan },
        { "ratio", AstrelParameterMask::ratio },
        { "sideLowCutHz", AstrelParameterMask::sideLowCutHz },
        { "monoBass", AstrelParameterMask::monoBass },
        { "spotlight", AstrelParameterMask::spotlight },
        { "gainTrimDb", AstrelParameterMask::gainTrimDb },
        { "bypass", AstrelParameterMask::bypass },
    };

    bool carriesParameterValues (const AstrelCommand& command) noexcept
    {
        return command.pan || command.ratio || command.sideLowCutHz || command.monoBass || command.spotlightPercent
               || command.gainTrimDb || command.bypass;
    }
} // namespace

void AstrelAudioProcessor::timerCallback()
{
    runTick (juce::Time::getMillisecondCounterHiRes());
}

void AstrelAudioProcessor::runTick (double nowMs)
{
    for (const auto& command : sharedStatusManager->takeQueuedCommands (pluginID))
        handleCommand (command, nowMs);

    if (activeTransition.active)
        stepTransition (nowMs);

    publishOwnStatus (nowMs);

    if (auto frame = drainMeteringFrame())
    {
        latestMeteringFrame = *frame;

        if (pluginID.isNotEmpty())
            sharedStatusManager->publishMeteringFrame (pluginID, *frame);
    }

    readBackOutputFlags();
    mirrorSharedWholefieldSlotsToStateIfNeeded();
}

void AstrelAudioProcessor::handleCommand (const AstrelCommand& command, double nowMs)
{
    switch (command.phase)
    {
        case AstrelCommandPhase::cancel:
            endRemoteParameterGesture (command.gestureId);
            break;

        case AstrelCommandPhase::begin:
            if (command.gestureId != 0 && command.paramMask != 0)
                beginRemoteParameterGesture (command.gestureId, static_cast<int> (command.paramMask));
            break;

        case AstrelCommandPhase::update:
        case AstrelCommandPhase::end:
        case AstrelCommandPhase::oneShot:
            if (command.trackName)
            {
                trackName = sanitiseTrackName (*command.trackName);
                trackNameWasSetManually = true;
            }

            if (command.delivery == AstrelCommandDelivery::ramped)
            {
                startTransition (command, nowMs);
            }
            else if (carriesParameterValues (command))
            {
                activeTransition.active = false;

                if (command.pan)
                    setParameterPlainValue ("pan", *command.pan);
                if (command.ratio)
                    setParameterPlainValue ("ratio", *command.ratio);
                if (command.sideLowCutHz)
                    setParameterPlainValue ("sideLowCutHz", *command.sideLowCutHz);
                if (command.monoBass)
                    setParameterPlainValue ("monoBass", *command.monoBass ? 1.0f : 0.0f);
                if (command.spotlightPercent)
                    setParameterPlainValue ("spotlight", *command.spotlightPercent);
                if (command.gainTrimDb)
                    setParameterPlainValue ("gainTrimDb", *command.gainTrimDb);
                if (command.bypass)
                    setParameterPlainValue ("bypass", *command.bypass ? 1.0f : 0.0f);
            }

            if (command.phase == AstrelCommandPhase::end)
                endRemoteParameterGesture (command.gestureId);

            break;
    }

    appliedCommandSequence = std::max (appliedCommandSequence, command.sequence);
}

void AstrelAudioProcessor::beginRemoteParameterGesture (std::uint64_t gestureId, int mask)
{
    // A second begin for the same gesture replaces its mask; close what the first one opened.
    endRemoteParameterGesture (gestureId);
    remoteGestureMasks[gestureId] = mask;

    for (size_t i = 0; i < std::size (gestureOrder); ++i)
        if ((mask & gestureOrder[i].bit) != 0 && openHostGestures[i]++ == 0)
            if (auto* parameter = parameters.getParameter (gestureOrder[i].id))
                parameter->beginChangeGesture();
}

void AstrelAudioProcessor::endRemoteParameterGesture (std::uint64_t gestureId)
{
    const auto entry = remoteGestureMasks.find (gestureId);

    if (entry == remoteGestureMasks.end())
        return;

    const auto mask = entry->second;
    remoteGestureMasks.erase (entry);

    for (size_t i = 0; i < std::size (gestureOrder); ++i)
        if ((mask & gestureOrder[i].bit) != 0 && openHostGestures[i] > 0 && --openHostGestures[i] == 0)
            if (auto* parameter = parameters.getParameter (gestureOrder[i].id))
                parameter->endChangeGesture();
}

void AstrelAudioProcessor::startTransition (const AstrelCommand& command, double nowMs)
{
    ParameterTransition transition;
    transition.startMs = nowMs;
    transition.durationMs = juce::jlimit (1.0, 5000.0, std::isfinite (command.rampMs) ? command.rampMs : 1.0);

    if (command.pan || command.ratio)
    {
        transition.hasPanRatio = true;
        transition.startPan = getPlainValue ("pan");
        transition.startRatio = getPlainValue ("ratio");
        transition.targetPan = command.pan.value_or (transition.startPan);
        transition.targetRatio = command.ratio.value_or (transition.startRatio);
    }

    if (command.sideLowCutHz)
    {
        transition.hasSideLowCut = true;
        transition.startSideLowCut = getPlainValue ("sideLowCutHz");
        transition.targetSideLowCut = std::max (*command.sideLowCutHz, 0.0f);
    }

    if (command.monoBass)
    {
        transition.hasMonoBass = true;
        transition.targetMonoBass = *command.monoBass;
    }

    if (command.spotlightPercent)
    {
        transition.hasSpotlight = true;
        transition.startSpotlight = getPlainValue ("spotlight");
        transition.targetSpotlight = juce::jlimit (0.0f, 100.0f, *command.spotlightPercent);
    }

    if (command.gainTrimDb)
    {
        transition.hasGainTrim = true;
        transition.startGainTrim = getPlainValue ("gainTrimDb");
        transition.targetGainTrim = juce::jlimit (-12.0f, 12.0f, *command.gainTrimDb);
    }

    // A bypass value has no place in a glide and is not applied.
    transition.active = true;
    activeTransition = transition;
}

void AstrelAudioProcessor::stepTransition (double nowMs)
{
    auto& transition = activeTransition;
    const auto progress = (nowMs - transition.startMs) / transition.durationMs;
    const auto t = juce::jlimit (0.0, 1.0, progress);
    const auto eased = static_cast<float> (t * t * t * (6.0 * t * t - 15.0 * t + 10.0));
    const bool finished = progress >= 1.0;

    const auto valueAt = [finished, eased] (float start, float target) {
        return finished ? target : start + (target - start) * eased;
    };

    if (transition.hasPanRatio)
    {
        setParameterPlainValue ("pan", valueAt (transition.startPan, transition.targetPan));
        setParameterPlainValue ("ratio", valueAt (transition.startRatio, transition.targetRatio));
    }

    if (transition.hasSideLowCut)
        setParameterPlainValue ("sideLowCutHz", valueAt (transition.startSideLowCut, transition.targetSideLowCut));

    if (transition.hasSpotlight)
        setParameterPlainValue ("spotlight", valueAt (transition.startSpotlight, transition.targetSpotlight));

    if (transition.hasGainTrim)
        setParameterPlainValue ("gainTrimDb", valueAt (transition.startGainTrim, transition.targetGainTrim));

    if (finished)
    {
        if (transition.hasMonoBass)
            setParameterPlainValue ("monoBass", transition.targetMonoBass ? 1.0f : 0.0f);

        transition.active = false;
    }
}

void AstrelAudioProcessor::publishOwnStatus (double nowMs)
{
    PluginStatus status;
    status.pluginID = pluginID;
    status.trackName = trackName;
    status.pan = getPlainValue ("pan");
    status.ratio = getPlainValue ("ratio");
    status.sideLowCutHz = getPlainValue ("sideLowCutHz");
    status.monoBass = getPlainValue ("monoBass") >= 0.5f;
    status.bypass = getPlainValue ("bypass") >= 0.5f;
    status.spotlightPercent = getPlainValue ("spotlight");
    status.gainTrimDb = getPlainValue ("gainTrimDb");
    status.lastUpdateMs = nowMs;
    status.appliedCommandSequence = appliedCommandSequence;
    sharedStatusManager->publishStatus (status);
}

void AstrelAudioProcessor::readBackOutputFlags()
{
    const auto statuses = sharedStatusManager->getStatuses();
    const auto own = statuses.find (pluginID);

    if (own == statuses.end())
        return;

    // Solo wins over mute: with any instance soloed, exactly the soloed ones play.
    const auto muted = sharedStatusManager->isAnyInstanceSoloed() ? ! own->second.soloed : own->second.muted;
    outputMuted.store (muted);
    outputMono.store (own->second.listenMono);
}

void AstrelAudioProcessor::mirrorSharedWholefieldSlotsToStateIfNeeded()
{
    const auto revision = sharedStatusManager->getWholefieldSlotsRevision();

    if (revision == lastMirroredSlotsRevision)
        return;

    const auto text = SharedStatusManager::serialiseWholefieldSlotsState (sharedStatusManager->getWholefieldSlotsState());
    parameters.state.setProperty ("wholefieldSlotsJson", text, nullptr);
    lastMirroredSlotsRevision = revision;
}

juce::String AstrelAudioProcessor::sanitiseTrackName (juce::String name)
{
    name = name.trim();

    if (name.isEmpty())
        name = "Track";

    return name.substring (0, 64);
}

void AstrelAudioProcessor::updateTrackProperties (const TrackProperties& properties)
{
    const auto name = JuceCompat::trackNameOf (properties).trim();

    if (name.isNotEmpty() && ! trackNameWasSetManually)
        trackName = sanitiseTrackName (name);
}

//==============================================================================
namespace
{
    constexpr std::uint32_t stateChunkMagic = 0x21324356; // "VC2!"

    /** A decimal number such as the framework writes for a parameter value, and finite. Its
        length and exponent are bounded, as the framework's number reader collects digits in
        plain integers. */
    bool isFiniteNumberText (const juce::String& text)
    {
        const auto trimmed = text.trim();

        if (trimmed.length() > 64)
            return false;

        auto p = trimmed.getCharPointer();
        bool anyDigit = false;

        if (*p == '-' || *p == '+')
            ++p;

        while (p.isDigit())
            ++p, anyDigit = true;

        if (*p == '.')
            for (++p; p.isDigit(); ++p)
                anyDigit = true;

        if (anyDigit && (*p == 'e' || *p == 'E'))
        {
            ++p;

            if (*p == '-' || *p == '+')
                ++p;

            if (! p.isDigit())
                return false;

            for (int digits = 0; p.isDigit(); ++p)
                if (++digits > 6)
                    return false;
        }

        return anyDigit && p.isEmpty() && std::isfinite (trimmed.getDoubleValue());
    }

    /** A flag as the framework writes it ("1" or "0"), or as older writers might ("true"). */
    bool readFlagText (const juce::String& text)
    {
        const auto trimmed = text.trim();

        if (trimmed.equalsIgnoreCase ("true") || trimmed.equalsIgnoreCase ("yes"))
            return true;

        return isFiniteNumberText (trimmed) && trimmed.getDoubleValue() != 0.0;
    }

    /** The state tree has no place for text between elements. */
    void removeTextElements (juce::XmlElement& element)
    {
        element.deleteAllTextElements();

        for (auto* child : element.getChildIterator())
            removeTextElements (*child);
    }
} // namespace

void AstrelAudioProcessor::writeStateChunk (const juce::XmlElement& xml, juce::MemoryBlock& destData)
{
    // The framework's chunk layout, with the document in the framework's default text form:
    // header line, "\r\n" line breaks, attributes wrapped at 60 characters.
    destData.reset();

    {
        juce::MemoryOutputStream out (destData, false);
        out.writeInt (static_cast<int> (stateChunkMagic));
        out.writeInt (0);
        xml.writeTo (out, juce::XmlElement::TextFormat());
        out.writeByte (0);
    }

    const auto textLength = static_cast<std::uint32_t> (destData.getSize() - 9);
    auto* bytes = static_cast<unsigned char*> (destData.getData());

    for (int i = 0; i < 4; ++i)
        bytes[4 + i] = static_cast<unsigned char> ((textLength >> (8 * i)) & 0xff);
}

std::unique_ptr<juce::XmlElement> AstrelAudioProcessor::parseStateChunk (const void* data, int sizeInBytes)
{
    if (data == nullptr || sizeInBytes <= 8)
        return {};

    const auto* bytes = static_cast<const char*> (data);

    if (juce::ByteOrder::littleEndianInt (bytes) != stateChunkMagic)
        return {};

    const auto storedLength = static_cast<int> (juce::ByteOrder::littleEndianInt (bytes + 4));

    if (storedLength <= 0)
        return {};

    const auto length = std::min (storedLength, sizeInBytes - 8);

    // Text that is not valid UTF-8 cannot be our XML.
    if (! juce::CharPointer_UTF8::isValidString (bytes + 8, length))
        return {};

    const auto text = juce::String::fromUTF8 (bytes + 8, length);

    // Our chunk nests two levels deep and holds nothing but elements and attributes. The
    // framework's parser would hand back what it could read of a cut-off document, expand
    // DTD entities, and take exponential time over some malformed nestings, so it only
    // sees text that is plainly formed.
    if (! TextChecks::isPlainXmlDocument (text, 16))
        return {};

    juce::XmlDocument document (text);
    auto xml = document.getDocumentElement();

    if (document.getLastParseError().isNotEmpty())
        return {};

    return xml;
}

void AstrelAudioProcessor::getStateInformation (juce::MemoryBlock& destData)
{
    auto state = parameters.copyState();
    state.setProperty ("savedPluginID", pluginID, nullptr);
    state.setProperty ("savedTrackName", trackName, nullptr);
    state.setProperty ("trackNameWasSetManually", trackNameWasSetManually, nullptr);
    state.setProperty ("wholefieldSlotsJson",
                       SharedStatusManager::serialiseWholefieldSlotsState (sharedStatusManager->getWholefieldSlotsState()),
                       nullptr);

    if (auto xml = state.createXml())
        writeStateChunk (*xml, destData);
}

void AstrelAudioProcessor::setStateInformation (const void* data, int sizeInBytes)
{
    auto xml = parseStateChunk (data, sizeInBytes);

    if (xml == nullptr || ! xml->getTagName().equalsIgnoreCase ("PARAMETERS"))
        return;

    xml->setTagName ("PARAMETERS");
    removeTextElements (*xml);

    // A value that is not a finite number would be read as 0, or reach the audio thread as
    // NaN; such entries are dropped, so those parameters keep the values they have.
    for (auto* child = xml->getFirstChildElement(); child != nullptr;)
    {
        auto* next = child->getNextElement();

        if (child->hasAttribute ("value") && ! isFiniteNumberText (child->getStringAttribute ("value")))
        {
            // A missing entry would reset its parameter to the default, so the entry stays
            // with the value the parameter has now.
            const auto id = child->getStringAttribute ("id");

            if (parameters.getParameter (id) != nullptr)
                child->setAttribute ("value", static_cast<double> (getPlainValue (id)));
            else
                xml->removeChildElement (child, true);
        }

        child = next;
    }

    parameters.replaceState (juce::ValueTree::fromXml (*xml));
    const auto& state = parameters.state;

    if (state.hasProperty ("savedPluginID"))
    {
        const auto savedID = state.getProperty ("savedPluginID").toString().trim();

        if (savedID.isNotEmpty() && savedID != pluginID)
        {
            sharedStatusManager->removeStatus (pluginID);
            sharedStatusManager->releasePluginID (pluginID);
            pluginID = sharedStatusManager->reserveUniquePluginID (savedID);
        }
    }

    if (state.hasProperty ("wholefieldSlotsJson"))
        sharedStatusManager->importWholefieldSlotsIfNewer (
            SharedStatusManager::deserialiseWholefieldSlotsState (state.getProperty ("wholefieldSlotsJson").toString()));

    if (state.hasProperty ("savedTrackName"))
        trackName = sanitiseTrackName (state.getProperty ("savedTrackName").toString());

    if (state.hasProperty ("trackNameWasSetManually"))
        trackNameWasSetManually = readFlagText (state.getProperty ("trackNameWasSetManually").toString());
    else
        trackNameWasSetManually = trackName.trim().isNotEmpty() && trackName != "Track";

    refreshAudioTargetsFromParameters();
}

void AstrelAudioProcessor::refreshAudioTargetsFromParameters()
{
    sideLowCutHzTarget.store (getPlainValue ("sideLowCutHz"));
    monoBassTarget.store (getPlainValue ("monoBass") >= 0.5f ? 1.0f : 0.0f);
    spotlightPercent.store (getPlainValue ("spotlight"));
    gainTrimDbTarget.store (getPlainValue ("gainTrimDb"));
    bypassTarget.store (getPlainValue ("bypass") >= 0.5f ? 1.0f : 0.0f);
    spotlightPan.store (getPlainValue ("pan"));
    updatePanValues (getPlainValue ("pan"), getPlainValue ("ratio"));
}

//==============================================================================
// This creates new instances of the plugin.
juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter()
{
    return new AstrelAudioProcessor();
}
