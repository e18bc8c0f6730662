// processBlock must never allocate once prepared. Every heap allocation of the process goes
// through the C allocator (operator new included), so counting calls to it on the audio
// thread, while parameters change on another thread, shows whether the audio path allocates.

#include "AudioRig.h"

#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <thread>

namespace
{
    thread_local bool countingThisThread = false;
    std::atomic<int> allocationsSeen { 0 };

    void noteAllocation() noexcept
    {
        if (countingThisThread)
            allocationsSeen.fetch_add (1, std::memory_order_relaxed);
    }
} // namespace

// Sanitisers bring allocators of their own, so the counting is left to the plain build.
#if ! defined(__SANITIZE_THREAD__) && ! defined(__SANITIZE_ADDRESS__)
 #define ASTREL_COUNTS_ALLOCATIONS 1

extern "C"
{
    void* __libc_malloc (size_t);
    void* __libc_calloc (size_t, size_t);
    void* __libc_realloc (void*, size_t);
    void* __libc_memalign (size_t, size_t);

    void* malloc (size_t size)
    {
        noteAllocation();
        return __libc_malloc (size);
    }

    void* calloc (size_t count, size_t size)
    {
        noteAllocation();
        return __libc_calloc (count, size);
    }

    void* realloc (void* pointer, size_t size)
    {
        noteAllocation();
        return __libc_realloc (pointer, size);
    }

    void* memalign (size_t alignment, size_t size)
    {
        noteAllocation();
        return __libc_memalign (alignment, size);
    }

    void* aligned_alloc (size_t alignment, size_t size)
    {
        noteAllocation();
        return __libc_memalign (alignment, size);
    }

    int posix_memalign (void** result, size_t alignment, size_t size)
    {
        noteAllocation();
        *result = __libc_memalign (alignment, size);
        return *result != nullptr ? 0 : 12;
    }
}
#else
 #define ASTREL_COUNTS_ALLOCATIONS 0
#endif

namespace
{
    struct CountingScope
    {
        CountingScope() { countingThisThread = true; }
        ~CountingScope() { countingThisThread = false; }
    };

    /** Runs processBlock for many blocks of every size up to the maximum while another
        thread moves every parameter, and returns how many allocations the audio thread made. */
    int allocationsWhileProcessing (bool monoInput)
    {
        constexpr int maximumBlock = 512;
        AudioRig rig (48000.0, maximumBlock, monoInput);
        rig.prepare();

        // Hosts hand over their own memory; a buffer that refers to it allocates nothing.
        std::vector<float> left (maximumBlock), right (maximumBlock);
        float* channels[] = { left.data(), right.data() };
        juce::MidiBuffer midi;
        std::atomic<bool> running { true };

        std::thread automation ([&] {
            std::mt19937 random (7);
            std::uniform_real_distribution<float> unit (0.0f, 1.0f);
            const char* ids[] = { "pan", "ratio", "sideLowCutHz", "monoBass", "spotlight", "gainTrimDb", "bypass" };

            while (running.load())
            {
                for (auto* id : ids)
                {
                    auto* parameter = rig.processor.getValueTreeState().getParameter (id);
                    parameter->setValueNotifyingHost (unit (random));
                }

                std::this_thread::yield();
            }
        });

        allocationsSeen.store (0);

        {
            const CountingScope counting;

            for (int round = 0; round < 4; ++round)
            {
                for (int size = 1; size <= maximumBlock; size += (size < 32 ? 1 : 37))
                {
                    for (int i = 0; i < size; ++i)
                        left[(size_t) i] = right[(size_t) i] = 0.3f * std::sin (0.01f * static_cast<float> (i));

                    juce::AudioBuffer<float> block (channels, 2, size);
                    rig.processor.processBlock (block, midi);
                }

                juce::AudioBuffer<float> fullBlock (channels, 2, maximumBlock);
                rig.processor.processBlock (fullBlock, midi);
            }
        }

        running.store (false);
        automation.join();
        return allocationsSeen.load();
    }
} // namespace

TEST (RealtimeSafety, ProcessBlockDoesNotAllocateWhileParametersChange)
{
   #if ! ASTREL_COUNTS_ALLOCATIONS
    GTEST_SKIP() << "allocation counting is off under sanitisers";
   #endif

    // The counter itself must see an allocation, or the test would prove nothing.
    {
        const CountingScope counting;
        allocationsSeen.store (0);
        auto* probe = new std::vector<int> (100);
        delete probe;
        ASSERT_GT (allocationsSeen.load(), 0);
    }

    EXPECT_EQ (allocationsWhileProcessing (false), 0) << "stereo input";
    EXPECT_EQ (allocationsWhileProcessing (true), 0) << "mono input";
}

TEST (RealtimeSafety, ProcessBlockRacesNothingWithParameterChanges)
{
    // Under ThreadSanitizer this is the data-race check of the audio path; elsewhere it is a
    // plain run that must not crash and must keep the output finite.
    AudioRig rig (44100.0, 256);
    rig.prepare();
    std::atomic<bool> running { true };

    std::thread automation ([&] {
        for (int i = 0; running.load(); ++i)
        {
            rig.set ("pan", (i % 200) / 100.0f - 1.0f);
            rig.set ("ratio", (i % 50) / 50.0f);
            rig.set ("sideLowCutHz", (i % 3) * 150.0f);
            rig.set ("monoBass", static_cast<float> (i % 2));
            rig.set ("bypass", static_cast<float> ((i / 7) % 2));
            rig.set ("spotlight", static_cast<float> (i % 100));
            rig.set ("gainTrimDb", static_cast<float> (i % 24 - 12));
        }
    });

    juce::AudioBuffer<float> buffer (2, 256);
    juce::MidiBuffer midi;
    bool finite = true;

    for (int block = 0; block < 400; ++block)
    {
        for (int i = 0; i < 256; ++i)
            buffer.setSample (0, i, 0.5f * std::sin (0.03f * static_cast<float> (block * 256 + i)));

        buffer.copyFrom (1, 0, buffer, 0, 0, 256);
        rig.processor.processBlock (buffer, midi);

        for (int channel = 0; channel < 2; ++channel)
            for (int i = 0; i < 256; ++i)
                finite = finite && std::isfinite (buffer.getSample (channel, i));
    }

    running.store (false);
    automation.join();
    EXPECT_TRUE (finite);
}
