#include "PluginProcessor.h"

#include "JuceCompat.h"
#include "PluginEditor.h"

#include <cmath>

namespace
{
    const juce::StringArray parameterIDs { "pan", "ratio", "sideLowCutHz", "monoBass",
                                           "spotlight", "gainTrimDb", "bypass" };

    int roundHalfAwayFromZero (double value) noexcept
    {
        return static_cast<int> (std::round (value));
    }

    /** Reads the number in a typed value: ',' is a decimal point and only digits, '.' and '-' count. */
    double readTypedNumber (const juce::String& text)
    {
        const auto number = text.replaceCharacter (',', '.').retainCharacters ("0123456789.-").getDoubleValue();
        return std::isfinite (number) ? number : 0.0;
    }

    /** Typed values above 1 in magnitude are taken as percentages. */
    double fromPercentIfAboveOne (double number) noexcept
    {
        return std::abs (number) > 1.0 ? number / 100.0 : number;
    }

    juce::String panToText (float value, int)
    {
        if (std::abs (value) < 0.0005f)
            return "C";

        return juce::String (value < 0.0f ? "L " : "R ") + juce::String (roundHalfAwayFromZero (std::abs (value) * 100.0))
               + "%";
    }

    float panFromText (const juce::String& typed)
    {
        const auto text = typed.trim().toUpperCase();

        if (text == "C" || text == "CENTER" || text == "CENTRE")
            return 0.0f;

        const bool hasLeft = text.containsChar ('L');
        const bool hasRight = text.containsChar ('R');
        const auto number = juce::jlimit (-1.0, 1.0, fromPercentIfAboveOne (readTypedNumber (text)));

        if (hasLeft)
            return static_cast<float> (-std::abs (number));

        if (hasRight)
            return static_cast<float> (std::abs (number));

        return static_cast<float> (number);
    }

    juce::String depthToText (float value, int)
    {
        return juce::String (roundHalfAwayFromZero (value * 100.0)) + "%";
    }

    float depthFromText (const juce::String& typed)
    {
        return static_cast<float> (juce::jlimit (0.0, 1.0, fromPercentIfAboveOne (readTypedNumber (typed.trim()))));
    }

    juce::String cutoffToText (float value, int)
    {
        if (value < 0.5f)
            return "OFF";

        return juce::String (roundHalfAwayFromZero (value)) + " Hz";
    }

    float cutoffFromText (const juce::String& typed)
    {
        const auto text = typed.trim().toUpperCase();

        if (text == "OFF")
            return 0.0f;

        return static_cast<float> (juce::jlimit (0.0, 2000.0, readTypedNumber (text)));
    }

    juce::String percentToText (float value, int)
    {
        return juce::String (roundHalfAwayFromZero (value)) + "%";
    }

    float percentFromText (const juce::String& typed)
    {
        return static_cast<float> (juce::jlimit (0.0, 100.0, readTypedNumber (typed.trim())));
    }

    juce::String decibelToText (float value, int)
    {
        const auto shown = std::abs (value) < 0.05f ? 0.0f : value;
        return juce::String (shown, 1) + " dB";
    }

    float decibelFromText (const juce::String& typed)
    {
        return static_cast<float> (juce::jlimit (-12.0, 12.0, readTypedNumber (typed.trim())));
    }

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

    for (const auto& id : parameterIDs)
        parameters.removeParameterListener (id, this);

    sharedStatusManager->removeStatus (pluginID);
    sharedStatusManager->releasePluginID (pluginID);
}

juce::AudioProcessorValueTreeState::ParameterLayout AstrelAudioProcessor::createParameterLayout()
{
    juce::AudioProcessorValueTreeState::ParameterLayout layout;

    layout.add (makeFloatParameter ("pan", "Pan", { -1.0f, 1.0f, 0.001f, 1.0f }, 0.0f, "", panToText, panFromText));
    layout.add (makeFloatParameter ("ratio", "Depth", { 0.0f, 1.0f, 0.001f, 1.0f }, 0.0f, "", depthToText, depthFromText));
    layout.add (makeFloatParameter ("sideLowCutHz",
                                    "Bass Protect",
                                    { 0.0f, 2000.0f, 0.1f, 0.5f },
                                    0.0f,
                                    "Hz",
                                    cutoffToText,
                                    cutoffFromText));
    layout.add (std::make_unique<juce::AudioParameterBool> (juce::ParameterID { "monoBass", 1 }, "Mono Bass", false));
    layout.add (makeFloatParameter ("spotlight",
                                    "Spotlight",
                                    { 0.0f, 100.0f, 0.1f, 1.0f },
                                    0.0f,
                                    "%",
                                    percentToText,
                                    percentFromText));
    layout.add (makeFloatParameter ("gainTrimDb",
                                    "Gain Trim",
                                    { -12.0f, 12.0f, 0.1f, 1.0f },
                                    0.0f,
                                    "dB",
                                    decibelToText,
                                    decibelFromText));
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

    PanTargets targets;
    targets.gainLeft = ((c - 1.0f) * (1.0f - d) + 1.0f) * normaliser * depthAttenuation;
    targets.gainRight = ((s - 1.0f) * (1.0f - d) + 1.0f) * normaliser * depthAttenuation;
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
void AstrelAudioProcessor::prepareToPlay (double sampleRate, int)
{
    currentSampleRate = static_cast<float> (sampleRate);

    // Targets set before the first prepare take effect at once, as with a zero-length ramp.
    if (! hasBeenPrepared)
        applyPendingPanTargets();

    const auto panRampSamples = static_cast<int> (std::floor (0.02 * sampleRate));

    for (auto* smoother : { &gainLeftSmoothed, &gainRightSmoothed, &delayLeftMsSmoothed, &delayRightMsSmoothed })
    {
        const auto target = smoother->getTargetValue();
        smoother->reset (panRampSamples);
        smoother->setCurrentAndTargetValue (target);
    }

    updatePanValues (getPlainValue ("pan"), getPlainValue ("ratio"));
    applyPendingPanTargets();
    hasBeenPrepared = true;
}

void AstrelAudioProcessor::releaseResources() {}

void AstrelAudioProcessor::processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer&)
{
    juce::ScopedNoDenormals noDenormals;

    if (buffer.getNumSamples() < 1)
        return;

    if (getTotalNumInputChannels() == 1 && buffer.getNumChannels() >= 2)
        buffer.copyFrom (1, 0, buffer, 0, 0, buffer.getNumSamples());
}

//==============================================================================
void AstrelAudioProcessor::timerCallback() {}

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
void AstrelAudioProcessor::getStateInformation (juce::MemoryBlock& destData)
{
    auto state = parameters.copyState();
    state.setProperty ("savedPluginID", pluginID, nullptr);
    state.setProperty ("savedTrackName", trackName, nullptr);
    state.setProperty ("trackNameWasSetManually", trackNameWasSetManually, nullptr);

    if (auto xml = state.createXml())
        copyXmlToBinary (*xml, destData);
}

void AstrelAudioProcessor::setStateInformation (const void*, int) {}

//==============================================================================
// This creates new instances of the plugin.
juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter()
{
    return new AstrelAudioProcessor();
}
